#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>
#include <sstream>

#include "ReaderHarness.h"
#include "import/DrawingFile.h"
#include "ports/FileIo.h"

namespace corvane::testing {
namespace {

const std::string kCorpus = CORVANE_CORPUS_DIR;
const std::string kExpectations = std::string(CORVANE_SOURCE_DIR) + "/tests/import/";

// The corpus holds other people's drawings; it lives beside the repository, never in it.
class Corpus : public ::testing::Test, public ReaderHarness {
 protected:
  void SetUp() override {
    if (!std::filesystem::is_directory(kCorpus)) GTEST_SKIP() << "no drawing corpus at " << kCorpus;
  }

  TPaths Load(const std::string& relative, DrawingLoad* load = nullptr, ImportOptions options = {}) {
    TPaths paths;
    TDXF dxf;
    const std::string file = kCorpus + "/" + relative;
    DrawingFormat format = DrawingFormatFor(file);
    if (relative.rfind("hpgl/", 0) == 0) format = DrawingFormat::Hpgl;
    const DrawingLoad result = ReadDrawingFile(file, format, options, parser, log, paths, dxf, true);
    if (load) *load = result;
    return paths;
  }
};

// Lines of an expectation file without comments and blank lines.
std::vector<std::string> ExpectationLines(const std::string& name) {
  std::ifstream in(kExpectations + name);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  return lines;
}

TEST_F(Corpus, EveryFileGivesItsReviewedPathsOrFailsCleanly) {
  const auto lines = ExpectationLines("corpus_snapshot.txt");
  ASSERT_GT(lines.size(), 100u);
  for (const auto& line : lines) {
    std::istringstream fields(line);
    std::string file;
    std::size_t paths = 0, vertices = 0;
    fields >> file >> paths >> vertices;
    DrawingLoad load;
    const TPaths read = Load(file, &load);
    EXPECT_EQ(load.ok, paths > 0) << file << ": " << load.error;
    EXPECT_EQ(read.size(), paths) << file;
    EXPECT_EQ(VertexCountOf(read), vertices) << file;
    for (const auto& path : read) EXPECT_GE(path.size(), 2u) << file;
  }
}

// Real drawings with blocks, nested, scaled, with attributes: every insert
// expands, so none of them may claim an INSERT error.
TEST_F(Corpus, DrawingsWhoseInsertsExpandLogNoInsertError) {
  std::size_t withInserts = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kCorpus + "/dxf")) {
    const std::string file = "dxf/" + entry.path().filename().string();
    host.logPane.clear();
    DrawingLoad load;
    Load(file, &load);
    if (load.report.insertsExpanded > 0) ++withInserts;
    EXPECT_FALSE(Logged("DXF INSERT function error")) << file;
  }
  EXPECT_GT(withInserts, 10u);
}

TEST_F(Corpus, DxfExtentsAgreeWithAnIndependentReader) {
  const auto lines = ExpectationLines("corpus_extents.txt");
  ASSERT_GT(lines.size(), 40u);
  for (const auto& line : lines) {
    std::istringstream fields(line);
    std::string file, source;
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    fields >> file >> source >> minX >> minY >> maxX >> maxY;
    const ImportExtents box = ExtentsOf(Load(file));
    ASSERT_TRUE(box.any) << file;
    // Flattening cuts inside curves by at most a fraction of a percent of their radius.
    const double tolerance = 3 + 0.0025 * std::max(maxX - minX, maxY - minY);
    EXPECT_NEAR(static_cast<double>(box.minX), minX, tolerance) << file;
    EXPECT_NEAR(static_cast<double>(box.minY), minY, tolerance) << file;
    EXPECT_NEAR(static_cast<double>(box.maxX), maxX, tolerance) << file;
    EXPECT_NEAR(static_cast<double>(box.maxY), maxY, tolerance) << file;
  }
}

TEST_F(Corpus, InchDrawingsComeOut25Point4TimesLarger) {
  const ImportExtents mm = ExtentsOf(Load("generated/gen_units_4_mm.dxf"));
  const ImportExtents inch = ExtentsOf(Load("generated/gen_units_1_inch.dxf"));
  EXPECT_NEAR(static_cast<double>(inch.maxX - inch.minX), 25.4 * static_cast<double>(mm.maxX - mm.minX), 2);
  EXPECT_NEAR(static_cast<double>(inch.maxY - inch.minY), 25.4 * static_cast<double>(mm.maxY - mm.minY), 2);
  // The same drawing stored in inch numbers (divided by 25.4) comes out as the metric one.
  const TPaths metric = Load("generated/gen_r2000_mm_all_entities.dxf");
  const TPaths imperial = Load("generated/gen_r2007_inch_all_entities.dxf");
  const ImportExtents a = ExtentsOf(metric), b = ExtentsOf(imperial);
  EXPECT_NEAR(static_cast<double>(a.minX), static_cast<double>(b.minX), 3);
  EXPECT_NEAR(static_cast<double>(a.maxX), static_cast<double>(b.maxX), 3);
  EXPECT_NEAR(static_cast<double>(a.minY), static_cast<double>(b.minY), 3);
  EXPECT_NEAR(static_cast<double>(a.maxY), static_cast<double>(b.maxY), 3);
  ImportOptions forceMM;
  forceMM.forceMM = true;
  const ImportExtents forced = ExtentsOf(Load("generated/gen_units_1_inch.dxf", nullptr, forceMM));
  EXPECT_EQ(forced.maxX, mm.maxX);
}

