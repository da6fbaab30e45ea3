#include <gtest/gtest.h>

#include "link/ConnectionIndicator.h"

namespace corvane {
namespace {

// The operator reconnects with a click while the closed link's label blinks:
// whatever the blink showed when the pointer arrived, "Connected" is green
// once the pointer leaves, and stays green through the blink ticks.
TEST(ConnectionIndicator, AClickThatConnectsNeverLeavesTheLabelGrey) {
  for (int blinksBefore : {1, 2}) {
    ConnectionIndicator label;
    label.showDisconnected();
    for (int i = 0; i < blinksBefore; ++i) label.Blink(false);
    label.MouseEnter();
    EXPECT_EQ(label.colour, IndicatorColour::Navy);
    label.Blink(false);  // the timer goes on while the pointer rests there
    label.MouseDown();
    label.show(indicator::kConnecting, label.colour);
    label.show(indicator::kConnected, IndicatorColour::Green);
    EXPECT_EQ(label.colour, IndicatorColour::Navy) << "still under the pointer";
    label.MouseLeave();
    EXPECT_EQ(label.colour, IndicatorColour::Green) << blinksBefore;
    for (int i = 0; i < 3; ++i) {
      label.Blink(true);
      EXPECT_EQ(label.colour, IndicatorColour::Green);
    }
    label.MouseEnter();
    label.MouseLeave();
    EXPECT_EQ(label.colour, IndicatorColour::Green);
  }
}

TEST(ConnectionIndicator, AClosedLinkBlinksRedAndGreyAndHoverRestoresTheBlink) {
  ConnectionIndicator label;
  label.showDisconnected();
  label.Blink(false);
  EXPECT_EQ(label.colour, IndicatorColour::Grey);
  label.Blink(false);
  EXPECT_EQ(label.colour, IndicatorColour::Red);
  label.MouseEnter();
  EXPECT_EQ(label.fontSize, 13);
  label.MouseLeave();
  EXPECT_EQ(label.colour, IndicatorColour::Red);
  EXPECT_EQ(label.fontSize, 12);
}

// No board at all is an error the operator must see: "No USB device" (and a
// board that cannot be opened) stays red through the blink ticks and a hover;
// a closed link blinks again.
TEST(ConnectionIndicator, NoBoardStaysRed) {
  for (const int entry : {indicator::kNoDevice, indicator::kOpenFailed}) {
    SCOPED_TRACE(entry);
    ConnectionIndicator label;
    label.show(entry, IndicatorColour::Red);
    EXPECT_EQ(label.text, label.message(entry));
    for (int i = 0; i < 3; ++i) {
      label.Blink(false);
      EXPECT_EQ(label.colour, IndicatorColour::Red) << i;
    }
    label.MouseEnter();
    label.Blink(false);
    label.MouseLeave();
    EXPECT_EQ(label.colour, IndicatorColour::Red);
    label.showDisconnected();
    label.Blink(false);
    EXPECT_EQ(label.colour, IndicatorColour::Grey);
  }
}

}  // namespace
}  // namespace corvane
