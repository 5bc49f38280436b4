// The HDMI page of the host's settings sheet (dialog 102).
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "common/win/audit.h"
#include "common/win/reg.h"
#include "host/module_contract.h"
#include "modules/hdmi/module/hdmi_resource_ids.h"
#include "modules/hdmi/module/hdmi_shell.h"

namespace hdmi {
namespace {
kit::Banner g_banner;

void EnableButtons(HWND dialog, const Shell& s) {
  const bool on = !s.settingsLocked && s.module.Notify();
  EnableWindow(GetDlgItem(dialog, IDC_SHOW_PANEL), on);
  EnableWindow(GetDlgItem(dialog, IDC_SHOW_PAGE), on);
}
}  // namespace
}  // namespace hdmi

INT_PTR WICKPOST_CALL WickpostSetupDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  using namespace hdmi;
  return kit::Guarded<INT_PTR>(FALSE, [&]() -> INT_PTR {
    Shell* s = TheShell();
    if (!s) return FALSE;
    switch (message) {
      case WM_INITDIALOG:
        g_banner.Show(dialog, IDC_BANNER, {IDB_BANNER_96, IDB_BANNER_120, IDB_BANNER_144});
        CheckDlgButton(dialog, IDC_NOTIFY, s->module.Notify() ? BST_CHECKED : BST_UNCHECKED);
        EnableButtons(dialog, *s);
        return TRUE;
      case 0x8000:
        CheckDlgButton(dialog, IDC_NOTIFY, s->module.Notify() ? BST_CHECKED : BST_UNCHECKED);
        return TRUE;
      case WM_COMMAND:
        switch (LOWORD(wParam)) {
          case IDC_NOTIFY:
            PropSheet_Changed(GetParent(dialog), dialog);
            return TRUE;
          case IDC_SHOW_PANEL:
            if (s->link.PanelOpen()) return TRUE;
            if (!s->module.ShowPanelFromSettings()) {
              MessageBoxW(dialog, kit::LoadText(IDS_NO_PANEL).c_str(), kit::LoadText(IDS_APP_TITLE).c_str(),
                          MB_ICONINFORMATION);
              return TRUE;
            }
            SetTimer(dialog, 1, 100, nullptr);
            return TRUE;
          case IDC_SHOW_PAGE:
            s->module.ShowPageFromSettings();
            SetTimer(dialog, 1, 100, nullptr);
            return TRUE;
        }
        return FALSE;
      case WM_TIMER:
        KillTimer(dialog, 1);
        s->link.PostCheckModule();
        return TRUE;
      case WM_NOTIFY:
        if (reinterpret_cast<NMHDR*>(lParam)->code == PSN_APPLY) {
          const bool on = IsDlgButtonChecked(dialog, IDC_NOTIFY) == BST_CHECKED;
          s->module.SetNotify(on);
          if (!CAudit().IsAuditMode(AUDIT_CHECK_CLONETAG | AUDIT_CHECK_SYSPREP))
            CReg().WriteDword(HKEY_CURRENT_USER, kModuleKey, L"Notify", on ? 1 : 0);
          EnableButtons(dialog, *s);
          SetWindowLongPtrW(dialog, DWLP_MSGRESULT, PSNRET_NOERROR);
          return TRUE;
        }
        return FALSE;
      case WM_DESTROY:
        g_banner.Free();
        return FALSE;
    }
    return FALSE;
  });
}
