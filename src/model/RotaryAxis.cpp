#include "model/RotaryAxis.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace corvane {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr std::int32_t kMinimumSide = 500;
constexpr std::int32_t kMinimumRadius = 50;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// The section point of unrolled position s: the five parts of the walk round
// the section, corners by central projection from the corner's centre.
SectionPoint PointAt(std::int32_t s, std::int32_t hw, std::int32_t hh, std::int32_t w, std::int32_t h, std::int32_t r) {
  const double gx = hw - r, gy = hh - r, rr = r;
  SectionPoint p;
  if (s <= hw) {
    p = {static_cast<double>(s), static_cast<double>(hh), kPi / 2};
    if (s > gx) {
      p.theta = std::atan(rr / (s - gx));
      p.x = gx + rr * std::cos(p.theta), p.y = gy + rr * std::sin(p.theta);
    }
  } else if (s <= hw + h) {
    const double y0 = hh + hw - s;
    p = {static_cast<double>(hw), y0, 0};
    if (y0 > gy) {
      p.theta = std::atan((y0 - gy) / rr);
      p.x = gx + rr * std::cos(p.theta), p.y = gy + rr * std::sin(p.theta);
    } else if (y0 < -gy) {
      p.theta = std::atan((y0 + gy) / rr);
      p.x = gx + rr * std::cos(p.theta), p.y = rr * std::sin(p.theta) - gy;
    }
  } else if (s <= hw + h + w) {
    const double x0 = 2.0 * hw + h - s;
    p = {x0, static_cast<double>(-hh), -kPi / 2};
    if (x0 > gx) {
      p.theta = std::atan(rr / (gx - x0));
      p.x = gx + rr * std::cos(p.theta), p.y = rr * std::sin(p.theta) - gy;
    } else if (x0 < -gx) {
      p.theta = std::atan(rr / (-gx - x0)) + kPi;
      p.x = rr * std::cos(p.theta) - gx, p.y = rr * std::sin(p.theta) - gy;
    }
  } else if (s <= hw + 2 * h + w) {
    const double y0 = -hh + (s - (hw + h + w));
    p = {static_cast<double>(-hw), y0, kPi};
    if (y0 < -gy) {
      p.theta = std::atan((-gy - y0) / rr) + kPi;
      p.x = rr * std::cos(p.theta) - gx, p.y = rr * std::sin(p.theta) - gy;
    } else if (y0 > gy) {
      p.theta = std::atan((gy - y0) / rr) + kPi;
      p.x = rr * std::cos(p.theta) - gx, p.y = gy + rr * std::sin(p.theta);
    }
  } else {
    const double x0 = -hw + (s - (hw + 2 * h + w));
    p = {x0, static_cast<double>(hh), kPi / 2};
    if (x0 < -gx) {
      p.theta = std::atan(rr / (gx + x0)) + kPi;
      p.x = rr * std::cos(p.theta) - gx, p.y = gy + rr * std::sin(p.theta);
    }
  }
  return p;
}

}  // namespace

TubeGeometry LimitTube(TubeGeometry t) {
  t.diameter = std::max(t.diameter, kMinimumSide);
  t.width = std::max(t.width, kMinimumSide);
  t.height = std::max(t.height, kMinimumSide);
  t.radius = std::clamp(t.radius, kMinimumRadius, std::min(t.width, t.height) / 2);
  if (!t.pipe)
    t.diameter = static_cast<std::int32_t>(
        std::lround(std::sqrt(static_cast<double>(t.width) * t.width + static_cast<double>(t.height) * t.height)));
  return t;
}

std::int32_t TubePerimeter(const TubeGeometry& t) {
  return t.pipe ? static_cast<std::int32_t>(std::lround(t.diameter * kPi)) : 2 * t.width + 2 * t.height;
}

ProfileTable BuildProfileTable(std::int32_t w, std::int32_t h, std::int32_t r, std::int32_t aRev) {
  ProfileTable table;
  table.perimeter = 2 * w + 2 * h;
  const std::int32_t hw = w / 2, hh = h / 2;
  table.entries.resize(static_cast<std::size_t>(table.perimeter));
  table.section.resize(static_cast<std::size_t>(table.perimeter));
  table.maxHeight = std::numeric_limits<std::int32_t>::min();
  for (std::int32_t s = 0; s < table.perimeter; ++s) {
    const SectionPoint p = PointAt(s, hw, hh, w, h, r);
    const double phi = kPi / 2 - p.theta;
    ProfileEntry& e = table.entries[static_cast<std::size_t>(s)];
    e.h = static_cast<std::int32_t>(std::lround(p.x * std::cos(phi) - p.y * std::sin(phi)));
    e.z = static_cast<std::int32_t>(std::lround(p.x * std::sin(phi) + p.y * std::cos(phi)));
    e.a = static_cast<std::int32_t>(std::lround(phi * aRev / (2 * kPi)));
    table.section[static_cast<std::size_t>(s)] = p;
    table.maxHeight = std::max(table.maxHeight, e.z);
  }
  const std::int32_t step = std::max(1, table.perimeter / 100);
  for (std::int32_t s = 0; s < table.perimeter; s += step) {
    const SectionPoint& p = table.section[static_cast<std::size_t>(s)];
    table.outline.push_back({p.x / 50, p.y / 50, p.theta});
  }
  return table;
}

