#pragma once
#include <QObject>
#include <QSocketNotifier>

namespace corvane::ui {

// Turns SIGTERM, SIGINT and SIGHUP (a logout) into a Qt signal on the UI
// thread, so they close the program the same way as the Exit button.
class TerminationSignals final : public QObject {
  Q_OBJECT
 public:
  explicit TerminationSignals(QObject* parent = nullptr);

 signals:
  void terminationRequested();

 private:
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace corvane::ui
