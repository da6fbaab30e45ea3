#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>

#include "WindowFixture.h"

namespace corvane {
namespace {

using testing::OpenWindow;

// The main window's fields take pasted text as they take typed keys, and a
// pasted value outside its range leaves the old one in place.
TEST(MainWindowFields, PastedTextIsFilteredAndJudgedLikeTypedText) {
  OpenWindow u;
  ASSERT_TRUE(u.created);
  u.window.show();
  const struct {
    const char* field;
    const char* pasted;
    const char* kept;
  } cases[] = {
      {"xFeed", "12a,5", "12.5"},
      {"xFeed2", "50 %", "50%"},
      {"eTime", "-50abc", "50"},
      {"xCutH", "-3,2", "3.2"},
      {"xFeed", "99999999999999", "12.5"},  // refused
      {"eTime", "", "50"},                  // an empty paste into a selection: refused
  };
  for (const auto& c : cases) {
    auto* edit = u.window.findChild<QLineEdit*>(c.field);
    ASSERT_NE(edit, nullptr) << c.field;
    QApplication::clipboard()->setText(c.pasted);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->text().toStdString(), c.kept) << c.field << " " << c.pasted;
    EXPECT_EQ(u.system->fields.text(Window::Main, c.field), c.kept) << c.field;
  }
}

}  // namespace
}  // namespace corvane
