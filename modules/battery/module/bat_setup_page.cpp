// The battery page of the host's settings sheet (battery 0) and the second battery's dialog.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstdio>

#include "modules/battery/module/bat_resource_ids.h"
#include "modules/battery/module/bat_shell.h"

namespace bat {
namespace {
const int kNotifyBoxes[3] = {IDC_NOTIFY_RECAL, IDC_NOTIFY_HALFCAPA, IDC_NOTIFY_NOCAPA};
const int kAutoBoxes[3] = {IDC_AUTO_RECAL, IDC_AUTO_HALFCAPA, IDC_AUTO_NOCAPA};
const int kLists[3] = {IDC_LIST_RECAL, IDC_LIST_HALFCAPA, IDC_LIST_NOCAPA};

// What one open page or dialog edits: the battery, its identity when opened, the pending record.
struct Editor {
  int battery = 0;
  std::u16string identity;
  Settings pending;
  kit::Banner banner;
};
Editor g_page, g_second;

std::wstring Format(const std::u16string& format, const std::u16string& name) {
  return Wide(FormatText(format, {Txt(name)}).value_or(std::u16string()));
}

void ApplyEnableRule(Shell& s, HWND dialog, const Editor& e) {
  const Settings& p = e.pending;
  const uint32_t defaults = s.module.DefaultMaskOf(e.battery);
  EnableWindow(GetDlgItem(dialog, IDC_ENABLE), s.module.At(e.battery).present);
  for (int k = 0; k < kConditions; ++k) {
    const uint32_t c = ConditionBit(k);
    EnableWindow(GetDlgItem(dialog, kNotifyBoxes[k]), (defaults & c) && p.enable);
    EnableWindow(GetDlgItem(dialog, kAutoBoxes[k]), (p.notifyMask & c) && p.enable);
    EnableWindow(GetDlgItem(dialog, kLists[k]), (p.notifyMask & c) && (p.autoMask & c) && p.enable);
  }
}

void Initialize(Shell& s, HWND dialog, Editor& e, int battery) {
  e.battery = battery;
  s.module.LoadSettings(battery);
  e.identity = s.module.At(battery).identity;
  e.pending = s.module.At(battery).live;
  const Strings& t = s.module.Texts();
  SetDlgItemTextW(dialog, IDC_ENABLE, Format(t.Get(IDS_INFORM), BatteryName(t, battery, s.module.Kind(), kPlainName)).c_str());
  CheckDlgButton(dialog, IDC_ENABLE, e.pending.enable ? BST_CHECKED : BST_UNCHECKED);
  for (int k = 0; k < kConditions; ++k) {
    CheckDlgButton(dialog, kNotifyBoxes[k], e.pending.notifyMask & ConditionBit(k) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, kAutoBoxes[k], e.pending.autoMask & ConditionBit(k) ? BST_CHECKED : BST_UNCHECKED);
    HWND list = GetDlgItem(dialog, kLists[k]);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (uint16_t item = IDS_EVERY_DAY; item <= IDS_EVERY_30_DAYS; ++item)
      SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(t.Get(item))));
    SendMessageW(list, CB_SETCURSEL, e.pending.interval[k], 0);
  }
  e.banner.Show(dialog, IDC_BANNER, {IDB_BANNER_96, IDB_BANNER_120, IDB_BANNER_144});
  ApplyEnableRule(s, dialog, e);
}

