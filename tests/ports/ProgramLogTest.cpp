#include <gtest/gtest.h>

#include "ports/ProgramLog.h"
#include "support/RecordingHost.h"
#include "support/TempDir.h"

namespace corvane {
namespace {

using testing::ReadFileText;

TEST(ProgramLog, LineFormatCarriesStageAndTime) {
  EXPECT_EQ(ProgramLog::FormatLine(130, {2026, 12, 9, 7, 4, 3, 0}, "Loaded"),
            "|130| 07:04:03 Loaded");
  EXPECT_EQ(ProgramLog::FormatLine(2, {2026, 12, 9, 23, 59, 59, 0}, ""), "|002| 23:59:59 ");
  EXPECT_EQ(ProgramLog::FileNameFor({2026, 1, 5, 0, 0, 0, 0}), "2026_01_05.txt");
}

TEST(ProgramLog, FirstStartCreatesTheFileSecondStartWritesTheSeparator) {
  testing::TempDir dir;
  FakeClock clock({2026, 12, 9, 8, 0, 0, 0});
  testing::RecordingHost host;
  ProgramLog first(clock, &host);
  ASSERT_TRUE(first.Start(dir.path() + "LOGS/"));
  EXPECT_TRUE(first.firstStartOfDay());
  EXPECT_EQ(ReadFileText(first.path()), "");
  first.stage = 130;
  first.WriteLog("Processing");
  EXPECT_EQ(ReadFileText(first.path()), "|130| 08:00:00 Processing\r\n");
  EXPECT_EQ(host.logPane, std::vector<std::string>{"Processing"});

  ProgramLog second(clock, nullptr);
  ASSERT_TRUE(second.Start(dir.path() + "LOGS/"));
  EXPECT_FALSE(second.firstStartOfDay());
  EXPECT_EQ(ReadFileText(second.path()),
            "|130| 08:00:00 Processing\r\n|000| 08:00:00 __________________________________\r\n");
}

TEST(ProgramLog, ARunPastMidnightKeepsItsStartDaysFile) {
  testing::TempDir dir;
  FakeClock clock({2026, 12, 9, 23, 59, 30, 0});
  ProgramLog log(clock, nullptr);
  ASSERT_TRUE(log.Start(dir.path()));
  clock.advance(60'000'000);
  log.WriteLog("after midnight");
  EXPECT_EQ(log.path(), dir.path() + "2026_12_09.txt");
  EXPECT_EQ(ReadFileText(log.path()), "|000| 00:00:30 after midnight\r\n");
}

TEST(ProgramLog, TextIsStoredInTheSingleByteCodePage) {
  testing::TempDir dir;
  FakeClock clock;
  ProgramLog log(clock, nullptr);
  ASSERT_TRUE(log.Start(dir.path()));
  log.WriteLog("Zażółć");
  EXPECT_EQ(ReadFileText(log.path()), "|000| 09:05:00 Za\xbf\xf3\xb3\xe6\r\n");
}

}  // namespace
}  // namespace corvane
