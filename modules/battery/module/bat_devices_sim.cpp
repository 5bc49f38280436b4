// The sim variant's battery devices: those of the scenario named by TELLWICK_SCENARIO, or of
// the built-in default notebook. A scenario that cannot be read has no battery devices.
#include <windows.h>

#include <fstream>
#include <sstream>

#include "modules/battery/module/bat_shell.h"
#include "sim/battery/sim_battery_devices.h"
#include "sim/driver/default_scenario.h"

namespace bat {

std::unique_ptr<IBatteryDevices> CreateBatteryDevices() {
  std::string text = sim::kDefaultScenario;
  // The process environment itself: the C library's copy misses changes made after it started.
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableW(L"TELLWICK_SCENARIO", path, MAX_PATH);
  if (n > 0 && n < MAX_PATH) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream body;
    body << file.rdbuf();
    text = file ? body.str() : std::string();
  }
  sim::Scenario scenario;
  std::string error;
  if (!sim::ParseScenario(text, scenario, error)) scenario = sim::Scenario{};
  return std::make_unique<sim::SimBatteryDevices>(scenario.battery.devices);
}

}  // namespace bat
