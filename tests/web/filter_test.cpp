// The applicability filter: each test of an item against this computer, the need test and
// the category switches, over stand-in ports.
#include <gtest/gtest.h>

#include "common/pattern/pattern.h"
#include "tests/web/web_test_util.h"

using namespace webtest;
using web::FeedItem;

namespace {
class Filter : public ::testing::Test {
 protected:
  web::Machine machine{u"PT-15KB3456CD", u"9K12304567", {}, {}};
  FakeWindows windows;
  FakeRegistry registry;
  FakeDrivers drivers;
  FakeBatteries batteries;
  TempRoot root;
  web::NativeFileSystem files{root.path()};
  web::CategorySwitches switches;

  void SetUp() override {
    machine.bios = *web::ReadFirmwareVersion(u"V1.23L45 M67");
    machine.ec = *web::ReadFirmwareVersion(u"V2.10L05");
  }

  std::vector<FeedItem> Items(const std::string& xml) {
    web::PugiDocument doc;
    EXPECT_EQ(doc.LoadBytes(Feed(xml)), web::IXmlDocument::Load::Ok);
    std::vector<FeedItem> items;
    web::ParseFeed(doc, items);
    return items;
  }
  int Run(std::vector<FeedItem>& items) {
    web::FilterPorts ports{windows, registry, files, drivers, batteries};
    return web::FilterItems(items, machine, switches, ports);
  }
  // True when one item of these attributes and children is to be notified.
  bool Shown(const std::string& attributes, const std::string& children = "") {
    auto items = Items(Item(1, attributes, children));
    EXPECT_EQ(items.size(), 1u);
    const int n = Run(items);
    EXPECT_EQ(n == 1, !items[0].suppressed);
    EXPECT_EQ(items[0].listed, !items[0].suppressed) << "category 1 is on: listed exactly when shown";
    return n == 1;
  }
};

std::string Bios(const std::string& version, const std::string& options = "") {
  return "<wkpt:bios" + (options.empty() ? "" : " wkpt:options=\"" + options + "\"") + "><wkpt:version>" + version +
         "</wkpt:version></wkpt:bios>";
}
std::string Ec(const std::string& version, const std::string& options = "") {
  return "<wkpt:ec" + (options.empty() ? "" : " wkpt:options=\"" + options + "\"") + "><wkpt:version>" + version +
         "</wkpt:version></wkpt:ec>";
}
std::string File(const std::string& path, const std::string& date, const std::string& options = "") {
  return "<wkpt:file" + (options.empty() ? "" : " wkpt:options=\"" + options + "\"") + "><wkpt:name>" + path +
         "</wkpt:name><wkpt:date>" + date + "</wkpt:date></wkpt:file>";
}
std::string Driver(const std::string& name, const std::string& version, const std::string& options = "") {
  return "<wkpt:driver" + (options.empty() ? "" : " wkpt:options=\"" + options + "\"") + "><wkpt:name>" + name +
         "</wkpt:name><wkpt:version>" + version + "</wkpt:version></wkpt:driver>";
}
}  // namespace

TEST_F(Filter, ModelAndSerialPatternsMatchTheWholeText) {
  struct Case {
    std::string attributes;
    bool shown;
  };
  const Case cases[] = {
      {"", true},
      {"wkpt:machine=\"PT-15KB\\d+CD\"", true},
      {"wkpt:machine=\"PT-15KB\"", false},            // anchored at both ends
      {"wkpt:machine=\"KB3456CD\"", false},
      {"wkpt:machine=\"pt-15kb3456cd\"", false},      // case-sensitive
      {"wkpt:machine=\"(PT)|(RX)-\\a+\"", true},
      {"wkpt:machine=\"PT-15KB{3}\\d+CD\"", true},
      {"wkpt:serial=\"9K\\d\\d\\d\\d\\d\\d\\d\\d\"", true},
      {"wkpt:serial=\"9K1\"", false},
      {"wkpt:machine=\"PT-.*\" wkpt:serial=\"1A.*\"", false},
      // Broken patterns keep the item from every computer.
      {"wkpt:machine=\"PT-15KB{\\d+CD\"", false},
      {"wkpt:serial=\"9K(\\d+\"", false},
      {"wkpt:machine=\"(PT-15KB3456CD)|(" + std::string(79, 'x') + ")\"", true},   // 97 characters
      {"wkpt:machine=\"(PT-15KB3456CD)|(" + std::string(80, 'x') + ")\"", false},  // 98: does not fit
  };
  for (const Case& c : cases) EXPECT_EQ(Shown(c.attributes), c.shown) << c.attributes;
}

