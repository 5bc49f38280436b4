// The download catalogue: markers read from Shift_JIS documents at each format level, the OS
// and model blocks, the rules that judge the entries, the download plan and its refused
// names, and the page.
#include <gtest/gtest.h>

#include "modules/web/web_catalogue.h"
#include "tests/web/web_test_util.h"

using namespace webtest;
using web::FeedItem;
using web::Markers;

namespace {

kit::IconvCodePage sjis;

// A support-site document in Shift_JIS around these markers, with its date and number row.
std::string Document(const std::string& markersUtf8, const std::string& number = "1234") {
  const std::string page = "<html><body><table><tr><td>更新日</td><td>2014/03/05</td>\n<td class=\"no\">管理NO:&nbsp;&nbsp;" +
                           number + "</td></tr></table>\n" + markersUtf8 + "\n</body></html>\n";
  return *sjis.Encode(U(page));
}

Markers Read(const std::string& markersUtf8) { return web::ReadMarkers(Document(markersUtf8), sjis); }

const std::string kLevel4Tail =
    "<!-- IS=\"INST#x#'setup.exe' -s;\" -->\n"
    "<!-- RB=\"1\" -->\n"
    "<a href=\"http://dl.example/p/up.exe\" class=\"b\" id=\"update\">update</a>\n"
    "<a href=\"http://dl.example/p/man.pdf\" class=\"b\" id=\"manual\">manual</a>\n"
    "<!--US--> 1,234,567 <!--/US--><!--UF-->\r\n up.exe\r\n<!--/UF-->\n"
    "<!--MS-->2,048<!--/MS--><!--MF-->man.pdf<!--/MF-->\n"
    "<!-- IC=\"{01234567-89AB-CDEF-0123-456789ABCDEF}\" -->\n";

TEST(CatalogueMarkers, FormatLevelsDecideWhatIsRead) {
  struct Case {
    std::string pp;
    int major;
    bool level3, level4, ic;
  } cases[] = {
      {"", -1, false, false, false},      {"2.9", 2, false, false, false}, {"3.0", 3, true, false, false},
      {"4.2", 4, true, true, false},      {"4.3", 4, true, true, true},    {"5.0", 5, true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pp);
    const std::string pp = c.pp.empty() ? "" : "<!--\n PP =\n \"" + c.pp + "\" -->\n";
    const Markers m = Read(pp + "<!-- SN=\"9K.*\" -->\n" + kLevel4Tail);
    EXPECT_EQ(m.date, u"2014/03/05");
    EXPECT_EQ(m.number, u"1234");
    EXPECT_EQ(m.major, c.major);
    EXPECT_EQ(m.serial.has_value(), c.level3);
    EXPECT_EQ(m.installScript.has_value(), c.level4);
    EXPECT_EQ(m.updateSize, c.level4 ? 1234567u : 0u);
    EXPECT_EQ(m.installCheck.has_value(), c.ic);
  }
}

TEST(CatalogueMarkers, EveryLevel3MarkerSplitAcrossLines) {
  const Markers m = Read(
      "<!-- PP=\"3.1\" -->\n"
      "<!--\tSN\t=\t\"9K1.*\"\r\n-->\n"
      "<!-- TM -->\n<ul><li>QZ-AB12CD34</li>\n<li>QZ-EF56GH78</li><li>QZ-SHORT</li></ul>\n<!-- / TM -->\n"
      "<!--\nOS\n-->\n Windows Vista Business SP1 SP2 / Windows XP \n<!--\n/OS\n-->\n"
      "<!-- PV = \"V1.10L12A\" -->\n<!--PV-->\n V2.00L03 M05 \n<!--/PV-->\n"
      "<!-- BN = \" QZ-BATT12 ; 140301 - 149912 \" -->\n"
      "<!-- FD=\"C:\\util\\a.exe;2014/3/5\" -->\n<!--\r\nFD=\"C:\\util\\b.dll;2013/12/01;E\"\r\n-->\n"
      "<!-- DN -->\nインテル(R) 無線 LAN\n<!-- /DN --> <!-- DV=\"E\" --> 12.1.0.7 <!-- /DV -->\n"
      "<!-- BV = \" V1.40L10 ; E \" -->\n"
      "<!--EV-->V3.00L01<!--/EV-->\n");
  EXPECT_EQ(m.serial, u"9K1.*");
  EXPECT_EQ(m.machine, u"(QZ-AB12CD34)|(QZ-EF56GH78)");
  EXPECT_EQ(m.os, u"v.b.1v.b.2x");
  EXPECT_EQ(m.preinList, (std::vector<std::u16string>{u"V1.10L12A", u"V2.00L03 M05"}));
  EXPECT_EQ(m.batteryName, u"QZ-BATT12");
  EXPECT_EQ(m.batteryIdLow, 140301);
  EXPECT_EQ(m.batteryIdHigh, 149912);
  ASSERT_EQ(m.files.size(), 2u);
  EXPECT_EQ(m.files[0].path, u"C:\\util\\a.exe");
  EXPECT_EQ(m.files[0].date, u"2014/3/5");
  EXPECT_FALSE(m.files[0].options);
  EXPECT_EQ(m.files[1].options, u"E");
  ASSERT_EQ(m.drivers.size(), 1u);
  EXPECT_EQ(m.drivers[0].name, U("インテル(R) 無線 LAN"));
  EXPECT_EQ(m.drivers[0].version, u"12.1.0.7");
  EXPECT_EQ(m.drivers[0].options, u"E");
  EXPECT_EQ(m.bios, u"V1.40L10");
  EXPECT_EQ(m.biosOptions, u"E");
  EXPECT_EQ(m.ec, u"V3.00L01");
  EXPECT_FALSE(m.ecOptions);
}

TEST(CatalogueMarkers, Level4ValuesAndTheAttributeForms) {
  const Markers m = Read("<!--PP=\"4.3\"-->\n<!--OS=\"x.3\"-->\n<!--DN=\"Pad\"--><!--DV=\"1.2.3.4;E\"-->\n"
                         "<!-- AU = \"4.3\" -->\n" + kLevel4Tail);
  EXPECT_EQ(m.os, u"x.3");
  ASSERT_EQ(m.drivers.size(), 1u);
  EXPECT_EQ(m.drivers[0].version, u"1.2.3.4");
  EXPECT_EQ(m.drivers[0].options, u"E");
  EXPECT_EQ(m.installScript, u"INST#x#'setup.exe' -s;");
  EXPECT_FALSE(m.selfUpdate);
  EXPECT_TRUE(m.autoInstall);
  EXPECT_TRUE(m.rebootRequired);
  EXPECT_EQ(m.updateLink, u"http://dl.example/p/up.exe");
  EXPECT_EQ(m.manualLink, u"http://dl.example/p/man.pdf");
  EXPECT_EQ(m.updateName, u"up.exe");
  EXPECT_EQ(m.manualSize, 2048u);
  EXPECT_EQ(m.manualName, u"man.pdf");
  EXPECT_EQ(m.installCheck, u"{01234567-89AB-CDEF-0123-456789ABCDEF}");
  EXPECT_TRUE(Read("<!--PP=\"4.0\"--><!--IS=\"SELF##C:\\x\"-->").selfUpdate);
  // AU without IS is not read; 4.4 is no automatic install.
  EXPECT_FALSE(Read("<!--PP=\"4.0\"--><!--AU=\"4.0\"-->").autoInstall);
  EXPECT_FALSE(Read("<!--PP=\"4.0\"--><!--IS=\"x\"--><!--AU=\"4.4\"-->").autoInstall);
}

// Each DN marker takes the first DV marker after it; a DV before it or none at all gives no
// driver, and the attribute form counts only when the block form gave none.
TEST(CatalogueMarkers, DriverNamesPairWithTheNextVersion) {
  const std::string a = "<!--DN-->A<!--/DN-->", b = "<!--DN-->B<!--/DN-->";
  const std::string v1 = "<!--DV-->1.0.0.1<!--/DV-->", v2 = "<!--DV=\"E\"-->1.0.0.2<!--/DV-->";
  const struct {
    std::string markers;
    std::string drivers;  // name=version(options) ...
  } cases[] = {
      {a + v1 + b + v2, "A=1.0.0.1() B=1.0.0.2(E) "},
      {a + b + v1, "A=1.0.0.1() B=1.0.0.1() "},
      {v1 + a, ""},
      {a + v1 + v2 + b, "A=1.0.0.1() "},
      {v1 + a + v2 + b, "A=1.0.0.2(E) "},
      {"<!--DN=\"P\"--><!--DV=\"2.0.0.0\"-->" + a + v1, "A=1.0.0.1() "},
      {"<!--DN=\"P\"--><!--DN=\"Q\"--><!--DV=\"2.0.0.0;E\"-->", "P=2.0.0.0(E) Q=2.0.0.0(E) "},
  };
  for (const auto& c : cases) {
    const Markers m = Read("<!--PP=\"3.0\"-->" + c.markers);
    std::u16string got;
    for (const auto& d : m.drivers) got += d.name + u"=" + d.version + u"(" + d.options.value_or(u"") + u") ";
    EXPECT_EQ(got, U(c.drivers)) << c.markers;
  }
}

// A document names a bounded number of files, drivers and image versions; the rest is not read.
TEST(CatalogueMarkers, ListsStopAtTheirLimit) {
  std::string many;
  for (std::size_t i = 0; i <= web::kMaxListedMarkers; ++i)
    many += "<!--FD=\"C:\\f" + std::to_string(i) + ".dll;2014/1/1\"--><!--PV=\"V1.00L01\"--><!--DN=\"D\"--><!--DV=\"1.0.0.0\"-->";
  const Markers m = Read("<!--PP=\"3.0\"-->" + many);
  EXPECT_EQ(m.files.size(), web::kMaxListedMarkers);
  EXPECT_EQ(m.preinList.size(), web::kMaxListedMarkers);
  EXPECT_EQ(m.drivers.size(), web::kMaxListedMarkers);
  EXPECT_EQ(m.files.back().path, U("C:\\f" + std::to_string(web::kMaxListedMarkers - 1) + ".dll"));
}

TEST(CatalogueOsBlock, WindowsExpressionsOfBlockTexts) {
  struct Case {
    const char* text;
    const char16_t* expression;
  } cases[] = {
      {"Windows Vista Business SP1 SP2 / Windows XP", u"v.b.1v.b.2x"},
      {"Windows XP", u"x"},  // no Vista named: no Vista token
      {"Windows XP SP2 SP3", u"x.2x.3"},
      {"Windows XP SP2 / Windows Vista Ultimate Business", u"v.ubx.2"},
      {"Windows Vista SP1 (64bit)", u"v.1"},  // 64 is no service pack
      {"Windows Vista Enterprise SP 2", u"v.e.2"},
      {"Windows 7", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(web::OsBlockExpression(c.text), c.expression) << c.text;
  web::WindowsRelease xp3{WINVER_XP, ARCH_X86, 3, 0}, vistaB2{WINVER_VISTA, ARCH_X86, 2, 6};
  EXPECT_TRUE(web::WindowsExpressionTrue(u"v.b.1v.b.2x", xp3));
  EXPECT_TRUE(web::WindowsExpressionTrue(u"v.b.1v.b.2x", vistaB2));
  EXPECT_FALSE(web::WindowsExpressionTrue(u"x", vistaB2));
}

TEST(CatalogueSearch, AddressAnchorsAndNavigationLines) {
  EXPECT_EQ(web::CatalogueSearchUrl("http://faq.example/", "%sfaq/dl/search?p1=%S&p2=%S&p3=%S&per_page=100&q=", u"ABCDEFGH"),
            "http://faq.example/faq/dl/search?p1=ABC&p2=ABCDEF&p3=ABCDEFGH&per_page=100&q=");
  EXPECT_EQ(web::CatalogueSearchUrl("b/", "%s%S", u""), "b/");
  EXPECT_FALSE(web::CatalogueSearchUrl("b/", "%s%n", u"A"));  // only the four fields are filled
  EXPECT_FALSE(web::CatalogueSearchUrl("b/", "%s%S", u"A B"));
  EXPECT_EQ(web::CatalogueSearchUrl(std::string(1020, 'b'), "%s%S", u"ABCD")->size(), 1023u);
  EXPECT_FALSE(web::CatalogueSearchUrl(std::string(1021, 'b'), "%s%S", u"ABCD"));
  EXPECT_EQ(web::WithoutNavigationLines("a\nx fs01Navigation.stay y\nb"), "a\nb");

  const auto anchors = web::ReadAnchors(
      u"<A class=x HREF='/faq/docs/a1&amp;b'>Driver <b>update</b>\n &amp; &#x30C9;&#12521;</a>"
      u"<!-- <a href=\"/faq/docs/c\">hidden</a> --><a name=x>no</a><a href=/faq/docs/z9>Z</a>");
  ASSERT_EQ(anchors.size(), 2u);
  EXPECT_EQ(anchors[0].href, u"/faq/docs/a1&b");
  EXPECT_EQ(anchors[0].text, u"Driver update & ドラ");
  EXPECT_EQ(anchors[1].href, u"/faq/docs/z9");
  EXPECT_EQ(web::DocumentLink(u"http://faq.example/faq/docs/ab12?x", u"http://faq.example/"),
            u"http://faq.example/faq/docs/ab12");
  EXPECT_FALSE(web::DocumentLink(u"/faq/other/ab12", u"b/"));
}

TEST(CatalogueNames, RemoteNamesThatWouldLeaveTheFolderAreRefused) {
  for (const char16_t* good : {u"up.exe", u"manual v2.pdf", u"ドライバ.exe", u"COM10.txt", u"a..b.exe"})
    EXPECT_TRUE(web::SafeFileName(good)) << std::u16string(good).size();
  for (const char16_t* bad : {u"", u"..", u".", u"..\\up.exe", u"sub/up.exe", u"C:up.exe", u"up.exe:stream",
                              u"con", u"NUL.txt", u"com1.exe", u"LPT9", u"CONIN$", u"up.exe.", u"up.exe ", u"a*b",
                              u"a\x01"})
    EXPECT_FALSE(web::SafeFileName(bad)) << std::string(bad, bad + std::char_traits<char16_t>::length(bad));
}

// Entries made from documents and judged over stand-in ports.
class CatalogueEntries : public ::testing::Test {
 protected:
  web::Machine machine{u"QZ-AB12CD34", u"9K12304567", {}, {}};
  FakeWindows windows;
  FakeRegistry registry;
  FakeDrivers drivers;
  FakeBatteries batteries;
  TempRoot root;
  web::NativeFileSystem files{root.path()};
  web::NativeCatalogueDisk disk{root.path()};
  FakeRedirection redirection;
  web::Catalogue catalogue;

  void SetUp() override {
    machine.bios = *web::ReadFirmwareVersion(u"V1.40L10");
    machine.ec = *web::ReadFirmwareVersion(u"V3.00L01");
    windows.release = {WINVER_7, ARCH_64BIT, 1, 1};
  }
  const FeedItem& Add(const std::string& markers, const std::string& number = "1234") {
    web::AddEntry(catalogue, u"http://faq.example/faq/docs/d" + U(number), u"Title <" + U(number) + u">",
                  web::ReadMarkers(Document(markers, number), sjis), disk.DownloadRoot(), disk);
    return catalogue.entries.back();
  }
  void Evaluate() {
    web::FilterPorts ports{windows, registry, files, drivers, batteries};
    web::EvaluateCatalogue(catalogue, machine, ports, redirection, disk);
  }
  enum State { Hidden, Info, UpToDate, Needed };
  State Judge(const std::string& markers) {
    catalogue = web::Catalogue();
    Add("<!--PP=\"3.0\"-->" + markers);
    Evaluate();
    const FeedItem& e = catalogue.entries[0];
    return web::Needed(e) ? Needed : web::UpToDate(e) ? UpToDate : web::InformationOnly(e) ? Info : Hidden;
  }
};

TEST_F(CatalogueEntries, TheTenStepsJudgeEachEntry) {
  root.Write("util/old.exe", "x", LocalMidnight(-10));
  root.Write("util/new.exe", "x", LocalMidnight(+10));
  root.Write("host/share/new.exe", "x", LocalMidnight(+10));
  root.Write("util/version.doc", "V2.00L03\n");
  drivers.versions[u"Pad"] = u"5.1.0.0";
  batteries.packs = {{u"QZ-BATT12", 140401}};
  registry.keys.insert(std::u16string(web::kUninstallKey) + u"{A}");
  const std::string today = FeedDateOf(LocalMidnight(0));
  const std::string fileOld = "<!--FD=\"C:\\util\\old.exe;" + today + "\"-->";
  const std::string fileNew = "<!--FD=\"C:\\util\\new.exe;" + today + "\"-->";
  struct Case {
    std::string markers;
    State state;
  } cases[] = {
      {fileOld, Needed},
      {fileNew, UpToDate},
      {"<!--FD=\"C:\\util\\new.exe;" + today + ";E\"-->", Needed},
      {"<!--FD=\"C:\\util\\missing.exe;" + today + "\"-->", Needed},  // not there: needed
      {"<!--FD=\"C:\\util\\old.exe;2014/x\"-->", Info},             // nothing readable
      {"<!--FD=\"\\\\host\\share\\new.exe;" + today + "\"-->", Info},  // a network path is never asked
      {"", Info},
      {"<!--TM-->QZ-ZZ99ZZ99<!--/TM-->" + fileOld, Hidden},
      {"<!--TM-->QZ-ZZ99ZZ99 QZ-AB12CD34<!--/TM-->" + fileOld, Needed},
      {"<!--TM-->no models<!--/TM-->" + fileOld, Hidden},
      {"<!--SN=\"8.*\"-->" + fileOld, Hidden},
      {"<!--OS=\"x\"-->" + fileOld, Hidden},
      {"<!--OS-->Windows XP<!--/OS-->" + fileOld, Hidden},
      {"<!--PV=\"V1.00L01\"--><!--PV=\"V2.00L03\"-->" + fileOld, Needed},
      {"<!--PV=\"V1.00L01\"-->" + fileOld, Hidden},
      {"<!--BN=\"QZ-BATT12;140301-140331\"-->" + fileOld, Hidden},
      {"<!--BN=\"QZ-BATT12;140301-149912\"-->" + fileOld, Needed},
      {"<!--PP=\"4.3\"--><!--IC=\"{B}\"-->" + fileOld, Needed},  // too short to be a product code
      {"<!--DN=\"Pad\"--><!--DV=\"5.1.0.0\"-->", UpToDate},
      {"<!--DN=\"Pad\"--><!--DV=\"5.2.0.0\"-->", Needed},
      {"<!--DN=\"Gone\"--><!--DV=\"1.0.0.0\"-->", Needed},  // not there: needed
      {"<!--BV=\"V1.40L10\"-->", UpToDate},
      {"<!--BV=\"V1.41L10\"-->", Needed},
      {"<!--EV=\"V2.00L01;E\"-->", Needed},
      {"<!--EV=\"V2.00L01\"-->", UpToDate},
  };
  for (const Case& c : cases) EXPECT_EQ(Judge(c.markers), c.state) << c.markers;
  // An unknown image version makes a PV entry an information-only row.
  std::remove((root.path() + "/util/version.doc").c_str());
  EXPECT_EQ(Judge("<!--PV=\"V2.00L03\"-->" + fileOld), Info);
}

TEST_F(CatalogueEntries, ProductCodeOfTheInstallCheckMustBeInstalled) {
  catalogue = web::Catalogue();
  Add("<!--PP=\"4.3\"--><!--IC=\"{01234567-89AB-CDEF-0123-456789ABCDEF}\"--><!--BV=\"V1.41L10\"-->");
  Evaluate();
  EXPECT_TRUE(catalogue.entries[0].suppressed && catalogue.entries[0].listed);
  registry.keys.insert(std::u16string(web::kUninstallKey) + u"{01234567-89AB-CDEF-0123-456789ABCDEF}");
  Evaluate();
  EXPECT_TRUE(web::Needed(catalogue.entries[0]));
}

TEST_F(CatalogueEntries, DownloadPlanAndTheRefusedNames) {
  const std::string need = "<!--BV=\"V1.41L10\"-->";
  auto doc = [&](const std::string& pp, const std::string& au, const std::string& uf, const std::string& mf) {
    return "<!--PP=\"" + pp + "\"--><!--IS=\"INST#x#y\"-->" + au + need +
           "<a href=\"http://dl/u\" id=\"update\"><a href=\"http://dl/m\" id=\"manual\">"
           "<!--US-->100<!--/US--><!--UF-->" + uf + "<!--/UF--><!--MS-->20<!--/MS--><!--MF-->" + mf + "<!--/MF-->";
  };
  struct Case {
    std::string markers;
    std::size_t downloads;
    bool autoInstall;
  } cases[] = {
      {doc("4.0", "", "u.exe", "m.pdf"), 2, false},
      {doc("4.0", "<!--AU=\"4.3\"-->", "u.exe", "m.pdf"), 1, true},
      {doc("4.0", "<!--AU=\"4.4\"-->", "u.exe", "m.pdf"), 2, false},
      {"<!--PP=\"4.0\"-->" + need + "<a href=\"http://dl/u\" id=\"update\"><!--US-->100<!--/US--><!--UF-->u.exe<!--/UF-->", 1, false},
      {doc("3.0", "", "u.exe", "m.pdf"), 0, false},
      {doc("4.0", "", "..\\..\\evil.exe", "m.pdf"), 0, false},
      {doc("4.0", "", "u.exe", "C:\\Windows\\m.pdf"), 0, false},
      {doc("4.0", "", "u.exe:ads", "m.pdf"), 0, false},
      {doc("4.0", "<!--AU=\"4.0\"-->", "u.exe", "..\\m.pdf"), 1, true},  // no manual: its name does not matter
      // Links are fetched over HTTP(S) only: "file:" would reach a share as the user.
      {"<!--PP=\"4.0\"-->" + need + "<a href=\"file:\\\\host\\s\\u.exe\" id=\"update\"><!--US-->100<!--/US--><!--UF-->u.exe<!--/UF-->", 0, false},
      {"<!--PP=\"4.0\"-->" + need + "<a href=\"\\\\host\\s\\u.exe\" id=\"update\"><!--US-->100<!--/US--><!--UF-->u.exe<!--/UF-->", 0, false},
      {"<!--PP=\"4.0\"--><!--IS=\"INST#x#y\"-->" + need +
           "<a href=\"http://dl/u\" id=\"update\"><a href=\"file:///C:/m.pdf\" id=\"manual\">"
           "<!--US-->100<!--/US--><!--UF-->u.exe<!--/UF--><!--MS-->20<!--/MS--><!--MF-->m.pdf<!--/MF-->", 0, false},
  };
  int number = 100;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.markers);
    const FeedItem& e = Add(c.markers, std::to_string(++number));
    EXPECT_EQ(e.downloads.size(), c.downloads);
    EXPECT_EQ(e.autoInstall, c.autoInstall);
    if (c.downloads) {
      EXPECT_EQ(e.downloads[0].localPath, u"C:\\AppData\\Velmorant\\" + U(std::to_string(number)) + u"\\u.exe");
      EXPECT_EQ(e.downloads[0].expectedSize, 100u);
      EXPECT_EQ(e.downloads[0].url, u"http://dl/u");
    }
    if (c.markers.find("evil") != std::string::npos || c.markers.find("C:\\Windows") != std::string::npos ||
        c.markers.find(":ads") != std::string::npos || c.markers.find("host") != std::string::npos ||
        c.markers.find("file:") != std::string::npos) {
      EXPECT_EQ(catalogue.bases.back(), web::EntryBase::InformationOnly) << "a refused name fails the entry";
    }
  }
}

// "表" is 0x95 0x5C in Shift_JIS: its trail byte is a backslash's, and the name must still
// come through whole, one file in the entry's own folder.
TEST_F(CatalogueEntries, AShiftJisNameWithABackslashTrailByteStaysWhole) {
  ASSERT_EQ(*sjis.Encode(u"表"), std::string("\x95\x5C"));
  const FeedItem& e = Add("<!--PP=\"4.0\"--><!--IS=\"INST#x#y\"--><!--AU=\"4.0\"--><!--BV=\"V1.41L10\"-->"
                          "<a href=\"http://dl/u\" id=\"update\"><!--US-->100<!--/US--><!--UF-->表.exe<!--/UF-->",
                          "321");
  ASSERT_EQ(e.downloads.size(), 1u);
  EXPECT_EQ(e.downloads[0].localPath, u"C:\\AppData\\Velmorant\\321\\表.exe");
  EXPECT_TRUE(web::SafeFileName(u"表.exe"));
}

TEST_F(CatalogueEntries, PageCellsSelectionAndEscaping) {
  const std::string need = "<!--BV=\"V1.41L10\"-->";
  const std::string files = "<a href=\"http://dl/u\" id=\"update\"><a href=\"http://dl/m\" id=\"manual\">"
                            "<!--US-->2,000,000<!--/US--><!--UF-->u.exe<!--/UF--><!--MS-->20<!--/MS--><!--MF-->m.pdf<!--/MF-->";
  Add("<!--PP=\"2.0\"-->", "1");                                                             // information only
  Add("<!--PP=\"4.0\"--><!--BV=\"V1.40L10\"-->" + files, "2");                              // up to date
  Add("<!--PP=\"4.0\"--><!--IS=\"x\"--><!--AU=\"4.0\"-->" + need + files, "3");             // auto, missing
  Add("<!--PP=\"4.0\"-->" + need + files, "4");                                            // manual, present
  Add("<!--PP=\"4.0\"--><!--IS=\"SELF##x\"--><!--AU=\"4.0\"-->" + need + files, "5");       // self-update
  root.Write("AppData/Velmorant/4/u.exe", std::string(2000000, 'u'));
  root.Write("AppData/Velmorant/4/m.pdf", std::string(20, 'm'));
  Evaluate();
  const std::u16string page = web::CataloguePage(catalogue.entries, u"C:\\Program Files\\Tellwick\\wkptrss.dll");
  EXPECT_NE(page.find(u"<base href=\"C:\\Program Files\\Tellwick\\wkptrss.dll\">"), std::u16string::npos);
  EXPECT_EQ(page.find(u"<4>"), std::u16string::npos) << "titles are escaped";
  EXPECT_NE(page.find(u"Title &lt;4&gt;"), std::u16string::npos);
  EXPECT_NE(page.find(u"id=\"download_2\""), std::u16string::npos);
  EXPECT_NE(page.find(u"id=\"install_2\""), std::u16string::npos);
  EXPECT_NE(page.find(u"id=\"installbutton_3\""), std::u16string::npos);
  EXPECT_EQ(page.find(u"_4\""), std::u16string::npos) << "the self-update has no row";
  EXPECT_NE(page.find(u"<tr class=\"colored\">\n\t\t\t<td>&nbsp;</td>\n\t\t\t<td>&nbsp;</td>"), std::u16string::npos);
  EXPECT_NE(page.find(u"<td><img src=\"sysglance_comp_white.png\"></td>\n\t\t\t<td><img src=\"sysglance_comp_white.png\">"),
            std::u16string::npos);
  EXPECT_NE(page.find(u"<td>1MB</td>"), std::u16string::npos);
  EXPECT_TRUE(catalogue.entries[2].downloadChecked && catalogue.entries[2].installChecked);
  EXPECT_FALSE(catalogue.entries[3].downloadChecked || catalogue.entries[3].installChecked);
  EXPECT_TRUE(catalogue.entries[3].downloads[0].done && catalogue.entries[3].downloads[1].done);
  EXPECT_EQ(std::count(page.begin(), page.end(), u'\n') > 0, true);
}

TEST(CatalogueSizes, TextsAtTheirBoundaries) {
  struct Case {
    uint64_t bytes;
    const char16_t* text;
  } cases[] = {{0, u""},          {1, u"1バイト"},           {1024, u"1024バイト"}, {1025, u"1kB"},
               {1048576, u"1024kB"}, {1048577, u"1MB"}, {5000000000ull, u"4768MB"}};
  for (const Case& c : cases) EXPECT_EQ(web::SizeText(c.bytes, u"バイト", true), c.text) << c.bytes;
}

}  // namespace

