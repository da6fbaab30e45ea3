#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTextDocumentFragment>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <set>

#include "machine/ConfigurationActions.h"
#include "ports/TextCodec.h"
#include "store/LanguageFile.h"
#include "ui/BackupsPanel.h"
#include "ui/ConfigurationLinks.h"
#include "ui/ConfigurationWindow.h"
#include "ui/ImportWindow.h"
#include "ui/ProfileButtons.h"
#include "ui/SecondaryWindows.h"
#include "ui/WindowFixture.h"

namespace corvane {
namespace {

// Every text of the pseudo-language starts with this mark; a caption without
// it did not come from the language table (numbers may stand around it). (The mark is in Windows-1250.)
const QString kMark = QStringLiteral("§");

// A language file that marks every message and every text of every window,
// read by the real loader.
std::string PseudoLanguage(const System& s) {
  std::string file = "0:\r\n--\r\n";
  const MessageTable english;
  for (int n = 0; n < MessageTable::kSize; ++n) {
    if (english[n].empty()) continue;
    char key[8];
    std::snprintf(key, sizeof key, "%3.3d", n);
    file += std::string(key) + "\r\n§" + english[n] + "\r\n";
  }
  const char* markers[] = {"1:", "2:", "3:"};
  const Window windows[] = {Window::Main, Window::Import, Window::Configuration};
  for (int w = 0; w < 3; ++w) {
    file += std::string(markers[w]) + "\r\n--\r\n";
    for (const ControlText& control : s.texts.controls(windows[w]))
      file += control.name + "\r\n§" + control.text + "\r\n";
  }
  return Utf8ToCp1250(file);
}

// Numbers, units, axis names and symbols are no captions: fewer than two
// letters in a row, or one of these.
bool Exempt(const QString& text) {
  // Units, a file name, the companion program's name and the application's
  // name (the title of its message boxes).
  static const QSet<QString> kNames = {"mm", "in", "mm/min", "in/min", "Hz", "ms", "kHz", "S I M",
                                       "Advanced.txt", "Lintora", "corvane-ui-tests"};
  if (kNames.contains(text.trimmed())) return true;
  // Key names: "CTRL + Z".
  if (text.startsWith("CTRL")) return true;
  return !text.contains(QRegularExpression("\\p{L}{2}"));
}

// Widgets that show the operator's data (file names, values, lists of names).
bool UserData(const QWidget* w) {
  static const QSet<QString> kNames = {"ComboBox1", "PresetBox", "ConnectText", "ErrorLabel"};
  for (const QWidget* up = w; up; up = up->parentWidget())
    if (kNames.contains(up->objectName())) return true;
  return false;
}

QString Plain(const QString& text) {
  return Qt::mightBeRichText(text) ? QTextDocumentFragment::fromHtml(text).toPlainText() : text;
}

// "<window>/<object name or class>: <text>" for every shown caption without the mark.
QStringList Unmarked(QWidget* top) {
  QStringList found;
  const auto check = [&](const QWidget* w, const QString& raw) {
    const QString text = Plain(raw).remove('&').trimmed();
    if (text.isEmpty() || text.contains(kMark) || Exempt(text) || UserData(w)) return;
    found << top->objectName() + "/" +
                 (w->objectName().isEmpty() ? QString(w->metaObject()->className()) : w->objectName()) +
                 ": \"" + text + "\"";
  };
  // The main window's title is the program's name, version and profile.
  if (top->isWindow() && top->objectName() != "MainWindow") check(top, top->windowTitle());
  QList<QWidget*> widgets = top->findChildren<QWidget*>();
  for (QWidget* w : widgets) {
    // Hidden on purpose: a widget the program never shows. Its children are
    // still walked, so hidden panels count.
    if (w->testAttribute(Qt::WA_WState_ExplicitShowHide) && w->testAttribute(Qt::WA_WState_Hidden) &&
        w->findChildren<QWidget*>().isEmpty())
      continue;
    if (w->isWindow() && w != top) check(w, w->windowTitle());
    if (auto* label = qobject_cast<QLabel*>(w)) check(w, label->text());
    if (auto* button = qobject_cast<QAbstractButton*>(w)) check(w, button->text());
    if (auto* box = qobject_cast<QGroupBox*>(w)) check(w, box->title());
    if (auto* tabs = qobject_cast<QTabWidget*>(w))
      for (int i = 0; i < tabs->count(); ++i) check(w, tabs->tabText(i));
    if (auto* list = qobject_cast<QComboBox*>(w); list && !list->isEditable())
      for (int i = 0; i < list->count(); ++i) check(w, list->itemText(i));
  }
  return found;
}

// The program's windows, wired as the program wires them, on the in-process board.
struct AllWindows : testing::VirtualBoardWindow {
  AllWindows() {
    actions.Install();
    configuration.attach(*system, *controller, actions);
    ui::BindConfiguration(window, configuration, *system, *controller, actions);
    auto* files = static_cast<QGridLayout*>(configuration.findChild<QWidget*>("ProgramFiles")->layout());
    ui::AddProfileButtons(*files, 1, *system, window);
    ui::AddStoreButtons(*files, 2, *system, configuration, [] {});
  }
  ConfigurationActions actions{*system, controller->commands, controller->connection,
                               controller->link.state};
  ui::ConfigurationWindow configuration{system->fields};
  ui::ImportWindow import{*system};
  std::unique_ptr<QWidget> analysis{ui::CreateAnalysisWindow(*system)};
};

TEST(EveryCaptionTranslated, EveryShownTextOfEveryWindowComesFromTheLanguage) {
  AllWindows all;
  ASSERT_TRUE(all.created);
  System& s = *all.system;
  ApplyLanguageFile(PseudoLanguage(s), s.parser, s.messages, s.texts);
  s.texts.notifyChanged();

  QStringList unmarked;
  for (QWidget* top : {static_cast<QWidget*>(&all.window), static_cast<QWidget*>(&all.configuration),
                       static_cast<QWidget*>(&all.import), all.analysis.get()})
    unmarked << Unmarked(top);
  EXPECT_TRUE(unmarked.isEmpty()) << unmarked.size() << " captions in English:\n"
                                  << unmarked.join("\n").toStdString();
}

// The host's dialogs: their standard buttons follow the language too.
TEST(EveryCaptionTranslated, TheHostsDialogsAndTheirButtonsComeFromTheLanguage) {
  testing::OpenWindow open;
  System& s = *open.system;
  ApplyLanguageFile(PseudoLanguage(s), s.parser, s.messages, s.texts);
  s.texts.notifyChanged();

  QStringList unmarked;
  const auto answering = [&unmarked](const char* what, auto call) {
    auto found = std::make_shared<QStringList>();
    QTimer::singleShot(50, [found, what] {
      QWidget* dialog = QApplication::activeModalWidget();
      if (!dialog) {
        *found << QString(what) + ": no dialog came up";
        return;
      }
      dialog->setObjectName(what);
      *found = Unmarked(dialog);
      static_cast<QDialog*>(dialog)->reject();
    });
    call();
    unmarked << *found;
  };
  answering("ask", [&] { s.host.ask("§?", Buttons::YesNoCancel); });
  answering("askOk", [&] { s.host.ask("§?", Buttons::OkCancel); });
  answering("message", [&] { s.host.showMessage("§!"); });
  answering("error", [&] { s.host.showError("§!"); });
  answering("input", [&] { s.host.inputText("§title", "§prompt", ""); });
  EXPECT_TRUE(unmarked.isEmpty()) << unmarked.join("\n").toStdString();
}

}  // namespace
}  // namespace corvane
