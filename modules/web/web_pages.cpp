#include "modules/web/web_pages.h"

#include <algorithm>
#include <cstdlib>

#include "common/core/civil_date.h"
#include "common/core/html_text.h"

namespace web {
namespace {

using html::HtmlEscape;

const char16_t kStrictDoctype[] =
    u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" \"http://www.w3.org/TR/html4/strict.dtd\">";
const char16_t kFramesetDoctype[] =
    u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Frameset//EN\" \"http://www.w3.org/TR/REC-html40/frameset.dtd\">";
const char16_t kMeta[] =
    u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\n"
    u"<meta http-equiv=\"X-UA-Compatible\" content=\"IE=EmulateIE7\">\n";
const char16_t kHistoryTitle[] = u"ホームページ更新お知らせ受信履歴";

struct Section {
  uint32_t category;
  const char16_t* name;
  const char16_t* icon;
  const char16_t* heading;
};
const Section kSections[] = {
    {1, u"Important", u"important", u"重要なお知らせ"},
    {2, u"Support", u"support", u"サポート情報"},
    {3, u"Topics", u"topics", u"トピックス"},
};

std::u16string Num(int64_t v) {
  const std::string s = std::to_string(v);
  return std::u16string(s.begin(), s.end());
}

bool StartsNoCase(const std::u16string& s, std::u16string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char16_t c = s[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

bool SameNoCase(const std::u16string& a, std::u16string_view b) { return a.size() == b.size() && StartsNoCase(a, b); }

std::u16string Directory(const std::u16string& path) {
  const std::size_t slash = path.find_last_of(u"\\/");
  return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash + 1);
}

std::u16string Head(const char16_t* doctype, const std::u16string& modulePath, std::u16string_view title) {
  std::u16string t = doctype;
  t += u"\n\n<html lang=\"ja\">\n\n<head>\n";
  t += kMeta;
  t += u"<base href=\"" + HtmlEscape(html::FileUrl(modulePath)) + u"\">\n";
  t += u"<link rel=\"stylesheet\" type=\"text/css\" href=\"style.css\">\n<title>";
  t += title;
  t += u"</title>\n";
  return t;
}

// The number after `prefix` in an element id, as "%ld" reads it; 0 when there is none.
int64_t IdNumber(const std::u16string& id, std::u16string_view prefix) {
  const std::size_t at = id.find(prefix);
  if (at == std::u16string::npos) return 0;
  std::size_t pos = at + prefix.size();
  const auto n = ScanInteger(id, pos);
  return n ? *n : 0;
}

std::u16string PopupItem(const FeedItem& item, const Section& s, const std::u16string& dateText) {
  std::u16string t = u"<h3>\n<img src=\"Itemicon_";
  t += s.icon;
  t += u".png\" alt=\"\">\n<a href=\"" + HtmlEscape(SafeLink(item.link.value_or(u"#"))) + u"\" target=\"_blank\"";
  // Following a support or topics link marks it read; an important notice stays.
  if (item.category != 1) t += u" id=\"a_" + Num(item.id) + u"\"";
  t += u">\n" + HtmlEscape(item.title.value_or(u"(No Title)")) + u"\n</a>\n</h3>\n\n";
  t += u"<p>" + DescriptionHtml(item.description.value_or(u""), item.updateButton) + u"</p>\n";
  t += u"<p class=\"Date\">" + HtmlEscape(dateText) + u"</p>\n";
  t += u"<p class=\"CommandLink\"><input type=\"checkbox\" id=\"check_" + Num(item.id) +
       u"\">次回表示しない</p>\n\n<hr>\n\n";
  return t;
}

}  // namespace

std::optional<std::u16string> PageDateText(std::u16string_view date, IPageLocale& locale) {
  const auto utc = FeedTimeUtc(date);
  if (!utc) return std::nullopt;
  int64_t local = *utc - static_cast<int64_t>(locale.BiasMinutes()) * 60;
  int64_t days = local / 86400, secs = local % 86400;
  if (secs < 0) {
    secs += 86400;
    --days;
  }
  const civil::Date civilDate = civil::CivilFromDays(days);
  LocalStamp s;
  s.year = static_cast<int>(civilDate.year);
  s.month = civilDate.month;
  s.day = civilDate.day;
  s.hour = static_cast<int>(secs / 3600);
  s.minute = static_cast<int>(secs / 60 % 60);
  s.second = static_cast<int>(secs % 60);
  return locale.DateTimeText(s);
}

std::u16string SafeLink(const std::u16string& link) {
  return StartsNoCase(link, u"http:") || StartsNoCase(link, u"https:") ? link : u"#";
}

std::u16string DescriptionHtml(const std::u16string& description, bool updateButton) {
  std::u16string t;
  const std::size_t at = description.find(u"http:");
  std::size_t end = at == std::u16string::npos ? at : at + 5;
  if (at != std::u16string::npos)
    // An address is ASCII: Japanese text right after it, with no blank between, is not part of it.
    while (end < description.size() && description[end] > u' ' && description[end] < 0x7F) ++end;
  if (at == std::u16string::npos || end == at + 5) {
    t = HtmlEscape(description);
  } else {
    const std::u16string url = HtmlEscape(description.substr(at, end - at));
    t = HtmlEscape(description.substr(0, at)) + u"<a href=\"" + url + u"\" target=\"_blank\">" + url + u"</a> " +
        HtmlEscape(description.substr(end));
  }
  if (updateButton) t += u"<br><button type=\"button\" name=\"update\" value=\"update\">今すぐアップデート</button>";
  return t;
}

std::u16string PopupPage(const std::vector<FeedItem>& items, const CategorySwitches& switches,
                         const std::u16string& modulePath, IPageLocale& locale) {
  std::u16string t = Head(kStrictDoctype, modulePath, u"Tellwick");
  t += u"\n\n</head>\n\n<body class=\"popup\">\n\n<div class=\"container\">\n<div class=\"box\">\n\n";
  const bool on[] = {switches.important, switches.support, switches.topics};
  for (int i = 0; i < 3; ++i) {
    if (!on[i]) continue;
    const Section& s = kSections[i];
    const auto count = std::count_if(items.begin(), items.end(),
                                     [&](const FeedItem& it) { return !it.suppressed && it.category == s.category; });
    const std::u16string name = s.name;
    t += u"<h2>\n<img class=\"tail\" src=\"pop_tail.png\">\n<a class=\"js\" href=\"#\" id=\"Toggle_" + name +
         u"\"\n><img src=\"pop_arrow.png\" alt=\"\" class=\"arrowright\" id=\"" + name +
         u"ArrowRight\"\n><img src=\"pop_arrow2.png\" alt=\"\" id=\"" + name + u"ArrowDown\"\n><img src=\"headicon_" +
         s.icon + u".png\" alt=\"\"\n><span>" + s.heading + u" " + Num(count) +
         u"<span class=\"scale\">件 あります</span></span></a>\n</h2>\n\n<div id=\"" + name +
         u"\" class=\"body\">\n\n";
    for (const FeedItem& item : items) {
      if (item.suppressed || item.category != s.category || !item.date) continue;
      const auto date = PageDateText(*item.date, locale);
      if (date) t += PopupItem(item, s, *date);
    }
    t += u"</div>\n\n";
  }
  t += u"</div>\n\n</div>\n\n</body>\n\n</html>\n";
  return t;
}

bool PublishPopup(std::vector<FeedItem>& held, kit::PageFiles& pages, ICodePage& codePage,
                  const CategorySwitches& switches, const std::u16string& modulePath, IPageLocale& locale) {
  const auto bytes = codePage.Encode(PopupPage(held, switches, modulePath, locale));
  if (bytes && pages.Begin()) {
    if (pages.Write(*bytes)) return true;
  } else {
    pages.Abandon();
  }
  held.clear();
  return false;
}

HistoryViewText HistoryView(const std::vector<HistoryRecord>& records, const std::u16string& modulePath,
                            const std::u16string& tempDir, IPageLocale& locale) {
  HistoryViewText v;
  const std::u16string content = HtmlEscape(html::FileUrl(tempDir + kHistoryContentName));
  v.frameset = kFramesetDoctype;
  v.frameset += u"\n\n<html lang=\"ja\">\n\n<head>\n";
  v.frameset += kMeta;
  v.frameset += u"<link rel=\"stylesheet\" type=\"text/css\" href=\"" +
                HtmlEscape(html::FileUrl(Directory(modulePath)) + u"style.css") + u"\">\n<title>" + kHistoryTitle +
                u" - Tellwick</title>\n\n<frameset rows=\"38,*\">\n<frame name=\"title\" src=\"" + kHistoryTitleName +
                u"\" title=\"title\" noresize=\"noresize\">\n<frame name=\"content\" src=\"" + kHistoryContentName +
                u"\" title=\"content\">\n<noframes>\n<body>\n  <p><a href=\"" + kHistoryContentName +
                u"\">受信履歴</a></p>\n</body>\n</noframes>\n</frameset>\n\n</html>\n";

  v.title = Head(kStrictDoctype, modulePath, std::u16string(kHistoryTitle) + u" - Tellwick");
  v.title += u"</head>\n\n<body>\n\n<h1>\n<p class=\"JumpLink2\">\n";
  for (const Section& s : kSections)
    v.title += u"<a href=\"" + content + u"#Jump" + s.name + u"\" target=\"content\">●" + s.heading + u"へ</a>\n";
  v.title += u"</p>\n<img src=\"velmlogo.png\">" + std::u16string(kHistoryTitle) + u"\n</h1>\n\n</body>\n\n</html>\n";

  v.content = Head(kStrictDoctype, modulePath, u"ホームページ更新通知受信履歴 - Tellwick");
  v.content += u"</head>\n\n<body>\n\n<div class=\"container2\">\n<div class=\"box2\">\n\n";
  for (const Section& s : kSections) {
    const std::u16string name = s.name;
    v.content += u"<h2 id=\"Jump" + name + u"\"><img class=\"tail\" src=\"pop_tail.png\">\n<img src=\"pop_arrow.png\" "
                 u"alt=\"\"\n><img src=\"headicon_" + s.icon + u".png\" alt=\"\"\n><span>" + s.heading +
                 u"</span>\n</h2>\n\n<div id=\"" + name + u"\">\n\n";
    int stripe = 0;
    for (const HistoryRecord& r : records) {
      if (r.category != s.category) continue;
      const auto date = PageDateText(r.date, locale);
      if (!date) continue;
      const std::u16string link = SafeLink(r.link);
      v.content += u"<div class=\"history history" + Num(stripe) + u"\">\n<p class=\"Date\">" + HtmlEscape(*date) +
                   u"</p>\n<p><a";
      if (link != u"#") v.content += u" href=\"" + HtmlEscape(link) + u"\" target=\"wickpost_hist\"";
      v.content += u">\n" + HtmlEscape(r.title.empty() ? u"(no title)" : r.title) + u"\n</a></p>\n</div>\n\n";
      stripe ^= 1;
    }
    v.content += u"</div>\n\n";
  }
  v.content += u"</div>\n\n</div>\n\n</body>\n\n</html>\n";
  return v;
}

bool ClickClimbsToParent(const std::u16string& tag) { return SameNoCase(tag, u"span") || SameNoCase(tag, u"img"); }

ClickOutcome HandleClick(std::vector<FeedItem>& held, const PageClick& click) {
  ClickOutcome out;
  if (click.type != u"click") return out;
  if (SameNoCase(click.tag, u"input") && click.id.find(u"check_") != std::u16string::npos) {
    const int64_t id = IdNumber(click.id, u"check_");
    if (id == 0) return out;
    for (FeedItem& item : held) {
      if (item.id != id) continue;
      if (click.checked != item.suppressed) item.changed = true;
      item.suppressed = click.checked;
    }
  } else if (SameNoCase(click.tag, u"a")) {
    // An in-page anchor resolves against the file: base; it only ever toggles.
    if (click.href.find(u"file:") != std::u16string::npos && !click.href.empty() && click.href.back() == u'#')
      out.proceed = false;
    if (click.id.find(u"a_") != std::u16string::npos) {
      const int64_t id = IdNumber(click.id, u"a_");
      for (FeedItem& item : held)
        if (id != 0 && item.id == id && !item.suppressed) item.suppressed = item.changed = true;
    } else if (click.id.find(u"Toggle_") != std::u16string::npos) {
      out.toggle = click.id.substr(click.id.find(u"Toggle_") + 7);
    }
  } else if (SameNoCase(click.tag, u"button") && click.value == u"update") {
    out.openUpdate = true;
  }
  return out;
}

SectionDisplay ToggledSection(const std::u16string& currentDisplay) {
  if (currentDisplay == u"none") return {u"block", u"none", u"inline"};
  return {u"none", u"inline", u"none"};
}

}  // namespace web
