// Event decoding, register decoding, masks and the user's state, the page's language and the
// custom-text file.
#include <gtest/gtest.h>

#include <cstring>

#include "common/core/model_identity.h"
#include "modules/anomaly/anm_rules.h"
#include "modules/anomaly/anm_text.h"
#include "modules/anomaly/anm_text_ids.h"
#include "modules/kit/native/kit_pugi.h"
#include "tests/anomaly/anm_fakes.h"

using namespace anm;

namespace {
constexpr uint32_t kEc = 0xC123;

TEST(AnmEvents, EachMessageAndParameter) {
  const struct {
    uint32_t message;
    uintptr_t wParam;
    bool active;
    bool recheck, postOnly;
    int session;  // -1 unchanged, 0 inactive, 1 active
  } cases[] = {
      {kEc, 0xC0, true, true, false, -1},
      {kEc, 0xC1, true, true, false, -1},
      {kEc, 0xC2, true, false, false, -1},
      {kEc, 0xC0, false, true, false, -1},  // controller events count in any session
      {kMsgSessionChange, 1, false, true, false, 1},
      {kMsgSessionChange, 3, false, true, false, 1},
      {kMsgSessionChange, 2, true, false, false, 0},
      {kMsgSessionChange, 4, true, false, false, 0},
      {kMsgSessionChange, 5, true, false, false, -1},
      {kMsgPowerBroadcast, 7, true, true, false, -1},
      {kMsgPowerBroadcast, 7, false, false, false, -1},
      {kMsgPowerBroadcast, 18, true, false, false, -1},
      {kMsgSettingsRecheck, 0, true, false, true, -1},
      {0x0400, 0xC0, true, false, false, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.message << " " << c.wParam << " active " << c.active);
    const EventAction a = DecodeEvent(c.message, c.wParam, c.active, kEc);
    EXPECT_EQ(a.recheck, c.recheck);
    EXPECT_EQ(a.postCheckOnly, c.postOnly);
    EXPECT_EQ(a.sessionActive.has_value() ? int(*a.sessionActive) : -1, c.session);
  }
  EXPECT_FALSE(DecodeEvent(0, 0xC0, true, 0).recheck) << "an unregistered message is nobody's";
}

TEST(AnmRegisters, BatteryStatusBytes) {
  const struct {
    uint8_t bytes[4];
    std::optional<Battery> state;
  } cases[] = {
      {{0, 0x02, 0, 0}, Battery::Red},
      {{0, 0x08, 1, 1}, Battery::Red},
      {{0, 0x0B, 1, 2}, Battery::Red},  // red wins over orange
      {{0, 0x01, 1, 2}, Battery::OrangeTemperature},
      {{0, 0x01, 2, 1}, Battery::OrangePower},
      {{0, 0x04, 2, 1}, Battery::OrangeTemperature},  // second reason byte without bit 0
      {{0, 0x04, 1, 2}, Battery::OrangePower},
      {{0, 0x05, 2, 1}, Battery::OrangePower},  // bit 0 picks the first reason
      {{0, 0x01, 3, 1}, Battery::Fine},
      {{0, 0x00, 1, 1}, Battery::Fine},
      {{0, 0xF0, 1, 1}, Battery::Fine},
      {{1, 0x02, 0, 0}, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.bytes[0]) << " " << std::hex << int(c.bytes[1]));
    EXPECT_EQ(DecodeBattery(c.bytes), c.state);
  }
}

TEST(AnmRegisters, AdaptorFlags) {
  const struct {
    uint16_t flags;
    Adaptor kind;
  } cases[] = {
      {0x0000, Adaptor::None}, {0x0030, Adaptor::None},          {0x0021, Adaptor::NotRecommended},
      {0x0032, Adaptor::NotRecommended}, {0x0011, Adaptor::Mini}, {0x0012, Adaptor::Mini},
      {0x0003, Adaptor::None}, {0x0103, Adaptor::None},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeAdaptor(c.flags), c.kind) << std::hex << c.flags;
}

TEST(AnmRegisters, PacketsAsTheDriverSeesThem) {
  anmtest::Port port;
  port.replies[0x1A] = {0, {3}};
  port.replies[0x1E] = {0, {0, 0x01, 2, 0}};
  port.replies[0x1D] = {0, {0x11, 0x00}};
  EXPECT_EQ(ReadLevel(port), 2);
  EXPECT_EQ(ReadBattery(port, 2), Battery::OrangePower);
  EXPECT_EQ(ReadBattery(port, 1), std::nullopt) << "registers need the newer interface";
  const auto adaptor = ReadAdaptor(port, 2);
  ASSERT_TRUE(adaptor);
  EXPECT_EQ(adaptor->flags, 0x11);
  port.replies[0x1A] = {0, {1}};
  EXPECT_EQ(ReadLevel(port), 1);
  port.replies.erase(0x1A);
  EXPECT_EQ(ReadLevel(port), 0);
  port.replies[0x1E] = {5, {0, 0x02, 0, 0}};
  EXPECT_EQ(ReadBattery(port, 2), std::nullopt) << "a refused request says nothing";
}

