#include <gtest/gtest.h>

#include "StoreFixture.h"
#include "model/NumberParser.h"
#include "ports/TextCodec.h"
#include "store/SettingsFile.h"

namespace corvane {
namespace {

using testing::PairsCrLf;

// The value line written for one field.
std::string SavedValue(const std::string& bytes, const std::string& section,
                       const std::string& name) {
  const auto lines = SplitLines(bytes);
  bool inSection = false;
  for (size_t i = 0; i + 1 < lines.size(); i += 2) {
    if (lines[i].size() == 2 && lines[i][1] == ':') inSection = lines[i] == section;
    if (inSection && lines[i] == name) return lines[i + 1];
  }
  return "<missing>";
}

struct SettingsFileTest : ::testing::Test {
  testing::StoreFixture f;
  FieldStore fields;
  NumberParser& parser() { return f.s().parser; }
  void load(const std::string& text) { ApplySettingsFile(text, fields, parser()); }
};

TEST_F(SettingsFileTest, WritesThreeSectionsOfPairsInFieldOrder) {
  const std::string bytes = FormatSettingsFile(fields, parser());
  const std::string start = PairsCrLf({"1:", "---------- Main Window ----------", "cClose", "0",
                                       "cClose2", "0", "xFeed", "2540"});
  EXPECT_EQ(bytes.substr(0, start.size()), start);
  EXPECT_NE(bytes.find("\r\n2:\r\n---------- Import Window ----------\r\ncCalc\r\n1\r\n"),
            std::string::npos);
  EXPECT_NE(bytes.find("\r\n3:\r\n---------- Configuration Window ----------\r\neDV\r\n1:1\r\n"),
            std::string::npos);
  const std::string end = PairsCrLf({"cImperial", "0", "eTabSheet", "3"});
  EXPECT_EQ(bytes.substr(bytes.size() - end.size()), end) << "nothing after the last pair";
  const size_t pairs = 3 + FieldsOf(Window::Main).size() + FieldsOf(Window::Import).size() +
                       FieldsOf(Window::Configuration).size();
  EXPECT_EQ(SplitLines(bytes).size(), 2 * pairs);
}

TEST_F(SettingsFileTest, ImperialValuesAreStoredInMillimetresAndShownInInches) {
  parser().imperial = true;
  fields.setText(Window::Main, "xFeed", "100");
  fields.setText(Window::Main, "xFeed2", "50%");
  fields.setText(Window::Main, "xPierceH", "1.5");
  fields.setText(Window::Configuration, "xMoveX", "0,25");
  fields.setText(Window::Main, "eTime", "0,5");
  const std::string bytes = FormatSettingsFile(fields, parser());
  EXPECT_EQ(SavedValue(bytes, "1:", "xFeed"), "2540");
  EXPECT_EQ(SavedValue(bytes, "1:", "xFeed2"), "50%");
  EXPECT_EQ(SavedValue(bytes, "1:", "xPierceH"), "38.1");
  EXPECT_EQ(SavedValue(bytes, "3:", "xMoveX"), "6.35");
  EXPECT_EQ(SavedValue(bytes, "1:", "eTime"), "0,5") << "plain values are kept as typed";

  FieldStore reloaded;
  ApplySettingsFile(bytes, reloaded, parser());
  EXPECT_EQ(reloaded.text(Window::Main, "xFeed"), "100");
  EXPECT_EQ(reloaded.text(Window::Main, "xFeed2"), "50%");
  EXPECT_EQ(reloaded.text(Window::Main, "xPierceH"), "1.5");
  EXPECT_EQ(reloaded.text(Window::Configuration, "xMoveX"), "0.25");
  // Metric: the same file shows millimetres.
  parser().imperial = false;
  ApplySettingsFile(bytes, reloaded, parser());
  EXPECT_EQ(reloaded.text(Window::Main, "xFeed"), "2540");
}

TEST_F(SettingsFileTest, MetricCommaIsSavedAsTypedAndLoadedWithAPoint) {
  fields.setText(Window::Configuration, "xMoveX", "38,1");
  const std::string bytes = FormatSettingsFile(fields, parser());
  EXPECT_EQ(SavedValue(bytes, "3:", "xMoveX"), "38,1");
  FieldStore reloaded;
  ApplySettingsFile(bytes, reloaded, parser());
  EXPECT_EQ(reloaded.text(Window::Configuration, "xMoveX"), "38.1");
}

TEST_F(SettingsFileTest, LoadedLengthsAreRoundedToTheUnitsPrecision) {
  const struct {
    bool imperial;
    const char* stored;
    const char* shown;
  } cases[] = {
      {false, "12.34567", "12.3457"},
      {false, "abc", "1"},          // parser error: 1 mm
      {true, "abc", "0.03937"},     // 1 mm in inches, 6 decimals
      {true, "10", "0.393701"},
      {false, "1e20", "1e+20"},
  };
  for (const auto& c : cases) {
    parser().imperial = c.imperial;
    load(PairsCrLf({"3:", "", "xCor1", c.stored}));
    EXPECT_EQ(fields.text(Window::Configuration, "xCor1"), c.shown) << c.stored;
  }
  EXPECT_TRUE(f.logged("\"abc\" is not a Float Value!"));
}

TEST_F(SettingsFileTest, UnknownNamesAndOtherSectionsDoNotShiftThePairs) {
  load(PairsCrLf({"eTime", "111",              // before any section: ignored
                  "1:", "header", "eOldSetting", "7", "eTime", "600",
                  "xNotHere", "5", "eVoltage", "120",
                  "2:", "header", "eTime", "999",  // import window has no eTime
                  "eScale", "2"}));
  EXPECT_EQ(fields.text(Window::Main, "eTime"), "600");
  EXPECT_EQ(fields.text(Window::Main, "eVoltage"), "120");
  EXPECT_EQ(fields.text(Window::Import, "eScale"), "2");
}

TEST_F(SettingsFileTest, FirstLetterAsWrittenDecidesPerSection) {
  load(PairsCrLf({"1:", "", "Edit1", "77", "ETIME", "1", "etime", "321", "XFEED", "9",
                  "2:", "", "Edit1", "77", "RINSIDE", "1", "rSort5", "1", "EScale", "3",
                  "3:", "", "EVcal", "5", "rImaginary", "1", "CIMPERIAL", "1", "cLimits", "1"}));
  EXPECT_EQ(fields.text(Window::Main, "Edit1"), "5") << "the main window's Edit1 is never read";
  EXPECT_EQ(fields.text(Window::Main, "eTime"), "321") << "lower-case e, any case after it";
  EXPECT_EQ(fields.text(Window::Main, "xFeed"), "2540") << "upper-case X is not a length";
  EXPECT_EQ(fields.text(Window::Import, "Edit1"), "77");
  EXPECT_FALSE(fields.checked(Window::Import, "rInside")) << "upper-case R is ignored";
  EXPECT_TRUE(fields.checked(Window::Import, "rSort5"));
  EXPECT_FALSE(fields.checked(Window::Import, "rSort1"));
  EXPECT_EQ(fields.text(Window::Import, "eScale"), "3") << "E is text in the import window";
  EXPECT_EQ(fields.text(Window::Configuration, "eVcal"), "100");
  EXPECT_FALSE(fields.checked(Window::Configuration, "cImperial"));
  EXPECT_TRUE(fields.checked(Window::Configuration, "cLimits"));
}

TEST_F(SettingsFileTest, LoadingClicksOnlyWhatChanges) {
  std::vector<std::string> clicked;
  for (const char* name : {"cSpec1", "cSounds", "cType2"})
    fields.addClickBehaviour(Window::Configuration, name, [&, name] { clicked.push_back(name); });
  for (const char* name : {"rInside", "rOutside"})
    fields.addClickBehaviour(Window::Import, name, [&, name] { clicked.push_back(name); });
  load(PairsCrLf({"3:", "", "cSpec1", "1", "cSounds", "0", "cType2", "0",
                  "2:", "", "rOutside", "0", "rInside", "1"}));
  // cSounds was already unchecked; unchecking a radio button is no click.
  EXPECT_EQ(clicked, (std::vector<std::string>{"cSpec1", "cType2", "rInside"}));
  EXPECT_TRUE(fields.checked(Window::Import, "rInside"));
  EXPECT_FALSE(fields.checked(Window::Import, "rOutside"));
  // Only "1" checks.
  load(PairsCrLf({"3:", "", "cSpec1", "yes"}));
  EXPECT_FALSE(fields.checked(Window::Configuration, "cSpec1"));
}

TEST_F(SettingsFileTest, ALineBreakInAValueDoesNotShiftTheFollowingPairs) {
  fields.setText(Window::Import, "eFileName", "/tmp/odd\nname.plt");
  fields.setText(Window::Import, "eScale", "2");
  FieldStore reloaded;
  ApplySettingsFile(FormatSettingsFile(fields, parser()), reloaded, parser());
  EXPECT_EQ(reloaded.text(Window::Import, "eFileName"), "/tmp/odd name.plt");
  EXPECT_EQ(reloaded.text(Window::Import, "eScale"), "2");
}

TEST_F(SettingsFileTest, ATruncatedOrBinaryFileLoadsWhatCameBefore) {
  load("1:\r\nh\r\neTime\r\n700\r\neVoltage");
  EXPECT_EQ(fields.text(Window::Main, "eTime"), "700");
  EXPECT_EQ(fields.text(Window::Main, "eVoltage"), "0");
  // Bytes the code page lacks become "?"; the rest is converted, NUL included.
  load(std::string("1:\nh\neTime\n\x81\x00\xff", 14));
  EXPECT_EQ(fields.text(Window::Main, "eTime"), std::string("?\0\xcb\x99", 4));
}

}  // namespace
}  // namespace corvane
