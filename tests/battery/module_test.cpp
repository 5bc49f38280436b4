// The battery module over the simulated driver and battery devices: checks, pages, clicks
// and what is saved.
#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <sstream>
#include <map>
#include <memory>

#include "common/core/misccommon.h"
#include "common/core/model_identity.h"
#include "modules/battery/bat_module.h"
#include "modules/battery/native/bat_native.h"
#include "sim/battery/sim_battery_devices.h"
#include "sim/driver/sim_driver.h"
#include "sim/driver/sim_registry.h"
#include "tests/kit/mem_page_files.h"

using namespace bat;

namespace {
using Values = std::map<std::u16string, std::map<std::u16string, std::u16string>>;

class MemStore : public IStore {
 public:
  template <class T>
  using Table = std::map<std::u16string, std::map<std::u16string, T>>;

  std::optional<uint32_t> MachineDword(const char16_t* name) override { return Find(dwords, u"HKLM", name); }
  std::optional<std::u16string> MachineString(const char16_t* name) override { return Find(strings, u"HKLM", name); }
  std::optional<uint32_t> UserDword(const std::u16string& pack, const char16_t* name) override {
    return Find(dwords, pack, name);
  }
  std::optional<std::u16string> UserString(const std::u16string& pack, const char16_t* name) override {
    return Find(strings, pack, name);
  }
  bool WriteUserDword(const std::u16string& pack, const char16_t* name, uint32_t value) override {
    ++writes;
    dwords[pack][name] = value;
    return true;
  }
  bool WriteUserString(const std::u16string& pack, const char16_t* name, const std::u16string& value) override {
    ++writes;
    strings[pack][name] = value;
    return true;
  }
  bool AuditMode() override { return audit; }

  Table<uint32_t> dwords;  // "HKLM" holds the machine values
  Table<std::u16string> strings;
  int writes = 0;
  bool audit = false;

 private:
  template <class T>
  static std::optional<T> Find(Table<T>& t, const std::u16string& key, const char16_t* name) {
    auto k = t.find(key);
    if (k == t.end()) return std::nullopt;
    auto v = k->second.find(name);
    return v == k->second.end() ? std::nullopt : std::optional<T>(v->second);
  }
};

class MemFiles : public kittest::MemPageFiles<IFiles> {
 public:
  MemFiles() : MemPageFiles(u"C:\\Temp\\", u"WBT") {}
  std::u16string ModulePath() override { return u"C:\\Tellwick\\wkptbat.dll"; }
  bool Exists(const std::u16string& path) override { return Has(path); }
  bool LoadXml(const std::u16string& path, XmlElement& root) override { return ParseXml(disk[path], root); }
};

const char kPack0[] = "pack0 = BT-ALPHA 100 2024/05/10\n";
const char kPack1[] = "pack1 = BT-BETA 200 2024/06/11\n";
const std::u16string kId0 = u"BT-ALPHA      24051000100", kId1 = u"BT-BETA       24061100200";

// A notebook of the simulated driver, with the module on it.
struct Notebook {
  explicit Notebook(const std::string& battery, const std::string& model = "PT15KB3456CD")
      : Notebook(File{"[identity]\nmodel = " + model + "\n[battery]\n" + battery}) {}
  struct File {
    std::string text;
  };
  explicit Notebook(const File& file) {
    std::string error;
    EXPECT_TRUE(sim::ParseScenario(file.text, scenario, error)) << error;
    driver = std::make_unique<sim::SimDriver>(scenario, registry);
    client = std::make_unique<MiscCommon::CMiscCommon>(*driver);
    EXPECT_EQ(client->Open(), MiscCommon::MC_OK);
    port = std::make_unique<ClientPort>(client.get());
    devices = std::make_unique<sim::SimBatteryDevices>(scenario.battery.devices);
  }
  int Init() {
    module = std::make_unique<Module>(Module::Ports{*port, clock, store, *devices, files, codePage, strings});
    std::string model;
    return module->Initialize(MiscCommon::ReadModelNumber(*client, model) == 0 ? std::optional(model) : std::nullopt);
  }
  std::u16string Page(const CheckAnswer& a) {
    const std::string& bytes = files.disk[a.page];
    std::u16string out;  // the ASCII skeleton and ids are enough to inspect structure
    for (char c : bytes) out += char16_t(static_cast<unsigned char>(c));
    return out;
  }

