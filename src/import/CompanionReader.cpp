#include "import/CompanionReader.h"

#include <cmath>
#include <optional>
#include <pugixml.hpp>
#include <unordered_map>

#include "import/ArcFlattening.h"
#include "model/NumberParser.h"
#include "ports/ProgramLog.h"

namespace corvane {
namespace {

// Vertex numbers above this are refused: numbers that large are no drawing's, and
// the parser clamps still larger texts to the int32 limit, which must not alias a vertex.
constexpr std::int32_t kMaxVertexNumber = 100'000'000;

struct CompanionVertex {
  std::int64_t x = 0;  // 0.01 mm
  std::int64_t y = 0;
  std::int64_t layer = 0;
};

class CompanionReading {
 public:
  CompanionReading(const ImportOptions& options, const NumberParser& parser, ProgramLog& log,
                   TPaths& paths)
      : options_(options), parser_(parser), log_(log), sink_(paths) {}

  void Element(const pugi::xml_node& node) {
    if (sink_.exhausted()) return;
    const std::string_view name = node.name();
    if (name == "vertex") Vertex(node);
    else if (name == "edge") Edge(node);
  }

  bool Finish() {
    if (sink_.exhausted()) log_.WriteLog(sink_.BudgetMessage("2D"));
    return !sink_.empty();
  }

 private:
  void Vertex(const pugi::xml_node& node) {
    const std::int32_t number = parser_.ParseInt1(node.attribute("name").value());
    if (number < 0 || number > kMaxVertexNumber) {
      log_.WriteLog("2D: vertex number out of range, skipped: " + std::to_string(number));
      return;
    }
    const auto layer = node.attribute("layer");
    if (layer) lastLayer_ = parser_.ParseInt1(layer.value());
    const double x = parser_.ParseFloat(node.attribute("x").value());
    const double y = parser_.ParseFloat(node.attribute("y").value());
    vertices_[number] = {ToImportUnits(x * 10), ToImportUnits(y * 10), lastLayer_};
    tableSize_ = std::max(tableSize_, static_cast<std::int64_t>(number) + 1);
  }

  std::optional<CompanionVertex> Lookup(std::int32_t number) {
    if (number < 0 || number >= tableSize_) {
      log_.WriteLog("2D: edge names vertex " + std::to_string(number) +
                    " beyond the vertex table, skipped");
      return std::nullopt;
    }
    const auto found = vertices_.find(number);
    return found == vertices_.end() ? CompanionVertex{} : found->second;
  }

  void Edge(const pugi::xml_node& node) {
    const std::string_view type = node.attribute("type").value();
    const bool linear = std::string_view(node.attribute("linear").value()) == "true";
    const std::int32_t n1 = parser_.ParseInt1(node.attribute("v1").value());
    const std::int32_t n2 = parser_.ParseInt1(node.attribute("v2").value());
    const bool straight = type == "line" || linear;
    if (!straight && type != "arc" && type != "circle") return;
    const auto v1 = Lookup(n1);
    const auto v2 = v1 ? Lookup(n2) : std::nullopt;
    if (!v1 || !v2) return;
    if (straight) {
      if (!previousEnd_ || *previousEnd_ != n1) sink_.OpenPathAt(v1->layer, {v1->x, v1->y});
      sink_.Append({v2->x, v2->y});
    } else if (type == "arc") {
      const std::string centre = node.attribute("center_point").value();
      const double cx = parser_.ParsePairX(centre);
      const double cy = parser_.ParsePairY(centre);
      sink_.OpenPathAt(v1->layer, {v1->x, v1->y});
      FlattenArc(ArcDirection::CounterClockwise, Mm(*v1), Mm(*v2), (cx - static_cast<double>(v1->x)) / 100,
                 (cy - static_cast<double>(v1->y)) / 100, 0, options_.fastCalc, sink_);
    } else {
      sink_.OpenPathAt(v2->layer, {v2->x, v2->y});
      FlattenArc(ArcDirection::CounterClockwise, Mm(*v2), Mm(*v2),
                 static_cast<double>(v1->x - v2->x) / 100, static_cast<double>(v1->y - v2->y) / 100,
                 0, options_.fastCalc, sink_);
    }
    previousEnd_ = n2;
  }

  static MmPoint Mm(const CompanionVertex& v) {
    return {static_cast<double>(v.x) / 100, static_cast<double>(v.y) / 100};
  }

  const ImportOptions& options_;
  const NumberParser& parser_;
  ProgramLog& log_;
  ImportPathSink sink_;
  std::unordered_map<std::int32_t, CompanionVertex> vertices_;
  std::int64_t tableSize_ = 0;
  std::int64_t lastLayer_ = 0;
  std::optional<std::int32_t> previousEnd_;
};

}  // namespace

bool ReadCompanionDrawing(std::string_view xml, const ImportOptions& options,
                          const NumberParser& parser, ProgramLog& log, TPaths& paths,
                          std::string& error) {
  paths.clear();
  pugi::xml_document document;
  const auto parsed = document.load_buffer(xml.data(), xml.size());
  if (!parsed) {
    error = std::string("2D file is not well-formed XML: ") + parsed.description() + " at byte " +
            std::to_string(parsed.offset);
    return false;
  }
  CompanionReading reading(options, parser, log, paths);
  for (const auto& group : document.document_element().children())
    for (const auto& element : group.children())
      if (element.type() == pugi::node_element) reading.Element(element);
  return reading.Finish();
}

}  // namespace corvane
