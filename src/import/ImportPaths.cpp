#include "import/ImportPaths.h"

#include <algorithm>
#include <cmath>

namespace corvane {

std::int64_t ToImportUnits(double units) {
  if (std::isnan(units)) return 0;
  const double clamped = std::clamp(units, -kMaxImportCoordinate, kMaxImportCoordinate);
  return static_cast<std::int64_t>(std::llround(clamped));
}

ImportPathSink::ImportPathSink(TPaths& paths, std::size_t maxVertices)
    : paths_(paths), maxVertices_(maxVertices) {
  for (const auto& path : paths_)
    if (!path.empty()) vertices_ += path.size() - 1;
}

void ImportPathSink::OpenPath(std::int64_t layer) {
  if (exhausted_) return;
  paths_.push_back(TPath{ClipperLib::IntPoint(0, layer)});
}

void ImportPathSink::OpenPathAt(std::int64_t layer, ClipperLib::IntPoint p) {
  OpenPath(layer);
  Append(p);
}

bool ImportPathSink::Append(ClipperLib::IntPoint p) {
  if (paths_.empty() || exhausted_) return false;
  if (vertices_ >= maxVertices_) {
    exhausted_ = true;
    return false;
  }
  paths_.back().push_back(p);
  ++vertices_;
  return true;
}

bool ImportPathSink::ChargeMoves(std::size_t count) {
  moves_ += count;
  if (moves_ > kMaxImportMoves) exhausted_ = true;
  return !exhausted_;
}

void ImportPathSink::RemoveLastPath() {
  if (paths_.empty()) return;
  if (!paths_.back().empty()) vertices_ -= paths_.back().size() - 1;
  paths_.pop_back();
}

void ImportPathSink::RemoveLastVertex() {
  if (paths_.empty() || paths_.back().size() < 2) return;
  paths_.back().pop_back();
  --vertices_;
}

std::string ImportPathSink::BudgetMessage(const std::string& reader) const {
  return reader + ": drawing too large, reading stopped at " + std::to_string(vertices_) +
         " vertices";
}

ImportExtents ExtentsOf(const TPaths& paths) {
  ImportExtents box;
  for (const auto& path : paths) {
    for (std::size_t i = 1; i < path.size(); ++i) {
      const auto& p = path[i];
      if (!box.any) {
        box = {true, p.X, p.Y, p.X, p.Y};
        continue;
      }
      box.minX = std::min(box.minX, p.X);
      box.maxX = std::max(box.maxX, p.X);
      box.minY = std::min(box.minY, p.Y);
      box.maxY = std::max(box.maxY, p.Y);
    }
  }
  return box;
}

std::size_t VertexCountOf(const TPaths& paths) {
  std::size_t count = 0;
  for (const auto& path : paths)
    if (!path.empty()) count += path.size() - 1;
  return count;
}

}  // namespace corvane
