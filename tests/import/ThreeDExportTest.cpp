#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "ReaderHarness.h"
#include "import/EditorLists.h"
#include "import/TextLines.h"
#include "import/ThreeDExport.h"
#include "support/TempDir.h"

namespace corvane::testing {
namespace {

using ClipperLib::IntPoint;
using Parts = std::vector<std::vector<std::size_t>>;

std::string Lines(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) text += std::string(line) + "\r\n";
  return text;
}

TPath Square(ClipperLib::cInt x0, ClipperLib::cInt y0, ClipperLib::cInt x1, ClipperLib::cInt y1) {
  return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}};  // counter-clockwise, closed
}

// A 10 x 10 mm plate drawn counter-clockwise, with a vertex 0.5 mm below its top right corner.
const TPath kPlate{{0, 0}, {1000, 0}, {1000, 950}, {1000, 1000}, {0, 1000}, {0, 0}};
// A 2 x 2 mm hole drawn clockwise, with vertices 0.5 mm from a corner and 0.7 mm from its start.
const TPath kHole{{400, 400}, {400, 470}, {400, 600}, {550, 600}, {600, 600}, {600, 400}, {400, 400}};
// A clockwise triangle beside the plate whose last point written, (-50, 0), lies 0.5 mm from the
// plate's first: the plate is a new part and writes it all the same.
const TPath kTriangle{{-300, -300}, {-50, 0}, {-50, -300}, {-300, -300}};

struct ThreeDFile : ::testing::Test, ReaderHarness {
  std::string Text(const TPaths& cutting, const ThreeDSettings& settings = {}) {
    std::string fix = "untouched";
    const std::string text = ThreeDFileText(cutting, settings, parser, &fix);
    EXPECT_EQ(fix, "");
    return text;
  }
};

TEST_F(ThreeDFile, CuttingOutsideWritesOuterContoursBackwardsAndHolesForwardsThinningNearPoints) {
  // The plate becomes clockwise and is walked from its last point down; the hole becomes
  // counter-clockwise and is walked from its second point on. Points within 1 mm of the last one
  // written are left out, except the last point of each walk.
  EXPECT_EQ(Text({kTriangle, kPlate, kHole}),
            Lines({"", "plate", "762", "outer", "-300 -300", "-50 -300", "-50 0",  //
                   "", "plate", "762", "outer", "0 0", "1000 0", "1000 950", "0 1000",  //
                   "", "inner", "600 400", "600 600", "400 600", "400 470", "400 400"}));
}

TEST_F(ThreeDFile, CuttingInsideTurnsEveryContourTheOtherWay) {
  ThreeDSettings inside;
  inside.outside = false;
  EXPECT_EQ(Text({kPlate, kHole}, inside),
            Lines({"", "plate", "762", "outer", "0 0", "0 1000", "1000 1000", "1000 0",  //
                   "", "inner", "400 470", "400 600", "550 600", "600 400", "400 400"}));
}

TEST_F(ThreeDFile, RotaryFilesOpenWithTheTubeAndShiftEveryPoint) {
  struct Case {
    ThreeDSettings::Rotary rotary;
    const char* thickness;
    std::string header;
  };
  // Length = extent Y + 10 mm; pipe radius = half the diameter, rounded; at most 10 mm thick.
  const Case cases[] = {
      {ThreeDSettings::Rotary::Pipe, "20", Lines({"", "pipe", "1000 2000 3811 y"})},
      {ThreeDSettings::Rotary::Profile, "7,62", Lines({"", "profile", "762 2000 6000 4001 300 y"})},
  };
  for (const Case& c : cases) {
    ThreeDSettings settings;
    settings.thickness = c.thickness;
    settings.rotary = c.rotary;
    settings.pipeDiameter = 7621;
    settings.profileWidth = 6000, settings.profileHeight = 4000.5, settings.cornerRadius = 300;
    settings.extentY = 1000;
    settings.disabledMinX = 100;
    // Parts open with "inner" only; X less the disabled list's smallest X, Y + 5 mm.
    EXPECT_EQ(Text({Square(0, 0, 1000, 1000)}, settings),
              c.header + Lines({"", "inner", "-100 500", "900 500", "900 1500", "-100 1500"}));
  }
}

