#include <gtest/gtest.h>

#include "support/BoardFixture.h"
#include "system/CommandLine.h"
#include "virtual/ControllerSetup.h"
#include "wire/Codes.h"
#include "wire/Commands.h"

namespace corvane::testing {
namespace {

namespace cmd = wire::cmd;

struct ConnectionTest : BoardFixture, ::testing::Test {
  ConnectionTest() {
    connection.fields = [this] { return settings; };
    connection.ui.startFirmwareUpdate = [this] { ++firmwareUpdates; };
    connection.ui.setCRef = [this](bool on) { settings.cRef = on; };
  }
  bool connectedGreen() const {
    return link.state.LinkConnected && indicator.colour == IndicatorColour::Green &&
           indicator.text == indicator.message(indicator::kConnected);
  }
  ConnectionFields settings;
  int firmwareUpdates = 0;
};

TEST_F(ConnectionTest, FindsConnectsAndHandsShakeWithTheBoard) {
  connection.Connect();
  EXPECT_TRUE(connectedGreen());
  EXPECT_TRUE(logged("found : Corvane CNC"));
  EXPECT_TRUE(logged("FirmwareVer 1.2 1"));
  EXPECT_TRUE(logged("Communication OK"));
  EXPECT_TRUE(host.questions.empty());
  EXPECT_EQ(link.state.RetryCount, 0);

  const auto first = tap.written.front();
  const std::vector<std::uint8_t> expected = {0x01, 0, 0, 0, 0x01, 0, 0, 0, 0x01, 0,    0,    0,
                                              0x01, 0, 0, 0, 0x64, 0, 0, 0, 0xFE, 0x01, 0x01, 0xBD};
  EXPECT_EQ(first, expected);

  const auto codes = tap.commandCodes();
  const std::vector<std::uint8_t> handshake = {cmd::kStatusB, cmd::kVersion, cmd::kStatusA};
  EXPECT_TRUE(std::equal(handshake.begin(), handshake.end(), codes.begin()));
  const auto settingsSent = tap.requests();
  EXPECT_EQ(settingsSent[std::size_t(5)].command, cmd::kDwell);
  EXPECT_EQ(settingsSent[5].p[4], 500);
  EXPECT_EQ(settingsSent[6].command, cmd::kConnectionSetting);
  EXPECT_EQ(settingsSent[6].p[4], 650);
  EXPECT_EQ(settingsSent[7].command, cmd::kThcSettings);
  EXPECT_EQ(settingsSent[7].p[2], 20);
  EXPECT_NE(std::find(codes.begin(), codes.end(), cmd::kStop), codes.end());
  EXPECT_EQ(board.board().queueFill(), 0);
}

TEST_F(ConnectionTest, PowerUpMarkRestoresTheLastPositionAndForgetsReferencing) {
  settings.eTX = 1500;
  settings.eTY = -2500;
  settings.eTZ = 300;
  settings.eTA = 7;
  settings.cRef = true;
  connection.ReferencedAxes = 7;
  connection.Connect();
  EXPECT_EQ(board.board().position(), (sim::Steps4{1500, -2500, 300, 7}));
  EXPECT_EQ(connection.ReferencedAxes, 0);
  EXPECT_EQ(host.errorLabel, "Machine not referenced!");
  EXPECT_TRUE(logged("Machine not referenced"));
  EXPECT_FALSE(settings.cRef);
  const auto codes = tap.commandCodes();
  const auto reset = std::find(codes.begin(), codes.end(), cmd::kMotionReset);
  ASSERT_NE(reset, codes.end());
  EXPECT_EQ(*(reset + 1), cmd::kSetPosition);
}

TEST_F(ConnectionTest, PowerUpWithShowErrZeroOnlyLogs) {
  settings.showErr = 0;
  settings.cRef = true;
  connection.Connect();
  EXPECT_EQ(host.errorLabel, "");
  EXPECT_TRUE(logged("Machine not referenced"));
  EXPECT_FALSE(settings.cRef);
}

TEST_F(ConnectionTest, ShowErrTwoAlsoStartsTheReferencingPrompt) {
  settings.showErr = 2;
  int prompts = 0;
  connection.ui.startReferencingPrompt = [&] { ++prompts; };
  connection.Connect();
  EXPECT_EQ(prompts, 1);
}

TEST_F(ConnectionTest, SecondConnectionKeepsTheReferencedState) {
  connection.Connect();
  settings.cRef = true;
  connection.Connect();
  EXPECT_EQ(connection.ReferencedAxes, 7);
  EXPECT_TRUE(logged("Machine is referenced OK"));
  EXPECT_TRUE(connectedGreen());
}

TEST_F(ConnectionTest, NoBoardAttached) {
  board.unplug();
  link.state.StatusWord = 0xFF;
  connection.Connect();
  EXPECT_TRUE(logged("NoDev found"));
  EXPECT_FALSE(link.state.LinkConnected);
  EXPECT_EQ(indicator.text, indicator.message(indicator::kNoDevice));
  EXPECT_EQ(indicator.colour, IndicatorColour::Red);
  EXPECT_EQ(link.state.StatusWord, 0u);
}

TEST_F(ConnectionTest, OpenFailure) {
  device.refuseOpen(true);
  connection.Connect();
  EXPECT_TRUE(logged("DEV: Corvane CNC open port err"));
  EXPECT_EQ(indicator.text, indicator.message(indicator::kOpenFailed));
  EXPECT_FALSE(link.state.LinkConnected);
}

TEST_F(ConnectionTest, SilentBoardFailsTheHandshake) {
  board.faults().setProbability(sim::Fault::LoseReply, 1.0);
  connection.Connect();
  EXPECT_TRUE(logged("Old_TX_err"));
  EXPECT_TRUE(logged("Communication Error"));
  EXPECT_EQ(indicator.text, indicator.message(indicator::kDisconnected));
  EXPECT_FALSE(link.state.LinkConnected);
  EXPECT_FALSE(device.isOpen());
}

TEST_F(ConnectionTest, OldFirmwareAnswersTheShortFrameAndIsOfferedAnUpdate) {
  board.setOldFirmware(true);
  host.answers = {Answer::No};
  connection.Connect();
  ASSERT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(host.questions[0], indicator.message(indicator::kUpdateQuestion) + " < 1.0.9 " +
                                   indicator.message(indicator::kUpdateQuestionEnd) + " 1.2 1");
  EXPECT_FALSE(link.state.LinkConnected) << "no exchange may run with the old frame";
  EXPECT_TRUE(device.isOpen());
  EXPECT_EQ(tap.written.back().size(), wire::kOldFrameSize);
  EXPECT_EQ(firmwareUpdates, 0);

  host.answers = {Answer::Yes};
  connection.Connect();
  EXPECT_TRUE(link.state.LinkConnected) << "the firmware update talks over the open link";
  EXPECT_EQ(firmwareUpdates, 1);
}

TEST_F(ConnectionTest, DifferentFirmwareVersionAsksAndGoesOnWhenDeclined) {
  tap.editReplies = [this](std::vector<std::uint8_t>& reply) {
    if (tap.written.back()[wire::kCommandByte] == cmd::kVersion)
      EditReply(reply, [](wire::ControllerReply& r) { r.r[1] = 3; });
  };
  connection.Connect();
  ASSERT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(host.questions[0], indicator.message(indicator::kUpdateQuestion) + " 1.3 1\n\r" +
                                   indicator.message(indicator::kUpdateQuestionEnd) + "1.2.1");
  EXPECT_TRUE(logged("FirmwareVer 1.3 1"));
  EXPECT_TRUE(connectedGreen());
}

TEST_F(ConnectionTest, FlashedVersionDifferingFromTheCarriedOneStartsTheUpdate) {
  settings.eVer = "1.2.0";
  host.answers = {Answer::Yes};
  connection.Connect();
  EXPECT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(firmwareUpdates, 1);
  EXPECT_FALSE(logged("Communication OK"));
}

TEST_F(ConnectionTest, AutoConnectDisableDropsTheStartupConnection) {
  settings.autoConnect = false;
  connection.StartupConnect();
  EXPECT_TRUE(logged("Communication OK"));
  EXPECT_FALSE(link.state.LinkConnected);
  EXPECT_EQ(indicator.text, indicator.message(indicator::kDisconnectedByOperator));
}

TEST_F(ConnectionTest, ClickingTheLabelDisconnectsAndConnects) {
  connection.Connect();
  connection.ClickIndicator(false, false);
  EXPECT_FALSE(link.state.LinkConnected);
  EXPECT_EQ(indicator.text, indicator.message(indicator::kDisconnectedByOperator));
  system->StopRequested = false;
  connection.ClickIndicator(false, false);
  EXPECT_TRUE(connectedGreen());
  EXPECT_TRUE(system->StopRequested);
}

TEST_F(ConnectionTest, ShiftClickGoesToTheFirmwareUpdateOrComplains) {
  int hexConversions = 0;
  connection.ui.convertHexFile = [&] { ++hexConversions; };
  connection.ClickIndicator(true, true);
  EXPECT_EQ(hexConversions, 1);
  EXPECT_EQ(firmwareUpdates, 1);
  EXPECT_FALSE(link.state.LinkConnected);

  board.unplug();
  connection.ClickIndicator(true, false);
  EXPECT_EQ(host.messages.back(), "Device is not Connected or USB Drivers error !");
  EXPECT_EQ(firmwareUpdates, 1);
}

TEST_F(ConnectionTest, UnpluggingTheConnectedBoardTurnsTheLabelRed) {
  connection.Connect();
  board.unplug();
  commands.PollStatus();
  EXPECT_FALSE(link.state.LinkConnected);
  EXPECT_EQ(indicator.colour, IndicatorColour::Red);
  EXPECT_EQ(indicator.text, indicator.message(indicator::kDisconnected));
}

// A bus with another FTDI device in front of the board.
class TwoDeviceBus final : public WireTap {
 public:
  TwoDeviceBus(UsbDevice& board, std::string firstDescription)
      : WireTap(board), board_(board), first_(std::move(firstDescription)) {}
  FtStatus countDevices(std::uint32_t& count) override {
    board_.countDevices(count);
    ++count;
    return ftstatus::kOk;
  }
  FtStatus describeDevice(std::uint32_t index, std::string& description) override {
    if (index == 0) {
      description = first_;
      return ftstatus::kOk;
    }
    return board_.describeDevice(index - 1, description);
  }

