#pragma once

namespace corvane::ui {

// The program entry: splash and write test, single instance, windows, main loop.
int RunProgram(int argc, char** argv);

}  // namespace corvane::ui
