#include "ui/PresetBox.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "ports/MessageTable.h"
#include "store/Presets.h"
#include "system/System.h"

namespace corvane::ui {
namespace {

// The key as the preset filter sees it: control letters as their control codes.
char KeyCode(const QKeyEvent& key) {
  if (key.modifiers() & Qt::ControlModifier) {
    if (key.key() >= Qt::Key_A && key.key() <= Qt::Key_Z) return char(key.key() - Qt::Key_A + 1);
    return 0;
  }
  if (key.key() == Qt::Key_Backspace) return 8;
  const QString text = key.text();
  return text.size() == 1 && text[0].unicode() < 128 ? text[0].toLatin1() : 0;
}

}  // namespace

PresetBox::PresetBox(System& system, QWidget* parent) : QComboBox(parent), system_(system) {
  setObjectName("PresetBox");
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  // The editable box keeps the keyboard focus and hands keys to its line
  // edit directly, past any filter there: filter on the box itself, and on
  // the line edit for keys sent to it.
  installEventFilter(this);
  lineEdit()->installEventFilter(this);
  connect(this, &QComboBox::textActivated, this,
          [this](const QString& name) { LoadPreset(system_, name.toStdString()); });
  reload();
}

void PresetBox::reload() {
  const QString typed = currentText();
  const QSignalBlocker block(this);
  clear();
  for (const auto& name : system_.store.presetNames) addItem(QString::fromStdString(name));
  setEditText(typed.isEmpty() ? QString::fromStdString(system_.messages[kMsgPresetPlaceholder])
                              : typed);
}

bool PresetBox::eventFilter(QObject* watched, QEvent* event) {
  const bool ours = watched == this || watched == lineEdit();
  const auto type = event->type();
  if (!ours || (type != QEvent::KeyPress && type != QEvent::ShortcutOverride))
    return QComboBox::eventFilter(watched, event);
  const auto& key = static_cast<const QKeyEvent&>(*event);
  // Ctrl+S and Ctrl+D belong to the box while it has the focus, not to a
  // window shortcut: claim them before the shortcut map sees them.
  if (type == QEvent::ShortcutOverride) {
    const char control = KeyCode(key);
    if (control == 19 || control == 4) event->accept();
    return false;
  }
  // Cursor and editing keys without text move within the name as usual.
  const char code = KeyCode(key);
  if (code == 0 && !(key.modifiers() & Qt::ControlModifier)) return false;
  switch (FilterPresetKey(code, system_.Busy)) {
    case PresetKey::Accept:
      return false;
    case PresetKey::Discard:
      return true;
    case PresetKey::Save:
      SavePreset(system_, currentText().toStdString());
      reload();
      return true;
    case PresetKey::Delete:
      if (DeletePreset(system_, currentText().toStdString())) setEditText({});
      reload();
      return true;
  }
  return true;
}

}  // namespace corvane::ui
