#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "import/DrawingFile.h"
#include "model/JobNormalise.h"
#include "reliability/PtyRig.h"

namespace corvane::testing {
namespace {

constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;

// A drawing of the shared corpus read with the program's reader, as the
// import window would send it: every path of more than one vertex is a contour.
tCNCPath CorpusJob(System& system, const std::string& file, std::size_t maxContours) {
  TPaths paths;
  TDXF dxf;
  const DrawingLoad load = ReadDrawingFile(file, DrawingFormatFor(file), ImportOptions{}, system.parser,
                                           system.log, paths, dxf, true);
  tCNCPath job;
  if (!load.ok) return job;
  for (const TPath& path : paths) {
    if (path.size() < 3 || job.size() >= maxContours) continue;
    CNCpath contour{{kKindCut, 0}};
    for (std::size_t i = 1; i < path.size(); ++i)
      contour.push_back({static_cast<std::int32_t>(path[i].X), static_cast<std::int32_t>(path[i].Y)});
    job.push_back(std::move(contour));
  }
  return job;
}

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

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
};

// One whole job through the terminal: faults as given, then the planned
// requests against what the board carried out.
SoakRun RunSoak(const std::string& drawing, std::size_t maxContours, bool faults, std::uint64_t seed) {
  SoakRun run;
  PtyRig rig;
  if (faults) {
    auto& f = rig.board().faults();
    f.setSeed(seed);
    f.setProbability(sim::Fault::LoseReply, 0.01);
    f.setProbability(sim::Fault::CorruptChecksum, 0.01);
    f.setProbability(sim::Fault::LateReply, 0.005);
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
  ReplaceJob(s.job, CorpusJob(s, drawing, maxContours));
  EXPECT_FALSE(s.job.Job.empty()) << drawing;
  // The first contour starts 10 mm from the tool: the run is about cutting, not travel.
  const ContourPoint first = s.job.Job.front()[1];
  s.job.ProjectOriginX = std::max<std::int32_t>(0, s.job.MachinePosition.x + 1000 - first.x);
  s.job.ProjectOriginY = std::max<std::int32_t>(0, s.job.MachinePosition.y + 1000 - first.y);

  const auto t0 = std::chrono::steady_clock::now();
  rig.controller->runner.Start();
  run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  run.finished = std::find(rig.host.logPane.begin(), rig.host.logPane.end(), "Finish work OK") != rig.host.logPane.end() &&
                 s.job.CurrentContour == static_cast<std::int32_t>(s.job.Job.size());
  run.retries = rig.controller->link.state.RetryCount;
  run.retriesBy = rig.watch->retries;
  run.worstAttempt = rig.controller->link.state.WorstAttempt;
  rig.StopServer();

  const auto planned = rig.Planned();
  run.exchanges = static_cast<long>(planned.size());
  run.queued = QueuedCount(planned);
  run.fault = CheckExactlyOnce(planned, rig.board().board().executed());
  run.injected = rig.injected();
  run.requestsHit = rig.requestsHit();
  return run;
}

void Print(const char* title, const SoakRun& r) {
  std::printf("%-10s %s, %ld exchanges (%zu queued), wall %.1f s, worst attempt %d\n", title,
              r.finished ? "finished" : "NOT FINISHED", r.exchanges, r.queued, r.wallSeconds, r.worstAttempt);
  std::printf("%-10s injected: lost %ld, checksum %ld, late %ld, error byte %ld (%ld requests hit)\n", "",
              r.injected[0], r.injected[1], r.injected[2], r.injected[3], r.requestsHit);
  std::printf("%-10s retries %d:", "", r.retries);
  for (int k = 0; k < kRetryReasons; ++k)
    std::printf("%s %s %ld", k ? "," : "", RetryReasonName(static_cast<RetryReason>(k)), r.retriesBy[static_cast<std::size_t>(k)]);
  std::printf("\n");
}

// A real drawing cut through the terminal while the board loses, spoils and
// delays replies and refuses a few requests: the job completes, and the board
// carried out every request the program meant to send exactly once, in order.
// CORVANE_SOAK_DRAWING and CORVANE_SOAK_CONTOURS make it the long run of
// scripts/soak.sh.
TEST(Soak, ACorpusJobOverAFaultyLinkRunsEveryRequestExactlyOnce) {
  const std::string drawing =
      EnvOr("CORVANE_SOAK_DRAWING", std::string(CORVANE_CORPUS_DIR) + "/dxf/cinvaram__arm_angle_x4.dxf");
  const std::size_t contours = std::stoul(EnvOr("CORVANE_SOAK_CONTOURS", "3"));
  const std::uint64_t seed = std::stoull(EnvOr("CORVANE_SOAK_SEED", "7"));

  const SoakRun clean = RunSoak(drawing, contours, false, seed);
  Print("no faults", clean);
  const SoakRun faulty = RunSoak(drawing, contours, true, seed);
  Print("faults", faulty);
  std::printf("soak: wall time with faults %.2f x the run without\n",
              clean.wallSeconds > 0 ? faulty.wallSeconds / clean.wallSeconds : 0.0);

  for (const SoakRun* r : {&clean, &faulty}) {
    EXPECT_TRUE(r->finished);
    EXPECT_EQ(r->fault, "");
  }
  long injected = 0;
  for (long n : faulty.injected) injected += n;
  EXPECT_GT(injected, 0) << "no fault was injected: the run proves nothing";
  // Every request a fault hit costs a retry (a loaded machine adds time-outs of its own).
  long retried = 0;
  for (long n : faulty.retriesBy) retried += n;
  EXPECT_GE(retried, faulty.requestsHit);
}

}  // namespace
}  // namespace corvane::testing
