#include <gtest/gtest.h>

#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <QWindow>
#include <algorithm>
#include <filesystem>

#include "machine/Jog.h"
#include "model/PathPick.h"
#include "model/PositionText.h"
#include "ui/JogPanel.h"
#include "ui/PathView.h"
#include "ui/PresetBox.h"
#include "ui/WindowFixture.h"
#include "wire/Commands.h"

namespace corvane {
namespace {

using testing::ConnectedWindow;
using testing::Count;
using testing::Key;
using testing::OpenWindow;
using testing::Press;
using testing::TappedBoardWindow;
namespace cmd = wire::cmd;

// Holding an arrow key: the platform repeats the press with a key-up and
// press pair of one moment, marked as a repeat or, on a loaded system,
// unmarked, and then its press may come late. The machine gets one jog start
// and, on the real key-up, one stop.
TEST(OperatorKeys, HoldingAnArrowStartsOneJogAndItsReleaseOneStop) {
  const struct {
    const char* repeat;
    bool marked;
    int pressLateMs;
  } cases[] = {{"marked", true, 0}, {"unmarked", false, 0}, {"unmarked, its press 20 ms late", false, 20}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.repeat);
    ConnectedWindow u;
    ASSERT_TRUE(u.ok);
    const std::size_t from = u.frames();
    Key(u.main, QEvent::KeyPress, Qt::Key_Left);
    for (quint64 at = 600000; at < 600000 + 5 * 33; at += 33) {
      Key(u.main, QEvent::KeyRelease, Qt::Key_Left, {}, {}, c.marked, at);
      bool pressed = false;
      QTimer::singleShot(c.pressLateMs, [&] {
        Key(u.main, QEvent::KeyPress, Qt::Key_Left, {}, {}, c.marked, at);
        pressed = true;
      });
      ASSERT_TRUE(QTest::qWaitFor([&] { return pressed; }));
    }
    // A second press without a release (a lost key-up elsewhere) is swallowed too.
    Key(u.main, QEvent::KeyPress, Qt::Key_Left);
    EXPECT_EQ(u.window.jog()->JogDirection, jog::kXMinus);
    EXPECT_EQ(Count(u.codesSince(from), cmd::kStop), 0);
    Key(u.main, QEvent::KeyRelease, Qt::Key_Left);
    EXPECT_TRUE(QTest::qWaitFor([&] { return u.window.jog()->JogDirection == jog::kNone; }));
    const auto codes = u.codesSince(from);
    EXPECT_EQ(Count(codes, cmd::kManualStart), 1);
    EXPECT_GE(Count(codes, cmd::kXyLine), 1);
    EXPECT_EQ(Count(codes, cmd::kStop), 1);
  }
}

// Let go and pressed again by hand, however quickly: a stop and a new jog.
TEST(OperatorKeys, AnArrowPressedAgainAtOnceIsANewJog) {
  ConnectedWindow u;
  ASSERT_TRUE(u.ok);
  const std::size_t from = u.frames();
  Key(u.main, QEvent::KeyPress, Qt::Key_Right);
  Key(u.main, QEvent::KeyRelease, Qt::Key_Right);
  Key(u.main, QEvent::KeyPress, Qt::Key_Right);
  EXPECT_EQ(u.window.jog()->JogDirection, jog::kXPlus);
  Key(u.main, QEvent::KeyRelease, Qt::Key_Right);
  EXPECT_TRUE(QTest::qWaitFor([&] { return u.window.jog()->JogDirection == jog::kNone; }));
  const auto codes = u.codesSince(from);
  EXPECT_EQ(Count(codes, cmd::kManualStart), 2);
  EXPECT_EQ(Count(codes, cmd::kStop), 2);
}

// A key pressed while a modal dialog is open never moves the machine, also
// when its repeats and its release arrive at the main window after the
// dialog closed; Esc in the dialog still stops everything.
TEST(OperatorKeys, AKeyPressedUnderAModalDialogMovesNothingButEscStops) {
  ConnectedWindow u;
  ASSERT_TRUE(u.ok);
  QDialog dialog(&u.window);
  dialog.setModal(true);
  dialog.show();
  QTest::qWait(20);
  ASSERT_NE(QApplication::activeModalWidget(), nullptr);
  const std::size_t from = u.frames();
  Key(dialog.windowHandle(), QEvent::KeyPress, Qt::Key_PageUp);
  Key(dialog.windowHandle(), QEvent::KeyPress, Qt::Key_Right);
  Key(dialog.windowHandle(), QEvent::KeyPress, Qt::Key_F2);
  dialog.hide();
  QTest::qWait(20);
  for (int i = 0; i < 3; ++i) Key(u.main, QEvent::KeyPress, Qt::Key_Right, {}, {}, true);
  Key(u.main, QEvent::KeyRelease, Qt::Key_Right);
  Key(u.main, QEvent::KeyRelease, Qt::Key_PageUp);
  auto codes = u.codesSince(from);
  for (std::uint8_t moving : {cmd::kXyLine, cmd::kZMove, cmd::kManualStart, cmd::kMotionReset})
    EXPECT_EQ(Count(codes, moving), 0) << int(moving);
  EXPECT_EQ(u.window.jog()->JogDirection, jog::kNone);

  dialog.show();
  QTest::qWait(20);
  Key(dialog.windowHandle(), QEvent::KeyPress, Qt::Key_Escape);
  codes = u.codesSince(from);
  EXPECT_EQ(Count(codes, cmd::kStop), 1) << "Esc stops from any window";
}

// The preset box keeps the keyboard focus in the real window: its filter
// sees the keys there, Ctrl+S saves, and Space types a space instead of
// switching the torch.
TEST(OperatorKeys, ThePresetBoxFiltersItsKeysAndKeepsSpace) {
  ConnectedWindow u;
  ASSERT_TRUE(u.ok);
  auto* box = u.window.findChild<ui::PresetBox*>("PresetBox");
  ASSERT_NE(box, nullptr);
  u.window.activateWindow();
  box->setFocus();
  box->setEditText("");
  QTest::qWait(20);
  ASSERT_TRUE(box->hasFocus() || box->lineEdit()->hasFocus());
  for (const char c : std::string("Ab,;1"))
    Press(u.main, Qt::Key_unknown, {}, QString(QChar(c)));
  EXPECT_EQ(box->currentText(), "Ab1");
  const std::size_t from = u.frames();
  Press(u.main, Qt::Key_Space, {}, " ");
  EXPECT_EQ(box->currentText(), "Ab1 ");
  Press(u.main, Qt::Key_Backspace, {}, "\b");
  Press(u.main, Qt::Key_S, Qt::ControlModifier, QString(QChar(19)));
  EXPECT_TRUE(std::filesystem::exists(u.system->paths.storeFolder() + "par_Ab1"));
  const auto codes = u.codesSince(from);
  EXPECT_EQ(Count(codes, cmd::kTorchOn), 0);
  EXPECT_FALSE(u.window.findChild<QToolButton*>("SpeedButton12")->isChecked());
}

TEST(OperatorKeys, FieldsKeepOnlyWhatTheyAcceptAndNothingWhileBusy) {
  OpenWindow u;
  ASSERT_TRUE(u.created);
  const struct {
    const char* field;
    const char* typed;
    const char* kept;
  } cases[] = {{"xFeed", "12a,5", "12.5"}, {"eTime", "1.5x0", "150"}, {"xFeed2", "50%,", "50%."},
               {"xX", "-1,2", "-1.2"},   {"xrD", "7,5-", "7.5"}};
  for (const auto& c : cases) {
    auto* edit = u.window.findChild<QLineEdit*>(c.field);
    ASSERT_NE(edit, nullptr) << c.field;
    edit->clear();
    QTest::keyClicks(edit, c.typed);
    EXPECT_EQ(edit->text(), c.kept) << c.field;
    EXPECT_EQ(u.system->fields.text(Window::Main, c.field), c.kept) << c.field;
  }
  u.system->Busy = true;
  auto* feed = u.window.findChild<QLineEdit*>("xFeed");
  QTest::keyClicks(feed, "9");
  QTest::keyClick(feed, Qt::Key_Backspace);
  EXPECT_EQ(feed->text(), "12.5");
  u.system->Busy = false;

  // Enter in the origin fields applies them.
  auto* originX = u.window.findChild<QLineEdit*>("xXM");
  originX->clear();
  QTest::keyClicks(originX, "12,5");
  QTest::keyClick(originX, Qt::Key_Return);
  EXPECT_EQ(u.system->job.ProjectOriginX, 1250);
}

// The fields of the position dialog and the tube panel are there, with
// captions, and no longer in the parameter list under their internal names.
TEST(MainWindowLayout, EveryControlIsReachableAt1024x768AndTheSizeIsKept) {
  TappedBoardWindow u;
  ASSERT_TRUE(u.created && u.showAndWait());
  u.window.resize(1024, 768);
  QApplication::processEvents();
  const QRect inside = u.window.rect();
  std::vector<QWidget*> controls;
  // (The configuration's buttons join the toolbar when the program binds them.)
  for (const char* name : {"sOpen", "sSave", "sImport", "sAnalise", "SpeedButton33", "SpeedButton2",
                           "SpeedButton5", "SpeedButton30", "ConnectText",
                           "ErrorLabel", "PathView", "ParameterPanel", "SideView", "JogPanel",
                           "StatusLink", "ProgressBar", "sStart", "sStop", "sFF"}) {
    auto* w = u.window.findChild<QWidget*>(name);
    ASSERT_NE(w, nullptr) << name;
    if (w->isHidden()) continue;
    EXPECT_TRUE(inside.contains(w->geometry())) << name;
    controls.push_back(w);
  }
  for (QWidget* a : controls)
    for (QWidget* b : controls)
      if (a != b && a->parentWidget() == &u.window && b->parentWidget() == &u.window) {
        EXPECT_FALSE(a->geometry().intersects(b->geometry()))
            << a->objectName().toStdString() << " over " << b->objectName().toStdString();
      }
  for (const char* name : {"xrB", "xrD", "xX", "xYM"}) {
    QWidget* field = u.window.findChild<QWidget*>(name);
    ASSERT_NE(field, nullptr);
    EXPECT_FALSE(u.window.findChild<QWidget*>("ParameterPanel")->isAncestorOf(field)) << name;
  }
  u.window.resize(760, 560);
  u.window.close();
  ui::MainWindow again(*u.system, nullptr);
  EXPECT_EQ(again.size(), QSize(760, 560));
}

TEST(MainWindowLayout, AClickOnTheErrorLabelClearsIt) {
  OpenWindow u;
  ASSERT_TRUE(u.created && u.showAndWait());
  u.window.setErrorText("Machine not referenced!");
  auto* label = u.window.findChild<QLabel*>("ErrorLabel");
  QTest::mouseClick(label, Qt::LeftButton);
  EXPECT_EQ(label->text(), "");
}

// The popup's entries on a picked point: "Move here" drives the board there
// through a sound stream; the menu offers the cutting entries only after a hit.
TEST(PathPopup, MoveHereAndMoveZeroDriveTheBoardAndCuttingNeedsAHit) {
  ConnectedWindow u;
  ASSERT_TRUE(u.ok);
  u.RecordStream();
  ui::PathView* view = u.window.pathView();
  view->repaint();
  const JobState& job = u.system->job;
  ASSERT_FALSE(job.Job.empty());
  const ContourPoint vertex = job.Job[0][1];
  const ScreenPoint at = u.system->prep.View.ToScreen(vertex.x, vertex.y);
  const auto items = view->pick({at.x, at.y});
  const auto enabled = [&](PopupEntry e) {
    return std::any_of(items.begin(), items.end(), [&](const PopupItem& i) { return i.entry == e && i.enabled; });
  };
  EXPECT_TRUE(enabled(PopupEntry::CutAllFromObject));
  EXPECT_TRUE(enabled(PopupEntry::MoveHere));
  const Point2 picked = job.ResumePoint;
  u.window.runPopupEntry(PopupEntry::MoveHere);
  u.controller->commands.WaitIdle();
  // Within a motor step either way.
  EXPECT_NEAR(job.MachinePosition.x, job.ProjectOriginX + picked.x, 3);
  EXPECT_NEAR(job.MachinePosition.y, job.ProjectOriginY + picked.y, 3);
  u.window.runPopupEntry(PopupEntry::MoveToZero);
  u.controller->commands.WaitIdle();
  EXPECT_NEAR(job.MachinePosition.x, job.ProjectOriginX, 3);
  EXPECT_NEAR(job.MachinePosition.y, job.ProjectOriginY, 3);
  const auto faults = testing::CheckStream(u.stream, u.board().executed());
  EXPECT_TRUE(faults.empty()) << testing::DescribeStream(u.stream);

  const auto missed = view->pick({2, 2});
  for (const PopupItem& item : missed)
    if (item.entry == PopupEntry::CutAllFromObject || item.entry == PopupEntry::CutFromThisPoint) {
      EXPECT_FALSE(item.enabled);
    }
}

// The wheel zooms about the pointer, the double click fits the job again.
TEST(PathPopup, TheWheelZoomsAboutThePointerAndADoubleClickFitsAgain) {
  OpenWindow u;
  ASSERT_TRUE(u.created && u.showAndWait());
  ui::PathView* view = u.window.pathView();
  view->repaint();
  const QPoint at(view->width() / 3, view->height() / 2);
  const Point2 before = u.system->prep.View.ToJob(at.x(), at.y());
  const double fitted = u.system->prep.View.scale;
  QWheelEvent in(at, view->mapToGlobal(at), {}, {0, 120}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(view, &in);
  view->repaint();
  EXPECT_EQ(view->zoom(), 9);
  EXPECT_LT(u.system->prep.View.scale, fitted);
  const Point2 after = u.system->prep.View.ToJob(at.x(), at.y());
  EXPECT_NEAR(after.x, before.x, u.system->prep.View.scale * 1.5);
  EXPECT_NEAR(after.y, before.y, u.system->prep.View.scale * 1.5);
  QTest::mouseDClick(view, Qt::LeftButton, {}, at);
  view->repaint();
  EXPECT_EQ(view->zoom(), 10);
  EXPECT_EQ(u.system->prep.View.scale, fitted);

  // A new job (other extents) is fitted whatever the operator's zoom was.
  QCoreApplication::sendEvent(view, &in);
  view->repaint();
  ASSERT_EQ(view->zoom(), 9);
  u.system->job.JobExtentX += 1;
  view->invalidate();
  view->repaint();
  EXPECT_EQ(view->zoom(), 10);
}

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

// Esc while a job streams to the board: the stop reaches the wire as command
// 200 within one exchange of the key event's arrival. The key is posted as
// the platform would, at several moments of the job in fake time; the worst
// case is printed for the record.
TEST(StopLatency, EscDuringAStreamingJobReachesTheWireWithinOneExchange) {
  std::size_t worst = 0;
  for (const std::int64_t at : {300000, 1100000, 2500000, 4700000, 9000000}) {
    testing::TappedBoardWindow u;
    ASSERT_TRUE(u.created && u.showAndWait() && u.controller->link.state.LinkConnected);
    QWindow* main = u.window.windowHandle();
    u.clock.advance(1500000);  // past the start lock after the program's start
    std::optional<std::size_t> postedAt;
    bool runningAtPost = false;
    const std::int64_t start = u.clock.nowMicros();
    u.clock.addListener([&](std::int64_t now) {
      if (postedAt || now < start + at) return;
      postedAt = u.frames();
      runningAtPost = u.system->Busy;
      QCoreApplication::postEvent(main, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, {}));
    });
    Key(main, QEvent::KeyPress, Qt::Key_F5);
    ASSERT_TRUE(postedAt.has_value()) << "the job ended before " << at << " us\n"
                                      << testing::ReadFileText(u.system->log.path());
    EXPECT_TRUE(runningAtPost) << "the job was streaming when the key came, at " << at;
    const auto codes = u.tap->commandCodes();
    const auto stop = std::find(codes.begin() + long(*postedAt), codes.end(), wire::cmd::kStop);
    ASSERT_NE(stop, codes.end()) << at;
    const auto between = std::size_t(stop - codes.begin()) - *postedAt;
    worst = std::max(worst, between);
    EXPECT_LE(between, 1u) << "exchanges between the key and the stop, key at " << at << " us";
    Key(main, QEvent::KeyRelease, Qt::Key_F5);
  }
  std::printf("stop latency: worst %zu exchange(s) between the Esc key event and command 200\n", worst);
}

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

// A short tap: the platform queues the key-up right behind the key-down, so
// it arrives while the jog's start still talks to the board. The jog must
// end stopped: no motion queued after the last stop.
TEST(OperatorKeys, AKeyTappedFasterThanTheJogStartsStillStops) {
  ConnectedWindow u;
  ASSERT_TRUE(u.ok);
  for (int key : {Qt::Key_Left, Qt::Key_Up, Qt::Key_PageUp}) {
    const std::size_t from = u.frames();
    QCoreApplication::postEvent(u.main, new QKeyEvent(QEvent::KeyPress, key, {}));
    QCoreApplication::postEvent(u.main, new QKeyEvent(QEvent::KeyRelease, key, {}));
    const auto stoppedLast = [&] {
      const auto codes = u.codesSince(from);
      const auto lastStop = std::find(codes.rbegin(), codes.rend(), cmd::kStop);
      return lastStop != codes.rend() && std::none_of(codes.rbegin(), lastStop, [](std::uint8_t code) {
               return code == cmd::kXyLine || code == cmd::kZMove;
             });
    };
    EXPECT_TRUE(QTest::qWaitFor(stoppedLast)) << "no motion after the last stop, key " << key;
    EXPECT_EQ(u.window.jog()->JogDirection, jog::kNone) << key;
    u.controller->commands.WaitIdle();
  }
}

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

bool OverlayShows(const ConnectedWindow& u, const std::string& text) {
  for (const auto& item : u.window.pathView()->overlay().items)
    if (const auto* t = std::get_if<DisplayText>(&item); t && t->text == text) return true;
  return false;
}

// In2 wired as an alarm input: raising it stops the machine once and shows
// the alarm text until a key is pressed.
TEST(StatusOverlay, TheIn2AlarmStopsOnceAndStaysUntilAKey) {
  ConnectedWindow u;
  ASSERT_TRUE(u.ok);
  u.system->fields.setText(Window::Configuration, "eAlarm", "DOOR OPEN");
  u.system->fields.selectChoice(Window::Configuration, "cIn2", 4);
  const std::size_t from = u.frames();
  u.board().setInput(sim::Input::In2, true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return u.window.in2AlarmLatched(); }, 2000));
  QTest::qWait(100);
  EXPECT_EQ(Count(u.codesSince(from), cmd::kStop), 1);
  const auto shows = [&](const std::string& text) { return OverlayShows(u, text); };
  EXPECT_TRUE(shows("DOOR OPEN"));
  u.board().setInput(sim::Input::In2, false);
  QTest::qWait(100);  // the refresh reads the input clear again
  EXPECT_TRUE(u.window.in2AlarmLatched()) << "the text stays until a key";
  Press(u.main, Qt::Key_Shift);
  QTest::qWait(60);
  EXPECT_FALSE(u.window.in2AlarmLatched());
  EXPECT_FALSE(shows("DOOR OPEN"));
}

