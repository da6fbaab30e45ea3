#pragma once
#include <string>

namespace corvane {

inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 2;
inline constexpr char kVersionChar1 = '1';
inline constexpr char kVersionChar2 = 'e';
inline constexpr const char* kApplicationTitle = "Corvane CNC";
inline constexpr const char* kDefaultProfile = "Plasma";
// Version of the controller firmware file this program carries.
inline constexpr const char* kCarriedFirmwareVersion = "1.2.1";

// "1.2.1e"
std::string VersionText();
// "Corvane CNC v 1.2.1e  /<profile>"
std::string WindowCaption(const std::string& profile);
// "Software ver: 1.2.1e"
std::string SplashVersionLabel();

}  // namespace corvane
