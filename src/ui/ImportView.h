#pragma once
#include <QColor>
#include <QPoint>
#include <QWidget>
#include <functional>

#include "import/ImportEditing.h"

namespace corvane::ui {

// The colour of the contours the tool is too large for (shown, not cut); the
// window's legend shows the same colour.
QColor TooSmallColour();

// The import editor's drawing: the editor lists and the processed contours
// with their leads, zoomed and panned, with the mouse operations of the
// editor (pan, drag, box selection, click choice, right-click start point).
class ImportView : public QWidget {
  Q_OBJECT

 public:
  ImportView(ImportSession& session, QWidget* parent = nullptr);

  // Zoom 1 … 20 (10: the whole drawing fits).
  void setZoom(int zoom);
  int zoom() const { return zoom_; }
  // Zoom 10, drawing centred.
  void ResetView();
  // Drawing units per pixel.
  double displayScale() const;
  // A point of the view in drawing units, and back.
  ClipperLib::IntPoint ToDrawing(QPointF pixel) const;
  QPointF ToPixel(const ClipperLib::IntPoint& p) const;

  void setShowNumbers(bool on) { showNumbers_ = on; }
  void setManualSequence(bool on) { manual_ = on; }
  void setBuiltIn(bool on, bool offset) { builtIn_ = on, offset_ = on && offset; }
  void setInches(bool on) { inches_ = on; }
  void setWorkArea(ClipperLib::cInt x, ClipperLib::cInt y) { areaX_ = x, areaY_ = y; }

  // What the window does when the operator has changed the drawing with the mouse.
  std::function<void()> beforeEdit;                        // take the undo snapshot
  std::function<void()> afterDrag;                         // process again
  std::function<void(const ClipperLib::IntPoint&)> rightClick;  // the start point
  std::function<void(std::size_t)> sequenceClick;          // manual sequence
  std::function<void()> choiceChanged;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent*) override;
  void wheelEvent(QWheelEvent*) override;
  void leaveEvent(QEvent*) override;

 private:
  enum class Mode { None, Pan, Drag, Box };
  double ViewScale() const;
  double PickTolerance() const { return 3 * displayScale(); }

  ImportSession& session_;
  int zoom_ = 10;
  QPointF pan_;  // pixel offset of the drawing's origin from the lower left
  QPointF lastMouse_, pressAt_;
  bool mouseInside_ = false;
  Mode mode_ = Mode::None;
  bool showNumbers_ = true, manual_ = false, builtIn_ = true, offset_ = false, inches_ = false;
  ClipperLib::cInt areaX_ = 0, areaY_ = 0;
};

}  // namespace corvane::ui
