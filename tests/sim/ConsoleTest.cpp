#include <gtest/gtest.h>

#include "SimClient.h"
#include "sim/Console.h"
#include "support/TempDir.h"
#include "wire/Codes.h"
#include "wire/Commands.h"

namespace corvane::sim {
namespace {

using namespace wire;

struct ConsoleFixture : ::testing::Test {
  VirtualBoard board;
  std::vector<std::string> lines;
  Console console{board, [this](const std::string& line) { lines.push_back(line); }};
  SimClient pc{board};
};

TEST_F(ConsoleFixture, MalformedLinesAreRefusedWithAMessage) {
  const char* bad[] = {"input",
                       "input nothing on",
                       "input estop maybe",
                       "at -5 input x on",
                       "at 10 inputs x on",
                       "material high",
                       "switches q 0 1",
                       "fault lose 1.5",
                       "fault lose at 0",
                       "fault boom 0.1",
                       "wiring 300",
                       "bitmode 256 32",
                       "flash save",
                       "frobnicate",
                       "log sometimes"};
  for (const char* line : bad) {
    lines.clear();
    EXPECT_EQ(console.execute(line), Console::Result::Error) << line;
    ASSERT_FALSE(lines.empty()) << line;
    EXPECT_EQ(lines.back().rfind("error: ", 0), 0u) << lines.back();
  }
  EXPECT_EQ(console.execute("quit"), Console::Result::Quit);
  EXPECT_EQ(console.execute("   "), Console::Result::Ok);
  EXPECT_EQ(console.execute("# a comment"), Console::Result::Ok);
}

TEST_F(ConsoleFixture, ScriptSetsInputsFaultsAndTimedChanges) {
  testing::TempDir dir;
  testing::WriteFileText(dir.file("rehearsal.txt"),
                         "# E-stop half a second in\r\n"
                         "input in1 on\r\n"
                         "at 500 input estop on\r\n"
                         "fault lose at 2\r\n"
                         "oldfirmware off\r\n");
  ASSERT_TRUE(console.runScript(dir.file("rehearsal.txt")));
  EXPECT_TRUE(lines.empty()) << lines.front();
  EXPECT_TRUE(static_cast<std::uint32_t>(pc.must(cmd::kStatusB).r[2]) & status::kIn1);
  EXPECT_FALSE(pc.exchange(cmd::kStatusB).has_value());  // the second request is lost
  board.advanceTo(499999);
  EXPECT_EQ(pc.must(cmd::kStatusB).alarm, 0);
  board.advanceTo(500000);
  EXPECT_EQ(pc.must(cmd::kStatusB).alarm, alarm::kEStop);
  EXPECT_FALSE(console.runScript(dir.file("missing.txt")));
}

TEST_F(ConsoleFixture, StateReportsModeAndPosition) {
  pc.must(cmd::kSetPosition, {11, 22, 33, 44, 0});
  console.execute("bootloader");
  console.execute("state");
  ASSERT_GE(lines.size(), 2u);
  EXPECT_NE(lines[0].find("mode bootloader"), std::string::npos);
  EXPECT_NE(lines[1].find("position 11 22 33 44"), std::string::npos);
  lines.clear();
  console.execute("run");
  console.execute("unplug");
  console.execute("state");
  EXPECT_NE(lines[0].find("mode unplugged"), std::string::npos);
  EXPECT_NE(lines[1].find("power-up mark"), std::string::npos);  // run restarted the firmware
}

}  // namespace
}  // namespace corvane::sim
