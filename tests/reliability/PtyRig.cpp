#include "reliability/PtyRig.h"

#include <algorithm>
#include <cmath>

#include "support/SimulatorProcess.h"
#include "system/FieldSettings.h"
#include "virtual/ControllerFields.h"
#include "wire/Commands.h"
#include "wire/FrameLog.h"

namespace corvane::testing {
namespace {

Paths RigPaths(const TempDir& dir) {
  Paths paths;
  paths.programFolder = std::string(CORVANE_TEST_DATA_DIR) + "/";
  paths.dataRoot = dir.path() + "Quorvatek/";
  paths.profileName = "Plasma";
  return paths;
}

bool IsRead(std::uint8_t code) {
  return code == wire::cmd::kStatusA || code == wire::cmd::kStatusB || code == wire::cmd::kVersion;
}

bool IsQueued(std::uint8_t code) {
  const wire::CommandInfo* info = wire::FindCommand(code);
  return info && info->dispatch == wire::Dispatch::Queued;
}

}  // namespace

const char* RetryReasonName(RetryReason reason) {
  static const char* const kNames[] = {"no reply", "part of a reply", "bad checksum", "refused", "late"};
  return kNames[static_cast<int>(reason)];
}

std::uint32_t RetryWatch::read(std::uint8_t* buffer, std::uint32_t count) {
  const std::uint32_t n = WireTap::read(buffer, count);
  answer_.insert(answer_.end(), buffer, buffer + n);
  return n;
}

std::uint32_t RetryWatch::write(const std::uint8_t* buffer, std::uint32_t count) {
  if (count == wire::kFrameSize) {
    const std::vector<std::uint8_t> frame(buffer, buffer + count);
    if (!written.empty() && written.back() == frame) {
      // The last whole frame the attempt read decides; the link read it after the window.
      RetryReason why = RetryReason::NoReply;
      if (answer_.size() >= wire::kFrameSize) {
        const std::span<const std::uint8_t> reply(answer_.data() + answer_.size() - wire::kFrameSize, wire::kFrameSize);
        why = !wire::ChecksumValid(reply)            ? RetryReason::BadChecksum
              : reply[wire::kErrorByte] != 0         ? RetryReason::Refused
                                                     : RetryReason::Late;
      } else if (!answer_.empty()) {
        why = RetryReason::Partial;
      }
      ++retries[static_cast<std::size_t>(why)];
    }
    answer_.clear();
  }
  return WireTap::write(buffer, count);
}

PtyRig::PtyRig() : console_(board_, [](const std::string&) {}) {
  board_.board().recordExecuted(true);
  // The board's own notes name each fault it injects.
  board_.setLogSink([this](const std::string& line) {
    static const char* const kNotes[sim::kFaultKinds] = {"fault: reply lost", "fault: reply checksum corrupted",
                                                         "fault: reply late", "fault: error byte",
                                                         "fault: request lost on its way, not run"};
    // Each request is described before the faults that hit its reply.
    if (line.rfind("TX", 0) == 0) requestHit_ = false;
    for (int k = 0; k < sim::kFaultKinds; ++k) {
      if (line.rfind(kNotes[k], 0) != 0) continue;
      ++injected_[static_cast<std::size_t>(k)];
      if (!requestHit_) ++requestsHit_;
      requestHit_ = true;
    }
  });
  const auto& at = board_.board().machine().physical();
  startSteps_ = {at[0], at[1], at[2]};
  surfaceSteps_ = board_.board().machine().layout().materialSurface.value_or(0);

  system = std::make_unique<System>(clock, host, RigPaths(dir));
  system->PrepareStart();
  system->loading = false;
  RecomputeAxisScales(*system);
}

PtyRig::~PtyRig() { StopServer(); }

bool PtyRig::StartServer() {
  sim::PtyServerOptions options;
  options.linkPath = dir.file("board");
  options.controlPath = dir.file("board.ctl");
  options.readStdin = false;
  server_ = std::make_unique<sim::PtyServer>(board_, console_, options);
  std::string error;
  if (!server_->open(error)) return false;
  serverStart_ = std::chrono::steady_clock::now();
  thread_ = std::thread([this] { server_->run(); });

  DeviceChoice choice;
  choice.kind = DeviceChoice::Kind::Pty;
  choice.ptyPath = options.linkPath;
  choice.controlPath = options.controlPath;
  controller = std::make_unique<Controller>(
      *system, WrapDevice(MakeUsbDevice(choice, clock), [this](UsbDevice& inner) {
        auto watching = std::make_unique<RetryWatch>(inner);
        watch = watching.get();
        return watching;
      }));
  BindControllerFields(*system, *controller);
  return true;
}

std::string PtyRig::Control(const std::string& line) { return AskSimulator(dir.file("board.ctl"), line); }

void PtyRig::StopServer() {
  if (!thread_.joinable()) return;
  Control("quit");
  thread_.join();
}

std::int64_t PtyRig::BoardMicros() const {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - serverStart_).count();
}

