// wkpthdd.dll with Diskwarn.dll in the real Wickpost.exe (sim variant), against the viewer
// stand-in's services in the Wine prefix.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "host/module_contract.h"
#include "tests/common/win/win_test_support.h"
#include "tests/host/win/host_harness.h"

using hosttest::HostProcess;

namespace {
std::wstring Scenario(const char* name) { return wintest::WinePath((std::string(SCENARIO_DIR "/") + name).c_str()); }

using wintest::TempFolder;
std::set<std::wstring> Pages() {
  std::set<std::wstring> pages;
  for (const std::wstring& name : wintest::TempFiles(L"WHD*.tmp")) pages.insert(TempFolder() + name);
  return pages;
}
std::string NewPage(const std::set<std::wstring>& before) {
  for (const std::wstring& p : Pages())
    if (!before.count(p)) return wintest::ReadAll(p);
  return std::string();
}
int Count(const std::string& text, const std::string& needle) {
  int n = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}
}  // namespace

class WkpthddInHost : public ::testing::Test {
 protected:
  WkpthddInHost() {
    appDefaults_.SetString(L"Version", L"win2008r2");
    settings_.SetDword(L"ClockSpeed", 50);
    settings_.SetDword(L"InitialDlgShown", 1);
    box_.AddModule(L"wkpthdd", "", WKPTHDD_DLL);
    CopyFileW(wintest::WinePath(DISKWARN_DLL).c_str(), (box_.dir() + L"\\Diskwarn.dll").c_str(), FALSE);
  }
  static void TearDownTestSuite() {
    std::string out;
    EXPECT_EQ(wintest::RunProgram(L"\"" + wintest::WinePath(VIEWER_EXE) + L"\" remove", out), 0) << out;
  }
  std::unique_ptr<HostProcess> Start(const char* scenario) {
    std::string out;
    EXPECT_EQ(wintest::RunProgram(L"\"" + wintest::WinePath(VIEWER_EXE) + L"\" install \"" + Scenario(scenario) + L"\" \"" +
                                      TempFolder() + L"sysglance_host.log\"",
                                  out),
              0)
        << out;
    SetEnvironmentVariableW(L"TELLWICK_SCENARIO", Scenario(scenario).c_str());
    auto host = std::make_unique<HostProcess>(box_);
    SetEnvironmentVariableW(L"TELLWICK_SCENARIO", nullptr);
    return host;
  }
  static void Exit(HostProcess& host) {
    host.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(host.Wait(), 0);
  }

  wintest::ScopedKey appDefaults_{HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\Wickpost.exe"};
  wintest::ScopedKey settings_{HKEY_CURRENT_USER, L"Software\\Velmorant\\WICKPOST"};
  hosttest::Sandbox box_;
};

// "Check now" on one notebook per event: a line and a page with that one section; nothing
// on a quiet disk.
TEST_F(WkpthddInHost, EachEventOnItsNotebook) {
  const struct {
    const char* scenario;
    const char* section;
  } cases[] = {
      {"disk-hibernate.ini", "hibernate_pdf"}, {"disk-shock.ini", "shock_pdf"},  {"disk-temperature.ini", "temperature_pdf"},
      {"disk-poweron.ini", "poweron_pdf"},     {"disk-quiet.ini", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scenario);
    const std::set<std::wstring> before = Pages();
    auto host = Start(c.scenario);
    ASSERT_NE(host->Main(), nullptr) << "the host stays resident with wkpthdd loaded";
    host->Post(WM_COMMAND, IDM_CHECKNOW);
    if (!c.section) {
      HWND box = host->WaitWindow(L"#32770");
      ASSERT_NE(box, nullptr) << "the host says there is nothing";
      EXPECT_EQ(NewPage(before), "");
      hosttest::Answer(box, IDOK);
    } else {
      const hosttest::MiniPopupView line = hosttest::WaitMiniPopup(*host);
      ASSERT_TRUE(line.window) << "listed";
      const std::string page = NewPage(before);
      EXPECT_EQ(Count(page, "<h3>"), 1) << page;
      EXPECT_NE(page.find(c.section), std::string::npos);
    }
    Exit(*host);
  }
}

// The pipe takes the requests and never answers: the host comes up and keeps answering.
TEST_F(WkpthddInHost, SilentPipeLeavesTheHostResponsive) {
  auto host = Start("disk-silent-pipe.ini");
  const HWND main = host->Main();
  ASSERT_NE(main, nullptr);
  host->Post(WM_COMMAND, IDM_CHECKNOW);
  DWORD_PTR result = 0;
  EXPECT_NE(SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 15000, &result), 0);
  HWND box = host->WaitWindow(L"#32770", nullptr, 20000);
  ASSERT_NE(box, nullptr) << "nothing to report without records";
  hosttest::Answer(box, IDOK);
  Exit(*host);
}
