#include <gtest/gtest.h>

#include "support/SystemFixture.h"
#include "system/System.h"
#include "system/TubeSetup.h"

namespace corvane::testing {
namespace {

constexpr Window kMain = Window::Main;

// The panel's buttons decide the kind of tube and keep it with the settings,
// so that entering rotary mode again (a restart) finds the same tube.
TEST(TubeSetup, TheOkButtonsChooseTheTubeAndExitKeepsIt) {
  struct Case {
    const char* what;
    void (*ok)(System&);
    bool pipe;
    std::int32_t perimeter;  // of the profile table; 0 for a pipe
    std::int32_t surfaceZ;   // the job's Z origin: a pipe's radius, else untouched
  };
  for (const Case c : {Case{"pipe", TubeOkPipe, true, 0, 3000}, Case{"profile", TubeOkProfile, false, 20000, 777}}) {
    SCOPED_TRACE(c.what);
    SystemFixture f;
    System& s = *f.system;
    s.rotary.active = true;
    s.job.ProjectOriginZ = 777;
    for (const auto& [name, text] : {std::pair{"xrD", "60"}, {"xrB", "60"}, {"xrH", "40"}, {"xrR", "3"}})
      s.fields.setText(kMain, name, text);
    c.ok(s);
    EXPECT_EQ(s.fields.checked(kMain, "cpipe"), c.pipe);
    s.rotary = RotaryState{};  // what a restart starts from
    s.rotary.active = true;
    s.rotary.tube.pipe = !c.pipe;
    TubeExit(s);
    EXPECT_EQ(s.rotary.tube.pipe, c.pipe);
    EXPECT_EQ(s.rotary.table.perimeter, c.perimeter);
    EXPECT_EQ(s.job.ProjectOriginZ, c.surfaceZ);
    EXPECT_FALSE(s.rotary.previewRunning);
    if (c.pipe) {
      EXPECT_GT(s.scales.SA, 0) << "a pipe's A steps per 0.01 mm of its surface";
    }
  }
}

}  // namespace
}  // namespace corvane::testing
