#pragma once
#include <clipper.hpp>
#include <cstddef>
#include <cstdint>
#include <string>

namespace corvane {

// The readers' common output: paths of 64-bit points in 0.01 mm. Point 0 of
// every path is a header (X = 0, Y = the layer number); the vertices follow.
using TPath = ClipperLib::Path;
using TPaths = ClipperLib::Paths;

// Layer of the material outline as the ".2d" reader writes it; the preview shows it as "Mat".
inline constexpr std::int64_t kLayerMaterialRead = -1;

// No drawing needs more vertices than this; beyond it a hostile file would only
// exhaust memory (16 bytes a vertex, so the list stays below 200 MB).
inline constexpr std::size_t kMaxImportVertices = 10'000'000;
// Moving vertices again (block inserts nested in inserts) costs time without
// adding vertices; this bounds it, so a hostile nesting ends within seconds.
inline constexpr std::size_t kMaxImportMoves = 20'000'000;

// Coordinates beyond this many 0.01 mm are clamped, so that huge or infinite
// values from a file never reach an integer conversion.
inline constexpr double kMaxImportCoordinate = 1e15;

// Rounds a value in 0.01 mm to a point coordinate: to the nearest integer,
// clamped to the coordinate range, NaN giving 0.
std::int64_t ToImportUnits(double units);

// Appends paths to an import path list within a vertex budget. Once the budget
// is spent nothing more is stored; the reader checks exhausted() and stops.
class ImportPathSink {
 public:
  explicit ImportPathSink(TPaths& paths, std::size_t maxVertices = kMaxImportVertices);

  // Opens a new path with only its header.
  void OpenPath(std::int64_t layer);
  // Opens a new path whose first vertex is p.
  void OpenPathAt(std::int64_t layer, ClipperLib::IntPoint p);
  // Appends a vertex to the last path; false when there is no path or the budget is spent.
  bool Append(ClipperLib::IntPoint p);
  // Same, from coordinates in 0.01 mm.
  bool AppendUnits(double x, double y) { return Append({ToImportUnits(x), ToImportUnits(y)}); }
  void RemoveLastPath();
  // Counts vertices moved after they were made; false once the budget is spent.
  bool ChargeMoves(std::size_t count);
  // Removes the last vertex of the last path (never its header).
  void RemoveLastVertex();

  bool empty() const { return paths_.empty(); }
  TPath& last() { return paths_.back(); }
  TPaths& paths() { return paths_; }
  std::size_t vertexCount() const { return vertices_; }
  bool exhausted() const { return exhausted_; }
  // The log line a reader writes when it stopped because of the budget.
  std::string BudgetMessage(const std::string& reader) const;

 private:
  TPaths& paths_;
  std::size_t maxVertices_;
  std::size_t vertices_ = 0;
  std::size_t moves_ = 0;
  bool exhausted_ = false;
};

// Extents of all vertices (headers excepted).
struct ImportExtents {
  bool any = false;
  ClipperLib::cInt minX = 0, minY = 0, maxX = 0, maxY = 0;
};
ImportExtents ExtentsOf(const TPaths& paths);
std::size_t VertexCountOf(const TPaths& paths);

}  // namespace corvane
