// wkptbat.dll driven the way the host drives it: loaded by name, its entry points called with
// the contract's records and buffers, on the simulated notebook, with Wine's registry,
// temporary folder, code page 932, dialogs and message boxes.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <mshtml.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "common/core/misccommon.h"
#include "host/module_contract.h"
#include "modules/battery/module/bat_resource_ids.h"
#include "tests/common/win/fake_page_event.h"
#include "tests/common/win/module_dll_support.h"
#include "tests/common/win/win_test_support.h"

namespace {
const wchar_t kUserKey[] = L"Software\\Velmorant\\WICKPOST\\WKPTBAT";
const wchar_t kOnePack[] = L"Software\\Velmorant\\WICKPOST\\WKPTBAT\\VLB-ONE       24040201201";
const wchar_t kInternal[] = L"Software\\Velmorant\\WICKPOST\\WKPTBAT\\VLB-INT1      24040204321";

using wintest::ReadAll;

DWORD ReadDword(const wchar_t* key, const wchar_t* name) {
  DWORD value = 0, size = sizeof value;
  return RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS
             ? value
             : 0xDEADu;
}
bool HasValue(const wchar_t* key, const wchar_t* name) {
  return RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// Answers the next message box captioned "Tellwick" and keeps its text.
class BoxWatcher {
 public:
  BoxWatcher()
      : thread_([this] {
          for (DWORD start = GetTickCount(); !stop_ && GetTickCount() - start < 10000; Sleep(20)) {
            HWND box = FindWindowW(L"#32770", L"Tellwick");
            if (!box) continue;
            wchar_t buffer[1024] = {};
            GetDlgItemTextW(box, 0xFFFF, buffer, 1024);
            text_ = buffer;
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            return;
          }
        }) {}
  ~BoxWatcher() {
    stop_ = true;
    thread_.join();
  }
  std::wstring Take() {
    stop_ = true;
    thread_.join();
    thread_ = std::thread([] {});
    return text_;
  }

 private:
  std::atomic<bool> stop_{false};
  std::wstring text_;
  std::thread thread_;
};

class Wkptbat : public testing::Test {
 protected:
  void Start(const char* scenarioName, const char* dll = WKPTBAT_DLL) {
    const std::wstring path = wintest::WinePath((std::string(SCENARIO_DIR "/") + scenarioName).c_str());
    std::string error;
    ASSERT_TRUE(notebook_.Load(path, false, error)) << error;
    SetEnvironmentVariableW(L"TELLWICK_SCENARIO", path.c_str());  // the sim variant's battery devices
    dll_ = LoadLibraryW(wintest::WinePath(dll).c_str());
    ASSERT_NE(dll_, nullptr);
    if (!host_) host_ = CreateWindowW(L"STATIC", L"host", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    info_ = ModuleInitInfo{sizeof(ModuleInitInfo), 3, 0, 0, 1, notebook_.client()};
    wchar_t errorText[WICKPOST_ERROR_BUFFER] = {};
    const int rc = Get<WickpostInitializeFn>("WickpostInitialize")(host_, &info_, errorText, WICKPOST_ERROR_BUFFER);
    SetEnvironmentVariableW(L"TELLWICK_SCENARIO", nullptr);
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(info_.checkInterval, 60u);
  }
  void TearDown() override {
    if (dll_) FreeLibrary(dll_);
    if (host_) DestroyWindow(host_);
    notebook_.Reset();
  }
  template <class Fn>
  Fn Get(const char* name) {
    Fn fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll_, name)));
    EXPECT_NE(fn, nullptr) << name;
    return fn;
  }
  CheckResult Check(const char* entry) {
    text_.assign(WICKPOST_CHECK_BUFFER, L'\0');
    page_.assign(WICKPOST_CHECK_BUFFER, L'\0');
    uint16_t code = 0;
    const CheckResult r = Get<WickpostCheckFn>(entry)(&text_[0], WICKPOST_CHECK_BUFFER, &page_[0],
                                                      WICKPOST_CHECK_BUFFER, &code);
    text_.resize(wcsnlen(text_.c_str(), WICKPOST_CHECK_BUFFER));
    page_.resize(wcsnlen(page_.c_str(), WICKPOST_CHECK_BUFFER));
    return r;
  }
  int Click(const wchar_t* tag, const wchar_t* id, BOOL checked = TRUE, long index = -1, const wchar_t* href = nullptr,
            BOOL disabled = FALSE) {
    const FakeClick click{L"click", tag, id, href, checked, disabled, index};
    IHTMLEventObj* event = FakePageEvent(&click);
    const int r = Get<WickpostHTMLOnClickFn>("WickpostHTMLOnClick")(event);
    event->Release();
    return r;
  }

