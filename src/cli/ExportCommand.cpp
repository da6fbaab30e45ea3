#include "cli/ExportCommand.h"

#include "cli/ImportRequest.h"
#include "import/GcodeExport.h"
#include "model/JobNormalise.h"
#include "model/NumberParser.h"
#include "ports/Clock.h"
#include "ports/ProgramLog.h"
#include "store/AdvancedOptions.h"
#include "store/FieldStore.h"

namespace corvane {
namespace {

std::size_t JobVertexCount(const tCNCPath& job) {
  std::size_t count = 0;
  for (const CNCpath& contour : job) count += contour.size() - 1;
  return count;
}

}  // namespace

std::string ExportCommandUsage() {
  return "usage: corvane-cli export FILE [-o OUT.tap] [--format standard|bare] [import options]\n";
}

int RunExportCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  SteadyClock clock;
  ErrorStreamHost host(err);
  ProgramLog log(clock, &host);
  NumberParser parser(log, &host);
  std::string error;
  const auto request = ParseImportRequest(arguments, {"--format"}, {}, error);
  GcodeExportFormat format = GcodeExportFormat::Standard;
  FieldStore fields;
  if (request) {
    for (const FieldSetting& setting : request->fields)
      if (error.empty() && !ApplyField(fields, setting)) error = "no field " + setting.name;
    for (std::size_t i = 0; i + 1 < request->extra.size(); i += 2) {
      const std::string& value = request->extra[i + 1];
      if (value != "standard" && value != "bare") error = "unknown export format " + value;
      format = value == "bare" ? GcodeExportFormat::Bare : GcodeExportFormat::Standard;
    }
  }
  if (!request || !error.empty()) {
    err << "corvane-cli: " << error << "\n" << ExportCommandUsage() << ImportOptionsUsage();
    return 2;
  }
  const std::string output = request->output.empty() ? request->drawing + ".tap" : request->output;
  // Inch mode is how the operator's fields read, not how the drawing did.
  parser.imperial = fields.checked(Window::Configuration, "cImperial");
  AdvancedOptions advanced;
  ImportSession session(log);
  int code = 0;
  auto job = ImportDrawing(*request, fields, advanced, parser, log, session, err, code);
  if (!job) return code;
  JobState state;
  ReplaceJob(state, std::move(*job));
  const GcodeExportSettings settings = ReadGcodeExportSettings(fields, advanced, parser);
  const FileResult written = WriteGcodeExport(output, state.Job, settings, format);
  if (!written) {
    err << "corvane-cli: " << output << ": " << written.error << "\n";
    return kExitNotWritten;
  }
  out << "exported " << state.Job.size() << " contours, " << JobVertexCount(state.Job) << " vertices to "
      << output << "\n";
  return 0;
}

}  // namespace corvane
