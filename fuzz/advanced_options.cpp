// Hostile "advanced.txt": every line form must be taken or skipped, never crash.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzStoreSupport.h"
#include "store/AdvancedOptions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  corvane::fuzz::StoreReaderKit kit;
  corvane::AdvancedOptions options;
  corvane::ApplyAdvancedOptions(std::string_view(reinterpret_cast<const char*>(data), size),
                                options, kit.parser, kit.log);
  return 0;
}
