// Reading speed of the drawing readers: the corpus's large generated DXF grid
// (time, peak memory against the output's size, and the speed-up over an
// independent Python reader when one is installed), the largest corpus file of
// each format, a generated DXF of 200 000 entities, and 1x/4x/16x inputs to show
// that the time grows linearly with the file. Prints MB/s and entities per second.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "import/DrawingFile.h"
#include "model/NumberParser.h"
#include "ports/Clock.h"
#include "ports/FileIo.h"
#include "ports/ProgramLog.h"

namespace {

using namespace corvane;

struct Context {
  SteadyClock clock;
  ProgramLog log{clock, nullptr};
  NumberParser parser{log, nullptr};
};

// Seconds for one read: the best of at least 7 runs lasting at least 0.5 s in
// all, so that small and large inputs are measured alike on a busy machine.
double SecondsPerRead(const std::function<void()>& read) {
  double best = 1e30;
  double total = 0;
  for (int run = 0; run < 100 && (total < 0.5 || run < 7); ++run) {
    const auto start = std::chrono::steady_clock::now();
    read();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    best = std::min(best, seconds);
    total += seconds;
  }
  return best;
}

// Entities as each format counts them: DXF entities (drawing and blocks),
// G-code lines, HPGL commands, .2d vertex and edge elements.
std::size_t EntitiesOf(const std::string& text, DrawingFormat format, const TDXF& dxf) {
  if (format == DrawingFormat::Dxf) {
    std::size_t count = dxf.entities.size();
    for (const auto& block : dxf.blockEntities) count += block.size();
    return count;
  }
  if (format == DrawingFormat::Companion) {  // vertex and edge elements
    std::size_t count = 0;
    for (std::size_t at = text.find("<e"); at != std::string::npos; at = text.find("<e", at + 2)) ++count;
    for (std::size_t at = text.find("<v"); at != std::string::npos; at = text.find("<v", at + 2)) ++count;
    return count;
  }
  const char mark = format == DrawingFormat::Hpgl ? ';' : '\n';
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), mark));
}

struct Figures {
  double seconds = 0;
  double megabytesPerSecond = 0;
  double entitiesPerSecond = 0;
  std::size_t vertices = 0;
};

Figures Measure(Context& context, const std::string& text, DrawingFormat format) {
  TPaths paths;
  TDXF dxf;
  ImportOptions options;
  Figures figures;
  figures.seconds = SecondsPerRead([&] {
    ReadDrawing(text, format, options, context.parser, context.log, paths, dxf, true);
  });
  figures.megabytesPerSecond = static_cast<double>(text.size()) / 1e6 / figures.seconds;
  figures.entitiesPerSecond = static_cast<double>(EntitiesOf(text, format, dxf)) / figures.seconds;
  figures.vertices = VertexCountOf(paths);
  return figures;
}

void Print(const std::string& name, const std::string& text, const Figures& f) {
  std::printf("%-44s %9.2f MB %9.1f ms %8.1f MB/s %12.0f entities/s %9zu vertices\n", name.c_str(),
              static_cast<double>(text.size()) / 1e6, f.seconds * 1e3, f.megabytesPerSecond,
              f.entitiesPerSecond, f.vertices);
}

// A DXF of count entities: chains of joined lines, arcs, circles and bulged polylines.
std::string GeneratedDxf(std::size_t count) {
  std::string text = "0\nSECTION\n2\nHEADER\n9\n$INSUNITS\n70\n4\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n";
  char buffer[256];
  for (std::size_t i = 0; i < count; ++i) {
    const double x = static_cast<double>(i % 500) * 10;
    const double y = static_cast<double>(i / 500) * 10;
    switch (i % 4) {
      case 0:
        std::snprintf(buffer, sizeof buffer, "0\nLINE\n8\n0\n10\n%g\n20\n%g\n11\n%g\n21\n%g\n", x, y,
                      x + 8, y);
        break;
      case 1:
        std::snprintf(buffer, sizeof buffer, "0\nARC\n8\n0\n10\n%g\n20\n%g\n40\n3\n50\n10\n51\n170\n",
                      x, y);
        break;
      case 2:
        std::snprintf(buffer, sizeof buffer, "0\nCIRCLE\n8\n0\n62\n1\n10\n%g\n20\n%g\n40\n2\n", x, y);
        break;
      default:
        std::snprintf(buffer, sizeof buffer,
                      "0\nLWPOLYLINE\n8\n0\n90\n4\n70\n1\n10\n%g\n20\n%g\n10\n%g\n20\n%g\n42\n0.4\n"
                      "10\n%g\n20\n%g\n10\n%g\n20\n%g\n",
                      x, y, x + 5, y, x + 5, y + 5, x, y + 5);
        break;
    }
    text += buffer;
  }
  return text + "0\nENDSEC\n0\nEOF\n";
}

