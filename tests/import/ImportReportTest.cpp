#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>
#include <optional>
#include <sstream>

#include "import/CliRun.h"
#include "ReaderHarness.h"
#include "import/DrawingFile.h"
#include "support/TempDir.h"

namespace corvane::testing {
namespace {

// A JSON value as the test's own strict parser reads it.
struct Json {
  enum class Kind { Null, Bool, Number, String, Array, Object };
  Kind kind = Kind::Null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<Json> items;
  std::map<std::string, Json> members;

  const Json& operator[](const std::string& key) const {
    static const Json missing;
    const auto found = members.find(key);
    return found == members.end() ? missing : found->second;
  }
  bool Has(const std::string& key) const { return members.count(key) > 0; }
};

// Whether text is UTF-8: every sequence decodes to a scalar value in its shortest form.
bool IsUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    const int length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    if (length == 0 || at + length > text.size()) return false;
    unsigned code = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[at + k]);
      if ((next >> 6) != 2) return false;
      code = (code << 6) | (next & 0x3F);
    }
    const unsigned shortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < shortest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    at += length;
  }
  return true;
}

// Recursive descent over the JSON grammar; no leniency (no trailing commas,
// no raw control characters, no duplicate keys, nothing after the value).
class JsonParser {
 public:
  explicit JsonParser(std::string_view text) : text_(text) {}

  std::optional<Json> Document() {
    Json value;
    if (!IsUtf8(text_) || !Value(value, 0)) return std::nullopt;
    SkipSpace();
    if (at_ != text_.size()) return std::nullopt;
    return value;
  }

 private:
  bool Peek(char c) const { return at_ < text_.size() && text_[at_] == c; }
  void SkipSpace() {
    while (at_ < text_.size() && std::string_view(" \t\r\n").find(text_[at_]) != std::string_view::npos) ++at_;
  }
  bool Literal(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }

  bool Value(Json& value, int depth) {
    SkipSpace();
    if (depth > 32 || at_ >= text_.size()) return false;
    if (Peek('{')) return Members(value, depth);
    if (Peek('[')) return Items(value, depth);
    if (Peek('"')) {
      value.kind = Json::Kind::String;
      return String(value.text);
    }
    if (Literal("true") || Literal("false")) {
      value.kind = Json::Kind::Bool;
      value.boolean = text_[at_ - 1] == 'e' && text_[at_ - 2] == 'u';
      return true;
    }
    if (Literal("null")) return true;
    return Number(value);
  }

  // Elements after an opening bracket up to close, separated by commas.
  template <typename Element>
  bool Sequence(char close, Element&& element) {
    ++at_;
    SkipSpace();
    if (Peek(close)) return ++at_, true;
    for (;;) {
      if (!element()) return false;
      SkipSpace();
      if (Peek(close)) return ++at_, true;
      if (!Peek(',')) return false;
      ++at_;
    }
  }

  bool Members(Json& value, int depth) {
    value.kind = Json::Kind::Object;
    return Sequence('}', [&] {
      SkipSpace();
      std::string key;
      if (!Peek('"') || !String(key)) return false;
      SkipSpace();
      if (!Peek(':')) return false;
      ++at_;
      Json member;
      return Value(member, depth + 1) && value.members.emplace(key, member).second;
    });
  }

  bool Items(Json& value, int depth) {
    value.kind = Json::Kind::Array;
    return Sequence(']', [&] {
      Json item;
      if (!Value(item, depth + 1)) return false;
      value.items.push_back(item);
      return true;
    });
  }

