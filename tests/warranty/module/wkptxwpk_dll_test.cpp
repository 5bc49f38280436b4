// wkptxwpk.dll (sim variant) driven the way the host drives it, on the simulated notebook,
// reading its definition file and offer image from the support server stand-in: the page
// with the downloaded image, the schedule, the show-now button, server errors, refused image
// addresses and the "do not show again" image, with Wine's registry, files and WinHTTP.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <mshtml.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/win/reg.h"
#include "host/module_contract.h"
#include "modules/warranty/module/xwpk_resource_ids.h"
#include "tests/common/win/fake_page_event.h"
#include "tests/common/win/module_dll_support.h"
#include "tests/common/win/win_test_support.h"

namespace {
const wchar_t kModuleKey[] = L"Software\\Velmorant\\WICKPOST\\WKPTXWPK";
const wchar_t kCaption[] = L"延長保証サービスパックのご案内";
const std::wstring kState = wintest::WinePath(SUPPORT_STATE_DIR);
const std::wstring kServerFiles = wintest::WinePath(SUPPORT_SCENARIO_DIR);

using wintest::ReadAll;
using wintest::TempFiles;
using wintest::TempFolder;
std::wstring W(const std::string& s) { return std::wstring(s.begin(), s.end()); }
bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
std::wstring Decode(const std::string& s, UINT codePage) {
  std::wstring w(s.size(), L'\0');
  w.resize(MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), &w[0], static_cast<int>(w.size())));
  return w;
}
class Wkptxwpk : public testing::Test {
 protected:
  void SetUp() override {
    for (const std::wstring& name : TempFiles(L"WXP*.tmp")) DeleteFileW((TempFolder() + name).c_str());
    for (const std::wstring& name : TempFiles(L"EWI*.png")) DeleteFileW((TempFolder() + name).c_str());
  }
  // `root`: the scenario's folder on the stand-in, e.g. "/default" or "/fault/404/default".
  int Start(const std::string& root = "/default", const char* scenario = "default.ini") {
    Unload();
    const int port = wintest::SupportServerPorts(kState)["http"];
    EXPECT_NE(port, 0) << "the support server fixture is not running";
    SetEnvironmentVariableW(L"TELLWICK_SUPPORT_HOST", (L"127.0.0.1:" + std::to_wstring(port) + W(root)).c_str());
    std::string error;
    EXPECT_TRUE(notebook_.Load(wintest::WinePath((std::string(SCENARIO_DIR "/") + scenario).c_str()), false, error))
        << error;
    dll_ = LoadLibraryW(wintest::WinePath(WKPTXWPK_DLL).c_str());
    EXPECT_NE(dll_, nullptr);
    if (!dll_) return -1;
    if (!host_) host_ = CreateWindowW(L"STATIC", L"host", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    info_ = ModuleInitInfo{sizeof(ModuleInitInfo), 3, 0, 0, 7, notebook_.client()};
    wchar_t errorText[WICKPOST_ERROR_BUFFER] = {};
    return Get<WickpostInitializeFn>("WickpostInitialize")(host_, &info_, errorText, WICKPOST_ERROR_BUFFER);
  }
  void Unload() {
    if (dll_) FreeLibrary(dll_);
    dll_ = nullptr;
    notebook_.Reset();
  }
  void TearDown() override {
    Unload();
    if (host_) DestroyWindow(host_);
    SetEnvironmentVariableW(L"TELLWICK_SUPPORT_HOST", nullptr);
  }
  template <class Fn>
  Fn Get(const char* name) {
    Fn fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll_, name)));
    EXPECT_NE(fn, nullptr) << name;
    return fn;
  }
  CheckResult Check(const char* entry) {
    wchar_t text[WICKPOST_CHECK_BUFFER] = {}, page[WICKPOST_CHECK_BUFFER] = {};
    uint16_t code = 0;
    const CheckResult r = Get<WickpostCheckFn>(entry)(text, WICKPOST_CHECK_BUFFER, page, WICKPOST_CHECK_BUFFER, &code);
    text_ = text;
    page_ = page;
    return r;
  }
  CheckResult Auto() { return Check("WickpostAutoCheck"); }
  CheckResult Manual() { return Check("WickpostManualCheck"); }
  void Show() { Get<WickpostHTMLOnShowFn>("WickpostHTMLOnShow")(); }
  void Close() { Get<WickpostHTMLOnCloseFn>("WickpostHTMLOnClose")(); }
  int IsEnable() { return Get<WickpostIsEnableFn>("WickpostIsEnable")(); }
  int ClickCheckImage(const wchar_t* src) {
    const FakeClick click = {L"click", L"IMG", L"xwpk_check", nullptr, FALSE, FALSE, -1, src};
    IHTMLEventObj* event = FakePageEvent(&click);
    const int r = Get<WickpostHTMLOnClickFn>("WickpostHTMLOnClick")(event);
    event->Release();
    return r;
  }
  // The settings page's show-now button, and the host's check it asks for.
  void ShowNow(HWND page) {
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_SHOW_NOW, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_SHOW_NOW)));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, host_, WM_HOST_CHECKMODULE, WM_HOST_CHECKMODULE, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
  }
  std::unique_ptr<wintest::SetupPageInSheet> SettingsPage() {
    const uint16_t id = Get<WickpostGetSetupDlgFn>("WickpostGetSetupDlg")();
    EXPECT_EQ(id, IDD_SETUP);
    return std::make_unique<wintest::SetupPageInSheet>(dll_, id, Get<WickpostSetupDlgProcFn>("WickpostSetupDlgProc"));
  }
  DWORD SavedNotify() {
    DWORD notify = 7;
    EXPECT_TRUE(CReg().ReadDword64(HKEY_LOCAL_MACHINE, kModuleKey, L"Notify", &notify));
    return notify;
  }

  wintest::ScopedKey sysglance_{HKEY_LOCAL_MACHINE, L"Software\\Velmorant\\Sysglance", KEY_WOW64_64KEY};
  wintest::ScopedKey machine_{HKEY_LOCAL_MACHINE, L"Software\\Velmorant\\WICKPOST", KEY_WOW64_64KEY};
  wintest::ScopedKey user_{HKEY_CURRENT_USER, kModuleKey};
  wintest::SimNotebook notebook_;
  HMODULE dll_ = nullptr;
  HWND host_ = nullptr;
  ModuleInitInfo info_{};
  std::wstring text_, page_;
};

