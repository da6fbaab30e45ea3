#include "ui/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <clocale>

#include "job/Analysis.h"
#include "job/AnalysisGraph.h"
#include "machine/ArcMonitor.h"
#include "model/ContourNavigation.h"
#include "store/JobFile.h"
#include "store/Lifecycle.h"
#include "system/FieldSettings.h"
#include "system/System.h"
#include "ui/AnalysisGraphWindow.h"
#include "ui/FieldPanel.h"
#include "ui/Manual.h"
#include "ui/PathView.h"
#include "ui/PresetBox.h"
#include "ui/SplashScreen.h"
#include "ui/UiWait.h"
#include "virtual/ControllerSetup.h"
#include "wire/Codes.h"

#ifdef CORVANE_HAVE_MULTIMEDIA
#include <QSoundEffect>
#endif

namespace corvane::ui {

MainWindow::MainWindow(System& system, SplashScreen* splash)
    : QWidget(nullptr, Qt::Window), system_(system), splash_(splash) {
  setObjectName("MainWindow");
  setMinimumSize(kMinimumWidth, kMinimumHeight);
  resize(1280, 800);
  buildPanels();
  createTimers();
  textsSubscription_ = system_.texts.subscribe([this] { showTexts(); });
  showTexts();
}

MainWindow::~MainWindow() { system_.texts.unsubscribe(textsSubscription_); }

void MainWindow::buildPanels() {
  errorLabel_ = new QLabel(this);
  errorLabel_->setObjectName("ErrorLabel");
  errorLabel_->setStyleSheet("color: red; font-weight: bold;");
  errorLabel_->setGeometry(10, 10, 600, 24);

  connectText_ = new QLabel(this);
  connectText_->setObjectName("ConnectText");
  connectText_->setAlignment(Qt::AlignCenter);
  connectText_->installEventFilter(this);

  // The about box: the splash slides in and out again.
  auto* help = new QToolButton(this);
  help->setObjectName("Help");
  help->setText("Help");
  help->setGeometry(620, 10, 60, 26);
  connect(help, &QToolButton::clicked, this, [this] {
    if (splash_) splash_->toggleAbout();
  });
  AddManualButton(this, system_)->setGeometry(685, 10, 60, 26);

  logo_ = new QLabel(this);
  logo_->setObjectName("Logo");

  drawingPanel_ = new PathView(system_, this);

  statusLink_ = new QLabel("<a href=\"status\">Status</a>", this);
  statusLink_->setObjectName("StatusLink");
  resetLink_ = new QLabel("<a href=\"reset\">Reset</a>", this);
  resetLink_->setObjectName("ResetLink");

  buildNavigation();

  parameterPanel_ = new QFrame(this);
  parameterPanel_->setObjectName("ParameterPanel");
  parameterPanel_->setFrameShape(QFrame::StyledPanel);
  auto* column = new QVBoxLayout(parameterPanel_);
  presetBox_ = new PresetBox(system_, parameterPanel_);
  column->addWidget(presetBox_);
  column->addWidget(CreateFieldPanel(system_.fields, Window::Main, parameterPanel_), 2);
  auto* buttons = new QHBoxLayout;
  const auto addButton = [&](const char* name, const char* caption, auto slot) {
    auto* button = new QPushButton(caption, parameterPanel_);
    button->setObjectName(name);
    connect(button, &QPushButton::clicked, this, slot);
    buttons->addWidget(button);
    return button;
  };
  addButton("OpenProject", "Open Project", &MainWindow::openProject);
  addButton("SaveProject", "Save Project", &MainWindow::saveProject);
  addButton("ExitButton", "Exit", &QWidget::close);
  column->addLayout(buttons);
  buttons = new QHBoxLayout;
  analyseButton_ = addButton("Analise", "Analise", &MainWindow::analyseJob);
  analyseButton_->installEventFilter(this);
  buttons->addStretch(1);
  column->addLayout(buttons);
  logPane_ = new QPlainTextEdit(parameterPanel_);
  logPane_->setObjectName("LogPane");
  logPane_->setReadOnly(true);
  logPane_->setMaximumBlockCount(5000);
  column->addWidget(logPane_, 1);
  layoutPanels();
}

void MainWindow::buildNavigation() {
  using Step = void (*)(JobState&, Host&);
  const struct {
    const char* name;
    const char* caption;
    Step step;
  } buttons[] = {{"sRev", "|<<", RewindToStart},
                 {"sRev1", "<", StepContourBack},
                 {"sFF1", ">", StepContourForward},
                 {"sFF", ">>|", JumpToLastContour}};
  for (const auto& b : buttons) {
    auto* button = new QToolButton(this);
    button->setObjectName(b.name);
    button->setText(b.caption);
    button->setToolTip(QString::fromStdString(system_.texts.text(Window::Main, b.name)));
    connect(button, &QToolButton::clicked, this, [this, step = b.step] {
      if (system_.Busy) return;
      step(system_.job, system_.host);
      showProgress();
    });
    navigation_ << button;
  }
  progressBar_ = new QProgressBar(this);
  progressBar_->setObjectName("ProgressBar");
  progressBar_->setTextVisible(false);
  progressBar_->installEventFilter(this);
}

void MainWindow::showTexts() {
  const std::pair<const char*, Window> windows[] = {{"MainWindow", Window::Main},
                                                    {"ImportWindow", Window::Import},
                                                    {"ConfigurationWindow", Window::Configuration}};
  for (QWidget* top : QApplication::topLevelWidgets())
    for (const auto& [name, window] : windows)
      if (top->objectName() == name) ShowWindowTexts(top, system_.texts, window);
  // A tooltip breaks its lines at the line feed alone.
  drawingPanel_->setToolTip(QString::fromStdString(system_.texts.pathViewHint()).remove('\r'));
  presetBox_->setEditText(QString::fromStdString(system_.messages[kMsgPresetPlaceholder]));
}

// The bar shows how far the start contour lies into the job.
void MainWindow::showProgress() {
  progressBar_->setMaximum(std::max<int>(1, int(system_.job.Job.size())));
  progressBar_->setValue(std::max(0, system_.job.CurrentContour));
}

QTimer* MainWindow::addTimer(const QString& name, int interval, bool singleShot) {
  auto* timer = new QTimer(this);
  timer->setObjectName(name);
  timer->setInterval(interval);
  timer->setSingleShot(singleShot);
  timers_.insert(name, timer);
  return timer;
}

void MainWindow::createTimers() {
  // Interval and start of every timer of the main loop; each subsystem hooks
  // its handler to the timer's timeout when it arrives.
  connect(addTimer("Timer1", 20, false), &QTimer::timeout, this, &MainWindow::onTimer1);
  connect(addTimer("Timer2", 1000, false), &QTimer::timeout, this, &MainWindow::onTimer2);
  addTimer("Timer3", 500, false);
  addTimer("Timer4", 200, true);
  addTimer("Timer5", 10, true);
  QTimer* arcWatch = addTimer("Timer6", 250, false);
  connect(arcWatch, &QTimer::timeout, this, &MainWindow::onTimer6);
  arcWatch->start();
  addTimer("Timer7", 25, false);
  addTimer("Timer8", 1, true);
  QTimer* startLock = addTimer("TStop", 1000, true);
  startLock->start();
  addTimer("TREF", 500, false);
}

bool MainWindow::create() {
  // Numbers are always written and read with "." whatever the desktop's locale.
  std::setlocale(LC_NUMERIC, "C");
  QLocale::setDefault(QLocale::c());
  if (splash_ && splash_->testState() == SplashScreen::TestState::Failed) return false;
  setErrorText({});
  if (!system_.PrepareStart()) {
    if (splash_) splash_->failPermission();
    return false;
  }
  setWindowTitle(QString::fromStdString(system_.caption()));
  PrepareStore(system_);
  InstallAxisScaleUpdates(system_);
  presetBox_->reload();
  const QString logo = QString::fromStdString(system_.paths.profileFolder()) + "logo.bmp";
  if (QFile::exists(logo)) logo_->setPixmap(QPixmap(logo));
  return true;
}

void MainWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!firstShowDone_) QTimer::singleShot(0, this, &MainWindow::firstShow);
}