  bool String(std::string& out) {
    ++at_;
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= text_.size()) return false;
      const char escape = text_[at_++];
      const std::string_view simple = "\"\\/bfnrt", meaning = "\"\\/\b\f\n\r\t";
      if (const auto k = simple.find(escape); k != std::string_view::npos) {
        out += meaning[k];
      } else if (escape == 'u' && at_ + 4 <= text_.size()) {
        unsigned code = 0;
        for (int digit = 0; digit < 4; ++digit) {
          const char h = text_[at_++];
          if (!std::isxdigit(static_cast<unsigned char>(h))) return false;
          code = code * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(h)) ? h - '0' : (h | 0x20) - 'a' + 10);
        }
        if (code >= 0xD800 && code <= 0xDFFF) return false;  // the writer never splits characters
        if (code < 0x80) {
          out += static_cast<char>(code);
        } else if (code < 0x800) {
          out += static_cast<char>(0xC0 | (code >> 6));
          out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
          out += static_cast<char>(0xE0 | (code >> 12));
          out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
          out += static_cast<char>(0x80 | (code & 0x3F));
        }
      } else {
        return false;
      }
    }
    return false;
  }

  bool Number(Json& value) {
    const std::size_t start = at_;
    auto digits = [&] {
      const std::size_t from = at_;
      while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_]))) ++at_;
      return at_ > from;
    };
    if (Peek('-')) ++at_;
    if (Peek('0')) ++at_;
    else if (!digits()) return false;
    if (Peek('.') && (++at_, !digits())) return false;
    if (Peek('e') || Peek('E')) {
      ++at_;
      if (Peek('+') || Peek('-')) ++at_;
      if (!digits()) return false;
    }
    value.kind = Json::Kind::Number;
    value.number = std::strtod(std::string(text_.substr(start, at_ - start)).c_str(), nullptr);
    return true;
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

std::optional<Json> ParseJson(std::string_view text) { return JsonParser(text).Document(); }

// A drawing with a closed square, an open quarter arc of radius 10 mm, label
// text, a relative move, a scaling command, a line type and a last command
// without its ";".
const std::string kHpglDrawing =
    "IN;SP1;PU100,100;PD500,100,500,500,100,500,100,100;PU800,0;PD;AA800,400,90;PU;"
    "LBHELLO\x03;RR10,10;IR0,0,100,100;LT;EW5,0,90\n";

// Sagitta of one step of a circle of radius r (0.01 mm) flattened with n steps
// per half turn; the step rule gives n = 100 for 10 mm. Rounding every vertex to
// 0.01 mm lengthens a chord by up to 1.5 units, which may add some 0.012.
double StepSagitta(double r, double n) { return r * (1 - std::cos(std::numbers::pi / n / 2)); }

struct Report : ::testing::Test, ReaderHarness {
  DrawingLoad Load(const std::string& text, DrawingFormat format) {
    TPaths paths;
    TDXF dxf;
    return ReadDrawing(text, format, {}, parser, log, paths, dxf, true);
  }
};

bool AnyNoteHas(const ImportReport& report, const std::string& part) {
  for (const auto& note : report.notes)
    if (note.find(part) != std::string::npos) return true;
  return false;
}

TEST_F(Report, HpglListsTheCommandsPassedOverTheUnitsAndTheArcs) {
  const ImportReport report = Load(kHpglDrawing, DrawingFormat::Hpgl).report;
  EXPECT_EQ(report.skipped, (std::map<std::string, std::size_t>{
                                {"EW", 1}, {"IR", 1}, {"LB", 1}, {"LT", 1}, {"RR", 1}}));
  EXPECT_NE(report.units.find("0.025 mm"), std::string::npos);
  EXPECT_DOUBLE_EQ(report.scale, 2.5);
  EXPECT_EQ(report.curvesApproximated, 1u);
  EXPECT_NEAR(report.worstChordError, StepSagitta(1000, 100), 0.015);
  EXPECT_EQ(report.openContours, 1u);
  EXPECT_FALSE(report.truncated);
  EXPECT_TRUE(AnyNoteHas(report, "RR"));
  EXPECT_TRUE(AnyNoteHas(report, "not applied: IR"));
  EXPECT_TRUE(Logged("HPGL: not drawn: EW, LB, RR"));
}

TEST_F(Report, GcodeListsUnitsWhatWasPassedOverAndTheArcs) {
  const std::string program =
      "G21\nG3 X2 Y0 I1 J0\nG91\nG0 X1 Y1\nM3 $1 S1\nG2 X21 Y1 I10 J0\nG1 X[#1] Y2\nM5\n"
      "O100 sub\nG18\nM3 G1 X5\nM5\nG20\nG0 X1\n";
  const ImportReport report = Load(program, DrawingFormat::Gcode).report;
  EXPECT_EQ(report.skipped, (std::map<std::string, std::size_t>{
                                {"G18/G19 (arcs read in XY)", 1},
                                {"G91 (incremental, read as absolute)", 1},
                                {"O-word lines (loops, subprograms)", 1},
                                {"arcs before the first torch-on", 1},
                                {"motion or torch words after a line's first", 1},
                                {"moves with parameters or expressions", 1}}));
  EXPECT_EQ(report.units, "inch");
  EXPECT_DOUBLE_EQ(report.scale, 2540);
  EXPECT_EQ(report.curvesApproximated, 1u);
  EXPECT_NEAR(report.worstChordError, StepSagitta(1000, 100), 0.015);
  EXPECT_TRUE(AnyNoteHas(report, "G20 on line 13"));
  EXPECT_TRUE(AnyNoteHas(report, "tool $1"));
  EXPECT_TRUE(Logged("G-code: 1 moves with parameters or expressions skipped, the first on line 7"));
}

