// wkptbat.dll in the real Wickpost.exe (sim variant) on the simulated notebooks of sim/scenarios.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "host/module_contract.h"
#include "tests/common/win/win_test_support.h"
#include "tests/host/win/host_harness.h"

using hosttest::HostProcess;

namespace {
const wchar_t kUserKey[] = L"Software\\Velmorant\\WICKPOST\\WKPTBAT";
const wchar_t kOnePack[] = L"VLB-ONE       24040201201";

using wintest::TempFolder;
std::set<std::wstring> Pages() {
  std::set<std::wstring> pages;
  for (const std::wstring& name : wintest::TempFiles(L"WBT*.tmp")) pages.insert(TempFolder() + name);
  return pages;
}
// A page's Shift_JIS bytes, read back through code page 932.
std::wstring ReadPage(const std::wstring& path) {
  std::ifstream file(path.c_str(), std::ios::binary);
  std::ostringstream body;
  body << file.rdbuf();
  const std::string bytes = body.str();
  std::wstring text(bytes.size(), L'\0');
  text.resize(MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0],
                                  static_cast<int>(text.size())));
  return text;
}
std::wstring NewPage(const std::set<std::wstring>& before) {
  for (const std::wstring& p : Pages())
    if (!before.count(p)) return p;
  return std::wstring();
}
int Count(const std::wstring& text, const std::wstring& needle) {
  int n = 0;
  for (size_t at = text.find(needle); at != std::wstring::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}
std::wstring ReadString(const std::wstring& key, const wchar_t* name) {
  wchar_t text[64] = {};
  DWORD size = sizeof text;
  return RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size) == ERROR_SUCCESS
             ? text
             : L"";
}
// Every value under the module's user key, one line each: what a check or a close wrote.
void Dump(HKEY parent, const std::wstring& path, std::wstring& out) {
  HKEY key;
  if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    BYTE data[512];
    DWORD n = 256, size = sizeof data, type = 0;
    if (RegEnumValueW(key, i, name, &n, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    out += path + L"\\" + name + L"=" + std::to_wstring(type) + L":" + std::to_wstring(size) + L"\n";
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD n = 256;
    if (RegEnumKeyExW(key, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    Dump(parent, path + L"\\" + name, out);
  }
  RegCloseKey(key);
}
std::wstring UserValues() {
  std::wstring out;
  Dump(HKEY_CURRENT_USER, kUserKey, out);
  return out;
}
std::wstring Today() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  wchar_t text[16];
  swprintf(text, 16, L"%04d/%02d/%02d", t.wYear, t.wMonth, t.wDay);
  return text;
}

// One ordinary line: the battery notices are not drawn as warnings.
const std::vector<hosttest::Ink> kOneLine = {hosttest::Ink::Blue};
}  // namespace

// Windows 7, a 50 ms clock (the automatic check at about 3 s), no first-run question, wkptbat alone.
class WkptbatInHost : public ::testing::Test {
 protected:
  WkptbatInHost() {
    appDefaults_.SetString(L"Version", L"win2008r2");
    settings_.SetDword(L"ClockSpeed", 50);
    settings_.SetDword(L"InitialDlgShown", 1);
    box_.AddModule(L"wkptbat", "", WKPTBAT_DLL);
  }
  std::unique_ptr<HostProcess> Start(const char* scenario) {
    const std::wstring path = wintest::WinePath((std::string(SCENARIO_DIR "/") + scenario).c_str());
    SetEnvironmentVariableW(L"TELLWICK_SCENARIO", path.c_str());
    auto host = std::make_unique<HostProcess>(box_);
    SetEnvironmentVariableW(L"TELLWICK_SCENARIO", nullptr);
    return host;
  }
  void AutoChecksOn() { ASSERT_TRUE(user_.SetDword(L"InitialAutoCheck", 1)); }
  // A probe beside the module counts the host's clock ticks (see hosttest::kClockTick).
  void CountTicks() { box_.AddModule(L"wkptxwpk", "timers=1\r\n"); }
  static void Open(const hosttest::MiniPopupView& line) {
    hosttest::ClickMiniPopupRow(line.window, 0);
  }
  static void Exit(HostProcess& host) {
    host.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(host.Wait(), 0);
  }

  wintest::ScopedKey appDefaults_{HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\Wickpost.exe"};
  wintest::ScopedKey settings_{HKEY_CURRENT_USER, L"Software\\Velmorant\\WICKPOST"};
  wintest::ScopedKey user_{HKEY_CURRENT_USER, kUserKey};
  wintest::ScopedKey machine_{HKEY_LOCAL_MACHINE, L"Software\\Velmorant\\WICKPOST", KEY_WOW64_64KEY};
  hosttest::Sandbox box_;
};

// "Check now" on each boundary notebook: a line and a page, or the host's "nothing" box.
TEST_F(WkptbatInHost, EachConditionAtItsBoundary) {
  const struct {
    const char* scenario;
    const wchar_t* section;  // the control of the section found; none: nothing found
  } cases[] = {
      {"battery-worn-51.ini", nullptr},
      {"battery-worn-50.ini", L"half_capa_radio_autocheck0"},
      {"battery-worn-31.ini", L"half_capa_radio_autocheck0"},
      {"battery-worn-30.ini", L"no_capa_radio_autocheck0"},
      {"battery-recal-179.ini", nullptr},
      {"battery-recal-180.ini", L"recal_radio_autocheck0"},
      {"battery-old-interface.ini", L"recal_radio_autocheck0"},
      {"battery-one-pack-two-bays.ini", L"no_capa_radio_autocheck1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scenario);
    const std::set<std::wstring> before = Pages();
    auto host = Start(c.scenario);
    ASSERT_NE(host->Main(), nullptr) << "the host stays resident with wkptbat loaded";
    host->Post(WM_COMMAND, IDM_CHECKNOW);
    if (!c.section) {
      HWND box = host->WaitWindow(L"#32770");
      ASSERT_NE(box, nullptr) << "the host says there is nothing";
      EXPECT_EQ(host->WaitWindow(L"MiniPopupClass", nullptr, 0), nullptr);
      EXPECT_EQ(NewPage(before), L"");
      hosttest::Answer(box, IDOK);
    } else {
      const hosttest::MiniPopupView line = hosttest::WaitMiniPopup(*host);
      ASSERT_TRUE(line.window) << "listed";
      EXPECT_EQ(line.rows, kOneLine);
      const std::wstring page = ReadPage(NewPage(before));
      EXPECT_EQ(Count(page, L"<h3>"), 1);
      EXPECT_NE(page.find(c.section), std::wstring::npos);
    }
    Exit(*host);
  }
}

TEST_F(WkptbatInHost, TwoConditionsOnTwoPacksMakeOnePageWithTheWorstSeverity) {
  AutoChecksOn();
  const std::set<std::wstring> before = Pages();
  auto host = Start("battery-two-packs.ini");
  const hosttest::MiniPopupView line = hosttest::WaitMiniPopup(*host);
  ASSERT_TRUE(line.window);
  EXPECT_EQ(line.rows, kOneLine) << "one line for both conditions";
  const std::wstring page = ReadPage(NewPage(before));
  EXPECT_EQ(Count(page, L"<h3>"), 2);
  EXPECT_NE(page.find(L"内蔵バッテリーの残量表示補正を行ってください"), std::wstring::npos);
  EXPECT_NE(page.find(L"拡張バッテリーパックを交換してください"), std::wstring::npos);
  EXPECT_NE(page.find(L"headicon_important.png"), std::wstring::npos);
  EXPECT_NE(page.find(L"charset=Shift_JIS"), std::wstring::npos);
  Exit(*host);
}

TEST_F(WkptbatInHost, SecondAutomaticCheckWritesNothing) {
  AutoChecksOn();
  CountTicks();
  auto host = Start("battery-two-packs.ini");
  ASSERT_TRUE(hosttest::WaitMiniPopup(*host).window);
  const std::wstring values = UserValues();
  const std::set<std::wstring> pages = Pages();
  EXPECT_NE(values.find(L"RecalDate"), std::wstring::npos) << "the first check stored the new recalibration date";
  // The checks on ticks 122 and 183 are over once the 184th tick comes.
  ASSERT_TRUE(box_.WaitForLog(hosttest::kClockTick, 184, 60000));
  EXPECT_TRUE(host->Running());
  EXPECT_EQ(UserValues(), values);
  EXPECT_EQ(Pages(), pages) << "no new page";
  Exit(*host);
}

TEST_F(WkptbatInHost, ClosingAPageAfterAnAutomaticCheckStoresTheDateOfTheFoundCondition) {
  AutoChecksOn();
  auto host = Start("battery-worn-50.ini");
  const hosttest::MiniPopupView line = hosttest::WaitMiniPopup(*host);
  ASSERT_TRUE(line.window);
  Open(line);
  HWND page = host->WaitWindow(L"HTMLPopupClass");
  ASSERT_TRUE(page) << "a click on the line opens the page";
  PostMessageW(page, WM_CLOSE, 0, 0);
  const std::wstring key = std::wstring(kUserKey) + L"\\" + kOnePack;
  for (DWORD start = GetTickCount(); ReadString(key, L"LastNotifyDate01").empty() && GetTickCount() - start < 10000;)
    Sleep(100);
  EXPECT_EQ(ReadString(key, L"LastNotifyDate01"), Today());
  EXPECT_EQ(ReadString(key, L"LastNotifyDate00"), L"");
  EXPECT_EQ(ReadString(key, L"LastNotifyDate02"), L"");
  Exit(*host);
}

TEST_F(WkptbatInHost, ClosingAPageAfterAManualCheckSavesTheSettingsButNoDate) {
  CountTicks();
  auto host = Start("battery-worn-50.ini");
  ASSERT_NE(host->Main(), nullptr);
  // Past the automatic check on tick 61, which looks at nothing.
  ASSERT_TRUE(box_.WaitForLog(hosttest::kClockTick, 62, 30000));
  host->Post(WM_COMMAND, IDM_CHECKNOW);
  const hosttest::MiniPopupView line = hosttest::WaitMiniPopup(*host);
  ASSERT_TRUE(line.window);
  const std::set<std::wstring> pages = Pages();
  Open(line);
  HWND page = host->WaitWindow(L"HTMLPopupClass");
  ASSERT_TRUE(page);
  PostMessageW(page, WM_CLOSE, 0, 0);
  for (DWORD start = GetTickCount(); Pages().size() >= pages.size() && GetTickCount() - start < 10000;) Sleep(100);
  EXPECT_LT(Pages().size(), pages.size()) << "the page file goes when the page closes";
  const std::wstring values = UserValues(), key = std::wstring(kUserKey) + L"\\" + kOnePack + L"\\";
  for (const wchar_t* name : {L"Enable", L"NotifyEventMask", L"AutoCheckMask", L"AutoCheckInterval00",
                              L"AutoCheckInterval01", L"AutoCheckInterval02"})
    EXPECT_NE(values.find(key + name + L"=4:4\n"), std::wstring::npos) << name << "\n" << values;
  EXPECT_EQ(values.find(L"LastNotifyDate"), std::wstring::npos) << values;
  Exit(*host);
}

TEST_F(WkptbatInHost, CustomTextsOverrideFieldByFieldAndABrokenFileIsIgnored) {
  const struct {
    const char* xml;
    const wchar_t* title;
  } cases[] = {
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<wkptbat:wkptbat xmlns:wkptbat=\"urn:tellwick-battery\">\n"
       "<wkptbat:message wkptbat:type=\"NoCapa\"><wkptbat:minipop>交換のお知らせ %d 件</wkptbat:minipop>"
       "<wkptbat:title>%sの交換時期です</wkptbat:title></wkptbat:message>\n</wkptbat:wkptbat>\n",
       L"バッテリーパックの交換時期です"},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<wkptbat:wkptbat xmlns:wkptbat=\"urn:tellwick-battery\">\n"
       "<wkptbat:message wkptbat:type=\"nocapa\"><wkptbat:minipop>交換のお知らせ %d 件</wkptbat:minipop>\n",
       L"バッテリーパックを交換してください"},
      {"<wkptbat><message type=\"nocapa\"><minipop>x %d</minipop></message></wkptbat>",
       L"バッテリーパックを交換してください"},
  };
  wintest::ScopedKey machineBattery(HKEY_LOCAL_MACHINE, kUserKey);  // the host's own registry view
  for (const auto& c : cases) {
    SCOPED_TRACE(c.xml);
    box_.WriteFile(L"custom.xml", c.xml);
    ASSERT_TRUE(machineBattery.SetString(L"CustomNotification", box_.dir() + L"\\custom.xml"));
    const std::set<std::wstring> before = Pages();
    auto host = Start("battery-worn-30.ini");
    ASSERT_NE(host->Main(), nullptr);
    host->Post(WM_COMMAND, IDM_CHECKNOW);
    const hosttest::MiniPopupView line = hosttest::WaitMiniPopup(*host);
    ASSERT_TRUE(line.window);
    EXPECT_EQ(line.rows, kOneLine);
    const std::wstring page = ReadPage(NewPage(before));
    EXPECT_NE(page.find(c.title), std::wstring::npos);
    EXPECT_NE(page.find(L"新しいバッテリーパックと交換してください。"), std::wstring::npos) << "the default body";
    Exit(*host);
  }
}

// A recalibration between two host runs: stored before the check, and every automatic
// condition is due again although it was shown today.
TEST_F(WkptbatInHost, RecalibrationSinceTheLastRunMakesConditionsDue) {
  AutoChecksOn();
  const std::wstring key = std::wstring(kUserKey) + L"\\" + kOnePack;
  {
    auto host = Start("battery-one.ini");
    ASSERT_NE(host->Main(), nullptr);
    for (DWORD start = GetTickCount(); ReadString(key, L"RecalDate").empty() && GetTickCount() - start < 15000;)
      Sleep(100);
    EXPECT_FALSE(ReadString(key, L"RecalDate").empty()) << "the first run stores the pack's recalibration date";
    Exit(*host);
  }
  const std::wstring first = ReadString(key, L"RecalDate");
  wintest::ScopedKey pack(HKEY_CURRENT_USER, key);
  ASSERT_TRUE(pack.SetString(L"LastNotifyDate01", Today()));
  auto host = Start("battery-recal-changed.ini");
  const hosttest::MiniPopupView line = hosttest::WaitMiniPopup(*host);
  ASSERT_TRUE(line.window) << "halfcapa is due at once";
  const std::wstring second = ReadString(key, L"RecalDate");
  EXPECT_NE(second, first);
  EXPECT_EQ(second.size(), 10u) << second;
  Exit(*host);
}
