#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "StoreFixture.h"
#include "ports/TextCodec.h"
#include "store/LanguageFile.h"
#include "store/Lifecycle.h"
#include "store/SettingsStore.h"

namespace corvane {
namespace {

using testing::PairsCrLf;
using testing::ReadFileText;
using testing::WriteFileText;

constexpr Window kMain = Window::Main;
constexpr Window kImport = Window::Import;
constexpr Window kConfig = Window::Configuration;

// Language file bytes from pairs written here in UTF-8.
std::string Cp1250Pairs(std::initializer_list<const char*> lines) {
  return Utf8ToCp1250(PairsCrLf(lines));
}

// The texts of a window's controls, in order.
std::vector<std::string> TextsOf(const WindowTexts& texts, Window window) {
  std::vector<std::string> out;
  for (const ControlText& control : texts.controls(window)) out.push_back(control.text);
  return out;
}

// What a language file is read into, with the parser that reads its message keys.
struct Reader {
  FakeClock clock;
  testing::RecordingHost host;
  ProgramLog log{clock, &host};
  NumberParser parser{log, &host};
  MessageTable messages;
  WindowTexts texts;

  LanguageFileReport apply(std::initializer_list<const char*> lines) {
    return ApplyLanguageFile(Cp1250Pairs(lines), parser, messages, texts);
  }
};

using Pairs = std::map<std::string, std::string>;

// The pairs of one section of language file bytes, decoded, by key.
Pairs SectionPairs(const std::string& bytes, const std::string& marker) {
  const std::vector<std::string> lines = SplitLines(Cp1250ToUtf8(bytes));
  Pairs pairs;
  bool inside = marker == "0:";
  for (size_t i = 0; i + 1 < lines.size(); i += 2) {
    if (lines[i].size() == 2 && lines[i][1] == ':') {
      inside = lines[i] == marker;
      continue;
    }
    if (inside) pairs[lines[i]] = lines[i + 1];
  }
  return pairs;
}

std::string Shipped(const std::string& language) {
  return ReadFileText(std::string(CORVANE_TEST_DATA_DIR) + "/lang/" + language);
}

std::string WithUnit(std::string text, const std::string& unit) {
  for (size_t at = text.find("$m"); at != std::string::npos; at = text.find("$m", at))
    text.replace(at, 2, unit);
  return text;
}

TEST(LanguageFile, UnitPlaceholderBecomesMillimetresOrInches) {
  const struct {
    const char* value;
    const char* metric;
    const char* imperial;
  } cases[] = {
      {"[$m/min] Cutting speed", "[mm/min] Cutting speed", "[in/min] Cutting speed"},
      {"$m", "mm", "in"},
      {"from $m to $m", "from mm to mm", "from in to in"},
      {"$m$m", "mmmm", "inin"},
      {"$$m", "$mm", "$in"},  // the "$" before stays, only "$m" is replaced
      {"$M and $", "$M and $", "$M and $"},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    for (const bool imperial : {false, true}) {
      Reader r;
      r.parser.imperial = imperial;
      r.apply({"008", c.value, "1:", "", "lxFeed", c.value});
      const std::string expected = imperial ? c.imperial : c.metric;
      EXPECT_EQ(r.messages[8], expected) << c.value << (imperial ? " in" : " mm");
      EXPECT_EQ(r.texts.text(kMain, "lxFeed"), expected) << c.value << (imperial ? " in" : " mm");
    }
  }
}

TEST(LanguageFile, MessageKeysReadTheirFirstThreeCharactersAsAnInteger) {
  const struct {
    const char* key;
    std::optional<int> entry;  // none: the key changes nothing
  } cases[] = {
      {"009", 9},   {"9", std::nullopt},     {"12", std::nullopt}, {"", std::nullopt},
      {"127", 127}, {"128", 128},  // the window captions follow the first messages   {"-01", std::nullopt}, {"0091", 9},
      {"000", 0},   {"9xx", 1},  // the integer parser's answer to text it cannot read
      {"abc", 1},   {"999", 999},
  };
  for (const auto& c : cases) {
    Reader r;
    const LanguageFileReport report = r.apply({"0:", "", c.key, "new text"});
    MessageTable expected;
    if (c.entry) expected.texts[static_cast<size_t>(*c.entry)] = "new text";
    EXPECT_EQ(r.messages.texts, expected.texts) << c.key;
    EXPECT_EQ(report.ignored, c.entry ? 0 : 1) << c.key;
  }
  Reader r;
  r.apply({"9xx", "x"});
  EXPECT_EQ(r.host.logPane, std::vector<std::string>{"\"9xx\" is not a Integer 1 Value!"});
}

TEST(LanguageFile, EachSectionReplacesOnlyTheTextItsKeyLetterNames) {
  const struct {
    const char* section;
    const char* key;
    std::optional<Window> changes;  // the window whose control of that name changes
  } cases[] = {
      {"1:", "lxFeed", kMain},
      {"1:", "LXFEED", kMain},  // names are found regardless of letter case
      {"1:", "eTime", kMain},
      {"1:", "sFF1", kMain},
      {"1:", "cOneClickJogMode", std::nullopt},  // boxes of the main window are not translated
      {"1:", "xFeed", std::nullopt},             // "x" names no kind of text
      {"1:", "lcCalc", std::nullopt},            // a control of another window
      {"2:", "cCalc", kImport},
      {"2:", "rInside", kImport},
      {"2:", "lxThick", kImport},
      {"2:", "leScale", kImport},
      {"2:", "eScale", kImport},
      {"2:", "sFF1", std::nullopt},
      {"3:", "TabSheet2", kConfig},
      {"3:", "cImperial", kConfig},
      {"3:", "lComboBox1", kConfig},
      {"3:", "eSpec5", kConfig},
      {"3:", "cDV", std::nullopt},  // a list, not a check box
      {"3:", "lNoSuchLabel", std::nullopt},
      {"3:", "bNoSuchButton", std::nullopt},
      {"3:", "", std::nullopt},
      {"2:", "TabSheet2", std::nullopt},  // pages belong to the configuration window
  };
  for (const auto& c : cases) {
    Reader r;
    const LanguageFileReport report = r.apply({c.section, "", c.key, "Nowy tekst"});
    const WindowTexts builtIn;
    for (const Window window : {kMain, kImport, kConfig}) {
      std::vector<std::string> expected;
      for (const ControlText& control : builtIn.controls(window)) {
        const bool named = c.changes == window && FoldCase(control.name) == FoldCase(c.key);
        expected.push_back(named ? "Nowy tekst" : control.text);
      }
      EXPECT_EQ(TextsOf(r.texts, window), expected) << c.section << " " << c.key;
    }
    EXPECT_EQ(report.applied, c.changes ? 1 : 0) << c.key;
    EXPECT_EQ(report.ignored, c.changes ? 0 : 1) << c.key;
  }
}

TEST(LanguageFile, SectionMarkersSwitchAndAHalfPairAtTheEndIsDropped) {
  Reader r;
  const LanguageFileReport report =
      r.apply({"004", "before any marker is section 0", "3:", "2:", "cImperial", "Cale",
               "0:", "--------------- Main Lang ---------------", "005", "back in 0",
               "1:", "ignored header", "lxCutH", "Wysokość", "lxFloatH"});
  EXPECT_EQ(r.messages[4], "before any marker is section 0");
  EXPECT_EQ(r.messages[5], "back in 0");
  EXPECT_EQ(r.texts.text(kConfig, "cImperial"), "Cale") << "the marker's value line is no key";
  EXPECT_EQ(r.texts.text(kMain, "lxCutH"), "Wysokość");
  EXPECT_EQ(r.texts.text(kMain, "lxFloatH"), "[mm] Floating height");
  EXPECT_EQ(report.applied, 4);
  EXPECT_EQ(report.ignored, 1);
  EXPECT_EQ(report.firstIgnored, "\"lxFloatH\" in section 1:");
}

TEST(LanguageFile, PopupCaptionsPathViewHintAndSecondSortLabelFollowTheFile) {
  Reader r;
  r.apply({"101", "Jedź tutaj", "102", "Tnij wszystko", "103", "Tnij od punktu", "104",
           "Do [0,0]", "105", "Linia do", "106", "Anuluj", "109", "Linia od", "013", "Lewy",
           "014", "Prawy", "2:", "", "lSortSequence2", "overwritten", "lSortSequence",
           "Kolejność"});
  const std::pair<PopupEntry, const char*> popup[] = {
      {PopupEntry::MoveHere, "Jedź tutaj"},       {PopupEntry::CutAllFromObject, "Tnij wszystko"},
      {PopupEntry::CutFromThisPoint, "Tnij od punktu"}, {PopupEntry::MoveToZero, "Do [0,0]"},
      {PopupEntry::LineFromHere, "Linia od"},     {PopupEntry::LineToHere, "Linia do"},
      {PopupEntry::Cancel, "Anuluj"}};
  for (const auto& [entry, caption] : popup) EXPECT_EQ(r.texts.popupCaption(entry), caption);
  EXPECT_EQ(r.texts.pathViewHint(), "Lewy\n\rPrawy");
  EXPECT_EQ(r.texts.text(kImport, "lSortSequence2"), "Kolejność");

  // Before any language the popup shows the captions of the path view's own menu.
  const WindowTexts builtIn;
  for (const PopupItem& item : PathPopupItems(true))
    EXPECT_EQ(builtIn.popupCaption(item.entry), item.text);
}

TEST(LanguageFile, TemplateListsMessagesLabelsBoxesAndHintsUnderKeysTheLoaderReadsBack) {
  Reader r;
  r.apply({"1:", "", "eTime", "Czas", "2:", "", "cCalc", "Użyj", "3:", "", "TabSheet1",
           "Elektronika"});
  const std::string bytes = FormatLanguageTemplate(r.messages, r.texts);
  EXPECT_EQ(bytes.rfind(PairsCrLf({"0:", "--------------- Main Lang ---------------", "001",
                                   "The file already exists. Overwrite it ?", "002"}),
                        0),
            0u);
  for (const char* header : {"1:\r\n--------------- Main Window ---------------\r\n",
                             "2:\r\n--------------- Import Window ---------------\r\n",
                             "3:\r\n--------------- Configuration Window ---------------\r\n"})
    EXPECT_NE(bytes.find(header), std::string::npos) << header;
  EXPECT_NE(bytes.find("cCalc\r\nU\xBFyj\r\n"), std::string::npos) << "Windows-1250 bytes";

  const Pairs main = SectionPairs(bytes, "1:");
  EXPECT_EQ(main.at("lxFeed"), "[mm/min] Cutting speed");
  EXPECT_EQ(main.at("eTime"), "Czas");
  EXPECT_EQ(main.count("eVoltage"), 0u) << "an edit field without a hint";
  EXPECT_EQ(main.at("sRev"), "Start from the first contour");
  EXPECT_EQ(main.count("cOneClickJogMode"), 0u);
  const Pairs import = SectionPairs(bytes, "2:");
  EXPECT_EQ(import.at("cUn"), "") << "boxes are listed with an empty caption too";
  EXPECT_EQ(import.at("rOutside"), "Outside");
  EXPECT_EQ(SectionPairs(bytes, "3:").count("TabSheet1"), 0u) << "page titles are not listed";
  EXPECT_EQ(SectionPairs(bytes, "0:").size(), 27u + std::size(kCaptionTexts))
      << "messages 1 to 16, 101 to 111 and the captions";

  // Read back over the built-in English, the template gives the same texts.
  Reader again;
  const LanguageFileReport report = ApplyLanguageFile(bytes, again.parser, again.messages,
                                                      again.texts);
  EXPECT_EQ(report.ignored, 0);
  EXPECT_EQ(again.messages.texts, r.messages.texts);
  for (const Window window : {kMain, kImport, kConfig})
    for (const ControlText& control : r.texts.controls(window)) {
      if (control.kind == ControlKind::Page) continue;
      EXPECT_EQ(again.texts.text(window, control.name), control.text) << control.name;
    }
}

// A program folder of the test's own with a "lang" folder.
struct LanguageFolder : testing::StoreFixture {
  LanguageFolder() { s().paths.programFolder = program.path(); }
  void write(const std::string& name, const std::string& bytes) {
    WriteFileText(program.file("lang/") + name, bytes);
  }
  testing::TempDir program;
};

TEST(LanguageFile, LoadingStartsFromBuiltInEnglishAndTellsTheWindowsOnce) {
  LanguageFolder f;
  System& s = f.s();
  int told = 0;
  s.texts.subscribe([&] { ++told; });
  f.write("Full",
          Cp1250Pairs({"004", "Rozłączono", "109", "Linia od", "1:", "", "lxFeed", "Szybko"}));
  f.write("Partial", Cp1250Pairs({"007", "Połączono", "1:", "", "lNothing", "x"}));
  ASSERT_TRUE(LoadLanguage(s, "Full"));
  EXPECT_EQ(s.messages[4], "Rozłączono");
  EXPECT_EQ(s.texts.popupCaption(PopupEntry::LineFromHere), "Linia od");
  ASSERT_TRUE(LoadLanguage(s, "Partial"));
  EXPECT_EQ(s.messages[7], "Połączono");
  EXPECT_EQ(s.messages[4], "Disconnected") << "an entry the file lacks is English again";
  EXPECT_EQ(s.texts.popupCaption(PopupEntry::LineFromHere), "Cut line from here");
  EXPECT_EQ(s.texts.text(kMain, "lxFeed"), "[mm/min] Cutting speed");
  EXPECT_EQ(told, 2);
  EXPECT_TRUE(f.logged("Language file \"" + f.program.path() +
                       "lang/Partial\": 1 key(s) changed nothing, the first \"lNothing\" in "
                       "section 1:"));
}

TEST(LanguageFile, MissingOrBinaryFilesAndNamesOutsideTheFolderChangeNothing) {
  const struct {
    const char* name;
    const char* logLine;  // after the program folder's path
  } cases[] = {
      {"Deutsch", "Language file \"$lang/Deutsch\" not found; the texts stay as they are"},
      {"Junk", "Language file \"$lang/Junk\" is not a text file; the texts stay as they are"},
      {"Control",
       "Language file \"$lang/Control\" is not a text file; the texts stay as they are"},
      {"Huge",
       "Language file \"$lang/Huge\" cannot be read or is over 1 MiB; the texts stay as they are"},
      {"Folder", "Language file \"$lang/Folder\" not found; the texts stay as they are"},
      {"../store", "Language \"../store\" is not a file name; the texts stay as they are"},
      {"..", "Language \"..\" is not a file name; the texts stay as they are"},
      {"", "Language \"\" is not a file name; the texts stay as they are"},
  };
  for (const auto& c : cases) {
    LanguageFolder f;
    System& s = f.s();
    f.write("Polski", Shipped("Polski"));
    f.write("Junk", std::string("1:\r\nlxFeed\r\n\x00\xff\x13\x80", 16));
    f.write("Folder/inside", "0:\r\n");
    f.write("Control", "0:\r\n\r\n004\r\nRozl\x01czono\r\n");
    f.write("Huge", "0:\r\n\r\n004\r\n" + std::string(1u << 20, 'x'));
    WriteFileText(f.program.file("store"), PairsCrLf({"004", "outside"}));
    ASSERT_TRUE(LoadLanguage(s, "Polski"));
    const MessageTable messages = s.messages;
    const std::string hint = s.texts.pathViewHint();
    const std::vector<std::string> captions = TextsOf(s.texts, kConfig);
    int told = 0;
    s.texts.subscribe([&] { ++told; });

    EXPECT_FALSE(LoadLanguage(s, c.name)) << c.name;
    EXPECT_EQ(s.messages.texts, messages.texts) << c.name;
    EXPECT_EQ(s.texts.pathViewHint(), hint) << c.name;
    EXPECT_EQ(s.texts.popupCaption(PopupEntry::MoveHere), "Jedź tutaj") << c.name;
    EXPECT_EQ(TextsOf(s.texts, kConfig), captions) << c.name;
    EXPECT_EQ(s.texts.text(kConfig, "cImperial"), "System calowy ( CALE )") << c.name;
    EXPECT_EQ(told, 0) << c.name;
    std::string line = c.logLine;
    if (const size_t at = line.find("$lang"); at != std::string::npos)
      line.replace(at, 5, f.program.path() + "lang");
    EXPECT_EQ(f.host.logPane.back(), line);
  }
}

TEST(LanguageFile, EverySettingsSaveWritesTheTemplateOfTheLoadedLanguage) {
  testing::StoreFixture f;
  System& s = f.s();
  s.parser.imperial = true;
  ASSERT_TRUE(LoadLanguage(s, "Polski"));
  ASSERT_TRUE(SaveSettings(s));
  const std::string written = ReadFileText(f.store("lng.cmp"));
  const std::string polski = Shipped("Polski");

  EXPECT_EQ(SectionPairs(written, "0:"), SectionPairs(polski, "0:"));
  for (const char* marker : {"1:", "2:", "3:"}) {
    const Pairs listed = SectionPairs(written, marker);
    for (const auto& [key, value] : SectionPairs(polski, marker)) {
      if (key.rfind("TabSheet", 0) == 0) continue;
      ASSERT_EQ(listed.count(key), 1u) << marker << key;
      EXPECT_EQ(listed.at(key), WithUnit(value, "in")) << marker << key;
    }
  }
  EXPECT_EQ(SectionPairs(written, "1:").at("lxFeed"), "[in/min] Prędkość cięcia");
  EXPECT_NE(written.find("Pr\xEA" "dko\x9C\xE6"), std::string::npos) << "Windows-1250 bytes";

  // A failed write is logged and leaves the last template whole.
  s.messages.texts[9] = "Zestaw";
  SetAtomicRenameFailureForTests("disk full");
  SaveSettings(s);
  SetAtomicRenameFailureForTests(std::nullopt);
  EXPECT_TRUE(f.logged("Language template not saved: disk full"));
  EXPECT_EQ(ReadFileText(f.store("lng.cmp")), written);
}

TEST(LanguageFile, ShippedLanguagesAreCompleteAndWrittenInWindows1250) {
  EXPECT_EQ(LanguageFiles(std::string(CORVANE_TEST_DATA_DIR) + "/"),
            (std::vector<std::string>{"English", "Polski"}));
  std::map<std::string, std::vector<std::string>> keys;
  for (const char* language : {"English", "Polski"}) {
    const std::string bytes = Shipped(language);
    ASSERT_FALSE(bytes.empty()) << language;
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n") << language;
    for (size_t at = bytes.find('\n'); at != std::string::npos; at = bytes.find('\n', at + 1))
      ASSERT_EQ(bytes[at - 1], '\r') << language << " line ending at " << at;
    Reader r;
    const LanguageFileReport report = ApplyLanguageFile(bytes, r.parser, r.messages, r.texts);
    EXPECT_EQ(report.ignored, 0) << language << ": " << report.firstIgnored;
    for (int n = 0; n < MessageTable::kSize; ++n)
      EXPECT_EQ(r.messages[n].empty(), MessageTable{}[n].empty()) << language << " message " << n;
    const std::vector<std::string> lines = SplitLines(Cp1250ToUtf8(bytes));
    for (size_t i = 0; i < lines.size(); i += 2) keys[language].push_back(lines[i]);
  }
  EXPECT_EQ(keys["Polski"], keys["English"]) << "Polish translates every key";
  const std::string polski = Cp1250ToUtf8(Shipped("Polski"));
  for (const char* word : {"Prędkość cięcia", "Połączono", "Język", "Środek", "Dźwięki"})
    EXPECT_NE(polski.find(word), std::string::npos) << word;
}

// Every sound the program plays, in every shipped language: a WAV file of
// spoken sound (a RIFF/WAVE header, 16 kHz mono 16-bit PCM, under 5 s).
TEST(LanguageFile, EveryShippedLanguageHasEveryOperatorSound) {
  const std::string folder = std::string(CORVANE_TEST_DATA_DIR) + "/";
  const std::vector<std::string> languages = LanguageFiles(folder);
  ASSERT_FALSE(languages.empty());
  for (const std::string& language : languages) {
    for (const std::string_view name : sound::kAll) {
      const std::string file = OperatorSoundFile(folder, language, name);
      const std::optional<std::string> bytes = ReadWholeFile(file, 1u << 20);
      ASSERT_TRUE(bytes) << file;
      ASSERT_GT(bytes->size(), 44u + 16000u / 10) << file << " holds less than 0.1 s";
      const auto u16 = [&](size_t at) {
        return unsigned(std::uint8_t((*bytes)[at])) | unsigned(std::uint8_t((*bytes)[at + 1])) << 8;
      };
      EXPECT_EQ(bytes->substr(0, 4), "RIFF") << file;
      EXPECT_EQ(bytes->substr(8, 8), "WAVEfmt ") << file;
      EXPECT_EQ(u16(20), 1u) << file << " is PCM";
      EXPECT_EQ(u16(22), 1u) << file << " is mono";
      EXPECT_EQ(u16(24), 16000u) << file;
      EXPECT_EQ(u16(34), 16u) << file;
      EXPECT_LT(bytes->size(), 44u + 5u * 16000u * 2u) << file << " is a short word";
    }
  }
  EXPECT_EQ(OperatorSoundFile(folder, "-", sound::kZ0), folder + "sounds/English/Z0.wav")
      << "a language never chosen plays English";
}

// One run of the program's creation and first show over the fixture's data root.
struct Started {
  explicit Started(testing::StoreFixture& f) : system(f.clock, f.host, f.system->paths) {
    EXPECT_TRUE(system.PrepareStart());
    PrepareStore(system);
    StartupSequence(system);
    system.loading = false;  // the window's first show is over
  }
  System system;
};

TEST(LanguageFile, StartUpAppliesTheChosenLanguageAndTheListAndUnitSwitchReloadIt) {
  testing::StoreFixture f;
  {
    Started first(f);
    System& s = first.system;
    EXPECT_EQ(s.fields.text(kConfig, "eLng"), "English") << "never chosen means English";
    EXPECT_EQ(s.fields.choiceIndex(kConfig, "ComboBox1"), 0);
    EXPECT_EQ(s.texts.text(kMain, "eTime"), "Time the torch waits at the piercing height");

    // Choosing from the list loads the language at once.
    ASSERT_TRUE(s.fields.selectChoice(kConfig, "ComboBox1", 1));
    s.fields.runClickBehaviour(kConfig, "ComboBox1");
    EXPECT_EQ(s.fields.text(kConfig, "eLng"), "Polski");
    EXPECT_EQ(s.texts.text(kMain, "lxFeed"), "[mm/min] Prędkość cięcia");

    // The unit switch turns "$m" into inches, in the texts and in the template.
    s.fields.setChecked(kConfig, "cImperial", true);
    s.fields.runClickBehaviour(kConfig, "cImperial");
    EXPECT_EQ(s.texts.text(kMain, "lxFeed"), "[in/min] Prędkość cięcia");
    EXPECT_EQ(s.texts.text(kConfig, "lxFeedMaxXY"), "Maksymalna prędkość XY [in/min]");
    ShutdownSequence(s, std::nullopt);
    EXPECT_EQ(SectionPairs(ReadFileText(f.store("lng.cmp")), "1:").at("lxFeed"),
              "[in/min] Prędkość cięcia");
  }
  Started second(f);
  EXPECT_EQ(second.system.fields.choiceIndex(kConfig, "ComboBox1"), 1);
  EXPECT_EQ(second.system.texts.text(kMain, "lxFeed"), "[in/min] Prędkość cięcia")
      << "the stored unit and language both apply at start";
  EXPECT_EQ(second.system.messages[kMsgPresetPlaceholder], "Nazwa zestawu");
}

}  // namespace
}  // namespace corvane
