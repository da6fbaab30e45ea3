#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "job/JobFixture.h"
#include "system/FieldSettings.h"
#include "system/TubeSetup.h"

namespace corvane::testing {
namespace {

namespace cmd = wire::cmd;
constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;
constexpr double kPi = std::numbers::pi;
constexpr double kTolerance = 10;  // 0.1 mm

// A torch point reconstructed from the board: where on the unrolled drawing
// it cut (x round the tube, y along it) and how far it stood from the tube's
// surface (0.01 mm).
struct SurfacePoint {
  double x = 0, y = 0, offSurface = 0;
};

double SegmentDistance(double px, double py, const ContourPoint& a, const ContourPoint& b) {
  const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
  const double t = len2 > 0 ? std::clamp(((px - a.x) * dx + (py - a.y) * dy) / len2, 0.0, 1.0) : 0.0;
  return std::hypot(px - (a.x + t * dx), py - (a.y + t * dy));
}

// Distance from (x, y) to the drawing, the drawing repeated every `period`
// round the tube.
double DrawingDistance(const tCNCPath& job, double x, double y, double period) {
  double best = 1e18;
  for (int turn = -2; turn <= 2; ++turn)
    for (const CNCpath& c : job)
      for (std::size_t i = 2; i < c.size(); ++i)
        best = std::min(best, SegmentDistance(x + turn * period, y, c[i - 1], c[i]));
  return best;
}

// A W × H tube with corner radius R seen in its own section (axis at the
// origin, 0.01 mm). Independent of the program's table: the unrolled position
// of a surface point is its central projection from the nearest corner
// centre onto the sharp rectangle, measured clockwise from the top face's middle.
struct Section {
  double hw, hh, r;
  double perimeter() const { return 4 * hw + 4 * hh; }
  double gx() const { return hw - r; }
  double gy() const { return hh - r; }

  double DistanceToSurface(double x, double y) const {
    const double cx = std::clamp(x, -gx(), gx()), cy = std::clamp(y, -gy(), gy());
    return std::abs(std::hypot(x - cx, y - cy) - r);
  }
  double Unrolled(double x, double y) const {
    const double cx = std::clamp(x, -gx(), gx()), cy = std::clamp(y, -gy(), gy());
    double dx = x - cx, dy = y - cy;
    // Along the ray from the corner centre to the sharp rectangle.
    double t = 1e18;
    if (std::abs(dx) > 1e-9) t = std::min(t, ((dx > 0 ? hw : -hw) - cx) / dx);
    if (std::abs(dy) > 1e-9) t = std::min(t, ((dy > 0 ? hh : -hh) - cy) / dy);
    const double sx = cx + t * dx, sy = cy + t * dy;
    const double w = 2 * hw, h = 2 * hh;
    if (std::abs(sy - hh) < 1e-6 && sx >= 0) return sx;                 // top, right half
    if (std::abs(sx - hw) < 1e-6) return hw + (hh - sy);                // right face, downwards
    if (std::abs(sy + hh) < 1e-6) return hw + h + (hw - sx);            // bottom, leftwards
    if (std::abs(sx + hw) < 1e-6) return hw + h + w + (sy + hh);        // left face, upwards
    return hw + 2 * h + w + (sx + hw);                                  // top, left half
  }
};

struct RotaryJobTest : JobFixture, ::testing::Test {
  RotaryJobTest() {
    set(kConfig, "xFeedMaxXY", "6000");
    set(kMain, "xFeed", "2000");
    set(kMain, "eTime", "300");
    set(kMain, "xCutH", "1,5");
    set(kMain, "xFloatH", "5");
    tick(kConfig, "cOhmic");
    set(kMain, "xrD", "60");
    set(kMain, "xrB", "60");
    set(kMain, "xrH", "40");
    set(kMain, "xrR", "3");
  }

