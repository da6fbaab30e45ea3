#include "ui/FieldPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QValidator>

#include "machine/InputFilters.h"
#include "store/FieldRanges.h"
#include "store/FieldStore.h"
#include "system/System.h"
#include "store/WindowTexts.h"

namespace corvane::ui {
namespace {

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), int(text.size())); }

// The text a line edit last showed as accepted: set whenever the store puts a
// value in, and when an operator's edit passes its range check.
constexpr const char* kAcceptedText = "acceptedText";

// Shows a value from the store: it is taken as it stands, past the field's filter.
void ShowStoredText(QLineEdit* edit, const QString& text) {
  const QValidator* filter = edit->validator();
  if (filter) edit->setValidator(nullptr);
  edit->setText(text);
  if (filter) edit->setValidator(filter);
  edit->setProperty(kAcceptedText, text);
}

// Owns the store subscription of one panel and pushes store changes into its widgets.
class FieldBinder final : public QObject {
 public:
  FieldBinder(FieldStore& fields, Window window, QWidget* panel)
      : QObject(panel), fields_(fields), window_(window), panel_(panel) {
    subscription_ = fields_.subscribe([this](Window changed, const std::string& name) {
      if (changed == window_) refresh(name);
    });
  }
  ~FieldBinder() override { fields_.unsubscribe(subscription_); }

  // Shows the store's value of one field (or list) in its widget.
  void refresh(const std::string& name) {
    QWidget* widget = panel_->findChild<QWidget*>(Q(name), Qt::FindChildrenRecursively);
    if (!widget) {
      // A list mirrors a hidden field: refresh the list that mirrors this one.
      for (const ChoiceValue& choice : fields_.choices(window_))
        if (FoldCase(choice.definition->mirror) == FoldCase(name))
          refresh(std::string(choice.definition->name));
      return;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
      const QString text = Q(fields_.text(window_, name));
      if (edit->text() != text) ShowStoredText(edit, text);
    } else if (auto* box = qobject_cast<QAbstractButton*>(widget)) {
      const bool checked = fields_.checked(window_, name);
      if (box->isChecked() != checked) box->setChecked(checked);
    } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
      const ChoiceValue* choice = fields_.findChoice(window_, name);
      if (!choice) return;
      if (list->count() != int(choice->items.size())) {
        const QSignalBlocker block(list);
        list->clear();
        for (const auto& item : choice->items) list->addItem(Q(item));
      }
      if (list->currentIndex() != choice->index) list->setCurrentIndex(choice->index);
    }
  }

 private:
  FieldStore& fields_;
  Window window_;
  QWidget* panel_;
  int subscription_ = 0;
};

QWidget* CreateFieldWidget(FieldStore& fields, Window window, const FieldValue& value,
                           QWidget* parent) {
  const FieldSpec& definition = *value.definition;
  const std::string name(definition.name);
  QWidget* widget = nullptr;
  if (definition.kind == FieldKind::Text) {
    auto* edit = new QLineEdit(Q(value.text), parent);
    edit->setProperty(kAcceptedText, edit->text());
    QObject::connect(edit, &QLineEdit::textEdited, edit, [&fields, window, name](const QString& t) {
      fields.setText(window, name, t.toStdString());
    });
    widget = edit;
  } else {
    QAbstractButton* button =
        definition.kind == FieldKind::CheckBox
            ? static_cast<QAbstractButton*>(new QCheckBox(Q(definition.caption), parent))
            : new QRadioButton(Q(definition.caption), parent);
    // Radio groups are exclusive in the store, not through Qt's parent rule.
    button->setAutoExclusive(false);
    button->setChecked(value.checked);
    QObject::connect(button, &QAbstractButton::clicked, button, [&fields, window, name, button] {
      fields.setChecked(window, name, button->isChecked());
      fields.runClickBehaviour(window, name);
    });
    widget = button;
  }
  widget->setObjectName(Q(definition.name));
  widget->setToolTip(Q(definition.name));
  widget->setEnabled(definition.state != FieldState::Disabled);
  return widget;
}

QWidget* CreateChoiceWidget(FieldStore& fields, Window window, const ChoiceValue& value,
                            QWidget* parent) {
  auto* list = new QComboBox(parent);
  list->setObjectName(Q(value.definition->name));
  for (const auto& item : value.items) list->addItem(Q(item));
  list->setCurrentIndex(value.index);
  const std::string name(value.definition->name);
  QObject::connect(list, &QComboBox::activated, list, [&fields, window, name](int index) {
    fields.selectChoice(window, name, index);
    fields.runClickBehaviour(window, name);
  });
  return list;
}

