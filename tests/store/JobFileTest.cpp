#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "StoreFixture.h"
#include "store/JobFile.h"
#include "model/JobNormalise.h"
#include "store/Lifecycle.h"
#include "store/StoreFiles.h"
#include "store/SettingsStore.h"

namespace corvane {
namespace {

using testing::ReadFileText;
using testing::WriteFileText;

// File bytes from records, written out independently of the encoder.
std::string Records(std::initializer_list<std::pair<std::int32_t, std::int32_t>> records) {
  std::string out;
  for (const auto& [first, second] : records) {
    for (std::int32_t v : {first, second}) {
      const auto u = static_cast<std::uint32_t>(v);
      for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(u >> shift));
    }
  }
  return out;
}

const tCNCPath kJob = {
    {{0, 0}, {0, 0}, {3000, 0}, {3000, 2000}, {0, 0}},
    {{-1, 0}, {500, 500}, {-20, 7000}},
    {{-2, 0}, {1, 1}},
};

struct JobFileTest : testing::StoreFixture {};

TEST(JobFile, WritesSeparatorsHeadersAndVerticesAsLittleEndianRecords) {
  JobFileTest f;
  f.s().job.Job = {{{0, 0}, {1, -1}}};
  f.s().job.ProjectOriginX = 2000;
  f.s().job.ProjectOriginY = 258;
  ASSERT_TRUE(WriteJobFile(f.s(), f.store("a.cvp2")));
  ASSERT_TRUE(WriteJobFile(f.s(), f.store("a.cnc")));
  const std::string body = Records({{12345, 54321}, {0, 0}, {1, -1}});
  EXPECT_EQ(ReadFileText(f.store("a.cvp2")), Records({{2000, 258}}) + body);
  EXPECT_EQ(ReadFileText(f.store("a.cnc")), body);
}

TEST(JobFile, RoundTripReproducesEveryContourAndTheOrigin) {
  for (const char* name : {"job.cvp2", "job.cvp", "temp.cnc", "job.CVP2"}) {
    JobFileTest f;
    System& s = f.s();
    s.job.Job = kJob;
    s.job.ProjectOriginX = 12300;
    s.job.ProjectOriginY = -450;
    ASSERT_TRUE(WriteJobFile(s, f.store(name)));
    s.job.Job.clear();
    ASSERT_TRUE(ReadJobFile(s, f.store(name)));
    EXPECT_EQ(s.job.Job, kJob) << name;
    // Extents: largest vertex x and y, headers not counted, at least 1000.
    EXPECT_EQ(s.job.JobExtentX, 3000);
    EXPECT_EQ(s.job.JobExtentY, 7000);
  }
}

TEST(JobFile, AReadJobReplacesTheOldOneWholeWithItsOwnBoxes) {
  JobFileTest f;
  System& s = f.s();
  s.job.Job = kJob;
  ASSERT_TRUE(WriteJobFile(s, f.store("job.cnc")));
  // What the previous job left behind: a contour in progress and boxes of other contours.
  s.job.Job = {{{0, 0}, {90000, 90000}, {99000, 99000}}};
  s.job.ContourBoxes = {{90000, 99000, 99000, 90000}};
  s.job.CurrentContour = 0;
  s.job.PlannedPath = {PlannedRecord{}};
  ASSERT_TRUE(ReadJobFile(s, f.store("job.cnc")));
  ASSERT_EQ(s.job.ContourBoxes.size(), kJob.size());
  const ContourBox first = s.job.ContourBoxes[0];
  EXPECT_EQ(first.minX, 0);
  EXPECT_EQ(first.maxX, 3000);
  EXPECT_EQ(first.minY, 0);
  EXPECT_EQ(first.maxY, 2000);
  EXPECT_EQ(s.job.CurrentContour, -1);
  EXPECT_TRUE(s.job.PlannedPath.empty());
}

TEST(JobFile, OnlyLowerCaseCvp2CarriesTheOrigin) {
  JobFileTest f;
  System& s = f.s();
  ASSERT_TRUE(SaveSettings(s));
  s.job.Job = kJob;
  s.job.ProjectOriginX = 12300;
  s.job.ProjectOriginY = -450;
  ASSERT_TRUE(WriteJobFile(s, f.store("upper.CVP2")));
  EXPECT_EQ(ReadFileText(f.store("upper.CVP2")).substr(0, 8), Records({{12345, 54321}}));
  ASSERT_TRUE(WriteJobFile(s, f.store("lower.cvp2")));

  // Opening a ".cvp" keeps the origin the settings give; ".cvp2" replaces it.
  ASSERT_TRUE(ReadJobFile(s, f.store("upper.CVP2")));
  EXPECT_EQ(s.job.ProjectOriginX, 2000) << "default xXM 20 mm";
  EXPECT_EQ(s.fields.text(Window::Main, "xXM"), "20");
  ASSERT_TRUE(ReadJobFile(s, f.store("lower.cvp2")));
  EXPECT_EQ(s.job.ProjectOriginX, 12300);
  EXPECT_EQ(s.job.ProjectOriginY, -450);
  EXPECT_EQ(s.fields.text(Window::Main, "xXM"), "123");
  EXPECT_EQ(s.fields.text(Window::Main, "xYM"), "-4.5");
  s.parser.imperial = true;
  ASSERT_TRUE(ReadJobFile(s, f.store("lower.cvp2")));
  EXPECT_EQ(s.fields.text(Window::Main, "xXM"), "4.843") << "12300 / 2540, three decimals";
}

TEST(JobFile, AVertexOnTheSeparatorPointIsMovedSoTheContourStaysWhole) {
  JobFileTest f;
  System& s = f.s();
  s.job.Job = {{{0, 0}, {0, 0}, {12345, 54321}, {20000, 0}}};
  ASSERT_TRUE(WriteJobFile(s, f.store("sep.cnc")));
  EXPECT_TRUE(f.logged("Point (12345, 54321) of contour 0 saved as (12345, 54322)"));
  ASSERT_TRUE(ReadJobFile(s, f.store("sep.cnc")));
  ASSERT_EQ(s.job.Job.size(), 1u);
  EXPECT_EQ(s.job.Job[0], (CNCpath{{0, 0}, {0, 0}, {12345, 54322}, {20000, 0}}));
}

TEST(JobFile, SmallJobsKeepTheMinimumExtents) {
  JobFileTest f;
  // The header (x = kind) never counts; here it is the largest value.
  WriteFileText(f.store("small.cnc"), Records({{12345, 54321}, {5000, 9000}, {10, 20}}));
  ASSERT_TRUE(ReadJobFile(f.s(), f.store("small.cnc")));
  EXPECT_EQ(f.s().job.JobExtentX, 1000);
  EXPECT_EQ(f.s().job.JobExtentY, 1000);
}

TEST(JobFile, BrokenFilesAreReadAsFarAsTheyAreSound) {
  JobFileTest f;
  ProgramLog& log = f.s().log;
  const std::string records =
      Records({{7, 7}, {8, 8}, {12345, 54321}, {0, 0}, {100, 200}, {12345, 54321}});
  const JobFileContent content = DecodeJobFile(records + "\x01\x02\x03", false, log);
  EXPECT_EQ(content.job, (tCNCPath{{{0, 0}, {100, 200}}, {}}));
  EXPECT_TRUE(f.logged("Job file: 3 bytes after the last whole record skipped"));
  EXPECT_TRUE(f.logged("Job file: 2 records before the first contour skipped"));
  // A ".cvp2" shorter than its origin record is an empty job without origin.
  EXPECT_FALSE(DecodeJobFile("\x01\x02", true, log).origin);
  EXPECT_TRUE(DecodeJobFile("", true, log).job.empty());
}

TEST(JobFile, AFileThatCannotBeReadLeavesTheJobAndShowsTheErrorBox) {
  JobFileTest f;
  f.s().job.Job = kJob;
  EXPECT_FALSE(OpenProject(f.s(), f.store("missing.cvp2")));
  EXPECT_EQ(f.s().job.Job, kJob);
  ASSERT_EQ(f.host.errors.size(), 1u);
  EXPECT_NE(f.host.errors[0].find("missing.cvp2"), std::string::npos);
}

TEST(JobFile, AFileWithoutAContourIsRefusedAndTheJobKept) {
  JobFileTest f;
  f.s().job.Job = kJob;
  WriteFileText(f.store("drawing.cvp2"), "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\n0\n20\n0\n0\nEOF\n");
  WriteFileText(f.store("empty.cvp"), "");
  for (const char* name : {"drawing.cvp2", "empty.cvp"}) {
    EXPECT_FALSE(OpenProject(f.s(), f.store(name))) << name;
    EXPECT_EQ(f.s().job.Job, kJob) << name;
  }
  ASSERT_EQ(f.host.errors.size(), 2u);
  EXPECT_NE(f.host.errors[0].find("holds no contour: the job is kept"), std::string::npos);
}

// The job kept between runs as start and close meet it. Whatever cannot be read
// whole stays on disk as the operator left it, beside the fresh temp.cnc.
struct KeptJobCase {
  const char* name;
  std::string bytes;    // temp.cnc as found at start
  std::size_t sparse;   // when non-zero: temp.cnc is this many bytes of nothing
  tCNCPath job;         // the job after start
  const char* why;      // part of the operator's message; empty: none
};

class KeptJob : public ::testing::TestWithParam<KeptJobCase> {};

TEST_P(KeptJob, IsNeverWrittenOverWhenItCannotBeReadWhole) {
  const KeptJobCase& c = GetParam();
  JobFileTest f;
  const std::string temp = f.store("temp.cnc");
  const std::string aside = temp + ".unreadable-2026-12-09-090500";
  if (c.sparse > 0) {
    WriteFileText(temp, "");
    std::filesystem::resize_file(temp, c.sparse);
  } else {
    WriteFileText(temp, c.bytes);
  }
  PrepareStore(f.s());
  StartupSequence(f.s());
  EXPECT_EQ(f.s().job.Job.size(), c.job.size());
  if (!c.job.empty()) {
    JobState expected;
    expected.Job = c.job;
    NormaliseJob(expected);
    EXPECT_EQ(f.s().job.Job, expected.Job);
  }
  ShutdownSequence(f.s(), std::nullopt);
  if (std::string(c.why).empty()) {
    EXPECT_FALSE(std::filesystem::exists(aside));
    EXPECT_TRUE(f.host.errors.empty()) << f.host.errors[0];
    return;
  }
  ASSERT_TRUE(std::filesystem::exists(aside));
  if (c.sparse > 0)
    EXPECT_EQ(std::filesystem::file_size(aside), c.sparse);
  else
    EXPECT_EQ(ReadFileText(aside), c.bytes);
  const std::string message = "The job file \"" + temp + "\" could not be read whole (" +
                              c.why + "): it is kept as \"" + aside + "\"";
  EXPECT_TRUE(f.logged(message));
  EXPECT_EQ(f.host.errors, std::vector<std::string>{message});
  // Closing wrote the job the program had, the sound part only.
  EXPECT_EQ(ReadFileText(temp), EncodeJobFile(f.s().job.Job, std::nullopt, f.s().log));
}

INSTANTIATE_TEST_SUITE_P(
    JobFile, KeptJob,
    ::testing::Values(
        KeptJobCase{"Sound", Records({{12345, 54321}, {0, 0}, {100, 0}, {100, 100}}), 0,
                    {{{0, 0}, {100, 0}, {100, 100}}}, ""},
        KeptJobCase{"LargerThanTheLimit", "", (256u << 20) + 12u * 1024 * 1024, {},
                    "it is larger than 256 MB"},
        KeptJobCase{"NoContour", "this is no job at all\n", 0, {}, "it holds no contour"},
        // A 42 km square beside a sound one: its corners cannot be shifted in
        // 32 bits, and would come back as a 0.01 mm square.
        KeptJobCase{"CoordinatesNearTheIntegerLimit",
                    Records({{12345, 54321}, {0, 0}, {1000, 0}, {1000, 1000},
                             {12345, 54321}, {0, 0}, {-2147483000, -2147483000},
                             {2147483000, -2147483000}, {2147483000, 2147483000},
                             {-2147483000, 2147483000}}),
                    0, {{{0, 0}, {1000, 0}, {1000, 1000}}, {{0, 0}}},
                    "4 records with a coordinate beyond 10 km were left out"},
        KeptJobCase{"CoordinatesOnlyBeyondTheLimit",
                    Records({{12345, 54321}, {0, 0}, {-1000000001, 0}, {0, 1000000001}}), 0,
                    {{{0, 0}}}, "2 records with a coordinate beyond 10 km were left out"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(JobFile, OpeningAProjectWithRecordsBeyondTheLimitSaysHowManyWereLeftOut) {
  JobFileTest f;
  const std::string path = f.store("far.cvp");
  const std::string bytes =
      Records({{12345, 54321}, {0, 0}, {500, 500}, {1000000000, 0}, {-1000000001, 0}});
  WriteFileText(path, bytes);
  ASSERT_TRUE(OpenProject(f.s(), path));
  EXPECT_EQ(f.s().job.Job, (tCNCPath{{{0, 0}, {500, 500}, {1000000000, 0}}}));
  EXPECT_TRUE(f.logged("Job file: 1 records with a coordinate beyond 10 km refused"));
  EXPECT_EQ(f.host.errors, std::vector<std::string>{
                               "\"" + path + "\": 1 records with a coordinate beyond 10 km were left out"});
  EXPECT_EQ(ReadFileText(path), bytes) << "opening never writes the project";
}

TEST(JobFile, SaveProjectAsksBeforeOverwriting) {
  JobFileTest f;
  System& s = f.s();
  s.messages.texts[1] = "Overwrite?";
  s.job.Job = kJob;
  ASSERT_TRUE(SaveProject(s, f.store("p.cvp2")));
  EXPECT_TRUE(f.host.questions.empty()) << "a new file is written without asking";
  const std::string first = ReadFileText(f.store("p.cvp2"));
  s.job.Job = {{{0, 0}, {1, 1}}};
  f.host.answers = {Answer::No, Answer::Yes};
  EXPECT_TRUE(SaveProject(s, f.store("p.cvp2")));
  EXPECT_EQ(ReadFileText(f.store("p.cvp2")), first);
  EXPECT_TRUE(SaveProject(s, f.store("p.cvp2")));
  EXPECT_NE(ReadFileText(f.store("p.cvp2")), first);
  EXPECT_EQ(f.host.questions, (std::vector<std::string>{"Overwrite?", "Overwrite?"}));

  SetAtomicRenameFailureForTests("disk full");
  f.host.answers = {Answer::Yes};
  EXPECT_FALSE(SaveProject(s, f.store("p.cvp2")));
  SetAtomicRenameFailureForTests(std::nullopt);
  EXPECT_EQ(f.host.errors, std::vector<std::string>{"disk full"});
}

// The name typed into the save dialog gets ".cvp2" unless it ends so: a dot
// inside the name is no extension, and ".cvp" is the old format's.
TEST(JobFile, ProjectNamesEndInCvp2) {
  const std::pair<const char*, const char*> names[] = {
      {"flange_6.5mm", "flange_6.5mm.cvp2"},
      {"/home/op/v1.2/plate", "/home/op/v1.2/plate.cvp2"},
      {"plate", "plate.cvp2"},
      {"plate.cvp2", "plate.cvp2"},
      {"plate.CVP2", "plate.CVP2"},
      {"plate.Cvp2", "plate.Cvp2"},
      {"plate.cvp", "plate.cvp.cvp2"},
      {"plate.cvp2.bak", "plate.cvp2.bak.cvp2"},
      {"cvp2", "cvp2.cvp2"},
  };
  for (const auto& [typed, saved] : names) EXPECT_EQ(ProjectSaveName(typed), saved) << typed;
}

// A dotted name is saved as a ".cvp2" project with the job origin first, and
// reads back with that origin.
TEST(JobFile, SaveProjectUnderADottedNameKeepsTheTablePosition) {
  JobFileTest f;
  System& s = f.s();
  s.job.Job = kJob;
  s.job.ProjectOriginX = 2000;
  s.job.ProjectOriginY = 3000;
  ASSERT_TRUE(SaveProject(s, f.store("flange_6.5mm")));
  EXPECT_FALSE(FileExists(f.store("flange_6.5mm")));
  const std::string saved = ReadFileText(f.store("flange_6.5mm.cvp2"));
  ASSERT_GE(saved.size(), 8u);
  EXPECT_EQ(saved.substr(0, 8), Records({{2000, 3000}}));
  s.job.ProjectOriginX = 0;
  s.job.ProjectOriginY = 0;
  ASSERT_TRUE(OpenProject(s, f.store("flange_6.5mm.cvp2")));
  EXPECT_EQ(s.job.ProjectOriginX, 2000);
  EXPECT_EQ(s.job.ProjectOriginY, 3000);
  EXPECT_EQ(s.job.Job, kJob);
}

TEST(JobFile, OpeningReloadsTheSavedSettingsFirst) {
  JobFileTest f;
  System& s = f.s();
  ASSERT_TRUE(SaveSettings(s));
  s.job.Job = kJob;
  ASSERT_TRUE(WriteJobFile(s, f.store("j.cvp")));
  s.fields.setText(Window::Main, "eTime", "unsaved");
  ASSERT_TRUE(OpenProject(s, f.store("j.cvp")));
  EXPECT_EQ(s.fields.text(Window::Main, "eTime"), "500");
  EXPECT_GE(f.host.redraws, 1);
}

}  // namespace
}  // namespace corvane
