#include "ui/ConfigurationWindow.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollArea>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <map>

#include "link/HexConvert.h"
#include "machine/ConfigurationActions.h"
#include "machine/FirmwareButton.h"
#include "store/FieldStore.h"
#include "system/System.h"
#include "ui/BoardPicture.h"
#include "ui/FieldPanel.h"
#include "ui/TextViewer.h"
#include "virtual/ControllerSetup.h"

namespace corvane::ui {
namespace {

constexpr Window kConfig = Window::Configuration;
constexpr int kProgramPage = 3;
constexpr int kLampRefreshMillis = 100;

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), int(text.size())); }

// Captions of the fields whose table entry has none; the window shows them
// beside the field so that every control says what it is. They name no unit:
// the unit switch changes units only in the language's texts.
const std::map<std::string, const char*> kOwnCaptions = {
    {"eVmax", "-"},
    {"eAccA", "Acceleration A ( RAMP )"},
    {"xFeedMinA", "A safety speed"},
    {"xFeedhA", "Hand A speed"},
    {"xFeedMaxA", "A maximum speed"},
    {"xLimitX", "X limit"},
    {"xLimitY", "Y limit"},
    {"xLimitZ", "Z limit"},
    {"xHomingA", "A Speed"},
    {"cHomingA", "Revers"},
    {"eSpec1a", "[ ms ] Pointing limit"},
    {"xSpec9", "Y"},
    {"xSpec12", "Y"},
    {"eAlarm", "Alarm text"},
};

// One framed group of a page: rows of captions and fields in a grid.
class Group {
 public:
  Group(const char* title, QWidget* panel, QWidget* parent)
      : panel_(panel), box_(new QGroupBox(title, parent)), grid_(new QGridLayout(box_)) {
    grid_->setColumnStretch(1, 1);
  }

  // One row: each field after its caption label.
  Group& row(std::initializer_list<const char*> names) {
    const int r = grid_->rowCount();
    int column = 0;
    for (const char* name : names) {
      QWidget* widget = find(name);
      if (!widget) continue;
      if (QLabel* label = labelFor(name, widget)) grid_->addWidget(label, r, column++);
      grid_->addWidget(widget, r, column++);
    }
    return *this;
  }
  Group& widget(QWidget* w, int span = 2) {
    grid_->addWidget(w, grid_->rowCount(), 0, 1, span);
    return *this;
  }
  QGroupBox* box() const { return box_; }
  QGridLayout* grid() const { return grid_; }

  QWidget* find(const char* name) const { return panel_->findChild<QWidget*>(name); }

  // The field's caption label: the field panel's own, or one made from the
  // table or our captions; none for a check box, which carries its caption.
  QLabel* labelFor(const char* name, QWidget* widget) {
    if (auto* box = qobject_cast<QAbstractButton*>(widget)) {
      if (box->text().isEmpty() && kOwnCaptions.count(name)) box->setText(kOwnCaptions.at(name));
      return nullptr;
    }
    const QString labelName = QString("l") + name;
    if (auto* label = panel_->findChild<QLabel*>(labelName)) return label;
    QString caption;
    if (const FieldValue* value = fields->find(kConfig, name)) caption = Q(value->definition->caption);
    if (const ChoiceValue* choice = fields->findChoice(kConfig, name))
      caption = Q(choice->definition->caption);
    if (caption.isEmpty() && kOwnCaptions.count(name)) caption = kOwnCaptions.at(name);
    if (caption.isEmpty()) return nullptr;
    auto* label = new QLabel(caption, box_);
    label->setObjectName(labelName);
    label->setVisible(!widget->isHidden());
    return label;
  }

  FieldStore* fields = nullptr;

 private:
  QWidget* panel_;
  QGroupBox* box_;
  QGridLayout* grid_;
};

// A page of groups in two columns, each filled top to bottom.
struct Page {
  explicit Page(QWidget* fieldPanel, FieldStore& store, const char* name)
      : panel(fieldPanel), fields(store), page(new QWidget(fieldPanel)), grid(new QGridLayout(page)) {
    page->setObjectName(name);
    for (int c = 0; c < 2; ++c) {
      auto* column = new QWidget(page);
      columns[c] = new QGridLayout(column);
      columns[c]->setContentsMargins(0, 0, 0, 0);
      grid->addWidget(column, 0, c, Qt::AlignTop);
      grid->setColumnStretch(c, 1);
    }
  }
  Group group(const char* title, int column) {
    Group g(title, panel, page);
    g.fields = &fields;
    columns[column]->addWidget(g.box(), columns[column]->rowCount(), 0);
    return g;
  }
  QWidget* done() { return page; }
  QWidget* panel;
  FieldStore& fields;
  QWidget* page;
  QGridLayout* grid;
  QGridLayout* columns[2] = {};
};

