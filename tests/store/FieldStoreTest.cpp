#include <gtest/gtest.h>

#include <set>

#include "store/FieldStore.h"

namespace corvane {
namespace {

std::vector<std::string> Names(Window window) {
  std::vector<std::string> names;
  for (const FieldSpec& definition : FieldsOf(window)) names.emplace_back(definition.name);
  return names;
}

TEST(FieldTables, HoldEveryFieldInFileOrder) {
  const struct {
    Window window;
    size_t count;
    std::vector<std::string> first, last;
  } cases[] = {
      {Window::Main, 34, {"cClose", "cClose2", "xFeed"}, {"eTA", "xJogDist", "cOneClickJogMode"}},
      {Window::Import, 37, {"cCalc", "cOffsetActive", "rOutside"}, {"eScale", "Edit1", "cDateTime"}},
      {Window::Configuration, 116, {"eDV", "eVcal", "eVmin"}, {"eLng", "cImperial", "eTabSheet"}},
  };
  for (const auto& c : cases) {
    const auto names = Names(c.window);
    EXPECT_EQ(names.size(), c.count);
    EXPECT_EQ(std::vector(names.begin(), names.begin() + 3), c.first);
    EXPECT_EQ(std::vector(names.end() - 3, names.end()), c.last);
    std::set<std::string> folded;
    for (const auto& name : names) folded.insert(FoldCase(name));
    EXPECT_EQ(folded.size(), names.size()) << "names must differ regardless of case";
  }
}

TEST(FieldTables, KindsFollowTheFirstLetter) {
  for (Window window : {Window::Main, Window::Import, Window::Configuration}) {
    for (const FieldSpec& definition : FieldsOf(window)) {
      const char first = definition.name.front();
      const FieldKind expected = first == 'c' ? FieldKind::CheckBox
                                 : first == 'r' ? FieldKind::Radio
                                                : FieldKind::Text;
      EXPECT_EQ(definition.kind, expected) << definition.name;
      if (definition.kind != FieldKind::Text) {
        EXPECT_TRUE(definition.defaultValue == "1" || definition.defaultValue == "0") << definition.name;
      }
    }
  }
}

TEST(FieldStore, StartsAtDefaultsAndFindsNamesRegardlessOfCase) {
  FieldStore fields;
  EXPECT_EQ(fields.text(Window::Main, "xfeed"), "2540");
  EXPECT_EQ(fields.text(Window::Configuration, "ef1z"), "max");
  EXPECT_EQ(fields.text(Window::Configuration, "eF2z"), "+1");
  EXPECT_TRUE(fields.checked(Window::Import, "CCALC"));
  EXPECT_FALSE(fields.checked(Window::Main, "cClose"));
  EXPECT_EQ(fields.find(Window::Main, "nope"), nullptr);
  EXPECT_FALSE(fields.setText(Window::Main, "cClose", "1")) << "a check box has no text";
  EXPECT_FALSE(fields.setChecked(Window::Main, "xFeed", true)) << "a text field has no check";
}

TEST(FieldStore, CheckingARadioButtonUnchecksItsGroupOnly) {
  FieldStore fields;
  std::vector<std::string> changed;
  fields.subscribe([&](Window, const std::string& name) { changed.push_back(name); });
  fields.setChecked(Window::Import, "rSort4", true);
  EXPECT_FALSE(fields.checked(Window::Import, "rSort1"));
  EXPECT_TRUE(fields.checked(Window::Import, "rOutside")) << "another group stays";
  EXPECT_EQ(changed, (std::vector<std::string>{"rSort4", "rSort1"}));
}

TEST(FieldStore, ChoosingFromAListWritesItsHiddenField) {
  FieldStore fields;
  EXPECT_TRUE(fields.selectChoice(Window::Configuration, "cStepX", 7));
  EXPECT_EQ(fields.text(Window::Configuration, "eStepX"), "7");
  fields.selectChoice(Window::Configuration, "cDV", 2);
  EXPECT_EQ(fields.text(Window::Configuration, "eDV"), "50:1");
  // Showing a value from the file does not write back; an index the list lacks selects nothing.
  fields.showChoice(Window::Configuration, "cOut1", 9);
  EXPECT_EQ(fields.choiceIndex(Window::Configuration, "cOut1"), -1);
  EXPECT_EQ(fields.text(Window::Configuration, "eSpec8"), "1");
}

TEST(FieldStore, BehavioursRunInOrderAndListenersCanLeave) {
  FieldStore fields;
  std::string ran;
  fields.addClickBehaviour(Window::Configuration, "cSpec1", [&] { ran += "a"; });
  fields.addClickBehaviour(Window::Configuration, "CSPEC1", [&] { ran += "b"; });
  fields.runClickBehaviour(Window::Configuration, "cSpec1");
  fields.runClickBehaviour(Window::Main, "cSpec1");
  EXPECT_EQ(ran, "ab");

  int calls = 0;
  int id = 0;
  id = fields.subscribe([&](Window, const std::string&) {
    ++calls;
    fields.unsubscribe(id);
  });
  fields.setText(Window::Main, "eTime", "600");
  fields.setText(Window::Main, "eTime", "700");
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace corvane
