#include "job/JobRunner.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "job/CuttingProcess.h"
#include "link/ControllerLink.h"
#include "machine/GoTo.h"
#include "machine/MachineCommands.h"
#include "machine/Moves.h"
#include "model/Geometry.h"
#include "model/PositionText.h"
#include "store/FieldValues.h"
#include "store/JobFile.h"
#include "store/SettingsStore.h"
#include "store/StoreFiles.h"
#include "system/System.h"
#include "system/TubeSetup.h"
#include "wire/Codes.h"
#include "wire/Commands.h"
#include "wire/Frame.h"

namespace corvane {
namespace {

constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;
constexpr std::int64_t kStartLockMicros = 1000000;
constexpr int kAllAxes = 7;
constexpr std::int32_t kArcConfirmed = 200, kArcRestart = 100;
constexpr std::int32_t kBlowOutHeight = 500;  // 5 mm above the surface
constexpr double kResumeTolerance = 50;
// How far the board may stand from the stopped contour and still be on it
// after running out its queue: the planner leaves out vertices of gentle
// curves, so a move's end can lie off the drawn line.
constexpr double kCatchUpTolerance = 200;
// Within this of the contour's end point the board has reached it.
constexpr double kAtEndTolerance = 10;
constexpr Point2 kFarAway{-100000, -100000};
// How far from its contour the tool may be and still count as on it: the
// kerf correction puts the torch beside the drawn line.
constexpr double kJournalTolerance = 100;
constexpr const char* kJournalFile = "job.jnl";
constexpr const char* kJournalJobCopy = "job.jnl.cvp2";
constexpr std::size_t kMaxJobCopyBytes = 256u * 1024u * 1024u;

bool Cuttable(const CNCpath& c) {
  const std::int32_t kind = ContourKindOf(c);
  return kind == kKindCut || kind == kKindMarker;
}

std::string WorkTime(std::int64_t micros) {
  const std::int64_t seconds = micros / 1000000;
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld", static_cast<long long>(seconds / 60),
                static_cast<long long>(seconds % 60));
  return text;
}

}  // namespace

JobRunner::JobRunner(System& system, ControllerLink& link, MachineCommands& commands, Moves& moves,
                     CuttingProcess& cutting, const int& referencedAxes)
    : system_(system),
      link_(link),
      commands_(commands),
      moves_(moves),
      cutting_(cutting),
      referencedAxes_(referencedAxes),
      startLockUntil_(system.clock.nowMicros() + kStartLockMicros),
      journal_(std::make_unique<JobJournal>(system.clock, system.paths.storeFolder() + kJournalFile)) {}

bool JobRunner::StartLocked() const { return system_.clock.nowMicros() < startLockUntil_; }

void JobRunner::LockStart() { startLockUntil_ = system_.clock.nowMicros() + kStartLockMicros; }

// Command 204 twice around a cleared stop flag: the board and the screen both
// see that a new run begins.
void JobRunner::StopPulse() {
  commands_.Send(wire::cmd::kManualStart);
  system_.StopRequested = false;
  commands_.Dwell(100);
  system_.host.processEvents();
  commands_.Send(wire::cmd::kManualStart);
}

// A contour with leads is cut from its lead-in round the contour back to the
// point where the lead-in joined it, then out along its lead-out: the joining
// point comes twice, within a lead's length of either end. Without leads the
// first and the last vertex are the same.
bool CutPathClosed(const CNCpath& c) {
  if (c.size() <= 3) return false;
  const std::size_t last = c.size() - 1;
  if (c[1] == c.back()) return true;
  constexpr std::size_t kLeadPoints = 16;  // the pierce point, the lead and the joining point
  for (std::size_t i = 1; i <= std::min(kLeadPoints, last); ++i)
    for (std::size_t j = std::max(i + 3, last > kLeadPoints ? last - kLeadPoints : 0); j <= last; ++j)
      if (c[i] == c[j]) return true;
  return false;
}

