// wkptanm.dll: the anomaly module's entry points, each run through the kit's guard; the rules
// live in anm::Module (anm_module.h), the windows in anm_windows.cpp.
#include <windows.h>

#include "modules/anomaly/anm_text_ids.h"
#include "modules/anomaly/module/anm_shell.h"
#include "modules/kit/module/kit_click.h"

namespace {
using anm::Shell;
using anm::TheShell;

void ShowDebugBoxes(Shell& s, HWND host) {
  for (anm::Entry e : s.module.DebugEntries())
    MessageBoxW(host, kit::Wide(s.module.TextTable().DebugText(e)), kit::Wide(anm::CustomTypeName(e)), MB_OK);
}
}  // namespace

int WICKPOST_CALL WickpostInitialize(HWND host, ModuleInitInfo* info, wchar_t* errorText, int errorCapacity) {
  return kit::GuardedInitialize(u"wkptanm", errorText, errorCapacity, [&]() -> int {
    if (!info) return MODULE_E_BAD_ARGUMENT;
    if (info->version < 3 || info->cbSize < 4) return MODULE_E_HOST_TOO_OLD;
    auto shell = std::make_unique<Shell>(info->driverClient);
    kit::TableStrings strings;
    if (const int rc = shell->module.Initialize(strings)) return rc;
    ShowDebugBoxes(*shell, host);
    info->checkInterval = CHECK_INTERVAL_NEVER;
    info->menuItemCount = 0;
    shell->link.host = host;
    shell->link.moduleIndex = info->moduleIndex;

    WNDCLASSW wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = anm::HiddenProc;
    wc.hInstance = kit::ModuleInstance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = anm::kWindowClass;
    if (!RegisterClassW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return MODULE_E_NOT_AVAILABLE;
    const HWND hidden = CreateWindowW(anm::kWindowClass, anm::kWindowClass, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                      kit::ModuleInstance(), shell.get());
    if (!hidden) {
      UnregisterClassW(anm::kWindowClass, kit::ModuleInstance());
      return MODULE_E_NOT_AVAILABLE;
    }
    kit::Instance<Shell>::Set(std::move(shell));
    return 0;
  });
}

int WICKPOST_CALL WickpostIsEnable(void) {
  return kit::Guarded(0, [] {
    Shell* s = TheShell();
    return s && s->module.IsEnable() ? 1 : 0;
  });
}

CheckResult WICKPOST_CALL WickpostAutoCheck(wchar_t*, int, wchar_t*, int, uint16_t*) { return CHECK_NOTHING; }

CheckResult WICKPOST_CALL WickpostManualCheck(wchar_t* text, int textCapacity, wchar_t* page, int pageCapacity,
                                              uint16_t* code) {
  return kit::GuardedCheck([&]() -> CheckResult {
    Shell* s = TheShell();
    if (!s || !page || pageCapacity <= 0) return CHECK_NOTHING;
    return kit::DeliverCheck(s->module.ManualCheck(pageCapacity), kit::CheckCall::Manual, &s->module.Pages(), text,
                             textCapacity, page, pageCapacity, code);
  });
}

uint16_t WICKPOST_CALL WickpostGetSetupDlg(void) {
  return kit::Guarded<uint16_t>(0, [] {
    Shell* s = TheShell();
    return s && s->module.SetupEnabled() ? uint16_t(IDD_ANM_SETUP) : uint16_t(0);
  });
}

INT_PTR WICKPOST_CALL WickpostSetupDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return anm::SetupPageProc(dialog, message, wParam, lParam);
}

void WICKPOST_CALL WickpostHTMLOnShow(void) {
  kit::GuardedVoid([] {
    if (Shell* s = TheShell()) s->module.OnShow();
  });
}

int WICKPOST_CALL WickpostHTMLOnClick(IHTMLEventObj* event) {
  kit::GuardedVoid([&] {
    Shell* s = TheShell();
    kit::PageClick click;
    ComPtr<IHTMLElement> element;
    if (!s || !event || !kit::ReadClick(event, click, element)) return;
    if (const auto id = s->module.OnClick(click)) anm::StartRepair(*s, *id);
  });
  return 1;
}

void WICKPOST_CALL WickpostHTMLOnClose(void) {
  kit::GuardedVoid([] {
    if (Shell* s = TheShell()) s->module.OnClose();
  });
}

// Unloaded by FreeLibrary (the host's thread, which owns the windows): nothing of the module
// may stay behind to be called, so its windows, class and session registration go first.
// wtsapi32 stays loaded: nothing is unloaded under the loader lock.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_DETACH && !reserved)
    kit::GuardedVoid([] {
      if (Shell* s = TheShell()) anm::CloseWindows(*s);
      kit::Instance<Shell>::Set(nullptr);
    });
  return TRUE;
}
