#include <gtest/gtest.h>

#include <functional>

#include "machine/JogRig.h"
#include "machine/Referencing.h"
#include "wire/Commands.h"

namespace corvane::testing {
namespace {

constexpr Window kConfig = Window::Configuration;

struct ParkRig : JogRig {
  ParkRig() {
    system->fields.setText(kConfig, "xLimitX", "300");
    system->fields.setText(kConfig, "xLimitY", "600");
    system->fields.setText(kConfig, "xLimitZ", "50");
    system->fields.setText(kConfig, "eF2x", "120");
    system->fields.setText(kConfig, "eF2y", "80");
    // Z stays where it is: the board's Z travel is short.
    system->fields.setText(kConfig, "eF2z", "");
    OpenLink();
    commands.SetPosition(10000, 10000, 2000, 0);
    system->StopRequested = false;
  }
  // Where the board stands once it has run out its queue.
  AxisPosition settled() {
    commands.WaitIdle();
    clock.advance(2000000);
    commands.ReadStatusA();
    return system->job.MachinePosition;
  }
  Referencing referencing{*system, link, commands, moves, connection};
};

// Every jog release, every referencing and every stop leaves the stop flag
// set; F2 after any of them must still drive the board to the park position.
TEST(ParkPositions, F2ReachesTheParkAfterAJogAReferencingOrAStop) {
  const struct {
    const char* before;
    std::function<void(ParkRig&)> run;
  } cases[] = {
      {"a jog and its release",
       [](ParkRig& r) {
         r.jog.PressXY(jog::kXPlus, false);
         r.clock.advance(300000);
         r.jog.Release(false);
       }},
      {"referencing without home switches", [](ParkRig& r) { r.referencing.ReferenceAll(); }},
      {"the operator's stop", [](ParkRig& r) { r.commands.StopMotion(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before);
    ParkRig rig;
    c.run(rig);
    const std::int32_t z = rig.settled().z;
    rig.referencing.GoToPark(2);
    const AxisPosition at = rig.settled();
    EXPECT_EQ(at.x, 12000);
    EXPECT_EQ(at.y, 8000);
    EXPECT_EQ(at.z, z) << "an empty Z keeps the height";
  }
}

// The operator's stop during the park move still ends it short of the park.
TEST(ParkPositions, AStopDuringTheParkMoveEndsIt) {
  ParkRig rig;
  rig.jog.PressXY(jog::kYPlus, false);
  rig.jog.Release(false);
  rig.settled();
  const std::size_t before = rig.tap.requestsWithCommand(wire::cmd::kXyLine).size();
  rig.host.onProcessEvents = [&rig, before] {
    if (rig.tap.requestsWithCommand(wire::cmd::kXyLine).size() > before && !rig.system->StopRequested)
      rig.commands.StopMotion();
  };
  rig.referencing.GoToPark(2);
  rig.host.onProcessEvents = nullptr;
  const AxisPosition at = rig.settled();
  EXPECT_GT(rig.tap.requestsWithCommand(wire::cmd::kXyLine).size(), before) << "the move began";
  EXPECT_NE(at.x, 12000);
  EXPECT_NE(at.y, 8000);
}

}  // namespace
}  // namespace corvane::testing