// The configuration's soft limits decide the overlay's notice at the next refresh.
TEST(StatusOverlay, SoftLimitsOffShowUntilTheyAreTicked) {
  ConnectedWindow u;
  ASSERT_TRUE(u.ok);
  EXPECT_TRUE(QTest::qWaitFor([&] { return OverlayShows(u, "Soft limits off"); }));
  u.system->fields.setChecked(Window::Configuration, "cLimits", true);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !OverlayShows(u, "Soft limits off"); }));
}

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

// A right button held past 200 ms and moved drags the job origin with the
// picture and opens no popup; a right click on the side view opens the
// position dialog with the torch and the origin filled in.
TEST(PathPopup, ARightDragMovesTheOriginAndTheSideViewOpensThePositionDialog) {
  OpenWindow u;
  ASSERT_TRUE(u.created && u.showAndWait());
  ui::PathView* view = u.window.pathView();
  view->repaint();
  // Should a popup open after all, close it so that the test reports instead of waiting.
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [] {
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
  });
  closer.start(300);
  const JobState& job = u.system->job;
  const Point2 origin{job.ProjectOriginX, job.ProjectOriginY};
  const double scale = u.system->prep.View.scale;
  const QPoint from(view->width() / 2, view->height() / 2);
  QTest::mousePress(view, Qt::RightButton, {}, from);
  QTest::qWait(250);
  const QPoint to = from + QPoint(40, -20);
  QMouseEvent move(QEvent::MouseMove, to, view->mapToGlobal(to), Qt::NoButton, Qt::RightButton, {});
  QCoreApplication::sendEvent(view, &move);
  QTest::mouseRelease(view, Qt::RightButton, {}, to);
  EXPECT_NEAR(job.ProjectOriginX, origin.x + 40 * scale, 1);
  EXPECT_NEAR(job.ProjectOriginY, origin.y + 20 * scale, 1);
  EXPECT_EQ(u.system->fields.text(Window::Main, "xXM"),
            FormatOriginField(job.ProjectOriginX, false));
  EXPECT_FALSE(view->popupOpen());

  auto* side = u.window.findChild<QWidget*>("SideView");
  QTest::mouseClick(side, Qt::RightButton);
  EXPECT_TRUE(u.window.findChild<QWidget*>("PositionDialog")->isVisible());
  EXPECT_EQ(u.system->fields.text(Window::Main, "xXM"), FormatPosition(job.ProjectOriginX, false));
  // "Apply" of the project position takes the dialog's texts back unchanged.
  const Point2 before{job.ProjectOriginX, job.ProjectOriginY};
  u.window.findChild<QPushButton*>("ApplyProject")->click();
  EXPECT_EQ(job.ProjectOriginX, before.x);
  EXPECT_EQ(job.ProjectOriginY, before.y);
  EXPECT_FALSE(u.window.findChild<QWidget*>("PositionDialog")->isVisible());
}

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

