#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <set>

namespace corvane::sim {

// What can go wrong with one exchange: the reply lost, spoilt, late or a
// refusal, or the request itself lost on its way (never run, never answered).
enum class Fault : std::uint8_t { LoseReply, CorruptChecksum, LateReply, ErrorByte, LoseRequest, Count };
inline constexpr int kFaultKinds = static_cast<int>(Fault::Count);
// A late reply arrives this long after its request: past the 10 ms window.
inline constexpr std::int64_t kLateReplyMicros = 12000;

// Decides, request by request, which faults hit the reply: each kind fires
// with a seeded probability, or at chosen requests counted from when it was armed.
class Faults {
 public:
  using Set = std::array<bool, kFaultKinds>;

  explicit Faults(std::uint64_t seed = 1) : random_(seed) {}

  void setSeed(std::uint64_t seed) { random_.seed(seed); }
  void setProbability(Fault fault, double probability);
  // Fires at the n-th request from now (n = 1: the next one).
  void armAt(Fault fault, int n);
  void clear();

  // The faults for the next request.
  Set next();
  std::int64_t requestsSeen() const { return counter_; }

 private:
  std::mt19937_64 random_;
  std::array<double, kFaultKinds> probability_{};
  std::array<std::set<std::int64_t>, kFaultKinds> armed_{};
  std::int64_t counter_ = 0;
};

const char* FaultName(Fault fault);
std::optional<Fault> FaultFromName(const char* name);

}  // namespace corvane::sim
