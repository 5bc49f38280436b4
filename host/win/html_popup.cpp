#include "host/win/html_popup.h"

#include <new>

#include "common/win/com_ptr.h"
#include "resources/host/resource.h"

namespace host {
namespace {
const wchar_t kClassName[] = L"HTMLPopupClass";
constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;

PopupPlacement PlaceInWorkArea(int width, int height, int offsetX, int offsetY) {
  RECT r = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
  return PlacePopup({r.left, r.top, r.right, r.bottom}, width, height, offsetX, offsetY);
}
}  // namespace

CHTMLPopupWindow::~CHTMLPopupWindow() {
  if (window_) DestroyWindow(window_);
  ReleaseBrowser();
}

bool CHTMLPopupWindow::RegisterClass(HINSTANCE instance, HBRUSH background, const wchar_t* title) {
  WNDCLASSEXW wc = {sizeof wc};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_HOST));
  wc.hIconSm = wc.hIcon;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = background ? background : reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kClassName;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  instance_ = instance;
  title_ = title ? title : L"";
  page_ = L"about:blank";
  registered_ = true;
  return true;
}

void CHTMLPopupWindow::SetPage(const wchar_t* path) {
  page_.assign(path ? path : L"");
  if (page_.size() >= kPageCapacity) page_.resize(kPageCapacity - 1);
}

bool CHTMLPopupWindow::Show(HWND owner, int width, int height, int offsetX, int offsetY, uint32_t timeoutMs,
                            UINT clickMessage) {
  if (!registered_) return false;
  StopTimer();
  const PopupPlacement p = PlaceInWorkArea(width, height, offsetX, offsetY);
  if (!window_) {
    timeoutMs_ = timeoutMs;
    window_ = CreateWindowExW(0, kClassName, title_.c_str(), kStyle, p.left, p.top, p.width, p.height, nullptr,
                              nullptr, instance_, this);
    if (!window_) return false;
    ShowWindow(window_, SW_SHOWNORMAL);
    UpdateWindow(window_);
    owner_ = owner;
    clickMessage_ = clickMessage;
    visible_ = true;
    serial_.Next();
    RestartTimer(GetForegroundWindow() == window_);
    return true;
  }
  owner_ = owner;
  clickMessage_ = clickMessage;
  timeoutMs_ = timeoutMs;
  Navigate();
  if (!visible_) {
    SetWindowPos(window_, nullptr, p.left, p.top, p.width, p.height, SWP_NOZORDER | SWP_SHOWWINDOW);
    visible_ = true;
  }
  serial_.Next();
  RestartTimer(GetForegroundWindow() == window_);
  return visible_;
}

bool CHTMLPopupWindow::Hide() {
  if (window_) ShowWindow(window_, SW_HIDE);
  visible_ = false;
  StopTimer();
  return visible_;
}

void CHTMLPopupWindow::BringToFront() {
  if (window_) SetForegroundWindow(window_);
}

bool CHTMLPopupWindow::RequestClose() {
  return window_ && PostMessageW(window_, kCloseRequest, serial_.current(), 0);
}

bool CHTMLPopupWindow::OnDocumentEvent(DISPID dispid, IHTMLEventObj* eventObject) {
  if (!owner_ || !IsWindow(owner_)) return ClickProceeds(false, 0);
  IHTMLEventObj* const outer = sending_;  // a module may pump messages inside its handler
  sending_ = eventObject;
  const LRESULT answer = SendMessageW(owner_, clickMessage_, reinterpret_cast<WPARAM>(eventObject), dispid);
  sending_ = outer;
  return ClickProceeds(true, answer);
}

void CHTMLPopupWindow::StopTimer() {
  if (timer_ && window_) KillTimer(window_, timer_);
  timer_ = 0;
}

void CHTMLPopupWindow::RestartTimer(bool userHere) {
  StopTimer();
  if (window_ && TimeoutRuns(timeoutMs_, visible_, userHere)) timer_ = SetTimer(window_, kTimeoutTimer, timeoutMs_, nullptr);
}

// ---- The browser control

bool CHTMLPopupWindow::CreateBrowser(HWND window) {
  if (!browser_.Create(window, this)) return false;
  SetForegroundWindow(window);
  return SUCCEEDED(Navigate());
}

void CHTMLPopupWindow::ReleaseBrowser() { browser_.Release(); }

HRESULT CHTMLPopupWindow::Navigate() { return browser_.Navigate(page_.c_str()); }

void CHTMLPopupWindow::FitBrowser(HWND window) {
  ComPtr<IOleInPlaceObject> inPlace;
  IOleObject* control = browser_.control();
  if (!control || FAILED(control->QueryInterface(IID_PPV_ARGS(inPlace.out())))) return;
  RECT client = {};
  GetClientRect(window, &client);
  inPlace->SetObjectRects(&client, &client);
}

void CHTMLPopupWindow::PassKey(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  ComPtr<IOleInPlaceActiveObject> active;
  IWebBrowser2* browser = browser_.browser();
  if (!browser || FAILED(browser->QueryInterface(IID_PPV_ARGS(active.out())))) return;
  MSG msg = {window, message, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {}};
  active->TranslateAccelerator(&msg);
}

// ---- The window

LRESULT CALLBACK CHTMLPopupWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE)
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
  auto* self = reinterpret_cast<CHTMLPopupWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  try {
    return self->OnMessage(window, message, wParam, lParam);
  } catch (...) {
    return 0;  // a close runs host and module code: nothing may unwind into the system's dispatcher
  }
}

LRESULT CHTMLPopupWindow::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return CreateBrowser(window) ? 0 : -1;
    case WM_SIZE:
      FitBrowser(window);
      return 0;
    case WM_ACTIVATEAPP:
      RestartTimer(wParam != FALSE);
      return 0;
    case WM_TIMER:
      if (TimerClosesPopup(wParam, timer_, timeoutMs_)) {
        StopTimer();
        PostMessageW(window, kCloseRequest, serial_.current(), 0);
      }
      return 0;
    case WM_KEYDOWN:
      PassKey(window, message, wParam, lParam);
      return 0;
    case kCloseRequest:
      if (serial_.Applies(static_cast<uint32_t>(wParam))) OnClose(window);
      return 0;
    case WM_CLOSE:
      OnClose(window);
      return 0;
    case WM_DESTROY:
      StopTimer();
      ReleaseBrowser();
      visible_ = false;
      owner_ = nullptr;
      window_ = nullptr;
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// Closing hides; the host then closes the page with its module.
void CHTMLPopupWindow::OnClose(HWND window) {
  if (!closeHandler_ || !closeHandler_->PageCurrent()) return;
  ShowWindow(window, SW_HIDE);
  visible_ = false;
  StopTimer();
  closeHandler_->PopupClosed();
}

LRESULT AnswerClickReport(const CHTMLPopupWindow& popup, WPARAM eventObject,
                          const std::function<bool(IHTMLEventObj*)>& module) {
  IHTMLEventObj* const sent = popup.ClickInFlight();
  if (!sent || reinterpret_cast<IHTMLEventObj*>(eventObject) != sent || !module) return ClickReportAnswer(false);
  return ClickReportAnswer(module(sent));
}

}  // namespace host
