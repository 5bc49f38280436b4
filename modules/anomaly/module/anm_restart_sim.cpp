// The simulated notebook's restart: the request is recorded, a line "restart" appended to the
// file named by TELLWICK_RESTART_LOG; neither Wine nor the machine is restarted.
#include <windows.h>

#include "modules/anomaly/module/anm_shell.h"

namespace anm {
void RequestRestart() {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableW(L"TELLWICK_RESTART_LOG", path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  HANDLE f = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(f, "restart\n", 8, &written, nullptr);
  CloseHandle(f);
}
}  // namespace anm