  wintest::ScopedKey user_{HKEY_CURRENT_USER, kUserKey};
  wintest::ScopedKey machine_{HKEY_LOCAL_MACHINE, L"Software\\Velmorant\\WICKPOST", KEY_WOW64_64KEY};
  wintest::SimNotebook notebook_;
  HMODULE dll_ = nullptr;
  HWND host_ = nullptr;
  ModuleInitInfo info_{};
  std::wstring text_, page_;
};
}  // namespace

TEST_F(Wkptbat, AutomaticCheckOncePerRunUntilSwitchedOnAgain) {
  ASSERT_TRUE(user_.SetDword(L"InitialAutoCheck", 1));
  Start("battery-two-packs.ini");
  ASSERT_EQ(Check("WickpostAutoCheck"), static_cast<CheckResult>(CHECK_PAGE));
  EXPECT_EQ(text_, L"バッテリーに関するお知らせが 2 件あります");
  EXPECT_EQ(page_.rfind(L"WBT", page_.find_last_of(L'\\') + 1), page_.find_last_of(L'\\') + 1) << "WBT prefix";
  EXPECT_EQ(Check("WickpostAutoCheck"), static_cast<CheckResult>(CHECK_KEEP));
  int width = -1, height = -1;
  Get<WickpostGetPairFn>("WickpostGetPopupSize")(&width, &height);
  EXPECT_EQ(width, 0);
  EXPECT_EQ(height, 0) << "two conditions: the host's size";

  Get<WickpostEnableAutoCheckFn>("WickpostEnableAutoCheck")(1);
  EXPECT_EQ(ReadDword(kInternal, L"AutoCheckMask"), 7u);
  EXPECT_EQ(ReadDword(kUserKey, L"InitialAutoCheck"), 1u);
  EXPECT_EQ(Check("WickpostAutoCheck"), static_cast<CheckResult>(CHECK_PAGE)) << "checks again";
  Get<WickpostEnableAutoCheckFn>("WickpostEnableAutoCheck")(0);
  EXPECT_EQ(ReadDword(kInternal, L"AutoCheckMask"), 0u);
  EXPECT_EQ(ReadDword(kUserKey, L"InitialAutoCheck"), 0u);
}

TEST_F(Wkptbat, InitialMessageAndPopupSize) {
  Start("battery-worn-50.ini");
  wchar_t text[WICKPOST_INITIAL_MESSAGE_BUFFER] = {};
  EXPECT_EQ(Get<WickpostGetInitialMessageFn>("WickpostGetInitialMessage")(nullptr, 0), 0);
  EXPECT_EQ(Get<WickpostGetInitialMessageFn>("WickpostGetInitialMessage")(text, WICKPOST_INITIAL_MESSAGE_BUFFER), 0);
  EXPECT_EQ(std::wstring(text).rfind(L"「バッテリーに関するお知らせ」\n", 0), 0u);
  EXPECT_EQ(Get<WickpostIsEnableFn>("WickpostIsEnable")(), 1);
  ASSERT_EQ(Check("WickpostManualCheck"), static_cast<CheckResult>(CHECK_PAGE));
  int width = -1, height = -1;
  Get<WickpostGetPairFn>("WickpostGetPopupSize")(&width, &height);
  EXPECT_EQ(height, 450) << "one condition";
}

