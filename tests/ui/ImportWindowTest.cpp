#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "import/CliRun.h"
#include "import/ThreeDExport.h"
#include "model/RotaryAxis.h"
#include "model/JobNormalise.h"
#include "store/JobFile.h"
#include "import/EditorLists.h"
#include "support/SystemFixture.h"
#include "ui/ImportView.h"
#include "ui/ImportWindow.h"
#include "ui/QtApp.h"

namespace corvane {
namespace {

using testing::RunCli;

struct ImportWindowFixture {
  ImportWindowFixture() {
    window.Open();
    window.resize(1280, 800);
    QApplication::processEvents();
  }
  template <class W>
  W* child(const char* name) {
    return window.findChild<W*>(name);
  }
  QApplication& app = testing::QtApp();
  testing::SystemFixture f;
  System& s = *f.system;
  ui::ImportWindow window{s};
};

TEST(ImportWindow, OpensOnTheSampleDrawingAndSendsTheJobTheCommandLineMakes) {
  ImportWindowFixture w;
  ASSERT_TRUE(w.s.PrepareStart());
  EXPECT_EQ(w.window.windowTitle(), "import");
  ASSERT_EQ(w.child<QListWidget>("FileList")->currentItem()->text(), "CorvaneCNC.plt");

  const std::string drawing = std::string(CORVANE_CORPUS_DIR) + "/dxf/cinvaram__bolt_plate_1.dxf";
  ASSERT_TRUE(w.window.PreviewFile(QString::fromStdString(drawing)));
  EXPECT_GT(w.child<QListWidget>("PlasmaLayers")->count(), 0);
  QTest::mouseClick(w.child<QPushButton>("LoadButton"), Qt::LeftButton);
  ASSERT_FALSE(w.window.session().cutting.empty());
  w.child<QCheckBox>("cOffsetActive")->setChecked(true);
  w.child<QCheckBox>("cLeadIn")->setChecked(true);
  w.child<QCheckBox>("cLeadOut")->setChecked(true);
  w.child<QSlider>("TrackBar3")->setValue(5);
  w.child<QSlider>("TrackBar1")->setValue(15);

  ASSERT_TRUE(w.child<QPushButton>("SendButton")->isEnabled());
  QTest::mouseClick(w.child<QPushButton>("SendButton"), Qt::LeftButton);
  EXPECT_FALSE(w.window.isVisible()) << "sending closes the window";
  EXPECT_TRUE(w.s.store.JobSentFromImport);

  // The same drawing and options through corvane-cli give the same job.
  testing::TempDir dir;
  const testing::CliRun run = RunCli("process", {drawing, "--set", "cOffsetActive=1", "--set", "eOffset=15",
                                                 "--lead", "5", "--lead-out", "--quiet", "-o", dir.file("job.cnc")});
  ASSERT_EQ(run.code, 0) << run.err;
  const JobFileContent cli = DecodeJobFile(testing::ReadFileText(dir.file("job.cnc")), false, w.s.log);
  EXPECT_EQ(w.s.job.Job, cli.job);
  // And the job is in temp.cnc, as the next start will read it.
  const JobFileContent saved =
      DecodeJobFile(testing::ReadFileText(w.s.paths.storeFolder() + "temp.cnc"), false, w.s.log);
  EXPECT_EQ(saved.job, w.s.job.Job);
}

TEST(ImportWindow, KeysEditTheDrawingAndUndoBringsItBack) {
  ImportWindowFixture w;
  QTest::mouseClick(w.child<QPushButton>("LoadButton"), Qt::LeftButton);
  const std::size_t contours = w.window.session().cutting.size();
  ASSERT_GT(contours, 2u);
  QTest::keyClick(&w.window.view(), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(&w.window.view(), Qt::Key_D, Qt::ControlModifier);
  EXPECT_EQ(w.window.session().cutting.size(), 2 * contours) << "Ctrl+D duplicates";
  QTest::keyClick(&w.window.view(), Qt::Key_Delete);
  EXPECT_EQ(w.window.session().cutting.size(), contours) << "Delete removes the chosen copies";
  QTest::keyClick(&w.window.view(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(w.window.session().cutting.size(), 2 * contours);

  // 257 edits in a row leave 256 undo steps.
  for (int i = 0; i < 257; ++i) QTest::mouseClick(w.child<QPushButton>("MirrorX"), Qt::LeftButton);
  EXPECT_EQ(w.window.undo().size(), UndoRing::kMaxSteps);
}

TEST(ImportWindow, BoxDragChoosesAndASmallDragIsAClick) {
  ImportWindowFixture w;
  QTest::mouseClick(w.child<QPushButton>("LoadButton"), Qt::LeftButton);
  ui::ImportView& view = w.window.view();
  ImportSession& session = w.window.session();
  ChooseNone(session);
  // A box round the whole view chooses every contour.
  QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(2, 2));
  QTest::mouseMove(&view, QPoint(view.width() - 2, view.height() - 2));
  QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(view.width() - 2, view.height() - 2));
  EXPECT_TRUE(std::all_of(session.chosen.begin(), session.chosen.end(), [](char c) { return c != 0; }));
  // A drag of 9 pixels in empty space is a click: nothing near, nothing chosen.
  QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(3, 3));
  QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(8, 7));
  EXPECT_TRUE(NothingChosen(session));
  // A click on a contour's outline chooses it.
  const QPointF on = view.ToPixel(session.cutting[0][0]);
  QTest::mouseClick(&view, Qt::LeftButton, {}, on.toPoint());
  EXPECT_EQ(session.chosen[0], 1);
}

// Everything the operator works with lies inside the window at 1010 × 700
// (a 1024 × 768 screen less the frame and a panel); what the option column
// cannot show at once it scrolls to, and "Send to job" never scrolls away.
TEST(ImportWindow, EverythingIsReachableOnA1024By768Screen) {
  ImportWindowFixture w;
  const QSize least = w.window.minimumSizeHint().expandedTo(w.window.minimumSize());
  EXPECT_LE(least.width(), 1000);
  EXPECT_LE(least.height(), 680);
  w.window.resize(1010, 700);
  QApplication::processEvents();
  ASSERT_EQ(w.window.size(), QSize(1010, 700));
  const QRect client = w.window.rect();
  auto* scroll = w.child<QScrollArea>("OptionScroll");
  ASSERT_NE(scroll, nullptr);
  auto placed = [&](QWidget* widget, QWidget* in) {
    return QRect(widget->mapTo(in, QPoint(0, 0)), widget->size());
  };
  auto* send = w.child<QPushButton>("SendButton");
  EXPECT_TRUE(send->isVisible());
  EXPECT_FALSE(scroll->isAncestorOf(send)) << "Send to job stays in sight";
  EXPECT_TRUE(client.contains(placed(send, &w.window))) << "Send to job";
  EXPECT_TRUE(client.contains(placed(scroll, &w.window))) << "the option column";
  std::size_t checked = 0;
  for (QWidget* widget : w.window.findChildren<QWidget*>()) {
    if (!widget->isVisibleTo(&w.window) || widget->objectName().isEmpty()) continue;
    if (!qobject_cast<QAbstractButton*>(widget) && !qobject_cast<QSlider*>(widget) &&
        !qobject_cast<QListWidget*>(widget) && !qobject_cast<QLineEdit*>(widget) &&
        !qobject_cast<QLabel*>(widget))
      continue;
    const QString name = widget->objectName();
    if (name.startsWith("qt_")) continue;
    ++checked;
    if (scroll->isAncestorOf(widget)) {
      scroll->ensureWidgetVisible(widget, 0, 0);
      QApplication::processEvents();
      EXPECT_TRUE(scroll->viewport()->rect().contains(placed(widget, scroll->viewport())))
          << name.toStdString() << " scrolls into sight";
    } else {
      EXPECT_TRUE(client.contains(placed(widget, &w.window))) << name.toStdString();
    }
  }
  EXPECT_GT(checked, 30u);
}

// Holes smaller than the tool stay in the editor in their own colour, a legend
// says what the colour means, and "Send to job" names their count first.
TEST(ImportWindow, HolesTooSmallForTheToolAreMarkedAndNamedBeforeSending) {
  ImportWindowFixture w;
  testing::TempDir dir;
  // A 100 × 50 mm plate with two holes of 0.8 mm and one of 20 mm.
  testing::WriteFileText(dir.file("holes.tap"),
                         "G0 X0 Y0\nM3\nG1 X100\nG1 Y50\nG1 X0\nG1 Y0\nM5\n"
                         "G0 X10 Y10\nM3\nG1 X10.8\nG1 Y10.8\nG1 X10\nG1 Y10\nM5\n"
                         "G0 X20 Y10\nM3\nG1 X20.8\nG1 Y10.8\nG1 X20\nG1 Y10\nM5\n"
                         "G0 X40 Y15\nM3\nG1 X60\nG1 Y35\nG1 X40\nG1 Y15\nM5\n");
  ASSERT_TRUE(w.window.PreviewFile(QString::fromStdString(dir.file("holes.tap"))));
  w.child<QCheckBox>("cOffsetActive")->setChecked(true);
  w.child<QSlider>("TrackBar1")->setValue(5);
  QTest::mouseClick(w.child<QPushButton>("LoadButton"), Qt::LeftButton);
  auto* legend = w.child<QLabel>("TooSmallLegend");
  ASSERT_NE(legend, nullptr);
  EXPECT_FALSE(legend->isVisible()) << "a 0.5 mm tool cuts every hole";

  w.child<QSlider>("TrackBar1")->setValue(10);
  QApplication::processEvents();
  ASSERT_EQ(w.window.session().tooSmall().size(), 2u);
  EXPECT_TRUE(legend->isVisible());
  EXPECT_TRUE(legend->text().contains("Too small for the tool: not cut")) << legend->text().toStdString();
  // The small holes are drawn in the legend's colour, nothing else is.
  const QImage picture = w.window.view().grab().toImage();
  auto colourNear = [&](const ClipperLib::IntPoint& at) {
    const QPoint centre = w.window.view().ToPixel(at).toPoint();
    for (int dx = -12; dx <= 12; ++dx)
      for (int dy = -12; dy <= 12; ++dy) {
        const QPoint p = centre + QPoint(dx, dy);
        if (picture.rect().contains(p) && picture.pixelColor(p) == ui::TooSmallColour()) return true;
      }
    return false;
  };
  const ImportSession& session = w.window.session();
  for (const std::size_t i : session.tooSmall()) EXPECT_TRUE(colourNear(session.cutting[i][0])) << i;
  const PathBox big = BoxOfPath(session.cutting[0]);
  EXPECT_FALSE(colourNear({(big.minX + big.maxX) / 2, big.minY})) << "the plate's edge";

  // Sending asks first, naming the count; a no keeps the window and the job.
  const tCNCPath kept = w.s.job.Job;
  QTest::mouseClick(w.child<QPushButton>("SendButton"), Qt::LeftButton);
  ASSERT_EQ(w.f.host.questions.size(), 1u);
  EXPECT_EQ(w.f.host.questions[0], "2 holes smaller than the tool are not cut\nSend to job?");
  EXPECT_TRUE(w.window.isVisible());
  EXPECT_EQ(w.s.job.Job, kept);
  w.f.host.answers.push_back(Answer::Yes);
  QTest::mouseClick(w.child<QPushButton>("SendButton"), Qt::LeftButton);
  EXPECT_FALSE(w.window.isVisible());
  EXPECT_EQ(w.s.job.Job.size(), 2u);
}

TEST(ImportWindow, TheThreeDFileOpensWithTheTubeOnTheRotaryAxis) {
  ImportWindowFixture w;
  QTest::mouseClick(w.child<QPushButton>("LoadButton"), Qt::LeftButton);
  ASSERT_FALSE(w.window.session().cutting.empty());
  const auto header = [&] {
    EXPECT_TRUE(w.window.WriteThreeDData());
    const std::string text = testing::ReadFileText(ThreeDDataPath(w.s.paths));
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (int i = 0; i < 3; ++i) {
      const std::size_t end = text.find("\r\n", from);
      lines.push_back(text.substr(from, end - from));
      from = end == std::string::npos ? end : end + 2;
    }
    return lines;
  };
  const auto endsWith = [](const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
  };
  // A flat sheet: no tube.
  auto lines = header();
  EXPECT_NE(lines[1], "pipe");
  EXPECT_NE(lines[1], "profile");

  // A pipe of Ø 50 mm: its radius.
  w.s.rotary.active = true;
  w.s.rotary.tube = LimitTube({true, 5000, 500, 500, 50});
  lines = header();
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "pipe");
  EXPECT_TRUE(endsWith(lines[2], " 2500 y")) << lines[2];

