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

namespace corvane::ui {
namespace {

// A Markdown manual as an HTML page that any browser shows; empty when it cannot be made.
QString RenderedAsHtml(const QString& markdownFile) {
  QFile source(markdownFile);
  if (!source.open(QIODevice::ReadOnly)) return {};
  QTextDocument document;
  document.setMarkdown(QString::fromUtf8(source.readAll()));
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
  if (folder.isEmpty() || !QDir().mkpath(folder)) return {};
  QFile page(folder + "/manual.html");
  if (!page.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
  page.write(document.toHtml().toUtf8());
  return page.fileName();
}

}  // namespace

QString ManualFile(const QString& programFolder, const QString& language) {
  for (const QString& name : {"lang/" + language + ".pdf", QString("lang/English.pdf"),
                              QString("doc/manual.html"), QString("doc/manual.md")}) {
    const QFileInfo file(programFolder + name);
    if (file.isFile()) return file.filePath();
  }
  return {};
}

bool OpenManual(const QString& programFolder, const QString& language) {
  QString manual = ManualFile(programFolder, language);
  if (manual.endsWith(".md")) {
    const QString page = RenderedAsHtml(manual);
    if (!page.isEmpty()) manual = page;
  }
  return !manual.isEmpty() && QDesktopServices::openUrl(QUrl::fromLocalFile(manual));
}

QToolButton* AddManualButton(QWidget* parent, const System& system) {
  auto* button = new QToolButton(parent);
  button->setObjectName("SpeedButton2");
  button->setText("Manual");
  button->setToolTip("Help");
  QObject::connect(button, &QToolButton::clicked, parent, [&system] {
    const QString folder = QString::fromStdString(system.paths.programFolder);
    const QString language =
        QString::fromStdString(system.fields.text(Window::Configuration, "eLng"));
    if (!OpenManual(folder, language)) system.host.beep();
  });
  return button;
}

}  // namespace corvane::ui
