#include "import/HpglWriter.h"

#include <cmath>

namespace corvane {
namespace {

std::string PlotterUnits(std::int64_t units) {
  return std::to_string(std::llround(static_cast<double>(units) * 0.4));
}

void AppendPaths(std::string& out, const TPaths& paths) {
  for (const auto& path : paths) {
    for (std::size_t i = 1; i < path.size(); ++i) {
      out += i == 1 ? "PU" : "PD";
      out += PlotterUnits(path[i].X) + " " + PlotterUnits(path[i].Y) + ";\r\n";
    }
  }
}

}  // namespace

std::string FormatHpgl(const TPaths& unchosenLayers, const TPaths& cutting) {
  std::string out;
  if (!unchosenLayers.empty()) {
    out += "SP" + std::to_string(kPenUnchosenLayers) + ";\r\n";
    AppendPaths(out, unchosenLayers);
  }
  out += "SP" + std::to_string(kPenCutting) + ";\r\n";
  AppendPaths(out, cutting);
  out += "SP0;\r\n";
  return out;
}

std::string HpglFileName(const std::string& chosenName) {
  const std::string ending = ".plt";
  const bool hasEnding = chosenName.size() >= ending.size() &&
                         chosenName.compare(chosenName.size() - ending.size(), ending.size(), ending) == 0;
  return hasEnding ? chosenName : chosenName + ending;
}

FileResult WriteHpgl(const std::string& chosenName, const TPaths& unchosenLayers,
                     const TPaths& cutting) {
  return WriteFileAtomically(HpglFileName(chosenName), FormatHpgl(unchosenLayers, cutting));
}

}  // namespace corvane
