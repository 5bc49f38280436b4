// wkptreg.dll in the real Wickpost.exe (sim variant) on the simulated notebook.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "host/module_contract.h"
#include "tests/common/win/win_test_support.h"
#include "tests/host/win/host_harness.h"

using hosttest::ClickMiniPopupRow;
using hosttest::HostProcess;
using hosttest::Ink;
using hosttest::MiniPopupView;
using hosttest::WaitMiniPopup;

namespace {
const wchar_t kModuleKey[] = L"Software\\Velmorant\\WICKPOST\\WKPTREG";

using wintest::TempFolder;
int CountPages() { return static_cast<int>(wintest::TempFiles(L"WRG*.tmp").size()); }
DWORD ReadDword(const wchar_t* key, const wchar_t* name) {
  DWORD value = 0, size = sizeof value;
  return RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS
             ? value
             : 0xDEADu;
}
// Today's local date moved back by whole days.
SYSTEMTIME DaysAgo(int days) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  FILETIME ft;
  SystemTimeToFileTime(&now, &ft);
  ULARGE_INTEGER t{};
  t.LowPart = ft.dwLowDateTime;
  t.HighPart = ft.dwHighDateTime;
  t.QuadPart -= static_cast<ULONGLONG>(days) * 86400ull * 10000000ull;
  ft.dwLowDateTime = t.LowPart;
  ft.dwHighDateTime = t.HighPart;
  SYSTEMTIME then;
  FileTimeToSystemTime(&ft, &then);
  return then;
}

}  // namespace

// Windows 7, a 50 ms clock (a check every 61 ticks, about 3 s), no first-run question, and
// wkptreg as the only module on a 3-year warranty notebook.
class WkptregInHost : public ::testing::Test {
 protected:
  WkptregInHost() {
    appDefaults_.SetString(L"Version", L"win2008r2");
    settings_.SetDword(L"ClockSpeed", 50);
    settings_.SetDword(L"InitialDlgShown", 1);
    DeleteFileW(bitmap_.c_str());
    box_.AddModule(L"wkptreg", "", WKPTREG_DLL);
  }
  ~WkptregInHost() override { DeleteFileW(bitmap_.c_str()); }

  // The notebook first used `days` days before today: the default scenario without its
  // FirstLogin preset (the driver would write it over ours), and FirstLogin as the system writes it.
  void FirstUsedDaysAgo(int days) {
    std::ifstream in(Narrow(wintest::WinePath(SCENARIO_DIR "/registration-warranty3.ini")));
    ASSERT_TRUE(in.good());
    std::ostringstream kept;
    for (std::string row; std::getline(in, row);)
      if (row.find("FirstLogin") == std::string::npos) kept << row << "\n";
    box_.WriteFile(L"scenario.ini", kept.str());
    scenario_ = box_.dir() + L"\\scenario.ini";
    const SYSTEMTIME d = DaysAgo(days);
    wchar_t text[32];
    swprintf(text, 32, L"%2d/%2d/%4d", d.wMonth, d.wDay, d.wYear);
    ASSERT_TRUE(sysglance_.SetString(L"FirstLogin", text));
  }
  std::unique_ptr<HostProcess> Start() {
    SetEnvironmentVariableW(L"TELLWICK_SCENARIO", scenario_.c_str());
    auto host = std::make_unique<HostProcess>(box_);
    SetEnvironmentVariableW(L"TELLWICK_SCENARIO", nullptr);
    return host;
  }
  static std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

  wintest::ScopedKey appDefaults_{HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\Wickpost.exe"};
  wintest::ScopedKey settings_{HKEY_CURRENT_USER, L"Software\\Velmorant\\WICKPOST"};
  wintest::ScopedKey sysglance_{HKEY_LOCAL_MACHINE, L"Software\\Velmorant\\Sysglance", KEY_WOW64_64KEY};
  wintest::ScopedKey machine_{HKEY_LOCAL_MACHINE, L"Software\\Velmorant\\WICKPOST", KEY_WOW64_64KEY};
  const std::wstring bitmap_ = TempFolder() + L"wkptreg.bmp";
  hosttest::Sandbox box_;
  std::wstring scenario_ = wintest::WinePath(SCENARIO_DIR "/registration-warranty3.ini");
};

TEST_F(WkptregInHost, LoadsAndItsFirstCheckWritesPageAndBitmap) {
  const int pagesBefore = CountPages();
  auto host = Start();
  ASSERT_NE(host->Main(), nullptr) << "the host stays resident with wkptreg loaded";
  bool made = false;
  for (DWORD start = GetTickCount(); !made && GetTickCount() - start < 20000; Sleep(100))
    made = GetFileAttributesW(bitmap_.c_str()) != INVALID_FILE_ATTRIBUTES && CountPages() > pagesBefore;
  EXPECT_TRUE(made) << "page and wkptreg.bmp in the temporary folder";
  EXPECT_TRUE(host->Running());
}

TEST_F(WkptregInHost, UrgentReminderIsListedAsWarning) {
  FirstUsedDaysAgo(25);  // urgent from day 22 to 31
  auto host = Start();
  const MiniPopupView line = WaitMiniPopup(*host);
  ASSERT_TRUE(line.window) << "the reminder is listed";
  EXPECT_EQ(line.rows, std::vector<Ink>{Ink::Red}) << "one line, drawn as a warning";
}

TEST_F(WkptregInHost, OpenedReminderIsNotOfferedAgainTheSameDay) {
  FirstUsedDaysAgo(5);
  {
    auto host = Start();
    const MiniPopupView line = WaitMiniPopup(*host);
    ASSERT_TRUE(line.window) << "the reminder is listed";
    EXPECT_EQ(line.rows, std::vector<Ink>{Ink::Blue}) << "one line, not urgent yet";
    ClickMiniPopupRow(line.window, 0);
    HWND page = host->WaitWindow(L"HTMLPopupClass");
    ASSERT_TRUE(page) << "a click on the line opens the page";
    PostMessageW(page, WM_CLOSE, 0, 0);
    SYSTEMTIME today;
    GetLocalTime(&today);
    for (DWORD start = GetTickCount();
         ReadDword(kModuleKey, L"LastNotifyDay") != today.wDay && GetTickCount() - start < 10000;)
      Sleep(100);
    EXPECT_EQ(ReadDword(kModuleKey, L"LastNotifyMonth"), today.wMonth);
    EXPECT_EQ(ReadDword(kModuleKey, L"LastNotifyDay"), today.wDay);
    host->Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(host->Wait(), 0);
  }
  const int pages = CountPages();
  box_.AddModule(L"wkptxwpk", "timers=1\r\n");  // counts the host's clock ticks
  auto again = Start();
  ASSERT_NE(again->Main(), nullptr);
  // The checks on ticks 61 and 122 are over once the 123rd tick comes.
  ASSERT_TRUE(box_.WaitForLog(hosttest::kClockTick, 123, 60000));
  EXPECT_TRUE(again->Running());
  EXPECT_EQ(again->WaitWindow(L"MiniPopupClass", nullptr, 0), nullptr) << "no new line";
  EXPECT_EQ(CountPages(), pages) << "no new page";
}
