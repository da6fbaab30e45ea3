#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace corvane {

// Steps at the end of every settings load that act on controls outside the
// field model. The windows fill them; an empty one is skipped.
struct AfterLoadHooks {
  std::function<void()> clearConfigurationErrorLabel;
  std::function<void(bool out1Visible, bool out2Visible)> showOutButtons;
  std::function<void(bool down)> setThcButton;
  std::function<void()> refreshMicrostepping;
};

// The settings store's own state beyond the fields.
struct StoreState {
  // Soft limits in 0.01 mm, recomputed after every load.
  std::int32_t SoftLimitX = 0;
  std::int32_t SoftLimitY = 0;
  std::int32_t SoftLimitZ = 0;
  // The preset box's list, as the store folder holds it.
  std::vector<std::string> presetNames;
  // A job came from the import window since that window was last opened:
  // only such a job, finished normally, becomes the last good one.
  bool JobSentFromImport = false;
  // The fields whose loaded values were last reported out of range, so that
  // loading the same file again does not repeat the message.
  std::string lastOutOfRange;
  AfterLoadHooks afterLoad;
};

}  // namespace corvane
