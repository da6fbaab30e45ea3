#pragma once
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include "ports/Host.h"
#include "ports/MessageTable.h"

namespace corvane::ui {

class MainWindow;

// The operator's screen as the core sees it: dialogs, the error label, the log
// pane, sounds and redraw requests go to the Qt windows.
class QtHost final : public Host {
 public:
  void setMainWindow(MainWindow* window);

  void processEvents() override;
  void setErrorLabel(const std::string& text) override;
  void showMessage(const std::string& text) override;
  void showError(const std::string& text) override;
  Answer ask(const std::string& text, Buttons buttons) override;
  std::optional<std::string> inputText(const std::string& title, const std::string& prompt,
                                       const std::string& initial) override;
  std::optional<std::string> inputPassword(const std::string& title,
                                           const std::string& prompt) override;
  void beep() override;
  void playSound(std::string_view name) override;
  void requestRedraw() override;
  void requestRefresh() override;
  void setFieldVisible(Window window, const std::string& field, bool visible) override;
  void appendLogPane(const std::string& message) override;
  void showLogPane() override;
  void armOneShot(int millis, std::function<void()> fire) override;

 private:
  QWidget* dialogParent() const;
  std::optional<std::string> askText(const std::string& title, const std::string& prompt,
                                     const std::string& initial, bool hidden);
  const MessageTable& messages() const;
  QString buttonCaption(int message) const;
  QString tr(const std::string& text) const;
  int showBox(QMessageBox::Icon icon, const std::string& text, QMessageBox::StandardButtons buttons);

  MainWindow* window_ = nullptr;
  // Log lines written before the main window's pane exists.
  QStringList pendingLog_;
  QTimer oneShot_;
  std::function<void()> oneShotCall_;
};

}  // namespace corvane::ui