namespace {
// Addresses served from files under the scratch root; anything else cannot be fetched.
struct Served : web::IFeedDownload {
  web::NativeCatalogueDisk& disk;
  std::map<std::u16string, std::string> pages;
  explicit Served(web::NativeCatalogueDisk& d) : disk(d) {}
  bool Download(const std::u16string& url, std::u16string& temp) override {
    auto it = pages.find(url);
    return it != pages.end() && disk.WriteTemp(it->second, temp);
  }
  void Delete(const std::u16string& path) override { disk.Delete(path); }
};
// pugixml reading the scratch root's files by their Windows paths.
struct RootedXml : web::PugiDocument {
  web::NativeCatalogueDisk& disk;
  explicit RootedXml(web::NativeCatalogueDisk& d) : disk(d) {}
  Load LoadFile(const std::u16string& path) override { return PugiDocument::LoadFile(web::FromUtf8(disk.HostPath(path))); }
};
struct Anchors : web::IHtmlAnchors {
  web::IHtmlAnchors& real;
  Result answer = Result::Ok;
  explicit Anchors(web::IHtmlAnchors& r) : real(r) {}
  Result Read(const std::u16string& path, std::vector<web::Anchor>& out) override {
    return answer == Result::Ok ? real.Read(path, out) : answer;
  }
};

// A reader that answers as told, with one anchor of its own when it answers Ok.
struct Told : web::IHtmlAnchors {
  Result answer;
  std::u16string name;
  int reads = 0;
  Told(Result a, std::u16string n) : answer(a), name(std::move(n)) {}
  Result Read(const std::u16string&, std::vector<web::Anchor>& out) override {
    ++reads;
    out.push_back({name, name});  // also when failing: the caller must not keep it
    return answer;
  }
};

TEST(EngineOrPortableAnchors, FallsBackOnlyWhereTheEngineIsMissing) {
  using R = web::IHtmlAnchors::Result;
  struct Case {
    R engine, fallback, expected;
    const char16_t* anchor;  // the only anchor read, or none
  };
  const Case cases[] = {
      {R::Ok, R::Ok, R::Ok, u"engine"},
      {R::TimedOut, R::Ok, R::TimedOut, nullptr},
      {R::Failed, R::Ok, R::Failed, nullptr},
      {R::Unavailable, R::Ok, R::Ok, u"portable"},
      {R::Unavailable, R::Failed, R::Failed, nullptr},
  };
  for (const Case& c : cases) {
    Told engine(c.engine, u"engine"), fallback(c.fallback, u"portable");
    web::EngineOrPortableAnchors reader(engine, fallback);
    std::vector<web::Anchor> anchors{{u"stale", u"stale"}};
    const int at = static_cast<int>(&c - cases);
    EXPECT_EQ(reader.Read(u"C:\\r.htm", anchors), c.expected) << at;
    EXPECT_EQ(fallback.reads, c.engine == R::Unavailable ? 1 : 0) << at;
    if (c.expected != R::Ok) continue;
    ASSERT_EQ(anchors.size(), 1u) << at;
    EXPECT_EQ(anchors[0].href, c.anchor) << at;
  }
}

TEST(CatalogueLoad, FailuresAreToldApart) {
  TempRoot root;
  web::NativeCatalogueDisk disk(root.path());
  Served served(disk);
  web::PortableAnchors portable(disk, sjis);
  Anchors anchors(portable);
  RootedXml xml(disk);
  FakeWindows windows;
  FakeRegistry registry;
  FakeDrivers drivers;
  FakeBatteries batteries;
  web::NativeFileSystem files(root.path());
  web::FilterPorts filter{windows, registry, files, drivers, batteries};
  FakeRedirection redirection;
  web::CataloguePorts ports{xml, served, disk, anchors, disk, sjis, filter, redirection};
  web::Machine machine{u"QZ-AB12CD34", u"9K12304567", {}, {}};
  const web::CatalogueSource source{u"http://s/wkpt.xml", "http://faq/", "%sdl?c=%S", u"C:\\m\\wkptrss.dll"};
  web::Catalogue catalogue;
  std::u16string page;
  auto load = [&] { return web::LoadCatalogue(source, machine, ports, catalogue, page); };

  EXPECT_EQ(load(), web::kCatalogueUnreachable) << "no feed";
  served.pages[u"http://s/wkpt.xml"] = Feed("");
  EXPECT_EQ(load(), web::kCatalogueNothing) << "no catalogue code";
  served.pages[u"http://s/wkpt.xml"] = Feed("<wkpt:machines><m wkpt:machine=\"QZ-.*\">QZA</m></wkpt:machines>");
  EXPECT_EQ(load(), web::kCatalogueUnreachable) << "no search result";
  served.pages[u"http://faq/dl?c=QZA"] = "<a href=\"/faq/docs/d1\">One</a>\n<a href=\"/faq/docs/d2\">Two</a>";
  anchors.answer = web::IHtmlAnchors::Result::TimedOut;
  EXPECT_EQ(load(), web::kCatalogueTimedOut);
  anchors.answer = web::IHtmlAnchors::Result::Failed;
  EXPECT_EQ(load(), web::kCatalogueNoTemp);
  anchors.answer = web::IHtmlAnchors::Result::Ok;
  served.pages[u"http://faq/faq/docs/d1"] = Document("<!--PP=\"2.0\"-->");
  ASSERT_EQ(load(), 2) << "a document that cannot be fetched is kept, hidden";
  EXPECT_TRUE(web::InformationOnly(catalogue.entries[0]));
  EXPECT_TRUE(catalogue.entries[1].suppressed && catalogue.entries[1].listed);
  EXPECT_EQ(page, u"C:\\Temp\\wkptrsdl.htm");
  EXPECT_TRUE(disk.Read(page, 1 << 20));
}
}  // namespace

