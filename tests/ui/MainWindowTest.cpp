#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QProgressBar>
#include <QToolButton>
#include <QSignalSpy>
#include <QTest>

#include "model/JobNormalise.h"
#include "sim/VirtualBoard.h"
#include "support/SystemFixture.h"
#include "ui/WindowFixture.h"
#include "ui/MainWindow.h"
#include "ui/PathView.h"
#include "ui/QtHost.h"
#include "ui/QtApp.h"
#include "ui/SplashScreen.h"
#include "system/CommandLine.h"
#include "virtual/ControllerFields.h"
#include "virtual/ControllerSetup.h"

namespace corvane {
namespace {

using testing::OpenWindow;
using testing::VirtualBoardWindow;

TEST(MainWindow, StartsWithCaptionTimersAndLogLines) {
  OpenWindow u;
  ASSERT_TRUE(u.created);
  ASSERT_TRUE(u.showAndWait());
  ui::MainWindow& window = u.window;

  EXPECT_EQ(window.windowTitle(), "Corvane CNC v 1.2.1e  /Wood");
  EXPECT_EQ(window.minimumSize(), QSize(470, 250));

  const struct {
    const char* name;
    int interval;
    bool active;
  } timers[] = {{"Timer1", 20, true},  {"Timer2", 1000, true}, {"Timer3", 500, true},
                {"Timer4", 200, false}, {"Timer5", 10, false}, {"Timer6", 250, true},
                {"Timer7", 25, false},  {"Timer8", 1, false},  {"TStop", 1000, true},
                {"TREF", 500, false}};
  for (const auto& t : timers) {
    QTimer* timer = window.timer(t.name);
    ASSERT_NE(timer, nullptr) << t.name;
    EXPECT_EQ(timer->interval(), t.interval) << t.name;
    EXPECT_EQ(timer->isActive(), t.active) << t.name;
  }
  EXPECT_EQ(window.timerNames().size(), 10);

  // The caption line reached both the day's log file and the pane.
  const std::string log = testing::ReadFileText(u.system->log.path());
  EXPECT_NE(log.find("|000| 09:05:00 Corvane CNC v 1.2.1e  /Wood\r\n"), std::string::npos);
  auto* pane = window.findChild<QPlainTextEdit*>("LogPane");
  ASSERT_NE(pane, nullptr);
  EXPECT_TRUE(pane->toPlainText().contains("Corvane CNC v 1.2.1e  /Wood"));
  EXPECT_FALSE(u.system->loading);

  window.close();
  EXPECT_NE(testing::ReadFileText(u.system->log.path()).find("CloseApp\r\n"), std::string::npos);
}

TEST(MainWindow, ResizeKeepsThePanelsWhereTheOperatorExpectsThem) {
  OpenWindow u;
  ASSERT_TRUE(u.created);
  ui::MainWindow& window = u.window;
  ASSERT_TRUE(u.showAndWait());
  window.resize(1000, 700);
  QApplication::processEvents();
  const QWidget* view = window.findChild<QWidget*>("PathView");
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->geometry(), QRect(320, 60, 670, 608));
  EXPECT_EQ(window.findChild<QWidget*>("ParameterPanel")->geometry().topLeft(), QPoint(10, 60));
  window.resize(100, 100);
  QApplication::processEvents();
  EXPECT_EQ(window.size(), QSize(470, 250));
}

// The pane follows the newest line even when a long line before it wraps
// over several rows; an operator who scrolled back up is left where he is.
TEST(MainWindow, TheLogPaneFollowsTheNewestLineAfterALongWrappedOne) {
  OpenWindow u;
  ASSERT_TRUE(u.created);
  ASSERT_TRUE(u.showAndWait());
  auto* pane = u.window.findChild<QPlainTextEdit*>("LogPane");
  ASSERT_NE(pane, nullptr);
  QScrollBar* bar = pane->verticalScrollBar();
  const auto lastLineShown = [&] {
    QApplication::processEvents();
    const int bottom = pane->viewport()->height() - 4;
    return bar->value() == bar->maximum() &&
           pane->cursorForPosition(QPoint(4, bottom)).blockNumber() == pane->blockCount() - 1;
  };
  for (int i = 0; i < 40; ++i) u.window.appendLog(QString("Line %1").arg(i));
  const QString wrapped = QString("Link: the board answered ") + QString("0123456789 ").repeated(60);
  u.window.appendLog(wrapped);
  QApplication::processEvents();
  u.window.appendLog("Controller lost: job stopped");
  EXPECT_TRUE(lastLineShown());
  for (int i = 0; i < 5; ++i) {
    u.window.appendLog(wrapped + QString::number(i));
    QApplication::processEvents();
    u.window.appendLog("Short");
    QApplication::processEvents();
  }
  EXPECT_TRUE(lastLineShown());
  u.window.appendLog(wrapped);
  u.window.appendLog(wrapped);
  u.window.appendLog("Power up");
  EXPECT_TRUE(lastLineShown());
  // A narrower window wraps the long lines over more rows.
  for (const QSize size : {QSize(1024, 768), QSize(800, 600), QSize(1280, 800)}) {
    u.window.resize(size);
    QApplication::processEvents();
    EXPECT_TRUE(lastLineShown()) << size.width();
  }

  bar->setValue(bar->maximum() / 2);
  const int kept = bar->value();
  u.window.appendLog(wrapped);
  u.window.appendLog("One more line");
  QApplication::processEvents();
  EXPECT_EQ(bar->value(), kept) << "the operator reads further up";
}

TEST(Splash, VersionLabelTakesItsColoursFromThePicture) {
  testing::QtApp();
  testing::TempDir folder;
  QImage custom(868, 421, QImage::Format_RGB32);
  custom.fill(Qt::green);
  custom.setPixelColor(1, 1, QColor(10, 20, 30));
  custom.setPixelColor(866, 419, QColor(200, 100, 50));
  ASSERT_TRUE(custom.save(QString::fromStdString(folder.file("splash.bmp")), "BMP"));
  ui::SplashScreen splash(QString::fromStdString(folder.path()),
                          QString::fromStdString(folder.path() + "root"));
  auto* label = splash.findChild<QLabel*>("VersionLabel");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), "Software ver: 1.2.1e");
  EXPECT_TRUE(label->styleSheet().contains("#0a141e"));
  EXPECT_TRUE(label->styleSheet().contains("#c86432"));
  EXPECT_EQ(splash.size(), QSize(868, 421));
}

