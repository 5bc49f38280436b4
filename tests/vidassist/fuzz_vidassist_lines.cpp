// The helper's line reader and command parser over arbitrary input, against a simulated driver.
#include <cstring>
#include <string>

#include "sim/driver/scenario.h"
#include "sim/graphics/sim_graphics.h"
#include "tools/vidassist/vidassist_core.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const sim::Scenario scenario = [] {
    sim::Scenario s;
    std::string error;
    sim::ParseScenario("[display]\nmode = 5\ndisplay0 = 0x400 1366 768 32 panel\n"
                       "display1 = 0x80000001 1920 1080 32 hdmi\ndisplay1.monitor = ABC1234 cea\n"
                       "scaling = 100 5 100 4\n",
                       s, error);
    return s;
  }();
  sim::SimGraphics graphics(scenario.graphics, std::string(reinterpret_cast<const char*>(data), size), nullptr);
  size_t at = 0;
  vida::Serve(
      &graphics,
      [&](char* buffer, size_t capacity) {
        const size_t n = std::min(capacity, size - at);
        std::memcpy(buffer, data + at, n);
        at += n;
        return n;
      },
      [&](const std::string& text) {
        // Every reply is one whole line.
        if (text.empty() || text.back() != '\n' || text.find('\n') != text.size() - 1) __builtin_trap();
      });
  return 0;
}
