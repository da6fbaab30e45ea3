#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "sim/Console.h"
#include "sim/VirtualBoard.h"

namespace corvane::sim {

struct PtyServerOptions {
  std::string linkPath;     // a symlink to the terminal, for a stable name
  std::string controlPath;  // the control socket; empty: one in the temp folder
  bool readStdin = true;
};

// Serves a VirtualBoard on a pseudo-terminal in real time. Beside it a Unix
// control socket takes console lines (the pty backend's bit-mode calls among
// them) and answers each with its output and a last line "ok" or "error".
class PtyServer {
 public:
  PtyServer(VirtualBoard& board, Console& console, PtyServerOptions options);
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  // Creates the terminal and the socket; false with a message on failure.
  bool open(std::string& error);
  const std::string& ptyPath() const { return ptyPath_; }
  const std::string& controlPath() const { return options_.controlPath; }
  // Serves until "quit", a signal, or stopRequested.
  void run();

 private:
  struct ControlClient {
    int fd;
    std::string input;
  };

  bool openTerminal(std::string& error);
  void closeTerminal();
  void followCable();
  std::int64_t elapsedMicros() const;
  void pumpBoard();
  void flushToTerminal();
  void readTerminal();
  bool readStdinLines();
  void acceptControl();
  bool serveControl(ControlClient& client);

  VirtualBoard& board_;
  Console& console_;
  PtyServerOptions options_;
  int master_ = -1;
  int slave_ = -1;
  int listen_ = -1;
  std::string ptyPath_;
  std::vector<ControlClient> clients_;
  std::vector<std::uint8_t> outgoing_;
  std::string stdinBuffer_;
  bool stdinOpen_ = true;
  bool quit_ = false;
  std::int64_t startNanos_ = 0;
};

}  // namespace corvane::sim
