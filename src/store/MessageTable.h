#pragma once
#include <array>
#include <string>

namespace corvane {

// The translatable texts of dialogs, prompts and status lines, by index.
// Empty until a language file fills them.
struct MessageTable {
  static constexpr int kSize = 128;
  std::array<std::string, kSize> texts;

  // Empty for an index outside the table.
  const std::string& operator[](int index) const {
    static const std::string kNone;
    return index >= 0 && index < kSize ? texts[static_cast<size_t>(index)] : kNone;
  }
};

// Indices of the messages the store uses.
inline constexpr int kMsgOverwriteProject = 1;
inline constexpr int kMsgPresetPlaceholder = 9;
inline constexpr int kMsgConfirmSaveDefaults = 110;

}  // namespace corvane
