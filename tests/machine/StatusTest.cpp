#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "machine/AlarmText.h"
#include "machine/ArcMonitor.h"
#include "support/BoardFixture.h"
#include "support/TempDir.h"
#include "wire/Codes.h"
#include "wire/Commands.h"

namespace corvane::testing {
namespace {

namespace cmd = wire::cmd;
using sim::Input;

struct StatusTest : BoardFixture, ::testing::Test {
  StatusTest() {
    OpenLink();
    system->StopRequested = false;
    system->loading = false;
    commands.inputModes = [this] { return modes; };
    commands.arcFields = [this] { return arc; };
    commands.thcFields = [this] { return thc; };
    commands.ui.errorLabelText = [this] { return host.errorLabel; };
  }
  sim::MachineLayout& layout() { return board.board().machine().layout(); }
  std::size_t sent(std::uint8_t code) const { return tap.requestsWithCommand(code).size(); }
  // The board answers on RS485 only once the interface is switched on.
  void EnableInterface() {
    thc.interfaceEnabled = true;
    arc.interfaceEnabled = true;
    commands.SendThcSettings();
  }
  InputModes modes;
  ArcFields arc;
  ThcFields thc;
};

TEST(AlarmText, TableTextsUnknownCodesAndTheRs485Override) {
  const std::uint32_t answering = wire::status::kRs485Answering;
  struct Case {
    int code;
    std::uint32_t word;
    const char* text;
  };
  const Case cases[] = {
      {0, answering, ""},
      {0, 0, ""},
      {1, answering, "TX2 Err                  "},
      {10, answering, "ARC_OK ERR               "},
      {100, answering, "E-STOP !!!               "},
      {102, answering, "COLISION SWITCH !        "},
      {103, answering, "LIMIT SWITCH X !         "},
      {106, answering, "FLOATING HEAD SWITCH!    "},
      {200, answering, "Offline / Simulation!    "},
      {7, answering, "7"},
      {255, answering, "255"},
      {103, 0, "RS485 Communication Error"},
      {7, answering ^ 0xFFFFFFFFu, "RS485 Communication Error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(AlarmText(c.code, c.word), c.text);
  }
  for (int code : {1, 2, 3, 4, 9, 10, 100, 101, 102, 103, 104, 105, 106, 200})
    EXPECT_EQ(AlarmText(code, answering).size(), 25u) << code;
  // Without the plasma interface nothing answers on RS485: the alarm is itself.
  EXPECT_EQ(AlarmText(100, 0, false), "E-STOP !!!               ");
  EXPECT_EQ(AlarmText(103, 0, false), "LIMIT SWITCH X !         ");
}

// The board reports the surface a probe found; its height becomes the job's
// material origin unless it lies 500 mm or more from the current one.
TEST_F(StatusTest, MaterialReportSetsTheOriginZOrIsRejected) {
  const double sz = system->scales.SZ;
  const auto surface = static_cast<std::int32_t>(std::nearbyint(2540 * sz));
  // Start high above the material and put its top where the floating head
  // trips exactly at that height.
  commands.SetPosition(0, 0, 10000, 0);
  const std::int32_t physicalZ = board.board().machine().physical()[sim::kZ];
  const std::int32_t offset = board.board().position()[sim::kZ] - physicalZ;
  layout().materialSurface = surface - offset + layout().floatingTravel;
  std::vector<std::int32_t> shown;
  commands.ui.showMaterialOrigin = [&](std::int32_t z) { shown.push_back(z); };

  struct Case {
    std::int32_t originBefore;
    std::uint8_t statusCode;
    std::int32_t originAfter;
    bool rejected;
  };
  const Case cases[] = {
      {2000, 0, 2540, false},
      {2540 + 49999, 0, 2540, false},
      {2540 + 50000, 0, 2540 + 50000, true},
      {2540 - 60000, 0, 2540 - 60000, true},
      {2000, wire::alarm::kLimitZ, 2000, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.originBefore);
    host.logPane.clear();
    shown.clear();
    commands.Probe(0, 0, 0, SpeedLevel(3000, system->speeds.Z));
    clock.advance(20'000'000);
    unit.QueryReceiveQueue();  // the board catches up with the clock
    ASSERT_EQ(board.board().sensedSurface(), surface);
    system->job.ProjectOriginZ = c.originBefore;
    system->job.MachinePosition.z = 777;
    link.state.StatusCode = c.statusCode;

    ASSERT_TRUE(commands.ReadStatusA());
    EXPECT_EQ(system->job.ProjectOriginZ, c.originAfter);
    EXPECT_EQ(system->job.MachinePosition.z, 777) << "a report is no position";
    EXPECT_EQ(logged("ERR: ZfromController=" + std::to_string(1000000 + surface)), c.rejected);
    const bool taken = !c.rejected && c.statusCode == 0;
    EXPECT_EQ(shown, taken ? std::vector<std::int32_t>{2540} : std::vector<std::int32_t>{});
  }
  commands.ReadStatusA();
  EXPECT_EQ(system->job.MachinePosition.z, std::nearbyint(board.board().position()[sim::kZ] / sz))
      << "the next read is a position again";
}

// A moving tool's estimate snaps to the first set speed within 20 %; an idle
// one reads 0. LastCommanded follows the machine only while nothing moves it.
TEST_F(StatusTest, SpeedEstimateSnapsToTheFirstNearSetSpeed) {
  struct Case {
    const char* name;
    std::array<double, 5> speeds;  // xFeed, xFeed2, xFeedMaxXY, xFeedMinXY, xFeedhXY
    bool busy, jogging;
    std::int32_t snapped;  // 0: the raw estimate; -1: idle
  };
  const Case cases[] = {
      {"cutting speed", {2540, 1270, 10160, 762, 2540}, true, false, 2540},
      {"first in order", {3000, 2540, 10160, 762, 2540}, true, false, 3000},
      {"hand speed last", {9000, 9000, 10160, 762, 2400}, true, false, 2400},
      {"jog", {2540, 1270, 10160, 762, 2540}, false, true, 2540},
      {"none near", {5000, 1000, 10160, 762, 9000}, true, false, 0},
      {"idle", {2540, 1270, 10160, 762, 2540}, false, false, -1},
  };
  const int level = SpeedLevel(2540, system->speeds.X);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    commands.StopMotion();
    system->StopRequested = false;
    commands.SetPosition(0, 0, 0, 0);
    link.request.p = {static_cast<std::int32_t>(100000 * system->scales.SX), 0, 0, 0, level};
    ASSERT_TRUE(commands.Send(cmd::kXyLine));
    commands.setSpeeds = [&] {
      SetSpeeds set;
      for (std::size_t k = 0; k < set.size(); ++k)
        set[k] = {c.speeds[k], static_cast<std::int32_t>(c.speeds[k])};
      return set;
    };
    system->Busy = c.busy;
    commands.ui.jogDirectionActive = [&] { return c.jogging; };
    system->job.LastCommanded = {-1, -1, -1, -1};

    clock.advance(200'000);
    commands.ReadStatusA();
    const auto x0 = board.board().position()[sim::kX];
    const auto t0 = clock.nowMicros();
    clock.advance(40'000);
    commands.ReadStatusA();
    const auto x1 = board.board().position()[sim::kX];
    const double seconds = (clock.nowMicros() - t0) / 1e6;
    const auto raw =
        static_cast<std::int32_t>(std::nearbyint((x1 - x0) / system->scales.SX * 0.605 / seconds));
    ASSERT_GT(raw, 2540 * 0.95);
    ASSERT_LT(raw, 2540 * 1.05);

    const std::int32_t expected = c.snapped > 0 ? c.snapped : c.snapped == 0 ? raw : 0;
    EXPECT_EQ(commands.status.ActualSpeed, expected);
    const bool follows = !c.busy && !c.jogging;
    EXPECT_EQ(system->job.LastCommanded.x == system->job.MachinePosition.x, follows);
  }
  system->Busy = false;
}

// A pipe is cut by turning it under the torch: the tube's turn counts as
// travel, so the speed reads the cut's speed (and the feed keys work).
TEST_F(StatusTest, OnThePipeTheTurnOfTheTubeCountsInTheSpeed) {
  system->rotary.active = true;
  system->StopRequested = false;
  commands.SetPosition(0, 0, 0, 0);
  const double sa = system->scales.SA;
  link.request.p = {0, 0, 0, static_cast<std::int32_t>(100000 * sa), SpeedLevel(2540, system->speeds.X)};
  ASSERT_TRUE(commands.Send(cmd::kYaMove));
  system->Busy = true;
  clock.advance(200'000);
  commands.ReadStatusA();
  const auto a0 = board.board().position()[sim::kA];
  const auto t0 = clock.nowMicros();
  clock.advance(40'000);
  commands.ReadStatusA();
  const auto a1 = board.board().position()[sim::kA];
  ASSERT_GT(a1, a0) << "the tube turned";
  const double raw = (a1 - a0) / sa * 0.605 / ((clock.nowMicros() - t0) / 1e6);
  EXPECT_NEAR(commands.status.ActualSpeed, raw, raw * 0.05 + 1);
  EXPECT_GT(commands.status.ActualSpeed, 10) << "the keypad's feed keys need a moving tool";
  system->Busy = false;
}

// Holding the button makes one start; a second press while the job runs makes
// one stop, however long each is held.
TEST_F(StatusTest, ExternalStartStopButtonActsOncePerPress) {
  struct Case {
    Input input;
    InputModes modes;
  };
  for (const Case c :
       {Case{Input::In1, {kIn1StartStop, 0}}, Case{Input::In2, {0, kIn2StartStop}}}) {
    SCOPED_TRACE(sim::InputName(c.input));
    modes = c.modes;
    system->Busy = false;
    int starts = 0;
    commands.ui.startJob = [&] {
      ++starts;
      system->Busy = true;
      system->StopRequested = false;
    };
    const auto stopsBefore = sent(cmd::kStop);
    int armed = 0;
    auto hold = [&](int reads) {
      for (int i = 0; i < reads; ++i) {
        commands.ReadStatusB();
        if (host.fireOneShot()) ++armed;
        clock.advance(40'000);
      }
    };

    board.board().setInput(c.input, true);
    hold(10);
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(armed, 1);
    EXPECT_EQ(host.oneShotMillis, 10);
    EXPECT_EQ(sent(cmd::kStop), stopsBefore) << "holding on must not stop the new job";

    board.board().setInput(c.input, false);
    hold(3);
    board.board().setInput(c.input, true);
    hold(10);
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(armed, 2);
    EXPECT_EQ(sent(cmd::kStop), stopsBefore + 1);
    EXPECT_TRUE(system->StopRequested);

    // The job ends while the button is still held: no new start.
    system->Busy = false;
    hold(5);
    EXPECT_EQ(starts, 1);
    board.board().setInput(c.input, false);
    hold(3);
  }
  modes = {};
  board.board().setInput(Input::In1, true);
  system->Busy = false;
  commands.ReadStatusB();
  EXPECT_FALSE(host.oneShot) << "an input in another mode starts nothing";
}

TEST_F(StatusTest, ControllerStopBitsCollisionAndLimitsReachTheState) {
  board.board().setInput(Input::SwitchX, true);
  commands.ReadStatusB();
  EXPECT_TRUE(link.state.LimitX);
  EXPECT_FALSE(link.state.LimitY || link.state.LimitZ);
  EXPECT_FALSE(system->StopRequested);
  board.board().setInput(Input::SwitchX, false);

  // Collision: only a Z- jog in progress is stopped by the PC itself.
  board.board().setInput(Input::Collision, true);
  bool zMinusHeld = false;
  commands.ui.zMinusHeld = [&] { return zMinusHeld; };
  commands.ReadStatusB();
  EXPECT_EQ(sent(cmd::kStop), 0u);
  zMinusHeld = true;
  commands.ReadStatusB();
  EXPECT_EQ(sent(cmd::kStop), 1u);
  EXPECT_EQ(link.state.StatusCode, wire::alarm::kCollision);
  board.board().setInput(Input::Collision, false);

  // E-stop sets a controller stop bit.
  system->StopRequested = false;
  board.board().setInput(Input::EStop, true);
  commands.ReadStatusB();
  EXPECT_TRUE(system->StopRequested);
  EXPECT_EQ(link.state.StatusCode, wire::alarm::kEStop);
}

// An alarm reaches the error label and the log once, however often the
// refresh runs; clearing it takes its own text out of the label only.
TEST_F(StatusTest, RefreshShowsAChangedAlarmOnce) {
  EnableInterface();
  board.board().setInput(Input::EStop, true);
  for (int i = 0; i < 20; ++i) commands.RefreshStatus();
  EXPECT_EQ(host.errorLabel, "E-STOP !!!               ");
  EXPECT_EQ(loggedCount("Alarm 100: E-STOP !!!"), 1);
  EXPECT_TRUE(tap.requestsWithCommand(cmd::kStatusA).size() >= 10 &&
              tap.requestsWithCommand(cmd::kStatusB).size() >= 10)
      << "A and B by turns";

  board.board().setInput(Input::EStop, false);
  link.state.StatusCode = 0;  // a key press
  commands.RefreshStatus();
  EXPECT_EQ(host.errorLabel, "");

  link.state.StatusCode = wire::alarm::kLimitY;
  commands.RefreshStatus();
  EXPECT_EQ(host.errorLabel, "LIMIT SWITCH Y !         ");
  host.setErrorLabel("Machine not referenced!");
  link.state.StatusCode = 0;
  commands.RefreshStatus();
  EXPECT_EQ(host.errorLabel, "Machine not referenced!");

  // Offline the word is gone: a new alarm reads as the RS485 error on the
  // label, while the log still names it.
  link.Disconnect();
  link.state.StatusWord = wire::status::kRs485Answering;
  link.state.StatusCode = wire::alarm::kLimitZ;
  commands.RefreshStatus();
  EXPECT_EQ(link.state.StatusWord, 0u);
  EXPECT_EQ(host.errorLabel, "RS485 Communication Error");
  EXPECT_TRUE(logged("Alarm 105: LIMIT SWITCH Z !"));
}

TEST_F(StatusTest, QueueThrottleEndsWhenTheLinkIsLostWithAFullQueue) {
  // Straight over the link: the command set itself never fills the queue this far.
  link.request.p[0] = 2;
  link.request.command = cmd::kDwell;
  for (int i = 0; i < 2350; ++i) ASSERT_TRUE(link.Exchange());
  ASSERT_GE(link.state.QueueFill, 2300);
  host.onProcessEvents = [&] {
    board.unplug();
    // Without an end of its own the wait would spin here for ever.
    if (host.eventsProcessed > 1000) system->StopRequested = true;
  };
  commands.QueueThrottle();
  EXPECT_FALSE(link.state.LinkConnected);
  EXPECT_FALSE(system->StopRequested);
  EXPECT_LE(host.eventsProcessed, 3);
}

struct ArcTest : StatusTest {
  ArcTest() {
    EnableInterface();
    layout().arcDelayMicros = 0;
    layout().arcVoltsPerStep = 0;
  }
  // One arc-monitor tick after the refresh's status B read.
  void Tick() {
    commands.ReadStatusB();
    monitor.Tick();
    clock.advance(250'000);
  }
  // Ticks until the error label or the status code changes; the tick count, or 0.
  int TicksUntil(const std::function<bool()>& happened, int limit) {
    for (int tick = 1; tick <= limit; ++tick) {
      Tick();
      if (happened()) return tick;
    }
    return 0;
  }
  ArcMonitor monitor{*system, commands, link.state};
};

// With the torch lit, a voltage outside 40..190 V is reported when the
// countdown set by the torch change (18 ticks) runs out; an overload counts
// down from 10 and stops the machine.
TEST_F(ArcTest, VoltageOutsideTheBandIsReportedWhenTheCountdownRunsOut) {
  struct Case {
    double volts;
    bool overload;
    const char* text;
    int tick;
  };
  const Case cases[] = {
      {190, false, "", 0},
      {40, false, "", 0},
      {100, false, "", 0},
      {5, false, "No ARC Voltage !!!", 18},
      {39, false, "ARC Voltage too low !!!", 18},
      {191, false, "ARC Voltage too high !!!", 18},
      {100, true, "ARC OVERLOAD PROTECTION !!!", 11},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.volts);
    layout().arcVoltsAtSurface = c.volts;
    layout().arcOverload = c.overload;
    Tick();
    host.errorLabel.clear();
    const auto stops = sent(cmd::kStop);
    commands.TorchOn();
    const int tick = TicksUntil([&] { return !host.errorLabel.empty(); }, 40);
    EXPECT_EQ(tick, c.tick);
    EXPECT_EQ(host.errorLabel, c.text);
    EXPECT_EQ(sent(cmd::kStop), stops + (c.overload ? 1 : 0));
    commands.TorchOff();
    system->StopRequested = false;
  }
}

// The arc must be confirmed within 20 ticks of the torch going on, and a
// confirmed arc may be missing for at most 4 ticks.
TEST_F(ArcTest, ArcOkWatchStopsAnUnconfirmedOrLostArc) {
  struct Case {
    bool in2;
    bool strikes;
    bool stopAlreadyRequested;
    int tick;
    std::int32_t contourState;
    const char* line;
  };
  const Case cases[] = {
      {false, false, false, 20, 4, "ARC_OK_ERROR ( 0V )"},
      {true, false, false, 20, 4, "ARC_OK_ERROR ( Input 2 )"},
      {false, false, true, 20, 5, "ARC_OK_ERROR ( 0V )"},
      {false, true, false, 3 + 3, 199, "ARC_OK_ERROR ( 0V )"},
      {true, true, false, 3 + 3, 199, "ARC_OK_ERROR ( Input 2 )"},
  };
  arc.waitArcOk = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "in2 " << c.in2 << " strikes " << c.strikes);
    arc.in2ArcOk = c.in2;
    layout().arcOkOnIn2 = c.in2;
    layout().arcAvailable = c.strikes;
    layout().arcVoltsAtSurface = 120;
    host.logPane.clear();
    link.state.StatusCode = 0;
    system->ContourState = 5;
    Tick();  // torch off: the watch is armed
    commands.TorchOn();
    system->StopRequested = c.stopAlreadyRequested;
    int tick = 0;
    for (int t = 1; t <= 30 && tick == 0; ++t) {
      if (c.strikes && t == 3) layout().arcAvailable = false;  // the arc goes out
      Tick();
      if (c.strikes && t == 1) {
        EXPECT_EQ(system->ContourState, 200);
      }
      if (link.state.StatusCode == wire::alarm::kArcOk) tick = t;
    }
    EXPECT_EQ(tick, c.tick);
    EXPECT_EQ(system->ContourState, c.contourState);
    EXPECT_TRUE(logged(c.line));
    EXPECT_FALSE(board.board().torchOn()) << "the stop put the torch out";
    system->StopRequested = false;
  }
}

TEST_F(ArcTest, ArcWatchIsSilentWithoutThePlasmaInterface) {
  arc.interfaceEnabled = false;
  arc.waitArcOk = true;
  layout().arcAvailable = false;
  commands.TorchOn();
  for (int i = 0; i < 40; ++i) Tick();
  EXPECT_EQ(host.errorLabel, "");
  EXPECT_EQ(link.state.StatusCode, 0);
}

// A locale of our own whose decimal separator is ",", built where glibc finds
// it through LOCPATH; nothing on the machine needs to have one installed.
class CommaLocale {
 public:
  CommaLocale() {
    std::ofstream(dir_.file("comma.src")) << "comment_char %\nescape_char /\nLC_NUMERIC\n"
                                             "decimal_point \",\"\nthousands_sep \"\"\n"
                                             "grouping -1\nEND LC_NUMERIC\n";
    const std::string make = "localedef -c -i " + dir_.file("comma.src") + " " +
                             dir_.file("xx_COMMA") + " >/dev/null 2>&1";
    built_ = std::system(make.c_str()) != -1 && std::ifstream(dir_.file("xx_COMMA/LC_NUMERIC"));
    ::setenv("LOCPATH", dir_.path().c_str(), 1);
  }
  ~CommaLocale() {
    std::setlocale(LC_NUMERIC, "C");
    ::unsetenv("LOCPATH");
  }
  bool use() { return built_ && std::setlocale(LC_NUMERIC, "xx_COMMA") != nullptr; }

 private:
  TempDir dir_;
  bool built_ = false;
};

TEST_F(ArcTest, ChangedDecimalSeparatorIsPutBackLoggedAndEndsTheWatch) {
  monitor.Tick();
  EXPECT_FALSE(monitor.switchedOff());
  CommaLocale comma;
  if (!comma.use()) GTEST_SKIP() << "localedef could not build a test locale";
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");

  monitor.Tick();
  EXPECT_STREQ(std::localeconv()->decimal_point, ".");
  EXPECT_EQ(loggedCount("Decimal Separator (.) Error !!!"), 1);
  EXPECT_TRUE(monitor.switchedOff());

  // Off for the rest of the run: not even an overload is watched.
  layout().arcOverload = true;
  commands.TorchOn();
  for (int i = 0; i < 30; ++i) Tick();
  EXPECT_EQ(host.errorLabel, "");
  EXPECT_EQ(loggedCount("Decimal Separator (.) Error !!!"), 1);
}

// With automatic connection disabled an E-stop closes the link; otherwise it
// only shows as an alarm.
TEST_F(StatusTest, EStopClosesTheLinkOnlyWithoutAutomaticConnection) {
  struct Case {
    bool autoConnect;
    bool busy;
    bool closes;
  };
  for (const Case c :
       {Case{false, false, true}, Case{true, false, false}, Case{false, true, false}}) {
    SCOPED_TRACE(::testing::Message() << "auto " << c.autoConnect << " busy " << c.busy);
    if (!link.state.LinkConnected) OpenLink();
    indicator.showText("connected", IndicatorColour::Green);
    board.board().setInput(Input::EStop, true);
    commands.ReadStatusB();
    ASSERT_EQ(link.state.StatusCode, wire::alarm::kEStop);
    system->Busy = c.busy;
    const auto stops = sent(cmd::kStop);
    const auto start = clock.nowMicros();
    CheckEStop(*system, commands, link, c.autoConnect);
    EXPECT_EQ(!link.state.LinkConnected, c.closes);
    EXPECT_EQ(sent(cmd::kStop), stops + (c.closes ? 1 : 0));
    EXPECT_EQ(indicator.text, c.closes ? kEStopIndicatorText : "connected");
    if (c.closes) {
      EXPECT_EQ(indicator.colour, IndicatorColour::Red);
      EXPECT_GE(clock.nowMicros() - start, 800'000) << "four pauses of 200 ms";
    }
    board.board().setInput(Input::EStop, false);
    system->Busy = false;
  }
}

}  // namespace
}  // namespace corvane::testing
