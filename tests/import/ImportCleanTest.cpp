#include <gtest/gtest.h>

#include <random>

#include "import/EditorLists.h"
#include "import/Nesting.h"
#include "import/PartSequence.h"
#include "import/UndoRing.h"

namespace corvane {
namespace {

using ClipperLib::IntPoint;

TPath Square(ClipperLib::cInt x, ClipperLib::cInt y, ClipperLib::cInt side) {
  return {{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}, {x, y}};
}

struct CleanCase {
  const char* name;
  TPaths input;
  ClipperLib::cInt tolerance;
  bool milling;
  TPaths expected;
  std::size_t deleted;
};

class CleanCases : public ::testing::TestWithParam<CleanCase> {};

TEST_P(CleanCases, GiveTheCleanedContours) {
  for (const PairSearch search : {PairSearch::Pairwise, PairSearch::Indexed}) {
    TPaths list = GetParam().input;
    const CleanResult result = CleanContours(list, 0, GetParam().tolerance, GetParam().milling, search);
    EXPECT_EQ(list, GetParam().expected) << GetParam().name;
    EXPECT_EQ(result.deleted, GetParam().deleted) << GetParam().name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Editor, CleanCases,
    ::testing::Values(
        CleanCase{"lines 0.03 mm apart weld", {{{0, 0}, {1000, 0}}, {{1003, 0}, {2000, 0}}}, 4, false,
                  {{{0, 0}, {1000, 0}, {2000, 0}}}, 0},
        CleanCase{"lines 0.05 mm apart stay apart", {{{0, 0}, {1000, 0}}, {{1005, 0}, {2000, 0}}}, 4, false,
                  {{{0, 0}, {1000, 0}}, {{1005, 0}, {2000, 0}}}, 0},
        CleanCase{"start to start reverses the first", {{{1000, 0}, {0, 0}}, {{1002, 2}, {1000, 1000}}}, 4,
                  false, {{{0, 0}, {1000, 0}, {1000, 1000}}}, 0},
        CleanCase{"end to end reverses the second", {{{0, 0}, {1000, 0}}, {{1000, 1000}, {1000, 1}}}, 4,
                  false, {{{0, 0}, {1000, 0}, {1000, 1000}}}, 0},
        CleanCase{"start to end reverses both", {{{0, 0}, {1000, 0}}, {{-500, 0}, {-1, 0}}}, 4, false,
                  {{{1000, 0}, {0, 0}, {-500, 0}}}, 0},
        CleanCase{"end 0.03 mm from start closes", {{{0, 0}, {1000, 0}, {1000, 1000}, {3, 0}}}, 4, false,
                  {{{0, 0}, {1000, 0}, {1000, 1000}, {3, 0}, {0, 0}}}, 0},
        CleanCase{"two identical squares leave one", {Square(0, 0, 100), Square(0, 0, 100)}, 4, false,
                  {Square(0, 0, 100)}, 1},
        CleanCase{"a point contour goes", {{{5, 5}, {5, 5}}, Square(0, 0, 100)}, 4, false,
                  {Square(0, 0, 100)}, 1},
        CleanCase{"there and back loses the way back", {{{0, 0}, {500, 0}, {0, 0}}}, 4, false,
                  {{{0, 0}, {500, 0}}}, 0},
        CleanCase{"milling keeps the way back", {{{0, 0}, {500, 0}, {0, 0}}}, 4, true,
                  {{{0, 0}, {500, 0}, {0, 0}}}, 0},
        CleanCase{"a closed contour never welds", {Square(0, 0, 100), {{100, 100}, {300, 300}}}, 4, false,
                  {Square(0, 0, 100), {{100, 100}, {300, 300}}}, 0},
        CleanCase{"a chain out of order welds whole", {{{20, 0}, {30, 0}}, {{0, 0}, {10, 0}}, {{10, 0}, {20, 0}}},
                  0, false, {{{30, 0}, {20, 0}, {10, 0}, {0, 0}}}, 0}),
    [](const auto& test) {
      std::string name = test.param.name;
      for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

// Random drawings with what real ones have: pieces of broken outlines whose
// ends nearly meet, duplicates, closed squares inside others, stray lines.
TPaths RandomDrawing(std::mt19937& rng, int count) {
  std::uniform_int_distribution<int> coord(0, 4000), jitter(-6, 6), kind(0, 9), side(20, 600);
  TPaths paths;
  for (int i = 0; i < count; ++i) {
    const int k = kind(rng);
    if (k < 3) {
      const ClipperLib::cInt x = coord(rng), y = coord(rng);
      paths.push_back(Square(x, y, side(rng)));
      if (k == 0) paths.push_back(Square(x + 5, y + 5, 10));
    } else if (k < 8 && !paths.empty()) {
      // A piece starting near the end of an earlier open piece.
      const TPath& before = paths[std::uniform_int_distribution<std::size_t>(0, paths.size() - 1)(rng)];
      const IntPoint from{before.back().X + jitter(rng), before.back().Y + jitter(rng)};
      paths.push_back({from, {coord(rng), coord(rng)}, {coord(rng), coord(rng)}});
      if (k == 7) std::reverse(paths.back().begin(), paths.back().end());
    } else {
      paths.push_back(paths.empty() ? TPath{{0, 0}, {10, 10}} : paths.back());
    }
  }
  std::shuffle(paths.begin(), paths.end(), rng);
  return paths;
}

TEST(PairSearch, TheIndexedSearchGivesThePairwiseResult) {
  std::mt19937 rng(20261210);
  for (int round = 0; round < 60; ++round) {
    const TPaths drawing = RandomDrawing(rng, 10 + round * 3);
    const ClipperLib::cInt tolerance = round % 3 == 0 ? 4 : 8;
    TPaths pairwise = drawing, indexed = drawing;
    const CleanResult a = CleanContours(pairwise, 0, tolerance, false, PairSearch::Pairwise);
    const CleanResult b = CleanContours(indexed, 0, tolerance, false, PairSearch::Indexed);
    ASSERT_EQ(pairwise, indexed) << "round " << round;
    EXPECT_EQ(a.deleted, b.deleted);
    EXPECT_EQ(a.welded, b.welded);

    for (const bool openDetect : {false, true}) {
      const Nesting n1 = NestCuttingList(pairwise, openDetect, PairSearch::Pairwise);
      const Nesting n2 = NestCuttingList(pairwise, openDetect, PairSearch::Indexed);
      const Nesting p1 = NestProcessedList(pairwise, openDetect, PairSearch::Pairwise);
      const Nesting p2 = NestProcessedList(pairwise, openDetect, PairSearch::Indexed);
      for (std::size_t i = 0; i < pairwise.size(); ++i) {
        ASSERT_EQ(n1.records[i].parent, n2.records[i].parent) << round;
        ASSERT_EQ(n1.records[i].depth, n2.records[i].depth) << round;
        ASSERT_EQ(n1.records[i].children, n2.records[i].children) << round;
        ASSERT_EQ(p1.records[i].parent, p2.records[i].parent) << round;
        ASSERT_EQ(p1.records[i].depth, p2.records[i].depth) << round;
      }
      EXPECT_EQ(n1.maxDepth, n2.maxDepth);
    }

    std::vector<IntPoint> entries, exits;
    for (const TPath& path : pairwise) entries.push_back(path.front()), exits.push_back(path.back());
    // Many equal points too, so that ties are decided the same way.
    for (int i = 0; i < 20; ++i) entries.push_back({1000, 1000}), exits.push_back({1000, 1000 + i});
    for (const int slider : {-5, -1, 0, 3, 5}) {
      IntPoint from1{0, 0}, from2{0, 0};
      EXPECT_EQ(NearestFirst(entries, exits, from1, slider, PairSearch::Pairwise),
                NearestFirst(entries, exits, from2, slider, PairSearch::Indexed))
          << "round " << round << " slider " << slider;
    }
  }
}

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

EditorSnapshot SnapshotOf(std::size_t vertices, ClipperLib::cInt tag) {
  EditorSnapshot s;
  s.cutting.push_back(TPath(vertices, IntPoint{tag, 0}));
  s.chosen.assign(1, 0);
  return s;
}

TEST(UndoRing, KeepsTheNewestStepsWithinCountAndMemory) {
  UndoRing byCount(std::size_t{1} << 30);
  for (int i = 0; i < 300; ++i) byCount.Push(SnapshotOf(10, i));
  EXPECT_EQ(byCount.size(), UndoRing::kMaxSteps);
  EXPECT_EQ(byCount.Pop()->cutting[0][0].X, 299);

  // 1 000 vertices are 16 kB: a 100 kB budget keeps six such steps.
  UndoRing byMemory(100'000);
  for (int i = 0; i < 50; ++i) byMemory.Push(SnapshotOf(1000, i));
  EXPECT_LE(byMemory.bytes(), byMemory.budget());
  EXPECT_EQ(byMemory.size(), 6u);
  // A step bigger than the whole budget is still kept alone: the last edit can be undone.
  byMemory.Push(SnapshotOf(100'000, 77));
  EXPECT_EQ(byMemory.size(), 1u);
  const auto last = byMemory.Pop();
  ASSERT_TRUE(last);
  EXPECT_EQ(last->cutting[0][0].X, 77);
  EXPECT_FALSE(byMemory.Pop());
  EXPECT_EQ(byMemory.bytes(), 0u);
}

}  // namespace
}  // namespace corvane
