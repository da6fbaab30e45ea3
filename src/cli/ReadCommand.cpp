#include "cli/ReadCommand.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>

#include "cli/ReportFormat.h"
#include "import/DrawingFile.h"
#include "model/NumberParser.h"
#include "ports/Clock.h"
#include "ports/Host.h"
#include "ports/ProgramLog.h"

namespace corvane {
namespace {

// Log lines of the readers go to the error stream, one per line; with several
// files each line names the file it is about.
class StreamLogHost : public SilentHost {
 public:
  explicit StreamLogHost(std::ostream& err) : err_(err) {}
  void appendLogPane(const std::string& message) override {
    err_ << "log: " << file_ << message << "\n";
  }
  void setFile(const std::string& file) { file_ = file.empty() ? file : file + ": "; }

 private:
  std::ostream& err_;
  std::string file_;
};

// Exit codes beyond 0 (every file gave paths) and 2 (bad arguments).
constexpr int kExitNoPaths = 1;
constexpr int kExitTruncated = 3;

struct ReadRequest {
  std::vector<std::string> files;
  ImportOptions options;
  std::optional<DrawingFormat> format;
  bool preview = false;
  bool summaryOnly = false;
  bool report = false;
  bool json = false;
};

// Parses the arguments after "read"; error text when they make no sense.
std::optional<ReadRequest> ParseReadArguments(const std::vector<std::string>& args,
                                              const NumberParser& parser, std::string& error) {
  ReadRequest request;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= args.size()) {
        error = arg + " needs a value";
        return std::nullopt;
      }
      return args[++i];
    };
    if (arg == "--scale-hpgl" || arg == "--scale-dxf" || arg == "--scale-tap") {
      const auto text = value();
      if (!text) return std::nullopt;
      const double scale = parser.ParseFloat(*text);
      (arg == "--scale-hpgl" ? request.options.scaleHPGL
       : arg == "--scale-dxf" ? request.options.scaleDXF : request.options.scaleTAP) = scale;
    } else if (arg == "--mcode-on" || arg == "--mcode-off") {
      const auto text = value();
      if (!text) return std::nullopt;
      (arg == "--mcode-on" ? request.options.mCodeOn : request.options.mCodeOff) = *text;
    } else if (arg == "--format") {
      const auto text = value();
      if (!text) return std::nullopt;
      request.format = DrawingFormatNamed(*text);
      if (request.format == DrawingFormat::Unknown) {
        error = "unknown format " + *text;
        return std::nullopt;
      }
    } else if (arg == "--force-mm") {
      request.options.forceMM = true;
    } else if (arg == "--force-inch") {
      request.options.forceInch = true;
    } else if (arg == "--fast") {
      request.options.fastCalc = true;
    } else if (arg == "--close-dxf") {
      request.options.closeDxf = 1;
    } else if (arg == "--preview") {
      request.preview = true;
    } else if (arg == "--summary") {
      request.summaryOnly = true;
    } else if (arg == "--report") {
      request.report = true;
    } else if (arg == "--json") {
      request.json = true;
    } else if (arg.rfind("--", 0) == 0) {
      error = "unexpected argument " + arg;
      return std::nullopt;
    } else {
      request.files.push_back(arg);
    }
  }
  if (request.files.empty()) {
    error = "no file given";
    return std::nullopt;
  }
  return request;
}

void PrintPaths(const TPaths& paths, std::ostream& out) {
  std::size_t number = 0;
  for (const auto& path : paths) {
    ++number;
    const auto layer = path.empty() ? 0 : path.front().Y;
    const auto vertices = path.empty() ? 0 : path.size() - 1;
    out << "path " << number << " layer " << layer << " vertices " << vertices << "\n";
    for (std::size_t i = 1; i < path.size(); ++i) out << "  " << path[i].X << " " << path[i].Y << "\n";
  }
}

void PrintSummary(const FileReading& reading, std::ostream& out) {
  char time[32];
  std::snprintf(time, sizeof time, "%.1f", reading.milliseconds);
  out << "summary: paths " << reading.paths << ", vertices " << reading.vertices;
  const ImportExtents& box = reading.extents;
  if (box.any)
    out << ", extents X " << box.minX << " .. " << box.maxX << ", Y " << box.minY << " .. "
        << box.maxY;
  out << " (0.01 mm), " << time << " ms\n";
}

// Reads one file and prints what the request asks for; its exit code.
int ReadOne(const ReadRequest& request, const std::string& file, const NumberParser& parser,
            ProgramLog& log, std::ostream& out, std::ostream& err) {
  FileReading reading;
  reading.file = file;
  reading.format = request.format.value_or(DrawingFormatFor(file));
  const auto started = std::chrono::steady_clock::now();
  TPaths paths;
  TDXF dxf;
  reading.load = ReadDrawingFile(file, reading.format, request.options, parser, log, paths, dxf,
                                 !request.preview);
  reading.milliseconds =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
  reading.paths = paths.size();
  reading.vertices = VertexCountOf(paths);
  reading.extents = ExtentsOf(paths);
  if (request.json) {
    out << ReportJson(reading) << "\n";
  } else {
    if (request.files.size() > 1) out << "file: " << file << "\n";
    if (!request.summaryOnly) PrintPaths(paths, out);
    PrintSummary(reading, out);
    if (request.report) out << ReportText(reading);
  }
  const std::string& error = reading.load.error;
  if (reading.load.report.truncated) {
    err << "corvane-cli: " << file << ": truncated, only what came before the break was read"
        << (error.empty() ? "" : " (" + error + ")") << "\n";
    return kExitTruncated;
  }
  if (!reading.load.ok) {
    err << "corvane-cli: " << file << ": " << error << "\n";
    return kExitNoPaths;
  }
  return 0;
}

}  // namespace

std::string ReadCommandUsage() {
  return "usage: corvane-cli read FILE... [--format gcode|hpgl|dxf|2d]\n"
         "         [--scale-hpgl X] [--scale-dxf X] [--scale-tap X] [--force-mm] [--force-inch]\n"
         "         [--fast] [--mcode-on CODE] [--mcode-off CODE] [--close-dxf] [--preview] [--summary]\n"
         "         [--report] [--json]\n";
}

int RunReadCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  SteadyClock clock;
  StreamLogHost host(err);
  ProgramLog log(clock, &host);
  NumberParser parser(log, &host);
  std::string error;
  const auto request = ParseReadArguments(arguments, parser, error);
  if (!request) {
    err << "corvane-cli: " << error << "\n" << ReadCommandUsage();
    return 2;
  }
  int code = 0;
  for (const auto& file : request->files) {
    if (request->files.size() > 1) host.setFile(file);
    code = std::max(code, ReadOne(*request, file, parser, log, out, err));
  }
  return code;
}

}  // namespace corvane
