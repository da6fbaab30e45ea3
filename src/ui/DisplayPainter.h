#pragma once
#include <QPainter>

#include "model/DisplayList.h"

namespace corvane::ui {

// Paints a display list the core built, item by item, over what is there.
void PaintDisplayList(QPainter& painter, const DisplayList& list);
// The list's background, then its items.
void PaintDisplayListOn(QPainter& painter, const QRect& area, const DisplayList& list);

}  // namespace corvane::ui
