#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <functional>

#include "job/JobFixture.h"
#include "job/CutCoverage.h"
#include "job/JobJournal.h"
#include "store/FieldValues.h"
#include "model/Geometry.h"
#include "store/SettingsStore.h"
#include "wire/Codes.h"

namespace corvane::testing {
namespace {

namespace cmd = wire::cmd;
constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;

JobState TwoSquares() {
  JobState job;
  job.Job = {Square(1000, 1000, 5000), Square(8000, 1000, 3000)};
  job.ProjectOriginX = 2000;
  job.ProjectOriginY = 3000;
  return job;
}

// A journal ended by a crash: the header and three progress lines.
std::string WriteCrashedJournal(FakeClock& clock, const std::string& path, const JobState& job) {
  JobJournal journal(clock, path);
  EXPECT_TRUE(journal.Begin(job));
  journal.Progress(0, 1, {1000, 1000}, true);
  journal.Progress(0, 2, {6000, 2500}, true);
  journal.Progress(1, 3, {11000, 2000}, true);
  return ReadFileText(path);
}

// What a crash or a damaged disk leaves: the last sound line counts, a torn
// or spoiled one is ignored, and only an interrupted run of this very job is offered.
TEST(JobJournal, TheLastSoundRecordOfAnInterruptedRunIsOffered) {
  TempDir dir;
  FakeClock clock;
  const std::string path = dir.file("job.jnl");
  const JobState job = TwoSquares();
  const std::string whole = WriteCrashedJournal(clock, path, job);
  const std::size_t lastLine = whole.rfind('\n', whole.size() - 2) + 1;

  struct Case {
    const char* what;
    std::string bytes;
    int contour;  // -1: nothing offered
    int vertex;
    int damaged;  // lines skipped
  };
  std::string spoiled = whole;
  spoiled[lastLine + 2] = '9';
  const Case cases[] = {
      {"whole", whole, 1, 3, 0},
      {"last line torn", whole.substr(0, lastLine + 7), 0, 2, 1},
      {"last line spoiled", spoiled, 0, 2, 1},
      {"garbage after it", whole + "P 1 \x01\xff\n\n~~~", 1, 3, 2},
      {"header only", whole.substr(0, whole.find('\n') + 1), -1, 0, 0},
      {"empty", "", -1, 0, 0},
      {"random bytes", std::string("\x7f" "ELF\x02\x01\x01\x00 P 0 1 2 3 R ~00000000\n", 31), -1, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFileText(path, c.bytes);
    int damaged = -1;
    const auto offer = PendingResume(path, job, &damaged);
    if (c.contour >= 0 || c.damaged > 0) {
      EXPECT_EQ(damaged, c.damaged);
    }
    if (c.contour < 0) {
      EXPECT_FALSE(offer.has_value());
      continue;
    }
    ASSERT_TRUE(offer.has_value());
    EXPECT_EQ(offer->contour, c.contour);
    EXPECT_EQ(offer->vertex, c.vertex);
  }

  WriteFileText(path, whole);
  JobState moved = job;
  moved.ProjectOriginX += 100;
  EXPECT_FALSE(PendingResume(path, moved).has_value()) << "another placement is another job";
  for (const JournalState end : {JournalState::Finished, JournalState::Stopped, JournalState::PowerLost}) {
    JobJournal journal(clock, path);
    journal.Begin(job);
    journal.Progress(1, 2, {11000, 1000}, true);
    journal.End(end);
    EXPECT_EQ(PendingResume(path, job).has_value(), end == JournalState::PowerLost);
  }
}

// Lines sealed as the journal seals them: the text, " ~" and its FNV-1a check.
std::string SealedLines(std::initializer_list<std::string> texts) {
  std::string out;
  for (const std::string& text : texts) {
    std::uint32_t h = 2166136261u;
    for (const char c : text) {
      h ^= static_cast<std::uint8_t>(c);
      h *= 16777619u;
    }
    char check[16];
    std::snprintf(check, sizeof check, " ~%08x\n", h);
    out += text + check;
  }
  return out;
}

// Journals that must not lead to a resume: each is refused whole, with a log
// line that says why, and the job starts afresh.
TEST(JobJournal, AJournalOfAnotherJobAnotherVersionOrTooLargeIsRefusedAndSaysWhy) {
  TempDir dir;
  FakeClock clock;
  const std::string path = dir.file("job.jnl");
  const JobState job = TwoSquares();
  JobState other = job;
  other.Job.push_back(Square(20000, 1000, 1000));
  const std::string ours = WriteCrashedJournal(clock, path, job);
  const std::string theirs = WriteCrashedJournal(clock, path, other);
  const std::string theirLast = theirs.substr(theirs.rfind('\n', theirs.size() - 2) + 1);
  const std::string header = ours.substr(ours.find('\n') + 1);  // without the version line
  const std::string id = JobIdentity(job);

  struct Case {
    const char* what;
    std::string bytes;
    std::string refused;  // empty: the journal is sound and offers contour 1, vertex 3
  };
  const Case cases[] = {
      {"sound", ours, ""},
      {"another job's progress line appended", ours + theirLast,
       "1 progress lines belong to no job or another job"},
      {"no version line (an older program's)", header, "it has no version line"},
      {"another version", SealedLines({"V 3"}) + header, "its version is 3, not 2"},
      {"progress before any job", SealedLines({"V 2", "P 0 2 6000 2500 R " + id}),
       "1 progress lines belong to no job or another job"},
      {"larger than 4 MB", ours + std::string(5u << 20, '\n'), "it is larger than 4 MB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFileText(path, c.bytes);
    std::string refused;
    const auto offer = PendingResume(path, job, nullptr, &refused);
    EXPECT_EQ(refused, c.refused);
    EXPECT_EQ(offer.has_value(), c.refused.empty());
    if (offer) EXPECT_EQ(offer->contour, 1);
  }
}

// Progress comes with every status read; the journal writes a few lines a
// second, syncs at boundaries and every two seconds, and stays small.
TEST(JobJournal, ProgressIsAppendedCheaplyAndTheFileStaysSmall) {
  TempDir dir;
  FakeClock clock;
  const std::string path = dir.file("job.jnl");
  JobJournal journal(clock, path);
  ASSERT_TRUE(journal.Begin(TwoSquares()));
  const long syncsAtStart = journal.syncs();
  for (int i = 0; i < 8000; ++i) {  // 400 s of status reads every 50 ms
    clock.advance(50000);
    journal.Progress(i / 1000, 1 + i % 1000, {i, i}, i % 1000 == 0);
  }
  const auto size = ReadFileText(path).size();
  EXPECT_LE(size, JobJournal::kCompactBytes + 64);
  const long syncs = journal.syncs() - syncsAtStart;
  EXPECT_GE(syncs, 8 + 400 / 2 - 10) << "at contour boundaries and every 2 s";
  EXPECT_LE(syncs, 8 + 400 / 2 + 10);
  const auto last = JobJournal::Read(path);
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(last->contour, 7);
  EXPECT_GE(last->vertex, 1000 - 5) << "the last record is at most a quarter second old";
}

// The whole program's controller side on the in-process board, with the job
// of two squares and the ohmic sensor.
struct JobJournalRun : JobFixture, ::testing::Test {
  JobJournalRun() {
    set(kConfig, "xFeedMaxXY", "6000");
    set(kMain, "xFeed", "2000");
    set(kConfig, "xCor1", "0");
    tick(kConfig, "cOhmic");
    const JobState job = TwoSquares();
    system->job.Job = job.Job;
    system->job.ProjectOriginX = job.ProjectOriginX;
    system->job.ProjectOriginY = job.ProjectOriginY;
    Connect();
  }
  // Runs the job; `fault` happens once the journal has the tool past the
  // second vertex of the second contour.
  void RunUntil(const std::function<void()>& fault) {
    bool done = false;
    host.onProcessEvents = [&] {
      const JournalRecord& last = controller->runner.journal().last();
      if (done || last.contour < 1 || last.vertex < 2) return;
      done = true;
      fault();
    };
    controller->runner.Start();
    host.onProcessEvents = nullptr;
  }
  std::vector<CutMove> cutsFrom(std::size_t first) {
    return CutsInJob(executed(), first, system->scales, system->job);
  }
};

// A sound line of another job's journal appended to this job's: the start
// asks nothing and says in the log why the journal was refused.
TEST_F(JobJournalRun, AJournalWithAnotherJobsLineOffersNoResumeAndIsLogged) {
  const std::string path = controller->runner.journal().path();
  JobState other = system->job;
  other.Job.push_back(Square(20000, 1000, 1000));
  const std::string theirs = WriteCrashedJournal(clock, path, other);
  const std::string ours = WriteCrashedJournal(clock, path, system->job);
  ASSERT_TRUE(controller->runner.PendingResume().has_value()) << "this job's own journal is offered";
  WriteFileText(path, ours + theirs.substr(theirs.rfind('\n', theirs.size() - 2) + 1));
  EXPECT_FALSE(controller->runner.OfferResume());
  EXPECT_TRUE(host.questions.empty());
  EXPECT_TRUE(logged("Job journal \"" + path +
                     "\" refused: 1 progress lines belong to no job or another job; no resume is offered"));
}

// kill -9 in the middle of the second contour: the next start offers the
// contour and the point the board had confirmed, and Resume cuts the rest
// with the torch off and the head lifted before it moves.
TEST_F(JobJournalRun, AfterAKillTheNextStartResumesAtTheLastConfirmedPoint) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    RunUntil([] { ::raise(SIGKILL); });
    ::_exit(3);  // not killed: the parent sees the wrong end
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the child ran to its end";

  // The profile's job file still holds the job before (it is written at closing).
  const tCNCPath cut = system->job.Job;
  system->job.Job = {Square(0, 0, 1000)};
  SaveSettings(*system);
  const auto pending = controller->runner.PendingResume();
  ASSERT_TRUE(pending.has_value());
  EXPECT_TRUE(pending->loadCopy);
  const JournalRecord* offer = &pending->record;
  EXPECT_EQ(offer->state, JournalState::Running);
  EXPECT_EQ(offer->contour, 1);
  EXPECT_GE(offer->vertex, 2) << "progress inside the contour, not only its start";
  const CNCpath& second = cut[1];
  EXPECT_TRUE(NearSegment(Point64{offer->point.x, offer->point.y}, second[static_cast<std::size_t>(offer->vertex)],
                          second[static_cast<std::size_t>(offer->vertex) + 1], 1))
      << "the point lies on the segment after its vertex";
  EXPECT_NE(ResumeQuestion(*offer).find("contour 2 of 2"), std::string::npos);

  // This process is the next start: same profile, same job, same board.
  const std::size_t before = executed().size();
  host.answers = {Answer::Yes};
  ASSERT_TRUE(controller->runner.OfferResume());
  EXPECT_EQ(host.questions, std::vector<std::string>{ResumeQuestion(*offer)});
  EXPECT_EQ(system->job.Job, cut) << "the job of the interrupted run is back";
  EXPECT_FALSE(board().board().torchOn());
  const double floatSteps = (system->job.ProjectOriginZ + 1270) * system->scales.SZ;
  EXPECT_GE(board().board().position()[2], floatSteps - 2) << "the head at the floating height or above";
  controller->runner.Resume();
  EXPECT_TRUE(logged("Finish work OK"));
  EXPECT_TRUE(Covers(cutsFrom(before), second, offer->point));
  const auto cuts = cutsFrom(before);
  const CNCpath& first = system->job.Job[0];
  EXPECT_FALSE(AnyCutAt(cuts, {(first[2].x + first[3].x) / 2, (first[2].y + first[3].y) / 2}))
      << "the first contour is not cut again";
  EXPECT_FALSE(controller->runner.PendingResume().has_value()) << "a finished job is not offered again";
}

// kill -9 in the middle of a contour after the job was placed anew: the next
// start finds in the settings the material height and the place of the last
// clean close. The question shows the job where it was cut, Yes lifts the head
// on the board by the floating height over the material it cut, and No keeps
// the job at that place.
TEST_F(JobJournalRun, AfterAKillTheJobIsShownWhereItWasCutAndYesLiftsTheHeadOnTheBoard) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    RunUntil([] { ::raise(SIGKILL); });
    ::_exit(3);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  const JobState inUse = system->job;
  // The board as the killed program left it: the head at the cutting height over the material.
  system->StopRequested = false;
  controller->moves.MoveZ(inUse.ProjectOriginZ + 150, FieldSpeed(*system, kConfig, "xFeedMaxZ"));
  controller->commands.WaitIdle();
  ASSERT_NEAR(board().board().position()[2], (inUse.ProjectOriginZ + 150) * system->scales.SZ, 2);
  const auto& layout = board().board().machine().layout();
  const double surfaceSteps = layout.materialSurface.value_or(0);
  const double floatSteps = FieldLength(*system, kMain, "xFloatH") * system->scales.SZ;

  for (const Answer answer : {Answer::Yes, Answer::No}) {
    SCOPED_TRACE(answer == Answer::Yes ? "Yes" : "No");
    // What the last clean close left: the job 80 mm to the right, the
    // material lower than the one being cut by more than the floating height.
    system->job.ProjectOriginX = inUse.ProjectOriginX + 8000;
    system->job.ProjectOriginZ = inUse.ProjectOriginZ - FieldLength(*system, kMain, "xFloatH") - 1500;
    // The connection at start-up ends with a stop: its flag is still set.
    system->StopRequested = true;
    std::int32_t shownAt = 0;
    host.onAsk = [&](const std::string&) { shownAt = system->job.ProjectOriginX; };
    host.answers = {answer};
    EXPECT_EQ(controller->runner.OfferResume(), answer == Answer::Yes);
    EXPECT_EQ(shownAt, inUse.ProjectOriginX) << "shown where it was cut while the question waits";
    EXPECT_EQ(system->job.ProjectOriginX, inUse.ProjectOriginX);
    EXPECT_EQ(system->job.Job, inUse.Job);
    if (answer == Answer::Yes) {
      EXPECT_FALSE(board().board().torchOn());
      EXPECT_GE(board().board().position()[2], surfaceSteps + floatSteps - 2)
          << "the head at the floating height over the material or above";
    }
  }
}

// The board restarts in the middle of a contour (its power-up mark): the job
// stops at once instead of streaming moves into a board that lost its
// positions, keeps the last confirmed point and offers it at the next start.
TEST_F(JobJournalRun, APowerCutOfTheBoardStopsTheJobAndOffersTheResume) {
  double at = -1;
  RunUntil([&] {
    at = static_cast<double>(board().nowMicros());
    board().powerUp();
  });
  ASSERT_GE(at, 0);
  EXPECT_TRUE(logged("Controller power-up mark during the job: stopped at contour 2, resume offered"));
  EXPECT_TRUE(logged("Working stopped"));
  for (const auto& e : executed()) {
    if (e.startMicros > at + 1) {
      EXPECT_TRUE(e.from == e.to) << "command " << int(e.request.command) << " moved after the power-up";
    }
  }
  const auto pending = controller->runner.PendingResume();
  ASSERT_TRUE(pending.has_value());
  EXPECT_FALSE(pending->loadCopy);
  const JournalRecord* offer = &pending->record;
  EXPECT_EQ(offer->state, JournalState::PowerLost);
  EXPECT_EQ(offer->contour, 1);
  EXPECT_EQ(system->job.StopPoint, offer->point) << "Resume in this session starts there too";
  // Declined at the next start: asked once, then never again.
  host.answers = {Answer::No};
  EXPECT_FALSE(controller->runner.OfferResume());
  EXPECT_TRUE(logged("Resume declined: journal cleared"));
  EXPECT_FALSE(controller->runner.OfferResume());
  EXPECT_EQ(host.questions.size(), 1u);
}

}  // namespace
}  // namespace corvane::testing

