#include <gtest/gtest.h>

#include <filesystem>

#include "support/SystemFixture.h"
#include "system/CommandLine.h"
#include "system/SingleInstance.h"
#include "system/Version.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

TEST(CommandLine, ProfileIsTheFirstNonOptionArgument) {
  const struct {
    std::vector<std::string> args;
    std::string profile;
    bool help;
    std::string error;
  } cases[] = {
      {{}, "Plasma", false, ""},
      {{"Wood"}, "Wood", false, ""},
      {{"--help", "Wood", "Steel"}, "Wood", true, ""},
      {{"--device=virtual"}, "Plasma", false, ""},
      {{"--bogus"}, "Plasma", false, "Unknown option --bogus"},
      {{".."}, "..", false, R"(Profile name not usable: "..": ".." names no folder of its own)"},
      {{"-x"}, "-x", false,
       R"(Profile name not usable: "-x": a name beginning with "-" reads as an option)"},
      {{"--device=virtual", "LOGS"}, "LOGS", false,
       R"(Profile name not usable: "LOGS": "LOGS" is the folder of the program's logs)"},
  };
  for (const auto& c : cases) {
    const CommandLine line = ParseCommandLine(c.args);
    EXPECT_EQ(line.profile, c.profile);
    EXPECT_EQ(line.help, c.help);
    EXPECT_EQ(line.error, c.error);
  }
  EXPECT_EQ(OptionValue(ParseCommandLine({"--device=pty:/dev/pts/3"}), "--device"), "pty:/dev/pts/3");
}

TEST(Version, CaptionAndSplashLabel) {
  EXPECT_EQ(WindowCaption("Plasma"), "Corvane CNC v 1.2.1e  /Plasma");
  EXPECT_EQ(WindowCaption("Wood"), "Corvane CNC v 1.2.1e  /Wood");
  EXPECT_EQ(SplashVersionLabel(), "Software ver: 1.2.1e");
}

TEST(Startup, FirstStartCreatesFoldersProfileAndLogsCaption) {
  testing::SystemFixture f("Wood");
  ASSERT_TRUE(f.system->PrepareStart());
  EXPECT_TRUE(f.system->firstStartOfDay());
  const Paths& p = f.system->paths;
  EXPECT_TRUE(fs::is_directory(p.logsFolder()));
  EXPECT_TRUE(fs::is_regular_file(p.storeFolder() + "advanced.txt"));
  EXPECT_EQ(f.host.logPane.at(0), "Created : \"Wood\" profile in:");
  EXPECT_EQ(f.host.logPane.at(1), p.profileFolder());
  EXPECT_EQ(f.host.logPane.at(2), "Corvane CNC v 1.2.1e  /Wood");
  EXPECT_EQ(f.host.logPane.at(3), ::geteuid() == 0 ? "Run as administrator"
                                                   : "Run as not administrator");
  EXPECT_EQ(f.system->counter.ticksPer10ms, 10001);
  EXPECT_EQ(f.system->counter.ticksPerSecond, 1000001);
}

TEST(Startup, LaterProfilesCopyThePlasmaStore) {
  testing::SystemFixture plasma("Plasma");
  ASSERT_TRUE(plasma.system->PrepareStart());
  testing::WriteFileText(plasma.system->paths.storeFolder() + "par_Steel 5mm", "preset");

  Paths woodPaths = plasma.system->paths;
  woodPaths.profileName = "Wood";
  System wood(plasma.clock, plasma.host, woodPaths);
  ASSERT_TRUE(wood.PrepareStart());
  EXPECT_FALSE(wood.firstStartOfDay());
  EXPECT_EQ(testing::ReadFileText(wood.paths.storeFolder() + "par_Steel 5mm"), "preset");
}

TEST(Startup, AnUnwritableDataRootFailsTheWriteTest) {
  testing::TempDir dir;
  testing::WriteFileText(dir.file("plain"), "x");
  EXPECT_FALSE(DataRootWritable(dir.file("plain") + "/Quorvatek"));
  EXPECT_TRUE(DataRootWritable(dir.file("fresh/Quorvatek")));
  EXPECT_FALSE(fs::exists(dir.file("fresh/Quorvatek/Corvane.tst")));
}

TEST(Startup, ASecondInstanceIsRefusedUntilTheFirstEnds) {
  testing::TempDir dir;
  SingleInstance first;
  SingleInstance second;
  ASSERT_TRUE(first.Acquire(dir.file("lock")));
  EXPECT_FALSE(second.Acquire(dir.file("lock")));
  first.Release();
  EXPECT_TRUE(second.Acquire(dir.file("lock")));
}

}  // namespace
}  // namespace corvane
