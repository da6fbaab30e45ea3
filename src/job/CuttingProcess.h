#pragma once
#include <cstdint>
#include <functional>
#include <optional>

#include "model/JobModel.h"
#include "model/RotaryAxis.h"

namespace corvane {

class ControllerLink;
class MachineCommands;
class Moves;
class System;

inline constexpr int kToolPlasma = 0;
inline constexpr int kToolMarker = -2;

// Screen effects and button states of the main window the cut depends on;
// the lead wires them, unset ones do nothing / answer "up".
struct CuttingUi {
  std::function<bool()> markOnlyDown;  // sMark: pierce the start points only
  std::function<void(bool lit)> showTorchLit;
};

// The sequence that cuts one contour: choose the tool, plan, travel to the
// start, sense the material, pierce, cut along the plan with the height
// control and end with the torch off. Each stage checks the stop flag, so an
// operator stop, an alarm or a lost arc ends the contour at the next vertex.
class CuttingProcess {
 public:
  CuttingProcess(System& system, ControllerLink& link, MachineCommands& commands, Moves& moves);

  CuttingUi ui;
  // Process state kept between contours.
  int CurrentTool = kToolPlasma;
  Point2 LastSensePoint{-100000, -100000};
  bool TorchLit = false;
  int ContourSpeedClass = 1;  // 1 normal, 2 small (cutting speed 2)
  bool DryRun = false;        // Shift at Start: never fire the torch

  void CutContour(const CNCpath& contour);
  // The floating height the head goes up to after a contour: over the flat
  // job's material, or on a profile over the face the contour ended on.
  std::int32_t LiftAfterContour() const;
  void DetectMaterial();
  bool SenseDue();

 private:
  struct Plan;
  bool ChangeToolIfNeeded(const CNCpath& contour);
  Plan PlanContour(const CNCpath& contour, bool marker);
  void Lift(const Plan& plan);
  // The rotary axis: the unrolled-plane mapping of the contour's origin, the
  // travel to the contour's start and one move along the plan.
  RotaryMapping MappingFor(const Plan& plan) const;
  void RotaryTravelToStart(const Plan& plan, Point2 start);
  void RotaryMove(const Plan& plan, const PlannedRecord& r);
  // "Shorten rotation": re-labels the controller's A before a move that would
  // turn the tube more than half a revolution.
  void ShortenRotationTo(std::int64_t targetA);
  // The height of the material under the torch: the profile's face at the
  // contour's start, else the project origin.
  std::int32_t SurfaceZ() const;
  void Pierce(const Plan& plan);
  void CutPass(const Plan& plan, std::int32_t& passLevel);
  void TravelAlong(const Plan& plan);
  // One cutting move of the plan, in pieces short enough for the run-out.
  void CutTo(std::int32_t x, std::int32_t y, std::int32_t speed);
  void TorchOn();
  void TorchOff();
  bool MarkOnly() const;

  System& system_;
  ControllerLink& link_;
  MachineCommands& commands_;
  Moves& moves_;
  std::optional<std::int32_t> profileSurface_;  // the face height under the running profile contour
  std::optional<std::int32_t> endSurface_;      // the face height where the last profile contour ended
};

}  // namespace corvane
