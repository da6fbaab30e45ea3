// What the main window's pictures cost, painted by Qt into a QImage on the
// off-screen platform:
//  - the job's display list with one million vertices (1000 contours of 1000
//    vertices over a 1600 x 1000 view), as the path view paints it after
//    every job change;
//  - one status refresh tick against the in-process board: status A and
//    status B, then the overlay texts and the side view rebuilt and painted
//    over a copy of the last job picture, as the 20 ms refresh does.
// Prints milliseconds (median and worst of the runs) and microseconds per tick.
#if __has_include(<QtGui/QImage>)
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "BenchSystem.h"
#include "link/DeviceChoice.h"
#include "machine/StatusPanel.h"
#include "model/JobNormalise.h"
#include "model/JobRedraw.h"
#include "system/FieldSettings.h"
#include "system/System.h"
#include "ui/DisplayPainter.h"
#include "virtual/ControllerFields.h"
#include "virtual/ControllerSetup.h"

namespace corvane {
namespace {

using Wall = std::chrono::steady_clock;
constexpr int kContours = 1000, kVertices = 1000;
constexpr int kWidth = 1600, kHeight = 1000;

double Millis(Wall::time_point from) {
  return std::chrono::duration<double, std::milli>(Wall::now() - from).count();
}

// Rings of many small steps spread over a 2.5 × 1.2 m sheet.
tCNCPath BigJob() {
  tCNCPath job;
  for (int c = 0; c < kContours; ++c) {
    CNCpath contour{{kKindCut, 0}};
    const double cx = 5000 + (c % 40) * 6000, cy = 5000 + (c / 40) * 4500, r = 2000;
    for (int v = 0; v < kVertices; ++v) {
      const double a = 2 * M_PI * v / (kVertices - 1);
      contour.push_back({int(cx + r * std::cos(a)), int(cy + r * std::sin(a))});
    }
    job.push_back(std::move(contour));
  }
  return job;
}

void Report(const char* what, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  std::printf("%-44s median %8.2f ms  worst %8.2f ms  (%zu runs)\n", what, ms[ms.size() / 2],
              ms.back(), ms.size());
}

}  // namespace
}  // namespace corvane

int main(int argc, char** argv) {
  using namespace corvane;
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);
  char folder[] = "/tmp/corvane-paint-bench-XXXXXX";
  if (!::mkdtemp(folder)) return 1;
  FakeClock clock;
  SilentHost host;
  Paths paths;
  paths.dataRoot = std::string(folder) + "/data/";
  System system(clock, host, paths);
  UseBenchAxes(system);

  system.job.Job = BigJob();
  NormaliseJob(system.job);
  system.prep.View = FitView(system.job.JobExtentX, system.job.JobExtentY, kWidth, kHeight, 10);
  const PlanContext context{ReadPlannerSettings(system, false), system.scales, system.speeds};
  const auto list = RedrawJob(system.job, system.prep, ReadRedrawSettings(system), context);
  if (!list) return 1;
  std::size_t vertices = 0;
  for (const auto& item : list->items)
    if (const auto* line = std::get_if<DisplayPolyline>(&item)) vertices += line->points.size();
  std::printf("job display list: %zu items, %zu vertices drawn\n", list->items.size(), vertices);

  QImage picture(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  std::vector<double> paint;
  for (int run = 0; run < 15; ++run) {
    const auto t0 = Wall::now();
    QPainter p(&picture);
    ui::PaintDisplayListOn(p, picture.rect(), *list);
    p.end();
    paint.push_back(Millis(t0));
  }
  Report("paint 1 M-vertex job's display list", paint);

  // The worst case: every one of the million vertices lands on a pixel of its own.
  DisplayList raw;
  for (int c = 0; c < kContours; ++c) {
    DisplayPolyline line{{}, colours::kBlack, 1, false};
    line.points.reserve(kVertices);
    for (int v = 0; v < kVertices; ++v)
      line.points.push_back({(c * 37 + v) % kWidth, (c * 13 + v / 50) % kHeight});
    raw.items.emplace_back(std::move(line));
  }
  paint.clear();
  for (int run = 0; run < 15; ++run) {
    const auto t0 = Wall::now();
    QPainter p(&picture);
    ui::PaintDisplayListOn(p, picture.rect(), raw);
    p.end();
    paint.push_back(Millis(t0));
  }
  Report("paint 1 M vertices, none merged", paint);

  // The refresh tick: the board on fake time, 20 ms apart, the wall clock measures.
  Controller controller(system, MakeUsbDevice(ParseDeviceChoice("virtual"), clock));
  BindControllerFields(system, controller);
  controller.connection.Connect();
  if (!controller.link.state.LinkConnected) return 1;
  QImage view(1000, 700, QImage::Format_ARGB32_Premultiplied);
  view.fill(Qt::white);
  QImage side(300, 110, QImage::Format_ARGB32_Premultiplied);
  std::vector<double> ticks;
  for (int batch = 0; batch < 20; ++batch) {
    constexpr int kTicks = 100;
    const auto t0 = Wall::now();
    for (int i = 0; i < kTicks; ++i) {
      clock.advance(20000);
      controller.commands.ReadStatusA();
      controller.commands.ReadStatusB();
      StatusPanelState s;
      s.connected = controller.link.state.LinkConnected;
      s.statusWord = controller.link.state.StatusWord;
      s.statusCode = controller.link.state.StatusCode;
      s.arcVoltage = controller.commands.status.ArcVoltage;
      s.pointer = Point2{1000 + i, 2000};
      s.torch = system.job.MachinePosition;
      s.width = view.width();
      QImage shown = view.copy();
      QPainter over(&shown);
      ui::PaintDisplayList(over, StatusOverlay(s));
      over.end();
      QPainter sideView(&side);
      ui::PaintDisplayListOn(sideView, side.rect(), SideViewPicture(s, side.width(), side.height()));
    }
    ticks.push_back(Millis(t0) * 1000 / kTicks);
  }
  std::sort(ticks.begin(), ticks.end());
  std::printf("%-44s median %8.1f us  worst %8.1f us  (batches of 100)\n",
              "status tick: A + B + overlay + side view", ticks[ticks.size() / 2], ticks.back());
  return 0;
}
#else
#include <cstdio>
int main() {
  std::puts("MainWindowPaint: built without Qt, nothing measured");
  return 0;
}
#endif
