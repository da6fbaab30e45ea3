#pragma once
#include <QWidget>
#include <cstdint>
#include <functional>

namespace corvane::ui {

// A drawing of the controller board with a lamp for every input and output
// of the status word; the lamps light while their bit is set.
class BoardPicture final : public QWidget {
 public:
  explicit BoardPicture(QWidget* parent);
  // Where the live status word comes from; without one every lamp is dark.
  void setStatusSource(std::function<std::uint32_t()> source) { source_ = std::move(source); }
  QSize sizeHint() const override { return {420, 210}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::function<std::uint32_t()> source_;
};

}  // namespace corvane::ui
