// The module manager driven by scripted fake modules and a recording presenter.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/core/module_manager.h"

using namespace host;

namespace {
struct FakeModule {
  uint32_t interval = kIntervalNever;
  bool enabled = true;
  std::deque<CheckAnswer> autoAnswers, manualAnswers;  // then CHECK_KEEP / CHECK_NOTHING
  bool hasInitialMessage = false, initialAnswer = false, hasDoNotify = true;
  std::optional<std::pair<int, int>> miniOffset;  // WickpostGetMiniPopupOffset, when exported
  std::function<void()> onDoNotify, onAutoCheck, onClose;
};

class FakeModules : public IModules {
 public:
  std::vector<FakeModule> m;
  std::vector<std::string> calls;  // "AutoCheck 0", ...
  explicit FakeModules(size_t n) : m(n) {}

  size_t Count() const override { return m.size(); }
  uint32_t Interval(size_t i) const override { return m[i].interval; }
  bool IsEnabled(size_t i) override { return m[i].enabled; }
  CheckAnswer AutoCheck(size_t i) override {
    Log("AutoCheck", i);
    if (m[i].onAutoCheck) m[i].onAutoCheck();
    return Take(m[i].autoAnswers, kKindKeep);
  }
  CheckAnswer ManualCheck(size_t i) override {
    Log("ManualCheck", i);
    return Take(m[i].manualAnswers, kKindNothing);
  }
  bool HasInitialMessage(size_t i) const override { return m[i].hasInitialMessage; }
  bool ProbeInitialMessage(size_t i) override {
    Log("Probe", i);
    return m[i].initialAnswer;
  }
  bool GetInitialMessage(size_t i, std::u16string* p) override {
    *p = u"[para " + std::u16string(1, char16_t(u'0' + i)) + u"]";
    return m[i].initialAnswer;
  }
  void EnableAutoCheck(size_t i, bool on) override { Log(on ? "Enable 1" : "Enable 0", i); }
  bool HasDoNotify(size_t i) const override { return m[i].hasDoNotify; }
  void DoNotify(size_t i, uint16_t code) override {
    Log(("DoNotify " + std::to_string(code)).c_str(), i);
    if (m[i].onDoNotify) m[i].onDoNotify();
  }
  PageGeometry GetPageGeometry(size_t) override { return PageGeometry{}; }
  void HTMLOnShow(size_t i) override { Log("OnShow", i); }
  void HTMLOnClose(size_t i) override {
    Log("OnClose", i);
    if (m[i].onClose) m[i].onClose();
  }
  bool MiniPopupOffset(size_t i, int* dx, int* dy) override {
    Log("MiniOffset", i);
    if (!m[i].miniOffset) return false;
    *dx = m[i].miniOffset->first;
    *dy = m[i].miniOffset->second;
    return true;
  }

  int Count(const std::string& call) const {
    int n = 0;
    for (const std::string& c : calls) n += c == call;
    return n;
  }

 private:
  void Log(const char* what, size_t i) { calls.push_back(std::string(what) + " " + std::to_string(i)); }
  static CheckAnswer Take(std::deque<CheckAnswer>& q, uint32_t otherwise) {
    if (q.empty()) return CheckAnswer{otherwise};
    CheckAnswer a = q.front();
    q.pop_front();
    return a;
  }
};

class FakePresenter : public IPresenter {
 public:
  int beeps = 0, refusals = 0, miniShows = 0, miniCloses = 0, toasts = 0, noNotifications = 0, pagesShown = 0;
  bool fullScreen = false, toastsAvailable = false, pageOk = true;
  FirstRunAnswer answer = FirstRunAnswer::Yes;
  std::u16string question, lastPage;
  std::vector<size_t> miniLines;  // filled slots at the last show
  std::pair<int, int> offset;
  TrayIcon tray = TrayIcon::Normal;
  std::u16string tip;
  int saves = 0;

