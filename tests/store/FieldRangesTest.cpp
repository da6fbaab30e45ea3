#include <gtest/gtest.h>

#include <string>

#include "store/FieldRanges.h"
#include "store/FieldStore.h"
#include "store/FieldTables.h"

namespace corvane {
namespace {

constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;

// Every range belongs to a text field of its window, and every built-in
// default lies inside it: a new profile never starts with a refused value.
TEST(FieldRanges, EveryRangeNamesATextFieldWhoseDefaultFits) {
  const FieldStore defaults;
  for (const Window window : {kMain, kConfig}) {
    ASSERT_FALSE(FieldRangesOf(window).empty());
    for (const FieldRange& range : FieldRangesOf(window)) {
      const FieldValue* field = defaults.find(window, range.name);
      ASSERT_NE(field, nullptr) << range.name;
      EXPECT_EQ(field->definition->kind, FieldKind::Text) << range.name;
      EXPECT_LT(range.min, range.max) << range.name;
      EXPECT_EQ(CheckFieldRange(range, field->text, false), RangeVerdict::Fits)
          << range.name << " default " << field->text;
      EXPECT_EQ(FindFieldRange(window, FoldCase(range.name)), &range) << "any letter case";
    }
  }
  EXPECT_EQ(FindFieldRange(kConfig, "eSpec5"), nullptr) << "the password is no number";
  EXPECT_EQ(FindFieldRange(Window::Import, "xThick"), nullptr);
}

// The bounds a real machine needs, and the slips the issue saw.
TEST(FieldRanges, ValuesAreJudgedInTheStoredUnit) {
  const struct {
    Window window;
    const char* field;
    const char* text;
    bool inches;
    RangeVerdict verdict;
  } cases[] = {
      {kConfig, "eAccXY", "99999999999999", false, RangeVerdict::OutOfRange},
      {kConfig, "eAccXY", "1000", false, RangeVerdict::Fits},
      {kConfig, "eAccXY", "1001", false, RangeVerdict::OutOfRange},
      {kConfig, "eAccXY", "0", false, RangeVerdict::OutOfRange},
      {kConfig, "eAccZ", "1", true, RangeVerdict::Fits},  // ramps have no inches
      {kConfig, "xFeedMaxXY", "100000", false, RangeVerdict::Fits},
      {kConfig, "xFeedMaxXY", "100001", false, RangeVerdict::OutOfRange},
      {kConfig, "xFeedMaxXY", "3937", true, RangeVerdict::Fits},      // 99999.8 mm/min
      {kConfig, "xFeedMaxXY", "3938", true, RangeVerdict::OutOfRange},  // 100025.2 mm/min
      {kConfig, "xFeedMinXY", "0", false, RangeVerdict::OutOfRange},
      {kConfig, "xFeedhZ", "7.5", false, RangeVerdict::Fits},
      {kConfig, "xMoveX", "0.1", false, RangeVerdict::Fits},
      {kConfig, "xMoveX", "0,09", false, RangeVerdict::OutOfRange},
      {kConfig, "xMoveX", "39.370079", true, RangeVerdict::Fits},  // 1000 mm, rounded
      {kConfig, "xMoveX", "39.4", true, RangeVerdict::OutOfRange},
      {kConfig, "xMoveX", "-5", false, RangeVerdict::OutOfRange},
      {kConfig, "xLimitX", "-20", false, RangeVerdict::Fits},
      {kConfig, "xSpec8", "-12.5", false, RangeVerdict::Fits},
      {kConfig, "eAoffset", "-50abc", false, RangeVerdict::NotANumber},
      {kConfig, "eTHCspeed", "101", false, RangeVerdict::OutOfRange},
      {kConfig, "eTHCspeed", "150%", false, RangeVerdict::Fits},
      {kConfig, "xDetectionS", "", false, RangeVerdict::NotANumber},
      {kConfig, "eSpec2", "181", false, RangeVerdict::OutOfRange},
      {kMain, "xFeed2", "50%", false, RangeVerdict::Fits},
      {kMain, "xFeed2", "5000%", false, RangeVerdict::OutOfRange},
      {kMain, "xFeed", "50%", false, RangeVerdict::NotANumber},
      {kMain, "xFeed", "7.5", false, RangeVerdict::Fits},
      {kMain, "xX", "-1500", false, RangeVerdict::Fits},
      {kMain, "eVoltage", "0", false, RangeVerdict::Fits},
  };
  for (const auto& c : cases) {
    const FieldRange* range = FindFieldRange(c.window, c.field);
    ASSERT_NE(range, nullptr) << c.field;
    EXPECT_EQ(CheckFieldRange(*range, c.text, c.inches), c.verdict)
        << c.field << " \"" << c.text << "\"" << (c.inches ? " in" : "");
  }
}

TEST(FieldRanges, TheRefusalNamesTheBoundsInTheUnitsShown) {
  EXPECT_EQ(RangeRefusal(kConfig, "eAccXY", "99999999999999", false),
            "\"99999999999999\" is outside 1 .. 1000");
  EXPECT_EQ(RangeRefusal(kConfig, "xMoveX", "2000", false), "\"2000\" is outside 0.1 .. 1000");
  EXPECT_EQ(RangeRefusal(kConfig, "xMoveX", "50", true),
            "\"50\" is outside 0.003937 .. 39.370079");
  EXPECT_EQ(RangeRefusal(kMain, "xFeed2", "", false),
            "\"\" is not a number ( 1 .. 100000 ( or 1% .. 1000% ) )");
  EXPECT_EQ(RangeRefusal(kConfig, "xMoveX", "38.1", false), "");
  EXPECT_EQ(RangeRefusal(kConfig, "eSpec5", "anything", false), "") << "no range";
}

}  // namespace
}  // namespace corvane
