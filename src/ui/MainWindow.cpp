#include "ui/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFormLayout>
#include <QUrl>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <clocale>
#include <cmath>

#include "job/Analysis.h"
#include "job/AnalysisGraph.h"
#include "import/GcodeExport.h"
#include "job/PathMoves.h"
#include "machine/ArcMonitor.h"
#include "machine/Gamepad.h"
#include "machine/Jog.h"
#include "machine/Referencing.h"
#include "machine/StatusPanel.h"
#include "machine/TraceOutline.h"
#include "model/AngleAlignment.h"
#include "model/PositionText.h"
#include "model/ContourNavigation.h"
#include "store/JobFile.h"
#include "store/LanguageFile.h"
#include "ui/Captions.h"
#include "store/Lifecycle.h"
#include "system/FieldSettings.h"
#include "system/System.h"
#include "system/TubeSetup.h"
#include "ui/AnalysisGraphWindow.h"
#include "ui/DisplayPainter.h"
#include "ui/FieldPanel.h"
#include "ui/GamepadReader.h"
#include "ui/JogPanel.h"
#include "ui/KeyboardHook.h"
#include "ui/Manual.h"
#include "ui/PathView.h"
#include "ui/PresetBox.h"
#include "ui/ProgramRestart.h"
#include "ui/SplashScreen.h"
#include "ui/UiWait.h"
#include "virtual/ControllerSetup.h"
#include "wire/Codes.h"
#include "wire/Commands.h"

#ifdef CORVANE_HAVE_MULTIMEDIA
#include <QSoundEffect>
#endif

namespace corvane::ui {
namespace {

constexpr int kToolbarTop = 6, kToolbarHeight = 26;
constexpr int kErrorTop = 36;
constexpr int kViewTop = 60;
constexpr int kLeftWidth = 300;
constexpr int kSideViewHeight = 110;
constexpr int kJogPanelHeight = 170;
constexpr int kBottomBar = 28;
constexpr int kConnectWidth = 180;
// The window's first size, when the screen has room for it.
constexpr int kPreferredWidth = 1280, kPreferredHeight = 800;

// Fields shown by the position dialog and the tube panel instead of the list.
const QStringList kPositionFields = {"xX", "xY", "xZ", "xXM", "xYM", "xZM", "xJogDist",
                                     "cOneClickJogMode"};
const QStringList kTubeFields = {"xrB", "xrH", "xrR", "xrD"};

// The toolbar: the file and help group from the left edge, then the machine
// group. Every button carries the object name a language file gives its text to.
const char* const kFileGroup[] = {"sOpen",        "sSave",  "sImport",       "sExport",      "sAnalise",
                                  "SpeedButton4", "bAngle", "SpeedButton33", "SpeedButton2", "SpeedButton3"};
const char* const kMachineGroup[] = {"SpeedButton32", "sOut1", "sOut2", "bTHC", "SpeedButton5",
                                     "SpeedButton30"};
// Where the machine group starts when the window is wide enough: the place
// operators know the "Configuration" button by.
constexpr int kMachineGroupLeft = 750;

int JogDirectionOfKey(int key) {
  switch (key) {
    case Qt::Key_Left: return jog::kXMinus;
    case Qt::Key_Right: return jog::kXPlus;
    case Qt::Key_Up: return jog::kYPlus;
    case Qt::Key_Down: return jog::kYMinus;
    case Qt::Key_PageUp: return jog::kZPlus;
    case Qt::Key_PageDown: return jog::kZMinus;
    default: return jog::kNone;
  }
}

// Ctrl + numeric keypad 1..9: the placements in the keypad's own layout.
std::optional<PlacementButton> PlacementOfKey(int key) {
  switch (key) {
    case Qt::Key_1: return PlacementButton::LeftBottom;
    case Qt::Key_2: return PlacementButton::Bottom;
    case Qt::Key_3: return PlacementButton::RightBottom;
    case Qt::Key_4: return PlacementButton::Left;
    case Qt::Key_5: return PlacementButton::Centre;
    case Qt::Key_6: return PlacementButton::Right;
    case Qt::Key_7: return PlacementButton::LeftTop;
    case Qt::Key_8: return PlacementButton::Top;
    case Qt::Key_9: return PlacementButton::RightTop;
    default: return std::nullopt;
  }
}

}  // namespace

MainWindow::MainWindow(System& system, SplashScreen* splash)
    : QWidget(nullptr, Qt::Window), system_(system), splash_(splash) {
  setObjectName("MainWindow");
  setMinimumSize(kMinimumWidth, kMinimumHeight);
  resize(kPreferredWidth, kPreferredHeight);
  restoreSize();
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
  errorLabel_->setGeometry(10, kErrorTop, 600, 22);
  // A click on the error label clears it.
  errorLabel_->installEventFilter(this);

  connectText_ = new QLabel(this);
  connectText_->setObjectName("ConnectText");
  connectText_->setAlignment(Qt::AlignCenter);
  connectText_->installEventFilter(this);

  // The about box: the splash slides in and out again.
  auto* help = new QToolButton(this);
  help->setObjectName("SpeedButton33");
  help->setText("Help");
  help->setGeometry(620, kToolbarTop, 60, kToolbarHeight);
  connect(help, &QToolButton::clicked, this, [this] {
    if (splash_) splash_->toggleAbout();
  });
  AddManualButton(this, system_)->setGeometry(685, kToolbarTop, 60, kToolbarHeight);
  AddSchematicButton(this, system_);

  logo_ = new QLabel(this);
  logo_->setObjectName("Logo");

  drawingPanel_ = new PathView(system_, this);
  drawingPanel_->popupAction = [this](PopupEntry entry) { runPopupEntry(entry); };
  drawingPanel_->installEventFilter(this);
  drawingPanel_->originMoved = [this] {
    const bool imperial = system_.parser.imperial;
    system_.fields.setText(Window::Main, "xXM", FormatOriginField(system_.job.ProjectOriginX, imperial));
    system_.fields.setText(Window::Main, "xYM", FormatOriginField(system_.job.ProjectOriginY, imperial));
  };
  sideView_ = new PictureFrame(this);
  sideView_->setObjectName("SideView");
  sideView_->setFrameShape(QFrame::Box);
  sideView_->installEventFilter(this);

  statusLink_ = new QLabel("<a href=\"status\">Status</a>", this);
  statusLink_->setObjectName("StatusLink");
  resetLink_ = new QLabel("<a href=\"reset\">Reset</a>", this);
  resetLink_->setObjectName("ResetLink");
  // Labels that act as links turn bold under the pointer.
  statusLink_->installEventFilter(this);
  resetLink_->installEventFilter(this);

  buildNavigation();

  parameterPanel_ = new QFrame(this);
  parameterPanel_->setObjectName("ParameterPanel");
  parameterPanel_->setFrameShape(QFrame::StyledPanel);
  auto* column = new QVBoxLayout(parameterPanel_);
  presetBox_ = new PresetBox(system_, parameterPanel_);
  // A chosen preset leaves the box: Space, Enter and the other keys act again.
  connect(presetBox_, &QComboBox::textActivated, this, &MainWindow::focusZoomBar);
  column->addWidget(presetBox_);
  column->addWidget(CreateFieldPanel(system_.fields, Window::Main, parameterPanel_,
                                     kPositionFields + kTubeFields),
                    2);
  const auto addButton = [&](const char* name, const char* caption, auto slot) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QPushButton::clicked, this, slot);
    return button;
  };
  addButton("sOpen", "Open Project", &MainWindow::openProject);
  addButton("sSave", "Save Project", &MainWindow::saveProject);
  addButton("sImport", "Import", &MainWindow::importFile);
  // Shown and hidden again with Ctrl+E.
  addButton("sExport", "G-Codes Eksport", &MainWindow::exportGcode)->hide();
  addButton("SpeedButton30", "Exit", &QWidget::close);
  analyseButton_ = addButton("sAnalise", "Analise", &MainWindow::analyseJob);
  analyseButton_->installEventFilter(this);
  // "Log!" stands over the log pane while the pane shows and hides it.
  logLink_ = new QLabel("<a href=\"log\">Log!</a>", parameterPanel_);
  logLink_->setObjectName("LogLink");
  logLink_->setAlignment(Qt::AlignRight);
  logLink_->installEventFilter(this);
  connect(logLink_, &QLabel::linkActivated, this, [this] { setLogPaneVisible(false); });
  column->addWidget(logLink_);
  logPane_ = new QPlainTextEdit(parameterPanel_);
  logPane_->setObjectName("LogPane");
  logPane_->setReadOnly(true);
  logPane_->setMaximumBlockCount(5000);
  // A double click clears the pane; the log file keeps every line.
  logPane_->viewport()->installEventFilter(this);
  // Long lines wrap over several rows, and the rows change with the pane's
  // width: the pane follows its newest line through every new range, not
  // only the one an append computed before the layout finished.
  QScrollBar* logBar = logPane_->verticalScrollBar();
  connect(logBar, &QScrollBar::valueChanged, this,
          [this, logBar](int value) { logFollows_ = value >= logBar->maximum(); });
  connect(logBar, &QScrollBar::rangeChanged, this, [this, logBar](int, int maximum) {
    if (logFollows_) logBar->setValue(maximum);
  });
  column->addWidget(logPane_, 1);
  buildPositionDialog();
  buildTubePanel();
  // Every field of the window keeps only what it accepts, nothing while busy.
  GuardFieldInput(
      this, system_, Window::Main,
      [this](const QString& field) {
        // Enter applies the "OK" of the tube the field belongs to.
        if (field == "xrD") applyTubeOk(true);
        else if (kTubeFields.contains(field)) applyTubeOk(false);
        if (field == "xX" || field == "xY" || field == "xZ" || field == "xJogDist") {
          positionDialog_->hide();
          ApplyTorchPosition(system_);
        }
        if (field == "xXM" || field == "xYM" || field == "xZM") {
          positionDialog_->hide();
          ApplyProjectPosition(system_);
        }
      });
  layoutPanels();
}

