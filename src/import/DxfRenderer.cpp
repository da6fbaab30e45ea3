#include <algorithm>
#include <cstdint>
#include <cmath>
#include <numbers>
#include <optional>
#include <unordered_map>

#include "import/DxfModel.h"
#include "import/SplineBasis.h"
#include "ports/ProgramLog.h"

namespace corvane {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kRadiansPerDegree = kPi / 180.0;

// Inserts nest deeper than any real drawing; a block that inserts itself stops here.
constexpr int kMaxInsertDepth = 16;
// Inserts multiply their blocks; beyond this many rendered entities a drawing is hostile.
constexpr std::size_t kMaxRenderedEntities = 20'000'000;
// A path whose vertices fit in this square (0.01 mm) is too small to cut.
constexpr std::int64_t kTinyPath = 5;

// Brings an angular sweep into a range where stepping by a fraction of pi
// always advances and ends: at most one full turn, starting near zero.
void BoundSweep(double& from, double& to, double fullTurn) {
  if (!(std::fabs(from) < 1e6)) {
    const double shift = from - std::fmod(from, fullTurn);
    from -= shift;
    to -= shift;
  }
  if (!(std::fabs(to - from) <= fullTurn)) to = to > from ? from + fullTurn : from - fullTurn;
}

double StepsPerHalfTurn(double measure, bool fastCalc) {
  return fastCalc ? std::clamp(3 * measure, 18.0, 180.0) : std::clamp(10 * measure, 24.0, 360.0);
}

std::int64_t LayerNumberForColour(std::int64_t colour) {
  const std::int64_t number = colour + 1;
  switch (number) {
    case 2: return 3;
    case 3: return 6;
    case 6: return 9;
    case 7: return 2;
    case 9: return 0;
    default: return number;
  }
}

class DxfRendering {
 public:
  DxfRendering(TDXF& dxf, bool fullQuality, const ImportOptions& options, ProgramLog& log,
               TPaths& paths)
      : dxf_(dxf), full_(fullQuality), options_(options), log_(log), sink_(paths), s_(dxf.scale) {
    for (const auto& layer : dxf.layers)
      if (layer.colour != 0) layerColours_.emplace(layer.name, layer.colour);
    for (std::size_t i = 0; i < dxf.blocks.size(); ++i)
      blockByName_.emplace(dxf.blocks[i].name, static_cast<int>(i));
  }

  void RenderDrawing() {
    for (const auto& entry : dxf_.entities) {
      if (entry.paperSpace) continue;
      if (!RenderEntity(entry, 0)) break;
    }
    if (sink_.exhausted()) log_.WriteLog(sink_.BudgetMessage("DXF"));
    else if (rendered_ > kMaxRenderedEntities)
      log_.WriteLog("DXF: drawing too large, rendering stopped after " +
                    std::to_string(kMaxRenderedEntities) + " entities");
  }

 private:
  // Draws one entity; false once a budget is spent and rendering must stop.
  bool RenderEntity(const TEntry& entry, int depth) {
    if (++rendered_ > kMaxRenderedEntities || sink_.exhausted()) return false;
    layer_ = LayerNumberOf(entry);
    lastEndX_.reset();
    const double e = entry.extrusionZ;
    switch (entry.kind) {
      case DxfKind::Line: Segment({entry.x, entry.y}, {entry.x2, entry.y2}, e); break;
      case DxfKind::Arc: {
        double end = entry.angle1;
        if (end < entry.angle0) end += 360;
        CounterClockwiseArc(entry.radius, entry.angle0, end, {entry.x, entry.y}, e);
        break;
      }
      case DxfKind::Circle: CounterClockwiseArc(entry.radius, 0, 360, {entry.x, entry.y}, e); break;
      case DxfKind::Ellipse: Ellipse(entry); break;
      case DxfKind::Polyline:
      case DxfKind::LwPolyline: Polyline(entry); break;
      case DxfKind::Insert: Insert(entry, depth); break;
      case DxfKind::Spline: Spline(entry); break;
    }
    DropTinyLastPath();
    return !sink_.exhausted();
  }

  // Colour 0 takes the colour of the entity's layer; a switched-off layer keeps
  // its colour (stored negative) rather than turning into another layer.
  std::int64_t LayerNumberOf(const TEntry& entry) const {
    std::int64_t colour = entry.colour;
    if (colour == 0) {
      const auto found = layerColours_.find(entry.layer);
      if (found != layerColours_.end()) colour = std::llabs(static_cast<std::int64_t>(found->second));
    }
    return LayerNumberForColour(colour);
  }

  ClipperLib::IntPoint Scaled(DxfPoint p, double e) const {
    return {ToImportUnits(p.x * e * s_), ToImportUnits(p.y * s_)};
  }