 private:
  UsbDevice& board_;
  std::string first_;
};

TEST_F(ConnectionTest, OnlyTheExactDescriptionIsTheController) {
  for (const char* other : {"FT232R USB UART", "CORVANE CNC", "corvane cnc"}) {
    SCOPED_TRACE(other);
    TwoDeviceBus bus(device, other);
    D2XXUnit busUnit(bus, host, system->log);
    ControllerLink busLink(busUnit, clock, host, system->log, indicator, system->StatisticsChanged);
    MachineCommands busCommands(*system, busLink);
    Connection busConnection(*system, busLink, busCommands);
    EXPECT_TRUE(busConnection.FindController());
    EXPECT_EQ(busUnit.listedDescription, kControllerDescription);
  }
  board.unplug();
  TwoDeviceBus bus(device, "CORVANE CNC");
  D2XXUnit busUnit(bus, host, system->log);
  ControllerLink busLink(busUnit, clock, host, system->log, indicator, system->StatisticsChanged);
  MachineCommands busCommands(*system, busLink);
  Connection busConnection(*system, busLink, busCommands);
  EXPECT_FALSE(busConnection.FindController()) << "another letter case is another device";
}

TEST(ControllerSetupTest, VirtualDeviceOptionConnectsTheBuiltInBoard) {
  SystemFixture fixture;
  auto controller = MakeController(*fixture.system, ParseCommandLine({"--device=virtual"}));
  ASSERT_NE(controller->device.board, nullptr);
  EXPECT_FALSE(controller->link.raisePriorityWhileWaiting);
  EXPECT_EQ(controller->link.replyTimeoutMicros, 10001);
  controller->connection.StartupConnect();
  EXPECT_TRUE(controller->link.state.LinkConnected);
  EXPECT_EQ(controller->indicator.colour, IndicatorColour::Green);
  const auto& pane = fixture.host.logPane;
  for (const char* line : {"found : Corvane CNC", "FirmwareVer 1.2 1", "Communication OK"})
    EXPECT_NE(std::find(pane.begin(), pane.end(), line), pane.end()) << line;

  controller->device.board->unplug();
  controller->commands.PollStatus();
  EXPECT_FALSE(controller->link.state.LinkConnected);
  EXPECT_EQ(controller->indicator.colour, IndicatorColour::Red);
}

TEST(ConnectionIndicatorTest, HoverPressAndBlink) {
  ConnectionIndicator label([](int entry) { return entry == 7 ? std::string("Verbunden") : std::string(); });
  label.show(indicator::kConnected, IndicatorColour::Green);
  EXPECT_EQ(label.text, "Verbunden");
  label.MouseEnter();
  EXPECT_EQ(label.colour, IndicatorColour::Navy);
  EXPECT_EQ(label.fontSize, 13);
  label.MouseEnter();
  label.MouseLeave();
  EXPECT_EQ(label.colour, IndicatorColour::Green) << "a second enter must not remember navy";
  EXPECT_EQ(label.fontSize, 12);
  label.MouseDown();
  EXPECT_EQ(label.text, "R E S E T" + std::string(7, ' '));
  label.showDisconnected();
  label.Blink(false);
  EXPECT_EQ(label.colour, IndicatorColour::Grey);
  label.Blink(false);
  EXPECT_EQ(label.colour, IndicatorColour::Red);
  EXPECT_EQ(ConnectionIndicator::kHint, std::string("Connection Reset"));
}

}  // namespace
}  // namespace corvane::testing
