// wkptreg.dll: the registration reminder's ten entry points. Each catches everything, so
// no exception reaches the host; the rules live in Reminder (reg_reminder.h).
#include <windows.h>
#include <mshtml.h>

#include <cwctype>

#include "common/win/com_ptr.h"
#include "modules/registration/module/reg_resource_ids.h"
#include "modules/registration/module/reg_shell.h"

static_assert(reg::kCheckNothing == CHECK_NOTHING && reg::kCheckPage == CHECK_PAGE && reg::kCheckKeep == CHECK_KEEP &&
                  reg::kNotifyWarning == NOTIFY_WARNING,
              "check results must match the contract");

namespace {
using reg::Module;
using reg::TheModule;

// Fills the host's buffers; the reminder has made sure the path fits.
CheckResult Deliver(const reg::CheckAnswer& a, wchar_t* text, int textCapacity, wchar_t* page, int pageCapacity) {
  if (CHECK_KIND(a.result) != CHECK_PAGE) return a.result;
  lstrcpynW(text, reg::LoadText(a.textId).c_str(), textCapacity);
  lstrcpynW(page, reg::Wide(a.pagePath), pageCapacity);
  return a.result;
}

template <class CheckFn>
CheckResult RunCheck(CheckFn check, wchar_t* text, int textCapacity, wchar_t* page, int pageCapacity) {
  Module* m = TheModule();
  if (!m || !text || !page || textCapacity <= 0 || pageCapacity <= 0) return CHECK_NOTHING;
  return Deliver(check(*m->reminder, pageCapacity), text, textCapacity, page, pageCapacity);
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

extern "C" {

__declspec(dllexport) int WICKPOST_CALL WickpostInitialize(HWND host, ModuleInitInfo* info, wchar_t* errorText,
                                                           int errorCapacity) {
  (void)errorText;
  (void)errorCapacity;
  try {
    if (!info) return MODULE_E_BAD_ARGUMENT;
    if (info->version < WICKPOST_CONTRACT_VERSION || info->cbSize < 4) return MODULE_E_HOST_TOO_OLD;
    // The client lies beyond the first four bytes: only a record that holds it lends one.
    MiscCommon::CMiscCommon* client =
        info->cbSize >= static_cast<int32_t>(sizeof(ModuleInitInfo)) ? info->driverClient : nullptr;
    auto m = std::make_unique<Module>(client);
    m->host = host;
    m->moduleIndex = info->moduleIndex;
    m->reminder = std::make_unique<reg::Reminder>(reg::DefaultSettings(), m->clock, m->store, m->files, m->crypto);
    const std::wstring title = reg::LoadText(IDS_PAGE_TITLE);
    if (!title.empty()) m->reminder->SetPageTitle(reg::U16(title.c_str()));
    const int rc = m->reminder->Initialize(client != nullptr);
    if (rc != 0) return rc;
    info->checkInterval = 60;
    info->menuItemCount = 0;
    reg::SetModule(std::move(m));
    return 0;
  } catch (...) {
    return MODULE_E_DRIVER;
  }
}

__declspec(dllexport) int WICKPOST_CALL WickpostIsEnable(void) {
  try {
    Module* m = TheModule();
    return m && m->reminder->IsEnabled() ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

__declspec(dllexport) CheckResult WICKPOST_CALL WickpostAutoCheck(wchar_t* text, int textCapacity, wchar_t* page,
                                                                  int pageCapacity, uint16_t* code) {
  (void)code;
  try {
    return RunCheck([](reg::Reminder& r, int cap) { return r.AutoCheck(cap); }, text, textCapacity, page, pageCapacity);
  } catch (...) {
    return CHECK_NOTHING;
  }
}

__declspec(dllexport) CheckResult WICKPOST_CALL WickpostManualCheck(wchar_t* text, int textCapacity, wchar_t* page,
                                                                    int pageCapacity, uint16_t* code) {
  (void)code;
  try {
    return RunCheck([](reg::Reminder& r, int cap) { return r.ManualCheck(cap); }, text, textCapacity, page, pageCapacity);
  } catch (...) {
    return CHECK_NOTHING;
  }
}

__declspec(dllexport) int WICKPOST_CALL WickpostGetPopupSize(int* width, int* height) {
  Module* m = TheModule();
  if (!m || !width || !height) return MODULE_E_BAD_ARGUMENT;
  *width = 0;
  *height = reg::Info(m->reminder->GetVariant()).popupHeight;
  return 0;
}

__declspec(dllexport) uint16_t WICKPOST_CALL WickpostGetSetupDlg(void) {
  Module* m = TheModule();
  return m && m->reminder->SetupEnabled() ? reg::Info(m->reminder->GetVariant()).setupDialog : 0;
}

__declspec(dllexport) void WICKPOST_CALL WickpostHTMLOnShow(void) {
  try {
    if (Module* m = TheModule()) m->reminder->OnShow();
  } catch (...) {
  }
}

__declspec(dllexport) int WICKPOST_CALL WickpostHTMLOnClick(IHTMLEventObj* event) {
  try {
    Module* m = TheModule();
    bool checked = false;
    if (m && event && ReadCheckDoneClick(event, checked)) {
      m->reminder->OnCheckDone(checked);
      if (m->setupPage) SendMessageW(m->setupPage, WM_APP, 0, 0);
    }
  } catch (...) {
  }
  return 1;
}

__declspec(dllexport) void WICKPOST_CALL WickpostHTMLOnClose(void) {
  try {
    if (Module* m = TheModule()) m->reminder->OnClose();
  } catch (...) {
  }
}

}  // extern "C"
