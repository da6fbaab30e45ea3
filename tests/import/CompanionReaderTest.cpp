#include <gtest/gtest.h>

#include "ReaderHarness.h"
#include "import/CompanionReader.h"

namespace corvane::testing {
namespace {

using ClipperLib::IntPoint;

struct Companion : ::testing::Test, ReaderHarness {
  TPaths Read(const std::string& elements, bool expectPaths = true) {
    const std::string xml = "<drawing><entities>" + elements + "</entities></drawing>";
    TPaths paths;
    std::string error;
    EXPECT_EQ(ReadCompanionDrawing(xml, ImportOptions{}, parser, log, paths, error), expectPaths)
        << error;
    return paths;
  }
};

const std::string kTriangle =
    R"(<vertex name="1" x="0" y="0" layer="3"/><vertex name="2" x="100" y="0"/>)"
    R"(<vertex name="3" x="0" y="50"/>)";

TEST_F(Companion, LineEdgesSharingVerticesFormOneClosedPath) {
  const auto paths = Read(kTriangle + R"(<edge type="line" v1="1" v2="2"/><edge type="line" v1="2" v2="3"/>)"
                                      R"(<edge type="line" v1="3" v2="1"/>)");
  EXPECT_EQ(paths, (TPaths{{{0, 3}, {0, 0}, {1000, 0}, {0, 500}, {0, 0}}}));
}

TEST_F(Companion, MaterialLayerReadsAsMinusOne) {
  const auto paths = Read(R"(<vertex name="1" x="0" y="0" layer="Mat"/><vertex name="2" x="10" y="0"/>)"
                          R"(<edge type="arc" linear="true" v1="1" v2="2"/>)");
  EXPECT_EQ(paths, (TPaths{{{0, kLayerMaterialRead}, {0, 0}, {100, 0}}}));
}

TEST_F(Companion, CircleEdgeRunsRoundItsCentreFromThePointOnIt) {
  const auto paths = Read(R"(<vertex name="1" x="0" y="0"/><vertex name="2" x="100" y="0" layer="2"/>)"
                          R"(<edge type="circle" v1="1" v2="2"/>)");
  ASSERT_EQ(paths.size(), 1u);
  EXPECT_EQ(paths[0][0].Y, 2);
  EXPECT_EQ(paths[0][1], IntPoint(1000, 0));
  EXPECT_TRUE(IsClosed(paths[0]));
  EXPECT_EQ(paths[0].size(), 1u + 1u + 200u);  // radius 10 mm: 100 steps a half turn
  for (std::size_t i = 1; i < paths[0].size(); ++i) EXPECT_NEAR(DistanceTo(paths[0][i], 0, 0), 1000, 0.75);
}

TEST_F(Companion, ArcEdgeRunsCounterClockwiseAroundItsCentrePoint) {
  const auto paths = Read(R"(<vertex name="1" x="100" y="0"/><vertex name="2" x="0" y="100"/>)"
                          R"x(<edge type="arc" v1="1" v2="2" center_point="(0, 0)"/>)x"
                          R"(<edge type="line" v1="2" v2="1"/>)");
  ASSERT_EQ(paths.size(), 1u);  // the line continues the arc's path
  for (std::size_t i = 1; i + 1 < paths[0].size(); ++i) {
    EXPECT_NEAR(DistanceTo(paths[0][i], 0, 0), 1000, 0.75);
    EXPECT_GE(paths[0][i].X, 0);
    EXPECT_GE(paths[0][i].Y, 0);
  }
  EXPECT_EQ(paths[0].back(), IntPoint(1000, 0));
}

TEST_F(Companion, UndefinedVertexInsideTheTableIsTheOrigin) {
  const auto paths = Read(R"(<vertex name="5" x="10" y="10"/><edge type="line" v1="2" v2="5"/>)");
  EXPECT_EQ(paths, (TPaths{{{0, 0}, {0, 0}, {100, 100}}}));
}

TEST_F(Companion, VertexNumbersBeyondTheTableAreSkippedWithoutAllocating) {
  const auto paths = Read(kTriangle + R"(<vertex name="2147483647" x="1" y="1"/>)"
                                      R"(<vertex name="-4" x="1" y="1"/>)"
                                      R"(<edge type="line" v1="1" v2="99999999999"/>)"
                                      R"(<edge type="line" v1="-7" v2="1"/>)"
                                      R"(<edge type="line" v1="1" v2="2"/>)");
  EXPECT_EQ(paths, (TPaths{{{0, 3}, {0, 0}, {1000, 0}}}));
  EXPECT_TRUE(Logged("2D: vertex number out of range, skipped: -4"));
  EXPECT_TRUE(Logged("2D: vertex number out of range, skipped: 2147483647"));
  EXPECT_TRUE(Logged("2D: edge names vertex -7 beyond the vertex table, skipped"));
}

TEST_F(Companion, MalformedXmlFails) {
  TPaths paths{{{0, 1}, {5, 5}}};
  std::string error;
  EXPECT_FALSE(ReadCompanionDrawing("<drawing><vertex", ImportOptions{}, parser, log, paths, error));
  EXPECT_NE(error.find("not well-formed"), std::string::npos);
}

TEST_F(Companion, OtherEdgeTypesAndElementsArePassedOver) {
  Read(kTriangle + R"(<edge type="spline" v1="1" v2="2"/><text value="x"/>)", false);
}

}  // namespace
}  // namespace corvane::testing
