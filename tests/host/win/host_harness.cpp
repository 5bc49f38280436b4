#include "tests/host/win/host_harness.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <vector>

#include "tests/common/win/win_test_support.h"

namespace hosttest {

using wintest::ReadAll;
using wintest::WinePath;

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

namespace {
// A host left running by an earlier test holds the single-instance mutex and would turn the
// next one away with a message box.
void WaitForNoHost(DWORD timeoutMs) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(50)) {
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, L"VelmorantTellwickMutex");
    if (!mutex) return;
    CloseHandle(mutex);
  }
}

struct Listing {
  DWORD pid;
  std::wstring text;
};

// Each visible top-level window of the process with its class, title and static text.
BOOL CALLBACK ListWindow(HWND window, LPARAM context) {
  auto* l = reinterpret_cast<Listing*>(context);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != l->pid || !IsWindowVisible(window)) return TRUE;
  wchar_t cls[128] = {}, title[256] = {}, body[512] = {};
  GetClassNameW(window, cls, 128);
  GetWindowTextW(window, title, 256);
  GetDlgItemTextW(window, 0xFFFF, body, 512);
  l->text += std::wstring(L"  ") + cls + L" \"" + title + L"\" " + body + L"\n";
  return TRUE;
}

}  // namespace

int CountOf(const std::string& text, const std::string& needle) {
  int n = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}

Sandbox::Sandbox() {
  static int serial = 0;
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  WaitForNoHost(20000);
  dir_ = std::wstring(temp) + L"wkpt-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++serial);
  CreateDirectoryW(dir_.c_str(), nullptr);
  CopyFileW(WinePath(HOST_EXE).c_str(), exe().c_str(), FALSE);
}

Sandbox::~Sandbox() {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((dir_ + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      DeleteFileW((dir_ + L"\\" + data.cFileName).c_str());
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(dir_.c_str());
}

void Sandbox::AddModule(const wchar_t* name, const std::string& settings, const char* dll) {
  CopyFileW(WinePath(dll).c_str(), (dir_ + L"\\" + name + L".dll").c_str(), FALSE);
  WriteFile((std::wstring(name) + L".ini").c_str(), "[probe]\r\n" + settings);
}

void Sandbox::WriteFile(const wchar_t* name, const std::string& contents) const {
  std::ofstream((dir_ + L"\\" + name).c_str(), std::ios::binary) << contents;
}

std::string Sandbox::Log() const { return ReadAll(dir_ + L"\\calls.log"); }

bool Sandbox::WaitForLog(const std::string& needle, int count, DWORD timeoutMs) const {
  for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(20))
    if (CountOf(Log(), needle) >= count) return true;
  return false;
}

bool Sandbox::WaitForTicks(int ticks, DWORD timeoutMs) const {
  // One more: the tick being handled now may have been logged before the last post.
  return WaitForLog(kClockTick, CountOf(Log(), kClockTick) + ticks + 1, timeoutMs);
}

HostProcess::HostProcess(const Sandbox& sandbox, const std::wstring& arguments, const std::wstring& workingDir) {
  std::wstring command = L"\"" + sandbox.exe() + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
  std::vector<wchar_t> line(command.begin(), command.end());
  line.push_back(0);
  STARTUPINFOW si = {sizeof si};
  const std::wstring& cwd = workingDir.empty() ? sandbox.dir() : workingDir;
  CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, cwd.c_str(), &si, &pi_);
}

