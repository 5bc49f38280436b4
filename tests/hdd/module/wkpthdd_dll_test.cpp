// wkpthdd.dll loaded by name and driven through its entry points as the host does, with
// Diskwarn.dll beside it and the viewer stand-in's services running in the Wine prefix.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <mshtml.h>

#include <gtest/gtest.h>

#include <string>

#include "host/module_contract.h"
#include "modules/hdd/hdd_text_ids.h"
#include "tests/common/win/fake_page_event.h"
#include "tests/common/win/module_dll_support.h"
#include "tests/common/win/win_test_support.h"

namespace {
std::wstring Scenario(const char* name) { return wintest::WinePath((std::string(SCENARIO_DIR "/") + name).c_str()); }

class Wkpthdd : public testing::Test {
 protected:
  static void TearDownTestSuite() {
    std::string out;
    EXPECT_EQ(wintest::RunProgram(L"\"" + wintest::WinePath(VIEWER_EXE) + L"\" remove", out), 0) << out;
  }
  void Start(const char* scenario) {
    ASSERT_EQ(Load(scenario), 0);
    EXPECT_EQ(info_.checkInterval, 60u);
  }
  // The viewer as the scenario says, and the module loaded and initialised: its answer.
  int Load(const char* scenario) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::string out;
    EXPECT_EQ(wintest::RunProgram(L"\"" + wintest::WinePath(VIEWER_EXE) + L"\" install \"" + Scenario(scenario) +
                                      L"\" \"" + temp + L"sysglance_hdd.log\"",
                                  out),
              0)
        << out;
    SetEnvironmentVariableW(L"TELLWICK_SCENARIO", Scenario(scenario).c_str());
    dll_ = LoadLibraryW(wintest::WinePath(WKPTHDD_DLL).c_str());
    if (!dll_) return -1;
    info_ = ModuleInitInfo{sizeof(ModuleInitInfo), 3, 0, 0, 2, nullptr};
    wchar_t error[WICKPOST_ERROR_BUFFER] = {};
    return Get<WickpostInitializeFn>("WickpostInitialize")(nullptr, &info_, error, WICKPOST_ERROR_BUFFER);
  }
  void TearDown() override {
    if (dll_) FreeLibrary(dll_);
    SetEnvironmentVariableW(L"TELLWICK_SCENARIO", nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Velmorant\\WICKPOST\\WKPTHDD");
  }
  template <class Fn>
  Fn Get(const char* name) {
    Fn fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll_, name)));
    EXPECT_NE(fn, nullptr) << name;
    return fn;
  }
  CheckResult Check(const char* entry) {
    wchar_t text[WICKPOST_CHECK_BUFFER] = {}, page[WICKPOST_CHECK_BUFFER] = {};
    code_ = 0;
    const CheckResult r = Get<WickpostCheckFn>(entry)(text, WICKPOST_CHECK_BUFFER, page, WICKPOST_CHECK_BUFFER, &code_);
    text_ = text, page_ = page;
    return r;
  }
  int Click(const wchar_t* id, const wchar_t* tag, BOOL checked, const wchar_t* href = nullptr) {
    const FakeClick click{L"click", tag, id, href, checked, FALSE, -1};
    IHTMLEventObj* event = FakePageEvent(&click);
    const int r = Get<WickpostHTMLOnClickFn>("WickpostHTMLOnClick")(event);
    event->Release();
    return r;
  }
  static DWORD UserValue(const wchar_t* name) {
    DWORD v = 0, size = sizeof v;
    return RegGetValueW(HKEY_CURRENT_USER, L"Software\\Velmorant\\WICKPOST\\WKPTHDD", name, RRF_RT_REG_DWORD, nullptr, &v,
                        &size) == ERROR_SUCCESS
               ? v
               : 0xDEADu;
  }

  HMODULE dll_ = nullptr;
  ModuleInitInfo info_{};
  std::wstring text_, page_;
  uint16_t code_ = 0;
};

