#include "ui/ConfigurationLinks.h"

#include <QApplication>
#include <QEvent>
#include <QFormLayout>
#include <QLabel>
#include <QTimer>
#include <QToolButton>

#include "machine/ConfigurationActions.h"
#include "store/FieldStore.h"
#include "system/System.h"
#include "ui/Captions.h"
#include "ui/ConfigurationWindow.h"
#include "ui/JogPanel.h"
#include "ui/MainWindow.h"
#include "virtual/ControllerSetup.h"

namespace corvane::ui {
namespace {

// The service code opens the window whatever password the operator set.
constexpr const char* kServiceCode = "40917";
constexpr int kPasswordTitle = 107;
constexpr int kPasswordPrompt = 108;
constexpr int kWrongPassword = 111;

QString Css(RgbColour c) { return QString("rgb(%1,%2,%3)").arg(c.r).arg(c.g).arg(c.b); }

// Keeps the report pane above the "Status" link wherever the layout puts it,
// and the link wide enough for "Status : Check" with "Reset" beside it.
class ReportPlacement final : public QObject {
 public:
  static constexpr int kLinkWidth = 96;
  ReportPlacement(QLabel* link, QLabel* reset, QWidget* pane)
      : QObject(pane), link_(link), reset_(reset), pane_(pane) {
    link->installEventFilter(this);
    reset->installEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize) place();
    return false;
  }
  void place() {
    if (link_->width() < kLinkWidth) link_->resize(kLinkWidth, link_->height());
    const int resetLeft = link_->geometry().right() + 4;
    if (reset_->x() < resetLeft) reset_->setGeometry(resetLeft, link_->y(), 40, reset_->height());
    const int height = 320;
    pane_->setGeometry(link_->x(), std::max(44, link_->y() - height - 4), 400, height);
  }

 private:
  QLabel* link_;
  QLabel* reset_;
  QWidget* pane_;
};

QString ReportHtml(const DiagnosticsReport& report) {
  QString html;
  for (const ReportLine& line : report.lines)
    html += QString("<div style=\"color:%1\">%2</div>")
                .arg(Css(TextColour(line.colour)), QString::fromStdString(line.text).toHtmlEscaped());
  return html;
}

void OpenWithPassword(System& system, ConfigurationWindow& window) {
  if (system.Busy || !SetupPasswordGiven(system)) return;
  window.show();
  window.raise();
  window.activateWindow();
}

// The main window's fields that the configuration's modes show: the field
// panel leaves hidden fields out of its form, so give each a hidden row with
// its caption here, where showing the field and its label brings the row back.
void AddModeFieldRows(MainWindow& main, const FieldStore& fields) {
  for (const char* name :
       {"xPreHeatHeight", "ePreHeatTime", "eMarkerTime", "xMarkerSpeed", "xDepth", "xDepthP"}) {
    QWidget* widget = main.findChild<QWidget*>(name);
    auto* form = widget ? qobject_cast<QFormLayout*>(widget->parentWidget()->layout()) : nullptr;
    if (!form || form->indexOf(widget) >= 0) continue;
    const FieldValue* value = fields.find(Window::Main, name);
    auto* label = new QLabel(QString::fromUtf8(value->definition->caption.data(),
                                               int(value->definition->caption.size())));
    label->setObjectName(QString("l") + name);
    // Below the nearest field before it in the table that has a row.
    int row = 0;
    for (const FieldValue& before : fields.fields(Window::Main)) {
      if (&before == value) break;
      QWidget* other = main.findChild<QWidget*>(QString::fromUtf8(
          before.definition->name.data(), int(before.definition->name.size())));
      int at = -1;
      QFormLayout::ItemRole role;
      if (other) form->getWidgetPosition(other, &at, &role);
      if (at >= 0) row = at + 1;
    }
    form->insertRow(row, label, widget);
    label->hide();
    widget->hide();
  }
}

QToolButton* AddButton(MainWindow& main, const char* name, const char* caption, QRect where) {
  auto* button = new QToolButton(&main);
  button->setObjectName(name);
  button->setText(caption);
  button->setGeometry(where);
  return button;
}

}  // namespace

bool SetupPasswordGiven(System& system) {
  const std::string& password = system.fields.text(Window::Configuration, "eSpec5");
  const bool ctrl = (QApplication::keyboardModifiers() & Qt::ControlModifier) != 0;
  if (password.empty() || ctrl) return true;
  const auto answer =
      system.host.inputPassword(system.messages[kPasswordTitle], system.messages[kPasswordPrompt]);
  if (!answer) return false;
  if (*answer == password || *answer == kServiceCode) return true;
  system.log.WriteLog("Setup: wrong password");
  system.host.showMessage(system.messages[kWrongPassword]);
  return false;
}

