#include <gtest/gtest.h>

#include "support/BoardFixture.h"
#include "wire/Codes.h"
#include "wire/Commands.h"

namespace corvane::testing {
namespace {

using sim::Fault;

struct ExchangeTest : BoardFixture, ::testing::Test {
  ExchangeTest() {
    OpenLink();
    system->log.Start(logs.path());
  }
  bool Send(std::uint8_t code) {
    link.request.command = code;
    return link.Exchange();
  }
  // Lines of today's log file that read `message`.
  long fileCount(const std::string& message) const {
    const std::string text = ReadFileText(system->log.path()), line = " " + message + "\r\n";
    long n = 0;
    for (auto at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
    return n;
  }
  TempDir logs;
};

TEST_F(ExchangeTest, NothingIsSentWhileNotConnected) {
  link.state.LinkConnected = false;
  EXPECT_FALSE(Send(wire::cmd::kStatusA));
  EXPECT_TRUE(tap.written.empty());
  EXPECT_EQ(link.request.sequence, 0) << "the counter moves only when an exchange runs";
}

TEST_F(ExchangeTest, GoodReplyFillsTheSharedRecordAndTheQueueFill) {
  for (int i = 0; i < 4; ++i) link.request.p[i] = 100 * (i + 1);
  ASSERT_TRUE(Send(wire::cmd::kSetPosition));
  link.request.p[0] = 250;
  ASSERT_TRUE(Send(wire::cmd::kDwell));
  ASSERT_TRUE(Send(wire::cmd::kStatusA));
  for (int axis = 0; axis < 4; ++axis) EXPECT_EQ(link.reply.r[axis], 100 * (axis + 1));
  EXPECT_EQ(link.state.QueueFill, 1) << "the dwell is still running";
  EXPECT_EQ(link.state.RetryCount, 0);
  EXPECT_EQ(link.state.WorstAttempt, 0);
}

TEST_F(ExchangeTest, CounterGoesUpOncePerExchangeAndWrapsFrom255To0) {
  link.request.sequence = 254;
  ASSERT_TRUE(Send(wire::cmd::kStatusA));
  ASSERT_TRUE(Send(wire::cmd::kStatusB));
  const auto sent = tap.requests();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].sequence, 255);
  EXPECT_EQ(sent[1].sequence, 0);
  for (const auto& frame : tap.written) EXPECT_TRUE(wire::ChecksumValid(frame));
}

TEST_F(ExchangeTest, RetryResendsTheSameCounterAndChecksum) {
  board.faults().armAt(Fault::LoseReply, 1);
  ASSERT_TRUE(Send(wire::cmd::kStatusA));
  ASSERT_EQ(tap.written.size(), 2u);
  EXPECT_EQ(tap.written[0], tap.written[1]);
  EXPECT_EQ(link.state.RetryCount, 1);
  EXPECT_EQ(link.state.WorstAttempt, 1);
}

TEST_F(ExchangeTest, EveryBrokenReplyKindIsRetriedAndTheNextGoodOneAccepted) {
  for (Fault fault : {Fault::LoseReply, Fault::CorruptChecksum, Fault::LateReply, Fault::ErrorByte}) {
    SCOPED_TRACE(sim::FaultName(fault));
    board.faults().clear();
    board.faults().armAt(fault, 1);
    const auto before = tap.written.size();
    const auto retriesBefore = link.state.RetryCount;
    ASSERT_TRUE(Send(wire::cmd::kStatusA));
    EXPECT_EQ(tap.written.size() - before, 2u);
    EXPECT_EQ(link.state.RetryCount - retriesBefore, 1);
    EXPECT_TRUE(link.state.LinkConnected);
  }
}

TEST_F(ExchangeTest, ErrorByteReplyIsRetriedLikeALostOne) {
  tap.editReplies = [first = true](std::vector<std::uint8_t>& reply) mutable {
    if (first) EditReply(reply, [](wire::ControllerReply& r) { r.error = 1; });
    first = false;
  };
  ASSERT_TRUE(Send(wire::cmd::kStatusA));
  EXPECT_EQ(tap.written.size(), 2u);
  EXPECT_EQ(link.state.RetryCount, 1);
}

TEST_F(ExchangeTest, ShortReplyFailsTheAttemptAndIsDrained) {
  tap.editReplies = [first = true](std::vector<std::uint8_t>& reply) mutable {
    if (first) reply.pop_back();
    first = false;
  };
  ASSERT_TRUE(Send(wire::cmd::kStatusA));
  EXPECT_EQ(tap.written.size(), 2u);
  EXPECT_EQ(unit.receiveQueueCount, 0u) << "the 23 stale bytes are gone";
  EXPECT_TRUE(wire::ChecksumValid(link.replyFrame()));
}

TEST_F(ExchangeTest, AttemptPausesAndTimeoutsFollowTheRetryPolicy) {
  // Every reply lost: 15 attempts, each waits out the 10 ms window, with
  // pauses of 2 * i ms between them; the fifteenth failure closes the link.
  board.faults().setProbability(Fault::LoseReply, 1.0);
  const auto start = clock.nowMicros();
  EXPECT_FALSE(Send(wire::cmd::kStatusA));
  const auto elapsed = clock.nowMicros() - start;
  std::int64_t pauses = 0;
  for (int i = 0; i < 14; ++i) pauses += 2000 * i;
  EXPECT_EQ(tap.written.size(), 15u);
  EXPECT_GE(elapsed, pauses + 15 * 10001);
  EXPECT_LT(elapsed, pauses + 15 * 12000);
  EXPECT_FALSE(link.state.LinkConnected);
  EXPECT_FALSE(device.isOpen());
  EXPECT_EQ(link.state.RetryCount, 14);
  EXPECT_EQ(link.state.WorstAttempt, 14);
  EXPECT_EQ(fileCount("TXCorr:2"), 1);
  EXPECT_TRUE(logged("Link retries: 1 in the last minute (worst 15 attempts)"));
  EXPECT_EQ(indicator.text, indicator.message(indicator::kDisconnected));
  EXPECT_EQ(indicator.colour, IndicatorColour::Red);
  EXPECT_FALSE(Send(wire::cmd::kStatusA));
  EXPECT_EQ(tap.written.size(), 15u) << "after the disconnect nothing more is sent";
}

TEST_F(ExchangeTest, ThirdRetryLogsTheCorrectionLineOnce) {
  board.faults().armAt(Fault::LoseReply, 1);
  board.faults().armAt(Fault::LoseReply, 2);
  board.faults().armAt(Fault::LoseReply, 3);
  system->StatisticsChanged = false;
  ASSERT_TRUE(Send(wire::cmd::kStatusA));
  EXPECT_EQ(fileCount("TXCorr:2"), 0) << "three failures end at index 2";
  board.faults().clear();
  for (int n = 1; n <= 4; ++n) board.faults().armAt(Fault::LoseReply, n);
  ASSERT_TRUE(Send(wire::cmd::kStatusA));
  EXPECT_EQ(fileCount("TXCorr:2"), 1);
  EXPECT_TRUE(system->StatisticsChanged);
  EXPECT_EQ(link.state.WorstAttempt, 4);
}

// Retries under load: every one stays in the day's file, the pane gets one
// line a minute at most with the count and the worst exchange.
TEST_F(ExchangeTest, RetriesAreSummedUpInThePaneOnceAMinuteAndDetailedInTheFile) {
  const auto retried = [&](int lost) {
    board.faults().clear();
    for (int n = 1; n <= lost; ++n) board.faults().armAt(Fault::LoseReply, n);
    return Send(wire::cmd::kStatusA);
  };
  const auto summaries = [&] {
    return std::count_if(host.logPane.begin(), host.logPane.end(),
                         [](const std::string& line) { return line.starts_with("Link retries: "); });
  };
  ASSERT_TRUE(retried(4));
  const std::int64_t firstLine = clock.nowMicros();
  EXPECT_TRUE(logged("Link retries: 1 in the last minute (worst 5 attempts)")) << "the first one at once";
  // Eleven more over the next 55 s, one of them worse: nothing new in the pane.
  for (int i = 1; i <= 11; ++i) {
    clock.advance(5'000'000);
    ASSERT_TRUE(retried(i == 6 ? 7 : 4));
    ASSERT_TRUE(Send(wire::cmd::kStatusB));
  }
  EXPECT_EQ(summaries(), 1);
  clock.advance(firstLine + 59'999'000 - clock.nowMicros());
  ASSERT_TRUE(Send(wire::cmd::kStatusB));
  EXPECT_EQ(summaries(), 1) << "59.999 s after the first line";
  clock.advance(1000);
  ASSERT_TRUE(Send(wire::cmd::kStatusB));
  EXPECT_TRUE(logged("Link retries: 11 in the last minute (worst 8 attempts)"));
  // A quiet minute writes nothing.
  clock.advance(61'000'000);
  ASSERT_TRUE(Send(wire::cmd::kStatusB));
  EXPECT_EQ(summaries(), 2);
  EXPECT_EQ(loggedCount("TXCorr:2"), 0) << "the detail stays out of the pane";
  EXPECT_EQ(fileCount("TXCorr:2"), 12);
  EXPECT_EQ(fileCount("Link retries: 11 in the last minute (worst 8 attempts)"), 1);
}

TEST_F(ExchangeTest, QueueFillAboveTheWatchMarksAreRecordedAndLogged) {
  struct Case {
    std::int32_t fill;
    std::int32_t worst;
    bool logged;
  };
  for (const Case c : {Case{2320, 0, false}, Case{2321, 2321, false}, Case{2381, 2381, true},
                       Case{2330, 2381, false}}) {
    SCOPED_TRACE(c.fill);
    tap.editReplies = [fill = c.fill](std::vector<std::uint8_t>& reply) {
      EditReply(reply, [fill](wire::ControllerReply& r) { r.r[4] = fill; });
    };
    ASSERT_TRUE(Send(wire::cmd::kStatusA));
    EXPECT_EQ(link.state.QueueFill, c.fill);
    EXPECT_EQ(link.state.WorstQueueFill, c.worst);
    EXPECT_EQ(logged("buff: " + std::to_string(c.fill)), c.logged);
  }
}

TEST_F(ExchangeTest, Rs485AlarmsGradeTheLinkAndNeverLowerIt) {
  auto alarmReply = [this](std::uint8_t alarm) {
    tap.editReplies = [alarm](std::vector<std::uint8_t>& reply) {
      EditReply(reply, [alarm](wire::ControllerReply& r) { r.alarm = alarm; });
    };
  };
  link.state.StatusWord = wire::status::kRs485Answering;
  alarmReply(wire::alarm::kTx2Error);
  ASSERT_TRUE(Send(wire::cmd::kStatusA));
  EXPECT_EQ(link.state.Rs485Grade, 1) << "the plasma source still answers";
  EXPECT_EQ(link.state.StatusCode, wire::alarm::kTx2Error);

  link.state.StatusWord = 0;
  alarmReply(wire::alarm::kRs485Error);
  ASSERT_TRUE(Send(wire::cmd::kStatusA));
  EXPECT_EQ(link.state.Rs485Grade, 3);

  link.state.StatusWord = wire::status::kRs485Answering;
  alarmReply(wire::alarm::kTx2Error);
  ASSERT_TRUE(Send(wire::cmd::kStatusA));
  EXPECT_EQ(link.state.Rs485Grade, 3);

  link.ResetStatistics();
  EXPECT_EQ(link.state.Rs485Grade, 0);
  EXPECT_EQ(link.state.WorstQueueFill, 0);
}

TEST_F(ExchangeTest, AlarmOfAFailedAttemptStillBecomesTheStatusCode) {
  tap.editReplies = [first = true](std::vector<std::uint8_t>& reply) mutable {
    if (first) EditReply(reply, [](wire::ControllerReply& r) { r.error = 1; r.alarm = wire::alarm::kEStop; });
    first = false;
  };
  ASSERT_TRUE(Send(wire::cmd::kStatusA));
  EXPECT_EQ(link.state.StatusCode, wire::alarm::kEStop);
}

TEST_F(ExchangeTest, UnpluggedBoardDisconnectsAtTheFirstExchange) {
  link.state.StatusWord = wire::status::kSwitchX;
  link.state.LimitX = true;
  link.state.StatusCode = 7;
  board.unplug();
  EXPECT_FALSE(Send(wire::cmd::kStatusA));
  EXPECT_TRUE(tap.written.empty());
  EXPECT_FALSE(link.state.LinkConnected);
  EXPECT_EQ(link.state.StatusWord, 0u);
  EXPECT_FALSE(link.state.LimitX);
  EXPECT_EQ(link.state.StatusCode, 0);
  EXPECT_EQ(host.beeps, 1);
  EXPECT_TRUE(logged("FT_GetQueueStatus - General IO error..."));
  EXPECT_EQ(indicator.colour, IndicatorColour::Red);
}

TEST_F(ExchangeTest, DeviceLostWhileWaitingEndsTheExchangeButKeepsTheLinkOpen) {
  board.faults().setProbability(Fault::LoseReply, 1.0);
  clock.addListener([this](std::int64_t) {
    if (!tap.written.empty()) board.unplug();
  });
  EXPECT_FALSE(Send(wire::cmd::kStatusA));
  EXPECT_EQ(tap.written.size(), 1u);
  EXPECT_TRUE(link.state.LinkConnected);
}

// A board that never stops sending: its queue is never empty.
class FloodingBoard final : public WireTap {
 public:
  using WireTap::WireTap;
  FtStatus queueStatus(std::uint32_t& receiveCount) override {
    receiveCount = 4096;
    return ftstatus::kOk;
  }
  std::uint32_t read(std::uint8_t* buffer, std::uint32_t count) override {
    std::fill(buffer, buffer + count, std::uint8_t{0xA5});
    return count;
  }
};

TEST_F(ExchangeTest, EndlessIncomingBytesFailTheExchangeInsteadOfHoldingIt) {
  FloodingBoard flood(device);
  D2XXUnit floodUnit(flood, host, system->log);
  ControllerLink floodLink(floodUnit, clock, host, system->log, indicator, system->StatisticsChanged);
  floodLink.state.LinkConnected = true;
  EXPECT_FALSE(floodLink.Exchange());
  EXPECT_EQ(flood.written.size(), 15u);
  EXPECT_FALSE(floodLink.state.LinkConnected);
}

}  // namespace
}  // namespace corvane::testing
