#pragma once
#include <QTimer>
#include <QWidget>
#include <functional>

namespace corvane {
class System;
}

namespace corvane::ui {

// The small stay-on-top graph window: while shown it takes a sample and
// redraws every 100 ms.
class AnalysisGraphWindow final : public QWidget {
 public:
  explicit AnalysisGraphWindow(System& system);
  // Records one sample of the machine into the job's series.
  void setSampler(std::function<void()> sample) { sample_ = std::move(sample); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  System& system_;
  QTimer tick_;
  std::function<void()> sample_;
};

}  // namespace corvane::ui
