// Idle cost of Wickpost against a tray-only baseline, under Wine: private memory, CPU per
// idle clock tick and the time from process start until the tray icon exists. Prints the
// figures and the ratios.
//
//   host_bench [--smoke] [--product]
//     --smoke: one run with a short idle window, to show it still works
//     --product: the host in its own folder with the seven delivered modules (the sim build,
//                on the notebook the environment names), at the normal one-second clock;
//                otherwise all eight slots hold do-nothing modules on a 50 ms clock
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "host/win/tray_icon.h"
#include "tests/host/bench/tray_baseline.h"

namespace {
const wchar_t* const kNames[] = {L"wkpthdd", L"wkptrss", L"wkptreg", L"wkptbat", L"wkptrcvr", L"wkpthdmi", L"wkptanm", L"wkptxwpk"};
constexpr DWORD kFastClockMs = 50;
constexpr DWORD kProductClockMs = 1000;
constexpr DWORD kIdleMs = 5000;
constexpr DWORD kSmokeIdleMs = 1000;
constexpr int kRuns = 5;
constexpr DWORD kStartTimeoutMs = 20000;

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
  std::wstring modules;  // the slot modules loaded once idle, by name
};

// Which of the host's slot modules `process` has loaded: a module whose start-up failed is
// unloaded again, and would make the figures look lighter than the product is.
std::wstring LoadedSlots(HANDLE process) {
  HMODULE loaded[512];
  DWORD bytes = 0;
  std::wstring names;
  if (!EnumProcessModules(process, loaded, sizeof loaded, &bytes)) return L"(cannot list)";
  for (DWORD i = 0; i < std::min<DWORD>(bytes / sizeof(HMODULE), 512); ++i) {
    wchar_t name[MAX_PATH] = {};
    if (!GetModuleBaseNameW(process, loaded[i], name, MAX_PATH)) continue;
    for (const wchar_t* slot : kNames)
      if (!lstrcmpiW(name, (std::wstring(slot) + L".dll").c_str())) names += (names.empty() ? L"" : L" ") + std::wstring(slot);
  }
  return names;
}

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

// The icon exists once the shell accepts a change to it. Each program names its own id:
// the host's comes from its header, so the two cannot drift apart again.
bool IconExists(HWND window, UINT id) {
  NOTIFYICONDATAW probe = {};
  probe.cbSize = NOTIFYICONDATAW_V2_SIZE;
  probe.hWnd = window;
  probe.uID = id;
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

struct Program {
  const wchar_t* exeName;
  const wchar_t* windowClass;
  UINT iconId;
};

// One start of `program` from `dir`: the time to its tray icon, then, once it waits for input,
// its CPU over `idleMs` and its private commit. Fills `error` when the program does not get there.
Sample Measure(const Program& program, const std::wstring& dir, DWORD idleMs, DWORD clockMs, std::string& error) {
  Sample s;
  const std::wstring exe = dir + L"\\" + program.exeName;
  std::wstring line = L"\"" + exe + L"\"";
  STARTUPINFOW si = {sizeof si};
  PROCESS_INFORMATION pi = {};
  const double t0 = Now();
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi)) {
    error = "cannot start the program (error " + std::to_string(GetLastError()) + ")";
    return s;
  }
  HWND window = nullptr;
  while (Now() - t0 < kStartTimeoutMs) {
    if (!window) window = FindOf(program.windowClass, pi.dwProcessId);
    if (window && IconExists(window, program.iconId)) {
      s.startMs = Now() - t0;
      break;
    }
    if (WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0) break;  // it ended before its icon
  }
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(pi.hProcess, &code);
  if (s.startMs < 0) {
    error = code != STILL_ACTIVE ? "it ended with code " + std::to_string(code) + " before its tray icon"
            : window              ? "no tray icon seen within the time-out (window found)"
                                  : "no tray icon seen within the time-out (no window either)";
  } else if (WaitForInputIdle(pi.hProcess, kStartTimeoutMs) != 0) {
    // Start-up is over once the program waits in its message loop with nothing queued.
    error = "it never became idle after its tray icon";
    s.startMs = -1;
  } else {
    const double cpu0 = LinuxCpuUs(program.exeName);
    // The measuring window itself: idle time is what is measured.
    Sleep(idleMs);
    s.cpuUs = (LinuxCpuUs(program.exeName) - cpu0) / (idleMs / clockMs);
    PROCESS_MEMORY_COUNTERS_EX pmc = {sizeof pmc};
    GetProcessMemoryInfo(pi.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc);
    s.privateKb = pmc.PagefileUsage / 1024.0;  // the private commit; Wine leaves PrivateUsage at 0
    s.modules = LoadedSlots(pi.hProcess);
  }
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