// Every vertex of every contour the run would cut, as the machine would reach
// it, against the table; plus the counts the operator wants in one line.
PreflightReport JobRunner::Preflight() const {
  PreflightReport r;
  const JobState& job = system_.job;
  const bool limits = system_.fields.checked(kConfig, "cLimits");
  const std::int64_t maxX = system_.store.SoftLimitX, maxY = system_.store.SoftLimitY;
  const std::int32_t markerX = FieldLength(system_, kConfig, "xSpec11");
  const std::int32_t markerY = FieldLength(system_, kConfig, "xSpec12");
  const bool rotary = system_.rotary.active;
  for (std::size_t k = 0; k < job.Job.size(); ++k) {
    const CNCpath& c = job.Job[k];
    if (!Cuttable(c) || c.size() < 2) continue;
    ++r.contours;
    if (ContourKindOf(c) == kKindCut) ++r.pierces;
    if (c.size() > 3 && !CutPathClosed(c)) ++r.open;
    const bool marker = ContourKindOf(c) == kKindMarker;
    const std::int64_t ox = job.ProjectOriginX - (marker ? markerX : 0);
    const std::int64_t oy = job.ProjectOriginY - (marker ? markerY : 0);
    for (std::size_t i = 1; i < c.size(); ++i) {
      if (i >= 2) r.lengthMm += Dist(c[i - 1], c[i]) / 100.0;
      const std::int64_t x = ox + c[i].x, y = oy + c[i].y;
      // On the rotary axis X runs round the tube: only Y can leave the table.
      const bool xOut = !rotary && (x < 0 || x > maxX);
      if (limits && r.leavingContour < 0 && (xOut || y < 0 || y > maxY)) {
        r.leavingContour = static_cast<int>(k);
        r.leavingX = static_cast<std::int32_t>(x);
        r.leavingY = static_cast<std::int32_t>(y);
      }
    }
  }
  return r;
}

// The checks that keep a start from happening at all.
bool JobRunner::Refused() {
  const LinkState& line = link_.state;
  if (line.LimitX || line.LimitY || line.LimitZ) {
    link_.state.StatusCode = line.LimitX ? wire::alarm::kLimitX : line.LimitY ? wire::alarm::kLimitY
                                                                              : wire::alarm::kLimitZ;
    return true;
  }
  system_.host.setErrorLabel("");
  cutting_.LastSensePoint = kFarAway;
  if (StartLocked() || AlarmLatched) return true;

  const bool unreferenced = line.LinkConnected && referencedAxes_ < kAllAxes;
  if (unreferenced) system_.log.WriteLog("warring: Machine not referenced!");
  if (unreferenced && system_.advanced.showErrors) {
    system_.host.setErrorLabel("Machine not referenced!");
    if (system_.advanced.referencingReminder) {
      if (ui.startReferencing) ui.startReferencing();
      return true;
    }
  }

  const JobState& job = system_.job;
  const bool xOut = !system_.rotary.active && (job.ProjectOriginX < 0 ||
                                               job.ProjectOriginX + job.JobExtentX > system_.store.SoftLimitX);
  // On the rotary axis X runs round the tube: only Y is checked, and said so.
  const std::string limits = system_.rotary.active ? "SOFT LIMIT Y !!!" : "SOFT LIMITS !!!";
  if (system_.fields.checked(kConfig, "cLimits") &&
      (xOut || job.ProjectOriginY < 0 || job.ProjectOriginY + job.JobExtentY > system_.store.SoftLimitY)) {
    system_.host.showMessage(limits);
    return true;
  }
  const PreflightReport check = Preflight();
  if (check.leavingContour >= 0) {
    system_.host.showMessage(limits + " Contour " + std::to_string(check.leavingContour + 1) +
                             " leaves the table at X " + std::to_string(check.leavingX / 100) + " Y " +
                             std::to_string(check.leavingY / 100) + " mm");
    return true;
  }
  char summary[160];
  std::snprintf(summary, sizeof summary, "Pre-flight: %d contours, %d pierces, %.0f mm, %d open", check.contours,
                check.pierces, check.lengthMm, check.open);
  system_.log.WriteLog(summary);
  return false;
}

