#include <algorithm>
#include <cctype>
#include <type_traits>
#include <cstring>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cmath>
#include <numbers>
#include <optional>
#include <unordered_map>

#include "import/DxfModel.h"
#include "import/SplineBasis.h"
#include "model/NumberParser.h"
#include "ports/ProgramLog.h"

namespace corvane {
namespace {

// Incomplete entities are logged one by one up to this many per file; a broken
// file would otherwise fill the log. The report counts them all.
constexpr std::size_t kListedProblems = 20;

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// An integer with all spaces removed. Almost every group code and integer value
// is a few digits with spaces at most around them, read here without a copy.
std::optional<int> ToInt(std::string_view text) {
  std::string_view trimmed = text;
  while (!trimmed.empty() && trimmed.front() == ' ') trimmed.remove_prefix(1);
  while (!trimmed.empty() && trimmed.back() == ' ') trimmed.remove_suffix(1);
  if (!trimmed.empty() && trimmed.size() <= 9) {
    int value = 0;
    bool digitsOnly = true;
    for (const char c : trimmed) {
      // Stop at the first other character: adding it in could overflow.
      if (c < '0' || c > '9') {
        digitsOnly = false;
        break;
      }
      value = value * 10 + (c - '0');
    }
    if (digitsOnly) return value;
  }
  int value = 0;
  std::string digits;
  for (const char c : text)
    if (c != ' ') digits.push_back(c);
  const char* digitsEnd = digits.data() + digits.size();
  const auto [ptr, ec] = std::from_chars(digits.data(), digitsEnd, value);
  if (ec != std::errc() || ptr != digitsEnd || digits.empty()) return std::nullopt;
  return value;
}

bool EqualsUpper(std::string_view value, std::string_view upper) {
  value = Trimmed(value);
  if (value.size() != upper.size()) return false;
  for (std::size_t i = 0; i < value.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(value[i])) != upper[i]) return false;
  return true;
}

std::string UnitName(int code) {
  static const char* const kNames[] = {"", "inch", "feet", "mile", "mm", "cm", "m", "km",
                                       "microinch", "mil"};
  if (code >= 0 && code <= 9) return kNames[code];
  return "unit code " + std::to_string(code);
}

const char* KindName(DxfKind kind) {
  switch (kind) {
    case DxfKind::Line: return "LINE";
    case DxfKind::Arc: return "ARC";
    case DxfKind::Circle: return "CIRCLE";
    case DxfKind::Ellipse: return "ELLIPSE";
    case DxfKind::Polyline: return "POLYLINE";
    case DxfKind::LwPolyline: return "LWPOLYLINE";
    case DxfKind::Insert: return "INSERT";
    case DxfKind::Spline: return "SPLINE";
  }
  return "";
}

constexpr std::string_view kBinarySentinel{"AutoCAD Binary DXF\r\n\x1a\0", 22};

// What a group's value is in binary DXF, by its group code.
enum class BinaryValue { Text, Real, Int16, Int32, Int64, Bool, Chunk };

BinaryValue BinaryValueOf(int code) {
  auto in = [&](int from, int to) { return code >= from && code <= to; };
  if (in(10, 59) || in(110, 149) || in(210, 239) || in(460, 469) || in(1010, 1059))
    return BinaryValue::Real;
  if (in(60, 79) || in(170, 179) || in(270, 289) || in(370, 389) || in(400, 409) ||
      in(1060, 1070))
    return BinaryValue::Int16;
  if (in(90, 99) || in(420, 429) || in(440, 459) || code == 1071) return BinaryValue::Int32;
  if (in(160, 169)) return BinaryValue::Int64;
  if (in(290, 299)) return BinaryValue::Bool;
  if (in(310, 319) || code == 1004) return BinaryValue::Chunk;
  return BinaryValue::Text;
}

template <typename T>
T LittleEndian(const unsigned char* bytes) {
  std::uint64_t value = 0;
  for (std::size_t i = sizeof(T); i-- > 0;) value = (value << 8) | bytes[i];
  if constexpr (std::is_same_v<T, double>) return std::bit_cast<double>(value);
  else return static_cast<T>(static_cast<std::make_unsigned_t<T>>(value));
}

// The group pairs of a binary DXF written out as the text form, so that one
// reader takes both. After the sentinel, group codes are 2-byte little-endian
// integers (R13 and later) or single bytes with 255 leading a 2-byte code
// (older files); each value is typed by its code. Returns false with the reason
// when the data ends inside a pair; what came before is in text.
bool BinaryDxfAsText(std::string_view data, std::string& text, std::string& error) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
  const std::size_t size = data.size();
  std::size_t at = kBinarySentinel.size();
  // The first group is code 0 (SECTION): a second zero byte shows 2-byte codes.
  const bool wideCodes = size > at + 1 && bytes[at] == 0 && bytes[at + 1] == 0;
  text.reserve(size * 2);
  char number[32];
  auto cut = [&] {
    error = "binary DXF ends inside a group at byte " + std::to_string(at);
    return false;
  };
  while (at < size) {
    int code = 0;
    if (wideCodes || bytes[at] == 255) {
      if (!wideCodes) ++at;
      if (at + 2 > size) return cut();
      code = LittleEndian<std::int16_t>(bytes + at);
      at += 2;
    } else {
      code = bytes[at++];
    }
    auto [codeEnd, codeEc] = std::to_chars(number, number + sizeof number, code);
    text.append(number, codeEnd);
    text += '\n';
    auto fixed = [&](std::size_t width) { return at + width <= size; };
    switch (BinaryValueOf(code)) {
      case BinaryValue::Text: {
        const void* end = std::memchr(bytes + at, 0, size - at);
        if (!end) return cut();
        const std::size_t length = static_cast<const unsigned char*>(end) - (bytes + at);
        text.append(data.substr(at, length));
        at += length + 1;
        break;
      }
      case BinaryValue::Real: {
        if (!fixed(8)) return cut();
        const auto [end, ec] =
            std::to_chars(number, number + sizeof number, LittleEndian<double>(bytes + at));
        text.append(number, end);
        at += 8;
        break;
      }
      case BinaryValue::Int16:
      case BinaryValue::Int32:
      case BinaryValue::Int64:
      case BinaryValue::Bool: {
        const BinaryValue kind = BinaryValueOf(code);
        const std::size_t width = kind == BinaryValue::Int16 ? 2 : kind == BinaryValue::Int32 ? 4
                                : kind == BinaryValue::Int64 ? 8 : 1;
        if (!fixed(width)) return cut();
        const std::int64_t value = width == 2 ? LittleEndian<std::int16_t>(bytes + at)
                                 : width == 4 ? LittleEndian<std::int32_t>(bytes + at)
                                 : width == 8 ? LittleEndian<std::int64_t>(bytes + at)
                                              : bytes[at];
        const auto [end, ec] = std::to_chars(number, number + sizeof number, value);
        text.append(number, end);
        at += width;
        break;
      }
      case BinaryValue::Chunk: {
        if (!fixed(1) || !fixed(1 + std::size_t{bytes[at]})) return cut();
        static constexpr char kHex[] = "0123456789ABCDEF";
        for (std::size_t i = 1; i <= bytes[at]; ++i) {
          text += kHex[bytes[at + i] >> 4];
          text += kHex[bytes[at + i] & 15];
        }
        at += 1 + std::size_t{bytes[at]};
        break;
      }
    }
    text += '\n';
  }
  return true;
}

