// The HDMI support panel (dialog 129) and its confirmation of a new resolution (dialog 118).
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cwchar>

#include "common/win/winversion.h"
#include "modules/hdmi/module/hdmi_resource_ids.h"
#include "modules/hdmi/module/hdmi_shell.h"

namespace hdmi {
namespace {
constexpr UINT kNewState = 0x8000;
constexpr int kConfirmSeconds = 15;

struct PanelContext {
  Shell* shell;
  int state;
};

bool OldWindows() {
  const WORD os = CWinVersion().GetOsType();
  return os == WINVER_XP || os == WINVER_VISTA;
}

void SetText(HWND dialog, int control, UINT id) { SetDlgItemTextW(dialog, control, kit::LoadText(id).c_str()); }

void SetCountdown(HWND dialog, int seconds) {
  wchar_t text[128];
  swprintf(text, 128, kit::LoadText(IDS_COUNTDOWN).c_str(), seconds);
  SetDlgItemTextW(dialog, IDC_COUNTDOWN, text);
}

INT_PTR CALLBACK ConfirmProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, GWLP_USERDATA, kConfirmSeconds);
      SetCountdown(dialog, kConfirmSeconds);
      SetTimer(dialog, 1, 1000, nullptr);
      SetForegroundWindow(dialog);
      return TRUE;
    case WM_TIMER: {
      const LONG_PTR left = GetWindowLongPtrW(dialog, GWLP_USERDATA) - 1;
      SetWindowLongPtrW(dialog, GWLP_USERDATA, left);
      if (left > 0) {
        SetCountdown(dialog, static_cast<int>(left));
      } else {
        KillTimer(dialog, 1);
        EndDialog(dialog, 2);
      }
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == 1 || LOWORD(wParam) == 2 || LOWORD(wParam) == IDCANCEL) {
        KillTimer(dialog, 1);
        EndDialog(dialog, LOWORD(wParam) == 1 ? 1 : 2);
      }
      return TRUE;
    case WM_CLOSE:
      KillTimer(dialog, 1);
      EndDialog(dialog, 2);
      return TRUE;
  }
  return FALSE;
}

void SelectItem(HWND dialog, std::optional<int> item) {
  if (item) SendDlgItemMessageW(dialog, IDC_SCALING, CB_SETCURSEL, static_cast<WPARAM>(*item), 0);
}

void Layout(HWND dialog, Shell& s, int state) {
  const bool old = OldWindows();
  const bool maker = state == kMakerTv || state == kMakerTvQuiet;
  SetText(dialog, IDC_LABEL_1920, maker ? IDS_L1011_MAKER : IDS_L1011_TV);
  SetText(dialog, IDC_LABEL_1280, maker ? IDS_L1013_MAKER : IDS_L1013_TV);
  SetText(dialog, IDC_LABEL_1360, maker ? (old ? IDS_L1012_OLD : IDS_L1012_MAKER) : IDS_L1012_TV);
  SetDlgItemTextW(dialog, IDC_1360, old ? kit::LoadText(IDS_1360_OLD).c_str() : L"1360x768");
  const bool extended = s.module.ExtendedDesktop();
  SetText(dialog, IDC_LABEL_SCALING, extended ? IDS_L1014_EXTENDED : IDS_L1014);
  const std::optional<int> item = s.module.CurrentScalingItem();
  const HWND box = GetDlgItem(dialog, IDC_SCALING), label = GetDlgItem(dialog, IDC_LABEL_SCALING);
  ShowWindow(box, item ? SW_SHOW : SW_HIDE);
  ShowWindow(label, item ? SW_SHOW : SW_HIDE);
  SendMessageW(box, CB_SETCURSEL, item ? static_cast<WPARAM>(*item) : static_cast<WPARAM>(-1), 0);
  const bool monitor = state == kMonitor;
  EnableWindow(box, !extended && !monitor);
  for (int id : {IDC_1920, IDC_1360, IDC_1280, IDC_LABEL_1920, IDC_LABEL_1360, IDC_LABEL_1280, IDC_LABEL_SCALING})
    EnableWindow(GetDlgItem(dialog, id), !monitor);
  if (maker && old) EnableWindow(GetDlgItem(dialog, IDC_1360), FALSE);
}