void JobRunner::BeginRun() {
  const bool connected = link_.state.LinkConnected;
  commands_.SwitchOutputs(OutputMode::ZAxisDown, false);
  if (system_.fields.checked(kConfig, "cSpec1a")) commands_.Dwell(FieldInteger(system_, kMain, "eTime"));
  system_.host.playSound(sound::kStart);
  system_.log.WriteLog(connected ? "---- Work start ----" : "---- Simulation start ----");
  system_.log.WriteLog("Speed:" + system_.fields.text(kMain, "xFeed") + " / " + system_.fields.text(kMain, "xFeed2"));

  // A tube has no flat surface to hold the height over or sense on.
  if (system_.rotary.active) {
    system_.fields.setText(kMain, "eTHC", "off");
    system_.fields.setChecked(kConfig, "cOhmic", false);
    system_.fields.setChecked(kConfig, "cFloating", false);
    commands_.SendThcSettings();
  }
  JobState& job = system_.job;
  job.StopPoint = {0, 0};
  link_.state.StatusCode = 0;
  commands_.StopMotion();
  commands_.WaitIdle();
  startedAt_ = system_.clock.nowMicros();
  cutting_.DryRun = ui.shiftHeld && ui.shiftHeld();
  job.LastCommanded = CommandedFromBoard(system_, job.MachinePosition);
}

void JobRunner::BlowOut(std::int32_t onMillis) {
  commands_.TorchOn();
  commands_.Dwell(onMillis);
  commands_.TorchOff();
}

// A material detection error with blowing out ticked: blow the ohmic
// sensor clean and cut the contour again, once.
void JobRunner::OhmicRetry(int index) {
  StopPulse();
  commands_.WaitIdle();
  if (system_.StopRequested) return;
  system_.host.setErrorLabel("OHMIC Auto blowing out");
  system_.log.WriteLog("OHMIC Auto blowing out");
  link_.state.StatusCode = 0;
  BlowOut(300);
  commands_.Dwell(2000);
  BlowOut(500);
  commands_.Dwell(100);
  commands_.TorchOff();
  commands_.Dwell(2000);
  commands_.TorchOff();
  StopPulse();
  commands_.WaitIdle();
  commands_.ReadStatusA();
  JobState& job = system_.job;
  job.LastCommanded.x = job.MachinePosition.x;
  job.LastCommanded.y = job.MachinePosition.y;
  job.LastCommanded.z = job.MachinePosition.z;
  commands_.WaitIdle();
  commands_.TorchOff();
  system_.host.setErrorLabel("");
  commands_.Dwell(500);
  cutting_.CutContour(job.Job[static_cast<std::size_t>(index)]);
  commands_.WaitIdle();
}

// An arc lost before it was ever confirmed: settle, then try the contour again.
void JobRunner::ArcRestart(int index) {
  system_.host.setErrorLabel("ARC RESTARTING");
  system_.log.WriteLog("ARC RESTARTING");
  commands_.Dwell(200);
  system_.clock.sleepMillis(200);
  commands_.WaitIdle();
  system_.Busy = true;
  system_.StopRequested = false;
  system_.host.setErrorLabel("");
  if (system_.StopRequested) return;
  system_.host.setErrorLabel("ARC RESTARTING");
  system_.log.WriteLog("ARC RESTARTING");
  link_.state.StatusCode = 0;
  commands_.WaitIdle();
  commands_.Send(wire::cmd::kManualStart);
  commands_.WaitIdle();
  system_.ContourState = kArcRestart;
  commands_.TorchOff();
  commands_.WaitIdle();
  commands_.TorchOff();
  commands_.ReadStatusA();
  JobState& job = system_.job;
  job.LastCommanded = CommandedFromBoard(system_, job.MachinePosition);
  commands_.TorchOff();
  commands_.WaitIdle();
  commands_.TorchOff();
  commands_.Send(wire::cmd::kManualStart);
  system_.clock.sleepMillis(200);
  commands_.Dwell(1000);
  commands_.WaitIdle();
  commands_.Send(wire::cmd::kManualStart);
  commands_.WaitIdle();
  system_.host.setErrorLabel("");
  if (system_.ContourState != kArcConfirmed) cutting_.CutContour(job.Job[static_cast<std::size_t>(index)]);
  commands_.TorchOff();
  commands_.Dwell(500);
  commands_.TorchOff();
  commands_.WaitIdle();
  commands_.TorchOff();
}