TEST_F(Report, ArcsOfTheFastRuleHaveTheirLargerChordError) {
  // 100 mm: 360 steps per half turn normally, 180 with "Fast Processing".
  for (const auto& [fast, n] : {std::pair{false, 360.0}, std::pair{true, 180.0}}) {
    ImportOptions options;
    options.fastCalc = fast;
    TPaths paths;
    TDXF dxf;
    const auto load = ReadDrawing("M3\nG2 X0 Y0 I100 J0\nM5\n", DrawingFormat::Gcode, options, parser,
                                  log, paths, dxf, true);
    EXPECT_NEAR(load.report.worstChordError, StepSagitta(10000, n), 0.015) << fast;
  }
}

struct OpenCase {
  const char* name;
  DrawingFormat format;
  const char* text;
  std::size_t paths, open;
};

class OpenContourCount : public ::testing::TestWithParam<OpenCase>, public ReaderHarness {};

TEST_P(OpenContourCount, CountsThePathsWhoseEndIsNotTheirStart) {
  TPaths paths;
  TDXF dxf;
  const auto load = ReadDrawing(GetParam().text, GetParam().format, {}, parser, log, paths, dxf, true);
  ASSERT_EQ(paths.size(), GetParam().paths);
  std::size_t open = 0;
  for (const auto& path : paths) open += IsClosed(path) ? 0 : 1;
  EXPECT_EQ(open, GetParam().open);
  EXPECT_EQ(load.report.openContours, GetParam().open);
}

