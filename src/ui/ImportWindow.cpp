#include "ui/ImportWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QSlider>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

#include "import/CompanionExchange.h"
#include "import/HpglWriter.h"
#include "import/OwnViewer.h"
#include "import/ThreeDExport.h"
#include "import/SendToJob.h"
#include "system/System.h"
#include "ui/Captions.h"
#include "ui/FieldPanel.h"
#include "ui/ImportView.h"

namespace corvane::ui {
namespace {

constexpr int kPreviewWidth = 220, kPreviewHeight = 160;
// The window opens this large where the screen allows, and fits a 1024 × 768
// screen (less the frame and a panel) at its least.
constexpr int kOpenWidth = 1280, kOpenHeight = 800;
constexpr int kOptionColumnWidth = 250;

QColor PaletteColour(int layer) { return QColor::fromRgb(LayerColour(layer)); }

// A label that reports clicks with their button.
class ClickLabel : public QLabel {
 public:
  using QLabel::QLabel;
  std::function<void(Qt::MouseButton)> clicked;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (clicked) clicked(event->button());
  }
};

// A button that also answers the right mouse button.
class TwoButton : public QPushButton {
 public:
  using QPushButton::QPushButton;
  std::function<void(bool right)> pressed;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::RightButton && rect().contains(event->position().toPoint())) {
      setDown(false);
      if (pressed) pressed(true);
      return;
    }
    QPushButton::mouseReleaseEvent(event);
  }
};

bool CtrlHeld() { return QApplication::keyboardModifiers() & Qt::ControlModifier; }

}  // namespace

ImportWindow::ImportWindow(System& system, QWidget* parent)
    : QWidget(parent, Qt::Window), system_(system), session_(system.log) {
  textsSubscription_ = system_.texts.subscribe([this] { UpdateSliderLabels(); });
  setObjectName("ImportWindow");
  setWindowTitle("import");
  resize(kOpenWidth, kOpenHeight);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(4);
  auto* left = new QWidget(this);
  auto* centre = new QWidget(this);
  auto* right = new QWidget(this);
  left->setFixedWidth(kPreviewWidth + 16);
  right->setFixedWidth(kOptionColumnWidth);
  layout->addWidget(left);
  layout->addWidget(centre, 1);
  layout->addWidget(right);

  auto* centreLayout = new QVBoxLayout(centre);
  centreLayout->setContentsMargins(0, 0, 0, 0);
  view_ = new ImportView(session_, centre);
  centreLayout->addWidget(view_, 1);
  zoom_ = new QSlider(Qt::Horizontal, centre);
  zoom_->setObjectName("zoom");
  zoom_->setRange(1, 20);
  zoom_->setValue(10);
  centreLayout->addWidget(zoom_);
  // What the colour of the contours the tool cannot cut means; shown while there are any.
  notCutLegend_ = new QLabel(centre);
  notCutLegend_->setObjectName("TooSmallLegend");
  notCutLegend_->setTextFormat(Qt::RichText);
  notCutLegend_->hide();
  centreLayout->addWidget(notCutLegend_);
  auto* buttons = new QWidget(centre);
  centreLayout->addWidget(buttons);
  connect(zoom_, &QSlider::valueChanged, this, [this](int value) { view_->setZoom(value); });

  ClearCompanionMarker(system_.paths, system_.log);
  auto* exchange = new QTimer(this);
  exchange->setObjectName("CompanionExchange");
  connect(exchange, &QTimer::timeout, this, &ImportWindow::CheckCompanionExport);
  exchange->start(1000);

  reprocessTimer_ = new QTimer(this);
  reprocessTimer_->setSingleShot(true);
  connect(reprocessTimer_, &QTimer::timeout, this, &ImportWindow::ProcessNow);

  BuildFileColumn(left);
  BuildOptionColumn(right);
  BuildEditButtons(buttons);
  BindKeys();

  view_->beforeEdit = [this] {
    if (!session_.cutting.empty()) undo_.Push(session_.Snapshot());
  };
  view_->afterDrag = [this] { ProcessNow(); };
  view_->choiceChanged = [this] { view_->update(); };
  view_->rightClick = [this](const ClipperLib::IntPoint& at) {
    if (session_.ChangeStart(at, 3 * view_->displayScale(), Options())) view_->update();
  };
  view_->sequenceClick = [this](std::size_t contour) {
    if (PlaceInSequence(session_, contour, sequencePosition_) == SequenceClick::Finished) {
      system_.host.beep();
      view_->update();
      QTimer::singleShot(500, this, [this] { handly_->setChecked(false); });
    }
    system_.fields.setText(Window::Import, "eSortH", std::to_string(sequencePosition_));
    ProcessNow();
  };
}

ImportWindow::~ImportWindow() { system_.texts.unsubscribe(textsSubscription_); }

QCheckBox* ImportWindow::FieldBox(const char* field, const QString& caption, ImportChange change,
                                  QWidget* parent) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(field);
  box->setChecked(system_.fields.checked(Window::Import, field));
  connect(box, &QCheckBox::toggled, this, [this, field, change](bool on) {
    system_.fields.setChecked(Window::Import, field, on);
    OptionChanged(change);
  });
  return box;
}

