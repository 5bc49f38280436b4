// The sim variant's battery devices: those of the simulated notebook (sim/driver/scenario_source.h),
// the same one the simulated driver reads. A scenario that cannot be read has no battery devices.
#include "modules/battery/module/bat_shell.h"
#include "sim/battery/sim_battery_devices.h"
#include "sim/driver/scenario.h"
#include "sim/driver/scenario_source.h"

namespace bat {

std::unique_ptr<IBatteryDevices> CreateBatteryDevices() {
  const sim::ScenarioSource source = sim::ReadScenarioSource();
  sim::Scenario scenario;
  std::string error;
  if (!source.readable || !sim::ParseScenario(source.text, scenario, error)) scenario = sim::Scenario{};
  return std::make_unique<sim::SimBatteryDevices>(scenario.battery.devices);
}

}  // namespace bat