TEST(Splash, WriteTestPassesOnAWritableRootAndFailsBelowAFile) {
  testing::QtApp();
  testing::TempDir folder;
  ui::SplashScreen good(QString::fromStdString(folder.path()),
                        QString::fromStdString(folder.path() + "root"));
  // QtTest's own waiting macros report to QtTest only: a gtest expectation must judge.
  EXPECT_TRUE(QTest::qWaitFor([&] { return good.testState() == ui::SplashScreen::TestState::Passed; }, 2000));

  testing::WriteFileText(folder.file("plain"), "x");
  ui::SplashScreen bad(QString::fromStdString(folder.path()),
                       QString::fromStdString(folder.file("plain") + "/root"));
  bad.show();
  QSignalSpy failed(&bad, &ui::SplashScreen::finishedFailing);
  ASSERT_TRUE(failed.wait(4000));
  EXPECT_EQ(bad.testState(), ui::SplashScreen::TestState::Failed);
  EXPECT_FALSE(bad.isVisible());
  EXPECT_TRUE(bad.findChild<QLabel*>("ErrorLabel")->text() == "Permission problem !!!");
}

// A click in the splash's first half second, before its write test: the
// program waits for the test's result, so the test runs at the click and
// the splash goes (or, on a root that cannot be written, shows why and closes).
TEST(Splash, AnEarlyClickStillGivesTheWriteTestItsResult) {
  testing::QtApp();
  testing::TempDir folder;
  testing::WriteFileText(folder.file("plain"), "x");
  const struct {
    std::string root;
    ui::SplashScreen::TestState result;
  } cases[] = {{folder.path() + "root", ui::SplashScreen::TestState::Passed},
               {folder.file("plain") + "/root", ui::SplashScreen::TestState::Failed}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.root);
    ui::SplashScreen splash(QString::fromStdString(folder.path()), QString::fromStdString(c.root));
    splash.show();
    QTest::mouseClick(&splash, Qt::LeftButton, {}, QPoint(400, 200));
    EXPECT_EQ(splash.testState(), c.result);
    EXPECT_FALSE(splash.isVisible());
  }
}

