// wkptreg.dll: the registration reminder's ten entry points, each run through the kit's guard
// (modules/kit/guard.h); the rules live in Reminder (reg_reminder.h).
#include <windows.h>
#include <mshtml.h>

#include <cwctype>

#include "common/win/com_ptr.h"
#include "modules/registration/module/reg_resource_ids.h"
#include "modules/registration/module/reg_shell.h"

static_assert(reg::kNotifyWarning == NOTIFY_WARNING, "check results must match the contract");

namespace {
using reg::Shell;
using reg::TheShell;

// Both checks: the reminder's answer, its line from the string table, delivered by the kit.
template <class CheckFn>
CheckResult RunCheck(kit::CheckCall call, CheckFn check, wchar_t* text, int textCapacity, wchar_t* page,
                     int pageCapacity, uint16_t* code) {
  return kit::GuardedCheck([&]() -> CheckResult {
    Shell* m = TheShell();
    if (!m || !text || !page || textCapacity <= 0 || pageCapacity <= 0) return CHECK_NOTHING;
    const reg::CheckAnswer a = check(*m->reminder, pageCapacity);
    const kit::CheckAnswer answer{a.result, a.textId ? reg::U16(kit::LoadText(a.textId).c_str()) : u"", a.pagePath, 0};
    return kit::DeliverCheck(answer, call, &m->reminder->Pages(), text, textCapacity, page, pageCapacity, code);
  });
}

std::wstring Text(const Bstr& b) {
  const std::u16string s = b.str();
  return std::wstring(s.begin(), s.end());
}

std::wstring Lower(std::wstring s) {
  for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}

// The "already registered" box: a click on an input element whose id contains "check".
bool ReadCheckDoneClick(IHTMLEventObj* event, bool& checked) {
  Bstr type, tag, id;
  ComPtr<IHTMLElement> element;
  if (FAILED(event->get_type(type.out())) || Lower(Text(type)) != L"click") return false;
  if (FAILED(event->get_srcElement(element.out())) || !element) return false;
  if (FAILED(element->get_tagName(tag.out())) || Lower(Text(tag)) != L"input") return false;
  if (FAILED(element->get_id(id.out())) || Text(id).find(L"check") == std::wstring::npos) return false;
  ComPtr<IHTMLInputElement> input;
  VARIANT_BOOL value = VARIANT_FALSE;
  if (!element.As(IID_IHTMLInputElement, input) || FAILED(input->get_checked(&value))) return false;
  checked = value != VARIANT_FALSE;
  return true;
}
}  // namespace

int WICKPOST_CALL WickpostInitialize(HWND host, ModuleInitInfo* info, wchar_t* errorText, int errorCapacity) {
  return kit::GuardedInitialize(u"wkptreg", errorText, errorCapacity, [&]() -> int {
    MiscCommon::CMiscCommon* client = nullptr;
    if (const int rc = kit::AcceptInitRecord(info, client)) return rc;
    auto m = std::make_unique<Shell>(client);
    m->setup.host = host;
    m->setup.moduleIndex = info->moduleIndex;
    m->reminder = std::make_unique<reg::Reminder>(reg::DefaultSettings(), m->clock, m->store, m->files, m->crypto);
    const std::wstring title = kit::LoadText(IDS_PAGE_TITLE);
    if (!title.empty()) m->reminder->SetPageTitle(reg::U16(title.c_str()));
    const int rc = m->reminder->Initialize(client != nullptr);
    if (rc != 0) return rc;
    info->checkInterval = 60;
    info->menuItemCount = 0;
    kit::Instance<Shell>::Set(std::move(m));
    return 0;
  });
}

int WICKPOST_CALL WickpostIsEnable(void) {
  return kit::Guarded(0, [] {
    Shell* m = TheShell();
    return m && m->reminder->IsEnabled() ? 1 : 0;
  });
}

CheckResult WICKPOST_CALL WickpostAutoCheck(wchar_t* text, int textCapacity, wchar_t* page, int pageCapacity,
                                            uint16_t* code) {
  return RunCheck(kit::CheckCall::Automatic, [](reg::Reminder& r, int cap) { return r.AutoCheck(cap); }, text,
                  textCapacity, page, pageCapacity, code);
}

CheckResult WICKPOST_CALL WickpostManualCheck(wchar_t* text, int textCapacity, wchar_t* page, int pageCapacity,
                                              uint16_t* code) {
  return RunCheck(kit::CheckCall::Manual, [](reg::Reminder& r, int cap) { return r.ManualCheck(cap); }, text,
                  textCapacity, page, pageCapacity, code);
}

int WICKPOST_CALL WickpostGetPopupSize(int* width, int* height) {
  return kit::Guarded(MODULE_E_BAD_ARGUMENT, [&] {
    Shell* m = TheShell();
    if (!m || !width || !height) return MODULE_E_BAD_ARGUMENT;
    *width = 0;
    *height = reg::Info(m->reminder->GetVariant()).popupHeight;
    return 0;
  });
}

uint16_t WICKPOST_CALL WickpostGetSetupDlg(void) {
  return kit::Guarded<uint16_t>(0, [] {
    Shell* m = TheShell();
    return static_cast<uint16_t>(m && m->reminder->SetupEnabled() ? reg::Info(m->reminder->GetVariant()).setupDialog : 0);
  });
}

void WICKPOST_CALL WickpostHTMLOnShow(void) {
  kit::GuardedVoid([] {
    if (Shell* m = TheShell()) m->reminder->OnShow();
  });
}

int WICKPOST_CALL WickpostHTMLOnClick(IHTMLEventObj* event) {
  kit::GuardedVoid([&] {
    Shell* m = TheShell();
    bool checked = false;
    if (m && event && ReadCheckDoneClick(event, checked)) {
      m->reminder->OnCheckDone(checked);
      if (m->setup.window) SendMessageW(m->setup.window, WM_APP, 0, 0);
    }
  });
  return 1;
}

void WICKPOST_CALL WickpostHTMLOnClose(void) {
  kit::GuardedVoid([] {
    if (Shell* m = TheShell()) m->reminder->OnClose();
  });
}
