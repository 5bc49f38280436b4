// The graphics vendor's control object played by the simulated driver of the scenario's
// [display] section: an in-process COM server registered as "IgfxExt.CUIExternal", so that
// the helper and the HDMI module reach the displays through the same COM calls as on a real
// machine. Never shipped.
#include <windows.h>
#include <oleauto.h>
#include <olectl.h>
#include <shlwapi.h>

// The stand-ins run on Vista and later only (under Wine); the headers, set to XP, hide it.
extern "C" WINADVAPI LONG WINAPI RegDeleteTreeW(HKEY key, LPCWSTR subKey);

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "sim/driver/scenario_source.h"
#include "sim/graphics/sim_graphics.h"
#include "tools/vidassist/win/igfx_external.h"

namespace {

HMODULE g_module = nullptr;
std::atomic<long> g_users{0};  // live objects and server locks

// {6E0B7F2A-4C31-4F0D-9B57-2A8C1D3E5F60}
const CLSID kSimClsid = {0x6E0B7F2A, 0x4C31, 0x4F0D, {0x9B, 0x57, 0x2A, 0x8C, 0x1D, 0x3E, 0x5F, 0x60}};
const wchar_t kClsidText[] = L"{6E0B7F2A-4C31-4F0D-9B57-2A8C1D3E5F60}";
const wchar_t kProgId[] = L"IgfxExt.CUIExternal";

std::wstring Environment(const wchar_t* name) {
  wchar_t value[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(name, value, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(value, n) : std::wstring();
}

std::string ReadLog(const std::wstring& path) {
  std::string text;
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (f == INVALID_HANDLE_VALUE) return text;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got) text.append(buffer, got);
  CloseHandle(f);
  return text;
}

void AppendLog(const std::wstring& path, const std::string& line) {
  HANDLE f = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0,
                         nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  const std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(f);
}

// "servers" of the scenario: which processes the object is there for.
bool ServesThisProcess(const std::string& servers) {
  if (servers == "32 64") return true;
  if (sizeof(void*) == 4) return false;
  if (servers == "64") return true;
  // "helper": only the display helper's process.
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return n > 0 && n < MAX_PATH && lstrcmpiW(PathFindFileNameW(path), L"vidassist.exe") == 0;
}

// The scenario's driver, or null when this process is not to have one.
std::unique_ptr<vida::IGraphics> OpenSimGraphics() {
  const sim::ScenarioSource source = sim::ReadScenarioSource();
  sim::Scenario scenario;
  std::string error;
  if (!source.readable || !sim::ParseScenario(source.text, scenario, error)) return nullptr;
  const sim::SimGraphicsSetup& setup = scenario.graphics;
  if (!setup.available || !ServesThisProcess(setup.servers)) return nullptr;
  const std::wstring log = Environment(L"TELLWICK_GFX_LOG");
  return std::unique_ptr<vida::IGraphics>(
      new sim::SimGraphics(setup, log.empty() ? std::string() : ReadLog(log), [log](const std::string& line) {
        if (!log.empty()) AppendLog(log, line);
      }));
}

class Control : public ICUIExternal8 {
 public:
  explicit Control(std::unique_ptr<vida::IGraphics> graphics) : graphics_(std::move(graphics)) { ++g_users; }
  virtual ~Control() { --g_users; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ICUIExternal8)) {
      *out = static_cast<ICUIExternal8*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const long left = --refs_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  HRESULT STDMETHODCALLTYPE GetDeviceData(REFGUID data, DWORD size, BYTE* block, DWORD* error) override {
    return Transfer(data, size, block, error, false);
  }
  HRESULT STDMETHODCALLTYPE SetDeviceData(REFGUID data, DWORD size, BYTE* block, DWORD* error) override {
    return Transfer(data, size, block, error, true);
  }
  HRESULT STDMETHODCALLTYPE EnumAttachableDevices(BSTR device, DWORD index, DWORD* uid, DWORD* type,
                                                  DWORD* status) override {
    if (!device || !uid || !type || !status) return E_POINTER;
    uint32_t u = 0, t = *type, s = 0;
    const std::u16string name(reinterpret_cast<const char16_t*>(device), SysStringLen(device));
    if (graphics_->Attachable(name, index, u, t, s) != vida::AttachResult::Ok) return E_FAIL;
    *uid = u, *type = t, *status = s;
    return S_OK;
  }

 private:
  HRESULT Transfer(REFGUID data, DWORD size, BYTE* block, DWORD* error, bool write) {
    vida::Block which;
    if (!block || !error) return E_POINTER;
    if (!vida::BlockOfGuid(data, which)) return E_INVALIDARG;
    std::vector<uint8_t> bytes(block, block + size);
    const bool ok = write ? graphics_->SetDeviceData(which, bytes) : graphics_->GetDeviceData(which, bytes);
    *error = ok ? 0 : 1;
    if (!ok) return E_FAIL;
    if (!write) std::copy(bytes.begin(), bytes.begin() + std::min<size_t>(size, bytes.size()), block);
    return S_OK;
  }

  std::atomic<long> refs_{1};
  std::unique_ptr<vida::IGraphics> graphics_;
};

class Factory : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // One static factory: it lives as long as the DLL.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    try {
      std::unique_ptr<vida::IGraphics> graphics = OpenSimGraphics();
      if (!graphics) return E_FAIL;
      Control* const control = new Control(std::move(graphics));
      const HRESULT hr = control->QueryInterface(iid, out);
      control->Release();
      return hr;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    lock ? ++g_users : --g_users;
    return S_OK;
  }
};

Factory g_factory;

bool SetString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY h = nullptr;
  if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr) != ERROR_SUCCESS)
    return false;
  const LONG rc = RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(h);
  return rc == ERROR_SUCCESS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualCLSID(clsid, kSimClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, out);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return g_users == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT WINAPI DllRegisterServer() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  const std::wstring clsidKey = std::wstring(L"CLSID\\") + kClsidText;
  const std::wstring progIdKey = kProgId;
  const bool ok = SetString(HKEY_CLASSES_ROOT, clsidKey, nullptr, L"Simulated graphics control object") &&
                  SetString(HKEY_CLASSES_ROOT, clsidKey + L"\\InprocServer32", nullptr, path) &&
                  SetString(HKEY_CLASSES_ROOT, clsidKey + L"\\InprocServer32", L"ThreadingModel", L"Both") &&
                  SetString(HKEY_CLASSES_ROOT, clsidKey + L"\\ProgID", nullptr, kProgId) &&
                  SetString(HKEY_CLASSES_ROOT, progIdKey, nullptr, L"Simulated graphics control object") &&
                  SetString(HKEY_CLASSES_ROOT, progIdKey + L"\\CLSID", nullptr, kClsidText);
  return ok ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
  const LONG a = RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
  const LONG b = RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kClsidText).c_str());
  const auto gone = [](LONG rc) { return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND; };
  return gone(a) && gone(b) ? S_OK : SELFREG_E_CLASS;
}
