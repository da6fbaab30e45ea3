#pragma once
#include <QPainter>

#include "model/DisplayList.h"

namespace corvane::ui {

// Paints a display list the core built, item by item, over what is there.
void PaintDisplayList(QPainter& painter, const DisplayList& list);
// The list's background, then its items.
void PaintDisplayListOn(QPainter& painter, const QRect& area, const DisplayList& list);

}  // namespace corvane::ui

#include <QFrame>

namespace corvane::ui {

// A frame that shows one display list, replaced as a whole (the side view).
class PictureFrame final : public QFrame {
 public:
  using QFrame::QFrame;
  void setPicture(DisplayList picture) {
    picture_ = std::move(picture);
    update();
  }
  const DisplayList& picture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  DisplayList picture_;
};

}  // namespace corvane::ui
