#include "ui/KeyboardHook.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace corvane::ui {

KeyboardHook::KeyboardHook(QWidget& mainWindow) : QObject(&mainWindow), main_(mainWindow) {
  qApp->installEventFilter(this);
}

KeyboardHook::~KeyboardHook() { qApp->removeEventFilter(this); }

bool KeyboardHook::eventFilter(QObject* watched, QEvent* event) {
  const auto type = event->type();
  if (type == QEvent::WindowDeactivate && watched == &main_) {
    const QSet<int> held = down_;
    down_.clear();
    pendingUp_.clear();
    for (int key : held)
      if (keyLost) keyLost(key);
    return false;
  }
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
  // Platform key events reach a window first and its focus widget after:
  // take them at the window, where each press arrives once.
  auto* window = qobject_cast<QWindow*>(watched);
  if (!window) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  const int code = key->key();
  // A press of a key whose key-up waits: stamped with the key-up's moment it
  // is the platform's repeat, and the key stays down; a later one is a new
  // press, so the key goes up first.
  if (type == QEvent::KeyPress && pendingUp_.contains(code)) {
    if (key->timestamp() == pendingUp_.take(code).timestamp) return true;
    release(code);
  }
  const bool ours = QApplication::activeModalWidget() == nullptr &&
                    QApplication::activePopupWidget() == nullptr &&
                    window == main_.windowHandle();
  if (type == QEvent::KeyPress && code == Qt::Key_Escape && !key->isAutoRepeat()) {
    if (ours && down_.contains(code)) return true;
    // Down before the stop: the stop lets events through, and the key's
    // release may come inside it; seen as a stray it would leave Esc held
    // for good and swallow every Esc after it.
    if (ours) down_.insert(code);
    if (escape) escape();
    if (!ours) return false;
    return keyDown && keyDown(code, key->modifiers());
  }
  if (!ours) return false;
  if (type == QEvent::KeyPress) {
    if (key->isAutoRepeat() || down_.contains(code)) return true;
    down_.insert(code);
    if (code == Qt::Key_Alt) return true;
    return keyDown && keyDown(code, key->modifiers());
  }
  if (key->isAutoRepeat() || !down_.contains(code)) return true;
  const int serial = ++serial_;
  pendingUp_.insert(code, {key->timestamp(), serial});
  QTimer::singleShot(kRepeatWaitMs, this, [this, code, serial] {
    const auto pending = pendingUp_.constFind(code);
    if (pending == pendingUp_.cend() || pending->serial != serial) return;
    pendingUp_.erase(pending);
    release(code);
  });
  return false;
}

void KeyboardHook::release(int key) {
  if (down_.remove(key) && keyUp) keyUp(key);
}

}  // namespace corvane::ui
