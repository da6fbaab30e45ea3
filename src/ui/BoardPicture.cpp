#include "ui/BoardPicture.h"

#include <QPainter>

#include "wire/Codes.h"

namespace corvane::ui {
namespace {

namespace bit = wire::status;

struct LampEntry {
  const char* caption;
  std::uint32_t mask;
  QColor lit;
};

// Inputs along the lower edge, outputs along the upper edge, as on the board.
const LampEntry kInputs[] = {{"X", bit::kSwitchX, Qt::red},        {"Y", bit::kSwitchY, Qt::red},
                            {"Z", bit::kSwitchZ, Qt::red},        {"S", bit::kInputS, Qt::red},
                            {"MAT", bit::kMaterial, Qt::yellow},  {"COL", bit::kCollision, Qt::red},
                            {"IN1", bit::kIn1, Qt::yellow},       {"IN2", bit::kIn2, Qt::yellow},
                            {"OHM", bit::kOhmic, Qt::yellow},     {"ARC", bit::kArcOk, Qt::green}};
const LampEntry kOutputs[] = {{"TORCH", bit::kTorch, QColor(255, 140, 0)},
                             {"OUT1", bit::kOutput1, Qt::green},
                             {"OUT2", bit::kOutput2, Qt::green},
                             {"THC", bit::kThcActive, Qt::cyan},
                             {"RS485", bit::kRs485Answering, Qt::cyan}};

void DrawLamps(QPainter& p, const LampEntry* lamps, int count, int top, int captionTop,
               std::uint32_t word, int width) {
  const int step = (width - 40) / count;
  for (int i = 0; i < count; ++i) {
    const int x = 20 + i * step + step / 2;
    const bool on = (word & lamps[i].mask) != 0;
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(on ? lamps[i].lit : QColor(40, 60, 40));
    p.drawEllipse(QPoint(x, top), 7, 7);
    p.setPen(Qt::white);
    p.drawText(QRect(x - step / 2, captionTop, step, 14), Qt::AlignCenter, lamps[i].caption);
  }
}

}  // namespace

BoardPicture::BoardPicture(QWidget* parent) : QWidget(parent) {
  setObjectName("BoardPicture");
  setMinimumSize(360, 180);
}

void BoardPicture::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRect board = rect().adjusted(4, 4, -4, -4);
  p.setPen(QPen(QColor(20, 60, 20), 2));
  p.setBrush(QColor(24, 110, 56));
  p.drawRoundedRect(board, 10, 10);
  // The processor and the USB socket, so the picture reads as the board.
  p.setBrush(QColor(30, 30, 30));
  const QRect chip(board.center().x() - 36, board.center().y() - 22, 72, 44);
  p.drawRect(chip);
  p.setPen(Qt::white);
  p.drawText(chip, Qt::AlignCenter, "CPU");
  p.setBrush(QColor(190, 190, 190));
  p.setPen(Qt::black);
  p.drawRect(board.left() - 2, board.center().y() - 12, 22, 24);
  p.setPen(Qt::white);
  p.drawText(QRect(board.left() + 22, board.center().y() - 8, 40, 16), Qt::AlignLeft, "USB");

  const std::uint32_t word = source_ ? source_() : 0;
  p.drawText(QRect(board.left() + 10, board.top() + 4, 120, 14), Qt::AlignLeft, "Outputs");
  DrawLamps(p, kOutputs, int(std::size(kOutputs)), board.top() + 30, board.top() + 40, word,
            width());
  p.drawText(QRect(board.left() + 10, board.bottom() - 18, 120, 14), Qt::AlignLeft, "Inputs");
  DrawLamps(p, kInputs, int(std::size(kInputs)), board.bottom() - 50, board.bottom() - 40, word,
            width());
}

}  // namespace corvane::ui