TEST(OperatorKeys, CtrlAndShiftShowWhatAStartWouldDo) {
  ConnectedWindow u;
  ASSERT_TRUE(u.ok);
  auto* start = u.window.findChild<QToolButton*>("sStart");
  auto* sim = u.window.findChild<QLabel*>("SimMark");
  u.system->job.CurrentContour = 1;
  Key(u.main, QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
  EXPECT_EQ(start->text(), "REVERSE");
  Key(u.main, QEvent::KeyRelease, Qt::Key_Control);
  EXPECT_TRUE(QTest::qWaitFor([&] { return start->text() == "START"; }));
  Key(u.main, QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier);
  EXPECT_TRUE(sim->isVisible());
  Key(u.main, QEvent::KeyRelease, Qt::Key_Shift);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !sim->isVisible(); }));
}

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

// The stop lets events through, so Esc's own release can come inside it:
// every Esc after that must stop the machine again, not only the first.
TEST(OperatorKeys, EveryEscStopsEvenWhenItsReleaseComesInsideTheStop) {
  testing::ConnectedWindow u;
  ASSERT_TRUE(u.ok);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE("Esc " + std::to_string(i + 1));
    const long before = testing::Count(u.tap->commandCodes(), wire::cmd::kStop);
    auto* release = new QKeyEvent(QEvent::KeyRelease, Qt::Key_Escape, {});
    release->setTimestamp(static_cast<quint64>(i + 1));
    QCoreApplication::postEvent(u.main, release);
    testing::Key(u.main, QEvent::KeyPress, Qt::Key_Escape);
    QTest::qWait(100);
    EXPECT_GT(testing::Count(u.tap->commandCodes(), wire::cmd::kStop), before);
  }
}

}  // namespace
}  // namespace corvane
