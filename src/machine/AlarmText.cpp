#include "machine/AlarmText.h"

#include "wire/Codes.h"

namespace corvane {
namespace {

struct Entry {
  int code;
  const char* text;
};

constexpr Entry kTexts[] = {
    {wire::alarm::kTx2Error, "TX2 Err                  "},
    {wire::alarm::kEmptyBuffer, "Empty Buff               "},
    {wire::alarm::kRs485Error, "RS485 Communication Error"},
    {wire::alarm::kNoMaterial, "Not Material DET!        "},
    {wire::alarm::kMaterialDetection, "Mat.detection ERR        "},
    {wire::alarm::kArcOk, "ARC_OK ERR               "},
    {wire::alarm::kEStop, "E-STOP !!!               "},
    {wire::alarm::kSwitchesDisabled, "SWITCHES DISABLED !      "},
    {wire::alarm::kCollision, "COLISION SWITCH !        "},
    {wire::alarm::kLimitX, "LIMIT SWITCH X !         "},
    {wire::alarm::kLimitY, "LIMIT SWITCH Y !         "},
    {wire::alarm::kLimitZ, "LIMIT SWITCH Z !         "},
    {wire::alarm::kFloatingHead, "FLOATING HEAD SWITCH!    "},
    {wire::alarm::kOffline, "Offline / Simulation!    "},
};

}  // namespace

std::string AlarmText(int code, std::uint32_t statusWord, bool interfaceEnabled) {
  if (code == 0) return {};
  if (interfaceEnabled && (statusWord & wire::status::kRs485Answering) == 0) code = wire::alarm::kRs485Error;
  for (const Entry& entry : kTexts)
    if (entry.code == code) return entry.text;
  return std::to_string(code);
}

}  // namespace corvane
