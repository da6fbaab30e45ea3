#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

// Levels of the report's lines; the summary is the highest counting level.
enum class ReportColour { Green = 0, Orange = 1, Red = 2, Grey, Black };

struct ReportLine {
  std::string text;
  ReportColour colour = ReportColour::Black;
  // Grey and black lines never count; a few orange ones are told not to.
  bool counts = true;
};

// What the report judges, already in mm, mm/rev and mm/min; ramps as typed.
struct DiagnosticsInputs {
  bool connected = false;
  std::int32_t worstAttempt = 0;
  std::int32_t worstQueueFill = 0;
  std::int32_t rs485Grade = 0;
  bool interfaceEnabled = false;
  double gearX = 0, gearY = 0, gearZ = 0;  // xMoveX, xMoveY, xMoveZ
  double scaleX = 1, scaleY = 1, scaleZ = 1;  // S_X, S_Y, S_Z: steps per 0.01 mm
  double feedMinXY = 0, feedMaxXY = 0, feedMinZ = 0, feedMaxZ = 0;
  std::int32_t rampXY = 0, rampZ = 0;
  bool referenced = false;
};

struct DiagnosticsReport {
  std::vector<ReportLine> lines;
  int level = 0;  // 0 green, 1 orange, 2 red
  bool connected = false;  // the board answered: the communication line reads OK
  // Hints of cStepX, cStepY, cStepZ: "Recomended : " + the recommendation.
  std::string hintX, hintY, hintZ;
};

DiagnosticsReport BuildDiagnosticsReport(const DiagnosticsInputs& in);

// The microstepping that suits a gear of `gearMm` mm per motor revolution.
std::string StepRecommendation(double gearMm);

// Colour of an axis's microstepping lamp, and of its report line.
enum class Lamp { Green, Yellow, Red };
enum class ScaleAxis { X, Y, Z, A };
Lamp MicrosteppingLamp(ScaleAxis axis, double scale);

// The "Status" link: its text and colour for a summary level.
struct StatusSummary {
  std::string text;
  ReportColour colour;
};
StatusSummary SummaryOf(int level);
// The link as the report reads: never "OK" while the board is not connected,
// where it says "Status : --" in the orange of the communication line.
StatusSummary SummaryOf(const DiagnosticsReport& report);

struct RgbColour {
  int r, g, b;
};
RgbColour TextColour(ReportColour colour);
RgbColour LampColour(Lamp lamp);

}  // namespace corvane
