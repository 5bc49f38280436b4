// The module over its ports: initialisation, the check's page, the page's clicks and close,
// the settings page's draft and the repair's one-at-a-time flag.
#include <gtest/gtest.h>

#include "modules/anomaly/anm_module.h"
#include "modules/anomaly/anm_page.h"
#include "modules/anomaly/anm_text_ids.h"
#include "tests/anomaly/anm_fakes.h"

using namespace anm;

namespace {
const std::u16string kUninstall = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class AnmModule : public ::testing::Test {
 protected:
  AnmModule() {
    port.replies[0x1A] = {0, {3}};
    port.replies[0x1E] = {0, {0, 0, 0, 0}};
    port.replies[0x1D] = {0, {0x03, 0}};
    port.replies[24] = {0, {16, 0, 0, 0, 1, 0, 0, 0, 0x0e, 0, 0, 0, 0, 0, 1, 0}};  // query and read answer alike
    const std::u16string rec = std::u16string(kRepairKey) + u"\\App";
    registry.Sz(rec, u"Name", u"Velmorant <b>Tools</b>");
    registry.Sz(rec, u"InstallKey", kUninstall + u"VelTools");
    registry.Sz(rec, u"InstallCmd", u"\"C:\\Repair\\setup.exe\"");
  }
  int Init() { return module.Initialize(strings); }
  std::string Page() {
    const kit::CheckAnswer a = module.ManualCheck(260);
    if (a.result == 0) return std::string();
    EXPECT_EQ(a.result, 0x40000001u);
    return files.written.at(a.page);
  }

  anmtest::Port port;
  anmtest::Registry registry;
  anmtest::Store store;
  anmtest::Machine machine;
  anmtest::Files files;
  anmtest::Host host;
  anmtest::NoStrings strings;
  Module module{Module::Ports{store, port, machine, files, host, registry}};
};

TEST_F(AnmModule, InitialisationComputesTheMaskAndStoresTheUsersState) {
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(module.Offered(), kAllBits);
  EXPECT_EQ(store.user.at(kValueState), kAllBits);
  store.machine[u"FunctionEnable"] = 0;
  Module off{Module::Ports{store, port, machine, files, host, registry}};
  EXPECT_EQ(off.Initialize(strings), -251);
  store.machine.erase(u"FunctionEnable");
  store.machine[u"NotifyCheckBoxMask"] = 0;
  Module none{Module::Ports{store, port, machine, files, host, registry}};
  EXPECT_EQ(none.Initialize(strings), -251);
  machine.model.reset();
  Module noDriver{Module::Ports{store, port, machine, files, host, registry}};
  EXPECT_EQ(noDriver.Initialize(strings), -251);
}

TEST_F(AnmModule, HealthyMachineShowsNothingAndRedShowsAtOnce) {
  registry.Sz(kUninstall + u"VelTools", u"DisplayName", u"Velmorant Tools");
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(Page(), "");
  port.replies[0x1E] = {0, {0, 0x02, 0, 0}};
  const std::string page = Page();
  ASSERT_FALSE(page.empty());
  EXPECT_NE(page.find("T108"), std::string::npos);
  EXPECT_NE(page.find("headicon_important.png"), std::string::npos);
  EXPECT_NE(page.find("<html lang=\"en\">"), std::string::npos);
  EXPECT_NE(page.find("<base href=\"file:///C:/Program%20Files/Tellwick/wkptanm.dll\">"), std::string::npos);
  EXPECT_EQ(page.find("notify_orange"), std::string::npos) << "red has no check box";
  EXPECT_EQ(page.find('\0'), std::string::npos) << "no terminator in the file";
  EXPECT_EQ(page.substr(page.size() - 8), "</html>\n");
}

TEST_F(AnmModule, MiniAdaptorAloneIsAnAnnouncement) {
  registry.Sz(kUninstall + u"VelTools", u"DisplayName", u"Velmorant Tools");
  port.replies[0x1D] = {0, {0x13, 0}};
  ASSERT_EQ(Init(), 0);
  const std::string page = Page();
  EXPECT_NE(page.find("headicon_topics.png"), std::string::npos);
  EXPECT_NE(page.find("<span>T129</span>"), std::string::npos);
  EXPECT_NE(page.find("id=\"notify_mini_ac\""), std::string::npos);
}

TEST_F(AnmModule, MissingApplicationIsOfferedWithItsNameEscaped) {
  ASSERT_EQ(Init(), 0);
  std::string page = Page();
  EXPECT_NE(page.find("<u>Velmorant &lt;b&gt;Tools&lt;/b&gt;</u>"), std::string::npos) << page;
  EXPECT_NE(page.find("<button type=\"button\" id=\"0\">T123</button>"), std::string::npos);
  ASSERT_TRUE(module.BeginRepair(0));
  page = Page();
  EXPECT_NE(page.find("<button type=\"button\" id=\"0\" disabled>"), std::string::npos) << "while a repair runs";
  module.EndRepair();

  machine.admin = false;
  Module user{Module::Ports{store, port, machine, files, host, registry}};
  ASSERT_EQ(user.Initialize(strings), 0);
  const kit::CheckAnswer a = user.ManualCheck(260);
  page = files.written.at(a.page);
  EXPECT_NE(page.find("<p>T126</p>"), std::string::npos);
  EXPECT_NE(page.find("id=\"0\" disabled>"), std::string::npos);
  EXPECT_FALSE(user.BeginRepair(0)) << "only an administrator repairs";
}

TEST_F(AnmModule, TwoQuickClicksStartOneRepair) {
  ASSERT_EQ(Init(), 0);
  Page();
  const kit::PageClick click{u"click", u"BUTTON", u"0"};
  const auto id = module.OnClick(click);
  ASSERT_EQ(id, uint16_t(0));
  EXPECT_TRUE(module.BeginRepair(*id));
  EXPECT_FALSE(module.BeginRepair(*module.OnClick(click)));
  module.EndRepair();
  EXPECT_TRUE(module.BeginRepair(0));
  EXPECT_FALSE(module.OnClick(kit::PageClick{u"click", u"button", u"7"}));
  EXPECT_FALSE(module.OnClick(kit::PageClick{u"click", u"button", u"0x"}));
  EXPECT_FALSE(module.OnClick(kit::PageClick{u"mouseover", u"button", u"0"}));
}

TEST_F(AnmModule, PageBoxesAreSavedWhenThePageCloses) {
  registry.Sz(kUninstall + u"VelTools", u"DisplayName", u"Velmorant Tools");
  port.replies[0x1E] = {0, {0, 0x01, 1, 0}};
  ASSERT_EQ(Init(), 0);
  const std::string page = Page();
  EXPECT_NE(page.find("id=\"notify_orange_flash_tmp\""), std::string::npos);
  module.OnShow();
  module.OnClick(kit::PageClick{u"click", u"INPUT", u"notify_orange_flash_tmp", {}, {}, true});
  module.OnClick(kit::PageClick{u"click", u"input", u"notify_app_deleted", {}, {}, true});
  module.OnClick(kit::PageClick{u"click", u"input", u"notify_app_deleted", {}, {}, false});
  EXPECT_EQ(store.user.at(kValueState), kAllBits) << "nothing stored before the page closes";
  module.OnClose();
  EXPECT_EQ(store.user.at(kValueState), kAllBits & ~kBitBattery);
  EXPECT_TRUE(files.written.empty()) << "the page file goes with the page";
  EXPECT_EQ(Page(), "") << "orange no longer wanted";
  port.replies[0x1E] = {0, {0, 0x02, 0, 0}};
  EXPECT_NE(Page(), "") << "red still shows";
}

TEST_F(AnmModule, SettingsChangesAreAppliedOrDropped) {
  ASSERT_EQ(Init(), 0);
  module.SettingsOpened();
  module.SettingsToggle(kBitAdaptor, false);
  module.SettingsClosed();  // cancelled
  EXPECT_EQ(module.State(), kAllBits);
  module.OnShow();
  module.OnClose();
  EXPECT_EQ(store.user.at(kValueState), kAllBits) << "a cancelled change is not stored by a later close";

  module.SettingsOpened();
  module.SettingsToggle(kBitAdaptor, false);
  module.SettingsApply();
  module.SettingsClosed();
  EXPECT_EQ(module.State(), kAllBits & ~kBitAdaptor);
  EXPECT_EQ(store.user.at(kValueState), kAllBits & ~kBitAdaptor);
  EXPECT_EQ(host.calls, std::vector<std::string>{"module-check"});
}

// A check reads the battery's register only when the machine offers its notice, the
// adaptor's only when one of its notices is offered and wanted.
TEST_F(AnmModule, RegistersAreReadOnlyWhenWanted) {
  store.user[kValueState] = kAllBits & ~(kBitAdaptor | kBitMini);
  ASSERT_EQ(Init(), 0);
  port.calls.clear();
  Page();
  EXPECT_EQ(port.calls, std::vector<int>{0x1E});
  store.machine[u"NotifyCheckBoxMask"] = kBitApps;
  Module apps{Module::Ports{store, port, machine, files, host, registry}};
  ASSERT_EQ(apps.Initialize(strings), 0);
  port.calls.clear();
  apps.ManualCheck(260);
  EXPECT_EQ(port.calls, std::vector<int>{});
}

// A shown page's "Do not display again" choice, not yet stored, outlives the settings page.
TEST_F(AnmModule, SettingsPageKeepsTheShownPagesChoices) {
  port.replies[0x1E] = {0, {0, 0x01, 1, 0}};
  ASSERT_EQ(Init(), 0);
  ASSERT_NE(Page(), "");
  module.OnShow();
  module.OnClick(kit::PageClick{u"click", u"INPUT", u"notify_orange_flash_tmp", {}, {}, true});
  module.SettingsOpened();
  EXPECT_EQ(module.Draft() & kBitBattery, 0u);
  module.SettingsClosed();
  module.OnClose();
  EXPECT_EQ(store.user.at(kValueState), kAllBits & ~kBitBattery);
}

// A part too long for the page (a custom text) is left out; the red battery warning before it
// and the page's closing stay.
TEST(AnmPage, TooLongAPartIsLeftOutAndTheWarningStays) {
  anmtest::NoStrings strings;
  Texts texts;
  texts.Load(strings);
  texts.Set(IDS_ANM_BODY_ADAPTOR, std::u16string(kPageLimit, u'x'));
  const std::vector<RepairRecord> records;
  PageInput in;
  in.findings.battery = Battery::Red;
  in.findings.notRecommended = true;
  in.texts = &texts;
  in.records = &records;
  const std::optional<std::u16string> page = BuildPage(in);
  ASSERT_TRUE(page);
  EXPECT_LT(page->size(), kPageLimit);
  EXPECT_NE(page->find(u"T108"), std::u16string::npos) << "the red battery's title";
  EXPECT_NE(page->find(u"notify_not_support_ac"), std::u16string::npos);
  EXPECT_EQ(page->find(u"xxxx"), std::u16string::npos);
  EXPECT_EQ(page->substr(page->size() - 8), u"</html>\n");
}

TEST_F(AnmModule, EventsCloseAShownPageBeforeTheCheck) {
  ASSERT_EQ(Init(), 0);
  EXPECT_TRUE(module.OnWindowMessage(0xC001, 0xC0, 0xC001));
  EXPECT_EQ(host.calls, std::vector<std::string>{"check"});
  module.OnShow();
  host.calls.clear();
  module.OnWindowMessage(0xC001, 0xC1, 0xC001);
  EXPECT_EQ(host.calls, (std::vector<std::string>{"close", "check"}));
  module.OnWindowMessage(kMsgSessionChange, 2, 0xC001);
  EXPECT_FALSE(module.SessionActive());
  host.calls.clear();
  module.OnWindowMessage(kMsgPowerBroadcast, 7, 0xC001);
  EXPECT_TRUE(host.calls.empty()) << "no check for an inactive session";
}
}  // namespace
