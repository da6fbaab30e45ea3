#include "ui/PathView.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>

#include "model/JobNormalise.h"
#include "model/JobRedraw.h"
#include "model/ToolOverlay.h"
#include "system/FieldSettings.h"
#include "system/System.h"
#include "system/TubeSetup.h"
#include "ui/DisplayPainter.h"

namespace corvane::ui {
namespace {

constexpr int kNotch = 120;
constexpr int kTableMargin = 20;
constexpr int kOriginDragMillis = 200;

int Round(double v) { return static_cast<int>(std::lround(v)); }

}  // namespace

PathView::PathView(System& system, QWidget* parent) : QFrame(parent), system_(system) {
  setObjectName("PathView");
  setFrameShape(QFrame::Box);
  setMouseTracking(true);
}

void PathView::invalidate() {
  stale_ = true;
  layerValid_ = false;
  picture_.reset();
  pickMarks_.reset();
  update();
}

void PathView::updateChanged(const DisplayList& before, const DisplayList& after) {
  if (before == after) return;
  update(DisplayListRegion(before, font()) + DisplayListRegion(after, font()));
}

void PathView::setOverlay(DisplayList overlay) {
  if (!(overlay == overlay_)) {
    updateChanged(overlay_, overlay);
    overlay_ = std::move(overlay);
  }
  refreshTool();
}

// The cross and speed are drawn over the job only when a job is shown.
DisplayList PathView::toolNow() const {
  if (!(picture_ ? picture_ : list_)) return {};
  const std::optional<Point64> onTube =
      system_.rotary.active ? std::optional(BoardInJob(system_, system_.job.MachinePosition, system_.Busy))
                            : std::nullopt;
  return ToolOverlay(system_.job, system_.prep.View, speed_ ? speed_() : 0, system_.parser.imperial, onTube);
}

void PathView::refreshTool() {
  // A rebuild pending repaints the whole view anyway.
  if (stale_) {
    update();
    return;
  }
  DisplayList tool = toolNow();
  if (tool == tool_) return;
  updateChanged(tool_, tool);
  tool_ = std::move(tool);
}

void PathView::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  if (placed_) {
    placed_->width = std::max(width(), 1);
    placed_->height = std::max(height(), 1);
  }
  stale_ = true;
  layerValid_ = false;
}

// The job fitted at the current zoom, or the view the operator placed.
void PathView::rebuild() {
  const JobState& job = system_.job;
  if (placed_ && placedExtents_ != std::pair{job.JobExtentX, job.JobExtentY}) {
    placed_.reset();
    zoom_ = kFitZoom;
    if (zoomChanged) zoomChanged(zoom_);
  }
  system_.prep.View = placed_ ? *placed_ : FitView(job.JobExtentX, job.JobExtentY, width(), height(), zoom_, JobStartX(job));
  const TubePlanning tube(system_);
  const PlanContext context{ReadPlannerSettings(system_, false), system_.scales, system_.speeds, tube.get()};
  if (auto fresh = RedrawJob(system_.job, system_.prep, ReadRedrawSettings(system_), context))
    list_ = std::move(fresh);
  else if (system_.job.Job.empty() && !system_.loading)
    list_.reset();  // an empty job shows nothing, not the job before it
  stale_ = system_.loading;
}

void PathView::paintLayer() {
  const qreal ratio = devicePixelRatioF();
  const QSize pixels = size() * ratio;
  if (layer_.size() != pixels) layer_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
  layer_.setDevicePixelRatio(ratio);
  QPainter p(&layer_);
  // A picture put up by a command (the analysis) stands until the next redraw.
  const std::optional<DisplayList>& shown = picture_ ? picture_ : list_;
  if (shown) {
    PaintDisplayListOn(p, rect(), *shown);
    if (pickMarks_) PaintDisplayList(p, *pickMarks_);
  } else {
    p.fillRect(rect(), Qt::white);
  }
  layerValid_ = true;
  ++jobPaints_;
}

void PathView::paintEvent(QPaintEvent* event) {
  if (stale_) {
    rebuild();
    layerValid_ = false;
  }
  if (!layerValid_) {
    paintLayer();
    tool_ = toolNow();
  }
  QPainter p(this);
  const qreal ratio = layer_.devicePixelRatio();
  for (const QRect& area : event->region())
    p.drawImage(area, layer_, QRectF(area.topLeft() * ratio, area.size() * ratio));
  p.setClipRegion(event->region());
  PaintDisplayList(p, tool_);
  PaintDisplayList(p, overlay_);
  p.end();
  QFrame::paintEvent(event);
}

void PathView::setZoom(int zoom, QPoint at) {
  zoom = std::clamp(zoom, 1, kTableZoom);
  const JobState& job = system_.job;
  ViewTransform view = system_.prep.View;
  view.width = std::max(width(), 1);
  view.height = std::max(height(), 1);
  if (zoom == kTableZoom) {
    // The whole table, its zero 20 pixels from the left and bottom edges.
    const std::int64_t lx = system_.store.SoftLimitX, ly = system_.store.SoftLimitY;
    std::int64_t f = ly / view.height < lx / view.width ? lx * 10 / 9 / view.width
                                                        : ly * 10 / 9 / view.height;
    view.scale = f > 0 ? double(f) : 1.0;
    view.offsetX = Round(job.ProjectOriginX / view.scale) + kTableMargin;
    view.offsetY = Round(job.ProjectOriginY / view.scale) + kTableMargin;
  } else {
    const Point2 held = view.ToJob(at.x(), at.y());
    const double base = FitView(job.JobExtentX, job.JobExtentY, view.width, view.height, kFitZoom, JobStartX(job)).scale;
    view.scale = std::round(base * zoom * zoom / 100.0);
    if (view.scale == 0) view.scale = 1.0;
    view.offsetX = at.x() - Round(held.x / view.scale);
    view.offsetY = Round(view.height - held.y / view.scale) - at.y();
  }
  zoom_ = zoom;
  if (zoomChanged) zoomChanged(zoom_);
  placed_ = view;
  placedExtents_ = {job.JobExtentX, job.JobExtentY};
  invalidate();
}

