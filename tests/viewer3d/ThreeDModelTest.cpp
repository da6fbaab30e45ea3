#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>

#include "import/DrawingFile.h"
#include "import/OwnViewer.h"
#include "import/ThreeDExport.h"
#include "model/NumberParser.h"
#include "ports/Clock.h"
#include "ports/ProgramLog.h"
#include "support/RecordingHost.h"
#include "support/TempDir.h"
#include "viewer3d/ThreeDModel.h"

namespace corvane::testing {
namespace {

std::string Lines(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) text += std::string(line) + "\r\n";
  return text;
}

TPath Square(ClipperLib::cInt x0, ClipperLib::cInt y0, ClipperLib::cInt x1, ClipperLib::cInt y1) {
  return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}};
}

ThreeDContour Contour(std::initializer_list<ThreeDPoint> points) { return points; }

TEST(ThreeDModelRead, PlatePipeAndProfileFiles) {
  const ThreeDReadResult plate = ParseThreeDText(Lines({"", "plate", "762", "outer", "0 0", "1000 0", "0 1000",  //
                                                        "", "inner", "400 400", "600 400", "400 600",            //
                                                        "", "plate", "762", "outer", "-300 -300", "-50 0"}));
  ASSERT_TRUE(plate.ok) << plate.error;
  EXPECT_EQ(plate.model.kind, ThreeDKind::Plate);
  EXPECT_EQ(plate.model.thickness, 762);
  ASSERT_EQ(plate.model.parts.size(), 2u);
  EXPECT_EQ(plate.model.parts[0].outer, Contour({{0, 0}, {1000, 0}, {0, 1000}}));
  ASSERT_EQ(plate.model.parts[0].inners.size(), 1u);
  EXPECT_EQ(plate.model.parts[0].inners[0], Contour({{400, 400}, {600, 400}, {400, 600}}));
  EXPECT_EQ(plate.model.parts[1].outer, Contour({{-300, -300}, {-50, 0}}));
  EXPECT_EQ(plate.model.PointCount(), 8u);

  // Line feeds alone and spaces around the values read the same; tube files hold "inner" contours only.
  const ThreeDReadResult pipe = ParseThreeDText("\npipe\n 1000 2000  3811 y \n\ninner\n5 505\n7 600\n\ninner\n9 9\n");
  ASSERT_TRUE(pipe.ok) << pipe.error;
  EXPECT_EQ(pipe.model.kind, ThreeDKind::Pipe);
  EXPECT_EQ(pipe.model.thickness, 1000);
  EXPECT_EQ(pipe.model.length, 2000);
  EXPECT_EQ(pipe.model.radius, 3811);
  ASSERT_EQ(pipe.model.Contours().size(), 2u);
  EXPECT_EQ(*pipe.model.Contours()[0], Contour({{5, 505}, {7, 600}}));

  // A tube without contours is still a tube to show; the corner radius is kept to half the smaller side.
  const ThreeDReadResult profile = ParseThreeDText(Lines({"", "profile", "762 2000 6000 4001 2500 y"}));
  ASSERT_TRUE(profile.ok) << profile.error;
  EXPECT_EQ(profile.model.kind, ThreeDKind::Profile);
  EXPECT_EQ(profile.model.width, 6000);
  EXPECT_EQ(profile.model.height, 4001);
  EXPECT_EQ(profile.model.cornerRadius, 2000);
  EXPECT_TRUE(profile.model.parts.empty());
}