void MainWindow::firstShow() {
  if (firstShowDone_) return;
  firstShowDone_ = true;
  // Bring the window to the front once without keeping it on top.
  raise();
  activateWindow();
  StartupSequence(system_);
  presetBox_->reload();
  showProgress();
  system_.loading = false;
  requestRedraw();
  if (controller_) {
    controller_->connection.StartupConnect();
    showConnectionState();
  }
  system_.host.processEvents();
  WaitProcessing(100);
  system_.host.processEvents();
  for (const char* name : {"Timer1", "Timer2", "Timer3"}) timers_.value(name)->start();
  system_.StatisticsChanged = true;
  emit firstShowFinished();
}

void MainWindow::layoutPanels() {
  const int w = width();
  const int h = height();
  drawingPanel_->setGeometry(330, 44, w - 340, h - 80);
  parameterPanel_->setGeometry(10, 44, 310, h - 54);
  connectText_->setGeometry(w - 330, 10, 300, 26);
  logo_->setGeometry(w - 480, 4, 140, 36);
  const int linksTop = drawingPanel_->geometry().bottom() + 1 + 28 - 24;
  statusLink_->setGeometry(340, linksTop, 60, 20);
  resetLink_->setGeometry(410, linksTop, 60, 20);
  int left = 480;
  for (QToolButton* button : navigation_) {
    button->setGeometry(left, linksTop - 2, 36, 24);
    left += 40;
  }
  progressBar_->setGeometry(left + 10, linksTop, std::max(40, w - left - 30), 18);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layoutPanels();
  requestRedraw();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!closed_) {
    closed_ = true;
    for (QTimer* timer : timers_) timer->stop();
    std::optional<AxisPosition> counters;
    if (controller_) {
      controller_->commands.StopMotion();
      if (controller_->link.state.LinkConnected && controller_->commands.ReadStatusA()) {
        const auto& steps = controller_->commands.status.MachinePositionSteps;
        counters = AxisPosition{steps[0], steps[1], steps[2], steps[3]};
      }
    }
    ShutdownSequence(system_, counters);
  }
  event->accept();
  QApplication::quit();
}

