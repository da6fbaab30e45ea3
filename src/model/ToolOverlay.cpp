#include "model/ToolOverlay.h"

#include <cmath>
#include <cstdio>

#include "model/PositionText.h"

namespace corvane {
namespace {

constexpr int kArm = 8;  // pixels from the centre of the cross to its ends
constexpr int kPositionPointSize = 16;
constexpr int kSpeedPointSize = 10;

}  // namespace

std::string FormatActualSpeed(std::int32_t speed, bool imperial) {
  char text[32];
  if (imperial)
    std::snprintf(text, sizeof text, "~%3.3d.%.2d in/min", static_cast<int>(std::floor(speed / 25.4)),
                  static_cast<int>(static_cast<long>(std::floor(speed / 0.254)) % 100));
  else
    std::snprintf(text, sizeof text, "~%.5d mm/min", speed);
  return text;
}

DisplayList ToolOverlay(const JobState& job, const ViewTransform& view, std::int32_t actualSpeed,
                        bool imperial, std::optional<Point64> inJob) {
  DisplayList list;
  const AxisPosition& torch = job.MachinePosition;
  const std::int64_t x = inJob ? inJob->x : std::int64_t{torch.x} - job.ProjectOriginX;
  const std::int64_t y = inJob ? inJob->y : std::int64_t{torch.y} - job.ProjectOriginY;
  const std::int64_t z = std::int64_t{torch.z} - job.ProjectOriginZ;
  const ScreenPoint c = view.ToScreen(x, y);
  list.items.push_back(DisplayPolyline{{{c.x - kArm, c.y}, {c.x + kArm, c.y}}, colours::kRed, 2, false});
  list.items.push_back(DisplayPolyline{{{c.x, c.y - kArm}, {c.x, c.y + kArm}}, colours::kRed, 2, false});
  // The readout sits in the lower left corner, clear of the texts commands
  // write at the top of the view.
  const int bottom = view.height;
  // Each line built by appending, not by "X" + text: GCC 12 warns wrongly about the latter.
  const auto line = [imperial](char axis, std::int64_t value) {
    std::string text(1, axis);
    text += FormatPosition(value, imperial);
    return text;
  };
  list.items.push_back(DisplayText{{5, bottom - 66}, line('X', x), colours::kBlack, kPositionPointSize});
  list.items.push_back(DisplayText{{5, bottom - 46}, line('Y', y), colours::kBlack, kPositionPointSize});
  list.items.push_back(DisplayText{{5, bottom - 26}, line('Z', z), colours::kBlack, kPositionPointSize});
  list.items.push_back(DisplayText{{5, bottom - 8}, FormatActualSpeed(actualSpeed, imperial), colours::kNavy, kSpeedPointSize});
  return list;
}

}  // namespace corvane
