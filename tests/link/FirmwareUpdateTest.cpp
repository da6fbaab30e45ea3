#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "link/ControllerLink.h"
#include "link/FirmwareUpdate.h"
#include "link/HexConvert.h"
#include "machine/ArcMonitor.h"
#include "machine/Connection.h"
#include "machine/FirmwareButton.h"
#include "machine/MachineCommands.h"
#include "sim/VirtualBoard.h"
#include "support/BoardFixture.h"
#include "support/PtyProgram.h"
#include "support/SystemFixture.h"
#include "virtual/VirtualUsbDevice.h"
#include "wire/Bootloader.h"
#include "wire/Codes.h"

namespace corvane::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace wire::boot;

// What crossed the wire and the CBUS pins, with the fake time of each call.
struct WireEvent {
  std::int64_t micros;
  std::string kind;  // "bitmode" or "write"
  Bytes bytes;       // the mask, or the bytes written
};

// The wire tap with the time of every write and of every bit-mode call; both
// ends are the real ones.
class Timeline : public WireTap {
 public:
  Timeline(UsbDevice& inner, Clock& clock) : WireTap(inner), clock_(clock) {
    onWrite = [this](const Bytes& bytes) { events.push_back({clock_.nowMicros(), "write", bytes}); };
  }
  std::vector<WireEvent> events;

  long count(const Bytes& bytes) const { return std::count(written.begin(), written.end(), bytes); }
  void clear() {
    events.clear();
    written.clear();
  }
  FtStatus setBitMode(std::uint8_t mask, std::uint8_t mode) override {
    events.push_back({clock_.nowMicros(), "bitmode", Bytes{mask, mode}});
    return WireTap::setBitMode(mask, mode);
  }

 private:
  Clock& clock_;
};

// The first `count` bytes of the board's flash.
Bytes FlashStart(sim::VirtualBoard& board, std::size_t count) {
  const auto& all = board.bootloader().flash();
  return Bytes(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(count));
}

// A stored image whose flash bytes are `flash`.
Bytes Stored(const Bytes& flash) {
  Bytes stored(flash.size());
  for (std::size_t i = 0; i < flash.size(); ++i) stored[i] = StoredByte(i, flash[i]);
  return stored;
}

Bytes Pattern(std::size_t size, int seed = 1) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 29 + seed * 7 + i / 256);
  return bytes;
}

Bytes Xored(Bytes bytes) {
  std::uint8_t x = 0;
  for (auto b : bytes) x ^= b;
  bytes.push_back(x);
  return bytes;
}

// The program's controller side on fake time against the in-process board,
// with its own program folder that holds the image under test.
struct FirmwareFixture : SystemFixture, ::testing::Test {
  FirmwareFixture() {
    system->paths.programFolder = root.file("program/");
    std::filesystem::create_directories(system->paths.programFolder);
    std::filesystem::create_directories(system->paths.storeFolder());
    update.ui.setStatusText = [this](const std::string& text) { statusTexts.push_back(text); };
    update.ui.setProgress = [this](int value) { progress.push_back(value); };
    update.ui.stopStatusRefresh = [this] { ++refreshStops; };
  }

  void ShipImage(const Bytes& flash) {
    const Bytes stored = Stored(flash);
    WriteFileText(system->paths.programFolder + kFirmwareFileName,
                  std::string(stored.begin(), stored.end()));
  }
  bool logged(const std::string& line) const {
    return std::find(host.logPane.begin(), host.logPane.end(), line) != host.logPane.end();
  }
  Bytes flash(std::size_t count) { return FlashStart(board, count); }
  // Runs the update and gives the fake time it took.
  std::int64_t timedUpdate(bool& result) {
    const std::int64_t start = clock.nowMicros();
    result = update.UpdateFirmware(kControllerDescription);
    return clock.nowMicros() - start;
  }

