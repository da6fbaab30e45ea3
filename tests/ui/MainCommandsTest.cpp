#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include "link/ConnectionIndicator.h"
#include "system/System.h"
#include "ui/MainWindow.h"
#include "ui/PathView.h"
#include "ui/WindowFixture.h"

namespace corvane {
namespace {

using testing::OpenWindow;
using testing::VirtualBoardWindow;

// Every toolbar button carries the name a language file gives its hint to.
TEST(MainCommands, ToolbarButtonsAnswerToTheirLanguageFileNames) {
  VirtualBoardWindow u;
  ASSERT_TRUE(u.created && u.showAndWait());
  const char* const names[] = {"sOpen",         "sSave",         "sImport",      "sExport",
                               "sAnalise",      "SpeedButton4",  "SpeedButton5", "SpeedButton33",
                               "SpeedButton2",  "SpeedButton3",  "SpeedButton30", "sStart"};
  for (const char* name : names)
    ASSERT_TRUE(u.system->texts.setText(Window::Main, name, std::string("hint of ") + name)) << name;
  u.system->texts.notifyChanged();
  for (const char* name : names) {
    auto* button = u.window.findChild<QAbstractButton*>(name);
    ASSERT_NE(button, nullptr) << name;
    EXPECT_EQ(button->toolTip().toStdString(), std::string("hint of ") + name);
  }
  // The schematic button stays hidden; the old names are gone.
  EXPECT_TRUE(u.window.findChild<QAbstractButton*>("SpeedButton3")->isHidden());
  for (const char* old : {"OpenProject", "SaveProject", "ExitButton", "Analise", "Help"})
    EXPECT_EQ(u.window.findChild<QAbstractButton*>(old), nullptr) << old;
}

// "Import File" sets stage code 100, puts the zoom back to 10 with the job
// fitted, and opens the import window; while busy it does nothing.
TEST(MainCommands, ImportResetsTheZoomAndTheStage) {
  OpenWindow u;
  ASSERT_TRUE(u.created && u.showAndWait());
  auto* zoom = u.window.findChild<QSlider*>("zoom");
  auto* import = u.window.findChild<QAbstractButton*>("sImport");
  ASSERT_TRUE(zoom && import);
  QSignalSpy opened(&u.window, &ui::MainWindow::importRequested);
  for (const bool busy : {true, false}) {
    SCOPED_TRACE(busy);
    zoom->setValue(15);
    ASSERT_EQ(u.window.findChild<ui::PathView*>("PathView")->zoom(), 15);
    u.system->log.stage = 3;
    u.system->Busy = busy;
    QTest::mouseClick(import, Qt::LeftButton);
    EXPECT_EQ(zoom->value(), busy ? 15 : 10);
    EXPECT_EQ(u.window.findChild<ui::PathView*>("PathView")->zoom(), busy ? 15 : 10);
    EXPECT_EQ(u.system->log.stage, busy ? 3 : 100);
    EXPECT_EQ(opened.count(), busy ? 0 : 1);
    if (busy) EXPECT_EQ(u.window.errorText().toStdString(), System::kBusyRefusal);
  }
  u.system->Busy = false;
}

// "Log!" stands exactly while the log pane does and hides it; Ctrl+L brings
// both back; a double click empties the pane and leaves the log file whole.
TEST(MainCommands, LogLinkFollowsThePaneAndADoubleClickClearsThePaneOnly) {
  VirtualBoardWindow u;
  ASSERT_TRUE(u.created && u.showAndWait());
  auto* pane = u.window.findChild<QPlainTextEdit*>("LogPane");
  auto* link = u.window.findChild<QLabel*>("LogLink");
  ASSERT_TRUE(pane && link);
  EXPECT_TRUE(pane->isVisible());
  EXPECT_TRUE(link->isVisible());
  EXPECT_EQ(link->text().contains("Log!"), true);

  u.system->log.WriteLog("a line for the pane");
  QApplication::processEvents();
  ASSERT_TRUE(pane->toPlainText().contains("a line for the pane"));
  QTest::mouseDClick(pane->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
  EXPECT_TRUE(pane->toPlainText().isEmpty());
  EXPECT_NE(testing::ReadFileText(u.system->log.path()).find("a line for the pane"), std::string::npos);

  emit link->linkActivated("log");
  EXPECT_FALSE(pane->isVisible());
  EXPECT_FALSE(link->isVisible());
  u.window.activateWindow();
  ASSERT_TRUE(QTest::qWaitFor([&] { return u.window.isActiveWindow(); }));
  testing::Press(u.window.windowHandle(), Qt::Key_L, Qt::ControlModifier);
  EXPECT_TRUE(pane->isVisible());
  EXPECT_TRUE(link->isVisible());
}

// A label left navy by a Leave that never came (a dialog opened under the
// pointer) shows the state's own colour at the next refresh of the label.
TEST(MainCommands, ConnectedIsGreenOnceThePointerIsGone) {
  VirtualBoardWindow u;
  ASSERT_TRUE(u.created && u.showAndWait());
  ASSERT_TRUE(u.controller->link.state.LinkConnected);
  auto* label = u.window.findChild<QLabel*>("ConnectText");
  QCursor::setPos(u.window.mapToGlobal(QPoint(-50, -50)));
  u.controller->indicator.MouseEnter();
  u.controller->indicator.show(indicator::kConnected, IndicatorColour::Green);
  ASSERT_EQ(u.controller->indicator.colour, IndicatorColour::Navy);
  u.window.showConnectionState();
  EXPECT_TRUE(label->styleSheet().contains("color: green")) << label->styleSheet().toStdString();
}

}  // namespace
}  // namespace corvane