void JobRunner::CutWithRecovery(int index) {
  JobState& job = system_.job;
  const CNCpath& contour = job.Job[static_cast<std::size_t>(index)];
  const bool small = ContourKindOf(contour) == kKindCut &&
                     FitsInSquare(contour, FieldLength(system_, kConfig, "xSmall"));
  if (ui.highlightContour) ui.highlightContour(index, small ? colours::kPurple : colours::kNavy, 2);
  system_.ContourState = 1;
  cutting_.CutContour(contour);
  commands_.WaitIdle();
  if (system_.fields.checked(kConfig, "cSpec5") && system_.StopRequested &&
      link_.state.StatusCode == wire::alarm::kMaterialDetection)
    OhmicRetry(index);
  if (system_.fields.checked(kConfig, "cSpec6") && system_.StopRequested && system_.ContourState == 0)
    ArcRestart(index);
  link_.request.p[0] = 0;
  commands_.Send(wire::cmd::kFeedOverride);
  cutting_.ContourSpeedClass = 0;
  commands_.SpeedOverride = 0;
}

void JobRunner::RunContours() {
  JobState& job = system_.job;
  const std::int32_t maxZ = FieldSpeed(system_, kConfig, "xFeedMaxZ");
  for (; job.CurrentContour < static_cast<std::int32_t>(job.Job.size()); ++job.CurrentContour) {
    const int index = job.CurrentContour;
    if (!Cuttable(job.Job[static_cast<std::size_t>(index)])) continue;
    JournalContourStart(index);
    CutWithRecovery(index);
    if (system_.StopRequested) return;
    MarkCut(index);
    commands_.ReadStatusA();
    // The material height the contour found is the one "Material / Project
    // position" Z shows (on a tube the surface height comes from the tube).
    if (!system_.rotary.active)
      system_.fields.setText(kMain, "xZM", FormatOriginField(job.ProjectOriginZ, system_.parser.imperial));
    job.LastCommanded.z = job.MachinePosition.z;
    moves_.MoveZ(cutting_.LiftAfterContour(), maxZ);
    if (ui.highlightContour) ui.highlightContour(index, colours::kGreen, 1);
    job.ResumeMode = 0;
  }
}

void JobRunner::FinishRun() {
  JobState& job = system_.job;
  const bool stopped = system_.StopRequested;
  if (stopped) commands_.StopMotion();
  commands_.WaitIdle();
  const CommandFields outputs = commands_.commandFields();
  if (outputs.out1 == OutputMode::ZAxisDown) commands_.Send(wire::cmd::kOut1Off);
  if (outputs.out2 == OutputMode::ZAxisDown) commands_.Send(wire::cmd::kOut2Off);
  system_.Busy = false;
  system_.host.requestRedraw();
  if (ui.statusTimer) ui.statusTimer(true);
  moves_.ThcSpeedThreshold = 0;
  job.ResumeMode = 0;
  link_.request.p[0] = 0;
  commands_.Send(wire::cmd::kFeedOverride);

  const Point64 board = BoardInJob(system_, job.MachinePosition, true);
  job.StopPoint = stopped ? Point2{static_cast<std::int32_t>(board.x), static_cast<std::int32_t>(board.y)}
                          : Point2{0, 0};
  // After a power cycle the board's positions mean nothing: the last point it
  // confirmed before is where the job stands.
  if (powerLost_ && journal_->last().contour == job.CurrentContour) job.StopPoint = journal_->last().point;
  linkLost_ = stopped && !link_.state.LinkConnected;
  // A run only finishes when every contour from its first on was cut.
  const std::int32_t uncut = stopped ? 0 : FirstUncut();
  const bool whole = !stopped && uncut < 0;
  journal_->End(whole ? JournalState::Finished : powerLost_ ? JournalState::PowerLost : JournalState::Stopped);
  const auto& f = system_.fields;
  GoTo(system_, commands_, moves_, f.text(kConfig, "eENDx"), f.text(kConfig, "eENDy"), f.text(kConfig, "eENDz"));
  commands_.SwitchOutputs(OutputMode::DuringWork, false);
  system_.host.playSound(sound::kStop);
  LockStart();
  system_.log.stage = kStageJobEnd;
  system_.log.WriteLog("Work time :" + WorkTime(system_.clock.nowMicros() - startedAt_));

  if (stopped) {
    system_.log.WriteLog("Working stopped");
    return;
  }
  if (!whole) {
    system_.log.WriteLog("Working stopped: contour " + std::to_string(uncut + 1) + " was not cut");
    system_.host.setErrorLabel("Contour " + std::to_string(uncut + 1) + " was not cut");
    return;
  }
  system_.log.WriteLog("Finish work OK");
  if (!link_.state.LinkConnected || link_.state.StatusCode != 0 || !system_.store.JobSentFromImport) return;
  const auto& steps = commands_.status.MachinePositionSteps;
  SaveLastGood(system_, {steps[0], steps[1], steps[2], steps[3]});
}

