// wkpthdd.dll: the hard-disk module's entry points, each run through the kit's guard; the rules
// live in hddm::Module (hdd_module.h), Diskwarn.dll is loaded by name at initialisation.
#include <windows.h>
#include <mshtml.h>
#include <shellapi.h>

#include "common/core/misccommon.h"
#include "common/core/model_identity.h"
#include "modules/hdd/hdd_text_ids.h"
#include "modules/hdd/module/hdd_shell.h"
#include "modules/kit/module/kit_click.h"

namespace {
using hddm::TheShell;

template <class CheckFn>
CheckResult RunCheck(kit::CheckCall call, CheckFn check, wchar_t* text, int textCapacity, wchar_t* page,
                     int pageCapacity, uint16_t* code) {
  return kit::GuardedCheck([&]() -> CheckResult {
    hddm::Shell* s = TheShell();
    if (!s || !text || !page || textCapacity <= 0 || pageCapacity <= 0) return CHECK_NOTHING;
    return kit::DeliverCheck(check(s->module, pageCapacity), call, &s->module.Pages(), text, textCapacity, page,
                             pageCapacity, code);
  });
}

// The model number through a driver client of the module's own, closed at once.
std::optional<std::string> ModelNumber() {
  MiscCommon::CMiscCommon client;
  if (client.OpenDriver() != MiscCommon::MC_OK) return std::nullopt;
  std::string model;
  const int rc = MiscCommon::ReadModelNumber(client, model);
  client.Close();
  if (rc != MiscCommon::MC_OK || model.empty()) return std::nullopt;
  return model;
}

}  // namespace

// Asks before starting the viewer's stopped data service; true when the user agreed.
bool hddm::ConfirmServiceStart(const hddm::Shell& s) {
  hddm::WinStrings strings;
  std::wstring text = kit::Wide(strings.Load(130));
  const std::wstring caption = kit::Wide(strings.Load(IDS_HDD_TITLE));
  if (!s.module.MayStartService()) {
    MessageBoxW(s.host, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
    return false;
  }
  text += L"\n\n";
  text += kit::Wide(strings.Load(131));
  return MessageBoxW(s.host, text.c_str(), caption.c_str(), MB_OKCANCEL | MB_ICONINFORMATION) == IDOK;
}

namespace {
INT_PTR CALLBACK SuppressedProc(HWND d, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetDlgItemTextW(d, IDC_HDD_SUPPRESSED_TEXT, reinterpret_cast<const wchar_t*>(lParam));
    return TRUE;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
    EndDialog(d, IsDlgButtonChecked(d, IDC_HDD_DONT_SHOW) == BST_CHECKED ? 2 : 1);
    return TRUE;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {  // the close box: nothing saved
    EndDialog(d, 0);
    return TRUE;
  }
  return FALSE;
}

void ShowSuppressed(hddm::Shell& s, uint32_t event) {
  const std::u16string text = hddm::Fill(s.strings.Load(IDS_HDD_SUPPRESSED), {s.strings.Load(s.module.EventName(event))});
  s.module.SuppressDialogOpen(true);
  const INT_PTR r = DialogBoxParamW(kit::ModuleInstance(), MAKEINTRESOURCEW(IDD_HDD_SUPPRESSED), s.host, SuppressedProc,
                                    reinterpret_cast<LPARAM>(kit::Wide(text)));
  s.module.SuppressDialogOpen(false);
  if (r > 0) s.module.ConfirmSuppressDialog(r == 2);
}

void OpenManual(hddm::Shell& s, uint32_t event) {
  const std::u16string shortcut = s.module.ManualShortcut(event);
  if (GetFileAttributesW(kit::Wide(shortcut)) != INVALID_FILE_ATTRIBUTES) {
    ShellExecuteW(nullptr, L"open", kit::Wide(shortcut), nullptr, nullptr, SW_SHOWNORMAL);
    return;
  }
  const wchar_t pdf[] = L"c:\\Util\\Manual\\HDDtips.pdf";
  wchar_t program[MAX_PATH] = {};
  if (reinterpret_cast<INT_PTR>(FindExecutableW(pdf, nullptr, program)) > 32)
    ShellExecuteW(nullptr, nullptr, program, kit::Wide(s.module.ManualArguments(event, kit::U16(pdf))), nullptr, SW_SHOWNORMAL);
}

void OpenPowerOptions() {
  wchar_t system[MAX_PATH] = {};
  const UINT n = GetSystemDirectoryW(system, MAX_PATH);
  if (n == 0 || n >= MAX_PATH - 16) return;
  ShellExecuteW(nullptr, nullptr, (std::wstring(system) + L"\\control.exe").c_str(), L"powercfg.cpl,,3", nullptr, SW_SHOWNORMAL);
}

void SleepNow() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
  TOKEN_PRIVILEGES p = {};
  p.PrivilegeCount = 1;
  p.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  const bool ok = LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &p.Privileges[0].Luid) &&
                  AdjustTokenPrivileges(token, FALSE, &p, 0, nullptr, nullptr) && GetLastError() == ERROR_SUCCESS;
  CloseHandle(token);
  if (ok) SetSystemPowerState(TRUE, FALSE);
}
}  // namespace

