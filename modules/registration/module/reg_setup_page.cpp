// The module's page in the host's settings sheet.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "modules/registration/module/reg_resource_ids.h"
#include "modules/registration/module/reg_shell.h"

namespace {
using reg::Shell;

void ShowChoice(Shell& m, HWND dialog) {
  const bool live = m.reminder->InsideWindowNow();
  EnableWindow(GetDlgItem(dialog, IDC_NOTIFY), live);
  CheckDlgButton(dialog, IDC_NOTIFY, live && m.reminder->UserChoice() ? BST_CHECKED : BST_UNCHECKED);
}

INT_PTR OnMessage(Shell& m, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      m.setupPage = dialog;
      m.banner.Show(dialog, IDC_BANNER, {IDB_BANNER_96, IDB_BANNER_120, IDB_BANNER_144});
      ShowChoice(m, dialog);
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      if (LOWORD(wParam) == IDC_NOTIFY) {
        SendMessageW(GetParent(dialog), PSM_CHANGED, reinterpret_cast<WPARAM>(dialog), 0);
      } else if (LOWORD(wParam) == IDC_SHOW_NOW) {
        m.reminder->Force();
        PostMessageW(m.host, WM_HOST_CHECKMODULE, static_cast<WPARAM>(m.moduleIndex), 0);
      }
      return TRUE;
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      if (!header || header->code != static_cast<UINT>(PSN_APPLY)) return FALSE;
      m.reminder->Apply(IsDlgButtonChecked(dialog, IDC_NOTIFY) == BST_CHECKED);
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT, PSNRET_NOERROR);
      return TRUE;
    }
    case WM_APP:  // the page's "already registered" box changed the choice
      ShowChoice(m, dialog);
      return TRUE;
    case WM_DESTROY:
      m.setupPage = nullptr;
      m.banner.Free();
      return FALSE;
  }
  return FALSE;
}
}  // namespace

INT_PTR WICKPOST_CALL WickpostSetupDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return kit::Guarded<INT_PTR>(FALSE, [&]() -> INT_PTR {
    Shell* m = reg::TheShell();
    return m ? OnMessage(*m, dialog, message, wParam, lParam) : FALSE;
  });
}