  // The tube on the axis, the axis at the logical origin of X and Z with
  // room on both sides of the board's switches.
  void MountTube(bool pipe) {
    Connect();
    system->rotary.active = true;
    pipe ? TubeOkPipe(*system) : TubeOkProfile(*system);
    TubeExit(*system);
    const auto& s = system->scales;
    const auto& at = board().board().machine().physical();
    aStart_ = at[3];
    controller->commands.SetPosition(0, static_cast<std::int32_t>(std::lround(at[1] / s.SY)), 6000, 0);
    system->job.ProjectOriginX = 0;
    system->job.ProjectOriginY = 5000;
    system->job.JobExtentX = 20000;
    system->job.JobExtentY = 6000;
    Record();
  }
  JobRunner& runner() { return controller->runner; }
  StreamRules rules() const { return {.rapidLevel = SpeedLevel(6000, system->speeds.X)}; }

  // Every torch-on move of the board sampled along its way; `toSurface` turns
  // a board position (logical X, Y, Z; A as turned physically since the
  // mounting) into the point on the unrolled drawing.
  template <class ToSurface>
  std::vector<SurfacePoint> TorchPath(std::uint8_t moveCode, ToSurface toSurface) {
    std::vector<SurfacePoint> out;
    double turned = 0;  // physical A steps since the mounting, summed from the moves
    for (const auto& e : executed()) {
      const bool move = e.request.command == moveCode || e.request.command == cmd::kXyLine ||
                        e.request.command == cmd::kZMove || e.request.command == cmd::kZAboveMaterial;
      if (!move) continue;
      const double da = double(e.to[3]) - e.from[3];
      if (e.torchOn && e.request.command == moveCode)
        for (int k = 0; k <= 4; ++k) {
          const double f = k / 4.0;
          const auto at = [&](int axis) { return e.from[axis] + f * (double(e.to[axis]) - e.from[axis]); };
          out.push_back(toSurface(at(0), at(1), at(2), turned + f * da));
        }
      turned += da;
    }
    turnedTotal_ = turned;
    return out;
  }

  // The torch on a profile: turned back with the tube, the surface point under it in the section.
  std::vector<SurfacePoint> ProfileTorchPath(const Section& tube) {
    const auto& s = system->scales;
    const double aRev = s.ARev, cutH = 150;
    return TorchPath(cmd::kXyzaMove, [&](double x, double y, double z, double turned) {
      const double phi = 2 * kPi * turned / aRev;
      const double hx = x / s.SX, hz = z / s.SZ - cutH;
      const double sx = hx * std::cos(phi) + hz * std::sin(phi);
      const double sy = -hx * std::sin(phi) + hz * std::cos(phi);
      return SurfacePoint{tube.Unrolled(sx, sy), y / s.SY - system->job.ProjectOriginY,
                          tube.DistanceToSurface(sx, sy)};
    });
  }