void JobRunner::Start() {
  system_.log.stage = kStageJobStart;
  if (Refused()) return;
  BeginRun();
  // The stop that clears the board before the run marks the log as stopped.
  system_.log.stage = kStageJobStart;
  JobState& job = system_.job;
  const bool wasBusy = system_.Busy;
  powerLost_ = false;
  if (!wasBusy) {
    if (job.CurrentContour < 0 || job.CurrentContour >= static_cast<std::int32_t>(job.Job.size()))
      job.CurrentContour = 0;
    system_.Busy = true;
    system_.host.requestRedraw();
    StopPulse();
  }
  // A resume carries on the record of what its run has cut; any other start
  // begins a new one at the current contour.
  if (!resuming_ || cut_.size() != job.Job.size()) {
    cut_.assign(job.Job.size(), 0);
    firstContour_ = std::max(job.CurrentContour, 0);
  }
  if (!job.Job.empty()) {
    if (link_.state.LinkConnected && ui.statusTimer) ui.statusTimer(false);
    const auto& f = system_.fields;
    GoTo(system_, commands_, moves_, f.text(kConfig, "eSTARTx"), f.text(kConfig, "eSTARTy"),
         f.text(kConfig, "eSTARTz"));
    commands_.SwitchOutputs(OutputMode::DuringWork, true);
    commands_.Dwell(FieldInteger(system_, kConfig, "eSpec12"));
    commands_.Send(wire::cmd::kManualStart);
  }
  if (system_.fields.checked(kConfig, "cSpec5") &&
      job.LastCommanded.z > job.ProjectOriginZ + kBlowOutHeight &&
      (link_.state.StatusWord & wire::status::kOhmic) != 0) {
    system_.host.setErrorLabel("OHMIC Auto blowing out");
    system_.log.WriteLog("OHMIC Auto blowing out");
    BlowOut(400);
    commands_.Dwell(3000);
    commands_.WaitIdle();
    system_.host.setErrorLabel("");
  }
  if (link_.state.LinkConnected && !cutting_.DryRun) {
    if (!journal_->Begin(job)) system_.log.WriteLog("Job journal not written: \"" + journal_->path() + "\"");
    const std::string identity = JobIdentity(job);
    if (journal_->active() && identity != copiedJob_ &&
        WriteJobFile(system_, system_.paths.storeFolder() + kJournalJobCopy))
      copiedJob_ = identity;
  }
  // Every status A read while the job runs goes through the journal.
  auto& statusHook = commands_.ui.redrawToolMarker;
  const std::function<void()> screen = statusHook;
  statusHook = [this, screen] {
    if (screen) screen();
    OnStatusA();
  };
  RunContours();
  FinishRun();
  statusHook = screen;
}

void JobRunner::MarkCut(int index) {
  if (index >= 0 && static_cast<std::size_t>(index) < cut_.size()) cut_[static_cast<std::size_t>(index)] = 1;
}

std::int32_t JobRunner::FirstUncut() const {
  const tCNCPath& job = system_.job.Job;
  for (std::size_t k = static_cast<std::size_t>(firstContour_); k < job.size(); ++k)
    if (Cuttable(job[k]) && job[k].size() >= 2 && (k >= cut_.size() || !cut_[k])) return static_cast<std::int32_t>(k);
  return -1;
}

void JobRunner::JournalContourStart(int index) {
  if (!journal_->active()) return;
  const CNCpath& c = system_.job.Job[static_cast<std::size_t>(index)];
  if (c.size() >= 2) journal_->Progress(index, 1, {c[1].x, c[1].y}, true);
}

