#include "host/win/presenter.h"

#include <algorithm>
#include <memory>

#include "resources/host/resource.h"

namespace host {
namespace {
const wchar_t kPageClass[] = L"HTMLPopupClass";
constexpr UINT_PTR kPageTimer = 0x49545048;  // "HPTI"
constexpr DWORD kMaxPageBytes = 64 * 1024;

const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

template <typename T>
T* Self(HWND window, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE)
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
  return reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// The page file as text, for the plain page window: UTF-8 when it decodes, else the ANSI code page.
std::wstring ReadPage(const std::u16string& path) {
  std::wstring shown = W(path);
  HANDLE file = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return shown;
  std::unique_ptr<char[]> bytes(new char[kMaxPageBytes]);
  DWORD got = 0;
  const BOOL ok = ReadFile(file, bytes.get(), kMaxPageBytes, &got, nullptr);
  CloseHandle(file);
  if (!ok || !got) return shown;
  UINT codePage = CP_UTF8;
  int chars = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.get(), static_cast<int>(got), nullptr, 0);
  if (chars <= 0) {
    codePage = CP_ACP;
    chars = MultiByteToWideChar(codePage, 0, bytes.get(), static_cast<int>(got), nullptr, 0);
  }
  std::wstring text(static_cast<size_t>(chars > 0 ? chars : 0), L'\0');
  if (chars > 0) MultiByteToWideChar(codePage, 0, bytes.get(), static_cast<int>(got), &text[0], chars);
  return shown + L"\r\n\r\n" + text;
}
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

WinPresenter::~WinPresenter() {
  if (page_) DestroyWindow(page_);
}

std::u16string WinPresenter::Text(HostText id) { return LoadText(static_cast<UINT>(id)); }

std::u16string WinPresenter::LoadText(UINT id) const {
  wchar_t buffer[1024] = {};
  const int n = LoadStringW(instance_, id, buffer, ARRAYSIZE(buffer));
  return std::u16string(reinterpret_cast<const char16_t*>(buffer), n > 0 ? static_cast<size_t>(n) : 0);
}

bool WinPresenter::RegisterClasses() {
  if (!mini_.Register()) return false;
  WNDCLASSEXW wc = {sizeof wc};
  wc.hInstance = instance_;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(IDI_HOST));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = PageProc;
  wc.lpszClassName = kPageClass;
  return RegisterClassExW(&wc) != 0;
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

// ---- The page window

bool WinPresenter::ShowPage(const std::u16string& path, const PageGeometry& g, uint32_t timeoutMs) {
  RECT work = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int left = std::max<int>(0, work.right - g.width - g.offsetX);
  const int top = std::max<int>(0, work.bottom - g.height - g.offsetY);
  if (!page_) {
    page_ = CreateWindowExW(0, kPageClass, caption_.c_str(), WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX,
                            left, top, g.width, g.height, nullptr, nullptr, instance_, this);
    if (!page_) return false;
    pageText_ = CreateWindowExW(0, L"EDIT", nullptr,
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, 0,
                                0, 0, page_, nullptr, instance_, nullptr);
  }
  SetWindowTextW(pageText_, ReadPage(path).c_str());
  pageTimeoutMs_ = timeoutMs;
  SetWindowPos(page_, HWND_TOP, left, top, g.width, g.height, SWP_SHOWWINDOW);
  SetForegroundWindow(page_);
  StartPageTimer();
  return IsWindowVisible(page_) != FALSE;
}

// The timeout counts only while the user is elsewhere.
void WinPresenter::StartPageTimer() {
  KillTimer(page_, kPageTimer);
  if (pageTimeoutMs_ && GetForegroundWindow() != page_) SetTimer(page_, kPageTimer, pageTimeoutMs_, nullptr);
}

void WinPresenter::HidePage() {
  if (!page_) return;
  KillTimer(page_, kPageTimer);
  ShowWindow(page_, SW_HIDE);
}

void WinPresenter::BringPageToFront() {
  if (page_) SetForegroundWindow(page_);
}

LRESULT CALLBACK WinPresenter::PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WinPresenter* self = Self<WinPresenter>(window, message, lParam);
  return self ? self->OnPage(window, message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT WinPresenter::OnPage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      MoveWindow(pageText_, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
    case WM_ACTIVATEAPP:
      KillTimer(window, kPageTimer);
      if (!wParam && pageTimeoutMs_) SetTimer(window, kPageTimer, pageTimeoutMs_, nullptr);
      return 0;
    case WM_TIMER:
      if (wParam == kPageTimer) PostMessageW(window, WM_CLOSE, 0, 0);
      return 0;
    case WM_CLOSE:
      // Closing only hides; the next page reuses the window. Without a page on screen a
      // close request is ignored.
      if (!manager_ || !manager_->PageSlot()) return 0;
      HidePage();
      manager_->PageClosed();
      return 0;
    case WM_DESTROY:
      page_ = pageText_ = nullptr;
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

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
