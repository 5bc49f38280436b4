// Wickpost: the resident host. Start-up, the hidden main window and the message loop.
#include <windows.h>
#include <objbase.h>
#include <wtsapi32.h>

#include <memory>
#include <string>

#include "common/core/misccommon.h"
#include "common/win/audit.h"
#include "common/win/authority.h"
#include "common/win/reg.h"
#include "common/win/system_library.h"
#include "common/win/winversion.h"
#include "host/core/command_line.h"
#include "host/core/general_page_rules.h"
#include "host/core/popup_rules.h"
#include "host/win/about_box.h"
#include "host/win/module_host.h"
#include "host/win/presenter.h"
#include "host/win/settings_sheet.h"
#include "host/win/settings_store.h"
#include "common/win/unique_handle.h"
#include "resources/host/resource.h"

namespace host {
namespace {
constexpr UINT_PTR kClockTimer = 0x54504B57;  // "WKPT"
constexpr int kExitFailure = -1;
const wchar_t kMutexName[] = L"VelmorantTellwickMutex";
constexpr unsigned kAuditBothPhases = 3;

const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

// This thread's single-threaded apartment: the page popup's browser control and the modules
// need it. Left only when it was joined.
class ComApartment {
 public:
  ComApartment() = default;
  ~ComApartment() { Leave(); }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  // False when the thread is in another apartment already (RPC_E_CHANGED_MODE) or COM
  // cannot start; S_FALSE, this apartment joined before, counts as joined.
  bool Join() {
    joined_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    return joined_;
  }
  void Leave() {
    if (joined_) CoUninitialize();
    joined_ = false;
  }

 private:
  bool joined_ = false;
};

#ifdef TELLWICK_TEST_HOOKS
// Test switch of the simulated build: TELLWICK_TEST_COM=mta puts this thread into the
// multithreaded apartment first, as a library started before the host could have done.
void TakeApartmentForTest() {
  wchar_t value[8] = {};
  if (GetEnvironmentVariableW(L"TELLWICK_TEST_COM", value, 8) && !lstrcmpW(value, L"mta"))
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
}
#endif

class HostApp {
 public:
  explicit HostApp(HINSTANCE instance) : instance_(instance) {}
  int Run(const std::u16string& arguments);

 private:
  static LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(UINT id);
  void OnTick();
  void OnTrayIcon(WPARAM id, LPARAM event);
  void OnToastActivated(WPARAM how, LPARAM toast);
  LRESULT OnPopupClick(WPARAM eventObject);
  void ShowTrayMenu();
  void OpenSettings();
  void StartClock();
  void Save();
  bool LoadPopcard();
  bool CreateMainWindow();
  void HandOffKey(const MSG& msg);
  std::wstring LoadText(UINT id) const;
  std::u16string LoadText16(UINT id) const;
  int Shutdown(int code);

