// The module's page in the host's settings sheet: the kit's offer page; its box counts only
// within the offer year.
#include <windows.h>

#include "modules/warranty/module/xwpk_resource_ids.h"
#include "modules/warranty/module/xwpk_shell.h"

INT_PTR WICKPOST_CALL WickpostSetupDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return kit::Guarded<INT_PTR>(FALSE, [&]() -> INT_PTR {
    xwpk::Shell* m = xwpk::TheShell();
    return m ? kit::OfferSetupMessage(*m->offer, m->setup, dialog, message, wParam, lParam) : FALSE;
  });
}