  std::int32_t aStart_ = 0;
  double turnedTotal_ = 0;
};

// Every point the torch cut lies on the drawing, every vertex of the drawing
// was cut, and the torch stood at the cutting height above the surface.
void ExpectFollowsDrawing(const std::vector<SurfacePoint>& path, const tCNCPath& job, double period) {
  ASSERT_FALSE(path.empty());
  double worstOff = 0, worstSurface = 0;
  for (const SurfacePoint& p : path) {
    worstOff = std::max(worstOff, DrawingDistance(job, p.x, p.y, period));
    worstSurface = std::max(worstSurface, std::abs(p.offSurface));
  }
  EXPECT_LE(worstOff, kTolerance) << "the torch left the drawing";
  EXPECT_LE(worstSurface, kTolerance) << "the torch left the cutting height";
  for (std::size_t k = 0; k < job.size(); ++k)
    for (std::size_t v = 1; v < job[k].size(); ++v) {
      const auto near = [&](const SurfacePoint& p) {
        for (int turn = -2; turn <= 2; ++turn)
          if (std::hypot(p.x + turn * period - job[k][v].x, p.y - job[k][v].y) <= kTolerance) return true;
        return false;
      };
      EXPECT_TRUE(std::any_of(path.begin(), path.end(), near)) << "contour " << k << " vertex " << v << " not cut";
    }
}

// An octagon of radius `r` round (cx, cy).
CNCpath Octagon(std::int32_t cx, std::int32_t cy, double r) {
  CNCpath c{{kKindCut, 0}};
  for (int k = 0; k <= 8; ++k) {
    const double a = 2 * kPi * (k % 8) / 8;
    c.push_back({static_cast<std::int32_t>(std::lround(cx + r * std::cos(a))),
                 static_cast<std::int32_t>(std::lround(cy + r * std::sin(a)))});
  }
  return c;
}

TEST_F(RotaryJobTest, APipeJobTurnsTheTubeUnderTheTorchAlongTheUnrolledDrawing) {
  MountTube(true);
  const double circumference = std::lround(6000 * kPi);
  // A square, and an octagon across the seam where the drawing's X wraps round the pipe.
  system->job.Job = {Square(2000, 1000, 4000), Octagon(18000, 3000, 1500)};
  runner().Start();

  EXPECT_TRUE(logged("Finish work OK"));
  EXPECT_EQ(system->fields.text(kMain, "eTHC"), "off");
  EXPECT_FALSE(system->fields.checked(kConfig, "cOhmic"));
  EXPECT_EQ(StreamFaults(rules()), std::vector<std::string>{}) << DescribeStream(stream);
  EXPECT_TRUE(executedWith(cmd::kProbe).empty()) << "a pipe is never sensed";

  const auto& s = system->scales;
  const double cutZ = 3000 + 150;  // the pipe's radius plus the cutting height
  const auto path = TorchPath(cmd::kYaMove, [&](double x, double y, double z, double turned) {
    EXPECT_NEAR(x / s.SX, 0, 1) << "the torch stands over the pipe's axis";
    return SurfacePoint{turned / s.SA, y / s.SY - system->job.ProjectOriginY, z / s.SZ - cutZ};
  });
  ExpectFollowsDrawing(path, system->job.Job, circumference);
  EXPECT_NEAR(board().board().machine().physical()[3] - aStart_, turnedTotal_, 1);
}

TEST_F(RotaryJobTest, AProfileJobFollowsTheFacesAndCornersAndTakesTheShortWayRound) {
  MountTube(false);
  const Section tube{3000, 2000, 300};
  const double perimeter = tube.perimeter();
  ASSERT_EQ(system->rotary.table.perimeter, 20000);
  // Across the top face's right corner; on the left face (three quarters of a
  // turn on, so "Shorten rotation" turns back a quarter instead); round the
  // seam beyond one perimeter, where whole revolutions are added.
  system->job.Job = {Square(1000, 1000, 4000), Square(15000, 500, 1000), Octagon(20500, 4000, 1200)};
  runner().Start();

  EXPECT_TRUE(logged("Finish work OK"));
  EXPECT_EQ(StreamFaults(rules()), std::vector<std::string>{}) << DescribeStream(stream);

  const double aRev = system->scales.ARev;
  const auto path = ProfileTorchPath(tube);
  ExpectFollowsDrawing(path, system->job.Job, perimeter);

  // The re-labelling never turned the tube: the board's physical A is where the
  // executed moves took it, and no travel turned it by more than half a revolution.
  EXPECT_NEAR(board().board().machine().physical()[3] - aStart_, turnedTotal_, 1);
  EXPECT_TRUE(std::any_of(stream.begin(), stream.end(),
                          [](const StreamEvent& e) { return e.request.command == cmd::kSetPosition; }))
      << "the left face is reached by re-labelling A";
  double travel = 0;  // the net turn of each travel between two cuts
  for (const auto& e : executed()) {
    if (e.request.command != cmd::kXyzaMove) continue;
    if (e.torchOn) {
      travel = 0;
      continue;
    }
    travel += double(e.to[3]) - e.from[3];
    EXPECT_LE(std::abs(travel), aRev / 2 + 1) << "travel the long way round";
  }
}

// A tube taller than the flat job's origin Z: after every contour the head
// goes up from where it cut, to the floating height over the face it ended
// on, never down towards the flat material's origin (into the tube).
TEST_F(RotaryJobTest, AfterEveryContourOnATallProfileTheHeadRisesFromTheFaceItCut) {
  set(kMain, "xrB", "76,2");
  set(kMain, "xrH", "76,2");
  MountTube(false);
  system->job.ProjectOriginZ = 2000;
  // No finish position: the last lift is not followed by the move there.
  for (const char* field : {"eENDx", "eENDy", "eENDz"}) set(kConfig, field, "");
  const double floatH = 500, cutH = 150;
  // One contour on the top face, one across a corner onto the side face.
  system->job.Job = {Square(1000, 1000, 2000), Square(6000, 1000, 3000)};
  runner().Start();
  ASSERT_TRUE(logged("Finish work OK"));

  const auto& s = system->scales;
  // Each lift: the first run of Z moves after a torch-off, up to the next entry of another kind.
  std::vector<std::pair<double, double>> lifts;
  enum { Idle, Waiting, Lifting } state = Idle;
  for (const auto& e : executed()) {
    if (e.request.command == cmd::kTorchOff) {
      state = Waiting;
      lifts.emplace_back(e.to[2] / s.SZ, e.to[2] / s.SZ);
      continue;
    }
    const bool zMove = e.request.command == cmd::kZMove;
    if (state == Lifting && !zMove) state = Idle;
    if (state == Idle || !zMove) continue;
    state = Lifting;
    lifts.back().second = e.to[2] / s.SZ;
  }
  ASSERT_EQ(lifts.size(), 2u);
  for (const auto& [from, to] : lifts)
    // The torch cut at the cutting height over the face: the lift adds the rest up to the floating height.
    EXPECT_NEAR(to - from, floatH - cutH, kTolerance) << "lift from " << from << " to " << to;
}

// The path view's preview plans a profile's contour round the tube, as the
// cut does: the corner it crosses gets its vertices.
TEST_F(RotaryJobTest, ThePreviewPlansAProfileContourRoundTheTube) {
  MountTube(false);
  system->job.Job = {Square(1000, 1000, 4000)};
  system->job.CurrentContour = 0;
  const auto records = [&] {
    system->job.PlannedPath.clear();
    EXPECT_TRUE(RedrawMainView(*system, 800, 600));
    return std::count_if(system->job.PlannedPath.begin(), system->job.PlannedPath.end(),
                         [](const PlannedRecord& r) { return r.x > 2700 && r.x < 3300; });
  };
  EXPECT_GT(records(), 10) << "the corner between x 2700 and 3300 is followed";
  system->rotary.active = false;
  EXPECT_LT(records(), 5) << "a flat sheet keeps the drawn square";
}

// Stopped on the tube's side face, the job resumes where the torch stood:
// the stop point is the unrolled position, not the machine X.
TEST_F(RotaryJobTest, AStoppedProfileContourResumesWhereTheTorchStoodOnTheTube) {
  MountTube(false);
  const Section tube{3000, 2000, 300};
  system->job.Job = {Square(1000, 1000, 4000)};
  bool pressed = false;
  host.onProcessEvents = [&] {
    if (pressed) return;
    int cuts = 0;
    for (const auto& e : executed()) cuts += e.request.command == cmd::kXyzaMove && e.torchOn;
    if (cuts < 60) return;
    pressed = true;
    MarkOperator(StreamEvent::Kind::OperatorStop);
    controller->commands.StopMotion();
  };
  runner().Start();
  ASSERT_TRUE(pressed);
  ASSERT_TRUE(logged("Working stopped"));
  const Point2 stop = system->job.StopPoint;
  const CNCpath& square = system->job.Job[0];
  bool onContour = false;
  for (std::size_t j = 2; j < square.size(); ++j)
    onContour = onContour || NearSegment(Point64{stop.x, stop.y}, square[j - 1], square[j], 60);
  EXPECT_TRUE(onContour) << "stopped at " << stop.x << "," << stop.y;
  EXPECT_GT(stop.x, 3000) << "past the corner, on the side face";

  clock.advance(1100000);
  host.onProcessEvents = nullptr;
  MarkOperator(StreamEvent::Kind::OperatorStart);
  runner().Resume();
  EXPECT_TRUE(logged("Finish work OK"));
  EXPECT_EQ(StreamFaults(rules()), std::vector<std::string>{}) << DescribeStream(stream);
  ExpectFollowsDrawing(ProfileTorchPath(tube), system->job.Job, tube.perimeter());
}

}  // namespace
}  // namespace corvane::testing