  HINSTANCE instance_;
  std::wstring caption_, className_;
  std::vector<std::u16string> autoHideChoices_;
  HWND main_ = nullptr;
  UINT taskbarCreated_ = 0;
  bool settingsOnly_ = false, settingsOpen_ = false, aboutOpen_ = false;
  ComApartment com_;
  UniqueHandle mutex_;
  std::unique_ptr<ToastBridge> toasts_;
  RegistrySettingsStore store_;
  HostSettings settings_;
  MenuTable menu_;
  std::unique_ptr<MiscCommon::CMiscCommon> driver_;
  ModuleSet modules_;
  std::unique_ptr<WinPresenter> presenter_;
  std::unique_ptr<ModuleManager> manager_;
};

std::wstring HostApp::LoadText(UINT id) const {
  wchar_t buffer[512] = {};
  const int n = LoadStringW(instance_, id, buffer, ARRAYSIZE(buffer));
  return std::wstring(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

std::u16string HostApp::LoadText16(UINT id) const {
  const std::wstring text = LoadText(id);
  return std::u16string(text.begin(), text.end());
}

int HostApp::Run(const std::u16string& arguments) {
  CWinVersion version;
  caption_ = LoadText(IDS_CAPTION);
  className_ = LoadText(IDS_CLASS);

  if (!version.ConfirmUnsupportedOs(nullptr, LoadText(IDS_FUTURE_OS).c_str(), caption_.c_str())) return 0;
  const WORD os = version.GetOsType();
  const bool toasts = os == WINVER_8 || os == WINVER_81 || os == WINVER_FUTURE;
  if (toasts && !LoadPopcard()) return 0;

  CAuthority authority;
  const CommandLine cl = ParseCommandLine(arguments, authority.HasAdministratorRights());
  if (cl.configuration) {
    CReg reg;
    for (const MachineWrite& w : cl.writes) reg.WriteDword(HKEY_LOCAL_MACHINE, W(w.subKey), W(w.name), w.value);
    return Shutdown(0);
  }
  if (cl.setting) {
    if (HWND resident = FindWindowW(className_.c_str(), caption_.c_str())) {
      PostMessageW(resident, WM_COMMAND, IDM_SETTINGS, 0);
      return Shutdown(0);
    }
    settingsOnly_ = true;
  }

  mutex_.reset(CreateMutexW(nullptr, FALSE, kMutexName));
  const DWORD created = GetLastError();
  if (!mutex_ || created == ERROR_ALREADY_EXISTS) {
    MessageBoxW(nullptr, LoadText(IDS_ALREADY_RUNNING).c_str(), caption_.c_str(), MB_OK);
    return Shutdown(0);
  }
  if (CAudit().IsAuditMode(kAuditBothPhases)) return Shutdown(0);

  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathW(MAX_PATH - 16, temp);
  if (n > 0 && n < MAX_PATH - 16) DeleteFileW((std::wstring(temp) + L"wkptupdate.exe").c_str());

  if (!CreateMainWindow()) return Shutdown(kExitFailure);
  autoHideChoices_ = AutoHideChoices(LoadText16(IDS_NEVER), LoadText16(IDS_MIN), LoadText16(IDS_MINS));
#ifdef TELLWICK_TEST_HOOKS
  TakeApartmentForTest();
#endif
  if (!com_.Join()) return Shutdown(kExitFailure);

  driver_ = std::make_unique<MiscCommon::CMiscCommon>();
  if (driver_->Open() != 0) {
    MessageBoxW(nullptr, LoadText(IDS_NO_DRIVER).c_str(), caption_.c_str(), MB_OK | MB_ICONERROR);
    return Shutdown(kExitFailure);
  }

  presenter_ = std::make_unique<WinPresenter>(instance_, main_, caption_, version.GetVersionInfo().dwMajorVersion);
  presenter_->SetToasts(toasts_.get());
  presenter_->SetSaver([](void* self) { static_cast<HostApp*>(self)->Save(); }, this);
  modules_.Load(main_, driver_.get(), caption_.c_str(), &menu_);
  if (modules_.Count() == 0) return Shutdown(kExitFailure);
  manager_ = std::make_unique<ModuleManager>(modules_, *presenter_, settings_);
  presenter_->Attach(manager_.get());

  const bool anyEnabled = modules_.AnyEnabled();
  if (!anyEnabled && cl.startup) return Shutdown(0);
  settings_ = ReadHostSettings(store_);

  if (!settingsOnly_) {
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    presenter_->AddTray();
    if (!presenter_->RegisterClasses()) return Shutdown(kExitFailure);
    StartClock();
  }
  if (!anyEnabled || settingsOnly_) SendMessageW(main_, WM_COMMAND, IDM_SETTINGS, 0);

  MSG msg = {};
  int code = 0;
  for (;;) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      code = static_cast<int>(msg.wParam);
      break;
    }
    if (got == -1) break;
    HandOffKey(msg);
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return Shutdown(code);
}

// Keys typed into the page's browser reach the popup first, except the ones the browser
// itself moves with.
void HostApp::HandOffKey(const MSG& msg) {
  if (!HandsOffKey(msg.message, msg.wParam)) return;
  HWND page = presenter_ ? presenter_->PageWindow() : nullptr;
  wchar_t cls[64] = {};
  if (page && GetClassNameW(msg.hwnd, cls, ARRAYSIZE(cls)) && !lstrcmpW(cls, L"Internet Explorer_Server"))
    SendMessageW(page, msg.message, msg.wParam, msg.lParam);
}

// The window goes first, so that every module sees WM_DESTROY through WickpostOnWndMsg while
// it is still loaded; the libraries are unloaded after that, the driver client last.
int HostApp::Shutdown(int code) {
  if (main_ && IsWindow(main_)) DestroyWindow(main_);
  main_ = nullptr;
  manager_.reset();
  presenter_.reset();
  toasts_.reset();
  modules_.UnloadAll();
  driver_.reset();
  com_.Leave();
  mutex_.reset();
  return code;
}

bool HostApp::LoadPopcard() {
  toasts_ = std::make_unique<ToastBridge>();
  if (toasts_->Load()) return true;
  toasts_.reset();
  return false;
}

bool HostApp::CreateMainWindow() {
  WNDCLASSEXW wc = {sizeof wc};
  wc.lpfnWndProc = MainProc;
  wc.hInstance = instance_;
  wc.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(IDI_HOST));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszMenuName = MAKEINTRESOURCEW(IDR_MAINMENU);
  wc.lpszClassName = className_.c_str();
  if (!RegisterClassExW(&wc)) return false;
  main_ = CreateWindowExW(0, className_.c_str(), caption_.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance_, this);
  return main_ != nullptr;
}

void HostApp::StartClock() { SetTimer(main_, kClockTimer, ClockPeriodMs(settings_.clockSpeed), nullptr); }

void HostApp::Save() { SaveHostSettings(store_, settings_, CAudit().IsAuditMode(kAuditBothPhases)); }

LRESULT CALLBACK HostApp::MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE)
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
  auto* self = reinterpret_cast<HostApp*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  try {
    return self->OnMessage(window, message, wParam, lParam);
  } catch (...) {
    return 0;  // nothing may unwind into the system's dispatcher
  }
}

