#include "machine/Diagnostics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace corvane {
namespace {

using C = ReportColour;

// Numbers inside the texts are written in general floating-point form.
std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

struct Band {
  double low, high;          // green strictly inside
  double redLow, redHigh;    // red at or beyond
};

// Green inside the band, red at or beyond its outer limits, orange between.
C Judge(double value, const Band& band) {
  if (value > band.low && value < band.high) return C::Green;
  if (value <= band.redLow || value >= band.redHigh) return C::Red;
  return C::Orange;
}

constexpr Band kGearXY{25, 80, 20, 100};
constexpr Band kGearZ{4, 60, 3, 90};
constexpr Band kScaleXY{0.74, 1.75, 0.45, 2.1};
constexpr Band kScaleZ{0.8, 3, 0.24, 4.1};
constexpr Band kScaleA{0.74, 1.8, 0.55, 2.5};
constexpr Band kRatio{0.85, 1.2, 0.7, 1.4};

class Report {
 public:
  void add(std::string text, C colour, bool counts = true) {
    report_.lines.push_back({std::move(text), colour, counts});
  }
  DiagnosticsReport take() {
    for (const ReportLine& line : report_.lines)
      if (line.counts && static_cast<int>(line.colour) <= static_cast<int>(C::Red))
        report_.level = std::max(report_.level, static_cast<int>(line.colour));
    return std::move(report_);
  }
  DiagnosticsReport report_;
};

void Communication(const DiagnosticsInputs& in, Report& r) {
  r.add("-- Communication --", C::Black);
  if (in.connected) r.add("USB Communication : OK", C::Green);
  else r.add("USB Communication : --", C::Orange);
  const auto e = in.worstAttempt;
  if (e <= 1) r.add("USB Interferences : OK", C::Green);
  else if (e > 5) r.add("USB Interferences : High", C::Red);
  else r.add("USB Interferences : Medium", C::Orange);
  const auto fill = in.worstQueueFill;
  if (fill <= 2329) r.add("Rx Buff : OK", C::Green);
  else if (fill > 2349) r.add("Rx Buff : Full", C::Red);
  else r.add("Rx Buff : Med", C::Orange);
  if (!in.connected) r.add("Rs485 Plasma Interface: Not USB Connection", C::Grey, false);
  else if (!in.interfaceEnabled) r.add("Rs485 Plasma Interface: Disabled", C::Grey, false);
  else if (in.rs485Grade == 0) r.add("Rs485 Plasma Interface: OK", C::Green);
  else if (in.rs485Grade == 1) r.add("Rs485 Interferences : Med", C::Orange);
  else r.add("Rs485 Interferences : High", C::Red);
}

void Gears(const DiagnosticsInputs& in, Report& r) {
  const C x = Judge(in.gearX, kGearXY);
  r.add(x == C::Green ? "Gear X : OK" : x == C::Red ? "Gear X : Not recomended ( 30-70mm/rev )"
                                                    : "Gear X : OK ",
        x);
  const C y = Judge(in.gearY, kGearXY);
  r.add(y == C::Red ? "Gear Y : Not recomended ( 30-70mm/rev)" : "Gear Y : OK", y);
  const C z = Judge(in.gearZ, kGearZ);
  r.add(z == C::Green ? "Gear Z : OK" : z == C::Red ? "Gear Z : Not recomended ( 4-60mm/rev)"
                                                    : "Gear Z : Acceptable",
        z);
}

// One microstepping line: `orange` is the text of the middle band.
void Microstepping(const char* axis, double scale, const Band& band, double gear,
                   const std::string& orange, bool orangeCounts, const char* redGap,
                   Report& r) {
  const C c = Judge(scale, band);
  const std::string head = std::string("Microstepping ") + axis + " : ";
  if (c == C::Green) r.add(head + "OK", c);
  else if (c == C::Red) r.add(head + "Not Recomended" + redGap + StepRecommendation(gear), c);
  else r.add(head + orange, c, orangeCounts);
}

void Drives(const DiagnosticsInputs& in, Report& r) {
  r.add("-- Drives --", C::Black);
  Gears(in, r);
  Microstepping("X", in.scaleX, kScaleXY, in.gearX, "OK", true, " ", r);
  Microstepping("Y", in.scaleY, kScaleXY, in.gearY, "OK", false, "", r);
  Microstepping("Z", in.scaleZ, kScaleZ, in.gearZ,
                "Acceptable " + StepRecommendation(in.gearZ), true, "", r);
  const double w = in.scaleX / in.scaleY;
  const C ratio = Judge(w, kRatio);
  r.add(ratio == C::Green ? "X/Y Ratio : OK"
        : ratio == C::Red ? "X/Y Ratio : Not Recomended ( change microstepping )"
                          : "X/Y Ratio : Acceptable ",
        ratio);
}

void SpeedsXY(const DiagnosticsInputs& in, Report& r) {
  const double gear = std::round(std::min(in.gearX, in.gearY));
  const double J = gear * 50;
  const double v = in.feedMinXY;
  if (v < 50) r.add("XY Safety speed too low ( sugest >100 )", C::Red);
  else if (v < 90) r.add("XY Safety speed : OK ( sugest > 100 ) ", C::Orange);
  else if (v < J) r.add("XY SafetySpeed OK", C::Green);
  else if (v < 1.5 * J) r.add("XY Safety speed : Acceptable but high", C::Orange);
  else r.add("XY Safety speed too high ( sugest " + Number(J) + "max)", C::Red);

  const double M = gear * 1000;
  const double max = in.feedMaxXY;
  if (max > 50000) r.add("XY Maximum speed too High ( sugest < 30000 )", C::Red);
  else if (max > 30000) r.add("XY Maximum speed High ( sugest < 30000 )", C::Orange);
  else if (max > M) r.add("XY Maximum speed too High ( sugest < " + Number(M) + ")", C::Red);
  else if (max >= 2000) r.add("XY Maximum speed : OK", C::Green);
  else r.add("XY Maximum speed too Low ( sugest 2000 minimum ", C::Red);
  if (in.feedMaxXY < in.feedMinXY) r.add("XY Maximum lower as Safety Speed ", C::Red);

  const auto k = in.rampXY;
  if (k > 150) r.add("XY Ramp too high ( sugest 5-50 )", C::Red);
  else if (k > 60) r.add("XY Ramp high ( sugest 5-50 )", C::Orange);
  else if (k < 1) r.add("XY Ramp too low ( sugest 5-50 )", C::Red);
  else if (k < 5) r.add("XY Ramp OK", C::Orange);
  else r.add("XY Ramp : OK", C::Green);
}

void SpeedsZ(const DiagnosticsInputs& in, Report& r) {
  const double Q = std::round(in.gearZ) * 200;
  const double v = in.feedMinZ;
  if (v < 50) r.add("Z Safety speed too low ( sugest >80 )", C::Red);
  else if (v < 80) r.add("Z Safety speed : OK ( sugest > 80 ) ", C::Orange);
  else if (v < Q) r.add("Z SafetySpeed OK", C::Green);
  else if (v < 1.5 * Q) r.add("Z Safety speed : Acceptable but high", C::Orange);
  else r.add("Z Safety speed too high ( sugest <" + Number(Q) + ")", C::Red);

  const double P = 4 * Q;
  const double max = in.feedMaxZ;
  if (max > 15000) r.add("Z Maximum speed too High ( sugest < 10000 )", C::Red);
  else if (max > 2 * P) r.add("Z Maximum speed too High ( sugest < " + Number(2 * P) + ")", C::Red);
  else if (max > 1.5 * P)
    r.add("Z Maximum speed OK/High ( sugest < " + Number(1.5 * P) + ")", C::Orange);
  else if (max >= 1000) r.add("Z Maximum speed : OK", C::Green);
  else r.add("Z Maximum speed too Low ( sugest 1000 minimum ", C::Red);
  if (in.feedMaxZ < in.feedMinZ) r.add("Z Maximum lower as Safety Speed ", C::Red);

  const auto k = in.rampZ;
  if (k > 100) r.add("Z Ramp too high ( sugest 3-50 )", C::Red);
  else if (k > 50) r.add("Z Ramp high ( sugest 5-50 )", C::Orange);
  else if (k < 1) r.add("Z Ramp too low ( sugest 3-50 )", C::Red);
  else if (k >= 3) r.add("Z Ramp : OK", C::Green);
  else r.add("Z Ramp : ok", C::Orange);
}

}  // namespace

