// The real Wickpost.exe under Wine: the settings sheet with the probe module's page, the About
// box, and the host's resources in each of its languages.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/module_contract.h"
#include "resources/host/resource.h"
#include "tests/common/win/win_test_support.h"
#include "tests/host/win/host_harness.h"

using namespace hosttest;
using wintest::ScopedKey;

namespace {
const wchar_t kHostKey[] = L"Software\\Velmorant\\WICKPOST";
const wchar_t kDialogClass[] = L"#32770";
const wchar_t kSheetCaption[] = L"Notification settings - Tellwick";
constexpr int kApplyButton = 0x3021;
constexpr int kProbeCheckBox = 301;

DWORD ReadDword(const wchar_t* name) {
  DWORD value = 0, size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, kHostKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
    return 0xDEADu;
  return value;
}

// Windows 7 (no toast bridge, no newer-release question), first-run question answered.
class SheetScenario : public ::testing::Test {
 protected:
  SheetScenario()
      : appDefaults_(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\Wickpost.exe"),
        settings_(HKEY_CURRENT_USER, kHostKey) {
    appDefaults_.SetString(L"Version", L"win2008r2");
    settings_.SetDword(L"InitialDlgShown", 1);
  }

  HWND OpenSheet(const HostProcess& host) {
    if (!host.Main()) return nullptr;
    host.Post(WM_COMMAND, IDM_SETTINGS);
    return host.WaitWindow(kDialogClass, kSheetCaption);
  }

  ScopedKey appDefaults_;
  ScopedKey settings_;
  Sandbox box_;
};

HWND Page(HWND sheet) { return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)); }
bool ApplyEnabled(HWND sheet) { return IsWindowEnabled(GetDlgItem(sheet, kApplyButton)) != FALSE; }
void Click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// What a user's pick in the list does: the selection moves, the page hears CBN_SELCHANGE.
void Choose(HWND page, int index) {
  HWND list = GetDlgItem(page, IDC_AUTOHIDE);
  SendMessageW(list, CB_SETCURSEL, index, 0);
  SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_AUTOHIDE, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

int TabCount(HWND sheet) {
  return static_cast<int>(SendMessageW(reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0)),
                                       TCM_GETITEMCOUNT, 0, 0));
}

std::wstring Text(HWND window, int id) {
  wchar_t text[256] = {};
  GetDlgItemTextW(window, id, text, 256);
  return text;
}
}  // namespace

TEST_F(SheetScenario, GeneralPageShowsDefaultsAndApplyOnlyOnARealChange) {
  settings_.SetDword(L"ClockSpeed", 50);
  box_.AddModule(L"wkptrss", "timers=1\r\n");
  HostProcess host(box_);
  // At rest the host leaves the common controls alone (megabytes under Wine); the sheet
  // brings them.
  ASSERT_TRUE(box_.WaitForTicks(1));
  EXPECT_FALSE(HasLoaded(host.pid(), L"comctl32.dll"));
  HWND sheet = OpenSheet(host);
  ASSERT_TRUE(sheet);
  EXPECT_TRUE(HasLoaded(host.pid(), L"comctl32.dll"));
  HWND page = Page(sheet);
  ASSERT_TRUE(page);
  EXPECT_EQ(TabCount(sheet), 1) << "no module offers a page";
  EXPECT_EQ(IsDlgButtonChecked(page, IDC_MINIPOPUP), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(page, IDC_FLASHICON), BST_UNCHECKED);
  EXPECT_EQ(IsDlgButtonChecked(page, IDC_BEEPSOUND), BST_UNCHECKED);
  EXPECT_EQ(SendDlgItemMessageW(page, IDC_AUTOHIDE, CB_GETCOUNT, 0, 0), 6);
  EXPECT_EQ(SendDlgItemMessageW(page, IDC_AUTOHIDE, CB_GETCURSEL, 0, 0), 3);
  EXPECT_EQ(Text(page, IDC_AUTOHIDE), L"3 mins");
  EXPECT_NE(SendDlgItemMessageW(page, IDC_BANNER, STM_GETIMAGE, IMAGE_BITMAP, 0), 0) << "the banner is loaded";
  EXPECT_FALSE(ApplyEnabled(sheet));

  Choose(page, 3);
  EXPECT_FALSE(ApplyEnabled(sheet)) << "the saved value again is no change";
  Choose(page, 1);
  EXPECT_TRUE(ApplyEnabled(sheet));
  Click(sheet, kApplyButton);
  EXPECT_EQ(ReadDword(L"MiniPopupTime"), 1u);
  EXPECT_EQ(ReadDword(L"MiniPopup"), 1u);
  EXPECT_EQ(ReadDword(L"FlashIcon"), 0u);
  EXPECT_FALSE(ApplyEnabled(sheet));
  Choose(page, 1);
  EXPECT_FALSE(ApplyEnabled(sheet)) << "compared with what was applied, not with the start";

  PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
  for (DWORD start = GetTickCount(); IsWindow(sheet) && GetTickCount() - start < 5000;) Sleep(20);
  EXPECT_TRUE(box_.WaitForTicks(2)) << "a module is on: the host stays";
  EXPECT_TRUE(host.Running());
  EXPECT_EQ(host.WaitWindow(kDialogClass, kSheetCaption, 0), nullptr);
}

