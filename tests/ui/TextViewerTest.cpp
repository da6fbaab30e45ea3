#include <gtest/gtest.h>

#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBrowser>
#include <QToolButton>
#include <string>
#include <vector>

#include "job/JobFixture.h"
#include "machine/ConfigurationActions.h"
#include "support/TempDir.h"
#include "ui/ConfigurationWindow.h"
#include "ui/MainWindow.h"
#include "ui/QtApp.h"
#include "ui/TextViewer.h"

namespace corvane {
namespace {

struct WithQt {
  WithQt() { testing::QtApp(); }
};

// The main window and the configuration window on the program's controller
// side; the manual and the log come up in the program's own viewer.
struct ViewerUi : WithQt, testing::JobFixture {
  ViewerUi() { configuration.attach(*system, *controller, actions); }
  ~ViewerUi() {
    for (auto* viewer : main.findChildren<ui::TextViewer*>()) viewer->close();
    for (auto* viewer : configuration.findChildren<ui::TextViewer*>()) viewer->close();
  }
  ui::TextViewer* pressManual() {
    main.findChild<QToolButton*>("SpeedButton2")->click();
    return shown(main, "ManualViewer");
  }
  ui::TextViewer* pressLogs() {
    configuration.findChild<QPushButton*>("bLogs")->click();
    return shown(configuration, "LogViewer");
  }
  static ui::TextViewer* shown(QWidget& owner, const char* name) {
    auto* viewer = owner.findChild<ui::TextViewer*>(name);
    return viewer && viewer->isVisible() ? viewer : nullptr;
  }
  bool logHas(const std::string& text) {
    QFile file(QString::fromStdString(system->paths.logsFolder() +
                                      ProgramLog::FileNameFor(clock.localNow())));
    return file.open(QIODevice::ReadOnly) && file.readAll().contains(text.c_str());
  }
  static QString manualSource() {
    QFile file(QString(CORVANE_SOURCE_DIR) + "/docs/manual.md");
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  }

  ConfigurationActions actions{*system, controller->commands, controller->connection,
                               controller->link.state};
  ui::ConfigurationWindow configuration{system->fields};
  ui::MainWindow main{*system, nullptr};
};

// The manual button shows the manual in a window of the program, with every
// chapter of the manual and every picture it refers to; a second press
// brings the same window back.
TEST(ManualViewer, TheManualButtonShowsTheWholeManualWithItsPictures) {
  ViewerUi ui;
  ui::TextViewer* viewer = ui.pressManual();
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(viewer->windowTitle(), "Manual");
  const QString source = ViewerUi::manualSource();
  ASSERT_FALSE(source.isEmpty());
  const QString text = viewer->text();
  int headings = 0;
  for (const auto& m : QRegularExpression("^#{1,3} (.+)$", QRegularExpression::MultilineOption)
                           .globalMatch(source)) {
    ++headings;
    const QString heading = m.captured(1).remove('*').remove('`');
    EXPECT_TRUE(text.contains(heading)) << heading.toStdString();
  }
  EXPECT_GT(headings, 5);
  auto* browser = viewer->findChild<QTextBrowser*>("ViewerDocument");
  int pictures = 0;
  for (const auto& m : QRegularExpression(R"(!\[[^\]]*\]\(([^)\s]+)\))").globalMatch(source)) {
    ++pictures;
    const QVariant picture = browser->loadResource(QTextDocument::ImageResource, QUrl(m.captured(1)));
    EXPECT_FALSE(picture.isNull()) << m.captured(1).toStdString();
  }
  EXPECT_GT(pictures, 0);
  viewer->close();
  EXPECT_EQ(ui.pressManual(), viewer);
  EXPECT_EQ(ui.main.findChildren<ui::TextViewer*>().size(), 1);
  EXPECT_TRUE(ui.host.errors.empty());
}

// Which file the viewer shows and which one "Open with the desktop's viewer"
// hands over: the language's PDF manual goes to the desktop, the program's
// own manual is shown. Without any manual a message and a log line say so.
// The test's desktop has no opener, so the viewer says that too.
TEST(ManualViewer, ShowsOurManualOffersThePdfAndSaysWhenThereIsNone) {
  const struct {
    std::vector<std::string> installed;
    const char* shown;    // empty: no viewer
    const char* desktop;  // the file the desktop button names
    const char* error;    // the message, when there is one
  } cases[] = {
      {{"doc/manual.md"}, "doc/manual.md", "manual.html", ""},
      {{"lang/English.pdf", "doc/manual.md"}, "doc/manual.md", "lang/English.pdf", ""},
      {{"lang/Polski.pdf", "lang/English.pdf", "doc/manual.md"}, "doc/manual.md", "lang/Polski.pdf", ""},
      {{"doc/manual.html"}, "doc/manual.html", "doc/manual.html", ""},
      {{}, "", "", "No manual is installed"},
      {{"lang/English.pdf"}, "", "", "The desktop has no viewer for the manual"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown + std::string(" ") + c.desktop);
    ViewerUi ui;
    ui.system->fields.setText(Window::Configuration, "eLng", "Polski");
    testing::TempDir program;
    for (const std::string& file : c.installed)
      testing::WriteFileText(program.file(file), "# Manual\n\nText.\n");
    ui.system->paths.programFolder = program.path();
    ui::TextViewer* viewer = ui.pressManual();
    if (!*c.shown) {
      EXPECT_EQ(viewer, nullptr);
      ASSERT_EQ(ui.host.errors.size(), 1u);
      EXPECT_NE(ui.host.errors[0].find(c.error), std::string::npos) << ui.host.errors[0];
      EXPECT_TRUE(ui.logHas(c.error));
      continue;
    }
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->file().toStdString(), program.file(c.shown));
    EXPECT_TRUE(viewer->text().contains("Text."));
    EXPECT_TRUE(viewer->message().isEmpty());
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "");  // no opener for the desktop to find
    EXPECT_FALSE(viewer->openWithDesktop());
    qputenv("PATH", path);
    EXPECT_TRUE(viewer->message().startsWith("The desktop has no viewer for")) << viewer->message().toStdString();
    EXPECT_TRUE(viewer->message().contains(c.desktop)) << viewer->message().toStdString();
    EXPECT_TRUE(ui.host.errors.empty());
  }
}

