#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "CliRun.h"
#include "ports/FileIo.h"
#include "support/TempDir.h"

namespace corvane::testing {
namespace {

// A 50 mm square cut clockwise from the origin.
constexpr const char* kSquare = "G0 X0 Y0\nM3\nG1 X0 Y50\nG1 X50 Y50\nG1 X50 Y0\nG1 X0 Y0\nM5\n";

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (const char c : text) {
    if (c == '\r') continue;
    if (c == '\n') lines.push_back(line), line.clear();
    else line.push_back(c);
  }
  if (!line.empty()) lines.push_back(line);
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

// The README's indented lines after the one that reads "    $ " + command, up
// to the next "$ " line or the end of the block.
std::vector<std::string> ReadmeOutput(const std::string& command) {
  const auto readme = LinesOf(ReadFileText(std::string(CORVANE_SOURCE_DIR) + "/README.md"));
  std::vector<std::string> out;
  for (std::size_t k = 0; k < readme.size(); ++k) {
    if (readme[k] != "    $ " + command) continue;
    for (++k; k < readme.size(); ++k) {
      const std::string& line = readme[k];
      if (line.rfind("    $ ", 0) == 0 || (!line.empty() && line.rfind("    ", 0) != 0)) break;
      out.push_back(line.empty() ? line : line.substr(4));
    }
    break;
  }
  while (!out.empty() && out.back().empty()) out.pop_back();
  return out;
}

struct CliExamples : ::testing::Test {
  void SetUp() override { ASSERT_TRUE(std::filesystem::exists(kCli)) << "corvane-cli is not built at " << kCli; }
  TempDir dir;
};

// The README's export example, run in a folder holding its square: the
// command's line and the file are what the README shows.
TEST_F(CliExamples, TheReadmesExportExampleGivesItsStatedOutput) {
  const auto said = ReadmeOutput("corvane-cli export plate.nc -o plate.tap --set cOhmic=1");
  const auto file = ReadmeOutput("cat plate.tap");
  ASSERT_EQ(said.size(), 1u);
  ASSERT_GT(file.size(), 10u);
  WriteFileText(dir.file("plate.nc"), kSquare);
  const CliRun run = RunCli("export", {"plate.nc", "-o", "plate.tap", "--set", "cOhmic=1"}, dir.path());
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(LinesOf(run.out), said);
  EXPECT_EQ(LinesOf(ReadFileText(dir.file("plate.tap"))), file);
}

struct ToolCase {
  std::vector<std::string> options;
  const char* size;  // of the processed square, in mm
};

// The tool's diameter widens an outer contour by half of it on every side.
TEST_F(CliExamples, TheToolOptionAndTheQualifiedFieldSetTheKerf) {
  WriteFileText(dir.file("plate.nc"), kSquare);
  const ToolCase cases[] = {
      {{"--tool", "3"}, "53.00 x 53.00 mm"},
      {{"--tool", "0.5"}, "50.50 x 50.50 mm"},
      {{"--set", "cOffsetActive=1", "--set", "import.Edit1=2"}, "52.00 x 52.00 mm"},
  };
  for (const auto& [options, size] : cases) {
    std::vector<std::string> arguments = {"plate.nc"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    for (const char* command : {"process", "export"}) {
      if (std::string(command) == "export") arguments.insert(arguments.end(), {"-o", "out.tap"});
      const CliRun run = RunCli(command, arguments, dir.path());
      ASSERT_EQ(run.code, 0) << run.err;
      if (std::string(command) == "process") {
        EXPECT_NE(run.out.find(size), std::string::npos) << options.back() << ": " << run.out;
      } else {
        // The exported program read back spans the same width.
        const CliRun back = RunCli("read", {"out.tap", "--summary"}, dir.path());
        std::smatch extents;
        ASSERT_TRUE(std::regex_search(back.out, extents, std::regex("extents X (-?\\d+) \\.\\. (-?\\d+)")))
            << back.out;
        EXPECT_EQ(std::stol(extents[2]) - std::stol(extents[1]), std::lround(std::stod(size) * 100))
            << options.back();
      }
    }
  }
}

// A bare name that two windows hold is refused with the names that would do.
TEST_F(CliExamples, AFieldNameOfTwoWindowsMustBeQualified) {
  WriteFileText(dir.file("plate.nc"), kSquare);
  const struct {
    const char* setting;
    const char* message;
  } cases[] = {
      {"Edit1=2", "field Edit1 is in more than one window; name one: main.Edit1, import.Edit1"},
      {"desk.xFeed=2", "no window desk (main, import or config) for desk.xFeed"},
      {"config.xFeed=2", "no field config.xFeed"},
  };
  for (const auto& [setting, message] : cases) {
    const CliRun run = RunCli("process", {"plate.nc", "--set", setting}, dir.path());
    EXPECT_EQ(run.code, 2) << setting;
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
  }
}

}  // namespace
}  // namespace corvane::testing