// The group pairs of a DXF text, one at a time, with one pair of look-back.
class DxfPairs {
 public:
  DxfPairs(std::string_view text, std::size_t& lineCounter) : text_(text), lines_(lineCounter) {}

  // Advances to the next pair; false at the end of the text or on a bad group code.
  bool Next() {
    if (held_) {
      held_ = false;
      return true;
    }
    if (failed_ || ended_) return false;
    std::string_view codeLine;
    if (!TakeLine(codeLine) || !TakeLine(value)) {
      ended_ = true;
      return false;
    }
    lines_ += 2;
    const auto parsed = ToInt(codeLine);
    if (!parsed) {
      failed_ = true;
      error = "DXF group code is not an integer: line " + std::to_string(lines_ - 1);
      return false;
    }
    code = *parsed;
    return true;
  }
  // Makes the next Next() return the current pair again.
  void Hold() { held_ = true; }
  bool Is(int wantedCode, std::string_view upper) const {
    return code == wantedCode && EqualsUpper(value, upper);
  }
  // Passes over pairs up to the next code 0, which stays current. False when
  // the text ended first.
  bool SkipToNextEntity() {
    while (Next())
      if (code == 0) {
        Hold();
        return true;
      }
    return false;
  }
  // The text ran out (rather than a group code failing).
  bool ended() const { return ended_; }
  // Nothing follows the current pair.
  bool atTextEnd() const { return at_ >= text_.size(); }
  // The line of the current pair's group code.
  std::size_t line() const { return lines_ - 1; }

  int code = 0;
  std::string_view value;
  std::string error;

 private:
  bool TakeLine(std::string_view& line) {
    if (at_ >= text_.size()) return false;
    std::size_t end = text_.find('\n', at_);
    if (end == std::string_view::npos) end = text_.size();
    line = text_.substr(at_, end - at_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    at_ = end + 1;
    return true;
  }

  std::string_view text_;
  std::size_t& lines_;
  std::size_t at_ = 0;
  bool held_ = false;
  bool failed_ = false;
  bool ended_ = false;
};

class DxfParsing {
 public:
  DxfParsing(TDXF& dxf, std::string_view text, ProgramLog& log)
      : dxf_(dxf), report_(dxf.report), pairs_(text, dxf.lineCounter), log_(log) {}