  std::u16string Text(HostText id) override {
    switch (id) {
      case HostText::TrayTip: return u"Tellwick";
      case HostText::PendingTip: return u"Tellwick\nClick to display information.";
      case HostText::FirstRunLine: return u"1 Notification From Velmorant.";
      case HostText::FirstRunIntro: return u"intro;";
      case HostText::FirstRunAsk: return u";ask";
      default: return u"?";
    }
  }
  void Beep() override { ++beeps; }
  void RefusalBeep() override { ++refusals; }
  bool ShowMiniPopup(const NotificationList& list, int dx, int dy) override {
    ++miniShows;
    offset = {dx, dy};
    miniLines.clear();
    for (size_t i = 0; i < list.size(); ++i)
      if (list.IsFilled(i)) miniLines.push_back(i);
    return true;
  }
  void CloseMiniPopup() override { ++miniCloses; }
  bool ForegroundFillsScreen() override { return fullScreen; }
  bool ToastsAvailable() override { return toastsAvailable; }
  void RaiseToast(int) override { ++toasts; }
  bool ShowPage(const std::u16string& path, const PageGeometry&, uint32_t) override {
    ++pagesShown;
    lastPage = path;
    return pageOk;
  }
  void HidePage() override {}
  void BringPageToFront() override {}
  void SetTray(TrayIcon icon, const std::u16string& t) override {
    tray = icon;
    tip = t;
  }
  void ShowNoNotifications() override { ++noNotifications; }
  FirstRunAnswer AskFirstRun(const std::u16string& text) override {
    question = text;
    return answer;
  }
  void SaveSettings() override { ++saves; }
};

CheckAnswer Page(const char16_t* text, uint32_t flags = 0) { return {kKindPage | flags, text, u"C:\\page.htm", 0}; }
CheckAnswer Action(const char16_t* text, uint16_t code, uint32_t flags = 0) { return {kKindAction | flags, text, u"", code}; }
CheckAnswer Nothing() { return {kKindNothing}; }

struct Host {
  FakeModules modules;
  FakePresenter presenter;
  HostSettings settings;
  ModuleManager manager;
  explicit Host(size_t n, HostSettings s = ReadyDefaults())
      : modules(n), settings(s), manager(modules, presenter, settings) {}
  static HostSettings ReadyDefaults() {
    HostSettings s;
    s.read = true;
    s.initialDlgShown = 1;  // no first-run probe unless a test asks for it
    return s;
  }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) manager.Tick();
  }
};
}  // namespace

TEST(Scheduling, ChecksEveryIntervalPlusOneTicks) {
  struct Case {
    uint32_t interval;
    int ticks;
    std::vector<int> checkedAt;
  } cases[] = {
      {0, 3, {1, 2, 3}},
      {2, 9, {3, 6, 9}},
      {60, 123, {61, 122}},
      {kIntervalNever, 200, {}},
  };
  for (const Case& c : cases) {
    Host h(1);
    h.modules.m[0].interval = c.interval;
    std::vector<int> at;
    for (int t = 1; t <= c.ticks; ++t) {
      const size_t before = h.modules.calls.size();
      h.manager.Tick();
      if (h.modules.calls.size() > before) at.push_back(t);
    }
    EXPECT_EQ(at, c.checkedAt) << "interval " << c.interval;
  }
}

TEST(Scheduling, PausedClockRunsNoChecksAndCheckNowOnlyBeeps) {
  Host h(1);
  h.modules.m[0].interval = 0;
  h.manager.SetPaused(true);
  h.Ticks(5);
  h.manager.CheckNow();
  EXPECT_TRUE(h.modules.calls.empty());
  EXPECT_EQ(h.presenter.refusals, 1);
  h.manager.SetPaused(false);
  h.manager.Tick();
  EXPECT_EQ(h.modules.Count("AutoCheck 0"), 1);
}

TEST(Scheduling, ADueCheckWaitsForThePageAndRunsOnTheFirstTickAfter) {
  Host h(1);
  h.modules.m[0].interval = 1;
  h.modules.m[0].autoAnswers = {Page(u"page", kFlagShowNow)};
  h.Ticks(2);  // checked at tick 2, opened at once
  ASSERT_EQ(h.manager.PageSlot(), std::optional<size_t>(0));
  h.Ticks(6);
  EXPECT_EQ(h.modules.Count("AutoCheck 0"), 1) << "no check while the page is on screen";
  h.manager.PageClosed();
  EXPECT_EQ(h.modules.Count("OnClose 0"), 1);
  h.manager.Tick();
  EXPECT_EQ(h.modules.Count("AutoCheck 0"), 2) << "retried on the first tick after the close";
}

