// The simulated notebook's Windows battery-class devices, from the scenario's [battery] section.
#pragma once
#include <vector>

#include "modules/battery/bat_ports.h"
#include "sim/driver/scenario.h"

namespace sim {

class SimBatteryDevices : public bat::IBatteryDevices {
 public:
  explicit SimBatteryDevices(std::vector<SimBatteryDevice> devices) : devices_(std::move(devices)) {}
  std::vector<bat::DeviceReading> ReadOpenable(size_t max) override;

 private:
  std::vector<SimBatteryDevice> devices_;
};

}  // namespace sim
