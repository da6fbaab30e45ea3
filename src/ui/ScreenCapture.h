#pragma once
#include <QString>
#include <functional>
#include <vector>

namespace corvane::ui {

// Captures the whole primary screen into a JPEG file. False when there is no
// screen to capture or the file cannot be written.
bool SaveScreenshot(const QString& path);

// The screenshots of the support package. Each arrangement of the windows in
// turn is set up, given time to draw (events, 250 ms, events) and captured
// into the store folder: the first as "Screenshot.jpg", the next ones as
// "Screenshot1.jpg", "Screenshot2.jpg", ... Returns how many were saved.
int CaptureScreenshots(const QString& storeFolder,
                       const std::vector<std::function<void()>>& arrangements);

}  // namespace corvane::ui