TEST_F(ThreeDFile, ThicknessAbove127MmIsTakenAsMistypedAndTheFieldReset) {
  struct Case {
    const char* field;
    bool rotary;
    long long written;
    const char* fix;
  };
  const Case cases[] = {
      {"7,62", false, 762, ""},     {"127", false, 12700, ""},  {"127,01", false, 254, "0,1"},
      {"200", false, 254, "0,1"},   {"1e300", false, 254, "0,1"}, {"20", true, 1000, ""},
      {"200", true, 254, "0,1"},
  };
  for (const Case& c : cases) {
    ThreeDSettings settings;
    settings.thickness = c.field;
    if (c.rotary) settings.rotary = ThreeDSettings::Rotary::Pipe;
    std::string fix = "untouched";
    EXPECT_EQ(ThreeDThickness(settings, parser, &fix), c.written) << c.field;
    EXPECT_EQ(fix, c.fix) << c.field;
  }
  ThreeDSettings tooThick;
  tooThick.thickness = "200";
  std::string fix;
  const std::string start = Lines({"", "plate", "254"});
  EXPECT_EQ(ThreeDFileText({kPlate}, tooThick, parser, &fix).substr(0, start.size()), start);
  EXPECT_EQ(fix, "0,1");
}

TEST(ThreeDParts, HolesGatherTheirSiblingsAndTheirParentWhateverTheListOrder) {
  const TPath plate = Square(0, 0, 1000, 1000), hole = Square(100, 100, 900, 900);
  const TPath island = Square(200, 200, 800, 800), islandHole = Square(400, 400, 600, 600);
  const TPath h1 = Square(100, 100, 300, 300), h2 = Square(500, 500, 700, 700);
  const TPath lone = Square(2000, 0, 2100, 100);
  // An open U whose opening is closed in thought holds what lies inside it.
  const TPath openU{{3000, 1000}, {3000, 0}, {4000, 0}, {4000, 1000}};
  const TPath inU = Square(3400, 400, 3600, 600);
  struct Case {
    const char* what;
    TPaths cutting;
    Parts parts;
  };
  const Case cases[] = {
      {"two holes", {plate, h1, h2}, {{1, 2, 0}}},
      {"plate between its holes", {h1, plate, h2}, {{0, 2, 1}}},
      {"lone contours", {lone, plate, h1}, {{0}, {2, 1}}},
      // An island with a hole of its own, listed before that hole, still forms a part with it.
      {"island before its hole", {island, plate, hole, islandHole}, {{2, 1}, {3, 0}}},
      {"open contour as container", {openU, inU}, {{1, 0}}},
      {"empty contour", {{}, lone}, {{1}}},
  };
  for (const Case& c : cases) EXPECT_EQ(ThreeDParts(c.cutting), c.parts) << c.what;
}

// Blocks of a ".3d" text: each empty line starts one, holding the lines after it.
std::vector<std::vector<std::string>> Blocks(const std::string& text) {
  std::vector<std::vector<std::string>> blocks;
  ForEachLine(text, [&](std::string_view line) {
    if (line.empty()) blocks.emplace_back();
    else blocks.back().emplace_back(line);
    return true;
  });
  return blocks;
}

std::vector<IntPoint> PointsOf(const std::vector<std::string>& block, std::size_t first) {
  std::vector<IntPoint> points;
  for (std::size_t i = first; i < block.size(); ++i) {
    char* rest = nullptr;
    const long long x = std::strtoll(block[i].c_str(), &rest, 10);
    points.push_back({x, std::strtoll(rest, nullptr, 10)});
  }
  return points;
}

