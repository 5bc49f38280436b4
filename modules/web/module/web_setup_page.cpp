// The web module's page of the host's settings sheet.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <string>

#include "modules/web/module/web_resource_ids.h"
#include "modules/web/module/web_shell.h"

namespace web {
namespace {
const int kTimeControls[] = {IDC_DAILY, IDC_HOUR, IDC_HOUR_LABEL, IDC_MINUTE, IDC_MINUTE_LABEL};
const int kChoiceControls[] = {IDC_FIXED_TIME, IDC_ON_CONNECTION, IDC_NO_CHECK, IDC_CATEGORIES,
                               IDC_IMPORTANT,  IDC_SUPPORT,       IDC_TOPICS};
const int kCategoryBoxes[] = {IDC_IMPORTANT, IDC_SUPPORT, IDC_TOPICS};
const Field kCategoryFields[] = {kNotifyImportant, kNotifySupport, kNotifyTopics};

kit::Banner g_banner;

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

uint32_t MethodShown(HWND dialog) {
  if (Checked(dialog, IDC_FIXED_TIME)) return kMethodFixedTime;
  if (Checked(dialog, IDC_ON_CONNECTION)) return kMethodOnConnection;
  if (Checked(dialog, IDC_NO_CHECK)) return kMethodNone;
  return 0;
}

void ApplyEnabling(HWND dialog) {
  const PageEnabling e = EnablingFor(Checked(dialog, IDC_ENABLE), MethodShown(dialog));
  for (int id : kChoiceControls) EnableWindow(GetDlgItem(dialog, id), e.choices);
  for (int id : kTimeControls) EnableWindow(GetDlgItem(dialog, id), e.time);
}

void Fill(HWND dialog, const Settings& s) {
  CheckDlgButton(dialog, IDC_ENABLE, s.Get(kEnable) ? BST_CHECKED : BST_UNCHECKED);
  const uint32_t method = s.Get(kCheckMethod);
  CheckRadioButton(dialog, IDC_FIXED_TIME, IDC_NO_CHECK,
                   method == kMethodFixedTime ? IDC_FIXED_TIME
                   : method == kMethodOnConnection ? IDC_ON_CONNECTION
                                                   : IDC_NO_CHECK);
  HWND hour = GetDlgItem(dialog, IDC_HOUR), minute = GetDlgItem(dialog, IDC_MINUTE);
  SendMessageW(hour, CB_RESETCONTENT, 0, 0);
  SendMessageW(minute, CB_RESETCONTENT, 0, 0);
  for (int h = 0; h < 24; ++h) SendMessageW(hour, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_wstring(h).c_str()));
  for (int i = 0; i < 4; ++i)
    SendMessageW(minute, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_wstring(MinuteOfIndex(i)).c_str()));
  SendMessageW(hour, CB_SETCURSEL, s.Get(kCheckHour), 0);
  SendMessageW(minute, CB_SETCURSEL, static_cast<WPARAM>(MinuteIndex(s.Get(kCheckMinute))), 0);
  for (int i = 0; i < 3; ++i)
    CheckDlgButton(dialog, kCategoryBoxes[i], s.Get(kCategoryFields[i]) ? BST_CHECKED : BST_UNCHECKED);
  ApplyEnabling(dialog);
}

// The settings as the controls show them.
Settings Shown(HWND dialog, Settings s) {
  s.Set(kEnable, Checked(dialog, IDC_ENABLE) ? 1 : 0);
  if (const uint32_t method = MethodShown(dialog)) s.Set(kCheckMethod, method);
  const LRESULT hour = SendDlgItemMessageW(dialog, IDC_HOUR, CB_GETCURSEL, 0, 0);
  const LRESULT minute = SendDlgItemMessageW(dialog, IDC_MINUTE, CB_GETCURSEL, 0, 0);
  if (hour >= 0 && hour < 24) s.Set(kCheckHour, static_cast<uint32_t>(hour));
  if (minute >= 0 && minute < 4) s.Set(kCheckMinute, MinuteOfIndex(static_cast<int>(minute)));
  for (int i = 0; i < 3; ++i) s.Set(kCategoryFields[i], Checked(dialog, kCategoryBoxes[i]) ? 1 : 0);
  return s;
}

bool Differs(const Settings& a, const Settings& b) {
  for (std::size_t f = 0; f < kFieldCount; ++f)
    if (a.Get(static_cast<Field>(f)) != b.Get(static_cast<Field>(f))) return true;
  return false;
}

INT_PTR OnMessage(Shell& s, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      g_banner.Show(dialog, IDC_BANNER, {IDB_BANNER_96, IDB_BANNER_120, IDB_BANNER_144});
      Fill(dialog, s.module.CurrentSettings());
      return TRUE;
    case WM_COMMAND: {
      const WORD code = HIWORD(wParam);
      if (code != BN_CLICKED && code != CBN_SELCHANGE) return FALSE;
      ApplyEnabling(dialog);
      if (Differs(Shown(dialog, s.module.CurrentSettings()), s.module.CurrentSettings()))
        SendMessageW(GetParent(dialog), PSM_CHANGED, reinterpret_cast<WPARAM>(dialog), 0);
      return TRUE;
    }
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      if (!header || header->code != static_cast<UINT>(PSN_APPLY)) return FALSE;
      s.module.ApplySettings(Shown(dialog, s.module.CurrentSettings()));
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT, PSNRET_NOERROR);
      return TRUE;
    }
    case WM_DESTROY: g_banner.Free(); return FALSE;
  }
  return FALSE;
}
}  // namespace
}  // namespace web

INT_PTR WICKPOST_CALL WickpostSetupDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return kit::Guarded<INT_PTR>(FALSE, [&]() -> INT_PTR {
    web::Shell* s = web::TheShell();
    return s ? web::OnMessage(*s, dialog, message, wParam, lParam) : FALSE;
  });
}
