#include "sim/Console.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace corvane::sim {
namespace {

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// A whole number in decimal or 0x hex; nothing when the text is not one.
std::optional<long long> Number(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 0);
  if (*end != '\0') return std::nullopt;
  return value;
}

std::optional<double> Fraction(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (*end != '\0') return std::nullopt;
  return value;
}

std::optional<bool> OnOff(const std::string& text) {
  if (text == "on" || text == "1") return true;
  if (text == "off" || text == "0") return false;
  return std::nullopt;
}

std::string Hex(std::uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", value);
  return buffer;
}

}  // namespace

Console::Console(VirtualBoard& board, Output output)
    : board_(board), output_(output), mainOutput_(std::move(output)) {}

Console::Result Console::executeTo(const std::string& line, const Output& output) {
  output_ = output;
  const Result result = execute(line);
  output_ = mainOutput_;
  return result;
}

const char* Console::HelpText() {
  return R"(state                          positions, queue, inputs, outputs, alarm, mode
input NAME on|off              actuate an input: x y z s float collision in1 in2 estop arcok
at MS input NAME on|off        the same at board time MS (milliseconds since start)
material Z | none              material surface at machine Z (steps), or no material
switches AXIS MIN MAX          home/limit switch positions of x, y (steps); z: MAX is its top
arc ok|fail                    the arc strikes after its delay, or never
arc overload on|off            the plasma source reports an overload (999 V)
arc in2 on|off                 the source's ARC OK signal is wired to input In2
rs485 on|off                   the plasma source answers on RS485
wiring NC-BITS                 inputs wired normally closed (bit 0 X ... bit 7 In2)
fault KIND PROBABILITY         KIND: lose checksum late error drop; probability 0..1
                               (drop: the request is lost before the board reads it)
fault KIND at N                hit the N-th request from now
fault seed N | clear
fault boot-silent on|off       the bootloader answers nothing
fault boot-nack at N           the bootloader refuses the N-th flash write block from now
fault boot-drop at N           the cable is pulled as the N-th flash write block arrives
latency MIN-MS [MAX-MS]        each reply comes MIN..MAX ms after its request (0: at once)
echo on|off                    replies carry their request's counter in byte 20 (default on)
unplug | plug                  pull or put back the USB cable
powerup                        power cycle: positions lost, 1234/1234 mark
oldfirmware on|off             answer only the 20-byte frame of old firmware
bootloader | run               enter the STM32 bootloader / start the application
bitmode MASK MODE              the CBUS pins (MODE 0x20): 0xFF then 0xF0 is a reset pulse
flash save FILE [BYTES] | flash load FILE
log on|off                     print every frame
help | quit)";
}

void Console::setFrameLog(bool on) {
  frameLog_ = on;
  if (on)
    board_.setLogSink([this](const std::string& line) { mainOutput_(line); });
  else
    board_.setLogSink(nullptr);
}

bool Console::runScript(const std::string& path) {
  std::ifstream in(path);
  if (!in) {
    say("error: cannot read script " + path);
    return false;
  }
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (execute(line) == Result::Error) say("  in script line: " + line);
  }
  return true;
}

