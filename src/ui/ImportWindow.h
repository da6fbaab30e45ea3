#pragma once
#include <QWidget>
#include <memory>

#include "import/ImportEditing.h"
#include "import/UndoRing.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTimer;

namespace corvane {
class System;
}

namespace corvane::ui {

class ImportView;

// The import window: pick a drawing, choose the layers to cut and to mark,
// edit, set kerf, leads and sequence, and send the result to the job.
class ImportWindow : public QWidget {
  Q_OBJECT

 public:
  explicit ImportWindow(System& system, QWidget* parent = nullptr);
  ~ImportWindow() override;

  // Shows the window over the main window, the last drawing selected again.
  void Open();
  // The folder the file list shows.
  void ShowFolder(const QString& folder, const QString& select = {});
  // Preview of a file (as a selection in the file list does).
  bool PreviewFile(const QString& path);
  // Load into the editor (the load button), adding beside the drawing (the add button).
  void LoadIntoEditor(bool ctrlHeld);
  void AddIntoEditor(bool above);
  // Processing again after an option change: at once, or after the one-shot for big drawings.
  void OptionChanged(ImportChange change);
  void ProcessNow();
  bool SendToJob();
  // The companion drawing program's export, when one is waiting: shown in the file list.
  void CheckCompanionExport();
  void Undo();
  // The "3D" button's data file "data.3d" for the drawing in the editor, the
  // tube on the rotary axis in its header when the axis is rotary; false
  // (with the error shown) when it cannot be written. Starts no viewer.
  bool WriteThreeDData();

  ImportSession& session() { return session_; }
  ImportView& view() { return *view_; }
  const UndoRing& undo() const { return undo_; }
  QTimer& reprocessTimer() { return *reprocessTimer_; }

 signals:
  void jobSent();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  // The slider captions are words of the language: a new one shows them again.
  int textsSubscription_ = 0;
  void BuildFileColumn(QWidget* column);
  void BuildOptionColumn(QWidget* column);
  void BuildEditButtons(QWidget* row);
  void BindKeys();
  QCheckBox* FieldBox(const char* field, const QString& caption, ImportChange change, QWidget* parent);
  QRadioButton* FieldRadio(const char* field, const QString& caption, ImportChange change, QWidget* parent);
  void FillLayerLists();
  std::vector<int> ChosenLayers(const QListWidget& list) const;
  void DrawPreview();
  void Edit(const std::function<void()>& operation, bool normalise);
  void Memo();
  void ShowNotCutLegend();
  // The opening size, within the screen's free area.
  void FitScreen();
  void UpdateSliderLabels();
  ImportProcessOptions Options() const;
  void ExportHpgl();
  void ShowThreeD();
  void ShowScalePanel(bool firstOnly);

  System& system_;
  ImportSession session_;
  UndoRing undo_;
  EditorClipboard clipboard_;
  int sequencePosition_ = -1;
  QString folder_;
  QString file_;

  QListWidget* files_ = nullptr;
  QLabel* preview_ = nullptr;
  QLabel* sizeText_ = nullptr;
  QListWidget* plasma_ = nullptr;
  QListWidget* markerLayers_ = nullptr;
  QLabel* markerCaption_ = nullptr;
  QPlainTextEdit* memo_ = nullptr;
  ImportView* view_ = nullptr;
  QSlider* zoom_ = nullptr;
  QSlider* tool_ = nullptr;
  QLabel* toolLabel_ = nullptr;
  QSlider* lead_ = nullptr;
  QLabel* leadLabel_ = nullptr;
  QSlider* sort_ = nullptr;
  QPushButton* send_ = nullptr;
  QLabel* notCutLegend_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* handly_ = nullptr;
  QTimer* reprocessTimer_ = nullptr;
};

}  // namespace corvane::ui
