// The release variant's battery devices: the Windows battery class through SetupAPI and the
// battery IOCTLs.
#include <windows.h>
#include <winioctl.h>
#include <initguid.h>
#include <batclass.h>
#include <setupapi.h>

#include <vector>

#include "common/win/system_library.h"
#include "modules/battery/module/bat_shell.h"

// SetupAPI loads when a device is first looked up.
#define SETUPAPI(function) TW_SYSTEM_FUNCTION(L"setupapi.dll", function)

namespace bat {
namespace {
class DeviceInfoSet {
 public:
  DeviceInfoSet()
      : set_(SETUPAPI(SetupDiGetClassDevsW)(&GUID_DEVICE_BATTERY, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {}
  DeviceInfoSet(const DeviceInfoSet&) = delete;
  DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;
  ~DeviceInfoSet() {
    if (set_ != INVALID_HANDLE_VALUE) SETUPAPI(SetupDiDestroyDeviceInfoList)(set_);
  }
  HDEVINFO get() const { return set_; }

 private:
  HDEVINFO set_;
};

class File {
 public:
  explicit File(HANDLE h) : h_(h) {}
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

// The interface's device path; empty when it cannot be read.
std::wstring DevicePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& data) {
  DWORD size = 0;
  SETUPAPI(SetupDiGetDeviceInterfaceDetailW)(set, &data, nullptr, 0, &size, nullptr);
  if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) || size > 64 * 1024) return std::wstring();
  std::vector<BYTE> buffer(size);
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
  if (!SETUPAPI(SetupDiGetDeviceInterfaceDetailW)(set, &data, detail, size, nullptr, nullptr)) return std::wstring();
  return detail->DevicePath;
}

DeviceReading Read(HANDLE device) {
  DeviceReading reading;
  ULONG wait = 0, tag = 0;
  DWORD got = 0;
  if (!DeviceIoControl(device, IOCTL_BATTERY_QUERY_TAG, &wait, sizeof wait, &tag, sizeof tag, &got, nullptr) || tag == 0)
    return reading;
  BATTERY_QUERY_INFORMATION query = {};
  query.BatteryTag = tag;
  query.InformationLevel = BatteryInformation;
  BATTERY_INFORMATION info = {};
  if (!DeviceIoControl(device, IOCTL_BATTERY_QUERY_INFORMATION, &query, sizeof query, &info, sizeof info, &got, nullptr))
    return reading;
  return DeviceReading{true, info.DesignedCapacity, info.FullChargedCapacity};
}

class SetupApiDevices : public IBatteryDevices {
 public:
  std::vector<DeviceReading> ReadOpenable(size_t max) override {
    std::vector<DeviceReading> out;
    DeviceInfoSet set;
    if (set.get() == INVALID_HANDLE_VALUE) return out;
    for (DWORD i = 0; i < 100 && out.size() < max; ++i) {
      SP_DEVICE_INTERFACE_DATA data = {};
      data.cbSize = sizeof data;
      if (!SETUPAPI(SetupDiEnumDeviceInterfaces)(set.get(), nullptr, &GUID_DEVICE_BATTERY, i, &data)) break;
      const std::wstring path = DevicePath(set.get(), data);
      if (path.empty()) continue;
      File device(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
      if (device.get() != INVALID_HANDLE_VALUE) out.push_back(Read(device.get()));
    }
    return out;
  }
};
}  // namespace

std::unique_ptr<IBatteryDevices> CreateBatteryDevices() { return std::make_unique<SetupApiDevices>(); }

}  // namespace bat
