#include <gtest/gtest.h>

#include "support/BoardFixture.h"

namespace corvane::testing {
namespace {

struct D2XXUnitTest : BoardFixture, ::testing::Test {};

TEST_F(D2XXUnitTest, OpenUsesAtMostTheFirst49Characters) {
  const std::string longName = std::string(kControllerDescription) + std::string(49, 'x');
  EXPECT_NE(unit.OpenByDescription(longName), ftstatus::kOk);
  EXPECT_EQ(unit.openDescription, longName.substr(0, 49));
  EXPECT_EQ(unit.OpenByDescription(kControllerDescription), ftstatus::kOk);
  EXPECT_TRUE(device.isOpen());
}

TEST_F(D2XXUnitTest, DescribingPastTheLastDeviceKeepsTheListedDescription) {
  unit.CountDevices();
  EXPECT_EQ(unit.deviceCount, 1u);
  ASSERT_EQ(unit.DescribeDevice(0), ftstatus::kOk);
  EXPECT_EQ(unit.listedDescription, kControllerDescription);
  unit.listedDescription = "kept";
  EXPECT_NE(unit.DescribeDevice(1), ftstatus::kOk);
  EXPECT_EQ(unit.listedDescription, "kept");
}

TEST_F(D2XXUnitTest, FailingConfigurationCallsBeepAndLogTheirNameAndStatus) {
  // Nothing is open yet: every configuration call fails with "not opened".
  EXPECT_EQ(unit.SetLatency(1), ftstatus::kDeviceNotOpened);
  EXPECT_EQ(host.beeps, 1);
  EXPECT_TRUE(logged("FT_SetLatencyTimer  - Device not opened..."));
  EXPECT_EQ(unit.ApplyBaudRate(), ftstatus::kDeviceNotOpened);
  EXPECT_TRUE(logged("FT_SetBaudRate - Device not opened..."));
  EXPECT_EQ(host.beeps, 2);

  unit.OpenByDescription(kControllerDescription);
  unit.ApplyParameters(kControllerLinkParameters);
  EXPECT_EQ(host.beeps, 2) << "a status of 0 stays silent";
}

TEST_F(D2XXUnitTest, StatusTextsFollowTheDriverList) {
  EXPECT_EQ(FtStatusText(0), "");
  EXPECT_EQ(FtStatusText(2), " - Device not found...");
  EXPECT_EQ(FtStatusText(8), " Device not opened for erase...");
  EXPECT_EQ(FtStatusText(17), " - Other error ...");
  EXPECT_EQ(FtStatusText(18), "") << "unknown statuses get the bare call name";
}

}  // namespace
}  // namespace corvane::testing
