// The simulated graphics driver behind the display helper's graphics port, from the
// scenario's [display] section (sim/README.md). Every write is logged as one line; given the
// log of earlier writes, a new instance starts from the state they left, so that helper
// processes and the module see one driver as they would on a real machine.
#pragma once
#include <functional>
#include <string>

#include "sim/driver/scenario.h"
#include "tools/vidassist/graphics_port.h"

namespace sim {

class SimGraphics : public vida::IGraphics {
 public:
  // `log` receives each write's line (without line feed); `earlier` holds the lines of
  // writes already made, replayed in order.
  SimGraphics(const SimGraphicsSetup& setup, const std::string& earlier,
              std::function<void(const std::string&)> log);

  bool GetDeviceData(vida::Block block, std::vector<uint8_t>& data) override;
  bool SetDeviceData(vida::Block block, const std::vector<uint8_t>& data) override;
  bool DisplayDevice(uint32_t n, std::u16string& name) override;
  vida::AttachResult Attachable(const std::u16string& device, uint32_t index, uint32_t& uid, uint32_t& type,
                                uint32_t& status) override;

  // The one display device's name.
  static const char16_t kDeviceName[];

 private:
  bool Fails(const char* what) const;
  const SimDisplay* Find(uint32_t uid) const;
  void Replay(const std::string& line);

  SimGraphicsSetup setup_;
  std::function<void(const std::string&)> log_;
};

}  // namespace sim
