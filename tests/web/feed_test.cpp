// The feed as the module reads it: every item field, the rules that drop items or parts of
// them, loading and its failures, the catalogue codes and the version forms.
#include <gtest/gtest.h>

#include "tests/web/feed_dump.h"
#include "tests/web/web_test_util.h"

using namespace webtest;
using web::FeedItem;
using web::IXmlDocument;

namespace {
std::vector<FeedItem> Parse(const std::string& xml, int* count = nullptr) {
  web::PugiDocument doc;
  EXPECT_EQ(doc.LoadBytes(xml), IXmlDocument::Load::Ok) << xml;
  std::vector<FeedItem> items;
  const int n = web::ParseFeed(doc, items);
  if (count) *count = n;
  return items;
}

std::vector<int> Ids(const std::vector<FeedItem>& items) {
  std::vector<int> ids;
  for (const FeedItem& i : items) ids.push_back(i.id);
  return ids;
}
}  // namespace

TEST(Feed, ReadsEveryFieldOfAnItem) {
  const std::string xml = Feed(
      "<item wkpt:class=\"Support Information\" wkpt:machine=\"PT-15KB\\d+CD\" wkpt:os=\"S.1.A\" "
      "wkpt:serial=\"9K\\d+\" wkpt:prein=\"V1.10L20\" wkpt:battery-name=\"PA3\" wkpt:battery-id=\"14010100000-14123199999\" "
      "wkpt:installcheck=\"{ABC}\" wkpt:update=\"1\" Wkpt:Machine=\"ignored\" wkpt:other=\"x\">\n"
      "  <TITLE>  BIOS update &amp; notes </TITLE>\n"
      "  <Link>http://support.example/bios</Link>\n"
      "  <description><![CDATA[Fixes <b>fan</b> control]]></description>\n"
      "  <DC:Date>2014-05-01T09:00:00+09:00</DC:Date>\n"
      "  <dc:identifier> 4711 </dc:identifier>\n"
      "  <wkpt:file wkpt:options=\"e\"><wkpt:name>C:\\util\\a*.dll</wkpt:name><wkpt:date>2014/4/30</wkpt:date></wkpt:file>\n"
      "  <WKPT:FILE><WKPT:DATE>2013/1/2</WKPT:DATE><wkpt:name>C:\\b.sys</wkpt:name></WKPT:FILE>\n"
      "  <wkpt:driver wkpt:options=\"xE\"><wkpt:name>Velmorant Touch Pad</wkpt:name><wkpt:version>1.2.3.4</wkpt:version></wkpt:driver>\n"
      "  <wkpt:bios wkpt:options=\"E\"><wkpt:version>V1.23L45A M67</wkpt:version></wkpt:bios>\n"
      "  <wkpt:ec><wkpt:version>V2.00L01</wkpt:version></wkpt:ec>\n"
      "  <unknown>ignored</unknown>\n"
      "</item>\n");
  const auto items = Parse(xml);
  ASSERT_EQ(items.size(), 1u);
  const FeedItem& i = items[0];
  EXPECT_EQ(i.category, 2u);
  EXPECT_EQ(i.machine, u"PT-15KB\\d+CD") << "attribute names are exact: Wkpt:Machine is another attribute";
  EXPECT_EQ(i.os, u"S.1.A");
  EXPECT_EQ(i.serial, u"9K\\d+");
  EXPECT_EQ(i.prein, u"V1.10L20");
  EXPECT_EQ(i.batteryName, u"PA3");
  EXPECT_EQ(i.batteryIdLow, 14010100000);
  EXPECT_EQ(i.batteryIdHigh, 14123199999);
  EXPECT_EQ(i.installCheck, u"{ABC}");
  EXPECT_TRUE(i.updateButton);
  EXPECT_EQ(i.title, u"BIOS update & notes");
  EXPECT_EQ(i.link, u"http://support.example/bios");
  EXPECT_EQ(i.description, u"Fixes <b>fan</b> control");
  EXPECT_EQ(i.date, u"2014-05-01T09:00:00+09:00");
  EXPECT_EQ(i.id, 4711);
  ASSERT_EQ(i.files.size(), 2u);
  EXPECT_EQ(i.files[0].path, u"C:\\util\\a*.dll");
  EXPECT_EQ(i.files[0].date, u"2014/4/30");
  EXPECT_TRUE(web::WantsNewer(i.files[0].options));
  EXPECT_EQ(i.files[1].path, u"C:\\b.sys") << "the two children in either order";
  EXPECT_EQ(i.files[1].date, u"2013/1/2");
  EXPECT_FALSE(i.files[1].options);
  ASSERT_EQ(i.drivers.size(), 1u);
  EXPECT_EQ(i.drivers[0].name, u"Velmorant Touch Pad");
  EXPECT_EQ(i.drivers[0].version, u"1.2.3.4");
  EXPECT_TRUE(web::WantsNewer(i.drivers[0].options));
  EXPECT_EQ(i.bios, u"V1.23L45A M67");
  EXPECT_TRUE(web::WantsNewer(i.biosOptions));
  EXPECT_EQ(i.ec, u"V2.00L01");
  EXPECT_FALSE(i.ecOptions);
  EXPECT_TRUE(i.listed);
  EXPECT_FALSE(i.changed);
  EXPECT_FALSE(i.suppressed);
}

