#pragma once
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <functional>

namespace corvane {
class System;
}

namespace corvane::ui {

// "Backups Configuration": the backup files the store folder holds
// ("LastGood.fms", "store.fm1" .. "store.fm9"), the selected one's
// modification date, "CANCEL" and "RESTORE". "RESTORE" stays disabled until a
// file is selected; Enter or a double click on a file is "RESTORE" too. A
// confirmed restore ends with `restart`.
class BackupsPanel final : public QGroupBox {
  Q_OBJECT
 public:
  BackupsPanel(System& system, std::function<void()> restart, QWidget* parent);

  // Lists the files as they are now and shows the panel over its parent's
  // middle, with the keyboard in the list.
  void open();

  QListWidget* files() const { return files_; }
  QLabel* date() const { return date_; }
  QPushButton* restoreButton() const { return restore_; }

 private:
  void showSelected();
  void restoreSelected();

  System& system_;
  std::function<void()> restart_;
  QListWidget* files_;
  QLabel* date_;
  QPushButton* restore_;
};

// The store's buttons of the configuration window's "Files" group, in `row`
// of `grid`: "Backups Configuration" (Alt+B, the panel lies over `window`),
// "Save All Setings as default" (Alt+S) and "Restore Default" (Alt+D). A
// confirmed restore of a backup or of the defaults ends with `restart`.
void AddStoreButtons(QGridLayout& grid, int row, System& system, QWidget& window,
                     std::function<void()> restart);

}  // namespace corvane::ui
