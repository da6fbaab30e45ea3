#pragma once
#include <QFrame>
#include <QLabel>
#include <QMap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSlider>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <string_view>
#include <memory>

#include "model/PathPick.h"
#include "ports/MessageTable.h"

namespace corvane {
class ArcMonitor;
class Gamepad;
class Jog;
class Referencing;
class System;
struct Controller;
}  // namespace corvane

namespace corvane::ui {

class SplashScreen;
class GamepadReader;
class JogPanel;
class KeyboardHook;
class PictureFrame;

// The operator's main window: path view, parameter panel, log pane and the
// connection label, driven by the timers of the main loop.
class MainWindow final : public QWidget {
  Q_OBJECT
 public:
  MainWindow(System& system, SplashScreen* splash);
  ~MainWindow() override;

  // Window creation: folders, log, profile, caption. False when the data root
  // cannot be written; the caller then ends the program.
  bool create();
  // The controller behind the connection label; connected at the first show.
  void attachController(Controller* controller);
  // The graph window Ctrl+L shows; it samples the controller while shown.
  void setAnalysisWindow(class AnalysisGraphWindow* window) { analysisWindow_ = window; }
  // Shows the connection label's model: text, colour and size.
  void showConnectionState();

  void appendLog(const QString& message);
  void showLogPane();
  void setErrorText(const QString& text);
  void playSound(std::string_view name);
  // The texts of the loaded language, for the host's dialogs.
  const MessageTable& messages() const;
  void requestRedraw();
  void requestRefresh();
  // Starts a fresh copy of the program (same profile and options) and closes this one normally.
  void restartProgram();
  bool restartRequested() const { return restartRequested_; }

  QTimer* timer(const QString& name) const { return timers_.value(name); }
  QStringList timerNames() const { return timers_.keys(); }
  bool firstShowDone() const { return firstShowDone_; }
  class PathView* pathView() const {
    return drawingPanel_;
  }

  class JogPanel* jogPanel() const { return jogPanel_; }
  Jog* jog() const { return jog_.get(); }
  Referencing* referencing() const { return referencing_.get(); }
  QString errorText() const;
  // The In2 alarm holds: every start is refused.
  bool in2AlarmLatched() const;
  // One entry of the path view's popup, on the point picked last.
  void runPopupEntry(PopupEntry entry);
  // The status overlay and the side view from the last status reads.
  void refreshOverlay();
  // Leaves the tube set-up panel: the turning section stops and the panel hides
  // (the configuration's "leaveTubePanel"; the tube itself is not read again).
  void leaveTubePanel();
  QFrame* tubePanel() const { return tubePanel_; }
  QWidget* tubeSection() const { return tubeSection_; }

  static constexpr int kMinimumWidth = 470;
  // The tube button turns an outline of more points than this.
  static constexpr std::size_t kTurningOutlinePoints = 5;
  static constexpr int kMinimumHeight = 250;

 signals:
  void firstShowFinished();
  // "Import File" pressed while idle: the import window opens.
  void importRequested();

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildPanels();
  void createTimers();
  QTimer* addTimer(const QString& name, int interval, bool singleShot);
  void firstShow();
  void layoutPanels();
  void buildNavigation();
  // Every window shows the core's texts again, after a language load.
  void showTexts();
  void showProgress();
  void onTimer1();
  void onTimer2();
  void onTimer6();
  // The job runner's operator entries: F5 Start (Ctrl+F5 the reversed cut),
  // F6 Resume, Esc stop; the external start input arrives here too.
  enum class JobStart { Start, Resume, Reversed };
  void bindJob();
  void runJob(JobStart how);
  // In2 in mode "Alarm" with its input active.
  bool in2AlarmInput() const;
  // The rising alarm input stops everything once and latches.
  void latchIn2Alarm();
  // The keyboard back to the zoom bar, where no key is a field's.
  void focusZoomBar();
  // "Analise": the job planned and coloured by speed with its estimate.
  void analyseJob();
  void openProject();
  void saveProject();
  void exportGcode();
  // Where the project dialogs open: the folder last used, else the profile's.
  QString projectFolder() const;
  // The keyboard hook's handlers: a fresh key-down of the main window (true
  // when used up), its key-up, and Esc from any window.
  bool keyDown(int key, Qt::KeyboardModifiers modifiers);
  void keyUp(int key);
  void escapeStop();
  // Builds the jog panel, the position dialog and the hooks of the jog.
  void bindJog();
  void bindGamepad();
  void runAction(std::int32_t action);
  void traceOutline();
  void toggleAngle();
  void buildPositionDialog();
  void buildTubePanel();
  void tubePreviewTick();
  void applyTubeOk(bool pipe);
  // The tube captions name the unit in force.
  void showTubeUnits();
  // The log pane and its "Log!" link show and hide together.
  void setLogPaneVisible(bool visible);
  void importFile();
  void layoutToolbar();
  // The window's size: the last one used, never beyond the screen.
  void restoreSize();
  void saveSize() const;
  void fitFrameToScreen();

  System& system_;
  Controller* controller_ = nullptr;
  class AnalysisGraphWindow* analysisWindow_ = nullptr;
  QPushButton* analyseButton_ = nullptr;
  bool analysisShown_ = false;  // a second press in place adds the zone colours
  std::unique_ptr<ArcMonitor> arcMonitor_;
  SplashScreen* splash_;
  class PathView* drawingPanel_ = nullptr;
  QString projectFolder_;
  QSlider* zoomBar_ = nullptr;
  QFrame* parameterPanel_ = nullptr;
  QPlainTextEdit* logPane_ = nullptr;
  // The pane shows its newest line until the operator scrolls up.
  bool logFollows_ = true;
  QLabel* connectText_ = nullptr;
  QLabel* errorLabel_ = nullptr;
  QLabel* logo_ = nullptr;
  QLabel* statusLink_ = nullptr;
  QLabel* resetLink_ = nullptr;
  QLabel* logLink_ = nullptr;
  class PresetBox* presetBox_ = nullptr;
  QList<QToolButton*> navigation_;
  QProgressBar* progressBar_ = nullptr;
  QMap<QString, QTimer*> timers_;
  std::unique_ptr<Jog> jog_;
  std::unique_ptr<Referencing> referencing_;
  std::unique_ptr<Gamepad> gamepad_;
  std::unique_ptr<GamepadReader> padReader_;
  // The game controller's timer: its interval follows what the controller does.
  QTimer* padTimer_ = nullptr;
  class JogPanel* jogPanel_ = nullptr;
  KeyboardHook* keys_ = nullptr;
  PictureFrame* sideView_ = nullptr;
  QFrame* positionDialog_ = nullptr;
  QFrame* tubePanel_ = nullptr;
  QWidget* tubeSection_ = nullptr;  // the panel's turning section
  QToolButton* startButton_ = nullptr;
  QToolButton* stopButton_ = nullptr;
  QLabel* simMark_ = nullptr;
  bool blinkRed_ = true;
  // The end of the start lock a stop begins, on the program's clock.
  std::int64_t startLockUntil_ = 0;
  // The job origin before the last press on the path view (Ctrl+Z).
  Point2 rememberedOrigin_;
  bool firstShowDone_ = false;
  bool closed_ = false;
  bool restartRequested_ = false;
  int textsSubscription_ = 0;
};

}  // namespace corvane::ui