  // A profile 60 × 40 R3: W, H and R.
  w.s.rotary.tube = LimitTube({false, 0, 6000, 4000, 300});
  lines = header();
  EXPECT_EQ(lines[1], "profile");
  EXPECT_TRUE(endsWith(lines[2], " 6000 4000 300 y")) << lines[2];
}

TEST(ImportWindow, BigDrawingsProcessAfterTheOneShot) {
  ImportWindowFixture w;
  // 300 open zigzags of 70 vertices: over 200 contours and over 20 000 vertices.
  std::string text;
  for (int i = 0; i < 300; ++i) {
    text += "G0 X" + std::to_string(i * 20) + " Y0\nM3\n";
    for (int k = 1; k < 70; ++k) text += "G1 X" + std::to_string(i * 20 + k % 2) + " Y" + std::to_string(k) + "\n";
    text += "M5\n";
  }
  testing::TempDir dir;
  testing::WriteFileText(dir.file("grid.tap"), text);
  ASSERT_TRUE(w.window.PreviewFile(QString::fromStdString(dir.file("grid.tap"))));
  QTest::mouseClick(w.child<QPushButton>("LoadButton"), Qt::LeftButton);
  ASSERT_EQ(w.window.session().cutting.size(), 300u);
  w.child<QSlider>("TrackBar2")->setValue(3);
  EXPECT_TRUE(w.window.reprocessTimer().isActive()) << "a big drawing waits for the one-shot";
  EXPECT_EQ(w.window.reprocessTimer().interval(), 1500);
}

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