QRadioButton* ImportWindow::FieldRadio(const char* field, const QString& caption, ImportChange change,
                                       QWidget* parent) {
  auto* radio = new QRadioButton(caption, parent);
  radio->setObjectName(field);
  radio->setChecked(system_.fields.checked(Window::Import, field));
  connect(radio, &QRadioButton::toggled, this, [this, field, change](bool on) {
    system_.fields.setChecked(Window::Import, field, on);
    if (on) OptionChanged(change);
  });
  return radio;
}

void ImportWindow::BuildFileColumn(QWidget* column) {
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* row = new QHBoxLayout;
  auto* open = new QPushButton("Open...", column);
  open->setObjectName("OpenFile");
  auto* examples = new QPushButton("EX", column);
  examples->setObjectName("Examples");
  examples->setToolTip("Examples");
  auto* byDate = new QPushButton("Date", column);
  byDate->setObjectName("DateOrder");
  byDate->setToolTip("Newest files first");
  byDate->setCheckable(true);
  byDate->setChecked(system_.fields.checked(Window::Import, "cDateTime"));
  row->addWidget(open);
  row->addWidget(examples);
  row->addWidget(byDate);
  layout->addLayout(row);
  files_ = new QListWidget(column);
  files_->setObjectName("FileList");
  layout->addWidget(files_, 2);
  preview_ = new QLabel(column);
  preview_->setObjectName("Preview");
  preview_->setFixedSize(kPreviewWidth, kPreviewHeight);
  layout->addWidget(preview_);
  sizeText_ = new QLabel(column);
  sizeText_->setObjectName("SizeText");
  layout->addWidget(sizeText_);
  layout->addWidget(new QLabel("plasma", column));
  plasma_ = new QListWidget(column);
  plasma_->setObjectName("PlasmaLayers");
  plasma_->setSelectionMode(QAbstractItemView::MultiSelection);
  layout->addWidget(plasma_, 1);
  markerCaption_ = new QLabel("Grav / Scriber / Marker", column);
  layout->addWidget(markerCaption_);
  markerLayers_ = new QListWidget(column);
  markerLayers_->setObjectName("MarkerLayers");
  markerLayers_->setSelectionMode(QAbstractItemView::MultiSelection);
  layout->addWidget(markerLayers_, 1);
  auto* loadRow = new QHBoxLayout;
  auto* load = new QPushButton("Load", column);
  load->setObjectName("LoadButton");
  add_ = new TwoButton("Add", column);
  add_->setObjectName("AddButton");
  add_->setEnabled(false);
  loadRow->addWidget(load);
  loadRow->addWidget(add_);
  memo_ = new QPlainTextEdit(column);
  memo_->setObjectName("Memo");
  memo_->setReadOnly(true);
  layout->addWidget(memo_, 1);
  // At the foot of the column, as "Send to job" is at the foot of the other:
  // in the same place on every screen.
  layout->addLayout(loadRow);

  connect(files_, &QListWidget::currentTextChanged, this, [this](const QString& name) {
    if (!name.isEmpty()) PreviewFile(QDir(folder_).filePath(name));
  });
  connect(open, &QPushButton::clicked, this, [this] {
    const QString path = QFileDialog::getOpenFileName(this, "Open", folder_,
                                                      "All Supported Files (*.plt *.dxf *.tap *.txt *.2d *.cam)");
    if (!path.isEmpty()) ShowFolder(QFileInfo(path).absolutePath(), QFileInfo(path).fileName());
  });
  connect(examples, &QPushButton::clicked, this, [this] {
    ShowFolder(QString::fromStdString(system_.paths.programFolder + "example"), "CorvaneCNC.plt");
  });
  connect(byDate, &QPushButton::toggled, this, [this](bool on) {
    system_.fields.setChecked(Window::Import, "cDateTime", on);
    ShowFolder(folder_, files_->currentItem() ? files_->currentItem()->text() : QString());
  });
  // Choosing a layer for one list unchooses it in the other.
  auto exclusive = [](QListWidget* from, QListWidget* other) {
    connect(from, &QListWidget::itemSelectionChanged, from, [from, other] {
      for (int i = 0; i < from->count() && i < other->count(); ++i)
        if (from->item(i)->isSelected() && other->item(i)->isSelected()) other->item(i)->setSelected(false);
    });
  };
  exclusive(plasma_, markerLayers_);
  exclusive(markerLayers_, plasma_);
  connect(load, &QPushButton::clicked, this, [this] { LoadIntoEditor(CtrlHeld()); });
  static_cast<TwoButton*>(add_)->pressed = [this](bool right) { AddIntoEditor(right); };
  connect(add_, &QPushButton::clicked, this, [this] { AddIntoEditor(false); });
}

