#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace corvane {

// The screen effects of the single commands that belong to other parts of
// the program (the jog, the path view, the cutting process, the main window's
// buttons). The lead wires each to its owner; an unset one does nothing.
struct MachineUi {
  std::function<bool()> errorLabelShowsOhmic;
  std::function<void()> clearJogDirection;
  std::function<bool()> jogDirectionActive;
  std::function<void()> releaseTorchButton;
  std::function<void(int output)> releaseOutputButton;
  // THC latch, simulation pacing counter and sensing indicator.
  std::function<void()> resetMotionState;
  std::function<void()> rebuildJobView;
  std::function<void(std::int32_t speed)> showActualSpeed;
  std::function<void()> hideThcOffMarker;
  std::function<void()> focusZoomBar;
  std::function<void()> startStopLock;
  // eSpec4 "Piercing count" + 1.
  std::function<void()> countPierce;
  std::function<void(bool on)> markTorchByPc;
  std::function<void(bool enabled)> enableOhmicCheckBox;
  std::function<bool()> pathViewSuspended;
  // Redraw of the status panel after a status read.
  std::function<void()> redrawStatusPanel;
  // ContourSpeedClass of the cutting process goes back to its start.
  std::function<void()> resetContourSpeedClass;
  // What the main window's error label shows now.
  std::function<std::string()> errorLabelText;
  // The main window's Z- jog button is held down.
  std::function<bool()> zMinusHeld;
  // The material height a probe found, as the job origin Z in 0.01 mm (field xZM).
  std::function<void(std::int32_t originZ)> showMaterialOrigin;
  // The external start/stop input starts or stops the job; without a stop
  // hook the input stops all motion.
  std::function<void()> startJob;
  std::function<void()> stopJob;
  // The path view's tool marker after a status A read.
  std::function<void()> redrawToolMarker;

  template <typename... Args, typename F>
  static void Call(const F& hook, Args... args) {
    if (hook) hook(args...);
  }
  template <typename F>
  static bool Ask(const F& hook) {
    return hook && hook();
  }
};

}  // namespace corvane