  void Segment(DxfPoint from, DxfPoint to, double e) {
    const bool sameY = lastEndY_ && *lastEndY_ == from.y;
    const bool joins =
        sameY && ((lastEndX_ && *lastEndX_ == from.x) ||
                  (!sink_.empty() && sink_.last().size() > 1 && sink_.last().back() == Scaled(from, e)));
    if (!joins) sink_.OpenPathAt(layer_, Scaled(from, e));
    sink_.Append(Scaled(to, e));
    lastEndX_ = to.x;
    lastEndY_ = to.y;
  }

  // Arc in drawing units from one angle to the other (degrees), counter-clockwise
  // unless clockwise is set; mirror e multiplies X. stepMeasure picks the steps
  // per half turn: the radius in mm for arcs and circles, in drawing units for
  // the clockwise arcs of bulges.
  void Arc(double r, double fromDegrees, double toDegrees, DxfPoint c, double e, bool clockwise,
           double stepMeasure) {
    double a0 = fromDegrees * kRadiansPerDegree;
    double a1 = toDegrees * kRadiansPerDegree;
    BoundSweep(a0, a1, 2 * kPi);
    const double delta = (clockwise ? -kPi : kPi) / StepsPerHalfTurn(stepMeasure, options_.fastCalc);
    auto at = [&](double a) {
      return ClipperLib::IntPoint{ToImportUnits((r * std::cos(a) + c.x) * e * s_),
                                  ToImportUnits((r * std::sin(a) + c.y) * s_)};
    };
    auto before = [&](double a) { return clockwise ? a > a1 : a < a1; };
    sink_.OpenPathAt(layer_, at(a0));
    for (int k = 1; before(a0 + k * delta) && !sink_.exhausted(); ++k) sink_.Append(at(a0 + k * delta));
    sink_.Append(at(a1));
  }

  void CounterClockwiseArc(double r, double fromDegrees, double toDegrees, DxfPoint c, double e) {
    Arc(r, fromDegrees, toDegrees, c, e, false, r * s_ / 100);
  }

  // The arc of a bulged polyline segment. It is mirrored like the straight
  // segments of its polyline, so that a polyline with extrusion (0, 0, -1) stays whole.
  void BulgeArc(const DxfVertex& p1, const DxfVertex& p2, double e) {
    const double b = p1.bulge;
    const double l = (1 / b - b) / 2;
    const DxfPoint c{(p1.x + p2.x + l * (p1.y - p2.y)) / 2, (p1.y + p2.y + l * (p2.x - p1.x)) / 2};
    const double r = std::hypot(p1.x - c.x, p1.y - c.y);
    double alpha1 = std::atan2(p1.y - c.y, p1.x - c.x) / kRadiansPerDegree;
    double alpha2 = std::atan2(p2.y - c.y, p2.x - c.x) / kRadiansPerDegree;
    if (b > 0) {
      if (alpha2 < alpha1) alpha2 += 360;
      CounterClockwiseArc(r, alpha1, alpha2, c, e);
    } else {
      if (alpha1 < alpha2) alpha1 += 360;
      Arc(r, alpha1, alpha2, c, e, true, r);
    }
  }

  void PolylineSegment(const DxfVertex& from, const DxfVertex& to, double e) {
    if (std::fabs(from.bulge) < 1e-6) Segment({from.x, from.y}, {to.x, to.y}, e);
    else BulgeArc(from, to, e);
  }

  void Polyline(const TEntry& entry) {
    const auto& v = entry.vertices;
    for (std::size_t i = 1; i < v.size() && !sink_.exhausted(); ++i)
      PolylineSegment(v[i - 1], v[i], entry.extrusionZ);
    if ((entry.flags & 1) && v.size() > 1) PolylineSegment(v.back(), v.front(), entry.extrusionZ);
  }

  // Partial ellipses run counter-clockwise from start to end parameter, through 0 when end is smaller.
  void Ellipse(const TEntry& entry) {
    const double a = std::hypot(entry.x2, entry.y2);
    const double b = entry.radius * a;
    const double theta = std::atan2(entry.y2, entry.x2);
    const double e = entry.extrusionZ;
    double p0 = entry.param0;
    double p1 = entry.param1;
    if (p1 <= p0) p1 += 2 * kPi;
    BoundSweep(p0, p1, 2 * kPi);
    const double delta = kPi / StepsPerHalfTurn(entry.radius, options_.fastCalc);
    auto at = [&](double t) {
      const double ox = a * std::cos(t) * std::cos(theta) - b * std::sin(t) * std::sin(theta);
      const double oy = a * std::cos(t) * std::sin(theta) + b * std::sin(t) * std::cos(theta);
      return ClipperLib::IntPoint{ToImportUnits((ox * e + entry.x) * s_),
                                  ToImportUnits((oy + entry.y) * s_)};
    };
    sink_.OpenPathAt(layer_, at(p0));
    for (int k = 1; p0 + k * delta < p1 - delta && !sink_.exhausted(); ++k)
      sink_.Append(at(p0 + k * delta));
    sink_.Append(at(p1));
  }