// The line, the page and the settings page show the DLL's string table, Japanese intact,
// and the page carries it in code page 932.
TEST_F(Wkptbat, TextsComeFromTheStringTable) {
  Start("battery-two-packs.ini");
  auto text = [&](UINT id) {
    const wchar_t* p = nullptr;
    const int n = LoadStringW(dll_, id, reinterpret_cast<LPWSTR>(&p), 0);
    return n > 0 ? std::wstring(p, static_cast<size_t>(n)) : std::wstring();
  };
  auto format = [](const std::wstring& f, const std::wstring& arg) {
    const size_t at = f.find(L"%s");
    return at == std::wstring::npos ? f : f.substr(0, at) + arg + f.substr(at + 2);
  };
  EXPECT_EQ(text(IDS_TITLE_MAIN), L"バッテリーに関するお知らせ");
  EXPECT_EQ(text(IDS_DURATION), L"約%s ～ %s");

  ASSERT_EQ(Check("WickpostManualCheck"), static_cast<CheckResult>(CHECK_PAGE));
  const std::wstring minipop = text(IDS_MINIPOP);
  ASSERT_NE(minipop.find(L"%d"), std::wstring::npos);
  EXPECT_EQ(text_, minipop.substr(0, minipop.find(L"%d")) + L"2" + minipop.substr(minipop.find(L"%d") + 2));
  const std::string bytes = ReadAll(page_);
  std::wstring page(bytes.size(), L'\0');
  page.resize(MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), &page[0],
                                  static_cast<int>(page.size())));
  ASSERT_FALSE(page.empty()) << "valid Shift_JIS";
  for (UINT id : {IDS_APP_TITLE, IDS_TITLE_MAIN, IDS_AGAIN, IDS_NO_MORE, IDS_EVERY_DAY, IDS_EVERY_7_DAYS,
                  IDS_EVERY_30_DAYS})
    EXPECT_NE(page.find(text(id)), std::wstring::npos) << id;
  EXPECT_NE(page.find(format(text(IDS_TITLE_NOCAPA), text(IDS_PACK_EXTENDED))), std::wstring::npos);
  EXPECT_NE(page.find(format(text(IDS_TITLE_RECAL), text(IDS_OF_INTERNAL))), std::wstring::npos);

  wchar_t message[WICKPOST_INITIAL_MESSAGE_BUFFER] = {};
  EXPECT_EQ(Get<WickpostGetInitialMessageFn>("WickpostGetInitialMessage")(message, WICKPOST_INITIAL_MESSAGE_BUFFER), 0);
  EXPECT_EQ(message, text(IDS_INITIAL_MESSAGE));
  wintest::SetupPageInSheet sheet(dll_, IDD_SETUP, Get<WickpostSetupDlgProcFn>("WickpostSetupDlgProc"));
  ASSERT_NE(sheet.page(), nullptr);
  wchar_t label[128] = {};
  GetDlgItemTextW(sheet.page(), IDC_ENABLE, label, 128);
  EXPECT_EQ(label, format(text(IDS_INFORM), text(IDS_NAME_INTERNAL)));
  GetDlgItemTextW(sheet.page(), IDC_SECOND, label, 128);
  EXPECT_EQ(label, format(text(IDS_SECOND_BUTTON), text(IDS_NAME_EXTENDED)));
  SendDlgItemMessageW(sheet.page(), IDC_LIST_NOCAPA, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(label));
  EXPECT_EQ(label, text(IDS_EVERY_30_DAYS));
}

TEST_F(Wkptbat, PageIsWrittenInCodePage932) {
  Start("battery-two-packs.ini");
  ASSERT_EQ(Check("WickpostManualCheck"), static_cast<CheckResult>(CHECK_PAGE));
  const std::string bytes = ReadAll(page_);
  EXPECT_NE(bytes.find("charset=Shift_JIS"), std::string::npos);
  EXPECT_NE(bytes.find("\x96\xF1" "2 \x81\x60 3.5"), std::string::npos) << "約2 ～ 3.5 with code page 932's wave dash";
  std::wstring text(bytes.size(), L'\0');
  text.resize(MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), &text[0],
                                  static_cast<int>(text.size())));
  EXPECT_NE(text.find(L"拡張バッテリーパックを交換してください"), std::wstring::npos);
  Get<WickpostHTMLOnCloseFn>("WickpostHTMLOnClose")();
  EXPECT_EQ(GetFileAttributesW(page_.c_str()), INVALID_FILE_ATTRIBUTES) << "deleted on close";
}

