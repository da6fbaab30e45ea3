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

TEST(InputFilters, EveryKeyIsDiscardedWhileBusy) {
  for (const char* field : {"eVcal", "xMoveX", "eSpec5"})
    for (char key : std::string("1.,\ba"))
      EXPECT_FALSE(FilterKey(ConfigurationKeyFilter(field), key, true)) << field << " " << key;
}

}  // namespace
}  // namespace corvane