// The vertex the tool has passed on the contour (the start of the segment it
// is on), and its point snapped onto that segment; 0 when the tool is not on
// the contour (travelling, piercing, on the lead-in). The search starts where
// the last record left off, so a contour that crosses itself never goes back.
std::int32_t JobRunner::ConfirmedVertex(std::int32_t contour, Point2& at) const {
  const JobState& job = system_.job;
  const CNCpath& c = job.Job[static_cast<std::size_t>(contour)];
  const Point64 p = BoardInJob(system_, job.MachinePosition, true);
  const JournalRecord& last = journal_->last();
  const std::size_t from = last.contour == contour ? static_cast<std::size_t>(std::max(last.vertex, 1)) + 1 : 2;
  for (std::size_t j = from; j < c.size(); ++j) {
    if (!NearSegment(p, c[j - 1], c[j], kJournalTolerance)) continue;
    at = SnapOntoSegment(p, c[j - 1], c[j]);
    return static_cast<std::int32_t>(j - 1);
  }
  return 0;
}

void JobRunner::OnStatusA() {
  if (!link_.state.LinkConnected || link_.reply.error != 0 || !wire::ChecksumValid(link_.replyFrame())) return;
  JobState& job = system_.job;
  const auto& r = link_.reply.r;
  if (r[0] == wire::kPowerUpMark && r[1] == wire::kPowerUpMark) {
    // The board restarted: its queue and positions are gone, so nothing more
    // may be sent in the old frame.
    if (powerLost_) return;
    powerLost_ = true;
    system_.StopRequested = true;
    system_.log.WriteLog("Controller power-up mark during the job: stopped at contour " +
                         std::to_string(job.CurrentContour + 1) + ", resume offered");
    return;
  }
  if (powerLost_ || !journal_->active()) return;
  if (job.CurrentContour < 0 || job.CurrentContour >= static_cast<std::int32_t>(job.Job.size())) return;
  Point2 at;
  if (const std::int32_t vertex = ConfirmedVertex(job.CurrentContour, at); vertex > 0)
    journal_->Progress(job.CurrentContour, vertex, at, false);
}

std::optional<JobRunner::ResumeOffer> JobRunner::PendingResume() const {
  int damaged = 0;
  std::string refused;
  auto loaded = corvane::PendingResume(journal_->path(), system_.job, &damaged, &refused);
  if (!refused.empty()) {
    system_.log.WriteLog("Job journal \"" + journal_->path() + "\" refused: " + refused +
                         "; no resume is offered");
    return std::nullopt;
  }
  if (damaged > 0)
    system_.log.WriteLog("Job journal \"" + journal_->path() + "\": " + std::to_string(damaged) +
                         " damaged lines skipped, the last sound one counts");
  if (loaded) return ResumeOffer{*loaded, false};
  const auto bytes = ReadWholeFile(system_.paths.storeFolder() + kJournalJobCopy, kMaxJobCopyBytes);
  if (!bytes) return std::nullopt;
  JobFileContent content = DecodeJobFile(*bytes, true, system_.log);
  JobState copy;
  copy.Job = std::move(content.job);
  if (content.origin) {
    copy.ProjectOriginX = content.origin->x;
    copy.ProjectOriginY = content.origin->y;
  }
  if (auto kept = corvane::PendingResume(journal_->path(), copy)) return ResumeOffer{*kept, true};
  return std::nullopt;
}

bool JobRunner::OfferResume() {
  const std::optional<ResumeOffer> pending = PendingResume();
  if (!pending) return false;
  // The job in use when the run ended is the journal's copy, at the place it
  // was cut (the profile's job file only holds what the last clean close
  // left): it is shown while the question waits and kept whatever the answer.
  if (pending->loadCopy) {
    if (!ReadJobFile(system_, system_.paths.storeFolder() + kJournalJobCopy)) return false;
    system_.host.requestRedraw();
  }
  const std::string question = ResumeQuestion(pending->record);
  system_.log.WriteLog(question);
  if (system_.host.ask(question, Buttons::YesNo) != Answer::Yes) {
    RemoveFile(journal_->path());
    system_.log.WriteLog("Resume declined: journal cleared");
    return false;
  }
  PrepareResume(pending->record);
  return true;
}