// The drawing program writes its export and the marker; the window's check
// copies the drawing into the file list's folder as "From Lintora.2d" and shows it.
TEST(ImportWindow, TheCompanionsExportIsPickedUpOnce) {
  ImportWindowFixture w;
  testing::TempDir drawings;
  w.window.ShowFolder(QString::fromStdString(drawings.path()));
  const std::string exchange = w.s.paths.dataRoot + "Lintora/";
  std::filesystem::create_directories(exchange);
  testing::WriteFileText(exchange + "export.2d",
                         R"(<drawing><entities><vertex name="1" x="0" y="0"/><vertex name="2" x="100" y="0"/>)"
                         R"(<vertex name="3" x="0" y="50"/><edge type="line" v1="1" v2="2"/>)"
                         R"(<edge type="line" v1="2" v2="3"/><edge type="line" v1="3" v2="1"/></entities></drawing>)");
  testing::WriteFileText(exchange + "export.ready", "");
  w.window.CheckCompanionExport();
  EXPECT_FALSE(std::filesystem::exists(exchange + "export.ready"));
  ASSERT_TRUE(std::filesystem::exists(drawings.file("From Lintora.2d")));
  auto* files = w.child<QListWidget>("FileList");
  ASSERT_TRUE(files->currentItem());
  EXPECT_EQ(files->currentItem()->text(), "From Lintora.2d");
  EXPECT_FALSE(w.window.session().importPaths().empty());
  // Without a new marker nothing more happens.
  std::filesystem::remove(drawings.file("From Lintora.2d"));
  w.window.CheckCompanionExport();
  EXPECT_FALSE(std::filesystem::exists(drawings.file("From Lintora.2d")));
}

}  // namespace
}  // namespace corvane

