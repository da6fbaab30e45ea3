#pragma once
#include <optional>
#include <string>
#include <vector>

#include "model/JobModel.h"
#include "model/JobPreparation.h"
#include "model/ViewTransform.h"

namespace corvane {

// Soft limits of the table as the "Axis Soft Limits" settings give them.
struct SoftLimits {
  bool on = false;       // cLimits
  std::int32_t x = 0;    // xLimitX × 100
  std::int32_t y = 0;    // xLimitY × 100
};

// Right click on the path view: the picked point becomes ResumePoint; when it lies
// within three pixels of a segment of a cutting contour it is snapped onto that
// segment and ResumeContour / ResumeVertex name it (the last segment hit wins).
// Returns whether a segment was hit.
bool PickOnView(JobState& job, const ViewTransform& view, ScreenPoint release);

// The entries of the path view's popup menu.
enum class PopupEntry { MoveHere, CutAllFromObject, CutFromThisPoint, MoveToZero, LineFromHere, LineToHere, Cancel };
struct PopupItem {
  PopupEntry entry;
  std::string text;
  bool enabled;
};
// The menu after a pick: cutting from the object or point needs a hit.
std::vector<PopupItem> PathPopupItems(bool hit);

// "Move here": the machine target of the picked point, none when soft limits forbid it.
std::optional<Point2> MoveHereTarget(const JobState& job, const SoftLimits& limits);
// "Move [0,0]": the project origin, none when soft limits forbid it.
std::optional<Point2> MoveToZeroTarget(const JobState& job, const SoftLimits& limits);
// "Cut All from this object" / "Cut From This Point": where the next start begins.
void StartFromPick(JobState& job, bool fromThePoint);
// "Cut line from here": remembers the machine position of the picked point.
void MarkLineStart(PreparationState& prep, const JobState& job);
// "Cut line to here": the single line to cut (kind 1, relative to the origin) from the
// marked start, or from the torch when none is marked; none when soft limits forbid it.
std::optional<CNCpath> SingleLineToPick(const JobState& job, const PreparationState& prep,
                                        const SoftLimits& limits);

}  // namespace corvane