TEST(ThreeDModelRead, DamagedFilesGiveTheLineAndTheFault) {
  struct Case {
    std::string text;
    const char* error;
  };
  const Case cases[] = {
      {"", "the file is empty"},
      {Lines({"", ""}), "holds no contours"},
      {Lines({"", "plate"}), "ends before the thickness"},
      {Lines({"", "plate", "seven"}), "line 3: \"seven\" is not a whole number"},
      {Lines({"", "plate", "762", "outer", "0 0", "10 10 10"}), "line 6: expected a point \"X Y\""},
      {Lines({"", "plate", "762", "outer", "0 0", "10 1x"}), "line 6: \"1x\" is not a whole number"},
      {Lines({"", "plate", "762", "outer", "0 0", "99999999999 0"}), "line 6: 99999999999 lies outside"},
      {Lines({"", "plate", "762", "outer", "0 0", "99999999999999999999999 0"}), "is not a whole number"},
      {Lines({"0 0"}), "line 1: unexpected line \"0 0\""},
      {Lines({"", "plate", "762", "outer", "0 0", "", "5 5"}), "line 7: unexpected line"},
      {Lines({"", "plate", "762", "outer", "0 0", "outer"}), "line 6: \"outer\" without a \"plate\""},
      {Lines({"", "outer", "0 0"}), "line 2: \"outer\" without a \"plate\""},
      {Lines({"", "plate", "762", "solid"}), "line 4: unexpected line \"solid\""},
      {Lines({"", "pipe"}), "ends before the dimensions"},
      {Lines({"", "pipe", "1000 2000 y"}), "line 3: expected the pipe's"},
      {Lines({"", "pipe", "1000 2000 0 y"}), "radius must be above 0"},
      {Lines({"", "profile", "762 2000 6000 0 300 y"}), "width and height must be above 0"},
      {Lines({"", "inner", "0 0", "", "pipe", "1 1 1 y"}), "line 5: \"pipe\" after the start"},
      // Cut off in the middle of a point: the digits lost cannot be told, so the file is refused.
      {Lines({"", "plate", "762", "outer", "0 0"}) + "10 1", "line 6: the file ends inside this line"},
      {std::string("\x7f" "ELF\x01\x02\0\0garbage", 16), "line 1: unexpected line \"?ELF????"},
  };
  for (const Case& c : cases) {
    const ThreeDReadResult read = ParseThreeDText(c.text);
    EXPECT_FALSE(read.ok) << c.text;
    EXPECT_NE(read.error.find(c.error), std::string::npos) << "got: " << read.error << "\nwanted: " << c.error;
    EXPECT_TRUE(read.model.parts.empty());
  }
}

TEST(ThreeDModelRead, LimitsStopHostileFilesEarly) {
  ThreeDLimits limits;
  limits.maxPoints = 3;
  limits.maxContours = 2;
  limits.maxFileBytes = 200;
  const std::string points = Lines({"", "plate", "1", "outer", "0 0", "1 1", "2 2", "3 3"});
  const std::string contours = Lines({"", "inner", "0 0", "", "inner", "1 1", "", "inner", "2 2"});
  EXPECT_NE(ParseThreeDText(points, limits).error.find("line 8: more than 3 points"), std::string::npos);
  EXPECT_NE(ParseThreeDText(contours, limits).error.find("line 8: more than 2 contours"), std::string::npos);
  EXPECT_NE(ParseThreeDText(std::string(201, '\n'), limits).error.find("larger than"), std::string::npos);
  EXPECT_TRUE(ParseThreeDText(std::string(200, '\n') , limits).error.find("larger") == std::string::npos);

  // A file on disk past the limit is refused without reading it all.
  TempDir dir;
  const std::string big = dir.path() + "/big.3d";
  std::ofstream(big) << std::string(1000, '\n');
  const ThreeDReadResult read = ReadThreeDFile(big, limits);
  EXPECT_FALSE(read.ok);
  EXPECT_NE(read.error.find(big + ": the file is larger than"), std::string::npos) << read.error;
  EXPECT_NE(ReadThreeDFile(dir.path() + "/missing.3d").error.find("cannot open"), std::string::npos);
}

// ---- Round trip through the import window's writer ----

struct ThreeDRoundTrip : ::testing::Test {
  FakeClock clock;
  RecordingHost host;
  ProgramLog log{clock, &host};
  NumberParser parser{log, &host};

  ThreeDModel Written(const TPaths& cutting, const ThreeDSettings& settings) {
    std::string fix;
    const ThreeDReadResult read = ParseThreeDText(ThreeDFileText(cutting, settings, parser, &fix));
    EXPECT_TRUE(read.ok) << read.error;
    return read.model;
  }
};

// Every point read is a vertex of the source contour (shifted as the writer shifts tube points).
bool PointsOf(const ThreeDContour& read, const TPath& source, long long dx, long long dy) {
  return std::all_of(read.begin(), read.end(), [&](const ThreeDPoint& p) {
    return std::find(source.begin(), source.end(), ClipperLib::IntPoint{p.x - dx, p.y - dy}) != source.end();
  });
}

double SignedArea(const ThreeDContour& contour) {
  double sum = 0;
  for (std::size_t k = 0; k < contour.size(); ++k) {
    const ThreeDPoint& a = contour[k];
    const ThreeDPoint& b = contour[(k + 1) % contour.size()];
    sum += static_cast<double>(a.x) * static_cast<double>(b.y) - static_cast<double>(b.x) * static_cast<double>(a.y);
  }
  return sum / 2;
}

