// The graphics control interface as the display helper sees it: four data blocks read and
// written whole, and the attachable-device enumeration. The Windows build puts the vendor's
// COM object behind it; tests and the sim variant the simulated displays of sim/graphics.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vida {

enum class Block { Configuration, Scaling, Edid, NView };

// Sizes of the blocks in bytes.
constexpr size_t kConfigurationSize = 132;
constexpr size_t kScalingSize = 96;
constexpr size_t kEdidSize = 268;
constexpr size_t kNViewSize = 84;

// Configuration block: mode at 0, the primary display's record at 4, the secondary's at 68.
constexpr size_t kPrimaryRecord = 4;
constexpr size_t kSecondaryRecord = 68;
// Offsets inside a display record.
constexpr size_t kRecUid = 0, kRecWidth = 4, kRecHeight = 8, kRecFurther = 12, kRecDepth = 16, kRecFlag = 60;
// Scaling block.
constexpr size_t kScUid = 0, kScOne = 8, kScMode = 16, kScHorizontal = 64, kScHorizontalStep = 68,
                 kScVertical = 84, kScVerticalStep = 88;
// EDID block: UID, block number, the 128 EDID bytes.
constexpr size_t kEdUid = 0, kEdBlock = 4, kEdBytes = 12;
// N-view block: the value 1 at 4 set by the caller, the number of displays at 12.
constexpr size_t kNvOne = 4, kNvCount = 12;

// Device type and status bit of an attached HDMI display in the enumeration.
constexpr uint32_t kTypeHdmi = 5;
constexpr uint32_t kStatusAttached = 2;

enum class AttachResult { Ok, Failed, NoString };

class IGraphics {
 public:
  virtual ~IGraphics() = default;
  // The block comes in with the caller's fields filled and its size set; false on failure.
  virtual bool GetDeviceData(Block block, std::vector<uint8_t>& data) = 0;
  virtual bool SetDeviceData(Block block, const std::vector<uint8_t>& data) = 0;
  // The name of display device number n; false when the system has no such device.
  virtual bool DisplayDevice(uint32_t n, std::u16string& name) = 0;
  // One entry of the attachable-device enumeration of a display device.
  virtual AttachResult Attachable(const std::u16string& device, uint32_t index, uint32_t& uid, uint32_t& type,
                                  uint32_t& status) = 0;
};

}  // namespace vida
