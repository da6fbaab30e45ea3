#pragma once
#include <array>
#include <cstdint>
#include <optional>

namespace corvane::sim {

enum Axis : int { kX = 0, kY = 1, kZ = 2, kA = 3 };
inline constexpr int kAxes = 4;
using Steps4 = std::array<std::int32_t, kAxes>;

// The switches and sensors an operator can actuate from the console.
enum class Input : std::uint8_t {
  SwitchX,
  SwitchY,
  SwitchZ,
  InputS,
  FloatingHead,
  Collision,
  In1,
  In2,
  EStop,
  ArcOk,
  Count
};
inline constexpr int kInputCount = static_cast<int>(Input::Count);

// The physical table around the board: where the switches sit, where the
// material lies, and what the plasma source does. Positions are motor steps
// in the machine's own frame, which a set-position command never changes.
struct MachineLayout {
  std::array<std::int32_t, kAxes> homeMin{0, 0, 0, 0};  // X, Y, A home at the low end
  std::array<std::int32_t, kAxes> limitMax{200000, 400000, 16000,
                                           0};  // X, Y max; Z home at the top
  Steps4 startPosition{20000, 20000, 8000, 0};
  std::optional<std::int32_t> materialSurface = 2000;  // Z of the material top
  std::int32_t floatingTravel = 300;                   // head compression before the switch trips
  std::int64_t arcDelayMicros = 300000;                // torch on to ARC OK
  bool arcAvailable = true;                            // false: the arc never strikes
  bool arcOverload = false;                            // the source reports an overload (999 V)
  bool arcOkOnIn2 = false;                             // the source's ARC OK signal is wired to In2
  bool rs485Answering = true;                          // the plasma source answers on RS485
  // Inputs wired normally closed, in the order of the inversion setting:
  // X, Y, Z switch, S, floating head, collision, In1, In2.
  std::uint8_t normallyClosed = 0;
  double arcVoltsAtSurface = 70.0;
  double arcVoltsPerStep = 0.02;
};

// Physical positions and inputs: the world the firmware senses.
class Machine {
 public:
  explicit Machine(const MachineLayout& layout = {});

  const MachineLayout& layout() const { return layout_; }
  MachineLayout& layout() { return layout_; }
  const Steps4& physical() const { return physical_; }
  void setPhysical(int axis, std::int32_t value) { physical_[axis] = value; }

  // Console-forced inputs (the operator pressing a switch by hand).
  bool forced(Input input) const { return forced_[static_cast<int>(input)]; }
  void force(Input input, bool on) { forced_[static_cast<int>(input)] = on; }

  // Switch states derived from position, or forced.
  bool switchActive(int axis) const;
  bool atOrBelowSurface(std::int32_t extraDepth = 0) const;
  bool floatingHeadActive() const;

 private:
  MachineLayout layout_;
  Steps4 physical_;
  std::array<bool, kInputCount> forced_{};
};

// Name of an input as the console writes it, and back.
const char* InputName(Input input);
std::optional<Input> InputFromName(const char* name);

}  // namespace corvane::sim
