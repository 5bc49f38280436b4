// Stands in for the user at the tray menu: posts one of the host's menu commands to the
// running Wickpost ("checknow", "settings", "exit"), opens the About box and prints its
// product line ("about"), or prints the running host's program file ("running"). For the
// scripts that watch the host, "usage" prints its private commit in KiB, handle count and GDI
// and USER object counts ("n/a" where the system does not tell). Exit status 0 when the host (and for "about"
// its box) was found.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "host/module_contract.h"
#include "resources/host/resource.h"

namespace {

HWND WaitHost() {
  for (int i = 0; i < 100; ++i, Sleep(100))  // the host may still be starting
    if (HWND host = FindWindowW(L"WICKPOST", nullptr)) return host;
  return nullptr;
}

// The About box of the host's process, once it is there.
HWND WaitAboutBox(HWND host) {
  DWORD hostPid = 0;
  GetWindowThreadProcessId(host, &hostPid);
  for (int i = 0; i < 100; ++i, Sleep(100)) {
    for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); w;
         w = FindWindowExW(nullptr, w, L"#32770", nullptr)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      if (pid == hostPid && GetDlgItem(w, IDC_PRODUCT)) return w;
    }
  }
  return nullptr;
}

int About(HWND host) {
  if (!PostMessageW(host, WM_COMMAND, IDM_ABOUT, 0)) return 1;
  const HWND box = WaitAboutBox(host);
  if (!box) return 1;
  wchar_t line[256] = {};
  GetDlgItemTextW(box, IDC_PRODUCT, line, 256);
  char utf8[768] = {};
  WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, sizeof utf8, nullptr, nullptr);
  std::printf("%s\n", utf8);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  return 0;
}

DWORD HostPid(HWND host) {
  DWORD pid = 0;
  GetWindowThreadProcessId(host, &pid);
  return pid;
}

int Running(HWND host) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, HostPid(host));
  if (!process) return 1;
  wchar_t path[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  const BOOL ok = QueryFullProcessImageNameW(process, 0, path, &size);
  CloseHandle(process);
  if (!ok) return 1;
  char utf8[3 * MAX_PATH] = {};
  WideCharToMultiByte(CP_UTF8, 0, path, -1, utf8, sizeof utf8, nullptr, nullptr);
  std::printf("%s\n", utf8);
  return 0;
}

// The handles of `pid` from the system's handle table, where the process's own count is not
// told (Wine answers 0 for another process). False when the table cannot be read.
bool CountHandlesInTable(DWORD pid, DWORD* count) {
  struct Entry {
    USHORT process, creatorBackTrace;
    UCHAR type, attributes;
    USHORT value;
    PVOID object;
    ULONG access;
  };
  struct Table {
    ULONG count;
    Entry entries[1];
  };
  using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return false;
  constexpr ULONG kSystemHandleInformation = 16;
  constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);
  std::vector<unsigned char> buffer(1 << 16);
  LONG status = kLengthMismatch;
  for (int tries = 0; tries < 8 && status == kLengthMismatch; ++tries) {
    ULONG needed = 0;
    status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == kLengthMismatch) buffer.resize(needed > buffer.size() ? needed + 4096 : buffer.size() * 2);
  }
  if (status < 0) return false;
  const auto* table = reinterpret_cast<const Table*>(buffer.data());
  DWORD n = 0;
  for (ULONG i = 0; i < table->count; ++i)
    if (table->entries[i].process == static_cast<USHORT>(pid)) ++n;
  *count = n;
  return true;
}

void PrintCount(const char* name, DWORD count, bool known) {
  if (known) std::printf(" %s=%lu", name, count);
  else std::printf(" %s=n/a", name);
}

int Usage(HWND host) {
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, HostPid(host));
  if (!process) return 1;
  PROCESS_MEMORY_COUNTERS_EX pmc = {};
  pmc.cb = sizeof pmc;
  const bool memory = GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc);
  DWORD handles = 0;
  // A live process has handles: 0 is "not told".
  const bool handlesKnown = (GetProcessHandleCount(process, &handles) && handles != 0) ||
                            CountHandlesInTable(HostPid(host), &handles);
  // 0 with an error set is "not told" (Wine answers so); a live GUI process has objects.
  SetLastError(0);
  const DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
  const bool gdiKnown = gdi != 0 || GetLastError() == 0;
  SetLastError(0);
  const DWORD user = GetGuiResources(process, GR_USEROBJECTS);
  const bool userKnown = user != 0 || GetLastError() == 0;
  CloseHandle(process);
  // Wine leaves PrivateUsage at 0; its commit charge is the same private commit.
  const SIZE_T commit = pmc.PrivateUsage ? pmc.PrivateUsage : pmc.PagefileUsage;
  std::printf("private_kib=");
  if (memory) std::printf("%lu", static_cast<unsigned long>(commit / 1024));
  else std::printf("n/a");
  PrintCount("handles", handles, handlesKnown);
  PrintCount("gdi", gdi, gdiKnown);
  PrintCount("user", user, userKnown);
  std::printf("\n");
  return memory ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 64;
  WPARAM command = 0;
  if (!std::strcmp(argv[1], "checknow")) command = IDM_CHECKNOW;
  else if (!std::strcmp(argv[1], "settings")) command = IDM_SETTINGS;
  else if (!std::strcmp(argv[1], "exit")) command = IDM_EXIT;
  else if (std::strcmp(argv[1], "about") && std::strcmp(argv[1], "running") && std::strcmp(argv[1], "usage"))
    return 64;
  const HWND host = WaitHost();
  if (!host) return 1;
  if (!std::strcmp(argv[1], "about")) return About(host);
  if (!std::strcmp(argv[1], "running")) return Running(host);
  if (!std::strcmp(argv[1], "usage")) return Usage(host);
  return PostMessageW(host, WM_COMMAND, command, 0) ? 0 : 1;
}