// The widgets of a grid that take the keyboard as they are read: a page
// column by column, a group row by row.
void CollectFocusable(QGridLayout* grid, QList<QWidget*>& chain, bool byColumns = false) {
  const int outer = byColumns ? grid->columnCount() : grid->rowCount();
  const int inner = byColumns ? grid->rowCount() : grid->columnCount();
  for (int i = 0; i < outer; ++i)
    for (int j = 0; j < inner; ++j) {
      QLayoutItem* item = byColumns ? grid->itemAtPosition(j, i) : grid->itemAtPosition(i, j);
      QWidget* w = item ? item->widget() : nullptr;
      if (!w || chain.contains(w)) continue;
      if (w->focusPolicy() & Qt::TabFocus) chain << w;
      else if (auto* nested = qobject_cast<QGridLayout*>(w->layout())) CollectFocusable(nested, chain);
    }
}

QLabel* MakeLamp(QWidget* parent, const QString& name) {
  auto* lamp = new QLabel(parent);
  lamp->setObjectName(name);
  lamp->setFixedSize(18, 18);
  lamp->setStyleSheet("border: 1px solid black; border-radius: 9px; background: rgb(88,255,116);");
  return lamp;
}

}  // namespace

ConfigurationWindow::ConfigurationWindow(FieldStore& fields)
    : QWidget(nullptr, Qt::Window), fields_(fields) {
  setObjectName("ConfigurationWindow");
  setWindowTitle("Configuration");
  // Fits a 1024 x 768 screen with the window frame and a panel; the pages
  // scroll when a language's texts need more room.
  resize(1000, 690);
  auto* column = new QVBoxLayout(this);
  auto* scroll = static_cast<QScrollArea*>(CreateFieldPanel(fields, kConfig, this));
  column->addWidget(scroll);
  QWidget* panel = scroll->widget();
  // The generic form only made and bound the widgets: take them out of its
  // rows; they stay below the panel, where the binder looks for them.
  auto* form = static_cast<QFormLayout*>(panel->layout());
  while (form->rowCount() > 0) {
    const QFormLayout::TakeRowResult row = form->takeRow(0);
    if (row.labelItem) {
      QWidget* label = row.labelItem->widget();
      // A caption that only repeats the field's name gives way to ours.
      if (label && label->objectName().isEmpty()) delete label;
      delete row.labelItem;
    }
    delete row.fieldItem;
  }
  delete form;
  buildPages(panel);
}

void ConfigurationWindow::buildPages(QWidget* panel) {
  auto* column = new QVBoxLayout(panel);
  pages_ = new QTabWidget(panel);
  pages_->setObjectName("PageControl1");
  column->addWidget(pages_);
  const std::pair<QWidget*, const char*> pages[] = {{buildElectronics(panel), "Electronics"},
                                                    {buildMachine(panel), "Machine"},
                                                    {buildFunctions(panel), "Functions"},
                                                    {buildProgram(panel), "Program"}};
  int index = 1;
  for (const auto& [page, title] : pages) {
    page->setObjectName(QString("TabSheet%1").arg(index++));
    pages_->addTab(page, title);
    // Tab walks the page as it reads: group by group, row by row.
    QList<QWidget*> chain;
    CollectFocusable(static_cast<QGridLayout*>(page->layout()), chain, true);
    for (int i = 1; i < chain.size(); ++i) setTabOrder(chain[i - 1], chain[i]);
    if (!chain.isEmpty()) page->setFocusProxy(chain.first());
  }
  // Ctrl+Tab walks the pages from any field, lists included.
  const auto pageKey = [this](QKeySequence keys, int step) {
    auto* shortcut = new QShortcut(keys, this);
    connect(shortcut, &QShortcut::activated, this, [this, step] {
      pages_->setCurrentIndex((pages_->currentIndex() + step + pages_->count()) % pages_->count());
    });
  };
  pageKey(QKeySequence(Qt::CTRL | Qt::Key_Tab), 1);
  pageKey(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1);
  // A page shown from the keyboard starts at its first field.
  connect(pages_, &QTabWidget::currentChanged, this, [this](int page) {
    if (QWidget* shown = pages_->widget(page); shown && isVisible()) shown->setFocus();
  });
}