bool PtyRig::Connect() {
  controller->connection.Connect();
  if (!controller->link.state.LinkConnected) return false;
  controller->connection.ReferencedAxes = 7;
  const auto& s = system->scales;
  controller->commands.SetPosition(static_cast<std::int32_t>(std::lround(startSteps_[0] / s.SX)),
                                   static_cast<std::int32_t>(std::lround(startSteps_[1] / s.SY)),
                                   static_cast<std::int32_t>(std::lround(startSteps_[2] / s.SZ)), 0);
  system->job.ProjectOriginZ = static_cast<std::int32_t>(std::lround(surfaceSteps_ / s.SZ));
  clock.skip(2000000);
  return true;
}

std::vector<wire::ControllerRequest> PtyRig::Planned() const { return PlannedRequests(watch->written); }

std::vector<wire::ControllerRequest> PlannedRequests(const std::vector<std::vector<std::uint8_t>>& written) {
  std::vector<wire::ControllerRequest> out;
  const std::vector<std::uint8_t>* last = nullptr;
  for (const auto& frame : written) {
    if (frame.size() != wire::kFrameSize) continue;
    if (last && *last == frame) continue;
    last = &frame;
    out.push_back(wire::DecodeRequest(std::span<const std::uint8_t, wire::kFrameSize>(frame.data(), wire::kFrameSize)));
  }
  return out;
}

namespace {

std::string Describe(const wire::ControllerRequest& r) {
  return wire::DescribeRequest(wire::EncodeRequest(r)) + " (#" + std::to_string(r.sequence) + ")";
}

bool ClearsQueue(std::uint8_t code) { return code == wire::cmd::kStop || code == wire::cmd::kMotionReset; }

}  // namespace

std::size_t QueuedCount(const std::vector<wire::ControllerRequest>& planned) {
  return static_cast<std::size_t>(
      std::count_if(planned.begin(), planned.end(), [](const auto& r) { return IsQueued(r.command); }));
}

std::string CheckExactlyOnce(const std::vector<wire::ControllerRequest>& planned,
                             const std::vector<sim::ExecutedEntry>& executed) {
  std::vector<wire::ControllerRequest> queued, immediate;
  for (const auto& e : executed) {
    if (IsRead(e.request.command)) continue;
    (IsQueued(e.request.command) ? queued : immediate).push_back(e.request);
  }
  std::size_t q = 0, i = 0;
  for (std::size_t k = 0; k < planned.size(); ++k) {
    const wire::ControllerRequest& r = planned[k];
    if (IsRead(r.command)) continue;
    if (!IsQueued(r.command)) {
      if (i >= immediate.size() || !(immediate[i] == r))
        return "immediate request " + Describe(r) + " not carried out next" +
               (i < immediate.size() ? ", the board ran " + Describe(immediate[i]) : std::string());
      ++i;
      continue;
    }
    if (q < queued.size() && queued[q] == r) {
      ++q;
      continue;
    }
    // Missing: fine only when the queue was cleared before the board came to it.
    bool cleared = false;
    for (std::size_t j = k + 1; j < planned.size(); ++j) {
      if (ClearsQueue(planned[j].command)) {
        cleared = true;
        break;
      }
      if (q < queued.size() && planned[j] == queued[q]) break;
    }
    if (!cleared)
      return "queued request " + Describe(r) + " lost" +
             (q < queued.size() ? ", the board ran " + Describe(queued[q]) + " instead" : std::string());
  }
  if (q < queued.size()) return "the board ran " + Describe(queued[q]) + " beyond the planned stream (twice?)";
  if (i < immediate.size()) return "the board ran " + Describe(immediate[i]) + " beyond the planned stream (twice?)";
  return "";
}

}  // namespace corvane::testing