void MainWindow::buildPositionDialog() {
  positionDialog_ = new QFrame(this);
  positionDialog_->setObjectName("PositionDialog");
  positionDialog_->setFrameShape(QFrame::Panel);
  positionDialog_->setAutoFillBackground(true);
  auto* column = new QVBoxLayout(positionDialog_);
  column->addWidget(CreateFieldRows(system_.fields, Window::Main,
                                    {{"xX", "Torch X"}, {"xY", "Torch Y"}, {"xZ", "Torch Z"}},
                                    positionDialog_));
  const auto button = [this](const char* name, const char* caption, auto run) {
    auto* b = new QPushButton(caption, positionDialog_);
    b->setObjectName(name);
    connect(b, &QPushButton::clicked, this, [this, run] {
      positionDialog_->hide();
      run();
    });
    return b;
  };
  column->addWidget(button("ApplyTorch", "Apply", [this] { ApplyTorchPosition(system_); }));
  column->addWidget(CreateFieldRows(system_.fields, Window::Main,
                                    {{"xXM", "Material / Project position X"},
                                     {"xYM", "Y"},
                                     {"xZM", "Z"},
                                     {"xJogDist", ""},
                                     {"cOneClickJogMode", ""}},
                                    positionDialog_));
  column->addWidget(button("ApplyProject", "Apply", [this] { ApplyProjectPosition(system_); }));
  column->addWidget(button("PositionCancel", "cancel", [] {}));
  positionDialog_->setGeometry(50, 50, 300, 400);
  positionDialog_->hide();
}