void ImportWindow::BuildOptionColumn(QWidget* right) {
  // The options scroll where the screen is low; "Send to job" stays below them in sight.
  auto* outer = new QVBoxLayout(right);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* scroll = new QScrollArea(right);
  scroll->setObjectName("OptionScroll");
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  auto* column = new QWidget(scroll);
  column->setObjectName("OptionColumn");
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 2, 0);
  layout->addWidget(FieldBox("cCalc", "Use Pellary", ImportChange::Offset, column));
  auto* offset = new QGroupBox(column);
  auto* offsetLayout = new QVBoxLayout(offset);
  offsetLayout->addWidget(FieldBox("cOffsetActive", "Offset", ImportChange::Offset, offset));
  auto* sides = new QHBoxLayout;
  sides->addWidget(FieldRadio("rOutside", "Outside", ImportChange::Offset, offset));
  sides->addWidget(FieldRadio("rInside", "Inside", ImportChange::Offset, offset));
  offsetLayout->addLayout(sides);
  tool_ = new QSlider(Qt::Horizontal, offset);
  tool_->setObjectName("TrackBar1");
  tool_->setRange(1, 50);
  tool_->setValue(system_.parser.ParseInt1(system_.fields.text(Window::Import, "eOffset")));
  offsetLayout->addWidget(tool_);
  toolLabel_ = new ClickLabel(offset);
  toolLabel_->setObjectName("ToolLabel");
  offsetLayout->addWidget(toolLabel_);
  offsetLayout->addWidget(FieldBox("cSpaw", "connect paths", ImportChange::Offset, offset));
  layout->addWidget(offset);

  auto* leads = new QGroupBox(column);
  auto* leadLayout = new QVBoxLayout(leads);
  auto* leadIn = FieldBox("cLeadIn", "LeadIn", ImportChange::Lead, leads);
  auto* leadOut = FieldBox("cLeadOut", "LeadOut", ImportChange::Lead, leads);
  leadOut->setEnabled(leadIn->isChecked());
  connect(leadIn, &QCheckBox::toggled, leadOut, [leadOut](bool on) {
    leadOut->setEnabled(on);
    if (!on) leadOut->setChecked(false);
  });
  auto* leadRow = new QHBoxLayout;
  leadRow->addWidget(leadIn);
  leadRow->addWidget(leadOut);
  leadLayout->addLayout(leadRow);
  auto* shapes = new QHBoxLayout;
  shapes->addWidget(FieldBox("cLeadIn2", "LeadIn2", ImportChange::Lead, leads));
  shapes->addWidget(FieldBox("cLeadOut2", "LeadOut2", ImportChange::Lead, leads));
  leadLayout->addLayout(shapes);
  lead_ = new QSlider(Qt::Horizontal, leads);
  lead_->setObjectName("TrackBar3");
  const int leadPosition = system_.parser.ParseInt1(system_.fields.text(Window::Import, "eLead"));
  lead_->setRange(1, leadPosition < 21 ? 20 : 50);
  lead_->setValue(leadPosition);
  leadLayout->addWidget(lead_);
  leadLabel_ = new ClickLabel(leads);
  leadLabel_->setObjectName("LeadLabel");
  leadLayout->addWidget(leadLabel_);
  auto* ratioRow = new QHBoxLayout;
  ratioRow->addWidget(new QLabel("LeadIn / LeadOut", leads));
  auto* ratio = new QLineEdit(QString::fromStdString(system_.fields.text(Window::Import, "eInOut")), leads);
  ratio->setObjectName("eInOut");
  ratioRow->addWidget(ratio);
  leadLayout->addLayout(ratioRow);
  layout->addWidget(leads);
  connect(ratio, &QLineEdit::editingFinished, this, [this, ratio] {
    system_.fields.setText(Window::Import, "eInOut", ratio->text().toStdString());
    UpdateSliderLabels();
    OptionChanged(ImportChange::Lead);
  });

  auto* sort = new QGroupBox("sort", column);
  auto* sortLayout = new QGridLayout(sort);
  sortLayout->addWidget(FieldRadio("rSort2", "top left", ImportChange::Sort, sort), 0, 0);
  sortLayout->addWidget(FieldRadio("rSort3", "top right", ImportChange::Sort, sort), 0, 1);
  sortLayout->addWidget(FieldRadio("rSort5", "centre", ImportChange::Sort, sort), 1, 0);
  sortLayout->addWidget(FieldRadio("rSort0", "Disable", ImportChange::Sort, sort), 1, 1);
  sortLayout->addWidget(FieldRadio("rSort1", "bottom left", ImportChange::Sort, sort), 2, 0);
  sortLayout->addWidget(FieldRadio("rSort4", "bottom right", ImportChange::Sort, sort), 2, 1);
  sort_ = new QSlider(Qt::Horizontal, sort);
  sort_->setObjectName("TrackBar2");
  sort_->setRange(-5, 5);
  sort_->setValue(system_.parser.ParseInt1(system_.fields.text(Window::Import, "eSort")));
  sortLayout->addWidget(sort_, 3, 0, 1, 2);
  layout->addWidget(sort);

  auto* numbers = new QCheckBox("Show Numbers", column);
  numbers->setObjectName("cNumb");
  numbers->setChecked(system_.fields.checked(Window::Import, "cNumb"));
  connect(numbers, &QCheckBox::toggled, this, [this](bool on) {
    system_.fields.setChecked(Window::Import, "cNumb", on);
    view_->setShowNumbers(on);
    view_->update();
  });
  layout->addWidget(numbers);
  auto* configuration = new QPushButton("Configuration", column);
  configuration->setObjectName("ImportConfiguration");
  layout->addWidget(configuration);
  connect(configuration, &QPushButton::clicked, this, [this] {
    // Options that change how the drawing is read show it again.
    const auto readingOptions = [this] {
      std::string key;
      for (const char* box : {"cDXFForceMM", "cDXFForceINCH", "cFastCalc"})
        key += system_.fields.checked(Window::Import, box) ? '1' : '0';
      for (const char* field : {"eScaleHPGL", "eScaleDXF", "eScaleTAP"}) key += "|" + system_.fields.text(Window::Import, field);
      return key;
    };
    const std::string before = readingOptions();
    QDialog dialog(this);
    dialog.setWindowTitle("Configuration");
    auto* dialogLayout = new QVBoxLayout(&dialog);
    dialogLayout->addWidget(CreateFieldPanel(system_.fields, Window::Import, &dialog));
    auto* ok = new QPushButton("OK", &dialog);
    dialogLayout->addWidget(ok);
    connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    ShowCaptions(&dialog, system_.messages);
    dialog.exec();
    if (readingOptions() != before && !file_.isEmpty()) PreviewFile(file_);
    OptionChanged(ImportChange::Offset);
  });
  layout->addStretch(1);
  scroll->setWidget(column);
  outer->addWidget(scroll, 1);
  send_ = new QPushButton("Send to job", right);
  send_->setObjectName("SendButton");
  send_->setEnabled(false);
  send_->setMinimumHeight(40);
  outer->addWidget(send_);
  connect(send_, &QPushButton::clicked, this, &ImportWindow::SendToJob);

  connect(tool_, &QSlider::valueChanged, this, [this](int value) {
    system_.fields.setText(Window::Import, "eOffset", std::to_string(value));
    UpdateSliderLabels();
    if (system_.fields.checked(Window::Import, "cOffsetActive")) OptionChanged(ImportChange::Offset);
  });
  connect(lead_, &QSlider::valueChanged, this, [this](int value) {
    system_.fields.setText(Window::Import, "eLead", std::to_string(value));
    UpdateSliderLabels();
    if (system_.fields.checked(Window::Import, "cLeadIn")) OptionChanged(ImportChange::Lead);
  });
  connect(sort_, &QSlider::valueChanged, this, [this](int value) {
    system_.fields.setText(Window::Import, "eSort", std::to_string(value));
    OptionChanged(ImportChange::Sort);
  });
  static_cast<ClickLabel*>(leadLabel_)->clicked = [this](Qt::MouseButton) {
    lead_->setMaximum(lead_->maximum() == 20 ? 50 : 20);
  };
  static_cast<ClickLabel*>(toolLabel_)->clicked = [this](Qt::MouseButton) {
    bool ok = false;
    const QString value = QInputDialog::getText(this, "tool/offset", "Put your value", QLineEdit::Normal, "0", &ok);
    if (!ok) return;
    system_.fields.setText(Window::Import, "Edit1", value.trimmed().isEmpty() ? "0" : value.trimmed().toStdString());
    UpdateSliderLabels();
    OptionChanged(ImportChange::Offset);
  };
  UpdateSliderLabels();
}