// The caption of a row, a label named after its field or list so that a
// language can replace it; a field without a caption shows its name.
QLabel* CreateRowLabel(std::string_view name, std::string_view caption, QWidget* parent) {
  if (caption.empty()) return new QLabel(Q(name), parent);
  auto* label = new QLabel(Q(caption), parent);
  label->setObjectName(Q(LabelName(name)));
  return label;
}


// Pasted, dropped and otherwise inserted text keeps what the field's key
// filter keeps of each character.
class FieldTextFilter final : public QValidator {
 public:
  FieldTextFilter(KeyFilter filter, QObject* owner) : QValidator(owner), filter_(filter) {}

  State validate(QString& input, int& pos) const override {
    QString kept;
    int keptPos = 0;
    for (int i = 0; i < input.size(); ++i) {
      const QChar c = input[i];
      const std::string filtered =
          c.unicode() < 128 ? FilterText(filter_, std::string(1, char(c.unicode()))) : "";
      kept += QString::fromLatin1(filtered.data(), int(filtered.size()));
      if (i < pos) keptPos += int(filtered.size());
    }
    if (kept != input) {
      input = kept;
      pos = keptPos;
    }
    return Acceptable;
  }

 private:
  KeyFilter filter_;
};

// What the line edits of one window take: the typed-key filter (a discarded
// character is swallowed, one that the field turns into another is typed
// again as that one), the text filter of pastes and drops, nothing while the
// machine runs, and the range check of finished edits.
class FieldInputGuard final : public QObject {
 public:
  FieldInputGuard(QWidget* top, System& system, Window window,
                  std::function<void(const QString&)> enter)
      : QObject(top), system_(system), window_(window), enter_(std::move(enter)) {
    setObjectName("FieldInputGuard");
  }

  KeyFilter filterOf(const QString& field) const {
    const std::string name = field.toStdString();
    return window_ == Window::Configuration ? ConfigurationKeyFilter(name) : MainKeyFilter(name);
  }

  // Judges the edit's text; a refused one gives way to the last accepted text.
  bool finish(QLineEdit* edit) {
    const QVariant accepted = edit->property(kAcceptedText);
    const QString text = edit->text();
    if (!accepted.isValid()) return true;
    // An unchanged field keeps its mark: the refused value is still what it says.
    if (text == accepted.toString()) return true;
    const std::string name = edit->objectName().toStdString();
    const std::string why = RangeRefusal(window_, name, text.toStdString(), system_.parser.imperial);
    if (why.empty()) {
      edit->setProperty(kAcceptedText, text);
      showRefusal(edit, {});
      return true;
    }
    const QString kept = accepted.toString();
    const QString reason = Q(why) + "; kept " + kept;
    system_.log.WriteLog(name + ": " + reason.toStdString());
    system_.fields.setText(window_, name, kept.toStdString());
    ShowStoredText(edit, kept);
    showRefusal(edit, reason);
    return false;
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (!edit) return false;
    const bool busy = system_.Busy;
    switch (event->type()) {
      case QEvent::KeyPress:
        return keyPressed(edit, static_cast<QKeyEvent*>(event), busy);
      case QEvent::Drop:
        // A drop is a whole value at once: judged as it lands.
        if (busy) return true;
        edit->event(event);
        finish(edit);
        return true;
      case QEvent::ContextMenu:
        // No pasting from the menu while the machine runs.
        return busy;
      default:
        return false;
    }
  }

 private:
  bool keyPressed(QLineEdit* edit, QKeyEvent* key, bool busy) {
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      if (!busy && finish(edit) && enter_) enter_(edit->objectName());
      return busy;
    }
    if (key->matches(QKeySequence::Paste)) {
      if (busy) return true;
      edit->event(key);
      finish(edit);
      return true;
    }
    const QString text = key->text();
    if (text.size() != 1 || text[0].unicode() >= 128) return busy;
    const char typed = char(text[0].unicode());
    if (!text[0].isPrint() && typed != '\b') return busy;
    const auto kept = FilterKey(filterOf(edit->objectName()), typed, busy);
    if (!kept) return true;
    if (*kept == typed) return false;
    QKeyEvent replaced(QEvent::KeyPress, Qt::Key_Period, key->modifiers(), QString(QChar(*kept)));
    QCoreApplication::sendEvent(edit, &replaced);
    return true;
  }

  // Red with the reason as its hint, or back to its own hint.
  static void showRefusal(QLineEdit* edit, const QString& reason) {
    constexpr const char* kOwnHint = "hintBeforeRefusal";
    if (reason.isEmpty()) {
      if (!edit->property(kOwnHint).isValid()) return;
      edit->setStyleSheet({});
      edit->setToolTip(edit->property(kOwnHint).toString());
      edit->setProperty(kOwnHint, {});
      return;
    }
    if (!edit->property(kOwnHint).isValid()) edit->setProperty(kOwnHint, edit->toolTip());
    edit->setStyleSheet("background: rgb(255,114,85);");
    edit->setToolTip(reason);
  }

  System& system_;
  Window window_;
  std::function<void(const QString&)> enter_;
};

}  // namespace