TEST(Feed, DropsItemsThatBreakTheRules) {
  struct Case {
    const char* what;
    std::string item;
    bool kept;
  };
  const std::string date = "<dc:date>2014-05-01T09:00:00+09:00</dc:date>";
  const Case cases[] = {
      {"a complete item", Item(1), true},
      {"each of the six classes", Item(1, "", "", "Class 6"), true},
      {"class in lower case", Item(1, "", "", "important updates"), false},
      {"unknown class", Item(1, "", "", "Class 7"), false},
      {"no class", "<item>" + date + "<dc:identifier>1</dc:identifier></item>", false},
      {"no date", "<item wkpt:class=\"Topics\"><dc:identifier>1</dc:identifier></item>", false},
      {"identifier 0", "<item wkpt:class=\"Topics\">" + date + "<dc:identifier>0</dc:identifier></item>", false},
      {"identifier not a number", "<item wkpt:class=\"Topics\">" + date + "<dc:identifier>x1</dc:identifier></item>", false},
      {"no identifier", "<item wkpt:class=\"Topics\">" + date + "</item>", false},
      {"date in UTC (Z) is still a date",
       "<item wkpt:class=\"Topics\"><dc:date>2014-05-01T00:00:00Z</dc:date><dc:identifier>1</dc:identifier></item>", true},
  };
  for (const Case& c : cases) {
    int count = -9;
    const auto items = Parse(Feed(c.item), &count);
    EXPECT_EQ(count, c.kept ? 1 : 0) << c.what;
    EXPECT_EQ(items.size(), c.kept ? 1u : 0u) << c.what;
  }
}

TEST(Feed, DropsABrokenConditionAlone) {
  const std::string file = "<wkpt:name>C:\\a</wkpt:name><wkpt:date>2014/1/1</wkpt:date>";
  const std::string driver = "<wkpt:name>Pad</wkpt:name><wkpt:version>1.2.3.4</wkpt:version>";
  const auto items = Parse(Feed(Item(
      1, "",
      "<wkpt:file>" + file + "</wkpt:file>"
      "<wkpt:file>" + file + "<wkpt:name>C:\\b</wkpt:name></wkpt:file>"        // three children
      "<wkpt:file><wkpt:name>C:\\a</wkpt:name><wkpt:name>C:\\b</wkpt:name></wkpt:file>"  // a name twice
      "<wkpt:file><wkpt:name>C:\\a</wkpt:name><wkpt:when>2014/1/1</wkpt:when></wkpt:file>"  // unknown child
      "<wkpt:file><wkpt:name>C:\\a</wkpt:name></wkpt:file>"                  // one child
      "<wkpt:driver>" + driver + "</wkpt:driver>"
      "<wkpt:driver><wkpt:name>Pad</wkpt:name></wkpt:driver>"
      "<wkpt:bios><wkpt:version>V1.00L00</wkpt:version></wkpt:bios>"
      "<wkpt:bios><wkpt:version>V9.00L00</wkpt:version><wkpt:version>V9.00L00</wkpt:version></wkpt:bios>"
      "<wkpt:ec><wkpt:name>V9.00L00</wkpt:name></wkpt:ec>")));
  ASSERT_EQ(items.size(), 1u) << "the item itself stays";
  EXPECT_EQ(items[0].files.size(), 1u);
  EXPECT_EQ(items[0].drivers.size(), 1u);
  EXPECT_EQ(items[0].bios, u"V1.00L00") << "a broken bios element is ignored";
  EXPECT_FALSE(items[0].ec);
}

