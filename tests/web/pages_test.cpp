// The popup page, the history view and the popup's clicks: feed texts cannot inject markup
// or script links, and a page that cannot be written leaves nothing pending.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "common/core/html_text.h"
#include "modules/web/web_pages.h"
#include "tests/web/page_test_util.h"

namespace {

using web::FeedItem;

using webtest::Latin1;
using webtest::Locale;

struct Files : kit::IPageFiles {
  std::map<std::u16string, std::string> files;
  bool failWrite = false;
  int next = 0;
  bool NewPagePath(std::u16string& path) override {
    path = u"C:\\Temp\\WKP" + std::u16string(1, static_cast<char16_t>(u'0' + next++)) + u".tmp";
    files[path];
    return true;
  }
  bool WritePage(const std::u16string& path, const std::string& bytes) override {
    if (failWrite) return false;
    files[path] = bytes;
    return true;
  }
  void Delete(const std::u16string& path) override { files.erase(path); }
};

FeedItem Item(int32_t id, uint32_t category) {
  FeedItem i;
  i.id = id;
  i.category = category;
  i.title = u"Notice";
  i.link = u"http://example.test/n";
  i.description = u"Text";
  i.date = u"2014-04-30T12:00:00+09:00";
  return i;
}

bool Has(const std::u16string& page, const std::u16string& part) { return page.find(part) != std::u16string::npos; }

const std::u16string kModule = u"C:\\Program Files\\Tellwick\\wkptrss.dll";

TEST(PageLinks, OnlyHttpAndHttpsAddressesStay) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"http://a.test/", u"http://a.test/"},   {u"HTTPS://a.test/x", u"HTTPS://a.test/x"},
      {u"javascript:alert(1)", u"#"},           {u" http://a.test/", u"#"},
      {u"file:///C:/Windows/x.exe", u"#"},      {u"data:text/html,x", u"#"},
      {u"vbscript:msgbox", u"#"},               {u"http", u"#"},
      {u"", u"#"},
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(web::SafeLink(in), want) << std::string(in.begin(), in.end());
}

TEST(PopupPage, FeedTextsAreEscapedAndScriptLinksDropped) {
  FeedItem evil = Item(11, 2);
  evil.title = u"<script>alert(1)</script>";
  evil.link = u"javascript:alert(2)";
  evil.description = u"see \"><img src=x onerror=alert(3)> http://a.test/?q=\"><b>x and http://b.test/";
  Locale locale;
  const std::u16string page = web::PopupPage({evil}, web::CategorySwitches{true, true, true}, kModule, locale);
  EXPECT_FALSE(Has(page, u"<script"));
  EXPECT_FALSE(Has(page, u"<img src=x"));
  EXPECT_FALSE(Has(page, u"<b>"));
  EXPECT_FALSE(Has(page, u"javascript:"));
  EXPECT_TRUE(Has(page, u"&lt;script&gt;alert(1)&lt;/script&gt;"));
  EXPECT_TRUE(Has(page, u"<a href=\"#\" target=\"_blank\" id=\"a_11\">"));
  // Only the first address becomes a link, its quote escaped inside the attribute.
  EXPECT_TRUE(Has(page, u"<a href=\"http://a.test/?q=&quot;&gt;&lt;b&gt;x\" target=\"_blank\">"));
  EXPECT_FALSE(Has(page, u"href=\"http://b.test/"));
  EXPECT_TRUE(Has(page, u"and http://b.test/</p>"));
  EXPECT_TRUE(Has(page, u"<base href=\"file:///C:/Program%20Files/Tellwick/wkptrss.dll\">"));
}

