// The release's restart: the shutdown privilege for the call, then the previous privileges.
#include <windows.h>

#include "modules/anomaly/module/anm_shell.h"

namespace anm {
void RequestRestart() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
  TOKEN_PRIVILEGES wanted = {}, previous = {};
  DWORD size = sizeof previous;
  wanted.PrivilegeCount = 1;
  wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &wanted.Privileges[0].Luid) &&
      AdjustTokenPrivileges(token, FALSE, &wanted, sizeof previous, &previous, &size)) {
    ExitWindowsEx(EWX_REBOOT, 0);
    AdjustTokenPrivileges(token, FALSE, &previous, 0, nullptr, nullptr);
  }
  CloseHandle(token);
}
}  // namespace anm