TEST_F(ThreeDRoundTrip, PlatePartsComeBackWithTheirHolesCornersAndTurning) {
  // A 100 x 60 mm plate with two holes, a separate washer with its hole, and a small square.
  const TPaths cutting{Square(0, 0, 10000, 6000), Square(1000, 1000, 3000, 3000), Square(5000, 1000, 9000, 5000),
                       Square(12000, 0, 16000, 4000), Square(13000, 1000, 15000, 3000), Square(20000, 0, 20500, 500)};
  const auto parts = ThreeDParts(cutting);
  for (const bool outside : {true, false}) {
    ThreeDSettings settings;
    settings.outside = outside;
    settings.thickness = "3,5";
    const ThreeDModel model = Written(cutting, settings);
    EXPECT_EQ(model.kind, ThreeDKind::Plate);
    EXPECT_EQ(model.thickness, 350);
    ASSERT_EQ(model.parts.size(), parts.size());
    for (std::size_t i = 0; i < parts.size(); ++i) {
      const ThreeDPart& part = model.parts[i];
      EXPECT_EQ(part.thickness, 350);
      const TPath& outer = cutting[parts[i].back()];
      ASSERT_EQ(part.inners.size(), parts[i].size() - 1);
      // The squares' sides are all longer than the thinning distance: all four corners are there.
      EXPECT_EQ(part.outer.size(), 4u);
      EXPECT_TRUE(PointsOf(part.outer, outer, 0, 0));
      // Outer contours turn the other way to holes but are walked backwards: in the file every
      // contour runs counter-clockwise when cutting outside, clockwise when cutting inside.
      EXPECT_EQ(SignedArea(part.outer) > 0, outside) << "part " << i;
      for (std::size_t h = 0; h < part.inners.size(); ++h) {
        EXPECT_EQ(part.inners[h].size(), 4u);
        EXPECT_TRUE(PointsOf(part.inners[h], cutting[parts[i][h]], 0, 0));
        EXPECT_EQ(SignedArea(part.inners[h]) > 0, outside) << "part " << i << " hole " << h;
      }
    }
  }
}

TEST_F(ThreeDRoundTrip, TubeFilesKeepTheDimensionsAndShiftedContours) {
  const TPaths cutting{Square(2000, 0, 6000, 3000), Square(3000, 1000, 4000, 2000)};
  ThreeDSettings settings;
  settings.thickness = "2";
  settings.disabledMinX = 1000;
  settings.extentY = 3000;
  settings.rotary = ThreeDSettings::Rotary::Pipe;
  settings.pipeDiameter = 7620;
  ThreeDModel pipe = Written(cutting, settings);
  EXPECT_EQ(pipe.kind, ThreeDKind::Pipe);
  EXPECT_EQ(pipe.thickness, 200);
  EXPECT_EQ(pipe.length, 4000);
  EXPECT_EQ(pipe.radius, 3810);
  ASSERT_EQ(pipe.Contours().size(), 2u);
  // The outer contour first, then its hole; X less the disabled list's smallest X, Y + 5 mm.
  EXPECT_TRUE(PointsOf(*pipe.Contours()[0], cutting[0], -1000, 500));
  EXPECT_TRUE(PointsOf(*pipe.Contours()[1], cutting[1], -1000, 500));
  EXPECT_EQ(pipe.PointCount(), 8u);

  settings.rotary = ThreeDSettings::Rotary::Profile;
  settings.profileWidth = 6000, settings.profileHeight = 4000, settings.cornerRadius = 300;
  const ThreeDModel profile = Written(cutting, settings);
  EXPECT_EQ(profile.kind, ThreeDKind::Profile);
  EXPECT_EQ(profile.width, 6000);
  EXPECT_EQ(profile.height, 4000);
  EXPECT_EQ(profile.cornerRadius, 300);
  ASSERT_EQ(profile.Contours().size(), 2u);
  EXPECT_EQ(*profile.Contours()[0], *pipe.Contours()[0]);
}

TEST_F(ThreeDRoundTrip, CorpusDrawingWrittenToDiskReadsBackWhole) {
  const std::string drawing = std::string(CORVANE_CORPUS_DIR) + "/dxf/cinvaram__bolt_plate_1.dxf";
  if (!std::filesystem::exists(drawing)) GTEST_SKIP() << "no corpus at " << drawing;
  TPaths read;
  TDXF dxf;
  ASSERT_TRUE(ReadDrawingFile(drawing, DrawingFormat::Dxf, {}, parser, log, read, dxf, true).ok);
  TPaths cutting;
  for (const TPath& path : read)
    if (path.size() > 1) cutting.emplace_back(path.begin() + 1, path.end());  // without the layer header
  ASSERT_FALSE(cutting.empty());
  TempDir dir;
  const std::string file = dir.path() + "/Tessary3D/data.3d";
  std::string fix;
  ASSERT_TRUE(WriteThreeDFile(file, cutting, {}, parser, &fix));
  const ThreeDReadResult back = ReadThreeDFile(file);
  ASSERT_TRUE(back.ok) << back.error;
  const auto parts = ThreeDParts(cutting);
  ASSERT_EQ(back.model.parts.size(), parts.size());
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const TPath& outer = cutting[parts[i].back()];
    if (outer.size() > 1 && outer.front() == outer.back()) {
      EXPECT_FALSE(back.model.parts[i].outer.empty());
      EXPECT_TRUE(PointsOf(back.model.parts[i].outer, outer, 0, 0)) << "part " << i;
    }
  }
}

