#include "modules/anomaly/anm_page.h"

#include "common/core/html_text.h"
#include "modules/anomaly/anm_text_ids.h"

namespace anm {
namespace {

// Appends what fits within the page's limit and leaves out what does not (a custom text too
// long), so that the sections before it, a red battery warning first, still show. The page's
// closing always has its room.
constexpr size_t kClosingRoom = 256;
class Page {
 public:
  Page& operator<<(const std::u16string& s) {
    if (text_.size() + s.size() < kPageLimit - kClosingRoom) text_ += s;
    return *this;
  }
  std::u16string Close(const std::u16string& closing) {
    if (text_.size() + closing.size() < kPageLimit) text_ += closing;
    return std::move(text_);
  }

 private:
  std::u16string text_;
};

std::u16string Box(const char16_t* id, const std::u16string& label, const char16_t* after) {
  return u"<p class=\"CommandLink\"><input type=\"checkbox\" id=\"" + std::u16string(id) + u"\">" + label + u"</p>\n" +
         after;
}

void Section(Page& p, const Texts& t, Entry e) {
  p << u"<h3><font color=\"#3300FF\" size=\"+1\">" << t.Field(e, kTitle) << u"</font></h3>" << t.Field(e, kBody);
}
}  // namespace

const std::vector<PageBox>& PageBoxes() {
  static const std::vector<PageBox> boxes = {{u"notify_orange_flash_tmp", kBitBattery},
                                             {u"notify_orange_flash_pow", kBitBattery},
                                             {u"notify_not_support_ac", kBitAdaptor},
                                             {u"notify_mini_ac", kBitMini},
                                             {u"notify_app_deleted", kBitApps}};
  return boxes;
}

std::optional<std::u16string> BuildPage(const PageInput& in) {
  const Texts& t = *in.texts;
  const Findings& f = in.findings;
  const Entry head = f.MiniOnly() ? kMini : kRed;
  const std::u16string icon = f.MiniOnly() ? u"headicon_topics.png" : u"headicon_important.png";
  const std::u16string titleMain = t.Field(head, kTitleMain);
  const std::u16string dontShow = t.Get(IDS_ANM_DONT_SHOW);
  Page p;
  p << u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" \"http://www.w3.org/TR/html4/strict.dtd\">"
    << u"\n\n<html lang=\"" << in.language << u"\">\n\n<head>\n"
    << u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">\n"
    << u"<meta http-equiv=\"X-UA-Compatible\" content=\"IE=EmulateIE7\">\n"
    << u"<base href=\"" << html::HtmlEscape(html::FileUrl(in.modulePath)) << u"\">\n"
    << u"<link rel=\"stylesheet\" type=\"text/css\" href=\"style.css\">\n<title>" << titleMain
    << u"</title>\n</head>\n\n<body class=\"popup\">\n\n<div class=\"container\">\n<div class=\"box\">\n\n"
    << u"<h2>\n<img class=\"tail\" src=\"pop_tail.png\"\n><img src=\"pop_arrow2.png\" alt=\"\"\n><img src=\"" << icon
    << u"\" alt=\"\"\n><span>" << titleMain << u"</span></h2>\n\n<div id=\"Important\" class=\"body\"></div>\n";
  if (f.battery != Battery::Fine) {
    const Entry e = f.battery == Battery::Red ? kRed : f.battery == Battery::OrangeTemperature ? kOrangeTemperature
                                                                                               : kOrangePower;
    Section(p, t, e);
    if (e == kRed) p << u"<hr>\n\n";
    else p << Box(e == kOrangeTemperature ? u"notify_orange_flash_tmp" : u"notify_orange_flash_pow", dontShow,
                  u"\n<hr>\n\n");
  }
  if (f.notRecommended) {
    Section(p, t, kNotRecommended);
    p << Box(u"notify_not_support_ac", dontShow, u"\n<hr>\n\n");
  }
  if (f.mini) {
    Section(p, t, kMini);
    p << Box(u"notify_mini_ac", dontShow, u"\n<hr>\n\n");
  }
  if (f.apps) {
    Section(p, t, kApps);
    if (!in.administrator) p << u"<p>" << t.Get(IDS_ANM_NOT_ADMIN) << u"</p>\n";
    p << Box(u"notify_app_deleted", dontShow, u"<br>\n");
    const std::u16string repair = html::HtmlEscape(t.Get(IDS_ANM_REPAIR));
    const bool disabled = in.repairRunning || !in.administrator;
    for (const RepairRecord& r : *in.records) {
      if (r.state == kNothing) continue;
      const std::u16string id = [&] {
        std::u16string s;
        for (char c : std::to_string(r.id)) s += static_cast<char16_t>(c);
        return s;
      }();
      p << u"<hr style=\"border-style:dotted\">\n<h3><font color=\"#3366FF\" size=\"+1\"><u>" << html::HtmlEscape(r.name)
        << u"</u></font></h3><div align=\"right\"><p><button type=\"button\" id=\"" << id << u"\""
        << (disabled ? u" disabled" : u"") << u">" << repair << u"</button></p></div>\n\n";
    }
    p << u"<hr>\n";
  }
  return p.Close(u"<p class=\"Date\">" + html::HtmlEscape(in.dateTime) + u"</p><br><br><br>" +
                 u"</div>\n\n</div>\n\n</body>\n\n</html>\n");
}

}  // namespace anm