void ImportWindow::UpdateSliderLabels() {
  const bool inches = system_.parser.imperial;
  const std::string typed = system_.fields.text(Window::Import, "Edit1");
  const bool slider = typed.empty() || typed == "0";
  tool_->setVisible(slider);
  const int t = tool_->value();
  const QString offset = Tr(system_.messages, "Offset");
  const QString in = Tr(system_.messages, "In");
  const QString out = Tr(system_.messages, "Out");
  if (!slider)
    toolLabel_->setText(QString("%1 : %2").arg(Tr(system_.messages, "Tool size"), QString::fromStdString(typed)));
  else if (inches)
    toolLabel_->setText(QString(" %1in   %3 %2in").arg(t / 200.0, 0, 'f', 3).arg(t / 400.0, 0, 'f', 3).arg(offset));
  else
    toolLabel_->setText(QString(" %1mm   %3 %2mm").arg(t / 10.0).arg(t / 20.0).arg(offset));
  const double ratio = std::max(0.0001, system_.parser.ParseFloat(system_.fields.text(Window::Import, "eInOut")));
  const int l = lead_->value();
  if (inches)
    leadLabel_->setText(QString("%3 %1in %4 %2in").arg(l / 20.0, 0, 'f', 2).arg(l / (ratio * 20), 0, 'f', 2).arg(in, out));
  else
    leadLabel_->setText(QString("%3 %1mm %4 %2mm").arg(double(l), 0, 'f', 1).arg(l / ratio, 0, 'f', 1).arg(in, out));
}

