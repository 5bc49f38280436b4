// One seam says which notebook is simulated: the driver's device and the battery module's
// devices read the same scenario, named in the process environment (SetEnvironmentVariableW
// on Windows, where the C library's copy would miss it).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/core/misccommon.h"
#include "common/core/model_identity.h"
#include "sim/driver/scenario_source.h"

#ifdef _WIN32
#include <windows.h>

#include "modules/battery/module/bat_shell.h"
#endif

namespace {
const char kScenario[] =
    "[identity]\nmodel = RX7WQ2210HJ5800\n"
    "[battery]\nconfig = 0x09\npack0 = VLB-INT1 4321 2024/04/02\ndevice0 = ok 1 4321 3000\n";

TEST(ScenarioSeam, DriverAndBatteryDevicesReadTheSameNotebook) {
  const std::string path = testing::TempDir() + "seam-scenario.ini";
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fputs(kScenario, file);
  std::fclose(file);
#ifdef _WIN32
  SetEnvironmentVariableW(L"TELLWICK_SCENARIO", std::wstring(path.begin(), path.end()).c_str());
#else
  setenv("TELLWICK_SCENARIO", path.c_str(), 1);
#endif
  const sim::ScenarioSource source = sim::ReadScenarioSource();
  EXPECT_EQ(source.name, "scenario " + path);
  EXPECT_EQ(source.text, kScenario);

  MiscCommon::CMiscCommon client;  // the sim variant's device
  ASSERT_EQ(client.Open(), MiscCommon::MC_OK);
  std::string model;
  ASSERT_EQ(MiscCommon::ReadModelNumber(client, model), MiscCommon::MC_OK);
  EXPECT_EQ(model, "RX-7WQ2210HJ5800") << "the driver reads the named notebook, not the default";
#ifdef _WIN32
  const auto readings = bat::CreateBatteryDevices()->ReadOpenable(10);
  ASSERT_EQ(readings.size(), 1u);
  EXPECT_EQ(readings[0].design, 4321u) << "the battery devices read the same notebook";
  SetEnvironmentVariableW(L"TELLWICK_SCENARIO", nullptr);
#else
  unsetenv("TELLWICK_SCENARIO");
#endif
  std::remove(path.c_str());
}
}  // namespace
