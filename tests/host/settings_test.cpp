#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "host/core/host_settings.h"

using namespace host;

namespace {
class FakeStore : public ISettingsStore {
 public:
  std::map<std::u16string, uint32_t> user, machine;
  std::vector<std::u16string> written;
  size_t failAfter = SIZE_MAX;
  bool Read(SettingsRoot root, const char16_t* name, uint32_t* value) override {
    auto& m = root == SettingsRoot::User ? user : machine;
    auto it = m.find(name);
    if (it == m.end()) return false;
    *value = it->second;
    return true;
  }
  bool WriteUser(const char16_t* name, uint32_t value) override {
    if (written.size() >= failAfter) return false;
    written.push_back(name);
    user[name] = value;
    return true;
  }
};
}  // namespace

TEST(HostSettings, ReadsUserThenMachineThenDefault) {
  FakeStore store;
  HostSettings none = ReadHostSettings(store);
  EXPECT_EQ(none.miniPopup, 1u);
  EXPECT_EQ(none.flashIcon, 0u);
  EXPECT_EQ(none.beepSound, 0u);
  EXPECT_EQ(none.miniPopupTime, 3u);
  EXPECT_EQ(none.clockSpeed, 1000u);
  EXPECT_EQ(none.initialDlgShown, 0u);
  EXPECT_EQ(none.initialDlgEnable, 1u);

  store.user[u"MiniPopup"] = 0;
  store.machine[u"MiniPopup"] = 1;
  store.machine[u"ClockSpeed"] = 500;
  store.user[u"MiniPopupTime"] = 7;           // taken as it is
  store.user[u"InitialDlgEnable"] = 0;        // machine only: a user value is not read
  store.machine[u"InitialDlgShown"] = 1;
  const HostSettings s = ReadHostSettings(store);
  EXPECT_EQ(s.miniPopup, 0u);
  EXPECT_EQ(s.clockSpeed, 500u);
  EXPECT_EQ(s.miniPopupTime, 7u);
  EXPECT_EQ(s.initialDlgEnable, 1u);
  EXPECT_EQ(s.initialDlgShown, 1u);
}

TEST(HostSettings, SavesTheSixUserValuesInOrderAndCopiesMachineValues) {
  FakeStore store;
  store.machine[u"ClockSpeed"] = 500;
  const HostSettings s = ReadHostSettings(store);
  ASSERT_EQ(SaveHostSettings(store, s, false), SaveResult::Saved);
  const std::vector<std::u16string> order = {u"MiniPopup", u"FlashIcon", u"BeepSound", u"MiniPopupTime", u"ClockSpeed",
                                             u"InitialDlgShown"};
  EXPECT_EQ(store.written, order);
  EXPECT_EQ(store.user[u"ClockSpeed"], 500u);
}

TEST(HostSettings, SavesNothingUnreadInAuditModeAndStopsAtTheFirstFailure) {
  FakeStore store;
  store.user[u"MiniPopup"] = 0;
  EXPECT_EQ(SaveHostSettings(store, HostSettings{}, false), SaveResult::NotRead) << "defaults never read";
  EXPECT_TRUE(store.written.empty());
  EXPECT_EQ(store.user[u"MiniPopup"], 0u);

  const HostSettings s = ReadHostSettings(store);
  EXPECT_EQ(SaveHostSettings(store, s, true), SaveResult::AuditMode);
  EXPECT_TRUE(store.written.empty());

  store.failAfter = 2;
  EXPECT_EQ(SaveHostSettings(store, s, false), SaveResult::Failed);
  EXPECT_EQ(store.written.size(), 2u);
}

TEST(HostSettings, BoundsTheClockAndItsProducts) {
  struct Case {
    uint32_t stored, period;
  } cases[] = {{0, kMinClockMs}, {1, kMinClockMs}, {500, 500}, {1000, 1000}, {0xFFFFFFFFu, kMaxClockMs}};
  for (const Case& c : cases) EXPECT_EQ(ClockPeriodMs(c.stored), c.period) << c.stored;
  EXPECT_EQ(TicksToMs(180, 1000), 180000u);
  EXPECT_EQ(TicksToMs(0xFFFFFFFFu, 0xFFFFFFFFu), 0x7FFFFFFFu) << "saturates instead of wrapping";
  EXPECT_EQ(MiniPopupHideTicks(0xFFFFFFFFu), 0xFFFFFFFFull * 60u);
}
