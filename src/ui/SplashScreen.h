#pragma once
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

namespace corvane::ui {

// The start-up picture: shows the version, tests that the data root can be
// written, and later serves as the about box.
class SplashScreen final : public QWidget {
  Q_OBJECT
 public:
  enum class TestState { Pending, Passed, Failed };

  SplashScreen(QString programFolder, QString dataRoot, QWidget* parent = nullptr);

  TestState testState() const { return testState_; }
  // The data root's write test, run now rather than on the first tick; the
  // splash still slides out a while later, over the main window.
  void testDataRoot() { runWriteTest(); }
  // Slides the window out to the left and hides it.
  void slideOut();
  // The about box: slides in when hidden, out when shown.
  void toggleAbout();
  // Shows the permission error for a second, then closes.
  void failPermission();

  static QPixmap BuiltInPicture();
  static constexpr int kWidth = 868;
  static constexpr int kHeight = 421;

 signals:
  void finishedFailing();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void onTimer();
  // The data root's write test, once: true when it passed.
  bool runWriteTest();
  void applyShape();
  void slide(int stepPixels, int steps);
  void savePicture();

  QString programFolder_;
  QString dataRoot_;
  QPixmap picture_;
  QLabel* versionLabel_;
  QLabel* errorLabel_;
  QLabel* closeMark_;
  QTimer timer_;
  TestState testState_ = TestState::Pending;
  int rememberedLeft_ = 0;
  bool leftRemembered_ = false;
  bool firstTick_ = true;
};

}  // namespace corvane::ui