TEST_F(Wkpthdd, EveryEventOnOnePage) {
  Start("disk-all.ini");
  EXPECT_EQ(Check("WickpostAutoCheck"), static_cast<CheckResult>(CHECK_KEEP)) << "AutoCheck is off by default";
  ASSERT_EQ(Check("WickpostManualCheck"), static_cast<CheckResult>(CHECK_PAGE));
  EXPECT_EQ(text_, L"4 Notifications About Hard Disk Usage.");
  const size_t name = page_.find_last_of(L'\\') + 1;
  EXPECT_EQ(page_.compare(name, 3, L"WHD"), 0) << page_;
  const std::string html = wintest::ReadAll(page_);
  size_t at = 0;
  for (const char* id : {"hibernate_pdf", "shock_pdf", "temperature_pdf", "poweron_pdf"}) {
    const size_t next = html.find(id);
    EXPECT_TRUE(next != std::string::npos && next >= at) << id;
    at = next;
  }
  EXPECT_NE(html.find("(Plugged in: 60 mins, On battery: 60 mins)"), std::string::npos);
  EXPECT_NE(html.find("<html lang=\"en\">"), std::string::npos);
  wchar_t message[WICKPOST_INITIAL_MESSAGE_BUFFER] = {};
  EXPECT_EQ(Get<WickpostGetInitialMessageFn>("WickpostGetInitialMessage")(message, WICKPOST_INITIAL_MESSAGE_BUFFER), 0);
  EXPECT_EQ(std::wstring(message).rfind(L"[Hard Disk Usage Notifications]\n", 0), 0u);

  const std::wstring first = page_;
  Get<WickpostHTMLOnCloseFn>("WickpostHTMLOnClose")();
  EXPECT_EQ(GetFileAttributesW(first.c_str()), INVALID_FILE_ATTRIBUTES) << "the closed page's file goes";
}

TEST_F(Wkpthdd, QuietDiskNothing) {
  Start("disk-quiet.ini");
  EXPECT_EQ(Check("WickpostManualCheck"), static_cast<CheckResult>(CHECK_NOTHING));
}

TEST_F(Wkpthdd, StoppedServiceOfferedAndStartedAfterYes) {
  Start("disk-stopped.ini");
  ASSERT_EQ(Check("WickpostManualCheck"), static_cast<CheckResult>(CHECK_ACTION | NOTIFY_PERSISTENT));
  EXPECT_EQ(code_, 1);
  EXPECT_EQ(text_, L"Could not get hard disk information.");
  {
    wintest::BoxAnswer cancel(L"Tellwick", IDCANCEL);
    Get<WickpostDoNotifyFn>("WickpostDoNotify")(1);
    EXPECT_NE(cancel.Text().find(L"Would you like to enable it now?"), std::wstring::npos);
  }
  EXPECT_EQ(Get<WickpostIsEnableFn>("WickpostIsEnable")(), 1) << "declining does not switch the module off";
  EXPECT_EQ(Check("WickpostManualCheck"), static_cast<CheckResult>(CHECK_ACTION | NOTIFY_PERSISTENT));
  {
    wintest::BoxAnswer yes;
    Get<WickpostDoNotifyFn>("WickpostDoNotify")(1);
    EXPECT_FALSE(yes.Text().empty());
  }
  ASSERT_EQ(Check("WickpostManualCheck"), static_cast<CheckResult>(CHECK_PAGE));
  EXPECT_EQ(text_, L"4 Notifications About Hard Disk Usage.");
}
TEST_F(Wkpthdd, SettingsPageChangesNothingUntilApply) {
  Start("disk-all.ini");
  const auto proc = Get<WickpostSetupDlgProcFn>("WickpostSetupDlgProc");
  ASSERT_EQ(Get<WickpostGetSetupDlgFn>("WickpostGetSetupDlg")(), IDD_HDD_SETUP);
  {
    wintest::SetupPageInSheet sheet(dll_, IDD_HDD_SETUP, proc);
    ASSERT_NE(sheet.page(), nullptr);
    EXPECT_EQ(IsDlgButtonChecked(sheet.page(), IDC_HDD_ENABLE), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(sheet.page(), IDC_HDD_NO_AUTO), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(sheet.page(), IDC_HDD_TEMPERATURE), BST_CHECKED);
    SendDlgItemMessageW(sheet.page(), IDC_HDD_TEMPERATURE, BM_CLICK, 0, 0);
    SendDlgItemMessageW(sheet.page(), IDC_HDD_AUTO, BM_CLICK, 0, 0);
    EXPECT_GE(sheet.changes(), 2);
  }  // cancelled
  EXPECT_EQ(UserValue(L"AutoCheck"), 0xDEADu);
  ASSERT_EQ(Check("WickpostManualCheck"), static_cast<CheckResult>(CHECK_PAGE));
  EXPECT_EQ(text_, L"4 Notifications About Hard Disk Usage.");

  {
    wintest::SetupPageInSheet sheet(dll_, IDD_HDD_SETUP, proc);
    SendDlgItemMessageW(sheet.page(), IDC_HDD_TEMPERATURE, BM_CLICK, 0, 0);
    SendDlgItemMessageW(sheet.page(), IDC_HDD_AUTO, BM_CLICK, 0, 0);
    sheet.Apply();
  }
  EXPECT_EQ(UserValue(L"AutoCheck"), 1u);
  EXPECT_EQ(UserValue(L"NotifyEventMask"), 11u);
  EXPECT_EQ(UserValue(L"Enable"), 1u);
  ASSERT_EQ(Check("WickpostManualCheck"), static_cast<CheckResult>(CHECK_PAGE));
  EXPECT_EQ(text_, L"3 Notifications About Hard Disk Usage.");
}

