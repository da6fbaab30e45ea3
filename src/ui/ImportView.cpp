#include "ui/ImportView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace corvane::ui {
namespace {

using ClipperLib::cInt;
using ClipperLib::IntPoint;

const QColor kDisabled(0xC0, 0xC0, 0xC0);
const QColor kMarker(0xA6, 0xCB, 0xF0);
const QColor kCuttingWithOffset(0x80, 0x80, 0x80);
const QColor kProcessed(0x00, 0x80, 0x00);
const QColor kLeadOut(0xFF, 0x90, 0x0E);

QString MillimetreText(double units) { return QString::number(units / 100.0, 'f', 2); }

}  // namespace

QColor TooSmallColour() { return QColor(0xC0, 0x00, 0xC0); }

ImportView::ImportView(ImportSession& session, QWidget* parent) : QWidget(parent), session_(session) {
  setObjectName("ImportView");
  setMouseTracking(true);
  setMinimumSize(400, 300);
  setFocusPolicy(Qt::ClickFocus);
}

double ImportView::ViewScale() const {
  const double extent = static_cast<double>(std::max(session_.extentX(), session_.extentY()));
  const double side = session_.extentX() >= session_.extentY() ? width() : height();
  return std::max(1.0, extent * 4 / 3 / std::max(1.0, side));
}

double ImportView::displayScale() const { return ViewScale() / (100.0 / (zoom_ * zoom_)); }

void ImportView::setZoom(int zoom) {
  zoom = std::clamp(zoom, 1, 20);
  if (zoom == zoom_) return;
  // Zoom about the mouse while it is over the view, else about the centre.
  const QPointF about = mouseInside_ ? lastMouse_ : QPointF(width() / 2.0, height() / 2.0);
  const IntPoint fixed = ToDrawing(about);
  zoom_ = zoom;
  const QPointF moved = ToPixel(fixed);
  pan_ += QPointF(about.x() - moved.x(), moved.y() - about.y());
  update();
}

void ImportView::ResetView() {
  zoom_ = 10;
  const double s = displayScale();
  pan_ = QPointF((width() - static_cast<double>(session_.extentX()) / s) / 2,
                 (height() - static_cast<double>(session_.extentY()) / s) / 2);
  update();
}

IntPoint ImportView::ToDrawing(QPointF pixel) const {
  const double s = displayScale();
  return {std::llround((pixel.x() - pan_.x()) * s), std::llround((height() - pixel.y() - pan_.y()) * s)};
}

QPointF ImportView::ToPixel(const IntPoint& p) const {
  const double s = displayScale();
  return {static_cast<double>(p.X) / s + pan_.x(), height() - (static_cast<double>(p.Y) / s + pan_.y())};
}

void ImportView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  auto drawPath = [&](const TPath& path, std::size_t from, std::size_t to) {
    if (to <= from + 1 || to > path.size()) return;
    QPainterPath line(ToPixel(path[from]));
    for (std::size_t i = from + 1; i < to; ++i) line.lineTo(ToPixel(path[i]));
    painter.drawPath(line);
  };
  auto drawList = [&](const TPaths& list, const QColor& colour) {
    painter.setPen(QPen(colour, 1));
    for (const TPath& path : list) drawPath(path, 0, path.size());
  };
  if (areaX_ > 0 && areaY_ > 0) {
    painter.setPen(QPen(QColor(0xFF, 0xA5, 0x00), 1, Qt::DashLine));
    painter.drawRect(QRectF(ToPixel({-200, areaY_ + 200}), ToPixel({areaX_ + 200, -200})));
  }
  drawList(session_.disabled, kDisabled);
  drawList(session_.marker, kMarker);
  drawList(session_.cutting, offset_ ? kCuttingWithOffset : kDisabled);
  // Contours the tool is too large for: they get no processed contour and no
  // number, so they are drawn over in their own colour, thicker.
  painter.setPen(QPen(TooSmallColour(), 3));
  // A ring around each keeps even a hole of a few hundredths of a pixel in sight.
  for (const std::size_t i : session_.tooSmall()) {
    if (i >= session_.cutting.size()) continue;
    const TPath& path = session_.cutting[i];
    drawPath(path, 0, path.size());
    const PathBox box = BoxOfPath(path);
    const QRectF shape = QRectF(ToPixel({box.minX, box.maxY}), ToPixel({box.maxX, box.minY})).normalized();
    painter.drawEllipse(shape.center(), std::max(shape.width(), 10.0) / 2 + 4,
                        std::max(shape.height(), 10.0) / 2 + 4);
  }
  // The chosen contours stand out in red with their boxes.
  painter.setPen(QPen(Qt::red, 1, Qt::DotLine));
  for (std::size_t i = 0; i < session_.cutting.size(); ++i)
    if (i < session_.chosen.size() && session_.chosen[i]) drawPath(BoxOutline(BoxOfPath(session_.cutting[i])), 0, 5);
  const TPaths& processed = session_.processed();
  painter.setPen(QPen(builtIn_ ? kProcessed : Qt::blue, 1));
  for (const TPath& path : processed) drawPath(path, 0, path.size());
  const std::vector<LeadRecord>& leads = session_.leads();
  for (std::size_t c = 0; c < leads.size() && c < processed.size(); ++c) {
    const LeadRecord& r = leads[c];
    if (r.size() <= kLeadSegment || r[kLeadSegment].X < 0 || r[0].X == 0 || r[0].Y == 0) continue;
    painter.setPen(QPen(Qt::red, 1));
    drawPath(r, 0, kLeadAttach + 1);
    if (!(r[kLeadOutEnd] == IntPoint{0, 0})) {
      painter.setPen(QPen(kLeadOut, 1));
      TPath out{r[kLeadAttach]};
      out.insert(out.end(), r.begin() + kLeadAttach + 1, r.begin() + kLeadOutEnd + 1);
      drawPath(out, 0, out.size());
    }
  }
  // Every contour's start, with its number in the cutting order.
  QFont font = painter.font();
  font.setPointSize(manual_ ? 11 : 7);
  painter.setFont(font);
  for (std::size_t c = 0; c < processed.size(); ++c) {
    if (processed[c].empty()) continue;
    const bool lead = c < leads.size() && leads[c].size() > kLeadSegment && leads[c][kLeadSegment].X >= 0 &&
                      leads[c][0].X != 0 && leads[c][0].Y != 0;
    const QPointF at = ToPixel(lead ? leads[c][0] : processed[c].front());
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::red);
    painter.drawEllipse(at, 2, 2);
    if (showNumbers_) {
      painter.setPen(manual_ ? Qt::magenta : Qt::darkGray);
      painter.drawText(at + QPointF(3, -3), QString::number(c + 1));
    }
  }
  painter.setBrush(Qt::NoBrush);
  if (mode_ == Mode::Box) {
    painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
    painter.drawRect(QRectF(pressAt_, lastMouse_).normalized());
  }
  painter.setPen(Qt::black);
  const double w = static_cast<double>(session_.extentX()), h = static_cast<double>(session_.extentY());
  const QString size = inches_ ? QString("%1\" x %2\"").arg(w / 2540, 0, 'f', 3).arg(h / 2540, 0, 'f', 3)
                               : QString("%1mm x %2mm").arg(MillimetreText(w), MillimetreText(h));
  painter.drawText(10, 20, size);
}