// An address followed straight by Japanese text ends where the ASCII ends; an item without a
// title is named as the page names it.
TEST(PopupPage, DescriptionLinkStopsAtJapaneseTextAndUntitledItems) {
  const struct {
    std::u16string description, html;
  } cases[] = {
      {u"詳しくはhttp://a.test/dl.htmlをご覧ください。",
       u"詳しくは<a href=\"http://a.test/dl.html\" target=\"_blank\">http://a.test/dl.html</a> をご覧ください。"},
      {u"http://a.test/x\u3000次へ", u"<a href=\"http://a.test/x\" target=\"_blank\">http://a.test/x</a> \u3000次へ"},
      {u"see http://a.test/y here", u"see <a href=\"http://a.test/y\" target=\"_blank\">http://a.test/y</a>  here"},
  };
  for (const auto& c : cases) EXPECT_EQ(web::DescriptionHtml(c.description, false), c.html);
  FeedItem untitled = Item(12, 2);
  untitled.title.reset();
  Locale locale;
  EXPECT_TRUE(Has(web::PopupPage({untitled}, web::CategorySwitches{true, true, true}, kModule, locale),
                  u"id=\"a_12\">\n(No Title)\n</a>"));
}

TEST(PopupPage, SectionsFollowTheSwitchesAndCountTheUnreadItems) {
  std::vector<FeedItem> items{Item(1, 1), Item(2, 2), Item(3, 2), Item(4, 3), Item(5, 2)};
  items[2].suppressed = true;
  items[4].date = u"2014-04-30T12:00:00Z";  // counted, but a date that does not read is not shown
  items[0].updateButton = true;
  Locale locale;
  const std::u16string page = web::PopupPage(items, web::CategorySwitches{true, true, false}, kModule, locale);
  EXPECT_TRUE(Has(page, u"重要なお知らせ 1<span"));
  EXPECT_TRUE(Has(page, u"サポート情報 2<span"));
  EXPECT_FALSE(Has(page, u"Toggle_Topics"));
  EXPECT_FALSE(Has(page, u"check_4"));
  EXPECT_TRUE(Has(page, u"check_2"));
  EXPECT_FALSE(Has(page, u"check_3"));
  EXPECT_FALSE(Has(page, u"check_5"));
  EXPECT_FALSE(Has(page, u"id=\"a_1\""));  // an important notice is not read by following it
  EXPECT_TRUE(Has(page, u"id=\"a_2\""));
  EXPECT_TRUE(Has(page, u"value=\"update\""));
  EXPECT_TRUE(Has(page, u"<p class=\"Date\">2014/04/30 12:00:00</p>"));
  EXPECT_EQ(page.substr(page.size() - 33), u"</div>\n\n</div>\n\n</body>\n\n</html>\n");
}

TEST(PageDate, ShowsStandardLocalTime) {
  Locale locale;
  locale.bias = 300;  // five hours west, daylight saving not applied
  EXPECT_EQ(web::PageDateText(u"2014-01-01T03:00:00+09:00", locale), u"2013/12/31 13:00:00");
  EXPECT_EQ(web::PageDateText(u"2014-02-30T03:00", locale), std::nullopt);
}

TEST(PublishPopup, AFailedPageWriteDropsTheHeldItems) {
  Files files;
  kit::PageFiles pages(files);
  Latin1 codePage;
  Locale locale;
  std::vector<FeedItem> held{Item(1, 1), Item(2, 2)};
  ASSERT_TRUE(web::PublishPopup(held, pages, codePage, {}, kModule, locale));
  EXPECT_EQ(held.size(), 2u);
  ASSERT_EQ(files.files.size(), 1u);
  EXPECT_NE(files.files.begin()->second.find("check_2"), std::string::npos);
  pages.Commit(260);

  files.failWrite = true;
  EXPECT_FALSE(web::PublishPopup(held, pages, codePage, {}, kModule, locale));
  EXPECT_TRUE(held.empty());
  EXPECT_EQ(files.files.size(), 1u);  // the failed page's file went; the shown one stays

  held = {Item(3, 1)};
  files.failWrite = false;
  codePage.fail = true;
  EXPECT_FALSE(web::PublishPopup(held, pages, codePage, {}, kModule, locale));
  EXPECT_TRUE(held.empty());
  EXPECT_EQ(files.files.size(), 1u);
}

