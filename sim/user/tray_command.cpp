// Stands in for the user at the tray menu: posts one of the host's menu commands to the
// running Wickpost ("checknow", "settings", "exit"), opens the About box and prints its product
// line ("about"), or prints the running host's program file ("running"). For the main job,
// "lines N" waits until the mini popup shows N lines and prints how many it shows, and "page"
// waits until a page is on screen. For the scripts that watch the host, "usage" prints its
// private commit in KiB, handle count and GDI and USER object counts ("n/a" where the system
// does not tell). "read" reads every pending notice as the user does: a tray click brings up the
// mini popup, a click on its first row opens that line, a page shown is closed, until the tray
// click brings up the menu (nothing pending), which is then cancelled; it prints how many lines it
// opened. Exit status 0 when the host (and for "about" its box, for "read" every step) was found.
#include <windows.h>
#include <psapi.h>

// The stand-ins run on Vista and later only (under Wine); the headers, set to XP, hide it.
extern "C" WINBASEAPI BOOL WINAPI QueryFullProcessImageNameW(HANDLE process, DWORD flags, LPWSTR name, PDWORD size);

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/module_contract.h"
#include "host/win/tray_icon.h"
#include "resources/host/resource.h"
#include "sim/user/host_windows.h"

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


using simuser::WaitFor;

// The host has handled what was posted and sent to it before.
bool HostIdle(HWND host) {
  DWORD_PTR answer = 0;
  return SendMessageTimeoutW(host, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 30000, &answer) != 0;
}

constexpr wchar_t kMiniClass[] = L"MiniPopupClass", kPageClass[] = L"HTMLPopupClass", kMenuClass[] = L"#32768";
constexpr DWORD kShowTimeoutMs = 20000;
// Far more than the modules can have pending at once: a host that keeps listing lines fails.
constexpr int kMaxRounds = 40;

// Closes the page on screen and waits until the host has closed it with its module.
bool ClosePage(HWND host, HWND page) {
  if (!PostMessageW(host, WM_HOST_CLOSEPOPUP, 0, 0)) return false;
  if (!WaitFor([&] { return !IsWindowVisible(page); }, kShowTimeoutMs)) {
    std::fprintf(stderr, "read: the page did not close\n");
    return false;
  }
  return HostIdle(host);
}

int Read(HWND host) {
  const DWORD pid = HostPid(host);
  int opened = 0;
  for (int round = 0; round < kMaxRounds; ++round) {
    // A page on screen takes no clicks on the mini popup: one that came by itself is read first.
    if (HWND page = simuser::FindProcessWindow(pid, kPageClass)) {
      if (!ClosePage(host, page)) return 1;
      ++opened;
      continue;
    }
    HWND mini = simuser::FindProcessWindow(pid, kMiniClass);
    if (!mini) {
      if (!PostMessageW(host, WM_HOST_TRAYICON, host::CNotifyIcon::kId, WM_LBUTTONUP)) return 1;
      HWND menu = nullptr, page = nullptr;
      const bool answered = WaitFor(
          [&] {
            mini = simuser::FindProcessWindow(pid, kMiniClass);
            menu = simuser::FindProcessWindow(pid, kMenuClass);
            page = simuser::FindProcessWindow(pid, kPageClass);
            return mini || menu || page;
          },
          kShowTimeoutMs);
      if (!answered) {
        std::fprintf(stderr, "read: the tray click brought up nothing\n");
        return 1;
      }
      if (menu) {  // nothing pending: the tray menu instead
        // The key reaches the menu's own loop in the host; the host is done with the menu
        // once its thread has left menu mode.
        PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        const DWORD thread = GetWindowThreadProcessId(host, nullptr);
        const auto inMenu = [thread] {
          GUITHREADINFO info = {sizeof info};
          return GetGUIThreadInfo(thread, &info) && (info.flags & GUI_INMENUMODE);
        };
        if (!WaitFor([&] { return !IsWindowVisible(menu) && !inMenu(); }, kShowTimeoutMs)) {
          std::fprintf(stderr, "read: the tray menu did not close\n");
          return 1;
        }
        std::printf("%d\n", opened);
        return HostIdle(host) ? 0 : 1;
      }
      if (page) continue;  // a held line opens straight away: closed in the next round
    }
    // The click opens the first line: its page shows, or its action runs and the mini popup
    // is made again without it.
    const size_t rows = simuser::MiniPopupRowCount(mini);
    if (!simuser::ClickMiniPopupRow(mini, 0)) continue;  // hidden meanwhile: the tray brings it back
    HWND page = nullptr;
    const bool opens = WaitFor(
        [&] {
          page = simuser::FindProcessWindow(pid, kPageClass);
          return page || !IsWindow(mini) || simuser::MiniPopupRowCount(mini) < rows;
        },
        kShowTimeoutMs);
    if (!opens) {
      std::fprintf(stderr, "read: a click on the mini popup's first row opened nothing\n");
      return 1;
    }
    if (page && !ClosePage(host, page)) return 1;
    if (!page && !HostIdle(host)) return 1;
    ++opened;
  }
  std::fprintf(stderr, "read: lines were still pending after %d rounds\n", kMaxRounds);
  return 1;
}

// Waits until the mini popup shows `wanted` lines; prints the lines it shows then (0: none).
int Lines(HWND host, size_t wanted) {
  const DWORD pid = HostPid(host);
  size_t rows = 0;
  const bool reached = WaitFor(
      [&] {
        rows = simuser::MiniPopupRowCount(simuser::FindProcessWindow(pid, kMiniClass));
        return rows == wanted;
      },
      kShowTimeoutMs);
  std::printf("%u\n", static_cast<unsigned>(rows));
  return reached ? 0 : 1;
}

int PageShown(HWND host) {
  const DWORD pid = HostPid(host);
  return simuser::WaitProcessWindow(pid, kPageClass, nullptr, kShowTimeoutMs) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 64;
  const auto is = [&](const char* verb, int args) { return !std::strcmp(argv[1], verb) && argc == 2 + args; };
  WPARAM command = 0;
  if (is("checknow", 0)) command = IDM_CHECKNOW;
  else if (is("settings", 0)) command = IDM_SETTINGS;
  else if (is("exit", 0)) command = IDM_EXIT;
  else if (!is("about", 0) && !is("running", 0) && !is("usage", 0) && !is("read", 0) && !is("page", 0) &&
           !is("lines", 1))
    return 64;
  const HWND host = WaitHost();
  if (!host) return 1;
  if (is("about", 0)) return About(host);
  if (is("running", 0)) return Running(host);
  if (is("usage", 0)) return Usage(host);
  if (is("read", 0)) return Read(host);
  if (is("page", 0)) return PageShown(host);
  if (is("lines", 1)) return Lines(host, static_cast<size_t>(std::strtoul(argv[2], nullptr, 10)));
  return PostMessageW(host, WM_COMMAND, command, 0) ? 0 : 1;
}
