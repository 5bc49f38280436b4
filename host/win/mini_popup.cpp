#include "host/win/mini_popup.h"

#include <windowsx.h>

#include "host/core/mini_popup_layout.h"
#include "resources/host/resource.h"

namespace host {
namespace {
const wchar_t kClass[] = L"MiniPopupClass";
constexpr COLORREF kBackground = RGB(0xF4, 0xF8, 0xFD);

Desktop ReadDesktop() {
  Desktop d;
  RECT r = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
  d.work = {r.left, r.top, r.right, r.bottom};
  d.screenHeight = GetSystemMetrics(SM_CYSCREEN);
  // A tray window of no size (Wine without a taskbar) tells nothing about where the taskbar is.
  if (HWND bar = FindWindowW(L"Shell_TrayWnd", nullptr); bar && GetWindowRect(bar, &r) && !IsRectEmpty(&r))
    d.taskbar = Box{r.left, r.top, r.right, r.bottom};
  HWND lang = FindWindowW(L"CiceroUIWndFrame", L"TF_FloatingLangBar_WndTitle");
  if (lang && IsWindowVisible(lang) && GetWindowRect(lang, &r)) d.langBar = Box{r.left, r.top, r.right, r.bottom};
  return d;
}
}  // namespace

MiniPopup::MiniPopup(HINSTANCE instance, HWND owner, std::wstring caption)
    : instance_(instance), owner_(owner), caption_(std::move(caption)) {
  const MiniFont f = MiniPopupFont(GetUserDefaultUILanguage());
  font_.reset(CreateFontW(f.Height(), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, PROOF_QUALITY, 16, reinterpret_cast<const wchar_t*>(f.face.c_str())));
  background_.reset(CreateSolidBrush(kBackground));
  for (int id = IDB_MINI_BOTTOM; id <= IDB_MINI_LEFT; ++id)
    bitmaps_.emplace_back(id, GdiHandle<HBITMAP>(LoadBitmapW(instance, MAKEINTRESOURCEW(id))));
}

MiniPopup::~MiniPopup() {
  closing_ = true;
  if (window_) DestroyWindow(window_);
}

bool MiniPopup::Register() {
  WNDCLASSEXW wc = {sizeof wc};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance_;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kClass;
  registered_ = RegisterClassExW(&wc) != 0;
  return registered_;
}

bool MiniPopup::Show(const NotificationList& list, int dx, int dy) {
  const std::vector<size_t> slots = ListedSlots(list);
  if (!registered_ || slots.empty()) return false;
  rows_.clear();
  for (size_t slot : slots) {
    const Notification& n = list.at(slot);
    rows_.push_back({slot, std::wstring(n.text.begin(), n.text.end()), (n.flags & kFlagWarning) != 0});
  }
  const int height = MiniPopupHeight(rows_.size());
  const MiniPlacement at = PlaceMiniPopup(ReadDesktop(), rows_.size(), dx, dy);
  if (window_) {
    MoveWindow(window_, at.x, at.y, kMiniWidth, height, TRUE);
    InvalidateRect(window_, nullptr, TRUE);
  } else {
    window_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_NOPARENTNOTIFY, kClass, caption_.c_str(),
                              WS_POPUP, at.x, at.y, kMiniWidth, height, owner_, nullptr, instance_, this);
    if (!window_) return false;
    // Appearing on its own, it must not take the keyboard from what the user is doing.
    ShowWindow(window_, SW_SHOWNOACTIVATE);
  }
  UpdateWindow(window_);
  return true;
}

void MiniPopup::Close() {
  if (!window_) return;
  closing_ = true;
  SendMessageW(window_, WM_CLOSE, 0, 0);
  closing_ = false;
}

LRESULT CALLBACK MiniPopup::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE)
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
  auto* self = reinterpret_cast<MiniPopup*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  try {
    return self->OnMessage(window, message, wParam, lParam);
  } catch (...) {
    return 0;  // a click runs module code: nothing may unwind into the system's dispatcher
  }
}

bool MiniPopup::CursorInside(HWND window) const {
  POINT p = {};
  RECT r = {};
  GetCursorPos(&p);
  GetWindowRect(window, &r);
  return p.x >= r.left && p.x <= r.right && p.y >= r.top && p.y <= r.bottom;
}

