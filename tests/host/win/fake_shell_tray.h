// A stand-in for the shell's notification area in the test process: a "Shell_TrayWnd" window
// on its own thread that takes the host's Shell_NotifyIcon calls, records them, and answers
// with failure when told to.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace hosttest {

struct TrayCall {
  DWORD action;  // NIM_ADD, NIM_MODIFY, NIM_DELETE
  UINT id;
  UINT callback;
  std::wstring tip;
  unsigned long iconHash;  // tells the icon images apart
};

class FakeShellTray {
 public:
  // Off screen below by default: the mini popup then places itself as for a bottom taskbar.
  explicit FakeShellTray(RECT place = {0, 10000, 10, 10010});
  ~FakeShellTray();
  FakeShellTray(const FakeShellTray&) = delete;
  FakeShellTray& operator=(const FakeShellTray&) = delete;

  // The next `count` calls of this action answer failure.
  void Fail(DWORD action, int count);
  std::vector<TrayCall> Calls() const;
  bool WaitFor(DWORD action, const std::wstring& tip, DWORD timeoutMs = 10000) const;
  HWND window() const { return window_; }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Run(RECT place);

  std::thread thread_;
  std::atomic<HWND> window_{nullptr};
  std::atomic<DWORD> threadId_{0};
  mutable std::mutex mutex_;
  std::vector<TrayCall> calls_;
  int failures_[3] = {};
};

}  // namespace hosttest
