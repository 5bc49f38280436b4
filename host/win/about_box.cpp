#include "host/win/about_box.h"

#include "common/win/reg.h"
#include "host/core/about_version.h"
#include "resources/host/resource.h"

namespace host {
namespace {
const wchar_t kHostKey[] = L"Software\\Velmorant\\WICKPOST";
constexpr DWORD kVersionBytes = 100;  // the installer's text fits in 49 characters

// The installed version as the installer wrote it; empty when it cannot be read whole.
std::u16string InstalledVersion() {
  wchar_t buffer[kVersionBytes / sizeof(wchar_t)] = {};
  DWORD bytes = sizeof buffer;
  if (!CReg().ReadString(HKEY_LOCAL_MACHINE, kHostKey, L"Version", buffer, &bytes)) return {};
  return VersionFromValue(reinterpret_cast<const char16_t*>(buffer), bytes / sizeof(wchar_t));
}

void ShowVersion(HWND dialog, const std::wstring& caption) {
  const auto cut = AboutVersionCut(InstalledVersion());
  if (!cut) return;  // the template's line stays
  const std::wstring line = caption + L" " + std::wstring(cut->begin(), cut->end());
  SetDlgItemTextW(dialog, IDC_PRODUCT, line.c_str());
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    if (message == WM_INITDIALOG) {
      ShowVersion(dialog, *reinterpret_cast<const std::wstring*>(lParam));
      return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
      EndDialog(dialog, LOWORD(wParam));
      return TRUE;
    }
  } catch (...) {
  }
  return FALSE;
}
}  // namespace

void ShowAboutBox(HINSTANCE instance, HWND owner, const std::wstring& caption) {
  DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ABOUT), owner, AboutProc, reinterpret_cast<LPARAM>(&caption));
}

}  // namespace host