TEST_F(Wkptxwpk, EligibleNotebookGetsThePageWithTheDownloadedImageOncePerDay) {
  ASSERT_TRUE(sysglance_.SetString(L"FirstLogin", wintest::FirstLoginDaysAgo(364)));
  ASSERT_EQ(Start(), 0);
  EXPECT_EQ(info_.checkInterval, 60u);
  EXPECT_EQ(IsEnable(), 1);
  ASSERT_EQ(Auto(), static_cast<CheckResult>(CHECK_PAGE));
  EXPECT_EQ(text_, L"延長保証サービスパックのご案内") << "Shift_JIS, whatever the system's code page";
  EXPECT_EQ(page_.rfind(TempFolder() + L"WXP", 0), 0u) << page_;
  const std::wstring html = Decode(ReadAll(page_), CP_UTF8);
  const bool small = GetSystemMetrics(SM_CXSCREEN) < 1600 || GetSystemMetrics(SM_CYSCREEN) < 900;
  const std::vector<std::wstring> images = TempFiles(L"EWI*.png");
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(ReadAll(TempFolder() + images[0]),
            ReadAll(kServerFiles + (small ? L"\\default\\xwpkpack\\popup\\offer_sm.png" : L"\\default\\xwpkpack\\popup\\offer.png")));
  std::wstring imageUrl = TempFolder() + images[0];
  for (wchar_t& c : imageUrl) c = c == L'\\' ? L'/' : c;
  EXPECT_NE(html.find(L"background-image: url(&quot;file:///" + imageUrl + L"&quot;)"), std::wstring::npos) << html;
  EXPECT_NE(html.find(L"name=\"productCode\" value=\"PT-15KB3456CS\""), std::wstring::npos);
  EXPECT_NE(html.find(small ? L"xwpk_sm.css" : L"xwpk.css\""), std::wstring::npos);
  EXPECT_TRUE(Exists(wintest::WinePath(WKPTXWPK_DLL).substr(0, wintest::WinePath(WKPTXWPK_DLL).find_last_of(L'\\')) +
                     (small ? L"\\xwpk_sm.css" : L"\\xwpk.css")))
      << "the style sheets lie beside the module";

  // The popup: the page with frame and caption, centred on the work area.
  int width = 0, height = 0, right = 0, bottom = 0, ticks = 0;
  ASSERT_EQ(Get<WickpostGetPairFn>("WickpostGetPopupSize")(&width, &height), 0);
  EXPECT_EQ(width, (small ? 700 : 1400) + 2 * GetSystemMetrics(SM_CXFRAME));
  EXPECT_EQ(height, (small ? 400 : 800) + 2 * GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION));
  ASSERT_EQ(Get<WickpostGetPairFn>("WickpostGetPopupOffset")(&right, &bottom), 0);
  RECT work;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_LE(std::abs((work.right - right - width) - work.left - right), 1);
  EXPECT_LE(std::abs((work.bottom - bottom - height) - work.top - bottom), 1);
  ASSERT_EQ(Get<WickpostGetHTMLTimeoutFn>("WickpostGetHTMLTimeout")(&ticks), 0);
  EXPECT_EQ(ticks, 180);
  EXPECT_EQ(Get<WickpostGetPairFn>("WickpostGetPopupSize")(nullptr, &height), MODULE_E_BAD_ARGUMENT);

  EXPECT_EQ(Auto(), static_cast<CheckResult>(CHECK_KEEP));
  const std::wstring page = page_;
  Show();
  Close();
  EXPECT_FALSE(Exists(page));
  EXPECT_TRUE(TempFiles(L"EWI*.png").empty());
  EXPECT_EQ(Auto(), static_cast<CheckResult>(CHECK_NOTHING)) << "once per run";
  SYSTEMTIME today;
  GetLocalTime(&today);
  DWORD month = 0, day = 0;
  EXPECT_TRUE(CReg().ReadDword(HKEY_CURRENT_USER, kModuleKey, L"LastNotifyMonth", &month));
  EXPECT_TRUE(CReg().ReadDword(HKEY_CURRENT_USER, kModuleKey, L"LastNotifyDay", &day));
  EXPECT_EQ(month, today.wMonth);
  EXPECT_EQ(day, today.wDay);

  // The next run of the host: not again today, but the show-now button shows it.
  ASSERT_EQ(Start(), 0);
  EXPECT_EQ(Auto(), static_cast<CheckResult>(CHECK_NOTHING));
  auto sheet = SettingsPage();
  ASSERT_NE(sheet->page(), nullptr);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(sheet->page(), IDC_NOTIFY)));
  EXPECT_EQ(IsDlgButtonChecked(sheet->page(), IDC_NOTIFY), static_cast<UINT>(BST_CHECKED));
  EXPECT_NE(SendDlgItemMessageW(sheet->page(), IDC_BANNER, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
  ShowNow(sheet->page());
  EXPECT_EQ(Manual(), static_cast<CheckResult>(CHECK_PAGE));
  EXPECT_TRUE(Exists(page_));
  Close();
  sheet.reset();
}

// The offer's requests carry the plain agent: no machine tag identifies the computer.
TEST_F(Wkptxwpk, ItsRequestsCarryNoMachineTag) {
  ASSERT_TRUE(sysglance_.SetString(L"FirstLogin", wintest::FirstLoginDaysAgo(364)));
  ASSERT_EQ(Start(), 0);
  ASSERT_EQ(Auto(), static_cast<CheckResult>(CHECK_PAGE));
  const std::string log = ReadAll(kState + L"\\requests.log");
  size_t offerRequests = 0;
  for (size_t at = 0, end; at < log.size(); at = end + 1) {
    end = log.find('\n', at);
    if (end == std::string::npos) end = log.size();
    const std::string line = log.substr(at, end - at);
    if (line.find("/default/xwpkpack/") == std::string::npos) continue;
    ++offerRequests;
    EXPECT_NE(line.find("| Mozilla/4.0 (compatible; Tellwick V4.00;)"), std::string::npos) << line;
  }
  EXPECT_GE(offerRequests, 2u) << "the definition file and the image: " << log;
}

TEST_F(Wkptxwpk, NoOfferOnAnotherModelOrAfter366Days) {
  ASSERT_TRUE(sysglance_.SetString(L"FirstLogin", wintest::FirstLoginDaysAgo(10)));
  EXPECT_EQ(Start("/default", "registration-unknown-model.ini"), MODULE_E_DRIVER);

  ASSERT_TRUE(sysglance_.SetString(L"FirstLogin", wintest::FirstLoginDaysAgo(366)));
  ASSERT_EQ(Start(), 0);
  EXPECT_EQ(IsEnable(), 0);
  EXPECT_EQ(Auto(), static_cast<CheckResult>(CHECK_NOTHING));
  auto sheet = SettingsPage();
  ASSERT_NE(sheet->page(), nullptr);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(sheet->page(), IDC_NOTIFY)));
  EXPECT_EQ(IsDlgButtonChecked(sheet->page(), IDC_NOTIFY), static_cast<UINT>(BST_UNCHECKED));
  EXPECT_TRUE(TempFiles(L"WXP*.tmp").empty());

  ASSERT_TRUE(sysglance_.SetString(L"FirstLogin", wintest::FirstLoginDaysAgo(365)));
  ASSERT_EQ(Start(), 0);
  EXPECT_EQ(IsEnable(), 1);
}

