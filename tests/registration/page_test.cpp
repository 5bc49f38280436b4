// The page: its variant text, what is inserted (escaped) and the UTF-8 it is written in.
#include <gtest/gtest.h>

#include "modules/registration/reg_page.h"

namespace {
reg::PageInput Input(reg::Variant v) {
  reg::PageInput in;
  in.variant = v;
  in.moduleFolder = u"C:\\Program Files\\Tellwick\\";
  in.title = u"Tellwick";
  in.qrImage = u"C:\\Users\\a\\AppData\\Local\\Temp\\wkptreg.bmp";
  return in;
}
bool Has(const std::u16string& page, const std::u16string& part) { return page.find(part) != std::u16string::npos; }
}  // namespace

TEST(RegPage, VariantTextsLinksAndMobilePart) {
  const reg::Settings& s = reg::DefaultSettings();
  const struct {
    reg::Variant v;
    const char16_t* heading;
    const char16_t* link;
  } cases[] = {
      {reg::Variant::FreeWarranty3, u"<span>3年間無償保証登録のご案内</span>", u"http://support.velmorant.example/s/maintain/guara4.html"},
      {reg::Variant::FreeWarranty4, u"<span>4年間無償保証登録のご案内</span>", u"http://support.velmorant.example/s/maintain/guara4.html"},
      {reg::Variant::SpecialWarranty3, u"<span>3年間特別安心保証登録のご案内</span>", u"http://support.velmorant.example/s/maintain/univ.html"},
      {reg::Variant::OwnerRegistration, u"<span>Brisklapのご愛用者登録のご案内</span>", u"https://support.velmorant.example/mys/index.html"},
  };
  for (const auto& c : cases) {
    const std::u16string page = reg::BuildPage(Input(c.v), s);
    EXPECT_TRUE(Has(page, c.heading)) << static_cast<int>(c.v);
    EXPECT_TRUE(Has(page, u"<p><a href=\"" + std::u16string(c.link) + u"\" target=\"_blank\">" + c.link + u"</a></p>\n"));
    EXPECT_TRUE(Has(page, u"<img class=\"QR\" src=\"file:///C:/Users/a/AppData/Local/Temp/wkptreg.bmp\""));
    EXPECT_TRUE(Has(page, u"<input type=\"checkbox\" id=\"check_done\">"));
    EXPECT_EQ(page.rfind(u"</html>\n"), page.size() - 8);
  }
  const std::u16string four = reg::BuildPage(Input(reg::Variant::FreeWarranty4), s);
  EXPECT_FALSE(Has(four, u"3年間"));
  EXPECT_TRUE(Has(four, u"従来1年だった保証期間を4年間に延長します。"));
}

TEST(RegPage, NoQrImageMeansNoMobilePart) {
  reg::PageInput in = Input(reg::Variant::FreeWarranty3);
  in.qrImage.reset();
  const std::u16string page = reg::BuildPage(in, reg::DefaultSettings());
  EXPECT_FALSE(Has(page, u"<img class=\"QR\""));
  EXPECT_FALSE(Has(page, u"携帯電話による登録"));
  EXPECT_TRUE(Has(page, u"guara4.html</a></p>"));
}

TEST(RegPage, InsertedValuesAreEscaped) {
  reg::PageInput in = Input(reg::Variant::OwnerRegistration);
  in.title = u"<b>\"T&W\"</b>";
  in.moduleFolder = u"C:\\Tell\"wick <x>\\";
  reg::Settings s = reg::DefaultSettings();
  s.supportHost = u"evil.example\"><script>";
  const std::u16string page = reg::BuildPage(in, s);
  EXPECT_TRUE(Has(page, u"<title>&lt;b&gt;&quot;T&amp;W&quot;&lt;/b&gt;</title>"));
  EXPECT_TRUE(Has(page, u"<base href=\"file:///C:/Tell%22wick%20%3Cx%3E/\">"));
  EXPECT_FALSE(Has(page, u"<script>"));
  EXPECT_TRUE(Has(page, u"evil.example&quot;&gt;&lt;script&gt;"));
}

TEST(RegPage, FileUrlsAndUtf8) {
  EXPECT_EQ(reg::FileUrl(u"C:\\Program Files\\テル\\"), u"file:///C:/Program%20Files/%E3%83%86%E3%83%AB/");
  EXPECT_EQ(reg::FileUrl(u"/tmp/page dir/x.bmp"), u"file:///tmp/page%20dir/x.bmp");
  EXPECT_EQ(reg::ToUtf8(u"a\u00e9\u3000\U0001F600"), "a\xC3\xA9\xE3\x80\x80\xF0\x9F\x98\x80");
  EXPECT_EQ(reg::ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
}

TEST(RegPage, QrAddresses) {
  const reg::Settings& s = reg::DefaultSettings();
  EXPECT_EQ(reg::QrAddress(reg::Variant::OwnerRegistration, s), "https://support.velmorant.example/mys/mobile/index.html");
  EXPECT_EQ(reg::QrAddress(reg::Variant::FreeWarranty4, s), "https://support.velmorant.example/tgsi/m/new.do/?q=");
}
