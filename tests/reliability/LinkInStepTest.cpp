#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "job/JobFixture.h"
#include "model/JobNormalise.h"
#include "reliability/JobChecks.h"
#include "reliability/LineJob.h"
#include "reliability/PtyRig.h"
#include "support/BoardFixture.h"
#include "wire/Codes.h"

namespace corvane::testing {
namespace {

namespace cmd = wire::cmd;
using sim::Fault;
constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;


struct LineCase {
  const char* name;
  bool echo;                     // the board echoes the request counter in byte 20
  std::int64_t minMicros, maxMicros;  // reply latency
  double lateShare;              // 0: one late reply early in the run
};

// Requests whose replies tell them apart: the version, status A (the
// positions set before) and status B (the feed override just sent). A late
// reply past the window is retried; its copy and the retry's own answer must
// never be taken for a later request's reply, whether or not the board echoes
// the counter.
TEST(LinkInStep, EveryExchangeTakesTheReplyOfItsOwnRequest) {
  const LineCase cases[] = {
      {"echoing board, 1 ms, one late reply", true, 1000, 1000, 0},
      {"echoing board, 0.5-3 ms, 2 % late", true, 500, 3000, 0.02},
      {"board without echo, 1 ms, one late reply", false, 1000, 1000, 0},
      {"board without echo, 0.5-3 ms, 2 % late", false, 500, 3000, 0.02},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.name);
    BoardFixture f;
    f.board.board().setSequenceEcho(c.echo);
    f.board.setReplyLatency(c.minMicros, c.maxMicros, 11);
    ASSERT_TRUE(f.connection.Connect());
    EXPECT_EQ(f.link.state.SequenceEcho, c.echo);
    EXPECT_TRUE(f.logged(c.echo ? "Link: the board echoes the request counter"
                                : "Link: the board does not echo the request counter"));
    const std::array<std::int32_t, 4> at{1000, 2000, 3000, 4000};
    for (int i = 0; i < 4; ++i) f.link.request.p[static_cast<std::size_t>(i)] = at[static_cast<std::size_t>(i)];
    f.link.request.command = cmd::kSetPosition;
    ASSERT_TRUE(f.link.Exchange());

    auto& faults = f.board.faults();
    faults.setSeed(5);
    if (c.lateShare > 0)
      faults.setProbability(Fault::LateReply, c.lateShare);
    else
      faults.armAt(Fault::LateReply, 4);
    int taken = 0, wrong = 0;
    std::string firstWrong;
    const auto check = [&](bool same, const std::string& what) {
      ++taken;
      if (same) return;
      if (wrong++ == 0) firstWrong = what + " at exchange " + std::to_string(taken);
    };
    for (int i = 0; i < 300; ++i) {
      const std::int32_t override = i % 25;
      f.link.request.p[0] = override;
      f.link.request.command = cmd::kFeedOverride;
      ASSERT_TRUE(f.link.Exchange());
      f.link.request.command = cmd::kStatusB;
      ASSERT_TRUE(f.link.Exchange());
      check(f.link.reply.r[1] == override, "status B took another reply");
      f.link.request.command = cmd::kStatusA;
      ASSERT_TRUE(f.link.Exchange());
      check(f.link.reply.r[0] == at[0] && f.link.reply.r[1] == at[1] && f.link.reply.r[2] == at[2],
            "status A took another reply");
      f.link.request.command = cmd::kVersion;
      ASSERT_TRUE(f.link.Exchange());
      check(f.link.reply.r[0] == wire::kFirmwareMajor && f.link.reply.r[1] == wire::kFirmwareMinor,
            "the version read took another reply");
    }
    EXPECT_EQ(wrong, 0) << firstWrong;
    EXPECT_GT(f.link.state.RetryCount, 0) << "no late reply was retried: the run proves nothing";
    EXPECT_EQ(f.board.board().feedOverrideSteps(), 299 % 25);
  }
}

// A late reply, and then the torch-off after it lost on its way to the board:
// the program must see that its torch-off was never answered and send it
// again, so the torch is off before the rapid to the next square.
TEST(LinkInStep, ATorchOffLostAfterALateReplyIsSentAgain) {
  LineJob fx;
  fx.system->job.Job = {Square(1000, 1000, 3000), Square(21000, 1000, 3000), Square(41000, 1000, 3000)};
  fx.Connect();
  fx.system->job.ProjectOriginX = fx.system->job.MachinePosition.x;
  fx.system->job.ProjectOriginY = fx.system->job.MachinePosition.y;
  auto& faults = fx.board().faults();
  faults.armAt(Fault::LateReply, 40);
  const std::int64_t lateAt = faults.requestsSeen() + 40;
  int dropped = 0;
  const auto record = fx.tap->onWrite;
  fx.tap->onWrite = [&](const std::vector<std::uint8_t>& frame) {
    record(frame);
    if (frame.size() == wire::kFrameSize && frame[wire::kCommandByte] == cmd::kTorchOff &&
        faults.requestsSeen() > lateAt && dropped < 2 && fx.tap->written.size() >= 2 &&
        fx.tap->written[fx.tap->written.size() - 2] != frame) {
      ++dropped;
      faults.armAt(Fault::LoseRequest, 1);
    }
  };
  fx.controller->runner.Start();
  EXPECT_EQ(dropped, 2);
  EXPECT_TRUE(fx.Finished());
  EXPECT_EQ(fx.shifted, 0) << "exchanges took another request's reply";
  EXPECT_EQ(CheckExactlyOnce(fx.Planned(), fx.executed()), "");
  EXPECT_EQ(TorchOnAwayFromContours(fx.executed(), fx.system->scales, fx.system->job), "");
  EXPECT_TRUE(UncutContours(fx.executed(), fx.system->scales, fx.system->job).empty());
  EXPECT_FALSE(fx.board().board().torchOn());
}

// A real drawing, processed with kerf and leads as the import window sends
// it, cut over a line that loses, spoils and delays replies and loses
// requests, with replies 0.5-3 ms after their requests: the job finishes,
// every planned request ran exactly once and in order, the torch was never on
// away from a contour, every contour was cut and no alarm was raised.
// CORVANE_SOAK_DRAWING, CORVANE_SOAK_CONTOURS and CORVANE_SOAK_SEED make it
// the long run of scripts/soak.sh.
TEST(LinkInStep, ALongJobUnderTheFaultMixIsCutWholeAndOnlyOnce) {
  const std::string drawing =
      EnvOr("CORVANE_SOAK_DRAWING", std::string(CORVANE_CORPUS_DIR) + "/dxf/irnas__Bottom_plate.DXF");
  const std::size_t contours = std::stoul(EnvOr("CORVANE_SOAK_CONTOURS", "25"));
  const std::uint64_t seed = std::stoull(EnvOr("CORVANE_SOAK_SEED", "7"));
  for (const bool echo : {true, false}) {
    SCOPED_TRACE(echo ? "echoing board" : "board without echo");
    LineJob fx(500, 3000);
    fx.board().board().setSequenceEcho(echo);
    ReplaceJob(fx.system->job, ProcessedDrawing(*fx.system, drawing, contours));
    ASSERT_FALSE(fx.system->job.Job.empty()) << drawing;
    fx.Connect();
    fx.system->job.ProjectOriginX = fx.system->job.MachinePosition.x + 1000;
    fx.system->job.ProjectOriginY = fx.system->job.MachinePosition.y + 1000;
    auto& faults = fx.board().faults();
    faults.setSeed(seed);
    faults.setProbability(Fault::LoseReply, 0.02);
    faults.setProbability(Fault::CorruptChecksum, 0.01);
    faults.setProbability(Fault::LateReply, 0.01);
    faults.setProbability(Fault::LoseRequest, 0.005);
    const std::int64_t before = faults.requestsSeen();
    fx.controller->runner.Start();
    std::printf("fault mix, %s: %zu contours, %lld requests, %d retries, %d stray replies, %.1f s of board time\n",
                echo ? "echo" : "no echo", fx.system->job.Job.size(),
                static_cast<long long>(faults.requestsSeen() - before), fx.controller->link.state.RetryCount,
                fx.controller->link.state.StrayReplies, fx.board().nowMicros() / 1e6);
    EXPECT_TRUE(fx.Finished());
    if (echo) {
      EXPECT_EQ(fx.shifted, 0) << "exchanges took another request's reply";
    }
    EXPECT_EQ(fx.board().board().alarm(), 0);
    EXPECT_EQ(CheckExactlyOnce(fx.Planned(), fx.executed()), "");
    EXPECT_EQ(TorchOnAwayFromContours(fx.executed(), fx.system->scales, fx.system->job), "");
    EXPECT_EQ(UncutContours(fx.executed(), fx.system->scales, fx.system->job), std::vector<int>{});
  }
}

}  // namespace
}  // namespace corvane::testing
