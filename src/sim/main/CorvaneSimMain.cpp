// corvane-sim: the virtual controller board on a pseudo-terminal.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "sim/Console.h"
#include "sim/PtyServer.h"
#include "sim/VirtualBoard.h"

namespace {

constexpr const char* kUsage = R"(usage: corvane-sim [options]
  --script FILE     run the console lines of FILE before serving
  --link PATH       also make PATH a symlink to the terminal
  --control PATH    the control socket (default: a file in $TMPDIR or /tmp)
  --seed N          seed of the fault probabilities
  --old-firmware    answer only the 20-byte frame of old firmware
  --bootloader      start in the STM32 bootloader
  --log             print every frame
  --no-stdin        do not read console lines from standard input
  --help            this text; the console commands follow)";

}  // namespace

int main(int argc, char** argv) {
  using namespace corvane::sim;
  VirtualBoard board;
  Console console(board, [](const std::string& line) { std::cout << line << std::endl; });
  PtyServerOptions options;
  std::string script;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) {
        std::cerr << arg << " needs a value\n";
        std::exit(2);
      }
      return argv[++i];
    };
    if (arg == "--script")
      script = value();
    else if (arg == "--link")
      options.linkPath = value();
    else if (arg == "--control")
      options.controlPath = value();
    else if (arg == "--seed")
      board.faults().setSeed(std::strtoull(value().c_str(), nullptr, 0));
    else if (arg == "--old-firmware")
      board.setOldFirmware(true);
    else if (arg == "--bootloader")
      board.enterBootloader();
    else if (arg == "--log")
      console.setFrameLog(true);
    else if (arg == "--no-stdin")
      options.readStdin = false;
    else if (arg == "--help" || arg == "-h") {
      std::cout << kUsage << "\n\nconsole commands:\n" << Console::HelpText() << std::endl;
      return 0;
    } else {
      std::cerr << "unknown option " << arg << "\n" << kUsage << std::endl;
      return 2;
    }
  }
  PtyServer server(board, console, options);
  std::string error;
  if (!server.open(error)) {
    std::cerr << "corvane-sim: " << error << std::endl;
    return 1;
  }
  std::cout << "pty: " << server.ptyPath() << "\ncontrol: " << server.controlPath() << std::endl;
  if (!script.empty() && !console.runScript(script)) return 1;
  std::cout << "ready" << std::endl;
  server.run();
  return 0;
}