// A check box or list changed: true when the pending record did.
bool Command(Shell& s, HWND dialog, Editor& e, WORD id, WORD code) {
  auto bit = [&](int box, uint32_t& mask, uint32_t c) {
    mask = IsDlgButtonChecked(dialog, box) == BST_CHECKED ? mask | c : mask & ~c;
  };
  bool changed = false;
  if (id == IDC_ENABLE && code == BN_CLICKED) {
    e.pending.enable = IsDlgButtonChecked(dialog, IDC_ENABLE) == BST_CHECKED;
    changed = true;
  }
  for (int k = 0; k < kConditions; ++k) {
    if (code == BN_CLICKED && (id == kNotifyBoxes[k] || id == kAutoBoxes[k])) {
      bit(kNotifyBoxes[k], e.pending.notifyMask, ConditionBit(k));
      bit(kAutoBoxes[k], e.pending.autoMask, ConditionBit(k));
      changed = true;
    } else if (id == kLists[k] && code == CBN_SELCHANGE) {
      const LRESULT sel = SendDlgItemMessageW(dialog, kLists[k], CB_GETCURSEL, 0, 0);
      if (sel >= 0 && sel < 3 && static_cast<uint32_t>(sel) != s.module.At(e.battery).live.interval[k]) {
        e.pending.interval[k] = static_cast<uint32_t>(sel);
        changed = true;
      }
    }
  }
  if (changed) ApplyEnableRule(s, dialog, e);
  return changed;
}

INT_PTR OnSecondMessage(HWND dialog, UINT message, WPARAM wParam) {
  Shell* s = TheShell();
  if (!s) return FALSE;
  switch (message) {
    case WM_INITDIALOG:
      Initialize(*s, dialog, g_second, 1);
      SetWindowTextW(dialog, Wide(s->module.Texts().Get(s->module.Kind() == 1 ? IDS_SECOND_TITLE_EXTENDED
                                                                               : IDS_SECOND_TITLE_BATTERY2)));
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        s->module.CommitSettings(1, g_second.identity, g_second.pending);
        EndDialog(dialog, IDOK);
      } else if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
      } else {
        Command(*s, dialog, g_second, LOWORD(wParam), HIWORD(wParam));
      }
      return TRUE;
    case WM_DESTROY: g_second.banner.Free(); return FALSE;
  }
  return FALSE;
}

// The dialog manager calls this: nothing thrown may unwind into it.
INT_PTR CALLBACK SecondProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  try {
    return OnSecondMessage(dialog, message, wParam);
  } catch (...) {
    if (message == WM_INITDIALOG) EndDialog(dialog, IDCANCEL);  // not half filled in
    return FALSE;
  }
}

INT_PTR OnMessage(Shell& s, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      Initialize(s, dialog, g_page, 0);
      const bool two = s.module.Count() == 2;
      ShowWindow(GetDlgItem(dialog, IDC_SECOND), two ? SW_SHOW : SW_HIDE);
      if (two)
        SetDlgItemTextW(dialog, IDC_SECOND, Format(s.module.Texts().Get(IDS_SECOND_BUTTON),
                                                   BatteryName(s.module.Texts(), 1, s.module.Kind(), kPlainName)).c_str());
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_SECOND && HIWORD(wParam) == BN_CLICKED)
        DialogBoxParamW(kit::ModuleInstance(), MAKEINTRESOURCEW(IDD_SECOND_BATTERY), dialog, SecondProc, 0);
      else if (Command(s, dialog, g_page, LOWORD(wParam), HIWORD(wParam)))
        SendMessageW(GetParent(dialog), PSM_CHANGED, reinterpret_cast<WPARAM>(dialog), 0);
      return TRUE;
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      if (!header || header->code != static_cast<UINT>(PSN_APPLY)) return FALSE;
      s.module.CommitSettings(0, g_page.identity, g_page.pending);
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT, PSNRET_NOERROR);
      return TRUE;
    }
    case WM_DESTROY: g_page.banner.Free(); return FALSE;
  }
  return FALSE;
}
}  // namespace
}  // namespace bat

INT_PTR WICKPOST_CALL WickpostSetupDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return kit::Guarded<INT_PTR>(FALSE, [&]() -> INT_PTR {
    bat::Shell* s = bat::TheShell();
    return s ? bat::OnMessage(*s, dialog, message, wParam, lParam) : FALSE;
  });
}