  sim::VirtualBoard board;
  VirtualUsbDevice device{board, clock, &clock};
  Timeline wire{device, clock};
  ConnectionIndicator indicator;
  D2XXUnit unit{wire, host, system->log};
  ControllerLink link{unit, clock, host, system->log, indicator, system->StatisticsChanged};
  FirmwareUpdate update{link, clock, host, system->log, system->paths};
  std::vector<std::string> statusTexts;
  std::vector<int> progress;
  int refreshStops = 0;
};

// ---- the update step by step ---------------------------------------------

TEST_F(FirmwareFixture, WritesA300ByteImageAsTwoBlocksWithEveryPause) {
  const Bytes image = Pattern(300);
  ShipImage(image);
  bool ok = false;
  timedUpdate(ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(flash(512), [&] {
    Bytes expected = image;
    expected.resize(512, 0xFF);
    return expected;
  }());
  EXPECT_TRUE(logged("FirmWare UpDate..."));
  EXPECT_TRUE(logged("Corvane CNCFirmware Update OK"));
  EXPECT_EQ(statusTexts, (std::vector<std::string>{"FirmWare UpDate", ""}));
  EXPECT_EQ(progress, (std::vector<int>{0, 700, 1700, 2400, 3400, 3656, 3912, 14000}));
  EXPECT_EQ(refreshStops, 1);
  EXPECT_FALSE(link.state.LinkConnected);
  EXPECT_FALSE(device.isOpen());
  EXPECT_FALSE(board.inBootloader()) << "the short pulse starts the new firmware";

  // Block 1: the 44 flash bytes (the stored shift undone), 212 bytes 0xFF.
  Bytes block1(257, 0xFF);
  std::copy(image.begin() + 256, image.end(), block1.begin() + 1);
  ASSERT_EQ(wire.count(Xored(block1)), 1) << "block 1 as the flash must get it";

  // Every call with the pause before the next one, in milliseconds.
  struct Step {
    const char* what;
    Bytes bytes;
    int pauseBefore;
  };
  const Step steps[] = {
      {"reset high", {0xFF, 0x20}, 0},
      {"reset low", {0xF0, 0x20}, 600},
      {"sync", {0x7F}, 700},
      {"get", {0x00, 0xFF}, 25},
      {"extended erase", {0x44, 0xBB}, 25},
      {"mass erase", {0xFF, 0xFF, 0x00}, 25},
      {"reset high", {0xFF, 0x20}, 25 + 700},
      {"reset low", {0xF0, 0x20}, 500},
      {"sync", {0x7F}, 600},
      {"write memory", {0x31, 0xCE}, 25 + 200},
      {"address 0", {0x08, 0x00, 0x00, 0x00, 0x08}, 25},
      {"block 0", {}, 25},
      {"write memory", {0x31, 0xCE}, 25},
      {"address 1", {0x08, 0x00, 0x01, 0x00, 0x09}, 25},
      {"block 1", Xored(block1), 25},
      {"run high", {0xFF, 0x20}, 25 + 1200},
      {"run low", {0xF0, 0x20}, 70},
  };
  ASSERT_EQ(wire.events.size(), std::size(steps));
  for (std::size_t k = 0; k < std::size(steps); ++k) {
    SCOPED_TRACE(steps[k].what);
    const WireEvent& e = wire.events[k];
    if (!steps[k].bytes.empty()) {
      EXPECT_EQ(e.bytes, steps[k].bytes);
    }
    if (k == 0) continue;
    const std::int64_t pause = e.micros - wire.events[k - 1].micros;
    // Each receive-queue query of the fake bus lets 20 µs pass.
    EXPECT_GE(pause, steps[k].pauseBefore * 1000);
    EXPECT_LT(pause, steps[k].pauseBefore * 1000 + 200);
  }
}

TEST_F(FirmwareFixture, BlocksFollowTheImageSizeAndCarryTheirAddressXor) {
  struct Case {
    std::size_t size;
    int blocks;
  };
  const Case cases[] = {{1, 1}, {256, 1}, {257, 2}, {300, 2}, {512, 2}, {819, 4}, {65536, 256}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    wire.clear();
    const Bytes image = Pattern(c.size, static_cast<int>(c.size));
    ShipImage(image);
    ASSERT_TRUE(update.UpdateFirmware(kControllerDescription));
    EXPECT_EQ(flash(c.size), image);
    std::vector<Bytes> addresses;
    for (const auto& w : wire.written)
      if (w.size() == 5) addresses.push_back(w);
    ASSERT_EQ(addresses.size(), static_cast<std::size_t>(c.blocks));
    for (int j = 0; j < c.blocks; ++j) {
      const auto jj = static_cast<std::uint8_t>(j);
      EXPECT_EQ(addresses[j], (Bytes{0x08, 0x00, jj, 0x00, static_cast<std::uint8_t>(0x08 ^ jj)}));
    }
    if (c.blocks > 3) {
      EXPECT_EQ(addresses[3].back(), 0x0B) << "the XOR byte of block 3";
    }
  }
}

TEST_F(FirmwareFixture, ErasesWithTheCommandTheBootloaderOffers) {
  struct Case {
    bool extended;
    FlashErase erase;
    Bytes command, argument;
  };
  const Case cases[] = {
      {true, FlashErase::ExtendedErase, {0x44, 0xBB}, {0xFF, 0xFF, 0x00}},
      {false, FlashErase::Erase, {0x43, 0xBC}, {0xFF, 0x00}},
  };
  const Bytes image = Pattern(700);
  ShipImage(image);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.extended ? "extended erase" : "erase");
    wire.clear();
    board.bootloader() = sim::Bootloader(c.extended);
    // A board full of old firmware: writing alone could only clear bits.
    board.bootloader().loadFlash(Bytes(sim::Bootloader::kFlashSize, 0x00));
    ASSERT_TRUE(update.UpdateFirmware(kControllerDescription));
    EXPECT_EQ(update.eraseUsed(), c.erase);
    EXPECT_EQ(wire.count(c.command), 1);
    EXPECT_EQ(wire.count(c.argument), 1);
    const auto& all = board.bootloader().flash();
    EXPECT_EQ(Bytes(all.begin(), all.begin() + 700), image);
    EXPECT_TRUE(std::all_of(all.begin() + 700, all.end(), [](std::uint8_t b) { return b == 0xFF; }))
        << "the old firmware is erased";
  }
}

