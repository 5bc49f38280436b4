// The page: its sections and controls, and its bytes in code page 932 checked with iconv.
#include <gtest/gtest.h>
#include <iconv.h>

#include "modules/battery/bat_page.h"
#include "modules/battery/bat_rules.h"
#include "modules/battery/native/bat_native.h"

using namespace bat;

namespace {
std::string Utf8(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) {
    if (c < 0x80) out += char(c);
    else if (c < 0x800) out += {char(0xC0 | c >> 6), char(0x80 | (c & 0x3F))};
    else out += {char(0xE0 | c >> 12), char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F))};
  }
  return out;
}
// Shift_JIS bytes read back with iconv's CP932 table.
std::string DecodeCp932(const std::string& bytes) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  std::string out(bytes.size() * 3 + 1, '\0');
  char* in = const_cast<char*>(bytes.data());
  char* o = out.data();
  size_t inLeft = bytes.size(), outLeft = out.size();
  const size_t rc = iconv(cd, &in, &inLeft, &o, &outLeft);
  iconv_close(cd);
  return rc == size_t(-1) ? std::string("<invalid>") : std::string(out.data(), o);
}
size_t Count(const std::u16string& s, const std::u16string& needle) {
  size_t n = 0;
  for (size_t at = s.find(needle); at != std::u16string::npos; at = s.find(needle, at + 1)) ++n;
  return n;
}

PageInput TwoPacks() {
  PageInput in;
  in.modulePath = u"C:\\Program Files\\Tellwick\\wkptbat.dll";
  in.kind = 1;
  in.found = kRecal | kNoCapa;
  in.checkTime = u"2026/12/10 <9:00>";
  in.strings = &SourceStrings();
  PageSection recal;
  recal.condition = 0;
  recal.duration = u"約1 ～ 1.5";
  recal.autoCheck = true;
  recal.interval = 1;
  PageSection nocapa;
  nocapa.battery = 1;
  nocapa.condition = 2;
  nocapa.percent = 29;
  nocapa.interval = 5;
  in.sections = {recal, nocapa};
  return in;
}
}  // namespace

TEST(BatPage, TwoSectionsWorstSeverityAndControls) {
  const std::u16string page = BuildPage(TwoPacks());
  EXPECT_EQ(Count(page, u"<h3>"), 2u);
  EXPECT_NE(page.find(u"src=\"headicon_important.png\""), std::u16string::npos) << "nocapa is the worst";
  EXPECT_NE(page.find(u"内蔵バッテリーの残量表示補正を行ってください"), std::u16string::npos);
  EXPECT_NE(page.find(u"拡張バッテリーパックを交換してください"), std::u16string::npos);
  EXPECT_NE(page.find(u"（残り 29％）"), std::u16string::npos);
  EXPECT_NE(page.find(u"残量表示補正処理は約1 ～ 1.5時間かかります。"), std::u16string::npos);
  EXPECT_NE(page.find(u"id=\"recal_radio_autocheck0\"checked>"), std::u16string::npos);
  EXPECT_NE(page.find(u"<select name=\"recal_list0\" id=\"recal_list_id0\" >"), std::u16string::npos);
  EXPECT_NE(page.find(u"<option value=\"1\" selected>7日毎"), std::u16string::npos);
  EXPECT_NE(page.find(u"id=\"no_capa_radio_manualcheck1\"checked>"), std::u16string::npos);
  EXPECT_NE(page.find(u"<select name=\"no_capa_list1\" id=\"no_capa_list_id1\" disabled>"), std::u16string::npos);
  EXPECT_EQ(Count(page, u" selected>"), 1u) << "an interval of 5 selects no option";
  EXPECT_NE(page.find(u"2026/12/10 &lt;9:00&gt;"), std::u16string::npos);
  EXPECT_NE(page.find(u"<base href=\"file:///C:/Program%20Files/Tellwick/wkptbat.dll\">"), std::u16string::npos);
  EXPECT_EQ(page.rfind(u"</html>\n"), page.size() - 8);
}

TEST(BatPage, SetupDisabledGreysTheChoices) {
  PageInput in = TwoPacks();
  in.setupEnable = false;
  const std::u16string page = BuildPage(in);
  EXPECT_EQ(Count(page, u"<p class=\"CommandLink\" disabled>"), 4u);
  EXPECT_NE(page.find(u"id=\"recal_list_id0\" disabled>"), std::u16string::npos);
}

TEST(BatPage, EncodedInCodePage932) {
  const std::u16string page = BuildPage(TwoPacks());
  IconvCodePage cp;
  const auto bytes = cp.Encode(page);
  ASSERT_TRUE(bytes);
  EXPECT_NE(bytes->find("\x83\x6F\x83\x62\x83\x65\x83\x8A\x81\x5B"), std::string::npos) << "バッテリー";
  EXPECT_NE(bytes->find("\x96\xF1" "1 \x81\x60 1.5"), std::string::npos) << "約1 ～ 1.5: the wave dash of code page 932";
  EXPECT_NE(bytes->find("charset=Shift_JIS"), std::string::npos);
  EXPECT_EQ(DecodeCp932(*bytes), Utf8(page)) << "the bytes read back as the page";
  EXPECT_EQ(*cp.Encode(u"a\u00e9\U0001F600b"), "a??b") << "characters without a mapping";
}
