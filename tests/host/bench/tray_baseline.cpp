// The benchmark's baseline: a hidden window, one tray icon and a message loop, nothing else.
#include <windows.h>
#include <shellapi.h>

#include "tests/host/bench/tray_baseline.h"

static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.lpszClassName = kBaselineClass;
  RegisterClassW(&wc);
  HWND window = CreateWindowW(kBaselineClass, kBaselineClass, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  NOTIFYICONDATAW icon = {};
  icon.cbSize = NOTIFYICONDATAW_V2_SIZE;
  icon.hWnd = window;
  icon.uID = kBaselineIconId;
  icon.uFlags = NIF_ICON | NIF_TIP;
  icon.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  lstrcpyW(icon.szTip, L"Baseline");
  Shell_NotifyIconW(NIM_ADD, &icon);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  Shell_NotifyIconW(NIM_DELETE, &icon);
  return 0;
}
