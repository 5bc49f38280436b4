// wkptrss.dll: the web module's entry points, each run through the kit's guard
// (modules/kit/guard.h); the pipeline lives in web::Module (web_module.h).
#include <windows.h>
#include <mshtml.h>

#include <cstddef>

#include "common/win/com_ptr.h"
#include "modules/kit/module/kit_click.h"
#include "modules/web/module/web_resource_ids.h"
#include "modules/web/module/web_shell.h"

namespace {
using web::TheShell;

template <class CheckFn>
CheckResult RunCheck(kit::CheckCall call, CheckFn check, wchar_t* text, int textCapacity, wchar_t* page,
                     int pageCapacity, uint16_t* code) {
  return kit::GuardedCheck([&]() -> CheckResult {
    web::Shell* s = TheShell();
    if (!s || !text || !page || textCapacity <= 0 || pageCapacity <= 0) return CHECK_NOTHING;
    return kit::DeliverCheck(check(s->module, pageCapacity), call, &s->module.Pages(), text, textCapacity, page,
                             pageCapacity, code);
  });
}

// The click's element after climbing out of span and img elements, and what the rule needs of it.
bool ReadClick(IHTMLEventObj* event, web::PageClick& click, ComPtr<IHTMLElement>& element) {
  Bstr type;
  if (FAILED(event->get_type(type.out())) || FAILED(event->get_srcElement(element.out())) || !element) return false;
  click.type = type.str();
  for (int depth = 0; depth < 16; ++depth) {
    Bstr tag;
    if (FAILED(element->get_tagName(tag.out()))) return false;
    click.tag = tag.str();
    if (!web::ClickClimbsToParent(click.tag)) break;
    ComPtr<IHTMLElement> parent;
    if (FAILED(element->get_parentElement(parent.out())) || !parent) return false;
    element = parent;
  }
  Bstr id;
  if (SUCCEEDED(element->get_id(id.out()))) click.id = id.str();
  click.href = kit::Attribute(*element.get(), L"href");
  click.value = kit::Attribute(*element.get(), L"value");
  ComPtr<IHTMLInputElement> input;
  VARIANT_BOOL checked = VARIANT_FALSE;
  if (element.As(IID_IHTMLInputElement, input) && SUCCEEDED(input->get_checked(&checked)))
    click.checked = checked != VARIANT_FALSE;
  return true;
}

void SetDisplay(IHTMLDocument3* document, const std::u16string& id, const std::u16string& display) {
  ComPtr<IHTMLElement> element;
  ComPtr<IHTMLStyle> style;
  Bstr name(kit::Wide(id)), value(kit::Wide(display));
  if (name.get() && value.get() && SUCCEEDED(document->getElementById(name.get(), element.out())) && element &&
      SUCCEEDED(element->get_style(style.out())) && style)
    style->put_display(value.get());
}

// Opens or closes a section of the page and swaps its arrows.
void ToggleSection(IHTMLElement* source, const std::u16string& name) {
  ComPtr<IDispatch> dispatch;
  ComPtr<IHTMLDocument3> document;
  ComPtr<IHTMLElement> section;
  ComPtr<IHTMLStyle> style;
  Bstr id(kit::Wide(name)), display;
  if (!id.get() || FAILED(source->get_document(dispatch.out())) || !dispatch.As(IID_IHTMLDocument3, document) ||
      FAILED(document->getElementById(id.get(), section.out())) || !section ||
      FAILED(section->get_style(style.out())) || !style || FAILED(style->get_display(display.out())))
    return;
  const web::SectionDisplay next = web::ToggledSection(display.str());
  SetDisplay(document.get(), name, next.section);
  SetDisplay(document.get(), name + u"ArrowRight", next.arrowRight);
  SetDisplay(document.get(), name + u"ArrowDown", next.arrowDown);
}
}  // namespace

int WICKPOST_CALL WickpostInitialize(HWND host, ModuleInitInfo* info, wchar_t* errorText, int errorCapacity) {
  // Nothing goes into the error text: the host unloads this module silently.
  (void)errorText;
  (void)errorCapacity;
  return kit::Guarded(MODULE_E_DRIVER, [&]() -> int {
    web::InitRecord record;
    record.present = info != nullptr;
    if (info) {
      record.cbSize = info->cbSize;
      record.version = info->version;
    }
    record.driverClientEnd = offsetof(ModuleInitInfo, driverClient) + sizeof(info->driverClient);
    MiscCommon::CMiscCommon* client =
        info && info->cbSize >= static_cast<int32_t>(record.driverClientEnd) ? info->driverClient : nullptr;
    auto shell = std::make_unique<web::Shell>();
    const int rc = shell->Initialize(host, record, client);
    if (rc != 0) return rc;
    info->checkInterval = record.checkInterval;
    info->menuItemCount = record.menuItemCount;
    kit::Instance<web::Shell>::Set(std::move(shell));
    return 0;
  });
}

