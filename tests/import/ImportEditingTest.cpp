#include <gtest/gtest.h>

#include <algorithm>
#include <numbers>

#include "ReaderHarness.h"
#include "import/ImportEditing.h"
#include "support/TempDir.h"

namespace corvane {
namespace {

using ClipperLib::IntPoint;
using testing::ReaderHarness;
using testing::TempDir;
using testing::WriteFileText;

// A 100 × 50 mm plate at the origin and a 10 mm square 20 mm to its right.
constexpr const char* kTwoParts =
    "G0 X0 Y0\nM3\nG1 X100\nG1 Y50\nG1 X0\nG1 Y0\nM5\nG0 X120 Y0\nM3\nG1 X130\nG1 Y10\nG1 X120\nG1 Y0\nM5\n";

class Editing : public ::testing::Test, public ReaderHarness {
 protected:
  void Load(const std::string& text) {
    WriteFileText(dir.file("d.tap"), text);
    ASSERT_TRUE(session.Preview(dir.file("d.tap"), ImportOptions{}, parser));
    options.builtIn = false;  // the processed list is the drawing itself
    session.LoadIntoEditor(session.DefaultPlasmaLayers(), {}, true, options);
  }
  PathBox Box(std::size_t i) const { return BoxOfPath(session.cutting[i]); }