TEST_F(Wkptbat, PageClicksChangeWhatIsSavedOnClose) {
  Start("battery-worn-50.ini");
  ASSERT_EQ(Check("WickpostManualCheck"), static_cast<CheckResult>(CHECK_PAGE));
  Get<WickpostHTMLOnShowFn>("WickpostHTMLOnShow")();
  g_fakeListDisabled = -1;
  EXPECT_EQ(Click(L"INPUT", L"half_capa_radio_autocheck0"), 1);
  EXPECT_STREQ(g_fakeListId, L"half_capa_list_id0");
  EXPECT_EQ(g_fakeListDisabled, 0) << "the list is enabled with the radio";
  EXPECT_EQ(Click(L"select", L"half_capa_list_id0", FALSE, 2), 1);
  EXPECT_EQ(Click(L"a", L"", FALSE, -1, L"file:///C:/users/x/Temp/WBT1.tmp#"), 0) << "the dummy link stays put";
  EXPECT_EQ(Click(L"a", L"", FALSE, -1, L"https://example.invalid/"), 1);
  Get<WickpostHTMLOnCloseFn>("WickpostHTMLOnClose")();
  EXPECT_EQ(ReadDword(kOnePack, L"AutoCheckMask"), 2u);
  EXPECT_EQ(ReadDword(kOnePack, L"AutoCheckInterval01"), 2u);
  EXPECT_EQ(ReadDword(kOnePack, L"NotifyEventMask"), 7u) << "untouched by the page, saved as it was";
  EXPECT_EQ(ReadDword(kOnePack, L"Enable"), 1u);
  EXPECT_FALSE(HasValue(kOnePack, L"LastNotifyDate01")) << "a manual check's page";
}

TEST_F(Wkptbat, RecalibrationLinksWithoutUtilityOrManualExplainThemselves) {
  Start("battery-recal-180.ini");
  ASSERT_EQ(Check("WickpostManualCheck"), static_cast<CheckResult>(CHECK_PAGE));
  {
    BoxWatcher watcher;
    EXPECT_EQ(Click(L"input", L"recal_utility", FALSE), 1);
    EXPECT_EQ(watcher.Take().rfind(L"バッテリー残量表示補正ユーティリティがインストールされていません", 0), 0u);
  }
  {
    BoxWatcher watcher;
    EXPECT_EQ(Click(L"A", L"recal_manual", FALSE, -1, L"file:///C:/users/x/Temp/WBT1.tmp#"), 0);
    EXPECT_EQ(watcher.Take(), L"ヘルプファイルを開くことができません。");
  }
  BoxWatcher none;
  EXPECT_EQ(Click(L"input", L"recal_utility", FALSE, -1, nullptr, TRUE), 1);
  EXPECT_EQ(none.Take(), L"") << "the run button is disabled until confirmed";
}

TEST_F(Wkptbat, SettingsPageSavesBatteryZeroOnApply) {
  Start("battery-two-packs.ini");
  EXPECT_EQ(Get<WickpostGetSetupDlgFn>("WickpostGetSetupDlg")(), IDD_SETUP);
  wintest::SetupPageInSheet sheet(dll_, IDD_SETUP, Get<WickpostSetupDlgProcFn>("WickpostSetupDlgProc"));
  HWND page = sheet.page();
  ASSERT_NE(page, nullptr);
  wchar_t text[128] = {};
  GetDlgItemTextW(page, IDC_ENABLE, text, 128);
  EXPECT_STREQ(text, L"内蔵バッテリーに関する情報をお知らせする");
  GetDlgItemTextW(page, IDC_SECOND, text, 128);
  EXPECT_STREQ(text, L"拡張バッテリーの設定");
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_NOTIFY_RECAL)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_LIST_RECAL))) << "no automatic check yet";
  sheet.ResetChanges();
  SendDlgItemMessageW(page, IDC_NOTIFY_RECAL, BM_CLICK, 0, 0);
  EXPECT_EQ(sheet.changes(), 1);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_AUTO_RECAL)));
  sheet.Apply();
  EXPECT_EQ(ReadDword(kInternal, L"NotifyEventMask"), 6u);
  EXPECT_EQ(ReadDword(kInternal, L"Enable"), 1u);
}