namespace {

// The tube set-up panel's section picture: the profile's outline turned so
// that the point at the preview's unrolled position is on top (the turn the
// cutting makes), with a red dot there; a pipe is a circle.
class TubeSection final : public QWidget {
 public:
  TubeSection(const RotaryState& rotary, QWidget* parent) : QWidget(parent), rotary_(rotary) {
    setObjectName("TubeSection");
    setFixedSize(kSide, kSide);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.setPen(QColor(192, 192, 192));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(width() / 2.0, height() / 2.0);
    const double room = kSide / 2.0 - kMargin;
    const TubeGeometry& tube = rotary_.tube;
    QPointF top = centre - QPointF(0, room);
    if (tube.pipe) {
      p.setPen(QPen(Qt::black, 1.5));
      p.drawEllipse(centre, room, room);
    } else {
      const ProfileTable& table = rotary_.table;
      if (table.outline.empty() || table.section.empty()) return;
      // The outline is in 0.5 mm; the section in 0.01 mm.
      const double radius = std::max(1.0, std::max(tube.diameter, 1) / 100.0);
      const double scale = room / radius;
      const std::int64_t last = static_cast<std::int64_t>(table.section.size()) - 1;
      const auto at = static_cast<std::size_t>(std::clamp<std::int64_t>(rotary_.previewAt, 0, last));
      const SectionPoint& up = table.section[at];
      const double phi = kHalfPi - up.theta, c = std::cos(phi), sn = std::sin(phi);
      const auto turned = [&](double x, double y) {
        return centre + QPointF((x * c - y * sn) * scale, -(x * sn + y * c) * scale);
      };
      QPolygonF outline;
      for (const SectionPoint& q : table.outline) outline << turned(q.x, q.y);
      outline << outline.front();
      p.setPen(QPen(Qt::black, 1.5));
      p.setBrush(QColor(240, 246, 252));
      p.drawPolygon(outline);
      top = turned(up.x / 50.0, up.y / 50.0);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::red);
    p.drawEllipse(top, 4.0, 4.0);
  }

 private:
  static constexpr int kSide = 130, kMargin = 8;
  static constexpr double kHalfPi = 1.57079632679489661923;
  const RotaryState& rotary_;
};

}  // namespace

void MainWindow::buildTubePanel() {
  tubePanel_ = new QFrame(this);
  tubePanel_->setObjectName("TubePanel");
  tubePanel_->setFrameShape(QFrame::Panel);
  tubePanel_->setAutoFillBackground(true);
  const auto button = [this](const char* name, const char* caption) {
    auto* b = new QPushButton(caption, tubePanel_);
    b->setObjectName(name);
    return b;
  };
  // The profile: W, H, R with their "OK" beside the turning section.
  auto* column = new QVBoxLayout(tubePanel_);
  auto* profileRow = new QHBoxLayout;
  // "[mm]" in the captions names the unit in force: "[in]" in imperial mode.
  QWidget* profileFields = CreateFieldRows(system_.fields, Window::Main,
                                           {{"xrB", "Rectangular tube width [mm]"},
                                            {"xrH", "Rectangular tube height [mm]"},
                                            {"xrR", "Corner radius [mm]"}},
                                           tubePanel_);
  QPushButton* okProfile = button("TubeOkProfile", "OK");
  static_cast<QFormLayout*>(profileFields->layout())->addRow(QString(), okProfile);
  profileRow->addWidget(profileFields, 0, Qt::AlignTop);
  tubeSection_ = new TubeSection(system_.rotary, tubePanel_);
  profileRow->addWidget(tubeSection_, 0, Qt::AlignTop);
  column->addLayout(profileRow);
  // The pipe: its diameter and "OK".
  auto* pipeRow = new QHBoxLayout;
  pipeRow->addWidget(CreateFieldRows(system_.fields, Window::Main, {{"xrD", "Round tube diameter [mm]"}},
                                     tubePanel_));
  QPushButton* okPipe = button("TubeOkPipe", "OK");
  pipeRow->addWidget(okPipe);
  column->addLayout(pipeRow);
  QPushButton* exit = button("TubeExit", "Exit");
  column->addWidget(exit, 0, Qt::AlignRight);

  connect(okProfile, &QPushButton::clicked, this, [this] { applyTubeOk(false); });
  connect(okPipe, &QPushButton::clicked, this, [this] { applyTubeOk(true); });
  connect(exit, &QPushButton::clicked, this, [this] {
    TubeExit(system_);
    leaveTubePanel();
    requestRedraw();
  });
  tubePanel_->setGeometry(QRect(QPoint(60, 60), tubePanel_->sizeHint()));
  tubePanel_->hide();
  auto* show = new QToolButton(this);
  show->setObjectName("SpeedButton5");
  show->setText("Tube");
  show->setFocusPolicy(Qt::NoFocus);
  connect(show, &QToolButton::clicked, this, [this] {
    showTubeUnits();
    tubePanel_->show();
    tubePanel_->raise();
    // A profile's outline turns at once, as after its "OK".
    if (!system_.rotary.tube.pipe && system_.rotary.table.outline.size() > kTurningOutlinePoints) {
      system_.rotary.previewRunning = true;
      timers_.value("Timer7")->start();
      tubeSection_->update();
    }
  });
}

// The tube's "OK": a pipe's diameter, or a profile's W, H, R with the section turning.
void MainWindow::applyTubeOk(bool pipe) {
  if (pipe) {
    TubeOkPipe(system_);
    // A pipe has no turning section: the circle stands.
    timers_.value("Timer7")->stop();
    system_.rotary.previewRunning = false;
  } else {
    TubeOkProfile(system_);
    timers_.value("Timer7")->start();
  }
  tubeSection_->update();
  requestRedraw();
}

void MainWindow::showTubeUnits() {
  const QString unit = system_.parser.imperial ? "[in]" : "[mm]";
  for (const QString& name : kTubeFields) {
    auto* field = tubePanel_->findChild<QWidget*>(name);
    auto* form = field ? qobject_cast<QFormLayout*>(field->parentWidget()->layout()) : nullptr;
    auto* label = form ? qobject_cast<QLabel*>(form->labelForField(field)) : nullptr;
    if (!label) continue;
    QString text = label->text();
    text.replace("[mm]", unit).replace("[in]", unit);
    label->setText(text);
  }
}

void MainWindow::setLogPaneVisible(bool visible) {
  logPane_->setVisible(visible);
  logLink_->setVisible(visible);
}

// "Import File": the job-accepted mark goes with the import window's opening;
// here the stage code and the view start over.
void MainWindow::importFile() {
  // Refused while busy, in the error label and the log.
  if (system_.RefusedWhileBusy()) return;
  system_.log.stage = kStageImport;
  drawingPanel_->fitJob();
  emit importRequested();
}

// Timer7, every 25 ms while the profile's section turns.
void MainWindow::tubePreviewTick() {
  AdvanceTubePreview(system_);
  tubeSection_->update();
  if (!system_.rotary.previewRunning) timers_.value("Timer7")->stop();
}

