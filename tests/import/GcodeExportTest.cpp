#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>

#include "import/CliRun.h"
#include "ReaderHarness.h"
#include "import/DrawingFile.h"
#include "import/GcodeExport.h"
#include "ports/FileIo.h"
#include "ports/TextCodec.h"
#include "store/AdvancedOptions.h"
#include "store/FieldStore.h"
#include "store/JobFile.h"
#include "support/TempDir.h"

namespace corvane::testing {
namespace {

using Lines = std::vector<std::string>;

CNCpath Contour(std::int32_t kind, std::vector<ContourPoint> vertices) {
  CNCpath contour{{kind, 0}};
  contour.insert(contour.end(), vertices.begin(), vertices.end());
  return contour;
}

// A closed square of five vertices, starting and ending at its lower-left corner.
CNCpath Square(std::int32_t x, std::int32_t y, std::int32_t side, std::int32_t kind = kKindCut) {
  return Contour(kind, {{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}, {x, y}});
}

// The export's settings as the windows' fields and the advanced options give them.
struct ExportHarness : ReaderHarness {
  FieldStore fields;
  AdvancedOptions advanced;

  GcodeExportSettings Settings() { return ReadGcodeExportSettings(fields, advanced, parser); }
  void Tick(const char* name) { fields.setChecked(Window::Configuration, name, true); }
  void SetConfig(const char* name, const std::string& text) {
    fields.setText(Window::Configuration, name, text);
  }
  void SetInches() {
    fields.setChecked(Window::Configuration, "cImperial", true);
    parser.imperial = true;
  }
  Lines Export(const tCNCPath& job, GcodeExportFormat format = GcodeExportFormat::Standard) {
    return GcodeExportLines(job, Settings(), format, "/some/folder/part.tap");
  }
};

struct GcodeExport : ::testing::Test, ExportHarness {};

// A numbered line split into its number, its command and its comment ("" when it has none).
struct NumberedLine {
  std::int64_t number = -1;
  std::string command;
  std::string comment;
};

NumberedLine SplitNumbered(const std::string& line) {
  NumberedLine split;
  if (line.empty() || line[0] != 'N') return split;
  const auto space = line.find(' ');
  split.number = std::stoll(line.substr(1, space - 1));
  const auto open = line.find("( ");
  std::string command =
      line.substr(space + 1, open == std::string::npos ? std::string::npos : open - space - 1);
  while (!command.empty() && command.back() == ' ') command.pop_back();
  split.command = command;
  if (open != std::string::npos) split.comment = line.substr(open + 2);
  return split;
}

// "number command" of every numbered line, in order.
Lines NumberedCommands(const Lines& lines) {
  Lines out;
  for (const auto& line : lines) {
    const NumberedLine split = SplitNumbered(line);
    if (split.number >= 0) out.push_back(std::to_string(split.number) + " " + split.command);
  }
  return out;
}

TEST_F(GcodeExport, OneSquareWithTheDefaultFieldsIsTheWholeProgram) {
  const Lines expected = {
      "( CorvaneCNC GCodes Export )",
      "( Simply 2D path only ! )",
      "( FileName : part.tap )",
      "",
      "N10 G21                            ( millimeter units )",
      "N20 G00 Z12.7                      ( floating height )",
      "N30 G00 X0 Y0                      ( piercing point XY )",
      "N40 G00 Z5.08                      ( piercing height )",
      "N50 M03                            ( plasma ON )",
      "N70 G04 P500                       ( piercing time [ms] )",
      "N80 G00 Z2.54                      ( cutting height )",
      "N90 G01 X50 Y0 F2540               ( XY path main cutting speed )",
      "N100 G01 X50 Y50",
      "N110 G01 X0 Y50",
      "N120 G01 X0 Y0",
      "N130 M05                            ( plasma OFF )",
      "N140 G00 Z12.7                      ( floating height )",
      "N150 M30                            ( end )",
  };
  EXPECT_EQ(Export({Square(0, 0, 5000)}), expected);
}

// Which steps a job has decides the line numbers.
struct NumberingCase {
  const char* name;
  std::vector<const char*> ticked;                         // configuration check boxes
  std::vector<std::pair<const char*, const char*>> texts;  // configuration fields
  tCNCPath job;
  Lines expected;  // "number command"
};

class ExportNumbering : public ::testing::TestWithParam<NumberingCase>, public ExportHarness {};

TEST_P(ExportNumbering, LinesAreNumberedStepByStep) {
  for (const char* box : GetParam().ticked) Tick(box);
  for (const auto& [name, text] : GetParam().texts) SetConfig(name, text);
  EXPECT_EQ(NumberedCommands(Export(GetParam().job)), GetParam().expected);
}

const Lines kSquareAt30 = {"30 G00 X0 Y0",    "40 G00 Z5.08",   "50 M03",
                           "70 G04 P500",     "80 G00 Z2.54",   "90 G01 X50 Y0 F2540",
                           "100 G01 X50 Y50", "110 G01 X0 Y50", "120 G01 X0 Y0",
                           "130 M05",         "140 G00 Z12.7"};

Lines Join(std::initializer_list<Lines> parts) {
  Lines out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

const Lines kStart = {"10 G21", "20 G00 Z12.7"};
const Lines kDetectedSquare = {"30 G00 X0 Y0",    "40 G00 Z12.7",   "50 G31 Z-20  F508",
                               "60 G92 Z-0.254",  "70 G00 Z5.08",   "80 M03",
                               "100 G04 P500",    "110 G00 Z2.54",  "120 G01 X50 Y0 F2540",
                               "130 G01 X50 Y50", "140 G01 X0 Y50", "150 G01 X0 Y0",
                               "160 M05",         "170 G00 Z12.7"};

INSTANTIATE_TEST_SUITE_P(
    Steps, ExportNumbering,
    ::testing::Values(
        NumberingCase{
            "PlainSquare", {}, {}, {Square(0, 0, 5000)}, Join({kStart, kSquareAt30, {"150 M30"}})},
        NumberingCase{"OhmicSensorAddsDetection",
                      {"cOhmic"},
                      {},
                      {Square(0, 0, 5000)},
                      Join({kStart, kDetectedSquare, {"180 M30"}})},
        NumberingCase{"FloatingHeadDetectsWithTheSwitchCorrection",
                      {"cFloating"},
                      {},
                      {Square(0, 0, 5000)},
                      Join({kStart,
                            {"30 G00 X0 Y0", "40 G00 Z12.7", "50 G31 Z-20  F508", "60 G92 Z-3.81",
                             "70 G00 Z5.08", "80 M03", "100 G04 P500"},
                            {kDetectedSquare.begin() + 7, kDetectedSquare.end()},
                            {"180 M30"}})},
        NumberingCase{"ArcOkWaitFillsLine60",
                      {"cArcOk"},
                      {},
                      {Square(0, 0, 5000)},
                      Join({kStart,
                            {kSquareAt30.begin(), kSquareAt30.begin() + 3},
                            {"60 M300"},
                            {kSquareAt30.begin() + 3, kSquareAt30.end()},
                            {"150 M30"}})},
        NumberingCase{"ParkPositionXYAndZ",
                      {},
                      {{"eENDx", "10"}, {"eENDy", "20,5"}, {"eENDz", "30"}},
                      {Square(0, 0, 5000)},
                      Join({kStart, kSquareAt30, {"150 G00 X10 Y20,5", "160 G00 Z30", "170 M30"}})},
        NumberingCase{"ParkZOnly",
                      {},
                      {{"eENDy", "20"}, {"eENDz", "30"}},
                      {Square(0, 0, 5000)},
                      Join({kStart, kSquareAt30, {"150 G00 Z30", "160 M30"}})},
        NumberingCase{"ParkXYOnly",
                      {},
                      {{"eENDx", "10"}},
                      {Square(0, 0, 5000)},
                      Join({kStart, kSquareAt30, {"150 G00 X10 Y", "160 M30"}})},
        NumberingCase{"SecondContourFollowsTheFirst",
                      {},
                      {},
                      {Square(0, 0, 5000), Contour(kKindCut, {{100, 200}, {300, 200}, {300, 400}})},
                      Join({kStart,
                            kSquareAt30,
                            {"150 G00 X1 Y2", "160 G00 Z5.08", "170 M03", "190 G04 P500",
                             "200 G00 Z2.54", "210 G01 X3 Y2 F1270", "220 G01 X3 Y4", "230 M05",
                             "240 G00 Z12.7", "250 M30"}})},
        NumberingCase{"ContoursWithoutACuttingMoveAreLeftOut",
                      {},
                      {},
                      {CNCpath{}, Contour(kKindCut, {}), Contour(kKindCut, {{700, 700}}),
                       Square(0, 0, 5000), Contour(kKindDisabled, {{900, 900}})},
                      Join({kStart, kSquareAt30, {"150 M30"}})},
        NumberingCase{"DisabledContourIsWrittenLikeAnyOther",
                      {},
                      {},
                      {Square(0, 0, 5000, kKindDisabled)},
                      Join({kStart, kSquareAt30, {"150 M30"}})},
        NumberingCase{"MarkerContourIsWrittenLikeAnyOther",
                      {},
                      {},
                      {Square(0, 0, 5000, kKindMarker)},
                      Join({kStart, kSquareAt30, {"150 M30"}})},
        NumberingCase{"EmptyJobStillStartsAndEnds", {}, {}, {}, Join({kStart, {"30 M30"}})}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(GcodeExport, CommentsStartAtColumn31OrOneSpaceAfterALongerCommand) {
  // "G01 X50 Y0 F" is 12 characters; the speed field makes up the rest.
  for (const std::size_t length : {13u, 29u, 30u, 31u, 32u, 45u}) {
    fields.setText(Window::Main, "xFeed", std::string(length - 12, '7'));
    const Lines lines = Export({Square(0, 0, 5000)});
    const std::string command = "G01 X50 Y0 F" + std::string(length - 12, '7');
    const std::size_t spaces = length < 31 ? 31 - length : 1;
    EXPECT_EQ(lines[11],
              "N90 " + command + std::string(spaces, ' ') + "( XY path main cutting speed )")
        << length;
  }
}

TEST_F(GcodeExport, FieldTextsAreWrittenAsTheyStand) {
  fields.setText(Window::Main, "xFloatH", "15,5");
  fields.setText(Window::Main, "xPierceH", " 4.0 ");
  fields.setText(Window::Main, "eTime", "750");
  fields.setText(Window::Main, "xCutH", "1.50");
  fields.setText(Window::Main, "xFeed", "3000,25");
  SetConfig("xDetectionH", "9,9");
  SetConfig("xDetectionS", "250");
  SetConfig("xCor1", "0,3");
  Tick("cOhmic");
  const Lines commands = NumberedCommands(Export({Square(0, 0, 5000)}));
  const Lines expected = {"10 G21",
                          "20 G00 Z15,5",
                          "30 G00 X0 Y0",
                          "40 G00 Z9,9",
                          "50 G31 Z-20  F250",
                          "60 G92 Z-0,3",
                          "70 G00 Z 4.0",
                          "80 M03",
                          "100 G04 P750",
                          "110 G00 Z1.50",
                          "120 G01 X50 Y0 F3000,25"};
  EXPECT_EQ(Lines(commands.begin(), commands.begin() + expected.size()), expected);
  EXPECT_EQ(commands.back(), "180 M30");
  EXPECT_EQ(commands[commands.size() - 2], "170 G00 Z15,5");
}

struct CoordinateCase {
  std::int32_t units;
  bool inches;
  const char* text;
};

TEST(GcodeCoordinates, ShortestDecimalsInMillimetresAndFourInInches) {
  const CoordinateCase cases[] = {
      {0, false, "0"},
      {100, false, "1"},
      {12345, false, "123.45"},
      {10, false, "0.1"},
      {-5, false, "-0.05"},
      {2147483647, false, "21474836.47"},
      {-2147483647 - 1, false, "-21474836.48"},
      {0, true, "0"},
      {2540, true, "1"},
      {-2540, true, "-1"},
      {100, true, "0.0394"},
      {1, true, "0.0004"},
      {12345, true, "4.8602"},
      {127, true, "0.05"},
      {2147483647, true, "845466.0028"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(GcodeCoordinate(c.units, c.inches), c.text) << c.units << " " << c.inches;
}

TEST_F(GcodeExport, InchModeWritesG20AndInchCoordinates) {
  SetInches();
  const Lines commands = NumberedCommands(Export({Contour(kKindCut, {{2540, 0}, {5080, 1270}})}));
  ASSERT_GE(commands.size(), 8u);
  EXPECT_EQ(commands[0], "10 G20");
  EXPECT_EQ(commands[2], "30 G00 X1 Y0");
  EXPECT_EQ(commands[7], "90 G01 X2 Y0.5 F1270");
  EXPECT_EQ(Export({})[4], "N10 G20                            ( Inches units )");
}

TEST_F(GcodeExport, SignOptionsStandBeforeEveryVertexCoordinate) {
  advanced.GCodeSignX = "-";
  advanced.GCodeSignY = "+";
  SetConfig("eENDx", "5");
  SetConfig("eENDy", "6");
  const tCNCPath job = {Contour(kKindCut, {{1000, 200}, {-500, 300}, {0, -100}})};
  const Lines commands = NumberedCommands(Export(job));
  EXPECT_NE(std::find(commands.begin(), commands.end(), "30 G00 X-10 Y+2"), commands.end());
  EXPECT_NE(std::find(commands.begin(), commands.end(), "90 G01 X--5 Y+3 F1270"), commands.end());
  EXPECT_NE(std::find(commands.begin(), commands.end(), "100 G01 X-0 Y+-1"), commands.end());
  // The park position is the operator's own text, not a vertex.
  EXPECT_NE(std::find(commands.begin(), commands.end(), "130 G00 X5 Y6"), commands.end());
  const Lines bare = Export(job, GcodeExportFormat::Bare);
  EXPECT_EQ(bare[1], "G00 X-10 Y+2");
  EXPECT_EQ(bare[4], "G01 X-0 Y+-1");
}

TEST_F(GcodeExport, OwnTitleReplacesTheTwoTitleLines) {
  advanced.GCodeComment = "( shop 7, table 2 )";
  const Lines lines = Export({Square(0, 0, 5000)});
  EXPECT_EQ(lines[0], "( shop 7, table 2 )");
  EXPECT_EQ(lines[1], "( FileName : part.tap )");
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[3].rfind("N10 G21 ", 0), 0u);
}

// A contour fitting the "Apply Cutting Speed 2" square is cut at the second speed.
struct SmallCase {
  const char* name;
  bool inches;
  const char* small;
  std::int32_t side;  // 0.01 mm
  bool speed2;
};

class ExportSpeeds : public ::testing::TestWithParam<SmallCase>, public ExportHarness {};

TEST_P(ExportSpeeds, SmallContoursUseCuttingSpeed2) {
  const SmallCase& c = GetParam();
  if (c.inches) SetInches();
  SetConfig("xSmall", c.small);
  fields.setText(Window::Main, "xFeed", "3000");
  fields.setText(Window::Main, "xFeed2", "1000,5");
  const CNCpath contour =
      Contour(kKindCut, {{100, 100}, {100 + c.side, 100}, {100, 100 + c.side / 2}});
  const NumberedLine cut = SplitNumbered(Export({contour})[11]);
  EXPECT_EQ(cut.number, 90);
  const std::string speed = c.speed2 ? "1000,5" : "3000";
  EXPECT_EQ(cut.command.substr(cut.command.size() - speed.size() - 2), " F" + speed);
  EXPECT_EQ(cut.comment, c.speed2 ? "XY path cutting speed2 )" : "XY path main cutting speed )");
  const Lines bare = Export({contour}, GcodeExportFormat::Bare);
  EXPECT_EQ(bare[3].substr(bare[3].size() - speed.size() - 2), " F" + speed);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ExportSpeeds,
    ::testing::Values(SmallCase{"ExactlyTheSquare", false, "25.4", 2540, true},
                      SmallCase{"JustLarger", false, "25.4", 2541, false},
                      SmallCase{"DecimalComma", false, "10,5", 1050, true},
                      SmallCase{"DecimalCommaJustLarger", false, "10,5", 1051, false},
                      SmallCase{"InchSquare", true, "1", 2540, true},
                      SmallCase{"InchSquareJustLarger", true, "1", 2541, false},
                      SmallCase{"ZeroSizeMakesNothingSmall", false, "0", 1, false}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(GcodeExport, SettingsComeFromTheFieldsOfTheMoment) {
  Tick("cOhmic");
  SetConfig("xCor1", "0,5");
  SetConfig("xCor2", "4");
  EXPECT_EQ(Settings().correction, "0,5");
  fields.setChecked(Window::Configuration, "cOhmic", false);
  Tick("cFloating");
  const GcodeExportSettings s = Settings();
  EXPECT_EQ(s.correction, "4");
  EXPECT_FALSE(s.ohmic);
  EXPECT_TRUE(s.floatingHead);
  EXPECT_FALSE(s.inches);
  EXPECT_EQ(s.smallSize, 2540);
  SetInches();
  EXPECT_TRUE(Settings().inches);
  EXPECT_EQ(Settings().smallSize, 64516);  // 25.4 in
}

TEST_F(GcodeExport, BareFormatHasOnlyTheMoves) {
  Tick("cOhmic");
  Tick("cArcOk");
  SetConfig("eENDx", "5");
  SetConfig("eENDz", "6");
  const tCNCPath job = {Square(0, 0, 5000), Contour(kKindMarker, {{100, 200}, {300, 200}})};
  const Lines expected = {"G00 Z12.7",   "G00 X0 Y0",  "G00 Z2.54",       "G01 X50 Y0 F2540",
                          "G01 X50 Y50", "G01 X0 Y50", "G01 X0 Y0",       "G00 Z12.7",
                          "G00 X1 Y2",   "G00 Z2.54",  "G01 X3 Y2 F1270", "G00 Z12.7",
                          "M30"};
  EXPECT_EQ(Export(job, GcodeExportFormat::Bare), expected);
  EXPECT_EQ(Export({Contour(kKindCut, {{5, 5}})}, GcodeExportFormat::Bare),
            (Lines{"G00 Z12.7", "M30"}));
}

// Random jobs and settings: the program, read back by our reader, gives the contours.
struct RandomExport {
  tCNCPath job;
  GcodeExportSettings settings;
};

std::string RandomNumberText(std::mt19937& random) {
  std::uniform_int_distribution<int> value(1, 9999);
  std::string text = std::to_string(value(random));
  if (random() % 2) text.insert(text.size() - 1, random() % 2 ? "," : ".");
  return text;
}

RandomExport MakeRandomExport(std::mt19937& random) {
  RandomExport r;
  GcodeExportSettings& s = r.settings;
  s.inches = random() % 2;
  s.ohmic = random() % 2;
  s.floatingHead = random() % 2;
  s.arcOk = random() % 2;
  for (std::string* text : {&s.floatHeight, &s.cutHeight, &s.pierceHeight, &s.pierceTime, &s.feed,
                            &s.feed2, &s.detectionHeight, &s.detectionSpeed, &s.correction})
    *text = RandomNumberText(random);
  if (random() % 2) s.finishX = RandomNumberText(random), s.finishY = RandomNumberText(random);
  if (random() % 2) s.finishZ = RandomNumberText(random);
  if (random() % 3 == 0) s.title = "( job " + RandomNumberText(random) + " )";
  const bool mirrored = random() % 3 == 0;
  if (mirrored) s.signX = "-";
  s.smallSize = std::uniform_int_distribution<std::int64_t>(0, 5000)(random);
  const std::int32_t low = mirrored ? 0 : -3'000'000;
  std::uniform_int_distribution<std::int32_t> coordinate(low, 3'000'000);
  const std::int32_t kinds[] = {kKindCut, kKindDisabled, kKindMarker, kKindSingleLine};
  const int contours = std::uniform_int_distribution<int>(0, 6)(random);
  for (int c = 0; c < contours; ++c) {
    CNCpath contour{{kinds[random() % 4], 0}};
    const int vertices = std::uniform_int_distribution<int>(0, 12)(random);
    for (int v = 0; v < vertices; ++v) contour.push_back({coordinate(random), coordinate(random)});
    r.job.push_back(std::move(contour));
  }
  return r;
}

// What the reader must find: the contours with a cutting move, mirrored where the sign says so.
TPaths ExpectedPaths(const RandomExport& r) {
  TPaths expected;
  for (const CNCpath& contour : r.job) {
    if (contour.size() < 3) continue;
    TPath path{{0, 1}};
    for (std::size_t i = 1; i < contour.size(); ++i)
      path.push_back({r.settings.signX == "-" ? -contour[i].x : contour[i].x, contour[i].y});
    expected.push_back(path);
  }
  return expected;
}

// The contours of a bare program: every rapid to X Y starts one, every cut with X Y extends it.
TPaths ContoursOfBare(const Lines& lines, double unitsPerValue) {
  TPaths paths;
  for (const std::string& line : lines) {
    const bool rapid = line.rfind("G00 X", 0) == 0, cut = line.rfind("G01 X", 0) == 0;
    if (!rapid && !cut) continue;
    const auto y = line.find(" Y");
    const double x = std::strtod(line.c_str() + 5, nullptr) * unitsPerValue;
    const double yValue = std::strtod(line.c_str() + y + 2, nullptr) * unitsPerValue;
    if (rapid) paths.push_back({{0, 1}});
    paths.back().push_back({std::llround(x), std::llround(yValue)});
  }
  return paths;
}

class ExportReadBack : public ::testing::TestWithParam<unsigned>, public ReaderHarness {};

TEST_P(ExportReadBack, OurReaderGivesTheJobsContoursBack) {
  std::mt19937 random(GetParam());
  TempDir dir;
  for (int round = 0; round < 25; ++round) {
    const RandomExport r = MakeRandomExport(random);
    const TPaths expected = ExpectedPaths(r);
    const std::string file = dir.file("round" + std::to_string(round) + ".tap");
    ASSERT_TRUE(WriteGcodeExport(file, r.job, r.settings, GcodeExportFormat::Standard));
    TPaths paths;
    TDXF dxf;
    const DrawingLoad load =
        ReadDrawingFile(file, DrawingFormat::Gcode, {}, parser, log, paths, dxf, true);
    EXPECT_EQ(load.ok, !expected.empty()) << load.error;
    EXPECT_EQ(paths, expected) << "seed " << GetParam() << " round " << round;

    // Numbers grow by tens, and every comment starts at its column.
    const Lines lines = SplitLines(ReadFileText(file));
    std::int64_t previous = 0;
    for (const std::string& line : lines) {
      const NumberedLine split = SplitNumbered(line);
      if (split.number < 0) continue;
      EXPECT_GT(split.number, previous) << line;
      EXPECT_EQ(split.number % 10, 0) << line;
      previous = split.number;
      if (split.comment.empty()) continue;
      const std::size_t prefix = std::to_string(split.number).size() + 2;
      EXPECT_EQ(line.find("( "), prefix + std::max<std::size_t>(31, split.command.size() + 1))
          << line;
    }

    const Lines bare = GcodeExportLines(r.job, r.settings, GcodeExportFormat::Bare, file);
    EXPECT_EQ(ContoursOfBare(bare, r.settings.inches ? 2540.0 : 100.0), expected);
    EXPECT_TRUE(std::none_of(bare.begin(), bare.end(), [](const std::string& line) {
      return line.find_first_of("N(") != std::string::npos || line.rfind("M0", 0) == 0;
    }));
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, ExportReadBack, ::testing::Values(1u, 2u, 3u, 20261210u));

TEST_F(GcodeExport, FileIsWindows1250WithCrLfAndNamesItselfWithoutItsFolder) {
  TempDir dir;
  fields.setText(Window::Main, "xFeed", "2540 \xC5\xBE");  // "ž"
  const std::string file = dir.file("d\xC3\xADl.tap");     // "díl.tap"
  WriteFileText(file, "an older export that is replaced\r\n");
  ASSERT_TRUE(
      WriteGcodeExport(file, {Square(0, 0, 5000)}, Settings(), GcodeExportFormat::Standard));
  const std::string bytes = ReadFileText(file);
  EXPECT_EQ(bytes.find("older"), std::string::npos);
  EXPECT_NE(bytes.find("( FileName : d\xEDl.tap )\r\n"), std::string::npos);
  EXPECT_NE(bytes.find(" F2540 \x9E "), std::string::npos);
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  std::size_t crlf = 0, lf = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i)
    if (bytes[i] == '\n') ++lf, crlf += i > 0 && bytes[i - 1] == '\r';
  EXPECT_EQ(lf, 18u);
  EXPECT_EQ(crlf, lf);
}

TEST_F(GcodeExport, AFileThatCannotBeWrittenIsAFailureAndLeavesTheOldOne) {
  TempDir dir;
  const tCNCPath job = {Square(0, 0, 5000)};
  const FileResult noFolder =
      WriteGcodeExport(dir.file("missing/part.tap"), job, Settings(), GcodeExportFormat::Standard);
  EXPECT_FALSE(noFolder.ok);
  EXPECT_NE(noFolder.error.find("missing"), std::string::npos) << noFolder.error;
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));

  std::filesystem::create_directory(dir.file("folder.tap"));
  EXPECT_FALSE(
      WriteGcodeExport(dir.file("folder.tap"), job, Settings(), GcodeExportFormat::Bare).ok);
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder.tap")));

  const std::string file = dir.file("kept.tap");
  WriteFileText(file, "kept");
  SetAtomicRenameFailureForTests("disk pulled");
  const FileResult renamed = WriteGcodeExport(file, job, Settings(), GcodeExportFormat::Standard);
  SetAtomicRenameFailureForTests(std::nullopt);
  EXPECT_FALSE(renamed.ok);
  EXPECT_EQ(ReadFileText(file), "kept");
}

CliRun RunExport(const std::vector<std::string>& arguments) { return RunCli("export", arguments); }

struct CorpusCase {
  const char* name;
  const char* file;
  std::vector<std::string> options;
  bool inches;
};

class ExportCommand : public ::testing::TestWithParam<CorpusCase>, public ReaderHarness {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(kCli)) << "corvane-cli is not built at " << kCli;
  }
  TempDir dir;
};

TEST_P(ExportCommand, ACorpusDrawingComesBackFromItsExportAsTheProcessedJob) {
  const std::string drawing = kCorpus + "/" + GetParam().file;
  // The job the import pipeline makes of the drawing, with the same options.
  std::vector<std::string> options = GetParam().options;
  std::vector<std::string> processOptions;
  for (std::size_t i = 0; i < options.size(); ++i)
    if (options[i] == "--format") ++i;
    else processOptions.push_back(options[i]);
  std::vector<std::string> arguments = {drawing, "-o", dir.file("job.cnc"), "--quiet"};
  arguments.insert(arguments.end(), processOptions.begin(), processOptions.end());
  const CliRun processed = RunCli("process", arguments);
  ASSERT_EQ(processed.code, 0) << processed.err;
  const JobFileContent job = DecodeJobFile(ReadFileText(dir.file("job.cnc")), false, log);
  TPaths expected;
  for (const CNCpath& contour : job.job) {
    if (contour.size() < 3) continue;
    TPath path{{0, 1}};
    for (std::size_t i = 1; i < contour.size(); ++i) path.push_back({contour[i].x, contour[i].y});
    expected.push_back(path);
  }
  ASSERT_FALSE(expected.empty());

  const std::string output = dir.file("out.tap");
  arguments = {drawing, "-o", output};
  arguments.insert(arguments.end(), options.begin(), options.end());
  const CliRun run = RunExport(arguments);
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("exported " + std::to_string(job.job.size()) + " contours"), std::string::npos)
      << run.out;
  TPaths back;
  TDXF dxf;
  ASSERT_TRUE(ReadDrawingFile(output, DrawingFormat::Gcode, {}, parser, log, back, dxf, true).ok);
  EXPECT_EQ(back, expected);
  const std::string text = ReadFileText(output);
  EXPECT_NE(text.find(GetParam().inches ? "N10 G20 " : "N10 G21 "), std::string::npos);
  EXPECT_NE(text.find("( FileName : out.tap )\r\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, ExportCommand,
    ::testing::Values(
        CorpusCase{"Dxf", "dxf/cinvaram__bolt_plate_1.dxf", {}, false},
        CorpusCase{"DxfWithKerfAndLeads", "dxf/cinvaram__bolt_plate_1.dxf",
                   {"--tool", "1.5", "--lead", "5", "--lead-out"}, false},
        CorpusCase{"Gcode", "gcode/linuxcnc__plasmatest.ngc", {"--format", "standard"}, false},
        CorpusCase{"HpglInInches", "hpgl/vk2bea__hp.hpgl", {"--set", "cImperial=1"}, true},
        CorpusCase{"DetectionAndArcOk",
                   "dxf/dxfparser__ellipse.dxf",
                   {"--set", "cOhmic=1", "--set", "cArcOk=1", "--set", "xFeed=3000,5"},
                   false}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

class ExportCommandChoices : public ::testing::Test, public ReaderHarness {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(kCli)) << "corvane-cli is not built at " << kCli;
  }
  TempDir dir;
};

TEST_F(ExportCommandChoices, BareFormatFieldsAndAdvancedOptionsReachTheFile) {
  const std::string drawing = dir.file("part.nc");
  WriteFileText(drawing,
                "G0 X10 Y20\nM3\nG1 X30 Y20\nG1 X30 Y50\nM5\nG0 X5 Y5\nM3\nG1 X6 Y5\nM5\n");
  const std::string advanced = dir.file("advanced.txt");
  WriteFileText(advanced, "GCodeSignY=-\r\nGCodeComment=( our table )\r\n");

  const CliRun bare =
      RunExport({drawing, "--format", "bare", "--set", "xFloatH=20,5", "-o", dir.file("b.tap")});
  ASSERT_EQ(bare.code, 0) << bare.err;
  EXPECT_EQ(
      ReadFileText(dir.file("b.tap")),
      "G00 Z20,5\r\nG00 X0 Y0\r\nG00 Z2.54\r\nG01 X1 Y0 F1270\r\nG00 Z20,5\r\n"
      "G00 X5 Y15\r\nG00 Z2.54\r\nG01 X25 Y15 F2540\r\nG01 X25 Y45\r\nG00 Z20,5\r\nM30\r\n")
      << "the sort cuts the piece nearest the lower left corner first";

  const CliRun titled =
      RunExport({drawing, "--advanced", advanced, "--start", "none", "-o", dir.file("t.tap")});
  ASSERT_EQ(titled.code, 0) << titled.err;
  const Lines lines = SplitLines(ReadFileText(dir.file("t.tap")));
  EXPECT_EQ(lines[0], "( our table )");
  EXPECT_EQ(lines[5].rfind("N30 G00 X5 Y-15 ", 0), 0u) << lines[5];

  // Without -o the drawing's name gets ".tap", as the export button proposes.
  ASSERT_EQ(RunExport({drawing}).code, 0);
  EXPECT_NE(ReadFileText(drawing + ".tap").find("( FileName : part.nc.tap )"), std::string::npos);
}

struct FailureCase {
  const char* name;
  const char* drawingText;  // written to "drawing.<extension>"; nullptr: no such file
  const char* extension;
  const char* output;  // below the test folder
  std::vector<std::string> options;
  int code;
  const char* says;
};

class ExportCommandFailures : public ::testing::TestWithParam<FailureCase> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(kCli)) << "corvane-cli is not built at " << kCli;
  }
  TempDir dir;
};

TEST_P(ExportCommandFailures, SayWhyAndWriteNothing) {
  const FailureCase& c = GetParam();
  const std::string drawing = dir.file(std::string("drawing.") + c.extension);
  if (c.drawingText) WriteFileText(drawing, c.drawingText);
  std::filesystem::create_directory(dir.file("folder.tap"));
  const std::string output = dir.file(c.output);
  std::vector<std::string> arguments = {drawing, "-o", output};
  arguments.insert(arguments.end(), c.options.begin(), c.options.end());
  const CliRun run = RunExport(arguments);
  EXPECT_EQ(run.code, c.code) << run.err;
  EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
  EXPECT_TRUE(run.out.empty()) << run.out;
  EXPECT_FALSE(std::filesystem::is_regular_file(output));
}

constexpr const char* kTwoCuts = "G0 X1 Y1\nM3\nG1 X2 Y1\nM5\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, ExportCommandFailures,
    ::testing::Values(
        FailureCase{"NoSuchDrawing", nullptr, "dxf", "out.tap", {}, 1, "drawing.dxf: cannot read"},
        FailureCase{"NoPaths", "IN;PU100,100;", "plt", "out.tap", {}, 1, "no paths in the drawing"},
        FailureCase{"OnlySingleVertexPaths",
                    "G0 X1 Y1\nM3\nM5\nM3\nM5\n",
                    "tap",
                    "out.tap",
                    {},
                    1,
                    "no path of two or more vertices"},
        FailureCase{"TruncatedDrawing",
                    "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\n0\n20\n0\n11\n10\n21\n0\n0\nLINE\n"
                    "8\n0\n10\n0\n20\n",
                    "dxf",
                    "out.tap",
                    {},
                    3,
                    "truncated"},
        FailureCase{"OutputFolderMissing", kTwoCuts, "tap", "missing/out.tap", {}, 4, "out.tap"},
        FailureCase{"OutputIsAFolder", kTwoCuts, "tap", "folder.tap", {}, 4, "folder.tap"},
        FailureCase{"UnknownExportFormat",
                    kTwoCuts,
                    "tap",
                    "out.tap",
                    {"--format", "fancy"},
                    2,
                    "unknown export format fancy"},
        FailureCase{"UnknownField",
                    kTwoCuts,
                    "tap",
                    "out.tap",
                    {"--set", "xNoSuch=1"},
                    2,
                    "no field xNoSuch"},
        FailureCase{
            "FieldWithoutValue", kTwoCuts, "tap", "out.tap", {"--set", "xFeed"}, 2, "FIELD=VALUE"},
        FailureCase{
            "TwoDrawings", kTwoCuts, "tap", "out.tap", {"other.tap"}, 2, "one drawing at a time"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
}  // namespace corvane::testing
