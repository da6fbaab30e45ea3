#include "ui/Manual.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextDocument>
#include <QToolButton>
#include <QUrl>

#include "system/System.h"
#include "ui/TextViewer.h"

namespace corvane::ui {
namespace {

QString FirstFile(const QString& folder, const QStringList& names) {
  for (const QString& name : names) {
    const QFileInfo file(folder + name);
    if (file.isFile()) return file.filePath();
  }
  return {};
}

// A Markdown manual as an HTML page that any browser shows, its pictures still
// found in the manual's folder; empty when it cannot be made.
QString RenderedAsHtml(const QString& markdownFile) {
  QFile source(markdownFile);
  if (!source.open(QIODevice::ReadOnly)) return {};
  QTextDocument document;
  document.setMarkdown(QString::fromUtf8(source.readAll()));
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
  if (folder.isEmpty() || !QDir().mkpath(folder)) return {};
  QFile page(folder + "/manual.html");
  if (!page.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
  const QString base = QUrl::fromLocalFile(QFileInfo(markdownFile).absolutePath() + "/").toString();
  QString html = document.toHtml();
  html.replace("<head>", "<head><base href=\"" + base.toHtmlEscaped() + "\" />");
  page.write(html.toUtf8());
  return page.fileName();
}

}  // namespace

QString ManualFile(const QString& programFolder, const QString& language) {
  return FirstFile(programFolder, {"lang/" + language + ".pdf", "lang/English.pdf",
                                   "doc/manual.html", "doc/manual.md"});
}

QString SchematicFile(const QString& programFolder, const QString& language) {
  return FirstFile(programFolder, {"lang/s" + language + ".pdf", "lang/sEnglish.pdf"});
}

bool ShowSchematic(System& system) {
  const QString folder = QString::fromStdString(system.paths.programFolder);
  const QString language = QString::fromStdString(system.fields.text(Window::Configuration, "eLng"));
  const QString file = SchematicFile(folder, language);
  if (file.isEmpty()) {
    TellOperator(system, "No schematic is installed: " +
                             QDir::toNativeSeparators(folder + "lang/s" + language + ".pdf") +
                             " is missing.");
    return false;
  }
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(file))) {
    TellOperator(system, "The desktop has no viewer for the schematic " + QDir::toNativeSeparators(file) + ".");
    return false;
  }
  return true;
}

QString ViewableManual(const QString& programFolder) {
  return FirstFile(programFolder, {"doc/manual.md", "doc/manual.html"});
}

TextViewer* ShowManual(QWidget* owner, System& system) {
  const QString folder = QString::fromStdString(system.paths.programFolder);
  const QString language = QString::fromStdString(system.fields.text(Window::Configuration, "eLng"));
  QString forDesktop = ManualFile(folder, language);
  const QString shown = ViewableManual(folder);
  if (shown.isEmpty()) {
    if (forDesktop.isEmpty()) {
      TellOperator(system, "No manual is installed: " + QDir::toNativeSeparators(folder + "doc/manual.md") +
                           " is missing.");
    } else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(forDesktop))) {
      TellOperator(system, "The desktop has no viewer for the manual " +
                           QDir::toNativeSeparators(forDesktop) + ".");
    }
    return nullptr;
  }
  const auto format =
      shown.endsWith(".md") ? TextViewer::Format::Markdown : TextViewer::Format::Html;
  TextViewer* viewer = ShowInViewer(owner, "ManualViewer", "Manual", shown, format);
  if (!viewer) {
    TellOperator(system, "The manual " + QDir::toNativeSeparators(shown) + " cannot be read.");
    return nullptr;
  }
  if (forDesktop.endsWith(".md")) forDesktop = RenderedAsHtml(forDesktop);
  if (!forDesktop.isEmpty()) viewer->setDesktopFile(forDesktop);
  return viewer;
}

// A toolbar button NAME showing TEXT with the hint HINT.
static QToolButton* MakeToolButton(QWidget* parent, const char* name, const char* text, const char* hint) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setText(text);
  button->setToolTip(hint);
  return button;
}

QToolButton* AddManualButton(QWidget* parent, System& system) {
  QToolButton* button = MakeToolButton(parent, "SpeedButton2", "Manual", "Help");
  QObject::connect(button, &QToolButton::clicked, parent,
                   [parent, &system] { ShowManual(parent, system); });
  return button;
}

QToolButton* AddSchematicButton(QWidget* parent, System& system) {
  QToolButton* button = MakeToolButton(parent, "SpeedButton3", "Schematic", "Schematic");
  button->setFocusPolicy(Qt::NoFocus);
  button->hide();
  QObject::connect(button, &QToolButton::clicked, parent, [&system] { ShowSchematic(system); });
  return button;
}

}  // namespace corvane::ui
