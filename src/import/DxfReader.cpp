#include <charconv>
#include <cstdint>
#include <cmath>
#include <numbers>
#include <optional>
#include <unordered_map>

#include "import/DxfModel.h"
#include "model/NumberParser.h"
#include "ports/ProgramLog.h"

namespace corvane {
namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::optional<int> ToInt(std::string_view text) {
  std::string digits;
  for (const char c : text)
    if (c != ' ') digits.push_back(c);
  int value = 0;
  const char* end = digits.data() + digits.size();
  const auto [ptr, ec] = std::from_chars(digits.data(), end, value);
  if (ec != std::errc() || ptr != end || digits.empty()) return std::nullopt;
  return value;
}

bool EqualsUpper(std::string_view value, std::string_view upper) {
  value = Trimmed(value);
  if (value.size() != upper.size()) return false;
  for (std::size_t i = 0; i < value.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(value[i])) != upper[i]) return false;
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
    if (failed_) return false;
    std::string_view codeLine;
    if (!TakeLine(codeLine) || !TakeLine(value)) return false;
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
  bool IsEntityStart() const { return code == 0; }
  bool Is(int wantedCode, std::string_view upper) const {
    return code == wantedCode && EqualsUpper(value, upper);
  }
  // Passes over pairs up to the next code 0, which stays current.
  void SkipToNextEntity() {
    while (Next())
      if (code == 0) {
        Hold();
        return;
      }
  }

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
};

class DxfParsing {
 public:
  DxfParsing(TDXF& dxf, std::string_view text, ProgramLog& log)
      : dxf_(dxf), pairs_(text, dxf.lineCounter), log_(log) {}

  bool Run(std::string& error) {
    while (pairs_.Next()) {
      if (pairs_.Is(0, "EOF")) break;
      if (!pairs_.Is(0, "SECTION")) continue;
      if (!pairs_.Next() || pairs_.code != 2) break;
      const std::string_view name = Trimmed(pairs_.value);
      if (name == "HEADER") ReadHeader();
      else if (name == "CLASSES" || name == "OBJECTS") SkipSection();
      else if (name == "TABLES") ReadTables();
      else if (name == "BLOCKS") ReadBlocks();
      else if (name == "ENTITIES") ReadEntities(dxf_.entities, -1);
      else break;
    }
    error = pairs_.error;
    return error.empty();
  }

 private:
  std::optional<int> Int() {
    const auto value = ToInt(pairs_.value);
    if (!value) log_.WriteLog("DXF err int: line: " + std::to_string(dxf_.lineCounter));
    return value;
  }

