#include <gtest/gtest.h>

#include "modules/web/web_startup.h"
#include "tests/web/sched_test_util.h"

namespace {

using namespace web;
using webtest::FakeDriver;
using webtest::FakeStore;
using webtest::Notebook;

struct FakeProbe : IPreinstallProbe {
  std::optional<std::string> head;
  std::optional<std::vector<std::array<uint8_t, 8>>> table;
  std::optional<std::string> VersionFileHead() override { return head; }
  std::optional<std::vector<std::array<uint8_t, 8>>> BiosTable() override { return table; }
};

InitRecord Record() {
  InitRecord r;
  r.present = true;
  r.cbSize = 24;
  r.version = 3;
  r.driverClientEnd = 24;
  return r;
}

const OperatorSettings kOperator{u"support.test", {u"S"}};

TEST(Start, ModelSuffixChoosesTheFeedOrRefusesTheModel) {
  struct Case {
    const char* model;
    int rc;
    const char16_t* url;
  } cases[] = {{"QZS10ABC", 0, u"http://support.test/s/wkpt.xml"},
               {"QZS10ABP", 0, u"http://support.test/r/wkpt.xml"},
               {"QZS10ABX", -252, u""}};
  for (const Case& c : cases) {
    FakeDriver d = Notebook();
    d.identity[1] = c.model;
    FakeProbe probe;
    FakeStore store;
    InitRecord r = Record();
    StartState s;
    EXPECT_EQ(Start(r, &d, probe, store, kOperator, s), c.rc) << c.model;
    EXPECT_EQ(s.feedUrl, c.url) << c.model;
  }
}

TEST(Start, RecordAndDriverFailures) {
  FakeProbe probe;
  FakeStore store;
  StartState s;
  FakeDriver d = Notebook();
  InitRecord r = Record();
  r.cbSize = 20;
  EXPECT_EQ(Start(r, &d, probe, store, kOperator, s), -254);
  r = Record();
  EXPECT_EQ(Start(r, nullptr, probe, store, kOperator, s), -251);
  d.identity.erase(2);
  EXPECT_EQ(Start(r, &d, probe, store, kOperator, s), -251);
}

TEST(Start, DefaultEnablementFromTheImageAndTheMenu) {
  struct Case {
    std::optional<std::string> head;
    std::optional<std::vector<std::array<uint8_t, 8>>> table;
    const char* model;
    std::optional<uint32_t> userEnable;
    uint32_t enable, setupEnable, interval;
  } cases[] = {
      {"V1\r\nJPN\r\n", std::nullopt, "QZS10ABP", std::nullopt, 1, 1, 60},
      {"V1\r\nUSA\r\n", std::nullopt, "QZS10ABP", std::nullopt, 0, 0, 0},
      {std::nullopt, std::vector<std::array<uint8_t, 8>>{{14, 0, 0, 0, 0, 0, 1, 0}}, "QZS10ABR", std::nullopt, 1, 1, 60},
      {std::nullopt, std::nullopt, "QZS10ABP", std::nullopt, 0, 0, 0},  // no probe answers
      {"V1\r\nJPN\r\n", std::nullopt, "QZS10ABC", std::nullopt, 0, 0, 0},
      {"V1\r\nJPN\r\n", std::nullopt, "QZT10ABP", std::nullopt, 0, 0, 0},  // series not listed
      {"V1\r\nUSA\r\n", std::nullopt, "QZS10ABP", 1u, 1, 0, 60},           // the user's switch
  };
  for (const Case& c : cases) {
    FakeDriver d = Notebook();
    d.identity[1] = c.model;
    FakeProbe probe;
    probe.head = c.head;
    probe.table = c.table;
    FakeStore store;
    if (c.userEnable) store.user[u"Enable"] = *c.userEnable;
    InitRecord r = Record();
    StartState s;
    ASSERT_EQ(Start(r, &d, probe, store, kOperator, s), 0) << c.model;
    EXPECT_EQ(s.settings.Get(kEnable), c.enable) << c.model;
    EXPECT_EQ(s.settings.setupEnable(), c.setupEnable) << c.model;
    EXPECT_EQ(r.checkInterval, c.interval) << c.model;
    EXPECT_EQ(r.menuItemCount, c.interval ? 2 : 0) << c.model;
  }
}

TEST(Answers, NotConnectedAndPage) {
  const kit::CheckAnswer nc = NotConnectedAnswer(u"not connected");
  EXPECT_EQ(nc.result, 0x20000002u);
  EXPECT_EQ(nc.code, 0xFFFF);
  EXPECT_EQ(nc.text, u"not connected");
  const kit::CheckAnswer page = PageAnswer(u"there are %d notices", 12, u"C:\\t\\WKP1.tmp");
  EXPECT_EQ(page.result, 1u);
  EXPECT_EQ(page.text, u"there are 12 notices");
  EXPECT_EQ(page.page, u"C:\\t\\WKP1.tmp");
}

TEST(SettingsPage, MinuteListAndEnabling) {
  EXPECT_EQ(MinuteIndex(0), 0);
  EXPECT_EQ(MinuteIndex(14), 0);
  EXPECT_EQ(MinuteIndex(15), 1);
  EXPECT_EQ(MinuteIndex(45), 3);
  EXPECT_EQ(MinuteIndex(59), 3);
  EXPECT_EQ(MinuteOfIndex(2), 30u);
  EXPECT_EQ(MinuteOfIndex(-1), 0u);  // no selection
  EXPECT_TRUE(EnablingFor(true, kMethodFixedTime).time);
  EXPECT_FALSE(EnablingFor(true, kMethodOnConnection).time);
  EXPECT_TRUE(EnablingFor(true, kMethodOnConnection).choices);
  EXPECT_FALSE(EnablingFor(false, kMethodFixedTime).time);
  EXPECT_FALSE(EnablingFor(false, kMethodFixedTime).choices);
}

}  // namespace
