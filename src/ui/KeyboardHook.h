#pragma once
#include <QHash>
#include <QObject>
#include <QSet>
#include <functional>

class QWidget;

namespace corvane::ui {

// The application-wide key handling: sees every key event of the program's
// windows before any widget does (it filters the events sent to the
// windows, so each key press is seen once), keeps the key-down table that
// swallows auto-repeat, and hands the main window's keys to its handlers.
// Esc stops from any window, a modal dialog's included; every other key
// counts only while the main window itself has the keyboard, so a key
// pressed while a dialog was open never moves the machine.
class KeyboardHook final : public QObject {
 public:
  explicit KeyboardHook(QWidget& mainWindow);
  ~KeyboardHook() override;

  // A fresh key-down in the main window; true when it was used up.
  std::function<bool(int key, Qt::KeyboardModifiers modifiers)> keyDown;
  // The matching key-up.
  std::function<void(int key)> keyUp;
  // Esc, from whatever window.
  std::function<void()> escape;
  // The main window lost the keyboard while keys were held: their key-ups
  // will go elsewhere, so the held keys are let go now.
  std::function<void(int key)> keyLost;

  bool isDown(int key) const { return down_.contains(key); }

  // A key-up waits this long for a press of the same key at the same moment:
  // such a pair is the platform's auto-repeat, which a loaded system hands
  // over without its repeat mark.
  static constexpr int kRepeatWaitMs = 40;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The held key goes up now: its key-up handler runs.
  void release(int key);
  // A key-up not yet handed on: its timestamp, which a repeat's press
  // shares, and which deferral it is.
  struct PendingUp {
    quint64 timestamp = 0;
    int serial = 0;
  };

  QWidget& main_;
  QSet<int> down_;
  QHash<int, PendingUp> pendingUp_;
  int serial_ = 0;
};

}  // namespace corvane::ui
