#include "tests/host/win/fake_shell_tray.h"

#include <cstring>

namespace hosttest {
namespace {
// What Wine's shell32 sends the tray with WM_COPYDATA: the fields of NOTIFYICONDATAW in a
// fixed layout, then the icon's bits.
struct NotifyData {
  LONG window;
  UINT id;
  UINT flags;
  UINT callback;
  WCHAR tip[128];
};
FakeShellTray* g_tray = nullptr;
}  // namespace

FakeShellTray::FakeShellTray(RECT place) {
  g_tray = this;
  thread_ = std::thread([this, place] { Run(place); });
  while (!window_.load()) Sleep(5);
}

FakeShellTray::~FakeShellTray() {
  PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
  thread_.join();
  g_tray = nullptr;
}

void FakeShellTray::Run(RECT place) {
  threadId_ = GetCurrentThreadId();
  WNDCLASSW wc = {};
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"Shell_TrayWnd";
  RegisterClassW(&wc);
  HWND w = CreateWindowExW(0, L"Shell_TrayWnd", L"", WS_POPUP, place.left, place.top, place.right - place.left,
                           place.bottom - place.top, nullptr, nullptr, wc.hInstance, nullptr);
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  window_ = w;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  DestroyWindow(w);
  UnregisterClassW(L"Shell_TrayWnd", wc.hInstance);
}

LRESULT CALLBACK FakeShellTray::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_COPYDATA || !g_tray) return DefWindowProcW(window, message, wParam, lParam);
  const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
  if (cds->cbData < sizeof(NotifyData)) return FALSE;
  NotifyData d;
  std::memcpy(&d, cds->lpData, sizeof d);
  TrayCall call{static_cast<DWORD>(cds->dwData), d.id, d.callback, d.tip, 5381};
  const auto* bytes = static_cast<const unsigned char*>(cds->lpData);
  for (DWORD i = sizeof d; i < cds->cbData; ++i) call.iconHash = call.iconHash * 33 + bytes[i];
  std::lock_guard<std::mutex> lock(g_tray->mutex_);
  g_tray->calls_.push_back(call);
  int& failures = g_tray->failures_[call.action < 3 ? call.action : 0];
  if (failures > 0) {
    --failures;
    return FALSE;
  }
  return TRUE;
}

void FakeShellTray::Fail(DWORD action, int count) {
  std::lock_guard<std::mutex> lock(mutex_);
  failures_[action] = count;
}

std::vector<TrayCall> FakeShellTray::Calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

bool FakeShellTray::WaitFor(DWORD action, const std::wstring& tip, DWORD timeoutMs) const {
  for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(20))
    for (const TrayCall& c : Calls())
      if (c.action == action && c.tip == tip) return true;
  return false;
}

}  // namespace hosttest