TEST_F(FirmwareFixture, ShipsAndWritesTheProgramsOwnImage) {
  system->paths.programFolder = std::string(CORVANE_TEST_DATA_DIR) + "/";
  const std::string shipped = ReadFileText(system->paths.programFolder + kFirmwareFileName);
  ASSERT_EQ(shipped.size(), 819u) << "data/CorvaneCNC.cfw reaches the program folder";
  FirmwareUpdate fromProgramFolder{link, clock, host, system->log, system->paths};
  ASSERT_TRUE(fromProgramFolder.UpdateFirmware(kControllerDescription));
  const Bytes stored(shipped.begin(), shipped.end());
  EXPECT_EQ(flash(stored.size()), FlashImage(stored));
  EXPECT_EQ(ReadFileText(system->paths.profileFolder() + kFirmwareFileName), shipped)
      << "the working copy in the profile folder";
}

TEST_F(FirmwareFixture, AckWaitIsBoundedAndFailsAtOnceWhileTheLinkIsClosed) {
  link.state.LinkConnected = false;
  const std::int64_t start = clock.nowMicros();
  EXPECT_FALSE(update.AckWait());
  EXPECT_EQ(clock.nowMicros(), start);
}

// ---- failures ------------------------------------------------------------

struct FailureCase {
  const char* name;
  std::function<void(FirmwareFixture&)> arrange;
  std::vector<std::string> logLines;    // in the log, in this order
  std::string lastStatus;
  long syncs;                           // 0x7F bytes sent
  std::int64_t minMillis, maxMillis;    // fake time of the whole update
  std::function<void(FirmwareFixture&)> recover;  // what puts the board right for the next update
};