#include "ui/PathView.h"
#include "ui/WindowFixture.h"

namespace corvane {
namespace {

// A job emptied (by any means) clears the path view instead of leaving the
// old job's picture up.
TEST(PathViewJob, AnEmptyJobClearsThePicture) {
  testing::OpenWindow u;
  ASSERT_TRUE(u.created);
  ui::PathView view(*u.system, nullptr);
  view.resize(400, 300);
  u.system->loading = false;
  ReplaceJob(u.system->job, {{{kKindCut, 0}, {0, 0}, {1000, 0}, {1000, 1000}, {0, 0}}});
  view.invalidate();
  view.grab();
  ASSERT_TRUE(view.displayList());
  ReplaceJob(u.system->job, {});
  view.invalidate();
  view.grab();
  EXPECT_FALSE(view.displayList());
}

// Ctrl+E shows the G-code export button on the main window's toolbar and hides it again.
TEST(MainWindowExport, CtrlEShowsAndHidesTheExportButton) {
  testing::VirtualBoardWindow u;
  ASSERT_TRUE(u.created && u.showAndWait());
  auto* button = u.window.findChild<QPushButton*>("sExport");
  ASSERT_TRUE(button);
  EXPECT_TRUE(button->isHidden());
  QWindow* main = u.window.windowHandle();
  for (const bool shown : {true, false}) {
    testing::Press(main, Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(!button->isHidden(), shown);
  }
}

}  // namespace
}  // namespace corvane

#include <QSlider>

namespace corvane {
namespace {

// The main window's zoom bar and the wheel over the path view move together.
TEST(MainWindowZoom, TheZoomBarAndThePathViewFollowEachOther) {
  testing::OpenWindow u;
  ASSERT_TRUE(u.created && u.showAndWait());
  auto* bar = u.window.findChild<QSlider*>("zoom");
  auto* view = u.window.findChild<ui::PathView*>();
  ASSERT_TRUE(bar && view);
  bar->setValue(14);
  EXPECT_EQ(view->zoom(), 14);
  view->setZoom(6, view->rect().center());
  EXPECT_EQ(bar->value(), 6);
  view->fitJob();
  EXPECT_EQ(bar->value(), ui::PathView::kFitZoom);
}

}  // namespace
}  // namespace corvane
