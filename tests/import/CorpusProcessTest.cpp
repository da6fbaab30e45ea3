#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "ReaderHarness.h"
#include "import/ImportSession.h"
#include "support/TempDir.h"

namespace corvane {
namespace {

using testing::ReaderHarness;
using testing::TempDir;

const std::string kChecker = std::string(CORVANE_SOURCE_DIR) + "/tests/import/process_check.py";

// Debian's interpreter, which the python3-shapely package serves.
std::string Python() { return std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3"; }

void WritePath(std::ostream& out, const char* tag, const TPath& path, std::size_t from = 0,
               std::size_t to = static_cast<std::size_t>(-1)) {
  out << tag;
  for (std::size_t i = from; i < path.size() && i < to; ++i) out << ' ' << path[i].X << ' ' << path[i].Y;
  out << '\n';
}

std::string RunChecker(const std::string& dump) {
  std::string output;
  FILE* pipe = popen((Python() + " " + kChecker + " " + dump + " 2>&1").c_str(), "r");
  if (!pipe) return "FAIL: python3 could not be started";
  char buffer[4096];
  while (const std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  const int status = pclose(pipe);
  if (status != 0 && output.find("SKIP") == std::string::npos) output += "\nFAIL: checker exit status " + std::to_string(status);
  return output;
}

// Every readable drawing of the corpus is processed as the import window
// would (2 mm tool, cut outside, leads in and out), and an outside polygon
// library checks the result: each offset contour equals the buffer of a
// drawn contour by the kerf (outlines grown, holes shrunk), every lead as
// drawn pierces in scrap and meets no other cut path, and every contour lying
// strictly inside another is cut before it.
TEST(CorpusProcess, OffsetLeadsAndOrderAgreeWithAPolygonLibrary) {
  if (!std::filesystem::is_directory(CORVANE_CORPUS_DIR)) GTEST_SKIP() << "no drawing corpus";
  if (std::system((Python() + " -c 'import shapely' >/dev/null 2>&1").c_str()) != 0)
    GTEST_SKIP() << "python3-shapely is not installed (scripts/install-deps.sh installs it)";
  ReaderHarness harness;
  ImportSession session(harness.log);
  ImportProcessOptions options;
  options.offset = true;
  options.typedToolMm = 2;
  options.leads.leadIn = options.leads.leadOut = true;
  TempDir dir;
  // CORVANE_PROCESS_DUMP keeps the dump for running the checker by hand.
  const char* keep = std::getenv("CORVANE_PROCESS_DUMP");
  const std::string dump = keep ? keep : dir.file("processed.txt");
  std::ofstream out(dump);
  std::size_t drawings = 0;
  std::set<std::string> seen;
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(CORVANE_CORPUS_DIR))
    if (entry.is_regular_file() && DrawingFormatFor(entry.path().string()) != DrawingFormat::Unknown)
      files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  for (const std::string& file : files) {
    if (file.find("big_grid") != std::string::npos) continue;  // measured by the benchmark
    const char* only = std::getenv("CORVANE_PROCESS_ONLY");
    if (only && file.find(only) == std::string::npos) continue;
    if (!session.Preview(file, ImportOptions{}, harness.parser)) continue;
    session.LoadIntoEditor(session.DefaultPlasmaLayers(), {}, false, options);
    const std::size_t vertices = VertexCountOf(session.cutting);
    if (vertices > 40'000) continue;  // keeps the check within a minute
    // The same drawing saved in several versions is checked once.
    const std::string signature = std::to_string(session.cutting.size()) + ' ' + std::to_string(vertices) + ' ' +
                                  std::to_string(session.extentX()) + ' ' + std::to_string(session.extentY());
    if (!seen.insert(signature).second) continue;
    out << "drawing " << std::filesystem::path(file).filename().string() << ' '
        << OffsetAmount(options.toolSlider, options.typedToolMm, false, false, false) << ' '
        << (session.processed().empty() && !session.cutting.empty() ? "refused" : "processed") << '\n';
    const Nesting& nesting = session.cuttingNesting();
    for (std::size_t i = 0; i < session.cutting.size(); ++i)
      WritePath(out, IsClosedPath(session.cutting[i]) ? (nesting.records[i].depth % 2 ? "hole" : "outline") : "open",
                session.cutting[i]);
    for (std::size_t i = 0; i < session.processed().size(); ++i) {
      WritePath(out, "cut", session.processed()[i]);
      const LeadRecord& r = session.leads()[i];
      if (r.size() <= kLeadSegment || r[kLeadSegment].X < 0 || r[0].X == 0 || r[0].Y == 0) {
        out << "lead\n";
        continue;
      }
      const bool leadOut = r[kLeadOutEnd].X != 0 && r[kLeadOutEnd].Y != 0;
      WritePath(out, "lead", r, 0, leadOut ? kLeadOutEnd + 1 : kLeadAttach + 1);
    }
    ++drawings;
  }
  out.close();
  EXPECT_GT(drawings, 40u);
  const std::string report = RunChecker(dump);
  if (report.find("SKIP") != std::string::npos) GTEST_SKIP() << report;
  std::cout << report;
  EXPECT_EQ(report.find("FAIL"), std::string::npos) << report;
}

}  // namespace
}  // namespace corvane