QWidget* ConfigurationWindow::buildElectronics(QWidget* panel) {
  Page page(panel, fields_, "Electronics");
  page.group("Plasma interface ( THC )", 0)
      .row({"cDV"})
      .row({"eVcal"})
      .row({"cInterface"})
      .row({"eTHCspeed"})
      .row({"cArcOk"})
      .row({"xTransferH"});

  Group drivers = page.group("Drivers", 0);
  const char* axes[][3] = {{"X", "cStepX", "cReversX"},
                           {"Y", "cStepY", "cReversY"},
                           {"Z", "cStepZ", "cReversZ"},
                           {"A", "cStepP", "cReversP"}};
  for (int i = 0; i < 4; ++i) {
    QGridLayout* grid = drivers.grid();
    const int r = grid->rowCount();
    auto* axis = new QLabel(QString("%1 axis").arg(axes[i][0]), drivers.box());
    axis->setObjectName(QString("lAxis%1").arg(axes[i][0]));
    grid->addWidget(axis, r, 0);
    QWidget* list = drivers.find(axes[i][1]);
    grid->addWidget(drivers.labelFor(axes[i][1], list), r, 1);
    grid->addWidget(list, r, 2);
    grid->addWidget(drivers.find(axes[i][2]), r, 3);
    lamps_[size_t(i)] = MakeLamp(drivers.box(), QString("Lamp%1").arg(axes[i][0]));
    grid->addWidget(lamps_[size_t(i)], r, 4);
  }
  drivers.grid()->setColumnStretch(1, 0);
  drivers.grid()->setColumnStretch(2, 1);
  // The A row belongs to rotary mode.
  for (const char* name : {"lAxisA", "LampA"}) panel->findChild<QWidget*>(name)->hide();

  page.group("Fourth axis", 1).row({"cFunctionP"});

  Group inputs = page.group("Inputs ( NEG = normally closed )", 0);
  inputs.grid()->setColumnStretch(1, 0);
  inputs.grid()->setColumnStretch(0, 1);
  for (int i = 1; i <= 8; ++i) {
    auto* number = new QLabel(QString("In %1").arg(i), inputs.box());
    number->setAlignment(Qt::AlignRight);
    inputs.grid()->addWidget(number, 0, i);
    QWidget* box = inputs.find(QString("cNeg%1").arg(i).toLatin1().constData());
    // The row's caption stands before the first box, each box under its number.
    box->setLayoutDirection(Qt::RightToLeft);
    if (i == 1) inputs.grid()->addWidget(box, 1, 0, 1, 2, Qt::AlignRight);
    else inputs.grid()->addWidget(box, 1, i, Qt::AlignRight);
  }

  page.group("Game controller", 1).row({"cType2"}).row({"cGamepad"});

  Group board = page.group("Controller board ( live inputs and outputs )", 1);
  board_ = new BoardPicture(board.box());
  board.widget(board_);
  Group firmware = page.group("Firmware", 1);
  firmware.widget(buildFirmware(firmware.box()));
  return page.done();
}

QWidget* ConfigurationWindow::buildFirmware(QWidget* parent) {
  auto* box = new QWidget(parent);
  auto* grid = new QGridLayout(box);
  auto* bootloader = new QPushButton("bootloader", box);
  bootloader->setObjectName("bFirmware");
  bootloader->setToolTip("Write the firmware that comes with the program into the controller");
  auto* compile = new QPushButton("compile", box);
  compile->setObjectName("Button2");
  compile->setToolTip("Convert an Intel HEX file into the firmware image");
  progress_ = new QProgressBar(box);
  progress_->setObjectName("ProgressBar1");
  progress_->setMaximum(kFirmwareProgressMaximum);
  progress_->hide();
  firmwareStatus_ = new QLabel(box);
  firmwareStatus_->setObjectName("Label2");
  firmwareStatus_->setToolTip("Click to clear");
  firmwareStatus_->installEventFilter(this);
  memo_ = new QPlainTextEdit(box);
  memo_->setObjectName("Memo1");
  memo_->setMaximumHeight(160);
  memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  grid->addWidget(bootloader, 0, 0);
  grid->addWidget(compile, 0, 1);
  grid->addWidget(firmwareStatus_, 1, 0, 1, 2);
  grid->addWidget(progress_, 2, 0, 1, 2);
  grid->addWidget(memo_, 3, 0, 1, 2);
  connect(bootloader, &QPushButton::clicked, this, &ConfigurationWindow::startFirmwareUpdate);
  connect(compile, &QPushButton::clicked, this, &ConfigurationWindow::compileHexFile);
  return box;
}

