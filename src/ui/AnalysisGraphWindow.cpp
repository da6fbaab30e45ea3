#include "ui/AnalysisGraphWindow.h"

#include <QPainter>

#include "job/AnalysisGraph.h"
#include "system/System.h"
#include "ui/DisplayPainter.h"

namespace corvane::ui {

AnalysisGraphWindow::AnalysisGraphWindow(System& system)
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint), system_(system) {
  setObjectName("AnalysisWindow");
  setWindowTitle("Analysis");
  resize(kAnalysisGraphWidth, kAnalysisGraphHeight);
  tick_.setInterval(100);
  connect(&tick_, &QTimer::timeout, this, [this] {
    if (sample_) sample_();
    update();
  });
}

void AnalysisGraphWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  PaintDisplayListOn(p, rect(),
                     DrawAnalysisGraph(system_.job.AnalysisSeries1, system_.job.AnalysisSeries2, width(), height()));
}

void AnalysisGraphWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  tick_.start();
}

void AnalysisGraphWindow::hideEvent(QHideEvent* event) {
  tick_.stop();
  QWidget::hideEvent(event);
}

}  // namespace corvane::ui
