#include "ui/Application.h"

int main(int argc, char** argv) { return corvane::ui::RunProgram(argc, argv); }
