#pragma once
#include <QComboBox>

namespace corvane {
class System;
}

namespace corvane::ui {

// The cutting-parameter preset box: choose a preset to load it, type a name
// and press Ctrl+S to save the current values, Ctrl+D to delete it.
class PresetBox final : public QComboBox {
  Q_OBJECT
 public:
  PresetBox(System& system, QWidget* parent);
  // Shows the store folder's presets, keeping the typed name.
  void reload();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  System& system_;
};

}  // namespace corvane::ui