HostProcess::~HostProcess() {
  if (!pi_.hProcess) return;
  if (Running()) {
    if (::testing::Test::HasFailure()) {
      Listing l{pi_.dwProcessId, {}};
      EnumWindows(ListWindow, reinterpret_cast<LPARAM>(&l));
      std::wcout << L"The host was still running, with these windows:\n" << l.text << std::flush;
    }
    if (HWND main = WaitWindow(L"WICKPOST", L"Tellwick", 0, false)) PostMessageW(main, WM_COMMAND, 105, 0);
    if (WaitForSingleObject(pi_.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(pi_.hProcess, 1);
  }
  CloseHandle(pi_.hProcess);
  CloseHandle(pi_.hThread);
}

HWND HostProcess::WaitWindow(const wchar_t* cls, const wchar_t* title, DWORD timeoutMs, bool visible) const {
  return simuser::WaitProcessWindow(pi_.dwProcessId, cls, title, timeoutMs, visible);
}

void HostProcess::Post(UINT message, WPARAM wParam, LPARAM lParam) const {
  PostMessageW(Main(), message, wParam, lParam);
}

int HostProcess::Wait(DWORD timeoutMs) {
  if (!pi_.hProcess) return -3;
  if (WaitForSingleObject(pi_.hProcess, timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(pi_.hProcess, 1);
    return kStillRunning;
  }
  DWORD code = 0;
  GetExitCodeProcess(pi_.hProcess, &code);
  return static_cast<int>(code);
}

bool HasLoaded(DWORD pid, const wchar_t* dll) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  MODULEENTRY32W entry = {sizeof entry};
  bool found = false;
  for (BOOL more = Module32FirstW(snapshot, &entry); more && !found; more = Module32NextW(snapshot, &entry))
    found = !lstrcmpiW(entry.szModule, dll);
  CloseHandle(snapshot);
  return found;
}

std::wstring BoxText(HWND box) {
  wchar_t text[4096] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 4096);
  return text;
}

void Answer(HWND box, int id) { PostMessageW(box, WM_COMMAND, id, 0); }

bool IsShown(HWND window) { return window && IsWindowVisible(window); }

std::vector<DWORD> CaptureScreen(const RECT& area) {
  const int w = area.right - area.left, h = area.bottom - area.top;
  std::vector<DWORD> pixels(static_cast<size_t>(w) * h);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(dc, bitmap);
  BitBlt(dc, 0, 0, w, h, screen, area.left, area.top, SRCCOPY);
  SelectObject(dc, old);
  BITMAPINFOHEADER info = {sizeof info, w, -h, 1, 32, BI_RGB};
  GetDIBits(dc, bitmap, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return pixels;
}

bool WaitPainted(HWND window, COLORREF background, DWORD timeoutMs) {
  const DWORD pixel = GetRValue(background) << 16 | GetGValue(background) << 8 | GetBValue(background);  // as BGRX
  for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(20)) {
    RECT r = {};
    if (!GetWindowRect(window, &r) || r.right <= r.left || r.bottom <= r.top) return false;
    const std::vector<DWORD> pixels = CaptureScreen(r);
    size_t shown = 0;
    for (DWORD p : pixels) shown += (p & 0xFFFFFF) == pixel;
    if (shown * 2 >= pixels.size()) return true;
  }
  return false;
}

std::vector<Ink> MiniPopupRows(HWND mini) {
  RECT r = {};
  const size_t rows = simuser::MiniPopupRowCount(mini);
  if (!rows || !GetWindowRect(mini, &r)) return {};
  const int w = r.right - r.left;
  if (w < host::MiniPopupTextBox(0).right) return {};
  // Drawn off screen and put on screen at once: with the background there, the rows are too.
  if (!WaitPainted(mini, kMiniPopupBackground)) return {};
  const std::vector<DWORD> pixels = CaptureScreen(r);
  std::vector<Ink> ink;
  for (size_t row = 0; row < rows; ++row) {
    const host::Box text = host::MiniPopupTextBox(row);
    int red = 0, blue = 0;
    for (int y = text.top; y < text.bottom; ++y)
      for (int x = text.left; x < text.right; ++x) {
        const DWORD bgr = pixels[static_cast<size_t>(y) * w + x] & 0xFFFFFF;
        red += bgr == 0xFF0000;   // RGB(255, 0, 0) as BGRX
        blue += bgr == 0x000084;  // RGB(0, 0, 0x84)
      }
    ink.push_back(red > blue && red > 2 ? Ink::Red : blue > 2 ? Ink::Blue : Ink::None);
  }
  return ink;
}

MiniPopupView WaitMiniPopup(const HostProcess& host, DWORD timeoutMs) {
  MiniPopupView view;
  view.window = host.WaitWindow(L"MiniPopupClass", nullptr, timeoutMs);
  view.rows = MiniPopupRows(view.window);
  return view;
}

int MiniPopupHeight(HWND mini) {
  RECT r = {};
  return GetWindowRect(mini, &r) ? static_cast<int>(r.bottom - r.top) : 0;
}

int WaitMiniPopupHeight(HWND mini, int height, DWORD timeoutMs) {
  for (DWORD start = GetTickCount(); MiniPopupHeight(mini) != height && GetTickCount() - start < timeoutMs;) Sleep(20);
  return MiniPopupHeight(mini);
}

QuickHost::QuickHost()
    : appDefaults_(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\Wickpost.exe"),
      settings_(HKEY_CURRENT_USER, L"Software\\Velmorant\\WICKPOST") {
  SetRelease(L"win2008r2");
  settings_.SetDword(L"ClockSpeed", 50);
  settings_.SetDword(L"InitialDlgShown", 1);
}

}  // namespace hosttest
