// The sim variant's device: the simulated driver on the notebook of sim/driver/scenario_source.h.
#include <string>

#include "common/core/misc_device.h"
#include "common/core/misc_format.h"
#include "common/core/platform.h"
#include "common/core/win32_constants.h"
#include "sim/driver/scenario_source.h"
#include "sim/driver/sim_driver.h"

namespace sim {
namespace {
// Stands in for a notebook without the driver when the scenario cannot be used.
class BrokenScenarioDevice : public MiscCommon::IMiscDevice {
 public:
  explicit BrokenScenarioDevice(std::string message) : message_(std::move(message)) {}
  int Open(bool, std::u16string&, MiscCommon::DeviceHandle&, const char*& failure) override {
    platform::SetLastErrorCode(win32::kErrorInvalidData);
    failure = message_.c_str();
    return MiscCommon::MC_ERR_NO_DEVICE;
  }
  bool IoControl(MiscCommon::DeviceHandle, uint32_t, const void*, uint32_t, void*, uint32_t, uint32_t*) override {
    platform::SetLastErrorCode(6);
    return false;
  }
  void Close(MiscCommon::DeviceHandle) override {}

 private:
  std::string message_;
};

std::unique_ptr<MiscCommon::IMiscDevice> LoadDevice(std::unique_ptr<ISimRegistry>& registry) {
  const ScenarioSource source = ReadScenarioSource();
  if (!source.readable) return std::make_unique<BrokenScenarioDevice>(source.name + " cannot be read.");
  Scenario scenario;
  std::string error;
  if (!ParseScenario(source.text, scenario, error)) return std::make_unique<BrokenScenarioDevice>(source.name + ": " + error);
  registry = CreatePlatformRegistry();
  auto driver = std::make_unique<SimDriver>(scenario, *registry);
  driver->SetAnomalySource([](SimAnomaly& out) {
    const ScenarioSource now = ReadScenarioSource();
    Scenario fresh;
    std::string ignored;
    if (!now.readable || !ParseScenario(now.text, fresh, ignored)) return false;
    out = fresh.anomaly;
    return true;
  });
  if (driver->ApplyRegistryPresets() != 0)
    return std::make_unique<BrokenScenarioDevice>(source.name + ": registry values cannot be written.");
  return driver;
}
}  // namespace
}  // namespace sim

namespace MiscCommon {
IMiscDevice& DefaultDevice() {
  static std::unique_ptr<sim::ISimRegistry> registry;
  static std::unique_ptr<IMiscDevice> device = sim::LoadDevice(registry);
  return *device;
}
}  // namespace MiscCommon