int WICKPOST_CALL WickpostInitialize(HWND host, ModuleInitInfo* info, wchar_t* errorText, int errorCapacity) {
  return kit::GuardedInitialize(u"wkpthdd", errorText, errorCapacity, [&]() -> int {
    if (!info) return MODULE_E_BAD_ARGUMENT;
    if (info->version == 0 || info->cbSize < 4) return MODULE_E_HOST_TOO_OLD;
    auto shell = std::make_unique<hddm::Shell>();
    shell->host = host;
    int rc = shell->module.Prepare(ModelNumber());
    if (rc != 0) return rc;
    if (!shell->diskwarn.Load()) return MODULE_E_NOT_AVAILABLE;
    rc = shell->module.Attach(shell->diskwarn);
    if (rc != 0) {
      shell->diskwarn.Unload();
      return rc;
    }
    info->checkInterval = 60;
    info->menuItemCount = 0;
    kit::Instance<hddm::Shell>::Set(std::move(shell));
    return 0;
  });
}

int WICKPOST_CALL WickpostIsEnable(void) {
  return kit::Guarded(0, [] {
    hddm::Shell* s = TheShell();
    return s && s->module.IsEnabled() ? 1 : 0;
  });
}

CheckResult WICKPOST_CALL WickpostAutoCheck(wchar_t* text, int textCapacity, wchar_t* page, int pageCapacity,
                                            uint16_t* code) {
  return RunCheck(kit::CheckCall::Automatic, [](hddm::Module& m, int cap) { return m.AutoCheck(cap); }, text,
                  textCapacity, page, pageCapacity, code);
}

CheckResult WICKPOST_CALL WickpostManualCheck(wchar_t* text, int textCapacity, wchar_t* page, int pageCapacity,
                                              uint16_t* code) {
  return RunCheck(kit::CheckCall::Manual, [](hddm::Module& m, int cap) { return m.ManualCheck(cap); }, text,
                  textCapacity, page, pageCapacity, code);
}

void WICKPOST_CALL WickpostEnableAutoCheck(int enable) {
  kit::GuardedVoid([&] {
    if (hddm::Shell* s = TheShell()) s->module.EnableAutoCheck(enable != 0);
  });
}

int WICKPOST_CALL WickpostGetInitialMessage(wchar_t* text, int capacity) {
  return kit::Guarded(MODULE_E_NOT_AVAILABLE, [&] {
    hddm::Shell* s = TheShell();
    if (!s || !s->module.InitialMessageWanted()) return MODULE_E_NOT_AVAILABLE;
    if (capacity > 0) kit::CopyText(s->strings.Load(IDS_HDD_INITIAL_MESSAGE), reinterpret_cast<char16_t*>(text), capacity);
    return 0;
  });
}

void WICKPOST_CALL WickpostDoNotify(uint16_t code) {
  kit::GuardedVoid([&] {
    hddm::Shell* s = TheShell();
    if (s && code == 1) s->module.OfferServiceStart(ConfirmServiceStart(*s));
  });
}

uint16_t WICKPOST_CALL WickpostGetSetupDlg(void) {
  return kit::Guarded<uint16_t>(0, [] {
    hddm::Shell* s = TheShell();
    return s ? s->module.SetupDialog() : uint16_t(0);
  });
}

int WICKPOST_CALL WickpostHTMLOnClick(IHTMLEventObj* event) {
  return kit::Guarded(1, [&] {
    hddm::Shell* s = TheShell();
    hddm::ClickEvent e;
    ComPtr<IHTMLElement> element;
    if (!s || !event || !kit::ReadClick(event, e, element)) return 1;
    const hddm::ClickAction a = s->module.OnClick(e);
    if (a.suppressDialogFor) ShowSuppressed(*s, a.suppressDialogFor);
    if (a.manualFor) OpenManual(*s, a.manualFor);
    if (a.powerOptions) OpenPowerOptions();
    if (a.sleep) SleepNow();
    return a.result;
  });
}

void WICKPOST_CALL WickpostHTMLOnClose(void) {
  kit::GuardedVoid([] {
    if (hddm::Shell* s = TheShell()) s->module.OnClose();
  });
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  // Only the page file goes here: no registry work and no library unloading under the loader lock.
  if (reason == DLL_PROCESS_DETACH)
    kit::GuardedVoid([] {
      if (hddm::Shell* s = TheShell()) s->module.Pages().Withdraw();
    });
  return TRUE;
}
