#include "modules/warranty/xwpk_rules.h"

#include <algorithm>

#include "common/core/civil_date.h"
#include "common/core/html_text.h"
#include "common/core/http_fetch_rules.h"
#include "common/core/text_case.h"
#include "common/pattern/pattern.h"

namespace xwpk {
namespace {

std::u16string U16(const char* s) { return std::u16string(s, s + std::char_traits<char>::length(s)); }
}  // namespace

const Settings& DefaultSettings() {
  // The 15-inch PT line of the current year's models.
  static const Settings settings{u"^PT-15KB\\d\\d\\d\\d", u"https://support.velmorant.example"};
  return settings;
}

bool Eligible(const std::u16string& model, const Settings& settings) {
  return !settings.eligiblePattern.empty() && Pattern::Find(settings.eligiblePattern, model) == Pattern::Status::Match;
}

std::u16string DefinitionAddress(const Settings& s) { return s.supportBase + u"/xwpkpack/popup/wkptxwpk.def"; }
std::u16string EntryAddress(const Settings& s) { return s.supportBase + u"/xwpk/entry"; }

std::optional<kit::LocalTime> OfferDate(std::optional<kit::LocalTime> firstUse) {
  if (!firstUse || firstUse->year < 1900 || !kit::IsValidDate(firstUse->year, firstUse->month, firstUse->day))
    return std::nullopt;
  return kit::LocalTime{firstUse->year, firstUse->month, firstUse->day, 0, 0, 0};
}

int64_t DaysSinceFirstStart(const std::optional<kit::LocalTime>& date, const kit::LocalTime& now) {
  return date ? kit::CalendarDaysBetween(*date, now) : kOfferDays;
}

std::u16string DateDigits(const kit::LocalTime& d) {
  char text[16];
  snprintf(text, sizeof text, "%04d%02d%02d", d.year % 10000, d.month % 100, d.day % 100);
  return U16(text);
}

std::optional<Definition> ParseDefinition(const std::u16string& content) {
  std::u16string lines[3];
  int found = 0;
  for (size_t pos = 0; pos < content.size() && found < 3;) {
    size_t end = content.find(u'\n', pos);
    if (end == std::u16string::npos) end = content.size();
    std::u16string line = content.substr(pos, end - pos);
    pos = end + 1;
    while (!line.empty() && (line.back() == u' ' || line.back() == u'\t' || line.back() == u'\r' || line.back() == u'\n'))
      line.pop_back();
    if (line.size() > kMaxDefinitionLine) return std::nullopt;
    // The small screen's address is the line right after the normal one's, even blank:
    // a normal screen needs none.
    if (!line.empty() || found == 2) lines[found++] = std::move(line);
  }
  if (found < 3) return std::nullopt;
  return Definition{lines[0], lines[1], lines[2]};
}

bool ImageAddressAllowed(const std::u16string& url) {
  http::UrlParts parts;
  return !http::IsFileUrl(url) && http::SplitHttpUrl(url, parts);
}

PageSize PageFor(int screenWidth, int screenHeight) {
  if (screenWidth < 1600 || screenHeight < 900) return PageSize{700, 400, true};
  return PageSize{1400, 800, false};
}

const char16_t* Suffix(const PageSize& page) { return page.small ? u"_sm" : u""; }

Size PopupSize(const PageSize& page, int cxFrame, int cyFrame, int cyCaption) {
  return Size{page.width + 2 * cxFrame, page.height + 2 * cyFrame + cyCaption};
}

Size CentringOffset(const Rect& area, const Size& popup) {
  const int x = (area.right - area.left - popup.width) / 2, y = (area.bottom - area.top - popup.height) / 2;
  return Size{std::max(x, 0), std::max(y, 0)};
}

std::u16string CssString(const std::u16string& text) {
  static const char kDigits[] = "0123456789abcdef";
  std::u16string out;
  for (char16_t c : text) {
    if (c == u'"' || c == u'\'' || c == u'\\' || c < 0x20 || c == 0x7F) {
      // "\hh " : the space ends the escape.
      out += u'\\';
      if (c >= 0x10) out += static_cast<char16_t>(kDigits[(c >> 4) & 15]);
      out += static_cast<char16_t>(kDigits[c & 15]);
      out += u' ';
    } else {
      out += c;
    }
  }
  return out;
}

std::string BuildPage(const PageInput& in) {
  using html::HtmlEscape;
  const std::u16string sfx = Suffix(in.size);
  const auto img = [&](const char16_t* name) { return std::u16string(name) + sfx + u".png"; };
  std::u16string p;
  p += u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" \"http://www.w3.org/TR/html4/strict.dtd\">\n"
       u"<html lang=\"ja\">\n<head>\n"
       u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">\n"
       u"<meta http-equiv=\"Content-Script-Type\" content=\"text/javascript\">\n"
       u"<meta http-equiv=\"X-UA-Compatible\" content=\"IE=EmulateIE7\">\n";
  p += u"<base href=\"" + HtmlEscape(html::FileUrl(in.moduleFolder)) + u"\">\n";
  p += u"<link rel=\"stylesheet\" type=\"text/css\" href=\"style.css\">\n";
  p += u"<link rel=\"stylesheet\" type=\"text/css\" href=\"xwpk" + sfx + u".css\">\n";
  p += u"<title>延長保証サービスパックのご案内</title>\n<script type=\"text/javascript\">\n"
       u"function CheckOnMouseDown(obj) {\n"
       u"  if (obj.src.indexOf(\"checkbox_on\") >= 0) obj.src = \"" + img(u"xwpk_checkbox_off") + u"\";\n"
       u"  else obj.src = \"" + img(u"xwpk_checkbox_on") + u"\";\n}\n</script>\n</head>\n\n";
  p += u"<body class=\"popup\">\n<div class=\"xwpk_container\" style=\"background-image: url(&quot;" +
       HtmlEscape(CssString(html::FileUrl(in.imagePath))) + u"&quot;)\">\n";
  p += u"<div class=\"xwpk_billboard\"><p></p></div>\n";
  p += u"<div class=\"xwpk_button\">\n<form action=\"" + HtmlEscape(in.entryAddress) +
       u"\" method=\"post\" target=\"_blank\">\n";
  p += u"<input type=\"hidden\" name=\"productCode\" value=\"" + HtmlEscape(in.model) + u"\">\n";
  p += u"<input type=\"hidden\" name=\"serial\" value=\"" + HtmlEscape(in.serial) + u"\">\n";
  p += u"<input type=\"hidden\" name=\"firstStartupDate\" value=\"" + HtmlEscape(in.firstStartDate) + u"\">\n";
  p += u"<input type=\"image\" src=\"" + img(u"xwpk_button_normal") + u"\" alt=\"詳細、お申し込み\"" +
       u" onmouseover=\"this.src='" + img(u"xwpk_button_hover") + u"'\"" +
       u" onmouseup=\"this.src='" + img(u"xwpk_button_hover") + u"'\"" +
       u" onmouseout=\"this.src='" + img(u"xwpk_button_normal") + u"'\"" +
       u" onmousedown=\"this.src='" + img(u"xwpk_button_active") + u"'\">\n</form>\n</div>\n";
  p += u"<div class=\"xwpk_check\"><img id=\"xwpk_check\" src=\"" + img(u"xwpk_checkbox_off") +
       u"\" alt=\"次回、表示しない\" onclick=\"CheckOnMouseDown(this)\"></div>\n";
  p += u"</div>\n</body>\n</html>\n";
  return html::ToUtf8(p);
}

ClickOutcome ClassifyClick(const kit::PageClick& click) {
  ClickOutcome out;
  if (!text::EqualsNoCase(click.type, u"click") || !text::EqualsNoCase(click.tag, u"img") || click.id != u"xwpk_check") return out;
  const size_t slash = click.src.find_last_of(u'/');
  const std::u16string name = slash == std::u16string::npos ? click.src : click.src.substr(slash + 1);
  // The page's own script has already swapped the image: "on" is a ticked "do not show again".
  out.notify = name.find(u"checkbox_on") == std::u16string::npos;
  out.proceed = false;
  return out;
}

}  // namespace xwpk