TEST_F(Filter, APatternThatRunsOutOfStepsShowsNothing) {
  const std::u16string pattern = u"^(((.|.)+)+)+Q$";
  ASSERT_EQ(Pattern::Find(pattern, machine.model), Pattern::Status::BudgetExhausted);
  EXPECT_FALSE(Shown("wkpt:machine=\"(((.|.)+)+)+Q\""));
}

TEST_F(Filter, WindowsExpression) {
  windows.release = {WINVER_7, ARCH_64BIT, 1, 3};  // 64-bit Windows 7 Home Premium SP1
  EXPECT_TRUE(Shown("wkpt:os=\"S.P.1.A\""));
  EXPECT_FALSE(Shown("wkpt:os=\"S.B\"")) << "the edition list B clears Home Premium";
  EXPECT_FALSE(Shown("wkpt:os=\"\""));
  EXPECT_TRUE(Shown("wkpt:os=\"XVS\""));
}

TEST_F(Filter, PreinstalledImageMustBeEqualWhenKnown) {
  EXPECT_TRUE(Shown("wkpt:prein=\"V1.10L20\"")) << "unknown image version";
  root.Write("util/version.doc", "Velmorant\nJ\nV1.10L20A\n");
  EXPECT_TRUE(Shown("wkpt:prein=\"V1.10L20A\""));
  EXPECT_FALSE(Shown("wkpt:prein=\"V1.10L20\""));
  EXPECT_TRUE(Shown("wkpt:prein=\"any image\"")) << "not a version: no condition";
  root.Write("util/version.doc", "Velmorant\nJ\nno version\n");
  EXPECT_FALSE(Shown("wkpt:prein=\"V1.10L20\"")) << "a file without a version is the zero version";
  EXPECT_TRUE(Shown("wkpt:prein=\"V0.00L00\""));
}

TEST_F(Filter, UninstallKeyInEitherView) {
  const std::u16string key = std::u16string(web::kUninstallKey) + u"{ABC}";
  EXPECT_FALSE(Shown("wkpt:installcheck=\"{ABC}\""));
  registry.keys64.insert(key);
  EXPECT_FALSE(Shown("wkpt:installcheck=\"{ABC}\"")) << "the 64-bit view only from a 32-bit process on 64-bit Windows";
  registry.wow64 = true;
  EXPECT_TRUE(Shown("wkpt:installcheck=\"{ABC}\""));
  registry.keys64.clear();
  registry.wow64 = false;
  registry.keys.insert(key);
  EXPECT_TRUE(Shown("wkpt:installcheck=\"{ABC}\""));
}

