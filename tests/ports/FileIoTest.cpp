#include <gtest/gtest.h>

#include <filesystem>

#include "ports/FileIo.h"
#include "ports/TextCodec.h"
#include "support/TempDir.h"

namespace corvane {
namespace {

TEST(FileIo, AtomicWriteReplacesWholeAndLeavesNoTemporaryFile) {
  testing::TempDir dir;
  const auto path = dir.file("store.fms");
  ASSERT_TRUE(WriteFileAtomically(path, "old"));
  ASSERT_TRUE(WriteFileAtomically(path, "new content"));
  EXPECT_EQ(testing::ReadFileText(path), "new content");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(FileIo, AFailedRenameKeepsTheOldFileAndReportsWhy) {
  testing::TempDir dir;
  const auto path = dir.file("temp.cnc");
  ASSERT_TRUE(WriteFileAtomically(path, "old"));
  SetAtomicRenameFailureForTests("killed before rename");
  const FileResult result = WriteFileAtomically(path, "half");
  SetAtomicRenameFailureForTests(std::nullopt);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, "killed before rename");
  EXPECT_EQ(testing::ReadFileText(path), "old");
}

TEST(FileIo, WritingIntoAMissingFolderFails) {
  testing::TempDir dir;
  const FileResult result = WriteFileAtomically(dir.file("no/such/file"), "x");
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find("Cannot create"), std::string::npos);
}

TEST(TextCodec, RoundTripsPolishLettersAndSplitsAnyLineEnd) {
  const std::string utf8 = "Łódź ąę";
  EXPECT_EQ(Cp1250ToUtf8(Utf8ToCp1250(utf8)), utf8);
  EXPECT_EQ(Utf8ToCp1250("€"), "\x80");
  EXPECT_EQ(Utf8ToCp1250("日"), "?");
  EXPECT_EQ(SplitLines("a\r\nb\nc"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(SplitLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(JoinLinesCrLf({"a", "b"}), "a\r\nb\r\n");
}

}  // namespace
}  // namespace corvane
