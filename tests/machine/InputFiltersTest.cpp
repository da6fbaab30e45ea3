#include <gtest/gtest.h>

#include <string>

#include "machine/InputFilters.h"
#include "store/FieldRanges.h"
#include "store/FieldTables.h"

namespace corvane {
namespace {

// What each field keeps of the same typed line.
TEST(InputFilters, EachFieldKeepsItsCharactersAndTurnsCommasIntoPoints) {
  const std::string typed = "1,5.-%a 9\b";
  const struct {
    const char* field;
    std::string kept;
  } cases[] = {{"eVcal", "159\b"},       {"xFeedMinXY", "159\b"}, {"xDetectionS", "159\b"},
               {"eTHCspeed", "15%9\b"},  {"eAoffset", "15-9\b"},  {"xMoveX", "1.5.-9\b"},
               {"xLimitZ", "1.5.-9\b"},  {"xBacklash", "1.5.-9\b"}, {"eSpec5", typed}};
  for (const auto& c : cases) {
    std::string kept;
    for (char key : typed)
      if (auto out = FilterKey(ConfigurationKeyFilter(c.field), key, false)) kept += *out;
    EXPECT_EQ(kept, c.kept) << c.field;
  }
}

// The main window's parameter, position and tube fields: "12a,5" typed
// into the cutting speed keeps "12.5".
TEST(InputFilters, MainWindowFieldsKeepTheirCharacters) {
  const std::string typed = "12a,5.-%\b\n";
  const struct {
    const char* field;
    std::string kept;
  } cases[] = {{"eTime", "125\b"},           {"eVoltage", "125\b"},    {"Edit1", "125\b"},
               {"xFeed", "12.5.\b"},         {"xCutH", "12.5.\b"},     {"xFloatH", "12.5.\b"},
               {"xFeed2", "12.5.%\b"},       {"xX", "12.5.-\b"},       {"xJogDist", "12.5.-\b"},
               {"xZM", "12.5.-\b"},          {"xrB", "12.5.\b\n"},    {"xrD", "12.5.\b\n"}};
  for (const auto& c : cases) {
    std::string kept;
    for (char key : typed)
      if (auto out = FilterKey(MainKeyFilter(c.field), key, false)) kept += *out;
    EXPECT_EQ(kept, c.kept) << c.field;
    for (char key : typed) EXPECT_FALSE(FilterKey(MainKeyFilter(c.field), key, true)) << c.field;
  }
}

// Pasted or dropped text keeps what typing it would keep: "7x,5" pasted into a
// speed field is "75", into a gear "7.5"; editing keys and non-ASCII go.
TEST(InputFilters, PastedTextPassesTheFieldsFilterCharacterByCharacter) {
  const struct {
    KeyFilter filter;
    const char* pasted;
    std::string kept;
  } cases[] = {
      {KeyFilter::Digits, "7x,5", "75"},
      {KeyFilter::Digits, "-50abc", "50"},
      {KeyFilter::Digits, "1 000\b\n", "1000"},
      {KeyFilter::DigitsPercent, "90 %", "90%"},
      {KeyFilter::DigitsMinus, "-10.5", "-105"},
      {KeyFilter::Decimal, "7x,5", "7.5"},
      {KeyFilter::Decimal, "-12,5 mm", "-12.5"},
      {KeyFilter::Unsigned, "-3,25\r\n", "3.25"},
      {KeyFilter::UnsignedPercent, "50 %", "50%"},
      {KeyFilter::Size, "76,2\n", "76.2"},
      {KeyFilter::Decimal, "1\xC2\xB0" "5", "15"},  // a degree sign
      {KeyFilter::Any, "max \xC2\xB0", "max \xC2\xB0"},
  };
  for (const auto& c : cases) EXPECT_EQ(FilterText(c.filter, c.pasted), c.kept) << c.pasted;
}

// A field with a range has a filter that lets its values in, and a numeric
// field with a filter has a range: neither list forgets a field.
TEST(InputFilters, EveryNumericFieldHasAFilterAndARange) {
  const struct {
    Window window;
    KeyFilter (*filterOf)(std::string_view);
  } windows[] = {{Window::Main, MainKeyFilter}, {Window::Configuration, ConfigurationKeyFilter}};
  for (const auto& w : windows) {
    for (const FieldRange& range : FieldRangesOf(w.window)) {
      const KeyFilter filter = w.filterOf(range.name);
      EXPECT_NE(filter, KeyFilter::Any) << range.name;
      // The bounds themselves can be typed.
      for (const double bound : {range.min, range.max}) {
        std::string text = std::to_string(bound);
        while (text.back() == '0') text.pop_back();
        if (text.back() == '.') text.pop_back();
        if (filter == KeyFilter::Digits || filter == KeyFilter::DigitsPercent ||
            filter == KeyFilter::DigitsMinus) {
          EXPECT_EQ(text.find('.'), std::string::npos) << range.name << " needs a point";
        }
        if (bound < 0) {
          EXPECT_TRUE(filter == KeyFilter::Decimal || filter == KeyFilter::DigitsMinus)
              << range.name << " needs a minus";
        }
      }
    }
    for (const FieldSpec& field : FieldsOf(w.window)) {
      if (field.kind == FieldKind::Text && field.state != FieldState::Hidden &&
          w.filterOf(field.name) != KeyFilter::Any) {
        EXPECT_NE(FindFieldRange(w.window, field.name), nullptr) << field.name;
      }
    }
  }
  // Fields that were typed into without a filter.
  for (const char* field : {"xHomingX", "xSpec8", "eSpec12", "eSpec3"})
    EXPECT_NE(ConfigurationKeyFilter(field), KeyFilter::Any) << field;
  EXPECT_NE(MainKeyFilter("xMarkerSpeed"), KeyFilter::Any);
}

TEST(InputFilters, EveryKeyIsDiscardedWhileBusy) {
  for (const char* field : {"eVcal", "xMoveX", "eSpec5"})
    for (char key : std::string("1.,\ba"))
      EXPECT_FALSE(FilterKey(ConfigurationKeyFilter(field), key, true)) << field << " " << key;
}

}  // namespace
}  // namespace corvane
