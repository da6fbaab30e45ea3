#pragma once
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "model/ViewTransform.h"

namespace corvane {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The colours the path view uses.
namespace colours {
inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kSilver{192, 192, 192};
inline constexpr Rgb kGrey{128, 128, 128};
inline constexpr Rgb kBlue{0, 0, 255};
inline constexpr Rgb kNavy{0, 0, 128};
inline constexpr Rgb kPurple{128, 0, 128};
inline constexpr Rgb kGreen{0, 255, 0};
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kOrange{255, 128, 0};
inline constexpr Rgb kSkyBlue{166, 202, 240};      // frames and the slow-but-rising speed band
inline constexpr Rgb kFrameBackground{240, 246, 252};
}  // namespace colours

// A line's pattern beyond `dashed` (dashes): dash-dot, the rotary guide lines'.
enum class LineStyle : std::uint8_t { Solid, DashDot };

// A line through pixels; closed polygons repeat their first point.
struct DisplayPolyline {
  std::vector<ScreenPoint> points;
  Rgb colour;
  int width = 1;
  bool dashed = false;
  LineStyle style = LineStyle::Solid;  // DashDot wins over `dashed`
  friend bool operator==(const DisplayPolyline&, const DisplayPolyline&) = default;
};

// A polygon filled with one colour and outlined with another.
struct DisplayPolygon {
  std::vector<ScreenPoint> points;
  Rgb fill;
  Rgb outline;
  friend bool operator==(const DisplayPolygon&, const DisplayPolygon&) = default;
};

struct DisplayDot {
  ScreenPoint centre;
  int diameter = 4;
  Rgb colour;
  friend bool operator==(const DisplayDot&, const DisplayDot&) = default;
};

struct DisplayText {
  ScreenPoint at;  // left end of the baseline
  std::string text;
  Rgb colour;
  int pointSize = 14;
  friend bool operator==(const DisplayText&, const DisplayText&) = default;
};

using DisplayItem = std::variant<DisplayPolygon, DisplayPolyline, DisplayDot, DisplayText>;

// A picture of the job: items painted in order onto a white background.
struct DisplayList {
  Rgb background = colours::kWhite;
  std::vector<DisplayItem> items;
  friend bool operator==(const DisplayList&, const DisplayList&) = default;
};

}  // namespace corvane