std::string StepRecommendation(double gearMm) {
  static constexpr struct {
    long from, below;
    const char* text;
  } kTable[] = {{190, 200, "(recomended 200)"},       {200, 600, "(recomended 400)"},
                {600, 800, "(recomended 800)"},       {800, 1000, "(recomended 1000)"},
                {1000, 1600, "(recomended 1600)"},    {1600, 2000, "(recomended 2000)"},
                {2000, 3200, "(recomended 3200)"},    {3200, 5000, "(recomended 5000)"},
                {5000, 6400, "(recomended 6400)"},    {6400, 10000, "(recomended 10000)"},
                {10000, 12800, "(recomended 12800)"}, {12800, 20000, "(recomended 20000)"},
                {20000, 25600, "(recomended 25600)"}, {25600, 50001, "(recomended 51200)"}};
  const long a = std::lround(gearMm * 100);
  for (const auto& row : kTable)
    if (a >= row.from && a < row.below) return row.text;
  return "??";
}

Lamp MicrosteppingLamp(ScaleAxis axis, double scale) {
  const Band& band = axis == ScaleAxis::Z ? kScaleZ : axis == ScaleAxis::A ? kScaleA : kScaleXY;
  switch (Judge(scale, band)) {
    case C::Green: return Lamp::Green;
    case C::Red: return Lamp::Red;
    default: return Lamp::Yellow;
  }
}