void ImportWindow::BuildEditButtons(QWidget* row) {
  // Rows of five, so the window fits a 1024-pixel screen.
  constexpr int kPerRow = 5;
  auto* layout = new QGridLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  int placed = 0;
  auto button = [&](const char* name, const QString& caption, const QString& hint) {
    auto* b = new TwoButton(caption, row);
    b->setObjectName(name);
    b->setToolTip(hint);
    layout->addWidget(b, placed / kPerRow, placed % kPerRow);
    ++placed;
    return b;
  };
  auto rotate = [this](bool counterClockwise, bool right) {
    const double angle = RotateStep(right, CtrlHeld());
    Edit([this, angle, counterClockwise] { RotateChosen(session_, counterClockwise ? angle : -angle); }, true);
    view_->ResetView();
  };
  TwoButton* left = button("SpeedButton12", "\u21BA", "Right = 3deg ; ctrl = 0.25deg");
  TwoButton* rightTurn = button("SpeedButton13", "\u21BB", "Right = 3deg ; ctrl = 0.25deg");
  left->pressed = [rotate](bool right) { rotate(true, right); };
  rightTurn->pressed = [rotate](bool right) { rotate(false, right); };
  connect(left, &QPushButton::clicked, this, [rotate] { rotate(true, false); });
  connect(rightTurn, &QPushButton::clicked, this, [rotate] { rotate(false, false); });
  TwoButton* mirrorX = button("MirrorX", "Mirror X", "");
  TwoButton* mirrorY = button("MirrorY", "Mirror Y", "");
  connect(mirrorX, &QPushButton::clicked, this, [this] { Edit([this] { MirrorChosen(session_, true); }, false); });
  connect(mirrorY, &QPushButton::clicked, this, [this] { Edit([this] { MirrorChosen(session_, false); }, false); });
  TwoButton* scale = button("ScaleButton", "Scale", "");
  scale->pressed = [this](bool right) { ShowScalePanel(right); };
  connect(scale, &QPushButton::clicked, this, [this] { ShowScalePanel(false); });
  TwoButton* disable = button("DisableButton", "DISABLE", "");
  connect(disable, &QPushButton::clicked, this, [this] {
    if (NothingChosen(session_)) return;
    Edit([this] { DisableChosen(session_); }, false);
  });
  TwoButton* remove = button("DeleteButton", "DELETE", "");
  connect(remove, &QPushButton::clicked, this, [this] { Edit([this] { DeleteChosen(session_); }, false); });
  TwoButton* undo = button("UndoButton", "CTRL + Z", "");
  connect(undo, &QPushButton::clicked, this, &ImportWindow::Undo);
  TwoButton* copy = button("CopyPaste", "CTRL+ C ; CTRL + V", "");
  auto copyPaste = [this](bool above) {
    CopyChosen(session_, clipboard_,
               PasteGap(system_.fields.text(Window::Import, "xDist"), tool_->value(), system_.parser));
    Edit([this, above] { Paste(session_, clipboard_, above); }, false);
  };
  copy->pressed = copyPaste;
  connect(copy, &QPushButton::clicked, this, [copyPaste] { copyPaste(false); });
  TwoButton* apply = button("ApplyButton", "CTRL + Q", "");
  connect(apply, &QPushButton::clicked, this, [this] {
    if (!system_.fields.checked(Window::Import, "cCalc")) return;
    Edit([this] { session_.ApplyProcessing(Options()); }, false);
    findChild<QCheckBox*>("cCalc")->setChecked(false);
    view_->ResetView();
  });
  handly_ = button("Handly", "Handly", "");
  handly_->setCheckable(true);
  connect(handly_, &QPushButton::toggled, this, [this](bool on) {
    view_->setManualSequence(on);
    sequencePosition_ = on ? 0 : -1;
    if (on) {
      if (!session_.cutting.empty()) undo_.Push(session_.Snapshot());
      ChooseNone(session_);
      system_.fields.setText(Window::Import, "eSortH", "0");
    }
    view_->update();
  });
  TwoButton* hpgl = button("ExportButton", "Export", "Export ( CTRL + E )");
  connect(hpgl, &QPushButton::clicked, this, &ImportWindow::ExportHpgl);
  TwoButton* threeD = button("ThreeDButton", "3D", "3D preview");
  connect(threeD, &QPushButton::clicked, this, &ImportWindow::ShowThreeD);
  TwoButton* companion = button("CompanionButton", "Lintora", "Drawing program");
  connect(companion, &QPushButton::clicked, this, [this] {
    const CompanionStart start = StartCompanion(system_.paths, system_.log);
    if (start.outcome == CompanionStart::Outcome::NotInstalled || start.outcome == CompanionStart::Outcome::Failed)
      system_.host.showError(start.message);
  });
}

bool ImportWindow::WriteThreeDData() {
  ThreeDSettings settings;
  settings.thickness = system_.fields.text(Window::Import, "xThick");
  settings.outside = !system_.fields.checked(Window::Import, "rInside");
  settings.disabledMinX = session_.disabledMinX();
  settings.extentY = session_.extentY();
  // The tube on the rotary axis, as its set-up left it (0.01 mm).
  const RotaryState& rotary = system_.rotary;
  if (rotary.pipe()) {
    settings.rotary = ThreeDSettings::Rotary::Pipe;
    settings.pipeDiameter = rotary.tube.diameter;
  } else if (rotary.profile()) {
    settings.rotary = ThreeDSettings::Rotary::Profile;
    settings.profileWidth = rotary.tube.width;
    settings.profileHeight = rotary.tube.height;
    settings.cornerRadius = rotary.tube.radius;
  }
  std::string fix;
  const FileResult written =
      WriteThreeDFile(ThreeDDataPath(system_.paths), session_.cutting, settings, system_.parser, &fix);
  if (!fix.empty()) system_.fields.setText(Window::Import, "xThick", fix);
  if (!written) system_.host.showError(written.error);
  return bool(written);
}

