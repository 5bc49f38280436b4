// The viewer's elevation-enabled class and its service-control interface, as Diskwarn calls it.
#pragma once
#include <windows.h>
#include <unknwn.h>

// {6B0D3E52-2F4A-4C1B-9E3D-7A51C0D2B8F4}
static const CLSID CLSID_SysglanceServiceControl = {0x6B0D3E52, 0x2F4A, 0x4C1B, {0x9E, 0x3D, 0x7A, 0x51, 0xC0, 0xD2, 0xB8, 0xF4}};
// {0E8C4B7A-5D21-4F63-A1B9-3C6E2F8D9041}
static const IID IID_ISysglanceServiceControl = {0x0E8C4B7A, 0x5D21, 0x4F63, {0xA1, 0xB9, 0x3C, 0x6E, 0x2F, 0x8D, 0x90, 0x41}};

struct ISysglanceServiceControl : public IUnknown {
  // Sets the data service to start automatically and starts it.
  virtual HRESULT STDMETHODCALLTYPE StartDataService(HWND owner, DWORD reserved1, DWORD reserved2) = 0;
};
