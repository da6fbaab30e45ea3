#include <gtest/gtest.h>

#include <string>

#include "machine/InputFilters.h"

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

TEST(InputFilters, EveryKeyIsDiscardedWhileBusy) {
  for (const char* field : {"eVcal", "xMoveX", "eSpec5"})
    for (char key : std::string("1.,\ba"))
      EXPECT_FALSE(FilterKey(ConfigurationKeyFilter(field), key, true)) << field << " " << key;
}

}  // namespace
}  // namespace corvane