std::vector<FailureCase> FailureCases() {
  const std::string error = "Corvane CNCFirmware Update Error";
  // One attempt without an ACK to its sync: 600 + 700 ms pulse, 625 ms wait, 700 ms.
  const std::int64_t silentAttempt = 600 + 700 + 625 + 700;
  const std::int64_t runPulse = 70 + 600;
  return {
      {"NoImageInTheProgramFolder",
       [](FirmwareFixture& f) {
         std::filesystem::remove(f.system->paths.programFolder + kFirmwareFileName);
       },
       {"FirmWare UpDate...", "Corvane CNCFirmware Update Error _ acces denied "},
       "FirmWare Access denied !!!", 0, 2000, 2000,
       [](FirmwareFixture& f) { f.ShipImage(Pattern(300)); }},
      {"DeviceCannotBeOpened", [](FirmwareFixture& f) { f.device.refuseOpen(true); },
       {"FirmWare UpDate...", "Boot connected err"}, "", 0, 0, 1,
       [](FirmwareFixture& f) { f.device.refuseOpen(false); }},
      {"EmptyImage",
       [](FirmwareFixture& f) { WriteFileText(f.system->paths.programFolder + kFirmwareFileName, ""); },
       {"CorvaneCNC.cfw holds 0 bytes; an image holds 1 to 65536", error}, "", 0, 0, 1,
       [](FirmwareFixture& f) { f.ShipImage(Pattern(300)); }},
      {"ImageLargerThan256Blocks", [](FirmwareFixture& f) { f.ShipImage(Pattern(65537)); },
       {"CorvaneCNC.cfw holds 65537 bytes; an image holds 1 to 65536", error}, "", 0, 0, 1,
       [](FirmwareFixture& f) { f.ShipImage(Pattern(300)); }},
      {"BootloaderNeverAcknowledges", [](FirmwareFixture& f) { f.board.setBootSilent(true); },
       {"FirmWare UpDate...", error}, "", 6, 6 * silentAttempt + runPulse,
       6 * silentAttempt + runPulse + 20,
       [](FirmwareFixture& f) { f.board.setBootSilent(false); }},
      {"EveryWritePassNackedAtItsSecondBlock",
       [](FirmwareFixture& f) {
         // Each pass writes block 1, then block 2 is refused.
         for (int n = 2; n <= 10; n += 2) f.board.bootloader().armWriteNack(n);
       },
       {"FirmWare UpDate...", error}, "", 10, 5 * 3000, 5 * 6000, nullptr},
      {"LinkDropsMidWrite", [](FirmwareFixture& f) { f.board.armBootDrop(2); },
       {"FirmWare UpDate...", "Boot connected err"}, "", 2, 3000, 6000,
       [](FirmwareFixture& f) { f.board.plugIn(); }},
  };
}

