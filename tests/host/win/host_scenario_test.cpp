// The real Wickpost.exe under Wine, driven through probe modules, window messages and its windows.
#include <gtest/gtest.h>

#include <string>

#include "host/module_contract.h"
#include "tests/common/win/win_test_support.h"
#include "tests/host/win/host_harness.h"

using namespace hosttest;
using wintest::ScopedKey;

namespace {
const wchar_t kHostKey[] = L"Software\\Velmorant\\WICKPOST";
const wchar_t kBoxClass[] = L"#32770";
#ifdef _WIN64
constexpr int kInitInfoSize = 32;
#else
constexpr int kInitInfoSize = 24;
#endif

DWORD ReadDword(HKEY root, const wchar_t* key, const wchar_t* name, DWORD missing = 0xDEADu) {
  DWORD value = 0, size = sizeof value, type = 0;
  HKEY h = nullptr;
  if (RegOpenKeyExW(root, key, 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS) return missing;
  const LONG rc = RegQueryValueExW(h, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(h);
  return rc == ERROR_SUCCESS && type == REG_DWORD ? value : missing;
}

class HostScenario : public QuickHost {};

// Lines of one module in the log, in order.
std::string Lines(const std::string& log, const std::string& module) {
  std::string out;
  size_t at = 0;
  while (at < log.size()) {
    const size_t end = log.find('\n', at);
    const std::string line = log.substr(at, end - at);
    if (line.rfind(module + " ", 0) == 0) out += line.substr(module.size() + 1) + "\n";
    at = end == std::string::npos ? log.size() : end + 1;
  }
  return out;
}
}  // namespace

TEST_F(HostScenario, LoadsInListOrderCompactsIndexesAndUnloadsAfterWmDestroy) {
  box_.AddModule(L"wkptrss", "");
  box_.AddModule(L"wkptreg", "", PROBE_NOMANUAL_DLL);  // no WickpostManualCheck
  box_.AddModule(L"wkptxwpk", "");
  HostProcess host(box_);
  ASSERT_TRUE(box_.WaitForLog("wkptxwpk Initialize"));
  host.Post(WM_COMMAND, IDM_EXIT);
  EXPECT_EQ(host.Wait(), 0);
  const std::string log = box_.Log();
  const std::string size = "cbSize=" + std::to_string(kInitInfoSize) + " version=3 ";
  EXPECT_EQ(CountOf(log, "wkptrss Initialize " + size + "index=0 client=1 window=1"), 1) << log;
  EXPECT_EQ(CountOf(log, "wkptxwpk Initialize " + size + "index=1 client=1 window=1"), 1) << log;
  EXPECT_EQ(Lines(log, "wkptreg"), "Detach\n") << "never called";
  for (const char* m : {"wkptrss", "wkptxwpk"}) {
    const std::string lines = Lines(log, m);
    const size_t destroy = lines.find("OnWndMsg WM_DESTROY"), detach = lines.find("Detach");
    ASSERT_NE(destroy, std::string::npos) << m;
    EXPECT_LT(destroy, detach) << m << ": unloaded only after WM_DESTROY reached it";
    EXPECT_EQ(CountOf(lines, "GetNotifyIconMenuItems"), 0) << "no items offered, no call";
  }
}

TEST_F(HostScenario, MenuTableDispatchesInTableOrder) {
  box_.AddModule(L"wkptrss", "menu=2\r\nmenu1=R1\r\nmenu2=R2\r\n");
  box_.AddModule(L"wkptxwpk", "menu=3\r\nmenu1=X1\r\nmenu2=null\r\nmenu3=X3\r\n");
  HostProcess host(box_);
  ASSERT_TRUE(box_.WaitForLog("wkptxwpk GetNotifyIconMenuItems"));
  // Table: separator, R2, R1, separator, X3, X1 (the null caption is left out).
  for (UINT command = 12699; command <= 12707; ++command) host.Post(WM_COMMAND, command);
  host.Post(WM_COMMAND, IDM_EXIT);
  EXPECT_EQ(host.Wait(), 0);
  const std::string log = box_.Log();
  EXPECT_EQ(CountOf(log, "wkptrss GetNotifyIconMenuItems count=2 zeroed=1"), 1);
  EXPECT_EQ(CountOf(log, "wkptxwpk GetNotifyIconMenuItems count=3 zeroed=1"), 1);
  EXPECT_EQ(Lines(log, "wkptrss").find("IconMenu 102\nIconMenu 101\n") != std::string::npos, true) << log;
  EXPECT_EQ(Lines(log, "wkptxwpk").find("IconMenu 103\nIconMenu 101\n") != std::string::npos, true) << log;
  EXPECT_EQ(CountOf(log, " IconMenu "), 4);
}

TEST_F(HostScenario, ChecksEveryIntervalPlusOneTicksAndWithdrawsOnNothing) {
  box_.AddModule(L"wkptrss", "interval=2\r\nauto=1,10,10,10,10,10,0\r\n");
  box_.AddModule(L"wkptxwpk", "interval=0\r\n");  // checked on every tick: the tick counter
  HostProcess host(box_);
  ASSERT_TRUE(box_.WaitForLog("wkptrss AutoCheck result=0x1"));
  HWND list = host.WaitWindow(L"MiniPopupClass");
  ASSERT_TRUE(list) << "the new line is listed";
  EXPECT_EQ(MiniPopupHeight(list), 44) << "one row";
  ASSERT_TRUE(box_.WaitForLog("wkptrss AutoCheck result=0x0"));
  for (DWORD start = GetTickCount(); IsShown(list) && GetTickCount() - start < 5000;) Sleep(20);
  EXPECT_FALSE(IsShown(list)) << "withdrawn: the list closes";
  host.Post(WM_COMMAND, IDM_EXIT);
  EXPECT_EQ(host.Wait(), 0);

  // Two ticks before the first check, then three ticks between checks.
  const std::string log = box_.Log();
  std::string pattern;
  for (size_t at = 0; (at = log.find("AutoCheck", at)) != std::string::npos; ++at)
    pattern += log.compare(at - 8, 7, "wkptrss") == 0 ? 'R' : 'x';
  EXPECT_EQ(pattern.rfind("xxRxxxRxxxR", 0), 0u) << pattern;
}

TEST_F(HostScenario, ShowNowPagePauseAndTheModuleMessages) {
  box_.WriteFile(L"page.htm", "<h2>Probe page</h2>");
  box_.AddModule(L"wkptrss", "manual=0x40000001\r\npage=" + std::string("page.htm") +
                                 "\r\npopup_width=700\r\npopup_height=400\r\n");
  box_.AddModule(L"wkptxwpk", "interval=0\r\ntimers=1\r\n");
  HostProcess host(box_);
  ASSERT_TRUE(box_.WaitForLog("wkptxwpk AutoCheck", 2));
  host.Post(WM_HOST_CHECKMODULE, 2);  // not a loaded module's index
  host.Post(WM_HOST_CHECKMODULE, 0);
  ASSERT_TRUE(box_.WaitForLog("wkptrss HTMLOnShow"));
  HWND page = host.WaitWindow(L"HTMLPopupClass");
  ASSERT_TRUE(page);
  EXPECT_TRUE(FindWindowExW(page, nullptr, L"Shell Embedding", nullptr)) << "the browser control is in place";
  RECT work = {}, at = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  GetWindowRect(page, &at);
  EXPECT_EQ(at.right, work.right) << "700 by 400 with no offsets: the work area's bottom-right corner";
  EXPECT_EQ(at.bottom, work.bottom);
  EXPECT_EQ(at.right - at.left, 700);
  EXPECT_EQ(at.bottom - at.top, 400);
  EXPECT_EQ(host.WaitWindow(L"MiniPopupClass", nullptr, 0), nullptr) << "show-now lists nothing";
  EXPECT_EQ(CountOf(box_.Log(), "ManualCheck"), 1) << "only the loaded index was checked";

  host.Post(WM_HOST_CLOSEPOPUP);
  ASSERT_TRUE(box_.WaitForLog("wkptrss HTMLOnClose"));
  EXPECT_FALSE(IsShown(page));
  EXPECT_TRUE(IsWindow(page)) << "closing only hides";
  host.Post(WM_HOST_CLOSEPOPUP);  // no page now: ignored

  host.Post(WM_HOST_PAUSE, 1);
  ASSERT_TRUE(box_.WaitForTicks(1));
  const int ticks = CountOf(box_.Log(), "wkptxwpk AutoCheck");
  host.Post(WM_COMMAND, IDM_CHECKNOW);  // paused: only a beep
  ASSERT_TRUE(box_.WaitForTicks(5));
  EXPECT_EQ(CountOf(box_.Log(), "wkptxwpk AutoCheck"), ticks) << "no checks in five ticks while paused";
  host.Post(WM_HOST_PAUSE, 0);
  EXPECT_TRUE(box_.WaitForLog("wkptxwpk AutoCheck", ticks + 2));
  EXPECT_EQ(CountOf(box_.Log(), "ManualCheck"), 1);

  host.Post(WM_HOST_POPUPCLICK, 0xDEAD0000, -600);  // a foreign post with a bogus pointer
  host.Post(WM_COMMAND, IDM_EXIT);
  EXPECT_EQ(host.Wait(), 0);
  EXPECT_EQ(CountOf(box_.Log(), "HTMLOnClick"), 0);
  EXPECT_EQ(CountOf(box_.Log(), "HTMLOnClose"), 1) << "the second close request found no page";
}

TEST_F(HostScenario, FirstRunQuestionYesNoCancel) {
  struct Case {
    int button;
    const char* call;
    DWORD shown;
  } cases[] = {{IDYES, "EnableAutoCheck 1", 1}, {IDNO, "EnableAutoCheck 0", 1}, {IDCANCEL, nullptr, 0}};
  for (const Case& c : cases) {
    Sandbox box;
    settings_.SetDword(L"InitialDlgShown", 0);
    box.AddModule(L"wkptrss", "initial=0\r\ninitial_text=Probe paragraph.\r\n");
    HostProcess host(box);
    ASSERT_TRUE(box.WaitForLog("wkptrss GetInitialMessage capacity=0"));
    HWND list = host.WaitWindow(L"MiniPopupClass");
    ASSERT_TRUE(list);
    PostMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(100, 20));  // the host's line, the only row
    HWND question = host.WaitWindow(kBoxClass, L"Tellwick");
    ASSERT_TRUE(question);
    const std::wstring asked = BoxText(question);
    EXPECT_NE(asked.find(L"displays the following information"), std::wstring::npos);
    EXPECT_NE(asked.find(L"Probe paragraph."), std::wstring::npos);
    Answer(question, c.button);
    if (c.call) {
      EXPECT_TRUE(box.WaitForLog(std::string("wkptrss ") + c.call));
    }
    for (DWORD start = GetTickCount(); IsWindow(question) && GetTickCount() - start < 5000;) Sleep(20);
    host.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(host.Wait(), 0);
    EXPECT_EQ(CountOf(box.Log(), "EnableAutoCheck"), c.call ? 1 : 0);
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kHostKey, L"InitialDlgShown"), c.shown) << c.button;
  }
}

