#include "ui/SplashScreen.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QRegion>
#include <QScreen>
#include <QUrl>

#include "system/System.h"
#include "system/Version.h"
#include "ui/UiWait.h"

namespace corvane::ui {
QPixmap SplashScreen::BuiltInPicture() {
  QPixmap picture(kWidth, kHeight);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, kWidth, kHeight);
  sky.setColorAt(0.0, QColor(16, 32, 64));
  sky.setColorAt(0.6, QColor(48, 84, 132));
  sky.setColorAt(1.0, QColor(200, 206, 214));
  p.fillRect(picture.rect(), sky);
  // A cut contour with its glowing kerf, the table's everyday work.
  QPainterPath part;
  part.addRoundedRect(QRectF(520, 90, 250, 170), 40, 40);
  part.addEllipse(QPointF(645, 175), 45, 45);
  p.setPen(QPen(QColor(255, 170, 60), 5));
  p.drawPath(part);
  p.setPen(QPen(QColor(255, 240, 200), 2));
  p.drawPath(part);
  p.setPen(QColor(235, 240, 248));
  QFont title("Sans", 44, QFont::Bold);
  p.setFont(title);
  p.drawText(QRect(60, 120, 460, 80), Qt::AlignLeft | Qt::AlignVCenter, "Corvane CNC");
  QFont subtitle("Sans", 16);
  p.setFont(subtitle);
  p.drawText(QRect(64, 200, 460, 40), Qt::AlignLeft | Qt::AlignVCenter,
             "Plasma · Oxy-fuel · Marker · Milling");
  // The version label takes its colours from these two corners.
  p.fillRect(QRect(0, 0, 4, 4), QColor(16, 32, 64));
  p.fillRect(QRect(kWidth - 4, kHeight - 4, 4, 4), QColor(200, 206, 214));
  return picture;
}

SplashScreen::SplashScreen(QString programFolder, QString dataRoot, QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool),
      programFolder_(std::move(programFolder)),
      dataRoot_(std::move(dataRoot)) {
  setObjectName("Splash");
  setFixedSize(kWidth, kHeight);
  setAutoFillBackground(true);
  QPalette silver = palette();
  silver.setColor(QPalette::Window, QColor(192, 192, 192));
  setPalette(silver);

  const QString custom = programFolder_ + "splash.bmp";
  picture_ = QFile::exists(custom) ? QPixmap(custom) : BuiltInPicture();
  if (picture_.isNull()) picture_ = BuiltInPicture();
  const QImage image = picture_.toImage();
  const QColor text = image.valid(1, 1) ? image.pixelColor(1, 1) : QColor(Qt::black);
  const QColor back = image.valid(866, 419) ? image.pixelColor(866, 419) : QColor(Qt::white);

  versionLabel_ = new QLabel(QString::fromStdString(SplashVersionLabel()), this);
  versionLabel_->setObjectName("VersionLabel");
  versionLabel_->setStyleSheet(
      QString("color: %1; background: %2; padding: 2px 6px;").arg(text.name(), back.name()));
  versionLabel_->adjustSize();
  versionLabel_->move(64, kHeight - versionLabel_->height() - 40);

  errorLabel_ = new QLabel("Permission problem !!!", this);
  errorLabel_->setObjectName("ErrorLabel");
  errorLabel_->setStyleSheet("color: red; background: white; font: bold 20pt; padding: 6px;");
  errorLabel_->adjustSize();
  errorLabel_->move((kWidth - errorLabel_->width()) / 2, kHeight / 2 + 60);
  errorLabel_->hide();

  closeMark_ = new QLabel("x", this);
  closeMark_->setObjectName("CloseMark");
  closeMark_->setStyleSheet(
      "QLabel { color: white; font-size: 14pt; } QLabel:hover { font-weight: bold; }");
  closeMark_->adjustSize();
  closeMark_->move(kWidth - closeMark_->width() - 8, 6);
  closeMark_->setAttribute(Qt::WA_Hover);
  closeMark_->hide();

  applyShape();
  if (const QScreen* screen = QApplication::primaryScreen())
    move(screen->geometry().center() - rect().center());

  connect(&timer_, &QTimer::timeout, this, &SplashScreen::onTimer);
  timer_.start(500);
}

void SplashScreen::applyShape() {
  const int w = width();
  const int h = height();
  QPolygon corners;
  corners << QPoint(192, 1) << QPoint(w, 1) << QPoint(w, h - 103) << QPoint(w - 192, h)
          << QPoint(0, h) << QPoint(0, 103);
  setMask(QRegion(corners));
}

void SplashScreen::onTimer() {
  if (!firstTick_) {
    slideOut();
    return;
  }
  firstTick_ = false;
  timer_.setInterval(1500);
  runWriteTest();
}

bool SplashScreen::runWriteTest() {
  if (testState_ != TestState::Pending) return testState_ == TestState::Passed;
  if (corvane::DataRootWritable(dataRoot_.toStdString())) {
    testState_ = TestState::Passed;
    return true;
  }
  timer_.stop();
  failPermission();
  return false;
}

void SplashScreen::failPermission() {
  testState_ = TestState::Failed;
  if (!isVisible()) show();
  errorLabel_->show();
  errorLabel_->raise();
  QApplication::processEvents();
  WaitProcessing(1000);
  close();
  emit finishedFailing();
}

void SplashScreen::slide(int stepPixels, int steps) {
  for (int i = 0; i < steps; ++i) {
    move(x() + stepPixels, y());
    WaitProcessing(10);
  }
}

void SplashScreen::slideOut() {
  timer_.stop();
  if (!leftRemembered_) {
    rememberedLeft_ = x();
    leftRemembered_ = true;
  }
  slide(-50, (width() + rememberedLeft_) / 50 + 1);
  hide();
  closeMark_->show();
}

void SplashScreen::toggleAbout() {
  if (isVisible()) {
    slideOut();
    return;
  }
  move(0, y());
  show();
  applyShape();
  raise();
  slide(50, rememberedLeft_ / 50 + 1);
}

void SplashScreen::savePicture() {
  picture_.save(programFolder_ + "splash.bmp", "BMP");
  QDesktopServices::openUrl(QUrl::fromLocalFile(programFolder_));
}

// The program start waits for the write test's result, and the slide stops
// the timer that would run it: a click before the first tick runs it first.
void SplashScreen::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && runWriteTest()) slideOut();
}

void SplashScreen::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) savePicture();
}

void SplashScreen::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawPixmap(rect(), picture_);
}

}  // namespace corvane::ui
