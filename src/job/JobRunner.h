#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "job/JobJournal.h"
#include "model/DisplayList.h"

namespace corvane {

class ControllerLink;
class CuttingProcess;
class MachineCommands;
class Moves;
class System;

// What the runner shows or asks of the main window; unset ones do nothing.
struct JobRunnerUi {
  std::function<bool()> shiftHeld;                // dry run when held at Start
  std::function<void(bool running)> statusTimer;  // the 20 ms refresh, paused while cutting
  std::function<void(int contour, Rgb colour, int width)> highlightContour;
  std::function<void()> startReferencing;          // the referencing reminder
};

// What a pre-flight check found; a contour that leaves the table refuses the start.
struct PreflightReport {
  int contours = 0, pierces = 0, open = 0;
  double lengthMm = 0;
  int leavingContour = -1;  // first contour outside the soft limits, -1 none
  std::int32_t leavingX = 0, leavingY = 0;
};

// True when the contour's cut, leads left aside, ends where it began.
bool CutPathClosed(const CNCpath& contour);

// The Start button and what follows it: the refusals, the start position, the
// loop over the contours with the recovery after a dirty ohmic sensor or a
// lost arc, the finish position and the end-of-job bookkeeping. Stops reach it
// only through the stop flag; a stopped job keeps its stop point for Resume.
class JobRunner {
 public:
  JobRunner(System& system, ControllerLink& link, MachineCommands& commands, Moves& moves,
            CuttingProcess& cutting, const int& referencedAxes);

  JobRunnerUi ui;
  // The external alarm input stopped the machine; a key press clears it.
  bool AlarmLatched = false;

  void Start();
  // Continues the stopped contour from the stop point.
  void Resume();
  // Cuts the current contour from its end to its start.
  void CutReversed();
  // Numeric-pad + / − while cutting: one 2 % step faster or slower, sent to
  // the board and kept in the speed field the contour uses.
  void ChangeSpeed(int delta);
  // The one-second start lock after every stop and job end (and program start).
  bool StartLocked() const;
  PreflightReport Preflight() const;

  // The journal of the running job in the profile (STORE/job.jnl).
  JobJournal& journal() { return *journal_; }
  // A run that a crash, a kill or a power cut ended: of the loaded job, or of
  // the job the journal keeps a copy of (STORE/job.jnl.cvp2), since the job
  // file of the profile is only written at closing.
  struct ResumeOffer {
    JournalRecord record;
    bool loadCopy = false;  // the loaded job is another: the copy is read first
  };
  std::optional<ResumeOffer> PendingResume() const;
  // Makes Resume continue at the journal's point: the torch off, the head
  // lifted to the floating height (when connected), the contour and the stop
  // point set. Logs what it did.
  void PrepareResume(const JournalRecord& record);
  // At start-up, once connected: asks whether to resume an interrupted run
  // and prepares it on Yes; No forgets the journal. True when prepared.
  bool OfferResume();

 private:
  // Status A was read during a run: the board's position is journalled, and
  // its power-up mark stops the job.
  void OnStatusA();
  std::int32_t ConfirmedVertex(std::int32_t contour, Point2& at) const;
  void JournalContourStart(int index);
  bool CatchUpWithBoard(std::size_t& segment);
  void StartResumed();
  void MarkCut(int index);
  // The first contour of the run not cut yet, -1 when none.
  std::int32_t FirstUncut() const;
  bool Refused();
  void BeginRun();
  void RunContours();
  void CutWithRecovery(int index);
  void OhmicRetry(int index);
  void ArcRestart(int index);
  void FinishRun();
  void BlowOut(std::int32_t onMillis);
  void StopPulse();
  void LockStart();

  System& system_;
  ControllerLink& link_;
  MachineCommands& commands_;
  Moves& moves_;
  CuttingProcess& cutting_;
  const int& referencedAxes_;
  std::int64_t startLockUntil_;
  std::int64_t startedAt_ = 0;
  std::unique_ptr<JobJournal> journal_;
  std::string copiedJob_;  // identity of the job the copy holds
  bool powerLost_ = false;
  bool linkLost_ = false;  // the last run stopped because the board went away
  std::size_t resumeSegment_ = 0;  // the journal's segment for the next Resume, 0 none
  bool resumeWhole_ = false;       // the journal's contour was not cut yet: Resume starts it
  bool resuming_ = false;          // Start runs on behalf of Resume
  std::vector<char> cut_;          // per contour: cut by this run (and the runs it resumed)
  std::int32_t firstContour_ = 0;  // where the run began
};

}  // namespace corvane
