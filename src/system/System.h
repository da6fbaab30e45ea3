#pragma once
#include <cstdint>
#include <string>

#include "model/JobModel.h"
#include "model/JobPreparation.h"
#include "model/NumberParser.h"
#include "model/RotaryAxis.h"
#include "model/SpeedTables.h"
#include "ports/Clock.h"
#include "ports/Host.h"
#include "ports/ProgramLog.h"
#include "store/AdvancedOptions.h"
#include "store/FieldStore.h"
#include "ports/MessageTable.h"
#include "store/StoreState.h"
#include "store/WindowTexts.h"
#include "system/Paths.h"

namespace corvane {

// Ticks of the high-resolution counter, measured once at start.
struct CounterCalibration {
  double periodMicros = 1.0;          // microseconds per tick
  std::int64_t ticksPer10ms = 10001;  // round(frequency / 100) + 1
  std::int64_t ticksPerSecond = 1000001;
};

// The composition root: owns the state of every subsystem for one run of the
// program. Operations get what they need from here by reference.
class System {
 public:
  System(Clock& clock, Host& host, Paths paths);
  System(const System&) = delete;
  System& operator=(const System&) = delete;

  Clock& clock;
  Host& host;
  Paths paths;
  ProgramLog log;
  NumberParser parser;
  JobState job;
  AxisScales scales;
  SpeedTables speeds;
  CounterCalibration counter;
  FieldStore fields;
  AdvancedOptions advanced;
  MessageTable messages;
  WindowTexts texts;  // captions and hints of the windows, in the loaded language
  StoreState store;
  PreparationState prep;  // placement, sheet angle, single-line start, path view mapping
  RotaryState rotary;     // the fourth axis as a rotary axis and the tube on it

  bool loading = true;        // settings are being loaded
  bool Busy = false;          // a job or machine motion is running
  bool StopRequested = true;  // the one stop flag
  std::int32_t ContourState = 0;  // the running contour's process stage; 200: arc confirmed
  bool StatisticsChanged = false;

  // Main window creation: data folders, the day's log, the profile, the caption
  // and the rights line. False when the data root cannot be written.
  bool PrepareStart();
  bool firstStartOfDay() const { return log.firstStartOfDay(); }
  std::string caption() const;

  // Closing: the last line of every run.
  void LogClose();

  // What replaces or edits the job (a project, an import, a configuration or
  // backup of the settings) asks this first: under a running machine the
  // runner still holds contours of the old job. True while Busy, said in the
  // error label and the log: a dialog box would hold the running job.
  bool RefusedWhileBusy();
  static constexpr const char* kBusyRefusal = "The machine is busy: stop the job first";
};

// Write test of the data root: create, close and delete "Corvane.tst".
bool DataRootWritable(const std::string& dataRoot);
bool RunningAsAdministrator();

}  // namespace corvane
