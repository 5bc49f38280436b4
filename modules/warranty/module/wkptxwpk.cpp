// wkptxwpk.dll: the extended-warranty offer's twelve entry points, each run through the kit's
// guard (modules/kit/guard.h); the rules live in Offer (xwpk_offer.h).
#include <windows.h>
#include <mshtml.h>

#include "modules/kit/module/kit_click.h"
#include "modules/warranty/module/xwpk_resource_ids.h"
#include "modules/warranty/module/xwpk_shell.h"

namespace {
using xwpk::Shell;
using xwpk::TheShell;

template <class CheckFn>
CheckResult RunCheck(kit::CheckCall call, CheckFn check, wchar_t* text, int textCapacity, wchar_t* page,
                     int pageCapacity, uint16_t* code) {
  return kit::GuardedCheck([&]() -> CheckResult {
    Shell* m = TheShell();
    if (!m || !text || !page || textCapacity <= 0 || pageCapacity <= 0) return CHECK_NOTHING;
    const kit::CheckAnswer answer = check(*m->offer, pageCapacity);
    return kit::DeliverCheck(answer, call, &m->offer->Pages(), text, textCapacity, page, pageCapacity, code);
  });
}

// The popup's outer size for the page the offer shows.
xwpk::Size Popup(Shell& m) {
  return xwpk::PopupSize(m.offer->Page(), GetSystemMetrics(SM_CXFRAME), GetSystemMetrics(SM_CYFRAME),
                         GetSystemMetrics(SM_CYCAPTION));
}
}  // namespace

int WICKPOST_CALL WickpostInitialize(HWND host, ModuleInitInfo* info, wchar_t* errorText, int errorCapacity) {
  return kit::GuardedInitialize(u"wkptxwpk", errorText, errorCapacity, [&]() -> int {
    MiscCommon::CMiscCommon* client = nullptr;
    if (const int rc = kit::AcceptInitRecord(info, client)) return rc;
    // The model number decides whether the module stays: without a client it cannot be read.
    if (!client) return MODULE_E_DRIVER;
    auto m = std::make_unique<Shell>(client);
    m->setup.host = host;
    m->setup.moduleIndex = info->moduleIndex;
    m->offer = std::make_unique<xwpk::Offer>(xwpk::ShellSettings(), m->clock, m->store, m->files, m->net, m->desktop);
    const int rc = m->offer->Initialize(true);
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
    return m && m->offer->IsEnabled() ? 1 : 0;
  });
}

CheckResult WICKPOST_CALL WickpostAutoCheck(wchar_t* text, int textCapacity, wchar_t* page, int pageCapacity,
                                            uint16_t* code) {
  return RunCheck(kit::CheckCall::Automatic, [](xwpk::Offer& o, int cap) { return o.AutoCheck(cap); }, text,
                  textCapacity, page, pageCapacity, code);
}

CheckResult WICKPOST_CALL WickpostManualCheck(wchar_t* text, int textCapacity, wchar_t* page, int pageCapacity,
                                              uint16_t* code) {
  return RunCheck(kit::CheckCall::Manual, [](xwpk::Offer& o, int cap) { return o.ManualCheck(cap); }, text,
                  textCapacity, page, pageCapacity, code);
}

int WICKPOST_CALL WickpostGetPopupSize(int* width, int* height) {
  return kit::Guarded(MODULE_E_BAD_ARGUMENT, [&] {
    Shell* m = TheShell();
    if (!m || !width || !height) return MODULE_E_BAD_ARGUMENT;
    const xwpk::Size size = Popup(*m);
    *width = size.width;
    *height = size.height;
    return 0;
  });
}

int WICKPOST_CALL WickpostGetPopupOffset(int* horizontal, int* vertical) {
  return kit::Guarded(MODULE_E_BAD_ARGUMENT, [&] {
    Shell* m = TheShell();
    RECT work;
    if (!m || !horizontal || !vertical || !SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
      return MODULE_E_BAD_ARGUMENT;
    const xwpk::Size offset = xwpk::CentringOffset(xwpk::Rect{work.left, work.top, work.right, work.bottom}, Popup(*m));
    *horizontal = offset.width;
    *vertical = offset.height;
    return 0;
  });
}

int WICKPOST_CALL WickpostGetHTMLTimeout(int* ticks) {
  return kit::Guarded(MODULE_E_BAD_ARGUMENT, [&] {
    if (!ticks) return MODULE_E_BAD_ARGUMENT;
    *ticks = 180;
    return 0;
  });
}

uint16_t WICKPOST_CALL WickpostGetSetupDlg(void) {
  return kit::Guarded<uint16_t>(0, [] {
    Shell* m = TheShell();
    return static_cast<uint16_t>(m && m->offer->SetupEnabled() ? IDD_SETUP : 0);
  });
}

void WICKPOST_CALL WickpostHTMLOnShow(void) {
  kit::GuardedVoid([] {
    if (Shell* m = TheShell()) m->offer->OnShow();
  });
}

int WICKPOST_CALL WickpostHTMLOnClick(IHTMLEventObj* event) {
  return kit::Guarded(1, [&] {
    Shell* m = TheShell();
    kit::PageClick click;
    ComPtr<IHTMLElement> element;
    if (!m || !event || !kit::ReadClick(event, click, element)) return 1;
    const xwpk::ClickOutcome outcome = m->offer->OnClick(click);
    if (outcome.notify && m->setup.window) SendMessageW(m->setup.window, WM_APP, 0, 0);
    return outcome.proceed ? 1 : 0;
  });
}

void WICKPOST_CALL WickpostHTMLOnClose(void) {
  kit::GuardedVoid([] {
    if (Shell* m = TheShell()) m->offer->OnClose();
  });
}
