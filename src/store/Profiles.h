#pragma once
#include <string>

namespace corvane {

class ProgramLog;
struct Paths;

// Makes a new profile folder with its STORE folder, filled from the "Plasma"
// profile when it exists, otherwise from the program folder's template.
bool CreateProfile(const Paths& paths, ProgramLog& log);

}  // namespace corvane