// "control.exe" with a control-panel file from the system folder.
void RunControlPanel(const wchar_t* applet, const wchar_t* xpPage) {
  wchar_t system[MAX_PATH] = L"C:\\Windows\\System32";
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_SYSTEM, nullptr, 0, system))) wcscpy(system, L"C:\\Windows\\System32");
  std::wstring line = L"\"" + std::wstring(system) + L"\\control.exe\" \"" + system + L"\\" + applet + L"\"";
  if (CWinVersion().GetOsType() == WINVER_XP) line += xpPage;
  STARTUPINFOW si = {sizeof si};
  PROCESS_INFORMATION pi = {};
  if (CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
}

void ResolutionButton(HWND dialog, PanelContext& c, int button) {
  Module& m = c.shell->module;
  const Module::ResolutionChange change = m.SetResolution(button, OldWindows());
  SelectItem(dialog, change.scalingItem);
  if (change.result != ResolutionResult::Changed) return;
  const INT_PTR answer = DialogBoxParamW(kit::ModuleInstance(), MAKEINTRESOURCEW(IDD_CONFIRM), dialog, ConfirmProc, 0);
  if (answer == 2) SelectItem(dialog, m.Revert());
  else m.KeepChange();
}

INT_PTR CALLBACK PanelProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* c = reinterpret_cast<PanelContext*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
  switch (message) {
    case WM_INITDIALOG: {
      c = reinterpret_cast<PanelContext*>(lParam);
      SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
      c->shell->module.PanelOpened();
      c->shell->link.panel = dialog;
      for (const wchar_t* item : {L"100%", L"97%", L"95%"})
        SendDlgItemMessageW(dialog, IDC_SCALING, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
      SendDlgItemMessageW(dialog, IDC_SCALING, CB_SETCURSEL, 0, 0);
      Layout(dialog, *c->shell, c->state);
      SetForegroundWindow(dialog);
      return TRUE;
    }
    case kNewState:
      if (c) {
        c->state = static_cast<int>(wParam);
        Layout(dialog, *c->shell, c->state);
      }
      return TRUE;
    case WM_COMMAND:
      if (!c) return FALSE;
      switch (LOWORD(wParam)) {
        case IDC_1920: ResolutionButton(dialog, *c, 0); return TRUE;
        case IDC_1360: ResolutionButton(dialog, *c, 1); return TRUE;
        case IDC_1280: ResolutionButton(dialog, *c, 2); return TRUE;
        case IDC_SCALING:
          if (HIWORD(wParam) == CBN_SELCHANGE) {
            const int item = static_cast<int>(SendDlgItemMessageW(dialog, IDC_SCALING, CB_GETCURSEL, 0, 0));
            const int shown = c->shell->module.SelectScaling(item);
            SendDlgItemMessageW(dialog, IDC_SCALING, CB_SETCURSEL, static_cast<WPARAM>(shown), 0);
          }
          return TRUE;
        case IDC_DISPLAY_SETTINGS: RunControlPanel(L"desk.cpl", L",,4"); return TRUE;
        case IDC_SOUND_SETTINGS: {
          RunControlPanel(L"mmsys.cpl", L",,2");
          const wchar_t manual[] = L"C:\\util\\manual\\shortcut_op10_11_a.hta";
          if (GetFileAttributesW(manual) != INVALID_FILE_ATTRIBUTES)
            ShellExecuteW(nullptr, L"open", manual, nullptr, nullptr, SW_SHOWNORMAL);
          return TRUE;
        }
        case IDCANCEL:
          c->shell->link.panel = nullptr;
          EndDialog(dialog, 0);
          return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      if (c) c->shell->link.panel = nullptr;
      EndDialog(dialog, 0);
      return TRUE;
  }
  return FALSE;
}
}  // namespace

INT_PTR ShowPanel(Shell& s, int state) {
  PanelContext context{&s, state};
  const INT_PTR result =
      DialogBoxParamW(kit::ModuleInstance(), MAKEINTRESOURCEW(IDD_PANEL), nullptr, PanelProc,
                      reinterpret_cast<LPARAM>(&context));
  s.link.panel = nullptr;
  s.module.PanelClosed();
  return result;
}

}  // namespace hdmi
