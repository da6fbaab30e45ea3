#include <gtest/gtest.h>

#include <algorithm>

#include "job/JobFixture.h"
#include "machine/ConfigurationActions.h"

namespace corvane::testing {
namespace {

namespace cmd = wire::cmd;
constexpr Window kConfig = Window::Configuration;
constexpr Window kMain = Window::Main;

// The configuration window's actions on the program's whole controller side,
// connected to the in-process board.
struct ConfigurationActionsTest : JobFixture, ::testing::Test {
  ConfigurationActionsTest() {
    actions.ui.showOutputButton = [this](int output, bool visible) {
      outputButtons[size_t(output - 1)] = visible;
    };
    actions.Install();
    Connect();
  }
  // The operator's click: the value changes, then its behaviours run.
  void click(const char* name, bool on) {
    system->fields.setChecked(kConfig, name, on);
    system->fields.runClickBehaviour(kConfig, name);
  }
  void choose(const char* list, int index) {
    system->fields.selectChoice(kConfig, list, index);
    system->fields.runClickBehaviour(kConfig, list);
  }
  std::vector<wire::ControllerRequest> sent(std::uint8_t code) const {
    return tap->requestsWithCommand(code);
  }
  bool shown(const std::string& field) const {
    for (auto it = host.visibility.rbegin(); it != host.visibility.rend(); ++it)
      if (it->first == field) return it->second;
    return false;
  }
  long logCount(const std::string& line) const {
    return std::count(host.logPane.begin(), host.logPane.end(), line);
  }

