#include "ui/QtHost.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

#include "ui/MainWindow.h"

namespace corvane::ui {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

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

void QtHost::setErrorLabel(const std::string& text) {
  if (window_) window_->setErrorText(Q(text));
}

void QtHost::showMessage(const std::string& text) {
  QMessageBox::information(window_, QApplication::applicationName(), Q(text));
}

void QtHost::showError(const std::string& text) {
  QMessageBox::critical(window_, QApplication::applicationName(), Q(text));
}

Answer QtHost::ask(const std::string& text, Buttons buttons) {
  QMessageBox box(QMessageBox::Question, QApplication::applicationName(), Q(text), ToQt(buttons),
                  window_);
  switch (box.exec()) {
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

std::optional<std::string> QtHost::inputText(const std::string& title, const std::string& prompt,
                                             const std::string& initial) {
  bool ok = false;
  const QString text =
      QInputDialog::getText(window_, Q(title), Q(prompt), QLineEdit::Normal, Q(initial), &ok);
  if (!ok) return std::nullopt;
  return text.toStdString();
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