  void Spline(const TEntry& entry) {
    const SplineBasis basis(entry.knots, entry.degree);
    if (!basis.usable()) {
      log_.WriteLog("DXF SPLINE not drawn: " + basis.problem());
      return;
    }
    const double subdivisions = SplineSubdivisions(entry);
    const std::int64_t thinning = options_.fastCalc ? 55 : 25;
    bool opened = false;
    std::optional<ClipperLib::IntPoint> dropped;
    auto add = [&](double u) {
      const DxfPoint p = basis.Evaluate(entry.controls, u);
      const ClipperLib::IntPoint point{ToImportUnits(p.x * s_), ToImportUnits(p.y * s_)};
      if (!opened) {
        sink_.OpenPathAt(layer_, point);
        opened = true;
        return;
      }
      const TPath& path = sink_.last();
      if (path.size() > 2 && !(point == path[1]) && std::llabs(point.X - path.back().X) <= thinning &&
          std::llabs(point.Y - path.back().Y) <= thinning) {
        dropped = point;
        return;
      }
      dropped.reset();
      sink_.Append(point);
    };
    // The curve is defined from knot p to knot m-p-1 (p the degree, m the number of
    // knots); for the usual clamped splines that is every knot. Beyond it the basis
    // no longer sums to 1 and an unclamped (periodic) spline would run to the origin.
    // The end knot is repeated so that the walk's last step samples the end point.
    const auto& all = entry.knots;
    const std::size_t p = static_cast<std::size_t>(entry.degree);
    const std::size_t trim = all.size() > 2 * p + 1 ? p : 0;
    std::vector<double> knots;
    knots.reserve(all.size() - 2 * trim + 1);
    for (std::size_t k = trim; k + trim < all.size(); ++k) knots.push_back(all[k]);
    knots.push_back(knots.back());
    double t = knots.front();
    for (std::size_t k = 1; k < knots.size() && !sink_.exhausted(); ++k) {
      const double knot = knots[k];
      if (knot == t && k + 1 != knots.size()) continue;
      const double step = (knot - t) / (subdivisions + 1);
      // Counted steps: the span ends even where adding the step changes nothing.
      for (int i = 0; i <= static_cast<int>(subdivisions) + 1; ++i) {
        const double u = t + i * step;
        if (i > 0 && !(u < knot)) break;
        add(u);
      }
      if (dropped) {
        sink_.Append(*dropped);
        dropped.reset();
      }
      t = knot;
    }
    if (!opened) return;
    if (!entry.fits.empty()) sink_.Append(Scaled(entry.fits.back(), 1));
    if ((entry.flags & 1) && options_.closeDxf == 1 && sink_.last().size() > 1)
      sink_.Append(sink_.last()[1]);
  }

  // Segments per knot span: finer for large splines with few control points.
  double SplineSubdivisions(const TEntry& entry) const {
    double minX = 100000, minY = 100000, maxX = -100000, maxY = -100000;
    for (std::size_t i = 0; i + 1 < entry.controls.size(); ++i) {
      minX = std::min(minX, entry.controls[i].x);
      maxX = std::max(maxX, entry.controls[i].x);
      minY = std::min(minY, entry.controls[i].y);
      maxY = std::max(maxY, entry.controls[i].y);
    }
    const double size = std::max(maxX - minX, maxY - minY);
    const double perControl = (static_cast<double>(entry.controls.size()) - 1) / 30;
    double a = (size * s_ / 100) / perControl + 1;
    if (std::isnan(a)) a = 1;
    double c = !full_ ? std::min(0.1 * a, 5.0)
             : options_.fastCalc ? std::min(0.33 * a, 80.0) : std::min(a, 150.0);
    c = std::round(std::max(c, 1.0));
    return c;
  }

  // Block units to drawing units. The import scale already holds the drawing's
  // unit, so a block in the drawing's own unit (or unitless) is not scaled again.
  double BlockFactor(const TBlock& block) const {
    const int units = block.insertionUnits;
    if (units < 1 || units > 9) return 1.0;
    return DxfUnitFactor(units) / dxf_.unitFactor;
  }