QWidget* ConfigurationWindow::buildMachine(QWidget* panel) {
  Page page(panel, fields_, "Machine");
  page.group("Drive gears", 0).row({"xMoveX"}).row({"xMoveY"}).row({"xMoveZ"}).row({"eGearA"});
  page.group("XY motion", 0).row({"xFeedMaxXY"}).row({"xFeedhXY"}).row({"xFeedMinXY"}).row({"eAccXY"});
  page.group("Z motion", 0).row({"xFeedMaxZ"}).row({"xFeedhZ"}).row({"xFeedMinZ"}).row({"eAccZ"});
  Group rotary = page.group("A motion ( rotary )", 1);
  rotary.box()->setObjectName("RotarySpeeds");
  rotary.box()->hide();
  rotary.row({"xFeedMaxA"})
      .row({"xFeedhA"})
      .row({"xFeedMinA"})
      .row({"eAccA"});
  page.group("Soft limits", 1).row({"cLimits"}).row({"xLimitX"}).row({"xLimitY"}).row({"xLimitZ"});
  page.group("Referencing", 1)
      .row({"cHoming"})
      .row({"xHomingX", "cHomingX"})
      .row({"xHomingY", "cHomingY"})
      .row({"xHomingZ"})
      .row({"xHomingA", "cHomingA"})
      .row({"eAoffset"});
  return page.done();
}

QWidget* ConfigurationWindow::buildFunctions(QWidget* panel) {
  Page page(panel, fields_, "Functions");
  page.group("Material detection", 0)
      .row({"cFloating"})
      .row({"xCor2"})
      .row({"xDetectionH"})
      .row({"xDetectionS"})
      .row({"cOhmic"})
      .row({"xCor1"})
      .row({"cSpec5"});
  page.group("Cutting", 0)
      .row({"xSmall"})
      .row({"eSpec1"})
      .row({"eSpec1a"})
      .row({"eSpec3"})
      .row({"cSpec2"})
      .row({"cSpec6"})
      .row({"eSpec12"});
  page.group("Inputs and outputs", 0).row({"cOut1"}).row({"cOut2"}).row({"cIn1"}).row({"cIn2"}).row({"eAlarm"});
  page.group("Modes", 1).row({"cSpec1"}).row({"cSpec1a"}).row({"cSpec4"}).row({"cSounds"});
  page.group("Offsets", 1)
      .row({"xSpec8", "xSpec9"})
      .row({"xSpec10"})
      .row({"xSpec11", "xSpec12"})
      .row({"xSpec13"})
      .row({"xBacklash"});
  Group counters = page.group("Counters and password", 1);
  counters.row({"eSpec4"}).row({"eSpec6"}).row({"eSpec5"});
  for (const char* name : {"leSpec4", "leSpec5", "leSpec6"})
    if (auto* label = panel->findChild<QLabel*>(name)) {
      label->installEventFilter(this);
      label->setToolTip("Double-click to edit the counters");
    }

  Group park = page.group("Park positions", 1);
  const char* heads[] = {"X", "Y", "Z"};
  for (int c = 0; c < 3; ++c) park.grid()->addWidget(new QLabel(heads[c], park.box()), 0, c + 1);
  const char* rows[][4] = {{"lef1z", "eF1x", "ef1y", "ef1z"},     {"leF2x", "eF2x", "eF2y", "eF2z"},
                           {"leF3x", "eF3x", "eF3y", "eF3z"},     {"leF4x", "eF4x", "eF4y", "eF4z"},
                           {"leSTARTx", "eSTARTx", "eSTARTy", "eSTARTz"},
                           {"leENDy", "eENDx", "eENDy", "eENDz"}};
  for (int r = 0; r < 6; ++r) {
    if (QWidget* label = park.find(rows[r][0])) park.grid()->addWidget(label, r + 1, 0);
    for (int c = 1; c <= 3; ++c)
      if (QWidget* field = park.find(rows[r][c])) park.grid()->addWidget(field, r + 1, c);
  }
  return page.done();
}