void MainWindow::leaveTubePanel() {
  if (QTimer* preview = timers_.value("Timer7")) preview->stop();
  system_.rotary.previewRunning = false;
  tubePanel_->hide();
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
  // The zoom bar: the same zoom as the wheel over the path view, about the view's centre.
  zoomBar_ = new QSlider(Qt::Horizontal, this);
  zoomBar_->setObjectName("zoom");
  zoomBar_->setToolTip("Zoom");
  zoomBar_->setRange(1, PathView::kTableZoom);
  zoomBar_->setValue(PathView::kFitZoom);
  // The arrow keys jog; they never move the bar.
  zoomBar_->setFocusPolicy(Qt::NoFocus);
  connect(zoomBar_, &QSlider::valueChanged, this, [this](int zoom) {
    if (zoom != drawingPanel_->zoom()) drawingPanel_->setZoom(zoom, drawingPanel_->rect().center());
  });
  drawingPanel_->zoomChanged = [this](int zoom) {
    const QSignalBlocker quiet(zoomBar_);
    zoomBar_->setValue(zoom);
  };
  progressBar_ = new QProgressBar(this);
  progressBar_->setObjectName("ProgressBar");
  progressBar_->setTextVisible(false);
  progressBar_->installEventFilter(this);
  const auto jobButton = [this](const char* name, const char* caption, const char* hint) {
    auto* button = new QToolButton(this);
    button->setObjectName(name);
    button->setText(caption);
    button->setToolTip(hint);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
  };
  startButton_ = jobButton("sStart", "START", "CTRL for REVERSE");
  connect(startButton_, &QToolButton::clicked, this, [this] {
    const bool ctrl = QApplication::queryKeyboardModifiers() & Qt::ControlModifier;
    runJob(ctrl ? JobStart::Reversed : JobStart::Start);
  });
  // The right button resumes, as F6 does.
  startButton_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(startButton_, &QWidget::customContextMenuRequested, this, [this] {
    if (!system_.Busy) runJob(JobStart::Resume);
  });
  simMark_ = new QLabel("S I M", this);
  simMark_->setObjectName("SimMark");
  simMark_->setStyleSheet("color: blue; font-weight: bold;");
  simMark_->hide();
  stopButton_ = jobButton("sStop", "STOP", "Esc");
  connect(stopButton_, &QToolButton::clicked, this, &MainWindow::escapeStop);
  QToolButton* outline = jobButton("SpeedButton4", "Outline", "Trace the job outline");
  connect(outline, &QToolButton::clicked, this, &MainWindow::traceOutline);
  QToolButton* angle = jobButton("bAngle", "Angle", "Align the job to the sheet's edge");
  angle->setCheckable(true);
  connect(angle, &QToolButton::clicked, this, &MainWindow::toggleAngle);
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
  showTubeUnits();
  presetBox_->setEditText(QString::fromStdString(system_.messages[kMsgPresetPlaceholder]));
  ShowCaptionsEverywhere(system_.messages);
}