  ConfigurationActions actions{*system, controller->commands, controller->connection,
                               controller->link.state};
  std::array<bool, 2> outputButtons{};
};

TEST_F(ConfigurationActionsTest, EveryInputBoxAndTheInterfaceSendTheThcSettingsWithTheirBits) {
  click("cInterface", true);
  const struct {
    const char* box;
    std::int32_t p0, p2;  // expected configuration bits after the click
  } cases[] = {{"cOhmic", 0x30000, 0},  {"cNeg1", 0x30000, 1},   {"cNeg2", 0x30000, 3},
               {"cNeg3", 0x30000, 7},   {"cNeg4", 0x30000, 15},  {"cNeg5", 0x30000, 31},
               {"cNeg6", 0x30000, 63},  {"cNeg7", 0x30000, 127}, {"cNeg8", 0x30000, 255}};
  for (const auto& c : cases) {
    const size_t thcBefore = sent(cmd::kThcSettings).size();
    const size_t configBefore = sent(cmd::kMachineConfig).size();
    click(c.box, true);
    ASSERT_EQ(sent(cmd::kThcSettings).size(), thcBefore + 1) << c.box;
    ASSERT_EQ(sent(cmd::kMachineConfig).size(), configBefore + 1) << c.box;
    EXPECT_EQ(sent(cmd::kMachineConfig).back().p[0], c.p0) << c.box;
    EXPECT_EQ(sent(cmd::kMachineConfig).back().p[2], c.p2) << c.box;
  }
  click("cArcOk", true);
  // Unticking the interface unticks the sensor and the ARC OK wait, and says so to the board.
  click("cInterface", false);
  EXPECT_FALSE(system->fields.checked(kConfig, "cOhmic"));
  EXPECT_FALSE(system->fields.checked(kConfig, "cArcOk"));
  EXPECT_EQ(sent(cmd::kMachineConfig).back().p[0], 0);
  EXPECT_EQ(sent(cmd::kMachineConfig).back().p[2], 255);
}

TEST_F(ConfigurationActionsTest, OutputModesShowTheirButtonsAndTheMarkerFields) {
  const struct {
    int out1, out2;
    bool button1, button2, marker;
  } cases[] = {{3, 0, true, false, false}, {0, 3, false, true, false}, {5, 0, false, false, true},
               {1, 5, false, false, true}, {3, 3, true, true, false}, {0, 0, false, false, false}};
  for (const auto& c : cases) {
    choose("cOut1", c.out1);
    choose("cOut2", c.out2);
    EXPECT_EQ(outputButtons[0], c.button1) << c.out1 << "/" << c.out2;
    EXPECT_EQ(outputButtons[1], c.button2) << c.out1 << "/" << c.out2;
    EXPECT_EQ(actions.ScriberMode, c.marker);
    EXPECT_EQ(shown("xMarkerSpeed"), c.marker);
    EXPECT_EQ(shown("leMarkerTime"), c.marker);
  }
  // The output buttons themselves: 210/211 and 212/213 with the button's state.
  controller->commands.SetOutputButton(1, true);
  controller->commands.SetOutputButton(2, false);
  EXPECT_EQ(tap->commandCodes().back(), cmd::kOut2Off);
  EXPECT_FALSE(sent(cmd::kOut1On).empty());
}

TEST_F(ConfigurationActionsTest, ModeBoxesAndTheFourthAxisShowTheirFields) {
  click("cSpec1", true);
  EXPECT_TRUE(shown("xPreHeatHeight"));
  EXPECT_TRUE(shown("lePreHeatTime"));
  click("cSpec1a", true);
  EXPECT_TRUE(shown("xDepthP"));
  EXPECT_TRUE(actions.MillingMode);
  click("cSpec1a", false);
  EXPECT_FALSE(shown("xDepth"));
  choose("cIn2", 4);
  EXPECT_TRUE(shown("eAlarm"));
  choose("cIn2", 2);
  EXPECT_FALSE(shown("eAlarm"));
  choose("cFunctionP", 3);
  EXPECT_TRUE(actions.RotaryMode);
  EXPECT_TRUE(shown("cStepP"));
  EXPECT_TRUE(shown("xFeedMaxA"));
  choose("cFunctionP", 1);
  EXPECT_FALSE(actions.RotaryMode);
  EXPECT_FALSE(shown("cHomingA"));
}

TEST_F(ConfigurationActionsTest, ANewAxisLengthUnreferencesZExceptWhileLoadingOrInRotaryMode) {
  controller->connection.ReferencedAxes = 7;
  system->fields.setText(kConfig, "xMoveZ", "5");
  EXPECT_EQ(host.errorLabel, "Z Axis not referenced!");
  EXPECT_EQ(controller->connection.ReferencedAxes, 6);

  controller->connection.ReferencedAxes = 7;
  host.errorLabel.clear();
  system->loading = true;
  system->fields.setText(kConfig, "xLimitZ", "90");
  system->loading = false;
  choose("cFunctionP", 3);
  system->fields.setText(kConfig, "xMoveX", "40");
  EXPECT_EQ(host.errorLabel, "");
  EXPECT_EQ(controller->connection.ReferencedAxes, 7);
}

TEST_F(ConfigurationActionsTest, MicrosteppingWarningsColourTheLampsAndAreLoggedOncePerRun) {
  const std::string warning = "Warning: Microsteping X Axis not recomended value";
  choose("cStepX", 7);  // 51200 steps on 38.1 mm: far too fine
  EXPECT_EQ(actions.lamps()[0], Lamp::Red);
  EXPECT_EQ(actions.lamps()[1], MicrosteppingLamp(ScaleAxis::Y, system->scales.SY));
  actions.MicrosteppingRefresh();
  EXPECT_EQ(logCount(warning), 1);
  EXPECT_EQ(system->log.stage, 51);
  EXPECT_EQ(actions.report().lines[9].text, "Microstepping X : Not Recomended (recomended 5000)");
  choose("cStepX", 3);
  EXPECT_EQ(actions.lamps()[0], Lamp::Green);

  // While settings load the lamps and the log keep still.
  system->loading = true;
  choose("cStepZ", 7);
  EXPECT_NE(actions.lamps()[2], Lamp::Red);
  EXPECT_EQ(logCount("Warning: Microsteping Z Axis not recomended value"), 0);
}

TEST_F(ConfigurationActionsTest, InchValuesAreJudgedInMillimetres) {
  system->parser.imperial = true;
  system->fields.setText(kConfig, "xMoveX", "1.5");  // 38.1 mm
  system->fields.setText(kConfig, "xMoveY", "0.787");  // 20 mm
  system->fields.setText(kConfig, "eAccXY", "20");
  system->fields.setText(kConfig, "xFeedMinXY", "78.74");  // 2000 mm/min
  actions.RebuildReport();
  const auto& lines = actions.report().lines;
  const auto text = [&](const std::string& head) {
    for (const auto& line : lines)
      if (line.text.rfind(head, 0) == 0) return line.text;
    return std::string();
  };
  EXPECT_EQ(text("Gear X"), "Gear X : OK");
  EXPECT_EQ(text("Gear Y"), "Gear Y : Not recomended ( 30-70mm/rev)");
  EXPECT_EQ(text("XY Ramp"), "XY Ramp : OK");
  EXPECT_EQ(text("XY Safety"), "XY Safety speed too high ( sugest 1000max)");
}

TEST_F(ConfigurationActionsTest, ResetAndTheTimerFollowTheLinkStatistics) {
  LinkState& link = controller->link.state;
  link.WorstAttempt = 9;
  link.WorstQueueFill = 2400;
  system->StatisticsChanged = true;
  actions.Tick();  // the first tick after loading refreshes everything
  actions.Tick();
  EXPECT_FALSE(system->StatisticsChanged);
  EXPECT_EQ(actions.report().level, 2);
  EXPECT_EQ(SummaryOf(actions.report().level).text, "Status : Check");

  actions.ResetStatistics();
  EXPECT_EQ(link.WorstAttempt, 0);
  EXPECT_EQ(link.WorstQueueFill, 0);
  EXPECT_TRUE(system->StatisticsChanged);
  actions.Tick();
  EXPECT_FALSE(system->StatisticsChanged);
  EXPECT_EQ(actions.report().lines[2].text, "USB Interferences : OK");
  EXPECT_EQ(actions.report().lines[3].text, "Rx Buff : OK");
}

TEST_F(ConfigurationActionsTest, CountersAndClosingSteps) {
  system->fields.setText(kConfig, "eSpec7", "3725");
  actions.Opened();
  EXPECT_EQ(system->fields.text(kConfig, "eSpec6"), "62");
  actions.Closed(1);
  EXPECT_EQ(system->fields.text(kConfig, "eSpec7"), "3725") << "locked counters keep the seconds";
  EXPECT_EQ(system->fields.text(kConfig, "eTabSheet"), "1");

  actions.Opened();
  actions.UnlockCounters();
  EXPECT_TRUE(actions.countersUnlocked());
  EXPECT_EQ(system->fields.text(kConfig, "eSpec7"), "0");
  system->fields.setText(kConfig, "eSpec6", "5");
  system->fields.setText(kConfig, "xLimitX", "500");
  const size_t thcBefore = sent(cmd::kThcSettings).size();
  actions.Closed(2);
  EXPECT_EQ(system->fields.text(kConfig, "eSpec7"), "300");
  EXPECT_FALSE(actions.countersUnlocked());
  EXPECT_EQ(system->store.SoftLimitX, 50000);
  EXPECT_EQ(sent(cmd::kThcSettings).size(), thcBefore + 1);
  EXPECT_EQ(system->fields.text(kMain, "xFeed"), "2540");
}

}  // namespace
}  // namespace corvane::testing