TEST_F(HostScenario, ExitCodesOfTheEarlyEnds) {
  {
    HostProcess none(box_);
    EXPECT_EQ(none.Wait(), -1) << "no module";
  }
  box_.AddModule(L"wkptrss", "init=-251\r\ninit_error_fill=1\r\n");  // a 1024-character text, no terminator
  {
    HostProcess failing(box_);
    HWND warning = failing.WaitWindow(kBoxClass, L"Tellwick");
    ASSERT_TRUE(warning);
    EXPECT_EQ(BoxText(warning), std::wstring(1023, L'E'));
    Answer(warning, IDOK);
    EXPECT_EQ(failing.Wait(), -1) << "its only module failed";
  }
  box_.AddModule(L"wkptrss", "");
  box_.WriteFile(L"nodriver.ini", "[driver]\r\npresent = no\r\n");
  SetEnvironmentVariableW(L"TELLWICK_SCENARIO", (box_.dir() + L"\\nodriver.ini").c_str());
  {
    HostProcess noDriver(box_);
    SetEnvironmentVariableW(L"TELLWICK_SCENARIO", nullptr);
    HWND error = noDriver.WaitWindow(kBoxClass, L"Tellwick");
    ASSERT_TRUE(error);
    EXPECT_NE(BoxText(error).find(L"Access to Cindral was unsuccessful."), std::wstring::npos);
    Answer(error, IDOK);
    EXPECT_EQ(noDriver.Wait(), -1);
  }
  EXPECT_EQ(CountOf(box_.Log(), "wkptrss Initialize"), 1) << "the driver client is opened before any module";
}

