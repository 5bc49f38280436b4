// Idle cost of Wickpost against a tray-only baseline, under Wine: private memory, CPU per
// idle clock tick with all eight slots filled by do-nothing modules, and the time from
// process start until the tray icon exists. Prints the figures and the ratios.
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {
const wchar_t* const kNames[] = {L"wkpthdd", L"wkptrss", L"wkptreg", L"wkptbat", L"wkptrcvr", L"wkpthdmi", L"wkptanm", L"wkptxwpk"};
constexpr DWORD kClockMs = 50;
constexpr DWORD kIdleMs = 5000;
constexpr int kRuns = 5;

std::wstring WinePath(const char* unixPath) {
  std::wstring out = L"Z:";
  for (const char* p = unixPath; *p; ++p) out.push_back(*p == '/' ? L'\\' : static_cast<wchar_t>(*p));
  return out;
}

void SetDword(HKEY root, const wchar_t* key, const wchar_t* name, DWORD value) {
  HKEY h = nullptr;
  if (RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr) != ERROR_SUCCESS) return;
  RegSetValueExW(h, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(h);
}

struct Sample {
  double startMs = -1, privateKb = 0, cpuUs = 0;
};

double Now() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return 1000.0 * c.QuadPart / f.QuadPart;
}

HWND FindOf(const wchar_t* cls, DWORD pid) {
  for (HWND w = FindWindowExW(nullptr, nullptr, cls, nullptr); w; w = FindWindowExW(nullptr, w, cls, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == pid) return w;
  }
  return nullptr;
}

// The icon exists once the shell accepts a change to it.
bool IconExists(HWND window) {
  NOTIFYICONDATAW probe = {};
  probe.cbSize = NOTIFYICONDATAW_V2_SIZE;
  probe.hWnd = window;
  probe.uID = 1;
  return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

std::string ReadFileText(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return {};
  char buffer[4096];
  DWORD got = 0;
  ReadFile(f, buffer, sizeof buffer - 1, &got, nullptr);
  CloseHandle(f);
  return std::string(buffer, got);
}

// Wine reports no CPU times for other processes; the Linux process behind it has them.
// Finds the process whose command line names `exe` and answers its user + system time in
// microseconds (0 when not found).
double LinuxCpuUs(const wchar_t* exe) {
  WIN32_FIND_DATAW d;
  HANDLE find = FindFirstFileW(L"Z:\\proc\\*", &d);
  if (find == INVALID_HANDLE_VALUE) return 0;
  char narrow[64] = {};
  WideCharToMultiByte(CP_ACP, 0, exe, -1, narrow, sizeof narrow, nullptr, nullptr);
  double us = 0;
  do {
    if (d.cFileName[0] < L'0' || d.cFileName[0] > L'9') continue;
    const std::wstring dir = std::wstring(L"Z:\\proc\\") + d.cFileName;
    if (ReadFileText(dir + L"\\cmdline").find(narrow) == std::string::npos) continue;
    const std::string stat = ReadFileText(dir + L"\\stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    unsigned long long utime = 0, stime = 0;
    // Fields after the name: state(3) ... utime(14) stime(15).
    std::sscanf(stat.c_str() + close + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime);
    us = (utime + stime) * 10000.0;  // USER_HZ 100
    break;
  } while (FindNextFileW(find, &d));
  FindClose(find);
  return us;
}

Sample Measure(const std::wstring& exe, const wchar_t* exeName, const std::wstring& dir, const wchar_t* cls) {
  Sample s;
  std::wstring line = L"\"" + exe + L"\"";
  STARTUPINFOW si = {sizeof si};
  PROCESS_INFORMATION pi = {};
  const double t0 = Now();
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi)) return s;
  HWND window = nullptr;
  while (Now() - t0 < 20000) {
    if (!window) window = FindOf(cls, pi.dwProcessId);
    if (window && IconExists(window)) {
      s.startMs = Now() - t0;
      break;
    }
    Sleep(1);
  }
  Sleep(1000);  // settle
  const double cpu0 = LinuxCpuUs(exeName);
  Sleep(kIdleMs);
  s.cpuUs = (LinuxCpuUs(exeName) - cpu0) / (kIdleMs / kClockMs);
  PROCESS_MEMORY_COUNTERS_EX pmc = {sizeof pmc};
  GetProcessMemoryInfo(pi.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc);
  s.privateKb = pmc.PagefileUsage / 1024.0;  // the private commit; Wine leaves PrivateUsage at 0
  if (window) PostMessageW(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(pi.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return s;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}
}  // namespace

int main() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring dir = std::wstring(temp) + L"wkpt-bench";
  CreateDirectoryW(dir.c_str(), nullptr);
  CopyFileW(WinePath(HOST_EXE).c_str(), (dir + L"\\Wickpost.exe").c_str(), FALSE);
  CopyFileW(WinePath(BASELINE_EXE).c_str(), (dir + L"\\tray_baseline.exe").c_str(), FALSE);
  for (const wchar_t* name : kNames) CopyFileW(WinePath(IDLE_DLL).c_str(), (dir + L"\\" + name + L".dll").c_str(), FALSE);
  // Windows 7 for the host (no toast bridge here), a 50 ms clock, the first-run question answered.
  HKEY h = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\Wickpost.exe", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr);
  RegSetValueExW(h, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"win2008r2"), 20);
  RegCloseKey(h);
  SetDword(HKEY_CURRENT_USER, L"Software\\Velmorant\\WICKPOST", L"ClockSpeed", kClockMs);
  SetDword(HKEY_CURRENT_USER, L"Software\\Velmorant\\WICKPOST", L"InitialDlgShown", 1);

  std::vector<double> start[2], memory[2], cpu[2];
  for (int run = 0; run < kRuns; ++run) {
    const Sample b = Measure(dir + L"\\tray_baseline.exe", L"tray_baseline.exe", dir, L"TrayBaseline");
    const Sample w = Measure(dir + L"\\Wickpost.exe", L"Wickpost.exe", dir, L"WICKPOST");
    if (b.startMs < 0 || w.startMs < 0) {
      std::printf("run %d: no tray icon seen (baseline %.0f ms, host %.0f ms)\n", run, b.startMs, w.startMs);
      return 1;
    }
    const Sample* s[2] = {&b, &w};
    for (int i = 0; i < 2; ++i) {
      start[i].push_back(s[i]->startMs);
      memory[i].push_back(s[i]->privateKb);
      cpu[i].push_back(s[i]->cpuUs);
    }
  }
  std::printf("medians of %d runs, %s build, clock %lu ms, 8 idle modules\n", kRuns, sizeof(void*) == 8 ? "64-bit" : "32-bit", kClockMs);
  std::printf("%-28s %12s %12s %8s\n", "", "baseline", "Wickpost", "ratio");
  std::printf("%-28s %12.0f %12.0f %8.2f\n", "private commit (KiB)", Median(memory[0]), Median(memory[1]), Median(memory[1]) / Median(memory[0]));
  std::printf("%-28s %12.1f %12.1f %8.2f\n", "start to tray icon (ms)", Median(start[0]), Median(start[1]), Median(start[1]) / Median(start[0]));
  std::printf("%-28s %12.1f %12.1f\n", "CPU per idle tick (us)", Median(cpu[0]), Median(cpu[1]));
  return 0;
}
