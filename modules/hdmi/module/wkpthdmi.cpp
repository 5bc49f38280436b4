// wkpthdmi.dll: the HDMI module's entry points, each run through the kit's guard; the rules
// live in hdmi::Module (hdmi_module.h).
#include <windows.h>

#include "common/core/misccommon.h"
#include "common/core/model_identity.h"
#include "common/win/reg.h"
#include "modules/hdmi/module/hdmi_resource_ids.h"
#include "modules/hdmi/module/hdmi_shell.h"

static_assert(hdmi::kCheckAction == CHECK_ACTION, "the module's action kind is the contract's");

namespace {
using hdmi::Shell;
using hdmi::TheShell;
const wchar_t kWindowClass[] = L"WKPTHDMI_INTERNAL";

LRESULT CALLBACK HiddenProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  kit::GuardedVoid([&] {
    Shell* s = TheShell();
    if (!s) return;
    if (message == WM_DISPLAYCHANGE || message == hdmi::kDetectMessage) s->module.OnDisplayChange();
    if (message == WM_TIMER && wParam == 1) {
      KillTimer(window, 1);
      s->module.OnTimer();
    }
  });
  return DefWindowProcW(window, message, wParam, lParam);
}

// 1 unless a value says otherwise: the machine's (its 64-bit view first under WOW64), and for
// "Notify" the user's over it.
DWORD MachineSetting(const wchar_t* name) {
  CReg reg;
  DWORD value = 1;
  if (!(CReg::IsWow64() && reg.ReadDword64(HKEY_LOCAL_MACHINE, hdmi::kModuleKey, name, &value)))
    if (!reg.ReadDword(HKEY_LOCAL_MACHINE, hdmi::kModuleKey, name, &value)) value = 1;
  return value;
}

std::u16string Text(UINT id) {
  const std::wstring t = kit::LoadText(id);
  return std::u16string(t.begin(), t.end());
}

// The model number through a driver client of the module's own, opened and closed here.
int ReadModel(std::string& model) {
  MiscCommon::CMiscCommon client;
  if (client.OpenDriver() != MiscCommon::MC_OK) return MODULE_E_DRIVER;
  const int rc = MiscCommon::ReadModelNumber(client, model);
  client.Close();
  return rc == MiscCommon::MC_OK ? 0 : MODULE_E_DRIVER;
}
}  // namespace

int WICKPOST_CALL WickpostInitialize(HWND host, ModuleInitInfo* info, wchar_t* errorText, int errorCapacity) {
  return kit::GuardedInitialize(u"wkpthdmi", errorText, errorCapacity, [&]() -> int {
    if (!info) return MODULE_E_BAD_ARGUMENT;
    if (info->version < 2 || info->cbSize < 4) return MODULE_E_HOST_TOO_OLD;
    std::string model;
    if (const int rc = ReadModel(model)) return rc;
    if (const int rc = hdmi::CheckModel(model)) return rc;

    WNDCLASSW wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = HiddenProc;
    wc.hInstance = kit::ModuleInstance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kWindowClass;
    const bool registered = RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    const HWND hidden = registered ? CreateWindowW(kWindowClass, kWindowClass, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                                   kit::ModuleInstance(), nullptr)
                                  : nullptr;
    if (!hidden) {
      UnregisterClassW(kWindowClass, kit::ModuleInstance());
      return MODULE_E_NOT_AVAILABLE;
    }

    const bool setupEnabled = MachineSetting(L"SetupEnable") != 0;
    bool notify = true;
    if (setupEnabled) {
      DWORD value = MachineSetting(L"Notify");
      CReg().ReadDword(HKEY_CURRENT_USER, hdmi::kModuleKey, L"Notify", &value);
      notify = value != 0;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, hdmi::kKnownKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS)
      RegCloseKey(key);

    auto shell = std::make_unique<Shell>(hdmi::Texts{Text(IDS_ACTION_LINE), Text(IDS_PAGE_LINE), Text(IDS_APP_TITLE)},
                                         notify);
    shell->setupEnabled = setupEnabled;
    shell->link.host = host;
    shell->link.hidden = hidden;
    shell->link.info = info;
    shell->link.moduleIndex = info->moduleIndex;
    shell->menuText = kit::LoadText(IDS_MENU_ITEM);
    info->checkInterval = CHECK_INTERVAL_NEVER;
    info->menuItemCount = 0;
    kit::Instance<Shell>::Set(std::move(shell));
    TheShell()->module.Detect();
    return 0;
  });
}

