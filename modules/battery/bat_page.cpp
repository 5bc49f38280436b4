#include "modules/battery/bat_page.h"

#include "common/core/html_text.h"
#include "modules/battery/bat_rules.h"
#include "modules/battery/module/bat_resource_ids.h"

namespace bat {
namespace {
const char16_t kDoctype[] =
    u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\"\"http://www.w3.org/TR/html4/loose.dtd\">";
const char16_t kHead1[] =
    u"\n\n<html lang=\"ja\">\n\n<head>\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\n"
    u"<meta http-equiv=\"X-UA-Compatible\" content=\"IE=EmulateIE7\">\n<base href=\"";
const char16_t kHead2[] = u"\">\n<link rel=\"stylesheet\" type=\"text/css\" href=\"style.css\">\n<title>";
const char16_t kHead3[] =
    u"</title>\n</head>\n\n<body class=\"popup\">\n\n<div class=\"container\">\n<div class=\"box\">\n\n";
const char16_t kFoot[] = u"</div>\n\n</div>\n\n</body>\n\n</html>\n";
const char16_t* const kIcons[] = {u"headicon_topics.png", u"headicon_support.png", u"headicon_important.png"};
const char16_t* const kColours[] = {u"#3300FF", u"#339900", u"#CC0000"};

std::u16string Number(uint32_t n) {
  std::u16string s;
  do s.insert(s.begin(), static_cast<char16_t>(u'0' + n % 10));
  while (n /= 10);
  return s;
}

std::u16string Section(const PageInput& in, const Strings& t, const PageSection& s) {
  const std::u16string p = ControlPrefix(s.condition), i = Number(static_cast<uint32_t>(s.battery));
  const std::u16string disabled = in.setupEnable ? u"" : u"disabled";
  const NameUse use = s.condition == 0 ? kPossessiveName : kPackName;
  const std::vector<Arg> bodyArgs =
      s.condition == 0 ? std::vector<Arg>{Txt(s.duration), Txt(u"recal_manual"), Txt(u"recal_utility")}
                       : std::vector<Arg>{Num(static_cast<int>(s.percent))};
  std::u16string out = u"<h3><font color=\"" + std::u16string(kColours[s.condition]) + u"\" size=\"+1\">";
  out += Text(t, *in.custom, s.condition, kTitle, {Txt(BatteryName(t, s.battery, in.kind, use))}) + u"</font></h3>";
  out += Text(t, *in.custom, s.condition, kBody, bodyArgs);
  out += u"<p class=\"Date\">" + html::HtmlEscape(in.checkTime) + u"</p><br><br><br>";
  out += u"<p class=\"CommandLink\" " + disabled + u"><input type=\"radio\" name=\"" + p + u"_radio" + i + u"\" id=\"" +
         p + u"_radio_autocheck" + i + u"\"" + (s.autoCheck ? u"checked" : u"") + u">" + t.Get(IDS_AGAIN) +
         u"&nbsp;&nbsp;&nbsp;&nbsp;";
  out += u"<select name=\"" + p + u"_list" + i + u"\" id=\"" + p + u"_list_id" + i + u"\" " +
         (in.setupEnable && s.autoCheck ? u"" : u"disabled") + u">";
  for (uint32_t v = 0; v < 3; ++v)
    out += u"<option value=\"" + Number(v) + u"\" " + (v == s.interval ? u"selected" : u"") + u">" + t.Get(static_cast<uint16_t>(IDS_EVERY_DAY + v));
  out += u"</select></p>";
  out += u"<p class=\"CommandLink\" " + disabled + u"><input type=\"radio\" name=\"" + p + u"_radio" + i + u"\" id=\"" +
         p + u"_radio_manualcheck" + i + u"\"" + (s.autoCheck ? u"" : u"checked") + u">" + t.Get(IDS_NO_MORE) + u"</p><hr>";
  return out;
}
}  // namespace

int Severity(uint32_t found) { return found & kNoCapa ? 2 : found & kHalfCapa ? 1 : 0; }

const char16_t* ControlPrefix(int condition) {
  static const char16_t* const kPrefixes[] = {u"recal", u"half_capa", u"no_capa"};
  return kPrefixes[condition];
}

std::u16string BuildPage(const PageInput& in) {
  static const std::optional<TextTable> kNone;
  static const Strings kNoStrings;
  PageInput page = in;
  if (!page.custom) page.custom = &kNone;
  const Strings& t = in.strings ? *in.strings : kNoStrings;
  const int severity = Severity(in.found);
  std::u16string out = std::u16string(kDoctype) + kHead1 + html::HtmlEscape(html::FileUrl(in.modulePath)) + kHead2 +
                       t.Get(IDS_APP_TITLE) + kHead3;
  out += u"<h2>\n<img class=\"tail\" src=\"pop_tail.png\"\n><img src=\"pop_arrow2.png\" alt=\"\"\n><img src=\"" +
         std::u16string(kIcons[severity]) + u"\" alt=\"\"\n><span>" + Text(t, *page.custom, severity, kTitleMain, {}) +
         u"</span></h2>\n\n<div id=\"Important\" class=\"body\"></div>\n";
  for (const PageSection& s : in.sections) out += Section(page, t, s);
  return out + kFoot;
}

}  // namespace bat
