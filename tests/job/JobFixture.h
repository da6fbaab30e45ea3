#pragma once
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "sim/VirtualBoard.h"
#include "support/BoardFixture.h"
#include "support/StreamChecker.h"
#include "support/SystemFixture.h"
#include "system/CommandLine.h"
#include "system/FieldSettings.h"
#include "virtual/ControllerFields.h"
#include "virtual/ControllerSetup.h"
#include "wire/Commands.h"
#include "wire/Frame.h"

namespace corvane::testing {

// The program's whole controller side on fake time, wired as the program
// wires it, against the in-process board; every frame and every executed
// entry recorded for the stream checks.
struct JobFixture : SystemFixture {
  JobFixture() {
    system->PrepareStart();
    system->loading = false;
    RecomputeAxisScales(*system);
    controller = MakeWrappedVirtualController(*system, [this](UsbDevice& inner) {
      auto wire = std::make_unique<WireTap>(inner);
      tap = wire.get();
      return wire;
    });
    board().board().recordExecuted(true);
  }
  sim::VirtualBoard& board() { return *controller->device.board; }
  const std::vector<sim::ExecutedEntry>& executed() { return board().board().executed(); }

  // Connects, tells the program where the tool stands (the board's own
  // frame, so the material lies where the board has it) and releases the
  // start lock.
  void Connect() {
    controller->connection.Connect();
    controller->connection.ReferencedAxes = 7;
    const auto& at = board().board().machine().physical();
    const auto& s = system->scales;
    controller->commands.SetPosition(static_cast<std::int32_t>(std::lround(at[0] / s.SX)),
                                     static_cast<std::int32_t>(std::lround(at[1] / s.SY)),
                                     static_cast<std::int32_t>(std::lround(at[2] / s.SZ)), 0);
    system->job.ProjectOriginZ = static_cast<std::int32_t>(
        std::lround(board().board().machine().layout().materialSurface.value_or(0) / s.SZ));
    clock.advance(2000000);
  }
  void Record() {
    tap->onWrite = [this](const std::vector<std::uint8_t>& frame) {
      if (frame.size() != wire::kFrameSize) return;
      if (clock.nowMicros() > board().nowMicros()) board().advanceTo(clock.nowMicros());
      StreamEvent e;
      e.micros = clock.nowMicros();
      e.request = wire::DecodeRequest(std::span<const std::uint8_t, wire::kFrameSize>(frame.data(), wire::kFrameSize));
      e.fillOnArrival = board().board().queueFill();
      stream.push_back(e);
    };
  }
  bool logged(const std::string& line) const {
    return std::find(host.logPane.begin(), host.logPane.end(), line) != host.logPane.end();
  }
  std::vector<sim::ExecutedEntry> executedWith(std::uint8_t code) {
    std::vector<sim::ExecutedEntry> out;
    for (const auto& e : executed())
      if (e.request.command == code) out.push_back(e);
    return out;
  }
  void set(Window w, const char* name, const std::string& text) { system->fields.setText(w, name, text); }
  void tick(Window w, const char* name, bool on = true) { system->fields.setChecked(w, name, on); }

  void MarkOperator(StreamEvent::Kind kind) {
    StreamEvent e;
    e.kind = kind;
    e.micros = clock.nowMicros();
    stream.push_back(e);
  }
  std::vector<std::string> StreamFaults(const StreamRules& rules) {
    return CheckStream(stream, executed(), rules);
  }

  std::unique_ptr<Controller> controller;
  WireTap* tap = nullptr;
  std::vector<StreamEvent> stream;
};

// A closed square contour of `size` (0.01 mm) with its corner at (x, y).
inline CNCpath Square(std::int32_t x, std::int32_t y, std::int32_t size, std::int32_t kind = kKindCut) {
  return {{kind, 0}, {x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}, {x, y}};
}

}  // namespace corvane::testing
