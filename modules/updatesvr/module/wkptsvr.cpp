// wkptsvr.dll's exports. The proxy/stub that widl generated is linked in with the "Prx"
// prefix: its class objects are offered first, then the server's class.
#include <windows.h>

#include "modules/updatesvr/module/svr_ids.h"
#include "modules/updatesvr/module/svr_server.h"

extern "C" {
HRESULT WINAPI PrxDllGetClassObject(REFCLSID, REFIID, void**);
HRESULT WINAPI PrxDllCanUnloadNow();
BOOL WINAPI PrxDllMain(HINSTANCE, DWORD, void*);
}

namespace updsvr {
HINSTANCE g_module = nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void* reserved) {
  if (reason == DLL_PROCESS_ATTACH) updsvr::g_module = instance;
  return PrxDllMain(instance, reason, reserved);
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  const HRESULT hr = PrxDllGetClassObject(clsid, riid, out);
  if (hr != CLASS_E_CLASSNOTAVAILABLE) return hr;
  if (clsid != CLSID_Cwkptcom) return CLASS_E_CLASSNOTAVAILABLE;
  return updsvr::ClassFactory()->QueryInterface(riid, out);
}

STDAPI DllCanUnloadNow() { return PrxDllCanUnloadNow() == S_OK && updsvr::ModuleIdle() ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() { return updsvr::RegisterServer(); }

STDAPI DllUnregisterServer() { return updsvr::UnregisterServer(); }