// The bar shows how far the start contour lies into the job.
void MainWindow::showProgress() {
  // The bar runs from the first to the last index, as a click on it is scaled.
  progressBar_->setMaximum(std::max<int>(1, int(system_.job.Job.size()) - 1));
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
  // The tube panel's turning section; started by the profile's "OK".
  connect(addTimer("Timer7", 25, false), &QTimer::timeout, this, &MainWindow::tubePreviewTick);
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
  fitFrameToScreen();
  // Bring the window to the front once without keeping it on top.
  raise();
  activateWindow();
  StartupSequence(system_);
  rememberedOrigin_ = {system_.job.ProjectOriginX, system_.job.ProjectOriginY};
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

void MainWindow::layoutToolbar() {
  const auto visible = [this](const char* name) -> QAbstractButton* {
    auto* button = findChild<QAbstractButton*>(name, Qt::FindDirectChildrenOnly);
    return button && !button->isHidden() ? button : nullptr;
  };
  const auto widthOf = [](QAbstractButton* button) { return std::max(46, button->sizeHint().width()); };
  int left = 10;
  for (const char* name : kFileGroup)
    if (QAbstractButton* button = visible(name)) {
      button->setGeometry(left, kToolbarTop, widthOf(button), kToolbarHeight);
      left += widthOf(button) + 4;
    }
  int group = 0;
  for (const char* name : kMachineGroup)
    if (QAbstractButton* button = visible(name)) group += widthOf(button) + 4;
  const int connectLeft = width() - kConnectWidth - 10;
  left = std::max(left + 8, std::min(kMachineGroupLeft, connectLeft - group - 8));
  for (const char* name : kMachineGroup)
    if (QAbstractButton* button = visible(name)) {
      button->setGeometry(left, kToolbarTop, widthOf(button), kToolbarHeight);
      left += widthOf(button) + 4;
    }
  connectText_->setGeometry(std::max(left + 4, connectLeft), kToolbarTop,
                            width() - std::max(left + 4, connectLeft) - 10, kToolbarHeight);
  logo_->setGeometry(width() - 150, kErrorTop - 2, 140, 24);
}

// Every control stays on screen down to 1024 × 768: the left column holds the
// parameters, the side view and the jog panel; the path view takes the rest.
void MainWindow::layoutPanels() {
  const int w = width();
  const int h = height();
  layoutToolbar();
  errorLabel_->setGeometry(10, kErrorTop, std::max(100, w - 180), 22);
  const int jogTop = h - kJogPanelHeight - 6;
  const int sideTop = jogTop - kSideViewHeight - 4;
  parameterPanel_->setGeometry(10, kViewTop, kLeftWidth, std::max(60, sideTop - kViewTop - 4));
  sideView_->setGeometry(10, sideTop, kLeftWidth, kSideViewHeight);
  if (jogPanel_) jogPanel_->setGeometry(10, jogTop, kLeftWidth, kJogPanelHeight);
  const int viewLeft = 10 + kLeftWidth + 10;
  drawingPanel_->setGeometry(viewLeft, kViewTop, w - viewLeft - 10, h - kViewTop - kBottomBar - 4);
  const int barTop = drawingPanel_->geometry().bottom() + 4;
  statusLink_->setGeometry(viewLeft, barTop + 2, 60, 20);
  resetLink_->setGeometry(viewLeft + 100, barTop + 2, 40, 20);
  int left = viewLeft + 150;
  for (QToolButton* button : navigation_) {
    button->setGeometry(left, barTop, 36, 24);
    left += 40;
  }
  zoomBar_->setGeometry(left + 6, barTop + 2, 90, 20);
  left += 100;
  const int jobButtons = 2 * 70 + 8;
  progressBar_->setGeometry(left + 10, barTop + 3, std::max(40, w - left - 80 - jobButtons), 18);
  startButton_->setGeometry(w - 10 - jobButtons, barTop, 70, 24);
  simMark_->setGeometry(w - 10 - jobButtons - 50, barTop + 2, 46, 20);
  stopButton_->setGeometry(w - 10 - 70, barTop, 70, 24);
}

void MainWindow::restoreSize() {
  QSize size = this->size();
  const QString file = QString::fromStdString(system_.paths.dataRoot) + "window.ini";
  const QSize saved = QSettings(file, QSettings::IniFormat).value("MainWindow/size").toSize();
  if (saved.isValid()) size = saved;
  // Room for the window manager's title bar until the frame is known.
  constexpr int kFrameAllowance = 32;
  if (const QScreen* s = screen())
    size = size.boundedTo(s->availableGeometry().size() - QSize(0, kFrameAllowance));
  resize(size.expandedTo(minimumSize()));
}

// Once shown, the frame is known: the whole window, frame included, goes on screen.
void MainWindow::fitFrameToScreen() {
  const QScreen* s = screen();
  if (!s) return;
  const QRect available = s->availableGeometry();
  const QRect frame = frameGeometry();
  const QSize extra(frame.width() - width(), frame.height() - height());
  const QSize fits = size().boundedTo(available.size() - extra).expandedTo(minimumSize());
  if (fits != size()) resize(fits);
  if (!available.contains(frameGeometry())) move(available.topLeft());
}

void MainWindow::saveSize() const {
  if (system_.paths.dataRoot.empty()) return;
  const QString file = QString::fromStdString(system_.paths.dataRoot) + "window.ini";
  QSettings(file, QSettings::IniFormat).setValue("MainWindow/size", size());
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layoutPanels();
  requestRedraw();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!closed_) {
    closed_ = true;
    saveSize();
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

// The new instance starts once this one has let go of the device and the
// single-instance lock (RunProgram, after the event loop).
void MainWindow::restartProgram() {
  restartRequested_ = true;
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
    bindJog();
  }
  showConnectionState();
}

void MainWindow::bindJob() {
  Controller& c = *controller_;
  c.commands.ui.redrawToolMarker = [this] { drawingPanel_->refreshTool(); };
  // The job's own status reads keep the overlay current while the refresh rests.
  c.commands.ui.redrawStatusPanel = [this] { refreshOverlay(); };
  c.commands.ui.startJob = [this] { runJob(JobStart::Start); };
  // A stop locks the start for TStop's second, on the clock the runner's own
  // lock after a job end uses.
  c.commands.ui.startStopLock = [this] {
    QTimer* lock = timers_.value("TStop");
    startLockUntil_ = system_.clock.nowMicros() + std::int64_t{lock->interval()} * 1000;
    lock->start();
  };
  c.commands.ui.focusZoomBar = [this] { focusZoomBar(); };
  // A lost board moves nothing the window knows of: its last speed is not shown
  // (the simulation without a board has its own speed while it runs).
  drawingPanel_->setSpeedSource([this] {
    if (!controller_ || !(controller_->link.state.LinkConnected || system_.Busy)) return 0;
    return controller_->commands.status.ActualSpeed;
  });
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
  if (analysisWindow_)
    analysisWindow_->setSampler([this] {
      const Controller& k = *controller_;
      const bool arc = (k.link.state.StatusWord & wire::status::kTorch) != 0;
      RecordAnalysisSample(system_.job, k.commands.status.ActualSpeed,
                           arc ? k.commands.status.ArcVoltage * 10 : kAnalysisGap, kAnalysisGraphWidth);
    });
  // Every key of the program passes the application's hook first.
  if (!keys_) {
    keys_ = new KeyboardHook(*this);
    keys_->keyDown = [this](int key, Qt::KeyboardModifiers modifiers) { return keyDown(key, modifiers); };
    keys_->keyUp = [this](int key) { keyUp(key); };
    keys_->keyLost = [this](int key) { keyUp(key); };
    keys_->escape = [this] { escapeStop(); };
  }
}

void MainWindow::bindJog() {
  Controller& c = *controller_;
  jog_ = std::make_unique<Jog>(system_, c.link, c.commands, c.moves);
  referencing_ = std::make_unique<Referencing>(system_, c.link, c.commands, c.moves, c.connection);
  jog_->keys = [] {
    const auto modifiers = QApplication::queryKeyboardModifiers();
    return JogKeys{(modifiers & Qt::ControlModifier) != 0, (modifiers & Qt::ShiftModifier) != 0};
  };
  jog_->detectMaterial = [&c] {
    // The touch test senses the material again wherever the torch stands.
    c.cutting.LastSensePoint = {-100000, -100000};
    c.cutting.DetectMaterial();
  };
  c.commands.ui.clearJogDirection = [this] { jog_->JogDirection = jog::kNone; };
  c.commands.ui.jogDirectionActive = [this] { return jog_->JogDirection != jog::kNone; };
  c.moves.ui.jogDirection = [this] { return jog_->JogDirection; };
  c.commands.ui.pathViewSuspended = [this] { return drawingPanel_->popupOpen(); };
  c.connection.ui.startReferencingPrompt = [this] { referencing_->reminderArmed = true; };
  c.runner.ui.startReferencing = [this] { referencing_->reminderArmed = true; };
  connect(timers_.value("TREF"), &QTimer::timeout, this, [this] {
    if (referencing_ && !system_.Busy) referencing_->ReminderTick();
  });
  timers_.value("TREF")->start();
  delete jogPanel_;
  jogPanel_ = new JogPanel(system_, c, *jog_, *referencing_, this);
  jogPanel_->showPositionDialog = [this] {
    positionDialog_->show();
    positionDialog_->raise();
  };
  jogPanel_->redraw = [this] { requestRedraw(); };
  jogPanel_->toggleAngle = [this] { toggleAngle(); };
  c.commands.ui.releaseTorchButton = [this] { jogPanel_->showTorch(false); };
  jogPanel_->show();
  layoutPanels();
  bindGamepad();
}

void MainWindow::bindGamepad() {
  Controller& c = *controller_;
  gamepad_ = std::make_unique<Gamepad>(system_, c.link, *jog_);
  if (!padReader_) padReader_ = std::make_unique<GamepadReader>();
  gamepad_->pressTorch = [this] { jogPanel_->clickTorch(false); };
  gamepad_->zeroXY = [this] { jogPanel_->place(PlacementButton::LeftBottom); };
  gamepad_->startJob = [this] { runJob(JobStart::Start); };
  gamepad_->stop = [this] { escapeStop(); };
  gamepad_->slotAction = [this](std::int32_t action) { runAction(action); };
  if (!padTimer_) {
    padTimer_ = new QTimer(this);
    padTimer_->setObjectName("PadTimer");
    padTimer_->setSingleShot(true);
    connect(padTimer_, &QTimer::timeout, this, [this] {
      if (closed_ || !gamepad_) return;
      padTimer_->start(gamepad_->Tick(padReader_->read()));
    });
  }
  padTimer_->start(1000);
}

QString MainWindow::errorText() const { return errorLabel_->text(); }

// The output actions of F11, F12 and the game controller's buttons.
void MainWindow::runAction(std::int32_t action) {
  if (action == kActionStopAll) escapeStop();
  if (action == kActionTraceOutline) traceOutline();
  if (action == kActionToggleOut1 || action == kActionToggleOut2)
    if (auto* b = findChild<QToolButton*>(action == kActionToggleOut1 ? "sOut1" : "sOut2")) b->click();
}

void MainWindow::traceOutline() {
  if (!controller_) return;
  const bool fast = QApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
  TraceOutline(system_, controller_->commands, controller_->moves, fast);
}

// The angle mode: the job turned to the sheet's edge from the reference
// corner, or back as it was.
void MainWindow::toggleAngle() {
  auto* button = findChild<QToolButton*>("bAngle");
  // A tube has no sheet edge to align to, pipe or profile.
  if (system_.Busy || system_.rotary.active) {
    button->setChecked(system_.prep.AngleActive);
    return;
  }
  if (system_.prep.AngleActive)
    ReleaseSheetAngle(system_.job, system_.prep, system_.host);
  else
    AlignToSheetAngle(system_.job, system_.prep, system_.host);
  button->setChecked(system_.prep.AngleActive);
  requestRedraw();
}

bool MainWindow::keyDown(int key, Qt::KeyboardModifiers modifiers) {
  if (!controller_ || !jog_) return false;
  Controller& c = *controller_;
  c.link.state.StatusCode = 0;
  // A key acknowledges the In2 alarm once its input has gone.
  if (!in2AlarmInput()) c.runner.AlarmLatched = false;
  const bool ctrl = modifiers & Qt::ControlModifier;
  const bool busy = system_.Busy;
  QWidget* focus = QApplication::focusWidget();
  // Typing into a field keeps its own keys; the jog keys still jog.
  const bool typing = focus && (qobject_cast<QLineEdit*>(focus) || focus == presetBox_ ||
                                focus->parentWidget() == presetBox_);
  if (const int direction = JogDirectionOfKey(key)) {
    jogPanel_->pressJog(direction, false);
    return true;
  }
  // Held modifiers show what a start would do: Ctrl a reversed start (with a
  // start path set), Shift a simulation.
  if (key == Qt::Key_Control && system_.job.CurrentContour >= 0) startButton_->setText(Tr(system_.messages, "REVERSE"));
  if (key == Qt::Key_Shift) simMark_->show();
  if (ctrl && (modifiers & Qt::KeypadModifier)) {
    if (busy) return true;
    if (key == Qt::Key_0) jogPanel_->zeroZ(false);
    if (const auto placement = PlacementOfKey(key)) jogPanel_->place(*placement);
    return true;
  }
  if (key >= Qt::Key_F1 && key <= Qt::Key_F4) {
    if (busy) return true;
    const int n = key - Qt::Key_F1 + 1;
    if (ctrl)
      referencing_->ProgramPark(n);
    else
      referencing_->GoToPark(n);
    return true;
  }
  switch (key) {
    case Qt::Key_Space:
      if (typing || system_.advanced.spaceBarDisabled) return false;
      jogPanel_->clickTorch(ctrl);
      return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (typing) return false;
      c.commands.Send(wire::cmd::kEnterKey);
      return true;
    case Qt::Key_Home:
    case Qt::Key_End:
      if (typing || busy) return false;
      (key == Qt::Key_Home ? RewindToStart : JumpToLastContour)(system_.job, system_.host);
      showProgress();
      return true;
    case Qt::Key_F5:
      if (!busy) runJob(ctrl ? JobStart::Reversed : JobStart::Start);
      return true;
    case Qt::Key_F6:
      if (!busy) runJob(JobStart::Resume);
      return true;
    case Qt::Key_F7:
      if (!busy) jog_->TouchTest();
      return true;
    case Qt::Key_F8:
      jogPanel_->zeroZ(false);
      return true;
    case Qt::Key_F9:
      jogPanel_->place(PlacementButton::LeftBottom);
      return true;
    case Qt::Key_F11:
    case Qt::Key_F12: {
      if (busy) return true;
      runAction(key == Qt::Key_F11 ? system_.advanced.FuncF11 : system_.advanced.FuncF12);
      return true;
    }
    case Qt::Key_E:
      if (!ctrl || busy) return false;
      if (auto* button = findChild<QPushButton*>("sExport")) button->setVisible(button->isHidden());
      layoutToolbar();
      return true;
    case Qt::Key_L:
      if (!ctrl) return false;
      setLogPaneVisible(!logPane_->isVisible());
      if (analysisWindow_) analysisWindow_->show();
      return true;
    case Qt::Key_Z:
      if (!ctrl || typing) return false;
      system_.job.ProjectOriginX = rememberedOrigin_.x;
      system_.job.ProjectOriginY = rememberedOrigin_.y;
      requestRedraw();
      return true;
    case Qt::Key_Plus:
    case Qt::Key_Minus:
      if (!(modifiers & Qt::KeypadModifier)) return false;
      c.runner.ChangeSpeed(key == Qt::Key_Plus ? +1 : -1);
      return true;
    default:
      return false;
  }
}

void MainWindow::keyUp(int key) {
  if (key == Qt::Key_Control) startButton_->setText(Tr(system_.messages, "START"));
  if (key == Qt::Key_Shift) simMark_->hide();
  if (const int direction = JogDirectionOfKey(key); direction && jogPanel_)
    jogPanel_->releaseJog(direction);
}

// Esc, the Stop button, F11/F12 set to stop: the operator's stop. No
// automatic arc restart follows it.
void MainWindow::escapeStop() {
  if (!controller_) return;
  Controller& c = *controller_;
  system_.prep.LineStart = {-1, 0};
  system_.ContourState = 200;
  c.commands.StopMotion();
  if (jog_) jog_->JogDirection = jog::kNone;
  setErrorText({});
  // The "On/Off Button" outputs the stop keeps go off too; "Z axis Down" stays.
  const CommandFields f = c.commands.commandFields();
  if (f.out1 == OutputMode::OnOffButton) c.commands.SetOutputButton(1, false);
  if (f.out2 == OutputMode::OnOffButton) c.commands.SetOutputButton(2, false);
  for (const char* name : {"sOut1", "sOut2"})
    if (auto* button = findChild<QToolButton*>(name)) button->setChecked(false);
}

void MainWindow::runPopupEntry(PopupEntry entry) {
  if (!controller_ || system_.Busy) return;
  Controller& c = *controller_;
  switch (entry) {
    case PopupEntry::MoveHere:
      MoveHere(system_, c.commands, c.moves);
      break;
    case PopupEntry::MoveToZero:
      MoveToZero(system_, c.commands, c.moves);
      break;
    case PopupEntry::CutAllFromObject:
    case PopupEntry::CutFromThisPoint:
      StartFromPick(system_.job, entry == PopupEntry::CutFromThisPoint);
      runJob(JobStart::Start);
      system_.job.ResumeMode = 0;
      break;
    case PopupEntry::LineFromHere:
      MarkLineStart(system_.prep, system_.job);
      break;
    case PopupEntry::LineToHere:
      CutSingleLine(system_, c.commands, c.cutting);
      break;
    case PopupEntry::Cancel:
      break;
  }
  requestRedraw();
}

void MainWindow::refreshOverlay() {
  if (!controller_) return;
  const Controller& c = *controller_;
  StatusPanelState s;
  s.connected = c.link.state.LinkConnected;
  s.statusWord = s.connected ? c.link.state.StatusWord : 0;
  s.statusCode = c.link.state.StatusCode;
  s.interfaceEnabled = system_.fields.checked(Window::Configuration, "cInterface");
  s.blinkRed = blinkRed_;
  s.notConnectedText = system_.messages[12];
  s.in2AlarmText = system_.fields.text(Window::Configuration, "eAlarm");
  s.in2AlarmLatched = in2AlarmLatched();
  s.softLimitsOff = !system_.fields.checked(Window::Configuration, "cLimits");
  s.pointer = drawingPanel_->pointerInJob();
  s.arcVoltage = c.commands.status.ArcVoltage;
  s.in2ArcOk = c.commands.commandFields().in2ArcOk;
  s.milling = system_.fields.checked(Window::Configuration, "cSpec1a");
  s.torchOnByPc = c.commands.SimulatedTorch;
  s.imperial = system_.parser.imperial;
  s.torch = system_.job.MachinePosition;
  s.origin = {system_.job.ProjectOriginX, system_.job.ProjectOriginY, system_.job.ProjectOriginZ, 0};
  s.width = drawingPanel_->width();
  drawingPanel_->setOverlay(StatusOverlay(s));
  sideView_->setPicture(SideViewPicture(s, sideView_->width(), sideView_->height()));
  if (jogPanel_ && s.connected) jogPanel_->showTorch((s.statusWord & wire::status::kTorch) != 0);
}

void MainWindow::analyseJob() {
  if (system_.Busy) return;
  AnalysisResult result = AnalyseJob(system_, analysisShown_);
  drawingPanel_->showPicture(std::move(result.picture));
  analysisShown_ = true;
}

void MainWindow::runJob(JobStart how) {
  if (!controller_ || system_.Busy) return;
  // The input may have risen since the last refresh. The reversed cut passes
  // none of the runner's refusals, so the alarm and the lock are checked here
  // for every kind of start.
  latchIn2Alarm();
  JobRunner& runner = controller_->runner;
  if (runner.AlarmLatched || system_.clock.nowMicros() < startLockUntil_) return;
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
  // Navy is the pointer's colour over the label: a Leave lost to a dialog
  // that opened under the pointer must not leave "Connected" navy.
  const bool pointerOver = isActiveWindow() && connectText_->isVisible() &&
                           connectText_->rect().contains(connectText_->mapFromGlobal(QCursor::pos()));
  if (controller_->indicator.colour == IndicatorColour::Navy && !pointerOver)
    controller_->indicator.MouseLeave();
  const ConnectionIndicator& model = controller_->indicator;
  connectText_->setText(QString::fromStdString(model.text));
  connectText_->setToolTip(ConnectionIndicator::kHint);
  connectText_->setStyleSheet(QString("color: %1; font-weight: bold; font-size: %2pt;")
                                  .arg(kColours[static_cast<int>(model.colour)])
                                  .arg(model.fontSize));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == drawingPanel_) {
    if (event->type() == QEvent::MouseButtonPress)
      rememberedOrigin_ = {system_.job.ProjectOriginX, system_.job.ProjectOriginY};
    return QWidget::eventFilter(watched, event);
  }
  if (watched == logPane_->viewport()) {
    if (event->type() == QEvent::MouseButtonDblClick) {
      logPane_->clear();
      return true;
    }
    return QWidget::eventFilter(watched, event);
  }
  if (watched == statusLink_ || watched == resetLink_ || watched == logLink_) {
    if (event->type() == QEvent::Enter || event->type() == QEvent::Leave) {
      auto* link = static_cast<QLabel*>(watched);
      QFont font = link->font();
      font.setBold(event->type() == QEvent::Enter);
      link->setFont(font);
    }
    return QWidget::eventFilter(watched, event);
  }
  if (watched == sideView_) {
    // A right click on the side view opens the position dialog filled in.
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (event->type() != QEvent::MouseButtonPress || mouse->button() != Qt::RightButton)
      return QWidget::eventFilter(watched, event);
    const JobState& job = system_.job;
    const bool imperial = system_.parser.imperial;
    const auto show = [&](const char* field, std::int64_t value) {
      system_.fields.setText(Window::Main, field, FormatPosition(value, imperial));
    };
    show("xX", std::int64_t{job.MachinePosition.x} - job.ProjectOriginX);
    show("xY", std::int64_t{job.MachinePosition.y} - job.ProjectOriginY);
    show("xZ", std::int64_t{job.MachinePosition.z} - job.ProjectOriginZ);
    show("xXM", job.ProjectOriginX);
    show("xYM", job.ProjectOriginY);
    show("xZM", job.ProjectOriginZ);
    positionDialog_->show();
    positionDialog_->raise();
    return true;
  }
  if (watched == errorLabel_) {
    if (event->type() == QEvent::MouseButtonRelease) setErrorText({});
    return QWidget::eventFilter(watched, event);
  }
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
  // The open popup menu holds the refresh, as the pick it shows would be drawn over.
  if (drawingPanel_->popupOpen()) {
    if (!closed_) timer->start(20);
    return;
  }
  const bool wasConnected = controller_->link.state.LinkConnected;
  controller_->commands.RefreshStatus();
  // A lost board shows at once: the exchange disconnects and the label turns red.
  if (wasConnected != controller_->link.state.LinkConnected) showConnectionState();
  latchIn2Alarm();
  refreshOverlay();
  if (!closed_) timer->start(20);
}

