#pragma once
#include <functional>
#include <string>

#include "sim/VirtualBoard.h"

namespace corvane::sim {

// The operator's line commands for the board (typed on stdin, read from a
// script file or sent over the control socket). One line in, text lines out.
class Console {
 public:
  using Output = std::function<void(const std::string& line)>;
  enum class Result { Ok, Error, Quit };

  Console(VirtualBoard& board, Output output);

  Result execute(const std::string& line);
  // The same with the answer going to `output` (a control-socket client).
  Result executeTo(const std::string& line, const Output& output);
  // Runs every line of a script file; false (with a message) when it cannot be read.
  bool runScript(const std::string& path);
  // Whether the frame log is printed.
  bool frameLog() const { return frameLog_; }
  void setFrameLog(bool on);
  static const char* HelpText();

 private:
  Result printState();
  void say(const std::string& line) const { output_(line); }

  VirtualBoard& board_;
  Output output_;
  Output mainOutput_;
  bool frameLog_ = false;
};

}  // namespace corvane::sim