  std::optional<double> Real() {
    const auto value = NumberParser::ConvertInvariant(std::string(pairs_.value));
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
          dxf_.unitsOpen = false;
        }
      } else if (name == "$MEASUREMENT") {
        if (!pairs_.Next()) return;
        if (pairs_.code != 70 || !dxf_.unitsOpen) continue;
        if (const auto measurement = Int()) dxf_.unitFactor = *measurement == 1 ? 1.0 : 25.4;
      } else if (name == "$DIMUNIT") {
        if (!pairs_.Next()) return;
        if (pairs_.code != 70) continue;
        if (const auto units = Int()) {
          if (*units == 2) dxf_.unitFactor = 1.0;
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
  // lacked a required group, which ends the section.
  bool ReadEntities(std::vector<TEntry>& list, int block) {
    constexpr std::size_t kNone = SIZE_MAX;
    std::size_t open = kNone;  // the POLYLINE or INSERT that VERTEX and SEQEND belong to
    while (pairs_.Next()) {
      if (pairs_.code != 0) continue;
      const std::string_view name = Trimmed(pairs_.value);
      if (name == "ENDSEC" || name == "ENDBLK") return true;
      const auto kind = KindOf(name);
      if (kind) {
        TEntry& entry = list.emplace_back();
        entry.kind = *kind;
        entry.block = block;
        ReadGroups(entry);
        if (!HasRequiredGroups(entry)) {
          log_.WriteLog("DXF " + std::string(name) + " without its coordinates: line: " +
                        std::to_string(dxf_.lineCounter));
          return false;
        }
        if (*kind == DxfKind::Polyline || *kind == DxfKind::Insert) open = list.size() - 1;
      } else if (name == "VERTEX" && open != kNone && list[open].kind == DxfKind::Polyline) {
        ReadVertex(list[open].vertices.emplace_back());
      } else {
        // Attributes carry text, not geometry: they never move or rescale their insert.
        if (name == "SEQEND") open = kNone;
        pairs_.SkipToNextEntity();
      }
    }
    return true;
  }

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

  static bool HasRequiredGroups(const TEntry& entry) {
    auto all = [&](std::initializer_list<int> codes) {
      for (const int code : codes)
        if (!entry.Seen(code)) return false;
      return true;
    };
    switch (entry.kind) {
      case DxfKind::Line: return all({10, 20, 11, 21});
      case DxfKind::Arc: return all({10, 20, 40, 50, 51});
      case DxfKind::Circle: return all({10, 20, 40});
      default: return true;
    }
  }

  void ReadVertex(DxfVertex& vertex) {
    while (pairs_.Next()) {
      if (pairs_.code == 0) return pairs_.Hold();
      switch (pairs_.code) {
        case 10: vertex.x = Real().value_or(vertex.x); break;
        case 20: vertex.y = Real().value_or(vertex.y); break;
        case 42: vertex.bulge = Real().value_or(vertex.bulge); break;
        case 70: vertex.flags = Int().value_or(vertex.flags); break;
        default: break;
      }
    }
  }

  void ReadGroups(TEntry& entry) {
    while (pairs_.Next()) {
      if (pairs_.code == 0) break;
      if (ReadCommonGroup(entry) || ReadKindGroup(entry)) {
        if (pairs_.code >= 0 && pairs_.code < 128) entry.seen.set(pairs_.code);
      }
    }
    pairs_.Hold();
    if (dxf_.radians) {
      constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;
      if (entry.kind == DxfKind::Arc) {
        entry.angle0 *= kDegreesPerRadian;
        entry.angle1 *= kDegreesPerRadian;
      } else if (entry.kind == DxfKind::Insert) {
        entry.angle0 *= kDegreesPerRadian;
      }
    }
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
             : code == 40 ? Store(entry.radius) : false;
      case DxfKind::Ellipse:
        return code == 10 ? Store(entry.x) : code == 20 ? Store(entry.y)
             : code == 11 ? Store(entry.x2) : code == 21 ? Store(entry.y2)
             : code == 40 ? Store(entry.radius) : code == 41 ? Store(entry.param0)
             : code == 42 ? Store(entry.param1) : false;
      case DxfKind::Polyline:
        return code == 70 ? Store(entry.flags) : false;
      case DxfKind::LwPolyline: return ReadLwPolylineGroup(entry);
      case DxfKind::Insert:
        if (code == 2) {
          entry.blockName = std::string(pairs_.value);
          return true;
        }
        return code == 10 ? Store(entry.x) : code == 20 ? Store(entry.y)
             : code == 41 ? Store(entry.scaleX) : code == 42 ? Store(entry.scaleY)
             : code == 50 ? Store(entry.angle0) : code == 70 ? Store(entry.columns)
             : code == 71 ? Store(entry.rows) : code == 44 ? Store(entry.columnSpacing)
             : code == 45 ? Store(entry.rowSpacing) : false;
      case DxfKind::Spline: return ReadSplineGroup(entry);
    }
    return false;
  }

  // Every 10 begins the next vertex, but only as many as group 90 declared;
  // the groups of a vertex beyond them are read and dropped.
  bool ReadLwPolylineGroup(TEntry& entry) {
    switch (pairs_.code) {
      case 90: return Store(entry.declaredVertices);
      case 70: return Store(entry.flags);
      case 10: {
        double x = 0;
        if (!Store(x)) return false;
        storingVertex_ = entry.vertices.size() < static_cast<std::size_t>(std::max(entry.declaredVertices, 0));
        if (storingVertex_) entry.vertices.push_back({x, 0, 0, 0});
        return true;
      }
      case 20: return StoreIntoLast(entry.vertices, &DxfVertex::y);
      case 42: return StoreIntoLast(entry.vertices, &DxfVertex::bulge);
      default: return false;
    }
  }

  template <typename Item>
  bool StoreIntoLast(std::vector<Item>& items, double Item::*member) {
    double value = 0;
    if (!Store(value)) return false;
    if (storingVertex_ && !items.empty()) items.back().*member = value;
    return true;
  }

  bool ReadSplineGroup(TEntry& entry) {
    auto fits = [](const auto& list, int declared) {
      return list.size() < static_cast<std::size_t>(std::max(declared, 0));
    };
    switch (pairs_.code) {
      case 70: return Store(entry.flags);
      case 71: return Store(entry.degree);
      case 72: return Store(entry.declaredKnots);
      case 73: return Store(entry.declaredControls);
      case 74: return Store(entry.declaredFits);
      case 40: {
        double knot = 0;
        if (!Store(knot)) return false;
        if (fits(entry.knots, entry.declaredKnots)) entry.knots.push_back(knot);
        return true;
      }
      case 10: case 11: {
        auto& list = pairs_.code == 10 ? entry.controls : entry.fits;
        const int declared = pairs_.code == 10 ? entry.declaredControls : entry.declaredFits;
        double x = 0;
        if (!Store(x)) return false;
        storingVertex_ = fits(list, declared);
        if (storingVertex_) list.push_back({x, 0});
        storingFit_ = pairs_.code == 11;
        return true;
      }
      case 20: case 21: {
        auto& list = pairs_.code == 20 ? entry.controls : entry.fits;
        double y = 0;
        if (!Store(y)) return false;
        if (storingVertex_ && storingFit_ == (pairs_.code == 21) && !list.empty()) list.back().y = y;
        return true;
      }
      default: return false;
    }
  }

  TDXF& dxf_;
  DxfPairs pairs_;
  ProgramLog& log_;
  std::unordered_map<std::string, int> blockByName_;
  bool storingVertex_ = false;
  bool storingFit_ = false;
};

}  // namespace

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
  lineCounter = 0;
  unitFactor = 1.0;
  unitCorrection = 1.0;
  unitsOpen = true;
  DxfParsing parsing(*this, text, log);
  return parsing.Run(error);
}

void TDXF::ApplyImportUnits(const ImportOptions& options) {
  SetScale(1.0);
  double unit = unitFactor;
  if (options.forceMM) unit = 1.0;
  if (options.forceInch) unit = 25.4;
  SetUnitCorrection(unit);
  SetScale(options.scaleDXF);
}

bool ReadDxf(std::string_view text, const ImportOptions& options, ProgramLog& log, TDXF& dxf,
             TPaths& paths, std::string& error) {
  dxf = TDXF();
  if (!dxf.Read(text, log, error)) return false;
  dxf.ApplyImportUnits(options);
  dxf.Render(false, options, log, paths);
  return !dxf.entities.empty();
}

}  // namespace corvane
