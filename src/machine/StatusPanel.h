#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "model/DisplayList.h"
#include "model/JobModel.h"

namespace corvane {

// What the status overlay of the path view and the side view show, gathered
// from the last status reads and the fields at one refresh.
struct StatusPanelState {
  bool connected = false;
  std::uint32_t statusWord = 0;  // 0 while not connected
  int statusCode = 0;
  bool interfaceEnabled = false;  // cInterface: the plasma interface answers
  bool blinkRed = true;           // the blinking colour's phase: red or white
  std::string notConnectedText = "NOT CONNECTED";
  bool in2AlarmLatched = false;
  std::string in2AlarmText = "ALARM";  // eAlarm
  bool softLimitsOff = false;          // cLimits clear: jogs and jobs may leave the table
  std::optional<Point2> pointer;       // the pointer in job coordinates
  std::int32_t arcVoltage = 0;
  bool in2ArcOk = false;  // cIn2 in mode "ARC OK"
  bool milling = false;   // "Milling Mode"
  bool torchOnByPc = false;
  bool imperial = false;
  AxisPosition torch;   // MachinePosition
  AxisPosition origin;  // the job origin
  int width = 1;        // of the path view
};

// "Inputs:" with one letter per set input 1..8 ("-" when clear), " O"/" -"
// for ohmic contact and "A"/"-" for ARC OK; all dashes while not connected
// or while none of those inputs is set.
std::string InputsText(std::uint32_t statusWord, bool connected);
// "Outputs:" with "P", "1", "2" or "-" for plasma, output 1 and output 2.
std::string OutputsText(std::uint32_t statusWord);
// "ARC --- V " below 6 V, else "ARC 123 V ".
std::string ArcText(std::int32_t volts);
// The Z line of the side view: the torch above the origin, or "-Z Limit!"
// when the torch stands at 0.01 mm or lower outside Milling Mode.
std::string ZLineText(std::int32_t torchZ, std::int32_t originZ, bool milling, bool imperial);

// THC indicators: raising, lowering, and "THC off".
struct ThcIndicators {
  bool up = false, down = false, off = false;
};
ThcIndicators ThcIndicatorsOf(std::uint32_t statusWord, bool connected, bool thcLatched);

// The texts written over the job picture at every refresh.
DisplayList StatusOverlay(const StatusPanelState& state);
// The side view: tool, material line, coordinates, arc readout and lamps.
DisplayList SideViewPicture(const StatusPanelState& state, int width, int height);

}  // namespace corvane
