// The probe module's settings page, kept apart from the scripted checks in probe_module.cpp.
//   setup=N    WickpostGetSetupDlg answer (default 0, no page); 300 is the page below
// Logs "<name> Setup init", "Setup changed" (its check box), "Setup apply checked=0|1".
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstdio>
#include <string>

#include "host/module_contract.h"

namespace {
constexpr int kCheckBox = 301;

std::wstring Beside(const wchar_t* suffix, bool withName) {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&Beside), &self);
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(self, path, MAX_PATH);
  std::wstring full = path;
  const size_t slash = full.find_last_of(L'\\');
  return withName ? full.substr(0, full.size() - 4) + suffix : full.substr(0, slash + 1) + suffix;
}

void Log(const char* line) {
  const std::wstring name = Beside(L"", true);
  FILE* f = _wfopen(Beside(L"calls.log", false).c_str(), L"ab");
  if (!f) return;
  fprintf(f, "%ls %s\n", name.substr(name.find_last_of(L'\\') + 1).c_str(), line);
  fclose(f);
}
}  // namespace

extern "C" {

uint16_t WICKPOST_CALL WickpostGetSetupDlg(void) {
  return static_cast<uint16_t>(GetPrivateProfileIntW(L"probe", L"setup", 0, Beside(L".ini", true).c_str()));
}

INT_PTR WICKPOST_CALL WickpostSetupDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      Log("Setup init");
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) != kCheckBox || HIWORD(wParam) != BN_CLICKED) return FALSE;
      Log("Setup changed");
      SendMessageW(GetParent(dialog), PSM_CHANGED, reinterpret_cast<WPARAM>(dialog), 0);
      return TRUE;
    case WM_NOTIFY:
      if (reinterpret_cast<const NMHDR*>(lParam)->code != static_cast<UINT>(PSN_APPLY)) return FALSE;
      Log(IsDlgButtonChecked(dialog, kCheckBox) == BST_CHECKED ? "Setup apply checked=1" : "Setup apply checked=0");
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT, PSNRET_NOERROR);
      return TRUE;
  }
  return FALSE;
}

}  // extern "C"