// The model number as the module reads it: the driver's text, shown with its "-".
TEST(AnmMachine, RegionKind) {
  const struct {
    const char* model;
    std::optional<std::string> doc;
    std::optional<uint16_t> table;
    int kind;
  } cases[] = {
      {"PT15KB3456CS", std::nullopt, uint16_t(1), 1},
      {"PT15KB3456CS", std::nullopt, uint16_t(2), 2},
      {"PT15KB3456CS", std::nullopt, std::nullopt, 2},
      {"PT15KB3456CS", std::string("J1.00"), uint16_t(2), 1},
      {"PT15KB3456CS", std::string("E1.00"), uint16_t(1), 2},
      {"PT15KB3456CS", std::string(""), uint16_t(1), 2},
      {"PT-15KB3456CS", std::nullopt, uint16_t(1), 1},
      {"QQ15KB3456CS", std::nullopt, uint16_t(1), 0},
      {"XW31AB", std::nullopt, uint16_t(1), 1},
      {"XW31AB", std::nullopt, uint16_t(2), 2},
      {"XW32AB", std::nullopt, uint16_t(1), 0},
      {"XW3", std::nullopt, uint16_t(1), 0},
      {"PT", std::nullopt, uint16_t(1), 0},
  };
  for (const auto& c : cases) {
    const std::string shown =
        MiscCommon::FormatModelNumber(reinterpret_cast<const uint8_t*>(c.model), std::strlen(c.model));
    EXPECT_EQ(RegionKind(shown, c.doc, c.table), c.kind) << c.model << " shown " << shown;
  }
}

