#include "viewer3d/ThreeDModel.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <numbers>
#include <optional>

namespace corvane {
namespace {

constexpr std::size_t kShownLineChars = 40;

std::string_view Trimmed(std::string_view text) {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

std::string Shown(std::string_view line) {
  std::string shown(line.substr(0, kShownLineChars));
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f) c = '?';
  return line.size() > kShownLineChars ? shown + "..." : shown;
}

std::string Quoted(std::string_view text) {
  std::string quoted(1, '"');
  quoted += Shown(text);
  quoted += '"';
  return quoted;
}

class Reader {
 public:
  explicit Reader(const ThreeDLimits& limits) : limits_(limits) {}

  ThreeDReadResult Read(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && error_.empty()) {
      const std::size_t end = text.find('\n', start);
      const bool cut = end == std::string_view::npos;
      const std::string_view line = Trimmed(text.substr(start, cut ? std::string_view::npos : end - start));
      ++lineNumber_;
      Line(line, cut);
      start = cut ? text.size() : end + 1;
    }
    if (error_.empty() && expecting_ != Expecting::Nothing)
      Fail(std::string("the file ends before the ") + (expecting_ == Expecting::Thickness ? "thickness of its last part"
                                                                                        : "dimensions of its tube"));
    if (error_.empty() && model_.kind == ThreeDKind::Plate && model_.Contours().empty())
      error_ = text.empty() ? "the file is empty" : "the file holds no contours";
    ThreeDReadResult result;
    result.ok = error_.empty();
    result.error = error_;
    if (result.ok) result.model = std::move(model_);
    return result;
  }

 private:
  enum class Expecting { Nothing, Thickness, PipeLine, ProfileLine };

  void Fail(const std::string& message) {
    if (error_.empty()) error_ = lineNumber_ ? "line " + std::to_string(lineNumber_) + ": " + message : message;
  }

  std::optional<long long> Number(std::string_view word, long long low) {
    long long value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size()) {
      Fail(Quoted(word) + " is not a whole number");
      return std::nullopt;
    }
    if (value < low || value > limits_.maxCoordinate) {
      Fail(std::to_string(value) + " lies outside " + std::to_string(low) + " ... " +
           std::to_string(limits_.maxCoordinate));
      return std::nullopt;
    }
    return value;
  }

  // The numbers of a header line, optionally followed by its closing "y".
  std::optional<std::vector<long long>> Numbers(std::string_view line, std::size_t count, const char* what) {
    std::vector<std::string_view> words = Words(line);
    if (!words.empty() && words.back() == "y") words.pop_back();
    if (words.size() != count) {
      Fail(std::string("expected ") + what + ", found " + Quoted(line));
      return std::nullopt;
    }
    std::vector<long long> values;
    for (const std::string_view word : words) {
      const auto value = Number(word, -limits_.maxCoordinate);
      if (!value) return std::nullopt;
      values.push_back(*value);
    }
    return values;
  }

  void Line(std::string_view line, bool cut) {
    switch (expecting_) {
      case Expecting::Thickness: return Thickness(line);
      case Expecting::PipeLine: return PipeLine(line);
      case Expecting::ProfileLine: return ProfileLine(line);
      case Expecting::Nothing: break;
    }
    if (line.empty()) {
      contour_ = nullptr;
    } else if (line == "plate") {
      model_.parts.emplace_back();
      contour_ = nullptr;
      expecting_ = Expecting::Thickness;
    } else if (line == "outer") {
      if (model_.parts.empty() || !model_.parts.back().outer.empty() || outerGiven_)
        return Fail("\"outer\" without a \"plate\" line of its own before it");
      outerGiven_ = true;
      contour_ = &model_.parts.back().outer;
    } else if (line == "inner") {
      if (model_.parts.empty()) model_.parts.emplace_back().thickness = model_.thickness;
      if (++contours_ > limits_.maxContours)
        return Fail("more than " + std::to_string(limits_.maxContours) + " contours");
      contour_ = &model_.parts.back().inners.emplace_back();
    } else if (line == "pipe" || line == "profile") {
      if (headerSeen_ || !model_.parts.empty()) return Fail(Quoted(line) + " after the start of the file");
      headerSeen_ = true;
      model_.kind = line == "pipe" ? ThreeDKind::Pipe : ThreeDKind::Profile;
      expecting_ = line == "pipe" ? Expecting::PipeLine : Expecting::ProfileLine;
    } else {
      Point(line, cut);
    }
  }

  void Point(std::string_view line, bool cut) {
    if (!contour_) return Fail("unexpected line " + Quoted(line));
    // The writer ends every line; a point line without its end was cut off and may have lost digits.
    if (cut) return Fail("the file ends inside this line (cut short?)");
    const std::vector<std::string_view> words = Words(line);
    if (words.size() != 2) return Fail("expected a point \"X Y\", found " + Quoted(line));
    const auto x = Number(words[0], -limits_.maxCoordinate);
    const auto y = x ? Number(words[1], -limits_.maxCoordinate) : std::nullopt;
    if (!y) return;
    if (++points_ > limits_.maxPoints) return Fail("more than " + std::to_string(limits_.maxPoints) + " points");
    contour_->push_back({*x, *y});
  }

  void Thickness(std::string_view line) {
    expecting_ = Expecting::Nothing;
    outerGiven_ = false;
    const auto values = Numbers(line, 1, "the part's thickness");
    if (!values) return;
    // A negative thickness field draws a flat part rather than an inside-out one.
    const long long thickness = std::max(0LL, values->front());
    model_.parts.back().thickness = thickness;
    if (model_.parts.size() == 1) model_.thickness = thickness;
  }