TEST_F(Filter, BatteryPackByNameAndIdentifierRange) {
  const uint8_t name[12] = {'P', 'A', '3', '8', '1', '7', 'U', 0, 'X', 'X', 'X', 'X'};
  // 2014-03-09 and serial 4567: 140309 followed by 04567.
  const uint16_t date = static_cast<uint16_t>(((2014 - 1980) << 9) | (3 << 5) | 9);
  const auto pack = web::MakePack(4567, date, name);
  ASSERT_TRUE(pack);
  EXPECT_EQ(pack->name, u"PA3817U");
  EXPECT_EQ(pack->identifier, 14030904567u);
  EXPECT_FALSE(web::MakePack(0, date, name)) << "serial 0: no pack";
  EXPECT_FALSE(web::MakePack(4567, 0, name)) << "date 0: no pack";

  EXPECT_FALSE(Shown("wkpt:battery-name=\"PA3817\"")) << "no pack at all";
  const uint8_t other[12] = {'P', 'A', '5', '0', '2', '3', 'U'};
  batteries.packs = {*web::MakePack(1, date, other), *pack};
  struct Case {
    std::string attributes;
    bool shown;
  };
  const Case cases[] = {
      {"wkpt:battery-name=\"PA3817\"", true},  // the second pack
      {"wkpt:battery-name=\"pa3817\"", false},
      {"wkpt:battery-name=\"PA3817\" wkpt:battery-id=\"14030904567-14030904567\"", true},
      {"wkpt:battery-name=\"PA3817\" wkpt:battery-id=\"14010100000-14123199999\"", true},
      {"wkpt:battery-name=\"PA3817\" wkpt:battery-id=\"14010100000-14030904566\"", false},
      {"wkpt:battery-name=\"PA3817\" wkpt:battery-id=\"14030904568-14123199999\"", false},
      {"wkpt:battery-name=\"PA3817\" wkpt:battery-id=\"0-14030904566\"", true},  // one bound: no range
      {"wkpt:battery-name=\"PA50\" wkpt:battery-id=\"14010100000-14123199999\"", true},
  };
  for (const Case& c : cases) EXPECT_EQ(Shown(c.attributes), c.shown) << c.attributes;
}

TEST_F(Filter, FilesNeedAnOlderFile) {
  const std::string yesterday = FeedDateOf(LocalMidnight(-1));
  root.Write("util/today.dll", "x", LocalMidnight(0) + 3600);
  root.Write("util/old.dll", "x", LocalMidnight(-2));
  root.Write("util/exact.dll", "x", LocalMidnight(-1));
  root.Write("host/share/today.dll", "x", LocalMidnight(0) + 3600);
  struct Case {
    std::string children;
    bool shown;
  };
  const Case cases[] = {
      {File("C:\\util\\missing.dll", yesterday), true},
      {File("C:\\util\\missing.dll", yesterday) + File("C:\\util\\today.dll", yesterday), false},
      {File("C:\\util\\old.dll", yesterday), true},
      {File("C:\\util\\exact.dll", yesterday, "E"), false},
      {File("C:\\util\\today.dll", yesterday, "e"), true},
      {File("C:\\util\\to*.dll", yesterday), false},
      {File("C:\\util\\today.dll", "someday"), true},  // nothing compared
      {File("C:\\util\\today.dll", yesterday) + File("C:\\util\\old.dll", yesterday), true},
      // Only local drives are asked: a network path is never looked up, so nothing is compared.
      {File("\\\\host\\share\\today.dll", yesterday), true},
      {File("//host/share/today.dll", yesterday), true},
      {File("\\host\\share\\today.dll", yesterday), true},
  };
  for (const Case& c : cases) EXPECT_EQ(Shown("", c.children), c.shown) << c.children;
}

TEST_F(Filter, DriversNeedALowerVersion) {
  drivers.versions[u"Velmorant Touch Pad"] = u"1.2.3.4";
  drivers.versions[u"Velmorant Hotkeys"] = u"1.2.3.5";
  drivers.versions[u"Odd"] = u"v10.0.70000.1234567890 beta";
  struct Case {
    std::string children;
    bool shown;
  };
  const Case cases[] = {
      {Driver("Velmorant Touch Pad", "1.2.3.4"), false},
      {Driver("Velmorant Touch Pad", "1.2.3.4", "E"), false},
      {Driver("Velmorant Hotkeys", "1.2.3.4"), false},
      {Driver("Velmorant Hotkeys", "1.2.3.4", "E"), true},
      {Driver("Velmorant Touch Pad", "1.2.4.0"), true},
      {Driver("Velmorant Touch Pad", "0.9.99.99"), false},
      {Driver("Not Installed", "1.0.0.0"), true},
      {Driver("Velmorant Touch Pad", "1.2.3"), true},  // unreadable: nothing compared
      {Driver("Not Installed", "1.0.0.0") + Driver("Velmorant Touch Pad", "1.2.3.4"), false},
      // 70000 kept in 16 bits is 4464; the fourth group is cut to nine digits, 123456789.
      {Driver("Odd", "10.0.4464.52501"), false},
  };
  for (const Case& c : cases) EXPECT_EQ(Shown("", c.children), c.shown) << c.children;
  EXPECT_EQ(web::InstalledDriverVersion(u"10.0.70000.1234567890"), web::FeedDriverVersion(u"10.0.4464.52501"));
}

