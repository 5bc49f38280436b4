// wkptxwpk.dll (sim variant) in the real Wickpost.exe on the simulated notebook, offering from
// the support server stand-in: the line, the centred popup of the page's outer size, one offer a
// day, and nothing on another model or after the first year.
#include <gtest/gtest.h>

#include <string>

#include "host/module_contract.h"
#include "tests/common/win/win_test_support.h"
#include "tests/host/win/host_harness.h"

namespace {
const wchar_t kModuleKey[] = L"Software\\Velmorant\\WICKPOST\\WKPTXWPK";

DWORD ReadUserDword(const wchar_t* name) {
  DWORD value = 0, size = sizeof value;
  return RegGetValueW(HKEY_CURRENT_USER, kModuleKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS
             ? value
             : 0xDEADu;
}
class WkptxwpkInHost : public hosttest::QuickHost {
 protected:
  WkptxwpkInHost() {
    const int port = wintest::SupportServerPorts(wintest::WinePath(SUPPORT_STATE_DIR))["http"];
    EXPECT_NE(port, 0) << "the support server fixture is not running";
    SetEnvironmentVariableW(L"TELLWICK_SUPPORT_HOST", (L"127.0.0.1:" + std::to_wstring(port) + L"/default").c_str());
    box_.AddModule(L"wkptxwpk", "", WKPTXWPK_DLL);
  }
  ~WkptxwpkInHost() override {
    SetEnvironmentVariableW(L"TELLWICK_SUPPORT_HOST", nullptr);
    SetEnvironmentVariableW(L"TELLWICK_SCENARIO", nullptr);
  }
  std::unique_ptr<hosttest::HostProcess> Start(const char* scenario, int firstUsedDaysAgo) {
    EXPECT_TRUE(sysglance_.SetString(L"FirstLogin", wintest::FirstLoginDaysAgo(firstUsedDaysAgo)));
    SetEnvironmentVariableW(L"TELLWICK_SCENARIO",
                            wintest::WinePath((std::string(SCENARIO_DIR "/") + scenario).c_str()).c_str());
    return std::make_unique<hosttest::HostProcess>(box_);
  }
  // Runs the host with a probe counting its ticks until two checks of the offer are over.
  void ExpectNoOffer(const char* scenario, int firstUsedDaysAgo) {
    const size_t pages = wintest::TempFiles(L"WXP*.tmp").size();
    auto host = Start(scenario, firstUsedDaysAgo);
    ASSERT_NE(host->Main(), nullptr);
    ASSERT_TRUE(box_.WaitForLog(hosttest::kClockTick, 123, 60000));
    EXPECT_TRUE(host->Running());
    EXPECT_EQ(host->WaitWindow(L"MiniPopupClass", nullptr, 0), nullptr) << "no line";
    EXPECT_EQ(wintest::TempFiles(L"WXP*.tmp").size(), pages) << "no page";
    host->Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(host->Wait(), 0);
  }

  wintest::ScopedKey sysglance_{HKEY_LOCAL_MACHINE, L"Software\\Velmorant\\Sysglance", KEY_WOW64_64KEY};
  wintest::ScopedKey machine_{HKEY_LOCAL_MACHINE, L"Software\\Velmorant\\WICKPOST", KEY_WOW64_64KEY};
  wintest::ScopedKey user_{HKEY_CURRENT_USER, kModuleKey};
};
}  // namespace

TEST_F(WkptxwpkInHost, OfferOpensInACentredPopupAndIsNotMadeAgainTheSameDay) {
  {
    auto host = Start("default.ini", 0);
    const hosttest::MiniPopupView line = hosttest::WaitMiniPopup(*host);
    ASSERT_TRUE(line.window) << "the offer is listed";
    EXPECT_EQ(line.rows, std::vector<hosttest::Ink>{hosttest::Ink::Blue});
    hosttest::ClickMiniPopupRow(line.window, 0);
    HWND popup = host->WaitWindow(L"HTMLPopupClass");
    ASSERT_TRUE(popup) << "a click on the line opens the page";
    RECT r, work;
    GetWindowRect(popup, &r);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const bool small = GetSystemMetrics(SM_CXSCREEN) < 1600 || GetSystemMetrics(SM_CYSCREEN) < 900;
    EXPECT_EQ(r.right - r.left, (small ? 700 : 1400) + 2 * GetSystemMetrics(SM_CXFRAME));
    EXPECT_EQ(r.bottom - r.top, (small ? 400 : 800) + 2 * GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION));
    EXPECT_LE(std::abs((r.left - work.left) - (work.right - r.right)), 1) << "centred across";
    EXPECT_LE(std::abs((r.top - work.top) - (work.bottom - r.bottom)), 1) << "centred down";
    PostMessageW(popup, WM_CLOSE, 0, 0);
    SYSTEMTIME today;
    GetLocalTime(&today);
    for (DWORD start = GetTickCount(); ReadUserDword(L"LastNotifyDay") != today.wDay && GetTickCount() - start < 10000;)
      Sleep(100);
    EXPECT_EQ(ReadUserDword(L"LastNotifyMonth"), today.wMonth);
    EXPECT_EQ(ReadUserDword(L"LastNotifyDay"), today.wDay);
    host->Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(host->Wait(), 0);
  }
  box_.AddModule(L"wkptanm", "timers=1\r\n");  // a probe that counts the host's clock ticks
  ExpectNoOffer("default.ini", 0);
}

TEST_F(WkptxwpkInHost, NothingOnAnotherModelOrAfterTheFirstYear) {
  box_.AddModule(L"wkptanm", "timers=1\r\n");
  ExpectNoOffer("registration-unknown-model.ini", 10);
  ExpectNoOffer("default.ini", 366);
}
