#include "host/win/settings_sheet.h"

#include <commctrl.h>
#include <prsht.h>

#include "host/core/general_page_rules.h"
#include "resources/host/resource.h"
#include "common/win/system_library.h"

namespace host {
namespace {
// Module procedures are __cdecl and the sheet calls back __stdcall, so every module page
// runs through ModulePageProc, which finds the module's procedure in this property.
const wchar_t kModuleProcProp[] = L"WickpostSetupDlgProc";

// The general page's own state, alive while the sheet is open.
struct GeneralPage {
  const SettingsSheet* sheet;
  HBITMAP banner = nullptr;
};

UINT BannerResource(HWND dialog) {
  HDC dc = GetDC(dialog);
  const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
  if (dc) ReleaseDC(dialog, dc);
  switch (BannerForDpi(dpi)) {
    case BannerSize::Dpi144:
      return IDB_BANNER_144;
    case BannerSize::Dpi120:
      return IDB_BANNER_120;
    default:
      return IDB_BANNER_96;
  }
}

void Check(HWND dialog, int id, bool on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }
bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
int Selection(HWND dialog) { return static_cast<int>(SendDlgItemMessageW(dialog, IDC_AUTOHIDE, CB_GETCURSEL, 0, 0)); }
void Changed(HWND dialog) { SendMessageW(GetParent(dialog), PSM_CHANGED, reinterpret_cast<WPARAM>(dialog), 0); }

void InitGeneral(HWND dialog, GeneralPage& page) {
  const SettingsSheet& sheet = *page.sheet;
  for (const std::u16string& choice : sheet.autoHideChoices)
    SendDlgItemMessageW(dialog, IDC_AUTOHIDE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.c_str()));
  const GeneralPageState shown = GeneralPageFrom(*sheet.settings);
  SendDlgItemMessageW(dialog, IDC_AUTOHIDE, CB_SETCURSEL, static_cast<WPARAM>(shown.selection), 0);
  Check(dialog, IDC_MINIPOPUP, shown.miniPopup);
  Check(dialog, IDC_FLASHICON, shown.flashIcon);
  Check(dialog, IDC_BEEPSOUND, shown.beepSound);
  page.banner = static_cast<HBITMAP>(
      LoadImageW(sheet.instance, MAKEINTRESOURCEW(BannerResource(dialog)), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
  if (page.banner)
    SendDlgItemMessageW(dialog, IDC_BANNER, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(page.banner));
}

void OnGeneralCommand(HWND dialog, const GeneralPage& page, WORD id, WORD code) {
  const bool box = id == IDC_MINIPOPUP || id == IDC_FLASHICON || id == IDC_BEEPSOUND;
  if (box && code == BN_CLICKED) Changed(dialog);
  if (id == IDC_AUTOHIDE && code == CBN_SELCHANGE &&
      ListChangeEnablesApply(Selection(dialog), page.sheet->settings->miniPopupTime))
    Changed(dialog);
}

void ApplyGeneral(HWND dialog, const GeneralPage& page) {
  const SettingsSheet& sheet = *page.sheet;
  ApplyGeneralPage({Checked(dialog, IDC_MINIPOPUP), Checked(dialog, IDC_FLASHICON), Checked(dialog, IDC_BEEPSOUND),
                    Selection(dialog)},
                   sheet.settings);
  sheet.save(sheet.saveContext);
}

INT_PTR OnGeneralMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const auto* psp = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
    auto* page = reinterpret_cast<GeneralPage*>(psp->lParam);
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(page));
    InitGeneral(dialog, *page);
    return TRUE;
  }
  auto* page = reinterpret_cast<GeneralPage*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (!page) return FALSE;
  switch (message) {
    case WM_COMMAND:
      OnGeneralCommand(dialog, *page, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (!header || header->code != static_cast<UINT>(PSN_APPLY)) return FALSE;
      ApplyGeneral(dialog, *page);
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT, PSNRET_NOERROR);
      return TRUE;
    }
    case WM_DESTROY:
      if (page->banner) DeleteObject(page->banner);
      page->banner = nullptr;
      SetWindowLongPtrW(dialog, DWLP_USER, 0);
      return FALSE;
  }
  return FALSE;
}

INT_PTR CALLBACK GeneralPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    return OnGeneralMessage(dialog, message, wParam, lParam);
  } catch (...) {
    return FALSE;  // nothing may unwind into the dialog manager
  }
}

INT_PTR CALLBACK ModulePageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const auto* psp = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
    SetPropW(dialog, kModuleProcProp, reinterpret_cast<HANDLE>(psp->lParam));
  }
  const auto proc = reinterpret_cast<WickpostSetupDlgProcFn>(GetPropW(dialog, kModuleProcProp));
  if (message == WM_NCDESTROY) RemovePropW(dialog, kModuleProcProp);
  try {
    return proc ? proc(dialog, message, wParam, lParam) : FALSE;
  } catch (...) {
    return FALSE;  // a module that breaks its contract still may not unwind into the dialog manager
  }
}

// The template is looked up here, so that a page without one is left out instead of
// leaving an empty tab.
HPROPSHEETPAGE CreatePage(HINSTANCE instance, uint16_t templateId, DLGPROC proc, LPARAM lParam) {
  if (!templateId || !FindResourceW(instance, MAKEINTRESOURCEW(templateId), MAKEINTRESOURCEW(5) /* RT_DIALOG */))
    return nullptr;
  PROPSHEETPAGEW psp = {};
  psp.dwSize = sizeof psp;
  psp.dwFlags = PSP_DEFAULT;
  psp.hInstance = instance;
  psp.pszTemplate = MAKEINTRESOURCEW(templateId);
  psp.pfnDlgProc = proc;
  psp.lParam = lParam;
  return TW_SYSTEM_FUNCTION(L"comctl32.dll", CreatePropertySheetPageW)(&psp);
}
}  // namespace

bool ShowSettingsSheet(const SettingsSheet& sheet, const std::vector<ModulePage>& modulePages) {
  // The common controls load here, at the first sheet, rather than with the resident host.
  TW_SYSTEM_FUNCTION(L"comctl32.dll", InitCommonControls)();
  GeneralPage general{&sheet};
  std::vector<HPROPSHEETPAGE> pages;
  HPROPSHEETPAGE first = CreatePage(sheet.instance, IDD_GENERAL, GeneralPageProc, reinterpret_cast<LPARAM>(&general));
  if (!first) return false;
  pages.push_back(first);
  for (const ModulePage& m : modulePages)
    if (HPROPSHEETPAGE page = CreatePage(m.instance, m.templateId, ModulePageProc, reinterpret_cast<LPARAM>(m.proc)))
      pages.push_back(page);

  wchar_t caption[100] = {};
  LoadStringW(sheet.instance, IDS_SETTINGS_CAPTION, caption, ARRAYSIZE(caption));
  PROPSHEETHEADERW psh = {};
  psh.dwSize = sizeof psh;
  psh.dwFlags = PSH_NOCONTEXTHELP;
  psh.hwndParent = sheet.owner;
  psh.hInstance = sheet.instance;
  psh.pszCaption = caption;
  psh.nPages = static_cast<UINT>(pages.size());
  psh.phpage = pages.data();
  // PropertySheetW takes the pages over and destroys them, shown or not.
  TW_SYSTEM_FUNCTION(L"comctl32.dll", PropertySheetW)(&psh);
  return true;
}

}  // namespace host
