// wickinfo as a user runs it, in both variants, and the sim variant's registry writes.
#include <gtest/gtest.h>

#include "common/core/misccommon.h"
#include "common/win/reg.h"
#include "sim/driver/sim_driver.h"
#include "tests/common/win/win_test_support.h"

using wintest::RunProgram;
using wintest::WinePath;

TEST(Wickinfo, SimVariantPrintsTheDefaultNotebook) {
  std::string out;
  EXPECT_EQ(RunProgram(WinePath(WICKINFO_SIM_EXE), out), 0);
  EXPECT_EQ(out,
            "Model: PT-15KB3456CS\nSerial: 9K12304567\nBIOS: V1.23L45A M67\nDriver: 1.0.8.2\nSession: enciphered\n");
}

TEST(Wickinfo, SimVariantReadsAnotherScenario) {
  std::string out;
  const std::wstring scenario = WinePath(SCENARIO_DIR "/extended-model.ini");
  EXPECT_EQ(RunProgram(WinePath(WICKINFO_SIM_EXE) + L" --scenario " + scenario, out), 0);
  EXPECT_EQ(out,
            "Model: RX-7WQ2210HJ5800\nSerial: 5Z08A00042\nBIOS: V2.05L10 M03\nDriver: 1.0.9.0\n"
            "Session: plain (declined by the driver)\n");
}

TEST(Wickinfo, BrokenScenarioIsReportedNotGuessed) {
  std::string out;
  const std::wstring scenario = WinePath(TEST_DATA_DIR "/broken.ini");
  EXPECT_EQ(RunProgram(WinePath(WICKINFO_SIM_EXE) + L" --scenario " + scenario, out), MiscCommon::MC_ERR_NO_DEVICE);
  EXPECT_NE(out.find("Error: MC_ERR_NO_DEVICE (Open)\n"), std::string::npos) << out;
  EXPECT_NE(out.find("line 4: bad entry 'bios' in [identity]"), std::string::npos) << out;
}

TEST(Wickinfo, ReleaseVariantFindsNoDriverUnderWine) {
  std::string out;
  EXPECT_EQ(RunProgram(WinePath(WICKINFO_RELEASE_EXE), out), MiscCommon::MC_ERR_NO_DEVICE);
  EXPECT_EQ(out,
            "Error: MC_ERR_NO_DEVICE (Open)\n"
            "Message: MiscCommon::CMiscCommon::OpenDriver: SetupDiEnumDeviceInterfaces failed.\n");
}

TEST(ReleaseDevice, KeepsTheSetupApiError) {
  MiscCommon::CMiscCommon client;
  EXPECT_EQ(client.Open(), MiscCommon::MC_ERR_NO_DEVICE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
  EXPECT_FALSE(client.IsOpen());
}

TEST(SimDriver, WritesMachineValuesIntoTheNativeHklmView) {
  const wchar_t* path = L"SOFTWARE\\TellwickTestDriver";
  wintest::ScopedKey cleanup(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY);
  sim::Scenario scenario;
  std::unique_ptr<sim::ISimRegistry> registry = sim::CreatePlatformRegistry();
  sim::SimDriver driver(scenario, *registry);
  MiscCommon::CMiscCommon client(driver);
  ASSERT_EQ(client.Open(), MiscCommon::MC_OK);
  MiscCommon::CDriverReg driverReg(&client);
  const char16_t* path16 = u"SOFTWARE\\TellwickTestDriver";
  ASSERT_TRUE(driverReg.WriteDword(win32::RegRoot::LocalMachine, path16, u"FunctionEnable", 7));
  CReg reg;
  DWORD value = 0;
  ASSERT_TRUE(reg.ReadDword64(HKEY_LOCAL_MACHINE, path, L"FunctionEnable", &value));
  EXPECT_EQ(value, 7u);
  uint32_t back = 0;
  ASSERT_TRUE(driverReg.ReadDword(win32::RegRoot::LocalMachine, path16, u"FunctionEnable", &back));
  EXPECT_EQ(back, 7u);
  EXPECT_TRUE(driverReg.KeyExists(win32::RegRoot::LocalMachine, path16));
}
