#include "ui/JogPanel.h"

#include <QGridLayout>
#include <QMouseEvent>
#include <QToolButton>

#include "machine/ConfigurationActions.h"
#include "machine/Jog.h"
#include "machine/Referencing.h"
#include "machine/RotaryPlacement.h"
#include "store/FieldValues.h"
#include "system/System.h"
#include "virtual/ControllerSetup.h"

namespace corvane::ui {
namespace {

struct JogButtonEntry {
  const char* name;
  const char* caption;
  const char* hint;
  int direction;
  int row, column;
};

constexpr JogButtonEntry kJogButtons[] = {
    {"SpeedButton11", "\u2196", "X-  Y+", jog::kXMinusYPlus, 0, 0},
    {"UpButton", "\u2191", "Y+", jog::kYPlus, 0, 1},
    {"SpeedButton8", "\u2197", "X+  Y+", jog::kXPlusYPlus, 0, 2},
    {"LeftButton", "\u2190", "X-", jog::kXMinus, 1, 0},
    {"RightButton", "\u2192", "X+", jog::kXPlus, 1, 2},
    {"SpeedButton10", "\u2199", "X-  Y-", jog::kXMinusYMinus, 2, 0},
    {"DownButton", "\u2193", "Y-", jog::kYMinus, 2, 1},
    {"SpeedButton9", "\u2198", "X+  Y-", jog::kXPlusYMinus, 2, 2},
    {"PgUpButton", "Z+", "Z+", jog::kZPlus, 0, 3},
    {"PgDownButton", "Z-", "Z-", jog::kZMinus, 2, 3},
};

struct PlacementEntry {
  const char* name;
  const char* hint;
  PlacementButton button;
};

// The nine placement buttons in their 3 × 3 grid, top row first.
constexpr PlacementEntry kPlacements[] = {
    {"sPlaceLT", "X = 0 ; Y = TOP", PlacementButton::LeftTop},
    {"sPlaceT", "Y = TOP", PlacementButton::Top},
    {"sPlaceRT", "X = RIGHT, Y = TOP", PlacementButton::RightTop},
    {"sPlaceL", "X = 0", PlacementButton::Left},
    {"sPlaceC", "XY = CENTER", PlacementButton::Centre},
    {"sPlaceR", "X = RIGHT", PlacementButton::Right},
    {"sPlaceLB", "XY = 0", PlacementButton::LeftBottom},
    {"sPlaceB", "Y = 0", PlacementButton::Bottom},
    {"sPlaceRB", "X = RIGHT, Y = 0", PlacementButton::RightBottom},
};

bool IsZ(int direction) { return direction == jog::kZPlus || direction == jog::kZMinus; }


}  // namespace

JogPanel::JogPanel(System& system, Controller& controller, Jog& jog, Referencing& referencing,
                   QWidget* parent)
    : QFrame(parent), system_(system), controller_(controller), jog_(jog), referencing_(referencing) {
  setObjectName("JogPanel");
  setFrameShape(QFrame::StyledPanel);
  auto* grid = new QGridLayout(this);
  grid->setSpacing(2);
  grid->setContentsMargins(4, 4, 4, 4);
  for (const JogButtonEntry& entry : kJogButtons) {
    QToolButton* b = addButton(entry.name, QString::fromUtf8(entry.caption), entry.hint);
    b->setProperty("jogDirection", entry.direction);
    b->installEventFilter(this);
    jogButtons_.insert(entry.direction, b);
    grid->addWidget(b, entry.row, entry.column);
  }
  torch_ = addButton("SpeedButton12", "ON", "ON / OFF [ space ]");
  torch_->setCheckable(true);
  torch_->installEventFilter(this);
  grid->addWidget(torch_, 1, 1);
  zero_ = addButton("Z0Button", "Z=0", "Z = 0");
  zero_->installEventFilter(this);
  grid->addWidget(zero_, 1, 3);

  const struct {
    const char* name;
    const char* caption;
    std::function<void(bool right)> run;
  } references[] = {
      {"button3", "X Y Z", [this](bool) { referencing_.ReferenceAll(); }},
      {"Button9", "X  Y", [this](bool) { referencing_.ReferenceXY(); }},
      {"Button8", "Z", [this](bool right) { referencing_.ZButton(right); }},
      {"ButtonA", "A", [this](bool right) { referencing_.AButton(right); }},
  };
  int column = 0;
  for (const auto& r : references) {
    QToolButton* b = addButton(r.name, r.caption, r.caption);
    b->setProperty("rightAction", true);
    connect(b, &QToolButton::clicked, this, [this, run = r.run] {
      if (system_.Busy) return;
      run(false);
    });
    // The right button has its own action on "Z" and "A".
    b->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(b, &QToolButton::customContextMenuRequested, this, [this, run = r.run] {
      if (system_.Busy) return;
      run(true);
    });
    grid->addWidget(b, 3, column++);
  }

  auto* placement = new QGridLayout;
  placement->setSpacing(1);
  for (int i = 0; i < 9; ++i) {
    const PlacementEntry& entry = kPlacements[i];
    QToolButton* b = addButton(entry.name, "\u25aa", entry.hint);
    b->setFixedSize(22, 22);
    connect(b, &QToolButton::clicked, this, [this, which = entry.button] { place(which); });
    b->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(b, &QToolButton::customContextMenuRequested, this, [this] {
      if (toggleAngle) toggleAngle();
    });
    placement->addWidget(b, i / 3, i % 3);
  }
  grid->addLayout(placement, 0, 4, 3, 1);
  QToolButton* position = addButton("sPosition", "Pos", "Material / Project position");
  connect(position, &QToolButton::clicked, this, [this] {
    if (showPositionDialog) showPositionDialog();
  });
  grid->addWidget(position, 3, 4);

  // The rotary jog: A+ / A− beside the pad, MIX below it; rotary mode only.
  aPlus_ = addButton("SpeedButtonAPlus", "A+", "A+  ( 1/8 )");
  aMinus_ = addButton("SpeedButtonAMinus", "A-", "A-  ( 1/8 )");
  connect(aPlus_, &QToolButton::clicked, this, [this] { jogA(true); });
  connect(aMinus_, &QToolButton::clicked, this, [this] { jogA(false); });
  grid->addWidget(aPlus_, 0, 5);
  grid->addWidget(aMinus_, 2, 5);
  mix_ = addButton("SpeedButtonXA", "MIX X + A ( ROTARY )", "MIX X + A ( ROTARY )");
  mix_->setCheckable(true);
  mix_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  connect(mix_, &QToolButton::toggled, this, [this](bool down) { setMixXA(down); });
  grid->addWidget(mix_, 4, 0, 1, 6);
  showRotary(system_.rotary.active);
}

void JogPanel::showRotary(bool rotary) {
  if (mix_->isHidden() != rotary) return;
  mix_->setVisible(rotary);
  aPlus_->setVisible(rotary);
  aMinus_->setVisible(rotary);
  // Leaving rotary mode lets X− / X+ move X again.
  if (!rotary && mix_->isChecked()) mix_->setChecked(false);
}

void JogPanel::setMixXA(bool down) {
  system_.rotary.mixXA = down;
  aPlus_->setEnabled(!down);
  aMinus_->setEnabled(!down);
}

void JogPanel::jogA(bool up) {
  if (system_.Busy || system_.rotary.mixXA) return;
  jog_.PressA(up);
}

QToolButton* JogPanel::addButton(const char* name, const QString& caption, const QString& hint) {
  auto* b = new QToolButton(this);
  b->setObjectName(name);
  b->setText(caption);
  b->setToolTip(hint);
  b->setMinimumSize(34, 30);
  b->setFocusPolicy(Qt::NoFocus);
  return b;
}

void JogPanel::pressJog(int direction, bool right) {
  QToolButton* b = jogButtons_.value(direction);
  if (b) b->setDown(true);
  if (IsZ(direction))
    jog_.PressZ(direction == jog::kZPlus, right);
  else
    jog_.PressXY(direction, right);
  // A diagonal made of two held keys shows as its own button.
  if (QToolButton* shown = jogButtons_.value(jog_.JogDirection)) shown->setDown(true);
}

void JogPanel::releaseJog(int direction) {
  for (QToolButton* b : jogButtons_) b->setDown(false);
  jog_.Release(IsZ(direction));
}

void JogPanel::clickTorch(bool right) {
  const bool after = jog_.TorchButton(torch_->isChecked(), right);
  torch_->setChecked(after);
}

void JogPanel::showTorch(bool on) { torch_->setChecked(on); }

void JogPanel::zeroZ(bool right) {
  if (system_.Busy) return;
  jog_.ZeroZ(right);
  if (redraw) redraw();
}

void JogPanel::place(PlacementButton button) {
  if (system_.Busy) return;
  if (system_.rotary.active) {
    const std::int32_t laser =
        configuration ? configuration->LaserOffsetX : FieldLength(system_, Window::Configuration, "xSpec8");
    std::int32_t reference = configuration ? configuration->XReferenceOffset
                                           : FieldLength(system_, Window::Configuration, "xSpec10");
    const RotaryPlaceOutcome outcome = PlaceOnTube(system_, controller_.commands, button, laser, reference);
    if (outcome == RotaryPlaceOutcome::Applied) {
      if (configuration) configuration->XReferenceOffset = reference;
      if (redraw) redraw();
    }
    if (outcome != RotaryPlaceOutcome::NotRotary) return;
  }
  const PlacementResult result = PlaceJob(button, system_.job, system_.prep, system_.log,
                                          system_.host, system_.parser.imperial);
  if (!result.applied) return;
  if (result.setPosition) {
    const AxisPosition& p = *result.setPosition;
    controller_.commands.SetPosition(p.x, p.y, p.z, p.a);
  }
  system_.fields.setText(Window::Main, "xXM", result.fieldXM);
  system_.fields.setText(Window::Main, "xYM", result.fieldYM);
  if (redraw) redraw();
}

bool JogPanel::eventFilter(QObject* watched, QEvent* event) {
  auto* b = qobject_cast<QToolButton*>(watched);
  if (!b) return QFrame::eventFilter(watched, event);
  const auto type = event->type();
  if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease && type != QEvent::Leave)
    return QFrame::eventFilter(watched, event);
  const bool right =
      type != QEvent::Leave && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
  if (b == torch_ || b == zero_) {
    if (type != QEvent::MouseButtonRelease) return type == QEvent::MouseButtonPress;
    if (b == torch_) clickTorch(right);
    if (b == zero_) zeroZ(right);
    return true;
  }
  const int direction = b->property("jogDirection").toInt();
  if (type == QEvent::MouseButtonPress) pressJog(direction, right);
  if (type == QEvent::MouseButtonRelease) releaseJog(direction);
  if (type == QEvent::Leave && b->isDown()) {
    b->setDown(false);
    jog_.Leave();
  }
  return type != QEvent::Leave;
}

}  // namespace corvane::ui
