// The simulated driver's side of the wire: arbitrary capsules, records and packets
// (sessions declined, so the bytes reach the parsers as they are).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/core/misc_format.h"
#include "common/core/misc_session.h"
#include "sim/driver/scenario.h"
#include "sim/driver/sim_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MiscCommon::RegWView regw;
  MiscCommon::RgQIView rgqi;
  MiscCommon::DriverRequestView request;
  MiscCommon::CapsuleView capsule;
  MiscCommon::SessionOffer offer;
  MiscCommon::ParseRegW(data, size, regw);
  MiscCommon::ParseRgQI(data, size, rgqi);
  MiscCommon::ParseDriverRequest(data, size, request);
  MiscCommon::ParseCapsuleHeader(data, size, capsule);
  MiscCommon::ParseOffer(data, size, offer);

  static const std::string kScenario = "[driver]\nsessions = declined\n[functions]\n26 = 03\n";
  sim::Scenario scenario;
  std::string error;
  sim::ParseScenario(kScenario, scenario, error);
  sim::MemoryRegistry registry;
  sim::SimDriver driver(scenario, registry);
  std::u16string version;
  MiscCommon::DeviceHandle handle = 0;
  const char* failure = nullptr;
  driver.Open(true, version, handle, failure);
  std::vector<uint8_t> out(size + 64);
  uint32_t got = 0;
  driver.IoControl(handle, MiscCommon::IOCTL_MISC_CAPSULE, size ? data : nullptr, static_cast<uint32_t>(size),
                   out.data(), static_cast<uint32_t>(out.size()), &got);
  return 0;
}