  bool Run(std::string& error) {
    bool endOfFile = false;
    bool stopped = false;
    while (pairs_.Next()) {
      if (pairs_.Is(0, "EOF")) {
        endOfFile = true;
        break;
      }
      if (!pairs_.Is(0, "SECTION")) continue;
      if (!pairs_.Next()) break;
      // A section that cannot be read ends the reading; the text's last line
      // cut short only looks like one.
      if (pairs_.code != 2) {
        stopped = !pairs_.atTextEnd();
        break;
      }
      const std::string_view name = Trimmed(pairs_.value);
      if (name == "HEADER") ReadHeader();
      else if (name == "CLASSES" || name == "OBJECTS") SkipSection();
      else if (name == "TABLES") ReadTables();
      else if (name == "BLOCKS") ReadBlocks();
      else if (name == "ENTITIES") ReadEntities(dxf_.entities, -1);
      else {
        stopped = !pairs_.atTextEnd();
        break;
      }
    }
    error = pairs_.error;
    if (error.empty() && !endOfFile && !stopped) {
      report_.truncated = true;
      log_.WriteLog("DXF file truncated: it ends at line " + std::to_string(dxf_.lineCounter) +
                    " without its end-of-file mark; what it holds is drawn, the entity cut off "
                    "is not");
    }
    WriteSummaries();
    return error.empty();
  }

 private:
  std::optional<int> Int() {
    const auto value = ToInt(pairs_.value);
    if (!value) log_.WriteLog("DXF err int: line: " + std::to_string(dxf_.lineCounter));
    return value;
  }

  std::optional<double> Real() {
    // Plain decimals, nearly every value of a drawing, are read in place; the
    // shared conversion decides everything else the same way it always does.
    const std::string_view trimmed = Trimmed(pairs_.value);
    const char first = trimmed.empty() ? ' ' : trimmed[0];
    if (std::isdigit(static_cast<unsigned char>(first)) || first == '-' || first == '.') {
      double fast = 0;
      const char* end = trimmed.data() + trimmed.size();
      const auto [ptr, ec] = std::from_chars(trimmed.data(), end, fast);
      if (ec == std::errc() && ptr == end && std::isfinite(fast)) return fast;
    }
    number_.assign(pairs_.value);
    const auto value = NumberParser::ConvertInvariant(number_);
    if (!value) log_.WriteLog("DXF err real: line: " + std::to_string(dxf_.lineCounter));
    return value;
  }

  bool AtSectionEnd() const { return pairs_.code == 0 && EqualsUpper(pairs_.value, "ENDSEC"); }

  void SkipSection() {
    while (pairs_.Next())
      if (AtSectionEnd()) return;
  }

  void ReadHeader() {
    while (pairs_.Next()) {
      if (EqualsUpper(pairs_.value, "ENDSEC")) return;
      const bool variable = pairs_.code == 9;
      const std::string_view name = Trimmed(pairs_.value);
      if (name == "$DIMAUNIT") {
        if (!pairs_.Next()) return;
        if (pairs_.code == 70 && Int() == 2) dxf_.radians = true;
        continue;
      }
      if (!variable) continue;
      if (name == "$INSUNITS") {
        if (!pairs_.Next()) return;
        if (pairs_.code != 70) continue;
        if (const auto units = Int()) {
          dxf_.unitFactor = DxfUnitFactor(*units);
          dxf_.insUnits = *units;
          dxf_.unitsOpen = false;
          report_.units = UnitName(*units);
        }
      } else if (name == "$MEASUREMENT") {
        if (!pairs_.Next()) return;
        if (pairs_.code != 70 || !dxf_.unitsOpen) continue;
        if (const auto measurement = Int()) {
          dxf_.unitFactor = *measurement == 1 ? 1.0 : 25.4;
          report_.units = *measurement == 1 ? "mm" : "inch";
        }
      } else if (name == "$DIMUNIT") {
        if (!pairs_.Next()) return;
        if (pairs_.code != 70) continue;
        if (const auto units = Int()) {
          if (*units == 2) {
            dxf_.unitFactor = 1.0;
            report_.units.clear();
          }
          dxf_.unitsOpen = false;
        }
      }
    }
  }

  void ReadTables() {
    while (pairs_.Next()) {
      if (AtSectionEnd()) return;
      if (pairs_.Is(0, "LAYER")) ReadLayer();
      else if (pairs_.Is(0, "BLOCK_RECORD")) ReadBlockRecord();
    }
  }

