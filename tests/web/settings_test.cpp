#include <gtest/gtest.h>

#include "modules/web/web_operator.h"
#include "modules/web/web_settings.h"
#include "tests/web/sched_test_util.h"

namespace {

using namespace web;
using webtest::FakeStore;

struct ReadCase {
  const char* what;
  Field field;
  std::optional<uint32_t> user, machine;
  uint32_t expected;
  Origin origin;
};

class SettingsRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(SettingsRead, UserThenMachineThenDefault) {
  const ReadCase& c = GetParam();
  FakeStore store;
  if (c.user) store.user[FieldName(c.field)] = *c.user;
  if (c.machine) store.machine[FieldName(c.field)] = *c.machine;
  Settings s(1, 1);
  s.Read(store);
  EXPECT_EQ(s.Get(c.field), c.expected) << c.what;
  EXPECT_EQ(s.OriginOf(c.field), c.origin) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SettingsRead,
    ::testing::Values(
        ReadCase{"method default", kCheckMethod, {}, {}, 3, Origin::Default},
        ReadCase{"method from machine", kCheckMethod, {}, 2u, 2, Origin::Machine},
        ReadCase{"user wins", kCheckMethod, 1u, 2u, 1, Origin::User},
        ReadCase{"method 0 out of range", kCheckMethod, 0u, {}, 3, Origin::Default},
        ReadCase{"method 4 out of range", kCheckMethod, {}, 4u, 3, Origin::Default},
        // An out-of-range user value keeps the default; the machine is not asked.
        ReadCase{"hour 24 in HKCU, 10 in HKLM", kCheckHour, 24u, 10u, 9, Origin::Default},
        ReadCase{"hour 23", kCheckHour, 23u, {}, 23, Origin::User},
        ReadCase{"hour from machine", kCheckHour, {}, 0u, 0, Origin::Machine},
        ReadCase{"minute 60", kCheckMinute, 60u, {}, 0, Origin::Default},
        ReadCase{"minute 59", kCheckMinute, {}, 59u, 59, Origin::Machine},
        ReadCase{"important default", kNotifyImportant, {}, {}, 1, Origin::Default},
        ReadCase{"support any value", kNotifySupport, 0u, {}, 0, Origin::User},
        ReadCase{"topics default", kNotifyTopics, {}, {}, 0, Origin::Default},
        ReadCase{"period default", kSuppressAutoCheckMinute, {}, {}, 12, Origin::Default},
        ReadCase{"period any value", kSuppressAutoCheckMinute, {}, 0xFFFFFFFFu, 0xFFFFFFFFu, Origin::Machine},
        ReadCase{"local mode", kLocalMode, {}, 1u, 1, Origin::Machine},
        ReadCase{"enable takes the model's default", kEnable, {}, {}, 1, Origin::Default},
        ReadCase{"enable from user", kEnable, 0u, 1u, 0, Origin::User}));

TEST(Settings, SetupEnableFromMachineOnlyAndOpenUpdateFromUserOnly) {
  FakeStore store;
  store.user[u"SetupEnable"] = 1;
  store.machine[u"OpenUpdateOnNextBoot"] = 1;
  Settings s(0, 0);
  s.Read(store);
  EXPECT_EQ(s.setupEnable(), 0u);
  EXPECT_EQ(s.openUpdateOnNextBoot(), 0u);
  store.machine[u"SetupEnable"] = 1;
  store.user[u"OpenUpdateOnNextBoot"] = 1;
  s.Read(store);
  EXPECT_EQ(s.setupEnable(), 1u);
  EXPECT_EQ(s.openUpdateOnNextBoot(), 1u);
}

TEST(Settings, SaveWritesOnlyChangesAndTheUsersOwnInOrder) {
  FakeStore store;
  store.machine[u"SetupEnable"] = 1;
  store.machine[u"CheckHour"] = 7;     // the machine's: never copied
  store.machine[u"NotifyTopics"] = 1;  // the machine's, changed by the user: written
  store.user[u"CheckMinute"] = 30;     // the user's own: rewritten
  Settings s(1, 0);
  s.Read(store);
  s.Set(kNotifyTopics, 0);
  s.Set(kLocalMode, 0);  // unchanged default: not pinned
  ASSERT_TRUE(s.Save(store));
  EXPECT_EQ(store.writes, (std::vector<std::u16string>{u"CheckMinute", u"NotifyTopics"}));
  EXPECT_EQ(store.user.count(u"CheckHour"), 0u);
  EXPECT_EQ(store.user[u"NotifyTopics"], 0u);

  // What a save wrote is the user's own from then on.
  store.writes.clear();
  ASSERT_TRUE(s.Save(store));
  EXPECT_EQ(store.writes, (std::vector<std::u16string>{u"CheckMinute", u"NotifyTopics"}));
}

TEST(Settings, SaveTriesEveryValueAfterAFailure) {
  FakeStore store;
  store.machine[u"SetupEnable"] = 1;
  Settings s(0, 0);
  s.Read(store);
  s.Set(kEnable, 1);
  s.Set(kLocalMode, 1);
  store.failing.insert(u"Enable");
  EXPECT_FALSE(s.Save(store));
  EXPECT_EQ(store.writes, (std::vector<std::u16string>{u"Enable", u"LocalMode"}));
  EXPECT_EQ(store.user[u"LocalMode"], 1u);
}

TEST(Settings, NoSaveInAuditModeOrWithoutSetupEnable) {
  for (bool audit : {true, false}) {
    FakeStore store;
    store.audit = audit;
    if (audit) store.machine[u"SetupEnable"] = 1;
    Settings s(0, 0);
    s.Read(store);
    s.Set(kCheckMethod, 1);
    EXPECT_FALSE(s.Save(store)) << audit;
    EXPECT_TRUE(store.writes.empty()) << audit;
  }
}

TEST(Settings, EnableAutoCheck) {
  struct Case {
    uint32_t method;
    bool on;
    uint32_t expected;
    bool saved;
  } cases[] = {{2, false, 3, true}, {3, true, 1, true}, {2, true, 2, false}, {1, true, 1, false}};
  for (const Case& c : cases) {
    FakeStore store;
    store.machine[u"SetupEnable"] = 1;
    store.machine[u"CheckMethod"] = c.method;
    Settings s(1, 0);
    s.Read(store);
    s.EnableAutoCheck(c.on, store);
    EXPECT_EQ(s.Get(kCheckMethod), c.expected) << c.method << c.on;
    EXPECT_EQ(store.user.count(u"CheckMethod") == 1, c.saved) << c.method << c.on;
  }
}

TEST(Settings, ClearOpenUpdateWritesTheUserKey) {
  FakeStore store;
  store.user[u"OpenUpdateOnNextBoot"] = 1;
  Settings s(1, 0);
  s.Read(store);
  EXPECT_TRUE(s.ClearOpenUpdate(store));
  EXPECT_EQ(s.openUpdateOnNextBoot(), 0u);
  EXPECT_EQ(store.user[u"OpenUpdateOnNextBoot"], 0u);
}

TEST(DefaultEnable, PreinstallSeriesAndSuffix) {
  const std::vector<std::u16string> series{u"S", u"MX"};
  struct Case {
    std::optional<int> type;
    const char16_t* model;
    uint32_t expected;
  } cases[] = {
      {1, u"QZ-S10ABP", 1}, {1, u"QZ-S10ABR", 1}, {1, u"QZ-S10ABC", 0}, {1, u"QZ-S10ABS", 0},
      {1, u"QZ-S10ABU", 0}, {1, u"QZ-MX1ABP", 1}, {1, u"QZ-M10ABP", 0}, {1, u"QZ-T10ABP", 0},
      {2, u"QZ-S10ABP", 0}, {std::nullopt, u"QZ-S10ABP", 0}, {1, u"QZ-", 0}, {1, u"", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DefaultEnable(c.type, c.model, series), c.expected) << std::string(c.model, c.model + std::char_traits<char16_t>::length(c.model));
  }
}

TEST(DefaultEnable, PreinstallTypeFromVersionFile) {
  EXPECT_EQ(PreinstallTypeFromVersionFile("V1.00\r\nJPN\r\n"), 1);
  EXPECT_EQ(PreinstallTypeFromVersionFile("V1.00\nJ"), 1);
  EXPECT_EQ(PreinstallTypeFromVersionFile("V1.00\r\nUSA\r\n"), 2);
  EXPECT_EQ(PreinstallTypeFromVersionFile("JPN"), 2);
  EXPECT_EQ(PreinstallTypeFromVersionFile("V1.00\n"), 2);
}

TEST(Feed, ChosenByModelSuffix) {
  const OperatorSettings s{u"support.test", {}};
  EXPECT_EQ(FeedUrlFor(u"QZ-S10ABS", s), u"http://support.test/s/wkpt.xml");
  EXPECT_EQ(FeedUrlFor(u"QZ-S10ABC", s), u"http://support.test/s/wkpt.xml");
  EXPECT_EQ(FeedUrlFor(u"QZ-S10ABR", s), u"http://support.test/r/wkpt.xml");
  EXPECT_EQ(FeedUrlFor(u"QZ-S10ABP", s), u"http://support.test/r/wkpt.xml");
  EXPECT_FALSE(FeedUrlFor(u"QZ-S10ABX", s));
  EXPECT_FALSE(FeedUrlFor(u"", s));
  EXPECT_EQ(DefaultOperatorSettings().seriesCodes.size(), 12u);
}

TEST(Feed, LocalModeReadsTheFileInTheCurrentFolder) {
  const std::u16string url = u"http://support.test/s/wkpt.xml";
  struct Case {
    bool local, exists, offline;
    FeedSource::Kind kind;
    const char16_t* location;
  } cases[] = {
      {true, true, true, FeedSource::LocalFile, u"wkpt.xml"},  // offline does not matter locally
      {true, false, false, FeedSource::Unreachable, u""},     // never falls back to the server
      {false, true, false, FeedSource::Server, url.c_str()},
      {false, false, true, FeedSource::Unreachable, u""},
  };
  for (const Case& c : cases) {
    const FeedSource f = ChooseFeedSource(c.local, c.exists, c.offline, url);
    EXPECT_EQ(f.kind, c.kind);
    EXPECT_EQ(f.location, c.location);
  }
}

}  // namespace