std::string Repeated(const std::string& text, int times) {
  std::string out;
  out.reserve(text.size() * static_cast<std::size_t>(times));
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

// The largest file of a corpus folder with one of the endings.
std::string LargestFile(const std::string& folder) {
  std::string largest;
  std::uintmax_t size = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.is_regular_file() && entry.file_size() > size) {
      size = entry.file_size();
      largest = entry.path().string();
    }
  }
  return largest;
}

// Reads the input at 1x, 4x, 16x and 64x its size. Linear reading takes about
// 4 times as long at each step; a quadratic step would take 16 times as long.
void Scaling(Context& context, const std::string& name, const std::function<std::string(int)>& make,
             DrawingFormat format) {
  double previous = 0;
  for (const int factor : {1, 4, 16, 64}) {
    const std::string text = make(factor);
    const Figures f = Measure(context, text, format);
    Print(name + " x" + std::to_string(factor), text, f);
    if (previous > 0) std::printf("%-44s time x%.2f for 4 times the input\n", "", f.seconds / previous);
    previous = f.seconds;
  }
}

// Peak resident memory of this process so far, in MB (Linux counts it in kB).
double PeakResidentMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

struct OneRead {
  std::size_t vertices = 0;
  double peakMegabytes = 0;
  double baseMegabytes = 0;
};

// One full-quality read with extents in a child process, so that the peak
// memory is that read's own and not the benchmark's.
bool ReadOnceInAChild(const std::string& file, OneRead& figures) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return false;
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    close(pipeEnds[0]);
    OneRead read;
    read.baseMegabytes = PeakResidentMegabytes();
    Context context;
    TPaths paths;
    TDXF dxf;
    if (const auto text = ReadWholeFile(file)) {
      ReadDrawing(*text, DrawingFormat::Dxf, ImportOptions{}, context.parser, context.log, paths, dxf, true);
      (void)ExtentsOf(paths);
      read.vertices = VertexCountOf(paths);
    }
    read.peakMegabytes = PeakResidentMegabytes();
    const bool written = write(pipeEnds[1], &read, sizeof read) == static_cast<ssize_t>(sizeof read);
    _exit(written ? 0 : 1);
  }
  close(pipeEnds[1]);
  const bool got = read(pipeEnds[0], &figures, sizeof figures) == static_cast<ssize_t>(sizeof figures);
  close(pipeEnds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return got && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Seconds the independent Python DXF reader takes to read the file and find
// its extents, timed inside Python; negative when it is not installed.
double IndependentReaderSeconds(const std::string& file) {
  const std::string python = std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
  if (std::system((python + " -c 'import ezdxf' >/dev/null 2>&1").c_str()) != 0) return -1;
  const std::string command = python +
      " -c 'import sys, time, ezdxf; from ezdxf import bbox; t = time.perf_counter(); "
      "doc = ezdxf.readfile(sys.argv[1]); bbox.extents(doc.modelspace()); "
      "print(time.perf_counter() - t)' '" + file + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  double seconds = -1;
  if (std::fscanf(pipe, "%lf", &seconds) != 1) seconds = -1;
  pclose(pipe);
  return seconds;
}

// The large generated grid: read and render times, peak memory against twice
// the output's vertex payload plus 30 MB, and the speed-up over the Python reader.
void BigGrid(Context& context, const std::string& file) {
  const auto text = ReadWholeFile(file);
  if (!text) {
    std::printf("%s: corpus not found\n", file.c_str());
    return;
  }
  std::printf("Large generated DXF: %s\n", std::filesystem::path(file).filename().string().c_str());
  OneRead once;
  if (ReadOnceInAChild(file, once)) {
    const double payload = static_cast<double>(once.vertices * sizeof(ClipperLib::IntPoint)) / (1024.0 * 1024.0);
    const double bound = 2 * payload + 30;
    std::printf("  peak memory %.1f MB (%.1f MB before reading); vertex payload %.1f MB, bound 2 x payload + 30 = "
                "%.1f MB: %s\n",
                once.peakMegabytes, once.baseMegabytes, payload, bound,
                once.peakMegabytes <= bound ? "within" : "OVER");
  } else {
    std::printf("  peak memory: the child read failed\n");
  }
  TPaths paths;
  TDXF dxf;
  ImportOptions options;
  const double parse = SecondsPerRead([&] {
    std::string error;
    dxf.Read(*text, context.log, error);
  });
  dxf.ApplyImportUnits(options);
  const double render = SecondsPerRead([&] { dxf.Render(true, options, context.log, paths); });
  const double whole = SecondsPerRead([&] {
    ReadDrawing(*text, DrawingFormat::Dxf, options, context.parser, context.log, paths, dxf, true);
    (void)ExtentsOf(paths);
  });
  std::printf("  read + render + extents %.1f ms (parse %.1f ms, render %.1f ms), %zu vertices\n", whole * 1e3,
              parse * 1e3, render * 1e3, VertexCountOf(paths));
  const double python = IndependentReaderSeconds(file);
  if (python < 0) {
    std::printf("  independent reader: python3-ezdxf not installed, no speed-up measured "
                "(apt-get install python3-ezdxf)\n");
    return;
  }
  std::printf("  independent reader (python3-ezdxf, read + extents) %.2f s: %.0f times faster (target 50)\n",
              python, python / whole);
}

}  // namespace

