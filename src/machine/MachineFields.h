#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace corvane {

// The THC settings and the machine configuration as the operator's fields hold
// them, read at the moment of use. Numbers are already parsed by the field
// store with the parser named beside each; texts are the field texts.
struct ThcFields {
  std::int32_t pierceTime = 0;          // eTime, ParseInt1 (ms)
  std::int32_t targetVoltage = 0;       // eVoltage, ParseInt1 (0 = automatic THC)
  std::int32_t voltageCalibration = 100;  // eVcal, ParseInt1
  std::string divider = "1:1";          // eDV: "1:1", "20:1" or "50:1"
  std::string thcSpeed = "50";          // eTHCspeed text; a "%" makes it relative to xFeed
  std::int32_t feed = 2540;             // xFeed, ParseInt2 (mm/min)
  bool highSpeedThc = false;            // cSpec2 "High Speed THC"
  bool ohmicSensor = false;             // "Ohmic Sensor" check box
  bool interfaceEnabled = false;        // cInterface, RS485 interface "Enabled"
  bool reverseX = false, reverseY = false, reverseZ = false, reverseP = false;  // cReversX..cReversP
  int fourthAxisFunction = 0;           // cFunctionP item index
  std::array<bool, 8> normallyClosed{};  // cNeg1..cNeg8, the "NEG(NC):" row
};

// Output modes of cOut1 / cOut2 (item indexes of the choice lists).
enum class OutputMode {
  Off = 0,
  PlasmaOnOff = 1,
  DuringWork = 2,
  OnOffButton = 3,
  ZAxisDown = 4,
  ScriberMarker = 5
};

// Fields the single commands read besides the THC settings.
struct CommandFields {
  std::int32_t feedMinXY = 1000;  // xFeedMinXY read with ParseInt1 (no inch conversion)
  std::int32_t feedMinZ = 1000;   // xFeedMinZ, ParseInt1
  std::int32_t feedMinA = 1000;   // xFeedMinA, ParseInt1
  bool in2ArcOk = false;          // cIn2 is in mode "ARC OK" (item 2)
  OutputMode out1 = OutputMode::Off;  // cOut1
  OutputMode out2 = OutputMode::Off;  // cOut2
};

// Fields the connection sequence reads and the one it writes back.
struct ConnectionFields {
  std::string lVer = "1.2.1";  // version of the firmware file the program carries
  std::string eVer = "1.2.1";  // version last flashed by this installation
  std::int32_t eTX = 0, eTY = 0, eTZ = 0, eTA = 0;  // last machine position in steps
  bool cRef = false;           // all axes were referenced when the program last ran
  int showErr = 1;             // advanced option "show_err" (0 hides the error label)
  bool autoConnect = true;     // advanced option "AutoConnect" is not "disable"
};

}  // namespace corvane