void JobRunner::PrepareResume(const JournalRecord& record) {
  JobState& job = system_.job;
  if (record.contour < 0 || record.contour >= static_cast<std::int32_t>(job.Job.size()) ||
      job.Job[static_cast<std::size_t>(record.contour)].size() < 2)
    return;
  if (link_.state.LinkConnected) {
    // The operator's Yes is a command of its own: the stop the connection
    // left behind must not swallow the lift.
    system_.StopRequested = false;
    commands_.TorchOff();
    // The wait ends with a status read: where the board's head stands now.
    commands_.WaitIdle();
    job.LastCommanded = CommandedFromBoard(system_, job.MachinePosition);
    // After a crash the material's height the settings hold may be another
    // job's: the head goes up by the floating height from where it stands,
    // and at least to the floating height over the material as known.
    const std::int32_t up = std::max(cutting_.LiftAfterContour(),
                                     job.MachinePosition.z + FieldLength(system_, kMain, "xFloatH"));
    moves_.MoveZ(up, FieldSpeed(system_, kConfig, "xFeedMaxZ"));
    commands_.WaitIdle();
  }
  job.CurrentContour = record.contour;
  job.StopPoint = record.point;
  resumeSegment_ = static_cast<std::size_t>(std::max(record.vertex, 1)) + 1;
  const CNCpath& contour = job.Job[static_cast<std::size_t>(record.contour)];
  resumeWhole_ = record.vertex <= 1 && record.point == Point2{contour[1].x, contour[1].y};
  system_.log.WriteLog("Resume prepared at contour " + std::to_string(record.contour + 1) + ", vertex " +
                       std::to_string(record.vertex) + (link_.state.LinkConnected ? ": torch off, head lifted" : ""));
}

void JobRunner::ChangeSpeed(int delta) {
  if (!system_.Busy || commands_.status.ActualSpeed <= 10) return;
  commands_.ChangeFeedOverride(delta);
  const char* field = cutting_.ContourSpeedClass == 2 ? "xFeed2" : "xFeed";
  const std::string text = system_.fields.text(kMain, field);
  if (text.find('%') != std::string::npos) return;
  const double value = system_.parser.ParseFloat(text);
  const double changed = delta > 0 ? value * 1.02 : value / 1.02;
  char out[32];
  if (system_.parser.imperial)
    std::snprintf(out, sizeof out, "%.2f", changed);
  else
    std::snprintf(out, sizeof out, "%ld", std::lround(changed));
  system_.fields.setText(kMain, field, out);
}

// The stop point is looked up on the stopped contour only: where contours
// touch or share an edge it lies on several, and a vertex of another contour
// would start the stopped one at the wrong place. A stop off the contour
// (on the way to it, on the lead-in) cuts the contour from its start.
void JobRunner::Resume() {
  JobState& job = system_.job;
  if (resumeWhole_) {
    // The journal's run ended before the contour was cut: it is cut whole.
    resumeWhole_ = false;
    resumeSegment_ = 0;
    job.ResumeMode = 0;
    return StartResumed();
  }
  if (job.StopPoint == Point2{0, 0}) return;
  // The journal knows the segment: a closed contour ends where it starts.
  std::size_t from = resumeSegment_ > 0 ? resumeSegment_ : 2;
  resumeSegment_ = 0;
  const bool left = !linkLost_ || !link_.state.LinkConnected || CatchUpWithBoard(from);
  linkLost_ = false;
  if (!left) return;
  job.ResumePoint = job.StopPoint;
  const Point64 stop{job.StopPoint.x, job.StopPoint.y};
  bool onContour = false;
  if (from > 0 && job.CurrentContour >= 0 && job.CurrentContour < static_cast<std::int32_t>(job.Job.size())) {
    const CNCpath& c = job.Job[static_cast<std::size_t>(job.CurrentContour)];
    for (std::size_t j = from; j < c.size() && !onContour; ++j) {
      if (!NearSegment(stop, c[j - 1], c[j], kResumeTolerance)) continue;
      job.ResumePoint = SnapOntoSegment(stop, c[j - 1], c[j]);
      job.ResumeContour = job.CurrentContour;
      job.ResumeVertex = static_cast<std::int32_t>(j);
      onContour = true;
    }
  }
  job.ResumeMode = onContour ? 1 : 0;
  StartResumed();
  job.ResumeMode = 0;
}

void JobRunner::StartResumed() {
  resuming_ = true;
  Start();
  resuming_ = false;
}