  void PipeLine(std::string_view line) {
    expecting_ = Expecting::Nothing;
    const auto values = Numbers(line, 3, "the pipe's \"thickness length radius y\"");
    if (!values) return;
    model_.thickness = std::max(0LL, (*values)[0]);
    model_.length = (*values)[1];
    model_.radius = (*values)[2];
    if (model_.length <= 0 || model_.radius <= 0) Fail("the pipe's length and radius must be above 0");
  }

  void ProfileLine(std::string_view line) {
    expecting_ = Expecting::Nothing;
    const auto values = Numbers(line, 5, "the profile's \"thickness length width height radius y\"");
    if (!values) return;
    model_.thickness = std::max(0LL, (*values)[0]);
    model_.length = (*values)[1];
    model_.width = (*values)[2];
    model_.height = (*values)[3];
    if (model_.length <= 0 || model_.width <= 0 || model_.height <= 0)
      return Fail("the profile's length, width and height must be above 0");
    model_.cornerRadius = std::clamp((*values)[4], 0LL, std::min(model_.width, model_.height) / 2);
  }

  const ThreeDLimits& limits_;
  ThreeDModel model_;
  std::string error_;
  std::size_t lineNumber_ = 0, points_ = 0, contours_ = 0;
  Expecting expecting_ = Expecting::Nothing;
  ThreeDContour* contour_ = nullptr;
  bool headerSeen_ = false, outerGiven_ = false;
};

}  // namespace

std::vector<const ThreeDContour*> ThreeDModel::Contours() const {
  std::vector<const ThreeDContour*> contours;
  for (const ThreeDPart& part : parts) {
    if (!part.outer.empty()) contours.push_back(&part.outer);
    for (const ThreeDContour& inner : part.inners)
      if (!inner.empty()) contours.push_back(&inner);
  }
  return contours;
}

std::size_t ThreeDModel::PointCount() const {
  std::size_t count = 0;
  for (const ThreeDContour* contour : Contours()) count += contour->size();
  return count;
}

ThreeDReadResult ParseThreeDText(std::string_view text, const ThreeDLimits& limits) {
  if (text.size() > limits.maxFileBytes) {
    ThreeDReadResult result;
    result.error = "the file is larger than " + std::to_string(limits.maxFileBytes >> 20) + " MB";
    return result;
  }
  return Reader(limits).Read(text);
}

ThreeDReadResult ReadThreeDFile(const std::string& path, const ThreeDLimits& limits) {
  ThreeDReadResult result;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    result.error = "cannot open " + path;
    return result;
  }
  // Read in slices up to one byte past the limit: enough to tell a too large file without reading it all.
  std::string text;
  constexpr std::size_t kSlice = 1u << 20;
  while (in && text.size() <= limits.maxFileBytes) {
    const std::size_t had = text.size();
    text.resize(had + std::min(kSlice, limits.maxFileBytes + 1 - had));
    in.read(text.data() + had, static_cast<std::streamsize>(text.size() - had));
    text.resize(had + static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) {
    result.error = "cannot read " + path;
    return result;
  }
  result = ParseThreeDText(text, limits);
  if (!result.ok) result.error = path + ": " + result.error;
  return result;
}

double TubePerimeter(const ThreeDModel& tube) {
  if (tube.kind == ThreeDKind::Pipe) return 2 * std::numbers::pi * static_cast<double>(tube.radius);
  return 2.0 * static_cast<double>(tube.width + tube.height);
}

SectionPoint TubeSectionAt(const ThreeDModel& tube, double s, double inset) {
  const double perimeter = TubePerimeter(tube);
  SectionPoint point;
  if (perimeter <= 0) return point;
  s = std::fmod(s, perimeter);
  if (s < 0) s += perimeter;
  if (tube.kind == ThreeDKind::Pipe) {
    const double angle = s / static_cast<double>(tube.radius);
    const double r = static_cast<double>(tube.radius) - inset;
    point = {r * std::sin(angle), r * std::cos(angle), std::numbers::pi / 2 - angle};
    return point;
  }
  // Walk the sharp rectangle clockwise from the top face's middle.
  const double hw = static_cast<double>(tube.width) / 2, hh = static_cast<double>(tube.height) / 2;
  const double w = 2 * hw, h = 2 * hh;
  double x = 0, y = 0, normal = 0;
  if (s <= hw) {
    x = s, y = hh, normal = std::numbers::pi / 2;
  } else if (s <= hw + h) {
    x = hw, y = hh - (s - hw), normal = 0;
  } else if (s <= hw + h + w) {
    x = hw - (s - hw - h), y = -hh, normal = -std::numbers::pi / 2;
  } else if (s <= hw + 2 * h + w) {
    x = -hw, y = -hh + (s - hw - h - w), normal = std::numbers::pi;
  } else {
    x = -hw + (s - hw - 2 * h - w), y = hh, normal = std::numbers::pi / 2;
  }
  // In a corner the point is projected from the corner's centre onto its arc.
  const double r = static_cast<double>(tube.cornerRadius);
  const double gx = hw - r, gy = hh - r;
  if (r > 0 && std::abs(x) > gx && std::abs(y) > gy) {
    const double cx = std::copysign(gx, x), cy = std::copysign(gy, y);
    normal = std::atan2(y - cy, x - cx);
    x = cx + r * std::cos(normal);
    y = cy + r * std::sin(normal);
  }
  point = {x - inset * std::cos(normal), y - inset * std::sin(normal), normal};
  return point;
}

}  // namespace corvane
