#include <gtest/gtest.h>

#include <algorithm>

#include "machine/StatusPanel.h"
#include "wire/Codes.h"

namespace corvane {
namespace {

std::vector<std::string> Texts(const DisplayList& list) {
  std::vector<std::string> out;
  for (const auto& item : list.items)
    if (const auto* t = std::get_if<DisplayText>(&item)) out.push_back(t->text);
  return out;
}

bool Has(const std::vector<std::string>& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

TEST(StatusPanel, InputOutputArcAndZTexts) {
  namespace bit = wire::status;
  const struct {
    std::uint32_t word;
    bool connected;
    const char* inputs;
  } inputs[] = {{0, true, "Inputs:-------- --"},
                {bit::kSwitchX | bit::kMaterial, true, "Inputs:X---M--- --"},
                {bit::kIn2 | bit::kOhmic | bit::kArcOk, true, "Inputs:-------2 OA"},
                {bit::kArcOk, true, "Inputs:-------- -A"},
                {bit::kSwitchX, false, "Inputs:-------- --"},
                {bit::kTorch, true, "Inputs:-------- --"}};
  for (const auto& c : inputs) EXPECT_EQ(InputsText(c.word, c.connected), c.inputs) << c.word;

  EXPECT_EQ(OutputsText(0), "Outputs:---");
  EXPECT_EQ(OutputsText(bit::kTorch | 0x80000), "Outputs:P-2");
  EXPECT_EQ(ArcText(5), "ARC --- V ");
  EXPECT_EQ(ArcText(6), "ARC 006 V ");
  EXPECT_EQ(ArcText(123), "ARC 123 V ");
  EXPECT_EQ(ZLineText(1, 0, false, false), "-Z Limit!");
  EXPECT_EQ(ZLineText(1, 0, true, false), "Z 0000.01");
  EXPECT_EQ(ZLineText(2540, 0, false, true), "Z 001.000");
  EXPECT_EQ(ZLineText(500, 505, false, false), "Z-0000.05");
}

TEST(StatusPanel, ThcIndicatorsFollowThePlasmaAndTheLink) {
  namespace bit = wire::status;
  const struct {
    std::uint32_t word;
    bool connected, latched;
    bool up, down, off;
  } cases[] = {{bit::kTorch | bit::kThcRaising | bit::kThcActive, true, false, true, false, false},
               {bit::kTorch | bit::kThcLowering, true, false, false, true, true},
               {bit::kThcRaising, true, true, false, false, false},
               {0, false, true, false, false, true},
               {0, false, false, false, false, false}};
  for (const auto& c : cases) {
    const ThcIndicators t = ThcIndicatorsOf(c.word, c.connected, c.latched);
    EXPECT_EQ(t.up, c.up) << c.word;
    EXPECT_EQ(t.down, c.down) << c.word;
    EXPECT_EQ(t.off, c.off) << c.word;
  }
}

TEST(StatusPanel, TheOverlayShowsTheLinkTheAlarmAndThePointer) {
  StatusPanelState s;
  s.width = 800;
  s.pointer = Point2{12345, -5};
  auto texts = Texts(StatusOverlay(s));
  EXPECT_TRUE(Has(texts, "NOT CONNECTED"));
  EXPECT_TRUE(Has(texts, "X 0123.45  Y-0000.05     "));
  EXPECT_FALSE(Has(texts, "Inputs:-------- --")) << "inputs only while connected";

  s.connected = true;
  s.statusCode = wire::alarm::kEStop;
  s.in2AlarmLatched = true;
  s.in2AlarmText = "DOOR OPEN";
  texts = Texts(StatusOverlay(s));
  EXPECT_FALSE(Has(texts, "NOT CONNECTED"));
  EXPECT_TRUE(Has(texts, "E-STOP !!!               "));
  EXPECT_TRUE(Has(texts, "DOOR OPEN"));
  EXPECT_TRUE(Has(texts, "Inputs:-------- --"));
  EXPECT_TRUE(Has(texts, "Outputs:---"));
  EXPECT_EQ(std::count_if(texts.begin(), texts.end(), [](const auto& t) { return t.starts_with("X "); }), 0)
      << "the alarm takes the pointer's place";
}

// Soft limits off show for as long as they are off, connected or not.
TEST(StatusPanel, SoftLimitsOffStayInTheOverlay) {
  for (const bool connected : {false, true})
    for (const bool off : {false, true}) {
      StatusPanelState s;
      s.width = 800;
      s.connected = connected;
      s.softLimitsOff = off;
      EXPECT_EQ(Has(Texts(StatusOverlay(s)), "Soft limits off"), off) << connected;
    }
}

}  // namespace
}  // namespace corvane
