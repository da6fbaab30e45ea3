#include "ui/QtHost.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

#include "ui/Captions.h"
#include "ui/MainWindow.h"

namespace corvane::ui {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Standard button -> the message of its caption.
constexpr std::pair<QMessageBox::StandardButton, int> kButtonCaptions[] = {
    {QMessageBox::Ok, 200}, {QMessageBox::Cancel, 201}, {QMessageBox::Yes, 202}, {QMessageBox::No, 203}};

QMessageBox::StandardButtons ToQt(Buttons buttons) {
  switch (buttons) {
    case Buttons::Ok:
      return QMessageBox::Ok;
    case Buttons::YesNo:
      return QMessageBox::Yes | QMessageBox::No;
    case Buttons::YesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case Buttons::OkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
  }
  return QMessageBox::Ok;
}

}  // namespace

void QtHost::setMainWindow(MainWindow* window) {
  window_ = window;
  if (!window_) return;
  for (const auto& line : pendingLog_) window_->appendLog(line);
  pendingLog_.clear();
}

void QtHost::armOneShot(int millis, std::function<void()> fire) {
  oneShotCall_ = std::move(fire);
  if (oneShot_.isSingleShot() == false) {
    oneShot_.setSingleShot(true);
    QObject::connect(&oneShot_, &QTimer::timeout, [this] {
      auto call = std::move(oneShotCall_);
      oneShotCall_ = nullptr;
      if (call) call();
    });
  }
  oneShot_.start(millis);
}

void QtHost::processEvents() { QApplication::processEvents(); }

const MessageTable& QtHost::messages() const {
  static const MessageTable kEnglish;
  return window_ ? window_->messages() : kEnglish;
}

// A standard button's caption in the operator's language, keeping its key:
// Y answers "Yes" (T "Tak"), as the standard buttons' own captions do.
QString QtHost::buttonCaption(int message) const {
  QString caption = Q(messages()[static_cast<size_t>(message)]);
  if (!caption.contains('&')) caption.prepend('&');
  return caption;
}

// The text in the operator's language, when it is one the language table holds.
QString QtHost::tr(const std::string& text) const { return Tr(messages(), Q(text)); }

int QtHost::showBox(QMessageBox::Icon icon, const std::string& text, QMessageBox::StandardButtons buttons) {
  QMessageBox box(icon, QApplication::applicationName(), tr(text), buttons, dialogParent());
  for (const auto& [button, message] : kButtonCaptions)
    if (QAbstractButton* shown = box.button(button)) shown->setText(buttonCaption(message));
  return box.exec();
}

void QtHost::setErrorLabel(const std::string& text) {
  if (window_) window_->setErrorText(tr(text));
}

// A dialog stands over the window the operator works in: a modal one (the
// import window) rather than the main window, which would cover it.
QWidget* QtHost::dialogParent() const {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return window_;
}

void QtHost::showMessage(const std::string& text) {
  showBox(QMessageBox::Information, text, QMessageBox::Ok);
}

void QtHost::showError(const std::string& text) {
  showBox(QMessageBox::Critical, text, QMessageBox::Ok);
}

Answer QtHost::ask(const std::string& text, Buttons buttons) {
  switch (showBox(QMessageBox::Question, text, ToQt(buttons))) {
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    case QMessageBox::Ok:
      return Answer::Ok;
    default:
      return Answer::Cancel;
  }
}

std::optional<std::string> QtHost::askText(const std::string& title, const std::string& prompt,
                                           const std::string& initial, bool hidden) {
  QInputDialog dialog(dialogParent());
  dialog.setWindowTitle(tr(title));
  dialog.setLabelText(tr(prompt));
  dialog.setTextEchoMode(hidden ? QLineEdit::Password : QLineEdit::Normal);
  dialog.setTextValue(Q(initial));
  dialog.setOkButtonText(buttonCaption(200));
  dialog.setCancelButtonText(buttonCaption(201));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.textValue().toStdString();
}

std::optional<std::string> QtHost::inputText(const std::string& title, const std::string& prompt,
                                             const std::string& initial) {
  return askText(title, prompt, initial, false);
}

// The setup password is not shown as it is typed.
std::optional<std::string> QtHost::inputPassword(const std::string& title,
                                                 const std::string& prompt) {
  return askText(title, prompt, {}, true);
}

void QtHost::beep() { QApplication::beep(); }

void QtHost::playSound(std::string_view name) {
  if (window_) window_->playSound(name);
}

void QtHost::requestRedraw() {
  if (window_) window_->requestRedraw();
}

void QtHost::requestRefresh() {
  if (window_) window_->requestRefresh();
}

void QtHost::setFieldVisible(Window, const std::string& field, bool visible) {
  if (!window_) return;
  for (QWidget* top : QApplication::topLevelWidgets())
    if (auto* widget = top->findChild<QWidget*>(Q(field))) widget->setVisible(visible);
}

void QtHost::appendLogPane(const std::string& message) {
  if (window_)
    window_->appendLog(Q(message));
  else
    pendingLog_ << Q(message);
}

void QtHost::showLogPane() {
  if (window_) window_->showLogPane();
}

}  // namespace corvane::ui