// A CIRCLE or ARC of the ENTITIES section, read by a walk over the group pairs
// that shares nothing with the reader.
struct Curve {
  bool circle = true;
  double cx = 0, cy = 0, r = 0, a0 = 0, a1 = 360, extrusion = 1;
  bool paper = false;
};

std::vector<Curve> CurvesOf(const std::string& text) {
  std::vector<std::pair<int, std::string>> pairs;
  std::istringstream in(text);
  for (std::string code, value; std::getline(in, code) && std::getline(in, value);) {
    if (!value.empty() && value.back() == '\r') value.pop_back();
    pairs.emplace_back(std::stoi(code), value);
  }
  std::vector<Curve> curves;
  bool inEntities = false;
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    const auto& [code, value] = pairs[i];
    if (code == 2 && value == "ENTITIES") inEntities = true;
    if (code == 0 && value == "ENDSEC") inEntities = false;
    if (!inEntities || code != 0 || (value != "CIRCLE" && value != "ARC")) continue;
    Curve curve;
    curve.circle = value == "CIRCLE";
    for (std::size_t k = i + 1; k < pairs.size() && pairs[k].first != 0; ++k) {
      const double v = pairs[k].first == 8 ? 0 : std::atof(pairs[k].second.c_str());
      switch (pairs[k].first) {
        case 10: curve.cx = v; break;
        case 20: curve.cy = v; break;
        case 40: curve.r = v; break;
        case 50: curve.a0 = v; break;
        case 51: curve.a1 = v; break;
        case 67: curve.paper = v != 0; break;
        case 230: curve.extrusion = v; break;
        default: break;
      }
    }
    curves.push_back(curve);
  }
  return curves;
}

struct CurveFile {
  const char* file;
  double unitsPerDrawingUnit;
};

TEST_F(Corpus, CirclesComeBackClosedAndArcsStayOnTheirCircle) {
  for (const auto [file, scale] : {CurveFile{"generated/gen_units_4_mm.dxf", 100},
                                   CurveFile{"generated/gen_units_1_inch.dxf", 2540},
                                   CurveFile{"generated/gen_r2000_big_grid.dxf", 100},
                                   CurveFile{"generated/gen_r12_all_entities.dxf", 100},
                                   CurveFile{"dxf/dxf2gcode__fc_mounting_R12.dxf", 100},
                                   CurveFile{"dxf/irnas__Plasma.DXF", 100}}) {
    const auto text = ReadWholeFile(kCorpus + "/" + file);
    ASSERT_TRUE(text) << file;
    const TPaths paths = Load(file);
    std::multimap<std::pair<long long, long long>, const TPath*> byStart;
    for (const auto& path : paths)
      if (path.size() > 1) byStart.emplace(std::pair{path[1].X, path[1].Y}, &path);
    std::size_t checked = 0;
    for (const Curve& curve : CurvesOf(*text)) {
      // Curves that fit in 0.05 mm are dropped as too small to cut.
      const double sweep = curve.circle ? 360 : curve.a1 - curve.a0 + (curve.a1 < curve.a0 ? 360 : 0);
      if (curve.paper || curve.r * scale * sweep * std::numbers::pi / 180 < 20) continue;
      const double e = curve.extrusion;
      const double a0 = (curve.circle ? 0 : curve.a0) * std::numbers::pi / 180;
      const double cx = curve.cx * e * scale, cy = curve.cy * scale, r = curve.r * scale;
      const long long sx = std::llround((curve.r * std::cos(a0) + curve.cx) * e * scale);
      const long long sy = std::llround((curve.r * std::sin(a0) + curve.cy) * scale);
      bool found = false;
      for (auto [it, end] = byStart.equal_range({sx, sy}); it != end && !found; ++it) {
        const TPath& path = *it->second;
        bool onCircle = true;
        for (std::size_t i = 1; i < path.size() && onCircle; ++i)
          onCircle = std::fabs(DistanceTo(path[i], cx, cy) - r) <= 1.0;
        found = onCircle && (!curve.circle || IsClosed(path));
      }
      EXPECT_TRUE(found) << file << ": " << (curve.circle ? "circle" : "arc") << " at " << curve.cx
                         << ", " << curve.cy << " radius " << curve.r;
      ++checked;
    }
    EXPECT_GT(checked, 0u) << file;
  }
}

}  // namespace
}  // namespace corvane::testing
