#include "ui/DisplayPainter.h"

#include <QFontMetrics>
#include <QPolygon>
#include <QRegion>

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
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(ToQt(item.outline));
    p.setBrush(ToQt(item.fill));
    p.drawPolygon(ToPolygon(item.points));
  }
  void operator()(const DisplayPolyline& item) const {
    // Hairlines stay sharp without smoothing, at a fraction of its cost on
    // jobs of a million vertices; wider strokes are smoothed.
    p.setRenderHint(QPainter::Antialiasing, item.width > 1);
    QPen pen(ToQt(item.colour), item.width);
    pen.setStyle(item.style == LineStyle::DashDot ? Qt::DashDotLine
                 : item.dashed                       ? Qt::DashLine
                                                     : Qt::SolidLine);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(ToPolygon(item.points));
  }
  void operator()(const DisplayDot& item) const {
    p.setRenderHint(QPainter::Antialiasing);
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

// The rectangle one item paints in, with room for its pen and smoothing.
struct ItemBounds {
  const QFont& font;
  static QRect Around(const std::vector<ScreenPoint>& points, int pen) {
    return ToPolygon(points).boundingRect().adjusted(-pen - 1, -pen - 1, pen + 1, pen + 1);
  }
  QRect operator()(const DisplayPolygon& item) const { return Around(item.points, 1); }
  QRect operator()(const DisplayPolyline& item) const { return Around(item.points, item.width); }
  QRect operator()(const DisplayDot& item) const {
    const int r = item.diameter / 2 + 2;
    return {item.centre.x - r, item.centre.y - r, 2 * r + 1, 2 * r + 1};
  }
  QRect operator()(const DisplayText& item) const {
    QFont sized = font;
    sized.setPointSize(item.pointSize);
    const QFontMetrics metrics(sized);
    const QString text = QString::fromStdString(item.text);
    const QRect advance(0, -metrics.ascent(), metrics.horizontalAdvance(text), metrics.height());
    return metrics.boundingRect(text).united(advance).translated(item.at.x, item.at.y).adjusted(-2, -2, 2, 2);
  }
};

}  // namespace

QRegion DisplayListRegion(const DisplayList& list, const QFont& font) {
  QRegion region;
  const ItemBounds bounds{font};
  for (const DisplayItem& item : list.items) region += std::visit(bounds, item);
  return region;
}

void PaintDisplayList(QPainter& painter, const DisplayList& list) {
  painter.setRenderHint(QPainter::Antialiasing);
  const ItemPainter paint{painter};
  for (const DisplayItem& item : list.items) std::visit(paint, item);
}

void PaintDisplayListOn(QPainter& painter, const QRect& area, const DisplayList& list) {
  painter.fillRect(area, ToQt(list.background));
  PaintDisplayList(painter, list);
}

}  // namespace corvane::ui

namespace corvane::ui {

void PictureFrame::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  PaintDisplayListOn(painter, rect(), picture_);
  QFrame::paintEvent(event);
}

}  // namespace corvane::ui
