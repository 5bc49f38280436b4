#include "host/win/module_host.h"

#include <cwchar>
#include <new>

#include "host/core/module_names.h"
#include "host/win/host_path.h"

namespace host {
namespace {
template <typename Fn>
void Bind(HMODULE library, const char* name, Fn* out) {
  *out = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// Menu-item counts beyond this are taken as garbage: the table keeps 30 entries anyway.
constexpr int32_t kMaxMenuItems = 1024;
// Captions are copied, bounded, so that a text without a terminator cannot run on.
constexpr size_t kMaxCaption = 256;

const char16_t* U(const wchar_t* s) { return reinterpret_cast<const char16_t*>(s); }
}  // namespace

void EntryPoints::Resolve(HMODULE m) {
  Bind(m, "WickpostInitialize", &initialize);
  Bind(m, "WickpostIsEnable", &isEnable);
  Bind(m, "WickpostAutoCheck", &autoCheck);
  Bind(m, "WickpostManualCheck", &manualCheck);
  Bind(m, "WickpostGetNotifyIconMenuItems", &getMenuItems);
  Bind(m, "WickpostIconMenu", &iconMenu);
  Bind(m, "WickpostDoNotify", &doNotify);
  Bind(m, "WickpostOnWndMsg", &onWndMsg);
  Bind(m, "WickpostHTMLOnShow", &htmlOnShow);
  Bind(m, "WickpostHTMLOnClick", &htmlOnClick);
  Bind(m, "WickpostHTMLOnClose", &htmlOnClose);
  Bind(m, "WickpostGetSetupDlg", &getSetupDlg);
  Bind(m, "WickpostSetupDlgProc", &setupDlgProc);
  Bind(m, "WickpostGetInitialMessage", &getInitialMessage);
  Bind(m, "WickpostEnableAutoCheck", &enableAutoCheck);
  Bind(m, "WickpostGetPopupSize", &getPopupSize);
  Bind(m, "WickpostGetPopupOffset", &getPopupOffset);
  Bind(m, "WickpostGetMiniPopupOffset", &getMiniPopupOffset);
  Bind(m, "WickpostGetHTMLTimeout", &getHTMLTimeout);
}

void ModuleSet::Load(HWND host, WickpostDriverClient* client, const wchar_t* caption, MenuTable* menu) {
  for (const char16_t* name : kModuleFileNames) {
    std::unique_ptr<LoadedModule> m =
        LoadOne(reinterpret_cast<const wchar_t*>(name), host, client, static_cast<int>(modules_.size()), caption);
    if (!m) continue;
    if (m->menu) {
      std::vector<ModuleItem> items;
      for (int32_t k = 0; k < m->menuCount; ++k) {
        const ModuleMenuItem& item = m->menu[k];
        const size_t length = item.text ? wcsnlen(item.text, kMaxCaption) : 0;
        items.push_back({item.text != nullptr, std::u16string(U(item.text ? item.text : L""), length), item.id});
      }
      menu->AddModule(modules_.size(), items);
    }
    modules_.push_back(std::move(m));
  }
}

std::unique_ptr<LoadedModule> ModuleSet::LoadOne(const wchar_t* name, HWND host, WickpostDriverClient* client,
                                                 int index, const wchar_t* caption) {
  HMODULE library = LoadBesideHost(name);
  if (!library) return nullptr;
  auto m = std::make_unique<LoadedModule>(library);
  m->fn.Resolve(library);
  if (!m->fn.HasMandatory()) return nullptr;
  m->info.cbSize = sizeof(ModuleInitInfo);
  m->info.version = WICKPOST_CONTRACT_VERSION;
  m->info.moduleIndex = index;
  m->info.driverClient = client;
  wchar_t error[WICKPOST_ERROR_BUFFER] = {};
  if (m->fn.initialize(host, &m->info, error, WICKPOST_ERROR_BUFFER) != 0) {
    error[WICKPOST_ERROR_BUFFER - 1] = L'\0';
    if (error[0]) MessageBoxW(nullptr, error, caption, MB_OK | MB_ICONWARNING);
    return nullptr;
  }
  if (m->info.menuItemCount > 0 && m->fn.getMenuItems && !FetchMenu(*m)) return nullptr;
  return m;
}

bool ModuleSet::FetchMenu(LoadedModule& m) {
  const int32_t count = m.info.menuItemCount;
  if (count > kMaxMenuItems) return false;
  m.menu.reset(new (std::nothrow) ModuleMenuItem[count]());
  if (!m.menu) return false;
  if (m.fn.getMenuItems(m.menu.get(), count) != 0) {
    m.menu.reset();
    return false;
  }
  m.menuCount = count;  // the module may change its record meanwhile; the array stays this long
  return true;
}

CheckAnswer ModuleSet::Check(WickpostCheckFn fn) {
  // Fresh, zeroed buffers for every call; the texts are taken no further than the capacity,
  // terminated or not. The code lives in 32 bits so that a wide write stays in host storage.
  wchar_t text[WICKPOST_CHECK_BUFFER] = {};
  wchar_t page[WICKPOST_CHECK_BUFFER] = {};
  uint32_t code = 0;
  CheckAnswer a;
  a.result = fn(text, WICKPOST_CHECK_BUFFER, page, WICKPOST_CHECK_BUFFER, reinterpret_cast<uint16_t*>(&code));
  a.text = TakeText(U(text), WICKPOST_CHECK_BUFFER);
  a.page = TakeText(U(page), WICKPOST_CHECK_BUFFER);
  a.code = static_cast<uint16_t>(code & 0xFFFFu);
  return a;
}

bool ModuleSet::GetInitialMessage(size_t i, std::u16string* paragraph) {
  wchar_t buffer[WICKPOST_INITIAL_MESSAGE_BUFFER] = {};
  if (modules_[i]->fn.getInitialMessage(buffer, WICKPOST_INITIAL_MESSAGE_BUFFER) != 0) return false;
  *paragraph = TakeText(U(buffer), WICKPOST_INITIAL_MESSAGE_BUFFER);
  return true;
}

void ModuleSet::EnableAutoCheck(size_t i, bool enable) {
  if (modules_[i]->fn.enableAutoCheck) modules_[i]->fn.enableAutoCheck(enable ? 1 : 0);
}

PageGeometry ModuleSet::GetPageGeometry(size_t i) {
  const EntryPoints& fn = modules_[i]->fn;
  PageGeometry g;
  int w = 0, h = 0, x = 0, y = 0, timeout = 0;
  if (fn.getPopupSize) fn.getPopupSize(&w, &h);
  if (fn.getPopupOffset) fn.getPopupOffset(&x, &y);
  if (fn.getHTMLTimeout) fn.getHTMLTimeout(&timeout);
  if (w > 0) g.width = w;
  if (h > 0) g.height = h;
  g.offsetX = x;
  g.offsetY = y;
  g.timeoutTicks = timeout > 0 ? static_cast<uint32_t>(timeout) : 0;
  return g;
}

bool ModuleSet::MiniPopupOffset(size_t i, int* dx, int* dy) {
  const WickpostGetPairFn fn = modules_[i]->fn.getMiniPopupOffset;
  if (!fn) return false;
  fn(dx, dy);  // the answer's result is not looked at, as for the page geometry
  return true;
}

void ModuleSet::HTMLOnShow(size_t i) {
  if (modules_[i]->fn.htmlOnShow) modules_[i]->fn.htmlOnShow();
}

void ModuleSet::HTMLOnClose(size_t i) {
  if (modules_[i]->fn.htmlOnClose) modules_[i]->fn.htmlOnClose();
}

bool ModuleSet::AnyEnabled() {
  bool any = false;
  for (size_t i = 0; i < modules_.size(); ++i) any = IsEnabled(i) || any;  // every module is asked
  return any;
}

void ModuleSet::Forward(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  for (const auto& m : modules_)
    if (m->fn.onWndMsg) m->fn.onWndMsg(window, message, wParam, lParam);
}

void ModuleSet::IconMenu(size_t module, int id) {
  if (module < modules_.size() && modules_[module]->fn.iconMenu) modules_[module]->fn.iconMenu(id);
}

bool ModuleSet::HTMLOnClick(size_t module, IHTMLEventObj* eventObject) {
  if (module >= modules_.size() || !modules_[module]->fn.htmlOnClick) return true;
  return modules_[module]->fn.htmlOnClick(eventObject) != 0;
}

std::vector<ModulePage> ModuleSet::SetupPages() {
  std::vector<ModulePage> pages;
  for (const auto& m : modules_) {
    if (!m->fn.getSetupDlg) continue;
    const uint16_t id = m->fn.getSetupDlg();
    if (id && m->fn.setupDlgProc) pages.push_back({m->library(), id, m->fn.setupDlgProc});
  }
  return pages;
}

}  // namespace host
