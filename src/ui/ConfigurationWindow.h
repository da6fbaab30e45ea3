#pragma once
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QWidget>
#include <array>
#include <functional>

namespace corvane {
class ConfigurationActions;
class FieldStore;
class System;
struct Controller;
}  // namespace corvane

namespace corvane::ui {

class BoardPicture;

// The configuration window: the fields of its table on the pages
// "Electronics", "Machine", "Functions" and "Program", grouped as an operator
// looks for them, with the special-functions panel, the board picture with
// its live lamps, the microstepping lamps and the firmware controls. The
// fields stay bound to the field store; what the controls do lives in the
// core's ConfigurationActions.
class ConfigurationWindow final : public QWidget {
  Q_OBJECT
 public:
  explicit ConfigurationWindow(FieldStore& fields);

  // Wires the window to the running program; without it the window only edits fields.
  void attach(System& system, Controller& controller, ConfigurationActions& actions);

  // How a successful firmware update starts the program again.
  void setRestart(std::function<void()> restart) { restart_ = std::move(restart); }
  // The main window's periodic status refresh, off (false) for a firmware update.
  void setStatusRefresh(std::function<void(bool on)> refresh) { statusRefresh_ = std::move(refresh); }

  QTabWidget* pages() const { return pages_; }
  BoardPicture* board() const { return board_; }
  // Shows the lamps and hints the actions computed.
  void showLamps();
  // Intel HEX into the memo from a file the operator picks, then "compile".
  void compileHexFile();
  // The "bootloader" button.
  void startFirmwareUpdate();
  void setFirmwareStatus(const QString& text);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildPages(QWidget* panel);
  QWidget* buildElectronics(QWidget* panel);
  QWidget* buildMachine(QWidget* panel);
  QWidget* buildFunctions(QWidget* panel);
  QWidget* buildProgram(QWidget* panel);
  QWidget* buildFirmware(QWidget* parent);
  void applyCounterLock();
  void openTodaysLog();

  FieldStore& fields_;
  System* system_ = nullptr;
  Controller* controller_ = nullptr;
  ConfigurationActions* actions_ = nullptr;
  QTabWidget* pages_ = nullptr;
  BoardPicture* board_ = nullptr;
  QWidget* specialPanel_ = nullptr;
  std::array<QLabel*, 4> lamps_{};
  QPlainTextEdit* memo_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* firmwareStatus_ = nullptr;
  std::function<void()> restart_;
  std::function<void(bool on)> statusRefresh_;
};

}  // namespace corvane::ui
