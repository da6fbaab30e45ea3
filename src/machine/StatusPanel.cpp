#include "machine/StatusPanel.h"

#include <cstdio>

#include "machine/AlarmText.h"
#include "model/PositionText.h"
#include "wire/Codes.h"

namespace corvane {
namespace {

namespace bit = wire::status;
constexpr std::uint32_t kInputMask = 0xFF;
constexpr std::uint32_t kOut1 = 0x40000, kOut2 = 0x80000;
constexpr const char kInputLetters[] = "XYZSMC12";
constexpr Rgb kWhite = colours::kWhite;
constexpr const char kSoftLimitsOffText[] = "Soft limits off";

// Texts are placed by their top left corner; the list wants the baseline.
DisplayText Text(int x, int top, std::string text, Rgb colour, int size) {
  return DisplayText{{x, top + size + 2}, std::move(text), colour, size};
}

std::string Axis(char axis, std::int64_t value, bool imperial) {
  std::string text(1, axis);
  text += FormatPosition(value, imperial);
  return text;
}

void Rectangle(DisplayList& list, int left, int top, int right, int bottom, Rgb fill) {
  list.items.push_back(DisplayPolygon{
      {{left, top}, {right, top}, {right, bottom}, {left, bottom}}, fill, colours::kGrey});
}

}  // namespace

std::string InputsText(std::uint32_t word, bool connected) {
  std::string text = "Inputs:";
  if (!connected || (word & (kInputMask | bit::kOhmic | bit::kArcOk)) == 0) return text + "-------- --";
  for (int i = 0; i < 8; ++i) text += (word & (1u << i)) ? kInputLetters[i] : '-';
  text += (word & bit::kOhmic) ? " O" : " -";
  text += (word & bit::kArcOk) ? 'A' : '-';
  return text;
}

std::string OutputsText(std::uint32_t word) {
  std::string text = "Outputs:";
  text += (word & bit::kTorch) ? 'P' : '-';
  text += (word & kOut1) ? '1' : '-';
  text += (word & kOut2) ? '2' : '-';
  return text;
}

std::string ArcText(std::int32_t volts) {
  if (volts < 6) return "ARC --- V ";
  char text[24];
  std::snprintf(text, sizeof text, "ARC %3.3d V ", volts);
  return text;
}

std::string ZLineText(std::int32_t torchZ, std::int32_t originZ, bool milling, bool imperial) {
  if (!milling && torchZ <= 1) return "-Z Limit!";
  return Axis('Z', std::int64_t{torchZ} - originZ, imperial);
}

ThcIndicators ThcIndicatorsOf(std::uint32_t word, bool connected, bool thcLatched) {
  ThcIndicators t;
  if (word & bit::kTorch) {
    t.up = (word & bit::kThcRaising) != 0;
    t.down = (word & bit::kThcLowering) != 0;
    t.off = (word & bit::kThcActive) == 0;
  } else if (!connected) {
    t.off = thcLatched;
  }
  return t;
}

DisplayList StatusOverlay(const StatusPanelState& s) {
  DisplayList list;
  const Rgb blink = s.blinkRed ? colours::kRed : kWhite;
  if (s.statusCode != 0)
    list.items.push_back(Text(10, 10, AlarmText(s.statusCode, s.statusWord, s.interfaceEnabled), blink, 10));
  if (!s.connected) list.items.push_back(Text(10, 22, s.notConnectedText, colours::kRed, 16));
  if (s.in2AlarmLatched) list.items.push_back(Text(10, 22, s.in2AlarmText, colours::kRed, 18));
  if (s.statusCode == 0 && s.pointer) {
    std::string text = Axis('X', s.pointer->x, s.imperial);
    text += "  ";
    text += Axis('Y', s.pointer->y, s.imperial);
    text += "     ";
    list.items.push_back(Text(10, 10, std::move(text), colours::kBlack, 10));
  }
  if (s.connected) {
    const bool lit = (s.statusWord & (kInputMask | bit::kOhmic | bit::kArcOk)) != 0;
    list.items.push_back(Text(s.width - 180, 3, InputsText(s.statusWord, true),
                              lit ? colours::kOrange : colours::kGrey, 6));
    list.items.push_back(Text(s.width - 188, 18, OutputsText(s.statusWord), colours::kGrey, 6));
  }
  // Without home switches "X Y Z" makes any spot zero: the operator must see
  // that nothing keeps the tool on the table.
  if (s.softLimitsOff) list.items.push_back(Text(s.width - 188, 33, kSoftLimitsOffText, colours::kOrange, 8));
  return list;
}

DisplayList SideViewPicture(const StatusPanelState& s, int width, int height) {
  DisplayList list;
  const std::uint32_t w = s.statusWord;
  // The tool: one pixel per 2 mm of Z, the tip at the bottom of the icon.
  const int tipY = height - 20 - s.torch.z / 200;
  const bool lit = (w & bit::kTorch) || s.torchOnByPc;
  const bool touching = (w & (bit::kOhmic | bit::kMaterial)) != 0;
  const Rgb body = touching ? colours::kOrange : colours::kSilver;
  const int left = width - 74;
  list.items.push_back(DisplayPolygon{
      {{left, tipY - 70}, {left + 16, tipY - 70}, {left + 16, tipY - 12}, {left + 11, tipY},
       {left + 5, tipY}, {left, tipY - 12}},
      body, colours::kGrey});
  if (lit)
    list.items.push_back(DisplayPolygon{{{left + 5, tipY}, {left + 11, tipY}, {left + 8, tipY + 14}},
                                        colours::kBlue, colours::kBlue});
  // The material at the job origin's height.
  const int materialY = height - 20 - s.origin.z / 200;
  list.items.push_back(DisplayPolyline{{{left - 40, materialY}, {width - 4, materialY}}, colours::kBlack, 2, false});

  list.items.push_back(Text(5, 5, Axis('X', std::int64_t{s.torch.x} - s.origin.x, s.imperial), colours::kBlack, 14));
  list.items.push_back(Text(5, 24, Axis('Y', std::int64_t{s.torch.y} - s.origin.y, s.imperial), colours::kBlack, 14));
  const std::string z = ZLineText(s.torch.z, s.origin.z, s.milling, s.imperial);
  list.items.push_back(Text(5, 43, z, z[0] == '-' ? (s.blinkRed ? colours::kRed : colours::kSilver) : colours::kBlack, 14));
  const int machineX = 140;
  list.items.push_back(Text(machineX, 7, FormatPosition(s.torch.x, s.imperial), colours::kGrey, 9));
  list.items.push_back(Text(machineX, 24, FormatPosition(s.torch.y, s.imperial), colours::kGrey, 9));
  list.items.push_back(Text(machineX, 41, FormatPosition(s.torch.z, s.imperial), colours::kGrey, 9));
  if (!s.milling) {
    if (s.interfaceEnabled) {
      list.items.push_back(Text(5, 62, ArcText(s.arcVoltage), colours::kNavy, 10));
      Rectangle(list, 100, 67, 105, 77, (w & kOut1) ? colours::kGreen : colours::kSilver);
      const bool arcOk = s.in2ArcOk ? (w & bit::kIn2) : (w & bit::kArcOk);
      Rectangle(list, 5, 82, 105, 87, arcOk ? colours::kGreen : colours::kSilver);
    }
    Rectangle(list, width - 30, 5, width - 15, 20, (w & bit::kMaterial) ? colours::kRed : colours::kSilver);
  }
  const ThcIndicators thc = ThcIndicatorsOf(w, s.connected, false);
  if (thc.up) list.items.push_back(Text(width - 110, 60, "UP", colours::kGreen, 9));
  if (thc.down) list.items.push_back(Text(width - 110, 75, "DOWN", colours::kGreen, 9));
  if (thc.off && (w & bit::kTorch)) list.items.push_back(Text(width - 110, 90, "THC OFF", colours::kRed, 9));
  return list;
}

}  // namespace corvane
