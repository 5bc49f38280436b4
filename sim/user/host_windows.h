// The host's windows as the user at the desktop finds and clicks them: shared by the tray
// stand-in (tray_command) and the Wine tests that drive the real host. Header only, so that
// each program using it links nothing more.
#pragma once
#include <windows.h>

#include <cstddef>

#include "host/core/mini_popup_layout.h"

namespace simuser {

namespace detail {
struct Search {
  DWORD pid;
  const wchar_t* cls;
  const wchar_t* title;
  bool visible;
  HWND found;
};

inline BOOL CALLBACK Match(HWND window, LPARAM context) {
  auto* s = reinterpret_cast<Search*>(context);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  wchar_t cls[128] = {}, title[256] = {};
  GetClassNameW(window, cls, 128);
  GetWindowTextW(window, title, 256);
  if (pid == s->pid && !lstrcmpW(cls, s->cls) && (!s->title || !lstrcmpW(title, s->title)) &&
      (!s->visible || IsWindowVisible(window))) {
    s->found = window;
    return FALSE;
  }
  return TRUE;
}
}  // namespace detail

// A top-level window of process `pid` of class `cls` (and title, when given); with `visible`,
// only one on screen. Null when there is none.
inline HWND FindProcessWindow(DWORD pid, const wchar_t* cls, const wchar_t* title = nullptr, bool visible = true) {
  detail::Search s{pid, cls, title, visible, nullptr};
  EnumWindows(detail::Match, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

// Waits up to `timeoutMs` until `done` holds; false when it never did.
template <typename Done>
bool WaitFor(Done done, DWORD timeoutMs) {
  for (const DWORD start = GetTickCount(); !done(); Sleep(20))
    if (GetTickCount() - start >= timeoutMs) return false;
  return true;
}

// The same, once it is there, or null when `timeoutMs` runs out.
inline HWND WaitProcessWindow(DWORD pid, const wchar_t* cls, const wchar_t* title, DWORD timeoutMs,
                              bool visible = true) {
  HWND found = nullptr;
  WaitFor([&] { return (found = FindProcessWindow(pid, cls, title, visible)) != nullptr; }, timeoutMs);
  return found;
}

// The number of rows of the mini popup, told by its height; 0 when the window is gone.
inline size_t MiniPopupRowCount(HWND mini) {
  RECT r = {};
  if (!mini || !GetWindowRect(mini, &r)) return 0;
  const int height = r.bottom - r.top;
  return height > host::MiniPopupHeight(0) ? static_cast<size_t>(height - host::MiniPopupHeight(0)) / host::kMiniRowPitch
                                           : 0;
}

// A click on row `row` of the mini popup, as the user's button release over its text. False
// when the window is gone.
inline bool ClickMiniPopupRow(HWND mini, size_t row) {
  const host::Box text = host::MiniPopupTextBox(row);
  return PostMessageW(mini, WM_LBUTTONUP, 0, MAKELPARAM(100, (text.top + text.bottom) / 2)) != FALSE;
}

}  // namespace simuser