void MainWindow::restartProgram() {
  QProcess::startDetached(QApplication::applicationFilePath(), {});
  close();
}

void MainWindow::attachController(Controller* controller) {
  controller_ = controller;
  arcMonitor_.reset();
  if (controller_) {
    controller_->commands.ui.errorLabelText = [this] { return errorLabel_->text().toStdString(); };
    arcMonitor_ =
        std::make_unique<ArcMonitor>(system_, controller_->commands, controller_->link.state);
    bindJob();
  }
  showConnectionState();
}

void MainWindow::bindJob() {
  Controller& c = *controller_;
  c.commands.ui.redrawToolMarker = [this] { drawingPanel_->update(); };
  c.commands.ui.redrawStatusPanel = [this] { drawingPanel_->update(); };
  c.commands.ui.startJob = [this] { runJob(JobStart::Start); };
  drawingPanel_->setSpeedSource([this] { return controller_ ? controller_->commands.status.ActualSpeed : 0; });
  c.runner.ui.shiftHeld = [] { return (QApplication::queryKeyboardModifiers() & Qt::ShiftModifier) != 0; };
  c.runner.ui.statusTimer = [this](bool running) {
    if (running)
      timers_.value("Timer1")->start(20);
    else
      timers_.value("Timer1")->stop();
  };
  c.runner.ui.highlightContour = [this](int, Rgb, int) {
    showProgress();
    requestRedraw();
  };
  const auto key = [this](QKeySequence sequence, auto action) {
    auto* shortcut = new QShortcut(sequence, this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, action);
  };
  key(QKeySequence(Qt::Key_F5), [this] { runJob(JobStart::Start); });
  key(QKeySequence(Qt::CTRL | Qt::Key_L), [this] {
    logPane_->setVisible(!logPane_->isVisible());
    if (analysisWindow_) analysisWindow_->show();
  });
  if (analysisWindow_)
    analysisWindow_->setSampler([this] {
      const Controller& k = *controller_;
      const bool arc = (k.link.state.StatusWord & wire::status::kTorch) != 0;
      RecordAnalysisSample(system_.job, k.commands.status.ActualSpeed,
                           arc ? k.commands.status.ArcVoltage * 10 : kAnalysisGap, kAnalysisGraphWidth);
    });
  key(QKeySequence(Qt::CTRL | Qt::Key_F5), [this] { runJob(JobStart::Reversed); });
  key(QKeySequence(Qt::Key_F6), [this] { runJob(JobStart::Resume); });
  key(QKeySequence(Qt::KeypadModifier | Qt::Key_Plus), [this] { controller_->runner.ChangeSpeed(+1); });
  key(QKeySequence(Qt::KeypadModifier | Qt::Key_Minus), [this] { controller_->runner.ChangeSpeed(-1); });
  key(QKeySequence(Qt::Key_Escape), [this] {
    // The operator's stop: no automatic arc restart after it.
    system_.ContourState = 200;
    controller_->commands.StopMotion();
  });
}

void MainWindow::analyseJob() {
  if (system_.Busy) return;
  AnalysisResult result = AnalyseJob(system_, analysisShown_);
  drawingPanel_->showPicture(std::move(result.picture));
  analysisShown_ = true;
}

void MainWindow::runJob(JobStart how) {
  if (!controller_ || system_.Busy) return;
  JobRunner& runner = controller_->runner;
  if (how == JobStart::Start) runner.Start();
  if (how == JobStart::Resume) runner.Resume();
  if (how == JobStart::Reversed) runner.CutReversed();
  showProgress();
  requestRedraw();
}