  sim::Scenario scenario;
  sim::MemoryRegistry registry;
  std::unique_ptr<sim::SimDriver> driver;
  std::unique_ptr<MiscCommon::CMiscCommon> client;
  std::unique_ptr<ClientPort> port;
  std::unique_ptr<sim::SimBatteryDevices> devices;
  TzClock clock{static_cast<int64_t>(time(nullptr))};
  MemStore store;
  MemFiles files;
  IconvCodePage codePage;
  SourceStringsPort strings;
  std::unique_ptr<Module> module;
};

size_t Count(const std::u16string& s, const std::u16string& needle) {
  size_t n = 0;
  for (size_t at = s.find(needle); at != std::u16string::npos; at = s.find(needle, at + 1)) ++n;
  return n;
}
}  // namespace

TEST(BatModule, EachConditionAtItsBoundary) {
  struct Case {
    const char* battery;
    uint32_t found;
  } cases[] = {
      {"pack0.recal = -179\n", 0},        {"pack0.recal = -180\n", kRecal},
      {"device0 = ok 1 100 51\n", 0},     {"device0 = ok 1 100 50\n", kHalfCapa},
      {"device0 = ok 1 100 31\n", kHalfCapa}, {"device0 = ok 1 100 30\n", kNoCapa},
      {"pack0.recal = -180\npack0.recal_source = controller\n", kRecal},
      {"device0 = ok 0 100 30\n", 0},  // tag 0: nothing to read
  };
  for (const Case& c : cases) {
    Notebook n(std::string("config = 0x01\n") + kPack0 + c.battery);
    ASSERT_EQ(n.Init(), 0);
    const CheckAnswer a = n.module->ManualCheck(100);
    EXPECT_EQ(a.result, c.found ? kCheckPage : kCheckNothing) << c.battery;
    if (!c.found) continue;
    const std::u16string page = n.Page(a);
    EXPECT_EQ(page.find(u"id=\"recal_radio") != std::u16string::npos, c.found == kRecal) << c.battery;
    EXPECT_EQ(page.find(u"id=\"half_capa_radio") != std::u16string::npos, c.found == kHalfCapa) << c.battery;
    EXPECT_EQ(page.find(u"id=\"no_capa_radio") != std::u16string::npos, c.found == kNoCapa) << c.battery;
    EXPECT_EQ(n.module->PopupHeight(), 450);
  }
}

TEST(BatModule, TwoConditionsOnTwoPacksMakeOnePage) {
  Notebook n(std::string("config = 0x09\n") + kPack0 + kPack1 +
             "pack0.recal = -200\npack0.minutes = 60 0\ndevice0 = ok 1 100 90\ndevice1 = ok 1 100 20\n");
  ASSERT_EQ(n.Init(), 0);
  EXPECT_EQ(n.module->Kind(), 1);
  const CheckAnswer a = n.module->ManualCheck(100);
  ASSERT_EQ(a.result, kCheckPage);
  EXPECT_EQ(a.text, u"バッテリーに関するお知らせが 2 件あります");
  const std::u16string page = n.Page(a);
  EXPECT_EQ(Count(page, u"<h3>"), 2u);
  EXPECT_NE(page.find(u"headicon_important.png"), std::u16string::npos);
  EXPECT_LT(page.find(u"recal_radio_autocheck0"), page.find(u"no_capa_radio_autocheck1"));
  EXPECT_EQ(n.module->PopupHeight(), 0) << "two conditions: the host's default size";
}

TEST(BatModule, IdentityOnBothInterfaces) {
  struct Case {
    const char* battery;
    std::u16string id0, id1;
  } cases[] = {
      {"interface = new\n", kId0, kId1},
      {"interface = old\n", kId0, kId1},
      {"interface = none\n", u"", u""},
  };
  for (const Case& c : cases) {
    Notebook n(std::string("config = 0x09\n") + kPack0 + kPack1 + c.battery);
    ASSERT_EQ(n.Init(), 0);
    EXPECT_EQ(n.module->At(0).identity, c.id0) << c.battery;
    EXPECT_EQ(n.module->At(1).identity, c.id1) << c.battery;
  }
  Notebook old("config = 0x09\ninterface = old\npack0 = NOSERIAL 0 2024/05/10\n");
  ASSERT_EQ(old.Init(), 0);
  EXPECT_EQ(old.module->At(0).identity, u"000") << "no serial on the older interface: the slot";
  EXPECT_FALSE(old.module->At(1).present);
}