TEST_F(Filter, FirmwareVersions) {
  struct Case {
    std::string children;
    bool shown;
  };
  const Case cases[] = {
      {Bios("V1.23L46"), true},
      {Bios("V1.23L45 M67"), false},
      {Bios("V1.23L45 M67", "E"), false},
      {Bios("V1.23L44"), false},
      {Bios("V1.23L44", "E"), true},
      {Bios("not a version"), false},  // present, so the item is not needed by default
      {Ec("V2.10L06"), true},
      {Ec("V2.10L04", "e"), true},
      {Ec("V2.10L04"), false},
      {Bios("V1.23L44") + Ec("V2.10L06"), true},  // one needed condition is enough
      {File("C:\\none", "2014/1/1") + Bios("V1.00L00"), true},
  };
  for (const Case& c : cases) EXPECT_EQ(Shown("", c.children), c.shown) << c.children;
}

TEST_F(Filter, ABlankDriverLetterIsNoLetter) {
  const uint8_t bytes[5] = {1, 0x23, 0x45, ' ', 0x67};
  machine.bios = web::FirmwareFromDriver(bytes);
  EXPECT_FALSE(Shown("", Bios("V1.23L45 M67", "E"))) << "the same version is not newer";
}

TEST_F(Filter, CategorySwitchesKeepSwitchedOffItemsInTheHistory) {
  std::string xml;
  const char* classes[] = {"Important Updates", "Support Information", "Topics", "Class 4", "Class 5", "Class 6"};
  for (int i = 0; i < 6; ++i) xml += Item(i + 1, "", "", classes[i]);
  xml += Item(7, "wkpt:machine=\"RX-.*\"", "", "Topics");
  auto items = Items(xml);
  ASSERT_EQ(items.size(), 7u);
  EXPECT_EQ(Run(items), 5) << "topics are off by default; classes 4 to 6 count";
  EXPECT_TRUE(items[2].suppressed);
  EXPECT_TRUE(items[2].listed);
  EXPECT_FALSE(items[6].listed) << "not applicable: out of the history";

  switches = {false, false, true};
  items = Items(xml);
  EXPECT_EQ(Run(items), 4);
  EXPECT_TRUE(items[0].suppressed && items[0].listed);
  EXPECT_TRUE(items[1].suppressed && items[1].listed);
  EXPECT_FALSE(items[2].suppressed);
}

TEST_F(Filter, StopsAtTheFirstFailedTestAndReadsEachFactOnce) {
  batteries.packs.push_back({u"PA3817U", 14030904567u});
  drivers.versions[u"Pad"] = u"1.0.0.0";
  std::string xml;
  for (int i = 0; i < 20; ++i)
    xml += Item(i + 1, "wkpt:os=\"S\" wkpt:battery-name=\"PA\"", Driver("Pad", "2.0.0.0"));
  xml += Item(99, "wkpt:machine=\"RX-.*\" wkpt:os=\"S\" wkpt:battery-name=\"PA\"", Driver("Pad", "2.0.0.0"));
  auto items = Items(xml);
  EXPECT_EQ(Run(items), 20);
  EXPECT_EQ(windows.reads, 1);
  EXPECT_EQ(batteries.reads, 1);
  EXPECT_EQ(drivers.reads, 1);
  windows.reads = batteries.reads = drivers.reads = 0;
  items = Items(Item(1, "wkpt:machine=\"RX-.*\" wkpt:os=\"S\" wkpt:battery-name=\"PA\"", Driver("Pad", "2.0.0.0")));
  EXPECT_EQ(Run(items), 0);
  EXPECT_EQ(windows.reads + batteries.reads + drivers.reads, 0) << "a failed model test ends the item's tests";
}
