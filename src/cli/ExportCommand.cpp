#include "cli/ExportCommand.h"

#include "cli/ImportRequest.h"
#include "import/GcodeExport.h"

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
  ImportCommandKit kit(err);
  const auto request = ReadImportCommand(arguments, {"--format"}, {}, kit, ExportCommandUsage(), err);
  if (!request) return 2;
  GcodeExportFormat format = GcodeExportFormat::Standard;
  for (std::size_t i = 0; i + 1 < request->extra.size(); i += 2) {
    const std::string& value = request->extra[i + 1];
    if (value != "standard" && value != "bare") {
      err << "corvane-cli: unknown export format " << value << "\n" << ExportCommandUsage();
      return 2;
    }
    format = value == "bare" ? GcodeExportFormat::Bare : GcodeExportFormat::Standard;
  }
  const std::string output = request->output.empty() ? request->drawing + ".tap" : request->output;
  ImportSession session(kit.log);
  JobState state;
  if (const int code = ImportJob(*request, kit, session, state, err); code != 0) return code;
  const GcodeExportSettings settings = ReadGcodeExportSettings(kit.fields, kit.advanced, kit.parser);
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
