#include "ui/Captions.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QTabWidget>
#include <QTextDocumentFragment>
#include <QVariant>
#include <optional>

namespace corvane::ui {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Built-in English -> message number.
const QHash<QString, int>& EnglishCaptions() {
  static const QHash<QString, int> captions = [] {
    QHash<QString, int> map;
    for (const CaptionText& caption : kCaptionTexts)
      map.insert(QString::fromUtf8(caption.english.data(), int(caption.english.size())),
                 caption.message);
    return map;
  }();
  return captions;
}

// A widget's caption slot: which message it shows, and what it showed last,
// kept on the widget under `slot`.
class Slot {
 public:
  Slot(QObject* owner, const QString& slot) : owner_(owner), slot_(slot.toUtf8()) {}

  // The language's text for `now`, or nothing when `now` is no caption.
  std::optional<QString> text(const QString& now, const MessageTable& messages) {
    const QString bare = QString(now).remove('&');
    int message = EnglishCaptions().value(bare, -1);
    const QVariant shown = owner_->property(slot_ + "Shown");
    if (message < 0 && shown.isValid() && shown.toString() == now)
      message = owner_->property(slot_ + "Message").toInt();
    if (message < 0) return std::nullopt;
    const QString text = Q(messages[message]);
    owner_->setProperty(slot_ + "Message", message);
    owner_->setProperty(slot_ + "Shown", text);
    return text;
  }

 private:
  QObject* owner_;
  QByteArray slot_;
};

// A label's rich text keeps its markup: only the shown text is replaced.
void ShowLabel(QLabel* label, const MessageTable& messages) {
  const QString text = label->text();
  if (!Qt::mightBeRichText(text)) {
    if (auto t = Slot(label, "caption").text(text, messages)) label->setText(*t);
    return;
  }
  const QString plain = QTextDocumentFragment::fromHtml(text).toPlainText();
  if (auto t = Slot(label, "caption").text(plain, messages)) {
    QString html = text;
    html.replace(">" + plain.toHtmlEscaped() + "<", ">" + t->toHtmlEscaped() + "<");
    label->setText(html);
  }
}

void ShowOne(QWidget* w, const MessageTable& messages) {
  if (w->isWindow())
    if (auto t = Slot(w, "title").text(w->windowTitle(), messages)) w->setWindowTitle(*t);
  if (auto* label = qobject_cast<QLabel*>(w)) ShowLabel(label, messages);
  if (auto* button = qobject_cast<QAbstractButton*>(w))
    if (auto t = Slot(w, "caption").text(button->text(), messages)) button->setText(*t);
  if (auto* box = qobject_cast<QGroupBox*>(w))
    if (auto t = Slot(w, "caption").text(box->title(), messages)) box->setTitle(*t);
  if (auto* tabs = qobject_cast<QTabWidget*>(w))
    for (int i = 0; i < tabs->count(); ++i)
      if (auto t = Slot(w, QString("tab%1").arg(i)).text(tabs->tabText(i), messages))
        tabs->setTabText(i, *t);
  if (auto* list = qobject_cast<QComboBox*>(w); list && !list->isEditable())
    for (int i = 0; i < list->count(); ++i)
      if (auto t = Slot(w, QString("item%1").arg(i)).text(list->itemText(i), messages))
        list->setItemText(i, *t);
}

}  // namespace

QString Tr(const MessageTable& messages, const QString& english) {
  const int message = EnglishCaptions().value(english, -1);
  if (message >= 0) return Q(messages[message]);
  if (!english.contains('\n')) return english;
  QStringList lines = english.split('\n');
  for (QString& line : lines) line = Tr(messages, line);
  return lines.join('\n');
}

void ShowCaptions(QWidget* top, const MessageTable& messages) {
  ShowOne(top, messages);
  for (QWidget* w : top->findChildren<QWidget*>()) ShowOne(w, messages);
}

void ShowCaptionsEverywhere(const MessageTable& messages) {
  for (QWidget* top : QApplication::topLevelWidgets()) ShowCaptions(top, messages);
}

}  // namespace corvane::ui