RotaryMapping::RotaryMapping(const TubeGeometry& tube, const ProfileTable& table, std::int32_t aRev,
                             double stepsPerUnit, std::int32_t originX)
    : tube_(tube), table_(table), aRev_(std::max(aRev, 4)), stepsPerUnit_(stepsPerUnit), originX_(originX) {}

std::int64_t RotaryMapping::Wrap(std::int64_t s) const {
  const std::int64_t period = tube_.pipe ? aRev_ : std::max(table_.perimeter, 1);
  const std::int64_t m = s % period;
  return m < 0 ? m + period : m;
}

const ProfileEntry& RotaryMapping::TableAt(std::int64_t x) const {
  static const ProfileEntry kNone;
  if (table_.entries.empty()) return kNone;
  return table_.entries[static_cast<std::size_t>(Wrap(x + originX_) % table_.perimeter)];
}

std::int64_t RotaryMapping::AWithTurns(std::int64_t a, std::int64_t x) const {
  // The same position TableAt looks up (with the project origin); a
  // revolution ends where the top-left corner meets the top face, where the
  // table's A comes back to 0.
  const std::int64_t shifted = x + originX_ + tube_.width / 2 - tube_.radius;
  const std::int64_t turns = table_.perimeter > 0 ? FloorDiv(shifted, table_.perimeter) : 0;
  if (a < 0) a += aRev_;
  return a + turns * aRev_;
}

std::int64_t RotaryMapping::QuarterIndex(std::int64_t a) const {
  return std::llround(static_cast<double>(a) / static_cast<double>(aRev_ / 4));
}

std::int64_t RotaryMapping::UnrolledInRevolution(std::int64_t a) const {
  const std::int32_t w = tube_.width, h = tube_.height, r = tube_.radius, hw = w / 2;
  const double phi = 2 * kPi * static_cast<double>(((a % aRev_) + aRev_) % aRev_) / aRev_;
  const int quarter = std::min(3, static_cast<int>(phi / (kPi / 2)));
  const double local = phi - quarter * (kPi / 2);
  const std::int64_t vertex[4] = {hw, hw + h, hw + h + w, hw + 2 * h + w};
  if (local <= kPi / 4) return vertex[quarter] - r + std::llround(r * std::tan(local)) + 0;
  return vertex[quarter] + r - std::llround(r / std::tan(local));
}

std::int64_t RotaryMapping::UnrolledX(std::int64_t machineX, std::int64_t a, bool mixXA) const {
  if (tube_.pipe) {
    if (mixXA && stepsPerUnit_ > 0) return std::llround(static_cast<double>(a) / stepsPerUnit_) - originX_;
    return machineX - originX_;
  }
  const std::int64_t quarterSteps = aRev_ / 4;
  if (a % quarterSteps == 0)
    return machineX + (a / quarterSteps) * (tube_.width / 2 + tube_.height / 2) - originX_;
  return UnrolledInRevolution(a) + FloorDiv(a, aRev_) * table_.perimeter - originX_;
}

CNCpath RotaryMapping::Densify(const CNCpath& contour) const {
  if (contour.size() < 3) return contour;
  CNCpath out{contour.front(), contour[1]};
  for (std::size_t i = 2; i < contour.size(); ++i) {
    const ContourPoint a = contour[i - 1], b = contour[i];
    const double dx = static_cast<double>(b.x) - a.x, dy = static_cast<double>(b.y) - a.y;
    if (TableAt(a.x).a != TableAt(b.x).a || std::fabs(dx) > tube_.width) {
      const double length = std::hypot(dx, dy);
      const auto samples = static_cast<std::int64_t>(length / 10);
      std::int32_t lastA = TableAt(a.x).a;
      bool previousInserted = true;
      ContourPoint previous = a;
      for (std::int64_t k = 1; k < samples; ++k) {
        const double t = static_cast<double>(k) * 10 / length;
        const ContourPoint p{static_cast<std::int32_t>(std::lround(a.x + dx * t)),
                             static_cast<std::int32_t>(std::lround(a.y + dy * t))};
        const std::int32_t sampleA = TableAt(p.x).a;
        if (sampleA != lastA) {
          if (!previousInserted && k >= 2) out.push_back(previous);
          out.push_back(p);
          lastA = sampleA;
          previousInserted = true;
        } else {
          previousInserted = false;
        }
        previous = p;
      }
    }
    out.push_back(b);
  }
  return out;
}

