#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "ReaderHarness.h"
#include "import/DrawingFile.h"
#include "import/DxfModel.h"

namespace corvane::testing {

// DXF texts built from group pairs, so that a test shows the groups it is about.
using Pairs = std::vector<std::pair<int, std::string>>;

// A DXF text from group pairs, one pair a two-line record.
inline std::string Text(const Pairs& pairs) {
  std::string text;
  for (const auto& [code, value] : pairs) text += std::to_string(code) + "\r\n" + value + "\r\n";
  return text;
}

inline std::string Section(const std::string& name, const Pairs& body) {
  Pairs pairs{{0, "SECTION"}, {2, name}};
  pairs.insert(pairs.end(), body.begin(), body.end());
  pairs.push_back({0, "ENDSEC"});
  return Text(pairs);
}

inline std::string Drawing(const Pairs& entities, const Pairs& header = {},
                           const std::string& more = "") {
  return Section("HEADER", header) + more + Section("ENTITIES", entities) + Text({{0, "EOF"}});
}

inline std::string Number(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.12g", value);
  return buffer;
}

inline Pairs Line(double x1, double y1, double x2, double y2) {
  return {{0, "LINE"},      {8, "0"},         {10, Number(x1)},
          {20, Number(y1)}, {11, Number(x2)}, {21, Number(y2)}};
}

inline Pairs Join(std::initializer_list<Pairs> parts) {
  Pairs all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// A drawing with one block record and its BLOCK, and the given entities (usually inserts).
inline std::string BlockDrawing(const Pairs& blockBody, const Pairs& inserts,
                                const std::string& name = "B", const std::string& baseX = "0",
                                const std::string& blockUnits = "0", const Pairs& header = {}) {
  const std::string tables = Section("TABLES", {{0, "TABLE"},
                                                {2, "BLOCK_RECORD"},
                                                {0, "BLOCK_RECORD"},
                                                {2, name},
                                                {70, blockUnits},
                                                {340, "1F"},
                                                {0, "ENDTAB"}});
  Pairs blocks{{0, "BLOCK"}, {2, name}, {10, baseX}, {20, "0"}};
  blocks.insert(blocks.end(), blockBody.begin(), blockBody.end());
  blocks.push_back({0, "ENDBLK"});
  return Section("HEADER", header) + tables + Section("BLOCKS", blocks) +
         Section("ENTITIES", inserts) + Text({{0, "EOF"}});
}

struct Dxf : ::testing::Test, ReaderHarness {
  ImportOptions options;
  TDXF dxf;

  // The preview, then (as the import window does for cutting) the full rendering.
  TPaths Read(const std::string& text, bool fullQuality = true) {
    TPaths paths;
    std::string error;
    EXPECT_TRUE(ReadDxf(text, options, log, dxf, paths, error)) << error;
    if (fullQuality) dxf.Render(true, options, log, paths);
    return paths;
  }

  // The dispatcher's load at full quality, as `corvane-cli read` does it.
  DrawingLoad Load(const std::string& text, TPaths& paths) {
    return ReadDrawing(text, DrawingFormat::Dxf, options, parser, log, paths, dxf, true);
  }

  std::size_t LinesLogged(const std::string& part) const {
    return static_cast<std::size_t>(std::count_if(
        host.logPane.begin(), host.logPane.end(),
        [&](const std::string& line) { return line.find(part) != std::string::npos; }));
  }
};

// Every vertex of every path (headers left out).
inline std::vector<ClipperLib::IntPoint> VerticesOf(const TPaths& paths) {
  std::vector<ClipperLib::IntPoint> all;
  for (const auto& path : paths)
    all.insert(all.end(), path.begin() + (path.empty() ? 0 : 1), path.end());
  return all;
}

inline bool AnyVertexNear(const TPaths& paths, double x, double y, double within) {
  for (const auto& p : VerticesOf(paths))
    if (DistanceTo(p, x, y) <= within) return true;
  return false;
}

// Distance from (x, y) to the nearest segment of the path.
inline double DistanceToPath(const TPath& path, double x, double y) {
  double best = 1e300;
  for (std::size_t i = 1; i + 1 < path.size(); ++i) {
    const double ax = static_cast<double>(path[i].X), ay = static_cast<double>(path[i].Y);
    const double bx = static_cast<double>(path[i + 1].X), by = static_cast<double>(path[i + 1].Y);
    const double dx = bx - ax, dy = by - ay;
    const double length2 = dx * dx + dy * dy;
    const double t =
        length2 > 0 ? std::clamp(((x - ax) * dx + (y - ay) * dy) / length2, 0.0, 1.0) : 0;
    best = std::min(best, std::hypot(ax + t * dx - x, ay + t * dy - y));
  }
  if (path.size() == 2) best = DistanceTo(path[1], x, y);
  return best;
}

}  // namespace corvane::testing