void ImportWindow::ShowThreeD() {
  ChooseNone(session_);
  view_->update();
  CloseThreeDViewers(system_.paths, system_.log);
  if (session_.importPaths().empty()) return;
  if (!WriteThreeDData()) return;
  memo_->appendPlainText(kThreeDDoneMemo);
  if (StartThreeDViewer(system_.paths, system_.log)) return;
  // No other viewer installed: our own, which follows the file once it is open.
  const std::string bin = RunningExecutableFolder();
  if (ProcessesRunning(WithSlash(bin) + "corvane-3d").empty())
    StartOwnThreeDViewer(bin, ThreeDDataPath(system_.paths), system_.log);
}

void ImportWindow::CheckCompanionExport() {
  if (!isVisible()) return;
  const auto drawing = PollCompanionExport(system_.paths, system_.log);
  if (!drawing) return;
  // The program's example folder may not be writable: the copy goes to the desktop then.
  QString folder = folder_;
  if (QDir(folder) == QDir(QString::fromStdString(system_.paths.programFolder + "example")) ||
      !QFileInfo(folder).isWritable())
    folder = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  QDir().mkpath(folder);
  const auto copy = CopyCompanionExport(*drawing, folder.toStdString(), system_.log);
  if (copy) ShowFolder(folder, kCompanionCopyName);
}

void ImportWindow::BindKeys() {
  auto key = [this](const QKeySequence& sequence, std::function<void()> action) {
    auto* shortcut = new QShortcut(sequence, this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, std::move(action));
  };
  key(QKeySequence("Ctrl+A"), [this] {
    ChooseAll(session_);
    view_->update();
  });
  key(QKeySequence("Ctrl+C"), [this] {
    CopyChosen(session_, clipboard_,
               PasteGap(system_.fields.text(Window::Import, "xDist"), tool_->value(), system_.parser));
  });
  key(QKeySequence("Ctrl+V"), [this] { Edit([this] { Paste(session_, clipboard_, false); }, false); });
  key(QKeySequence("Ctrl+D"), [this] {
    CopyChosen(session_, clipboard_,
               PasteGap(system_.fields.text(Window::Import, "xDist"), tool_->value(), system_.parser));
    Edit([this] { Paste(session_, clipboard_, false); }, false);
  });
  key(QKeySequence("Ctrl+Q"), [this] { findChild<QPushButton*>("ApplyButton")->click(); });
  key(QKeySequence("Ctrl+E"), [this] { ExportHpgl(); });
  key(QKeySequence("Ctrl+Z"), [this] { Undo(); });
  key(QKeySequence(Qt::Key_Delete), [this] { Edit([this] { DeleteChosen(session_); }, false); });
  key(QKeySequence(Qt::Key_Plus), [this] { tool_->setMaximum(100); });
  key(QKeySequence(Qt::Key_Minus), [this] { tool_->setMaximum(50); });
}

ImportProcessOptions ImportWindow::Options() const {
  return ReadImportProcessOptions(system_.fields, system_.advanced, system_.parser);
}

void ImportWindow::Open() {
  // Nothing it sends could replace a job that runs: it does not open then.
  if (system_.RefusedWhileBusy()) return;
  system_.store.JobSentFromImport = false;
  // The very first show reads DXF drawings in their own units.
  if (!system_.fields.checked(Window::Import, "cUn")) {
    system_.fields.setChecked(Window::Import, "cDXFForceMM", false);
    system_.fields.setChecked(Window::Import, "cDXFForceINCH", false);
    system_.fields.setChecked(Window::Import, "cUn", true);
  }
  setWindowModality(Qt::ApplicationModal);
  UpdateSliderLabels();
  const QString last = QString::fromStdString(system_.fields.text(Window::Import, "eFileName"));
  if (!last.isEmpty() && QFileInfo(last).isFile())
    ShowFolder(QFileInfo(last).absolutePath(), QFileInfo(last).fileName());
  else
    ShowFolder(QString::fromStdString(system_.paths.programFolder + "example"), "CorvaneCNC.plt");
  FitScreen();
  show();
  raise();
  activateWindow();
}

void ImportWindow::FitScreen() {
  const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  // The frame of the window manager, or a guess before the first show.
  const QSize frame = isVisible() ? frameGeometry().size() - size() : QSize(16, 40);
  const QRect available = screen->availableGeometry();
  resize(QSize(kOpenWidth, kOpenHeight).boundedTo(available.size() - frame).expandedTo(minimumSizeHint()));
}

void ImportWindow::ShowFolder(const QString& folder, const QString& select) {
  folder_ = folder;
  QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
  if (system_.fields.checked(Window::Import, "cDateTime"))
    std::stable_sort(entries.begin(), entries.end(), [](const QFileInfo& a, const QFileInfo& b) {
      return a.lastModified() > b.lastModified();
    });
  const QSignalBlocker block(files_);
  files_->clear();
  for (const QFileInfo& entry : entries)
    if (DrawingFormatFor(entry.fileName().toStdString()) != DrawingFormat::Unknown) files_->addItem(entry.fileName());
  const auto found = files_->findItems(select, Qt::MatchExactly);
  if (!found.isEmpty()) {
    files_->setCurrentItem(found.front());
    PreviewFile(QDir(folder_).filePath(select));
  }
}

