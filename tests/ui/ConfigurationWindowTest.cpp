#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDropEvent>
#include <QGroupBox>
#include <QInputDialog>
#include <QMimeData>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "job/JobFixture.h"
#include "machine/ConfigurationActions.h"
#include "store/FieldTables.h"
#include "store/SettingsStore.h"
#include "ui/ConfigurationLinks.h"
#include "ui/ConfigurationWindow.h"
#include "ui/MainWindow.h"
#include "ui/QtApp.h"
#include "ui/QtHost.h"

namespace corvane {
namespace {

constexpr Window kConfig = Window::Configuration;

// The configuration window and the main window's links, wired as the program
// wires them, on the controller side of a JobFixture connected to the board.
struct WithQt {
  WithQt() { testing::QtApp(); }
};
struct ConfigurationUi : WithQt, testing::JobFixture {
  explicit ConfigurationUi(bool statusVisible = true, std::string title = {}) {
    system->advanced.statusVisible = statusVisible;
    if (!title.empty()) system->advanced.title = title;
    InstallStoreBehaviours(*system);
    actions.Install();
    window.attach(*system, *controller, actions);
    ui::BindConfiguration(main, window, *system, *controller, actions);
    // Start-up: the settings written and read back set every list from its field.
    SaveSettings(*system);
    LoadSettings(*system);
    system->loading = false;
    Connect();
  }
  ~ConfigurationUi() { window.hide(); }
  // One timeout of the main window's Timer2, from the event loop.
  void secondTick() {
    QTimer* timer = main.timer("Timer2");
    timer->start(0);
    QTest::qWait(30);
    timer->stop();
  }
  template <typename W>
  W* find(QWidget& top, const char* name) {
    return top.findChild<W*>(name);
  }
  // The title of the page that holds `widget`, or "" when no page does.
  QString pageOf(QWidget* widget) {
    QTabWidget* tabs = window.pages();
    for (int i = 0; i < tabs->count(); ++i)
      if (tabs->widget(i)->isAncestorOf(widget)) return tabs->tabText(i);
    return {};
  }