TEST(AutomaticPass, TwoPagesGiveOneBeepAndOneMiniPopupWithTwoLines) {
  Host h(3);
  h.settings.beepSound = 1;
  h.modules.m[0].interval = h.modules.m[2].interval = 0;
  h.modules.m[0].autoAnswers = {Page(u"a")};
  h.modules.m[2].autoAnswers = {Page(u"c", kFlagWarning)};
  h.manager.Tick();
  EXPECT_EQ(h.presenter.beeps, 1);
  EXPECT_EQ(h.presenter.miniShows, 1);
  EXPECT_EQ(h.presenter.miniLines, (std::vector<size_t>{0, 2}));
  EXPECT_EQ(h.presenter.tray, TrayIcon::Normal) << "no pending icon while the mini popup lists them";
}

TEST(AutomaticPass, NothingWithdrawsTheLineAndKeepLeavesIt) {
  Host h(1);
  h.modules.m[0].interval = 0;
  h.modules.m[0].autoAnswers = {Page(u"a"), {kKindKeep}, {0x0007}, Nothing()};
  h.manager.Tick();
  h.manager.MiniPopupClosed();  // the user closed the list: the icon shows it is pending
  EXPECT_EQ(h.presenter.tray, TrayIcon::Pending);
  h.Ticks(2);  // keep, then an unknown kind: nothing changes
  EXPECT_TRUE(h.manager.list().IsFilled(0));
  h.manager.Tick();
  EXPECT_FALSE(h.manager.list().IsFilled(0));
  EXPECT_EQ(h.presenter.tray, TrayIcon::Normal);
}

TEST(AutomaticPass, WithdrawingTheOnlyLineClosesTheMiniPopup) {
  Host h(1);
  h.modules.m[0].interval = 0;
  h.modules.m[0].autoAnswers = {Page(u"a"), Nothing()};
  h.Ticks(2);
  EXPECT_EQ(h.presenter.miniCloses, 1);
  EXPECT_FALSE(h.manager.MiniPopupShown());
}

TEST(AutomaticPass, ShowNowOpensThePageWithoutMiniPopupOrBeep) {
  Host h(1);
  h.settings.beepSound = 1;
  h.presenter.toastsAvailable = true;
  h.modules.m[0].interval = 0;
  h.modules.m[0].autoAnswers = {Page(u"now", kFlagShowNow)};
  h.manager.Tick();
  EXPECT_EQ(h.presenter.pagesShown, 1);
  EXPECT_EQ(h.modules.Count("OnShow 0"), 1);
  EXPECT_EQ(h.presenter.miniShows, 0);
  EXPECT_EQ(h.presenter.beeps, 0);
  EXPECT_EQ(h.presenter.toasts, 1) << "the show-now toast";
  EXPECT_FALSE(h.manager.list().IsFilled(0));
}

TEST(AutomaticPass, FullScreenWindowGetsBeepAndToastButNoMiniPopup) {
  Host h(1);
  h.settings.beepSound = 1;
  h.presenter.fullScreen = h.presenter.toastsAvailable = true;
  h.modules.m[0].interval = 0;
  h.modules.m[0].autoAnswers = {Page(u"a")};
  h.manager.Tick();
  EXPECT_EQ(h.presenter.beeps, 1);
  EXPECT_EQ(h.presenter.toasts, 1);
  EXPECT_EQ(h.presenter.miniShows, 0);
  EXPECT_EQ(h.presenter.tray, TrayIcon::Pending);
}

TEST(AutomaticPass, MiniPopupHidesAfterItsTimeAndNeverWithZero) {
  for (uint32_t minutes : {3u, 0u}) {
    Host h(1);
    h.settings.miniPopupTime = minutes;
    h.modules.m[0].interval = 0;
    h.modules.m[0].autoAnswers = {Page(u"a")};
    h.manager.Tick();  // shown on tick 1
    h.Ticks(180);
    EXPECT_TRUE(h.manager.MiniPopupShown()) << minutes;
    h.manager.Tick();
    EXPECT_EQ(h.manager.MiniPopupShown(), minutes == 0) << "hidden on the first tick past 180";
  }
}

