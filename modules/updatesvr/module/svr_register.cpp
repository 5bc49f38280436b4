// Registration for the elevation moniker: the surrogate's application, the class with its
// ProgIDs and elevation values, the type library and the proxy/stub. Removal goes in the
// reverse order and takes every key the registration made.
#include <windows.h>
#include <oleauto.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "common/win/com_ptr.h"
#include "modules/updatesvr/module/svr_ids.h"
#include "modules/updatesvr/module/svr_resource_ids.h"
#include "modules/updatesvr/module/svr_server.h"

extern "C" {
HRESULT WINAPI PrxDllRegisterServer();
HRESULT WINAPI PrxDllUnregisterServer();
}

namespace updsvr {
namespace {

constexpr wchar_t kProgId[] = L"wkptsvr.wkptcom.1";
constexpr wchar_t kVersionlessProgId[] = L"wkptsvr.wkptcom";
constexpr wchar_t kClassName[] = L"wkptcom Class";

std::wstring GuidText(REFGUID id) {
  wchar_t text[40] = {};
  StringFromGUID2(id, text, 40);
  return text;
}

struct Value {
  std::wstring key;   // below HKEY_CLASSES_ROOT
  std::wstring name;  // empty: the key's default value
  std::wstring text;
  bool isDword = false;
  DWORD number = 0;
};

// The keys each part makes; the first of each is removed with all below it.
struct Script {
  std::vector<std::wstring> roots;
  std::vector<Value> values;
};

Script AppScript() {
  const std::wstring app = std::wstring(L"AppID\\") + kWkptsvrAppId;
  return {{app, L"AppID\\wkptsvr.DLL"},
          {{app, L"", L"wkptsvr"}, {app, L"DllSurrogate", L""}, {L"AppID\\wkptsvr.DLL", L"AppID", kWkptsvrAppId}}};
}

Script ClassScript(const std::wstring& module) {
  const std::wstring clsid = GuidText(CLSID_Cwkptcom);
  const std::wstring key = L"CLSID\\" + clsid;
  const std::wstring progId = kProgId, versionless = kVersionlessProgId;
  return {{progId, versionless, key},
          {{progId, L"", kClassName},
           {progId + L"\\CLSID", L"", clsid},
           {versionless, L"", kClassName},
           {versionless + L"\\CLSID", L"", clsid},
           {versionless + L"\\CurVer", L"", progId},
           {key, L"", kClassName},
           {key, L"AppID", kWkptsvrAppId},
           {key, L"LocalizedString", L"@" + module + L",-" + std::to_wstring(IDS_SVR_PROMPT_NAME)},
           {key + L"\\ProgID", L"", progId},
           {key + L"\\VersionIndependentProgID", L"", versionless},
           {key + L"\\Programmable", L"", L""},
           {key + L"\\InprocServer32", L"", module},
           {key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
           {key + L"\\TypeLib", L"", GuidText(LIBID_wkptsvrLib)},
           {key + L"\\Elevation", L"Enabled", L"", true, 1},
           {key + L"\\Elevation", L"IconReference", L"@" + module + L",-" + std::to_wstring(IDI_SVR_PROMPT)}}};
}

HRESULT Write(const Value& v) {
  HKEY key = nullptr;
  LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, v.key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
  if (v.isDword) {
    rc = RegSetValueExW(key, v.name.empty() ? nullptr : v.name.c_str(), 0, REG_DWORD,
                        reinterpret_cast<const BYTE*>(&v.number), sizeof v.number);
  } else if (!v.name.empty() || !v.text.empty()) {
    rc = RegSetValueExW(key, v.name.empty() ? nullptr : v.name.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(v.text.c_str()), DWORD((v.text.size() + 1) * sizeof(wchar_t)));
  }
  RegCloseKey(key);
  return HRESULT_FROM_WIN32(rc);
}

HRESULT Remove(const Script& s) {
  HRESULT result = S_OK;
  for (auto it = s.roots.rbegin(); it != s.roots.rend(); ++it) {
    const DWORD rc = SHDeleteKeyW(HKEY_CLASSES_ROOT, it->c_str());
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND && SUCCEEDED(result)) result = HRESULT_FROM_WIN32(rc);
  }
  return result;
}

HRESULT Apply(const Script& s) {
  for (const Value& v : s.values) {
    const HRESULT hr = Write(v);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

bool ModulePath(std::wstring& path) {
  wchar_t buffer[MAX_PATH];
  const DWORD n = GetModuleFileNameW(g_module, buffer, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  path.assign(buffer, n);
  return true;
}

#ifdef _WIN64
constexpr SYSKIND kSysKind = SYS_WIN64;
#else
constexpr SYSKIND kSysKind = SYS_WIN32;
#endif

HRESULT UnregisterTypeLib() {
  const HRESULT hr = UnRegisterTypeLib(LIBID_wkptsvrLib, 1, 0, LOCALE_NEUTRAL, kSysKind);
  return hr == TYPE_E_REGISTRYACCESS || hr == TYPE_E_CANTLOADLIBRARY || hr == TYPE_E_LIBNOTREGISTERED ? S_OK : hr;
}

// The registration runs in the system's locale, whoever's thread it is.
class SystemLocale {
 public:
  SystemLocale() : saved_(GetThreadLocale()) { SetThreadLocale(GetSystemDefaultLCID()); }
  ~SystemLocale() { SetThreadLocale(saved_); }

 private:
  LCID saved_;
};

HRESULT Unregister(const std::wstring& module) {
  HRESULT result = PrxDllUnregisterServer();
  // The proxy's removal also takes the interface key, so a missing key is no failure here.
  if (result == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) result = S_OK;
  HRESULT hr = Remove(ClassScript(module));
  if (SUCCEEDED(result)) result = hr;
  hr = UnregisterTypeLib();
  if (SUCCEEDED(result)) result = hr;
  hr = Remove(AppScript());
  if (SUCCEEDED(result)) result = hr;
  return result;
}
}  // namespace

HRESULT RegisterServer() {
  SystemLocale locale;
  std::wstring module;
  if (!ModulePath(module)) return HRESULT_FROM_WIN32(GetLastError());
  HRESULT hr = Apply(AppScript());
  if (SUCCEEDED(hr)) {
    Remove({{L"CLSID\\" + GuidText(CLSID_Cwkptcom)}, {}});  // the class key is replaced as a whole
    hr = Apply(ClassScript(module));
  }
  if (SUCCEEDED(hr)) {
    ComPtr<ITypeLib> lib;
    hr = LoadTypeLibEx(module.c_str(), REGKIND_REGISTER, lib.out());
  }
  if (SUCCEEDED(hr)) hr = PrxDllRegisterServer();
  if (FAILED(hr)) Unregister(module);  // nothing half made stays behind
  return hr;
}

HRESULT UnregisterServer() {
  SystemLocale locale;
  std::wstring module;
  if (!ModulePath(module)) return HRESULT_FROM_WIN32(GetLastError());
  return Unregister(module);
}

}  // namespace updsvr
