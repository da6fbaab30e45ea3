#include "model/ViewTransform.h"

#include <algorithm>
#include <cmath>

namespace corvane {

ScreenPoint ViewTransform::ToScreen(std::int64_t x, std::int64_t y) const {
  return {static_cast<int>(std::lround(static_cast<double>(x) / scale)) + offsetX,
          static_cast<int>(std::lround(height - static_cast<double>(y) / scale)) - offsetY};
}

Point2 ViewTransform::ToJob(int column, int row) const {
  return {static_cast<std::int32_t>(std::lround((column - offsetX) * scale)),
          static_cast<std::int32_t>(std::lround((height - row - offsetY) * scale))};
}

ViewTransform FitView(std::int32_t extentX, std::int32_t extentY, int width, int height, int zoom,
                      std::int32_t startX) {
  ViewTransform v;
  v.width = std::max(width, 1);
  v.height = std::max(height, 1);
  const std::int64_t ex = std::int64_t{extentX} - std::min(startX, 0), ey = extentY;
  std::int64_t base = ey / v.height < ex / v.width ? ex * 4 / 3 / v.width : ey * 4 / 3 / v.height;
  base = std::max<std::int64_t>(base, 1);
  v.scale = std::round(static_cast<double>(base) * zoom * zoom / 100.0);
  if (v.scale == 0) v.scale = 1.0;
  v.offsetX = static_cast<int>((v.width - ex / base) / 2 - std::min<std::int64_t>(startX, 0) / base);
  v.offsetY = static_cast<int>((v.height - ey / base) / 2);
  return v;
}

}  // namespace corvane
