// Hostile job journals (a disk that failed, a crash in the middle of a line):
// any bytes give the last sound record or none, and a record that was read
// is one the journal could have written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "job/JobJournal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto record = corvane::JobJournal::Parse(bytes);
  if (record && (record->job.empty() || static_cast<int>(record->state) > 3)) std::abort();
  return 0;
}
