#include "common/win/winversion.h"

#include "common/win/reg.h"

#ifndef SM_STARTER
#define SM_STARTER 88
#endif

namespace {
template <typename Fn>
Fn Kernel32(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

bool QueryVersion(OSVERSIONINFOEXW& osvi, DWORD size) {
  ZeroMemory(&osvi, sizeof osvi);
  osvi.dwOSVersionInfoSize = size;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  return GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&osvi)) != FALSE;
#pragma GCC diagnostic pop
}
}  // namespace

CWinVersion::CWinVersion() {
  ZeroMemory(&_sysInfo, sizeof _sysInfo);
  ZeroMemory(_szCSDVersion, sizeof _szCSDVersion);
  using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
  if (const auto getNative = Kernel32<GetNativeSystemInfoFn>("GetNativeSystemInfo")) {
    getNative(&_sysInfo);
    _wArch = winversion::ClassifyArchitecture(_sysInfo.wProcessorArchitecture);
  }
  if (GetSystemMetrics(SM_TABLETPC)) _dwPlatformFlags |= PLATFORM_TABLETPC;
  if (GetSystemMetrics(SM_MEDIACENTER)) _dwPlatformFlags |= PLATFORM_MEDIACENTER;
  if (GetSystemMetrics(SM_STARTER)) _dwPlatformFlags |= PLATFORM_STARTER;

  if (!QueryVersion(_osvi, sizeof(OSVERSIONINFOW))) return;
  if (_osvi.dwPlatformId == VER_PLATFORM_WIN32_NT && _osvi.dwMajorVersion > 4 &&
      !QueryVersion(_osvi, sizeof(OSVERSIONINFOEXW)))
    return;
  winversion::ReleaseFacts facts;
  facts.platformId = _osvi.dwPlatformId;
  facts.major = _osvi.dwMajorVersion;
  facts.minor = _osvi.dwMinorVersion;
  facts.productType = _osvi.wProductType;
  facts.nativeArchitecture = _sysInfo.wProcessorArchitecture;
  _wOsType = winversion::ClassifyRelease(facts);

  _wSpMajor = _osvi.wServicePackMajor;
  lstrcpynW(_szCSDVersion, _osvi.szCSDVersion, ARRAYSIZE(_szCSDVersion));

  using GetProductInfoFn = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD);
  const auto getProductInfo = Kernel32<GetProductInfoFn>("GetProductInfo");
  DWORD product = 0;
  if (_osvi.dwMajorVersion >= 6 && getProductInfo &&
      getProductInfo(_osvi.dwMajorVersion, _osvi.dwMinorVersion, _osvi.wServicePackMajor, _osvi.wServicePackMinor,
                     &product))
    _dwProductType = product;
}

bool CWinVersion::ConfirmUnsupportedOs(HWND owner, LPCWSTR text, LPCWSTR caption) const {
  if (_wOsType != WINVER_FUTURE) return true;
  CReg reg;
  DWORD disabled = 0;
  if (reg.ReadDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Velmorant\\Common", L"DisableFutureOSWarning", &disabled,
                    KEY_WOW64_64KEY) &&
      disabled == 1)
    return true;
  if (!text || !caption) return true;
  return MessageBoxW(owner, text, caption, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2 | MB_TOPMOST) != IDNO;
}