void ImportView::mousePressEvent(QMouseEvent* event) {
  lastMouse_ = pressAt_ = event->position();
  const IntPoint at = ToDrawing(event->position());
  if (event->button() == Qt::MiddleButton) {
    mode_ = Mode::Pan;
  } else if (event->button() == Qt::RightButton) {
    if (rightClick) rightClick(at);
  } else if (event->button() == Qt::LeftButton) {
    const bool modifier = event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier);
    if (!modifier && !manual_ && NearChosen(session_, at, PickTolerance())) {
      if (beforeEdit) beforeEdit();
      mode_ = Mode::Drag;
    } else {
      mode_ = Mode::Box;
    }
  }
}

void ImportView::mouseMoveEvent(QMouseEvent* event) {
  const QPointF now = event->position();
  const QPointF delta = now - lastMouse_;
  mouseInside_ = true;
  if (mode_ == Mode::Pan) {
    pan_ += QPointF(delta.x(), -delta.y());
  } else if (mode_ == Mode::Drag) {
    const double s = displayScale();
    const auto dx = static_cast<cInt>(std::llround(delta.x() * s));
    const auto dy = static_cast<cInt>(std::llround(-delta.y() * s));
    // Whole drawing units only: the rest of the mouse move waits for the next event.
    if (dx == 0 && dy == 0) return;
    DragChosen(session_, dx, dy);
  }
  lastMouse_ = now;
  if (mode_ != Mode::None) update();
}

void ImportView::mouseReleaseEvent(QMouseEvent* event) {
  const Mode mode = mode_;
  mode_ = Mode::None;
  if (mode == Mode::Drag) {
    if (afterDrag) afterDrag();
  } else if (mode == Mode::Box) {
    const bool keep = event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier);
    const QPointF end = event->position();
    if (manual_) {
      const int contour = ContourAt(session_, ToDrawing(end), PickTolerance());
      if (contour >= 0 && sequenceClick) sequenceClick(static_cast<std::size_t>(contour));
    } else {
      if (!keep) ChooseNone(session_);
      if (std::abs((end.x() - pressAt_.x()) + (end.y() - pressAt_.y())) > 9) {
        const IntPoint a = ToDrawing(pressAt_), b = ToDrawing(end);
        ChooseInside(session_, PathBox{std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X), std::max(a.Y, b.Y)});
      } else {
        ToggleAt(session_, ToDrawing(end), PickTolerance(), event->modifiers() & Qt::ShiftModifier, false);
      }
      if (choiceChanged) choiceChanged();
    }
  }
  update();
}

void ImportView::mouseDoubleClickEvent(QMouseEvent*) { ResetView(); }

void ImportView::wheelEvent(QWheelEvent* event) {
  lastMouse_ = event->position();
  mouseInside_ = true;
  setZoom(zoom_ + (event->angleDelta().y() > 0 ? 1 : -1));
}

void ImportView::leaveEvent(QEvent*) { mouseInside_ = false; }

}  // namespace corvane::ui