void MainWindow::showConnectionState() {
  static const char* kColours[] = {"red", "green", "blue", "navy", "grey"};
  if (!controller_) {
    connectText_->setStyleSheet("color: grey; font-weight: bold;");
    return;
  }
  const ConnectionIndicator& model = controller_->indicator;
  connectText_->setText(QString::fromStdString(model.text));
  connectText_->setToolTip(ConnectionIndicator::kHint);
  connectText_->setStyleSheet(QString("color: %1; font-weight: bold; font-size: %2pt;")
                                  .arg(kColours[static_cast<int>(model.colour)])
                                  .arg(model.fontSize));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == analyseButton_) {
    if (event->type() == QEvent::Leave) analysisShown_ = false;
    return QWidget::eventFilter(watched, event);
  }
  if (watched == progressBar_) {
    const bool pressOrDrag = event->type() == QEvent::MouseButtonPress ||
                             (event->type() == QEvent::MouseMove &&
                              (static_cast<QMouseEvent*>(event)->buttons() & Qt::LeftButton));
    if (!pressOrDrag) return QWidget::eventFilter(watched, event);
    const int x = int(static_cast<QMouseEvent*>(event)->position().x());
    if (SeekContourOnBar(system_.job, system_.host, x, progressBar_->width(), system_.Busy))
      showProgress();
    return true;
  }
  if (watched != connectText_ || !controller_) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::Enter:
      controller_->indicator.MouseEnter();
      break;
    case QEvent::Leave:
      controller_->indicator.MouseLeave();
      break;
    case QEvent::MouseButtonPress:
      controller_->indicator.MouseDown();
      break;
    case QEvent::MouseButtonRelease: {
      if (system_.Busy) break;
      const auto modifiers = static_cast<QMouseEvent*>(event)->modifiers();
      controller_->connection.ClickIndicator(modifiers & Qt::ShiftModifier,
                                             modifiers & Qt::ControlModifier);
      break;
    }
    default:
      return QWidget::eventFilter(watched, event);
  }
  showConnectionState();
  return false;
}

// The refresh runs while a job runs too: the job lets the window breathe
// between exchanges, and that is when its alarms must reach the operator.
void MainWindow::onTimer1() {
  if (!controller_) return;
  QTimer* timer = timers_.value("Timer1");
  // A stop inside the refresh lets the window breathe: no second refresh then.
  timer->stop();
  const bool wasConnected = controller_->link.state.LinkConnected;
  controller_->commands.RefreshStatus();
  // A lost board shows at once: the exchange disconnects and the label turns red.
  if (wasConnected != controller_->link.state.LinkConnected) showConnectionState();
  if (!closed_) timer->start(20);
}

void MainWindow::onTimer2() {
  if (!controller_ || system_.Busy) return;
  CheckEStop(system_, controller_->commands, controller_->link,
             controller_->connection.fields().autoConnect);
  controller_->indicator.Blink(controller_->link.state.LinkConnected);
  showConnectionState();
}

void MainWindow::onTimer6() {
  if (arcMonitor_) arcMonitor_->Tick();
}

void MainWindow::openProject() {
  if (system_.Busy) return;
  const QString path = QFileDialog::getOpenFileName(this, "Open Project", {},
                                                    "Projects (*.cvp2 *.cvp *.CVP2 *.CVP)");
  if (path.isEmpty()) return;
  OpenProject(system_, path.toStdString());
  showProgress();
  requestRedraw();
}

void MainWindow::saveProject() {
  if (system_.Busy) return;
  QFileDialog dialog(this, "Save Project", {}, "Projects (*.cvp2);;Old projects (*.cvp)");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("cvp2");
  // The store asks before overwriting, in the operator's language.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  SaveProject(system_, dialog.selectedFiles().first().toStdString());
}

void MainWindow::appendLog(const QString& message) { logPane_->appendPlainText(message); }

void MainWindow::showLogPane() {
  logPane_->show();
  parameterPanel_->show();
}

void MainWindow::setErrorText(const QString& text) { errorLabel_->setText(text); }

void MainWindow::playSound(const QString& name) {
#ifdef CORVANE_HAVE_MULTIMEDIA
  const QString file = QString::fromStdString(system_.paths.programFolder) + "sounds/" + name;
  if (!QFile::exists(file)) return;
  auto* effect = new QSoundEffect(this);
  effect->setSource(QUrl::fromLocalFile(file));
  connect(effect, &QSoundEffect::playingChanged, effect, [effect] {
    if (!effect->isPlaying()) effect->deleteLater();
  });
  effect->play();
#else
  Q_UNUSED(name);
#endif
}

void MainWindow::requestRedraw() { drawingPanel_->invalidate(); }

void MainWindow::requestRefresh() { update(); }

}  // namespace corvane::ui