INSTANTIATE_TEST_SUITE_P(
    EveryReader, OpenContourCount,
    ::testing::Values(
        OpenCase{"Hpgl", DrawingFormat::Hpgl,
                 "PU100,100;PD500,100,500,500,100,500,100,100;PU800,0;PD900,0;PU;CI40;", 3, 1},
        OpenCase{"Gcode", DrawingFormat::Gcode,
                 "M3\nG1 X10\nG1 X10 Y10\nG1 X0 Y0\nM5\nG0 X20\nM3\nG1 X30\nM5\nG0 X50\nM3\n"
                 "G2 X50 Y0 I5 J0\nM5\nM3\nM5\n",
                 4, 2},
        OpenCase{"Dxf", DrawingFormat::Dxf,
                 "0\nSECTION\n2\nENTITIES\n0\nCIRCLE\n8\n0\n10\n0\n20\n0\n40\n5\n0\nLINE\n8\n0\n10\n20\n"
                 "20\n0\n11\n30\n21\n0\n0\nENDSEC\n0\nEOF\n",
                 2, 1}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

CliRun RunRead(const std::vector<std::string>& arguments) { return RunCli("read", arguments); }

class ReadCommand : public ::testing::Test, public ReaderHarness {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(kCli)) << "corvane-cli is not built at " << kCli;
  }
  TempDir dir;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST_F(ReadCommand, ReportBlockAndJsonCarryTheReadersRecord) {
  const std::string file = dir.file("part.plt");
  WriteFileText(file, kHpglDrawing);
  TPaths paths;
  TDXF dxf;
  const DrawingLoad expected = ReadDrawing(kHpglDrawing, DrawingFormat::Hpgl, {}, parser, log, paths, dxf, true);

  const CliRun text = RunRead({file, "--summary", "--report"});
  EXPECT_EQ(text.code, 0) << text.err;
  const auto lines = Lines(text.out);
  for (const std::string& line :
       {"report: " + file, std::string("  format: hpgl"),
        std::string("  units: plotter units (0.025 mm), scale 2.5 (0.01 mm per file unit)"),
        std::string("  skipped: EW 1, IR 1, LB 1, LT 1, RR 1"),
        std::string("  inserts expanded: 0"), std::string("  open contours: 1 of 2"),
        std::string("  truncated: no")})
    EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line << "\n" << text.out;
  EXPECT_NE(text.out.find("  curves approximated: 1, worst chord error 0.1"), std::string::npos);

  const CliRun json = RunRead({file, "--json"});
  EXPECT_EQ(json.code, 0) << json.err;
  const auto doc = ParseJson(json.out);
  ASSERT_TRUE(doc) << json.out;
  EXPECT_EQ((*doc)["file"].text, file);
  EXPECT_EQ((*doc)["format"].text, "hpgl");
  EXPECT_TRUE((*doc)["ok"].boolean);
  EXPECT_EQ((*doc)["error"].kind, Json::Kind::Null);
  EXPECT_EQ((*doc)["paths"].number, static_cast<double>(paths.size()));
  EXPECT_EQ((*doc)["vertices"].number, static_cast<double>(VertexCountOf(paths)));
  const ImportExtents box = ExtentsOf(paths);
  EXPECT_EQ((*doc)["extents"]["minX"].number, static_cast<double>(box.minX));
  EXPECT_EQ((*doc)["extents"]["maxY"].number, static_cast<double>(box.maxY));
  const Json& report = (*doc)["report"];
  std::map<std::string, std::size_t> skipped;
  for (const auto& [name, count] : report["skipped"].members) skipped[name] = static_cast<std::size_t>(count.number);
  EXPECT_EQ(skipped, expected.report.skipped);
  EXPECT_EQ(report["units"].text, expected.report.units);
  EXPECT_EQ(report["scale"].number, expected.report.scale);
  EXPECT_EQ(report["curvesApproximated"].number, static_cast<double>(expected.report.curvesApproximated));
  EXPECT_NEAR(report["worstChordError"].number, expected.report.worstChordError, 1e-9);
  EXPECT_EQ(report["openContours"].number, static_cast<double>(expected.report.openContours));
  EXPECT_EQ(report["insertsExpanded"].number, 0);
  EXPECT_EQ(report["truncated"].kind, Json::Kind::Bool);
  ASSERT_EQ(report["notes"].items.size(), expected.report.notes.size());
  for (std::size_t k = 0; k < expected.report.notes.size(); ++k)
    EXPECT_EQ(report["notes"].items[k].text, expected.report.notes[k]);
}

TEST_F(ReadCommand, FilesWithoutPathsExitWithOneAndStillGiveTheirReport) {
  const std::string empty = dir.file("empty.plt"), good = dir.file("good.nc");
  WriteFileText(empty, "IN\nPU100,100\nRR200,200\n");
  WriteFileText(good, "M3 $0 S1\nG1 X10\nM5 $0\n");
  const CliRun run = RunRead({good, empty, dir.file("missing.dxf"), "--json"});
  EXPECT_EQ(run.code, 1);
  const auto lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 3u) << run.out;
  std::vector<Json> docs;
  for (const auto& line : lines) {
    const auto doc = ParseJson(line);
    ASSERT_TRUE(doc) << line;
    docs.push_back(*doc);
  }
  EXPECT_TRUE(docs[0]["ok"].boolean);
  EXPECT_EQ(docs[0]["paths"].number, 1);
  EXPECT_FALSE(docs[1]["ok"].boolean);
  EXPECT_EQ(docs[1]["error"].text, "no paths in the drawing");
  EXPECT_EQ(docs[1]["report"]["skipped"]["RR"].number, 1);
  EXPECT_FALSE(docs[2]["ok"].boolean);
  EXPECT_NE(docs[2]["error"].text.find("cannot read"), std::string::npos);
  EXPECT_NE(run.err.find(empty + ": no paths in the drawing"), std::string::npos) << run.err;
  EXPECT_EQ(RunRead({"--json"}).code, 2);
}

TEST_F(ReadCommand, TruncatedDrawingExitsWithThreeAndSaysSoOnce) {
  // A LINE whole, then one cut off before its end point: no end-of-file mark.
  const std::string file = dir.file("cut.dxf");
  WriteFileText(file, "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\n0\n20\n0\n11\n10\n21\n0\n"
                      "0\nLINE\n8\n0\n10\n0\n20\n");
  const CliRun text = RunRead({file, "--summary"});
  EXPECT_EQ(text.code, 3);
  EXPECT_NE(text.out.find("summary: paths 1, vertices 2"), std::string::npos) << text.out;
  std::size_t mentions = 0;
  for (const auto& line : Lines(text.err)) mentions += line.rfind("corvane-cli: " + file + ": truncated", 0) == 0;
  EXPECT_EQ(mentions, 1u) << text.err;
  const CliRun json = RunRead({file, "--json"});
  EXPECT_EQ(json.code, 3);
  const auto doc = ParseJson(json.out);
  ASSERT_TRUE(doc) << json.out;
  EXPECT_TRUE((*doc)["report"]["truncated"].boolean);
}

