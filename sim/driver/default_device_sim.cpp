// The sim variant's device: the simulated driver on the scenario named by TELLWICK_SCENARIO,
// or the built-in default notebook.
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "common/core/misc_device.h"
#include "common/core/misc_format.h"
#include "common/core/platform.h"
#include "common/core/win32_constants.h"
#include "sim/driver/default_scenario.h"
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
  std::string text = kDefaultScenario, name = "default scenario";
  if (const char* path = std::getenv("TELLWICK_SCENARIO"); path && *path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::make_unique<BrokenScenarioDevice>(std::string("scenario ") + path + " cannot be read.");
    std::ostringstream body;
    body << file.rdbuf();
    text = body.str();
    name = std::string("scenario ") + path;
  }
  Scenario scenario;
  std::string error;
  if (!ParseScenario(text, scenario, error)) return std::make_unique<BrokenScenarioDevice>(name + ": " + error);
  registry = CreatePlatformRegistry();
  auto driver = std::make_unique<SimDriver>(scenario, *registry);
  if (driver->ApplyRegistryPresets() != 0)
    return std::make_unique<BrokenScenarioDevice>(name + ": registry values cannot be written.");
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