TEST(BatModule, LoadsOnlyOnAKnownLayout) {
  EXPECT_EQ(Notebook("config = 0x0A\n").Init(), kErrDriver) << "bits 0-1 = 2 and no pattern";
  EXPECT_EQ(Notebook("").Init(), kErrDriver) << "no configuration word, no pattern";
  Notebook byPattern("config = 0x0A\n", "RX7EX1234");
  EXPECT_EQ(byPattern.Init(), 0);
  EXPECT_EQ(byPattern.module->Count(), 2);
  Notebook off("config = 0x01\n");
  off.store.dwords[u"HKLM"][u"FunctionEnable"] = 0;
  EXPECT_EQ(off.Init(), kErrDriver);
}

TEST(BatModule, SecondAutoCheckKeepsAndWritesNothing) {
  Notebook n(std::string("config = 0x09\n") + kPack0 + kPack1 + "device0 = ok 1 100 40\ndevice1 = ok 1 100 40\n");
  n.store.dwords[u""][u"InitialAutoCheck"] = 1;
  ASSERT_EQ(n.Init(), 0);
  EXPECT_EQ(n.module->AutoCheck(100).result, kCheckPage);
  const int writes = n.store.writes;
  EXPECT_EQ(n.module->AutoCheck(100).result, kCheckKeep);
  EXPECT_EQ(n.store.writes, writes);
}

TEST(BatModule, CloseSavesEverySettingAndDatesOnlyForConditionsFoundAutomatically) {
  Notebook n(std::string("config = 0x01\n") + kPack0 + "device0 = ok 1 100 45\n");
  n.store.dwords[u"HKLM"][u"AutoCheckMask"] = 7;
  ASSERT_EQ(n.Init(), 0);
  ASSERT_EQ(n.module->AutoCheck(100).result, kCheckPage);
  n.module->OnShow();
  n.module->OnClose();
  const LocalTime today = n.clock.NowLocal();
  EXPECT_EQ(n.store.strings[kId0][u"LastNotifyDate01"], FormatRegistryDate(today.date()));
  EXPECT_EQ(n.store.strings[kId0].count(u"LastNotifyDate00"), 0u);
  EXPECT_EQ(n.store.strings[kId0].count(u"LastNotifyDate02"), 0u);
  EXPECT_TRUE(n.files.disk.empty()) << "the page file is deleted";

  Notebook manual(std::string("config = 0x01\n") + kPack0 + "device0 = ok 1 100 45\n");
  ASSERT_EQ(manual.Init(), 0);
  ASSERT_EQ(manual.module->ManualCheck(100).result, kCheckPage);
  manual.module->OnShow();
  manual.module->OnClose();
  EXPECT_TRUE(manual.store.strings[kId0].empty()) << "a manual check's page writes no dates";
  EXPECT_TRUE(manual.files.disk.empty());
  // Both closes save every setting of the pack, unchanged ones too.
  for (MemStore* store : {&n.store, &manual.store}) {
    const auto& values = store->dwords[kId0];
    EXPECT_EQ(values.size(), 6u);
    EXPECT_EQ(values.at(u"Enable"), 1u);
    EXPECT_EQ(values.at(u"NotifyEventMask"), 7u);
    EXPECT_EQ(values.at(u"AutoCheckInterval02"), 0u);
  }
  EXPECT_EQ(n.store.dwords[kId0][u"AutoCheckMask"], 7u);
  EXPECT_EQ(manual.store.dwords[kId0][u"AutoCheckMask"], 0u);
}

TEST(BatModule, NotifiedConditionWaitsForItsInterval) {
  Notebook n(std::string("config = 0x01\n") + kPack0 + "device0 = ok 1 100 45\n");
  n.store.dwords[u"HKLM"][u"AutoCheckMask"] = 7;
  n.store.strings[kId0][u"LastNotifyDate01"] = FormatRegistryDate(n.clock.NowLocal().date());
  ASSERT_EQ(n.Init(), 0);
  EXPECT_EQ(n.module->AutoCheck(100).result, kCheckNothing) << "shown today, asked daily";
}

TEST(BatModule, NewRecalibrationDateIsStoredAndMakesConditionsDue) {
  Notebook n(std::string("config = 0x01\n") + kPack0 + "pack0.recal = 2026/01/15\ndevice0 = ok 1 100 45\n");
  n.store.dwords[u"HKLM"][u"AutoCheckMask"] = 7;
  n.store.strings[kId0][u"RecalDate"] = u"2025/06/01";
  n.store.strings[kId0][u"LastNotifyDate01"] = FormatRegistryDate(n.clock.NowLocal().date());
  ASSERT_EQ(n.Init(), 0);
  EXPECT_EQ(n.module->AutoCheck(100).result, kCheckPage) << "halfcapa due again at once";
  EXPECT_EQ(n.store.strings[kId0][u"RecalDate"], u"2026/01/15");
}

