// Stands in for the user at the tray menu: posts one of the host's menu commands to the
// running Wickpost ("checknow", "settings", "exit"). Exit status 0 when the host was found.
#include <windows.h>

#include <cstring>

#include "host/module_contract.h"

int main(int argc, char** argv) {
  if (argc != 2) return 64;
  WPARAM command = 0;
  if (!std::strcmp(argv[1], "checknow")) command = IDM_CHECKNOW;
  else if (!std::strcmp(argv[1], "settings")) command = IDM_SETTINGS;
  else if (!std::strcmp(argv[1], "exit")) command = IDM_EXIT;
  else return 64;
  for (int i = 0; i < 100; ++i, Sleep(100))  // the host may still be starting
    if (HWND host = FindWindowW(L"WICKPOST", nullptr)) return PostMessageW(host, WM_COMMAND, command, 0) ? 0 : 1;
  return 1;
}