int WICKPOST_CALL WickpostIsEnable(void) {
  return kit::Guarded(0, [] {
    web::Shell* s = TheShell();
    return s && s->module.IsEnabled() ? 1 : 0;
  });
}

CheckResult WICKPOST_CALL WickpostAutoCheck(wchar_t* text, int textCapacity, wchar_t* page, int pageCapacity,
                                            uint16_t* code) {
  return RunCheck(kit::CheckCall::Automatic, [](web::Module& m, int cap) { return m.AutoCheck(cap); }, text,
                  textCapacity, page, pageCapacity, code);
}

CheckResult WICKPOST_CALL WickpostManualCheck(wchar_t* text, int textCapacity, wchar_t* page, int pageCapacity,
                                              uint16_t* code) {
  return RunCheck(kit::CheckCall::Manual, [](web::Module& m, int cap) { return m.ManualCheck(cap); }, text,
                  textCapacity, page, pageCapacity, code);
}

int WICKPOST_CALL WickpostGetNotifyIconMenuItems(ModuleMenuItem* items, int count) {
  return kit::Guarded(MODULE_E_BAD_ARGUMENT, [&]() -> int {
    web::Shell* s = TheShell();
    if (!s || !items || count != web::kMenuItems) return MODULE_E_BAD_ARGUMENT;
    // The captions live as long as the module: the host keeps the pointers.
    static std::vector<std::u16string> captions;
    captions = s->module.MenuCaptions();
    for (int i = 0; i < count; ++i) {
      items[i].text = kit::Wide(captions[static_cast<size_t>(i)]);
      items[i].id = i == 0 ? web::kMenuHistory : web::kMenuUpdate;
    }
    return 0;
  });
}

void WICKPOST_CALL WickpostIconMenu(int id) {
  kit::GuardedVoid([&] {
    if (web::Shell* s = TheShell()) s->module.IconMenu(id);
  });
}

void WICKPOST_CALL WickpostDoNotify(uint16_t) {}

void WICKPOST_CALL WickpostOnWndMsg(HWND, UINT message, WPARAM wParam, LPARAM) {
  kit::GuardedVoid([&] {
    web::Shell* s = TheShell();
    if (!s) return;
    if (message == web::ResumeUpdateMessage()) s->desktop.OpenUpdateManager();
    s->module.OnHostMessage(message, static_cast<uintptr_t>(wParam));
  });
}

void WICKPOST_CALL WickpostHTMLOnShow(void) {
  kit::GuardedVoid([] {
    if (web::Shell* s = TheShell()) s->module.OnShow();
  });
}

int WICKPOST_CALL WickpostHTMLOnClick(IHTMLEventObj* event) {
  return kit::Guarded(1, [&] {
    web::Shell* s = TheShell();
    web::PageClick click;
    ComPtr<IHTMLElement> element;
    if (!s || !event || !ReadClick(event, click, element)) return 1;
    const web::ClickOutcome outcome = s->module.OnClick(click);
    if (outcome.toggle) ToggleSection(element.get(), *outcome.toggle);
    return outcome.proceed ? 1 : 0;
  });
}

void WICKPOST_CALL WickpostHTMLOnClose(void) {
  kit::GuardedVoid([] {
    if (web::Shell* s = TheShell()) s->module.OnClose();
  });
}

uint16_t WICKPOST_CALL WickpostGetSetupDlg(void) {
  return kit::Guarded<uint16_t>(0, [] {
    web::Shell* s = TheShell();
    return static_cast<uint16_t>(s && s->module.SetupEnabled() ? IDD_SETUP : 0);
  });
}

int WICKPOST_CALL WickpostGetInitialMessage(wchar_t* text, int capacity) {
  return kit::Guarded(MODULE_E_NOT_AVAILABLE, [&]() -> int {
    web::Shell* s = TheShell();
    std::u16string message;
    if (!s) return MODULE_E_NOT_AVAILABLE;
    const int rc = s->module.InitialMessage(message);
    if (rc != 0 || !text || capacity <= 0) return rc;
    kit::CopyText(message, reinterpret_cast<char16_t*>(text), capacity);
    // A cut paragraph is a failed copy: the host must not show half of it.
    return message.size() < static_cast<size_t>(capacity) ? 0 : MODULE_E_NOT_AVAILABLE;
  });
}

void WICKPOST_CALL WickpostEnableAutoCheck(int enable) {
  kit::GuardedVoid([&] {
    if (web::Shell* s = TheShell()) s->module.EnableAutoCheck(enable != 0);
  });
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  // No registry work here (settings were saved when they changed); only this module's own
  // temporary files go. At process exit (reserved non-null) the rest goes with the process.
  if (reason == DLL_PROCESS_DETACH) {
    kit::GuardedVoid([&] {
      if (web::Shell* s = TheShell()) s->module.Unload();
      if (!reserved) kit::Instance<web::Shell>::Set(nullptr);
    });
  }
  return TRUE;
}
