// How long a drawing takes from the file to the processed job, stage by stage:
// generated plates of 1 000, 10 000 and 50 000 contours and the corpus's big
// grid, with kerf offset, leads and the sort on, as an operator cuts them.
// The pairwise search the steps are defined with is timed beside the indexed one.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "import/ImportSession.h"
#include "model/NumberParser.h"
#include "ports/Clock.h"
#include "ports/Host.h"
#include "ports/ProgramLog.h"

namespace {

using namespace corvane;

// Parts in rows: a 40 × 30 mm plate with a 10 mm hole and a slot drawn as
// two open halves that the clean welds; `contours` counts what the editor keeps.
std::string PlatesGcode(int contours) {
  std::string text = "G21\nG90\n";
  const int parts = contours / 3;
  const int perRow = 100;
  char line[160];
  for (int p = 0; p < parts; ++p) {
    const double x = (p % perRow) * 45.0, y = (p / perRow) * 35.0;
    std::snprintf(line, sizeof line, "G0 X%.2f Y%.2f\nM3\nG1 X%.2f\nG1 Y%.2f\nG1 X%.2f\nG1 Y%.2f\nM5\n", x, y,
                  x + 40, y + 30, x, y);
    text += line;
    std::snprintf(line, sizeof line, "G0 X%.2f Y%.2f\nM3\nG2 X%.2f Y%.2f I-5 J0\nM5\n", x + 17, y + 15, x + 17,
                  y + 15);
    text += line;
    std::snprintf(line, sizeof line,
                  "G0 X%.2f Y%.2f\nM3\nG1 X%.2f\nG3 X%.2f Y%.2f I0 J2\nM5\nG0 X%.2f Y%.2f\nM3\nG1 X%.2f\nG3 "
                  "X%.2f Y%.2f I0 J-2\nM5\n",
                  x + 25, y + 5, x + 35, x + 35, y + 9, x + 35, y + 9, x + 25, x + 25, y + 5);
    text += line;
  }
  return text;
}

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void Run(const std::string& label, const std::string& file, PairSearch search) {
  FakeClock clock;
  SilentHost host;
  ProgramLog log(clock, nullptr);
  NumberParser parser(log, &host);
  ImportSession session(log);
  session.setPairSearch(search);
  ImportProcessOptions options;
  options.offset = true;
  options.typedToolMm = 1.5;
  options.leads.leadIn = options.leads.leadOut = true;
  options.leads.length = LeadLength(3, false);
  const auto start = std::chrono::steady_clock::now();
  session.Preview(file, ImportOptions{}, parser);
  session.LoadIntoEditor(session.DefaultPlasmaLayers(), {}, false, options);
  const auto job = session.JobContours(options);
  const double total = Since(start);
  const ImportStageTimes& t = session.times();
  std::printf("%-30s %-8s %7zu %9zu %7.1f %7.1f %6.1f %7.1f %6.1f %6.1f %6.1f %8.1f\n", label.c_str(),
              search == PairSearch::Indexed ? "indexed" : "pairwise", session.cutting.size(),
              job ? job->size() : 0, t.read * 1000, t.clean * 1000, t.nest * 1000, t.offset * 1000,
              t.group * 1000, t.sort * 1000, t.leads * 1000, total);
}

}  // namespace

int main() {
  std::printf("%-30s %-8s %7s %9s %7s %7s %6s %7s %6s %6s %6s %8s\n", "drawing", "search", "contours", "job",
              "read", "clean", "nest", "offset", "parts", "sort", "leads", "total ms");
  const std::string folder = std::filesystem::temp_directory_path().string();
  for (const int contours : {1000, 10000, 50000}) {
    const std::string file = folder + "/corvane-bench-" + std::to_string(contours) + ".tap";
    std::ofstream(file) << PlatesGcode(contours);
    Run("plates " + std::to_string(contours), file, PairSearch::Indexed);
    if (contours <= 1000) Run("plates " + std::to_string(contours), file, PairSearch::Pairwise);
    std::filesystem::remove(file);
  }
  const std::string grid = std::string(CORVANE_CORPUS_DIR) + "/generated/gen_r2000_big_grid.dxf";
  if (std::filesystem::exists(grid)) Run("corpus big grid (dxf)", grid, PairSearch::Indexed);
  return 0;
}