int main(int argc, char** argv) {
  bool smoke = false, product = false, bad = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--smoke") smoke = true;
    else if (arg == "--product") product = true;
    else bad = true;
  }
  if (bad) {
    std::printf("usage: host_bench [--smoke] [--product]\n");
    return 2;
  }
  const int runs = smoke ? 1 : kRuns;
  const DWORD idleMs = smoke ? kSmokeIdleMs : kIdleMs;
  const DWORD clockMs = product ? kProductClockMs : kFastClockMs;
  // A second host would only show its "already running" box.
  if (FindWindowW(L"WICKPOST", nullptr)) {
    std::printf("a Wickpost is running already: end it first\n");
    return 1;
  }
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring dir = std::wstring(temp) + L"wkpt-bench";
  CreateDirectoryW(dir.c_str(), nullptr);
  CopyFileW(WinePath(BASELINE_EXE).c_str(), (dir + L"\\tray_baseline.exe").c_str(), FALSE);
  std::wstring hostDir = dir;
  if (product) {
    // The delivered set as built: the host beside its modules, their pages and helpers.
    hostDir = WinePath(HOST_EXE);
    hostDir.resize(hostDir.find_last_of(L'\\'));
  } else {
    CopyFileW(WinePath(HOST_EXE).c_str(), (dir + L"\\Wickpost.exe").c_str(), FALSE);
    for (const wchar_t* name : kNames) CopyFileW(WinePath(IDLE_DLL).c_str(), (dir + L"\\" + name + L".dll").c_str(), FALSE);
  }
  // Windows 7 for the host (no toast bridge here), the clock, the first-run question answered.
  HKEY h = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\Wickpost.exe", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr);
  RegSetValueExW(h, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"win2008r2"), 20);
  RegCloseKey(h);
  SetDword(HKEY_CURRENT_USER, L"Software\\Velmorant\\WICKPOST", L"ClockSpeed", clockMs);
  SetDword(HKEY_CURRENT_USER, L"Software\\Velmorant\\WICKPOST", L"InitialDlgShown", 1);

  const Program programs[2] = {{L"tray_baseline.exe", kBaselineClass, kBaselineIconId},
                               {L"Wickpost.exe", L"WICKPOST", host::CNotifyIcon::kId}};
  const std::wstring dirs[2] = {dir, hostDir};
  std::vector<double> start[2], memory[2], cpu[2];
  std::wstring slots;
  for (int run = 0; run < runs; ++run) {
    for (int i = 0; i < 2; ++i) {
      std::string error;
      const Sample s = Measure(programs[i], dirs[i], idleMs, clockMs, error);
      if (!error.empty()) {
        std::printf("run %d, %ls: %s\n", run + 1, programs[i].exeName, error.c_str());
        return 1;
      }
      start[i].push_back(s.startMs);
      memory[i].push_back(s.privateKb);
      cpu[i].push_back(s.cpuUs);
      if (i == 1) slots = s.modules;
    }
  }
  std::printf("%s of %d run%s, %s build, clock %lu ms, idle window %lu ms, %s\n", runs > 1 ? "medians" : "smoke run: figures",
              runs, runs > 1 ? "s" : "", sizeof(void*) == 8 ? "64-bit" : "32-bit", clockMs, idleMs,
              product ? "the delivered modules" : "8 idle modules");
  std::printf("modules loaded: %ls\n", slots.empty() ? L"none" : slots.c_str());
  std::printf("%-28s %12s %12s %8s\n", "", "baseline", "Wickpost", "ratio");
  std::printf("%-28s %12.0f %12.0f %8.2f\n", "private commit (KiB)", Median(memory[0]), Median(memory[1]), Median(memory[1]) / Median(memory[0]));
  std::printf("%-28s %12.1f %12.1f %8.2f\n", "start to tray icon (ms)", Median(start[0]), Median(start[1]), Median(start[1]) / Median(start[0]));
  std::printf("%-28s %12.1f %12.1f\n", "CPU per idle tick (us)", Median(cpu[0]), Median(cpu[1]));
  return 0;
}
