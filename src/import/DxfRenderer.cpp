#include <algorithm>
#include <cstdint>
#include <cmath>
#include <numbers>
#include <optional>
#include <unordered_map>

#include "import/ArcFlattening.h"
#include "import/DxfModel.h"
#include "import/DxfPlane.h"
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

// Room for a flattened curve of about that many steps; no sweep takes more
// than a full turn of the finest steps, and a sweep that is not a number none.
std::size_t RoomFor(double steps) {
  return (steps >= 0 ? static_cast<std::size_t>(std::min(steps, 720.0)) : 0) + 3;
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

// The plane a kind's coordinates are given in. LINE, ELLIPSE and SPLINE hold
// world coordinates, so a tilted extrusion moves none of their points; a LINE
// or ELLIPSE seen from below is still mirrored like the plane kinds.
DxfPlane PlaneOf(const TEntry& entry) {
  const DxfPlane plane = DxfPlane::Of(entry);
  if (entry.kind == DxfKind::Line && !plane.level()) return {0, 0, 1};
  return plane;
}

// A map of the plane: x' = a x + b y + tx, y' = c x + d y + ty.
struct Affine {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

  DxfPoint Apply(double x, double y) const { return {a * x + b * y + tx, c * x + d * y + ty}; }
  // The affine map that agrees with f, read off at three points.
  template <typename F>
  static Affine Through(F f) {
    const DxfPoint o = f(0.0, 0.0), ex = f(1.0, 0.0), ey = f(0.0, 1.0);
    return {ex.x - o.x, ey.x - o.x, ex.y - o.y, ey.y - o.y, o.x, o.y};
  }
  // This map applied after inner.
  Affine After(const Affine& inner) const {
    return {a * inner.a + b * inner.c, a * inner.b + b * inner.d,
            c * inner.a + d * inner.c, c * inner.b + d * inner.d,
            a * inner.tx + b * inner.ty + tx, c * inner.tx + d * inner.ty + ty};
  }
};

class DxfRendering {
 public:
  DxfRendering(TDXF& dxf, bool fullQuality, const ImportOptions& options, ProgramLog& log,
               TPaths& paths)
      : dxf_(dxf), report_(dxf.report), full_(fullQuality), options_(options), log_(log),
        sink_(paths), s_(dxf.scale) {
    for (const auto& layer : dxf.layers)
      if (layer.colour != 0) layerColours_.emplace(layer.name, layer.colour);
    for (std::size_t i = 0; i < dxf.blocks.size(); ++i)
      blockByName_.emplace(dxf.blocks[i].name, static_cast<int>(i));
    report_.scale = s_;
    report_.insertsExpanded = 0;
    report_.curvesApproximated = 0;
    report_.worstChordError = 0;
  }

  void RenderDrawing() {
    for (const auto& entry : dxf_.entities) {
      if (entry.paperSpace) continue;
      if (!RenderEntity(entry, 0)) break;
    }
    if (sink_.exhausted()) Notice(sink_.BudgetMessage("DXF"));
    else if (rendered_ > kMaxRenderedEntities)
      Notice("DXF: drawing too large, rendering stopped after " +
             std::to_string(kMaxRenderedEntities) + " entities");
  }

 private:
  // Logs a line once per file, however often the drawing is rendered again.
  void Notice(const std::string& line) {
    if (dxf_.notices.insert(line).second) log_.WriteLog(line);
  }

  // Draws one entity; false once a budget is spent and rendering must stop.
  bool RenderEntity(const TEntry& entry, int depth) {
    if (++rendered_ > kMaxRenderedEntities || sink_.exhausted()) return false;
    // Left in the list without the groups it needs; drawing it would make them up.
    if (!entry.HasRequiredGroups()) return true;
    layer_ = LayerNumberOf(entry);
    lastEndX_.reset();
    const DxfPlane plane = PlaneOf(entry);
    switch (entry.kind) {
      case DxfKind::Line: Segment({entry.x, entry.y}, {entry.x2, entry.y2}, plane, 0); break;
      case DxfKind::Arc: {
        double end = entry.angle1;
        if (end < entry.angle0) end += 360;
        CounterClockwiseArc(entry.radius, entry.angle0, end, {entry.x, entry.y}, plane, entry.z);
        break;
      }
      case DxfKind::Circle:
        CounterClockwiseArc(entry.radius, 0, 360, {entry.x, entry.y}, plane, entry.z);
        break;
      case DxfKind::Ellipse: Ellipse(entry, plane); break;
      case DxfKind::Polyline:
      case DxfKind::LwPolyline: Polyline(entry, plane); break;
      case DxfKind::Insert: Insert(entry, plane, depth); break;
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
      if (found != layerColours_.end())
        colour = std::llabs(static_cast<std::int64_t>(found->second));
    }
    return LayerNumberForColour(colour);
  }

  // A point in 0.01 mm of the entity's own space (the drawing, or the block
  // being inserted), carried through the inserts around it and rounded once.
  ClipperLib::IntPoint Placed(double x, double y) const {
    const DxfPoint out = transform_.Apply(x, y);
    return {ToImportUnits(out.x), ToImportUnits(out.y)};
  }

  ClipperLib::IntPoint Scaled(DxfPoint world) const { return Placed(world.x * s_, world.y * s_); }

  // A curve flattened with chords whose worst gap to it is error (0.01 mm,
  // before the inserts around it enlarge it).
  void Approximated(double error) { ApproximatedAsDrawn(error * chordScale_); }
  // The same for an error measured on the drawn vertices, the inserts already counted.
  void ApproximatedAsDrawn(double error) {
    ++report_.curvesApproximated;
    report_.worstChordError = std::max(report_.worstChordError, error);
  }

  // A path of at least three segments that ends where it starts.
  static bool ClosedLoop(const TPath& path) { return path.size() > 4 && path.back() == path[1]; }

  void Segment(DxfPoint from, DxfPoint to, const DxfPlane& plane, double z) {
    const ClipperLib::IntPoint start = Scaled(plane.ToWorld(from.x, from.y, z));
    const bool sameY = lastEndY_ && *lastEndY_ == from.y;
    // A segment of the same entity always continues its path; one of another
    // entity continues it where it ends, unless that path came back to its
    // start: a closed loop takes nothing more.
    const bool joins =
        sameY && ((lastEndX_ && *lastEndX_ == from.x) ||
                  (!sink_.empty() && sink_.last().size() > 1 && sink_.last().back() == start &&
                   !ClosedLoop(sink_.last())));
    if (!joins) sink_.OpenPathAt(layer_, start);
    sink_.Append(Scaled(plane.ToWorld(to.x, to.y, z)));
    lastEndX_ = to.x;
    lastEndY_ = to.y;
  }

  // Arc in drawing units from one angle to the other (degrees), counter-clockwise
  // unless clockwise is set, in the plane at height z. stepMeasure picks the
  // steps per half turn: the radius in mm for arcs and circles, in drawing
  // units for the clockwise arcs of bulges.
  void Arc(double r, double fromDegrees, double toDegrees, DxfPoint c, const DxfPlane& plane,
           double z, bool clockwise, double stepMeasure) {
    double a0 = fromDegrees * kRadiansPerDegree;
    double a1 = toDegrees * kRadiansPerDegree;
    BoundSweep(a0, a1, 2 * kPi);
    const double perHalfTurn = StepsPerHalfTurn(stepMeasure, options_.fastCalc);
    const double delta = (clockwise ? -kPi : kPi) / perHalfTurn;
    auto before = [&](double a) { return clockwise ? a > a1 : a < a1; };
    auto at = [&](double cosA, double sinA) {
      return Scaled(plane.ToWorld(r * cosA + c.x, r * sinA + c.y, z));
    };
    AngleSteps steps(a0, delta);
    sink_.OpenPathAt(layer_, at(steps.cos(), steps.sin()));
    const double sweep = std::fabs(a1 - a0);
    sink_.last().reserve(RoomFor(sweep / std::fabs(delta)));
    for (int k = 1; before(a0 + k * delta) && !sink_.exhausted(); ++k) {
      steps.Advance();
      sink_.Append(at(steps.cos(), steps.sin()));
    }
    sink_.Append(at(std::cos(a1), std::sin(a1)));
    Approximated(ArcChordError(r * s_, std::min(std::fabs(delta), sweep)));
  }

  void CounterClockwiseArc(double r, double fromDegrees, double toDegrees, DxfPoint c,
                           const DxfPlane& plane, double z) {
    Arc(r, fromDegrees, toDegrees, c, plane, z, false, r * s_ / 100);
  }

  // The arc of a bulged polyline segment. It lies in the plane of its polyline
  // like the straight segments, so that a polyline seen from below stays whole.
  void BulgeArc(const DxfVertex& p1, const DxfVertex& p2, const DxfPlane& plane, double z) {
    const double b = p1.bulge;
    const double l = (1 / b - b) / 2;
    const DxfPoint c{(p1.x + p2.x + l * (p1.y - p2.y)) / 2, (p1.y + p2.y + l * (p2.x - p1.x)) / 2};
    const double r = std::hypot(p1.x - c.x, p1.y - c.y);
    double alpha1 = std::atan2(p1.y - c.y, p1.x - c.x) / kRadiansPerDegree;
    double alpha2 = std::atan2(p2.y - c.y, p2.x - c.x) / kRadiansPerDegree;
    if (b > 0) {
      if (alpha2 < alpha1) alpha2 += 360;
      CounterClockwiseArc(r, alpha1, alpha2, c, plane, z);
    } else {
      if (alpha1 < alpha2) alpha1 += 360;
      Arc(r, alpha1, alpha2, c, plane, z, true, r);
    }
  }

  void PolylineSegment(const DxfVertex& from, const DxfVertex& to, const DxfPlane& plane,
                       double z) {
    if (std::fabs(from.bulge) < 1e-6) Segment({from.x, from.y}, {to.x, to.y}, plane, z);
    else BulgeArc(from, to, plane, z);
  }

  void Polyline(const TEntry& entry, const DxfPlane& plane) {
    const auto& v = entry.vertices;
    for (std::size_t i = 1; i < v.size() && !sink_.exhausted(); ++i)
      PolylineSegment(v[i - 1], v[i], plane, entry.z);
    if ((entry.flags & 1) && v.size() > 1) PolylineSegment(v.back(), v.front(), plane, entry.z);
  }

  // Partial ellipses run counter-clockwise from start to end parameter, through
  // 0 when end is smaller. Centre and major axis are world coordinates; the
  // minor axis stands a quarter turn on from the major one within the plane.
  void Ellipse(const TEntry& entry, const DxfPlane& plane) {
    const double a = std::hypot(entry.x2, entry.y2);
    const double b = entry.radius * a;
    const double theta = std::atan2(entry.y2, entry.x2);
    const double cosTheta = std::cos(theta), sinTheta = std::sin(theta);
    const double e = plane.mirror();
    const DxfPoint minor = plane.NormalCross(entry.x2 * entry.radius, entry.y2 * entry.radius,
                                             entry.z2 * entry.radius);
    double p0 = entry.param0;
    double p1 = entry.param1;
    if (p1 <= p0) p1 += 2 * kPi;
    BoundSweep(p0, p1, 2 * kPi);
    // Steps as for an arc of the major radius: no chord lies farther from the
    // ellipse than from that arc, so the error reported below bounds it.
    const double delta = kPi / StepsPerHalfTurn(a * s_ / 100, options_.fastCalc);
    auto at = [&](double cosT, double sinT) {
      if (!plane.level())
        return Scaled({entry.x + entry.x2 * cosT + minor.x * sinT,
                       entry.y + entry.y2 * cosT + minor.y * sinT});
      const double ox = a * cosT * cosTheta - b * sinT * sinTheta;
      const double oy = a * cosT * sinTheta + b * sinT * cosTheta;
      return Placed((ox * e + entry.x) * s_, (oy + entry.y) * s_);
    };
    AngleSteps steps(p0, delta);
    sink_.OpenPathAt(layer_, at(steps.cos(), steps.sin()));
    sink_.last().reserve(RoomFor((p1 - p0) / delta));
    // Every chord spans one step at most, the last one included.
    for (int k = 1; p0 + k * delta < p1 && !sink_.exhausted(); ++k) {
      steps.Advance();
      sink_.Append(at(steps.cos(), steps.sin()));
    }
    sink_.Append(at(std::cos(p1), std::sin(p1)));
    Approximated(ArcChordError(a * s_, std::min(delta, p1 - p0)));
  }

  void Spline(const TEntry& entry) {
    const SplineBasis basis(entry.knots, entry.degree);
    if (!basis.usable()) {
      Notice("DXF SPLINE not drawn: " + basis.problem());
      return;
    }
    // Weights of 1 leave the curve as it is without them.
    const bool rational = std::any_of(entry.weights.begin(), entry.weights.end(),
                                      [](double w) { return w != 1; });
    auto evaluate = [&](double u) {
      return rational ? basis.EvaluateRational(entry.controls, entry.weights, u)
                      : basis.Evaluate(entry.controls, u);
    };
    const double subdivisions = SplineSubdivisions(entry);
    const std::int64_t thinning = options_.fastCalc ? 55 : 25;
    bool opened = false;
    // The last point thinned away, drawn after all when its span ends on it.
    struct {
      bool held = false;
      ClipperLib::IntPoint point;
      double at = 0;
    } dropped;
    double lastAt = 0;  // parameter of the last vertex drawn
    double worstGap = 0;
    // The gap between the curve and a chord, taken at the middle of its parameters.
    auto chord = [&](double from, double to, ClipperLib::IntPoint a, ClipperLib::IntPoint b) {
      const DxfPoint curve = evaluate((from + to) / 2);
      const DxfPoint m = transform_.Apply(curve.x * s_, curve.y * s_);
      const double mx = m.x - static_cast<double>(a.X);
      const double my = m.y - static_cast<double>(a.Y);
      const double dx = static_cast<double>(b.X - a.X), dy = static_cast<double>(b.Y - a.Y);
      const double length = std::hypot(dx, dy);
      const double gap = length > 0 ? std::fabs(mx * dy - my * dx) / length : std::hypot(mx, my);
      worstGap = std::max(worstGap, gap);
    };
    auto append = [&](ClipperLib::IntPoint point, double u) {
      chord(lastAt, u, sink_.last().back(), point);
      sink_.Append(point);
      lastAt = u;
    };
    auto add = [&](double u) {
      const DxfPoint p = evaluate(u);
      const ClipperLib::IntPoint point = Placed(p.x * s_, p.y * s_);
      if (!opened) {
        sink_.OpenPathAt(layer_, point);
        opened = true;
        lastAt = u;
        return;
      }
      const TPath& path = sink_.last();
      if (path.size() > 2 && !(point == path[1]) &&
          std::llabs(point.X - path.back().X) <= thinning &&
          std::llabs(point.Y - path.back().Y) <= thinning) {
        dropped = {true, point, u};
        return;
      }
      dropped.held = false;
      append(point, u);
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
      if (dropped.held) {
        append(dropped.point, dropped.at);
        dropped.held = false;
      }
      t = knot;
    }
    if (!opened) return;
    if (!entry.fits.empty()) sink_.Append(Scaled(entry.fits.back()));
    if ((entry.flags & 1) && options_.closeDxf == 1 && sink_.last().size() > 1)
      sink_.Append(sink_.last()[1]);
    ApproximatedAsDrawn(worstGap);
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
  // unit; a block is scaled by the ratio of the two only when both name a unit
  // ($INSUNITS for the drawing), since a unitless side gives nothing to compare.
  double BlockFactor(const TBlock& block) const {
    auto named = [](int units) { return units >= 1 && units <= 9; };
    if (!named(block.insertionUnits) || !named(dxf_.insUnits)) return 1.0;
    return DxfUnitFactor(block.insertionUnits) / DxfUnitFactor(dxf_.insUnits);
  }

  void Insert(const TEntry& entry, const DxfPlane& plane, int depth) {
    const auto found = blockByName_.find(entry.blockName);
    // Only an insert that cannot be expanded is an error; one that draws its
    // block (nested, scaled, followed by attributes, defined after use) is none.
    if (found == blockByName_.end()) {
      Notice("DXF INSERT function error: block \"" + entry.blockName +
             "\" is not defined, nothing drawn for it");
      return;
    }
    if (depth >= kMaxInsertDepth) {
      Notice("DXF INSERT nested deeper than " + std::to_string(kMaxInsertDepth) +
             " levels, not drawn: " + entry.blockName);
      return;
    }
    ++report_.insertsExpanded;
    const TBlock& block = dxf_.blocks[found->second];
    const double factor = BlockFactor(block);
    // Block coordinates relative to the block's base point, scaled, shifted to
    // their cell of a MINSERT array, rotated, then placed in the insert's plane:
    // level (mirrored as a whole when seen from below) or tilted. Every vertex
    // goes through this in full precision and is rounded once, where it is drawn.
    const double rho = entry.angle0 * kRadiansPerDegree;
    const double cosRho = std::cos(rho);
    const double sinRho = std::sin(rho);
    const double baseX = block.baseX * s_;
    const double baseY = block.baseY * s_;
    const double placeZ = entry.z * s_;
    auto place = [&](double px, double py, double cellX, double cellY) {
      const double x = (px - baseX) * factor * entry.scaleX + cellX;
      const double y = (py - baseY) * factor * entry.scaleY + cellY;
      const double planeX = x * cosRho - y * sinRho + entry.x * s_;
      const double planeY = x * sinRho + y * cosRho + entry.y * s_;
      return plane.ToWorld(planeX, planeY, placeZ);
    };
    const Affine outer = transform_;
    const double outerChordScale = chordScale_;
    chordScale_ *= std::fabs(factor) * std::max(std::fabs(entry.scaleX), std::fabs(entry.scaleY));
    const int columns = std::max(entry.columns, 1);
    const int rows = std::max(entry.rows, 1);
    bool going = true;
    for (int row = 0; row < rows && going; ++row) {
      for (int column = 0; column < columns && going; ++column) {
        const double cellX = column * entry.columnSpacing * s_;
        const double cellY = row * entry.rowSpacing * s_;
        transform_ = outer.After(Affine::Through([&](double x, double y) {
          return place(x, y, cellX, cellY);
        }));
        // Block geometry never joins a path outside its cell.
        lastEndX_.reset();
        lastEndY_.reset();
        for (const auto& child : dxf_.blockEntities[found->second]) {
          if (child.paperSpace) continue;
          if (!RenderEntity(child, depth + 1)) {
            going = false;
            break;
          }
        }
      }
    }
    transform_ = outer;
    chordScale_ = outerChordScale;
    lastEndX_.reset();
    lastEndY_.reset();
  }

  void DropTinyLastPath() {
    if (sink_.empty()) return;
    const std::size_t index = sink_.paths().size() - 1;
    if (index == knownLargePath_) return;
    const TPath& path = sink_.last();
    // Most paths show a vertex far enough from their first one within a few vertices.
    auto far = [&](const ClipperLib::IntPoint& p) {
      return std::llabs(p.X - path[1].X) > kTinyPath || std::llabs(p.Y - path[1].Y) > kTinyPath;
    };
    const auto farOff =
        std::find_if(path.begin() + std::min<std::size_t>(path.size(), 2), path.end(), far);
    if (farOff != path.end()) {
      knownLargePath_ = index;
      return;
    }
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
  ImportReport& report_;
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
  // How much the inserts around the entity being drawn enlarge it.
  double chordScale_ = 1;
  // Where the inserts around the entity being drawn put its points.
  Affine transform_;
};

}  // namespace

void TDXF::Render(bool fullQuality, const ImportOptions& options, ProgramLog& log, TPaths& paths) {
  paths.clear();
  DxfRendering rendering(*this, fullQuality, options, log, paths);
  rendering.RenderDrawing();
}

}  // namespace corvane