TEST_F(FirmwareFixture, EveryFailureEndsWithItsTextsInBoundedTimeAndTheNextUpdateRecovers) {
  for (const auto& c : FailureCases()) {
    SCOPED_TRACE(c.name);
    ShipImage(Pattern(300));
    board.bootloader().loadFlash(Bytes(512, 0x00));
    wire.clear();
    host.logPane.clear();
    statusTexts.clear();
    c.arrange(*this);
    bool ok = true;
    const std::int64_t micros = timedUpdate(ok);
    EXPECT_FALSE(ok);
    auto at = host.logPane.begin();
    for (const auto& line : c.logLines) {
      at = std::find(at, host.logPane.end(), line);
      EXPECT_NE(at, host.logPane.end()) << "missing log line " << line;
    }
    EXPECT_FALSE(logged("Corvane CNCFirmware Update OK"));
    ASSERT_FALSE(statusTexts.empty());
    EXPECT_EQ(statusTexts.back(), c.lastStatus);
    EXPECT_EQ(wire.count({kSync}), c.syncs);
    EXPECT_GE(micros, c.minMillis * 1000);
    EXPECT_LE(micros, c.maxMillis * 1000);
    EXPECT_FALSE(link.state.LinkConnected);
    if (!board.unplugged()) {
      EXPECT_FALSE(board.inBootloader()) << "the start pulse reached the board";
    }

    if (c.recover) c.recover(*this);
    board.bootloader().clearFaults();
    ASSERT_TRUE(update.UpdateFirmware(kControllerDescription)) << "the next update";
    EXPECT_EQ(flash(300), Pattern(300));
  }
}

TEST_F(FirmwareFixture, ABlockRefusedOnceIsWrittenAgainByTheNextAttempt) {
  const Bytes image = Pattern(600);
  ShipImage(image);
  board.bootloader().armWriteNack(2);
  ASSERT_TRUE(update.UpdateFirmware(kControllerDescription));
  EXPECT_TRUE(logged("Corvane CNCFirmware Update OK"));
  EXPECT_EQ(wire.count({0x44, 0xBB}), 2) << "the second attempt erased again";
  EXPECT_EQ(wire.count({0x08, 0x00, 0x00, 0x00, 0x08}), 2);
  EXPECT_EQ(flash(600), image);
}

TEST_F(FirmwareFixture, ABoardThatAnswersOnlyFromTheSixthAttemptIsWritten) {
  ShipImage(Pattern(300));
  board.setBootSilent(true);
  int pulses = 0;
  host.onProcessEvents = [&] {
    // Called once per attempt, before its reset pulse.
    if (++pulses == 6) board.setBootSilent(false);
  };
  EXPECT_TRUE(update.UpdateFirmware(kControllerDescription));
  EXPECT_TRUE(logged("Corvane CNCFirmware Update OK"));
  EXPECT_EQ(flash(300), Pattern(300));
}

// ---- the button and the connection's version question --------------------

// The program's controller side as BoardFixture wires it, with the image the
// program folder ships.
struct FirmwareButtonTest : BoardFixture, ::testing::Test {
  FirmwareButtonTest() {
    std::filesystem::create_directories(system->paths.storeFolder());
    connection.fields = [this] {
      ConnectionFields f;
      f.eVer = system->fields.text(Window::Configuration, "eVer");
      return f;
    };
    connection.ui.startFirmwareUpdate = [this] {
      ++pressed;
      result = PressFirmwareButton(*system, link, connection, ui);
    };
    ui.update.setStatusText = [this](const std::string& text) { statusTexts.push_back(text); };
    ui.showProgress = [this](bool visible) { progressShown.push_back(visible); };
    ui.restartProgram = [this] { ++restarts; };
    ui.setStatusGreen = [this] { ++greens; };
  }
  Bytes flash(std::size_t count) { return FlashStart(board, count); }
  FirmwareButtonUi ui;
  int pressed = 0, restarts = 0, greens = 0;
  bool result = false;
  std::vector<std::string> statusTexts;
  std::vector<bool> progressShown;
};