ProfilePlanning RotaryMapping::Planning() const {
  ProfilePlanning planning;
  planning.horizontal = [this](std::int32_t x) { return TableAt(x).h; };
  planning.densify = [this](const CNCpath& contour) { return Densify(contour); };
  return planning;
}

RotaryTarget ProfileTarget(const RotaryMapping& mapping, std::int64_t x, std::int32_t y, std::int32_t originY,
                           std::int32_t aboveSurface) {
  const ProfileEntry& e = mapping.TableAt(x);
  return {e.h, y + originY, e.z + aboveSurface, mapping.AWithTurns(e.a, x)};
}

std::int32_t ProfileLift(const RotaryMapping& mapping, const ProfileTable& table, std::int64_t firstX,
                         std::int64_t currentA, std::int32_t floatHeight) {
  const ProfileEntry& e = mapping.TableAt(firstX);
  const bool sameQuarter = mapping.QuarterIndex(mapping.AWithTurns(e.a, firstX)) == mapping.QuarterIndex(currentA);
  return (sameQuarter ? e.z : table.maxHeight) + floatHeight;
}

std::optional<std::int64_t> ShortenRotation(std::int64_t lastA, std::int64_t targetA, std::int32_t aRev) {
  if (aRev <= 0 || std::abs(targetA - lastA) <= aRev / 2) return std::nullopt;
  // As many whole revolutions as bring the label within half a turn of the
  // target: after a long pipe job A may stand several turns away.
  const std::int64_t turns = std::llround(static_cast<double>(targetA - lastA) / aRev);
  return lastA + turns * aRev;
}

std::int64_t NextEighth(std::int64_t a, std::int32_t aRev, bool up) {
  // Within 100 steps of an eighth counts as standing on it, so the
  // move always goes on to the next one, on either side of 0.
  const std::int64_t eighth = std::max(1, aRev / 8);
  if (up) return eighth * (FloorDiv(a + 100, eighth) + 1);
  return eighth * (-FloorDiv(-(a - 100), eighth) - 1);
}

std::optional<RotaryPlacement> RotaryPlacementFor(PlacementButton button, std::int32_t x, std::int32_t width,
                                                  std::int32_t laser, bool reversed) {
  const std::int32_t half = width / 2;
  RotaryPlacement p;
  switch (button) {
    case PlacementButton::LeftTop: p.logLine = "Rotary Axis correction XY--"; break;
    case PlacementButton::Left: p.logLine = "Rotary Axis correction X-"; break;
    case PlacementButton::LeftBottom: p.logLine = "Rotary Axis correction XY-"; break;
    case PlacementButton::RightTop: p.logLine = "Rotary Axis correction XY++"; break;
    case PlacementButton::Right: p.logLine = "Rotary Axis correction X+"; break;
    case PlacementButton::RightBottom: p.logLine = "Rotary Axis correction XY+"; break;
    case PlacementButton::Centre: p.logLine = "Rotary Axis correction X0"; break;
    default: return std::nullopt;
  }
  const bool left = button == PlacementButton::LeftTop || button == PlacementButton::Left ||
                    button == PlacementButton::LeftBottom;
  const bool centre = button == PlacementButton::Centre;
  if (centre) {
    p.referenceOffsetChange = reversed ? -x : x;
    p.machineX = -laser;
  } else if (left) {
    p.referenceOffsetChange = reversed ? -x - half : x + half;
    p.machineX = -half - laser;
  } else {
    p.referenceOffsetChange = reversed ? half - x : x - half;
    p.machineX = half - laser;
  }
  return p;
}

std::vector<GuidePosition> GuideLines(const TubeGeometry& tube, std::int32_t originX, std::int64_t extentX,
                                      std::int64_t startX) {
  std::vector<GuidePosition> lines;
  if (tube.pipe) {
    const std::int64_t c = TubePerimeter(tube);
    lines = {{-originX, GuideLine::Origin}, {c - originX, GuideLine::Circumference},
             {-c - originX, GuideLine::Circumference}};
    return lines;
  }
  const std::int64_t w = tube.width, h = tube.height, r = tube.radius, period = w + h;
  lines.push_back({-originX, GuideLine::Origin});
  const std::int64_t last = std::max<std::int64_t>(extentX, period) + period;
  // A job centred on the top face begins left of 0: the turn before it too.
  const std::int64_t first = startX < 0 ? -period * ((-startX + period - 1) / period) : 0;
  for (std::int64_t base = first; base <= last; base += period) {
    if (base != 0) lines.push_back({base - originX, GuideLine::Face});
    lines.push_back({base + w / 2 + h / 2 - originX, GuideLine::Face});
    for (const std::int64_t corner : {base + w / 2, base + w / 2 + h}) {
      lines.push_back({corner - originX, GuideLine::Corner});
      lines.push_back({corner - r - originX, GuideLine::CornerRadius});
      lines.push_back({corner + r - originX, GuideLine::CornerRadius});
    }
  }
  return lines;
}

}  // namespace corvane
