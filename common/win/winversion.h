// CWinVersion: which Windows release and processor architecture this is.
#pragma once
#include <windows.h>

#include "common/core/winversion_rules.h"

class CWinVersion {
 public:
  CWinVersion();
  virtual ~CWinVersion() = default;

  WORD GetOsType() const { return _wOsType; }
  WORD GetArchitecture() const { return _wArch; }
  DWORD GetPlatformFlags() const { return _dwPlatformFlags; }
  DWORD GetProductType() const { return _dwProductType; }
  WORD GetServicePack(LPCWSTR* csdVersion = nullptr) const {
    if (csdVersion) *csdVersion = _szCSDVersion;
    return _wSpMajor;
  }
  const OSVERSIONINFOEXW& GetVersionInfo() const { return _osvi; }

  // True when the caller may go on; false when the user declined to run on a newer Windows.
  bool ConfirmUnsupportedOs(HWND owner, LPCWSTR text, LPCWSTR caption) const;

 private:
  SYSTEM_INFO _sysInfo;
  OSVERSIONINFOEXW _osvi;
  WORD _wOsType = WINVER_UNKNOWN;
  WORD _wArch = ARCH_UNKNOWN;
  DWORD _dwPlatformFlags = 0;
  WORD _wSpMajor = 0;
  WCHAR _szCSDVersion[128];
  DWORD _dwProductType = 0;
};