void PathView::fitJob() {
  zoom_ = kFitZoom;
  placed_.reset();
  invalidate();
  if (zoomChanged) zoomChanged(zoom_);
}

std::optional<Point2> PathView::pointerInJob() const {
  if (!pointer_) return std::nullopt;
  return system_.prep.View.ToJob(pointer_->x(), pointer_->y());
}

void PathView::wheelEvent(QWheelEvent* event) {
  const int delta = event->angleDelta().y();
  // A notch away from the operator zooms in.
  if (delta == kNotch || delta == -kNotch)
    setZoom(zoom_ + (delta > 0 ? -1 : 1), event->position().toPoint());
  event->accept();
}

void PathView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton || event->button() == Qt::MiddleButton)
    panFrom_ = event->position().toPoint();
  if (event->button() == Qt::RightButton && !system_.Busy) {
    rightFrom_ = event->position().toPoint();
    rightHeld_.start();
    originDragged_ = false;
  }
  QFrame::mousePressEvent(event);
}

void PathView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  pointer_ = at;
  if (panFrom_) {
    const QPoint moved = at - *panFrom_;
    panFrom_ = at;
    ViewTransform view = system_.prep.View;
    view.offsetX += moved.x();
    view.offsetY -= moved.y();
    placed_ = view;
    placedExtents_ = {system_.job.JobExtentX, system_.job.JobExtentY};
    invalidate();
  }
  if (rightFrom_ && (event->buttons() & Qt::RightButton) && !system_.Busy &&
      rightHeld_.elapsed() >= kOriginDragMillis) {
    // The job follows the pointer over the table: origin and picture move together.
    const QPoint moved = at - *rightFrom_;
    rightFrom_ = at;
    originDragged_ = true;
    ViewTransform view = system_.prep.View;
    view.offsetX += moved.x();
    view.offsetY -= moved.y();
    placed_ = view;
    placedExtents_ = {system_.job.JobExtentX, system_.job.JobExtentY};
    system_.job.ProjectOriginX += static_cast<std::int32_t>(std::lround(moved.x() * view.scale));
    system_.job.ProjectOriginY -= static_cast<std::int32_t>(std::lround(moved.y() * view.scale));
    if (originMoved) originMoved();
    invalidate();
  }
  QFrame::mouseMoveEvent(event);
}

void PathView::mouseReleaseEvent(QMouseEvent* event) {
  panFrom_.reset();
  const bool dragged = event->button() == Qt::RightButton && originDragged_;
  if (event->button() == Qt::RightButton) {
    rightFrom_.reset();
    originDragged_ = false;
  }
  if (event->button() == Qt::RightButton && !dragged && !system_.Busy)
    openPopup(event->position().toPoint());
  QFrame::mouseReleaseEvent(event);
}

void PathView::mouseDoubleClickEvent(QMouseEvent* event) {
  fitJob();
  QFrame::mouseDoubleClickEvent(event);
}

void PathView::leaveEvent(QEvent* event) {
  pointer_.reset();
  QFrame::leaveEvent(event);
}

std::vector<PopupItem> PathView::pick(QPoint at) {
  system_.job.ResumeMode = 0;
  const bool hit = PickOnView(system_.job, system_.prep.View, {at.x(), at.y()});
  // The picked contour outlined, the release point in navy, the snapped point in red.
  DisplayList marks;
  const JobState& job = system_.job;
  if (hit && job.ResumeContour >= 0 && job.ResumeContour < int(job.Job.size()))
    marks.items.emplace_back(PickedOutline(job.Job[std::size_t(job.ResumeContour)], system_.prep.View));
  DisplayDot release;
  release.centre = {at.x(), at.y()};
  release.colour = colours::kNavy;
  marks.items.emplace_back(release);
  DisplayDot snapped;
  snapped.centre = system_.prep.View.ToScreen(job.ResumePoint.x, job.ResumePoint.y);
  snapped.colour = colours::kRed;
  marks.items.emplace_back(snapped);
  pickMarks_ = std::move(marks);
  layerValid_ = false;
  update();
  return PathPopupItems(hit);
}

void PathView::openPopup(QPoint at) {
  const std::vector<PopupItem> items = pick(at);
  QMenu menu(this);
  menu.setObjectName("PathPopup");
  for (const PopupItem& item : items) {
    QAction* action = menu.addAction(QString::fromStdString(item.text));
    action->setEnabled(item.enabled);
    action->setData(static_cast<int>(item.entry));
  }
  popupOpen_ = true;
  QAction* chosen = menu.exec(mapToGlobal(at + QPoint(4, 4)));
  popupOpen_ = false;
  if (chosen && popupAction) popupAction(static_cast<PopupEntry>(chosen->data().toInt()));
}

}  // namespace corvane::ui
