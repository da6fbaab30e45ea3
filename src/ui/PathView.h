#pragma once
#include <QFrame>
#include <QImage>
#include <QElapsedTimer>
#include <QPoint>
#include <cstdint>
#include <functional>
#include <optional>

#include "model/DisplayList.h"
#include "model/PathPick.h"

namespace corvane {
class System;
}

namespace corvane::ui {

// The path view: paints the job's display list, rebuilt from the core after
// every change of job, settings or size, with the status overlay and the tool
// (its cross and speed) written over it. The job's picture is kept as an
// image until it changes; a refresh that changes a text or moves the tool
// repaints only where the old and the new one stand, and one that changes
// nothing paints nothing. The wheel zooms about the pointer (the zoom bar's
// positions 1..20, 20 showing the whole table), the left or middle button
// pans, a double click fits the job again, a right click picks a point of
// the job and offers the popup menu, and a right button held and moved drags
// the job's origin over the table.
class PathView final : public QFrame {
  Q_OBJECT
 public:
  static constexpr int kFitZoom = 10;
  static constexpr int kTableZoom = 20;

  PathView(System& system, QWidget* parent);
  // The next paint rebuilds the picture from the job.
  void invalidate();
  const std::optional<DisplayList>& displayList() const { return list_; }
  // Shows a picture built elsewhere (the analysis) until the next invalidate().
  void showPicture(DisplayList picture) {
    picture_ = std::move(picture);
    layerValid_ = false;
    update();
  }
  const std::optional<DisplayList>& picture() const { return picture_; }
  // Where the overlay reads the tool's actual speed (none: 0).
  void setSpeedSource(std::function<std::int32_t()> source) { speed_ = std::move(source); }
  // The status texts of the last refresh, painted over the job; the tool is
  // looked at again too.
  void setOverlay(DisplayList overlay);
  const DisplayList& overlay() const { return overlay_; }
  // The tool's cross and speed from the machine's position now.
  void refreshTool();
  const DisplayList& tool() const { return tool_; }
  // How many times the job's picture was painted into its image.
  int jobPaints() const { return jobPaints_; }

  int zoom() const { return zoom_; }
  // Moves the zoom bar, keeping the job point under `at` (pixels) in place.
  void setZoom(int zoom, QPoint at);
  // The zoom bar back to 10 and the job fitted and centred.
  void fitJob();
  // Told every zoom change, so the window's zoom bar follows the wheel.
  std::function<void(int)> zoomChanged;
  // The pointer in job coordinates while it is over the view.
  std::optional<Point2> pointerInJob() const;

  // Right click: picks the point and returns what the popup offers; the
  // popup itself runs `popupAction` with the chosen entry.
  std::vector<PopupItem> pick(QPoint at);
  std::function<void(PopupEntry)> popupAction;
  // The job origin moved by a drag; the window shows it in its fields.
  std::function<void()> originMoved;
  bool popupOpen() const { return popupOpen_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void rebuild();
  void openPopup(QPoint at);
  DisplayList toolNow() const;
  // Repaints where `before` or `after` paints, when they differ.
  void updateChanged(const DisplayList& before, const DisplayList& after);
  void paintLayer();
  System& system_;
  std::optional<DisplayList> list_;
  bool stale_ = true;
  std::function<std::int32_t()> speed_;
  std::optional<DisplayList> picture_;
  DisplayList overlay_;
  DisplayList tool_;
  // The job's picture (and the pick marks), painted once per change.
  QImage layer_;
  bool layerValid_ = false;
  int jobPaints_ = 0;
  int zoom_ = kFitZoom;
  // Set once the operator zoomed or panned; otherwise the job is fitted.
  std::optional<ViewTransform> placed_;
  // The job's extents when the view was placed: a new job is fitted again.
  std::pair<std::int32_t, std::int32_t> placedExtents_;
  std::optional<QPoint> panFrom_;
  // A right button held 200 ms and moved drags the job origin instead of
  // opening the popup.
  std::optional<QPoint> rightFrom_;
  QElapsedTimer rightHeld_;
  bool originDragged_ = false;
  std::optional<QPoint> pointer_;
  std::optional<DisplayList> pickMarks_;
  bool popupOpen_ = false;
};

}  // namespace corvane::ui