  void ReadLayer() {
    TLayer& layer = dxf_.layers.emplace_back();
    while (pairs_.Next()) {
      if (pairs_.code == 0) return pairs_.Hold();
      if (pairs_.code == 2) layer.name = std::string(pairs_.value);
      else if (pairs_.code == 62) layer.colour = Int().value_or(layer.colour);
    }
  }

  void ReadBlockRecord() {
    TBlock& block = dxf_.blocks.emplace_back();
    dxf_.blockEntities.emplace_back();
    while (pairs_.Next()) {
      if (pairs_.code == 0) return pairs_.Hold();
      switch (pairs_.code) {
        case 2: block.name = std::string(pairs_.value); break;
        case 70: block.insertionUnits = Int().value_or(block.insertionUnits); break;
        case 280: block.explodable = Int().value_or(0) != 0; break;
        case 281: block.scalable = Int().value_or(0) != 0; break;
        case 340: block.layoutHandle = std::string(pairs_.value); break;
        default: break;
      }
    }
  }

  // The n-th BLOCK belongs to the n-th block record. Files whose records stand
  // in another order, or that have no BLOCK_RECORD table (R12), are matched by
  // name, and a block without any record gets one, so their inserts still draw.
  void ReadBlocks() {
    std::size_t n = 0;
    while (pairs_.Next()) {
      if (AtSectionEnd()) return;
      if (!pairs_.Is(0, "BLOCK")) continue;
      std::string name;
      DxfPoint base;
      while (pairs_.Next()) {
        if (pairs_.code == 0) break;
        if (pairs_.code == 2) name = std::string(pairs_.value);
        else if (pairs_.code == 10) base.x = Real().value_or(base.x);
        else if (pairs_.code == 20) base.y = Real().value_or(base.y);
      }
      if (pairs_.ended()) return;
      pairs_.Hold();
      const int index = BlockIndexFor(n++, name);
      dxf_.blocks[index].baseX = base.x;
      dxf_.blocks[index].baseY = base.y;
      if (!ReadEntities(dxf_.blockEntities[index], index)) return;
    }
  }

  int BlockIndexFor(std::size_t n, const std::string& name) {
    if (n < dxf_.blocks.size() && dxf_.blocks[n].name == name) return static_cast<int>(n);
    if (blockByName_.empty())
      for (std::size_t i = 0; i < dxf_.blocks.size(); ++i)
        blockByName_.emplace(dxf_.blocks[i].name, static_cast<int>(i));
    const auto found = blockByName_.find(name);
    if (found != blockByName_.end()) return found->second;
    dxf_.blocks.emplace_back().name = name;
    dxf_.blockEntities.emplace_back();
    const int index = static_cast<int>(dxf_.blocks.size() - 1);
    blockByName_.emplace(name, index);
    return index;
  }

  // Reads entities up to ENDSEC or ENDBLK. False when a LINE, ARC or CIRCLE
  // lacked a required group, which ends the section. An entity the text ends
  // in, before the pair that starts the next one, may lack anything and is dropped.
  bool ReadEntities(std::vector<TEntry>& list, int block) {
    constexpr std::size_t kNone = SIZE_MAX;
    std::size_t polyline = kNone;  // the POLYLINE that VERTEX and SEQEND belong to
    std::size_t polylineLine = 0;
    std::string polylineProblem;
    bool inMesh = false;           // the VERTEX and SEQEND of a skipped mesh follow
    auto closePolyline = [&] {
      if (polyline != kNone && !polylineProblem.empty()) {
        Incomplete(list[polyline], polylineLine, polylineProblem);
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(polyline));
      } else if (polyline != kNone) {
        DropSplineFrame(list[polyline]);
      }
      polyline = kNone;
      polylineProblem.clear();
    };
    while (pairs_.Next()) {
      if (pairs_.code != 0) continue;
      const std::string_view name = Trimmed(pairs_.value);
      if (name == "ENDSEC" || name == "ENDBLK") {
        closePolyline();
        return true;
      }
      const std::size_t line = pairs_.line();
      if (const auto kind = KindOf(name)) {
        closePolyline();
        inMesh = false;
        TEntry& entry = list.emplace_back();
        entry.kind = *kind;
        entry.block = block;
        if (!ReadGroups(entry)) {
          CutOff(KindName(*kind), line);
          list.pop_back();
          return true;
        }
        if (!entry.HasRequiredGroups()) {
          log_.WriteLog("DXF " + std::string(name) + " without its coordinates: line: " +
                        std::to_string(dxf_.lineCounter));
          ++report_.skipped[std::string(name) + " without its coordinates"];
          return false;
        }
        if (*kind == DxfKind::Polyline && (entry.flags & (kPolygonMesh | kPolyfaceMesh))) {
          ++report_.skipped[entry.flags & kPolyfaceMesh ? "polyface mesh" : "polygon mesh"];
          ++meshes_;
          list.pop_back();
          inMesh = true;
          continue;
        }
        if (*kind == DxfKind::Spline) FinishSpline(entry);
        if (!problem_.empty()) {
          Incomplete(entry, line, problem_);
          list.pop_back();
          continue;
        }
        if (entry.paperSpace) ++report_.skipped["paper space"];
        if (*kind == DxfKind::Polyline) {
          polyline = list.size() - 1;
          polylineLine = line;
        }
      } else if (name == "VERTEX" && (inMesh || polyline != kNone)) {
        if (inMesh) {
          if (!pairs_.SkipToNextEntity()) return true;
          continue;
        }
        DxfVertex vertex;
        if (!ReadVertex(vertex)) break;
        // A face record (128 without 64) names vertices of a polyface; it is none itself.
        if ((vertex.flags & 128) && !(vertex.flags & 64)) continue;
        if (!problem_.empty() && polylineProblem.empty()) polylineProblem = problem_;
        list[polyline].vertices.push_back(vertex);
      } else {
        if (name == "SEQEND") {
          closePolyline();
          inMesh = false;
        } else if (name != "VERTEX") {
          // Attributes carry text, not geometry: they never move or rescale their insert.
          ++report_.skipped[std::string(name)];
        }
        if (!pairs_.SkipToNextEntity()) break;
      }
    }
    // The text ended inside the section: a polyline still waiting for its
    // SEQEND may miss vertices.
    if (polyline != kNone) {
      CutOff("POLYLINE", polylineLine);
      list.erase(list.begin() + static_cast<std::ptrdiff_t>(polyline));
    }
    return true;
  }