namespace {
// A disk where one file exists only in the native System32; a 32-bit process on 64-bit
// Windows finds SysWOW64 under that name while its redirection is on.
struct SystemFolders : web::IFileSystem {
  FakeRedirection& redirection;
  bool wow64Process;
  int searchesWhileOff = 0;
  SystemFolders(FakeRedirection& r, bool wow64) : redirection(r), wow64Process(wow64) {}
  std::optional<web::LocalStamp> FirstWriteTime(const std::u16string& path) override {
    if (redirection.off) ++searchesWhileOff;
    const bool redirected = wow64Process && !redirection.off;
    if (path != u"C:\\Windows\\System32\\drivers\\twpad.sys" || redirected) return std::nullopt;
    return web::LocalStamp{2014, 6, 1, 9, 0, 0, 0};
  }
  std::optional<std::string> ReadHead(const std::u16string&, std::size_t) override { return std::nullopt; }
};
}  // namespace

TEST(CatalogueFiles, System32IsTheSystemsOwnFromVistaOn64BitWindows) {
  const struct {
    const char* what;
    web::WindowsRelease release;
    bool wow64Process;
    bool upToDate;  // the file was found, and is newer than the entry's date
  } cases[] = {
      {"32-bit module, 64-bit 7", {WINVER_7, ARCH_64BIT, 1, 1}, true, true},
      {"32-bit module, 64-bit Vista", {WINVER_VISTA, ARCH_64BIT, 2, 6}, true, true},
      {"64-bit module, 64-bit 8.1", {WINVER_81, ARCH_64BIT, 0, 6}, false, true},
      {"32-bit 7", {WINVER_7, ARCH_X86, 1, 1}, false, true},
      // XP x64 keeps the redirection: System32 is the 32-bit folder there.
      {"32-bit module, XP x64", {WINVER_XP, ARCH_64BIT, 2, 0}, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeWindows windows;
    windows.release = c.release;
    FakeRegistry registry;
    FakeDrivers drivers;
    FakeBatteries batteries;
    FakeRedirection redirection;
    redirection.wow64Process = c.wow64Process;
    SystemFolders files(redirection, c.wow64Process);
    web::FilterPorts ports{windows, registry, files, drivers, batteries};
    FeedItem e;
    e.files = {{u"C:\\Windows\\System32\\drivers\\twpad.sys", u"2014/03/01", std::nullopt}};
    e.drivers = {{u"Velmorant Pad", u"1.0.0.0", std::nullopt}};  // searched with redirection back on
    drivers.versions[u"Velmorant Pad"] = u"1.0.0.0";
    web::JudgeCatalogueEntries({&e}, web::Machine{}, ports, redirection);
    EXPECT_EQ(web::UpToDate(e), c.upToDate);
    EXPECT_EQ(web::Needed(e), !c.upToDate);
    EXPECT_FALSE(redirection.off) << "restored after the search";
    EXPECT_EQ(files.searchesWhileOff, c.wow64Process && c.upToDate ? 1 : 0);
  }
}
