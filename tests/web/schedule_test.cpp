#include <gtest/gtest.h>

#include "modules/web/web_schedule.h"
#include "tests/web/sched_test_util.h"

namespace {

using namespace web;
using webtest::FakeStore;

struct FakeClock : IClock {
  LocalTime now{2026, 12, 10, 9, 0};
  LocalTime NowLocal() override { return now; }
};

struct FakeNet : INetwork {
  bool answers = true, offline = false;
  int probes = 0;
  bool ServerAnswers() override {
    ++probes;
    return answers;
  }
  bool Offline() override { return offline; }
};

class ScheduleTest : public ::testing::Test {
 protected:
  void Configure(uint32_t method, uint32_t hour = 9, uint32_t minute = 30) {
    store.machine[u"SetupEnable"] = 1;
    store.user[u"CheckMethod"] = method;
    store.user[u"CheckHour"] = hour;
    store.user[u"CheckMinute"] = minute;
    settings.Read(store);
  }
  Due At(int day, int hour, int minute, bool pending = false) {
    clock.now = LocalTime{2026, 12, day, hour, minute};
    return schedule.AutoCheck(settings, store, pending, clock, net).due;
  }
  // Calls until the first check; the number of calls it took, 0 when none within `limit`.
  int CallsToCheck(int limit = 100) {
    for (int i = 1; i <= limit; ++i) {
      if (schedule.AutoCheck(settings, store, false, clock, net).due == Due::Check) return i;
    }
    return 0;
  }

