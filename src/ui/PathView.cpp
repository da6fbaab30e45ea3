#include "ui/PathView.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

#include "model/ToolOverlay.h"
#include "system/FieldSettings.h"
#include "system/System.h"

namespace corvane::ui {
namespace {

QColor ToQt(Rgb colour) { return QColor(colour.r, colour.g, colour.b); }

QPolygon ToPolygon(const std::vector<ScreenPoint>& points) {
  QPolygon polygon;
  polygon.reserve(int(points.size()));
  for (const ScreenPoint& p : points) polygon << QPoint(p.x, p.y);
  return polygon;
}

// Paints one item of the display list.
struct ItemPainter {
  QPainter& p;
  void operator()(const DisplayPolygon& item) const {
    p.setPen(ToQt(item.outline));
    p.setBrush(ToQt(item.fill));
    p.drawPolygon(ToPolygon(item.points));
  }
  void operator()(const DisplayPolyline& item) const {
    QPen pen(ToQt(item.colour), item.width);
    pen.setStyle(item.dashed ? Qt::DashLine : Qt::SolidLine);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(ToPolygon(item.points));
  }
  void operator()(const DisplayDot& item) const {
    p.setPen(Qt::NoPen);
    p.setBrush(ToQt(item.colour));
    p.drawEllipse(QPoint(item.centre.x, item.centre.y), item.diameter / 2, item.diameter / 2);
  }
  void operator()(const DisplayText& item) const {
    QFont font = p.font();
    font.setPointSize(item.pointSize);
    p.setFont(font);
    p.setPen(ToQt(item.colour));
    p.drawText(QPoint(item.at.x, item.at.y), QString::fromStdString(item.text));
  }
};

}  // namespace

PathView::PathView(System& system, QWidget* parent) : QFrame(parent), system_(system) {
  setObjectName("PathView");
  setFrameShape(QFrame::Box);
}

void PathView::invalidate() {
  stale_ = true;
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
  p.fillRect(rect(), list_ ? ToQt(list_->background) : QColor(Qt::white));
  if (list_) {
    p.setRenderHint(QPainter::Antialiasing);
    const ItemPainter paint{p};
    for (const DisplayItem& item : list_->items) std::visit(paint, item);
    const bool imperial = system_.parser.imperial;
    const DisplayList tool = ToolOverlay(system_.job, system_.prep.View, speed_ ? speed_() : 0, imperial);
    for (const DisplayItem& item : tool.items) std::visit(paint, item);
  }
  QFrame::paintEvent(event);
}

}  // namespace corvane::ui
