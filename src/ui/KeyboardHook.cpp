#include "ui/KeyboardHook.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

namespace corvane::ui {

KeyboardHook::KeyboardHook(QWidget& mainWindow) : QObject(&mainWindow), main_(mainWindow) {
  qApp->installEventFilter(this);
}

KeyboardHook::~KeyboardHook() { qApp->removeEventFilter(this); }

bool KeyboardHook::eventFilter(QObject* watched, QEvent* event) {
  const auto type = event->type();
  if (type == QEvent::WindowDeactivate && watched == &main_) {
    const QSet<int> held = down_;
    down_.clear();
    for (int key : held)
      if (keyLost) keyLost(key);
    return false;
  }
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
  // Platform key events reach a window first and its focus widget after:
  // take them at the window, where each press arrives once.
  auto* window = qobject_cast<QWindow*>(watched);
  if (!window) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  const bool ours = QApplication::activeModalWidget() == nullptr &&
                    QApplication::activePopupWidget() == nullptr &&
                    window == main_.windowHandle();
  if (type == QEvent::KeyPress && key->key() == Qt::Key_Escape && !key->isAutoRepeat() &&
      !(ours && down_.contains(Qt::Key_Escape)) && escape)
    escape();
  if (!ours) return false;
  const int code = key->key();
  if (type == QEvent::KeyPress) {
    if (key->isAutoRepeat() || down_.contains(code)) return true;
    down_.insert(code);
    if (code == Qt::Key_Alt) return true;
    return keyDown && keyDown(code, key->modifiers());
  }
  if (key->isAutoRepeat()) return true;
  if (!down_.remove(code)) return true;
  if (keyUp) keyUp(code);
  return false;
}

}  // namespace corvane::ui