TEST_F(HostScenario, NewerWindowsNeedsTheToastBridgeAndMayBeDeclined) {
  box_.AddModule(L"wkptrss", "");
  SetRelease(L"win81");
  EXPECT_EQ(HostProcess(box_).Wait(), 0) << "no toast bridge beside the host";
  SetRelease(L"win10");
  HostProcess future(box_);
  HWND question = future.WaitWindow(kBoxClass, L"Tellwick");
  ASSERT_TRUE(question);
  EXPECT_NE(BoxText(question).find(L"does not support current version"), std::wstring::npos);
  Answer(question, IDNO);
  EXPECT_EQ(future.Wait(), 0);
  EXPECT_EQ(box_.Log(), "") << "no module was loaded";
}

TEST_F(HostScenario, StartupWithEveryModuleOffEndsWithoutTouchingTheSettings) {
  box_.AddModule(L"wkptrss", "enable=0\r\n");
  settings_.SetDword(L"MiniPopup", 0);
  EXPECT_EQ(HostProcess(box_, L"/startup").Wait(), 0);
  EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kHostKey, L"MiniPopup"), 0u);
  EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kHostKey, L"BeepSound"), 0xDEADu) << "unread defaults are not saved";
  EXPECT_EQ(CountOf(box_.Log(), "OnWndMsg WM_DESTROY"), 1);

  // Without /STARTUP the settings open at once; closing them with nothing on ends the host.
  HostProcess plain(box_);
  HWND sheet = plain.WaitWindow(kBoxClass, L"Notification settings - Tellwick");
  ASSERT_TRUE(sheet);
  Answer(sheet, IDOK);
  EXPECT_EQ(plain.Wait(), 0);
  EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kHostKey, L"MiniPopup"), 0u);
  EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kHostKey, L"BeepSound"), 0u) << "read settings are saved at the end";
}

