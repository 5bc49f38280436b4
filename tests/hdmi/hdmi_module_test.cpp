// The HDMI module's rules over the real command display, the helper's protocol core and the
// simulated graphics driver.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/hdmi/hdmi_fakes.h"

namespace {
using hdmitest::Files;
using hdmitest::Host;
using hdmitest::Opener;
using hdmitest::Store;
using Events = std::vector<std::string>;

const char kTvKind1[] =
    "[display]\ndisplay0 = 0x1001 1920 1080 32 hdmi\ndisplay0.monitor = VEL0A01 cea VelmorantTV1\n"
    "scaling = 100 5 100 4\n";
const char kExtended[] =
    "[display]\nmode = 5\ndisplay0 = 0x400 1366 768 32 panel\ndisplay1 = 0x80000001 1920 1080 32 hdmi\n"
    "display1.monitor = ABC1234 cea\n";
const char kPanelOnly[] = "[display]\ndisplay0 = 0x400 1366 768 32 panel\n";

std::string Single(const std::string& monitor) {
  return "[display]\ndisplay0 = 0x1001 1920 1080 32 hdmi\ndisplay0.monitor = " + monitor + "\nscaling = 100 5 100 4\n";
}

struct Rig {
  explicit Rig(const std::string& scenario, bool notify = true)
      : opener(scenario), module({opener, store, host, files}, hdmitest::TestTexts(), notify) {
    EXPECT_TRUE(opener.ok);
  }
  // What the host does after the module's timer: the manual check.
  kit::CheckAnswer Trigger() {
    module.OnTimer();
    return module.ManualCheck(260);
  }
  Opener opener;
  Store store;
  Host host;
  Files files;
  hdmi::Module module;
};

TEST(HdmiEdid, IdentityKeyAndClassification) {
  hdmi::Edid e{};
  const auto built = sim::BuildEdid("ABC1234", true, "");
  std::copy(built.begin(), built.end(), e.begin());
  EXPECT_EQ(hdmi::PnpId(e), u"ABC1234");
  EXPECT_EQ(hdmi::MonitorKey(u"ABC1234", 5, 1, 2), u"ABC1234#5#1#2");
  EXPECT_EQ(hdmi::MonitorKey(u"ABC1234", 0xA, 0, 1), u"ABC1234#A#0#1");

  struct Case {
    bool cea;
    const char* text;
    int tag;  // the first extension's tag; -1: as built
    int state;
  } cases[] = {
      {false, "VelmorantTV0", -1, hdmi::kMonitor}, {true, "", -1, hdmi::kTv},
      {true, "VelmorantTV0", -1, hdmi::kMakerFullHd}, {true, "VelmorantTV1", -1, hdmi::kMakerTv},
      {true, "VelmorantTV2", -1, hdmi::kMakerTvQuiet}, {true, "VelmorantTV9", -1, hdmi::kTv},
      {true, "velmorantTV0", -1, hdmi::kTv},           {true, "VelmorantTV0", 3, hdmi::kMonitor},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    hdmi::Edid edid{};
    const auto b = sim::BuildEdid("VEL0A01", c.cea, c.text);
    std::copy(b.begin(), b.end(), edid.begin());
    if (c.tag >= 0) edid[128] = uint8_t(c.tag);
    EXPECT_EQ(hdmi::Classify(edid), c.state);
  }
}

TEST(HdmiEdid, ReplyParsers) {
  EXPECT_EQ(hdmi::ParseHexReply("80000001"), 0x80000001u);
  EXPECT_EQ(hdmi::ParseHexReply("ERROR: HDMI Monitor not found."), std::nullopt);
  EXPECT_EQ(hdmi::ParseHexReply("zz"), std::nullopt);
  EXPECT_EQ(hdmi::ParseDecimalReply("75"), 75);
  EXPECT_EQ(hdmi::ParseDecimalReply("-1"), -1);
  EXPECT_EQ(hdmi::ParseDecimalReply("ERROR: x"), std::nullopt);
  const hdmi::Edid e = hdmi::DecodeEdidReply("00ffA0x1");
  EXPECT_EQ(e[0], 0x00);
  EXPECT_EQ(e[1], 0xff);
  EXPECT_EQ(e[2], 0xa0);
  EXPECT_EQ(e[3], 0x00);  // stops at "x1"
  EXPECT_EQ(hdmi::ValidOverride(5u), 5);
  for (uint32_t bad : {2u, 7u, 0xFFFFFFFFu}) EXPECT_EQ(hdmi::ValidOverride(bad), std::nullopt) << bad;
}

TEST(HdmiEdid, ModelPattern) {
  EXPECT_EQ(hdmi::CheckModel("PT-15KB3456CD"), 0);
  EXPECT_EQ(hdmi::CheckModel("RX-7WQ2210HJ5800"), -251);
  EXPECT_EQ(hdmi::CheckModel("PT-15KB3456CD", "({"), -252);
}

// Whole lines whatever pieces the pipe delivers; what follows a line waits for the next.
TEST(HdmiLines, SplitAndLateRepliesStayInStep) {
  hdmi::LineAssembler a;
  std::string line;
  const std::string first = "800", rest = "00001\r\n5\n";
  a.Add(first.data(), first.size());
  EXPECT_FALSE(a.Take(line));
  a.Add(rest.data(), rest.size());
  ASSERT_TRUE(a.Take(line));
  EXPECT_EQ(line, "80000001");
  ASSERT_TRUE(a.Take(line));
  EXPECT_EQ(line, "5");
  EXPECT_FALSE(a.Take(line));
  EXPECT_TRUE(a.Empty());
}

// First connection: key seen, first-time settings written, the timer, then the answer.
TEST(HdmiModule, FirstConnectionSetsUpTheTelevisionAndNotifies) {
  struct Case {
    std::string scenario;
    int state;
    const char* key;
    const char* writes;
    uint32_t result;
  } cases[] = {
      {kTvKind1, 3, "VEL0A01#1#0#1",
       "config mode=1 primary=00001001,1280,720,0,32,64 secondary=00000000,0,0,0,0,0\nscaling uid=00001001 h=75 v=72\n",
       hdmi::kCheckAction},
      {Single("VEL0A01 cea VelmorantTV2"), 4, "VEL0A01#1#0#1",
       "config mode=1 primary=00001001,1280,720,0,32,64 secondary=00000000,0,0,0,0,0\nscaling uid=00001001 h=75 v=72\n",
       kit::kCheckNothing},
      {"[display]\ndisplay0 = 0x1001 1280 720 32 hdmi\ndisplay0.monitor = VEL0A01 cea VelmorantTV0\n"
       "scaling = 90 5 90 4\n",
       5, "VEL0A01#1#0#1",
       "config mode=1 primary=00001001,1920,1080,0,32,64 secondary=00000000,0,0,0,0,0\nscaling uid=00001001 h=100 v=100\n",
       kit::kCheckPage},
      {Single("ABC1234 cea"), 1, "ABC1234#1#0#1", "", hdmi::kCheckAction},
      {Single("ABC1234"), 6, "ABC1234#1#0#1", "", kit::kCheckNothing},
      {kExtended, 1, "ABC1234#5#1#2", "", hdmi::kCheckAction},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key + std::to_string(c.state));
    Rig r(c.scenario);
    r.module.Detect();
    EXPECT_EQ(r.module.State(), c.state);
    EXPECT_EQ(r.store.known[std::u16string(c.key, c.key + std::strlen(c.key))], 1u);
    EXPECT_EQ(r.opener.log, c.writes);
    const bool notifies = c.result != kit::kCheckNothing;
    EXPECT_EQ(r.host.Take(), notifies ? Events{"timer"} : Events{});
    if (!notifies) continue;
    const kit::CheckAnswer a = r.Trigger();
    EXPECT_EQ(a.result, c.result);
    if (c.result == hdmi::kCheckAction) {
      EXPECT_EQ(a.code, c.state);
      EXPECT_EQ(a.text, u"action line");
    } else {
      EXPECT_EQ(a.text, u"page line");
      ASSERT_EQ(r.files.pages.count(a.page), 1u);
      EXPECT_NE(r.files.pages[a.page].find("<base href=\"file:///C:/Program Files/Tellwick/\">"), std::string::npos);
    }
    EXPECT_TRUE(r.module.NotificationPending());
  }
}

