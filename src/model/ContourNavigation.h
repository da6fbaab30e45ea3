#pragma once

#include "model/JobModel.h"

namespace corvane {

class Host;

// Choosing where the next start begins; each clears the stop point and redraws.
void RewindToStart(JobState& job, Host& host);       // sRev: no contour selected
void StepContourBack(JobState& job, Host& host);     // sRev1
void StepContourForward(JobState& job, Host& host);  // sFF1
void JumpToLastContour(JobState& job, Host& host);   // sFF
// Progress bar pressed or dragged at `mouseX` of `barWidth`; false (nothing changed) while busy.
bool SeekContourOnBar(JobState& job, Host& host, int mouseX, int barWidth, bool busy);

}  // namespace corvane
