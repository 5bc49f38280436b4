// The module's page in the host's settings sheet.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "modules/registration/module/reg_resource_ids.h"
#include "modules/registration/module/reg_shell.h"

namespace {
using reg::Module;

UINT BannerFor(HWND dialog) {
  HDC dc = GetDC(dialog);
  const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
  if (dc) ReleaseDC(dialog, dc);
  return dpi >= 144 ? IDB_BANNER_144 : dpi >= 120 ? IDB_BANNER_120 : IDB_BANNER_96;
}

void ShowChoice(Module& m, HWND dialog) {
  const bool live = m.reminder->InsideWindowNow();
  EnableWindow(GetDlgItem(dialog, IDC_NOTIFY), live);
  CheckDlgButton(dialog, IDC_NOTIFY, live && m.reminder->UserChoice() ? BST_CHECKED : BST_UNCHECKED);
}

INT_PTR OnMessage(Module& m, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      m.setupPage = dialog;
      m.banner = static_cast<HBITMAP>(
          LoadImageW(reg::ModuleInstance(), MAKEINTRESOURCEW(BannerFor(dialog)), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
      if (m.banner) SendDlgItemMessageW(dialog, IDC_BANNER, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(m.banner));
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
      if (m.banner) DeleteObject(m.banner);
      m.banner = nullptr;
      return FALSE;
  }
  return FALSE;
}
}  // namespace

extern "C" __declspec(dllexport) INT_PTR WICKPOST_CALL WickpostSetupDlgProc(HWND dialog, UINT message, WPARAM wParam,
                                                                          LPARAM lParam) {
  try {
    Module* m = reg::TheModule();
    return m ? OnMessage(*m, dialog, message, wParam, lParam) : FALSE;
  } catch (...) {
    return FALSE;
  }
}
