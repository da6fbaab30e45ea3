#include <gtest/gtest.h>

#include "StoreFixture.h"
#include "store/Presets.h"

namespace corvane {
namespace {

using testing::ReadFileText;
using testing::WriteFileText;

constexpr Window kMain = Window::Main;

struct PresetsTest : ::testing::Test {
  testing::StoreFixture f;
  System& s = f.s();
};

TEST(PresetNames, EscapeSlashThenPointAndShowThemAgain) {
  const struct {
    const char* name;
    const char* file;
  } cases[] = {
      {"1.5/2", "par_1%25%12"},
      {"Steel 5mm", "par_Steel 5mm"},
      {"a/b.c/d", "par_a%1b%2c%1d"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PresetFileName(c.name), c.file);
    EXPECT_EQ(PresetNameOf(c.file), c.name);
  }
  EXPECT_EQ(PresetNameOf("par_" + std::string(80, 'x')), std::string(64, 'x'));
}

TEST_F(PresetsTest, SavedParametersComeBackInTheUnitsShown) {
  s.fields.setText(kMain, "xFeed", "1,5");
  s.fields.setText(kMain, "xFeed2", "50%");
  s.fields.setText(kMain, "eVoltage", "120");
  s.fields.setText(kMain, "eTime", "0,7");
  s.parser.imperial = true;
  ASSERT_TRUE(SavePreset(s, "1.5/2"));
  // Millimetres in the file, whatever the operator sees.
  EXPECT_EQ(ReadFileText(f.store("par_1%25%12")),
            testing::PairsCrLf({"38.1", "50%", "64.516", "120", "129.032", "0,7", "322.58"}));
  EXPECT_EQ(s.store.presetNames, std::vector<std::string>{"1.5/2"});

  s.fields.setText(kMain, "xFeed", "9");
  s.fields.setText(kMain, "eTime", "9");
  LoadPreset(s, "1.5/2");
  EXPECT_EQ(s.fields.text(kMain, "xFeed"), "1.5");
  EXPECT_EQ(s.fields.text(kMain, "eTime"), "0,7");
  s.parser.imperial = false;
  LoadPreset(s, "1.5/2");
  EXPECT_EQ(s.fields.text(kMain, "xFeed"), "38.1");
  EXPECT_EQ(s.fields.text(kMain, "xCutH"), "64.516");
}

TEST_F(PresetsTest, PlaceholderSavesNothingAndDeleteRemovesTheFile) {
  s.messages.texts[9] = "Parameters";
  ASSERT_TRUE(SavePreset(s, "Parameters"));
  ASSERT_TRUE(SavePreset(s, ""));
  EXPECT_FALSE(FileExists(f.store("par_Parameters")));
  ASSERT_TRUE(SavePreset(s, "b"));
  ASSERT_TRUE(SavePreset(s, "a"));
  EXPECT_EQ(s.store.presetNames, (std::vector<std::string>{"a", "b"}));
  EXPECT_FALSE(DeletePreset(s, "zzz"));
  EXPECT_TRUE(DeletePreset(s, "a"));
  EXPECT_EQ(s.store.presetNames, std::vector<std::string>{"b"});
  s.fields.setText(kMain, "eTime", "123");
  LoadPreset(s, "a");  // gone: nothing happens
  EXPECT_EQ(s.fields.text(kMain, "eTime"), "123");
}

TEST_F(PresetsTest, ShortFilesSetWhatTheyHold) {
  WriteFileText(f.store("par_short"), "1000\r\n900\r\n");
  LoadPreset(s, "short");
  EXPECT_EQ(s.fields.text(kMain, "xFeed"), "1000");
  EXPECT_EQ(s.fields.text(kMain, "xFeed2"), "900");
  EXPECT_EQ(s.fields.text(kMain, "xCutH"), "2.54");
  EXPECT_TRUE(f.logged("Preset \"short\" holds 2 of 7 values"));
}

TEST_F(PresetsTest, MigrationRenamesOldNamesWithPoints) {
  WriteFileText(f.store("par_2.5 mm"), "x");
  WriteFileText(f.store("par_plain"), "y");
  WriteFileText(f.store("par_crash.tmpAbC123"), "half");
  MigratePresetFiles(s);
  RebuildPresetList(s);
  EXPECT_EQ(ReadFileText(f.store("par_2%25 mm")), "x");
  EXPECT_FALSE(FileExists(f.store("par_2.5 mm")));
  EXPECT_EQ(s.store.presetNames, (std::vector<std::string>{"2.5 mm", "plain"}));
}

TEST(PresetKeys, OnlyNameCharactersAndTheTwoCommandsPass) {
  const struct {
    char key;
    PresetKey expected;
  } cases[] = {
      {'a', PresetKey::Accept}, {'Z', PresetKey::Accept}, {'7', PresetKey::Accept},
      {' ', PresetKey::Accept}, {'-', PresetKey::Accept}, {'.', PresetKey::Accept},
      {'/', PresetKey::Accept}, {'_', PresetKey::Accept}, {8, PresetKey::Accept},
      {19, PresetKey::Save},    {4, PresetKey::Delete},   {'%', PresetKey::Discard},
      {'\\', PresetKey::Discard}, {'\r', PresetKey::Discard}, {'\xe9', PresetKey::Discard},
  };
  for (const auto& c : cases) EXPECT_EQ(FilterPresetKey(c.key, false), c.expected) << int(c.key);
  EXPECT_EQ(FilterPresetKey('a', true), PresetKey::Discard);
  EXPECT_EQ(FilterPresetKey(19, true), PresetKey::Discard);
}

}  // namespace
}  // namespace corvane
