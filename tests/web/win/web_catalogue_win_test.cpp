// The download catalogue under Wine over the Windows ports: the default notebook's catalogue
// code from the stand-in's feed, its search result (without the navigation line), every
// document read from its Shift_JIS bytes, the rules, the download folders under the local
// application data, and the page in the temporary folder (copied out for the renderer).
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <fstream>
#include <sstream>

#include "modules/web/module/web_catalogue_win.h"
#include "modules/web/module/web_platform.h"
#include "tests/common/win/win_test_support.h"
#include "tests/web/win/win_catalogue_ports.h"

namespace {
std::u16string U(const std::string& s) { return std::u16string(s.begin(), s.end()); }

TEST(CatalogueOnWindows, DefaultNotebookFromTheSupportServer) {
  const int port = wintest::SupportServerPorts(wintest::WinePath(SUPPORT_STATE_DIR))["http"];
  ASSERT_NE(port, 0) << "the support server fixture is not running";
  const std::string base = "http://127.0.0.1:" + std::to_string(port) + "/default/";

  auto fetcher = std::make_unique<http::CHttpFetcher>(L"PT-15KB3456CS", L"9K123 4567");
  wintest::WinCataloguePorts windowsPorts(fetcher);
  web::CataloguePorts& ports = windowsPorts.ports;
  web::WinCatalogueFiles& files = windowsPorts.files;
  kit::CodePage932& sjis = windowsPorts.sjis;
  web::Machine machine{u"PT-15KB3456CS", u"9K1234567", *web::ReadFirmwareVersion(u"V1.23L45A M67"),
                       *web::ReadFirmwareVersion(u"V2.10L05")};
  const web::SearchSettings search = web::ReadSearchSettings(U(base));
  EXPECT_EQ(search.base, base);
  const web::CatalogueSource source{U(base + "s/wkpt.xml"), search.base, search.format, u"C:\\Tellwick\\wkptrss.dll"};

  web::Catalogue catalogue;
  std::u16string page;
  ASSERT_EQ(web::LoadCatalogue(source, machine, ports, catalogue, page), 6);
  const auto& e = catalogue.entries;
  EXPECT_EQ(e[0].title, u"BIOS アップデート (PT シリーズ)");
  EXPECT_EQ(e[0].link, U(base + "faq/docs/d1001"));
  EXPECT_TRUE(web::Needed(e[0]) && e[0].autoInstall && e[0].rebootRequired);
  ASSERT_EQ(e[0].downloads.size(), 1u);
  EXPECT_EQ(e[0].downloads[0].expectedSize, 3145728u);
  EXPECT_TRUE(web::Needed(e[1])) << "the wireless driver is not installed";
  ASSERT_EQ(e[1].downloads.size(), 2u);
  EXPECT_EQ(e[1].downloads[0].expectedSize, 45000000u);
  EXPECT_TRUE(web::UpToDate(e[2])) << "notepad.exe is newer than the document's date";
  EXPECT_TRUE(web::InformationOnly(e[3]));
  EXPECT_EQ(e[3].title, u"サポート情報 <重要> & 注意事項");
  EXPECT_TRUE(e[4].suppressed && e[4].listed) << "another model's update is hidden";
  EXPECT_TRUE(web::InformationOnly(e[5]) && e[5].downloads.empty()) << "a name leaving its folder fails the entry";

  // The download folder of each planned entry exists under the local application data.
  wchar_t local[MAX_PATH] = {};
  ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local)));
  const std::wstring folder = std::wstring(local) + L"\\Velmorant\\1001";
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(e[0].downloads[0].localPath.c_str())), folder + L"\\bios124.exe");
  EXPECT_NE(GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);

  // The navigation line's link was never fetched.
  std::ifstream log(std::string(SUPPORT_STATE_DIR) + "/requests.log");
  std::stringstream requests;
  requests << log.rdbuf();
  EXPECT_NE(requests.str().find("/default/faq/docs/d1006"), std::string::npos);
  EXPECT_EQ(requests.str().find("d9999"), std::string::npos);

  // The page: Shift_JIS, escaped titles, the boxes of the needed entries; copied out.
  const auto bytes = files.Read(page, 1 << 20);
  ASSERT_TRUE(bytes);
  const std::u16string text = *sjis.Decode(*bytes);
  EXPECT_NE(text.find(u"サポート情報 &lt;重要&gt; &amp; 注意事項"), std::u16string::npos);
  EXPECT_NE(text.find(u"id=\"download_0\""), std::u16string::npos);
  EXPECT_NE(text.find(u"id=\"install_0\""), std::u16string::npos);
  EXPECT_NE(text.find(u"id=\"download_1\""), std::u16string::npos);
  EXPECT_EQ(text.find(u"install_1"), std::u16string::npos);
  EXPECT_NE(text.find(u"<td>43MB</td>"), std::u16string::npos);  // 45,120,000 bytes
  CreateDirectoryW(wintest::WinePath(PAGE_OUT_DIR).c_str(), nullptr);
  EXPECT_TRUE(CopyFileW(reinterpret_cast<const wchar_t*>(page.c_str()),
                        (wintest::WinePath(PAGE_OUT_DIR) + L"\\wkptrsdl.htm").c_str(), FALSE));

  // Refreshed after a file of the first entry arrived: its download box goes.
  const std::wstring arrived = folder + L"\\bios124.exe";
  {
    std::ofstream f(arrived.c_str(), std::ios::binary);
    f << std::string(3145728, 'b');
  }
  ASSERT_EQ(web::RefreshCatalogue(catalogue, machine, ports, page, source.modulePath, true), 6);
  EXPECT_TRUE(catalogue.entries[0].downloads[0].done);
  EXPECT_EQ(sjis.Decode(*files.Read(page, 1 << 20))->find(u"download_0"), std::u16string::npos);
  DeleteFileW(arrived.c_str());
  DeleteFileW(reinterpret_cast<const wchar_t*>(page.c_str()));
  EXPECT_EQ(web::RefreshCatalogue(catalogue, machine, ports, page, source.modulePath, true), web::kCatalogueNoTemp)
      << "a page that vanished is not made anew";
}
}  // namespace
