#include <gtest/gtest.h>

#include <QFormLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <optional>

#include "system/System.h"
#include "ui/MainWindow.h"
#include "ui/WindowFixture.h"

namespace corvane {
namespace {

using testing::OpenWindow;

// The main window with its tube set-up panel open.
struct TubePanel : OpenWindow {
  TubePanel() {
    EXPECT_TRUE(created);
    EXPECT_TRUE(showAndWait());
    QTest::mouseClick(window.findChild<QToolButton*>("SpeedButton5"), Qt::LeftButton);
    EXPECT_TRUE(window.tubePanel()->isVisible());
  }
  // Types `text` over a field's text, as the operator does.
  void type(const char* field, const QString& text) {
    auto* edit = window.tubePanel()->findChild<QLineEdit*>(field);
    ASSERT_NE(edit, nullptr) << field;
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
  }
  QString text(const char* field) { return window.tubePanel()->findChild<QLineEdit*>(field)->text(); }
  void click(const char* button) {
    auto* b = window.tubePanel()->findChild<QPushButton*>(button);
    ASSERT_NE(b, nullptr) << button;
    QTest::mouseClick(b, Qt::LeftButton);
  }
  QString length(double mm) const { return QString::fromStdString(system->parser.FormatLength(mm)); }
  QTimer& preview() { return *window.timer("Timer7"); }
  RotaryState& rotary() { return system->rotary; }
};

bool IsRed(QRgb c) { return qRed(c) > 200 && qGreen(c) < 80 && qBlue(c) < 80; }
bool IsDark(QRgb c) { return qRed(c) < 100 && qGreen(c) < 100 && qBlue(c) < 100; }

// The topmost row of the section picture's red dot and of its dark outline.
struct Tops {
  std::optional<int> red, outline;
};
Tops TopsOf(const QImage& image) {
  Tops tops;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = image.pixel(x, y);
      if (IsRed(c) && !tops.red) tops.red = y;
      if (IsDark(c) && !tops.outline) tops.outline = y;
    }
  return tops;
}

// A right click on a placement button turns the angle mode on for a flat
// sheet, and never on a tube, pipe or profile.
TEST(TubePanel, ARightClickOnAPlacementButtonAlignsOnlyAFlatSheet) {
  testing::VirtualBoardWindow w;
  ASSERT_TRUE(w.created);
  ASSERT_TRUE(w.showAndWait());
  auto* button = w.window.findChild<QToolButton*>("sPlaceC");
  ASSERT_NE(button, nullptr);
  struct Case {
    const char* what;
    bool rotary, pipe, aligned;
  };
  for (const Case& c : {Case{"pipe", true, true, false}, Case{"profile", true, false, false},
                        Case{"flat sheet", false, false, true}}) {
    SCOPED_TRACE(c.what);
    w.system->rotary.active = c.rotary;
    w.system->rotary.tube.pipe = c.pipe;
    // A sheet edge measured from the lower left corner, the pointer 100 mm along it.
    w.system->prep.AngleActive = false;
    w.system->prep.Corner = ReferenceCorner::LowerLeft;
    w.system->job.ProjectOriginX = w.system->job.ProjectOriginY = 0;
    w.system->job.MachinePosition.x = 10000;
    w.system->job.MachinePosition.y = 500;
    emit button->customContextMenuRequested(QPoint(5, 5));
    EXPECT_EQ(w.system->prep.AngleActive, c.aligned);
  }
}

TEST(TubePanel, ProfileOkLimitsTheTubeAndTurnsTheSectionUntilExit) {
  TubePanel u;
  u.type("xrB", "4");
  u.type("xrH", "40");
  u.type("xrR", "30");
  QSignalSpy ticks(&u.preview(), &QTimer::timeout);
  u.click("TubeOkProfile");

  // W at least 5 mm, R at most min(W, H) / 2; the fields show what is used.
  EXPECT_EQ(u.text("xrB"), u.length(5));
  EXPECT_EQ(u.text("xrB"), "5");
  EXPECT_EQ(u.text("xrH"), "40");
  EXPECT_EQ(u.text("xrR"), u.length(2.5));
  const TubeGeometry& tube = u.rotary().tube;
  EXPECT_FALSE(tube.pipe);
  EXPECT_EQ(tube.width, 500);
  EXPECT_EQ(tube.height, 4000);
  EXPECT_EQ(tube.radius, 250);
  EXPECT_EQ(u.rotary().table.perimeter, 2 * 500 + 2 * 4000);
  EXPECT_TRUE(u.window.tubePanel()->isVisible()) << "OK keeps the panel open";

  // The section turns 25 units each 25 ms tick.
  EXPECT_TRUE(u.rotary().previewRunning);
  EXPECT_TRUE(u.preview().isActive());
  EXPECT_EQ(u.preview().interval(), 25);
  ASSERT_TRUE(ticks.wait(1000));
  QTest::qWait(150);
  ASSERT_GE(ticks.count(), 2);
  EXPECT_EQ(u.rotary().previewAt, 25 * ticks.count());

  // Exit stops it and hides the panel.
  u.click("TubeExit");
  EXPECT_FALSE(u.window.tubePanel()->isVisible());
  EXPECT_FALSE(u.preview().isActive());
  EXPECT_FALSE(u.rotary().previewRunning);
  const std::int32_t stoppedAt = u.rotary().previewAt;
  QTest::qWait(100);
  EXPECT_EQ(u.rotary().previewAt, stoppedAt);
}

TEST(TubePanel, TheSectionPictureHasThePreviewPointOnTop) {
  TubePanel u;
  u.type("xrB", "60");
  u.type("xrH", "40");
  u.type("xrR", "3");
  u.click("TubeOkProfile");
  ASSERT_EQ(u.rotary().table.perimeter, 20000);
  u.preview().stop();
  // The middle of the top face, a corner, the middle of a side, a point on a corner radius.
  for (const std::int32_t at : {0, 3000, 5000, 2850, 12345}) {
    u.rotary().previewAt = at;
    const QImage image = u.window.tubeSection()->grab().toImage();
    const Tops tops = TopsOf(image);
    ASSERT_TRUE(tops.red && tops.outline) << at;
    // The dot (4 px round) sits on the outline's highest point.
    EXPECT_NEAR(*tops.red + 4, *tops.outline, 3) << at;
  }
}

TEST(TubePanel, PipeOkSetsTheDiameterAndTheSurfaceHeight) {
  TubePanel u;
  u.rotary().active = true;
  u.type("xrD", "4");
  u.click("TubeOkPipe");
  EXPECT_EQ(u.text("xrD"), u.length(5));
  EXPECT_TRUE(u.rotary().tube.pipe);
  EXPECT_EQ(u.rotary().tube.diameter, 500);
  EXPECT_EQ(u.system->job.ProjectOriginZ, 250);
  EXPECT_FALSE(u.preview().isActive());
  EXPECT_TRUE(u.window.tubePanel()->isVisible());
  // A circle with the red dot on top in the middle.
  const QImage image = u.window.tubeSection()->grab().toImage();
  EXPECT_TRUE(IsRed(image.pixel(image.width() / 2, 8)));
}

TEST(TubePanel, LeavingFromTheConfigurationStopsTheSection) {
  TubePanel u;
  u.click("TubeOkProfile");
  ASSERT_TRUE(u.preview().isActive());
  u.window.leaveTubePanel();
  EXPECT_FALSE(u.window.tubePanel()->isVisible());
  EXPECT_FALSE(u.preview().isActive());
  EXPECT_FALSE(u.rotary().previewRunning);
}

// Enter in a profile field is the profile's "OK", in the diameter the pipe's:
// the typed values are used (and limited) and the panel stays.
TEST(TubePanel, EnterAppliesTheOkOfItsTube) {
  for (const char* field : {"xrB", "xrH", "xrR"}) {
    SCOPED_TRACE(field);
    TubePanel u;
    u.click("TubeOkPipe");
    ASSERT_TRUE(u.rotary().tube.pipe);
    u.type("xrB", "60");
    u.type("xrH", "40");
    u.type("xrR", "30");
    QTest::keyClick(u.window.tubePanel()->findChild<QLineEdit*>(field), Qt::Key_Return);
    EXPECT_TRUE(u.window.tubePanel()->isVisible());
    EXPECT_FALSE(u.rotary().tube.pipe);
    EXPECT_EQ(u.rotary().tube.width, 6000);
    EXPECT_EQ(u.rotary().tube.radius, 2000) << "R at most min(W, H) / 2";
    EXPECT_EQ(u.text("xrR"), u.length(20));
    EXPECT_FALSE(u.system->fields.checked(Window::Main, "cpipe"));
    EXPECT_TRUE(u.preview().isActive());
  }
  TubePanel u;
  u.click("TubeOkProfile");
  ASSERT_TRUE(u.preview().isActive());
  u.type("xrD", "4");
  QTest::keyClick(u.window.tubePanel()->findChild<QLineEdit*>("xrD"), Qt::Key_Return);
  EXPECT_TRUE(u.window.tubePanel()->isVisible());
  EXPECT_TRUE(u.rotary().tube.pipe);
  EXPECT_EQ(u.rotary().tube.diameter, 500);
  EXPECT_EQ(u.text("xrD"), u.length(5));
  EXPECT_TRUE(u.system->fields.checked(Window::Main, "cpipe"));
  EXPECT_FALSE(u.preview().isActive());
}

// The tube button turns a profile's section at once when its outline has
// more than 5 points; a pipe's circle stands.
TEST(TubePanel, TheTubeButtonTurnsAProfilesSection) {
  TubePanel u;
  u.type("xrB", "60");
  u.type("xrH", "40");
  u.type("xrR", "3");
  u.click("TubeExit");
  ASSERT_FALSE(u.rotary().tube.pipe);
  ASSERT_GT(u.rotary().table.outline.size(), 5u);
  ASSERT_FALSE(u.preview().isActive());
  auto* tubeButton = u.window.findChild<QToolButton*>("SpeedButton5");
  QTest::mouseClick(tubeButton, Qt::LeftButton);
  EXPECT_TRUE(u.preview().isActive());
  EXPECT_TRUE(u.rotary().previewRunning);

  // An outline of 5 points or fewer does not turn.
  u.window.leaveTubePanel();
  u.rotary().table.outline.resize(5);
  QTest::mouseClick(tubeButton, Qt::LeftButton);
  EXPECT_FALSE(u.preview().isActive());

  u.window.leaveTubePanel();
  u.click("TubeOkPipe");
  QTest::mouseClick(tubeButton, Qt::LeftButton);
  EXPECT_FALSE(u.preview().isActive());
}

// The captions name the unit the fields are read in.
TEST(TubePanel, CaptionsNameTheUnitInForce) {
  TubePanel u;
  const auto caption = [&u](const char* field) {
    QWidget* edit = u.window.tubePanel()->findChild<QLineEdit*>(field);
    auto* form = qobject_cast<QFormLayout*>(edit->parentWidget()->layout());
    return qobject_cast<QLabel*>(form->labelForField(edit))->text();
  };
  for (const bool imperial : {true, false, true}) {
    SCOPED_TRACE(imperial);
    u.window.leaveTubePanel();
    u.system->parser.imperial = imperial;
    QTest::mouseClick(u.window.findChild<QToolButton*>("SpeedButton5"), Qt::LeftButton);
    for (const char* field : {"xrB", "xrH", "xrR", "xrD"}) {
      EXPECT_TRUE(caption(field).contains(imperial ? "[in]" : "[mm]")) << field << caption(field).toStdString();
      EXPECT_FALSE(caption(field).contains(imperial ? "[mm]" : "[in]")) << field;
    }
  }
}

}  // namespace
}  // namespace corvane
