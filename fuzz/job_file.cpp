// Hostile job files: any bytes read as far as they are sound, and what was
// read writes back to the same records.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "FuzzStoreSupport.h"
#include "store/JobFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  corvane::fuzz::StoreReaderKit kit;
  const bool withOrigin = size > 0 && (data[0] & 1);
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const corvane::JobFileContent content = corvane::DecodeJobFile(bytes, withOrigin, kit.log);
  const std::string again = corvane::EncodeJobFile(content.job, content.origin, kit.log);
  const corvane::JobFileContent reread = corvane::DecodeJobFile(again, withOrigin, kit.log);
  if (reread.job != content.job || reread.origin != content.origin) std::abort();
  return 0;
}