  // A spline-fit POLYLINE holds the curve fitted through its frame (vertices
  // flagged 8) and the frame's control points (flagged 16): only the curve is
  // drawn. One that holds no fitted vertex keeps its frame, the only shape it has.
  static void DropSplineFrame(TEntry& entry) {
    constexpr int kSplineFit = 4, kFittedVertex = 8, kFrameVertex = 16;
    auto& v = entry.vertices;
    if (!(entry.flags & kSplineFit) ||
        std::none_of(v.begin(), v.end(), [](const DxfVertex& x) { return x.flags & kFittedVertex; }))
      return;
    std::erase_if(v, [](const DxfVertex& x) { return (x.flags & kFrameVertex) != 0; });
  }

  static constexpr int kPolygonMesh = 16;
  static constexpr int kPolyfaceMesh = 64;

  static std::optional<DxfKind> KindOf(std::string_view name) {
    static const std::unordered_map<std::string_view, DxfKind> kinds{
        {"LINE", DxfKind::Line},         {"ARC", DxfKind::Arc},
        {"CIRCLE", DxfKind::Circle},     {"ELLIPSE", DxfKind::Ellipse},
        {"POLYLINE", DxfKind::Polyline}, {"LWPOLYLINE", DxfKind::LwPolyline},
        {"INSERT", DxfKind::Insert},     {"SPLINE", DxfKind::Spline}};
    const auto found = kinds.find(name);
    if (found == kinds.end()) return std::nullopt;
    return found->second;
  }

  // The first reason why the entity being read cannot be drawn as the file meant it.
  void Problem(const std::string& reason) {
    if (problem_.empty()) problem_ = reason;
  }

  void Incomplete(const TEntry& entry, std::size_t line, const std::string& reason) {
    ++report_.skipped[std::string(KindName(entry.kind)) + " (incomplete)"];
    if (++problemsListed_ <= kListedProblems)
      log_.WriteLog("DXF " + std::string(KindName(entry.kind)) + " not drawn: " + reason +
                    " (line " + std::to_string(line) + ")");
  }

  void CutOff(const char* kind, std::size_t line) {
    ++report_.skipped[std::string(kind) + " (cut off)"];
    log_.WriteLog("DXF " + std::string(kind) + " not drawn: the file ends inside it (line " +
                  std::to_string(line) + ")");
  }

  void WriteSummaries() {
    if (meshes_ > 0)
      log_.WriteLog("DXF: " + std::to_string(meshes_) +
                    " mesh POLYLINE(s) skipped: polyface and polygon meshes are surfaces, "
                    "not contours");
    if (problemsListed_ > kListedProblems)
      log_.WriteLog("DXF: " + std::to_string(problemsListed_ - kListedProblems) +
                    " more incomplete entities not drawn");
  }

  // Reads the vertex's groups. False when the text ended inside it.
  bool ReadVertex(DxfVertex& vertex) {
    problem_.clear();
    bool x = false, y = false;
    while (pairs_.Next()) {
      if (pairs_.code == 0) {
        pairs_.Hold();
        if (!x || !y) Problem("a vertex without its X or Y");
        return true;
      }
      switch (pairs_.code) {
        case 10: x = StoreCoordinate(vertex.x, "a vertex X that is no number"); break;
        case 20: y = StoreCoordinate(vertex.y, "a vertex Y that is no number"); break;
        case 42: vertex.bulge = Real().value_or(vertex.bulge); break;
        case 70: vertex.flags = Int().value_or(vertex.flags); break;
        default: break;
      }
    }
    return false;
  }

