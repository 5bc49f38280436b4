// Runs the real Wickpost.exe in a folder of its own, with probe modules beside it.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/user/host_windows.h"
#include "tests/common/win/win_test_support.h"

namespace hosttest {

std::wstring Widen(const std::string& s);

// A probe with "timers=1" logs every timer message of the host's window; the host's clock
// ticks carry this id, so these lines count the ticks the host has been through.
constexpr char kClockTick[] = " Timer 54504B57";

// A fresh folder holding a copy of the host; removed at the end.
class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const std::wstring& dir() const { return dir_; }
  std::wstring exe() const { return dir_ + L"\\Wickpost.exe"; }
  // Places `dll` (a probe build) under the module name and writes its [probe] settings.
  void AddModule(const wchar_t* name, const std::string& settings, const char* dll = PROBE_DLL);
  void WriteFile(const wchar_t* name, const std::string& contents) const;
  std::string Log() const;  // calls.log
  // Waits until calls.log holds `needle` at least `count` times.
  bool WaitForLog(const std::string& needle, int count = 1, DWORD timeoutMs = 15000) const;
  // Waits until the host has been through `ticks` more clock ticks (a probe with "timers=1"
  // counts them). What was posted to the host before the call has been handled by then: a
  // timer message comes only once no posted message is waiting.
  bool WaitForTicks(int ticks, DWORD timeoutMs = 30000) const;

 private:
  std::wstring dir_;
};

int CountOf(const std::string& text, const std::string& needle);

class HostProcess {
 public:
  // Started in the sandbox's folder, or in `workingDir` when one is given.
  HostProcess(const Sandbox& sandbox, const std::wstring& arguments = L"", const std::wstring& workingDir = L"");
  ~HostProcess();
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  DWORD pid() const { return pi_.dwProcessId; }
  // The process's top-level window of this class (and title, if given), once visible.
  HWND WaitWindow(const wchar_t* cls, const wchar_t* title = nullptr, DWORD timeoutMs = 15000, bool visible = true) const;
  HWND Main() const { return WaitWindow(L"WICKPOST", L"Tellwick", 15000, false); }
  void Post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  // The exit code, or kStillRunning when it did not end in time (it is then killed).
  int Wait(DWORD timeoutMs = 15000);
  bool Running() const { return WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }
  static constexpr int kStillRunning = 0x7FFF0000;

 private:
  PROCESS_INFORMATION pi_ = {};
};

// Whether the process has `dll` (a file name, any case) loaded now.
bool HasLoaded(DWORD pid, const wchar_t* dll);

// A message box's text, and answering it.
std::wstring BoxText(HWND box);
void Answer(HWND box, int id);
bool IsShown(HWND window);

// The screen under `area`, top-down, as 32-bit BGRX pixels.
std::vector<DWORD> CaptureScreen(const RECT& area);
// Waits until at least half of the window's area on screen shows its background colour: the
// window has been drawn.
bool WaitPainted(HWND window, COLORREF background, DWORD timeoutMs = 10000);

// The mini popup's rows as drawn on screen: the ink of each row's text. Red marks a warning,
// dark blue an ordinary line, None an empty row.
enum class Ink { None, Blue, Red };
constexpr COLORREF kMiniPopupBackground = RGB(0xF4, 0xF8, 0xFD);
std::vector<Ink> MiniPopupRows(HWND mini);
// The host's mini popup once it shows, with the ink of each row.
struct MiniPopupView {
  HWND window = nullptr;
  std::vector<Ink> rows;
};
MiniPopupView WaitMiniPopup(const HostProcess& host, DWORD timeoutMs = 20000);
// The mini popup's height, and its height once it is `height` or when `timeoutMs` runs out:
// lines from several modules may come on different ticks, and a dismissed line leaves late.
int MiniPopupHeight(HWND mini);
int WaitMiniPopupHeight(HWND mini, int height, DWORD timeoutMs = 5000);
// A click on row `row` of the mini popup, as the user's button release.
using simuser::ClickMiniPopupRow;

// The host as most Wine tests run it: Windows 7 for Wickpost.exe (no toast bridge, no
// newer-release question), a 50 ms clock and the first-run question answered.
class QuickHost : public ::testing::Test {
 protected:
  QuickHost();
  void SetRelease(const wchar_t* release) { appDefaults_.SetString(L"Version", release); }

  wintest::ScopedKey appDefaults_;
  wintest::ScopedKey settings_;
  Sandbox box_;
};

}  // namespace hosttest