void GuardFieldInput(QWidget* top, System& system, Window window,
                     std::function<void(const QString& field)> enter) {
  auto* guard = new FieldInputGuard(top, system, window, std::move(enter));
  for (QLineEdit* edit : top->findChildren<QLineEdit*>()) {
    if (edit->objectName().isEmpty()) continue;
    edit->installEventFilter(guard);
    const KeyFilter filter = guard->filterOf(edit->objectName());
    if (filter == KeyFilter::Any) continue;
    edit->setValidator(new FieldTextFilter(filter, edit));
    QObject::connect(edit, &QLineEdit::editingFinished, guard, [guard, edit] { guard->finish(edit); });
  }
}

bool FinishFieldEdits(QWidget* top) {
  auto* guard = static_cast<FieldInputGuard*>(top->findChild<QObject*>(
      "FieldInputGuard", Qt::FindDirectChildrenOnly));
  if (!guard) return true;
  bool allAccepted = true;
  for (QLineEdit* edit : top->findChildren<QLineEdit*>())
    if (guard->filterOf(edit->objectName()) != KeyFilter::Any && !guard->finish(edit))
      allAccepted = false;
  return allAccepted;
}

QWidget* CreateFieldRows(FieldStore& fields, Window window,
                         const std::vector<std::pair<QString, QString>>& namesAndCaptions,
                         QWidget* parent) {
  auto* panel = new QWidget(parent);
  auto* form = new QFormLayout(panel);
  form->setContentsMargins(4, 4, 4, 4);
  for (const auto& [name, caption] : namesAndCaptions) {
    const FieldValue* value = fields.find(window, name.toStdString());
    if (!value) continue;
    QWidget* widget = CreateFieldWidget(fields, window, *value, panel);
    if (value->definition->kind == FieldKind::Text)
      form->addRow(caption.isEmpty() ? CreateRowLabel(value->definition->name,
                                                      value->definition->caption, panel)
                                     : new QLabel(caption, panel),
                   widget);
    else
      form->addRow(widget);
  }
  new FieldBinder(fields, window, panel);
  return panel;
}


QWidget* CreateFieldPanel(FieldStore& fields, Window window, QWidget* parent,
                          const QStringList& placedElsewhere) {
  auto* scroll = new QScrollArea(parent);
  scroll->setWidgetResizable(true);
  auto* panel = new QWidget(scroll);
  auto* form = new QFormLayout(panel);
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  for (const ChoiceValue& choice : fields.choices(window)) {
    const ChoiceSpec& definition = *choice.definition;
    form->addRow(CreateRowLabel(definition.name, definition.caption, panel),
                 CreateChoiceWidget(fields, window, choice, panel));
  }
  for (const FieldValue& value : fields.fields(window)) {
    if (placedElsewhere.contains(Q(value.definition->name))) continue;
    QWidget* widget = CreateFieldWidget(fields, window, value, panel);
    if (value.definition->state == FieldState::Hidden) {
      widget->hide();
      continue;
    }
    if (value.definition->kind == FieldKind::Text) {
      const auto& definition = *value.definition;
      form->addRow(CreateRowLabel(definition.name, definition.caption, panel), widget);
    } else {
      form->addRow(widget);
    }
  }
  new FieldBinder(fields, window, panel);
  scroll->setWidget(panel);
  return scroll;
}

void ShowWindowTexts(QWidget* top, const WindowTexts& texts, Window window) {
  for (const ControlText& control : texts.controls(window)) {
    QWidget* widget = top->findChild<QWidget*>(Q(control.name), Qt::FindChildrenRecursively);
    if (!widget) continue;
    switch (control.kind) {
      case ControlKind::Label:
        if (auto* label = qobject_cast<QLabel*>(widget)) label->setText(Q(control.text));
        break;
      case ControlKind::CheckBox:
      case ControlKind::Radio:
      case ControlKind::Button:
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) button->setText(Q(control.text));
        break;
      case ControlKind::Edit:
        // Without a hint the field's name helps whoever reads the settings file.
        widget->setToolTip(control.text.empty() ? Q(control.name) : Q(control.text));
        break;
      case ControlKind::SpeedButton:
        widget->setToolTip(Q(control.text));
        break;
      case ControlKind::Page:
        // A page's title is the text of its tab.
        for (QWidget* up = widget->parentWidget(); up; up = up->parentWidget()) {
          if (auto* tabs = qobject_cast<QTabWidget*>(up)) {
            tabs->setTabText(tabs->indexOf(widget), Q(control.text));
            break;
          }
        }
        break;
    }
  }
}

}  // namespace corvane::ui
