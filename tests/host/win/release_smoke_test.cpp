// The whole product on every Windows release the host knows, as Wine reports it: the sim
// Wickpost.exe with every module of out/sim on the default notebook raises each module's
// notice, takes its release's path (toasts from 8 on, the newer-Windows question past 8.1)
// and ends cleanly. A smoke run, seconds per release; one test per release, named by it.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/module_contract.h"
#include "tests/common/win/win_test_support.h"
#include "tests/host/win/fake_shell_tray.h"
#include "tests/host/win/host_harness.h"

namespace {
using hosttest::HostProcess;
using hosttest::Sandbox;

struct Mode {
  const char* name;
  const wchar_t* release;  // Wine's name for it
  bool toasts;
  bool newerQuestion;
};
const Mode kModes[] = {
    {"xp", sizeof(void*) == 8 ? L"winxp64" : L"winxp", false, false},
    {"vista", L"vista", false, false},
    {"win7", L"win7", false, false},
    {"win8", L"win8", true, false},
    {"win81", L"win81", true, false},
    {"win10", L"win10", true, true},
};
// The page each module writes on the default notebook, by its file's prefix. The anomaly
// module waits for the controller's event, the HDMI module for a television: both are loaded.
const char* const kPagePrefixes[] = {"WBT", "WHD", "WKP", "WRG", "WXP"};

std::set<std::wstring> Pages() {
  const std::vector<std::wstring> files = wintest::TempFiles(L"W??*.tmp");
  return std::set<std::wstring>(files.begin(), files.end());
}

// The prefixes of kPagePrefixes that have a page not in `before`.
std::set<std::string> NewPagePrefixes(const std::set<std::wstring>& before) {
  std::set<std::string> found;
  for (const std::wstring& page : Pages())
    if (!before.count(page)) found.insert(std::string(page.begin(), page.begin() + 3));
  return found;
}

// Every module, library, stand-in and page file of the sim set beside the sandbox's host.
void CopySimSet(const Sandbox& box) {
  const std::wstring from = wintest::WinePath(SIM_OUT_DIR) + L"\\";
  for (const wchar_t* pattern : {L"*.dll", L"*.css", L"*.png"}) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((from + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) continue;
    do CopyFileW((from + data.cFileName).c_str(), (box.dir() + L"\\" + data.cFileName).c_str(), FALSE);
    while (FindNextFileW(find, &data));
    FindClose(find);
  }
}

class ReleaseSmoke : public ::testing::TestWithParam<Mode> {
 protected:
  static void TearDownTestSuite() {
    std::string out;
    EXPECT_EQ(wintest::RunProgram(L"\"" + wintest::WinePath(VIEWER_EXE) + L"\" remove", out), 0) << out;
  }
  ReleaseSmoke() {
    appDefaults_.SetString(L"Version", GetParam().release);
    settings_.SetDword(L"ClockSpeed", 50);
    settings_.SetDword(L"InitialDlgShown", 1);
    battery_.SetDword(L"InitialAutoCheck", 1);
    // The maker's image switches the web notices on; they check on connection, every minute here.
    webMachine_.SetDword(L"Enable", 1);
    webMachine_.SetDword(L"SetupEnable", 1);
    webUser_.SetDword(L"CheckMethod", 1);
    webUser_.SetDword(L"SuppressAutoCheckMinute", 1);
    viewer_.SetString(L"FirstLogin", wintest::FirstLoginDaysAgo(0));  // first used today: the registration reminder is due
    CopySimSet(box_);
    // The disk viewer's services and history, from the same notebook.
    std::string out;
    EXPECT_EQ(wintest::RunProgram(L"\"" + wintest::WinePath(VIEWER_EXE) + L"\" install \"" + scenario_ + L"\" \"" +
                                      wintest::TempFolder() + L"sysglance_smoke.log\"",
                                  out),
              0)
        << out;
    SetEnvironmentVariableW(L"TELLWICK_SCENARIO", scenario_.c_str());
    const int port = wintest::SupportServerPorts(wintest::WinePath(SUPPORT_STATE_DIR))["http"];
    SetEnvironmentVariableW(L"TELLWICK_SUPPORT_HOST", (L"127.0.0.1:" + std::to_wstring(port) + L"/default").c_str());
    popcardLog_ = box_.dir() + L"\\popcard.log";
    SetEnvironmentVariableW(L"TELLWICK_POPCARD_LOG", popcardLog_.c_str());
  }
  ~ReleaseSmoke() override {
    wintest::RemoveFolder(wintest::WebHistoryFolder());  // the web notices' history it made
    SetEnvironmentVariableW(L"TELLWICK_SUPPORT_HOST", nullptr);
    SetEnvironmentVariableW(L"TELLWICK_POPCARD_LOG", nullptr);
    SetEnvironmentVariableW(L"TELLWICK_SCENARIO", nullptr);
  }