TEST(BatModule, PageClicksEditOnlyWhatTheyTouch) {
  Notebook n(std::string("config = 0x01\n") + kPack0 + "device0 = ok 1 100 45\n");
  n.store.dwords[u"HKLM"][u"AutoCheckMask"] = 7;
  ASSERT_EQ(n.Init(), 0);
  ASSERT_EQ(n.module->ManualCheck(100).result, kCheckPage);

  ClickEvent off{u"click", u"INPUT", u"half_capa_radio_manualcheck0", u"", u"", true};
  const ClickAction a = n.module->OnClick(off);
  EXPECT_EQ(a.element, u"half_capa_list_id0");
  EXPECT_TRUE(a.disable);
  EXPECT_EQ(a.result, 1);
  ClickEvent select{u"click", u"select", u"half_capa_list_id0"};
  select.selectedIndex = 2;
  n.module->OnClick(select);  // ignored: the auto bit is now off

  // Meanwhile the settings sheet switches recal notices off.
  Settings sheet = n.module->At(0).live;
  sheet.notifyMask = 6;
  ASSERT_TRUE(n.module->CommitSettings(0, kId0, sheet));
  n.module->OnClose();
  EXPECT_EQ(n.store.dwords[kId0][u"AutoCheckMask"], 5u) << "the page's change";
  EXPECT_EQ(n.store.dwords[kId0][u"NotifyEventMask"], 6u) << "the sheet's change survives the page";
  EXPECT_EQ(n.store.dwords[kId0][u"AutoCheckInterval01"], 0u);

  ClickEvent link{u"click", u"A", u"recal_manual", u"file:///C:/Temp/WBT1.tmp#"};
  const ClickAction l = n.module->OnClick(link);
  EXPECT_EQ(l.result, 0) << "the dummy link does not navigate";
  EXPECT_TRUE(l.openManual);
  ClickEvent run{u"click", u"input", u"recal_utility"};
  EXPECT_TRUE(n.module->OnClick(run).launchUtility);
  run.disabled = true;
  EXPECT_FALSE(n.module->OnClick(run).launchUtility);
  run.type = u"mouseover";
  run.disabled = false;
  EXPECT_FALSE(n.module->OnClick(run).launchUtility);
}

TEST(BatModule, NothingFoundKeepsThePageTheHostStillLists) {
  Notebook n(std::string("config = 0x01\n") + kPack0 + "device0 = ok 1 100 45\n");
  ASSERT_EQ(n.Init(), 0);
  const CheckAnswer first = n.module->ManualCheck(100);
  ASSERT_EQ(first.result, kCheckPage);
  n.store.dwords[kId0][u"Enable"] = 0;
  EXPECT_EQ(n.module->ManualCheck(100).result, kCheckNothing);
  EXPECT_TRUE(n.files.Exists(first.page)) << "still listed by the host";
  n.store.dwords[kId0][u"Enable"] = 1;
  const CheckAnswer second = n.module->ManualCheck(100);
  ASSERT_EQ(second.result, kCheckPage);
  EXPECT_FALSE(n.files.Exists(first.page)) << "replaced: the old page goes";
  EXPECT_TRUE(n.files.Exists(second.page));
  EXPECT_EQ(n.module->ManualCheck(10).result, kCheckNothing) << "a path longer than the host's buffer";
  EXPECT_TRUE(n.files.Exists(second.page));
  EXPECT_EQ(n.files.disk.size(), 1u);
}

TEST(BatModule, OnePackInTwoBaysIsMeasured) {
  Notebook n(std::string("config = 0x09\n") + kPack1 + "device0 = ok 1 100 25\n");
  ASSERT_EQ(n.Init(), 0);
  ASSERT_EQ(n.module->Count(), 2);
  const CheckAnswer a = n.module->ManualCheck(100);
  ASSERT_EQ(a.result, kCheckPage);
  EXPECT_NE(n.Page(a).find(u"no_capa_radio_autocheck1"), std::u16string::npos);
}