TEST(FieldPanel, WidgetsAndTheFieldStoreStayInStep) {
  OpenWindow u;
  ASSERT_TRUE(u.created);
  ui::MainWindow& window = u.window;
  auto* feed = window.findChild<QLineEdit*>("xFeed");
  ASSERT_NE(feed, nullptr);
  // The operator's typing reaches the store...
  feed->clear();
  QTest::keyClicks(feed, "2500");
  EXPECT_EQ(u.system->fields.text(Window::Main, "xFeed"), "2500");
  // ...and a value loaded into the store reaches the widget.
  u.system->fields.setText(Window::Main, "xFeed", "1800");
  EXPECT_EQ(feed->text(), "1800");
}


TEST(PathView, DrawsTheRestoredJobFromTheDisplayList) {
  OpenWindow u;
  ASSERT_TRUE(u.created);
  ASSERT_TRUE(u.showAndWait());
  ui::MainWindow& window = u.window;
  // A fresh profile starts with the example job.
  ASSERT_FALSE(u.system->job.Job.empty());
  window.pathView()->repaint();
  const auto& list = window.pathView()->displayList();
  ASSERT_TRUE(list.has_value());
  size_t polylines = 0;
  for (const auto& item : list->items) polylines += std::holds_alternative<DisplayPolyline>(item);
  EXPECT_GE(polylines, u.system->job.Job.size());
  // The picture reaches the screen: some pixel of the view is not background.
  const QImage image = window.pathView()->grab().toImage();
  bool drawn = false;
  for (int y = 2; y < image.height() - 2 && !drawn; y += 2)
    for (int x = 2; x < image.width() - 2 && !drawn; x += 2)
      drawn = image.pixelColor(x, y) == QColor(Qt::black);
  EXPECT_TRUE(drawn);
}

TEST(ConnectionLabel, TheVirtualBoardConnectsAtFirstShowAndTheLabelTurnsGreen) {
  VirtualBoardWindow u;
  ASSERT_TRUE(u.created);
  const auto& controller = u.controller;
  ASSERT_TRUE(u.showAndWait());
  EXPECT_TRUE(controller->link.state.LinkConnected);
  auto* label = u.window.findChild<QLabel*>("ConnectText");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), "Connected");
  EXPECT_TRUE(label->styleSheet().contains("color: green"));
  const std::string log = testing::ReadFileText(u.system->log.path());
  for (const char* line : {"found : Corvane CNC", "FirmwareVer 1.2 1", "Communication OK"})
    EXPECT_NE(log.find(line), std::string::npos) << line;
  u.window.close();
  // Closing stored the controller's counters and ended normally.
  EXPECT_NE(testing::ReadFileText(u.system->log.path()).find("CloseApp"), std::string::npos);
}