TEST(HistoryView, RecordsAreEscapedStripedAndLinkedOnlyOverHttp) {
  std::vector<web::HistoryRecord> records(5);
  const char16_t* links[] = {u"http://a.test/\"onmouseover=\"x", u"#", u"javascript:alert(1)", u"https://d.test/", u"http://e.test/"};
  for (int i = 0; i < 5; ++i) {
    records[i].id = i + 1;
    records[i].title = u"<i>T" + std::u16string(1, static_cast<char16_t>(u'0' + i));
    records[i].link = links[i];
    records[i].date = u"2014-04-30T12:00:00+09:00";
    records[i].category = 2;
  }
  records[4].category = 3;
  records[3].date = u"bad";
  Locale locale;
  const auto v = web::HistoryView(records, kModule, u"C:\\Users\\a b\\Temp\\", locale);
  EXPECT_FALSE(Has(v.content, u"<i>"));
  EXPECT_FALSE(Has(v.content, u"javascript:"));
  EXPECT_TRUE(Has(v.content, u"history0\">\n<p class=\"Date\">2014/04/30 12:00:00</p>\n<p><a href=\"http://a.test/&quot;onmouseover=&quot;x\" target=\"wickpost_hist\">\n&lt;i&gt;T0"));
  EXPECT_TRUE(Has(v.content, u"history1\">\n<p class=\"Date\">2014/04/30 12:00:00</p>\n<p><a>\n&lt;i&gt;T1"));
  EXPECT_TRUE(Has(v.content, u"history0\">\n<p class=\"Date\">2014/04/30 12:00:00</p>\n<p><a>\n&lt;i&gt;T2"));
  EXPECT_FALSE(Has(v.content, u"T3"));
  // Topics start their own stripes.
  EXPECT_TRUE(Has(v.content, u"history0\">\n<p class=\"Date\">2014/04/30 12:00:00</p>\n<p><a href=\"http://e.test/\""));
  EXPECT_TRUE(Has(v.title, u"<a href=\"file:///C:/Users/a%20b/Temp/wkptrshs3.htm#JumpSupport\" target=\"content\">"));
  EXPECT_TRUE(Has(v.frameset, u"<frame name=\"content\" src=\"wkptrshs3.htm\""));
}

TEST(PopupClicks, ReadMarksTogglesAndTheUpdateButton) {
  std::vector<FeedItem> held{Item(5, 2), Item(6, 1)};
  auto click = [&](std::u16string tag, std::u16string id, std::u16string href = u"", bool checked = false,
                   std::u16string value = u"") {
    return web::HandleClick(held, {u"click", tag, id, href, value, checked});
  };
  // Tick, then untick: changed, no longer suppressed, so the record is written back unread.
  click(u"INPUT", u"check_5", u"", true);
  EXPECT_TRUE(held[0].suppressed && held[0].changed);
  click(u"input", u"check_5", u"", false);
  EXPECT_FALSE(held[0].suppressed);
  EXPECT_TRUE(held[0].changed);

  const auto link = click(u"A", u"a_6", u"http://example.test/n");
  EXPECT_TRUE(link.proceed);
  EXPECT_TRUE(held[1].suppressed && held[1].changed);

  const auto toggle = click(u"a", u"Toggle_Support", u"file:///C:/m/wkptrss.dll#");
  EXPECT_FALSE(toggle.proceed);
  EXPECT_EQ(toggle.toggle, u"Support");
  EXPECT_TRUE(click(u"button", u"", u"", false, u"update").openUpdate);
  EXPECT_FALSE(web::HandleClick(held, {u"mouseover", u"button", u"", u"", u"update", false}).openUpdate);

  const auto hidden = web::ToggledSection(u"none");
  EXPECT_EQ(hidden.section, u"block");
  EXPECT_EQ(hidden.arrowDown, u"inline");
  EXPECT_EQ(web::ToggledSection(u"block").section, u"none");
}

}  // namespace