  // Reads the entity's groups. False when the text ended inside it.
  bool ReadGroups(TEntry& entry) {
    problem_.clear();
    pending_[0] = pending_[1] = false;
    storingVertex_ = storingFit_ = false;
    tangents_[0].reset();
    tangents_[1].reset();
    bool whole = false;
    while (pairs_.Next()) {
      if (pairs_.code == 0) {
        whole = true;
        break;
      }
      if (ReadCommonGroup(entry) || ReadKindGroup(entry)) {
        if (pairs_.code >= 0 && pairs_.code < 128) entry.seen.set(pairs_.code);
      }
    }
    if (!whole) return false;
    pairs_.Hold();
    if (pending_[0] || pending_[1]) Problem("a point without its Y");
    CheckCounts(entry);
    if (dxf_.radians) {
      constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;
      if (entry.kind == DxfKind::Arc) {
        entry.angle0 *= kDegreesPerRadian;
        entry.angle1 *= kDegreesPerRadian;
      } else if (entry.kind == DxfKind::Insert) {
        entry.angle0 *= kDegreesPerRadian;
      }
    }
    return true;
  }

  // What an entity declares it holds, and the groups it cannot be drawn without.
  void CheckCounts(const TEntry& entry) {
    auto missing = [&](std::initializer_list<int> codes) {
      for (const int code : codes)
        if (!entry.Seen(code)) return true;
      return false;
    };
    switch (entry.kind) {
      case DxfKind::LwPolyline:
        if (entry.vertices.size() < static_cast<std::size_t>(std::max(entry.declaredVertices, 0)))
          Problem("declares " + std::to_string(entry.declaredVertices) + " vertices, holds " +
                  std::to_string(entry.vertices.size()));
        break;
      case DxfKind::Ellipse:
        if (missing({10, 20, 11, 21, 40})) Problem("centre, axis or ratio missing");
        break;
      case DxfKind::Insert:
        if (missing({10, 20})) Problem("insertion point missing");
        break;
      case DxfKind::Spline: {
        auto short_ = [&](std::size_t held, int declared, const char* what) {
          if (held < static_cast<std::size_t>(std::max(declared, 0)))
            Problem("declares " + std::to_string(declared) + " " + what + ", holds " +
                    std::to_string(held));
        };
        short_(entry.controls.size(), entry.declaredControls, "control points");
        short_(entry.knots.size(), entry.declaredKnots, "knots");
        short_(entry.fits.size(), entry.declaredFits, "fit points");
        break;
      }
      default: break;
    }
  }

  // A spline's control points must match its knots (one knot more than the
  // degree for each) and its weights, or parts of the curve would be missing
  // and fall towards the origin. One given only by fit points gets a curve
  // through them.
  void FinishSpline(TEntry& entry) {
    if (!problem_.empty()) return;
    if (entry.degree < 0 || entry.degree > SplineBasis::kMaxDegree)
      return Problem("degree " + std::to_string(entry.degree));
    if (entry.controls.empty()) {
      if (entry.fits.size() < 2) return Problem("neither control points nor 2 fit points");
      const DxfPoint* start = tangents_[0] ? &*tangents_[0] : nullptr;
      const DxfPoint* end = tangents_[1] ? &*tangents_[1] : nullptr;
      std::vector<DxfPoint> fits = entry.fits;
      // A closed curve through fit points returns to its first one.
      if ((entry.flags & 1) && (fits.front().x != fits.back().x || fits.front().y != fits.back().y))
        fits.push_back(fits.front());
      if (!SplineThroughPoints(fits, start, end, entry.degree, entry.knots, entry.controls))
        return Problem("its fit points span no curve");
      entry.fits.clear();
      entry.weights.clear();
      return;
    }
    const std::size_t degree = static_cast<std::size_t>(std::max(entry.degree, 0));
    if (entry.knots.size() != entry.controls.size() + degree + 1)
      return Problem(std::to_string(entry.knots.size()) + " knots for " +
                     std::to_string(entry.controls.size()) + " control points of degree " +
                     std::to_string(entry.degree));
    if (!entry.weights.empty() && entry.weights.size() != entry.controls.size())
      return Problem(std::to_string(entry.weights.size()) + " weights for " +
                     std::to_string(entry.controls.size()) + " control points");
    for (const double weight : entry.weights)
      if (!(weight > 0)) return Problem("a weight that is not positive");
  }

