#include <gtest/gtest.h>

#include "model/ToolOverlay.h"

namespace corvane {
namespace {

TEST(ToolOverlay, SpeedReadoutInMillimetresAndInches) {
  EXPECT_EQ(FormatActualSpeed(1234, false), "~01234 mm/min");
  EXPECT_EQ(FormatActualSpeed(0, false), "~00000 mm/min");
  EXPECT_EQ(FormatActualSpeed(2540, true), "~100.00 in/min");
  EXPECT_EQ(FormatActualSpeed(127, true), "~005.00 in/min");
}

// The cross sits on the torch as seen from the job origin, and the texts
// give the same position the operator's fields use.
TEST(ToolOverlay, TheCrossAndTheTextsFollowTheTorchFromTheJobOrigin) {
  JobState job;
  job.ProjectOriginX = 10000;
  job.ProjectOriginY = 5000;
  job.ProjectOriginZ = 200;
  job.MachinePosition = {12500, 4000, 1200, 0};
  ViewTransform view;
  view.scale = 10;
  view.offsetX = 30;
  view.offsetY = 20;
  view.width = 800;
  view.height = 600;
  const DisplayList list = ToolOverlay(job, view, 2540, false);

  const ScreenPoint centre = view.ToScreen(2500, -1000);
  const auto& across = std::get<DisplayPolyline>(list.items[0]);
  const auto& down = std::get<DisplayPolyline>(list.items[1]);
  EXPECT_EQ(across.points.front().y, centre.y);
  EXPECT_EQ((across.points.front().x + across.points.back().x) / 2, centre.x);
  EXPECT_EQ((down.points.front().y + down.points.back().y) / 2, centre.y);
  std::vector<std::string> texts;
  for (const auto& item : list.items)
    if (const auto* t = std::get_if<DisplayText>(&item)) texts.push_back(t->text);
  EXPECT_EQ(texts, (std::vector<std::string>{"X 0025.00", "Y-0010.00", "Z 0010.00", "~02540 mm/min"}));
}

}  // namespace
}  // namespace corvane
