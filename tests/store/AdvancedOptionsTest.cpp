#include <gtest/gtest.h>

#include "StoreFixture.h"
#include "store/AdvancedOptions.h"

namespace corvane {
namespace {

struct AdvancedOptionsTest : ::testing::Test {
  testing::StoreFixture f;
  AdvancedOptions options;
  void apply(const std::string& text) {
    ApplyAdvancedOptions(text, options, f.s().parser, f.s().log);
  }
};

TEST_F(AdvancedOptionsTest, MillimetreOptionsBecomeHundredths) {
  const struct {
    const char* line;
    std::int32_t antyDive;
  } cases[] = {
      {"AntyDive=2,5", 250}, {"AntyDive=abc", 100}, {"AntyDive=0.004", 0}, {"AntyDive=12", 1200},
  };
  for (const auto& c : cases) {
    apply(c.line);
    EXPECT_EQ(options.AntyDive, c.antyDive) << c.line;
  }
  EXPECT_TRUE(f.logged("\"abc\" is not a Float Value!"));
  apply("AutoWelding=0.1\nHommingSeq=2\nFuncF11=4\r\nFuncF12=x");
  EXPECT_EQ(options.AutoWelding, 10);
  EXPECT_EQ(options.HommingSeq, 2);
  EXPECT_EQ(options.FuncF11, kActionStopAll);
  EXPECT_EQ(options.FuncF12, 1) << "unparsable integer reads as 1";
}

TEST_F(AdvancedOptionsTest, GamepadKeysMapButtonBitsToSlots) {
  apply("Gamepad016=4\nGamepad2=1\nGamepad3=2\nGamepad128=3");
  EXPECT_EQ(options.gamepadSlots[5], kActionStopAll);
  EXPECT_EQ(options.gamepadSlots[2], kActionToggleOut1);
  EXPECT_EQ(options.gamepadSlots[8], kActionTraceOutline);
  EXPECT_EQ(options.gamepadSlots[0], kActionToggleOut2) << "button 3 has no slot";
  AdvancedOptions other;
  ApplyAdvancedOptions("Gamepad16=4", other, f.s().parser, f.s().log);
  EXPECT_EQ(other.gamepadSlots[5], kActionStopAll);
  for (int bit : {1, 2, 4, 8, 16, 32, 64, 128}) EXPECT_EQ(1 << (GamepadSlotOf(bit) - 1), bit);
  EXPECT_EQ(GamepadSlotOf(0), 0);
  EXPECT_EQ(GamepadSlotOf(256), 0);
}

TEST_F(AdvancedOptionsTest, SwitchesTakeOnlyTheirExactValues) {
  apply("show_err=1\nAutoConnect = disable\nSpaceBar=Disable\nCloseDxf=1\nHomingZ=disable");
  EXPECT_TRUE(options.showErrors);
  EXPECT_FALSE(options.referencingReminder);
  EXPECT_FALSE(options.autoConnectDisabled) << "spaces are part of key and value";
  EXPECT_FALSE(options.spaceBarDisabled);
  EXPECT_TRUE(options.CloseDxf);
  EXPECT_TRUE(options.homingZDisabled);
  apply("show_err=0\nshow_err=2\nStatusVisible=0\nAutoConnect=disable\nSpaceBar=disable");
  EXPECT_FALSE(options.showErrors);
  EXPECT_TRUE(options.referencingReminder);
  EXPECT_FALSE(options.statusVisible);
  EXPECT_TRUE(options.autoConnectDisabled);
  EXPECT_TRUE(options.spaceBarDisabled);
}

TEST_F(AdvancedOptionsTest, TextValuesKeepEverythingAfterTheFirstEquals) {
  apply("GCodeComment=(a=b) =c\ntitle=My Table\nMCodeOn=M07\nMCodeOn=M08\n"
        "no equals here\n\nmcodeoff=M9\nGCodeSignX= \n=orphan");
  EXPECT_EQ(options.GCodeComment, "(a=b) =c");
  EXPECT_EQ(options.title, "My Table");
  EXPECT_EQ(options.MCodeOn, "M08") << "the later line wins";
  EXPECT_EQ(options.MCodeOff, "") << "keys are case-sensitive";
  EXPECT_EQ(options.GCodeSignX, " ");
  // The next read resets the export texts but keeps the M codes.
  apply("");
  EXPECT_EQ(options.GCodeComment, "");
  EXPECT_EQ(options.MCodeOn, "M08");
}

TEST_F(AdvancedOptionsTest, TheShippedTemplateChangesNothing) {
  const AdvancedOptions defaults;
  ReadAdvancedOptions(f.store("advanced.txt"), options, f.s().parser, f.s().log);
  EXPECT_TRUE(f.logged("Read advanced file"));
  EXPECT_EQ(options.AntyDive, defaults.AntyDive);
  EXPECT_EQ(options.title, std::nullopt);
  EXPECT_EQ(options.gamepadSlots, defaults.gamepadSlots);
  EXPECT_TRUE(options.showErrors);
  EXPECT_EQ(options.MCodeOn, "");
  // A missing file reads as empty.
  ReadAdvancedOptions(f.store("nothing.txt"), options, f.s().parser, f.s().log);
  EXPECT_EQ(options.HommingSeq, 1);
}

}  // namespace
}  // namespace corvane
