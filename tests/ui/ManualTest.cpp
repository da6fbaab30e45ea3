#include <gtest/gtest.h>

#include <QString>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "ui/Manual.h"

namespace corvane {
namespace {

using testing::WriteFileText;

// The language's PDF first, then the English one, then the manual that comes
// with the program; each case installs its files in a fresh program folder.
TEST(ManualFile, LanguagePdfThenEnglishPdfThenOurOwnManual) {
  const struct {
    std::vector<std::string> installed;
    const char* language;
    const char* opened;  // empty: no manual at all
  } cases[] = {
      {{"lang/Polski.pdf", "lang/English.pdf", "doc/manual.md"}, "Polski", "lang/Polski.pdf"},
      {{"lang/English.pdf", "doc/manual.md"}, "Polski", "lang/English.pdf"},
      {{"lang/English.pdf"}, "-", "lang/English.pdf"},
      {{"lang/Polski", "doc/manual.md"}, "Polski", "doc/manual.md"},
      {{"doc/manual.html", "doc/manual.md"}, "English", "doc/manual.html"},
      {{"lang/English"}, "English", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.opened);
    testing::TempDir program;
    for (const std::string& file : c.installed) WriteFileText(program.file(file), "manual");
    const QString expected =
        *c.opened ? QString::fromStdString(program.file(c.opened)) : QString();
    EXPECT_EQ(ui::ManualFile(QString::fromStdString(program.path()), c.language), expected);
  }
}

}  // namespace
}  // namespace corvane