QWidget* ConfigurationWindow::buildProgram(QWidget* panel) {
  Page page(panel, fields_, "Program");
  page.group("Units and language", 0).row({"cImperial"}).row({"ComboBox1"});
  Group files = page.group("Files", 0);
  files.box()->setObjectName("ProgramFiles");
  auto* logs = new QPushButton("Logs", files.box());
  logs->setObjectName("bLogs");
  logs->setToolTip("Open today's program log");
  files.grid()->addWidget(logs, 0, 0);
  connect(logs, &QPushButton::clicked, this, &ConfigurationWindow::openTodaysLog);
  auto* special = new QPushButton("Special", files.box());
  special->setObjectName("bSpecial");
  special->setCheckable(true);
  special->setToolTip("Show or hide the special functions");
  files.grid()->addWidget(special, 0, 1);
  files.grid()->setColumnStretch(1, 0);
  files.grid()->setColumnStretch(3, 1);

  // The special functions: a group of the page's own, beside the others and
  // covering none of them, shown and hidden in place.
  Group panelGroup = page.group("Special functions", 1);
  specialPanel_ = panelGroup.box();
  specialPanel_->setObjectName("SpecialPanel");
  panelGroup.row({"eSpec2"}).row({"cSpec3"}).row({"eVmin", "eVmax"}).row({"eAcal"});
  // The panel hides these as a whole; inside it they are always shown.
  for (const char* name : {"eSpec2", "cSpec3", "eVmin", "eVmax", "eAcal", "leSpec2", "leVmin",
                           "leVmax", "leAcal"})
    if (QWidget* w = panel->findChild<QWidget*>(name)) w->show();
  specialPanel_->hide();
  connect(special, &QPushButton::toggled, specialPanel_, &QWidget::setVisible);
  return page.done();
}

void ConfigurationWindow::attach(System& system, Controller& controller,
                                 ConfigurationActions& actions) {
  system_ = &system;
  controller_ = &controller;
  actions_ = &actions;
  board_->setStatusSource([c = &controller] { return c->link.state.StatusWord; });
  // Every text field takes its keys, pastes and drops through the input
  // filters, and its finished values through the range check.
  GuardFieldInput(this, system, kConfig);
  auto* lampTimer = new QTimer(this);
  lampTimer->setObjectName("BoardLamps");
  lampTimer->setInterval(kLampRefreshMillis);
  connect(lampTimer, &QTimer::timeout, board_, qOverload<>(&QWidget::update));
  lampTimer->start();

  actions.ui.selectProgramPage = [this] { pages_->setCurrentIndex(kProgramPage); };
  actions.ui.showRotaryControls = [this](bool rotary) {
    for (const char* name : {"lAxisA", "LampA", "RotarySpeeds"})
      findChild<QWidget*>(name)->setVisible(rotary);
    findChild<QWidget*>("eGearA")->setEnabled(rotary);
  };
  controller.commands.ui.enableOhmicCheckBox = [this](bool enabled) {
    findChild<QWidget*>("cOhmic")->setEnabled(enabled);
  };
  connect(pages_, &QTabWidget::currentChanged, this, [this](int index) {
    if (index == 0 && isVisible()) actions_->MicrosteppingRefresh();
  });

  // The memo starts with the HEX text of the firmware the program carries.
  QFile hex(QString::fromStdString(system.paths.programFolder) + kFirmwareHexFile);
  if (hex.open(QIODevice::ReadOnly)) memo_->setPlainText(QString::fromLatin1(hex.readAll()));

  Connection& connection = controller.connection;
  connection.ui.openElectronicsTab = [this] {
    pages_->setCurrentIndex(0);
    show();
    raise();
  };
  connection.ui.startFirmwareUpdate = [this] { startFirmwareUpdate(); };
  connection.ui.convertHexFile = [this] { compileHexFile(); };
  connection.ui.clearFirmwareStatusText = [this] { setFirmwareStatus({}); };
}

