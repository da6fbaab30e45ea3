#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "machine/Diagnostics.h"

namespace corvane {
namespace {

using C = ReportColour;

// A machine every line of the report calls good.
DiagnosticsInputs Healthy() {
  DiagnosticsInputs in;
  in.connected = true;
  in.worstAttempt = 1;
  in.worstQueueFill = 0;
  in.interfaceEnabled = true;
  in.gearX = in.gearY = 38.1;
  in.gearZ = 6.35;
  in.scaleX = in.scaleY = in.scaleZ = 1.0;
  in.feedMinXY = 500;
  in.feedMaxXY = 10000;
  in.feedMinZ = 500;
  in.feedMaxZ = 2000;
  in.rampXY = in.rampZ = 20;
  in.referenced = true;
  return in;
}

// The line whose text starts with `head`, or an empty line.
ReportLine LineStarting(const DiagnosticsReport& report, const std::string& head) {
  for (const ReportLine& line : report.lines)
    if (line.text.rfind(head, 0) == 0) return line;
  return {"(no line " + head + ")", C::Black};
}

TEST(Diagnostics, AHealthyMachineIsGreenThroughoutInTheOrderOfTheReport) {
  const DiagnosticsReport report = BuildDiagnosticsReport(Healthy());
  const std::string order[] = {
      "-- Communication --", "USB Communication : OK", "USB Interferences : OK", "Rx Buff : OK",
      "Rs485 Plasma Interface: OK", "-- Drives --", "Gear X : OK", "Gear Y : OK", "Gear Z : OK",
      "Microstepping X : OK", "Microstepping Y : OK", "Microstepping Z : OK", "X/Y Ratio : OK",
      "-- Dynamics --", "XY SafetySpeed OK", "XY Maximum speed : OK", "XY Ramp : OK",
      "Z SafetySpeed OK", "Z Maximum speed : OK", "Z Ramp : OK", "Machine referenced : OK"};
  ASSERT_EQ(report.lines.size(), std::size(order));
  for (size_t i = 0; i < report.lines.size(); ++i) {
    EXPECT_EQ(report.lines[i].text, order[i]);
    const bool heading = order[i].rfind("--", 0) == 0;
    EXPECT_EQ(report.lines[i].colour, heading ? C::Black : C::Green) << order[i];
  }
  EXPECT_EQ(report.level, 0);
  EXPECT_EQ(report.hintX, "Recomended : (recomended 5000)");
  EXPECT_EQ(report.hintZ, "Recomended : (recomended 800)");
  EXPECT_EQ(SummaryOf(report.level).text, "Status : OK");
  EXPECT_EQ(SummaryOf(report.level).colour, C::Green);
}

struct LineCase {
  const char* what;
  void (*change)(DiagnosticsInputs&);
  const char* head;  // finds the line
  const char* text;
  C colour;
  int level;  // summary level of the whole report
};

const LineCase kLineCases[] = {
    {"gear X 25 is at the green edge", [](DiagnosticsInputs& i) { i.gearX = 25; }, "Gear X",
     "Gear X : OK ", C::Orange, 1},
    {"gear X 80", [](DiagnosticsInputs& i) { i.gearX = 80; }, "Gear X", "Gear X : OK ", C::Orange, 1},
    {"gear X 100", [](DiagnosticsInputs& i) { i.gearX = 100; }, "Gear X",
     "Gear X : Not recomended ( 30-70mm/rev )", C::Red, 2},
    {"gear X 20", [](DiagnosticsInputs& i) { i.gearX = 20; }, "Gear X",
     "Gear X : Not recomended ( 30-70mm/rev )", C::Red, 2},
    {"gear Y 90", [](DiagnosticsInputs& i) { i.gearY = 90; }, "Gear Y", "Gear Y : OK", C::Orange, 1},
    {"gear Z 3", [](DiagnosticsInputs& i) { i.gearZ = 3; }, "Gear Z",
     "Gear Z : Not recomended ( 4-60mm/rev)", C::Red, 2},
    {"gear Z 70", [](DiagnosticsInputs& i) { i.gearZ = 70; }, "Gear Z", "Gear Z : Acceptable",
     C::Orange, 1},
    {"ramp 0", [](DiagnosticsInputs& i) { i.rampXY = 0; }, "XY Ramp",
     "XY Ramp too low ( sugest 5-50 )", C::Red, 2},
    {"ramp 3", [](DiagnosticsInputs& i) { i.rampXY = 3; }, "XY Ramp", "XY Ramp OK", C::Orange, 1},
    {"ramp 5", [](DiagnosticsInputs& i) { i.rampXY = 5; }, "XY Ramp", "XY Ramp : OK", C::Green, 0},
    {"ramp 61", [](DiagnosticsInputs& i) { i.rampXY = 61; }, "XY Ramp",
     "XY Ramp high ( sugest 5-50 )", C::Orange, 1},
    {"ramp 151", [](DiagnosticsInputs& i) { i.rampXY = 151; }, "XY Ramp",
     "XY Ramp too high ( sugest 5-50 )", C::Red, 2},
    {"Z ramp 2", [](DiagnosticsInputs& i) { i.rampZ = 2; }, "Z Ramp", "Z Ramp : ok", C::Orange, 1},
    {"Z ramp 51", [](DiagnosticsInputs& i) { i.rampZ = 51; }, "Z Ramp",
     "Z Ramp high ( sugest 5-50 )", C::Orange, 1},
    {"safety 500 under J 1900", [](DiagnosticsInputs& i) { i.feedMinXY = 500; }, "XY Safety",
     "XY SafetySpeed OK", C::Green, 0},
    {"safety 2000 between J and 1.5 J", [](DiagnosticsInputs& i) { i.feedMinXY = 2000; },
     "XY Safety", "XY Safety speed : Acceptable but high", C::Orange, 1},
    {"safety 2000 with gears 38.1 and 20: J 1000",
     [](DiagnosticsInputs& i) {
       i.feedMinXY = 2000;
       i.gearY = 20;
     },
     "XY Safety", "XY Safety speed too high ( sugest 1000max)", C::Red, 2},
    {"safety 49", [](DiagnosticsInputs& i) { i.feedMinXY = 49; }, "XY Safety",
     "XY Safety speed too low ( sugest >100 )", C::Red, 2},
    {"safety 60", [](DiagnosticsInputs& i) { i.feedMinXY = 60; }, "XY Safety",
     "XY Safety speed : OK ( sugest > 100 ) ", C::Orange, 1},
    {"XY max above M of the smaller gear",
     [](DiagnosticsInputs& i) {
       i.feedMaxXY = 25000;
       i.gearY = 20;
     },
     "XY Maximum", "XY Maximum speed too High ( sugest < 20000)", C::Red, 2},
    {"XY max 40000", [](DiagnosticsInputs& i) { i.feedMaxXY = 40000; }, "XY Maximum",
     "XY Maximum speed High ( sugest < 30000 )", C::Orange, 1},
    {"XY max 1999", [](DiagnosticsInputs& i) { i.feedMaxXY = 1999; }, "XY Maximum",
     "XY Maximum speed too Low ( sugest 2000 minimum ", C::Red, 2},
    {"XY max below safety", [](DiagnosticsInputs& i) { i.feedMaxXY = 400; }, "XY Maximum lower",
     "XY Maximum lower as Safety Speed ", C::Red, 2},
    {"Z safety above Q 1200", [](DiagnosticsInputs& i) { i.feedMinZ = 1900; }, "Z Safety",
     "Z Safety speed too high ( sugest <1200)", C::Red, 2},
    {"Z max over 1.5 P", [](DiagnosticsInputs& i) { i.feedMaxZ = 8000; }, "Z Maximum",
     "Z Maximum speed OK/High ( sugest < 7200)", C::Orange, 1},
    {"Z max over 2 P", [](DiagnosticsInputs& i) { i.feedMaxZ = 9700; }, "Z Maximum",
     "Z Maximum speed too High ( sugest < 9600)", C::Red, 2},
    {"USB attempts 3", [](DiagnosticsInputs& i) { i.worstAttempt = 3; }, "USB Interferences",
     "USB Interferences : Medium", C::Orange, 1},
    {"USB attempts 6", [](DiagnosticsInputs& i) { i.worstAttempt = 6; }, "USB Interferences",
     "USB Interferences : High", C::Red, 2},
    {"queue 2330", [](DiagnosticsInputs& i) { i.worstQueueFill = 2330; }, "Rx Buff",
     "Rx Buff : Med", C::Orange, 1},
    {"queue 2350", [](DiagnosticsInputs& i) { i.worstQueueFill = 2350; }, "Rx Buff",
     "Rx Buff : Full", C::Red, 2},
    {"RS485 grade 3", [](DiagnosticsInputs& i) { i.rs485Grade = 3; }, "Rs485",
     "Rs485 Interferences : High", C::Red, 2},
    {"RS485 disabled does not count",
     [](DiagnosticsInputs& i) {
       i.interfaceEnabled = false;
       i.rs485Grade = 3;
     },
     "Rs485", "Rs485 Plasma Interface: Disabled", C::Grey, 0},
    {"offline", [](DiagnosticsInputs& i) { i.connected = false; }, "Rs485",
     "Rs485 Plasma Interface: Not USB Connection", C::Grey, 1},
    {"X microstepping red names the step choice", [](DiagnosticsInputs& i) { i.scaleX = 2.2; i.scaleY = 2.2; },
     "Microstepping X", "Microstepping X : Not Recomended (recomended 5000)", C::Red, 2},
    {"Z microstepping orange", [](DiagnosticsInputs& i) { i.scaleZ = 3.5; }, "Microstepping Z",
     "Microstepping Z : Acceptable (recomended 800)", C::Orange, 1},
    {"not referenced", [](DiagnosticsInputs& i) { i.referenced = false; }, "Machine",
     "Machine not referenced", C::Orange, 1},
};

TEST(Diagnostics, EachLineFollowsItsThresholds) {
  for (const LineCase& c : kLineCases) {
    DiagnosticsInputs in = Healthy();
    c.change(in);
    const DiagnosticsReport report = BuildDiagnosticsReport(in);
    const ReportLine line = LineStarting(report, c.head);
    EXPECT_EQ(line.text, c.text) << c.what;
    EXPECT_EQ(line.colour, c.colour) << c.what;
    EXPECT_EQ(report.level, c.level) << c.what;
  }
}

TEST(Diagnostics, AnOrangeYMicrosteppingAloneLeavesTheSummaryGreen) {
  DiagnosticsInputs in = Healthy();
  // Y just below the green band, X just inside it: the X/Y ratio stays green.
  in.scaleX = 0.75;
  in.scaleY = 0.72;
  const DiagnosticsReport yAlone = BuildDiagnosticsReport(in);
  EXPECT_EQ(LineStarting(yAlone, "Microstepping Y").colour, C::Orange);
  EXPECT_EQ(LineStarting(yAlone, "X/Y Ratio").colour, C::Green);
  EXPECT_EQ(yAlone.level, 0);
  EXPECT_EQ(SummaryOf(yAlone.level).colour, C::Green);
  // The same band on X counts.
  in.scaleX = 0.72;
  in.scaleY = 0.75;
  EXPECT_EQ(BuildDiagnosticsReport(in).level, 1);
}

// The link agrees with the connection: a board that does not answer never
// reads "OK"; it reads "--" in the orange of "USB Communication : --", and a
// red line still says "Check".
TEST(Diagnostics, SummaryWithoutTheBoardIsNoOk) {
  DiagnosticsInputs in = Healthy();
  const DiagnosticsReport connected = BuildDiagnosticsReport(in);
  EXPECT_EQ(SummaryOf(connected).text, "Status : OK");
  EXPECT_EQ(SummaryOf(connected).colour, C::Green);
  in.connected = false;
  const DiagnosticsReport offline = BuildDiagnosticsReport(in);
  EXPECT_EQ(SummaryOf(offline).text, "Status : --");
  EXPECT_EQ(SummaryOf(offline).colour, C::Orange);
  in.gearX = 1000000;
  const DiagnosticsReport broken = BuildDiagnosticsReport(in);
  ASSERT_EQ(broken.level, 2);
  EXPECT_EQ(SummaryOf(broken).text, "Status : Check");
  EXPECT_EQ(SummaryOf(broken).colour, C::Red);
}

TEST(Diagnostics, SummaryTextsAndColours) {
  EXPECT_EQ(SummaryOf(1).text, "Status : OK");
  EXPECT_EQ(SummaryOf(1).colour, C::Orange);
  EXPECT_EQ(SummaryOf(2).text, "Status : Check");
  EXPECT_EQ(SummaryOf(2).colour, C::Red);
  const RgbColour orange = TextColour(C::Orange);
  EXPECT_EQ(orange.r * 1000000 + orange.g * 1000 + orange.b, 255140000);
  const RgbColour yellow = LampColour(Lamp::Yellow);
  EXPECT_EQ(yellow.r * 1000000 + yellow.g * 1000 + yellow.b, 255239088);
}

TEST(Diagnostics, StepRecommendationsByGear) {
  const struct {
    double gear;
    const char* text;
  } cases[] = {{1.89, "??"},   {1.9, "(recomended 200)"},  {2.0, "(recomended 400)"},
               {5.99, "(recomended 400)"}, {6.35, "(recomended 800)"}, {10, "(recomended 1600)"},
               {38.1, "(recomended 5000)"}, {50, "(recomended 6400)"}, {256, "(recomended 51200)"},
               {500, "(recomended 51200)"}, {500.01, "??"}};
  for (const auto& c : cases) EXPECT_EQ(StepRecommendation(c.gear), c.text) << c.gear;
}

TEST(Diagnostics, LampBandsPerAxis) {
  const struct {
    ScaleAxis axis;
    double scale;
    Lamp lamp;
  } cases[] = {{ScaleAxis::X, 1.0, Lamp::Green},  {ScaleAxis::X, 0.74, Lamp::Yellow},
               {ScaleAxis::X, 0.45, Lamp::Red},   {ScaleAxis::Y, 2.1, Lamp::Red},
               {ScaleAxis::Y, 2.0, Lamp::Yellow}, {ScaleAxis::Z, 3.0, Lamp::Yellow},
               {ScaleAxis::Z, 2.9, Lamp::Green},  {ScaleAxis::Z, 0.24, Lamp::Red},
               {ScaleAxis::A, 1.79, Lamp::Green}, {ScaleAxis::A, 2.4, Lamp::Yellow},
               {ScaleAxis::A, 0.55, Lamp::Red}};
  for (const auto& c : cases)
    EXPECT_EQ(MicrosteppingLamp(c.axis, c.scale), c.lamp) << int(c.axis) << " " << c.scale;
}

}  // namespace
}  // namespace corvane