TEST_F(SheetScenario, HandSetAutoHideSurvivesApplyAndModulePagesFollowInOrder) {
  settings_.SetDword(L"MiniPopupTime", 7);
  settings_.SetDword(L"BeepSound", 0);
  box_.AddModule(L"wkpthdd", "setup=300\r\n");
  box_.AddModule(L"wkptrss", "setup=999\r\n");  // no such template: left out
  box_.AddModule(L"wkptreg", "");                // no page
  box_.AddModule(L"wkptxwpk", "setup=300\r\n");
  HostProcess host(box_);
  HWND sheet = OpenSheet(host);
  ASSERT_TRUE(sheet);
  EXPECT_EQ(TabCount(sheet), 3) << "general, wkpthdd, wkptxwpk; no gap for wkptrss";
  HWND page = Page(sheet);
  EXPECT_EQ(SendDlgItemMessageW(page, IDC_AUTOHIDE, CB_GETCURSEL, 0, 0), CB_ERR) << "7 is no choice of the list";

  Click(page, IDC_BEEPSOUND);
  EXPECT_TRUE(ApplyEnabled(sheet));
  SendMessageW(sheet, PSM_SETCURSEL, 2, 0);  // the last module's page
  HWND modulePage = Page(sheet);
  ASSERT_NE(modulePage, page);
  ASSERT_TRUE(box_.WaitForLog("wkptxwpk Setup init"));
  Click(modulePage, kProbeCheckBox);
  EXPECT_TRUE(box_.WaitForLog("wkptxwpk Setup changed"));

  PostMessageW(sheet, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(box_.WaitForLog("wkptxwpk Setup apply checked=1"));
  for (DWORD start = GetTickCount(); IsWindow(sheet) && GetTickCount() - start < 5000;) Sleep(20);
  EXPECT_EQ(ReadDword(L"BeepSound"), 1u);
  EXPECT_EQ(ReadDword(L"MiniPopupTime"), 7u) << "no selection keeps the stored value";
  const std::string log = box_.Log();
  EXPECT_EQ(CountOf(log, "wkpthdd Setup init"), 0) << "a page never shown is never made";
  EXPECT_EQ(CountOf(log, "wkptrss Setup"), 0);
  EXPECT_TRUE(host.Running());
}

// Applied values steer the running host at once: whether the next new line from an automatic
// check opens the mini popup follows the switch just applied.
TEST_F(SheetScenario, AppliedSwitchTakesEffectAtOnce) {
  settings_.SetDword(L"ClockSpeed", 50);
  settings_.SetDword(L"MiniPopup", 1);
  box_.AddModule(L"wkptrss", "interval=0\r\n");  // checked every tick, nothing new yet
  HostProcess host(box_);
  for (const bool popups : {false, true}) {
    HWND sheet = OpenSheet(host);
    ASSERT_TRUE(sheet);
    Click(Page(sheet), IDC_MINIPOPUP);
    PostMessageW(sheet, WM_COMMAND, IDOK, 0);
    for (DWORD start = GetTickCount(); IsWindow(sheet) && GetTickCount() - start < 5000;) Sleep(20);
    EXPECT_EQ(ReadDword(L"MiniPopup"), popups ? 1u : 0u);

    const std::string text = popups ? "second" : "first", answered = "wkptrss AutoCheck result=0x1";
    const int before = CountOf(box_.Log(), answered);
    box_.WriteFile(L"wkptrss.ini", "[probe]\r\ninterval=0\r\nauto_rest=1\r\ntext=" + text + "\r\n");
    ASSERT_TRUE(box_.WaitForLog(answered, before + 2)) << "a new line was handed over";
    // Switched off, the first pass's line was new on the tick before the second answer, so its
    // mini popup would be up by now.
    HWND mini = host.WaitWindow(L"MiniPopupClass", nullptr, popups ? 15000 : 0);
    EXPECT_EQ(mini != nullptr, popups) << "popups " << popups;
  }
}

TEST_F(SheetScenario, AboutBoxShowsTheInstalledVersion) {
  ScopedKey machine(HKEY_LOCAL_MACHINE, kHostKey);
  box_.AddModule(L"wkptrss", "");
  HostProcess host(box_);
  ASSERT_TRUE(host.Main());
  const std::wstring tooLong = L"V7.01L10 M00" + std::wstring(40, L'x');  // 52 characters
  const wchar_t multi[] = L"V3.00L02 M01\0V9.99\0";
  struct Case {
    const wchar_t* data;
    DWORD bytes, type;
    const wchar_t* line;
  } cases[] = {
      {L"V7.01L10 M00", 26, REG_SZ, L"Tellwick V7.01L10"},
      {L"V7.01", 12, REG_SZ, L"Tellwick V1.00L10"},
      {L"V2.10L20M03", 24, REG_EXPAND_SZ, L"Tellwick V2.10L20"},
      {L"V2.10L20A03", 24, REG_SZ, L"Tellwick V2.10L20A03"},  // no M: shown whole
      {multi, sizeof multi, REG_MULTI_SZ, L"Tellwick V3.00L02"},
      {tooLong.c_str(), static_cast<DWORD>((tooLong.size() + 1) * 2), REG_SZ, L"Tellwick V1.00L10"},
      {L"V7.01L10 M00", 24, REG_BINARY, L"Tellwick V1.00L10"},
  };
  for (const Case& c : cases) {
    machine.SetBinary(L"Version", c.data, c.bytes, c.type);
    host.Post(WM_COMMAND, IDM_ABOUT);
    HWND about = host.WaitWindow(kDialogClass, L"About Tellwick");
    ASSERT_TRUE(about) << c.line;
    EXPECT_EQ(Text(about, IDC_PRODUCT), c.line);
    PostMessageW(about, WM_COMMAND, IDOK, 0);
    for (DWORD start = GetTickCount(); IsWindow(about) && GetTickCount() - start < 5000;) Sleep(20);
    EXPECT_FALSE(IsWindow(about));
  }
  EXPECT_TRUE(host.Running());
}

namespace {
struct Language {
  LANGID id;
  const char* unixLocale;  // what Wine takes the user's language from
  const wchar_t* sheetCaption;
  const wchar_t* popupsBox;
  const wchar_t* threeMinutes;
  const wchar_t* aboutTitle;
};
const Language kLanguages[] = {
    {0x0409, "en_US.UTF-8", L"Notification settings - Tellwick", L"Using small popups", L"3 mins", L"About Tellwick"},
    {0x0407, "de_DE.UTF-8", L"Benachrichtigungseinstellungen - Tellwick", L"Kleine Popups anzeigen", L"3 Minuten",
     L"Info über Tellwick"},
    {0x040C, "fr_FR.UTF-8", L"Paramètres de notification - Tellwick", L"Ouvrir une mini-fenêtre", L"3 minutes",
     L"À propos de Tellwick"},
    {0x0410, "it_IT.UTF-8", L"Impostazioni di notifica - Tellwick", L"Usa finestre popup", L"3 minuti",
     L"Informazioni su Tellwick"},
    {0x0C0A, "es_ES.UTF-8", L"Configuración de notificaciones - Tellwick", L"Usar avisos emergentes",
     L"3 minutos", L"Acerca de Tellwick"},
    {0x0411, "ja_JP.UTF-8", L"通知の設定 - Tellwick", L"ポップアップで通知", L"3 分", L"Tellwick のバージョン情報"},
    {0x0804, "zh_CN.UTF-8", L"通知设置 - Tellwick", L"使用小弹出窗口", L"3 分钟", L"关于 Tellwick"},
    {0x0404, "zh_TW.UTF-8", L"通知設定 - Tellwick", L"使用小型快顯視窗", L"3 分鐘", L"關於 Tellwick"},
};

// One string of one language, straight from the string table block.
std::wstring StringIn(HMODULE module, UINT id, LANGID language) {
  HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(6) /* RT_STRING */, MAKEINTRESOURCEW(id / 16 + 1), language);
  if (!found) return L"<missing>";
  const auto* p = static_cast<const WCHAR*>(LockResource(LoadResource(module, found)));
  for (UINT i = 0; i < id % 16; ++i) p += 1 + *p;
  return std::wstring(p + 1, *p);
}

std::vector<UINT> MenuCommands(HMODULE module, UINT menu, LANGID language) {
  std::vector<UINT> out;
  HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(4) /* RT_MENU */, MAKEINTRESOURCEW(menu), language);
  if (!found) return out;
  HMENU loaded = LoadMenuIndirectW(LockResource(LoadResource(module, found)));
  for (int top = 0; top < GetMenuItemCount(loaded); ++top) {
    HMENU sub = GetSubMenu(loaded, top);
    for (int i = 0; i < GetMenuItemCount(sub); ++i) out.push_back(GetMenuItemID(sub, i));
  }
  DestroyMenu(loaded);
  return out;
}