TEST(Feed, ReadsTheBatteryRangeOnlyWithAName) {
  struct Case {
    std::string attributes;
    int64_t low, high;
  };
  const Case cases[] = {
      {"wkpt:battery-name=\"PA\" wkpt:battery-id=\"14010100001-14010100009\"", 14010100001, 14010100009},
      {"wkpt:battery-name=\"PA\" wkpt:battery-id=\" -5- 7\"", -5, 7},
      {"wkpt:battery-name=\"PA\" wkpt:battery-id=\"12\"", 12, 0},
      {"wkpt:battery-name=\"PA\" wkpt:battery-id=\"12 - 13\"", 12, 0},
      {"wkpt:battery-name=\"PA\" wkpt:battery-id=\"99999999999999999999-1\"", INT64_MAX, 1},
      {"wkpt:battery-id=\"1-2\"", 0, 0},
  };
  for (const Case& c : cases) {
    const auto items = Parse(Feed(Item(1, c.attributes)));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].batteryIdLow, c.low) << c.attributes;
    EXPECT_EQ(items[0].batteryIdHigh, c.high) << c.attributes;
  }
}

TEST(Feed, FindsItemsAnywhereBelowTheRootInDocumentOrder) {
  int count = 0;
  const auto items = Parse("<item wkpt:class=\"Topics\"><dc:date>d</dc:date><dc:identifier>9</dc:identifier>"
                           "<channel><items>" + Item(1) + "</items></channel>" + Item(2) +
                           "<ITEM wkpt:class=\"Topics\"><dc:date>d</dc:date><dc:identifier>3</dc:identifier></ITEM></item>",
                           &count);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(Ids(items), (std::vector<int>{1, 2})) << "not the root itself, and \"item\" is matched exactly";
}

TEST(Feed, ReadsOptionsAndTheUpdateFlag) {
  EXPECT_FALSE(web::WantsNewer(std::nullopt));
  EXPECT_FALSE(web::WantsNewer(u"abc"));
  EXPECT_TRUE(web::WantsNewer(u"e"));
  EXPECT_TRUE(web::WantsNewer(u"xEy"));
  EXPECT_FALSE(Parse(Feed(Item(1, "wkpt:update=\"0\"")))[0].updateButton);
  EXPECT_TRUE(Parse(Feed(Item(1, "wkpt:update=\" -2x\"")))[0].updateButton);
  EXPECT_FALSE(Parse(Feed(Item(1, "wkpt:update=\"yes\"")))[0].updateButton);
}

// The download port of the feed loader: an address is fetched into a file, never loaded directly.
struct FakeDownload : web::IFeedDownload {
  TempRoot* root = nullptr;
  std::optional<std::string> body;  // nothing: the download fails
  std::vector<std::u16string> asked, deleted;
  bool Download(const std::u16string& url, std::u16string& temp) override {
    asked.push_back(url);
    if (!body) return false;
    root->Write("WRS1.tmp", *body);
    temp = U(root->path() + "/WRS1.tmp");
    return true;
  }
  void Delete(const std::u16string& path) override {
    deleted.push_back(path);
    unlink(std::string(path.begin(), path.end()).c_str());
  }
};

TEST(FeedLoad, TellsAMalformedFeedFromAnUnreachableOne) {
  TempRoot root;
  root.Write("good.xml", Feed(Item(1) + Item(2)));
  root.Write("broken.xml", Feed(Item(1)).substr(0, 200));
  root.Write("empty.xml", "");
  root.Write("noitems.xml", Feed(""));
  root.Write("dtd.xml", "<!DOCTYPE rdf [<!ENTITY x \"y\">]>" + Feed(Item(1)));
  root.Write("html.xml", "<html><body><p>Service unavailable<br></body></html>");
  struct Case {
    const char* file;
    int answer;
  };
  const Case cases[] = {{"good.xml", 2},   {"broken.xml", -1}, {"empty.xml", -1}, {"noitems.xml", 0},
                        {"dtd.xml", -1},   {"html.xml", -1},   {"missing.xml", -255}};
  for (const Case& c : cases) {
    web::PugiDocument doc;
    FakeDownload download;
    std::vector<FeedItem> items(3);
    EXPECT_EQ(web::LoadFeed(U(root.path() + "/" + c.file), doc, download, items), c.answer) << c.file;
    EXPECT_EQ(items.size(), c.answer > 0 ? static_cast<size_t>(c.answer) : 0u) << c.file;
    EXPECT_TRUE(download.asked.empty()) << "a file is loaded directly";
  }
}

TEST(FeedLoad, FetchesAnAddressThroughTheDownloadPortAndDeletesTheCopy) {
  TempRoot root;
  struct Case {
    std::optional<std::string> body;
    int answer;
  };
  const Case cases[] = {{Feed(Item(5)), 1}, {std::string("<rdf><item"), -1}, {std::nullopt, -255}};
  for (const Case& c : cases) {
    web::PugiDocument doc;
    FakeDownload download;
    download.root = &root;
    download.body = c.body;
    std::vector<FeedItem> items;
    EXPECT_EQ(web::LoadFeed(u"HTTPS://support.example/s/wkpt.xml", doc, download, items), c.answer);
    ASSERT_EQ(download.asked.size(), 1u);
    EXPECT_EQ(download.deleted.size(), c.body ? 1u : 0u) << "the temporary copy goes on every path";
  }
}

