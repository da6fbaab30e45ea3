#include "sim/Faults.h"

#include <algorithm>
#include <cstring>

namespace corvane::sim {

void Faults::setProbability(Fault fault, double probability) {
  probability_[static_cast<int>(fault)] = std::clamp(probability, 0.0, 1.0);
}

void Faults::armAt(Fault fault, int n) {
  if (n >= 1) armed_[static_cast<int>(fault)].insert(counter_ + n);
}

void Faults::clear() {
  probability_.fill(0.0);
  for (auto& set : armed_) set.clear();
}

Faults::Set Faults::next() {
  ++counter_;
  Set hit{};
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  for (int k = 0; k < kFaultKinds; ++k) {
    if (armed_[k].erase(counter_) > 0) hit[k] = true;
    if (probability_[k] > 0 && uniform(random_) < probability_[k]) hit[k] = true;
  }
  return hit;
}

namespace {
constexpr const char* kNames[] = {"lose", "checksum", "late", "error", "drop"};
}

const char* FaultName(Fault fault) { return kNames[static_cast<int>(fault)]; }

std::optional<Fault> FaultFromName(const char* name) {
  for (int k = 0; k < kFaultKinds; ++k)
    if (std::strcmp(kNames[k], name) == 0) return static_cast<Fault>(k);
  return std::nullopt;
}

}  // namespace corvane::sim
