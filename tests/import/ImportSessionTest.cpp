#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "ReaderHarness.h"
#include "import/ImportSession.h"
#include "import/SendToJob.h"
#include "model/JobNormalise.h"
#include "support/SystemFixture.h"
#include "support/TempDir.h"

namespace corvane {
namespace {

using testing::ReaderHarness;
using testing::TempDir;
using testing::WriteFileText;
using ClipperLib::cInt;
using ClipperLib::IntPoint;

class Session : public ::testing::Test, public ReaderHarness {
 protected:
  // Loads a drawing written to a file of the given name, every layer cut.
  void Load(const std::string& name, const std::string& text, bool ctrl = false,
            std::vector<int> plasma = {}, std::vector<int> marker = {}) {
    WriteFileText(dir.file(name), text);
    ASSERT_TRUE(session.Preview(dir.file(name), ImportOptions{}, parser));
    session.LoadIntoEditor(plasma.empty() && marker.empty() ? session.DefaultPlasmaLayers() : plasma, marker,
                           ctrl, options);
  }
  bool InMemo(const std::string& line) const {
    return std::find(session.memo().begin(), session.memo().end(), line) != session.memo().end();
  }
  PathBox BoxOfProcessed(std::size_t i) const { return BoxOfPath(session.processed()[i]); }