// Known 1: notifies again, changes nothing. Known 2: nothing at all.
TEST(HdmiModule, KnownMonitorStates) {
  for (uint32_t known : {1u, 2u}) {
    SCOPED_TRACE(known);
    Rig r(kTvKind1);
    r.store.known[u"VEL0A01#1#0#1"] = known;
    r.module.Detect();
    EXPECT_EQ(r.opener.log, "");
    EXPECT_EQ(r.host.Take(), known == 1 ? Events{"timer"} : Events{});
    EXPECT_EQ(r.store.known[u"VEL0A01#1#0#1"], known);
  }
}

// Opening the page or the panel marks the monitor handled; the page closing deletes its file.
TEST(HdmiModule, ShownPageMarksHandledAndGoesOnClose) {
  Rig r(Single("VEL0A01 cea VelmorantTV0"));
  r.module.Detect();
  const kit::CheckAnswer a = r.Trigger();
  ASSERT_EQ(a.result, kit::kCheckPage);
  r.module.OnShow();
  EXPECT_EQ(r.store.known[u"VEL0A01#1#0#1"], 2u);
  r.module.OnClose();
  EXPECT_TRUE(r.files.pages.empty());
  EXPECT_FALSE(r.module.NotificationPending());
}

TEST(HdmiModule, OverrideDisplayIsValidated) {
  struct Case {
    uint32_t value;
    int state;
  } cases[] = {{5, 5}, {4, 4}, {0, 0}, {2, 1}, {7, 1}, {0x80000005u, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    Rig r("[display]\ndisplay0 = 0x1001 1280 720 32 hdmi\ndisplay0.monitor = ABC1234 cea\n");
    r.store.override_ = c.value;
    r.module.Detect();
    EXPECT_EQ(r.module.State(), c.state);
    EXPECT_EQ(r.opener.log.find("1920,1080") != std::string::npos, c.state == 5);
  }
}

// Unplugged: a listed line is withdrawn; a shown page closes; an open panel is destroyed.
TEST(HdmiModule, UnpluggingWithdraws) {
  Rig r(kTvKind1);
  r.module.Detect();
  ASSERT_EQ(r.Trigger().result, hdmi::kCheckAction);
  r.host.Take();
  r.opener.Plug(kPanelOnly);
  r.module.OnDisplayChange();
  EXPECT_EQ(r.module.State(), 0);
  EXPECT_EQ(r.host.Take(), Events{"withdraw"});
  EXPECT_FALSE(r.module.NotificationPending());
  EXPECT_EQ(r.module.ManualCheck(260).result, kit::kCheckNothing);

  Rig page(Single("VEL0A01 cea VelmorantTV0"));
  page.module.Detect();
  ASSERT_EQ(page.Trigger().result, kit::kCheckPage);
  page.module.OnShow();
  page.host.Take();
  page.opener.Plug("[display]\ngraphics = no\n");
  page.module.OnDisplayChange();
  EXPECT_EQ(page.host.Take(), (Events{"closepopup", "withdraw"}));

  Rig panel(kTvKind1);
  panel.module.Detect();
  panel.host.panel = true;
  panel.host.Take();
  panel.opener.Plug(kPanelOnly);
  panel.module.OnDisplayChange();
  EXPECT_EQ(panel.host.Take(), Events{"destroypanel"});
}

// The module's own resolution change (which Windows announces with WM_DISPLAYCHANGE while
// it is made) does not run the detection within it, but once it is over: a television
// plugged in meanwhile is not missed.
TEST(HdmiModule, DisplayChangeDuringOwnChangeIsDetectedAfter) {
  Rig r(kTvKind1);
  int nested = 0;
  r.opener.onWrite = [&](const std::string&) {
    ++nested;
    r.module.OnDisplayChange();
  };
  r.module.Detect();
  EXPECT_EQ(nested, 2);
  EXPECT_EQ(r.opener.opens, 1);
  EXPECT_EQ(r.host.Take(), (Events{"detect", "timer"}));

  // Meanwhile the arrangement became an extended desktop: the posted detection finds it.
  r.opener.onWrite = nullptr;
  r.opener.Plug(kExtended);
  r.module.OnDisplayChange();
  EXPECT_EQ(r.store.known[u"ABC1234#5#1#2"], 1u);
  EXPECT_EQ(r.module.CurrentKey(), u"ABC1234#5#1#2");
  EXPECT_EQ(r.host.Take(), Events{"timer"});
}

// Plugged in again before the host's tick took the withdrawal: the new notice keeps the line.
TEST(HdmiModule, ReplugBeforeTheHostsTickKeepsTheLine) {
  Rig r(kTvKind1);
  r.module.Detect();
  ASSERT_EQ(r.Trigger().result, hdmi::kCheckAction);
  r.host.Take();
  r.opener.Plug(kPanelOnly);
  r.module.OnDisplayChange();
  EXPECT_EQ(r.host.Take(), Events{"withdraw"});
  r.opener.Plug(kTvKind1);
  r.module.OnDisplayChange();
  EXPECT_EQ(r.host.Take(), Events{"timer"});
  ASSERT_EQ(r.Trigger().result, hdmi::kCheckAction);
  EXPECT_EQ(r.host.Take(), (Events{"check", "keep"}));
}

// The panel marks the monitor present now: a television notified and gone, then one handled
// before, and the panel opened from the settings page marks only the second.
TEST(HdmiModule, PanelMarksThePresentMonitorOnly) {
  Rig r(Single("ABC1234 cea"));
  r.module.Detect();
  ASSERT_EQ(r.Trigger().result, hdmi::kCheckAction);
  r.opener.Plug(kPanelOnly);
  r.module.OnDisplayChange();
  EXPECT_EQ(r.module.CurrentKey(), u"");
  r.store.known[u"DEF5678#1#0#1"] = 2;
  r.opener.Plug(Single("DEF5678 cea"));
  r.module.OnDisplayChange();
  ASSERT_TRUE(r.module.ShowPanelFromSettings());
  r.module.PanelOpened();
  EXPECT_EQ(r.store.known[u"ABC1234#1#0#1"], 1u) << "never handled";
  EXPECT_EQ(r.store.known[u"DEF5678#1#0#1"], 2u);
}

// The panel: resolution buttons with scaling for the maker's televisions, the revert through
// the same display, and the scaling box's mapping.
TEST(HdmiModule, PanelResolutionRevertAndScaling) {
  Rig r(kTvKind1);
  r.store.known[u"VEL0A01#1#0#1"] = 2;
  r.module.Detect();
  ASSERT_EQ(r.module.State(), 3);
  const auto change = r.module.SetResolution(2, false);
  EXPECT_EQ(change.result, hdmi::ResolutionResult::Changed);
  EXPECT_EQ(change.scalingItem, 1);
  r.opener.log.clear();
  EXPECT_EQ(r.module.Revert(), 0);
  EXPECT_EQ(r.opener.log,
            "config mode=1 primary=00001001,1920,1080,0,32,64 secondary=00000000,0,0,0,0,0\n"
            "scaling uid=00001001 h=100 v=100\n");
  EXPECT_EQ(r.module.Revert(), std::nullopt);  // nothing left to revert

  EXPECT_EQ(r.module.SetResolution(1, true).result, hdmi::ResolutionResult::Changed);
  EXPECT_NE(r.opener.log.find("1360,765"), std::string::npos);

  EXPECT_EQ(r.module.SelectScaling(2), 2);
  EXPECT_EQ(r.module.CurrentScalingItem(), 2);  // 65 rounds to 65 and 64
  struct Case {
    int value, item;
  } cases[] = {{100, 0}, {99, 1}, {75, 1}, {74, 2}, {1, 2}, {0, -1}, {101, -1}};
  for (const Case& c : cases) EXPECT_EQ(hdmi::Module::ItemForScaling(c.value), c.item) << c.value;

  Rig failing("[display]\ndisplay0 = 0x1001 1920 1080 32 hdmi\ndisplay0.monitor = VEL0A01 cea VelmorantTV1\n"
              "scaling = 80 5 80 4\nfail = set-scaling\n");
  failing.module.Detect();
  EXPECT_EQ(failing.module.SelectScaling(2), 1);  // read back: 80
}

TEST(HdmiModule, NotifyOffStopsDetection) {
  Rig r(kTvKind1, false);
  r.module.Detect();
  EXPECT_EQ(r.opener.opens, 0);
  EXPECT_EQ(r.module.State(), 0);
}

}  // namespace