  FakeStore store;
  Settings settings{1, 1};
  FakeClock clock;
  FakeNet net;
  Schedule schedule;
};

TEST_F(ScheduleTest, FixedTimeWindow) {
  Configure(kMethodFixedTime);
  EXPECT_EQ(At(10, 9, 29), Due::Keep);
  EXPECT_EQ(At(10, 9, 37), Due::Keep);
  EXPECT_EQ(At(10, 8, 33), Due::Keep);
  EXPECT_EQ(At(10, 9, 33), Due::Check);
  EXPECT_EQ(At(10, 9, 34), Due::Keep);
}

TEST_F(ScheduleTest, FixedTimeFiresOncePerDay) {
  Configure(kMethodFixedTime);
  EXPECT_EQ(At(10, 9, 30), Due::Check);
  EXPECT_EQ(At(10, 9, 36), Due::Keep);
  EXPECT_EQ(At(11, 9, 30), Due::Check);  // the next day again
  EXPECT_EQ(At(11, 9, 31), Due::Keep);
  EXPECT_EQ(At(12, 9, 36), Due::Check);  // the window's last minute
}

TEST_F(ScheduleTest, FixedTimeAgainWhenTheUserMovesIt) {
  Configure(kMethodFixedTime);
  EXPECT_EQ(At(10, 9, 30), Due::Check);
  settings.Set(kCheckHour, 10);
  settings.Set(kCheckMinute, 0);
  EXPECT_EQ(At(10, 10, 0), Due::Check);
}

TEST_F(ScheduleTest, FixedTimeWithoutServerIsThePersistentNotice) {
  Configure(kMethodFixedTime);
  net.answers = false;
  EXPECT_EQ(At(10, 9, 30), Due::NotConnected);
  EXPECT_EQ(At(10, 9, 31), Due::Keep);  // once for that day
  net.answers = true;
  net.offline = true;
  EXPECT_EQ(At(11, 9, 30), Due::NotConnected);
}

TEST_F(ScheduleTest, PendingPageKeepsAndDoesNotUseTheDay) {
  Configure(kMethodFixedTime);
  EXPECT_EQ(At(10, 9, 30, true), Due::Keep);
  EXPECT_EQ(At(10, 9, 31), Due::Check);
}

TEST_F(ScheduleTest, OnConnectionPeriod) {
  Configure(kMethodOnConnection);
  EXPECT_EQ(CallsToCheck(), 12);  // the counter starts at 1
  EXPECT_EQ(CallsToCheck(), 13);
  EXPECT_EQ(CallsToCheck(), 13);
}

// A page shown and closed is not announced again every period; a resume or an unlock
// (a new connection) checks once more, a full period later.
TEST_F(ScheduleTest, OnConnectionStopsOnceAPageWasShownUntilANewConnection) {
  Configure(kMethodOnConnection);
  ASSERT_EQ(CallsToCheck(), 12);
  // The check's page is held, then shown and closed by the user.
  for (int i = 0; i < 20; ++i) EXPECT_EQ(schedule.AutoCheck(settings, store, true, clock, net).due, Due::Keep);
  schedule.OnPageShown();
  EXPECT_EQ(CallsToCheck(), 0);
  for (const auto& wake : {std::make_pair(kWmPowerBroadcast, kPbtResumeSuspend), std::make_pair(kWmSessionChange, kWtsSessionUnlock)}) {
    schedule.OnHostMessage(wake.first, wake.second);
    EXPECT_EQ(CallsToCheck(), 13);
    schedule.OnPageShown();
    EXPECT_EQ(CallsToCheck(), 0);
  }
  EXPECT_TRUE(schedule.PageShown()) << "the read marks still go back at the page's close";
}

TEST_F(ScheduleTest, OnConnectionSkipsSilentlyWithoutServer) {
  Configure(kMethodOnConnection);
  net.answers = false;
  for (int i = 0; i < 30; ++i) EXPECT_EQ(schedule.AutoCheck(settings, store, false, clock, net).due, Due::Keep);
}

TEST_F(ScheduleTest, OtherMethodsNeverCheckOnConnection) {
  Configure(kMethodNone);
  EXPECT_EQ(CallsToCheck(), 0);
  EXPECT_EQ(net.probes, 0);
}

TEST_F(ScheduleTest, ResumeUnlockAndConsoleConnectRestartTheCount) {
  struct Case {
    uint32_t message;
    uintptr_t wParam;
    bool resets;
  } cases[] = {{kWmPowerBroadcast, kPbtResumeSuspend, true},
               {kWmPowerBroadcast, 4, false},
               {kWmSessionChange, kWtsConsoleConnect, true},
               {kWmSessionChange, kWtsSessionUnlock, true},
               {kWmSessionChange, 7, false},
               {0x0113, kPbtResumeSuspend, false}};
  for (const Case& c : cases) {
    Schedule s;
    s.OnHostMessage(c.message, c.wParam);
    EXPECT_EQ(s.pollCounter(), c.resets ? 0u : 1u) << std::hex << c.message << " " << c.wParam;
  }
  Configure(kMethodOnConnection);
  schedule.OnHostMessage(kWmSessionChange, kWtsSessionUnlock);
  EXPECT_EQ(CallsToCheck(), 13);
}

TEST_F(ScheduleTest, DisabledModuleDoesNothing) {
  Configure(kMethodFixedTime);
  settings.Set(kEnable, 0);
  EXPECT_EQ(At(10, 9, 30), Due::Nothing);
}

TEST_F(ScheduleTest, InterruptedUpdateResumesOnceWhenTheServerAnswers) {
  store.user[u"OpenUpdateOnNextBoot"] = 1;
  Configure(kMethodNone);
  net.offline = true;
  EXPECT_FALSE(schedule.AutoCheck(settings, store, false, clock, net).openUpdateManager);
  net.offline = false;
  const Decision d = schedule.AutoCheck(settings, store, true, clock, net);
  EXPECT_TRUE(d.openUpdateManager);
  EXPECT_EQ(d.due, Due::Keep);  // the check goes on
  EXPECT_EQ(store.user[u"OpenUpdateOnNextBoot"], 0u);
  EXPECT_FALSE(schedule.AutoCheck(settings, store, false, clock, net).openUpdateManager);
}

}  // namespace