TEST_F(HostScenario, SecondInstanceIsTurnedAwayOrHandsOverTheSettings) {
  box_.AddModule(L"wkptrss", "timers=1\r\n");
  HostProcess first(box_);
  ASSERT_TRUE(first.Main());
  ASSERT_TRUE(box_.WaitForLog("wkptrss Initialize"));
  {
    HostProcess second(box_);
    HWND busy = second.WaitWindow(kBoxClass, L"Tellwick");
    ASSERT_TRUE(busy);
    EXPECT_EQ(BoxText(busy), L"Application is already running.");
    Answer(busy, IDOK);
    EXPECT_EQ(second.Wait(), 0);
  }
  EXPECT_EQ(HostProcess(box_, L"/SETTING").Wait(), 0);
  HWND sheet = first.WaitWindow(kBoxClass, L"Notification settings - Tellwick");
  ASSERT_TRUE(sheet) << "the resident instance opens its settings";
  Answer(sheet, IDOK);
  for (DWORD start = GetTickCount(); IsWindow(sheet) && GetTickCount() - start < 5000;) Sleep(20);
  EXPECT_TRUE(box_.WaitForTicks(2)) << "a module is on: the host stays";
  EXPECT_TRUE(first.Running());
  EXPECT_EQ(CountOf(box_.Log(), "wkptrss Initialize"), 1);
}

