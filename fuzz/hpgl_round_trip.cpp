#include <cstdlib>
#include <cstring>

#include "FuzzSupport.h"
#include "import/HpglReader.h"
#include "import/HpglWriter.h"

namespace {

// Plotter coordinates stay well inside what the reader's integers hold.
constexpr std::int64_t kRange = 100'000'000;
// Writing rounds to whole plotter units (2.5 units of 0.01 mm), reading scales back.
constexpr std::int64_t kTolerance = 2;

std::int64_t Coordinate(const std::uint8_t* bytes) {
  std::int32_t raw = 0;
  std::memcpy(&raw, bytes, sizeof raw);
  return static_cast<std::int64_t>(raw) % kRange;
}

bool FarApart(ClipperLib::IntPoint a, ClipperLib::IntPoint b) {
  return std::llabs(a.X - b.X) > 20 || std::llabs(a.Y - b.Y) > 20;
}

}  // namespace

// Builds contours from the input, writes them as HPGL and reads them back.
// Where every contour has two vertices or more and starts away from where the
// previous one ended, the read paths must be the written ones within rounding.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static corvane::fuzz::ReaderContext context;
  corvane::TPaths unchosen, cutting;
  corvane::TPaths* target = &cutting;
  for (std::size_t at = 0; at + 9 <= size; at += 9) {
    const std::uint8_t control = data[at];
    if ((control & 3) == 0 || target->empty()) {
      target = (control & 4) ? &unchosen : &cutting;
      target->push_back({ClipperLib::IntPoint(0, 0)});
    }
    target->back().push_back({Coordinate(data + at + 1), Coordinate(data + at + 5)});
  }
  const std::string text = corvane::FormatHpgl(unchosen, cutting);
  corvane::TPaths read;
  corvane::ReadHpgl(text, corvane::ImportOptions{}, context.parser, context.log, read);

  corvane::TPaths written;
  bool comparable = true;
  ClipperLib::IntPoint lastEnd(0, 0);
  for (const auto* list : {&unchosen, &cutting}) {
    for (const auto& path : *list) {
      comparable = comparable && path.size() >= 3 && FarApart(path[1], lastEnd);
      lastEnd = path.back();
      written.push_back(path);
      written.back()[0].Y = list == &unchosen ? corvane::kPenUnchosenLayers : corvane::kPenCutting;
    }
  }
  if (!comparable) return 0;
  if (read.size() != written.size()) std::abort();
  for (std::size_t p = 0; p < read.size(); ++p) {
    if (read[p].size() != written[p].size() || read[p][0].Y != written[p][0].Y) std::abort();
    for (std::size_t v = 1; v < read[p].size(); ++v)
      if (std::llabs(read[p][v].X - written[p][v].X) > kTolerance ||
          std::llabs(read[p][v].Y - written[p][v].Y) > kTolerance)
        std::abort();
  }
  return 0;
}
