// Stands in for the user at the tray menu: posts one of the host's menu commands to the
// running Wickpost ("checknow", "settings", "exit"), opens the About box and prints its
// product line ("about"), or prints the running host's program file ("running"). Exit status 0
// when the host (and for "about" its box) was found.
#include <windows.h>

#include <cstdio>
#include <cstring>

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

int Running(HWND host) {
  DWORD pid = 0;
  GetWindowThreadProcessId(host, &pid);
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 64;
  WPARAM command = 0;
  if (!std::strcmp(argv[1], "checknow")) command = IDM_CHECKNOW;
  else if (!std::strcmp(argv[1], "settings")) command = IDM_SETTINGS;
  else if (!std::strcmp(argv[1], "exit")) command = IDM_EXIT;
  else if (std::strcmp(argv[1], "about") && std::strcmp(argv[1], "running")) return 64;
  const HWND host = WaitHost();
  if (!host) return 1;
  if (!std::strcmp(argv[1], "about")) return About(host);
  if (!std::strcmp(argv[1], "running")) return Running(host);
  return PostMessageW(host, WM_COMMAND, command, 0) ? 0 : 1;
}
