#pragma once
#include <QFrame>
#include <QHash>
#include <functional>

#include "model/JobPlacement.h"

class QToolButton;

namespace corvane {
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
  void place(PlacementButton button);
  QToolButton* button(int direction) const { return jogButtons_.value(direction); }
  // The torch button follows the plasma state while connected.
  void showTorch(bool on);

  std::function<void()> showPositionDialog;
  std::function<void()> redraw;
  // A right click on a placement button turns the angle mode on or off.
  std::function<void()> toggleAngle;

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
};

}  // namespace corvane::ui