bool ImportWindow::PreviewFile(const QString& path) {
  file_ = path;
  files_->setEnabled(false);
  const std::string errorPicture = system_.paths.programFolder + "example/CorvaneCNC.err";
  const bool read = session_.Preview(path.toStdString(), ReadImportReadOptions(system_.fields, system_.advanced, system_.parser),
                                     system_.parser, errorPicture);
  if (!read) system_.host.beep();
  system_.fields.setText(Window::Import, "eFileName", path.toStdString());
  FillLayerLists();
  DrawPreview();
  sizeText_->setText(QString::fromStdString(session_.SizeText(system_.parser.imperial)));
  files_->setEnabled(true);
  Memo();
  return read;
}

void ImportWindow::FillLayerLists() {
  plasma_->clear();
  markerLayers_->clear();
  const std::vector<int> layers = session_.PresentLayers();
  const bool material = std::find(layers.begin(), layers.end(), 252) != layers.end();
  for (const std::string& line : LayerLines(layers)) {
    const int layer = LayerOfLine(line, system_.parser);
    QPixmap bar(15, 12);
    bar.fill(PaletteColour(layer < 0 ? 252 : layer));
    for (QListWidget* list : {plasma_, markerLayers_}) list->addItem(new QListWidgetItem(QIcon(bar), QString::fromStdString(line)));
  }
  for (int i = 0; i < plasma_->count(); ++i) plasma_->item(i)->setSelected(i == 0 || !material);
}

std::vector<int> ImportWindow::ChosenLayers(const QListWidget& list) const {
  std::vector<int> layers;
  for (int i = 0; i < list.count(); ++i)
    if (list.item(i)->isSelected()) {
      const int layer = LayerOfLine(list.item(i)->text().toStdString(), system_.parser);
      if (layer >= 0) layers.push_back(layer);
    }
  return layers;
}

void ImportWindow::DrawPreview() {
  QPixmap picture(kPreviewWidth, kPreviewHeight);
  picture.fill(Qt::white);
  QPainter painter(&picture);
  const TPaths& paths = session_.importPaths();
  const ImportExtents e = ExtentsOf(paths);
  if (e.any) {
    const double w = static_cast<double>(e.maxX - e.minX), h = static_cast<double>(e.maxY - e.minY);
    const double scale = std::max(1.0, std::max(w / (kPreviewWidth - 10), h / (kPreviewHeight - 10)));
    const double ox = (kPreviewWidth - w / scale) / 2, oy = (kPreviewHeight - h / scale) / 2;
    for (const TPath& path : paths) {
      if (path.size() < 2) continue;
      const int layer = path.front().Y == kLayerMaterialRead ? 252 : static_cast<int>(path.front().Y & 0xFF);
      painter.setPen(PaletteColour(layer));
      QPolygonF line;
      for (std::size_t i = 1; i < path.size(); ++i)
        line << QPointF(ox + static_cast<double>(path[i].X - e.minX) / scale,
                        kPreviewHeight - oy - static_cast<double>(path[i].Y - e.minY) / scale);
      painter.drawPolyline(line);
    }
  }
  painter.end();
  preview_->setPixmap(picture);
}

void ImportWindow::LoadIntoEditor(bool ctrlHeld) {
  if (!session_.cutting.empty()) undo_.Push(session_.Snapshot());
  zoom_->setValue(10);
  session_.LoadIntoEditor(ChosenLayers(*plasma_), ChosenLayers(*markerLayers_), ctrlHeld, Options());
  ChooseAll(session_);
  const ImportProcessOptions o = Options();
  view_->setBuiltIn(o.builtIn, o.offset);
  view_->setInches(system_.parser.imperial);
  view_->ResetView();
  send_->setEnabled(true);
  add_->setEnabled(true);
  Memo();
}

void ImportWindow::AddIntoEditor(bool above) {
  if (!session_.cutting.empty()) undo_.Push(session_.Snapshot());
  const double distance = system_.parser.ParseFloat2(system_.fields.text(Window::Import, "xDist"));
  const ClipperLib::cInt gap = distance < 0.001 ? static_cast<ClipperLib::cInt>(tool_->value()) * 30
                                                : static_cast<ClipperLib::cInt>(std::llround(distance * 100));
  session_.AddIntoEditor(ChosenLayers(*plasma_), above, gap, Options());
  send_->setEnabled(true);
  zoom_->setValue(10);
  view_->ResetView();
  Memo();
}

void ImportWindow::OptionChanged(ImportChange change) {
  const ImportProcessOptions o = Options();
  view_->setBuiltIn(o.builtIn, o.offset);
  if (!isVisible() || session_.cutting.empty()) return;
  if (ReprocessAtOnce(change, session_.cutting.size(), VertexCount(session_.cutting)))
    ProcessNow();
  else
    reprocessTimer_->start(kReprocessDelayMs);
}

void ImportWindow::ProcessNow() {
  reprocessTimer_->stop();
  session_.Process(Options());
  view_->update();
  Memo();
}