bool MainWindow::in2AlarmInput() const {
  constexpr int kIn2Alarm = 4;
  return controller_ && system_.fields.choiceIndex(Window::Configuration, "cIn2") == kIn2Alarm &&
         (controller_->link.state.StatusWord & wire::status::kIn2);
}

bool MainWindow::in2AlarmLatched() const { return controller_ && controller_->runner.AlarmLatched; }

// The text stays and starts are refused until a key after the input has gone.
void MainWindow::latchIn2Alarm() {
  if (in2AlarmLatched() || !in2AlarmInput()) return;
  controller_->runner.AlarmLatched = true;
  controller_->commands.StopMotion();
}

void MainWindow::focusZoomBar() {
  if (isActiveWindow()) zoomBar_->setFocus();
}

void MainWindow::onTimer2() {
  blinkRed_ = !blinkRed_;
  if (!controller_ || system_.Busy) return;
  CheckEStop(system_, controller_->commands, controller_->link,
             controller_->connection.fields().autoConnect);
  controller_->indicator.Blink(controller_->link.state.LinkConnected);
  showConnectionState();
}

void MainWindow::onTimer6() {
  if (arcMonitor_) arcMonitor_->Tick();
}

QString MainWindow::projectFolder() const {
  if (!projectFolder_.isEmpty() && QFileInfo(projectFolder_).isDir()) return projectFolder_;
  return QString::fromStdString(system_.paths.storeFolder());
}

