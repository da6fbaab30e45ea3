#pragma once

#include "model/JobModel.h"
#include "model/JobPreparation.h"

namespace corvane {

class Host;

// The five points of the job box outline that follow the job when it is rotated.
std::array<Point2, 5> JobFrame(std::int32_t extentX, std::int32_t extentY);

// bAngle pressed: rotates the job about the reference corner so that its edge runs
// to the laser point. Beeps and returns false (the button is released) when there is
// no reference corner or the laser is within 50 mm of it along both edges.
bool AlignToSheetAngle(JobState& job, PreparationState& prep, Host& host);

// bAngle released: the job as it was before the alignment.
void ReleaseSheetAngle(JobState& job, PreparationState& prep, Host& host);

// The sheet angle measured from corner `corner` (job coordinates) by the vector d to the laser point.
double SheetAngle(ReferenceCorner corner, double dx, double dy);

}  // namespace corvane
