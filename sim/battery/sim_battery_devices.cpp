#include "sim/battery/sim_battery_devices.h"

namespace sim {

std::vector<bat::DeviceReading> SimBatteryDevices::ReadOpenable(size_t max) {
  std::vector<bat::DeviceReading> out;
  for (const SimBatteryDevice& d : devices_) {
    if (out.size() >= max) break;
    // A tag of 0 means no battery is in the slot: the device opens but cannot be read.
    if (d.openable) out.push_back(bat::DeviceReading{d.tag != 0, d.design, d.full});
  }
  return out;
}

}  // namespace sim
