#pragma once
#include <QFrame>
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

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  System& system_;
  std::optional<DisplayList> list_;
  bool stale_ = true;
};

}  // namespace corvane::ui
