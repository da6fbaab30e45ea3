#pragma once
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "import/DrawingFile.h"
#include "import/ImportSession.h"
#include "model/JobModel.h"
#include "model/NumberParser.h"
#include "ports/Clock.h"
#include "ports/Host.h"
#include "ports/ProgramLog.h"
#include "store/AdvancedOptions.h"
#include "store/FieldStore.h"

namespace corvane {

// The log lines of the core, one per line on the error stream.
class ErrorStreamHost : public SilentHost {
 public:
  explicit ErrorStreamHost(std::ostream& err) : err_(err) {}
  void appendLogPane(const std::string& message) override { err_ << "log: " << message << "\n"; }

 private:
  std::ostream& err_;
};

struct FieldSetting {
  std::string name;
  std::string value;
};

// A drawing and the import window's choices, as the command line gives them.
struct ImportRequest {
  std::string drawing;
  std::string output;
  std::optional<DrawingFormat> inputFormat;
  std::vector<FieldSetting> fields;  // --set and the shorthand options below
  std::string advancedFile;
  std::optional<std::vector<int>> plasmaLayers;  // --layers; default: the preview's choice
  std::vector<int> markerLayers;                 // --marker-layers
  bool ctrlHeld = false;                         // --no-clean: load as with Ctrl held
  std::optional<double> weldMm;                  // --weld: AutoWelding in mm
  std::vector<std::string> extra;                // options the command handles itself
};

// Options every import command takes, one line each.
std::string ImportOptionsUsage();

// Reads the arguments: the drawing, -o/--output, the import options, and the
// command's own options named in `ownWithValue` (kept in `extra` with their
// value) and `ownFlags`. Empty error when all made sense.
std::optional<ImportRequest> ParseImportRequest(const std::vector<std::string>& args,
                                                const std::set<std::string>& ownWithValue,
                                                const std::set<std::string>& ownFlags,
                                                std::string& error);

// Sets a field by its name, "window.name" (windows main, import, config) or a
// bare name that only one window holds; a check box is on unless the value is
// "0" or empty. The error message, empty when set.
std::string ApplyField(FieldStore& fields, const FieldSetting& setting);

// Exit codes shared by the import commands beyond 0 (done) and 2 (bad arguments).
inline constexpr int kExitNoJob = 1;       // the drawing cannot be read or gives no contour
inline constexpr int kExitTruncated = 3;   // the drawing breaks off: nothing is written
inline constexpr int kExitNotWritten = 4;  // the output file cannot be written

// Reads the drawing and takes it through the import pipeline as the window
// does (preview, editor, processing) into the job it would send. On failure
// says why on err and sets exitCode.
std::optional<tCNCPath> ImportDrawing(const ImportRequest& request, const FieldStore& fields,
                                      AdvancedOptions& advanced, NumberParser& parser, ProgramLog& log,
                                      ImportSession& session, std::ostream& err, int& exitCode);

// What an import command works with: the core's log on the error stream, the
// parser, the window fields and the advanced options.
struct ImportCommandKit {
  explicit ImportCommandKit(std::ostream& err) : host(err) {}
  SteadyClock clock;
  ErrorStreamHost host;
  ProgramLog log{clock, &host};
  NumberParser parser{log, &host};
  FieldStore fields;
  AdvancedOptions advanced;
};

// Reads the arguments into a request and the kit's fields (and inch mode);
// nullopt after saying why and the usage on err.
std::optional<ImportRequest> ReadImportCommand(const std::vector<std::string>& args,
                                               const std::set<std::string>& ownWithValue,
                                               const std::set<std::string>& ownFlags, ImportCommandKit& kit,
                                               const std::string& usage, std::ostream& err);

// ImportDrawing into the job of `state`; returns the exit code.
int ImportJob(const ImportRequest& request, ImportCommandKit& kit, ImportSession& session, JobState& state,
              std::ostream& err);

}  // namespace corvane
