#pragma once

namespace corvane::ui {

// Waits for a while in real time, keeping the interface responsive.
void WaitProcessing(int millis);

}  // namespace corvane::ui