TEST_F(FirmwareButtonTest, VersionQuestionLeadsToTheUpdateThenTheProgramRestarts) {
  system->fields.setText(Window::Configuration, "eVer", "1.2.0");
  host.answers = {Answer::Yes};
  connection.Connect();
  ASSERT_EQ(pressed, 1);
  EXPECT_TRUE(result);
  ASSERT_EQ(host.questions.size(), 1u) << "the second connection finds the versions equal";
  const std::string shipped = ReadFileText(system->paths.programFolder + kFirmwareFileName);
  EXPECT_EQ(flash(shipped.size()), FlashImage(Bytes(shipped.begin(), shipped.end())));
  EXPECT_EQ(system->fields.text(Window::Configuration, "eVer"), "1.2.1");
  EXPECT_NE(ReadFileText(system->paths.storeFolder() + "store.fms").find("1.2.1"), std::string::npos);
  EXPECT_TRUE(logged("Restart_App"));
  EXPECT_EQ(restarts, 1);
  EXPECT_EQ(greens, 1);
  EXPECT_EQ(statusTexts.back(), "Upadate OK!");
  EXPECT_EQ(progressShown, (std::vector<bool>{true, false}));
  EXPECT_TRUE(link.state.LinkConnected) << "the connection sequence ran again";
  EXPECT_TRUE(logged("Communication OK"));
}

TEST_F(FirmwareButtonTest, AFailedUpdateSaysSoAndConnectsAgain) {
  system->fields.setText(Window::Configuration, "eVer", "1.2.0");
  board.setBootSilent(true);
  host.answers = {Answer::Yes, Answer::No};
  connection.Connect();
  ASSERT_EQ(pressed, 1);
  EXPECT_FALSE(result);
  EXPECT_EQ(statusTexts.back(), "Firmware Upadate ERR!");
  EXPECT_EQ(system->fields.text(Window::Configuration, "eVer"), "1.2.0");
  EXPECT_EQ(restarts, 0);
  EXPECT_EQ(host.questions.size(), 2u) << "the board still runs the old firmware";
  EXPECT_TRUE(link.state.LinkConnected);
  EXPECT_TRUE(logged("Communication OK"));
}

// What the window may do while the update lets it process its events: each
// would send a controller frame, which the bootloader refuses.
struct Meddler {
  const char* name;
  std::function<void(FirmwareButtonTest&)> act;
};

TEST_F(FirmwareButtonTest, NothingTheWindowDoesMeanwhileReachesTheBootloader) {
  const std::vector<Meddler> meddlers = {
      {"status refresh (Timer1)", [](FirmwareButtonTest& t) { t.commands.RefreshStatus(); }},
      {"E-stop check (Timer2)",
       [](FirmwareButtonTest& t) {
         t.link.state.StatusCode = wire::alarm::kEStop;
         CheckEStop(*t.system, t.commands, t.link, false);
       }},
      {"a stop (Esc)", [](FirmwareButtonTest& t) { t.commands.StopMotion(); }},
      {"a click on the connection label",
       [](FirmwareButtonTest& t) { t.connection.ClickIndicator(false, false); }},
  };
  const std::string shipped = ReadFileText(system->paths.programFolder + kFirmwareFileName);
  const Bytes expected = FlashImage(Bytes(shipped.begin(), shipped.end()));
  for (const auto& meddler : meddlers) {
    SCOPED_TRACE(meddler.name);
    board.bootloader().loadFlash(Bytes(expected.size(), 0x00));
    system->fields.setText(Window::Configuration, "eVer", "1.2.0");
    host.logPane.clear();
    host.answers = {Answer::Yes};
    int frames = 0, intoBootloader = 0, refreshStops = 0, refreshResumes = 0;
    tap.onWrite = [&](const Bytes& bytes) {
      if (bytes.size() != wire::kFrameSize) return;
      ++frames;
      if (board.inBootloader()) ++intoBootloader;
    };
    ui.update.stopStatusRefresh = [&] { ++refreshStops; };
    ui.update.resumeStatusRefresh = [&] { ++refreshResumes; };
    // A stop lets the window process its events too: no second stop from there.
    bool inside = false;
    host.onProcessEvents = [&] {
      if (!link.state.FirmwareUpdating || inside) return;
      inside = true;
      meddler.act(*this);
      inside = false;
    };
    connection.Connect();
    host.onProcessEvents = nullptr;
    tap.onWrite = nullptr;
    EXPECT_TRUE(result);
    EXPECT_TRUE(logged("Corvane CNCFirmware Update OK"));
    EXPECT_EQ(flash(expected.size()), expected);
    EXPECT_GT(frames, 0) << "the connections before and after exchanged frames";
    EXPECT_EQ(intoBootloader, 0);
    EXPECT_GE(refreshStops, 1);
    EXPECT_EQ(refreshResumes, 1) << "the start pulse ends the update";
    EXPECT_FALSE(board.inBootloader());
    EXPECT_TRUE(link.state.LinkConnected);
  }
}

