// The web module's Win32 adapters under Wine: MSXML reads the sample feed as pugixml does,
// registry views, file dates, SetupAPI drivers, and the Windows expression per release.
#include <gtest/gtest.h>
#include <windows.h>
#include <setupapi.h>

#include <cstdio>
#include <fstream>
#include <map>

#include "common/core/winversion_rules.h"
#include "common/win/system_library.h"
#include "modules/web/module/web_platform.h"
#include "modules/web/web_catalogue.h"
#include "tests/common/win/win_test_support.h"
#include "tests/web/feed_dump.h"

using wintest::ScopedKey;

namespace {
std::u16string U(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }

std::wstring TempFolder() {
  wchar_t folder[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, folder);
  return folder;
}

std::wstring WriteTemp(const wchar_t* name, const std::string& bytes) {
  const std::wstring path = TempFolder() + name;
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(f);
  return path;
}

struct NoDownload : web::IFeedDownload {
  bool Download(const std::u16string&, std::u16string&) override { return false; }
  void Delete(const std::u16string&) override {}
};
}  // namespace

TEST(Msxml, ReadsTheSampleFeedAsPugixmlDoes) {
  web::MsxmlDocument doc;
  ASSERT_EQ(doc.LoadFile(U(wintest::WinePath(TEST_DATA_DIR "/wkpt.xml"))), web::IXmlDocument::Load::Ok);
  std::vector<web::FeedItem> items;
  EXPECT_EQ(web::ParseFeed(doc, items), 4);
  const std::string expected = wintest::ReadAll(wintest::WinePath(TEST_DATA_DIR "/wkpt-items.txt"));
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(webtest::DumpItems(items) + "code " + webtest::DumpText(web::CatalogueCode(doc, u"RX-7WQ2210HJ5800")) + "\n",
            expected);
}

TEST(Msxml, TellsAMalformedFileFromAMissingOne) {
  const std::wstring broken = WriteTemp(L"wkpt-broken.xml", "<rdf><item wkpt:class=\"Topics\"><title>cut");
  const std::wstring empty = WriteTemp(L"wkpt-empty.xml", "");
  const std::wstring html = WriteTemp(L"wkpt-html.xml", "<html><body><p>Service unavailable<br></body></html>");
  web::MsxmlDocument doc;
  NoDownload download;
  std::vector<web::FeedItem> items;
  EXPECT_EQ(web::LoadFeed(U(broken), doc, download, items), web::kFeedParseError);
  EXPECT_EQ(web::LoadFeed(U(empty), doc, download, items), web::kFeedParseError);
  EXPECT_EQ(web::LoadFeed(U(html), doc, download, items), web::kFeedParseError);
  EXPECT_EQ(web::LoadFeed(U(TempFolder() + L"wkpt-missing.xml"), doc, download, items), web::kFeedUnreachable);
  EXPECT_EQ(web::LoadFeed(u"http://127.0.0.1:9/s/wkpt.xml", doc, download, items), web::kFeedUnreachable)
      << "an address goes to the download port, never to MSXML's own download";
  EXPECT_FALSE(doc.HasRoot());
  DeleteFileW(broken.c_str());
  DeleteFileW(empty.c_str());
  DeleteFileW(html.c_str());
}

TEST(WinAdapters, UninstallKeyInBothViews) {
  web::WinMachineRegistry registry;
  const std::wstring own = std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + L"{TW-OWN}";
  const std::wstring wide = std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + L"{TW-64}";
  ScopedKey ownKey(HKEY_LOCAL_MACHINE, own);
  ScopedKey wideKey(HKEY_LOCAL_MACHINE, wide, KEY_WOW64_64KEY);
  ASSERT_TRUE(ownKey.SetDword(L"x", 1));
  ASSERT_TRUE(wideKey.SetDword(L"x", 1));
  EXPECT_TRUE(registry.KeyExists(U(own), false));
  EXPECT_TRUE(registry.KeyExists(U(wide), true));
  EXPECT_FALSE(registry.KeyExists(U(wide + L"-none"), true));
#ifdef _WIN64
  EXPECT_FALSE(registry.IsWow64());
#else
  EXPECT_TRUE(registry.IsWow64()) << "Wine's prefix is 64-bit Windows";
  EXPECT_FALSE(registry.KeyExists(U(wide), false)) << "the 32-bit view does not see the 64-bit key";
#endif
}

namespace {
// A file written into the system's own System32, past the redirection of a 32-bit process.
class NativeSystemFile {
 public:
  explicit NativeSystemFile(const wchar_t* name) {
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    path_ = std::wstring(windows) + L"\\System32\\" + name;
    Unredirected([&] {
      HANDLE f = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      made_ = f != INVALID_HANDLE_VALUE;
      if (made_) CloseHandle(f);
    });
  }
  ~NativeSystemFile() {
    Unredirected([&] { DeleteFileW(path_.c_str()); });
  }
  const std::wstring& path() const { return path_; }
  bool made() const { return made_; }