namespace corvane::testing {
namespace {

// The cable pulled in the middle of the second of three contours: the job
// stops with its stop point while the board runs out its queue (at most the
// run-out the queue is held to while the torch burns, short of the end of
// that contour). After the cable is back, a new connection and Resume, the
// cuts before and after together are the whole job, and the resumed run cuts
// nothing a second time but the lead-in of the contour it resumes.
TEST_F(JobJournalRun, ALinkLostMidContourResumesAfterReconnectingWithoutGapOrSecondPass) {
  system->job.Job.push_back(Square(12000, 1000, 3000));
  RunUntil([&] { board().unplug(); });
  EXPECT_TRUE(logged("Controller lost: job stopped"));
  EXPECT_TRUE(logged("Working stopped"));
  EXPECT_EQ(system->job.CurrentContour, 1);
  ASSERT_NE(system->job.StopPoint, (Point2{0, 0}));

  clock.advance(60000000);  // the operator finds the plug
  board().plugIn();
  controller->connection.Connect();
  ASSERT_TRUE(controller->link.state.LinkConnected);
  clock.advance(2000000);
  const std::size_t before = executed().size();
  controller->runner.Resume();
  EXPECT_TRUE(logged("The board went on without the link to contour 2: resuming where it stands"));
  EXPECT_TRUE(logged("Finish work OK"));

  const auto all = cutsFrom(0), resumed = cutsFrom(before);
  for (const CNCpath& c : system->job.Job) EXPECT_TRUE(Covers(all, c, {c[1].x, c[1].y})) << "no gap";
  const auto earlier = CutsInJob({executed().begin(), executed().begin() + static_cast<long>(before)}, 0,
                                 system->scales, system->job);
  int twice = 0;
  for (const CutMove& m : earlier) twice += AnyCutAt(resumed, {(m.from.x + m.to.x) / 2, (m.from.y + m.to.y) / 2});
  EXPECT_LE(twice, 1) << "nothing cut a second time but the lead-in";
}

// The run ended as a contour starting at the job's origin began: F6 cuts
// that contour whole (a stop point at the origin used to mean "none").
TEST_F(JobJournalRun, AJournalAtTheStartOfAContourResumesItWhole) {
  system->job.Job = {Square(4000, 1000, 3000), Square(0, 0, 3000)};
  JobJournal& journal = controller->runner.journal();
  ASSERT_TRUE(journal.Begin(system->job));
  journal.Progress(1, 1, {0, 0}, true);
  host.answers = {Answer::Yes};
  ASSERT_TRUE(controller->runner.OfferResume());
  const std::size_t before = executed().size();
  controller->runner.Resume();
  EXPECT_TRUE(logged("Finish work OK"));
  const auto cuts = cutsFrom(before);
  EXPECT_TRUE(Covers(cuts, system->job.Job[1], {0, 0}));
  EXPECT_FALSE(AnyCutAt(cuts, {5500, 1000})) << "the first contour is not cut";
}

// Two parts sharing an edge: a stop on the shared edge of the first resumes
// the first along its own vertices, not along those of the second.
TEST_F(JobJournalRun, AStopOnASharedEdgeResumesTheStoppedContour) {
  system->job.Job = {Square(1000, 1000, 5000), Square(6000, 1000, 5000)};
  system->job.CurrentContour = 0;
  system->job.StopPoint = {6000, 3500};  // on the right side of the first, the left of the second
  const std::size_t before = executed().size();
  controller->runner.Resume();
  EXPECT_TRUE(logged("Finish work OK"));
  const auto resumed = cutsFrom(before);
  EXPECT_TRUE(Covers(resumed, system->job.Job[0], {6000, 3500}));
  EXPECT_TRUE(Covers(resumed, system->job.Job[1], {6000, 1000}));
}

}  // namespace
}  // namespace corvane::testing