  TempDir dir;
  ImportSession session{log};
  ImportProcessOptions options;
};

constexpr const char* kTwoLines = "G0 X0 Y0\nM3\nG1 X10\nM5\nG0 X10.03 Y0\nM3\nG1 X20\nM5\n";
constexpr const char* kTwoSquares =
    "G0 X0 Y0\nM3\nG1 X10\nG1 Y10\nG1 X0\nG1 Y0\nM5\nG0 X0 Y0\nM3\nG1 X10\nG1 Y10\nG1 X0\nG1 Y0\nM5\n";
// Layers by pen: a square on 1, a square on 2, a line on 3.
constexpr const char* kThreePens =
    "IN;SP1;PU0,0;PD400,0,400,400,0,400,0,0;SP2;PU1000,0;PD1400,0,1400,400,1000,400,1000,0;SP3;PU2000,0;PD2400,0;";

TEST_F(Session, WeldsUnlessCtrlIsHeldAndDropsDuplicates) {
  Load("lines.tap", kTwoLines);
  EXPECT_EQ(session.cutting.size(), 1u);
  Load("lines.tap", kTwoLines, true);
  EXPECT_EQ(session.cutting.size(), 2u);
  Load("squares.tap", kTwoSquares);
  EXPECT_EQ(session.cutting.size(), 1u);
  EXPECT_TRUE(InMemo("Deleted Patches: 1"));
  EXPECT_TRUE(Logged("Simplyfy to: 1 pathes"));
}

TEST_F(Session, LayersSplitIntoCutMarkerAndDisabledAndTheJobKeepsThatOrder) {
  Load("pens.plt", kThreePens, false, {1}, {2});
  ASSERT_EQ(session.PresentLayers(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(session.cutting.size(), 1u);
  EXPECT_EQ(session.marker.size(), 1u);
  EXPECT_EQ(session.disabled.size(), 1u);
  const auto job = session.JobContours(options);
  ASSERT_TRUE(job);
  ASSERT_EQ(job->size(), 3u);
  EXPECT_EQ(ContourKindOf((*job)[0]), kKindMarker);
  EXPECT_EQ(ContourKindOf((*job)[1]), kKindDisabled);
  EXPECT_EQ(ContourKindOf((*job)[2]), kKindCut);

  // Every layer marked: nothing to cut, a job of marker contours only.
  Load("pens.plt", kThreePens, false, {}, {1, 2, 3});
  EXPECT_TRUE(session.cutting.empty());
  EXPECT_TRUE(Logged("No layer chosen for cutting: marker contours only"));
  const auto markers = session.JobContours(options);
  ASSERT_TRUE(markers);
  EXPECT_EQ(markers->size(), 3u);
  EXPECT_TRUE(std::all_of(markers->begin(), markers->end(),
                          [](const CNCpath& c) { return ContourKindOf(c) == kKindMarker; }));
}

TEST(LayerLines, SortAsTextWithTheMaterialLastAndNeverChosen) {
  EXPECT_EQ(LayerLines({2, 10, 252}), (std::vector<std::string>{"Layer : 10", "Layer : 2", "Layer : Mat"}));
  ReaderHarness h;
  EXPECT_EQ(LayerOfLine("Layer : 10", h.parser), 10);
  EXPECT_EQ(LayerOfLine("Layer : Mat", h.parser), -1);
}

TEST_F(Session, AnUnreadableDrawingShowsTheErrorPicture) {
  const std::string picture = std::string(CORVANE_TEST_DATA_DIR) + "/example/CorvaneCNC.err";
  ASSERT_TRUE(std::filesystem::exists(picture));
  WriteFileText(dir.file("broken.dxf"), "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\nnot a number\n");
  for (const std::string& name : {std::string("broken.dxf"), std::string("drawing.xyz")}) {
    if (name == "drawing.xyz") WriteFileText(dir.file(name), "whatever");
    EXPECT_FALSE(session.Preview(dir.file(name), ImportOptions{}, parser, picture)) << name;
    EXPECT_FALSE(session.importPaths().empty()) << "the error picture is shown for " << name;
    EXPECT_TRUE(Logged("FileImport Error: " + name));
  }
  EXPECT_EQ(session.SizeText(false), "100 x 100 mm");
}

// A 100 × 50 mm plate with a 20 mm square hole.
constexpr const char* kPlate =
    "G0 X0 Y0\nM3\nG1 X100\nG1 Y50\nG1 X0\nG1 Y0\nM5\n"
    "G0 X40 Y15\nM3\nG1 X60\nG1 Y35\nG1 X40\nG1 Y15\nM5\n";

TEST_F(Session, EveryChangeOfTheCutSideOrTheOffsetSwitchIsProcessedAgain) {
  options.offset = true;
  Load("plate.tap", kPlate);
  ASSERT_EQ(session.processed().size(), 2u);
  EXPECT_EQ(BoxOfProcessed(1).maxX - BoxOfProcessed(1).minX, 10100);
  options.outside = false;
  session.Process(options);
  EXPECT_EQ(BoxOfProcessed(1).maxX - BoxOfProcessed(1).minX, 9900) << "inside after outside, same slider";
  options.offset = false;
  session.Process(options);
  EXPECT_EQ(BoxOfProcessed(1).maxX - BoxOfProcessed(1).minX, 10000);
  options.offset = true;
  session.Process(options);
  EXPECT_EQ(BoxOfProcessed(1).maxX - BoxOfProcessed(1).minX, 9900) << "offset again once switched back on";
}

TEST_F(Session, BadGeometryGetsADefinedResultAndALogLine) {
  options.offset = true;
  options.leads.leadIn = true;
  // A figure of eight, a closed contour of no area, and a hole smaller than the tool.
  Load("bad.tap",
       "G0 X0 Y0\nM3\nG1 X20 Y20\nG1 X40 Y0\nG1 X40 Y20\nG1 X20 Y0\nG1 X0 Y20\nG1 X0 Y0\nM5\n"
       "G0 X50 Y0\nM3\nG1 X80 Y0\nG1 X60 Y0\nG1 X50 Y0\nM5\n"
       "G0 X100 Y0\nM3\nG1 X130\nG1 Y30\nG1 X100\nG1 Y0\nM5\nG0 X110 Y10\nM3\nG1 X110.5\nG1 Y10.5\nG1 X110\nG1 "
       "Y10\nM5\n");
  EXPECT_TRUE(Logged("Offset: 1 contours smaller than the tool left out"));
  const auto job = session.JobContours(options);
  ASSERT_TRUE(job);
  EXPECT_GE(job->size(), 3u);

  // A tool as wide as the part, cutting inside: the part vanishes, with a line saying so.
  options.outside = false;
  options.typedToolMm = 40;
  session.Process(options);
  EXPECT_TRUE(Logged("contours smaller than the tool left out"));
  // A tool of 0: the contours are cut as drawn.
  options.typedToolMm = 0.001;
  session.Process(options);
  EXPECT_TRUE(Logged("Tool size 0: contours are cut as drawn"));
}

// A 100 × 50 mm plate with square holes of 0.8, 0.9, 1.2 and 20 mm.
constexpr const char* kSmallHoles =
    "G0 X0 Y0\nM3\nG1 X100\nG1 Y50\nG1 X0\nG1 Y0\nM5\n"
    "G0 X10 Y10\nM3\nG1 X10.8\nG1 Y10.8\nG1 X10\nG1 Y10\nM5\n"
    "G0 X20 Y10\nM3\nG1 X20.9\nG1 Y10.9\nG1 X20\nG1 Y10\nM5\n"
    "G0 X30 Y10\nM3\nG1 X31.2\nG1 Y11.2\nG1 X30\nG1 Y10\nM5\n"
    "G0 X40 Y15\nM3\nG1 X60\nG1 Y35\nG1 X40\nG1 Y15\nM5\n";

// The contours the tool is too large for are listed by their place in the
// cutting list, so that the editor can show them; none of them is cut.
TEST_F(Session, ContoursSmallerThanTheToolAreListedAndNotCut) {
  options.offset = true;
  Load("holes.tap", kSmallHoles);
  ASSERT_EQ(session.cutting.size(), 5u);
  // The cutting-list index of the contour whose width is `mm`.
  auto index = [&](double mm) {
    for (std::size_t i = 0; i < session.cutting.size(); ++i) {
      const PathBox box = BoxOfPath(session.cutting[i]);
      if (std::llround((box.maxX - box.minX) / 10.0) == std::llround(mm * 10)) return i;
    }
    ADD_FAILURE() << "no contour " << mm << " mm wide";
    return std::size_t{99};
  };
  auto listOf = [](std::vector<std::size_t> list) {
    std::sort(list.begin(), list.end());
    return list;
  };
  struct Case {
    const char* what;
    int slider;       // tool in 0.1 mm
    double typedMm;   // 0: the slider
    bool outside, offset, builtIn;
    std::vector<double> notCut;  // widths in mm
    std::string notice;
  };
  const std::vector<Case> cases{
      {"1 mm tool", 10, 0, true, true, true, {0.8, 0.9}, "2 holes smaller than the tool are not cut"},
      {"0.85 mm tool", 0, 0.85, true, true, true, {0.8}, "1 hole smaller than the tool is not cut"},
      {"1.5 mm tool", 15, 0, true, true, true, {0.8, 0.9, 1.2}, "3 holes smaller than the tool are not cut"},
      {"0.5 mm tool", 5, 0, true, true, true, {}, ""},
      {"offset off", 15, 0, true, false, true, {}, ""},
      {"no processing", 15, 0, true, true, false, {}, ""},
      {"inside, tool wider than the plate", 0, 60, false, true, true, {100},
       "1 contour smaller than the tool is not cut"},
  };
  for (const Case& c : cases) {
    options.toolSlider = c.slider;
    options.typedToolMm = c.typedMm;
    options.outside = c.outside;
    options.offset = c.offset;
    options.builtIn = c.builtIn;
    session.Process(options);
    std::vector<std::size_t> expected;
    for (const double mm : c.notCut) expected.push_back(index(mm));
    EXPECT_EQ(session.tooSmall(), listOf(expected)) << c.what;
    EXPECT_EQ(NotCutNotice(session), c.notice) << c.what;
    if (c.builtIn) {
      EXPECT_EQ(session.processed().size(), session.cutting.size() - c.notCut.size()) << c.what;
    }
  }
}

// Sending asks first when contours are left uncut, naming their count; a no
// keeps the old job.
TEST_F(Session, SendingTellsHowManyHolesAreNotCut) {
  testing::SystemFixture f;
  System& s = *f.system;
  const tCNCPath kept = {{{kKindCut, 0}, {0, 0}, {100, 0}}};
  s.job.Job = kept;
  options.offset = true;
  Load("holes.tap", kSmallHoles);
  ASSERT_EQ(session.tooSmall().size(), 2u);
  EXPECT_FALSE(SendImportToJob(s, session, options));
  ASSERT_EQ(f.host.questions.size(), 1u);
  EXPECT_EQ(f.host.questions[0], "2 holes smaller than the tool are not cut\nSend to job?");
  EXPECT_EQ(s.job.Job, kept);
  f.host.answers.push_back(Answer::Yes);
  ASSERT_TRUE(SendImportToJob(s, session, options));
  EXPECT_EQ(s.job.Job.size(), 3u);
  EXPECT_TRUE(std::any_of(f.host.logPane.begin(), f.host.logPane.end(), [](const std::string& line) {
    return line.find("Job from import: 3 contours; 2 holes smaller than the tool are not cut") != std::string::npos;
  }));
  // A tool that cuts every hole sends without a question.
  options.toolSlider = 5;
  session.Process(options);
  ASSERT_TRUE(SendImportToJob(s, session, options));
  EXPECT_EQ(f.host.questions.size(), 2u);
  EXPECT_EQ(s.job.Job.size(), 5u);
}

TEST_F(Session, SendingThinsVerticesCloserThanFourUnits) {
  Load("dense.tap", "G0 X0 Y0\nM3\nG1 X0.02\nG1 X0.04\nG1 X10\nG1 X10.02\nM5\n", true);
  const auto job = session.JobContours(options);
  ASSERT_TRUE(job);
  ASSERT_EQ(job->size(), 1u);
  EXPECT_EQ((*job)[0], (CNCpath{{kKindCut, 0}, {0, 0}, {1000, 0}, {1002, 0}}));
}

TEST(SendToJob, AnEmptyEditorNeverThrowsTheJobAway) {
  testing::SystemFixture f;
  System& s = *f.system;
  const tCNCPath kept = {{{kKindCut, 0}, {0, 0}, {100, 0}}};
  s.job.Job = kept;
  ImportSession empty(s.log);
  EXPECT_FALSE(SendImportToJob(s, empty, ImportProcessOptions{}));
  EXPECT_EQ(s.job.Job, kept);
  ASSERT_EQ(f.host.errors.size(), 1u);
  EXPECT_EQ(f.host.errors[0], "Nothing to send: the job is kept");
}

// On a rectangular tube the unrolled drawing is centred on the top face,
// whose middle is the start of the tube's unrolled perimeter.
TEST_F(Session, OnAProfileTheSentDrawingIsCentredOnTheTopFace) {
  testing::SystemFixture f;
  System& s = *f.system;
  s.rotary.active = true;
  s.rotary.tube = {.pipe = false, .diameter = 7211, .width = 6000, .height = 4000, .radius = 300};
  Load("square.tap", "G0 X50 Y20\nM3\nG1 X110\nG1 Y60\nG1 X50\nG1 Y20\nM5\n");
  ASSERT_TRUE(SendImportToJob(s, session, options));
  ASSERT_EQ(s.job.Job.size(), 1u);
  const ContourBox box = ComputeContourBoxes(s.job.Job)[0];
  EXPECT_EQ(box.minX, -3000);
  EXPECT_EQ(box.maxX, 3000);
  EXPECT_EQ(box.minY, 0);
  EXPECT_EQ(s.job.ProjectOriginX, 0);
  // A pipe, like a flat sheet, starts the drawing at 0.
  s.rotary.tube.pipe = true;
  ASSERT_TRUE(SendImportToJob(s, session, options));
  EXPECT_EQ(ComputeContourBoxes(s.job.Job)[0].minX, 0);
}

TEST(Reprocess, BigDrawingsWaitForTheOneShot) {
  struct Case {
    ImportChange change;
    std::size_t contours, vertices;
    bool now;
  };
  for (const Case c : {Case{ImportChange::Sort, 200, 50000, true}, Case{ImportChange::Sort, 201, 19999, true},
                       Case{ImportChange::Offset, 201, 20000, false}, Case{ImportChange::Lead, 20, 9000, true},
                       Case{ImportChange::Lead, 21, 2000, false}, Case{ImportChange::Lead, 21, 1999, true}})
    EXPECT_EQ(ReprocessAtOnce(c.change, c.contours, c.vertices), c.now)
        << static_cast<int>(c.change) << " " << c.contours << " " << c.vertices;
}

// Every drawing of the corpus goes through the whole pipeline without a crash.
TEST_F(Session, EveryCorpusDrawingProcesses) {
  options.offset = true;
  options.typedToolMm = 1.5;
  options.leads.leadIn = options.leads.leadOut = true;
  std::size_t drawings = 0, refused = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(CORVANE_CORPUS_DIR)) {
    const std::string file = entry.path().string();
    if (!entry.is_regular_file() || DrawingFormatFor(file) == DrawingFormat::Unknown) continue;
    if (file.find("big_grid") != std::string::npos) continue;  // measured by the benchmark
    if (!session.Preview(file, ImportOptions{}, parser)) continue;
    session.LoadIntoEditor(session.DefaultPlasmaLayers(), {}, false, options);
    host.logPane.clear();
    const auto job = session.JobContours(options);
    ++drawings;
    if (!job) {
      // Drawings several km wide are refused, with their reason.
      EXPECT_TRUE(Logged("Drawing larger than 99999.99 mm")) << file;
      ++refused;
      continue;
    }
    for (const CNCpath& contour : *job) ASSERT_GE(contour.size(), 2u) << file;
  }
  EXPECT_GT(drawings, 50u);
  EXPECT_LT(refused, 12u);
}

// Overlapping lines: contours that cross each other inside a plate, so the
// nesting names one container where there are several. Whatever the
// grouping makes of them, a contour lying strictly inside another (every
// vertex inside, no touching) is cut before it.
TEST_F(Session, EveryContourInsideAnotherIsCutBeforeIt) {
  const auto rectangle = [](cInt x, cInt y, cInt w, cInt h) {
    return TPath{{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}, {x, y}};
  };
  const auto strictlyInside = [](const TPath& inner, const TPath& outer) {
    return std::all_of(inner.begin(), inner.end(),
                       [&](const IntPoint& p) { return ClipperLib::PointInPolygon(p, outer) == 1; });
  };
  std::mt19937 rng(5);
  std::uniform_int_distribution<cInt> coord(500, 6000), size(200, 3500);
  std::size_t pairs = 0;
  for (int round = 0; round < 30; ++round) {
    session.cutting = {rectangle(0, 0, 10000, 10000)};
    for (int i = 0; i < 8; ++i) session.cutting.push_back(rectangle(coord(rng), coord(rng), size(rng), size(rng)));
    session.Normalise();
    session.Process(options);
    const TPaths& cut = session.processed();
    for (std::size_t i = 0; i < cut.size(); ++i)
      for (std::size_t j = 0; j < i; ++j)
        if (strictlyInside(cut[i], cut[j])) ADD_FAILURE() << "round " << round << ": " << i << " inside " << j;
    for (std::size_t i = 0; i < cut.size(); ++i)
      for (std::size_t j = i + 1; j < cut.size(); ++j) pairs += strictlyInside(cut[i], cut[j]) ? 1 : 0;
  }
  EXPECT_GT(pairs, 60u);
}

// A drawing several km wide: the offset works within ±99 999.99 mm, and a hole
// there must never be cut a kerf too large, neither offset the wrong way nor
// cut as drawn. It is refused with a log line; a drawing just inside the range
// is processed with its hole shrunk.
TEST_F(Session, ADrawingBeyondTheOffsetRangeIsRefusedNeverCutOversize) {
  options.offset = true;
  options.typedToolMm = 2;
  for (const cInt width : {cInt{9'990'000}, cInt{341'185'493}}) {
    host.logPane.clear();
    const cInt x = width - 5000;
    session.cutting = {{{0, 0}, {width, 0}, {width, 10000}, {0, 10000}, {0, 0}},
                       {{x, 2000}, {x + 2000, 2000}, {x + 2000, 4000}, {x, 4000}, {x, 2000}}};
    session.Normalise();
    session.Process(options);
    const bool refused = width > 9'999'999;
    EXPECT_EQ(Logged("Drawing larger than 99999.99 mm: not processed, nothing is cut"), refused) << width;
    EXPECT_EQ(session.JobContours(options).has_value(), !refused) << width;
    if (refused) {
      EXPECT_TRUE(session.processed().empty());
      continue;
    }
    ASSERT_EQ(session.processed().size(), 2u);
    const PathBox hole = BoxOfProcessed(0);
    EXPECT_EQ(hole.maxX - hole.minX, 2000 - 200) << "the hole shrinks by the kerf";
  }
}

}  // namespace
}  // namespace corvane
