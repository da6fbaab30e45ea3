#pragma once
#include <QFrame>
#include <QHash>
#include <functional>

#include "model/JobPlacement.h"

class QToolButton;

namespace corvane {
class ConfigurationActions;
class Jog;
class Referencing;
class System;
struct Controller;
}  // namespace corvane

namespace corvane::ui {

// The operator's hand panel: the jog pad with its diagonals, Z+ and Z−, the
// torch button, "Z = 0", the referencing buttons, the nine placement buttons
// and the position dialog's button. The keys of the keyboard hook press the
// same buttons through the calls below.
class JogPanel final : public QFrame {
  Q_OBJECT
 public:
  JogPanel(System& system, Controller& controller, Jog& jog, Referencing& referencing,
           QWidget* parent);

  // A jog button held down and let go, by direction (jog::k...).
  void pressJog(int direction, bool right);
  void releaseJog(int direction);
  // The torch button's click; `right` is its right-button action.
  void clickTorch(bool right);
  void zeroZ(bool right);
  // Flat sheets: the project origin from the laser pointer. Rotary mode: the
  // buttons that set X correct the rotation axis after a Yes (PlaceOnTube).
  void place(PlacementButton button);
  // A+ / A− (rotary mode): to the next or previous eighth of a revolution.
  void jogA(bool up);
  // "MIX X + A ( ROTARY )" down or up: X− / X+ turn the tube, A+ / A− are off.
  void setMixXA(bool down);
  // The rotary buttons appear in rotary mode only; choosing the fourth
  // axis's function in the configuration calls this.
  void showRotary(bool rotary);
  QToolButton* button(int direction) const { return jogButtons_.value(direction); }
  // The torch button follows the plasma state while connected.
  void showTorch(bool on);

  std::function<void()> showPositionDialog;
  std::function<void()> redraw;
  // A right click on a placement button turns the angle mode on or off.
  std::function<void()> toggleAngle;
  // The configuration window's actions, for the laser pointer's X offset and
  // the X reference offset the rotary placement corrects. Unset: their
  // fields xSpec8 and xSpec10 are read.
  ConfigurationActions* configuration = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QToolButton* addButton(const char* name, const QString& caption, const QString& hint);
  System& system_;
  Controller& controller_;
  Jog& jog_;
  Referencing& referencing_;
  QHash<int, QToolButton*> jogButtons_;
  QToolButton* torch_ = nullptr;
  QToolButton* zero_ = nullptr;
  QToolButton* mix_ = nullptr;
  QToolButton* aPlus_ = nullptr;
  QToolButton* aMinus_ = nullptr;
};

}  // namespace corvane::ui