TEST_F(FirmwareButtonTest, ADeviceClosedDuringTheUpdateIsOpenedAgainForTheStartPulse) {
  system->fields.setText(Window::Configuration, "eVer", "1.2.0");
  host.answers = {Answer::Yes, Answer::No};
  // Something closes the device under the update whenever the window gets
  // its turn while the bootloader is on the line.
  host.onProcessEvents = [&] {
    if (link.state.FirmwareUpdating && board.inBootloader()) unit.Close();
  };
  connection.Connect();
  host.onProcessEvents = nullptr;
  EXPECT_FALSE(result);
  EXPECT_TRUE(logged("Corvane CNCFirmware Update Error"));
  EXPECT_FALSE(board.inBootloader()) << "the start pulse reached the board";
  EXPECT_TRUE(logged("Communication OK")) << "the connection after the update finds the application";
}

TEST_F(FirmwareButtonTest, ABoardCutOffMidWriteIsStartedByTheConnectionAfterThePlug) {
  system->fields.setText(Window::Configuration, "eVer", "1.2.0");
  board.armBootDrop(2);
  host.answers = {Answer::Yes};
  connection.Connect();
  EXPECT_FALSE(result);
  EXPECT_TRUE(logged("Boot connected err"));
  EXPECT_TRUE(logged("Corvane CNC cannot be opened: the board stays in its bootloader until it is "
                     "connected again"));
  EXPECT_EQ(statusTexts.back(), "Firmware Upadate ERR!");
  EXPECT_TRUE(board.inBootloader());
  EXPECT_FALSE(link.state.LinkConnected);

  board.plugIn();
  host.answers = {Answer::No};
  connection.Connect();
  EXPECT_TRUE(logged("Start pulse: the board leaves its bootloader"));
  EXPECT_FALSE(board.inBootloader());
  EXPECT_TRUE(link.state.LinkConnected);
  EXPECT_TRUE(logged("Communication OK"));
  host.logPane.clear();
  connection.Connect();
  EXPECT_FALSE(logged("Start pulse: the board leaves its bootloader")) << "one pulse is owed, once";
}