DiagnosticsReport BuildDiagnosticsReport(const DiagnosticsInputs& in) {
  Report r;
  Communication(in, r);
  Drives(in, r);
  r.add("-- Dynamics --", C::Black);
  SpeedsXY(in, r);
  SpeedsZ(in, r);
  if (in.referenced) r.add("Machine referenced : OK", C::Green);
  else r.add("Machine not referenced", C::Orange);
  DiagnosticsReport report = r.take();
  report.connected = in.connected;
  report.hintX = "Recomended : " + StepRecommendation(in.gearX);
  report.hintY = "Recomended : " + StepRecommendation(in.gearY);
  report.hintZ = "Recomended : " + StepRecommendation(in.gearZ);
  return report;
}

StatusSummary SummaryOf(int level) {
  if (level >= 2) return {"Status : Check", C::Red};
  return {"Status : OK", level == 1 ? C::Orange : C::Green};
}

StatusSummary SummaryOf(const DiagnosticsReport& report) {
  if (report.level < 2 && !report.connected) return {"Status : --", C::Orange};
  return SummaryOf(report.level);
}

RgbColour TextColour(ReportColour colour) {
  switch (colour) {
    case C::Green: return {0, 128, 0};
    case C::Orange: return {255, 140, 0};
    case C::Red: return {255, 0, 0};
    case C::Grey: return {128, 128, 128};
    case C::Black: break;
  }
  return {0, 0, 0};
}

RgbColour LampColour(Lamp lamp) {
  switch (lamp) {
    case Lamp::Green: return {88, 255, 116};
    case Lamp::Yellow: return {255, 239, 88};
    case Lamp::Red: break;
  }
  return {255, 114, 85};
}

}  // namespace corvane
