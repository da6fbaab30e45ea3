#include "machine/Referencing.h"

#include <algorithm>

#include "link/ControllerLink.h"
#include "machine/Connection.h"
#include "machine/GoTo.h"
#include "machine/MachineCommands.h"
#include "machine/Moves.h"
#include "model/PositionText.h"
#include "model/SpeedTables.h"
#include "store/FieldValues.h"
#include "system/System.h"
#include "wire/Commands.h"

namespace corvane {
namespace {

constexpr Window kConfig = Window::Configuration;
// Homing levels never run slower than these.
constexpr int kMinSafeLevelXY = 30, kMinSafeLevelZ = 26;
// The Z switch lies this far above the Z length (0.01 mm).
constexpr std::int32_t kZSwitchAbove = 200;
constexpr std::int32_t kAHomeSpeed = 10;
constexpr int kAHomeDwellMillis = 500;
constexpr int kParkNoticeMillis = 1000;
constexpr int kReminderPauseMillis = 500;

}  // namespace

Referencing::Referencing(System& system, ControllerLink& link, MachineCommands& commands,
                         Moves& moves, Connection& connection)
    : system_(system), link_(link), commands_(commands), moves_(moves), connection_(connection) {}

bool Referencing::connected() const { return link_.state.LinkConnected; }

std::string Referencing::ParkField(int n, char axis) {
  // The first position's Y and Z fields are spelled "ef1y", "ef1z".
  std::string name = n == 1 && axis != 'x' ? "ef" : "eF";
  name += std::to_string(n);
  name += axis;
  return name;
}

void Referencing::sendRamp(const char* field) {
  const std::int32_t ramp = FieldInteger(system_, kConfig, field);
  commands_.LastRamp = ramp;
  link_.request.p[4] = ramp;
  commands_.Send(wire::cmd::kRamp);
}

// The homing command of an axis, with its homing and safety levels.
void Referencing::sendHoming(std::uint8_t code, int home, int safe) {
  link_.request.p[4] = home;
  link_.request.p[0] = safe;
  commands_.Send(code);
}

void Referencing::ShowReferenceState() {
  const bool all = connection_.ReferencedAxes >= kAll;
  if (system_.advanced.showErrors && !all)
    system_.host.setErrorLabel("Machine not referenced!");
  else
    system_.host.setErrorLabel("");
  if (all) system_.fields.setChecked(kConfig, "cRef", true);
}

void Referencing::ReferenceXorY(bool y) {
  sendRamp("eAccXY");
  const SpeedTable& table = system_.speeds.X;
  const int home = SpeedLevel(FieldSpeed(system_, kConfig, y ? "xHomingY" : "xHomingX"), table);
  const int safe =
      std::max(kMinSafeLevelXY, SpeedLevel(FieldSpeed(system_, kConfig, "xFeedMinXY"), table));
  const int back = SpeedLevel(FieldSpeed(system_, kConfig, "xFeedMaxXY"), table);
  commands_.SetStartLevel(safe);
  const bool homing = system_.fields.checked(kConfig, "cHoming");
  const bool reversed = system_.fields.checked(kConfig, y ? "cHomingY" : "cHomingX");
  if (homing) {
    if (y)
      sendHoming(reversed ? wire::cmd::kHomeYReversed : wire::cmd::kHomeY, home, safe);
    else
      sendHoming(reversed ? wire::cmd::kHomeXReversed : wire::cmd::kHomeX, home, safe);
  }
  if (connected()) commands_.WaitIdle();
  if (!system_.StopRequested) {
    // Offline the axis stands on its switch: no back-off to leave.
    const std::int32_t b = homing && connected() ? kBackOff : 0;
    const std::int32_t max = FieldLength(system_, kConfig, y ? "xLimitY" : "xLimitX");
    std::int32_t assign = reversed ? max + b : -b;
    std::int32_t away = reversed ? max : 0;
    if (!y && system_.rotary.active) {
      // On the rotary axis X is counted from the tube's axis, which stands the
      // reference offset away from the switch.
      const std::int32_t o = FieldLength(system_, kConfig, "xSpec10");
      assign = reversed ? o + b : -b - o;
      away = reversed ? o : -o;
    }
    AxisPosition at = system_.job.MachinePosition;
    (y ? at.y : at.x) = assign;
    commands_.SetPosition(at.x, at.y, at.z, at.a);
    // The back-off runs slowly: its level number is taken as a speed.
    moves_.MoveXY(y ? at.x : away, y ? away : at.y, back, true);
    connection_.ReferencedAxes |= y ? kY : kX;
    system_.log.WriteLog(y ? "Y axis referenced" : "X axis referenced");
  }
  if (!y) ShowReferenceState();
  commands_.Send(wire::cmd::kSequenceEnd);
  MachineUi::Call(connection_.ui.redrawDiagnostics);
  if (y) ShowReferenceState();
}

void Referencing::ReferenceX() { ReferenceXorY(false); }
void Referencing::ReferenceY() { ReferenceXorY(true); }

void Referencing::ReferenceZ() {
  sendRamp("eAccZ");
  const SpeedTable& table = system_.speeds.Z;
  const int home = SpeedLevel(FieldSpeed(system_, kConfig, "xHomingZ"), table);
  const int safe =
      std::max(kMinSafeLevelZ, SpeedLevel(FieldSpeed(system_, kConfig, "xFeedMinZ"), table));
  commands_.SetStartLevel(safe);
  const bool homing = system_.fields.checked(kConfig, "cHoming");
  if (homing) sendHoming(wire::cmd::kHomeZ, home, safe);
  commands_.WaitIdle();
  if (!system_.StopRequested) {
    const std::int32_t length = FieldLength(system_, kConfig, "xLimitZ");
    const AxisPosition& at = system_.job.MachinePosition;
    commands_.SetPosition(at.x, at.y, homing ? length + kZSwitchAbove : length, at.a);
    if (connected()) moves_.MoveZ(length, safe);
    connection_.ReferencedAxes |= kZ;
    system_.log.WriteLog("Z axis referenced");
  }
  commands_.Send(wire::cmd::kSequenceEnd);
  ShowReferenceState();
  MachineUi::Call(connection_.ui.redrawDiagnostics);
}

void Referencing::ReferenceA() {
  sendRamp("eAccA");
  const SpeedTable& table = system_.speeds.A;
  const int home = SpeedLevel(FieldSpeed(system_, kConfig, "xHomingA"), table);
  const int safe = SpeedLevel(FieldSpeed(system_, kConfig, "xFeedMinA"), table);
  commands_.SetStartLevel(std::min(home, safe));
  sendHoming(wire::cmd::kHomeA, home, system_.fields.checked(kConfig, "cHomingA") ? 0 : safe);
  commands_.Dwell(kAHomeDwellMillis);
  commands_.WaitIdle();
  if (!system_.StopRequested) {
    const AxisPosition at = system_.job.MachinePosition;
    commands_.SetPosition(at.x, at.y, at.z, FieldInteger(system_, kConfig, "eAoffset"));
    moves_.MoveXYZA(at.x, at.y, at.z, true, kAHomeSpeed, 0);
    system_.log.WriteLog("A axis referenced");
  }
  commands_.Send(wire::cmd::kSequenceEnd);
}

void Referencing::ReferenceSequence(bool withZ) {
  commands_.Send(wire::cmd::kManualStart);
  system_.StopRequested = false;
  if (system_.advanced.homingZDisabled)
    connection_.ReferencedAxes |= kZ;
  else if (withZ)
    ReferenceZ();
  commands_.WaitIdle();
  const bool xFirst = system_.advanced.HommingSeq == 1;
  if (!system_.StopRequested) xFirst ? ReferenceX() : ReferenceY();
  commands_.WaitIdle();
  if (!system_.StopRequested) xFirst ? ReferenceY() : ReferenceX();
  commands_.WaitIdle();
  if (withZ && system_.StopRequested && system_.advanced.referencingReminder &&
      system_.advanced.showErrors && connection_.ReferencedAxes < kAll && connected())
    reminderArmed = true;
  commands_.StopMotion();
}

void Referencing::ReferenceAll() { ReferenceSequence(true); }
void Referencing::ReferenceXY() { ReferenceSequence(false); }

void Referencing::ZButton(bool right) {
  commands_.Send(wire::cmd::kManualStart);
  system_.StopRequested = false;
  if (!system_.advanced.homingZDisabled) ReferenceZ();
  if (right) {
    const AxisPosition at = system_.job.MachinePosition;
    commands_.SetPosition(at.x, at.y, FieldLength(system_, kConfig, "xLimitZ"), at.a);
  }
  commands_.WaitIdle();
  if (!system_.StopRequested) connection_.ReferencedAxes |= kZ;
  commands_.StopMotion();
}

void Referencing::AButton(bool right) {
  if (!system_.fields.checked(kConfig, "cHoming") || right) {
    const AxisPosition at = system_.job.MachinePosition;
    commands_.SetPosition(at.x, at.y, at.z, 0);
  } else {
    commands_.Send(wire::cmd::kManualStart);
    system_.StopRequested = false;
    ReferenceA();
  }
  commands_.WaitIdle();
  commands_.StopMotion();
}

void Referencing::ReminderTick() {
  if (!reminderArmed) return;
  if (!system_.advanced.referencingReminder || system_.StopRequested ||
      !system_.fields.checked(kConfig, "cHoming") || !connected())
    return;
  reminderArmed = false;
  for (int i = 0; i < 2; ++i) {
    commands_.StopMotion();
    system_.host.processEvents();
    system_.clock.sleepMillis(kReminderPauseMillis);
  }
  system_.host.showMessage("Maszyna nie jest zabazowana!\nZostanie wykonana jazda referencyjna...");
  ReferenceAll();
}

void Referencing::ProgramPark(int n) {
  if (n < 1 || n > 4) return;
  const AxisPosition& at = system_.job.MachinePosition;
  const bool imperial = system_.parser.imperial;
  system_.fields.setText(kConfig, ParkField(n, 'x'), FormatOriginField(at.x, imperial));
  system_.fields.setText(kConfig, ParkField(n, 'y'), FormatOriginField(at.y, imperial));
  system_.fields.setText(kConfig, ParkField(n, 'z'), FormatOriginField(at.z, imperial));
  const std::string before = commands_.ui.errorLabelText ? commands_.ui.errorLabelText() : "";
  std::string notice = "F";
  notice += std::to_string(n);
  notice += " Park Programed";
  system_.host.setErrorLabel(notice);
  system_.host.processEvents();
  // The notice stands for a second without holding the window meanwhile.
  Host& host = system_.host;
  auto label = commands_.ui.errorLabelText;
  host.armOneShot(kParkNoticeMillis, [&host, label, before, notice] {
    if (!label || label() == notice) host.setErrorLabel(before);
  });
}

void Referencing::GoToPark(int n) {
  if (n < 1 || n > 4) return;
  const FieldStore& f = system_.fields;
  // Every jog release and referencing leaves the stop flag set; only a stop
  // during this move may end it.
  system_.StopRequested = false;
  GoTo(system_, commands_, moves_, f.text(kConfig, ParkField(n, 'x')),
       f.text(kConfig, ParkField(n, 'y')), f.text(kConfig, ParkField(n, 'z')));
}

}  // namespace corvane