// The machine defaults come from the module's own registry view: values only in the other
// view (the 64-bit one for the 32-bit build, and the other way round) are not read.
TEST_F(Wkptbat, MachineDefaultsComeFromTheModulesOwnRegistryView) {
#ifdef _WIN64
  const REGSAM own = KEY_WOW64_64KEY, other = KEY_WOW64_32KEY;
#else
  const REGSAM own = KEY_WOW64_32KEY, other = KEY_WOW64_64KEY;
#endif
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring custom = std::wstring(temp) + L"wkptbat-custom.xml";
  {
    HANDLE file = CreateFileW(custom.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const char xml[] = "<wkptbat:wkptbat xmlns:wkptbat=\"urn:x\"><wkptbat:message wkptbat:type=\"nocapa\">"
                       "<wkptbat:minipop>custom %d</wkptbat:minipop></wkptbat:message></wkptbat:wkptbat>";
    DWORD written = 0;
    WriteFile(file, xml, sizeof xml - 1, &written, nullptr);
    CloseHandle(file);
  }
  const struct {
    REGSAM view;
    uint16_t setupDlg;
    const wchar_t* line;
  } cases[] = {
      {other, IDD_SETUP, L"バッテリーに関するお知らせが 1 件あります"},
      {own, 0, L"custom 1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.view == own ? "own view" : "other view");
    wintest::ScopedKey machine(HKEY_LOCAL_MACHINE, L"Software\\Velmorant\\WICKPOST\\WKPTBAT", c.view);
    ASSERT_TRUE(machine.SetDword(L"SetupEnable", 0));
    ASSERT_TRUE(machine.SetString(L"CustomNotification", custom));
    Start("battery-worn-30.ini");
    EXPECT_EQ(Get<WickpostGetSetupDlgFn>("WickpostGetSetupDlg")(), c.setupDlg);
    ASSERT_EQ(Check("WickpostManualCheck"), static_cast<CheckResult>(CHECK_PAGE));
    EXPECT_EQ(text_, c.line);
    Get<WickpostHTMLOnCloseFn>("WickpostHTMLOnClose")();
    FreeLibrary(dll_);
    dll_ = nullptr;
  }
  DeleteFileW(custom.c_str());
}

// SetupAPI finds no battery-class device in Wine: the release variant measures no wear, where
// the sim variant reads the scenario's devices.
TEST_F(Wkptbat, ReleaseVariantFindsNoBatteryDevicesInWine) {
  Start("battery-worn-30.ini", WKPTBAT_RELEASE_DLL);
  EXPECT_EQ(Check("WickpostManualCheck"), static_cast<CheckResult>(CHECK_NOTHING));
  FreeLibrary(dll_);
  dll_ = nullptr;
  Start("battery-worn-30.ini");
  EXPECT_EQ(Check("WickpostManualCheck"), static_cast<CheckResult>(CHECK_PAGE));
}

// The packs are read every hour while the notebook runs: a check, through the driver and the
// battery devices, leaves nothing behind.
TEST_F(Wkptbat, RepeatedChecksLeaveNothingBehind) {
  Start("battery-two-packs.ini");
  const long long growth = wintest::HeapGrowthOver(50, [&] {
    EXPECT_EQ(Check("WickpostManualCheck"), static_cast<CheckResult>(CHECK_PAGE));
    Get<WickpostHTMLOnCloseFn>("WickpostHTMLOnClose")();
  });
  EXPECT_LE(growth, 500) << "bytes in use after 50 more checks";  // ten a check
}