const UINT kStrings[] = {IDS_CAPTION, IDS_TRAYTIP, IDS_SETTINGS_CAPTION, IDS_NEVER, IDS_MINS, IDS_NO_NOTIFICATIONS,
                         IDS_CLASS, IDS_MIN, IDS_PENDING_TIP, IDS_FIRSTRUN_INTRO, IDS_FIRSTRUN_ASK, IDS_FIRSTRUN_LINE,
                         IDS_FUTURE_OS, IDS_NO_DRIVER, IDS_ALREADY_RUNNING, IDS_DISMISS_ALL, IDS_TOAST_NEW,
                         IDS_TOAST_NOW};
}  // namespace

// Every language carries every string, both menus with the English commands and both dialogs;
// the caption and class name, by which a second start finds the resident one, never change.
TEST(HostResources, EveryLanguageIsComplete) {
  HMODULE exe = LoadLibraryExW(wintest::WinePath(HOST_EXE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_TRUE(exe);
  const std::vector<UINT> mainMenu = MenuCommands(exe, IDR_MAINMENU, 0x0409);
  const std::vector<UINT> trayMenu = MenuCommands(exe, IDR_TRAYMENU, 0x0409);
  EXPECT_EQ(mainMenu, (std::vector<UINT>{IDM_EXIT, IDM_ABOUT}));
  EXPECT_EQ(trayMenu, (std::vector<UINT>{IDM_CHECKNOW, 0, IDM_SETTINGS, IDM_ABOUT, 0, IDM_EXIT}));
  for (const Language& l : kLanguages) {
    SCOPED_TRACE(l.unixLocale);
    for (UINT id : kStrings) EXPECT_FALSE(StringIn(exe, id, l.id).empty()) << id;
    EXPECT_EQ(StringIn(exe, IDS_CAPTION, l.id), L"Tellwick");
    EXPECT_EQ(StringIn(exe, IDS_CLASS, l.id), L"WICKPOST");
    EXPECT_EQ(StringIn(exe, IDS_SETTINGS_CAPTION, l.id), l.sheetCaption) << "UTF-8 source read as UTF-8";
    EXPECT_EQ(MenuCommands(exe, IDR_MAINMENU, l.id), mainMenu);
    EXPECT_EQ(MenuCommands(exe, IDR_TRAYMENU, l.id), trayMenu);
    for (UINT dialog : {IDD_GENERAL, IDD_ABOUT})
      EXPECT_TRUE(FindResourceExW(exe, MAKEINTRESOURCEW(5) /* RT_DIALOG */, MAKEINTRESOURCEW(dialog), l.id)) << dialog;

    // The loader picks the thread's language.
    SetThreadLocale(MAKELCID(l.id, SORT_DEFAULT));
    wchar_t loaded[128] = {};
    LoadStringW(exe, IDS_SETTINGS_CAPTION, loaded, 128);
    EXPECT_STREQ(loaded, l.sheetCaption);
  }
  SetThreadLocale(MAKELCID(0x0409, SORT_DEFAULT));
  FreeLibrary(exe);
}

// The banner for each screen density has the size its page was laid out for.
TEST(HostResources, BannersHaveTheirSizes) {
  HMODULE exe = LoadLibraryExW(wintest::WinePath(HOST_EXE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_TRUE(exe);
  const struct {
    UINT id;
    LONG width;
  } banners[] = {{IDB_BANNER_96, 416}, {IDB_BANNER_120, 484}, {IDB_BANNER_144, 622}};
  for (const auto& b : banners) {
    HRSRC found = FindResourceW(exe, MAKEINTRESOURCEW(b.id), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
    ASSERT_TRUE(found) << b.id;
    const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(exe, found)));
    EXPECT_EQ(header->biWidth, b.width) << b.id;
    EXPECT_EQ(header->biHeight < 0 ? -header->biHeight : header->biHeight, 54) << b.id;
  }
  FreeLibrary(exe);
}

// The user gets the sheet, its page and the About box in the language Wine was started in
// (ctest runs this once per language); a language the host does not carry falls back to English.
TEST_F(SheetScenario, FollowsTheUsersLanguage) {
  const LANGID user = GetUserDefaultUILanguage();
  const Language* expected = &kLanguages[0];
  for (const Language& l : kLanguages)
    if (l.id == user) expected = &l;
  const Language& l = *expected;
  RecordProperty("language", l.unixLocale);
  box_.AddModule(L"wkptrss", "");
  HostProcess host(box_);
  ASSERT_TRUE(host.Main());
  host.Post(WM_COMMAND, IDM_SETTINGS);
  HWND sheet = host.WaitWindow(kDialogClass, l.sheetCaption);
  ASSERT_TRUE(sheet) << std::hex << user;
  HWND page = Page(sheet);
  EXPECT_EQ(Text(page, IDC_MINIPOPUP), l.popupsBox);
  EXPECT_EQ(Text(page, IDC_AUTOHIDE), l.threeMinutes);
  PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
  for (DWORD start = GetTickCount(); IsWindow(sheet) && GetTickCount() - start < 5000;) Sleep(20);
  host.Post(WM_COMMAND, IDM_ABOUT);
  HWND about = host.WaitWindow(kDialogClass, l.aboutTitle);
  ASSERT_TRUE(about);
  EXPECT_EQ(Text(about, IDC_PRODUCT), L"Tellwick V1.00L10");
  PostMessageW(about, WM_COMMAND, IDOK, 0);
  host.Post(WM_COMMAND, IDM_EXIT);
  EXPECT_EQ(host.Wait(), 0);
}