TEST(AutomaticPass, MiniPopupTouchedByTheUserStaysUntilDismissed) {
  Host h(1);
  h.settings.miniPopupTime = 1;
  h.modules.m[0].manualAnswers = {Page(u"a")};
  h.manager.CheckNow();
  h.manager.KeepMiniPopup();
  h.Ticks(200);
  EXPECT_TRUE(h.manager.MiniPopupShown());
  h.manager.DismissAll();
  EXPECT_FALSE(h.manager.MiniPopupShown());
  EXPECT_EQ(h.presenter.tray, TrayIcon::Normal);
}

TEST(MiniPopup, OffsetIsTheLargestAskedForByModulesWithALine) {
  Host h(3);
  h.modules.m[0].miniOffset = {{96, 0}};
  h.modules.m[1].miniOffset = {{10, 40}};
  h.modules.m[2].miniOffset = {{500, 500}};  // nothing pending: not asked
  h.modules.m[0].manualAnswers = {Page(u"a")};
  h.modules.m[1].manualAnswers = {Page(u"b")};
  h.manager.CheckNow();
  EXPECT_EQ(h.presenter.offset, std::make_pair(96, 40));
  EXPECT_EQ(h.modules.Count("MiniOffset 2"), 0);
  h.manager.DisplayChanged();
  EXPECT_EQ(h.presenter.miniShows, 2) << "placed again";
  EXPECT_EQ(h.presenter.miniCloses, 1);
}

TEST(MiniPopup, TrayClickShowsListPersistentOrNothing) {
  Host h(2);
  EXPECT_FALSE(h.manager.TrayActivated()) << "nothing pending: the menu opens instead";
  h.modules.m[0].manualAnswers = {Page(u"a")};
  h.manager.CheckNow();
  h.manager.MiniPopupClosed();
  EXPECT_TRUE(h.manager.TrayActivated());
  EXPECT_TRUE(h.manager.MiniPopupShown());
  EXPECT_EQ(h.presenter.miniShows, 2);
  EXPECT_FALSE(h.manager.TrayActivated()) << "already shown, nothing persistent";
  EXPECT_EQ(h.presenter.miniShows, 2);
  h.modules.m[1].manualAnswers = {Action(u"held", 3, kFlagPersistent)};
  h.manager.CheckModule(1);
  EXPECT_TRUE(h.manager.TrayActivated()) << "the persistent line opens";
  EXPECT_EQ(h.modules.Count("DoNotify 3 1"), 1);
}

TEST(ManualCheck, AllWithNothingSaysSoButOneModuleStaysQuiet) {
  Host h(2);
  h.manager.CheckNow();
  EXPECT_EQ(h.presenter.noNotifications, 1);
  h.manager.CheckModule(1);
  EXPECT_EQ(h.presenter.noNotifications, 1);
  EXPECT_EQ(h.modules.Count("ManualCheck 1"), 2);
  h.manager.CheckModule(2);  // not a loaded module's index
  h.manager.CheckModule(static_cast<uintptr_t>(-1));
  EXPECT_EQ(h.modules.calls.size(), 3u);
}

TEST(ManualCheck, NothingLeavesAPendingLineAndKeepShowsItAgain) {
  Host h(1);
  h.modules.m[0].manualAnswers = {Page(u"a"), Nothing(), {kKindKeep}};
  h.settings.miniPopup = 0;  // a manual check shows the list whatever the setting
  h.manager.CheckNow();
  EXPECT_EQ(h.presenter.miniShows, 1);
  h.manager.MiniPopupClosed();
  h.manager.CheckNow();
  EXPECT_TRUE(h.manager.list().IsFilled(0));
  EXPECT_EQ(h.presenter.noNotifications, 1);
  h.manager.CheckNow();
  EXPECT_EQ(h.presenter.miniShows, 2);
}

