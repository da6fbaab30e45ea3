#include <gtest/gtest.h>

#include <cmath>

#include "machine/ConfigurationActions.h"
#include "machine/Jog.h"
#include "machine/Moves.h"
#include "machine/RotaryPlacement.h"
#include "model/RotaryAxis.h"
#include "machine/JogRig.h"
#include "support/BoardFixture.h"
#include "system/TubeSetup.h"
#include "wire/Commands.h"

namespace corvane::testing {
namespace {

namespace cmd = wire::cmd;
constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;
// The default scales give X, Y and Z steps of more than 0.01 mm: the board
// reports a position within one step of the one set.
constexpr std::int32_t kStep = 2;

// The rotary jog and placement against the in-process board: a 60 mm pipe or
// a 60 × 40 R3 profile on the fourth axis, the axis at logical X 0.
struct RotaryJogTest : JogRig, ::testing::Test {
  RotaryJogTest() {
    system->fields.setText(kConfig, "xFeedhXY", "2540");
    system->fields.setText(kConfig, "xFeedMaxXY", "6000");
    system->fields.setText(kConfig, "xFeedMinXY", "300");
    system->fields.setText(kMain, "xrD", "60");
    system->fields.setText(kMain, "xrB", "60");
    system->fields.setText(kMain, "xrH", "40");
    system->fields.setText(kMain, "xrR", "3");
    OpenLink();
  }

