#include "ui/PathView.h"

#include <QPainter>

#include "model/ToolOverlay.h"
#include "system/FieldSettings.h"
#include "system/System.h"
#include "ui/DisplayPainter.h"

namespace corvane::ui {

PathView::PathView(System& system, QWidget* parent) : QFrame(parent), system_(system) {
  setObjectName("PathView");
  setFrameShape(QFrame::Box);
}

void PathView::invalidate() {
  stale_ = true;
  picture_.reset();
  update();
}

void PathView::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  stale_ = true;
}

void PathView::paintEvent(QPaintEvent* event) {
  if (stale_) {
    // While settings load there is no picture; keep the last one until then.
    if (auto fresh = RedrawMainView(system_, width(), height())) list_ = std::move(fresh);
    stale_ = system_.loading;
  }
  QPainter p(this);
  // A picture put up by a command (the analysis) stands until the next redraw.
  const std::optional<DisplayList>& shown = picture_ ? picture_ : list_;
  if (shown) {
    PaintDisplayListOn(p, rect(), *shown);
    const bool imperial = system_.parser.imperial;
    PaintDisplayList(p, ToolOverlay(system_.job, system_.prep.View, speed_ ? speed_() : 0, imperial));
  } else {
    p.fillRect(rect(), Qt::white);
  }
  QFrame::paintEvent(event);
}

}  // namespace corvane::ui