void ImportWindow::ShowNotCutLegend() {
  const std::size_t count = session_.tooSmall().size();
  notCutLegend_->setVisible(count > 0);
  if (count == 0) return;
  notCutLegend_->setText(QString("<span style=\"color:%1; font-weight:bold\">&#9679;</span> "
                                 "Too small for the tool: not cut (%2)")
                             .arg(TooSmallColour().name())
                             .arg(count));
}

void ImportWindow::Edit(const std::function<void()>& operation, bool normalise) {
  if (!session_.cutting.empty()) undo_.Push(session_.Snapshot());
  operation();
  if (normalise) session_.Normalise();
  ProcessNow();
}

void ImportWindow::Undo() {
  auto snapshot = undo_.Pop();
  if (!snapshot) return;
  session_.Restore(std::move(*snapshot));
  ProcessNow();
}

bool ImportWindow::SendToJob() {
  if (reprocessTimer_->isActive()) ProcessNow();
  if (!SendImportToJob(system_, session_, Options())) return false;
  hide();
  emit jobSent();
  return true;
}

void ImportWindow::Memo() {
  // The memo follows every load and processing; so does the legend.
  ShowNotCutLegend();
  QStringList lines;
  for (const std::string& line : session_.memo()) lines << QString::fromStdString(line);
  memo_->setPlainText(lines.join('\n'));
}

void ImportWindow::ExportHpgl() {
  const QString name = QFileDialog::getSaveFileName(this, "Export", folder_, "HPGL (*.plt)");
  if (name.isEmpty()) return;
  const FileResult written = WriteHpgl(name.toStdString(), session_.disabled, session_.cutting);
  if (!written) system_.host.showError(written.error);
}

void ImportWindow::ShowScalePanel(bool firstOnly) {
  const ChosenSize size = SizeOfChosen(session_, firstOnly);
  QDialog panel(this);
  panel.setWindowTitle("Scale");
  auto* layout = new QGridLayout(&panel);
  layout->addWidget(new QLabel("Current size", &panel), 0, 0);
  auto* sizeX = new ClickLabel(QString::number(static_cast<double>(size.width) / 100, 'f', 2), &panel);
  auto* sizeY = new ClickLabel(QString::number(static_cast<double>(size.height) / 100, 'f', 2), &panel);
  layout->addWidget(sizeX, 0, 1);
  layout->addWidget(sizeY, 0, 2);
  layout->addWidget(new QLabel("Scaling to", &panel), 1, 0);
  auto* factor = new QLineEdit("1,000", &panel);
  factor->setObjectName("eScale");
  layout->addWidget(factor, 1, 1, 1, 2);
  auto* ok = new QPushButton("OK", &panel);
  auto* okX = new QPushButton("OK X", &panel);
  auto* okY = new QPushButton("OK Y", &panel);
  auto* inToMm = new QPushButton("in -> mm", &panel);
  auto* mmToIn = new QPushButton("mm -> in", &panel);
  auto* cancel = new QPushButton("Cancel", &panel);
  okX->hide();
  okY->hide();
  layout->addWidget(ok, 2, 0);
  layout->addWidget(inToMm, 2, 1);
  layout->addWidget(mmToIn, 2, 2);
  layout->addWidget(cancel, 3, 2);
  auto scale = [this, factor, firstOnly, &panel](bool x, bool y) {
    const double f = system_.parser.ParseFloat(factor->text().toStdString());
    if (f > 0) Edit([&] { ScaleChosen(session_, x ? f : 1.0, y ? f : 1.0, firstOnly); }, true);
    panel.accept();
  };
  connect(ok, &QPushButton::clicked, &panel, [scale] { scale(true, true); });
  connect(okX, &QPushButton::clicked, &panel, [scale] { scale(true, false); });
  connect(okY, &QPushButton::clicked, &panel, [scale] { scale(false, true); });
  connect(inToMm, &QPushButton::clicked, &panel, [factor] { factor->setText("0.03937"); });
  connect(mmToIn, &QPushButton::clicked, &panel, [factor] { factor->setText("25,4"); });
  connect(cancel, &QPushButton::clicked, &panel, &QDialog::reject);
  auto entry = [this, factor, scale, &panel](const char* axis, double current, QPushButton* only) {
    return [=, this, &panel](Qt::MouseButton button) {
      bool accepted = false;
      const QString value = QInputDialog::getText(&panel, "scale", axis, QLineEdit::Normal,
                                                  QString::number(current, 'f', 2), &accepted);
      if (!accepted || current <= 0) return;
      factor->setText(QString::number(
          ScaleFactorFor(system_.parser.ParseFloat(value.toStdString()), current), 'f', 8));
      if (button == Qt::RightButton)
        only->click();
      else
        scale(true, true);
    };
  };
  sizeX->clicked = entry("X", static_cast<double>(size.width) / 100, okX);
  sizeY->clicked = entry("Y", static_cast<double>(size.height) / 100, okY);
  ShowCaptions(&panel, system_.messages);
  panel.exec();
}

void ImportWindow::closeEvent(QCloseEvent* event) {
  hide();
  event->ignore();
}

void ImportWindow::hideEvent(QHideEvent* event) {
  reprocessTimer_->stop();
  QWidget::hideEvent(event);
}

}  // namespace corvane::ui