// A viewer without its pipe service: the module is not available, and Diskwarn.dll goes again.
TEST_F(Wkpthdd, NotAvailableStartFreesTheLibrary) {
  // A started module keeps the library to the end of the process, so earlier tests left it
  // loaded: it goes first (no module is loaded now).
  for (int i = 0; i < 100 && GetModuleHandleW(L"Diskwarn.dll"); ++i) FreeLibrary(GetModuleHandleW(L"Diskwarn.dll"));
  ASSERT_EQ(GetModuleHandleW(L"Diskwarn.dll"), nullptr);
  EXPECT_EQ(Load("disk-no-pipe.ini"), MODULE_E_NOT_AVAILABLE);
  EXPECT_EQ(GetModuleHandleW(L"Diskwarn.dll"), nullptr);
}

// Declining to start the viewer's stopped service on the settings page switches the module off.
TEST_F(Wkpthdd, DecliningTheServiceOnTheSettingsPageSwitchesOff) {
  Start("disk-stopped.ini");
  {
    wintest::BoxAnswer cancel(L"Tellwick", IDCANCEL);
    wintest::SetupPageInSheet sheet(dll_, IDD_HDD_SETUP, Get<WickpostSetupDlgProcFn>("WickpostSetupDlgProc"));
    EXPECT_NE(cancel.Text().find(L"Would you like to enable it now?"), std::wstring::npos);
    EXPECT_EQ(IsDlgButtonChecked(sheet.page(), IDC_HDD_ENABLE), BST_UNCHECKED);
  }
  EXPECT_EQ(Get<WickpostIsEnableFn>("WickpostIsEnable")(), 0);
}

// The suppression dialog saves the settings on OK only; its close box saves nothing.
TEST_F(Wkpthdd, SuppressionDialogSavesOnOkOnly) {
  Start("disk-all.ini");
  {
    wintest::BoxAnswer close(L"Tellwick", IDCANCEL);
    EXPECT_EQ(Click(L"shock_check", L"INPUT", TRUE), 1);
    close.Text();
  }
  EXPECT_EQ(UserValue(L"SuppressDontShowNextDlg"), 0xDEADu);
  EXPECT_EQ(UserValue(L"Enable"), 0xDEADu);
  {
    wintest::BoxAnswer ok;
    EXPECT_EQ(Click(L"temperature_check", L"INPUT", TRUE), 1);
    ok.Text();
  }
  EXPECT_EQ(UserValue(L"SuppressDontShowNextDlg"), 0u);
  EXPECT_EQ(UserValue(L"Enable"), 1u);
}

TEST_F(Wkpthdd, HidingASectionForThisLogon) {
  Start("disk-all.ini");
  {
    wintest::BoxAnswer dialog;
    EXPECT_EQ(Click(L"shock_check", L"INPUT", TRUE), 1);
    dialog.Text();
  }
  ASSERT_EQ(Check("WickpostManualCheck"), static_cast<CheckResult>(CHECK_PAGE));
  EXPECT_EQ(text_, L"3 Notifications About Hard Disk Usage.");
  EXPECT_EQ(wintest::ReadAll(page_).find("shock_pdf"), std::string::npos);
  EXPECT_EQ(Click(L"shock_pdf", L"A", FALSE, L"file:///C:/users/x/Temp/WHD1.tmp#"), 0) << "the page must not navigate";
  EXPECT_EQ(Click(L"shock_check", L"INPUT", FALSE), 1);
  ASSERT_EQ(Check("WickpostManualCheck"), static_cast<CheckResult>(CHECK_PAGE));
  EXPECT_EQ(text_, L"4 Notifications About Hard Disk Usage.");
}
}  // namespace

// The disk is checked every hour while the notebook runs: a check, through the viewer's
// services and pipe, leaves nothing behind.
TEST_F(Wkpthdd, RepeatedChecksLeaveNothingBehind) {
  Start("disk-all.ini");
  const long long growth = wintest::HeapGrowthOver(50, [&] {
    EXPECT_EQ(Check("WickpostManualCheck"), static_cast<CheckResult>(CHECK_PAGE));
    Get<WickpostHTMLOnCloseFn>("WickpostHTMLOnClose")();
  });
  EXPECT_LE(growth, 500) << "bytes in use after 50 more checks";  // ten a check
}
