#include "cli/ImportRequest.h"

#include <cmath>
#include <sstream>

#include "model/JobNormalise.h"

namespace corvane {
namespace {

std::optional<std::vector<int>> LayerList(const std::string& text) {
  std::vector<int> layers;
  std::stringstream stream(text);
  std::string item;
  while (std::getline(stream, item, ',')) {
    if (item.empty()) continue;
    char* end = nullptr;
    const long layer = std::strtol(item.c_str(), &end, 10);
    if (*end != '\0' || layer < 0 || layer > 255) return std::nullopt;
    layers.push_back(static_cast<int>(layer));
  }
  return layers;
}

bool IsNumber(const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && std::isfinite(value);
}

// Shorthands for the import window's fields.
std::optional<std::string> TakeShorthand(const std::string& option, const std::string& value,
                                         ImportRequest& request) {
  auto set = [&](const char* name, const std::string& v) { request.fields.push_back({name, v}); };
  if (option == "--tool" || option == "--lead" || option == "--lead-ratio" || option == "--weld" ||
      option == "--sort") {
    if (!IsNumber(value)) return option + " wants a number, not " + value;
  }
  if (option == "--tool") {
    set("cOffsetActive", "1"), set("import.Edit1", value);
  } else if (option == "--lead") {
    set("cLeadIn", "1"), set("eLead", value);
  } else if (option == "--lead-ratio") {
    set("eInOut", value);
  } else if (option == "--sort") {
    set("eSort", value);
  } else if (option == "--start") {
    static const std::vector<std::pair<std::string, const char*>> kCorners = {
        {"none", "rSort0"},         {"bottom-left", "rSort1"}, {"top-left", "rSort2"},
        {"top-right", "rSort3"},    {"bottom-right", "rSort4"}, {"centre", "rSort5"}};
    bool found = false;
    for (const auto& [name, field] : kCorners) {
      set(field, name == value ? "1" : "0");
      found = found || name == value;
    }
    if (!found) return "--start wants none, bottom-left, top-left, top-right, bottom-right or centre";
  } else if (option == "--weld") {
    request.weldMm = std::strtod(value.c_str(), nullptr);
  } else if (option == "--layers" || option == "--marker-layers") {
    const auto layers = LayerList(value);
    if (!layers) return option + " wants layer numbers 0..255 separated by commas, not " + value;
    (option == "--layers" ? request.plasmaLayers.emplace() : request.markerLayers) = *layers;
  } else {
    return std::nullopt;
  }
  return "";
}

}  // namespace

std::string ImportOptionsUsage() {
  return "  import options (as the import window has them):\n"
         "    --tool MM            cut with this kerf compensation (tool diameter)\n"
         "    --inside             compensate inside the contours instead of outside\n"
         "    --lead MM            plan lead-ins of this length\n"
         "    --lead-out           and lead-outs; --lead-ratio R: lead-in / lead-out (default 4)\n"
         "    --sort N             sort slider -5 (rows) .. 5 (columns); --start CORNER\n"
         "    --weld MM            weld open pieces whose ends lie this close\n"
         "    --no-clean           load without cleaning and welding (as with Ctrl held)\n"
         "    --layers L,L         layers to cut; --marker-layers L,L layers to mark\n"
         "    --input-format gcode|hpgl|dxf|2d   --set FIELD=VALUE   --advanced FILE\n";
}

std::optional<ImportRequest> ParseImportRequest(const std::vector<std::string>& args,
                                                const std::set<std::string>& ownWithValue,
                                                const std::set<std::string>& ownFlags,
                                                std::string& error) {
  static const std::set<std::string> kWithValue = {
      "-o",    "--output",     "--advanced", "--input-format", "--set",    "--tool",         "--lead",
      "--lead-ratio", "--sort", "--start",   "--weld",         "--layers", "--marker-layers"};
  ImportRequest request;
  for (std::size_t i = 0; i < args.size() && error.empty(); ++i) {
    const std::string& arg = args[i];
    const bool own = ownWithValue.count(arg) > 0;
    if (kWithValue.count(arg) || own) {
      if (i + 1 == args.size()) {
        error = arg + " needs a value";
        break;
      }
      const std::string& value = args[++i];
      if (own) {
        request.extra.push_back(arg);
        request.extra.push_back(value);
      } else if (arg == "-o" || arg == "--output") {
        request.output = value;
      } else if (arg == "--advanced") {
        request.advancedFile = value;
      } else if (arg == "--input-format") {
        request.inputFormat = DrawingFormatNamed(value);
        if (request.inputFormat == DrawingFormat::Unknown) error = "unknown drawing format " + value;
      } else if (arg == "--set") {
        const auto equals = value.find('=');
        if (equals == std::string::npos || equals == 0)
          error = "--set wants FIELD=VALUE, not " + value;
        else
          request.fields.push_back({value.substr(0, equals), value.substr(equals + 1)});
      } else {
        error = TakeShorthand(arg, value, request).value_or("");
      }
    } else if (arg == "--inside") {
      request.fields.push_back({"rInside", "1"});
      request.fields.push_back({"rOutside", "0"});
    } else if (arg == "--lead-out") {
      request.fields.push_back({"cLeadOut", "1"});
    } else if (arg == "--no-clean") {
      request.ctrlHeld = true;
    } else if (ownFlags.count(arg)) {
      request.extra.push_back(arg);
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
  return request;
}

namespace {

struct NamedWindow {
  const char* prefix;
  Window window;
};
constexpr NamedWindow kWindows[] = {
    {"main", Window::Main}, {"import", Window::Import}, {"config", Window::Configuration}};

}  // namespace

std::string ApplyField(FieldStore& fields, const FieldSetting& setting) {
  // "import.Edit1" names the window; a bare name must belong to one window only.
  std::string name = setting.name;
  std::vector<NamedWindow> candidates;
  const auto dot = name.find('.');
  if (dot != std::string::npos) {
    const std::string prefix = name.substr(0, dot);
    for (const auto& named : kWindows)
      if (FoldCase(prefix) == named.prefix) candidates.push_back(named);
    if (candidates.empty()) return "no window " + prefix + " (main, import or config) for " + name;
    name = name.substr(dot + 1);
  } else {
    candidates.assign(std::begin(kWindows), std::end(kWindows));
  }
  std::vector<NamedWindow> holders;
  for (const auto& named : candidates)
    if (fields.find(named.window, name)) holders.push_back(named);
  if (holders.empty()) return "no field " + setting.name;
  if (holders.size() > 1) {
    std::string choices;
    for (const auto& named : holders) choices += (choices.empty() ? "" : ", ") + std::string(named.prefix) + "." + name;
    return "field " + name + " is in more than one window; name one: " + choices;
  }
  const Window window = holders.front().window;
  const FieldValue* field = fields.find(window, name);
  const bool set = field->definition->kind == FieldKind::Text
                       ? fields.setText(window, name, setting.value)
                       : fields.setChecked(window, name, !setting.value.empty() && setting.value != "0");
  return set ? std::string() : "field " + setting.name + " does not take " + setting.value;
}

std::optional<tCNCPath> ImportDrawing(const ImportRequest& request, const FieldStore& fields,
                                      AdvancedOptions& advanced, NumberParser& parser, ProgramLog& log,
                                      ImportSession& session, std::ostream& err, int& exitCode) {
  exitCode = kExitNoJob;
  if (!request.advancedFile.empty()) ReadAdvancedOptions(request.advancedFile, advanced, parser, log);
  if (request.weldMm) advanced.AutoWelding = static_cast<std::int32_t>(std::lround(*request.weldMm * 100));
  const std::string& drawing = request.drawing;
  const ImportOptions readOptions = ReadImportReadOptions(fields, advanced, parser);
  const bool read = session.Preview(drawing, readOptions, parser, "", request.inputFormat);
  const DrawingLoad& load = session.lastLoad();
  if (load.report.truncated) {
    err << "corvane-cli: " << drawing << ": truncated, nothing written\n";
    exitCode = kExitTruncated;
    return std::nullopt;
  }
  if (!read) {
    err << "corvane-cli: " << drawing << ": " << (load.error.empty() ? "nothing to import" : load.error) << "\n";
    return std::nullopt;
  }
  const ImportProcessOptions options = ReadImportProcessOptions(fields, advanced, parser);
  session.LoadIntoEditor(request.plasmaLayers.value_or(session.DefaultPlasmaLayers()), request.markerLayers,
                         request.ctrlHeld, options);
  auto job = session.JobContours(options);
  if (!job) {
    err << "corvane-cli: " << drawing << ": too large for a job\n";
    return std::nullopt;
  }
  std::size_t cut = 0;
  for (const CNCpath& contour : *job) cut += contour.size() >= 3 ? 1 : 0;
  if (cut == 0) {
    err << "corvane-cli: " << drawing << ": no path of two or more vertices to cut\n";
    return std::nullopt;
  }
  exitCode = 0;
  return job;
}

std::optional<ImportRequest> ReadImportCommand(const std::vector<std::string>& args,
                                               const std::set<std::string>& ownWithValue,
                                               const std::set<std::string>& ownFlags, ImportCommandKit& kit,
                                               const std::string& usage, std::ostream& err) {
  std::string error;
  auto request = ParseImportRequest(args, ownWithValue, ownFlags, error);
  if (request)
    for (const FieldSetting& setting : request->fields)
      if (error.empty()) error = ApplyField(kit.fields, setting);
  if (!request || !error.empty()) {
    err << "corvane-cli: " << error << "\n" << usage << ImportOptionsUsage();
    return std::nullopt;
  }
  // Inch mode is how the operator's fields read, not how the drawing did.
  kit.parser.imperial = kit.fields.checked(Window::Configuration, "cImperial");
  return request;
}

int ImportJob(const ImportRequest& request, ImportCommandKit& kit, ImportSession& session, JobState& state,
              std::ostream& err) {
  int code = 0;
  auto job = ImportDrawing(request, kit.fields, kit.advanced, kit.parser, kit.log, session, err, code);
  if (job) ReplaceJob(state, std::move(*job));
  return code;
}

}  // namespace corvane