TEST(ManualCheck, AnUnknownKindLeavesNoUnopenableLine) {
  Host h(1);
  h.modules.m[0].manualAnswers = {Page(u"a"), {0x0007 | kFlagPersistent, u"junk", u""}};
  h.manager.CheckNow();
  h.manager.CheckNow();
  ASSERT_TRUE(h.manager.list().IsFilled(0)) << "the earlier line stays";
  EXPECT_TRUE(h.manager.list().at(0).text == u"a");
  EXPECT_NE(h.presenter.tray, TrayIcon::Alert);
}

TEST(OpenNotification, ActionCallsDoNotifyOnceWithTheCode) {
  Host h(2);
  h.modules.m[0].manualAnswers = {Action(u"act", 0xFFFF)};
  h.modules.m[1].manualAnswers = {Action(u"orphan", 3)};
  h.modules.m[1].hasDoNotify = false;
  h.manager.CheckNow();
  h.manager.Open(0);
  h.manager.Open(0);
  EXPECT_EQ(h.modules.Count("DoNotify 65535 0"), 1);
  h.manager.Open(1);
  EXPECT_TRUE(h.manager.list().IsFilled(1)) << "stays pending without WickpostDoNotify";
}

TEST(OpenNotification, APageOpenedDuringDoNotifyKeepsItsClose) {
  // Inside module 0's DoNotify a tick opens module 1's show-now page. When DoNotify
  // returns, the page must still be the one on screen, and its close must reach module 1.
  Host h(2);
  h.modules.m[0].manualAnswers = {Action(u"act", 1)};
  h.modules.m[1].interval = 0;
  h.modules.m[1].autoAnswers = {Nothing(), Page(u"urgent", kFlagShowNow)};
  h.manager.CheckModule(0);
  h.manager.Tick();
  h.modules.m[0].onDoNotify = [&] { h.manager.Tick(); };
  h.manager.Open(0);
  ASSERT_EQ(h.manager.PageSlot(), std::optional<size_t>(1));
  h.manager.PageClosed();
  EXPECT_EQ(h.modules.Count("OnClose 1"), 1);
  EXPECT_EQ(h.manager.PageSlot(), std::nullopt);
}

TEST(OpenNotification, ModuleBusyInDoNotifyIsNotCheckedAndItsNewLineSurvives) {
  Host h(1);
  h.modules.m[0].interval = 0;
  h.modules.m[0].autoAnswers = {Action(u"act", 1), Page(u"next")};
  h.manager.Tick();
  h.modules.m[0].onDoNotify = [&] {
    h.manager.Tick();  // postponed: the module is busy
    h.manager.CheckNow();  // skipped likewise
  };
  h.manager.Open(0);
  EXPECT_EQ(h.modules.Count("AutoCheck 0"), 1);
  EXPECT_EQ(h.modules.Count("ManualCheck 0"), 0);
  h.modules.m[0].onDoNotify = nullptr;
  h.manager.Tick();
  EXPECT_TRUE(h.manager.list().IsFilled(0)) << "the retried check lists its page";
}

TEST(OpenNotification, ModuleInItsPageCloseIsNotChecked) {
  // The module's close runs a nested message loop: ticks and a check-now reach the manager.
  for (const bool dismissed : {false, true}) {
    Host h(1);
    h.modules.m[0].interval = 0;
    h.modules.m[0].manualAnswers = {Page(u"page", dismissed ? 0 : kFlagShowNow)};
    h.manager.CheckModule(0);
    ASSERT_EQ(h.manager.PageSlot().has_value(), !dismissed);
    h.modules.m[0].onClose = [&] {
      h.manager.Tick();
      h.manager.CheckNow();
    };
    if (dismissed)
      h.manager.DismissAll();
    else
      h.manager.PageClosed();
    EXPECT_EQ(h.modules.Count("OnClose 0"), 1);
    EXPECT_EQ(h.modules.Count("AutoCheck 0"), 0) << "dismissed: " << dismissed;
    EXPECT_EQ(h.modules.Count("ManualCheck 0"), 1) << "only the first";
    h.modules.m[0].onClose = nullptr;
    h.manager.Tick();
    EXPECT_EQ(h.modules.Count("AutoCheck 0"), 1) << "checked on the next tick";
  }
}