void ConfigurationWindow::startFirmwareUpdate() {
  if (!system_ || system_->Busy) return;
  FirmwareButtonUi ui;
  ui.update.setStatusText = [this](const std::string& text) { setFirmwareStatus(Q(text)); };
  ui.update.setProgress = [this](int value) { progress_->setValue(value); };
  ui.update.stopStatusRefresh = [this] {
    if (statusRefresh_) statusRefresh_(false);
  };
  ui.update.resumeStatusRefresh = [this] {
    if (statusRefresh_) statusRefresh_(true);
  };
  ui.showPages = [this] {
    pages_->setCurrentIndex(0);
    show();
  };
  ui.showProgress = [this](bool visible) { progress_->setVisible(visible); };
  ui.clearMemo = [this] { memo_->clear(); };
  ui.setStatusFontSize = [this](int points) {
    QFont font = firmwareStatus_->font();
    font.setPointSize(points);
    firmwareStatus_->setFont(font);
  };
  ui.setStatusGreen = [this] { firmwareStatus_->setStyleSheet("background: rgb(88,255,116);"); };
  ui.restartProgram = restart_;
  PressFirmwareButton(*system_, controller_->link, controller_->connection, ui);
}

void ConfigurationWindow::compileHexFile() {
  if (!system_) return;
  const QString path = QFileDialog::getOpenFileName(this, "compile", {}, "HEX Files (*.hex)");
  if (!path.isEmpty()) {
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) memo_->setPlainText(QString::fromLatin1(file.readAll()));
  }
  const HexImage image =
      CompileFirmwareFile(memo_->toPlainText().toStdString(), system_->paths.programFolder);
  if (image.ok())
    setFirmwareStatus(QString("%1 : %2 bytes").arg(kFirmwareFileName).arg(image.image.size()));
  else
    setFirmwareStatus(QString("HEX line %1: %2").arg(image.line).arg(Q(image.error)));
}

void ConfigurationWindow::setFirmwareStatus(const QString& text) {
  firmwareStatus_->setText(text);
  if (text.isEmpty()) firmwareStatus_->setStyleSheet({});
}

void ConfigurationWindow::showLamps() {
  if (!actions_) return;
  for (size_t axis = 0; axis < lamps_.size(); ++axis) {
    const RgbColour c = LampColour(actions_->lamps()[axis]);
    lamps_[axis]->setStyleSheet(
        QString("border: 1px solid black; border-radius: 9px; background: rgb(%1,%2,%3);")
            .arg(c.r)
            .arg(c.g)
            .arg(c.b));
  }
  const DiagnosticsReport& report = actions_->report();
  const std::pair<const char*, const std::string*> hints[] = {
      {"cStepX", &report.hintX}, {"cStepY", &report.hintY}, {"cStepZ", &report.hintZ}};
  for (const auto& [name, hint] : hints)
    if (QWidget* list = findChild<QWidget*>(name)) list->setToolTip(Q(*hint));
}

void ConfigurationWindow::applyCounterLock() {
  const bool unlocked = actions_ && actions_->countersUnlocked();
  for (const char* name : {"eSpec4", "eSpec6"})
    if (QWidget* field = findChild<QWidget*>(name)) field->setEnabled(unlocked);
}

// Today's log in the program's own viewer, scrolled to its latest lines.
void ConfigurationWindow::openTodaysLog() {
  if (!system_) return;
  const std::string name = ProgramLog::FileNameFor(system_->clock.localNow());
  const QString file = QString::fromStdString(system_->paths.logsFolder() + name);
  if (!ShowInViewer(this, "LogViewer", "Log " + QString::fromStdString(name), file,
                    TextViewer::Format::PlainText)) {
    TellOperator(*system_, "Today's log " + QDir::toNativeSeparators(file) + " cannot be read.");
  }
}

void ConfigurationWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The window opens on the page it was closed on.
  const int page = QString::fromStdString(fields_.text(kConfig, "eTabSheet")).toInt();
  if (page >= 0 && page < pages_->count()) pages_->setCurrentIndex(page);
  pages_->currentWidget()->setFocus();
  if (!actions_) return;
  actions_->Opened();
  applyCounterLock();
  actions_->MicrosteppingRefresh();
}

void ConfigurationWindow::closeEvent(QCloseEvent* event) {
  // A value still being typed is judged before the closing steps send it.
  FinishFieldEdits(this);
  if (actions_) {
    actions_->Closed(pages_->currentIndex());
    applyCounterLock();
  }
  event->accept();
}

void ConfigurationWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && actions_) {
    actions_->EscapePressed();
    return;
  }
  QWidget::keyPressEvent(event);
}

bool ConfigurationWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == firmwareStatus_ && event->type() == QEvent::MouseButtonPress) {
    setFirmwareStatus({});
    return true;
  }
  if (event->type() == QEvent::MouseButtonDblClick && actions_ &&
      watched->objectName().startsWith("leSpec")) {
    actions_->UnlockCounters();
    applyCounterLock();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace corvane::ui
