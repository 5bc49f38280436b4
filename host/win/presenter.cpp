#include "host/win/presenter.h"

#include "host/module_contract.h"
#include "resources/host/resource.h"

namespace host {
namespace {
const wchar_t kListClass[] = L"MiniPopupClass";
constexpr int kListId = 1, kDismissId = 2;
constexpr int kListWidth = 316, kRowHeight = 22;

const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

template <typename T>
T* Self(HWND window, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE)
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
  return reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

}  // namespace

WinPresenter::WinPresenter(HINSTANCE instance, HWND main, std::wstring caption)
    : instance_(instance), main_(main), caption_(std::move(caption)) {
  const int ids[4] = {IDI_NORMAL, IDI_PENDING, IDI_ALERT, IDI_PENDING2};
  for (int i = 0; i < 4; ++i)
    icons_[i] = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(ids[i]), IMAGE_ICON, 16, 16, LR_SHARED));
  tray_.cbSize = NOTIFYICONDATAW_V2_SIZE;  // understood from XP on
  tray_.hWnd = main;
  tray_.uID = 1;
  tray_.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
  tray_.uCallbackMessage = 0x8000;  // WM_HOST_TRAYICON
  tray_.hIcon = icons_[0];
  const std::u16string tip = Text(HostText::TrayTip);
  lstrcpynW(tray_.szTip, W(tip), ARRAYSIZE(tray_.szTip));
}

WinPresenter::~WinPresenter() {
  if (list_) DestroyWindow(list_);
}

std::u16string WinPresenter::Text(HostText id) { return LoadText(static_cast<UINT>(id)); }

std::u16string WinPresenter::LoadText(UINT id) const {
  wchar_t buffer[1024] = {};
  const int n = LoadStringW(instance_, id, buffer, ARRAYSIZE(buffer));
  return std::u16string(reinterpret_cast<const char16_t*>(buffer), n > 0 ? static_cast<size_t>(n) : 0);
}

bool WinPresenter::RegisterClasses() {
  WNDCLASSEXW wc = {sizeof wc};
  wc.hInstance = instance_;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(IDI_HOST));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpfnWndProc = ListProc;
  wc.lpszClassName = kListClass;
  if (!RegisterClassExW(&wc)) return false;
  popup_.SetCloseHandler(this);
  return popup_.RegisterClass(instance_, nullptr, caption_.c_str());
}

// ---- Tray icon

bool WinPresenter::TrayCall(DWORD action) { return Shell_NotifyIconW(action, &tray_) != FALSE; }

void WinPresenter::AddTray() {
  TrayCall(NIM_DELETE);
  trayAdded_ = TrayCall(NIM_ADD);
  trayAttempts_ = 1;
  // No shell yet: retry once a second, up to 100 attempts, without blocking the thread.
  if (!trayAdded_) SetTimer(main_, kTrayRetryTimer, 1000, nullptr);
}

void WinPresenter::RetryTray() {
  trayAdded_ = TrayCall(NIM_ADD);
  if (trayAdded_ || ++trayAttempts_ >= 100) KillTimer(main_, kTrayRetryTimer);
}

void WinPresenter::DeleteTray() {
  KillTimer(main_, kTrayRetryTimer);
  if (trayAdded_) TrayCall(NIM_DELETE);
  trayAdded_ = false;
}

void WinPresenter::SetTray(TrayIcon icon, const std::u16string& tooltip) {
  const int index = icon == TrayIcon::Normal ? 0 : icon == TrayIcon::Pending ? 1 : icon == TrayIcon::Alert ? 2 : 3;
  tray_.hIcon = icons_[index];
  lstrcpynW(tray_.szTip, W(tooltip), ARRAYSIZE(tray_.szTip));
  if (!trayAdded_) return;
  // A failed change re-adds the icon rather than losing it.
  if (!TrayCall(NIM_MODIFY)) trayAdded_ = TrayCall(NIM_ADD);
}

// ---- The list window

bool WinPresenter::ShowMiniPopup(const NotificationList& list) {
  listSlots_.clear();
  for (size_t i = 0; i < list.size(); ++i)
    if (list.IsFilled(i)) listSlots_.push_back(i);
  if (listSlots_.empty()) return false;
  if (!list_) {
    list_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kListClass, caption_.c_str(),
                            WS_POPUP | WS_BORDER, 0, 0, kListWidth, 100, main_, nullptr, instance_, this);
    if (!list_) return false;
    listBox_ = CreateWindowExW(0, L"LISTBOX", nullptr, WS_CHILD | WS_VISIBLE | LBS_NOTIFY | WS_VSCROLL, 0, 0, 0, 0,
                               list_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), instance_, nullptr);
    const std::u16string dismiss = LoadText(IDS_DISMISS_ALL);
    CreateWindowExW(0, L"BUTTON", W(dismiss), WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 0, 0, list_,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kDismissId)), instance_, nullptr);
  }
  SendMessageW(listBox_, LB_RESETCONTENT, 0, 0);
  // Each line's item data holds its entry's flags, so a warning can be told apart.
  for (size_t slot : listSlots_) {
    const LRESULT row = SendMessageW(listBox_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(list.at(slot).text)));
    if (row >= 0) SendMessageW(listBox_, LB_SETITEMDATA, static_cast<WPARAM>(row), list.at(slot).flags);
  }
  RECT work = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int height = 16 + kRowHeight * static_cast<int>(listSlots_.size()) + 30;
  SetWindowPos(list_, HWND_TOPMOST, work.right - kListWidth, work.bottom - height, kListWidth, height,
               SWP_NOACTIVATE | SWP_SHOWWINDOW);
  return true;
}

void WinPresenter::CloseMiniPopup() {
  if (list_) ShowWindow(list_, SW_HIDE);
}

LRESULT CALLBACK WinPresenter::ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WinPresenter* self = Self<WinPresenter>(window, message, lParam);
  return self ? self->OnList(window, message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT WinPresenter::OnList(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE: {
      const int w = LOWORD(lParam), h = HIWORD(lParam);
      MoveWindow(listBox_, 0, 0, w, h - 28, TRUE);
      MoveWindow(GetDlgItem(window, kDismissId), w - 100, h - 26, 96, 24, TRUE);
      return 0;
    }
    case WM_COMMAND:
      if (!manager_ || manager_->PageSlot()) return 0;  // rows open only while no page is up
      if (LOWORD(wParam) == kDismissId) {
        manager_->DismissAll();
      } else if (LOWORD(wParam) == kListId && HIWORD(wParam) == LBN_DBLCLK) {
        const LRESULT row = SendMessageW(listBox_, LB_GETCURSEL, 0, 0);
        if (row >= 0 && static_cast<size_t>(row) < listSlots_.size()) manager_->Open(listSlots_[row]);
      }
      return 0;
    case WM_CLOSE:
      ShowWindow(window, SW_HIDE);
      if (manager_) manager_->MiniPopupClosed();
      return 0;
    case WM_DESTROY:
      list_ = listBox_ = nullptr;
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
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
