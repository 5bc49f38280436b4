// The pieces of wkptsvr.dll: the object, its class factory and the registration.
#pragma once
#include <windows.h>

namespace updsvr {
extern HINSTANCE g_module;

// Objects and locks alive; the library may unload at 0.
void LockModule();
void UnlockModule();
bool ModuleIdle();

IClassFactory* ClassFactory();

HRESULT RegisterServer();
HRESULT UnregisterServer();
}  // namespace updsvr