TEST_F(ReadCommand, DrawingBeyondTheVertexCapIsTruncatedAndExitsWithThree) {
  // 14 000 full circles of 720 vertices each: more than the cap, from a 220 kB file.
  std::string gcode = "G21\nG0 X0 Y0\nM3\nG1 X0 Y0\n";
  const std::size_t circles = kMaxImportVertices / 720 + 100;
  for (std::size_t i = 0; i < circles; ++i) gcode += "G2 X0 Y0 I50 J0\n";
  const std::string file = dir.file("many.nc");
  WriteFileText(file, gcode);
  const CliRun run = RunRead({file, "--summary", "--report"});
  EXPECT_EQ(run.code, 3) << run.err;
  EXPECT_NE(run.out.find("vertices " + std::to_string(kMaxImportVertices)), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("  truncated: yes"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("drawing too large, reading stopped at"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("corvane-cli: " + file + ": truncated"), std::string::npos) << run.err;
}

TEST_F(ReadCommand, JsonStaysValidWhateverTheFileIsCalled) {
  // A quote, a backslash, a tab and a byte that is no UTF-8.
  const std::string file = dir.file("odd \"name\"\\\t\xff.plt");
  WriteFileText(file, "PU0,400;PD400,400;");
  const CliRun run = RunRead({file, "--json"});
  EXPECT_EQ(run.code, 0) << run.err;
  const auto doc = ParseJson(run.out);
  ASSERT_TRUE(doc) << run.out;
  EXPECT_EQ((*doc)["file"].text, dir.file("odd \"name\"\\\t\xEF\xBF\xBD.plt"));
}

TEST_F(ReadCommand, EveryCorpusDrawingGivesAReportAndValidJson) {
  if (!std::filesystem::is_directory(kCorpus)) GTEST_SKIP() << "no drawing corpus at " << kCorpus;
  std::ifstream table(std::string(CORVANE_SOURCE_DIR) + "/tests/import/corpus_snapshot.txt");
  std::vector<std::string> files;
  std::vector<double> pathCounts;
  for (std::string line; std::getline(table, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string file;
    double paths = 0;
    fields >> file >> paths;
    files.push_back(kCorpus + "/" + file);
    pathCounts.push_back(paths);
  }
  ASSERT_GT(files.size(), 100u);
  std::vector<std::string> arguments = files;
  arguments.push_back("--json");
  const CliRun run = RunRead(arguments);
  EXPECT_TRUE(run.code == 0 || run.code == 1 || run.code == 3) << run.code;
  const auto lines = Lines(run.out);
  ASSERT_EQ(lines.size(), files.size());
  for (std::size_t k = 0; k < files.size(); ++k) {
    const auto doc = ParseJson(lines[k]);
    ASSERT_TRUE(doc) << files[k] << ": " << lines[k];
    EXPECT_EQ((*doc)["file"].text, files[k]);
    EXPECT_EQ((*doc)["paths"].number, pathCounts[k]) << files[k];
    const Json& report = (*doc)["report"];
    EXPECT_EQ(report["skipped"].kind, Json::Kind::Object) << files[k];
    EXPECT_EQ(report["units"].kind, Json::Kind::String) << files[k];
    EXPECT_EQ(report["notes"].kind, Json::Kind::Array) << files[k];
    EXPECT_EQ(report["truncated"].kind, Json::Kind::Bool) << files[k];
    for (const char* number : {"scale", "insertsExpanded", "curvesApproximated", "worstChordError", "openContours"})
      EXPECT_EQ(report[number].kind, Json::Kind::Number) << files[k] << " " << number;
    EXPECT_LE(report["openContours"].number, pathCounts[k]) << files[k];
  }
  // The same run as text gives one report block per file.
  arguments.back() = "--report";
  arguments.push_back("--summary");
  const CliRun text = RunRead(arguments);
  std::size_t blocks = 0;
  for (const auto& line : Lines(text.out)) blocks += line.rfind("report: ", 0) == 0 ? 1 : 0;
  EXPECT_EQ(blocks, files.size());
}

}  // namespace
}  // namespace corvane::testing
