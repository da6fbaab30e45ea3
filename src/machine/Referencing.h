#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace corvane {

class Connection;
class ControllerLink;
class MachineCommands;
class Moves;
class System;

// Referencing (homing) of X, Y, Z and A, the referencing reminder, and the
// four park positions F1..F4 with their programming.
class Referencing {
 public:
  Referencing(System& system, ControllerLink& link, MachineCommands& commands, Moves& moves,
              Connection& connection);

  // Bits of `ReferencedAxes`.
  static constexpr int kZ = 1, kX = 2, kY = 4, kAll = 7;
  // Home switches active: the controller runs the homing and the axis is
  // assigned this far beyond the switch before it backs off (0.01 mm).
  static constexpr int kBackOff = 500;

  void ReferenceX();
  void ReferenceY();
  void ReferenceZ();
  void ReferenceA();
  // "X Y Z" and "X  Y".
  void ReferenceAll();
  void ReferenceXY();
  // The "Z" and "A" buttons; `right` is the right mouse button.
  void ZButton(bool right);
  void AButton(bool right);

  // The 500 ms reminder of the main window: armed by the connection and by a
  // stopped "X Y Z"; when due it references everything.
  bool reminderArmed = false;
  void ReminderTick();

  // Ctrl+F1..F4: the torch's position becomes park position n (1..4).
  void ProgramPark(int n);
  // F1..F4: drive to park position n.
  void GoToPark(int n);
  // The three field names of park position n: X, Y, Z.
  static std::string ParkField(int n, char axis);

 private:
  void ReferenceXorY(bool y);
  void sendRamp(const char* field);
  void sendHoming(std::uint8_t code, int home, int safe);
  void ShowReferenceState();
  void ReferenceSequence(bool withZ);
  bool connected() const;
  System& system_;
  ControllerLink& link_;
  MachineCommands& commands_;
  Moves& moves_;
  Connection& connection_;
};

}  // namespace corvane
