// The settings page (dialog 102) with its advanced settings (106) and the suppression dialog
// (104). The page works on a copy: only Apply changes the module; Cancel leaves it as it was.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "modules/hdd/hdd_text_ids.h"
#include "modules/hdd/module/hdd_shell.h"

namespace {
using hddm::TheShell;

struct EventBox {
  int control;
  uint32_t bit;
};
const EventBox kBoxes[] = {{IDC_HDD_HIBERNATE, hddm::kHibernate},
                           {IDC_HDD_TEMPERATURE, hddm::kTemperature},
                           {IDC_HDD_SHOCK, hddm::kShock},
                           {IDC_HDD_POWERON, hddm::kPowerOn}};

struct PageState {
  kit::Banner banner;
  uint32_t suppressed = 0;  // the advanced settings, applied with the page
};
PageState g_page;

bool Checked(HWND d, int id) { return IsDlgButtonChecked(d, id) == BST_CHECKED; }

// The viewer's data service must run for the module to work: offer to start it.
bool ServiceReady(hddm::Shell& s, HWND owner) {
  if (s.module.DataServiceRunning()) return true;
  const HWND host = s.host;
  s.host = owner;
  const bool started = s.module.OfferServiceStart(hddm::ConfirmServiceStart(s));
  s.host = host;
  return started;
}

void Follow(HWND d) {
  hddm::Shell* s = TheShell();
  const bool on = Checked(d, IDC_HDD_ENABLE);
  EnableWindow(GetDlgItem(d, IDC_HDD_AUTO), on);
  EnableWindow(GetDlgItem(d, IDC_HDD_NO_AUTO), on);
  EnableWindow(GetDlgItem(d, IDC_HDD_ADVANCED), on);
  for (const EventBox& b : kBoxes) EnableWindow(GetDlgItem(d, b.control), on && s && (s->module.Support() & b.bit));
}

INT_PTR CALLBACK AdvancedProc(HWND d, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      for (const EventBox& b : kBoxes) CheckDlgButton(d, b.control, (g_page.suppressed & b.bit) ? BST_CHECKED : BST_UNCHECKED);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        g_page.suppressed = 0;
        for (const EventBox& b : kBoxes)
          if (Checked(d, b.control)) g_page.suppressed |= b.bit;
      }
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(d, LOWORD(wParam));
      return TRUE;
    default: return FALSE;
  }
}

void Init(HWND d, hddm::Shell& s) {
  g_page.banner.Show(d, IDC_HDD_BANNER, {IDB_HDD_BANNER_96, IDB_HDD_BANNER_120, IDB_HDD_BANNER_144});
  g_page.suppressed = s.module.Suppressed();
  hddm::Settings& now = s.module.Current();
  // Without its data service the module cannot work: declining or failing switches it off.
  if (now.enable && !ServiceReady(s, d)) now.enable = 0;
  CheckDlgButton(d, IDC_HDD_ENABLE, now.enable ? BST_CHECKED : BST_UNCHECKED);
  CheckRadioButton(d, IDC_HDD_AUTO, IDC_HDD_NO_AUTO, now.autoCheck ? IDC_HDD_AUTO : IDC_HDD_NO_AUTO);
  const uint32_t support = s.module.SupportFlags();
  for (const EventBox& b : kBoxes)
    CheckDlgButton(d, b.control, (now.notifyMask & support & b.bit) ? BST_CHECKED : BST_UNCHECKED);
  Follow(d);
}

void Apply(HWND d, hddm::Shell& s) {
  hddm::Settings& now = s.module.Current();
  now.enable = Checked(d, IDC_HDD_ENABLE) ? 1 : 0;
  for (const EventBox& b : kBoxes)
    if (s.module.Support() & b.bit) now.notifyMask = Checked(d, b.control) ? (now.notifyMask | b.bit) : (now.notifyMask & ~b.bit);
  now.autoCheck = Checked(d, IDC_HDD_AUTO) ? 1 : 0;
  s.module.SetSuppressed(g_page.suppressed);
  s.module.Save();
}
}  // namespace

INT_PTR WICKPOST_CALL WickpostSetupDlgProc(HWND d, UINT message, WPARAM wParam, LPARAM lParam) {
  return kit::Guarded<INT_PTR>(FALSE, [&]() -> INT_PTR {
    hddm::Shell* s = TheShell();
    if (!s) return FALSE;
    switch (message) {
      case WM_INITDIALOG: Init(d, *s); return TRUE;
      case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (HIWORD(wParam) != BN_CLICKED) return FALSE;
        if (id == IDC_HDD_ADVANCED) {
          const uint32_t before = g_page.suppressed;
          DialogBoxParamW(kit::ModuleInstance(), MAKEINTRESOURCEW(IDD_HDD_ADVANCED), d, AdvancedProc, 0);
          if (g_page.suppressed == before) return TRUE;
        } else if (id == IDC_HDD_ENABLE && Checked(d, id) && !ServiceReady(*s, d)) {
          CheckDlgButton(d, id, BST_UNCHECKED);
          return TRUE;
        }
        Follow(d);
        SendMessageW(GetParent(d), PSM_CHANGED, reinterpret_cast<WPARAM>(d), 0);
        return TRUE;
      }
      case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (!header || header->code != static_cast<UINT>(PSN_APPLY)) return FALSE;
        Apply(d, *s);
        SetWindowLongPtrW(d, DWLP_MSGRESULT, PSNRET_NOERROR);
        return TRUE;
      }
      case WM_DESTROY: g_page.banner.Free(); return FALSE;
      default: return FALSE;
    }
  });
}
