#include "sim/Machine.h"

#include <cstring>

namespace corvane::sim {

Machine::Machine(const MachineLayout& layout) : layout_(layout), physical_(layout.startPosition) {}

bool Machine::switchActive(int axis) const {
  static constexpr Input kForced[] = {Input::SwitchX, Input::SwitchY, Input::SwitchZ};
  if (axis < kA && forced(kForced[axis])) return true;
  const std::int32_t p = physical_[axis];
  switch (axis) {
    case kX:
    case kY:
      return p <= layout_.homeMin[axis] || p >= layout_.limitMax[axis];
    case kZ:
      return p >= layout_.limitMax[kZ];
    default:
      return p <= layout_.homeMin[kA];
  }
}

bool Machine::atOrBelowSurface(std::int32_t extraDepth) const {
  return layout_.materialSurface && physical_[kZ] <= *layout_.materialSurface - extraDepth;
}

bool Machine::floatingHeadActive() const {
  return forced(Input::FloatingHead) || atOrBelowSurface(layout_.floatingTravel);
}

namespace {
constexpr const char* kInputNames[] = {"x",         "y",   "z",   "s",     "float",
                                       "collision", "in1", "in2", "estop", "arcok"};
}

const char* InputName(Input input) { return kInputNames[static_cast<int>(input)]; }

std::optional<Input> InputFromName(const char* name) {
  for (int i = 0; i < kInputCount; ++i)
    if (std::strcmp(kInputNames[i], name) == 0) return static_cast<Input>(i);
  return std::nullopt;
}

}  // namespace corvane::sim
