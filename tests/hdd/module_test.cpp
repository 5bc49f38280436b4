#include <gtest/gtest.h>

#include <map>
#include <string>

#include "modules/hdd/hdd_module.h"
#include "modules/hdd/hdd_text_ids.h"
#include "tests/kit/mem_page_files.h"

namespace {
using namespace hddm;

std::string Content(const kittest::MemPageFiles<>& f, const std::u16string& path) {
  auto it = f.disk.find(path);
  return it == f.disk.end() ? std::string() : it->second;
}

struct Strings : IStrings {
  std::u16string Load(uint16_t id) override {
    static const std::map<uint16_t, std::u16string> k = {
        {IDS_HDD_NEVER, u"Never"}, {IDS_HDD_MIN, u"%d min"}, {IDS_HDD_MINS, u"%d mins"}, {IDS_HDD_HOUR, u"%d hour"},
        {IDS_HDD_HOURS, u"%d hours"}, {IDS_HDD_COUNT_ONE, u"%d Notification About Hard Disk Usage."},
        {IDS_HDD_COUNT_MANY, u"%d Notifications About Hard Disk Usage."}, {IDS_HDD_NO_INFORMATION, u"Could not get hard disk information."},
        {IDS_HDD_HIBERNATE_BODY, u"<p>(Plugged in: %s, On battery: %s) <a id=\"%s\"></a></p>\n"},
        {IDS_HDD_POWERON_BODY, u"<p>sleep <a id=\"%s\"></a></p>\n"}, {IDS_HDD_POWERON_BODY_XP, u"<p>standby <a id=\"%s\"></a></p>\n"}};
    auto it = k.find(id);
    return it == k.end() ? u"T" + std::u16string(1, char16_t(u'0' + id % 10)) : it->second;
  }
};

TEST(HddTexts, TimesLanguagesAndClasses) {
  Strings s;
  struct Case {
    uint32_t minutes;
    bool xp;
    std::u16string text;
  } cases[] = {{0, false, u"Never"}, {1, false, u"1 min"}, {120, false, u"120 mins"}, {120, true, u"2 hours"},
               {90, true, u"1 hour"}, {59, true, u"59 mins"}, {0, true, u"Never"}};
  for (const Case& c : cases) EXPECT_EQ(TimeText(c.minutes, c.xp, s), c.text) << c.minutes;
  struct Lang {
    uint16_t id;
    const char16_t *tag, *letter;
  } langs[] = {{0x0404, u"zh-Hant", u"CT"}, {0x0C04, u"zh-Hant", u"CT"}, {0x1404, u"zh-Hant", u"CT"},
               {0x0804, u"zh-Hans", u"CS"}, {0x1004, u"zh-Hans", u"CS"}, {0x0407, u"de", u"G"},
               {0x0C0A, u"es", u"P"},       {0x040C, u"fr", u"F"},       {0x0410, u"it", u"T"},
               {0x0411, u"ja", u"J"},       {0x0409, u"en", u"E"},       {0x0419, u"en", u"E"}};
  for (const Lang& l : langs) {
    EXPECT_EQ(LanguageTag(l.id), l.tag) << std::hex << l.id;
    EXPECT_EQ(ManualLetter(l.id), l.letter) << std::hex << l.id;
  }
  EXPECT_EQ(ModelClass("PT-15KB3456CD"), 0);
  EXPECT_EQ(ModelClass("RX-7WQ2210HJ5800"), 1);
  EXPECT_EQ(ModelClass("UV-13GK1234"), 2);
  EXPECT_FALSE(ModelClass("ZZ-1"));
}

struct Diskwarn : IDiskwarn {
  int32_t dataState = 4, dataStart = 2, spinning = 1, found = 15, support = 15;
  bool defaults = true, evaluateOk = true;
  std::u16string path = u"\\\\.\\PhysicalDrive0";
  int pathAsks = 0;
  int evaluations = 0, supportAsks = 0;
  uint32_t lastWanted = 0;
  bool CheckTarget(int32_t& t, int32_t& n) override { return t = 1, n = 1, true; }
  bool PipeServiceState(int32_t& s, int32_t& t) override { return s = 4, t = 2, true; }
  bool DataServiceState(int32_t& s, int32_t& t) override { return s = dataState, t = dataStart, true; }
  bool StartService() override { return dataState = 4, true; }
  bool MotorSpinning(const std::u16string&, int32_t& s) override { return s = spinning, true; }
  bool DiskPath(std::u16string& p) override { return ++pathAsks, p = path, true; }
  bool DefaultTimes(uint32_t& a, uint32_t& d) override { return a = 60, d = 120, defaults; }
  bool SupportInfo(int32_t& f) override { return ++supportAsks, f = support, true; }
  bool Evaluate(int, uint32_t wanted, int32_t& f) override {
    ++evaluations;
    lastWanted = wanted;
    f = static_cast<int32_t>(found & wanted);
    return evaluateOk;
  }
};

struct Platform : IPlatform {
  LocalTime now{2026, 12, 10, 11, 2, 0};
  int sleeps = 0;
  bool xp = false;
  LocalTime NowLocal() override { return now; }
  std::u16string DateTimeText(const LocalTime&) override { return u"12/10/2026 11:02"; }
  void Sleep(uint32_t) override { ++sleeps; }
  bool IsXp() override { return xp; }
  uint16_t UiLanguage() override { return 0x0407; }
  bool IsAdministrator() override { return false; }
  std::optional<uint32_t> EnableLua() override { return 1u; }
  std::u16string ModulePath() override { return u"C:\\Tellwick\\wkpthdd.dll"; }
};

struct Store : IStore {
  std::map<std::u16string, uint32_t> user, machine;
  std::optional<uint32_t> UserDword(const char16_t* n) override {
    auto it = user.find(n);
    return it == user.end() ? std::nullopt : std::optional<uint32_t>(it->second);
  }
  std::optional<uint32_t> MachineDword(const char16_t* n) override {
    auto it = machine.find(n);
    return it == machine.end() ? std::nullopt : std::optional<uint32_t>(it->second);
  }
  bool WriteUserDword(const char16_t* n, uint32_t v) override { return user[n] = v, true; }
  bool AuditMode() override { return false; }
};

struct HddModule : testing::Test {
  Diskwarn dw;
  Platform platform;
  Store store;
  kittest::MemPageFiles<> files{u"C:\\Temp\\", u"WHD"};
  Strings strings;
  Module m{Module::Ports{platform, store, files, strings}};
  void Start(const char* model = "PT-15KB3456CD") {
    store.user[u"AutoCheck"] = 1;
    ASSERT_EQ(m.Prepare(std::string(model)), 0);
    ASSERT_EQ(m.Attach(dw), 0);
  }
};

TEST_F(HddModule, HourlyWindowWhileTheDiskSpins) {
  Start();
  struct Step {
    int hour, minute, spinning;
    uint32_t result;
  } steps[] = {{10, 7, 1, kit::kCheckKeep}, {11, 2, 0, kit::kCheckKeep}, {11, 2, 1, kit::kCheckPage},
               {11, 4, 1, kit::kCheckKeep}, {12, 0, 1, kit::kCheckPage}};  // a listed page is answered again
  for (const Step& s : steps) {
    platform.now.hour = s.hour, platform.now.minute = s.minute, dw.spinning = s.spinning;
    EXPECT_EQ(m.AutoCheck(100).result, s.result) << s.hour << ":" << s.minute;
  }
  m.OnClose();
  platform.now.hour = 13, platform.now.minute = 5;
  EXPECT_EQ(m.AutoCheck(100).result, kit::kCheckPage);
  store.user[u"AutoCheck"] = 0;
  Module off{Module::Ports{platform, store, files, strings}};
  ASSERT_EQ(off.Prepare(std::string("PT-1")), 0);
  ASSERT_EQ(off.Attach(dw), 0);
  platform.now.hour = 14;
  EXPECT_EQ(off.AutoCheck(100).result, kit::kCheckKeep);
  EXPECT_EQ(off.ManualCheck(100).result, kit::kCheckPage);
}

// The line follows the disk: a check now that answered the stopped-service notice replaced the
// listed page on the host's list without a close, and the next hourly check still answers.
TEST_F(HddModule, AutomaticChecksGoOnAfterTheLineWasReplaced) {
  Start();
  platform.now.hour = 11, platform.now.minute = 2;
  const kit::CheckAnswer first = m.AutoCheck(100);
  ASSERT_EQ(first.result, kit::kCheckPage);
  dw.dataState = 1, dw.dataStart = 3;
  EXPECT_EQ(m.ManualCheck(100).result, kCheckAction | kNotifyPersistent);
  dw.dataState = 4, dw.dataStart = 2;
  dw.found = kShock;
  platform.now.hour = 12, platform.now.minute = 1;
  const kit::CheckAnswer next = m.AutoCheck(100);
  ASSERT_EQ(next.result, kit::kCheckPage);
  EXPECT_EQ(next.text, u"1 Notification About Hard Disk Usage.");
  EXPECT_TRUE(Content(files, first.page).empty()) << "the replaced page's file goes";
  dw.found = 0;
  platform.now.hour = 13;
  EXPECT_EQ(m.AutoCheck(100).result, kit::kCheckNothing) << "the disk is quiet: the line goes";
}

// A viewer slow at logon gave no disk path: the hourly check asks for it again until it has one.
TEST_F(HddModule, EmptyDiskPathIsAskedAgain) {
  dw.path.clear();
  Start();
  EXPECT_EQ(dw.pathAsks, 1);
  platform.now.hour = 11, platform.now.minute = 2;
  EXPECT_EQ(m.AutoCheck(100).result, kit::kCheckNothing);
  EXPECT_EQ(dw.pathAsks, 2);
  dw.path = u"\\\\.\\PhysicalDrive0";
  EXPECT_EQ(m.AutoCheck(100).result, kit::kCheckPage);
  EXPECT_EQ(dw.pathAsks, 3);
  platform.now.hour = 12;
  m.AutoCheck(100);
  EXPECT_EQ(dw.pathAsks, 3) << "asked no more once known";
}

// Start-up makes one pipe request (the disk path); the support flags are asked at their first
// use, and again while the viewer reports none.
TEST_F(HddModule, SupportFlagsAreAskedAtFirstUse) {
  dw.support = 0;
  Start();
  EXPECT_EQ(dw.supportAsks, 0);
  EXPECT_EQ(m.ManualCheck(100).result, kit::kCheckNothing);  // no event the disk can report
  EXPECT_EQ(dw.supportAsks, 1);
  dw.support = kShock | kPowerOn;
  EXPECT_EQ(m.ManualCheck(100).result, kit::kCheckPage);
  EXPECT_EQ(dw.lastWanted, kShock | kPowerOn);
  EXPECT_EQ(m.SupportFlags(), kShock | kPowerOn);
  EXPECT_EQ(dw.supportAsks, 2);
}

TEST_F(HddModule, PageSectionsMatchTheCount) {
  Start();
  dw.defaults = false;  // no hibernate section without the default times
  const kit::CheckAnswer a = m.ManualCheck(100);
  ASSERT_EQ(a.result, kit::kCheckPage);
  EXPECT_EQ(a.text, u"3 Notifications About Hard Disk Usage.");
  const std::string page = Content(files, a.page);
  EXPECT_EQ(page.find("hibernate_pdf"), std::string::npos);
  const size_t shock = page.find("id=\"shock_pdf\""), temp = page.find("id=\"temperature_pdf\""),
               power = page.find("id=\"poweron_pdf\"");
  EXPECT_TRUE(shock < temp && temp < power) << page;
  EXPECT_NE(page.find("<html lang=\"de\">"), std::string::npos);
  EXPECT_NE(page.find("<base href=\"file:///C:\\Tellwick\\wkpthdd.dll\">"), std::string::npos);
  EXPECT_NE(page.find("<p>sleep <a id=\"poweron_sleep\">"), std::string::npos);

  dw.defaults = true;
  dw.found = kHibernate;
  platform.xp = true;
  const kit::CheckAnswer b = m.ManualCheck(100);
  EXPECT_EQ(b.text, u"1 Notification About Hard Disk Usage.");
  EXPECT_NE(Content(files, b.page).find("(Plugged in: 1 hour, On battery: 2 hours) <a id=\"hibernate_powercfg\">"),
            std::string::npos);
}

TEST_F(HddModule, SuppressionStoppedServiceAndFailures) {
  Start();
  ClickEvent click{u"click", u"INPUT", u"shock_check", u"", u"", true};
  EXPECT_EQ(m.OnClick(click).suppressDialogFor, kShock);
  m.ManualCheck(100);
  EXPECT_EQ(dw.lastWanted, kHibernate | kTemperature | kPowerOn);
  click.checked = false;
  m.OnClick(click);
  m.ManualCheck(100);
  EXPECT_EQ(dw.lastWanted, 15u);

  ClickEvent link{u"click", u"A", u"shock_pdf", u"file:///C:/x/WHD1.tmp#", u"", false};
  const ClickAction la = m.OnClick(link);
  EXPECT_EQ(la.result, 0);
  EXPECT_EQ(la.manualFor, kShock);

  // A failed evaluation shows nothing: the library answers success whenever it has events to
  // show, and fails when the viewer refused their report.
  dw.evaluateOk = false;
  dw.found = kShock;
  EXPECT_EQ(m.ManualCheck(100).result, kit::kCheckNothing);
  dw.evaluateOk = true;
  EXPECT_EQ(m.ManualCheck(100).result, kit::kCheckPage);

  // A manual check that finds nothing leaves the listed page alone.
  const std::u16string held = m.Pages().Path();
  dw.found = 0;
  EXPECT_EQ(m.ManualCheck(100).result, kit::kCheckNothing);
  EXPECT_EQ(m.Pages().Path(), held);
  EXPECT_FALSE(Content(files, held).empty());

  dw.dataState = 1, dw.dataStart = 3;
  const kit::CheckAnswer stopped = m.ManualCheck(100);
  EXPECT_EQ(stopped.result, kCheckAction | kNotifyPersistent);
  EXPECT_EQ(stopped.code, 1);
  EXPECT_EQ(stopped.text, u"Could not get hard disk information.");
  EXPECT_FALSE(m.OfferServiceStart(false));
  EXPECT_EQ(dw.dataState, 1) << "declined: not started";
  EXPECT_TRUE(m.IsEnabled()) << "declining does not switch the module off";
  EXPECT_TRUE(m.OfferServiceStart(true));
  EXPECT_EQ(dw.dataState, 4);
}

TEST(HddPrepare, ClassAndSettings) {
  Diskwarn dw;
  Platform platform;
  Store store;
  kittest::MemPageFiles<> files{u"C:\\Temp\\", u"WHD"};
  Strings strings;
  Module m{Module::Ports{platform, store, files, strings}};
  EXPECT_EQ(m.Prepare(std::nullopt), kErrDriver);
  EXPECT_EQ(m.Prepare(std::string("ZZ-1")), kErrDriver);
  EXPECT_EQ(m.Prepare(std::string("RX-1")), kErrDriver) << "class 1 is off by default";
  store.machine[u"SetupEnable"] = 1;
  EXPECT_EQ(m.Prepare(std::string("RX-1")), 0);
  EXPECT_FALSE(m.IsEnabled());
}
}  // namespace
