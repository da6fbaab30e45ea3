#include "cli/ExportCommand.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <set>

#include "import/DrawingFile.h"
#include "import/GcodeExport.h"
#include "model/JobNormalise.h"
#include "model/NumberParser.h"
#include "ports/Clock.h"
#include "ports/Host.h"
#include "ports/ProgramLog.h"
#include "store/AdvancedOptions.h"
#include "store/FieldStore.h"

namespace corvane {
namespace {

// The readers' and the parser's log lines, one per line on the error stream.
class ErrorStreamHost : public SilentHost {
 public:
  explicit ErrorStreamHost(std::ostream& err) : err_(err) {}
  void appendLogPane(const std::string& message) override { err_ << "log: " << message << "\n"; }

 private:
  std::ostream& err_;
};

// Exit codes beyond 0 (written) and 2 (bad arguments).
constexpr int kExitNoJob = 1;       // the drawing cannot be read or gives no contour
constexpr int kExitTruncated = 3;   // the drawing breaks off: nothing is written
constexpr int kExitNotWritten = 4;  // the output file cannot be written

struct FieldSetting {
  std::string name;
  std::string value;
};

struct ExportRequest {
  std::string drawing;
  std::string output;  // empty: the drawing's name with ".tap" appended
  std::optional<DrawingFormat> inputFormat;
  GcodeExportFormat format = GcodeExportFormat::Standard;
  std::vector<FieldSetting> fields;
  std::string advancedFile;
};

// Takes one option's value into the request; the reason when the value makes no sense.
std::optional<std::string> TakeOption(const std::string& option, const std::string& value,
                                      ExportRequest& request) {
  if (option == "-o" || option == "--output") {
    request.output = value;
  } else if (option == "--advanced") {
    request.advancedFile = value;
  } else if (option == "--format") {
    if (value != "standard" && value != "bare") return "unknown export format " + value;
    request.format = value == "bare" ? GcodeExportFormat::Bare : GcodeExportFormat::Standard;
  } else if (option == "--input-format") {
    request.inputFormat = DrawingFormatNamed(value);
    if (request.inputFormat == DrawingFormat::Unknown) return "unknown drawing format " + value;
  } else {
    const auto equals = value.find('=');
    if (equals == std::string::npos || equals == 0) return "--set wants FIELD=VALUE, not " + value;
    request.fields.push_back({value.substr(0, equals), value.substr(equals + 1)});
  }
  return std::nullopt;
}

std::optional<ExportRequest> ParseExportArguments(const std::vector<std::string>& args,
                                                  std::string& error) {
  static const std::set<std::string> kWithValue = {"-o",       "--output",       "--advanced",
                                                   "--format", "--input-format", "--set"};
  ExportRequest request;
  for (std::size_t i = 0; i < args.size() && error.empty(); ++i) {
    const std::string& arg = args[i];
    if (kWithValue.count(arg)) {
      if (i + 1 == args.size())
        error = arg + " needs a value";
      else
        error = TakeOption(arg, args[++i], request).value_or("");
    } else if (arg.size() > 1 && arg.front() == '-') {
      error = "unexpected argument " + arg;
    } else if (request.drawing.empty()) {
      request.drawing = arg;
    } else {
      error = "one drawing at a time, not also " + arg;
    }
  }
  if (error.empty() && request.drawing.empty()) error = "no drawing given";
  if (!error.empty()) return std::nullopt;
  if (request.output.empty()) request.output = request.drawing + ".tap";
  return request;
}

// Sets a field of whichever window has it; a check box is on unless the value is "0" or empty.
bool ApplyField(FieldStore& fields, const FieldSetting& setting) {
  for (const Window window : {Window::Main, Window::Import, Window::Configuration}) {
    const FieldValue* field = fields.find(window, setting.name);
    if (!field) continue;
    if (field->definition->kind == FieldKind::Text)
      return fields.setText(window, setting.name, setting.value);
    return fields.setChecked(window, setting.name, !setting.value.empty() && setting.value != "0");
  }
  return false;
}

// Every path of two or more vertices as a cutting contour, shifted so that the
// smallest X and Y are 0; nullopt when the drawing is wider than a job can hold.
std::optional<tCNCPath> CuttingJobOf(const TPaths& paths) {
  ClipperLib::cInt minX = std::numeric_limits<ClipperLib::cInt>::max(), minY = minX;
  ClipperLib::cInt maxX = std::numeric_limits<ClipperLib::cInt>::min(), maxY = maxX;
  for (const TPath& path : paths)
    for (std::size_t i = 1; path.size() >= 3 && i < path.size(); ++i) {
      minX = std::min(minX, path[i].X), maxX = std::max(maxX, path[i].X);
      minY = std::min(minY, path[i].Y), maxY = std::max(maxY, path[i].Y);
    }
  constexpr ClipperLib::cInt kMaxExtent = std::numeric_limits<std::int32_t>::max();
  if (maxX >= minX && (maxX - minX > kMaxExtent || maxY - minY > kMaxExtent)) return std::nullopt;
  tCNCPath job;
  for (const TPath& path : paths) {
    if (path.size() < 3) continue;
    CNCpath contour{{kKindCut, 0}};
    for (std::size_t i = 1; i < path.size(); ++i)
      contour.push_back({static_cast<std::int32_t>(path[i].X - minX),
                         static_cast<std::int32_t>(path[i].Y - minY)});
    job.push_back(std::move(contour));
  }
  return job;
}

std::size_t JobVertexCount(const tCNCPath& job) {
  std::size_t count = 0;
  for (const CNCpath& contour : job) count += contour.size() - 1;
  return count;
}

}  // namespace

std::string ExportCommandUsage() {
  return "usage: corvane-cli export FILE [-o OUT.tap] [--format standard|bare]\n"
         "         [--input-format gcode|hpgl|dxf|2d] [--set FIELD=VALUE]... [--advanced FILE]\n";
}

int RunExportCommand(const std::vector<std::string>& arguments, std::ostream& out,
                     std::ostream& err) {
  SteadyClock clock;
  ErrorStreamHost host(err);
  ProgramLog log(clock, &host);
  NumberParser parser(log, &host);
  std::string error;
  const auto request = ParseExportArguments(arguments, error);
  FieldStore fields;
  if (request)
    for (const FieldSetting& setting : request->fields)
      if (!ApplyField(fields, setting)) error = "no field " + setting.name;
  if (!request || !error.empty()) {
    err << "corvane-cli: " << error << "\n" << ExportCommandUsage();
    return 2;
  }
  const std::string& drawing = request->drawing;
  TPaths paths;
  TDXF dxf;
  const DrawingLoad load =
      ReadDrawingFile(drawing, request->inputFormat.value_or(DrawingFormatFor(drawing)),
                      ImportOptions{}, parser, log, paths, dxf, true);
  if (load.report.truncated) {
    err << "corvane-cli: " << drawing << ": truncated, nothing exported\n";
    return kExitTruncated;
  }
  if (!load.ok) {
    err << "corvane-cli: " << drawing << ": " << load.error << "\n";
    return kExitNoJob;
  }
  auto job = CuttingJobOf(paths);
  if (!job || job->empty()) {
    err << "corvane-cli: " << drawing << ": "
        << (job ? "no path of two or more vertices to cut" : "too large for a job") << "\n";
    return kExitNoJob;
  }
  JobState state;
  ReplaceJob(state, std::move(*job));
  // Inch mode is how the operator's fields read, not how the drawing did.
  parser.imperial = fields.checked(Window::Configuration, "cImperial");
  AdvancedOptions advanced;
  if (!request->advancedFile.empty())
    ReadAdvancedOptions(request->advancedFile, advanced, parser, log);
  const GcodeExportSettings settings = ReadGcodeExportSettings(fields, advanced, parser);
  const FileResult written =
      WriteGcodeExport(request->output, state.Job, settings, request->format);
  if (!written) {
    err << "corvane-cli: " << request->output << ": " << written.error << "\n";
    return kExitNotWritten;
  }
  out << "exported " << state.Job.size() << " contours, " << JobVertexCount(state.Job)
      << " vertices to " << request->output << "\n";
  return 0;
}

}  // namespace corvane