 private:
  template <typename Fn>
  static void Unredirected(Fn fn) {
    PVOID previous = nullptr;
    const bool off =
        TW_SYSTEM_FUNCTION_TYPED(L"kernel32.dll", Wow64DisableWow64FsRedirection, BOOL(WINAPI*)(PVOID*))(&previous);
    fn();
    if (off) TW_SYSTEM_FUNCTION_TYPED(L"kernel32.dll", Wow64RevertWow64FsRedirection, BOOL(WINAPI*)(PVOID))(previous);
  }
  std::wstring path_;
  bool made_ = false;
};

struct NoPacks : web::IBatteryPacks {
  std::vector<web::BatteryPack> Packs() override { return {}; }
};
}  // namespace

TEST(WinAdapters, CatalogueFindsAFileOnlyInSystem32) {
  NativeSystemFile file(L"twnative.dll");
  ASSERT_TRUE(file.made());
  web::WinWindows windows;
  ASSERT_TRUE(web::CatalogueSearchesNativeFolders(windows.Release())) << "a 64-bit prefix, not in XP mode";
  web::WinFileSystem files;
#ifndef _WIN64
  EXPECT_FALSE(files.FirstWriteTime(U(file.path()))) << "a 32-bit process sees SysWOW64 under that name";
#endif
  web::WinMachineRegistry registry;
  web::SetupApiDrivers drivers;
  NoPacks packs;
  web::WinFileRedirection redirection;
  web::FilterPorts ports{windows, registry, files, drivers, packs};
  web::FeedItem e;
  e.files = {{U(file.path()), u"2000/01/01", std::nullopt}};
  web::JudgeCatalogueEntries({&e}, web::Machine{}, ports, redirection);
  EXPECT_TRUE(web::UpToDate(e)) << "found, and newer than the entry's date";
#ifndef _WIN64
  EXPECT_FALSE(files.FirstWriteTime(U(file.path()))) << "redirection is back on after the search";
#endif
}

TEST(WinAdapters, FileDatesInLocalTimeAndTheFileHead) {
  const std::wstring path = WriteTemp(L"twpad1.dll", "Velmorant\r\nJ\r\nV1.10L20A\r\n");
  // 2014-04-30 00:00 local time.
  SYSTEMTIME local = {2014, 4, 0, 30, 0, 0, 0, 0}, utc;
  FILETIME ft;
  ASSERT_TRUE(TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) && SystemTimeToFileTime(&utc, &ft));
  HANDLE f = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(SetFileTime(f, nullptr, nullptr, &ft));
  CloseHandle(f);
  web::WinFileSystem files;
  const auto stamp = files.FirstWriteTime(U(TempFolder() + L"twpad*.dll"));
  ASSERT_TRUE(stamp);
  EXPECT_EQ(stamp->year, 2014);
  EXPECT_EQ(stamp->month, 4);
  EXPECT_EQ(stamp->day, 30);
  EXPECT_EQ(stamp->hour, 0);
  EXPECT_EQ(stamp->minute, 0);
  EXPECT_FALSE(files.FirstWriteTime(U(TempFolder() + L"twnone*.dll")));
  const auto head = files.ReadHead(U(path), 12);
  ASSERT_TRUE(head);
  EXPECT_EQ(*head, "Velmorant\r\nJ");
  const auto all = files.ReadHead(U(path), web::kPreinstallHeadBytes);
  ASSERT_TRUE(all);
  EXPECT_EQ(web::CompareFirmware(web::PreinstallVersion(*all), *web::ReadFirmwareVersion(u"V1.10L20A")), 0);
  EXPECT_FALSE(files.ReadHead(U(TempFolder() + L"twnone.doc"), 10));
  DeleteFileW(path.c_str());
}