  void Insert(const TEntry& entry, int depth) {
    if (!dxf_.insertNoticeWritten) {
      log_.WriteLog("DXF INSERT function error");
      dxf_.insertNoticeWritten = true;
    }
    const auto found = blockByName_.find(entry.blockName);
    if (found == blockByName_.end()) return;
    if (depth >= kMaxInsertDepth) {
      if (!depthNoticeWritten_)
        log_.WriteLog("DXF INSERT nested deeper than " + std::to_string(kMaxInsertDepth) +
                      " levels, not drawn: " + entry.blockName);
      depthNoticeWritten_ = true;
      return;
    }
    const TBlock& block = dxf_.blocks[found->second];
    const double factor = BlockFactor(block);
    const std::size_t first = sink_.paths().size();
    // Block geometry never joins a path outside the block: those vertices would miss the transform.
    lastEndX_.reset();
    lastEndY_.reset();
    for (const auto& child : dxf_.blockEntities[found->second]) {
      if (child.paperSpace) continue;
      if (!RenderEntity(child, depth + 1)) break;
    }
    lastEndX_.reset();
    lastEndY_.reset();
    // Block coordinates relative to the block's base point, scaled, shifted to
    // their cell of a MINSERT array, rotated, then placed; an insert with
    // extrusion (0, 0, -1) is mirrored as a whole.
    const double rho = entry.angle0 * kRadiansPerDegree;
    const double cosRho = std::cos(rho);
    const double sinRho = std::sin(rho);
    const double baseX = block.baseX * s_;
    const double baseY = block.baseY * s_;
    const double placeX = static_cast<double>(ToImportUnits(entry.x * s_));
    const double placeY = static_cast<double>(ToImportUnits(entry.y * s_));
    const double mirror = entry.extrusionZ < 0 ? -1.0 : 1.0;
    auto place = [&](ClipperLib::IntPoint p, double cellX, double cellY) {
      const double x = (static_cast<double>(p.X) - baseX) * factor * entry.scaleX + cellX;
      const double y = (static_cast<double>(p.Y) - baseY) * factor * entry.scaleY + cellY;
      return ClipperLib::IntPoint{ToImportUnits(mirror * (x * cosRho - y * sinRho + placeX)),
                                  ToImportUnits(x * sinRho + y * cosRho + placeY)};
    };
    auto& paths = sink_.paths();
    if (first < paths.size()) knownLargePath_ = SIZE_MAX;  // the transform may shrink them
    const int columns = std::max(entry.columns, 1);
    const int rows = std::max(entry.rows, 1);
    TPaths blockPaths;
    if (columns > 1 || rows > 1)
      blockPaths.assign(paths.begin() + static_cast<std::ptrdiff_t>(first), paths.end());
    for (std::size_t i = first; i < paths.size(); ++i) {
      if (!sink_.ChargeMoves(paths[i].size())) return;
      for (std::size_t k = 1; k < paths[i].size(); ++k) paths[i][k] = place(paths[i][k], 0, 0);
    }
    for (int row = 0; row < rows; ++row) {
      for (int column = row == 0 ? 1 : 0; column < columns; ++column) {
        const double cellX = column * entry.columnSpacing * s_;
        const double cellY = row * entry.rowSpacing * s_;
        for (const TPath& path : blockPaths) {
          if (!sink_.ChargeMoves(path.size())) return;
          sink_.OpenPath(path[0].Y);
          for (std::size_t k = 1; k < path.size(); ++k) sink_.Append(place(path[k], cellX, cellY));
        }
        if (!sink_.ChargeMoves(1)) return;
      }
    }
  }

  void DropTinyLastPath() {
    if (sink_.empty()) return;
    const std::size_t index = sink_.paths().size() - 1;
    if (index == knownLargePath_) return;
    const TPath& path = sink_.last();
    if (path.size() > 1) {
      const auto [minX, maxX] = std::minmax_element(path.begin() + 1, path.end(),
          [](const auto& a, const auto& b) { return a.X < b.X; });
      const auto [minY, maxY] = std::minmax_element(path.begin() + 1, path.end(),
          [](const auto& a, const auto& b) { return a.Y < b.Y; });
      if (maxX->X - minX->X > kTinyPath || maxY->Y - minY->Y > kTinyPath) {
        knownLargePath_ = index;
        return;
      }
    }
    sink_.RemoveLastPath();
  }

  TDXF& dxf_;
  bool full_;
  const ImportOptions& options_;
  ProgramLog& log_;
  ImportPathSink sink_;
  double s_;
  std::int64_t layer_ = 0;
  std::optional<double> lastEndX_, lastEndY_;
  std::unordered_map<std::string, int> layerColours_;
  std::unordered_map<std::string, int> blockByName_;
  std::size_t knownLargePath_ = SIZE_MAX;
  std::size_t rendered_ = 0;
  bool depthNoticeWritten_ = false;
};

}  // namespace

void TDXF::Render(bool fullQuality, const ImportOptions& options, ProgramLog& log, TPaths& paths) {
  paths.clear();
  DxfRendering rendering(*this, fullQuality, options, log, paths);
  rendering.RenderDrawing();
}

}  // namespace corvane
