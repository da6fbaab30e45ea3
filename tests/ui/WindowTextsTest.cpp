#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>
#include <memory>

#include "store/LanguageFile.h"
#include "support/SystemFixture.h"
#include "ui/MainWindow.h"
#include "ui/QtApp.h"
#include "ui/ImportWindow.h"
#include "ui/SecondaryWindows.h"

namespace corvane {
namespace {

template <typename W>
std::string TextOf(const QWidget& window, const char* name) {
  const W* widget = window.findChild<W*>(name);
  return widget ? widget->text().toStdString() : "(no " + std::string(name) + ")";
}

std::string HintOf(const QWidget& window, const char* name) {
  const QWidget* widget = window.findChild<QWidget*>(name);
  return widget ? widget->toolTip().toStdString() : "(no " + std::string(name) + ")";
}

TEST(WindowTexts, EveryWindowShowsTheTextsOfTheLanguageLoaded) {
  testing::QtApp();
  testing::SystemFixture f;
  System& s = *f.system;
  ui::MainWindow main(s, nullptr);
  const std::unique_ptr<QWidget> import(new ui::ImportWindow(s));
  const std::unique_ptr<QWidget> configuration(ui::CreateConfigurationWindow(s.fields));
  EXPECT_EQ(TextOf<QLabel>(main, "lxFeed"), "[mm/min] Cutting speed");
  EXPECT_EQ(HintOf(main, "sFF1"), "One contour forward");

  ASSERT_TRUE(LoadLanguage(s, "Polski"));
  EXPECT_EQ(TextOf<QLabel>(main, "lxFeed"), "[mm/min] Prędkość cięcia");
  EXPECT_EQ(HintOf(main, "eTime"), "Czas postoju palnika na wysokości przebijania");
  EXPECT_EQ(HintOf(main, "xFeed"), "xFeed") << "a field without a hint shows its name";
  EXPECT_EQ(HintOf(main, "sFF1"), "Jeden kontur naprzód");
  EXPECT_EQ(HintOf(main, "PathView"),
            "Lewy przycisk: wybór konturu\nPrawy przycisk: menu ruchu i cięcia");
  EXPECT_EQ(main.findChild<QComboBox*>("PresetBox")->currentText().toStdString(),
            "Nazwa zestawu");
  EXPECT_EQ(TextOf<QCheckBox>(*import, "cCalc"), "Użyj Pellary");
  EXPECT_EQ(TextOf<QRadioButton>(*import, "rSort5"), "Środek");
  EXPECT_EQ(TextOf<QLabel>(*configuration, "lComboBox1"), "Język");
  EXPECT_EQ(TextOf<QCheckBox>(*configuration, "cImperial"), "System calowy ( CALE )");

  s.parser.imperial = true;
  ASSERT_TRUE(LoadLanguage(s, "Polski"));
  EXPECT_EQ(TextOf<QLabel>(*configuration, "lxFeedMaxXY"), "Maksymalna prędkość XY [in/min]");
  EXPECT_EQ(TextOf<QLabel>(main, "lxFeed"), "[in/min] Prędkość cięcia");
}

}  // namespace
}  // namespace corvane
