// The release variant: SetupAPI, the disk's power state, the power scheme through PowrProf and
// the viewer's elevation-enabled class.
#include <windows.h>
#include <objbase.h>
#include <setupapi.h>

#include "common/win/system_library.h"
#include "common/win/com_ptr.h"
#include "common/win/winversion.h"
#include "libs/diskwarn/dll/dw_machine.h"
#include "libs/diskwarn/dll/dw_win.h"
#include "libs/diskwarn/hdd_rules.h"
#include "libs/diskwarn/viewer_elevation.h"

// SetupAPI loads when a device is first looked up.
#define SETUPAPI(function) TW_SYSTEM_FUNCTION(L"setupapi.dll", function)

namespace dw {
namespace {

class Library {
 public:
  explicit Library(const wchar_t* name) : h_(LoadLibraryW(name)) {}
  ~Library() {
    if (h_) FreeLibrary(h_);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  template <class Fn>
  Fn Get(const char* name) const {
    return h_ ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(h_, name))) : nullptr;
  }

 private:
  HMODULE h_;
};

// The older power policy's records, as PowrProf lays them out.
struct PowerActionPolicy {
  DWORD action, flags, eventCode;
};
struct UserPowerPolicy {
  ULONG revision;
  PowerActionPolicy idleAc, idleDc;
  ULONG idleTimeoutAc, idleTimeoutDc;
  UCHAR idleSensitivityAc, idleSensitivityDc;
  UCHAR throttlePolicyAc, throttlePolicyDc;
  DWORD maxSleepAc, maxSleepDc;
  DWORD reserved[2];
  ULONG videoTimeoutAc, videoTimeoutDc;
  ULONG spindownTimeoutAc, spindownTimeoutDc;
  BOOLEAN optimizeForPowerAc, optimizeForPowerDc;
  UCHAR fanThrottleToleranceAc, fanThrottleToleranceDc;
  UCHAR forcedThrottleAc, forcedThrottleDc;
};
struct MachinePowerPolicy {
  ULONG revision;
  DWORD minSleepAc, minSleepDc;
  DWORD reducedLatencySleepAc, reducedLatencySleepDc;
  ULONG dozeTimeoutAc, dozeTimeoutDc;
  ULONG dozeS4TimeoutAc, dozeS4TimeoutDc;
  // what follows is not read
  UCHAR rest[64];
};
struct PowerPolicy {
  UserPowerPolicy user;
  MachinePowerPolicy machine;
};
constexpr DWORD kPowerActionHibernate = 3;

bool PolicySeconds(bool onMains, uint32_t& seconds) {
  using ActiveScheme = BOOLEAN(WINAPI*)(UINT*);
  using Current = BOOLEAN(WINAPI*)(void*, PowerPolicy*);
  Library powrprof(L"powrprof.dll");
  auto active = powrprof.Get<ActiveScheme>("GetActivePwrScheme");
  auto current = powrprof.Get<Current>("GetCurrentPowerPolicies");
  UINT scheme = 0;
  struct {
    BYTE global[512];
  } global = {};
  PowerPolicy policy = {};
  if (!active || !current || !active(&scheme) || !current(&global, &policy)) return false;
  const PowerActionPolicy& idle = onMains ? policy.user.idleAc : policy.user.idleDc;
  seconds = hdd::PolicyHibernateSeconds(idle.action == kPowerActionHibernate,
                                        onMains ? policy.user.idleTimeoutAc : policy.user.idleTimeoutDc,
                                        onMains ? policy.machine.dozeS4TimeoutAc : policy.machine.dozeS4TimeoutDc);
  return true;
}

const GUID kSleepSubgroup = {0x238C9FA8, 0x0AAD, 0x41ED, {0x83, 0xF4, 0x97, 0xBE, 0x24, 0x2C, 0x8F, 0x20}};
const GUID kHibernateTimeout = {0x9D7815A6, 0x7EE4, 0x497E, {0x88, 0x88, 0x51, 0x5A, 0x05, 0xF0, 0x23, 0x64}};

bool SchemeSeconds(bool onMains, uint32_t& seconds) {
  using GetActive = DWORD(WINAPI*)(HKEY, GUID**);
  using ReadIndex = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, DWORD*);
  Library powrprof(L"powrprof.dll");
  auto getActive = powrprof.Get<GetActive>("PowerGetActiveScheme");
  auto read = powrprof.Get<ReadIndex>(onMains ? "PowerReadACValueIndex" : "PowerReadDCValueIndex");
  GUID* scheme = nullptr;
  if (!getActive || !read || getActive(nullptr, &scheme) != ERROR_SUCCESS || !scheme) return false;
  DWORD value = 0;
  const DWORD rc = read(nullptr, scheme, &kSleepSubgroup, &kHibernateTimeout, &value);
  LocalFree(scheme);
  if (rc != ERROR_SUCCESS) return false;
  seconds = value;
  return true;
}
}  // namespace

bool PresentPciInstanceIds(std::vector<std::u16string>& ids) {
  ids.clear();
  HDEVINFO set = SETUPAPI(SetupDiGetClassDevsW)(nullptr, L"PCI", nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
  if (set == INVALID_HANDLE_VALUE) return false;
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof device;
  for (DWORD i = 0; SETUPAPI(SetupDiEnumDeviceInfo)(set, i, &device); ++i) {
    wchar_t id[512] = {};
    if (SETUPAPI(SetupDiGetDeviceInstanceIdW)(set, &device, id, 512, nullptr))
      ids.push_back(std::u16string(reinterpret_cast<const char16_t*>(id)));
  }
  SETUPAPI(SetupDiDestroyDeviceInfoList)(set);
  return true;
}

bool DiskSpinning(const wchar_t* path, bool& spinning) {
  Handle disk(CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  BOOL on = FALSE;
  if (!disk || !GetDevicePowerState(disk.get(), &on)) return false;
  spinning = on != FALSE;
  return true;
}

bool SchemeHibernateSeconds(bool onMains, uint32_t& seconds) {
  const WORD os = CWinVersion().GetOsType();
  return os == WINVER_2000 || os == WINVER_XP ? PolicySeconds(onMains, seconds) : SchemeSeconds(onMains, seconds);
}

Elevation StartDataServiceElevated(HWND owner) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return Elevation::Unavailable;
  Elevation result = Elevation::Unavailable;
  {
    wchar_t clsid[64] = {}, moniker[128] = {};
    StringFromGUID2(CLSID_SysglanceServiceControl, clsid, 64);
    wsprintfW(moniker, L"Elevation:Administrator!new:%s", clsid);
    BIND_OPTS3 bind = {};
    bind.cbStruct = sizeof bind;
    bind.hwnd = owner;
    bind.dwClassContext = CLSCTX_LOCAL_SERVER;
    ComPtr<ISysglanceServiceControl> control;
    const HRESULT hr = CoGetObject(moniker, &bind, IID_ISysglanceServiceControl, reinterpret_cast<void**>(control.out()));
    if (hr == HRESULT_FROM_WIN32(ERROR_ACCESS_DISABLED_BY_POLICY))
      result = Elevation::Blocked;
    else if (SUCCEEDED(hr) && control)
      result = SUCCEEDED(control->StartDataService(owner, 0, 0)) ? Elevation::Started : Elevation::MethodFailed;
  }
  CoUninitialize();
  return result;
}

}  // namespace dw
