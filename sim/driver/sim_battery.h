// The simulated notebook's battery packs as the platform driver reports them, and the
// Windows battery-class devices the module measures wear with.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "sim/driver/scenario.h"

namespace sim {

// Answers the battery functions in place; false for any other function.
bool RunBatteryFunction(const SimBattery& battery, uint8_t* packet, size_t size);
// Writes the packs' name, serial and manufacture date to the controller registers that the
// older interface reads byte by byte.
void BatteryRegisters(const SimBattery& battery, std::array<uint8_t, 256>& ec);

}  // namespace sim
