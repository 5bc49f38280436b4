// An update's installer: records that it ran and with what, and ends like an installer
// does: "-fail" with 1603 (the installation failed), "-restart" with 3010 (done, restart
// needed), else 0.
#include <windows.h>

#include <cwchar>

#include "sim/updates/sim_record.h"

int wmain(int argc, wchar_t** argv) {
  std::wstring args;
  int code = 0;
  for (int i = 1; i < argc; ++i) {
    args += std::wstring(i > 1 ? L" " : L"") + argv[i];
    if (wcscmp(argv[i], L"-fail") == 0) code = 1603;
    if (wcscmp(argv[i], L"-restart") == 0) code = 3010;
  }
  SimRecord(L"setup " + SimSelfPath() + L" [" + args + L"] exit " + std::to_wstring(code));
  return code;
}
