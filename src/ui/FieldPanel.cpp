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

#include "machine/InputFilters.h"
#include "store/FieldStore.h"
#include "store/WindowTexts.h"

namespace corvane::ui {
namespace {

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), int(text.size())); }

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
      if (edit->text() != text) edit->setText(text);
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


// The typed-key filter of line edits: a discarded character is swallowed, one
// that the field turns into another is typed again as that one.
class KeyFilterOfFields final : public QObject {
 public:
  KeyFilterOfFields(QObject* owner, std::function<int(std::string_view)> filterOf,
                    std::function<bool()> busy, std::function<void(const QString&)> enter)
      : QObject(owner), filterOf_(std::move(filterOf)), busy_(std::move(busy)),
        enter_(std::move(enter)) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (!edit || event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const bool busy = busy_ && busy_();
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      if (!busy && enter_) enter_(edit->objectName());
      return busy;
    }
    const QString text = key->text();
    if (text.size() != 1 || text[0].unicode() >= 128) return busy;
    const char typed = char(text[0].unicode());
    if (!text[0].isPrint() && typed != '\b') return busy;
    const auto filter = static_cast<KeyFilter>(filterOf_(edit->objectName().toStdString()));
    const auto kept = FilterKey(filter, typed, busy);
    if (!kept) return true;
    if (*kept == typed) return false;
    QKeyEvent replaced(QEvent::KeyPress, Qt::Key_Period, key->modifiers(), QString(QChar(*kept)));
    QCoreApplication::sendEvent(edit, &replaced);
    return true;
  }

 private:
  std::function<int(std::string_view)> filterOf_;
  std::function<bool()> busy_;
  std::function<void(const QString&)> enter_;
};

}  // namespace

void FilterFieldKeys(QWidget* top, std::function<int(std::string_view field)> filterOf,
                     std::function<bool()> busy, std::function<void(const QString& field)> enter) {
  auto* filter = new KeyFilterOfFields(top, std::move(filterOf), std::move(busy), std::move(enter));
  for (QLineEdit* edit : top->findChildren<QLineEdit*>())
    if (!edit->objectName().isEmpty()) edit->installEventFilter(filter);
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