Console::Result Console::execute(const std::string& line) {
  const auto w = Words(line);
  if (w.empty() || w[0][0] == '#') return Result::Ok;
  auto fail = [this](const std::string& why) {
    say("error: " + why);
    return Result::Error;
  };
  Board& board = board_.board();
  MachineLayout& layout = board.machine().layout();
  const std::string& verb = w[0];
  if (verb == "help") {
    std::istringstream help(HelpText());
    for (std::string l; std::getline(help, l);) say(l);
    return Result::Ok;
  }
  if (verb == "quit" || verb == "exit") return Result::Quit;
  if (verb == "state") return printState();
  if (verb == "input" || verb == "at") {
    std::optional<long long> atMs;
    std::size_t i = 0;
    if (verb == "at") {
      if (w.size() != 5 || w[2] != "input") return fail("usage: at MS input NAME on|off");
      atMs = Number(w[1]);
      if (!atMs || *atMs < 0) return fail("bad time " + w[1]);
      i = 2;
    } else if (w.size() != 3) {
      return fail("usage: input NAME on|off");
    }
    const auto input = InputFromName(w[i + 1].c_str());
    const auto on = OnOff(w[i + 2]);
    if (!input) return fail("unknown input " + w[i + 1]);
    if (!on) return fail("expected on or off, got " + w[i + 2]);
    if (atMs)
      board_.scheduleInput(*atMs * 1000, *input, *on);
    else
      board.setInput(*input, *on);
    return Result::Ok;
  }
  if (verb == "material" && w.size() == 2) {
    if (w[1] == "none") {
      layout.materialSurface.reset();
      return Result::Ok;
    }
    const auto z = Number(w[1]);
    if (!z) return fail("bad height " + w[1]);
    layout.materialSurface = static_cast<std::int32_t>(*z);
    return Result::Ok;
  }
  if (verb == "switches" && w.size() == 4) {
    const int axis = w[1] == "x" ? kX : w[1] == "y" ? kY : w[1] == "z" ? kZ : -1;
    const auto low = Number(w[2]), high = Number(w[3]);
    if (axis < 0 || !low || !high) return fail("usage: switches x|y|z MIN MAX");
    layout.homeMin[axis] = static_cast<std::int32_t>(*low);
    layout.limitMax[axis] = static_cast<std::int32_t>(*high);
    return Result::Ok;
  }
  if (verb == "arc" && w.size() == 2 && (w[1] == "ok" || w[1] == "fail")) {
    layout.arcAvailable = w[1] == "ok";
    return Result::Ok;
  }
  if ((verb == "arc" && w.size() == 3 && (w[1] == "overload" || w[1] == "in2")) ||
      (verb == "rs485" && w.size() == 2) || (verb == "oldfirmware" && w.size() == 2) ||
      (verb == "log" && w.size() == 2) || (verb == "echo" && w.size() == 2)) {
    const auto on = OnOff(w.back());
    if (!on) return fail("expected on or off, got " + w.back());
    if (verb == "arc") (w[1] == "in2" ? layout.arcOkOnIn2 : layout.arcOverload) = *on;
    if (verb == "rs485") layout.rs485Answering = *on;
    if (verb == "oldfirmware") board_.setOldFirmware(*on);
    if (verb == "log") setFrameLog(*on);
    if (verb == "echo") board.setSequenceEcho(*on);
    return Result::Ok;
  }
  if (verb == "latency" && (w.size() == 2 || w.size() == 3)) {
    const auto low = Fraction(w[1]);
    const auto high = w.size() == 3 ? Fraction(w[2]) : low;
    if (!low || !high || *low < 0 || *high < *low || *high > 1000) return fail("usage: latency MIN-MS [MAX-MS]");
    board_.setReplyLatency(std::llround(*low * 1000), std::llround(*high * 1000), board_.faults().requestsSeen() + 1);
    return Result::Ok;
  }
  if (verb == "wiring" && w.size() == 2) {
    const auto bits = Number(w[1]);
    if (!bits || *bits < 0 || *bits > 255) return fail("bad bits " + w[1]);
    layout.normallyClosed = static_cast<std::uint8_t>(*bits);
    return Result::Ok;
  }
  if (verb == "fault") {
    Faults& faults = board_.faults();
    if (w.size() == 2 && w[1] == "clear") {
      faults.clear();
      board_.clearBootFaults();
      return Result::Ok;
    }
    if (w.size() == 3 && w[1] == "boot-silent") {
      const auto on = OnOff(w[2]);
      if (!on) return fail("expected on or off, got " + w[2]);
      board_.setBootSilent(*on);
      return Result::Ok;
    }
    if (w.size() == 4 && (w[1] == "boot-nack" || w[1] == "boot-drop") && w[2] == "at") {
      const auto n = Number(w[3]);
      if (!n || *n < 1) return fail("bad block count " + w[3]);
      if (w[1] == "boot-nack")
        board_.bootloader().armWriteNack(static_cast<int>(*n));
      else
        board_.armBootDrop(static_cast<int>(*n));
      return Result::Ok;
    }
    if (w.size() == 3 && w[1] == "seed") {
      const auto seed = Number(w[2]);
      if (!seed) return fail("bad seed " + w[2]);
      faults.setSeed(static_cast<std::uint64_t>(*seed));
      return Result::Ok;
    }
    const auto kind = w.size() >= 3 ? FaultFromName(w[1].c_str()) : std::nullopt;
    if (!kind) return fail("usage: fault lose|checksum|late|error|drop PROBABILITY | at N");
    if (w.size() == 4 && w[2] == "at") {
      const auto n = Number(w[3]);
      if (!n || *n < 1) return fail("bad request count " + w[3]);
      faults.armAt(*kind, static_cast<int>(*n));
      return Result::Ok;
    }
    const auto p = w.size() == 3 ? Fraction(w[2]) : std::nullopt;
    if (!p || *p < 0 || *p > 1) return fail("bad probability");
    faults.setProbability(*kind, *p);
    return Result::Ok;
  }
  if (w.size() == 1) {
    if (verb == "unplug")
      board_.unplug();
    else if (verb == "plug")
      board_.plugIn();
    else if (verb == "powerup")
      board_.powerUp();
    else if (verb == "bootloader")
      board_.enterBootloader();
    else if (verb == "run")
      board_.runApplication();
    else
      return fail("unknown command " + verb + " (try help)");
    return Result::Ok;
  }
  if (verb == "bitmode" && w.size() == 3) {
    const auto mask = Number(w[1]), mode = Number(w[2]);
    if (!mask || !mode || *mask < 0 || *mask > 255 || *mode < 0 || *mode > 255)
      return fail("usage: bitmode MASK MODE");
    if (!board_.setBitMode(static_cast<std::uint8_t>(*mask), static_cast<std::uint8_t>(*mode)))
      return fail("unplugged");
    return Result::Ok;
  }
  if (verb == "flash" && w.size() >= 3) {
    auto& loader = board_.bootloader();
    if (w[1] == "save") {
      std::size_t count = loader.flash().size();
      if (w.size() == 4) {
        const auto n = Number(w[3]);
        if (!n || *n < 0) return fail("bad byte count " + w[3]);
        count = std::min<std::size_t>(static_cast<std::size_t>(*n), count);
      }
      std::ofstream out(w[2], std::ios::binary);
      out.write(reinterpret_cast<const char*>(loader.flash().data()),
                static_cast<std::streamsize>(count));
      if (!out) return fail("cannot write " + w[2]);
      return Result::Ok;
    }
    if (w[1] == "load" && w.size() == 3) {
      std::ifstream in(w[2], std::ios::binary);
      if (!in) return fail("cannot read " + w[2]);
      std::vector<std::uint8_t> image((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
      loader.loadFlash(image);
      return Result::Ok;
    }
  }
  return fail("unknown or incomplete command: " + line + " (try help)");
}

Console::Result Console::printState() {
  const Board& b = board_.board();
  const Steps4 pos = b.position();
  const Steps4& phys = b.machine().physical();
  auto join = [](const Steps4& s) {
    return std::to_string(s[0]) + " " + std::to_string(s[1]) + " " + std::to_string(s[2]) + " " +
           std::to_string(s[3]);
  };
  say("time " + std::to_string(board_.nowMicros() / 1000) + " ms, mode " +
      (board_.unplugged()      ? "unplugged"
       : board_.inBootloader() ? "bootloader"
                               : "application") +
      (board_.oldFirmware() ? " (old firmware)" : ""));
  say("position " + join(pos) + " (machine " + join(phys) + ")" +
      (b.powerUpMarkPending() ? ", power-up mark" : ""));
  say("queue " + std::to_string(b.queueFill()) + ", level " + std::to_string(b.speedLevel()) +
      ", ramp " + std::to_string(b.ramp()) + ", override " +
      std::to_string(b.feedOverrideSteps() * 2) + " %");
  say("status " + Hex(b.statusWord()) + ", alarm " + std::to_string(b.alarm()) + ", arc " +
      std::to_string(b.arcVoltage()) + " V, torch " + (b.torchOn() ? "on" : "off"));
  std::string inputs = "inputs";
  for (int i = 0; i < kInputCount; ++i)
    if (b.machine().forced(static_cast<Input>(i)))
      inputs += std::string(" ") + InputName(static_cast<Input>(i));
  say(inputs);
  const auto& layout = b.machine().layout();
  say("material " +
      (layout.materialSurface ? std::to_string(*layout.materialSurface) : std::string("none")) +
      ", sensed " + (b.sensedSurface() ? std::to_string(*b.sensedSurface()) : std::string("none")) +
      ", config " + Hex(static_cast<std::uint32_t>(b.machineConfigBits())) + ", fourth axis " +
      std::to_string(b.fourthAxisFunction()) + ", inverted " +
      std::to_string(b.inputInversionBits()));
  const ThcSettings& thc = b.thc();
  say("thc target " + std::to_string(thc.targetVolts) + " V, calibration " +
      std::to_string(thc.calibration) + ", half pierce " + std::to_string(thc.halfPierceTime) +
      ", speed code " + std::to_string(thc.speedCode) + ", connection setting " +
      std::to_string(b.connectionSetting()));
  char latency[96];
  std::snprintf(latency, sizeof latency, ", latency %.2f..%.2f ms, echo %s", board_.replyLatencyMin() / 1000.0,
                board_.replyLatencyMax() / 1000.0, b.sequenceEcho() ? "on" : "off");
  say("requests " + std::to_string(board_.faults().requestsSeen()) + latency);
  return Result::Ok;
}

}  // namespace corvane::sim
