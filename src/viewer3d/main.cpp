// corvane-3d FILE: shows the import window's 3D data file (plate, pipe or
// profile with the cut contours). Without FILE it opens "data.3d" in its
// working folder when there is one (so the program can start it without
// arguments); whatever goes wrong is shown in the window, which stays open.
#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QOpenGLContext>
#include <QShortcut>
#include <QStackedWidget>
#include <QSurfaceFormat>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include "import/OwnViewer.h"
#include "viewer3d/ThreeDModel.h"
#include "viewer3d/ThreeDView.h"

namespace {

using corvane::ThreeDKind;

QString Millimetres(long long units) { return QString::number(static_cast<double>(units) / 100.0, 'f', 2); }

QString Summary(const corvane::ThreeDModel& model) {
  QString shape;
  switch (model.kind) {
    case ThreeDKind::Plate: shape = QObject::tr("Plate %1 mm").arg(Millimetres(model.thickness)); break;
    case ThreeDKind::Pipe:
      shape = QObject::tr("Pipe Ø %1 mm, wall %2 mm, length %3 mm")
                  .arg(Millimetres(2 * model.radius), Millimetres(model.thickness), Millimetres(model.length));
      break;
    case ThreeDKind::Profile:
      shape = QObject::tr("Profile %1 × %2 mm, corner radius %3 mm, wall %4 mm, length %5 mm")
                  .arg(Millimetres(model.width), Millimetres(model.height), Millimetres(model.cornerRadius),
                       Millimetres(model.thickness), Millimetres(model.length));
      break;
  }
  return QObject::tr("%1 · %2 contours, %3 points · left drag: rotate, wheel: zoom, double click: first view, F5: read again")
      .arg(shape)
      .arg(model.Contours().size())
      .arg(model.PointCount());
}

class ViewerWindow : public QWidget {
 public:
  explicit ViewerWindow(const QString& file, bool openGl) : file_(file) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    message_ = new QLabel(this);
    message_->setAlignment(Qt::AlignCenter);
    message_->setWordWrap(true);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    stack_ = new QStackedWidget(this);
    stack_->addWidget(message_);
    status_ = new QLabel(this);
    status_->setContentsMargins(6, 3, 6, 3);
    layout->addWidget(stack_, 1);
    layout->addWidget(status_);
    setWindowTitle(file.isEmpty() ? QStringLiteral("corvane-3d")
                                  : QStringLiteral("corvane-3d — %1").arg(QFileInfo(file).fileName()));
    if (!openGl) {
      Show(tr("OpenGL is not available on this display, so the 3D preview cannot be drawn."));
      return;
    }
    view_ = new ThreeDView(this);
    stack_->addWidget(view_);
    connect(view_, &ThreeDView::failed, this, [this](const QString& text) {
      broken_ = true;
      Show(text);
    });
    if (file.isEmpty()) {
      Show(tr("No 3D data file given.\nStart it as: corvane-3d FILE"));
      return;
    }
    new QShortcut(QKeySequence(Qt::Key_F5), this, [this] { Load(); });
    // The import window writes the same file again for every export: follow it.
    auto* watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, [this] {
      if (Stamp() != stamp_) Load();
    });
    watch->start(1000);
    Load();
  }

 private:
  QString Stamp() const {
    const QFileInfo info(file_);
    return info.exists() ? info.lastModified().toString(Qt::ISODateWithMs) + QString::number(info.size()) : QString();
  }

  void Show(const QString& text) {
    message_->setText(text);
    stack_->setCurrentWidget(message_);
    status_->clear();
  }

  void Load() {
    stamp_ = Stamp();
    const corvane::ThreeDReadResult read = corvane::ReadThreeDFile(file_.toStdString());
    if (!read.ok) {
      Show(tr("Cannot show this file:\n%1").arg(QString::fromStdString(read.error)));
      return;
    }
    if (broken_) return;
    view_->setModel(read.model);
    stack_->setCurrentWidget(view_);
    status_->setText(Summary(read.model));
  }

  QString file_, stamp_;
  QLabel *message_ = nullptr, *status_ = nullptr;
  QStackedWidget* stack_ = nullptr;
  ThreeDView* view_ = nullptr;
  bool broken_ = false;
};

bool OpenGlWorks() {
  QOpenGLContext context;
  return context.create() && context.isValid();
}

}  // namespace

int main(int argc, char** argv) {
  QSurfaceFormat format;
  format.setDepthBufferSize(24);
  format.setStencilBufferSize(8);
  format.setSamples(4);
  QSurfaceFormat::setDefaultFormat(format);
  QApplication app(argc, argv);
  QApplication::setApplicationName("corvane-3d");
  const QStringList arguments = QApplication::arguments();
  QString file = arguments.size() > 1 ? arguments.at(1) : QString();
  if (file.isEmpty() && QFileInfo::exists(corvane::kOwnViewerDataName)) file = corvane::kOwnViewerDataName;
  ViewerWindow window(file, OpenGlWorks());
  window.resize(1024, 700);
  window.showMaximized();
  return app.exec();
}