  // Stores a real or integer group into target; true when it parsed.
  bool Store(double& target) {
    const auto value = Real();
    if (value) target = *value;
    return value.has_value();
  }
  bool Store(int& target) {
    const auto value = Int();
    if (value) target = *value;
    return value.has_value();
  }
  // A coordinate that does not parse leaves a point that would be made up.
  bool StoreCoordinate(double& target, const char* problem) {
    if (Store(target)) return true;
    Problem(problem);
    return false;
  }

  bool ReadCommonGroup(TEntry& entry) {
    switch (pairs_.code) {
      case 8: entry.layer = std::string(pairs_.value); return true;
      case 62: return Store(entry.colour);
      case 67: {
        int flag = 0;
        if (!Store(flag)) return false;
        entry.paperSpace = flag != 0;
        return true;
      }
      case 210: return Store(entry.extrusionX);
      case 220: return Store(entry.extrusionY);
      case 230: return Store(entry.extrusionZ);
      default: return false;
    }
  }

  bool ReadKindGroup(TEntry& entry) {
    const int code = pairs_.code;
    switch (entry.kind) {
      case DxfKind::Line:
        return code == 10 ? Store(entry.x) : code == 20 ? Store(entry.y)
             : code == 11 ? Store(entry.x2) : code == 21 ? Store(entry.y2) : false;
      case DxfKind::Arc:
        if (code == 50) return Store(entry.angle0);
        if (code == 51) return Store(entry.angle1);
        [[fallthrough]];
      case DxfKind::Circle:
        return code == 10 ? Store(entry.x) : code == 20 ? Store(entry.y)
             : code == 30 ? Store(entry.z) : code == 40 ? Store(entry.radius) : false;
      case DxfKind::Ellipse:
        return code == 10 ? Store(entry.x) : code == 20 ? Store(entry.y)
             : code == 11 ? Store(entry.x2) : code == 21 ? Store(entry.y2)
             : code == 31 ? Store(entry.z2)
             : code == 40 ? Store(entry.radius) : code == 41 ? Store(entry.param0)
             : code == 42 ? Store(entry.param1) : false;
      case DxfKind::Polyline:
        return code == 70 ? Store(entry.flags) : code == 30 ? Store(entry.z) : false;
      case DxfKind::LwPolyline: return ReadLwPolylineGroup(entry);
      case DxfKind::Insert:
        if (code == 2) {
          entry.blockName = std::string(pairs_.value);
          return true;
        }
        return code == 10 ? Store(entry.x) : code == 20 ? Store(entry.y)
             : code == 30 ? Store(entry.z) : code == 41 ? Store(entry.scaleX)
             : code == 42 ? Store(entry.scaleY) : code == 50 ? Store(entry.angle0)
             : code == 70 ? Store(entry.columns) : code == 71 ? Store(entry.rows)
             : code == 44 ? Store(entry.columnSpacing)
             : code == 45 ? Store(entry.rowSpacing) : false;
      case DxfKind::Spline: return ReadSplineGroup(entry);
    }
    return false;
  }

  // Starts a point of list `which` (0 vertices or control points, 1 fit points)
  // from its X; a point whose Y never comes makes the entity incomplete.
  template <typename Item>
  bool StartPoint(std::vector<Item>& items, int declared, int which) {
    double x = 0;
    if (pending_[which]) Problem("a point without its Y");
    pending_[which] = false;
    if (!StoreCoordinate(x, "an X that is no number")) return false;
    storingVertex_ = items.size() < static_cast<std::size_t>(std::max(declared, 0));
    storingFit_ = which == 1;
    if (storingVertex_) {
      items.push_back({});
      items.back().x = x;
      pending_[which] = true;
    }
    return true;
  }

  template <typename Item>
  bool StoreIntoLast(std::vector<Item>& items, double Item::*member, bool isY, int which) {
    double value = 0;
    if (!StoreCoordinate(value, isY ? "a Y that is no number" : "a value that is no number"))
      return false;
    if (storingVertex_ && storingFit_ == (which == 1) && !items.empty()) {
      items.back().*member = value;
      if (isY) pending_[which] = false;
    }
    return true;
  }

  // Every 10 begins the next vertex, but only as many as group 90 declared;
  // the groups of a vertex beyond them are read and dropped.
  bool ReadLwPolylineGroup(TEntry& entry) {
    switch (pairs_.code) {
      case 90: return Store(entry.declaredVertices);
      case 70: return Store(entry.flags);
      case 38: return Store(entry.z);
      case 10: return StartPoint(entry.vertices, entry.declaredVertices, 0);
      case 20: return StoreIntoLast(entry.vertices, &DxfVertex::y, true, 0);
      case 42: return StoreIntoLast(entry.vertices, &DxfVertex::bulge, false, 0);
      default: return false;
    }
  }

