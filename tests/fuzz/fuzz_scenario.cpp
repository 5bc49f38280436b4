#include <cstddef>
#include <cstdint>
#include <string>

#include "sim/driver/scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sim::Scenario scenario;
  std::string error;
  if (sim::ParseScenario(std::string(reinterpret_cast<const char*>(data), size), scenario, error))
    sim::BuildModelInfo(scenario);
  return 0;
}