// No XML parser: the check finds nothing (no lasting "not connected" notice) and fetches nothing.
TEST(FeedLoad, WithoutAParserNothingIsFetchedAndNothingFound) {
  struct NoParser : web::PugiDocument {
    bool Available() override { return false; }
  };
  TempRoot root;
  root.Write("good.xml", Feed(Item(1)));
  for (const std::u16string& location : {std::u16string(u"HTTPS://support.example/s/wkpt.xml"), U(root.path() + "/good.xml")}) {
    NoParser doc;
    FakeDownload download;
    download.root = &root;
    download.body = Feed(Item(5));
    std::vector<FeedItem> items(2);
    EXPECT_EQ(web::LoadFeed(location, doc, download, items), web::kFeedParseError);
    EXPECT_TRUE(items.empty());
    EXPECT_TRUE(download.asked.empty());
  }
}

TEST(Catalogue, TheFirstWholeMatchGivesTheCode) {
  web::PugiDocument doc;
  ASSERT_EQ(doc.LoadBytes(Feed("<wkpt:machines>"
                               "<m wkpt:machine=\"PT-15\">short</m>"            // must match the whole number
                               "<m wkpt:machine=\"PT-15K{B\">broken</m>"        // does not compile
                               "<m>no pattern</m>"
                               "<m wkpt:machine=\"PT-15KB\\d+CD\">ABCDEFGHIJKL</m>"
                               "<m wkpt:machine=\".*\">later</m>"
                               "</wkpt:machines>"
                               "<x><wkpt:machines><m wkpt:machine=\"RX-.*\">RX1</m></wkpt:machines></x>")),
            IXmlDocument::Load::Ok);
  EXPECT_EQ(web::CatalogueCode(doc, u"PT-15KB3456CD"), u"ABCDEFGHI") << "nine characters at most";
  EXPECT_EQ(web::CatalogueCode(doc, u"RX-7WQ2210HJ5800"), u"later");
  web::PugiDocument only;
  ASSERT_EQ(only.LoadBytes(Feed("<x><wkpt:machines><m wkpt:machine=\"RX-.*\">RX1</m></wkpt:machines></x>")),
            IXmlDocument::Load::Ok);
  EXPECT_EQ(web::CatalogueCode(only, u"RX-7WQ2210HJ5800"), u"RX1") << "tables anywhere below the root";
  EXPECT_FALSE(web::CatalogueCode(only, u"PT-15KB3456CD"));
}