TEST(BatModule, AuditModeSavesNothing) {
  Notebook n(std::string("config = 0x01\n") + kPack0 + "pack0.recal = 2026/01/15\ndevice0 = ok 1 100 45\n");
  n.store.audit = true;
  n.store.dwords[u"HKLM"][u"AutoCheckMask"] = 7;
  ASSERT_EQ(n.Init(), 0);
  ASSERT_EQ(n.module->AutoCheck(100).result, kCheckPage);
  n.module->OnShow();
  n.module->OnClick(ClickEvent{u"click", u"input", u"half_capa_radio_manualcheck0", u"", u"", true});
  n.module->OnClose();
  n.module->EnableAutoCheck(true);
  EXPECT_EQ(n.store.writes, 0);
}

TEST(BatModule, CustomFileAndDebugCycle) {
  Notebook n(std::string("config = 0x09\n") + kPack0 + kPack1);
  n.files.disk[u"C:\\custom.xml"] =
      "<wkptbat:wkptbat xmlns:wkptbat=\"urn:x\"><wkptbat:message wkptbat:type=\"halfcapa\">"
      "<wkptbat:minipop>%d 件: 交換の準備を</wkptbat:minipop></wkptbat:message></wkptbat:wkptbat>";
  n.store.strings[u"HKLM"][u"CustomNotification"] = u"C:\\custom.xml";
  n.store.dwords[u"HKLM"][u"CustomNotificationDebug"] = 1;
  ASSERT_EQ(n.Init(), 0);
  const auto boxes = n.module->DebugBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[1].text, u"minipop: %d 件: 交換の準備を\ntitlemain: (NULL)\ntitle: (NULL)\nbody: (NULL)\n");
  // Debug mode: each battery simulates one condition in turn, recal, halfcapa, nocapa.
  const CheckAnswer a = n.module->ManualCheck(100);
  ASSERT_EQ(a.result, kCheckPage);
  EXPECT_EQ(a.text, u"2 件: 交換の準備を") << "the worst is halfcapa: its custom mini-popup text";
  const std::u16string page = n.Page(a);
  EXPECT_NE(page.find(u"recal_radio_autocheck0"), std::u16string::npos);
  EXPECT_NE(page.find(u"half_capa_radio_autocheck1"), std::u16string::npos);
}

// The notebooks in sim/scenarios, each with what a manual check finds there.
TEST(BatModule, ScenarioNotebooks) {
  struct Case {
    const char* file;
    int kind;
    uint32_t found0, found1;
  } cases[] = {
      {"default.ini", 1, 0, kHalfCapa},          {"battery-one.ini", 0, 0, 0},
      {"battery-two-packs.ini", 1, kRecal, kNoCapa}, {"battery-kind2.ini", 2, 0, kHalfCapa},
      {"battery-kind3.ini", 3, 0, 0},              {"battery-one-pack-two-bays.ini", 1, 0, kNoCapa},
      {"battery-old-interface.ini", 0, kRecal, 0}, {"battery-worn-51.ini", 0, 0, 0},
      {"battery-worn-50.ini", 0, kHalfCapa, 0},    {"battery-worn-31.ini", 0, kHalfCapa, 0},
      {"battery-worn-30.ini", 0, kNoCapa, 0},      {"battery-recal-179.ini", 0, 0, 0},
      {"battery-recal-180.ini", 0, kRecal, 0},     {"battery-recal-changed.ini", 0, kHalfCapa, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::ifstream in(std::string(SCENARIO_DIR "/") + c.file);
    std::ostringstream text;
    text << in.rdbuf();
    ASSERT_FALSE(text.str().empty());
    Notebook n(Notebook::File{text.str()});
    ASSERT_EQ(n.Init(), 0);
    EXPECT_EQ(n.module->Kind(), c.kind);
    const CheckAnswer a = n.module->ManualCheck(100);
    ASSERT_EQ(a.result, c.found0 | c.found1 ? kCheckPage : kCheckNothing);
    if (a.result != kCheckPage) continue;
    const std::u16string page = n.Page(a);
    for (int b = 0; b < 2; ++b)
      for (int k = 0; k < kConditions; ++k) {
        const bool expected = ((b ? c.found1 : c.found0) & ConditionBit(k)) != 0;
        const std::u16string id = ControlPrefix(k) + (u"_radio_autocheck" + std::u16string(1, char16_t(u'0' + b)));
        EXPECT_EQ(page.find(id) != std::u16string::npos, expected) << b << " " << k;
      }
  }
}