// A board that lost its link runs on through what it had queued (the rest of
// the contour, the torch off and the lift), so it stands further along the
// job than the program last saw it: resuming at the old stop point would cut
// that stretch twice. Only the stopped contour can hold it: every contour
// before it was queued whole, and nothing after it was ever sent. The board
// is looked for from the stop point's segment on, on the segment nearest to
// it; standing at the contour's end with the torch off it has finished the
// contour. Farther from the contour (on the way to it) the old stop point
// stays. `segment` is where the lookup of the stop point starts. False when
// the board has cut the whole job.
bool JobRunner::CatchUpWithBoard(std::size_t& segment) {
  JobState& job = system_.job;
  const std::int32_t contours = static_cast<std::int32_t>(job.Job.size());
  if (job.CurrentContour < 0 || job.CurrentContour >= contours || !commands_.ReadStatusA()) return true;
  const CNCpath& c = job.Job[static_cast<std::size_t>(job.CurrentContour)];
  if (!Cuttable(c) || c.size() < 3) return true;
  const Point64 board = BoardInJob(system_, job.MachinePosition, true);
  const Point64 stop{job.StopPoint.x, job.StopPoint.y};
  std::size_t from = 2;
  while (from < c.size() && !NearSegment(stop, c[from - 1], c[from], kResumeTolerance)) ++from;
  if (from == c.size()) from = 2;
  std::size_t nearest = 0;
  double best = kCatchUpTolerance;
  for (std::size_t j = from; j < c.size(); ++j) {
    const double d = Dist(board, SnapOntoSegment(board, c[j - 1], c[j]));
    if (d < best || (nearest == 0 && d <= best)) {
      best = d;
      nearest = j;
    }
  }
  if (nearest == 0) return true;
  const int k = job.CurrentContour;
  // The torch still on means the queue ran out before the contour's end.
  const bool torchOn = commands_.ReadStatusB() && (link_.state.StatusWord & wire::status::kTorch) != 0;
  const bool done = nearest + 1 == c.size() && Dist(board, c.back()) <= kAtEndTolerance && !torchOn;
  if (!done) {
    job.StopPoint = SnapOntoSegment(board, c[nearest - 1], c[nearest]);
    segment = nearest;
    system_.log.WriteLog("The board went on without the link to contour " + std::to_string(k + 1) +
                         ": resuming where it stands");
    return true;
  }
  MarkCut(k);
  std::int32_t next = k + 1;
  while (next < contours && !Cuttable(job.Job[static_cast<std::size_t>(next)])) ++next;
  job.CurrentContour = next;
  if (next == contours) {
    job.StopPoint = {0, 0};
    system_.log.WriteLog("The board cut the job to its end without the link");
    return false;
  }
  segment = 0;
  system_.log.WriteLog("The board went on without the link to the end of contour " + std::to_string(k + 1) +
                       ": resuming at contour " + std::to_string(next + 1));
  return true;
}

void JobRunner::CutReversed() {
  JobState& job = system_.job;
  if (system_.Busy || job.CurrentContour < 0 || job.CurrentContour >= static_cast<std::int32_t>(job.Job.size()))
    return;
  link_.state.StatusCode = 0;
  cutting_.DryRun = ui.shiftHeld && ui.shiftHeld();
  job.LastCommanded = CommandedFromBoard(system_, job.MachinePosition);
  system_.host.requestRedraw();
  commands_.Send(wire::cmd::kMotionReset);
  system_.Busy = true;
  commands_.Dwell(100);
  system_.StopRequested = false;
  system_.host.processEvents();
  if (link_.state.LinkConnected && ui.statusTimer) ui.statusTimer(false);
  const CNCpath reversed = ReverseContour(job.Job[static_cast<std::size_t>(job.CurrentContour)]);
  if (ui.highlightContour) ui.highlightContour(job.CurrentContour, colours::kRed, 2);
  cutting_.CutContour(reversed);
  commands_.WaitIdle();
  if (!system_.StopRequested) MarkCut(job.CurrentContour);
  ++job.CurrentContour;
  if (system_.StopRequested) commands_.StopMotion();
  commands_.WaitIdle();
  system_.Busy = false;
  system_.host.requestRedraw();
  if (ui.statusTimer) ui.statusTimer(true);
}

}  // namespace corvane