int main() {
  Context context;
  const std::string corpus = std::string(CORVANE_CORPUS_DIR);
  // First, while the process is small: the child's peak memory starts from here.
  BigGrid(context, corpus + "/generated/gen_r2000_big_grid.dxf");
  std::printf("\n");
  std::printf("Largest corpus files\n");
  const std::vector<std::pair<std::string, DrawingFormat>> folders{
      {corpus + "/dxf", DrawingFormat::Dxf},
      {corpus + "/generated", DrawingFormat::Dxf},
      {corpus + "/hpgl", DrawingFormat::Hpgl},
      {corpus + "/gcode", DrawingFormat::Gcode}};
  for (const auto& [folder, format] : folders) {
    const std::string file = LargestFile(folder);
    const auto text = ReadWholeFile(file);
    if (!text) {
      std::printf("%s: corpus not found\n", folder.c_str());
      continue;
    }
    Print(std::filesystem::path(file).filename().string(), *text, Measure(context, *text, format));
  }

  std::printf("\nGenerated DXF\n");
  const std::string generated = GeneratedDxf(200000);
  Print("generated 200000 entities", generated, Measure(context, generated, DrawingFormat::Dxf));

  std::printf("\nScaling\n");
  Scaling(context, "generated DXF 3125 entities",
          [](int factor) { return GeneratedDxf(3125 * static_cast<std::size_t>(factor)); },
          DrawingFormat::Dxf);
  // One long chain of joined lines: every LINE continues the same path.
  Scaling(context, "DXF chain of 20000 joined lines", [](int factor) {
    std::string text = "0\nSECTION\n2\nENTITIES\n";
    char buffer[128];
    for (int i = 0; i < 20000 * factor; ++i) {
      std::snprintf(buffer, sizeof buffer, "0\nLINE\n10\n%d\n20\n0\n11\n%d\n21\n0\n", i, i + 1);
      text += buffer;
    }
    return text + "0\nENDSEC\n0\nEOF\n";
  }, DrawingFormat::Dxf);
  if (const auto hpgl = ReadWholeFile(corpus + "/hpgl/vk2bea__Cassini.hpgl"))
    Scaling(context, "HPGL Cassini", [&](int factor) { return Repeated(*hpgl, 16 * factor); },
            DrawingFormat::Hpgl);
  if (const auto gcode = ReadWholeFile(corpus + "/gcode/linuxcnc__plasmatest.ngc"))
    Scaling(context, "G-code plasmatest", [&](int factor) { return Repeated(*gcode, 16 * factor); },
            DrawingFormat::Gcode);
  Scaling(context, ".2d generated", [](int factor) {
    std::string xml = "<drawing><entities>";
    char buffer[256];
    for (int i = 0; i < 10000 * factor; ++i) {
      std::snprintf(buffer, sizeof buffer,
                    "<vertex name=\"%d\" x=\"%d\" y=\"0\" layer=\"1\"/><edge type=\"line\" v1=\"%d\" v2=\"%d\"/>",
                    i + 1, i * 10, i, i + 1);
      xml += buffer;
    }
    return xml + "</entities></drawing>";
  }, DrawingFormat::Companion);
  return 0;
}