int WICKPOST_CALL WickpostIsEnable(void) {
  return kit::Guarded(0, [] {
    Shell* s = TheShell();
    return s && s->module.Notify() ? 1 : 0;
  });
}

// Called only after the module asked the host to take its line off the list: nothing, and
// back to never.
CheckResult WICKPOST_CALL WickpostAutoCheck(wchar_t*, int, wchar_t*, int, uint16_t*) {
  return kit::GuardedCheck([]() -> CheckResult {
    if (Shell* s = TheShell()) s->link.info->checkInterval = CHECK_INTERVAL_NEVER;
    return CHECK_NOTHING;
  });
}

CheckResult WICKPOST_CALL WickpostManualCheck(wchar_t* text, int textCapacity, wchar_t* page, int pageCapacity,
                                              uint16_t* code) {
  return kit::GuardedCheck([&]() -> CheckResult {
    Shell* s = TheShell();
    if (!s || !text || !page || textCapacity <= 0 || pageCapacity <= 0) return CHECK_NOTHING;
    return kit::DeliverCheck(s->module.ManualCheck(pageCapacity), kit::CheckCall::Manual, &s->module.Pages(), text,
                             textCapacity, page, pageCapacity, code);
  });
}

void WICKPOST_CALL WickpostDoNotify(uint16_t code) {
  kit::GuardedVoid([&] {
    if (Shell* s = TheShell()) hdmi::ShowPanel(*s, code);
  });
}

void WICKPOST_CALL WickpostHTMLOnShow(void) {
  kit::GuardedVoid([] {
    if (Shell* s = TheShell()) s->module.OnShow();
  });
}

int WICKPOST_CALL WickpostHTMLOnClick(IHTMLEventObj*) { return 1; }

void WICKPOST_CALL WickpostHTMLOnClose(void) {
  kit::GuardedVoid([] {
    if (Shell* s = TheShell()) s->module.OnClose();
  });
}

uint16_t WICKPOST_CALL WickpostGetSetupDlg(void) {
  return kit::Guarded<uint16_t>(0, [] {
    Shell* s = TheShell();
    if (!s || !s->setupEnabled) return uint16_t(0);
    s->settingsLocked = s->link.PanelOpen() || s->module.PageShown();
    return uint16_t(IDD_SETUP);
  });
}

int WICKPOST_CALL WickpostGetNotifyIconMenuItems(ModuleMenuItem* items, int count) {
  return kit::Guarded(MODULE_E_BAD_ARGUMENT, [&] {
    Shell* s = TheShell();
    if (!s || !items || count != 1) return MODULE_E_BAD_ARGUMENT;
    items[0].text = s->menuText.c_str();
    items[0].id = 0;
    return 0;
  });
}

void WICKPOST_CALL WickpostIconMenu(int) {}

int WICKPOST_CALL WickpostGetPopupSize(int* width, int* height) {
  if (!width || !height) return MODULE_E_BAD_ARGUMENT;
  *width = 0;
  *height = 400;
  return 0;
}

int WICKPOST_CALL WickpostGetPopupOffset(int* x, int* y) {
  if (!x || !y) return MODULE_E_BAD_ARGUMENT;
  *x = 96;
  *y = 0;
  return 0;
}

int WICKPOST_CALL WickpostGetMiniPopupOffset(int* x, int* y) { return WickpostGetPopupOffset(x, y); }

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_DETACH) {
    kit::GuardedVoid([&] {
      if (Shell* s = TheShell()) s->module.Unload();
      if (!reserved) kit::Instance<Shell>::Set(nullptr);
    });
  }
  return TRUE;
}
