#include <gtest/gtest.h>

#include <limits>

#include "model/NumberParser.h"
#include "support/SystemFixture.h"

namespace corvane {
namespace {

class NumberParserTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(f.system->PrepareStart()); f.host.logPane.clear(); }
  NumberParser& parser() { return f.system->parser; }
  const std::vector<std::string>& logged() { return f.host.logPane; }
  testing::SystemFixture f;
};

struct FloatCase {
  const char* text;
  double expected;
  const char* logLine;  // nullptr: nothing logged
};

TEST_F(NumberParserTest, ParseFloatSeparatorsDefaultsAndLogLines) {
  const FloatCase cases[] = {
      {"12,5", 12.5, nullptr},
      {"12.5", 12.5, nullptr},
      {".5", 0.5, nullptr},
      {"5.", 5.0, nullptr},
      {"1,2,3", 1.0, "\"1,2,3\" is not a Float Value!"},
      {"", 1.0, nullptr},
      {"50%", 1.0, nullptr},
      {"abc", 1.0, "\"abc\" is not a Float Value!"},
      {"inf", 1.0, "\"inf\" is not a Float Value!"},
      {"1.234567", 1.2346, nullptr},
      {"-3", -3.0, nullptr},
  };
  for (const auto& c : cases) {
    f.host.logPane.clear();
    EXPECT_DOUBLE_EQ(parser().ParseFloat(c.text), c.expected) << c.text;
    if (c.logLine) {
      ASSERT_EQ(logged().size(), 1u) << c.text;
      EXPECT_EQ(logged()[0], c.logLine);
    } else {
      EXPECT_TRUE(logged().empty()) << c.text;
    }
  }
}

TEST_F(NumberParserTest, IntegerParsingRoundsTiesToEvenAndReadsMatAndVolts) {
  const std::pair<const char*, int> cases[] = {
      {"Mat", -1}, {"24V", 24}, {"2.5", 2}, {"3.5", 4}, {"", 1}, {"7,4", 7}, {"x", 1}};
  for (const auto& [text, expected] : cases) EXPECT_EQ(parser().ParseInt1(text), expected) << text;
  EXPECT_EQ(logged().back(), "\"x\" is not a Integer 1 Value!");
}

TEST_F(NumberParserTest, InchModeConvertsLengthsAndSpeedsOnly) {
  parser().imperial = true;
  EXPECT_EQ(parser().ParseInt2("100"), 2540);
  EXPECT_DOUBLE_EQ(parser().ParseFloat2("1.5"), 38.1);
  EXPECT_DOUBLE_EQ(parser().ParseFloat("1.5"), 1.5);
  EXPECT_EQ(parser().ParseInt1("100"), 100);
  EXPECT_EQ(parser().ParseInt2("50%"), 1);
  EXPECT_DOUBLE_EQ(parser().ParseFloat2("50%"), 1.0);
  EXPECT_TRUE(logged().empty());

  EXPECT_EQ(parser().ParseInt2("bad"), 1);
  EXPECT_EQ(logged().back(), "\"bad\" is not a Integer 2 Value!");
  EXPECT_TRUE(f.host.logPaneShown);
  EXPECT_DOUBLE_EQ(parser().ParseFloat2("bad"), 1.0);
  EXPECT_EQ(logged().back(), "\"bad\" is not a Float2 Value!");
}

TEST_F(NumberParserTest, HugeNumbersClampInsteadOfOverflowing) {
  EXPECT_EQ(parser().ParseInt1("1e30"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(parser().ParseInt1("-99999999999"), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(logged().back(), "\"-99999999999\" is out of range!");
  parser().imperial = true;
  EXPECT_EQ(parser().ParseInt2("1e300"), std::numeric_limits<std::int32_t>::max());
  EXPECT_DOUBLE_EQ(parser().ParseFloat("1e300"), 1e300);
}

TEST_F(NumberParserTest, DisplayConversionsFollowTheUnitFlag) {
  EXPECT_EQ(parser().ToDisplayUnits("12,5"), "12.5");
  EXPECT_EQ(parser().FromDisplayUnits(".5"), "0.5");
  parser().imperial = true;
  EXPECT_EQ(parser().ToDisplayUnits("25.4"), "1");
  EXPECT_EQ(parser().ToDisplayUnits("2540"), "100");
  EXPECT_EQ(parser().FromDisplayUnits("2"), "50.8");
  // Inches shown with 6 decimals come back as millimetres with 4.
  EXPECT_EQ(parser().FromDisplayUnits("3.937008"), "100");
  EXPECT_EQ(parser().FromDisplayUnits("1.574803"), "40");
  EXPECT_EQ(parser().FormatLength(50.8), "2");
  EXPECT_EQ(parser().ToDisplayUnits("x"), "x");
  EXPECT_EQ(logged().back(), "x is not a Float Value!");
  EXPECT_EQ(parser().FromDisplayUnits("y"), "y");
  EXPECT_EQ(logged().back(), "y is not a FloatM Value!");
}

TEST_F(NumberParserTest, CoordinatePairsReadTenths) {
  EXPECT_EQ(parser().ParsePairX("(12.5, -3)"), 125);
  EXPECT_EQ(parser().ParsePairY("(12.5, -3)"), -30);
  EXPECT_EQ(parser().ParsePairX("(a, 1)"), 1);
  EXPECT_EQ(logged().back(), "(a, 1) is not a FloatX Value!");
  EXPECT_EQ(parser().ParsePairY("(1,2)"), 1);
  EXPECT_EQ(logged().back(), "(1,2) is not a FloatY Value!");
}

TEST_F(NumberParserTest, AxisTargetForms) {
  // current 1000 from origin 500: the machine stands at 1500.
  const AxisTargetLimits limits{1000, 500, 60000, -100, false};
  const std::pair<const char*, int> cases[] = {{"max", 60000}, {" MIN ", -100}, {"+10", 2500},
                                                {"-5", 1000},    {"m20", 2500},    {"300", 30000},
                                                {"", 1500}};
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(parser().ParseAxisTarget(text, limits), expected) << text;
  // Only ten characters after the sign count; the sum beyond int32 clamps and is logged.
  EXPECT_EQ(parser().ParseAxisTarget("+12345678901", limits), INT32_MAX);
  EXPECT_EQ(logged().back(), "\"+12345678901\" is out of range!");
  AxisTargetLimits clamped = limits;
  clamped.softLimits = true;
  EXPECT_EQ(parser().ParseAxisTarget("900", clamped), 60000);
  EXPECT_EQ(parser().ParseAxisTarget("+-99999", clamped), -100);
}

}  // namespace
}  // namespace corvane