// The hidden "Schematic" button hands "lang/s" + language + ".pdf" (else
// "lang/sEnglish.pdf") to the desktop; without a schematic, or without an
// opener on the desktop (as in this test), a message and a log line say so.
TEST(SchematicButton, OpensTheLanguagesSchematicOrSaysWhy) {
  const struct {
    std::vector<std::string> installed;
    const char* error;
    const char* names;  // the file the message names
  } cases[] = {
      {{}, "No schematic is installed", "lang/sPolski.pdf"},
      {{"lang/sEnglish.pdf"}, "The desktop has no viewer for the schematic", "lang/sEnglish.pdf"},
      {{"lang/sPolski.pdf", "lang/sEnglish.pdf"}, "The desktop has no viewer for the schematic",
       "lang/sPolski.pdf"},
      {{"lang/Polski.pdf"}, "No schematic is installed", "lang/sPolski.pdf"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.names);
    ViewerUi ui;
    ui.system->fields.setText(Window::Configuration, "eLng", "Polski");
    testing::TempDir program;
    for (const std::string& file : c.installed) testing::WriteFileText(program.file(file), "%PDF-1.4\n");
    ui.system->paths.programFolder = program.path();
    auto* button = ui.main.findChild<QToolButton*>("SpeedButton3");
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->isHidden());
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "");  // no opener for the desktop to find
    button->click();
    qputenv("PATH", path);
    ASSERT_EQ(ui.host.errors.size(), 1u);
    EXPECT_NE(ui.host.errors[0].find(c.error), std::string::npos) << ui.host.errors[0];
    EXPECT_NE(ui.host.errors[0].find(c.names), std::string::npos) << ui.host.errors[0];
    EXPECT_TRUE(ui.logHas(c.error));
  }
}

// "Logs" shows today's log in the program, its latest line in sight; Reload
// brings the lines written since. A missing log is said, not ignored.
TEST(LogViewer, LogsShowsTodaysLogAtItsEndAndReloadBringsNewLines) {
  ViewerUi ui;
  ui.system->log.WriteLog("Before the viewer");
  ui::TextViewer* viewer = ui.pressLogs();
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(viewer->windowTitle().toStdString(), "Log " + ProgramLog::FileNameFor(ui.clock.localNow()));
  EXPECT_TRUE(viewer->text().trimmed().endsWith("Before the viewer")) << viewer->text().toStdString();
  EXPECT_FALSE(viewer->text().contains('\r'));
  ui.system->log.WriteLog("After the viewer");
  for (int i = 0; i < 200; ++i) ui.system->log.WriteLog("Line " + std::to_string(i));
  EXPECT_FALSE(viewer->text().contains("After the viewer"));
  viewer->findChild<QPushButton*>("ViewerReload")->click();
  EXPECT_TRUE(viewer->text().contains("After the viewer"));
  EXPECT_TRUE(viewer->text().trimmed().endsWith("Line 199"));
  QScrollBar* bar = viewer->findChild<QPlainTextEdit*>("ViewerText")->verticalScrollBar();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_TRUE(ui.host.errors.empty());

  viewer->close();
  ASSERT_TRUE(QFile::remove(viewer->file()));
  EXPECT_EQ(ui.pressLogs(), nullptr);
  ASSERT_EQ(ui.host.errors.size(), 1u);
  EXPECT_NE(ui.host.errors[0].find("Today's log"), std::string::npos) << ui.host.errors[0];
  EXPECT_NE(ui.host.errors[0].find("cannot be read"), std::string::npos);
  EXPECT_TRUE(ui.logHas("Today's log"));
}

}  // namespace
}  // namespace corvane