  TempDir dir;
  ImportSession session{log};
  ImportProcessOptions options;
};

TEST_F(Editing, RotatingWithNothingChosenTurnsTheWholeDrawingAboutItsCentre) {
  Load(kTwoParts);
  ASSERT_TRUE(NothingChosen(session));
  RotateChosen(session, RotateStep(false, false));
  // The common box 130 × 50 centred at (65, 25) becomes 50 × 130 about the same centre.
  const PathBox plate = Box(0), square = Box(1);
  EXPECT_EQ(std::min(plate.minX, square.minX), 4000);
  EXPECT_EQ(std::max(plate.maxY, square.maxY), 9000);
  EXPECT_EQ(plate.maxX - plate.minX, 5000);
  EXPECT_EQ(plate.maxY - plate.minY, 10000);
  EXPECT_DOUBLE_EQ(RotateStep(true, true), 0.25 * std::numbers::pi / 180) << "Ctrl wins over the button";
  EXPECT_DOUBLE_EQ(RotateStep(true, false), std::numbers::pi / 48);
}

TEST_F(Editing, MirrorScaleAndTheScaleFactorLimits) {
  Load(kTwoParts);
  session.chosen = {0, 1};
  MirrorChosen(session, true);
  EXPECT_EQ(Box(1).minX, 12000) << "one contour mirrors about its own middle";
  ScaleChosen(session, 2.0, 1.0, false);
  EXPECT_EQ(Box(1).maxX - Box(1).minX, 2000);
  EXPECT_EQ(Box(1).maxY - Box(1).minY, 1000);
  EXPECT_EQ(SizeOfChosen(session, false).width, 2000);
  EXPECT_DOUBLE_EQ(ScaleFactorFor(200, 10), 10.0);
  EXPECT_DOUBLE_EQ(ScaleFactorFor(0.1, 10), 0.05);
  EXPECT_DOUBLE_EQ(ScaleFactorFor(25.4, 1), 25.4 > 10 ? 10.0 : 25.4);
  EXPECT_DOUBLE_EQ(ScaleFactorFor(1, 3), 0.33333333);
}

TEST_F(Editing, DisableNeedsAChoiceDeleteRemovesIt) {
  Load(kTwoParts);
  EXPECT_FALSE(DisableChosen(session));
  EXPECT_EQ(session.cutting.size(), 2u);
  session.chosen = {0, 1};
  EXPECT_TRUE(DisableChosen(session));
  EXPECT_EQ(session.cutting.size(), 1u);
  EXPECT_EQ(session.disabled.size(), 1u);
  EXPECT_TRUE(NothingChosen(session));
  ChooseAll(session);
  DeleteChosen(session);
  EXPECT_TRUE(session.cutting.empty());
}

TEST_F(Editing, CopyAndPasteKeepTheGap) {
  Load(kTwoParts);
  EXPECT_EQ(PasteGap("0,00", 10, parser), 300) << "three tool sizes";
  EXPECT_EQ(PasteGap("5", 10, parser), 500);
  session.chosen = {0, 1};
  EditorClipboard clipboard;
  CopyChosen(session, clipboard, PasteGap("0,00", 10, parser));
  ASSERT_EQ(clipboard.paths.size(), 1u);
  EXPECT_EQ(clipboard.extentX, 1000);
  ASSERT_TRUE(Paste(session, clipboard, false));
  ASSERT_EQ(session.cutting.size(), 3u);
  EXPECT_EQ(Box(2).minX, 13000 + 300) << "right of the drawing, one gap away";
  EXPECT_EQ(session.chosen, (std::vector<char>{0, 0, 1}));
  ASSERT_TRUE(Paste(session, clipboard, true));
  EXPECT_EQ(Box(3).minY, 5000 + 300) << "above the drawing";
}

TEST_F(Editing, ManualSequencePlacesEachClickedContourAtTheNextPosition) {
  std::string text;
  for (int i = 0; i < 5; ++i)
    text += "G0 X" + std::to_string(i * 20) + " Y0\nM3\nG1 X" + std::to_string(i * 20 + 10) + "\nG1 Y10\nG1 X" +
            std::to_string(i * 20) + "\nG1 Y0\nM5\n";
  Load(text);
  const std::vector<TPath> before = session.cutting;
  int position = 0;
  const std::vector<std::size_t> clicks = {3, 0, 4, 1, 2};  // contours as they were drawn
  std::vector<SequenceClick> results;
  for (const std::size_t drawn : clicks) {
    const auto now = std::find(session.cutting.begin(), session.cutting.end(), before[drawn]);
    results.push_back(
        PlaceInSequence(session, static_cast<std::size_t>(now - session.cutting.begin()), position));
  }
  for (std::size_t k = 0; k < clicks.size(); ++k) EXPECT_EQ(session.cutting[k], before[clicks[k]]) << k;
  EXPECT_EQ(results.back(), SequenceClick::Finished) << "the fifth click ends the mode";
  EXPECT_EQ(std::count(results.begin(), results.end(), SequenceClick::Placed), 4);
  EXPECT_EQ(PlaceInSequence(session, 0, position), SequenceClick::Ignored);
}

TEST_F(Editing, ARightClickMovesTheStartOfAClosedContour) {
  struct Case {
    bool leadIn;
    IntPoint click;
    std::vector<IntPoint> start;  // the first points of the changed contour
  };
  // The plate's bottom side runs from (0, 0) to (100, 0) once processed (no offset, clockwise: reversed).
  for (const Case& c : {Case{true, {7500, 0}, {{10000, 0}, {5000, 0}, {0, 0}}},
                        Case{false, {7500, 0}, {{10000, 0}, {7500, 0}, {0, 0}}},
                        Case{true, {5100, 30}, {{10000, 0}, {0, 0}, {0, 5000}}}}) {
    Load("G0 X0 Y0\nM3\nG1 X100\nG1 Y50\nG1 X0\nG1 Y0\nM5\n");
    ImportProcessOptions o;
    o.leads.leadIn = c.leadIn;
    o.leads.length = 300;
    session.Process(o);
    ASSERT_TRUE(session.ChangeStart(c.click, 50, o));
    const TPath& p = session.processed()[0];
    ASSERT_GE(p.size(), c.start.size());
    EXPECT_EQ(TPath(p.begin(), p.begin() + static_cast<std::ptrdiff_t>(c.start.size())), c.start)
        << c.leadIn << " " << c.click.X;
    EXPECT_TRUE(IsClosedPath(p));
    if (c.leadIn) {
      EXPECT_EQ(session.leads()[0][kLeadAttach], (IntPoint{(p[0].X + p[1].X) / 2, 0}));
    }
  }
}

TEST_F(Editing, AClickTogglesAContourAndWithShiftItsHolesToo) {
  // A plate with two holes.
  Load("G0 X0 Y0\nM3\nG1 X100\nG1 Y50\nG1 X0\nG1 Y0\nM5\n"
       "G0 X10 Y10\nM3\nG1 X20\nG1 Y20\nG1 X10\nG1 Y10\nM5\nG0 X50 Y10\nM3\nG1 X60\nG1 Y20\nG1 X50\nG1 Y10\nM5\n");
  ChooseNone(session);
  EXPECT_EQ(ToggleAt(session, {5000, 0}, 30, false, false), 1u);
  EXPECT_EQ(session.chosen, (std::vector<char>{1, 0, 0}));
  EXPECT_EQ(ToggleAt(session, {5000, 0}, 30, false, false), 1u);
  EXPECT_EQ(ToggleAt(session, {5000, 0}, 30, true, false), 1u);
  EXPECT_EQ(session.chosen, (std::vector<char>{1, 1, 1})) << "Shift: the holes follow the plate";
  EXPECT_EQ(ToggleAt(session, {3000, 3000}, 30, false, false), 0u) << "nothing near";
}

TEST_F(Editing, AddingADrawingPutsItBesideAndChoosesIt) {
  Load(kTwoParts);
  session.AddIntoEditor(session.DefaultPlasmaLayers(), false, 300, options);
  ASSERT_EQ(session.cutting.size(), 4u);
  EXPECT_EQ(Box(2).minX, 13000 + 300);
  EXPECT_EQ(session.chosen, (std::vector<char>{0, 0, 1, 1}));
}

TEST_F(Editing, ApplyingTheProcessingMakesTheLeadsPartOfTheDrawing) {
  Load("G0 X0 Y0\nM3\nG1 X100\nG1 Y50\nG1 X0\nG1 Y0\nM5\n");
  options.builtIn = true;
  options.leads.leadIn = true;
  session.Process(options);
  const std::size_t withLead = AttachLeads(session.processed(), session.leads())[0].size();
  session.ApplyProcessing(options);
  ASSERT_EQ(session.cutting.size(), 1u);
  EXPECT_EQ(session.cutting[0].size(), withLead);
  EXPECT_EQ(session.Snapshot().cutting, session.cutting);
}

}  // namespace
}  // namespace corvane