// The speed readout under the tool follows the measured speed on every
// refresh, and reads zero once the cable is pulled, not the last speed.
TEST(PathView, TheSpeedReadoutFollowsTheToolAndClearsWhenTheBoardIsLost) {
  VirtualBoardWindow u;
  ASSERT_TRUE(u.created);
  u.system->job.Job = {{{kKindCut, 0}, {0, 0}, {5000, 0}, {5000, 5000}, {0, 0}}};
  NormaliseJob(u.system->job);
  ASSERT_TRUE(u.showAndWait());
  auto* view = u.window.findChild<ui::PathView*>("PathView");
  ASSERT_NE(view, nullptr);
  const auto readout = [&] {
    for (const DisplayItem& item : view->tool().items)
      if (const auto* text = std::get_if<DisplayText>(&item); text && text->text.ends_with("mm/min"))
        return text->text;
    return std::string("none");
  };
  // The board's time runs on the test's clock: each wait moves it on.
  const auto shows = [&](const std::string& text) {
    return QTest::qWaitFor([&] {
      u.clock.advance(20'000);
      return readout() == text;
    }, 2000);
  };
  // The up arrow held: the jog runs at the hand speed.
  u.window.activateWindow();
  testing::Key(u.window.windowHandle(), QEvent::KeyPress, Qt::Key_Up);
  const std::string jogSpeed = u.system->fields.text(Window::Configuration, "xFeedhXY");
  char expected[32];
  std::snprintf(expected, sizeof expected, "~%.5d mm/min", std::stoi(jogSpeed));
  EXPECT_TRUE(shows(expected)) << readout() << " jogging at " << jogSpeed;
  u.controller->device.board->unplug();
  EXPECT_TRUE(shows("~00000 mm/min")) << readout();
  EXPECT_FALSE(u.controller->link.state.LinkConnected);
  testing::Key(u.window.windowHandle(), QEvent::KeyRelease, Qt::Key_Up);
}

// The 20 ms refresh brings a board's alarm to the operator, also while a job
// runs, and writes it to the log once.
TEST(ConnectionLabel, AnEStopOnTheBoardReachesTheErrorLabelAndTheLogWhileAJobRuns) {
  VirtualBoardWindow u;
  ASSERT_TRUE(u.created && u.showAndWait() && u.controller->link.state.LinkConnected);
  // The alarm texts need the plasma interface answering.
  u.system->fields.setChecked(Window::Configuration, "cInterface", true);
  u.controller->commands.SendThcSettings();

  u.system->Busy = true;
  u.controller->device.board->board().setInput(sim::Input::EStop, true);
  auto* label = u.window.findChild<QLabel*>("ErrorLabel");
  ASSERT_NE(label, nullptr);
  EXPECT_TRUE(QTest::qWaitFor([&] { return label->text() == QString("E-STOP !!!               "); }, 2000))
      << label->text().toStdString();
  QTest::qWait(200);
  u.system->Busy = false;
  const std::string log = testing::ReadFileText(u.system->log.path());
  const auto first = log.find("Alarm 100: E-STOP !!!");
  EXPECT_NE(first, std::string::npos);
  EXPECT_EQ(first, log.rfind("Alarm 100: E-STOP !!!")) << "once, not every refresh";
  EXPECT_TRUE(u.system->StopRequested) << "the board's stop bit";
}

TEST(PathView, SteppingToAContourShowsItsPlannedPath) {
  OpenWindow u;
  ASSERT_TRUE(u.created);
  ASSERT_TRUE(u.showAndWait());
  ASSERT_GE(u.system->job.Job.size(), 2u);
  auto* forward = u.window.findChild<QToolButton*>("sFF1");
  ASSERT_NE(forward, nullptr);
  forward->click();
  EXPECT_EQ(u.system->job.CurrentContour, 0);
  u.window.pathView()->repaint();
  EXPECT_FALSE(u.system->job.PlannedPath.empty());
  // The plan is drawn in width 2, the other contours in width 1.
  const auto& list = u.window.pathView()->displayList();
  ASSERT_TRUE(list.has_value());
  bool planDrawn = false;
  for (const auto& item : list->items)
    if (const auto* line = std::get_if<DisplayPolyline>(&item)) planDrawn |= line->width == 2;
  EXPECT_TRUE(planDrawn);
  u.window.findChild<QToolButton*>("sFF")->click();
  EXPECT_EQ(u.system->job.CurrentContour, int(u.system->job.Job.size()) - 1);
  auto* bar = u.window.findChild<QProgressBar*>("ProgressBar");
  EXPECT_EQ(bar->value(), u.system->job.CurrentContour);
  EXPECT_EQ(bar->value(), bar->maximum()) << "the last contour fills the bar";
  u.window.findChild<QToolButton*>("sRev")->click();
  EXPECT_EQ(u.system->job.CurrentContour, -1);
}


// "Analise" puts the planned, speed-coloured job with its estimate on the
// path view until the next redraw.
TEST(PathView, AnalyseShowsTheEstimateUntilTheNextRedraw) {
  VirtualBoardWindow u;
  ASSERT_TRUE(u.created && u.showAndWait());
  auto* button = u.window.findChild<QPushButton*>("sAnalise");
  ASSERT_NE(button, nullptr);
  QTest::mouseClick(button, Qt::LeftButton);
  auto* view = u.window.findChild<ui::PathView*>("PathView");
  ASSERT_NE(view, nullptr);
  ASSERT_TRUE(view->picture().has_value());
  std::vector<std::string> texts;
  for (const auto& item : view->picture()->items)
    if (const auto* t = std::get_if<DisplayText>(&item)) texts.push_back(t->text);
  const auto has = [&](const std::string& start) {
    return std::any_of(texts.begin(), texts.end(), [&](const std::string& t) { return t.starts_with(start); });
  };
  EXPECT_TRUE(has("Piercing       : " + std::to_string(u.system->job.Job.size())));
  EXPECT_TRUE(has("Total Length   : "));
  EXPECT_TRUE(has("Estimated Time : "));
  u.window.requestRedraw();
  EXPECT_FALSE(view->picture().has_value());
}

}  // namespace
}  // namespace corvane