void BindConfiguration(MainWindow& main, ConfigurationWindow& window, System& system,
                       Controller& controller, ConfigurationActions& actions) {
  if (system.advanced.title) main.setWindowTitle(QString::fromStdString(*system.advanced.title));
  AddModeFieldRows(main, system.fields);

  // The jog panel's rotary buttons and placement follow the configuration.
  if (JogPanel* jog = main.jogPanel()) {
    jog->configuration = &actions;
    jog->showRotary(system.rotary.active);
    actions.ui.showRotaryControls = [jog, shown = actions.ui.showRotaryControls](bool rotary) {
      if (shown) shown(rotary);
      jog->showRotary(rotary);
    };
  }

  QToolButton* configure =
      AddButton(main, "SpeedButton32", "Configuration", {750, 10, 96, 26});
  QObject::connect(configure, &QToolButton::clicked, &main,
                   [&system, &window] { OpenWithPassword(system, window); });

  // The output buttons stay down while the output is on.
  QToolButton* outs[] = {AddButton(main, "sOut1", "Out 1", {850, 10, 46, 26}),
                         AddButton(main, "sOut2", "Out 2", {900, 10, 46, 26})};
  for (int output = 1; output <= 2; ++output) {
    QToolButton* button = outs[output - 1];
    button->setCheckable(true);
    button->hide();
    QObject::connect(button, &QToolButton::clicked, &main, [&controller, output](bool down) {
      controller.commands.SetOutputButton(output, down);
    });
  }
  controller.commands.ui.releaseOutputButton = [outs](int output) {
    if (output == 1 || output == 2) outs[output - 1]->setChecked(false);
  };
  actions.ui.showOutputButton = [outs](int output, bool visible) {
    if (output == 1 || output == 2) outs[output - 1]->setVisible(visible);
  };

  // THC on or off for the moves; down exactly while `eTHC` is "on".
  QToolButton* thc = AddButton(main, "bTHC", "THC", {950, 10, 46, 26});
  thc->setCheckable(true);
  thc->setChecked(system.fields.text(Window::Main, "eTHC") == "on");
  QObject::connect(thc, &QToolButton::clicked, &main,
                   [&actions](bool down) { actions.ThcButtonClicked(down); });
  actions.ui.showThcButton = [thc](bool down) { thc->setChecked(down); };
  // The rotary function chosen or the window closed: the tube panel's section stops and the panel hides.
  actions.ui.leaveTubePanel = [&main] {
    main.leaveTubePanel();
    main.requestRedraw();
  };

  auto* status = main.findChild<QLabel*>("StatusLink");
  auto* reset = main.findChild<QLabel*>("ResetLink");
  auto* pane = new QLabel(&main);
  pane->setObjectName("ReportPane");
  pane->setTextFormat(Qt::RichText);
  pane->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  pane->setAutoFillBackground(true);
  pane->setStyleSheet("background: white; border: 1px solid grey; padding: 6px;");
  pane->hide();
  (new ReportPlacement(status, reset, pane))->place();
  const bool statusVisible = system.advanced.statusVisible;
  status->setVisible(statusVisible);
  reset->hide();

  actions.ui.showReport = [&system, &actions, &window, status, reset, pane, statusVisible] {
    const DiagnosticsReport& report = actions.report();
    const StatusSummary summary = SummaryOf(report);
    status->setText(QString("<a href=\"status\" style=\"color:%1; text-decoration:none\">%2</a>")
                        .arg(Css(TextColour(summary.colour)),
                             Tr(system.messages, QString::fromStdString(summary.text))));
    reset->setVisible(statusVisible && report.level != 0);
    pane->setText(ReportHtml(report));
    window.showLamps();
  };
  QObject::connect(status, &QLabel::linkActivated, &main, [&actions, pane] {
    pane->setVisible(!pane->isVisible());
    pane->raise();
    actions.RebuildReport();
  });
  QObject::connect(reset, &QLabel::linkActivated, &main, [&actions, reset] {
    reset->hide();
    actions.ResetStatistics();
  });
  controller.connection.ui.redrawDiagnostics = [&actions] { actions.RebuildReport(); };
  // The firmware question of the connection opens the window behind the same password.
  controller.connection.ui.setupPasswordGiven = [&system] { return SetupPasswordGiven(system); };
  // No status request may meet the bootloader while an update runs.
  QTimer* refresh = main.timer("Timer1");
  window.setStatusRefresh([refresh](bool on) {
    if (on)
      refresh->start();
    else
      refresh->stop();
  });
  QObject::connect(main.timer("Timer2"), &QTimer::timeout, &main, [&actions] { actions.Tick(); });
}

}  // namespace corvane::ui