LRESULT HostApp::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  modules_.Forward(window, message, wParam, lParam);
  if (taskbarCreated_ && message == taskbarCreated_) {
    if (presenter_) presenter_->AddTray();
    return 0;
  }
  switch (message) {
    case WM_CREATE:
      // The common controls load with the settings sheet: at rest the host needs none.
      WTSRegisterSessionNotification(window, NOTIFY_FOR_THIS_SESSION);
      return 0;
    case WM_CLOSE:
      WTSUnRegisterSessionNotification(window);
      break;
    case WM_DESTROY:
      if (presenter_) presenter_->DeleteTray();
      Save();
      PostQuitMessage(0);
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam));
      return 0;
    case WM_TIMER:
      if (wParam == kClockTimer) OnTick();
      if (wParam == WinPresenter::kTrayRetryTimer && presenter_) presenter_->RetryTray();
      return 0;
    case WM_HOST_TRAYICON:
      OnTrayIcon(wParam, lParam);
      return 0;
    case WM_HOST_POPUPCLICK:
      return OnPopupClick(wParam);
    case WM_HOST_CHECKMODULE:
      if (manager_ && !settingsOnly_) manager_->CheckModule(wParam);
      return 0;
    case WM_HOST_PAUSE:
      if (manager_) manager_->SetPaused(wParam != 0);
      return 0;
    case WM_HOST_CLOSEPOPUP:
      if (manager_ && manager_->PageSlot()) presenter_->RequestPageClose();
      return 0;
    case WM_HOST_TOASTACTIVATED:
      OnToastActivated(wParam, lParam);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void HostApp::OnTick() {
  if (!manager_) return;
  KillTimer(main_, kClockTimer);
  manager_->Tick();
  if (main_) StartClock();  // with the ClockSpeed of now
}

