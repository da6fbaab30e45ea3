#pragma once
#include <QPainter>
#include <QRegion>

#include "model/DisplayList.h"

namespace corvane::ui {

// Paints a display list the core built, item by item, over what is there.
void PaintDisplayList(QPainter& painter, const DisplayList& list);
// The list's background, then its items.
void PaintDisplayListOn(QPainter& painter, const QRect& area, const DisplayList& list);
// The pixels the list's items paint over, texts measured in `font` at their own size.
QRegion DisplayListRegion(const DisplayList& list, const QFont& font);

}  // namespace corvane::ui

#include <QFrame>

namespace corvane::ui {

// A frame that shows one display list, replaced as a whole (the side view).
class PictureFrame final : public QFrame {
 public:
  using QFrame::QFrame;
  // An unchanged picture is not painted again.
  void setPicture(DisplayList picture) {
    if (picture == picture_) return;
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