TEST_F(Wkptxwpk, ServerErrorIsNotConnectedOnlyOnAForcedCheck) {
  ASSERT_TRUE(sysglance_.SetString(L"FirstLogin", wintest::FirstLoginDaysAgo(30)));
  ASSERT_EQ(Start("/fault/404/default"), 0);
  EXPECT_EQ(Auto(), static_cast<CheckResult>(CHECK_NOTHING)) << "quietly";
  auto sheet = SettingsPage();
  ShowNow(sheet->page());
  wintest::BoxAnswer box(kCaption, IDOK);
  EXPECT_EQ(Manual(), static_cast<CheckResult>(CHECK_NOTHING));
  EXPECT_EQ(box.Text(), L"インターネットに接続できませんでした");
  EXPECT_TRUE(TempFiles(L"WXP*.tmp").empty());
  EXPECT_TRUE(TempFiles(L"EWI*.png").empty());
  EXPECT_TRUE(TempFiles(L"EWD*.tmp").empty());

  // The definition arrives, but the image answers 404 with an HTML body: never an offer.
  ASSERT_EQ(Start("/xwpk-image-404"), 0);
  EXPECT_EQ(Auto(), static_cast<CheckResult>(CHECK_NOTHING));
  EXPECT_TRUE(TempFiles(L"WXP*.tmp").empty());
  EXPECT_TRUE(TempFiles(L"EWI*.png").empty());
}

