// The release device: the platform driver's interface found through SetupAPI and
// opened with CreateFileW.
#include <windows.h>
#include <setupapi.h>

#include <memory>

#include "common/win/system_library.h"
#include "common/core/misc_device.h"
#include "common/core/misc_format.h"

// SetupAPI loads when a device is first looked up.
#define SETUPAPI(function) TW_SYSTEM_FUNCTION(L"setupapi.dll", function)

namespace MiscCommon {
namespace {
// Device interface class of the maker's platform driver.
const GUID GUID_DEVINTERFACE_MISC = {0x3c0d501a, 0x140b, 0x11d1, {0xb4, 0x0f, 0x00, 0xa0, 0xc9, 0x62, 0x3f, 0x21}};

class DeviceInfoList {
 public:
  explicit DeviceInfoList(HDEVINFO h) : h_(h) {}
  ~DeviceInfoList() {
    if (h_ != INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      SETUPAPI(SetupDiDestroyDeviceInfoList)(h_);
      SetLastError(error);
    }
  }
  DeviceInfoList(const DeviceInfoList&) = delete;
  DeviceInfoList& operator=(const DeviceInfoList&) = delete;
  HDEVINFO get() const { return h_; }

 private:
  HDEVINFO h_;
};

struct HeapDeleter {
  void operator()(void* p) const {
    const DWORD error = GetLastError();
    HeapFree(GetProcessHeap(), 0, p);
    SetLastError(error);
  }
};

class SetupApiDevice : public IMiscDevice {
 public:
  int Open(bool readVersion, std::u16string& version, DeviceHandle& handle, const char*& failure) override {
    DeviceInfoList list(SETUPAPI(SetupDiGetClassDevsW)(&GUID_DEVINTERFACE_MISC, nullptr, nullptr,
                                             DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (list.get() == INVALID_HANDLE_VALUE) return Failure(failure, "SetupDiGetClassDevs failed.", MC_ERR_FAILED);
    SP_DEVICE_INTERFACE_DATA iface = {sizeof iface};
    if (!SETUPAPI(SetupDiEnumDeviceInterfaces)(list.get(), nullptr, &GUID_DEVINTERFACE_MISC, 0, &iface))
      return Failure(failure, "SetupDiEnumDeviceInterfaces failed.", MC_ERR_NO_DEVICE);
    DWORD size = 0;
    if (SETUPAPI(SetupDiGetDeviceInterfaceDetailW)(list.get(), &iface, nullptr, 0, &size, nullptr) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
      return Failure(failure, "SetupDiGetDeviceInterfaceDetail (First time) failed.", MC_ERR_FAILED);
    std::unique_ptr<SP_DEVICE_INTERFACE_DETAIL_DATA_W, HeapDeleter> detail(
        static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size)));
    if (!detail) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return Failure(failure, "HeapAlloc failed.", MC_ERR_NO_MEMORY);
    }
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    SP_DEVINFO_DATA info = {sizeof info};
    if (!SETUPAPI(SetupDiGetDeviceInterfaceDetailW)(list.get(), &iface, detail.get(), size, nullptr, &info))
      return Failure(failure, "SetupDiGetDeviceInterfaceDetail (Second time) failed.", MC_ERR_FAILED);
    if (readVersion) {
      const int rc = ReadVersion(list.get(), info, version, failure);
      if (rc != MC_OK) return rc;
    }
    HANDLE h = CreateFileW(detail->DevicePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Failure(failure, "CreateFile failed.", MC_ERR_OPEN_FAILED);
    handle = reinterpret_cast<DeviceHandle>(h);
    return MC_OK;
  }

  bool IoControl(DeviceHandle handle, uint32_t code, const void* in, uint32_t inLength, void* out,
                 uint32_t outCapacity, uint32_t* returned) override {
    DWORD got = 0;
    const BOOL ok = DeviceIoControl(reinterpret_cast<HANDLE>(handle), code, const_cast<void*>(in), inLength, out,
                                    outCapacity, &got, nullptr);
    *returned = got;
    return ok != FALSE;
  }

  void Close(DeviceHandle handle) override { CloseHandle(reinterpret_cast<HANDLE>(handle)); }

 private:
  static int Failure(const char*& failure, const char* text, int code) {
    failure = text;
    return code;
  }

  static int ReadVersion(HDEVINFO list, SP_DEVINFO_DATA& info, std::u16string& version, const char*& failure) {
    HKEY key = SETUPAPI(SetupDiOpenDevRegKey)(list, &info, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return Failure(failure, "SetupDiOpenDevRegKey failed.", MC_ERR_FAILED);
    wchar_t text[257] = {};
    DWORD bytes = 256 * sizeof(wchar_t), type = 0;
    const LONG rc = RegQueryValueExW(key, L"DriverVersion", nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
      SetLastError(rc != ERROR_SUCCESS ? static_cast<DWORD>(rc) : ERROR_INVALID_DATA);
      return Failure(failure, "RegQueryValueEx failed.", MC_ERR_FAILED);
    }
    version.assign(reinterpret_cast<const char16_t*>(text));
    return MC_OK;
  }
};
}  // namespace

IMiscDevice& DefaultDevice() {
  static SetupApiDevice device;
  return device;
}
}  // namespace MiscCommon