void MainWindow::openProject() {
  if (system_.RefusedWhileBusy()) return;
  const QString path = QFileDialog::getOpenFileName(this, "Open Project", projectFolder(),
                                                    "Corvane CNC Projects (*.cvp *.cvp2)");
  if (path.isEmpty()) return;
  projectFolder_ = QFileInfo(path).absolutePath();
  OpenProject(system_, path.toStdString());
  showProgress();
  requestRedraw();
}

void MainWindow::saveProject() {
  if (system_.Busy) return;
  QFileDialog dialog(this, "Save Project", projectFolder(), "Corvane CNC Projects v2 (*.cvp2)");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  // The store appends ".cvp2" to every name that lacks it, dots or not.
  // The store asks before overwriting, in the operator's language.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  projectFolder_ = QFileInfo(dialog.selectedFiles().first()).absolutePath();
  SaveProject(system_, dialog.selectedFiles().first().toStdString());
}

void MainWindow::exportGcode() {
  if (system_.Busy || system_.job.Job.empty()) return;
  const bool bare = QApplication::keyboardModifiers() & Qt::ControlModifier;
  const QString drawing = QString::fromStdString(system_.fields.text(Window::Import, "eFileName"));
  QFileDialog dialog(this, "G-Codes Eksport", drawing.isEmpty() ? projectFolder() : drawing + ".tap",
                     "G-Code (*.tap)");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("tap");
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString name = dialog.selectedFiles().first();
  const FileResult written =
      WriteGcodeExport(name.toStdString(), system_.job.Job,
                       ReadGcodeExportSettings(system_.fields, system_.advanced, system_.parser),
                       bare ? GcodeExportFormat::Bare : GcodeExportFormat::Standard);
  if (!written) {
    system_.host.showError(written.error);
    return;
  }
  QDesktopServices::openUrl(QUrl::fromLocalFile(name));
}

void MainWindow::appendLog(const QString& message) {
  const bool follow = logFollows_;
  logPane_->appendPlainText(message);
  if (!follow) return;
  QScrollBar* bar = logPane_->verticalScrollBar();
  bar->setValue(bar->maximum());
  logFollows_ = true;
}

void MainWindow::showLogPane() {
  setLogPaneVisible(true);
  parameterPanel_->show();
}

void MainWindow::setErrorText(const QString& text) { errorLabel_->setText(text); }

// "sounds/<language>/<name>.wav" of the program folder, when "Sounds" is
// ticked; a missing file or audio device is no error.
void MainWindow::playSound(std::string_view name) {
#ifdef CORVANE_HAVE_MULTIMEDIA
  if (!system_.fields.checked(Window::Configuration, "cSounds")) return;
  const QString file = QString::fromStdString(OperatorSoundFile(
      system_.paths.programFolder, system_.fields.text(Window::Configuration, "eLng"), name));
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

const MessageTable& MainWindow::messages() const { return system_.messages; }

void MainWindow::requestRedraw() { drawingPanel_->invalidate(); }

void MainWindow::requestRefresh() { update(); }

}  // namespace corvane::ui