TEST(Firmware, ReadsTheVersionForm) {
  struct Case {
    const char16_t* text;
    bool found;
    uint32_t major, minor, level;
    char letter;
    uint32_t m, sub;
  };
  const Case cases[] = {
      {u"V1.23L45A M67.89", true, 1, 23, 45, 'A', 67, 89},
      {u"BIOS V12.34 L56 B M78", true, 12, 34, 56, 'B', 78, 0},
      {u"V1.23L45M67", true, 1, 23, 45, 0, 67, 0},  // M is never the letter
      {u"V1.23L45", true, 1, 23, 45, 0, 0, 0},
      {u"V1.23L45Z", true, 1, 23, 45, 'Z', 0, 0},
      {u"V1.2L45", false, 0, 0, 0, 0, 0, 0},
      {u"v1.23L45", false, 0, 0, 0, 0, 0, 0},
      {u"", false, 0, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const auto v = web::ReadFirmwareVersion(std::u16string_view(c.text));
    ASSERT_EQ(v.has_value(), c.found) << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
    if (!v) continue;
    EXPECT_EQ(v->major, c.major);
    EXPECT_EQ(v->minor, c.minor);
    EXPECT_EQ(v->level, c.level);
    EXPECT_EQ(v->letter, c.letter);
    EXPECT_EQ(v->mNumber, c.m);
    EXPECT_EQ(v->subNumber, c.sub);
  }
}

TEST(Firmware, ComparesFieldByField) {
  auto v = [](const char16_t* t) { return *web::ReadFirmwareVersion(std::u16string_view(t)); };
  const char16_t* ascending[] = {u"V1.23L45",     u"V1.23L45 M01", u"V1.23L45A",    u"V1.23L45B M00",
                                 u"V1.23L46",     u"V1.24L00",     u"V2.00L00",     u"V2.00L00 M00.01"};
  for (size_t i = 0; i + 1 < std::size(ascending); ++i) {
    EXPECT_LT(web::CompareFirmware(v(ascending[i]), v(ascending[i + 1])), 0) << i;
    EXPECT_GT(web::CompareFirmware(v(ascending[i + 1]), v(ascending[i])), 0) << i;
  }
  EXPECT_EQ(web::CompareFirmware(v(u"V1.23L45A M67"), v(u"V1.23 L45 A M67")), 0);
  web::FirmwareVersion high = v(u"V1.23L45");
  high.letter = static_cast<char>(0xC1);  // a driver byte above 0x7F is still above every letter
  EXPECT_GT(web::CompareFirmware(high, v(u"V1.23L45Z")), 0);
}

TEST(Firmware, DecodesDriverAndEcBytes) {
  const uint8_t withLetter[5] = {1, 0x23, 0x45, 'A', 0x67};
  EXPECT_EQ(web::CompareFirmware(web::FirmwareFromDriver(withLetter), *web::ReadFirmwareVersion(u"V1.23L45A M67")), 0);
  // A blank letter byte means no letter, as on the EC path: equal to the feed's version, not above it.
  const uint8_t blank[5] = {1, 0x23, 0x45, ' ', 0x67};
  EXPECT_EQ(web::CompareFirmware(web::FirmwareFromDriver(blank), *web::ReadFirmwareVersion(u"V1.23L45 M67")), 0);
  EXPECT_EQ(web::CompareFirmware(web::FirmwareFromEc(' ', 0x45, 0x01, 0x67, 0x23), *web::ReadFirmwareVersion(u"V1.23L45 M67")), 0);
  EXPECT_EQ(web::CompareFirmware(web::FirmwareFromEc('C', 0x45, 0x21, 0x67, 0x23), *web::ReadFirmwareVersion(u"V1.23L45C M67")), 0)
      << "major is the low nibble of byte 253";
  EXPECT_EQ(web::CompareFirmware(web::FirmwareFromEc(0, 0x07, 0x15, 0x99, 0x99), *web::ReadFirmwareVersion(u"V1.50L07")), 0)
      << "without byte 255: high nibble, ten times the low nibble, no letter, no M part";
}

TEST(Firmware, FindsThePreinstalledImageVersionInFourLines) {
  struct Case {
    std::string head;
    const char16_t* version;
  };
  const Case cases[] = {
      {"Velmorant\nJ\nImage V1.23L45A M67\nmore\n", u"V1.23L45A M67"},
      {"a\nb\nc\nV1.23L45\n", u"V1.23L45"},
      {"a\nb\nc\nd\nV1.23L45\n", u"V0.00L00"},       // the fifth line is not read
      {"V1.23\nL45\n", u"V1.23L45"},                 // a line feed reads as a blank
      {std::string(300, 'x') + "V1.23L45\n", u"V0.00L00"},  // past the 259 bytes of the joined text
      {"", u"V0.00L00"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(web::CompareFirmware(web::PreinstallVersion(c.head), *web::ReadFirmwareVersion(std::u16string_view(c.version))), 0)
        << c.head;
}

TEST(FeedDate, NeedsANumericZoneOffset) {
  const auto d = web::ReadFeedDate(u"2014-05-01T09:08:07+09:30");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->year, 2014);
  EXPECT_EQ(d->day, 1);
  EXPECT_EQ(d->second, 7);
  EXPECT_EQ(d->zoneSign, u'+');
  EXPECT_EQ(d->zoneMinute, 30);
  EXPECT_EQ(web::ReadFeedDate(u"2014-05-01T09:08:07-05:00")->zoneSign, u'-');
  EXPECT_FALSE(web::ReadFeedDate(u"2014-05-01T00:00:00Z"));
  EXPECT_FALSE(web::ReadFeedDate(u"2014-05-01"));
}

// The same expected reading as the MSXML adapter's test under Wine (tests/web/win).
TEST(Feed, PugixmlGivesTheExpectedItemsOfTheSampleFeed) {
  web::PugiDocument doc;
  ASSERT_EQ(doc.LoadFile(U(TEST_DATA_DIR "/wkpt.xml")), IXmlDocument::Load::Ok);
  std::vector<FeedItem> items;
  EXPECT_EQ(web::ParseFeed(doc, items), 4);
  std::ifstream in(TEST_DATA_DIR "/wkpt-items.txt", std::ios::binary);
  const std::string expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(DumpItems(items) + "code " + DumpText(web::CatalogueCode(doc, u"RX-7WQ2210HJ5800")) + "\n", expected);
}