TEST(WinAdapters, DriverVersionThroughSetupApi) {
  // A device of our own in the System class, with a driver key that carries a version.
  const GUID system = {0x4d36e97d, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
  HDEVINFO set = SetupDiCreateDeviceInfoList(&system, nullptr);
  ASSERT_NE(set, INVALID_HANDLE_VALUE);
  SP_DEVINFO_DATA device = {sizeof device};
  ASSERT_TRUE(SetupDiCreateDeviceInfoW(set, L"ROOT\\SYSTEM\\TWPAD0001", &system, nullptr, nullptr, 0, &device))
      << GetLastError();
  ASSERT_TRUE(SetupDiRegisterDeviceInfo(set, &device, 0, nullptr, nullptr, nullptr)) << GetLastError();
  const wchar_t description[] = L"Velmorant Test Pad";
  const wchar_t friendly[] = L"Velmorant Test Pad (friendly)";
  ASSERT_TRUE(SetupDiSetDeviceRegistryPropertyW(set, &device, SPDRP_DEVICEDESC, reinterpret_cast<const BYTE*>(description),
                                                sizeof description));
  ASSERT_TRUE(SetupDiSetDeviceRegistryPropertyW(set, &device, SPDRP_FRIENDLYNAME, reinterpret_cast<const BYTE*>(friendly),
                                                sizeof friendly));
  HKEY driver = SetupDiCreateDevRegKeyW(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, nullptr, nullptr);
  ASSERT_NE(driver, INVALID_HANDLE_VALUE) << GetLastError();
  const wchar_t version[] = L"6.1.7600.16385";
  RegSetValueExW(driver, L"DriverVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>(version), sizeof version);
  RegCloseKey(driver);

  web::SetupApiDrivers drivers;
  EXPECT_EQ(drivers.DriverVersion(u"Velmorant Test Pad"), u"6.1.7600.16385");
  EXPECT_EQ(drivers.DriverVersion(u"Velmorant Test Pad (friendly)"), u"6.1.7600.16385");
  EXPECT_FALSE(drivers.DriverVersion(u"Velmorant Test"));
  EXPECT_EQ(web::InstalledDriverVersion(*drivers.DriverVersion(u"Velmorant Test Pad")),
            web::FeedDriverVersion(u"6.1.7600.16385"));

  SetupDiRemoveDevice(set, &device);
  SetupDiDestroyDeviceInfoList(set);
  EXPECT_FALSE(drivers.DriverVersion(u"Velmorant Test Pad"));
}

namespace {
struct ProbeResult {
  unsigned os = 0, arch = 0, sp = 0;
  unsigned long product = 0;
  std::map<std::string, int> truth;
};

ProbeResult RunProbe(const wchar_t* release, const std::vector<std::string>& expressions) {
  ScopedKey appDefaults(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\web_winexpr_probe.exe");
  EXPECT_TRUE(appDefaults.SetString(L"Version", release));
  std::wstring command = L"\"" + wintest::WinePath(PROBE_EXE) + L"\"";
  for (const std::string& e : expressions) command += L" " + std::wstring(e.begin(), e.end());
  std::string output;
  EXPECT_EQ(wintest::RunProgram(command, output), 0) << output;
  ProbeResult r;
  std::sscanf(output.c_str(), "os=%u arch=%u sp=%u product=%lu", &r.os, &r.arch, &r.sp, &r.product);
  size_t line = output.find('\n');
  while (line != std::string::npos && line + 1 < output.size()) {
    const size_t next = output.find('\n', line + 1);
    std::string text = output.substr(line + 1, next == std::string::npos ? std::string::npos : next - line - 1);
    if (!text.empty() && text.back() == '\r') text.pop_back();
    const size_t eq = text.rfind('=');
    if (eq != std::string::npos) r.truth[text.substr(0, eq)] = std::atoi(text.c_str() + eq + 1);
    line = next;
  }
  return r;
}
}  // namespace

TEST(WindowsExpression, UnderWinesReleases) {
  // Wine reports the product type Ultimate N (28) for every 6.x workstation, which none of
  // the four edition marks names, so the tokens for Vista to 8.1 are false there; Windows XP
  // skips the edition test. Wine 8's "win2008r2" is the 6.1 workstation (see the environment
  // checks' test).
  struct Case {
    const wchar_t* release;
    unsigned os, sp;
    std::map<std::string, int> truth;
  };
  const Case cases[] = {
      {L"winxp", WINVER_XP, 3, {{"X", 1}, {"X.3", 1}, {"X.2", 0}, {"S.1.AX.3", 1}, {"V,X", 0}, {"S", 0}, {"x.03", 1}}},
      {L"vista", WINVER_VISTA, 2, {{"X", 0}, {"V", 0}, {"V.BUEP.2.IA", 0}, {"X.3", 0}}},
      {L"win2008r2", WINVER_7, 1, {{"S", 0}, {"S.1.A", 0}, {"X", 0}, {"V", 0}}},
      {L"win8", WINVER_8, 0, {{"E", 0}, {"E.E.0", 0}, {"X", 0}}},
      {L"win81", WINVER_81, 0, {{"F", 0}, {"E", 0}, {"X", 0}}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> expressions;
    for (const auto& [e, t] : c.truth) expressions.push_back(e);
    const ProbeResult r = RunProbe(c.release, expressions);
    EXPECT_EQ(r.os, c.os);
    EXPECT_EQ(r.sp, c.sp);
    EXPECT_EQ(r.arch, ARCH_64BIT);
    EXPECT_EQ(r.product, c.os == WINVER_XP ? 0u : 28u);
    EXPECT_EQ(r.truth, c.truth);
    // The same answers from the portable rules on what the probe read.
    const web::WindowsRelease release{static_cast<uint16_t>(r.os), static_cast<uint16_t>(r.arch),
                                      static_cast<uint16_t>(r.sp), static_cast<uint32_t>(r.product)};
    for (const auto& [e, t] : c.truth) {
      const std::u16string u(e.begin(), e.end());
      EXPECT_EQ(web::WindowsExpressionTrue(u, release), t == 1) << e;
    }
  }
}
