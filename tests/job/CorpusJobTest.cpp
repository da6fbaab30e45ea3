#include <gtest/gtest.h>

#include <cmath>

#include "job/CorpusDrawing.h"
#include "job/JobFixture.h"
#include "model/Geometry.h"
#include "model/JobNormalise.h"

namespace corvane::testing {
namespace {

namespace cmd = wire::cmd;
constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;

// One contour's part of the board's record, split at the torch switching off.
struct ContourRecord {
  std::vector<std::uint8_t> order;  // probe, torch on, cut, torch off as they ran
  std::vector<sim::ExecutedEntry> cuts;
};

std::vector<ContourRecord> ByContour(const std::vector<sim::ExecutedEntry>& executed) {
  std::vector<ContourRecord> out(1);
  for (const auto& e : executed) {
    const std::uint8_t code = e.request.command;
    ContourRecord& r = out.back();
    const auto note = [&r](std::uint8_t c) {
      if (r.order.empty() || r.order.back() != c) r.order.push_back(c);
    };
    if (code == cmd::kProbe || code == cmd::kTorchOn) note(code);
    if (code == cmd::kXyLine && e.torchOn) {
      note(code);
      r.cuts.push_back(e);
    }
    if (code == cmd::kTorchOff && !r.cuts.empty()) {
      note(code);
      out.emplace_back();
    }
  }
  out.pop_back();
  return out;
}

// A real drawing cut end to end on the in-process board in fake time: the
// stream keeps every rule, each contour is sensed, pierced, cut and ended in
// that order, and the board passes every corner of the drawing.
class CorpusJob : public ::testing::TestWithParam<const char*> {};

TEST_P(CorpusJob, ARealDrawingIsCutOnThePlannedPath) {
  const std::string file = std::string(CORVANE_CORPUS_DIR) + "/dxf/" + GetParam();
  JobFixture fx;
  fx.set(kConfig, "xFeedMaxXY", "8000");
  fx.set(kMain, "xFeed", "3000");
  fx.tick(kConfig, "cOhmic");
  ReplaceJob(fx.system->job, ReadCorpusJob(*fx.system, file));
  const tCNCPath& job = fx.system->job.Job;
  ASSERT_GE(job.size(), 2u);
  fx.system->job.ProjectOriginX = 5000;
  fx.system->job.ProjectOriginY = 5000;
  fx.Connect();
  fx.system->store.JobSentFromImport = true;
  fx.Record();
  fx.controller->runner.Start();

  EXPECT_TRUE(fx.logged("Finish work OK"));
  EXPECT_TRUE(fx.logged("Save : LastGood"));
  const StreamRules rules{.rapidLevel = SpeedLevel(8000, fx.system->speeds.X)};
  EXPECT_EQ(fx.StreamFaults(rules), std::vector<std::string>{});

  const auto records = ByContour(fx.executed());
  ASSERT_EQ(records.size(), job.size());
  const std::vector<std::uint8_t> process{cmd::kProbe, cmd::kTorchOn, cmd::kXyLine, cmd::kTorchOff};
  const auto& s = fx.system->scales;
  for (std::size_t k = 0; k < job.size(); ++k) {
    SCOPED_TRACE("contour " + std::to_string(k));
    EXPECT_EQ(records[k].order, process);
    const CNCpath& c = job[k];
    for (std::size_t v = 2; v + 1 < c.size(); ++v) {
      if (c[v - 1] == c[v] || c[v] == c[v + 1]) continue;
      if (TurnAngle(Heading(c[v - 1], c[v]), Heading(c[v], c[v + 1])) <= 0.02) continue;
      const double x = (fx.system->job.ProjectOriginX + c[v].x) * s.SX;
      const double y = (fx.system->job.ProjectOriginY + c[v].y) * s.SY;
      const bool passed = std::any_of(records[k].cuts.begin(), records[k].cuts.end(), [&](const auto& e) {
        return std::abs(e.to[0] - x) <= 1 && std::abs(e.to[1] - y) <= 1;
      });
      EXPECT_TRUE(passed) << "corner " << v << " at " << c[v].x << "," << c[v].y;
    }
  }
}

// A plate of 69 parts, and a drawing in inches built from nested blocks.
INSTANTIATE_TEST_SUITE_P(Drawings, CorpusJob,
                         ::testing::Values("irnas__Bottom_plate.DXF", "dxf2gcode__fc_mounting.dxf"));

}  // namespace
}  // namespace corvane::testing
