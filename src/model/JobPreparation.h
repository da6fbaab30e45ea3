#pragma once
#include <array>
#include <cstdint>

#include "model/JobModel.h"
#include "model/ViewTransform.h"

namespace corvane {

// Which corner of the job box the last placement used.
enum class ReferenceCorner : int { None = 0, LowerLeft = 1, UpperLeft = 2, UpperRight = 3, LowerRight = 4 };

// The main window's state around placing a job on the sheet.
struct PreparationState {
  std::int32_t LaserOffsetX = 0;  // xSpec8 × 100: laser pointer offset from the torch
  std::int32_t LaserOffsetY = 0;  // xSpec9 × 100
  ReferenceCorner Corner = ReferenceCorner::None;
  bool AngleActive = false;       // bAngle is down: the job is rotated
  std::array<Point2, 5> AngleFrame{};
  tCNCPath JobBackup;             // the job as it was before the alignment
  Point2 LineStart{-1, 0};        // machine X, Y of a single-line start; x = −1: none
  ViewTransform View;             // the path view's current mapping
};

inline bool HasLineStart(const PreparationState& s) { return s.LineStart.x != -1; }

}  // namespace corvane