// Starting the preview for real opens a window; here only its refusals, each with its log line.
TEST_F(ThreeDRoundTrip, OwnViewerStartRefusesAMissingViewerAndAnotherFileName) {
  TempDir bin;
  EXPECT_FALSE(StartOwnThreeDViewer(bin.path(), bin.path() + "data.3d", log));
  ASSERT_FALSE(host.logPane.empty());
  EXPECT_NE(host.logPane.back().find("3D preview not installed (looked for " + bin.path()), std::string::npos);
  WriteFileText(bin.file("corvane-3d"), "#!/bin/sh\n");
  EXPECT_FALSE(StartOwnThreeDViewer(bin.path(), bin.path() + "other.3d", log));
  EXPECT_NE(host.logPane.back().find("must be named data.3d"), std::string::npos) << host.logPane.back();
  EXPECT_FALSE(RunningExecutableFolder().empty());
}

// ---- Tube geometry ----

TEST(ThreeDTube, ProfileSectionWalksClockwiseFromTheTopFaceWithRoundedCorners) {
  ThreeDModel profile;
  profile.kind = ThreeDKind::Profile;
  profile.width = 6000, profile.height = 4000, profile.cornerRadius = 300;
  EXPECT_DOUBLE_EQ(TubePerimeter(profile), 20000);
  struct Case {
    double s, x, y, normal;
  };
  const double r45 = 300 * std::numbers::sqrt2 / 2;
  const Case cases[] = {
      {0, 0, 2000, std::numbers::pi / 2},                    // middle of the top face
      {3000 + 2000, 3000, 0, 0},                             // middle of the right face
      {3000, 2700 + r45, 1700 + r45, std::numbers::pi / 4},  // the sharp corner's place: the arc's middle
      {3000 + 4000 + 3000, 0, -2000, -std::numbers::pi / 2},  // middle of the bottom face
      {20000 - 2000 - 3000, -3000, 0, std::numbers::pi},     // middle of the left face
      {20000 + 1000, 1000, 2000, std::numbers::pi / 2},      // a whole turn on
      {-1000, -1000, 2000, std::numbers::pi / 2},            // and one back
  };
  for (const Case& c : cases) {
    const SectionPoint p = TubeSectionAt(profile, c.s);
    EXPECT_NEAR(p.x, c.x, 1e-6) << c.s;
    EXPECT_NEAR(p.y, c.y, 1e-6) << c.s;
    EXPECT_NEAR(std::remainder(p.normal - c.normal, 2 * std::numbers::pi), 0, 1e-9) << c.s;
    // The inner surface lies the wall's thickness inwards.
    const SectionPoint in = TubeSectionAt(profile, c.s, 200);
    EXPECT_NEAR(std::hypot(p.x - in.x, p.y - in.y), 200, 1e-6) << c.s;
    EXPECT_LT(std::hypot(in.x, in.y), std::hypot(p.x, p.y)) << c.s;
  }
  // The corner is a true arc: every point of it lies the radius from the corner's centre.
  for (double s = 2700; s <= 3300; s += 50) {
    const SectionPoint p = TubeSectionAt(profile, s);
    EXPECT_NEAR(std::hypot(p.x - 2700, p.y - 1700), 300, 1e-6) << s;
  }
}

TEST(ThreeDTube, PipeWrapsTheUnrolledXAsAngleXOverRadius) {
  ThreeDModel pipe;
  pipe.kind = ThreeDKind::Pipe;
  pipe.radius = 1000;
  EXPECT_NEAR(TubePerimeter(pipe), 2000 * std::numbers::pi, 1e-9);
  const SectionPoint top = TubeSectionAt(pipe, 0), side = TubeSectionAt(pipe, 500 * std::numbers::pi);
  EXPECT_NEAR(top.x, 0, 1e-9);
  EXPECT_NEAR(top.y, 1000, 1e-9);
  EXPECT_NEAR(side.x, 1000, 1e-9);  // a quarter turn clockwise: the right side
  EXPECT_NEAR(side.y, 0, 1e-9);
  const SectionPoint inner = TubeSectionAt(pipe, 500 * std::numbers::pi, 100);
  EXPECT_NEAR(inner.x, 900, 1e-9);
}

}  // namespace
}  // namespace corvane::testing