  ConfigurationActions actions{*system, controller->commands, controller->connection,
                               controller->link.state};
  ui::ConfigurationWindow window{system->fields};
  ui::MainWindow main{*system, nullptr};
};

TEST(ConfigurationWindow, EveryFieldOfTheTableSitsOnItsPageAndIsBound) {
  ConfigurationUi ui;
  QTabWidget* tabs = ui.window.pages();
  ASSERT_EQ(tabs->count(), 4);
  const char* titles[] = {"Electronics", "Machine", "Functions", "Program"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(tabs->tabText(i), titles[i]);

  for (const FieldSpec& field : FieldsOf(kConfig)) {
    const QString name = QString::fromUtf8(field.name.data(), int(field.name.size()));
    QWidget* widget = ui.window.findChild<QWidget*>(name);
    ASSERT_NE(widget, nullptr) << name.toStdString();
    // A hidden field is on its page when a mode shows it; the special panel
    // shows its fields on the Program page, where its button is.
    const QString page = ui.pageOf(widget);
    if (ui.find<QWidget>(ui.window, "SpecialPanel")->isAncestorOf(widget)) {
      EXPECT_EQ(page, "Program") << name.toStdString();
    } else if (field.state != FieldState::Hidden || !page.isEmpty()) {
      EXPECT_EQ(page.toStdString(), field.group) << name.toStdString();
    }
  }
  for (const ChoiceSpec& list : ChoiceListsOf(kConfig)) {
    const QString name = QString::fromUtf8(list.name.data(), int(list.name.size()));
    auto* widget = ui.window.findChild<QComboBox*>(name);
    ASSERT_NE(widget, nullptr) << name.toStdString();
    EXPECT_EQ(ui.pageOf(widget).toStdString(), list.page) << name.toStdString();
  }

  // Typed text reaches the store; the store's value reaches the widget.
  auto* gear = ui.find<QLineEdit>(ui.window, "xMoveX");
  gear->clear();
  QTest::keyClicks(gear, "40");
  EXPECT_EQ(ui.system->fields.text(kConfig, "xMoveX"), "40");
  ui.system->fields.setText(kConfig, "xFeedMaxXY", "9000");
  EXPECT_EQ(ui.find<QLineEdit>(ui.window, "xFeedMaxXY")->text(), "9000");

  // The input filters: a gear takes "," as ".", a speed only digits, and
  // nothing is typed while the machine is busy.
  gear->clear();
  QTest::keyClicks(gear, "4a2,5");
  EXPECT_EQ(ui.system->fields.text(kConfig, "xMoveX"), "42.5");
  auto* speed = ui.find<QLineEdit>(ui.window, "xFeedMinXY");
  speed->clear();
  QTest::keyClicks(speed, "7.5-0");
  EXPECT_EQ(ui.system->fields.text(kConfig, "xFeedMinXY"), "750");
  ui.system->Busy = true;
  QTest::keyClicks(speed, "1");
  QTest::keyClick(speed, Qt::Key_Backspace);
  EXPECT_EQ(ui.system->fields.text(kConfig, "xFeedMinXY"), "750");
  ui.system->Busy = false;
}

TEST(ConfigurationWindow, TheConfigurationButtonAsksForThePasswordWhenOneIsSet) {
  ConfigurationUi ui;
  auto* button = ui.find<QToolButton>(ui.main, "SpeedButton32");
  ASSERT_NE(button, nullptr);
  const struct {
    const char* password;
    std::deque<std::optional<std::string>> answers;
    bool opens;
  } cases[] = {{"", {}, true},
               {"abc", {std::string("wrong")}, false},
               {"abc", {std::nullopt}, false},
               {"abc", {std::string("abc")}, true},
               {"abc", {std::string("40917")}, true}};
  for (const auto& c : cases) {
    ui.window.hide();
    ui.system->fields.setText(kConfig, "eSpec5", c.password);
    ui.host.inputs = c.answers;
    const size_t asked = ui.host.prompts.size();
    button->click();
    EXPECT_EQ(ui.window.isVisible(), c.opens) << c.password;
    EXPECT_EQ(ui.host.prompts.size(), asked + (*c.password ? 1 : 0));
  }
  ui.system->Busy = true;
  ui.window.hide();
  ui.system->fields.setText(kConfig, "eSpec5", "");
  button->click();
  EXPECT_FALSE(ui.window.isVisible()) << "refused while busy";
}

TEST(ConfigurationWindow, AWrongPasswordIsToldAndLoggedAndTheFirmwareQuestionAsksItToo) {
  ConfigurationUi ui;
  ui.system->fields.setText(kConfig, "eSpec5", "abc");
  const struct {
    std::optional<std::string> answer;
    bool given;
    bool told;  // "Wrong password" shown and logged
  } cases[] = {{std::string("wrong"), false, true},
               {std::nullopt, false, false},
               {std::string("abc"), true, false},
               {std::string("40917"), true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer.value_or("(cancelled)"));
    ui.host.inputs = {c.answer};
    ui.host.messages.clear();
    ui.host.logPane.clear();
    // The connection's firmware question goes through the same guard.
    ASSERT_TRUE(ui.controller->connection.ui.setupPasswordGiven);
    EXPECT_EQ(ui.controller->connection.ui.setupPasswordGiven(), c.given);
    EXPECT_EQ(ui.host.messages, c.told ? std::vector<std::string>{"Wrong password"}
                                       : std::vector<std::string>{});
    EXPECT_EQ(std::count(ui.host.logPane.begin(), ui.host.logPane.end(), "Setup: wrong password"),
              c.told ? 1 : 0);
  }
}

TEST(ConfigurationWindow, ThePasswordQuestionHidesWhatIsTyped) {
  testing::QtApp();
  ui::QtHost host;
  QLineEdit::EchoMode echo = QLineEdit::Normal;
  QString title, typed;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    echo = dialog->textEchoMode();
    title = dialog->windowTitle();
    auto* edit = dialog->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    QTest::keyClicks(edit, "4711");
    typed = edit->displayText();
    dialog->accept();
  });
  const auto answer = host.inputPassword("Setup", "Password");
  EXPECT_EQ(echo, QLineEdit::Password);
  EXPECT_EQ(title, "Setup");
  EXPECT_FALSE(typed.contains("4711")) << typed.toStdString();
  EXPECT_EQ(answer, std::optional<std::string>("4711"));
}

TEST(ConfigurationWindow, TheStatusLinkShowsTheSummaryAndResetClearsTheStatistics) {
  ConfigurationUi ui;
  auto* status = ui.find<QLabel>(ui.main, "StatusLink");
  auto* reset = ui.find<QLabel>(ui.main, "ResetLink");
  ui.controller->link.state.WorstAttempt = 9;
  ui.system->StatisticsChanged = true;
  ui.secondTick();
  EXPECT_TRUE(status->text().contains("Status : Check")) << status->text().toStdString();
  EXPECT_TRUE(status->text().contains("rgb(255,0,0)"));
  EXPECT_FALSE(reset->isHidden());
  EXPECT_TRUE(ui.find<QLabel>(ui.main, "ReportPane")->text().contains("USB Interferences : High"));

  emit reset->linkActivated("reset");
  EXPECT_TRUE(reset->isHidden());
  EXPECT_EQ(ui.controller->link.state.WorstAttempt, 0);
  ui.secondTick();
  EXPECT_FALSE(status->text().contains("Check"))
      << ui.find<QLabel>(ui.main, "ReportPane")->text().toStdString();

  emit status->linkActivated("status");
  EXPECT_FALSE(ui.find<QLabel>(ui.main, "ReportPane")->isHidden());
}

TEST(ConfigurationWindow, AdvancedOptionsHideTheStatusLinkAndReplaceTheCaption) {
  ConfigurationUi ui(false, "Table 3 - hall B");
  EXPECT_TRUE(ui.find<QLabel>(ui.main, "StatusLink")->isHidden());
  EXPECT_EQ(ui.main.windowTitle(), "Table 3 - hall B");
  ui.controller->link.state.WorstAttempt = 9;
  ui.actions.RebuildReport();
  EXPECT_TRUE(ui.find<QLabel>(ui.main, "ResetLink")->isHidden());
}

TEST(ConfigurationWindow, OutputButtonsAppearInButtonModeAndSwitchTheOutputs) {
  ConfigurationUi ui;
  auto* out1 = ui.find<QToolButton>(ui.main, "sOut1");
  auto* list = ui.find<QComboBox>(ui.window, "cOut1");
  EXPECT_TRUE(out1->isHidden());
  emit list->activated(3);
  EXPECT_FALSE(out1->isHidden());
  out1->click();
  EXPECT_EQ(ui.tap->commandCodes().back(), wire::cmd::kOut1On);
  out1->click();
  EXPECT_EQ(ui.tap->commandCodes().back(), wire::cmd::kOut1Off);
  emit list->activated(1);
  EXPECT_TRUE(out1->isHidden());
}

TEST(ConfigurationWindow, TheInterfaceBoxUnticksTheSensorAndEscStopsTheMachine) {
  ConfigurationUi ui;
  ui.window.show();
  auto* interface = ui.find<QCheckBox>(ui.window, "cInterface");
  auto* ohmic = ui.find<QCheckBox>(ui.window, "cOhmic");
  interface->click();
  EXPECT_TRUE(ohmic->isEnabled()) << "the board was told and the sensor may be used";
  ohmic->click();
  ASSERT_TRUE(ui.system->fields.checked(kConfig, "cOhmic"));
  interface->click();
  EXPECT_FALSE(ohmic->isChecked());
  EXPECT_FALSE(ohmic->isEnabled());

  const size_t stops = ui.tap->requestsWithCommand(wire::cmd::kStop).size();
  QTest::keyClick(&ui.window, Qt::Key_Escape);
  EXPECT_EQ(ui.tap->requestsWithCommand(wire::cmd::kStop).size(), stops + 1);

  ui.window.pages()->setCurrentIndex(2);
  ui.window.close();
  EXPECT_EQ(ui.system->fields.text(kConfig, "eTabSheet"), "2");
}

TEST(ConfigurationWindow, TheBootloaderButtonAndAShiftClickOnTheLabelUpdateTheFirmware) {
  ConfigurationUi ui;
  int restarts = 0;
  QString statusAtRestart;
  auto* status = ui.find<QLabel>(ui.window, "Label2");
  ui.window.setRestart([&] {
    ++restarts;
    statusAtRestart = status->text();
  });
  ui.system->fields.setText(kConfig, "eVer", "1.0.0");
  ui.find<QPushButton>(ui.window, "bFirmware")->click();
  EXPECT_EQ(statusAtRestart, "Upadate OK!");
  EXPECT_EQ(restarts, 1);
  EXPECT_TRUE(status->text().isEmpty()) << "the connection that follows clears it";
  EXPECT_EQ(ui.system->fields.text(kConfig, "eVer"), ui.controller->connection.fields().lVer);
  EXPECT_TRUE(ui.find<QPlainTextEdit>(ui.window, "Memo1")->toPlainText().isEmpty());
  EXPECT_TRUE(ui.find<QProgressBar>(ui.window, "ProgressBar1")->isHidden());

  // Shift-click on the connection label of a board that is not connected.
  ui.controller->link.Disconnect();
  ui.window.hide();
  ui.window.pages()->setCurrentIndex(3);
  ui.controller->connection.ClickIndicator(true, false);
  EXPECT_TRUE(ui.window.isVisible());
  EXPECT_EQ(ui.window.pages()->currentIndex(), 0) << "the Electronics page";
  EXPECT_EQ(restarts, 2);

  // A click on the status text clears it.
  ui.window.setFirmwareStatus("Firmware Upadate ERR!");
  QTest::mouseClick(status, Qt::LeftButton);
  EXPECT_TRUE(status->text().isEmpty());
}

TEST(ConfigurationWindow, TheThcButtonFollowsTheSettingAndTellsTheBoard) {
  ConfigurationUi ui;
  auto* thc = ui.find<QToolButton>(ui.main, "bTHC");
  EXPECT_TRUE(thc->isChecked()) << "eTHC starts \"on\"";
  const size_t sent = ui.tap->requestsWithCommand(wire::cmd::kThcSettings).size();
  thc->click();
  EXPECT_EQ(ui.system->fields.text(Window::Main, "eTHC"), "off");
  EXPECT_EQ(ui.tap->requestsWithCommand(wire::cmd::kThcSettings).size(), sent + 1);
  // A load that finds "on" presses it again.
  ui.system->fields.setText(Window::Main, "eTHC", "on");
  SaveSettings(*ui.system);
  LoadSettings(*ui.system);
  EXPECT_TRUE(thc->isChecked());
}

TEST(ConfigurationWindow, TheUnitSwitchShowsInchesOnTheProgramPageAndTheLabelsUnlockTheCounters) {
  ConfigurationUi ui;
  ui.window.show();
  ui.window.pages()->setCurrentIndex(1);
  ui.find<QCheckBox>(ui.window, "cImperial")->click();
  EXPECT_EQ(ui.window.pages()->currentIndex(), 3) << "the Program page";
  EXPECT_EQ(ui.find<QLineEdit>(ui.window, "xMoveX")->text(), "1.5");
  ui.find<QCheckBox>(ui.window, "cImperial")->click();
  EXPECT_EQ(ui.find<QLineEdit>(ui.window, "xMoveX")->text(), "38.1");

  auto* pierces = ui.find<QLineEdit>(ui.window, "eSpec4");
  EXPECT_FALSE(pierces->isEnabled());
  for (const char* label : {"leSpec4", "leSpec5", "leSpec6"}) {
    ui.window.close();
    ui.window.show();
    EXPECT_FALSE(pierces->isEnabled()) << label;
    QTest::mouseDClick(ui.find<QLabel>(ui.window, label), Qt::LeftButton);
    EXPECT_TRUE(pierces->isEnabled()) << label;
    EXPECT_TRUE(ui.find<QLineEdit>(ui.window, "eSpec6")->isEnabled()) << label;
  }
}

// Ctrl+V with the clipboard's text into the selected field, as the operator does.
void Paste(QLineEdit* edit, const QString& text) {
  QApplication::clipboard()->setText(text);
  edit->setFocus();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
}

// Text dropped from another program onto an emptied field.
void Drop(QLineEdit* edit, const QString& text) {
  edit->clear();
  QMimeData mime;
  mime.setText(text);
  // The drop goes to the widget that accepted the drag's entry.
  QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(edit, &enter);
  QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(edit, &drop);
}

// Pasted and dropped text passes the same filter as typed keys, and a value
// outside the field's range never stays: the old value comes back, the field
// turns red and the log says why.
TEST(ConfigurationWindow, PastedAndDroppedValuesPassTheFiltersAndTheRanges) {
  ConfigurationUi ui;
  ui.window.show();
  const struct {
    const char* field;
    const char* pasted;
    const char* kept;  // in the field and in the store
  } cases[] = {
      {"xFeedMaxXY", "7x,5", "75"},            // a speed: digits only
      {"xMoveX", "7x,5", "7.5"},               // a gear: "," becomes "."
      {"xHomingX", "-50abc", "50"},            // had no filter at all
      {"xSpec8", "-12,5 mm", "-12.5"},         // an offset may be negative
      {"eTHCspeed", "90 %", "90%"},
      {"eAccXY", "99999999999999", "20"},      // refused: the default stays
      {"xFeedMinXY", "0", "762"},              // refused
      {"eAoffset", "abc", "-10"},              // nothing left: refused
  };
  for (const auto& c : cases) {
    auto* edit = ui.find<QLineEdit>(ui.window, c.field);
    ASSERT_NE(edit, nullptr) << c.field;
    Paste(edit, c.pasted);
    EXPECT_EQ(edit->text().toStdString(), c.kept) << c.field;
    EXPECT_EQ(ui.system->fields.text(kConfig, c.field), c.kept) << c.field;
  }
  EXPECT_TRUE(ui.logged("eAccXY: \"99999999999999\" is outside 1 .. 1000; kept 20"));
  auto* ramp = ui.find<QLineEdit>(ui.window, "eAccXY");
  EXPECT_TRUE(ramp->styleSheet().contains("255,114,85")) << "shown as wrong";
  EXPECT_EQ(ramp->toolTip(), "\"99999999999999\" is outside 1 .. 1000; kept 20");
  Paste(ramp, "35");
  EXPECT_EQ(ui.system->fields.text(kConfig, "eAccXY"), "35");
  EXPECT_TRUE(ramp->styleSheet().isEmpty()) << "an accepted value clears the mark";
  EXPECT_NE(ramp->toolTip().toStdString().find("eAccXY"), std::string::npos) << "its own hint back";

  auto* gearZ = ui.find<QLineEdit>(ui.window, "xMoveZ");
  Drop(gearZ, "1 2,5");
  EXPECT_EQ(ui.system->fields.text(kConfig, "xMoveZ"), "12.5");
  Drop(gearZ, "5000");
  EXPECT_EQ(gearZ->text(), "12.5");
  EXPECT_EQ(ui.system->fields.text(kConfig, "xMoveZ"), "12.5");

  // Nothing is pasted or dropped while the machine runs.
  ui.system->Busy = true;
  auto* speed = ui.find<QLineEdit>(ui.window, "xFeedMaxXY");
  Paste(speed, "9000");
  Drop(speed, "9000");
  EXPECT_EQ(ui.system->fields.text(kConfig, "xFeedMaxXY"), "75");
  ui.system->Busy = false;
}

// Typed values are judged when the field is left or Enter is pressed, and at
// the latest when the window closes, before its closing steps send them.
TEST(ConfigurationWindow, ATypedValueOutsideItsRangeIsRefusedWhenTheEditEnds) {
  ConfigurationUi ui;
  ui.window.show();
  auto* gear = ui.find<QLineEdit>(ui.window, "xMoveX");
  gear->setFocus();
  gear->selectAll();
  QTest::keyClicks(gear, "5000");
  EXPECT_EQ(ui.system->fields.text(kConfig, "xMoveX"), "5000") << "still being typed";
  QTest::keyClick(gear, Qt::Key_Return);
  EXPECT_EQ(gear->text(), "38.1");
  EXPECT_EQ(ui.system->fields.text(kConfig, "xMoveX"), "38.1");
  gear->selectAll();
  QTest::keyClicks(gear, "0,5");
  QTest::keyClick(gear, Qt::Key_Return);
  EXPECT_EQ(ui.system->fields.text(kConfig, "xMoveX"), "0.5");

  // Inches on screen, millimetres judged: 3938 in/min is 100025 mm/min.
  ui.find<QCheckBox>(ui.window, "cImperial")->click();
  auto* speed = ui.find<QLineEdit>(ui.window, "xFeedMaxXY");
  const QString before = speed->text();
  Paste(speed, "3938");
  EXPECT_EQ(speed->text(), before);
  EXPECT_TRUE(ui.logged("xFeedMaxXY: \"3938\" is outside 0.03937 .. 3937.007874; kept " +
                        before.toStdString()));
  Paste(speed, "3937");
  EXPECT_EQ(ui.system->fields.text(kConfig, "xFeedMaxXY"), "3937");
  ui.find<QCheckBox>(ui.window, "cImperial")->click();

  auto* ramp = ui.find<QLineEdit>(ui.window, "eAccZ");
  ramp->setFocus();
  ramp->selectAll();
  QTest::keyClicks(ramp, "0");
  ui.window.close();
  EXPECT_EQ(ui.system->fields.text(kConfig, "eAccZ"), "20");
}

// The window fits a 1024 x 768 screen with its frame and a panel, and the
// special functions, when shown, cover no control of the Program page.
TEST(ConfigurationWindow, TheWindowFitsASmallScreenAndTheSpecialPanelCoversNothing) {
  ConfigurationUi ui;
  ui.window.show();
  const QSize most(1010, 700);
  EXPECT_LE(ui.window.width(), most.width());
  EXPECT_LE(ui.window.height(), most.height());
  EXPECT_LE(ui.window.minimumSizeHint().width(), most.width());
  EXPECT_LE(ui.window.minimumSizeHint().height(), most.height());
  EXPECT_LE(ui.window.minimumWidth(), most.width());
  EXPECT_LE(ui.window.minimumHeight(), most.height());

  ui.window.pages()->setCurrentIndex(3);
  auto* special = ui.find<QPushButton>(ui.window, "bSpecial");
  auto* panel = ui.find<QWidget>(ui.window, "SpecialPanel");
  ASSERT_NE(special, nullptr);
  ASSERT_NE(panel, nullptr);
  EXPECT_FALSE(panel->isVisible());
  special->click();
  QApplication::processEvents();
  ASSERT_TRUE(panel->isVisible());
  ASSERT_TRUE(ui.find<QWidget>(ui.window, "eSpec2")->isVisible());
  const auto onWindow = [&](QWidget* w) {
    return QRect(w->mapTo(&ui.window, QPoint(0, 0)), w->size());
  };
  const QRect covered = onWindow(panel);
  EXPECT_FALSE(covered.isEmpty());
  QWidget* page = ui.window.pages()->widget(3);
  // Laid out with the page's groups, not over them: whatever another group
  // or a longer text adds, the layout keeps them apart.
  EXPECT_TRUE(page->isAncestorOf(panel));
  int controls = 0;
  for (QWidget* w : page->findChildren<QWidget*>()) {
    const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                         qobject_cast<QComboBox*>(w) || qobject_cast<QGroupBox*>(w);
    if (!control || !w->isVisible() || panel->isAncestorOf(w)) continue;
    ++controls;
    EXPECT_FALSE(covered.intersects(onWindow(w))) << w->objectName().toStdString();
  }
  EXPECT_GE(controls, 4) << "the imperial box, the language list and the buttons";
  special->click();
  EXPECT_FALSE(panel->isVisible());
}

}  // namespace
}  // namespace corvane
