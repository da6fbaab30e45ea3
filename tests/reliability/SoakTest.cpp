#include <gtest/gtest.h>

#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "import/DrawingFile.h"
#include "wire/Commands.h"
#include "model/JobNormalise.h"
#include "reliability/JobChecks.h"
#include "reliability/PtyRig.h"

namespace corvane::testing {
namespace {

constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;


struct SoakRun {
  bool finished = false;
  double wallSeconds = 0;
  long exchanges = 0;
  std::int32_t retries = 0, worstAttempt = 0;
  std::array<long, sim::kFaultKinds> injected{};
  std::array<long, kRetryReasons> retriesBy{};
  long requestsHit = 0;
  std::string fault;
  std::size_t queued = 0;
  long stray = 0;
  bool resumed = false;
  std::string torchAway;
  std::vector<int> uncut;
  int cutTwice = 0;
  double cutTwiceMm = 0;
  int idleWithTorch = 0;
};

struct SoakFaults {
  bool on = false;
  bool unplug = false;  // the cable is pulled once, as the middle contour of the job is cut
};

// One whole job through the terminal: faults as given (the board answering
// 0.5-3 ms after each request, as an FTDI chip does), then the planned
// requests against what the board carried out. With the cable pulled, the
// job is taken up again as the operator would: wait until the board has run
// out its queue, plug, connect, Resume.
SoakRun RunSoak(const std::string& drawing, std::size_t maxContours, const SoakFaults& faults, std::uint64_t seed) {
  SoakRun run;
  PtyRig rig;
  rig.board().setReplyLatency(500, 3000, seed);
  if (faults.on) {
    auto& f = rig.board().faults();
    f.setSeed(seed);
    f.setProbability(sim::Fault::LoseReply, 0.02);
    f.setProbability(sim::Fault::CorruptChecksum, 0.01);
    f.setProbability(sim::Fault::LateReply, 0.01);
    // A few refusals, spread over the run.
    for (const int n : {40, 400, 1200, 3000, 7000, 15000}) f.armAt(sim::Fault::ErrorByte, n);
  }
  EXPECT_TRUE(rig.StartServer());
  System& s = *rig.system;
  s.fields.setText(kConfig, "xFeedMaxXY", "12000");
  s.fields.setText(kMain, "xFeed", "8000");
  s.fields.setText(kMain, "xFeed2", "8000");
  s.fields.setText(kMain, "eTime", "0");
  s.fields.setText(kConfig, "xFeedMaxZ", "6000");
  s.fields.setText(kConfig, "xFeedMinZ", "3000");
  s.fields.setText(kMain, "xFloatH", "4");
  s.fields.setChecked(kConfig, "cOhmic", false);
  EXPECT_TRUE(rig.Connect());
  ReplaceJob(s.job, ProcessedDrawing(s, drawing, maxContours));
  EXPECT_FALSE(s.job.Job.empty()) << drawing;
  if (s.job.Job.empty()) return run;
  // The first contour starts 10 mm from the tool: the run is about cutting, not travel.
  const ContourPoint first = s.job.Job.front()[1];
  s.job.ProjectOriginX = std::max<std::int32_t>(0, s.job.MachinePosition.x + 1000 - first.x);
  s.job.ProjectOriginY = std::max<std::int32_t>(0, s.job.MachinePosition.y + 1000 - first.y);

  // Frames written while the cable was out never reached the board.
  std::size_t pulledAt = 0, pluggedAt = 0;
  const auto middle = static_cast<std::int32_t>(s.job.Job.size() / 2);
  if (faults.unplug)
    rig.host.onProcessEvents = [&] {
      const JournalRecord& last = rig.controller->runner.journal().last();
      if (pulledAt > 0 || last.contour < middle || last.vertex < 3) return;
      rig.Control("unplug");
      pulledAt = rig.watch->written.size();
    };
  const auto t0 = std::chrono::steady_clock::now();
  rig.controller->runner.Start();
  rig.host.onProcessEvents = nullptr;
  double resumedAt = 0;
  if (pulledAt > 0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (rig.Control("state").find("queue 0,") == std::string::npos && std::chrono::steady_clock::now() < deadline)
      ::poll(nullptr, 0, 20);
    EXPECT_NE(rig.Control("plug").find("ok"), std::string::npos);
    pluggedAt = rig.watch->written.size();
    rig.controller->connection.Connect();
    EXPECT_TRUE(rig.controller->link.state.LinkConnected);
    rig.controller->connection.ReferencedAxes = 7;
    rig.clock.skip(2000000);
    resumedAt = static_cast<double>(rig.BoardMicros());
    rig.controller->runner.Resume();
    run.resumed = true;
  }
  run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  run.finished = std::find(rig.host.logPane.begin(), rig.host.logPane.end(), "Finish work OK") != rig.host.logPane.end() &&
                 s.job.CurrentContour == static_cast<std::int32_t>(s.job.Job.size());
  run.retries = rig.controller->link.state.RetryCount;
  run.retriesBy = rig.watch->retries;
  run.worstAttempt = rig.controller->link.state.WorstAttempt;
  run.stray = rig.controller->link.state.StrayReplies;
  rig.StopServer();

  auto& written = rig.watch->written;
  if (pulledAt > 0) written.erase(written.begin() + static_cast<std::ptrdiff_t>(pulledAt),
                                  written.begin() + static_cast<std::ptrdiff_t>(pluggedAt));
  const auto planned = rig.Planned();
  run.exchanges = static_cast<long>(planned.size());
  run.queued = QueuedCount(planned);
  const auto& executed = rig.board().board().executed();
  run.fault = CheckExactlyOnce(planned, executed);
  run.torchAway = TorchOnAwayFromContours(executed, s.scales, s.job);
  run.uncut = UncutContours(executed, s.scales, s.job);
  run.idleWithTorch = IdleWithTorchOn(executed);
  if (run.resumed) {
    // The stopped contour's cuts before the cable went (from its torch-on on)
    // against the resumed run's first contour (up to its torch-off): other
    // parts that share an edge with it are not a second pass.
    std::size_t before = 0;
    while (before < executed.size() && executed[before].startMicros < resumedAt) ++before;
    std::size_t lit = before;
    while (lit > 0 && executed[lit - 1].request.command != wire::cmd::kTorchOn) --lit;
    std::size_t off = before;
    while (off < executed.size() && executed[off].request.command != wire::cmd::kTorchOff) ++off;
    const auto earlier = CutsInJob({executed.begin() + static_cast<std::ptrdiff_t>(lit > 0 ? lit - 1 : 0),
                                    executed.begin() + static_cast<std::ptrdiff_t>(before)},
                                   0, s.scales, s.job);
    const auto resumed = CutsInJob({executed.begin() + static_cast<std::ptrdiff_t>(before),
                                    executed.begin() + static_cast<std::ptrdiff_t>(off)},
                                   0, s.scales, s.job);
    for (const CutMove& m : earlier)
      if (AnyCutAt(resumed, {(m.from.x + m.to.x) / 2, (m.from.y + m.to.y) / 2})) {
        ++run.cutTwice;
        run.cutTwiceMm += Dist(m.from, m.to) / 100.0;
      }
  }
  run.injected = rig.injected();
  run.requestsHit = rig.requestsHit();
  return run;
}

void Print(const char* title, const SoakRun& r) {
  std::printf("%-10s %s, %ld exchanges (%zu queued), wall %.1f s, worst attempt %d\n", title,
              r.finished ? "finished" : "NOT FINISHED", r.exchanges, r.queued, r.wallSeconds, r.worstAttempt);
  std::printf("%-10s injected: lost %ld, checksum %ld, late %ld, error byte %ld (%ld requests hit)\n", "",
              r.injected[0], r.injected[1], r.injected[2], r.injected[3], r.requestsHit);
  std::printf("%-10s stray replies %ld, board idle with the torch on %d times%s\n", "", r.stray, r.idleWithTorch,
              r.resumed ? ", resumed once after the cable was pulled" : "");
  std::printf("%-10s retries %d:", "", r.retries);
  for (int k = 0; k < kRetryReasons; ++k)
    std::printf("%s %s %ld", k ? "," : "", RetryReasonName(static_cast<RetryReason>(k)), r.retriesBy[static_cast<std::size_t>(k)]);
  std::printf("\n");
}

// A real drawing, processed with kerf and leads, cut through the terminal
// while the board loses, spoils and delays replies and refuses a few
// requests, with the cable pulled once in the middle and the job resumed:
// the job completes, the board carried out every request the program meant to
// send exactly once and in order, the torch was never on away from a
// contour, every contour was cut and nothing twice but the resumed contour's
// lead-in. CORVANE_SOAK_DRAWING and CORVANE_SOAK_CONTOURS make it the long
// run of scripts/soak.sh.
TEST(Soak, ACorpusJobOverAFaultyLinkRunsEveryRequestExactlyOnce) {
  const std::string drawing =
      EnvOr("CORVANE_SOAK_DRAWING", std::string(CORVANE_CORPUS_DIR) + "/dxf/cinvaram__arm_angle_x4.dxf");
  const std::size_t contours = std::stoul(EnvOr("CORVANE_SOAK_CONTOURS", "4"));
  const std::uint64_t seed = std::stoull(EnvOr("CORVANE_SOAK_SEED", "7"));

  const SoakRun clean = RunSoak(drawing, contours, {}, seed);
  Print("no faults", clean);
  const SoakRun faulty = RunSoak(drawing, contours, {true, true}, seed);
  Print("faults", faulty);
  std::printf("soak: wall time with faults %.2f x the run without\n",
              clean.wallSeconds > 0 ? faulty.wallSeconds / clean.wallSeconds : 0.0);

  for (const SoakRun* r : {&clean, &faulty}) {
    EXPECT_TRUE(r->finished);
    EXPECT_EQ(r->fault, "");
    EXPECT_EQ(r->torchAway, "");
    EXPECT_EQ(r->uncut, std::vector<int>{});
  }
  EXPECT_EQ(clean.idleWithTorch, 0) << "the bounded queue starved the board";
  EXPECT_TRUE(faulty.resumed);
  std::printf("soak: cut a second time after the resume: %d moves, %.2f mm\n", faulty.cutTwice, faulty.cutTwiceMm);
  EXPECT_LE(faulty.cutTwiceMm, 3.0) << "nothing cut a second time but the lead-in of the resumed contour";
  long injected = 0;
  for (long n : faulty.injected) injected += n;
  EXPECT_GT(injected, 0) << "no fault was injected: the run proves nothing";
  // Every request a fault hit costs a retry (a loaded machine adds time-outs of its own),
  // but a late reply: one 12 ms after the board took the request can still fall inside
  // the window when the program was held up between its write and the start of its wait.
  long retried = 0;
  for (long n : faulty.retriesBy) retried += n;
  EXPECT_GE(retried + faulty.injected[static_cast<std::size_t>(sim::Fault::LateReply)], faulty.requestsHit);
}

}  // namespace
}  // namespace corvane::testing
