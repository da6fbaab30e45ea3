#include "system/TubeSetup.h"

#include <cmath>

#include "store/FieldValues.h"
#include "system/FieldSettings.h"
#include "system/System.h"

namespace corvane {
namespace {

constexpr Window kMain = Window::Main;
constexpr std::int32_t kPreviewStep = 25;

TubeGeometry ReadTube(const System& system, bool pipe) {
  TubeGeometry tube;
  tube.pipe = pipe;
  tube.width = FieldLength(system, kMain, "xrB");
  tube.height = FieldLength(system, kMain, "xrH");
  tube.radius = FieldLength(system, kMain, "xrR");
  tube.diameter = pipe ? FieldLength(system, kMain, "xrD") : 0;
  return LimitTube(tube);
}

void ShowTube(System& system, const TubeGeometry& tube) {
  const auto show = [&](const char* name, std::int32_t value) {
    const std::string text = system.parser.FormatLength(value / 100.0);
    if (system.fields.text(kMain, name) != text &&
        FieldLength(system, kMain, name) != value)
      system.fields.setText(kMain, name, text);
  };
  show("xrB", tube.width);
  show("xrH", tube.height);
  show("xrR", tube.radius);
  if (tube.pipe) show("xrD", tube.diameter);
}

// Stores the tube, builds its table and the scales that depend on it.
void Apply(System& system, TubeGeometry tube) {
  RotaryState& rotary = system.rotary;
  ShowTube(system, tube);
  if (tube.pipe) tube.width = tube.diameter;
  rotary.tube = tube;
  RecomputeAxisScales(system);
  if (!tube.pipe)
    rotary.table = BuildProfileTable(tube.width, tube.height, tube.radius, system.scales.ARev);
  else
    rotary.table = {};
  if (tube.pipe && rotary.active) system.job.ProjectOriginZ = tube.diameter / 2;
}

}  // namespace

void TubeOkPipe(System& system) {
  system.fields.setChecked(kMain, "cpipe", true);
  Apply(system, ReadTube(system, true));
  system.rotary.previewRunning = false;  // a round section has nothing to show turning
}

void TubeOkProfile(System& system) {
  system.fields.setChecked(kMain, "cpipe", false);
  Apply(system, ReadTube(system, false));
  system.rotary.previewAt = 0;
  system.rotary.previewRunning = true;
}

void TubeExit(System& system) {
  // The kind of tube is kept with the settings: a restart finds it again.
  Apply(system, ReadTube(system, system.fields.checked(kMain, "cpipe")));
  system.rotary.previewRunning = false;
}

void AdvanceTubePreview(System& system) {
  RotaryState& rotary = system.rotary;
  if (!rotary.previewRunning) return;
  const std::int32_t perimeter = 2 * rotary.tube.width + 2 * rotary.tube.height;
  rotary.previewAt = perimeter > 0 ? (rotary.previewAt + kPreviewStep) % perimeter : 0;
}

RotaryMapping RotaryMappingOf(const System& system, std::int32_t originX) {
  return RotaryMapping(system.rotary.tube, system.rotary.table, system.scales.ARev, system.scales.SA, originX);
}

RotaryMapping RotaryMappingOf(const System& system) { return RotaryMappingOf(system, system.job.ProjectOriginX); }

TubePlanning::TubePlanning(const System& system, std::int32_t originX) {
  if (!system.rotary.profile()) return;
  mapping_.emplace(RotaryMappingOf(system, originX));
  planning_ = mapping_->Planning();
}

TubePlanning::TubePlanning(const System& system) : TubePlanning(system, system.job.ProjectOriginX) {}

AxisPosition CommandedFromBoard(const System& system, const AxisPosition& board) {
  AxisPosition at = board;
  if (system.rotary.pipe() && system.scales.SA > 0)
    at.a = static_cast<std::int32_t>(std::lround(board.a / system.scales.SA));
  return at;
}

Point64 BoardInJob(const System& system, const AxisPosition& board, bool jobRunning) {
  const JobState& job = system.job;
  const std::int64_t y = std::int64_t{board.y} - job.ProjectOriginY;
  if (!system.rotary.active) return {std::int64_t{board.x} - job.ProjectOriginX, y};
  const bool mixed = system.rotary.mixXA || jobRunning;
  return {RotaryMappingOf(system).UnrolledX(board.x, board.a, mixed), y};
}

}  // namespace corvane