// Distance from p to the segment a-b.
double SegmentDistance(const IntPoint& p, const IntPoint& a, const IntPoint& b) {
  const double dx = static_cast<double>(b.X - a.X), dy = static_cast<double>(b.Y - a.Y);
  double t = ((static_cast<double>(p.X - a.X)) * dx + static_cast<double>(p.Y - a.Y) * dy) / (dx * dx + dy * dy);
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(static_cast<double>(p.X) - (static_cast<double>(a.X) + t * dx),
                    static_cast<double>(p.Y) - (static_cast<double>(a.Y) + t * dy));
}

void ExpectThinOutlineOf(const std::vector<IntPoint>& points, const IntPoint& a, const IntPoint& b) {
  ASSERT_GE(points.size(), 8u);
  ClipperLib::cInt minX = points[0].X, maxX = minX, minY = points[0].Y, maxY = minY;
  for (std::size_t i = 0; i < points.size(); ++i) {
    EXPECT_NEAR(SegmentDistance(points[i], a, b), 50, 1.5);
    if (i > 0) {
      EXPECT_FALSE(NearPoints(points[i], points[i - 1], 20)) << "point " << i;
    }
    minX = std::min(minX, points[i].X), maxX = std::max(maxX, points[i].X);
    minY = std::min(minY, points[i].Y), maxY = std::max(maxY, points[i].Y);
  }
  EXPECT_NEAR(static_cast<double>(minX), static_cast<double>(std::min(a.X, b.X) - 50), 1);
  EXPECT_NEAR(static_cast<double>(maxX), static_cast<double>(std::max(a.X, b.X) + 50), 1);
  EXPECT_NEAR(static_cast<double>(minY), static_cast<double>(std::min(a.Y, b.Y) - 50), 1);
  EXPECT_NEAR(static_cast<double>(maxY), static_cast<double>(std::max(a.Y, b.Y) + 50), 1);
}

TEST_F(ThreeDFile, OpenLinesBecomeOutlinesHalfAMillimetreAroundThem) {
  // One open line lies on the plate beside its hole, the other on its own.
  const TPath onPlate{{100, 700}, {300, 900}}, alone{{2000, 0}, {2600, 0}};
  const auto blocks = Blocks(Text({kPlate, kHole, onPlate, alone}));
  ASSERT_EQ(blocks.size(), 4u);
  EXPECT_EQ(blocks[0], (std::vector<std::string>{"plate", "762", "outer", "0 0", "1000 0", "1000 950", "0 1000"}));
  EXPECT_EQ(blocks[1][0], "inner");
  EXPECT_EQ(PointsOf(blocks[1], 1).back(), IntPoint(400, 400));
  ASSERT_EQ(blocks[2][0], "inner");
  ExpectThinOutlineOf(PointsOf(blocks[2], 1), onPlate[0], onPlate[1]);
  ASSERT_EQ((std::vector<std::string>{blocks[3].begin(), blocks[3].begin() + 3}),
            (std::vector<std::string>{"plate", "762", "outer"}));
  ExpectThinOutlineOf(PointsOf(blocks[3], 3), alone[0], alone[1]);
}

TEST_F(ThreeDFile, WritingMakesTheFolderAndReportsAFolderItCannotMake) {
  TempDir data;
  const Paths paths{"/nowhere/", data.path(), "Plasma"};
  ASSERT_EQ(ThreeDDataPath(paths), data.path() + "Tessary3D/data.3d");
  std::string fix;
  ASSERT_TRUE(WriteThreeDFile(ThreeDDataPath(paths), {kPlate, kHole}, {}, parser, &fix));
  EXPECT_EQ(ReadFileText(ThreeDDataPath(paths)), Text({kPlate, kHole}));

  WriteFileText(data.file("blocked"), "a file where the folder should be");
  const FileResult blocked = WriteThreeDFile(data.file("blocked/data.3d"), {kPlate}, {}, parser, &fix);
  EXPECT_FALSE(blocked.ok);
  EXPECT_NE(blocked.error.find("blocked"), std::string::npos) << blocked.error;
}

}  // namespace
}  // namespace corvane::testing
