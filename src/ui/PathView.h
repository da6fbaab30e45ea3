#pragma once
#include <QFrame>
#include <cstdint>
#include <functional>
#include <optional>

#include "model/DisplayList.h"

namespace corvane {
class System;
}

namespace corvane::ui {

// The path view: paints the job's display list, rebuilt from the core after
// every change of job, settings or size.
class PathView final : public QFrame {
  Q_OBJECT
 public:
  PathView(System& system, QWidget* parent);
  // The next paint rebuilds the picture from the job.
  void invalidate();
  const std::optional<DisplayList>& displayList() const { return list_; }
  // Shows a picture built elsewhere (the analysis) until the next invalidate().
  void showPicture(DisplayList picture) {
    picture_ = std::move(picture);
    update();
  }
  const std::optional<DisplayList>& picture() const { return picture_; }
  // Where the overlay reads the tool's actual speed (none: 0).
  void setSpeedSource(std::function<std::int32_t()> source) { speed_ = std::move(source); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  System& system_;
  std::optional<DisplayList> list_;
  bool stale_ = true;
  std::function<std::int32_t()> speed_;
  std::optional<DisplayList> picture_;
};

}  // namespace corvane::ui
