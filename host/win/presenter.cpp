#include "host/win/presenter.h"

#include "host/module_contract.h"
#include "resources/host/resource.h"

namespace host {
namespace {

const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

}  // namespace

WinPresenter::WinPresenter(HINSTANCE instance, HWND main, std::wstring caption, DWORD majorVersion)
    : instance_(instance),
      main_(main),
      caption_(std::move(caption)),
      tray_(main, 0x8000 /* WM_HOST_TRAYICON */, majorVersion),
      mini_(instance, main, caption_) {
  const int ids[4] = {IDI_NORMAL, IDI_PENDING, IDI_ALERT, IDI_PENDING2};
  for (int i = 0; i < 4; ++i)
    icons_[i] = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(ids[i]), IMAGE_ICON, 16, 16, LR_SHARED));
  tray_.Set(icons_[0], W(Text(HostText::TrayTip)));
}

WinPresenter::~WinPresenter() = default;

std::u16string WinPresenter::Text(HostText id) { return LoadText(static_cast<UINT>(id)); }

std::u16string WinPresenter::LoadText(UINT id) const {
  wchar_t buffer[1024] = {};
  const int n = LoadStringW(instance_, id, buffer, ARRAYSIZE(buffer));
  return std::u16string(reinterpret_cast<const char16_t*>(buffer), n > 0 ? static_cast<size_t>(n) : 0);
}

bool WinPresenter::RegisterClasses() {
  if (!mini_.Register()) return false;
  popup_.SetCloseHandler(this);
  return popup_.RegisterClass(instance_, nullptr, caption_.c_str());
}

// ---- Tray icon

// A shell that is not up yet is tried again once a second from a timer, up to 100 times,
// so the thread goes on serving its messages meanwhile.
void WinPresenter::AddTray() {
  tray_.Delete();
  trayAdded_ = tray_.Add();
  trayAttempts_ = 1;
  if (trayAdded_)
    KillTimer(main_, kTrayRetryTimer);
  else
    StartTrayRetry();
}

void WinPresenter::StartTrayRetry() { SetTimer(main_, kTrayRetryTimer, 1000, nullptr); }

void WinPresenter::RetryTray() {
  tray_.Delete();
  trayAdded_ = tray_.Add();
  if (trayAdded_ || ++trayAttempts_ >= kTrayAttempts) KillTimer(main_, kTrayRetryTimer);
}

void WinPresenter::DeleteTray() {
  KillTimer(main_, kTrayRetryTimer);
  if (trayAdded_) tray_.Delete();
  trayAdded_ = false;
}

void WinPresenter::SetTray(TrayIcon icon, const std::u16string& tooltip) {
  const int index = icon == TrayIcon::Normal ? 0 : icon == TrayIcon::Pending ? 1 : icon == TrayIcon::Alert ? 2 : 3;
  tray_.Set(icons_[index], W(tooltip));
  if (!trayAdded_) return;  // a retry under way adds the icon as it is now
  if (tray_.Modify()) return;
  // The shell lost the icon: add it again, and keep trying from the timer if that fails.
  trayAdded_ = tray_.Add();
  if (!trayAdded_) {
    trayAttempts_ = 1;
    StartTrayRetry();
  }
}

// ---- Mini popup and toasts

bool WinPresenter::ShowMiniPopup(const NotificationList& list, int dx, int dy) { return mini_.Show(list, dx, dy); }

void WinPresenter::CloseMiniPopup() { mini_.Close(); }

void WinPresenter::RaiseToast(int kind) {
  if (!toasts_) return;
  std::u16string text = LoadText(kind == 0 ? IDS_TOAST_NEW : IDS_TOAST_NOW);
  if (text.size() > 259) text.resize(259);  // the bridge's 260-character buffer
  toasts_->Raise(main_, caption_, W(text));
}

// ---- The page popup

bool WinPresenter::ShowPage(const std::u16string& path, const PageGeometry& g, uint32_t timeoutMs) {
  popup_.SetPage(W(path));
  return popup_.Show(main_, g.width, g.height, g.offsetX, g.offsetY, timeoutMs, WM_HOST_POPUPCLICK);
}

void WinPresenter::HidePage() { popup_.Hide(); }

void WinPresenter::BringPageToFront() { popup_.BringToFront(); }

// ---- Questions and answers

bool WinPresenter::ForegroundFillsScreen() {
  HWND fg = GetForegroundWindow();
  if (!fg || fg == GetDesktopWindow() || fg == GetShellWindow()) return false;
  wchar_t cls[64] = {}, title[64] = {};
  GetClassNameW(fg, cls, ARRAYSIZE(cls));
  GetWindowTextW(fg, title, ARRAYSIZE(title));
  if (!lstrcmpW(cls, L"Progman") && !lstrcmpW(title, L"Program Manager")) return false;
  RECT r = {};
  GetWindowRect(fg, &r);
  return r.left == 0 && r.top == 0 && r.right == GetSystemMetrics(SM_CXSCREEN) &&
         r.bottom == GetSystemMetrics(SM_CYSCREEN);
}

void WinPresenter::ShowNoNotifications() {
  const std::u16string text = Text(HostText::NoNotifications);
  MessageBoxW(main_, W(text), caption_.c_str(), MB_OK | MB_ICONINFORMATION);
}

FirstRunAnswer WinPresenter::AskFirstRun(const std::u16string& text) {
  SetForegroundWindow(main_);
  switch (MessageBoxW(main_, W(text), caption_.c_str(), MB_YESNOCANCEL | MB_ICONINFORMATION)) {
    case IDYES: return FirstRunAnswer::Yes;
    case IDNO: return FirstRunAnswer::No;
    default: return FirstRunAnswer::Cancel;
  }
}

}  // namespace host
