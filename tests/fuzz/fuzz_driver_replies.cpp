// Everything the driver client parses from a driver, fed from the fuzzer: each device call
// answers the next slice of the input.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/core/misccommon.h"
#include "common/core/platform.h"

namespace {
class ScriptedDevice : public MiscCommon::IMiscDevice {
 public:
  ScriptedDevice(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  int Open(bool, std::u16string& version, MiscCommon::DeviceHandle& handle, const char*&) override {
    version = u"1.0.8.0";
    handle = 1;
    return MiscCommon::MC_OK;
  }
  // Slice: flags (bit 0 ok, bits 1-7 error code), 16-bit length, bytes.
  bool IoControl(MiscCommon::DeviceHandle, uint32_t, const void*, uint32_t, void* out, uint32_t outCapacity,
                 uint32_t* returned) override {
    *returned = 0;
    if (end_ - p_ < 3) return platform::SetLastErrorCode(50), false;  // ERROR_NOT_SUPPORTED: declines sessions
    const uint8_t flags = p_[0];
    size_t n = p_[1] | (p_[2] << 8);
    p_ += 3;
    if (n > static_cast<size_t>(end_ - p_)) n = static_cast<size_t>(end_ - p_);
    const size_t copied = n < outCapacity ? n : outCapacity;
    if (copied) std::memcpy(out, p_, copied);
    p_ += n;
    *returned = static_cast<uint32_t>(copied);
    static const uint32_t kErrors[] = {50, 234, 111, 87, 5, 2, 13};
    platform::SetLastErrorCode(kErrors[(flags >> 1) % 7]);
    return flags & 1;
  }
  void Close(MiscCommon::DeviceHandle) override {}

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ScriptedDevice device(data, size);
  MiscCommon::CMiscCommon client(device);
  client.Open();
  uint8_t buffer[100];
  uint32_t length = sizeof buffer;
  client.GetModelNumber(1, buffer, &length);
  uint8_t packet[32];
  MiscCommon::InitPacket(packet, sizeof packet, 24, MiscCommon::kPacketClassTable, 16, 32);
  client.CallMiscFunctionRetry(packet, sizeof packet);
  uint32_t type = 0;
  length = 8;
  client.QueryRegistry(win32::RegRoot::LocalMachine, u"K", u"N", &type, buffer, &length);
  length = 0;
  client.QueryRegistry(win32::RegRoot::LocalMachine, u"K", u"N", &type, nullptr, &length);
  bool exists = false;
  client.RegKeyExists(win32::RegRoot::LocalMachine, u"K", &exists);
  uint32_t got = 0;
  client.EncapsuledDeviceIoControl(MiscCommon::IOCTL_MISC_FUNCTION, buffer, 4, buffer, 3, &got);
  return 0;
}
