// The seam between the driver client and the device it talks to. The release build
// links the SetupAPI/DeviceIoControl adapter; the sim build links the simulated driver.
#pragma once
#include <cstdint>
#include <string>

namespace MiscCommon {

using DeviceHandle = intptr_t;
constexpr DeviceHandle kInvalidDevice = -1;

class IMiscDevice {
 public:
  virtual ~IMiscDevice() = default;

  // Finds the driver's device interface and opens it. When `readVersion` is set, also reads
  // the driver's "DriverVersion" text. On failure answers an MC_* code, names the failing
  // step in `failure` (e.g. "CreateFile failed.") and leaves the last error as that step set it.
  virtual int Open(bool readVersion, std::u16string& version, DeviceHandle& handle, const char*& failure) = 0;

  // DeviceIoControl: sets the last error on failure.
  virtual bool IoControl(DeviceHandle handle, uint32_t code, const void* in, uint32_t inLength, void* out,
                         uint32_t outCapacity, uint32_t* returned) = 0;

  virtual void Close(DeviceHandle handle) = 0;
};

// The device of the variant this program was linked with.
IMiscDevice& DefaultDevice();

}  // namespace MiscCommon
