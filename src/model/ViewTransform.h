#pragma once
#include <cstdint>

#include "model/JobModel.h"

namespace corvane {

// A pixel of the path view (column from the left, row from the top).
struct ScreenPoint {
  int x = 0;
  int y = 0;
  friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

// How the path view maps job coordinates (0.01 mm, Y up) to pixels (Y down).
struct ViewTransform {
  double scale = 1.0;  // 0.01 mm per pixel, never 0
  int offsetX = 0;     // column of job X = 0
  int offsetY = 0;     // rows of job Y = 0 above the bottom edge
  int width = 1;
  int height = 1;

  ScreenPoint ToScreen(std::int64_t x, std::int64_t y) const;
  // Job coordinates of a pixel.
  Point2 ToJob(int column, int row) const;
};

// The view fitted to a job: scale for the zoom bar position, the job centred at the base scale.
// `startX`: where the job begins when left of 0 (a job centred on a
// rectangular tube's top face), so that all of it fits.
ViewTransform FitView(std::int32_t extentX, std::int32_t extentY, int width, int height, int zoom,
                      std::int32_t startX = 0);

}  // namespace corvane
