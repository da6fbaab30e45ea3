#include "ui/BackupsPanel.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QLocale>
#include <QVBoxLayout>

#include "store/SettingsStore.h"
#include "system/System.h"
#include "ui/ProfileButtons.h"

namespace corvane::ui {
namespace {

constexpr QSize kPanelSize(360, 320);

QString DateText(const LocalDateTime& when) {
  return QLocale::system().toString(QDate(when.year, when.month, when.day), QLocale::ShortFormat);
}

}  // namespace

BackupsPanel::BackupsPanel(System& system, std::function<void()> restart, QWidget* parent)
    : QGroupBox("Backups Configuration", parent),
      system_(system),
      restart_(std::move(restart)),
      files_(new QListWidget(this)),
      date_(new QLabel(this)),
      restore_(new QPushButton("RESTORE", this)) {
  setObjectName("BackupsPanel");
  setAutoFillBackground(true);
  files_->setObjectName("BackupFiles");
  date_->setObjectName("BackupDate");
  restore_->setObjectName("bRestoreBackup");
  auto* cancel = new QPushButton("CANCEL", this);
  cancel->setObjectName("bCancelBackups");
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cancel);
  buttons->addStretch(1);
  buttons->addWidget(restore_);
  auto* column = new QVBoxLayout(this);
  column->addWidget(files_);
  column->addWidget(date_);
  column->addLayout(buttons);
  connect(files_, &QListWidget::itemSelectionChanged, this, &BackupsPanel::showSelected);
  connect(files_, &QListWidget::itemActivated, this, &BackupsPanel::restoreSelected);
  connect(restore_, &QPushButton::clicked, this, &BackupsPanel::restoreSelected);
  connect(cancel, &QPushButton::clicked, this, &QWidget::hide);
  hide();
}

void BackupsPanel::open() {
  files_->clear();
  for (const BackupFile& backup : ShowBackups(system_)) {
    auto* item = new QListWidgetItem(QString::fromStdString(backup.name), files_);
    item->setData(Qt::UserRole, DateText(backup.modified));
  }
  files_->setCurrentRow(-1);
  showSelected();
  const QRect area = parentWidget()->rect();
  setGeometry(QRect(area.center() - QPoint(kPanelSize.width() / 2, kPanelSize.height() / 2),
                    kPanelSize));
  show();
  raise();
  files_->setFocus();
}

void BackupsPanel::showSelected() {
  const QList<QListWidgetItem*> selected = files_->selectedItems();
  restore_->setEnabled(!selected.isEmpty());
  date_->setText(selected.isEmpty() ? QString() : selected.first()->data(Qt::UserRole).toString());
}

void BackupsPanel::restoreSelected() {
  const QList<QListWidgetItem*> selected = files_->selectedItems();
  if (selected.isEmpty()) return;
  if (RestoreBackup(system_, selected.first()->text().toStdString()) == Restart::WithoutSaving &&
      restart_)
    restart_();
}

void AddStoreButtons(QGridLayout& grid, int row, System& system, QWidget& window,
                     std::function<void()> restart) {
  QWidget* parent = grid.parentWidget();
  auto* panel = new BackupsPanel(system, restart, &window);
  const auto add = [&](const char* name, const char* caption, const char* keys, int column,
                       auto action) {
    QPushButton* button = AddFilesButton(grid, row, column, name, caption);
    button->setShortcut(QKeySequence(keys));
    button->setToolTip(QString(keys));
    QObject::connect(button, &QPushButton::clicked, parent, action);
  };
  add("bBackups", "Backups Configuration", "Alt+B", 0, [panel] { panel->open(); });
  add("bSaveDefault", "Save All Setings as default", "Alt+S", 1, [&system] { SaveDefaults(system); });
  add("bRestoreDefault", "Restore Default", "Alt+D", 2, [&system, restart] {
    if (RestoreDefaults(system) == Restart::WithoutSaving && restart) restart();
  });
}

}  // namespace corvane::ui
