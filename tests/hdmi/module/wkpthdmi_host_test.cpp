// wkpthdmi.dll in the real Wickpost.exe (sim variant): a television plugged in shows its
// line in the mini popup, and unplugging it takes the line away again.
#include <gtest/gtest.h>

#include <string>

#include "host/module_contract.h"
#include "tests/common/win/win_test_support.h"
#include "tests/host/win/host_harness.h"

namespace {
const char kTv[] =
    "[display]\ndisplay0 = 0x1001 1920 1080 32 hdmi\ndisplay0.monitor = VEL0A01 cea VelmorantTV1\n"
    "scaling = 100 5 100 4\n";

using wintest::TempFile;
using wintest::WriteWhole;

DWORD Known(const wchar_t* key) {
  DWORD value = 0, size = sizeof value;
  return RegGetValueW(HKEY_CURRENT_USER, L"Software\\Velmorant\\WICKPOST\\WKPTHDMI\\Known Monitors", key,
                      RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS
             ? value
             : 0xDEAD;
}

bool WaitKnown(const wchar_t* key, DWORD value, DWORD timeoutMs = 15000) {
  for (const DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(20))
    if (Known(key) == value) return true;
  return false;
}

bool WaitHidden(HWND window, DWORD timeoutMs = 15000) {
  for (const DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(20))
    if (!hosttest::IsShown(window)) return true;
  return !hosttest::IsShown(window);
}

class WkpthdmiInHost : public hosttest::QuickHost {
 protected:
  WkpthdmiInHost() {
    box_.AddModule(L"wkpthdmi", "", WKPTHDMI_DLL);
    box_.AddModule(L"wkptxwpk", "timers=1\r\n");  // counts the host's clock ticks
    scenario_ = TempFile(L"hsc");
    log_ = TempFile(L"hlg");
  }
  ~WkpthdmiInHost() override {
    DeleteFileW(scenario_.c_str());
    DeleteFileW(log_.c_str());
  }
  std::unique_ptr<hosttest::HostProcess> Start() {
    SetEnvironmentVariableW(L"TELLWICK_SCENARIO", scenario_.c_str());
    SetEnvironmentVariableW(L"TELLWICK_GFX_LOG", log_.c_str());
    auto host = std::make_unique<hosttest::HostProcess>(box_);
    SetEnvironmentVariableW(L"TELLWICK_SCENARIO", nullptr);
    SetEnvironmentVariableW(L"TELLWICK_GFX_LOG", nullptr);
    return host;
  }
  // A host started with one television of this monitor plugged in, the module's memory empty,
  // once its line is listed; null when it is not.
  std::unique_ptr<hosttest::HostProcess> StartListed(const char* monitor, hosttest::MiniPopupView& line) {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Velmorant\\WICKPOST\\WKPTHDMI");
    EXPECT_TRUE(WriteWhole(scenario_, std::string("[display]\ndisplay0 = 0x1001 1280 720 32 hdmi\ndisplay0.monitor = ") + monitor +
                              "\n"));
    EXPECT_TRUE(WriteWhole(log_, ""));
    auto host = Start();
    if (!host->Main()) return nullptr;
    line = hosttest::WaitMiniPopup(*host);
    return line.window ? std::move(host) : nullptr;
  }
  static void CancelAndExit(hosttest::HostProcess& host, HWND panel) {
    PostMessageW(panel, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitHidden(panel));
    host.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(host.Wait(), 0);
  }
  wintest::ScopedKey user_{HKEY_CURRENT_USER, L"Software\\Velmorant\\WICKPOST\\WKPTHDMI"};
  std::wstring scenario_, log_;
};

TEST_F(WkpthdmiInHost, PluggedTelevisionIsListedAndUnpluggingWithdrawsTheLine) {
  EXPECT_TRUE(WriteWhole(scenario_, kTv));
  EXPECT_TRUE(WriteWhole(log_, ""));
  auto host = Start();
  ASSERT_NE(host->Main(), nullptr);
  const hosttest::MiniPopupView line = hosttest::WaitMiniPopup(*host);
  ASSERT_TRUE(line.window) << "the television's line";
  EXPECT_EQ(line.rows, std::vector<hosttest::Ink>{hosttest::Ink::Blue});
  EXPECT_NE(wintest::ReadAll(log_).find("1280,720"), std::string::npos) << "first-time resolution";

  EXPECT_TRUE(WriteWhole(scenario_, "[display]\ndisplay0 = 0x400 1366 768 32 panel\n"));
  const HWND hidden = FindWindowW(L"WKPTHDMI_INTERNAL", nullptr);
  ASSERT_NE(hidden, nullptr);
  PostMessageW(hidden, WM_DISPLAYCHANGE, 32, MAKELPARAM(1366, 768));
  EXPECT_TRUE(WaitHidden(line.window));
  // The withdrawal is taken at the next tick; then nothing is pending: the icon's left click
  // opens the menu rather than listing lines.
  ASSERT_TRUE(box_.WaitForTicks(2));
  host->Post(WM_HOST_TRAYICON, 140, WM_LBUTTONUP);
  const HWND menu = host->WaitWindow(L"#32768");
  EXPECT_NE(menu, nullptr) << "the line is still listed";
  EXPECT_EQ(host->WaitWindow(L"MiniPopupClass", nullptr, 0), nullptr);
  if (menu) PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  host->Post(WM_COMMAND, IDM_EXIT);
  EXPECT_EQ(host->Wait(), 0);
}
// Each kind of display from its line: the Full-HD television's page (state 5) opens in the
// host's popup, another television (1) and the maker's (3) open the panel. Either way the
// monitor is handled then.
TEST_F(WkpthdmiInHost, ClickedLineOpensThePageOrThePanel) {
  const struct {
    const char* monitor;
    const wchar_t* key;
    bool page;
  } cases[] = {
      {"VEL0A01 cea VelmorantTV0", L"VEL0A01#1#0#1", true},
      {"ABC1234 cea OtherTV", L"ABC1234#1#0#1", false},
      {"VEL0A01 cea VelmorantTV1", L"VEL0A01#1#0#1", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.monitor);
    hosttest::MiniPopupView line;
    auto host = StartListed(c.monitor, line);
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(Known(c.key), 1u) << "seen, not handled yet";
    hosttest::ClickMiniPopupRow(line.window, 0);
    if (c.page) {
      EXPECT_TRUE(WaitKnown(c.key, 2)) << "the page was shown";
      host->Post(WM_COMMAND, IDM_EXIT);
      EXPECT_EQ(host->Wait(), 0);
      continue;
    }
    const HWND panel = host->WaitWindow(L"#32770");
    ASSERT_NE(panel, nullptr) << "the panel";
    EXPECT_EQ(Known(c.key), 2u);
    CancelAndExit(*host, panel);
  }
}
// The 1360 button by release: "1360x765" on XP and Vista, and off there for the maker's
// television, which cannot show it.
TEST_F(WkpthdmiInHost, PanelButtonFollowsTheRelease) {
  const bool wide = sizeof(void*) == 8;
  const struct {
    const wchar_t* release;
    const char* monitor;
    const wchar_t* text;
    bool enabled;
  } cases[] = {
      {wide ? L"winxp64" : L"winxp", "VEL0A01 cea VelmorantTV1", L"1360x765", false},
      {L"vista", "ABC1234 cea OtherTV", L"1360x765", true},
      {L"win7", "VEL0A01 cea VelmorantTV1", L"1360x768", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.monitor);
    SetRelease(c.release);
    hosttest::MiniPopupView line;
    auto host = StartListed(c.monitor, line);
    ASSERT_NE(host, nullptr);
    hosttest::ClickMiniPopupRow(line.window, 0);
    const HWND panel = host->WaitWindow(L"#32770");
    ASSERT_NE(panel, nullptr);
    wchar_t text[32] = {};
    GetDlgItemTextW(panel, 1001, text, 32);
    EXPECT_STREQ(text, c.text);
    EXPECT_EQ(IsWindowEnabled(GetDlgItem(panel, 1001)) != FALSE, c.enabled);
    CancelAndExit(*host, panel);
  }
}
}  // namespace
