// A module that does nothing: the four mandatory entry points, a check every 60 ticks that
// keeps what is pending. Used by the host benchmark to fill all eight slots.
#include <windows.h>

#include "host/module_contract.h"

extern "C" {
int WICKPOST_CALL WickpostInitialize(HWND, ModuleInitInfo* info, wchar_t*, int) {
  if (!info || info->cbSize < 4) return MODULE_E_BAD_ARGUMENT;
  info->checkInterval = 60;
  return 0;
}
int WICKPOST_CALL WickpostIsEnable(void) { return 1; }
CheckResult WICKPOST_CALL WickpostAutoCheck(wchar_t*, int, wchar_t*, int, uint16_t*) { return CHECK_KEEP; }
CheckResult WICKPOST_CALL WickpostManualCheck(wchar_t*, int, wchar_t*, int, uint16_t*) { return CHECK_NOTHING; }
}
