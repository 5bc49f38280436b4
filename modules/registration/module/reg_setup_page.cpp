// The module's page in the host's settings sheet: the kit's offer page; its box counts only
// while the reminder window is open.
#include <windows.h>

#include "modules/registration/module/reg_resource_ids.h"
#include "modules/registration/module/reg_shell.h"

INT_PTR WICKPOST_CALL WickpostSetupDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return kit::Guarded<INT_PTR>(FALSE, [&]() -> INT_PTR {
    reg::Shell* m = reg::TheShell();
    return m ? kit::OfferSetupMessage(*m->reminder, m->setup, dialog, message, wParam, lParam) : FALSE;
  });
}