  // The tube on the axis; the board's X and Z stand mid-travel, so that the
  // head can swing across a profile and climb its corners.
  void Mount(bool pipe, std::int32_t z = 6000) {
    system->rotary.active = true;
    pipe ? TubeOkPipe(*system) : TubeOkProfile(*system);
    TubeExit(*system);
    board.board().machine().setPhysical(0, 100000);
    board.board().machine().setPhysical(2, 6000);
    commands.SetPosition(0, 10000, z, 0);
    system->StopRequested = false;
    RecordStream();
  }
  AxisPosition BoardPosition() {
    commands.WaitIdle();
    commands.ReadStatusA();
    return system->job.MachinePosition;
  }
  std::int32_t Eighth() const { return system->scales.ARev / 8; }

};

TEST_F(RotaryJogTest, PipeMixXTurnsTheTubeByOneRevolutionAndLeavesXAndY) {
  Mount(true);
  const std::int32_t aRev = system->scales.ARev;
  ASSERT_GT(aRev, 0);
  const AxisPosition start = BoardPosition();
  system->rotary.mixXA = true;
  jog.PressXY(jog::kXPlus, false);
  AxisPosition at = BoardPosition();
  EXPECT_NEAR(at.a, aRev, 1) << DescribeStream(stream);
  EXPECT_EQ(at.x, start.x);
  EXPECT_EQ(at.y, start.y);
  EXPECT_EQ(at.z, start.z);
  EXPECT_FALSE(tap.requestsWithCommand(cmd::kYaMove).empty()) << "a pipe turns with Y+A moves";

  jog.Release(false);
  jog.PressXY(jog::kXMinus, false);
  at = BoardPosition();
  EXPECT_NEAR(at.a, 0, 1);
  EXPECT_EQ(at.x, start.x);
  EXPECT_EQ(at.y, start.y);
  jog.Release(false);

  // MIX up: X+ moves X again and leaves A.
  system->rotary.mixXA = false;
  system->fields.setText(kMain, "xJogDist", "10");
  const std::int32_t a = BoardPosition().a;
  jog.PressXY(jog::kXPlus, false);
  at = BoardPosition();
  EXPECT_NEAR(at.x, start.x + 1000, kStep);
  EXPECT_EQ(at.a, a);
}

TEST_F(RotaryJogTest, ProfileMixXTurnsOneRevolutionKeepingXAndTheHeightAboveTheSurface) {
  // Over the middle of the top face (20 mm above the axis), 15 mm above it.
  Mount(false, 2000 + 1500);
  const std::int32_t aRev = system->scales.ARev;
  ASSERT_GT(aRev, 0);
  const RotaryMapping mapping(system->rotary.tube, system->rotary.table, aRev, system->scales.SA, 0);
  ASSERT_EQ(mapping.TableAt(0).z, 2000);
  board.board().recordExecuted(true);
  system->rotary.mixXA = true;
  jog.PressXY(jog::kXPlus, false);
  AxisPosition at = BoardPosition();
  EXPECT_EQ(at.a, aRev) << DescribeStream(stream);
  EXPECT_NEAR(at.x, 0, kStep);
  EXPECT_NEAR(at.y, 10000, kStep);
  EXPECT_NEAR(at.z - mapping.TableAt(mapping.UnrolledX(at.x, at.a, true)).z, 1500, kStep);
  EXPECT_TRUE(StreamFaults().empty()) << DescribeStream(stream);
  // It went round through the tube's faces: four-axis moves, the head
  // climbing over the corners and back down.
  const auto moves4 = tap.requestsWithCommand(cmd::kXyzaMove);
  EXPECT_GE(moves4.size(), 4u);
  std::int32_t highest = 0;
  for (const auto& e : board.board().executed())
    if (e.request.command == cmd::kXyzaMove)
      highest = std::max(highest, int(std::lround(e.to[2] / system->scales.SZ)));
  EXPECT_GT(highest, system->rotary.table.maxHeight + 1500 - 100) << "over the corners";
  jog.Release(false);

  // X− turns it back.
  jog.PressXY(jog::kXMinus, false);
  at = BoardPosition();
  EXPECT_EQ(at.a, 0);
  EXPECT_NEAR(at.x, 0, kStep);
  EXPECT_NEAR(at.z, 3500, kStep);
}

TEST_F(RotaryJogTest, APlusAndAMinusGoToTheNextAndPreviousEighthAndNeverStandStill) {
  Mount(true);
  const std::int32_t e = Eighth();
  ASSERT_GT(e, 300) << "the cases below assume an eighth of more than 300 steps";
  // Within 100 steps of an eighth counts as standing on it.
  const struct {
    std::int32_t from, up, down;
  } cases[] = {
      {0, e, -e}, {1, e, -e}, {e - 1, 2 * e, 0}, {e, 2 * e, 0},
      {150, e, 0}, {-e / 2, 0, -e}, {-3, e, -e}, {-e, 0, -2 * e},
  };
  for (const auto& c : cases)
    for (const bool up : {true, false}) {
      commands.SetPosition(500, 10000, 6000, c.from);
      const AxisPosition start = BoardPosition();
      ASSERT_EQ(start.a, c.from);
      jog.PressA(up);
      const AxisPosition at = BoardPosition();
      EXPECT_EQ(at.a, up ? c.up : c.down) << c.from << (up ? " A+" : " A-");
      EXPECT_EQ(at.a, NextEighth(c.from, system->scales.ARev, up));
      EXPECT_NE(at.a, c.from);
      EXPECT_EQ(at.x, start.x);
      EXPECT_EQ(at.y, start.y);
      EXPECT_EQ(at.z, start.z);
    }
  EXPECT_TRUE(StreamFaults().empty()) << DescribeStream(stream);
}

TEST_F(RotaryJogTest, RotaryJogsAreRefusedWhileAJobRuns) {
  Mount(true);
  system->Busy = true;
  const std::size_t before = tap.requests().size();
  system->rotary.mixXA = true;
  jog.PressXY(jog::kXPlus, false);
  jog.PressA(true);
  EXPECT_EQ(tap.requests().size(), before);
  system->Busy = false;
  EXPECT_EQ(BoardPosition().a, 0);
}

struct RotaryPlacementTest : RotaryJogTest {
  RotaryPlacementTest() : actions(*system, commands, connection, link.state) {}
  ConfigurationActions actions;
};

TEST_F(RotaryPlacementTest, TheXButtonsCorrectTheRotationAxisAfterAYes) {
  const std::int32_t x = 1234, laser = 1250, half = 3000;
  const struct {
    PlacementButton button;
    const char* log;
    std::int32_t change, reversedChange, machineX;
    bool setsY;
  } cases[] = {
      {PlacementButton::LeftTop, "Rotary Axis correction XY--", x + half, -x - half, -half - laser, true},
      {PlacementButton::Left, "Rotary Axis correction X-", x + half, -x - half, -half - laser, false},
      {PlacementButton::LeftBottom, "Rotary Axis correction XY-", x + half, -x - half, -half - laser, true},
      {PlacementButton::RightTop, "Rotary Axis correction XY++", x - half, half - x, half - laser, true},
      {PlacementButton::Right, "Rotary Axis correction X+", x - half, half - x, half - laser, false},
      {PlacementButton::RightBottom, "Rotary Axis correction XY+", x - half, half - x, half - laser, true},
      {PlacementButton::Centre, "Rotary Axis correction X0", x, -x, -laser, true},
  };
  Mount(true);
  system->job.JobExtentX = 9000;
  system->job.JobExtentY = 4000;
  for (const auto& c : cases)
    for (const bool reversed : {false, true}) {
      system->fields.setChecked(kConfig, "cHomingX", reversed);
      system->fields.setText(kConfig, "xSpec10", "203.2");
      actions.XReferenceOffset = 20320;
      actions.LaserOffsetX = laser;
      system->job.ProjectOriginX = 700;
      system->job.ProjectOriginY = 800;
      commands.SetPosition(x, 10000, 6000, 333);
      host.logPane.clear();
      host.questions.clear();
      host.answers = {Answer::Yes};

      EXPECT_EQ(PlaceOnTube(*system, commands, c.button, actions.LaserOffsetX, actions.XReferenceOffset),
                RotaryPlaceOutcome::Applied);
      const std::string what = std::string(c.log) + (reversed ? " reversed" : "");
      ASSERT_EQ(host.questions.size(), 1u) << what;
      EXPECT_EQ(host.questions[0], "Are you sure ?\n\rthe axis of rotation will be changed !");
      ASSERT_FALSE(host.logPane.empty()) << what;
      EXPECT_EQ(host.logPane.front(), c.log) << what;
      const std::int32_t offset = 20320 + (reversed ? c.reversedChange : c.change);
      EXPECT_EQ(actions.XReferenceOffset, offset) << what;
      EXPECT_EQ(system->fields.text(kConfig, "xSpec10"), NumberParser::FloatToText(offset / 100.0)) << what;
      const AxisPosition at = BoardPosition();
      EXPECT_NEAR(at.x, c.machineX, kStep) << what;
      EXPECT_NEAR(at.y, 10000, kStep) << what;
      EXPECT_NEAR(at.z, 6000, kStep) << what;
      EXPECT_EQ(at.a, 0) << what;
      EXPECT_EQ(system->job.ProjectOriginX, 700) << what << ": X origin untouched";
      std::int32_t originY = 800;
      if (c.setsY) {
        const bool top = c.button == PlacementButton::LeftTop || c.button == PlacementButton::RightTop;
        const bool centre = c.button == PlacementButton::Centre;
        originY = top ? 10000 - 4000 : centre ? 10000 - 2000 : 10000;
      }
      EXPECT_EQ(system->job.ProjectOriginY, originY) << what;
    }
  EXPECT_TRUE(StreamFaults().empty()) << DescribeStream(stream);
}

TEST_F(RotaryPlacementTest, NoChangesNothingAndFlatOrYOnlyButtonsAskNothing) {
  Mount(false);
  system->job.ProjectOriginX = 700;
  system->job.ProjectOriginY = 800;
  commands.SetPosition(1234, 10000, 6000, 333);
  actions.XReferenceOffset = 20320;
  host.answers = {Answer::No};
  host.logPane.clear();
  EXPECT_EQ(PlaceOnTube(*system, commands, PlacementButton::LeftBottom, 1250, actions.XReferenceOffset),
            RotaryPlaceOutcome::Declined);
  EXPECT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(actions.XReferenceOffset, 20320);
  EXPECT_EQ(system->fields.text(kConfig, "xSpec10"), "203.2");
  EXPECT_TRUE(host.logPane.empty());
  const AxisPosition at = BoardPosition();
  EXPECT_NEAR(at.x, 1234, kStep);
  EXPECT_EQ(at.a, 333);
  EXPECT_EQ(system->job.ProjectOriginX, 700);
  EXPECT_EQ(system->job.ProjectOriginY, 800);

  // "Y = TOP" and "Y = 0" are the flat ones; so is every button off the rotary axis.
  EXPECT_EQ(PlaceOnTube(*system, commands, PlacementButton::Top, 1250, actions.XReferenceOffset),
            RotaryPlaceOutcome::NotRotary);
  EXPECT_EQ(PlaceOnTube(*system, commands, PlacementButton::Bottom, 1250, actions.XReferenceOffset),
            RotaryPlaceOutcome::NotRotary);
  system->rotary.active = false;
  EXPECT_EQ(PlaceOnTube(*system, commands, PlacementButton::Left, 1250, actions.XReferenceOffset),
            RotaryPlaceOutcome::NotRotary);
  EXPECT_EQ(host.questions.size(), 1u);
}

}  // namespace
}  // namespace corvane::testing