TEST_F(Wkptxwpk, LocalFileImageAddressesAreRefused) {
  ASSERT_TRUE(sysglance_.SetString(L"FirstLogin", wintest::FirstLoginDaysAgo(30)));
  ASSERT_EQ(Start("/xwpk-file-image"), 0);
  auto sheet = SettingsPage();
  ShowNow(sheet->page());
  wintest::BoxAnswer box(kCaption, IDOK);
  EXPECT_EQ(Manual(), static_cast<CheckResult>(CHECK_NOTHING));
  EXPECT_EQ(box.Text(), L"インターネットに接続できませんでした");
  EXPECT_TRUE(TempFiles(L"EWI*.png").empty());
}

TEST_F(Wkptxwpk, DoNotShowAgainIsSavedAndHoldsAtTheNextRun) {
  ASSERT_TRUE(sysglance_.SetString(L"FirstLogin", wintest::FirstLoginDaysAgo(100)));
  ASSERT_EQ(Start(), 0);
  ASSERT_EQ(Auto(), static_cast<CheckResult>(CHECK_PAGE));
  auto sheet = SettingsPage();
  Show();
  // The page's script has swapped the image to "on" before the module hears of the click.
  EXPECT_EQ(ClickCheckImage(L"file:///C:/Tellwick/xwpk_checkbox_on_sm.png"), 0);
  EXPECT_EQ(IsDlgButtonChecked(sheet->page(), IDC_NOTIFY), static_cast<UINT>(BST_UNCHECKED)) << "the settings page follows";
  Close();
  EXPECT_EQ(SavedNotify(), 0u);
  sheet.reset();

  ASSERT_EQ(Start(), 0);
  EXPECT_EQ(IsEnable(), 0);
  EXPECT_EQ(Auto(), static_cast<CheckResult>(CHECK_NOTHING));
  // Switched on again on the settings page.
  auto again = SettingsPage();
  CheckDlgButton(again->page(), IDC_NOTIFY, BST_CHECKED);
  SendMessageW(again->page(), WM_COMMAND, MAKEWPARAM(IDC_NOTIFY, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(again->page(), IDC_NOTIFY)));
  EXPECT_EQ(again->changes(), 1);
  EXPECT_EQ(again->Apply(), PSNRET_NOERROR);
  EXPECT_EQ(SavedNotify(), 1u);
  EXPECT_EQ(IsEnable(), 1);
}
}  // namespace
