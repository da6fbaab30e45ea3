#include "ui/ScreenCapture.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include "ui/UiWait.h"

namespace corvane::ui {
namespace {

// Small enough to send by mail, sharp enough to read the fields.
constexpr int kJpegQuality = 85;

}  // namespace

bool SaveScreenshot(const QString& path) {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return false;
  const QPixmap picture = screen->grabWindow(0);
  return !picture.isNull() && picture.save(path, "JPG", kJpegQuality);
}

int CaptureScreenshots(const QString& storeFolder,
                       const std::vector<std::function<void()>>& arrangements) {
  int saved = 0;
  for (size_t i = 0; i < arrangements.size(); ++i) {
    if (arrangements[i]) arrangements[i]();
    QApplication::processEvents();
    WaitProcessing(250);
    QApplication::processEvents();
    const QString name = i == 0 ? QString("Screenshot.jpg") : QString("Screenshot%1.jpg").arg(i);
    if (SaveScreenshot(storeFolder + name)) ++saved;
  }
  return saved;
}

}  // namespace corvane::ui