TEST_F(HostScenario, ConfigurationOptionsWriteMachineSwitchesAndEnd) {
  ScopedKey machine(HKEY_LOCAL_MACHINE, kHostKey);
  box_.AddModule(L"wkptrss", "");
  EXPECT_EQ(HostProcess(box_, L"/SHOWTAB wkptrss /HIDETAB wkpthdd /INITIALDLG 0 /STARTUP").Wait(), 0);
  EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, L"Software\\Velmorant\\WICKPOST\\wkptrss", L"SetupEnable"), 1u);
  EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, L"Software\\Velmorant\\WICKPOST\\wkpthdd", L"SetupEnable"), 0u);
  EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kHostKey, L"InitialDlgEnable"), 0u);
  EXPECT_EQ(HostProcess(box_, L"/SHOWTAB wkptnone /INITIALDLG 2").Wait(), 0);
  EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, L"Software\\Velmorant\\WICKPOST\\wkptnone", L"SetupEnable"), 0xDEADu);
  EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kHostKey, L"InitialDlgEnable"), 0u);
  EXPECT_EQ(box_.Log(), "") << "a configuration run loads nothing";

  // The host reads the switch: with InitialDlgEnable 0 the first-run probe never runs.
  settings_.SetDword(L"InitialDlgShown", 0);
  box_.AddModule(L"wkptrss", "initial=0\r\ntimers=1\r\n");
  HostProcess host(box_);
  ASSERT_TRUE(host.Main());
  // The first-run probe would run on the 61st tick; the 62nd comes once that one is over.
  ASSERT_TRUE(box_.WaitForLog(kClockTick, 62, 30000));
  host.Post(WM_COMMAND, IDM_EXIT);
  EXPECT_EQ(host.Wait(), 0);
  EXPECT_EQ(CountOf(box_.Log(), "GetInitialMessage"), 0);
}

TEST_F(HostScenario, SurvivesMisbehavingModules) {
  box_.AddModule(L"wkpthdd", "interval=0\r\nauto=1\r\nfill=1\r\n");               // full buffers, no terminator
  box_.AddModule(L"wkptrss", "interval=0\r\nauto=7,0x12345,2\r\nmenu=1\r\nmenu1=null\r\ncode=0xFFFF\r\n");
  box_.AddModule(L"wkptxwpk", "interval=0\r\nmenu=2000000000\r\n");                // an absurd item count
  HostProcess host(box_);
  ASSERT_TRUE(box_.WaitForLog("wkptrss AutoCheck result=0x2"));
  HWND list = host.WaitWindow(L"MiniPopupClass");
  ASSERT_TRUE(list);
  WaitMiniPopupHeight(list, 2 * 22 + 22);
  ASSERT_TRUE(box_.WaitForLog("wkpthdd AutoCheck", 5)) << "the tick of the last scripted answer is over";
  ASSERT_EQ(MiniPopupHeight(list), 2 * 22 + 22) << "unknown kinds list nothing";
  PostMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(100, 22 + 20));  // the second row
  EXPECT_TRUE(box_.WaitForLog("wkptrss DoNotify 65535"));
  host.Post(WM_COMMAND, 12700);
  host.Post(WM_COMMAND, 12701);
  host.Post(WM_COMMAND, IDM_EXIT);
  EXPECT_EQ(host.Wait(), 0);
  const std::string log = box_.Log();
  EXPECT_EQ(CountOf(log, "wkptxwpk GetNotifyIconMenuItems"), 0) << "dropped before the call";
  EXPECT_EQ(CountOf(log, "wkptxwpk AutoCheck"), 0);
  EXPECT_EQ(CountOf(log, " IconMenu "), 0) << "the null caption has no entry";
}
