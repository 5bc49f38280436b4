// The product's updater: shows its window (class "WKPTUPDATE", title "WKPTUPDATE_ADMIN"),
// records its start and the hand-off message 0x8000 (wParam: the host's process id), then
// ends. Without a hand-off it ends after five minutes.
#include <windows.h>

#include "sim/updates/sim_record.h"

namespace {
std::wstring g_args;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == 0x8000) {
    SimRecord(L"updater hand-off host " + std::to_wstring(wParam) + L" folder [" + g_args + L"]");
    DestroyWindow(window);
    return 0;
  }
  if (message == WM_TIMER) {
    SimRecord(L"updater gave up waiting");
    DestroyWindow(window);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; ++i) g_args += std::wstring(i > 1 ? L" " : L"") + argv[i];
  WNDCLASSW wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"WKPTUPDATE";
  if (!RegisterClassW(&wc)) return 1;
  HWND window = CreateWindowW(L"WKPTUPDATE", L"WKPTUPDATE_ADMIN", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                              wc.hInstance, nullptr);
  if (!window) return 1;
  SetTimer(window, 1, 5 * 60 * 1000, nullptr);
  SimRecord(L"updater started [" + g_args + L"]");
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}
