#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "machine/Moves.h"
#include "machine/QueuedBoardTime.h"
#include "support/BoardFixture.h"
#include "wire/Commands.h"

namespace corvane::testing {
namespace {

constexpr Window kConfig = Window::Configuration;

bool Queued(std::uint8_t code) {
  const auto* info = wire::FindCommand(code);
  return info && info->dispatch == wire::Dispatch::Queued;
}

struct QueuedBoardTimeTest : BoardFixture, ::testing::Test {
  QueuedBoardTimeTest() {
    system->fields.setText(kConfig, "eAccXY", "20");
    system->fields.setText(kConfig, "eAccZ", "20");
    system->fields.setText(kConfig, "xFeedMinXY", "762");
    system->fields.setText(kConfig, "xFeedMinZ", "508");
    system->fields.setText(kConfig, "xFeedMaxZ", "2540");
    system->fields.setText(kConfig, "xFeedMaxXY", "6000");
    system->Busy = true;
    OpenLink();
    RecordStream();
    commands.SetPosition(0, 0, 2000, 0);
    system->StopRequested = false;
  }
  Moves moves{*system, link, commands};
};

// The PC's reckoning of each queued command's board time, fed the frames the
// program sent and the fills the board reported, against how long the board
// took to run it: rapids ramping up and braking, cuts at changing speeds
// (each starting at the level the one before left), Z moves, a dwell and a
// four-axis move.
TEST_F(QueuedBoardTimeTest, EachCommandTakesTheBoardTimeReckonedForIt) {
  moves.MoveXY(30000, 20000, 6000, true);
  const std::int32_t speeds[] = {2000, 762, 3000, 3000, 1200, 5000};
  std::int32_t x = 30000;
  for (int i = 0; i < 36; ++i) {
    x += 300 + 200 * (i % 5);
    moves.MoveXY(x, 20000 + (i % 2) * 400, speeds[i % 6], false);
  }
  moves.MoveZ(1000, 2540);
  commands.Dwell(200);
  moves.QueueXYZA(10000, 10000, 2000, true, 6000, 0);
  commands.WaitIdle();

  QueuedBoardTime reckoned;
  std::vector<double> estimates;
  for (std::size_t i = 0; i < stream.size(); ++i) {
    const wire::ControllerRequest& r = stream[i].request;
    const bool queued = Queued(r.command);
    if (queued) estimates.push_back(double(reckoned.MicrosOf(r)));
    reckoned.Sent(r, queued, stream[i].micros);
    if (i + 1 < stream.size()) reckoned.Reported(stream[i + 1].fillOnArrival, stream[i + 1].micros);
  }
  std::vector<const sim::ExecutedEntry*> ran;
  for (const auto& e : board.board().executed())
    if (Queued(e.request.command)) ran.push_back(&e);
  ASSERT_EQ(ran.size(), estimates.size());

  // The record closes an entry at the start of the board's step that ends it:
  // the time of the next entry's start is the end to trust.
  const double rampPeriod = 20 * 100.0;
  double estimated = 0, taken = 0;
  int moved = 0;
  for (std::size_t j = 0; j + 1 < ran.size(); ++j) {
    const double took = ran[j + 1]->startMicros - ran[j]->startMicros;
    if (ran[j]->from == ran[j]->to && ran[j]->request.command != wire::cmd::kDwell) continue;
    SCOPED_TRACE("entry " + std::to_string(j) + ", command " +
                 std::to_string(ran[j]->request.command));
    EXPECT_NEAR(estimates[j], took, 2 * rampPeriod + 0.02 * took);
    estimated += estimates[j];
    taken += took;
    ++moved;
  }
  EXPECT_GT(moved, 40);
  EXPECT_NEAR(estimated, taken, 0.01 * taken) << "over the whole run";
}

}  // namespace
}  // namespace corvane::testing