  bool ReadSplineGroup(TEntry& entry) {
    auto room = [](const auto& list, int declared) {
      return list.size() < static_cast<std::size_t>(std::max(declared, 0));
    };
    switch (pairs_.code) {
      case 70: return Store(entry.flags);
      case 71: return Store(entry.degree);
      case 72: return Store(entry.declaredKnots);
      case 73: return Store(entry.declaredControls);
      case 74: return Store(entry.declaredFits);
      case 40: case 41: {
        const bool knot = pairs_.code == 40;
        auto& list = knot ? entry.knots : entry.weights;
        double value = 0;
        if (!StoreCoordinate(value, knot ? "a knot that is no number"
                                         : "a weight that is no number"))
          return false;
        // Weights stand one for each control point, in their order.
        if (room(list, knot ? entry.declaredKnots : entry.declaredControls))
          list.push_back(value);
        return true;
      }
      case 10: return StartPoint(entry.controls, entry.declaredControls, 0);
      case 11: return StartPoint(entry.fits, entry.declaredFits, 1);
      case 20: return StoreIntoLast(entry.controls, &DxfPoint::y, true, 0);
      case 21: return StoreIntoLast(entry.fits, &DxfPoint::y, true, 1);
      case 12: case 13: case 22: case 23: {
        double value = 0;
        if (!Store(value)) return false;
        auto& tangent = tangents_[pairs_.code % 10 == 2 ? 0 : 1];
        if (!tangent) tangent = DxfPoint{};
        (pairs_.code < 20 ? tangent->x : tangent->y) = value;
        return true;
      }
      default: return false;
    }
  }

  TDXF& dxf_;
  ImportReport& report_;
  DxfPairs pairs_;
  ProgramLog& log_;
  std::unordered_map<std::string, int> blockByName_;
  std::string number_;
  // State of the entity being read.
  std::string problem_;
  bool pending_[2] = {false, false};
  bool storingVertex_ = false;
  bool storingFit_ = false;
  std::optional<DxfPoint> tangents_[2];  // 12/22 at the start, 13/23 at the end
  // Over the whole file.
  std::size_t meshes_ = 0;
  std::size_t problemsListed_ = 0;
};

}  // namespace

bool TEntry::HasRequiredGroups() const {
  auto all = [&](std::initializer_list<int> codes) {
    for (const int code : codes)
      if (!Seen(code)) return false;
    return true;
  };
  switch (kind) {
    case DxfKind::Line: return all({10, 20, 11, 21});
    case DxfKind::Arc: return all({10, 20, 40, 50, 51});
    case DxfKind::Circle: return all({10, 20, 40});
    default: return true;
  }
}

double DxfUnitFactor(int unitCode) {
  switch (unitCode) {
    case 1: return 25.4;
    case 2: return 304.8;
    case 3: return 1609344.0;
    case 5: return 10.0;
    case 6: return 1000.0;
    case 7: return 1000000.0;
    case 8: return 0.0000254;
    case 9: return 0.0254;
    default: return 1.0;
  }
}

bool TDXF::Read(std::string_view text, ProgramLog& log, std::string& error) {
  *this = TDXF();
  if (text.starts_with(kBinarySentinel)) {
    // Read as its text form; line numbers in messages count lines of that form.
    std::string converted;
    std::string cut;
    if (!BinaryDxfAsText(text, converted, cut)) log.WriteLog("DXF: " + cut);
    report.notes.push_back("binary DXF");
    DxfParsing parsing(*this, converted, log);
    return parsing.Run(error);
  }
  DxfParsing parsing(*this, text, log);
  return parsing.Run(error);
}

void TDXF::ApplyImportUnits(const ImportOptions& options) {
  SetScale(1.0);
  double unit = unitFactor;
  if (options.forceMM) unit = 1.0;
  if (options.forceInch) unit = 25.4;
  // The import window applies its unit boxes again whenever they change: one note, the latest.
  constexpr std::string_view kForced = "units forced to ";
  std::erase_if(report.notes, [&](const std::string& note) { return note.starts_with(kForced); });
  if (options.forceMM || options.forceInch)
    report.notes.push_back(std::string(kForced) + (options.forceInch ? "inch" : "mm"));
  SetUnitCorrection(unit);
  SetScale(options.scaleDXF);
}

bool ReadDxf(std::string_view text, const ImportOptions& options, ProgramLog& log, TDXF& dxf,
             TPaths& paths, std::string& error, bool fullQuality) {
  dxf = TDXF();
  if (!dxf.Read(text, log, error)) return false;
  dxf.ApplyImportUnits(options);
  dxf.Render(fullQuality, options, log, paths);
  if (dxf.report.truncated)
    error = "DXF file truncated: it ends at line " + std::to_string(dxf.lineCounter) +
            " without its end-of-file mark";
  return !dxf.entities.empty();
}

}  // namespace corvane