LRESULT MiniPopup::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SHOWWINDOW:
      if (wParam) {
        inside_ = CursorInside(window);
        if (inside_) SetTimer(window, kMiniTimer, 100, nullptr);
        SetTimer(window, kDrawTimer, 500, nullptr);
      }
      break;
    case WM_TIMER:
      KillTimer(window, wParam);
      if (wParam == kMiniTimer) {
        if (!CursorInside(window))
          inside_ = false;
        else
          SetTimer(window, kMiniTimer, 100, nullptr);
      } else if (wParam == kDrawTimer) {
        InvalidateRect(window, nullptr, TRUE);
      }
      return 0;
    case WM_MOUSEMOVE:
      // A popup that came up under the resting cursor still hides; one the user reached for stays.
      if (!inside_ && manager_) manager_->KeepMiniPopup();
      return 0;
    case WM_SETCURSOR: {
      POINT p = {};
      GetCursorPos(&p);
      ScreenToClient(window, &p);
      const bool hot = HitTestMiniPopup(p.x, p.y, rows_.size()).kind != MiniHit::Nothing;
      SetCursor(LoadCursorW(nullptr, hot ? IDC_HAND : IDC_ARROW));
      return TRUE;
    }
    case WM_LBUTTONUP:
      Click(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_DISPLAYCHANGE:
      if (manager_ && manager_->MiniPopupShown()) manager_->DisplayChanged();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers every pixel
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_SIZE:
      SetRegion(window, HIWORD(lParam));
      return 0;
    case WM_CLOSE:
      window_ = nullptr;
      break;  // the default destroys it
    case WM_DESTROY:
      KillTimer(window, kMiniTimer);
      KillTimer(window, kDrawTimer);
      if (window_ == window) window_ = nullptr;
      if (!closing_ && manager_) manager_->MiniPopupClosed();
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// The window may be gone when the manager returns: nothing of it is touched after the call.
void MiniPopup::Click(int x, int y) {
  if (!manager_ || manager_->PageSlot() || !manager_->MiniPopupShown()) return;
  const MiniHit hit = HitTestMiniPopup(x, y, rows_.size());
  if (hit.kind == MiniHit::CloseBox) {
    manager_->DismissAll();
  } else if (hit.kind == MiniHit::Row) {
    manager_->Open(rows_[hit.row].slot);
  } else {
    return;
  }
  manager_->UpdateTray();
}

void MiniPopup::SetRegion(HWND window, int height) const {
  HRGN region = CreateRectRgn(0, 0, kMiniWidth, height);
  for (const auto& corner : MiniPopupCorners(height)) {
    const POINT points[3] = {{corner[0].x, corner[0].y}, {corner[1].x, corner[1].y}, {corner[2].x, corner[2].y}};
    HRGN cut = CreatePolygonRgn(points, 3, ALTERNATE);
    CombineRgn(region, region, cut, RGN_XOR);
    DeleteObject(cut);
  }
  if (!SetWindowRgn(window, region, TRUE)) DeleteObject(region);  // kept by the window on success
}

void MiniPopup::Paint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT client = {};
  GetClientRect(window, &client);
  // Drawn off screen first, so the late repaint does not flicker.
  HDC canvas = CreateCompatibleDC(dc);
  GdiHandle<HBITMAP> surface(CreateCompatibleBitmap(dc, client.right, client.bottom));
  HGDIOBJ oldSurface = SelectObject(canvas, surface.get());
  FillRect(canvas, &client, background_.get());
  HDC source = CreateCompatibleDC(dc);
  for (const FramePiece& piece : MiniPopupFrame(rows_.size())) {
    HBITMAP bitmap = bitmaps_[piece.bitmap - IDB_MINI_BOTTOM].second.get();
    BITMAP info = {};
    if (!bitmap || !GetObjectW(bitmap, sizeof info, &info)) continue;
    HGDIOBJ old = SelectObject(source, bitmap);
    BitBlt(canvas, piece.x, piece.y, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
  }
  DeleteDC(source);
  HGDIOBJ oldFont = SelectObject(canvas, font_.get());
  SetBkMode(canvas, TRANSPARENT);
  for (size_t i = 0; i < rows_.size(); ++i) {
    const Box b = MiniPopupTextBox(i);
    RECT r = {b.left, b.top, b.right, b.bottom};
    SetTextColor(canvas, rows_[i].warning ? RGB(0xFF, 0, 0) : RGB(0, 0, 0x84));
    DrawTextW(canvas, rows_[i].text.c_str(), static_cast<int>(rows_[i].text.size()), &r,
              DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
  }
  SelectObject(canvas, oldFont);
  BitBlt(dc, 0, 0, client.right, client.bottom, canvas, 0, 0, SRCCOPY);
  SelectObject(canvas, oldSurface);
  DeleteDC(canvas);
  EndPaint(window, &ps);
}

}  // namespace host
