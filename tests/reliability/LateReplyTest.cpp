#include <gtest/gtest.h>

#include "reliability/PtyRig.h"
#include "wire/Commands.h"

namespace corvane::testing {
namespace {

// A reply that comes after the window has closed is answered again by the
// retry; the late copy must not be taken for the reply of a later request.
TEST(LateReply, ALateReplyIsNeverTakenForTheAnswerOfTheNextRequest) {
  PtyRig rig;
  ASSERT_TRUE(rig.StartServer());
  ASSERT_TRUE(rig.Connect());
  MachineCommands& commands = rig.controller->commands;
  ControllerLink& link = rig.controller->link;
  const std::array<std::int32_t, 4> at{1000, 2000, 3000, 4000};
  for (int i = 0; i < 4; ++i) link.request.p[i] = at[static_cast<std::size_t>(i)];
  ASSERT_TRUE(commands.Send(wire::cmd::kSetPosition));
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    ASSERT_NE(rig.Control("fault late at 1").find("ok"), std::string::npos);
    link.request.p[0] = 0;
    ASSERT_TRUE(commands.Send(wire::cmd::kFeedOverride));
    // Reads in a row, as the status poll makes them: every one answers with the positions.
    for (int read = 0; read < 40; ++read) {
      ASSERT_TRUE(commands.ReadStatusA());
      ASSERT_EQ(commands.status.MachinePositionSteps, at) << "read " << read << " took another request's reply";
    }
  }
}

}  // namespace
}  // namespace corvane::testing