void HostApp::OnCommand(UINT id) {
  if (const MenuEntry* entry = menu_.Lookup(id)) {
    modules_.IconMenu(entry->module, entry->id);
    return;
  }
  switch (id) {
    case IDM_EXIT:
      DestroyWindow(main_);
      break;
    case IDM_SETTINGS:
      OpenSettings();
      break;
    case IDM_CHECKNOW:
      if (manager_ && !settingsOnly_) manager_->CheckNow();
      break;
    case IDM_ABOUT:
      if (aboutOpen_) {
        MessageBeep(0);
        break;
      }
      aboutOpen_ = true;
      ShowAboutBox(instance_, main_, caption_);
      aboutOpen_ = false;
      break;
  }
}

// When the sheet closes, settings-only mode or no module switched on ends the host.
void HostApp::OpenSettings() {
  if (settingsOpen_) {
    MessageBeep(0);
    return;
  }
  settingsOpen_ = true;
  const SettingsSheet sheet{instance_, main_, &settings_, [](void* self) { static_cast<HostApp*>(self)->Save(); },
                            this, autoHideChoices_};
  ShowSettingsSheet(sheet, modules_.SetupPages());
  settingsOpen_ = false;
  if (settingsOnly_ || !modules_.AnyEnabled()) PostMessageW(main_, WM_CLOSE, 0, 0);
}

void HostApp::OnTrayIcon(WPARAM id, LPARAM event) {
  if (!manager_ || id != CNotifyIcon::kId) return;
  if ((event == WM_LBUTTONUP && !manager_->TrayActivated()) || event == WM_RBUTTONUP) ShowTrayMenu();
}

// lParam names a toast object: only one this host raised and has not disposed is touched,
// so a message posted by anyone else can neither free memory nor open anything.
void HostApp::OnToastActivated(WPARAM how, LPARAM toast) {
  if (!toasts_ || !toasts_->Release(toast)) return;
  if (how == 1 && manager_) manager_->TrayActivated();
}

void HostApp::ShowTrayMenu() {
  HMENU menu = LoadMenuW(instance_, MAKEINTRESOURCEW(IDR_TRAYMENU));
  if (!menu) return;
  HMENU popup = GetSubMenu(menu, 0);
  const auto& entries = menu_.entries();
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].IsSeparator())
      InsertMenuW(popup, 0, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    else
      InsertMenuW(popup, 0, MF_BYPOSITION | MF_STRING, MenuTable::kFirstCommand + i, W(entries[i].text));
  }
  DrawMenuBar(main_);
  POINT at = {};
  GetCursorPos(&at);
  if (manager_->PageSlot()) presenter_->BringPageToFront();
  SetForegroundWindow(main_);
  TrackPopupMenu(popup, TPM_BOTTOMALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, main_, nullptr);
  PostMessageW(main_, WM_NULL, 0, 0);
  DestroyMenu(menu);
}

// The module of the page on screen decides; a report that our popup is not sending right
// now (a post from elsewhere, a stale pointer) is cancelled without reaching any module.
LRESULT HostApp::OnPopupClick(WPARAM eventObject) {
  if (!manager_ || !presenter_) return ClickReportAnswer(false);
  const std::optional<size_t> slot = manager_->PageSlot();
  if (!slot) return AnswerClickReport(presenter_->popup(), eventObject, nullptr);
  return AnswerClickReport(presenter_->popup(), eventObject,
                           [this, slot](IHTMLEventObj* e) { return modules_.HTMLOnClick(*slot, e); });
}

}  // namespace
}  // namespace host

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // Libraries looked up by name (the system's own) are never taken from the current folder
  // (XP SP1 and later; the headers of the oldest release do not declare it).
  TW_SYSTEM_FUNCTION_TYPED(L"kernel32.dll", SetDllDirectoryW, BOOL(WINAPI*)(LPCWSTR))(L"");
  const std::u16string arguments = host::ArgumentsOf(reinterpret_cast<const char16_t*>(GetCommandLineW()));
  host::HostApp app(instance);
  return app.Run(arguments);
}