TEST(AnmMasks, OfferedFromTheReadings) {
  using R = Readings;
  const struct {
    int region;
    bool records;
    R readings;
    uint32_t mask;
  } cases[] = {
      {1, true, R{2, Battery::Fine, R::AdaptorReply{0, 0x03}}, kBitApps | kBitAdaptor | kBitBattery | kBitMini},
      {1, false, R{2, Battery::Fine, R::AdaptorReply{0, 0x02}}, kBitBattery | kBitMini},  // bit 0 clear: no adaptor
      {1, false, R{2, std::nullopt, R::AdaptorReply{1, 0x03}}, 0},                       // refused
      {1, false, R{2, std::nullopt, std::nullopt}, kBitAdaptor},                          // call failed
      {1, false, R{1, std::nullopt, std::nullopt}, kBitAdaptor},
      {2, true, R{2, Battery::Red, R::AdaptorReply{0, 0x01}}, kBitBattery},
      {0, true, R{0, std::nullopt, std::nullopt}, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(OfferedMask(c.region, c.records, c.readings), c.mask) << c.region;
}

TEST(AnmMasks, UserStateOverMachineOverOffered) {
  bool write = false;
  EXPECT_EQ(StateMask(5u, 3u, 15u, write), 5u);
  EXPECT_FALSE(write);
  EXPECT_EQ(StateMask(std::nullopt, 3u, 15u, write), 3u);
  EXPECT_TRUE(write);
  EXPECT_EQ(StateMask(std::nullopt, std::nullopt, 15u, write), 15u);
  EXPECT_TRUE(write);
  EXPECT_EQ(StateMask(0u, 3u, 15u, write), 0u) << "a user's empty state is still theirs";
  EXPECT_TRUE(IsEnable(kBitBattery, 0, true));
  EXPECT_FALSE(IsEnable(kBitBattery | kBitApps, 15, false));
  EXPECT_TRUE(IsEnable(kBitApps, 4, false));
  EXPECT_FALSE(IsEnable(kBitApps, 0, true));
}

TEST(AnmMasks, FindingsFollowMaskAndState) {
  using R = Readings;
  const struct {
    uint32_t offered, state;
    R readings;
    Battery battery;
    bool notRecommended, mini;
  } cases[] = {
      {15, 0, R{2, Battery::Red, std::nullopt}, Battery::Red, false, false},  // red whatever the user says
      {15, 0, R{2, Battery::OrangePower, std::nullopt}, Battery::Fine, false, false},
      {15, 1, R{2, Battery::OrangePower, std::nullopt}, Battery::OrangePower, false, false},
      {14, 15, R{2, Battery::Red, std::nullopt}, Battery::Fine, false, false},  // not offered
      {15, 15, R{2, Battery::Fine, R::AdaptorReply{0, 0x21}}, Battery::Fine, true, false},
      {15, 8, R{2, Battery::Fine, R::AdaptorReply{0, 0x21}}, Battery::Fine, false, false},
      {15, 8, R{2, Battery::Fine, R::AdaptorReply{0, 0x11}}, Battery::Fine, false, true},
      {7, 15, R{2, Battery::Fine, R::AdaptorReply{0, 0x11}}, Battery::Fine, false, false},
      {15, 15, R{2, Battery::Fine, R::AdaptorReply{1, 0x21}}, Battery::Fine, false, false},
      {15, 15, R{1, std::nullopt, R::AdaptorReply{0, 0x21}}, Battery::Fine, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.offered << "/" << c.state);
    const Findings f = CheckReadings(c.offered, c.state, c.readings);
    EXPECT_EQ(f.battery, c.battery);
    EXPECT_EQ(f.notRecommended, c.notRecommended);
    EXPECT_EQ(f.mini, c.mini);
  }
  int scans = 0;
  Check(15, 11, Readings{}, [&] { return ++scans > 0; });
  EXPECT_EQ(scans, 0) << "no scan when the user does not want application notices";
  EXPECT_TRUE(Check(15, 4, Readings{}, [&] { return ++scans > 0; }).apps);
}

TEST(AnmPage, LanguageTag) {
  const struct {
    uint16_t ui;
    const char16_t* tag;
  } cases[] = {
      {0x0404, u"en"}, {0x0C04, u"en"}, {0x1404, u"en"}, {0x0804, u"zh-Hans"}, {0x1004, u"zh-Hans"},
      {0x040C, u"fr"}, {0x080C, u"fr"}, {0x0411, u"ja"}, {0x0407, u"en"},      {0x0410, u"en"},
      {0x0C0A, u"en"}, {0x0409, u"en"}, {0, u"en"},
  };
  for (const auto& c : cases) EXPECT_EQ(std::u16string(PageLanguage(c.ui)), c.tag) << std::hex << c.ui;
}

kit::XmlElement Parse(const std::string& text) {
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_string(text.c_str()));
  return kit::ReadElement(doc.document_element(), 3);
}

TEST(AnmTexts, CustomFileFieldByFieldLaterWins) {
  anmtest::NoStrings strings;
  Texts t;
  t.Load(strings);
  t.SetCustom(CustomTexts(Parse(
      "<wkptbat:wkptbat xmlns:wkptbat='urn:b' xmlns:wkptanm='urn:a'>"
      "<wkptbat:message wkptanm:type='BAT_RED'><wkptanm:title>first</wkptanm:title></wkptbat:message>"
      "<wkptbat:message wkptanm:type='bat_red'><wkptanm:body>&lt;p&gt;B&lt;/p&gt;</wkptanm:body></wkptbat:message>"
      "<wkptbat:message wkptanm:type='not_support_ac'><wkptanm:titlemain>M</wkptanm:titlemain></wkptbat:message>"
      "<wkptbat:message wkptanm:type='mini_ac'><wkptanm:title>x</wkptanm:title></wkptbat:message>"
      "</wkptbat:wkptbat>")));
  ASSERT_TRUE(t.Custom());
  EXPECT_EQ(t.Field(kRed, kTitle), u"T108") << "the later message replaced the whole entry";
  EXPECT_EQ(t.Field(kRed, kBody), u"<p>B</p>");
  EXPECT_EQ(t.Field(kNotRecommended, kTitleMain), u"M");
  EXPECT_EQ(t.Field(kNotRecommended, kTitle), u"T111");
  EXPECT_EQ(t.Field(kMini, kTitle), u"T127") << "the Mini AC adaptor's texts are not customisable";
  EXPECT_EQ(t.DebugText(kNotRecommended), u"titlemain: M\ntitle: (NULL)\nbody: (NULL)\n");
}

TEST(AnmTexts, RejectedDocuments) {
  for (const char* xml : {"<wkptbat:wkptbat xmlns:wkptbat='urn:b'/>",
                          "<wkptbat:wkptbat><wkptbat:message/></wkptbat:wkptbat>",
                          "<other xmlns:wkptbat='urn:b'><x/></other>"}) {
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(xml, pugi::parse_default | pugi::parse_ws_pcdata)) << xml;
    EXPECT_FALSE(CustomTexts(kit::ReadElement(doc.document_element(), 3))) << xml;
  }
}

TEST(AnmTexts, FillTakesArgumentsInOrder) {
  EXPECT_EQ(Fill(u"\"%ws\" failed.\n%ws", {u"App", u"C:\\setup.exe"}), u"\"App\" failed.\nC:\\setup.exe");
  EXPECT_EQ(Fill(u"%ws and %ws", {u"one"}), u"one and %ws");
  EXPECT_EQ(Fill(u"100%", {u"x"}), u"100%");
}
}  // namespace
