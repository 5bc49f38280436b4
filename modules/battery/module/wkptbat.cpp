// wkptbat.dll: the battery module's twelve entry points, each run through the kit's guard
// (modules/kit/guard.h); the rules live in bat::Module (bat_module.h).
#include <windows.h>
#include <mshtml.h>
#include <shellapi.h>
#include <shlobj.h>

#include "common/core/misccommon.h"
#include "common/core/model_identity.h"
#include "common/win/com_ptr.h"
#include "modules/battery/module/bat_resource_ids.h"
#include "modules/battery/module/bat_shell.h"
#include "modules/kit/module/kit_click.h"

namespace {
using bat::TheShell;
using bat::Wide;

// Both checks: the module's answer delivered by the kit, under its guard.
template <class CheckFn>
CheckResult RunCheck(kit::CheckCall call, CheckFn check, wchar_t* text, int textCapacity, wchar_t* page,
                     int pageCapacity, uint16_t* code) {
  return kit::GuardedCheck([&]() -> CheckResult {
    bat::Shell* s = TheShell();
    if (!s || !text || !page || textCapacity <= 0 || pageCapacity <= 0) return CHECK_NOTHING;
    return kit::DeliverCheck(check(s->module, pageCapacity), call, &s->module.Pages(), text, textCapacity, page,
                             pageCapacity, code);
  });
}

void Box(const bat::Shell& s, uint16_t text, UINT icon) {
  const bat::Strings& t = s.module.Texts();
  MessageBoxW(nullptr, Wide(t.Get(text)), Wide(t.Get(IDS_APP_TITLE)), icon);
}

void LaunchUtility(const bat::Shell& s) {
  wchar_t folder[MAX_PATH] = {};
  std::wstring path;
  if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, folder)))
    path = std::wstring(folder) + L"\\Velmorant\\ampwell\\ampwell.exe";
  if (!path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
    ShellExecuteW(nullptr, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  else
    Box(s, IDS_NO_UTILITY, MB_ICONINFORMATION);
}

void OpenManual(const bat::Shell& s) {
  const HINSTANCE rc =
      ShellExecuteW(nullptr, L"open", L"C:\\util\\manual\\shortcut_op5_5.hta", nullptr, nullptr, SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(rc) <= 32) Box(s, IDS_NO_MANUAL, MB_ICONINFORMATION);
}

// Enables or disables the page's interval list, found by id.
void SetDisabled(IHTMLElement* source, const std::u16string& id, bool disabled) {
  ComPtr<IDispatch> dispatch;
  ComPtr<IHTMLDocument3> document;
  ComPtr<IHTMLElement> target;
  ComPtr<IHTMLSelectElement> list;
  Bstr name(Wide(id));
  if (name.get() && SUCCEEDED(source->get_document(dispatch.out())) && dispatch.As(IID_IHTMLDocument3, document) &&
      SUCCEEDED(document->getElementById(name.get(), target.out())) && target.As(IID_IHTMLSelectElement, list))
    list->put_disabled(disabled ? VARIANT_TRUE : VARIANT_FALSE);
}
}  // namespace

int WICKPOST_CALL WickpostInitialize(HWND host, ModuleInitInfo* info, wchar_t* errorText, int errorCapacity) {
  return kit::GuardedInitialize(u"wkptbat", errorText, errorCapacity, [&]() -> int {
    if (!info) return MODULE_E_BAD_ARGUMENT;
    if (info->version < WICKPOST_CONTRACT_VERSION || info->cbSize < 4) return MODULE_E_HOST_TOO_OLD;
    MiscCommon::CMiscCommon* client =
        info->cbSize >= static_cast<int32_t>(sizeof(ModuleInitInfo)) ? info->driverClient : nullptr;
    std::optional<std::string> model;
    std::string text;
    if (client && MiscCommon::ReadModelNumber(*client, text) == MiscCommon::MC_OK && !text.empty()) model = text;
    auto shell = std::make_unique<bat::Shell>(client);
    shell->host = host;
    const int rc = shell->module.Initialize(model);
    if (rc != 0) return rc;
    for (const bat::DebugBox& box : shell->module.DebugBoxes()) {
      static const UINT kIcons[] = {MB_ICONINFORMATION, MB_ICONWARNING, MB_ICONERROR};
      MessageBoxW(host, Wide(box.text), Wide(box.caption), kIcons[box.condition]);
    }
    info->checkInterval = 60;
    info->menuItemCount = 0;
    kit::Instance<bat::Shell>::Set(std::move(shell));
    return 0;
  });
}