TEST(OpenNotification, PersistentLineKeepsTheAlertIconAfterDismissAll) {
  Host h(2);
  h.modules.m[0].manualAnswers = {Page(u"plain")};
  h.modules.m[1].manualAnswers = {Action(u"Battery worn out", 2, kFlagPersistent)};
  h.manager.CheckNow();
  h.manager.DismissAll();
  EXPECT_EQ(h.modules.Count("OnClose 0"), 1);
  EXPECT_EQ(h.modules.Count("OnClose 1"), 0);
  EXPECT_EQ(h.presenter.tray, TrayIcon::Alert);
  EXPECT_TRUE(h.presenter.tip == u"Tellwick\nBattery worn out");
  h.manager.TrayActivated();
  EXPECT_EQ(h.modules.Count("DoNotify 2 1"), 1);
  EXPECT_EQ(h.presenter.tray, TrayIcon::Normal);
}

TEST(Tray, FlashesOnlyWhilePendingAndUnattended) {
  Host h(1);
  h.settings.flashIcon = 1;
  h.modules.m[0].manualAnswers = {Page(u"a")};
  h.manager.CheckNow();
  h.manager.Tick();
  EXPECT_EQ(h.presenter.tray, TrayIcon::Normal) << "the mini popup is up";
  h.manager.MiniPopupClosed();
  h.manager.Tick();
  EXPECT_EQ(h.presenter.tray, TrayIcon::PendingFlash);
  h.manager.Tick();
  EXPECT_EQ(h.presenter.tray, TrayIcon::Pending);
}

TEST(FirstRun, ProbeAt61TicksThenTheQuestion) {
  struct Case {
    FirstRunAnswer answer;
    const char* enableCall;
    uint32_t shown;
  } cases[] = {{FirstRunAnswer::Yes, "Enable 1 0", 1}, {FirstRunAnswer::No, "Enable 0 0", 1},
               {FirstRunAnswer::Cancel, nullptr, 0}};
  for (const Case& c : cases) {
    HostSettings s = Host::ReadyDefaults();
    s.initialDlgShown = 0;
    Host h(2, s);
    h.modules.m[0].hasInitialMessage = h.modules.m[0].initialAnswer = true;
    h.modules.m[1].enabled = false;
    h.modules.m[1].hasInitialMessage = true;
    h.presenter.answer = c.answer;
    h.Ticks(60);
    EXPECT_EQ(h.modules.Count("Probe 0"), 0);
    h.manager.Tick();
    EXPECT_EQ(h.modules.Count("Probe 0"), 1);
    EXPECT_EQ(h.modules.Count("Probe 1"), 0) << "switched-off modules are not asked";
    const size_t host = h.manager.HostSlot();
    ASSERT_TRUE(h.manager.list().IsFilled(host));
    EXPECT_TRUE(h.manager.list().at(host).text == u"1 Notification From Velmorant.");
    h.manager.Open(host);
    EXPECT_TRUE(h.presenter.question == u"intro;[para 0];ask");
    EXPECT_EQ(h.settings.initialDlgShown, c.shown);
    if (c.enableCall) {
      EXPECT_EQ(h.modules.Count(c.enableCall), 1);
    }
    EXPECT_EQ(h.modules.Count("Enable 1 1") + h.modules.Count("Enable 0 1"), c.enableCall ? 1 : 0);
    EXPECT_FALSE(h.manager.list().IsFilled(host));
    h.Ticks(100);
    EXPECT_EQ(h.modules.Count("Probe 0"), 1) << "one probe per process";
  }
}

TEST(FirstRun, NothingToAskMarksItAnsweredAndDisabledNeverProbes) {
  HostSettings s = Host::ReadyDefaults();
  s.initialDlgShown = 0;
  Host h(1, s);
  h.modules.m[0].hasInitialMessage = true;  // answers "nothing to give"
  h.Ticks(61);
  EXPECT_EQ(h.settings.initialDlgShown, 1u);
  EXPECT_EQ(h.presenter.saves, 1);

  s.initialDlgEnable = 0;
  Host off(1, s);
  off.modules.m[0].hasInitialMessage = off.modules.m[0].initialAnswer = true;
  off.Ticks(200);
  EXPECT_TRUE(off.modules.calls.empty());
}