  Sandbox box_;
  const std::wstring scenario_ = wintest::WinePath(SCENARIO_DIR "/default.ini");
  std::wstring popcardLog_;
  wintest::ScopedKey appDefaults_{HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\Wickpost.exe"};
  wintest::ScopedKey settings_{HKEY_CURRENT_USER, L"Software\\Velmorant\\WICKPOST"};
  wintest::ScopedKey battery_{HKEY_CURRENT_USER, L"Software\\Velmorant\\WICKPOST\\WKPTBAT"};
  wintest::ScopedKey webUser_{HKEY_CURRENT_USER, L"Software\\Velmorant\\WICKPOST\\WKPTRSS"};
  wintest::ScopedKey webMachine_{HKEY_LOCAL_MACHINE, L"Software\\Velmorant\\WICKPOST\\WKPTRSS"};
  wintest::ScopedKey viewer_{HKEY_LOCAL_MACHINE, L"Software\\Velmorant\\Sysglance", KEY_WOW64_64KEY};
  wintest::ScopedKey common_{HKEY_LOCAL_MACHINE, L"Software\\Velmorant\\Common", KEY_WOW64_64KEY};
};

TEST_P(ReleaseSmoke, EveryModuleNotifiesAndTheHostEndsCleanly) {
  const Mode& mode = GetParam();
  const std::set<std::wstring> before = Pages();
  hosttest::FakeShellTray tray;
  HostProcess host(box_);
  if (mode.newerQuestion) {
    const HWND question = host.WaitWindow(L"#32770", L"Tellwick");
    ASSERT_NE(question, nullptr) << "the newer-Windows question";
    EXPECT_NE(hosttest::BoxText(question).find(L"does not support current version"), std::wstring::npos);
    hosttest::Answer(question, IDYES);
  }
  ASSERT_NE(host.Main(), nullptr) << "the host is resident";
  EXPECT_TRUE(tray.WaitFor(NIM_ADD, L"Tellwick")) << "its icon in the notification area";
  // The hard-disk module checks by itself only in the first minutes of an hour.
  host.Post(WM_COMMAND, IDM_CHECKNOW);
  const std::set<std::string> wanted(std::begin(kPagePrefixes), std::end(kPagePrefixes));
  std::set<std::string> found;
  for (const DWORD start = GetTickCount(); GetTickCount() - start < 60000 && found != wanted; Sleep(100))
    found = NewPagePrefixes(before);
  for (const char* prefix : kPagePrefixes) EXPECT_TRUE(found.count(prefix)) << "no page " << prefix << "*.tmp";
  if (mode.toasts) {
    bool shown = false;
    for (const DWORD start = GetTickCount(); !shown && GetTickCount() - start < 10000; Sleep(100))
      shown = hosttest::CountOf(wintest::ReadAll(popcardLog_), "show ") > 0;
    EXPECT_TRUE(shown) << "a toast through the bridge";
  } else {
    EXPECT_EQ(wintest::ReadAll(popcardLog_), "") << "no toast bridge before Windows 8";
  }
  host.Post(WM_COMMAND, IDM_EXIT);
  EXPECT_EQ(host.Wait(30000), 0) << "a clean end";
  EXPECT_EQ(tray.Calls().back().action, static_cast<DWORD>(NIM_DELETE)) << "the icon taken away";
}

INSTANTIATE_TEST_SUITE_P(Releases, ReleaseSmoke, ::testing::ValuesIn(kModes),
                         [](const ::testing::TestParamInfo<Mode>& info) { return std::string(info.param.name); });
}  // namespace