int WICKPOST_CALL WickpostIsEnable(void) {
  return kit::Guarded(0, [] {
    bat::Shell* s = TheShell();
    return s && s->module.IsEnabled() ? 1 : 0;
  });
}

CheckResult WICKPOST_CALL WickpostAutoCheck(wchar_t* text, int textCapacity, wchar_t* page, int pageCapacity,
                                            uint16_t* code) {
  return RunCheck(kit::CheckCall::Automatic, [](bat::Module& m, int cap) { return m.AutoCheck(cap); }, text,
                  textCapacity, page, pageCapacity, code);
}

CheckResult WICKPOST_CALL WickpostManualCheck(wchar_t* text, int textCapacity, wchar_t* page, int pageCapacity,
                                              uint16_t* code) {
  return RunCheck(kit::CheckCall::Manual, [](bat::Module& m, int cap) { return m.ManualCheck(cap); }, text,
                  textCapacity, page, pageCapacity, code);
}

void WICKPOST_CALL WickpostEnableAutoCheck(int enable) {
  kit::GuardedVoid([&] {
    if (bat::Shell* s = TheShell()) s->module.EnableAutoCheck(enable != 0);
  });
}

int WICKPOST_CALL WickpostGetInitialMessage(wchar_t* text, int capacity) {
  return kit::Guarded(0, [&] {
    const std::wstring message = kit::LoadText(IDS_INITIAL_MESSAGE);
    if (message.empty()) return MODULE_E_NOT_AVAILABLE;
    kit::CopyText(std::u16string(message.begin(), message.end()), reinterpret_cast<char16_t*>(text), capacity);
    return 0;
  });
}

int WICKPOST_CALL WickpostGetPopupSize(int* width, int* height) {
  return kit::Guarded(MODULE_E_BAD_ARGUMENT, [&] {
    bat::Shell* s = TheShell();
    if (!width || !height) return MODULE_E_BAD_ARGUMENT;
    *width = 0;
    *height = s ? s->module.PopupHeight() : 0;
    return 0;
  });
}

uint16_t WICKPOST_CALL WickpostGetSetupDlg(void) {
  return kit::Guarded<uint16_t>(0, [] {
    bat::Shell* s = TheShell();
    return static_cast<uint16_t>(s && s->module.SetupEnabled() ? IDD_SETUP : 0);
  });
}

void WICKPOST_CALL WickpostHTMLOnShow(void) {
  kit::GuardedVoid([] {
    if (bat::Shell* s = TheShell()) s->module.OnShow();
  });
}

int WICKPOST_CALL WickpostHTMLOnClick(IHTMLEventObj* event) {
  return kit::Guarded(1, [&] {
    bat::Shell* s = TheShell();
    bat::ClickEvent e;
    ComPtr<IHTMLElement> element;
    if (!s || !event || !kit::ReadClick(event, e, element)) return 1;
    const bat::ClickAction a = s->module.OnClick(e);
    if (a.launchUtility) LaunchUtility(*s);
    if (a.openManual) OpenManual(*s);
    if (!a.element.empty()) SetDisabled(element.get(), a.element, a.disable);
    return a.result;
  });
}

void WICKPOST_CALL WickpostHTMLOnClose(void) {
  kit::GuardedVoid([] {
    if (bat::Shell* s = TheShell()) s->module.OnClose();
  });
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  // At process exit (reserved non-null) other DLLs may be gone already: only the file goes.
  if (reason == DLL_PROCESS_DETACH) {
    kit::GuardedVoid([&] {
      if (bat::Shell* s = TheShell()) s->module.Unload();
      if (!reserved) kit::Instance<bat::Shell>::Set(nullptr);
    });
  }
  return TRUE;
}