// The firmware question opens the configuration window behind its password.
TEST_F(FirmwareButtonTest, WithoutTheSetupPasswordNoUpdateRuns) {
  const std::string refused = "Firmware Update: no setup password given, the firmware stays as it is";
  const struct {
    const char* name;
    bool oldFirmware;
    bool given;
    bool updated;
    bool connected;  // LinkConnected at the end
  } cases[] = {
      {"version differs, password given", false, true, true, true},
      {"version differs, password not given", false, false, false, true},
      {"old firmware, password given", true, true, true, true},
      {"old firmware, password not given", true, false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    board.setOldFirmware(c.oldFirmware);
    board.bootloader().loadFlash(Bytes(512, 0x00));
    system->fields.setText(Window::Configuration, "eVer", "1.2.0");
    host.logPane.clear();
    host.answers = {Answer::Yes};
    pressed = 0;
    int asked = 0;
    connection.ui.setupPasswordGiven = [&] {
      ++asked;
      return c.given;
    };
    // A successful update starts the board's application, which speaks the new frame.
    ui.restartProgram = [this] { board.setOldFirmware(false); };
    connection.Connect();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(pressed, c.updated ? 1 : 0);
    EXPECT_EQ(logged(refused), !c.given);
    EXPECT_EQ(flash(4) == Bytes(4, 0x00), !c.updated) << "the flash is untouched";
    EXPECT_EQ(link.state.LinkConnected, c.connected);
    EXPECT_EQ(logged("Communication OK"), c.connected);
  }
}

// ---- end to end over corvane-sim and its terminal -------------------------

struct FirmwarePtyTest : ::testing::Test, PtyProgram {
  FirmwarePtyTest() : PtyProgram(CORVANE_SIM_EXE) {
    std::filesystem::create_directories(system.paths.profileFolder());
  }
  void SetUp() override { ASSERT_TRUE(simulator.ready()) << ReadFileText(dir.file("sim.out")); }
  bool control(const std::string& line) { return simulator.control(line).find("ok") != std::string::npos; }
  // The flash as stm32flash reads it through the simulator's bootloader.
  std::string readBack(std::size_t count) {
    if (!control("bootloader")) return {};
    const std::string out = dir.file("readback.bin");
    const std::string command = "/usr/bin/stm32flash -m 8n1 -b 115200 -r '" + out + "' -S 0x08000000:" +
                                std::to_string(count) + " '" + simulator.link() + "' > '" +
                                dir.file("stm32flash.log") + "' 2>&1";
    if (std::system(command.c_str()) != 0) {
      ADD_FAILURE() << ReadFileText(dir.file("stm32flash.log"));
      return {};
    }
    return ReadFileText(out);
  }
};

TEST_F(FirmwarePtyTest, UpdatesTheSimulatorAndStm32flashReadsTheImageBack) {
  if (::access("/usr/bin/stm32flash", X_OK) != 0)
    GTEST_SKIP() << "stm32flash is not installed (apt-get install stm32flash)";
  const std::string shipped = ReadFileText(system.paths.programFolder + kFirmwareFileName);
  ASSERT_FALSE(shipped.empty());
  // A board full of old firmware: only an erase brings back 0xFF.
  WriteFileText(dir.file("old.bin"), std::string(4096, '\0'));
  ASSERT_TRUE(control("flash load " + dir.file("old.bin")));

  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(UpdateFirmware(system, link, {}));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_TRUE(logged("Corvane CNCFirmware Update OK"));
  EXPECT_LT(seconds, 15.0);
  std::printf("[ figures  ] %zu bytes in %zu blocks written over the terminal in %.2f s\n",
              shipped.size(), (shipped.size() + 255) / 256, seconds);

  const std::size_t readLength = 1024;
  const std::string flashed = readBack(readLength);
  ASSERT_EQ(flashed.size(), readLength);
  const Bytes stored(shipped.begin(), shipped.end());
  Bytes expected = FlashImage(stored);
  expected.resize(readLength, 0xFF);
  EXPECT_EQ(Bytes(flashed.begin(), flashed.end()), expected);
}

TEST_F(FirmwarePtyTest, ACablePulledMidWriteEndsTheUpdateAndTheNextOneRecovers) {
  if (::access("/usr/bin/stm32flash", X_OK) != 0)
    GTEST_SKIP() << "stm32flash is not installed (apt-get install stm32flash)";
  ASSERT_TRUE(control("fault boot-drop at 3"));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(UpdateFirmware(system, link, {}));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_TRUE(logged("Boot connected err"));
  EXPECT_LT(seconds, 10.0);
  EXPECT_FALSE(link.state.LinkConnected);

  ASSERT_TRUE(control("plug"));
  ASSERT_TRUE(UpdateFirmware(system, link, {}));
  const std::string shipped = ReadFileText(system.paths.programFolder + kFirmwareFileName);
  const std::string flashed = readBack(shipped.size());
  const Bytes stored(shipped.begin(), shipped.end());
  EXPECT_EQ(Bytes(flashed.begin(), flashed.end()), FlashImage(stored));
}

}  // namespace
}  // namespace corvane::testing
