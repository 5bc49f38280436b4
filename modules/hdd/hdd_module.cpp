#include "modules/hdd/hdd_module.h"

#include <string>

#include "common/core/html_text.h"
#include "common/pattern/pattern.h"
#include "modules/hdd/hdd_text_ids.h"

namespace hddm {
namespace {

constexpr int32_t kRunning = 4, kAutoStart = 2;

struct EventInfo {
  uint32_t bit;
  const char16_t *link, *check;
  uint16_t title, name;
  const char16_t* chapter;
};
// Page order: hibernate, shock, temperature, power-on.
const EventInfo kEvents[] = {
    {kHibernate, u"hibernate_pdf", u"hibernate_check", IDS_HDD_HIBERNATE_TITLE, IDS_HDD_NAME_HIBERNATE, u"03"},
    {kShock, u"shock_pdf", u"shock_check", IDS_HDD_SHOCK_TITLE, IDS_HDD_NAME_SHOCK, u"01"},
    {kTemperature, u"temperature_pdf", u"temperature_check", IDS_HDD_TEMPERATURE_TITLE, IDS_HDD_NAME_TEMPERATURE, u"04"},
    {kPowerOn, u"poweron_pdf", u"poweron_check", IDS_HDD_POWERON_TITLE, IDS_HDD_NAME_POWERON, u"05"},
};

std::u16string Number(long long v) {
  const std::string s = std::to_string(v);
  return std::u16string(s.begin(), s.end());
}

bool EndsWith(const std::u16string& s, const std::u16string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}
}  // namespace

std::optional<int> ModelClass(const std::string& model) {
  // The maker's families: the standard notebooks, the rugged line, the ultra-light line.
  static const char* const kPatterns[3] = {"^PT-", "^RX-", "^UV-"};
  for (int c = 0; c < 3; ++c)
    if (Pattern::Find(kPatterns[c], model) == Pattern::Status::Match) return c;
  return std::nullopt;
}

std::u16string LanguageTag(uint16_t langId) {
  const unsigned primary = langId & 0x3FF, sub = langId >> 10;
  switch (primary) {
    case 0x04: return sub == 1 || sub == 3 || sub == 5 ? u"zh-Hant" : u"zh-Hans";
    case 0x07: return u"de";
    case 0x0A: return u"es";
    case 0x0C: return u"fr";
    case 0x10: return u"it";
    case 0x11: return u"ja";
    default: return u"en";
  }
}

std::u16string ManualLetter(uint16_t langId) {
  const std::u16string tag = LanguageTag(langId);
  if (tag == u"zh-Hant") return u"CT";
  if (tag == u"zh-Hans") return u"CS";
  if (tag == u"de") return u"G";
  if (tag == u"es") return u"P";
  if (tag == u"fr") return u"F";
  if (tag == u"it") return u"T";
  if (tag == u"ja") return u"J";
  return u"E";
}

std::u16string Fill(const std::u16string& f, const std::vector<std::u16string>& args) {
  std::u16string out;
  size_t next = 0;
  for (size_t i = 0; i < f.size(); ++i) {
    if (f[i] == u'%' && i + 1 < f.size() && (f[i + 1] == u's' || f[i + 1] == u'd')) {
      if (next < args.size()) out += args[next++];
      ++i;
    } else if (f[i] == u'%' && i + 1 < f.size() && f[i + 1] == u'%') {
      out += u'%';
      ++i;
    } else {
      out += f[i];
    }
  }
  return out;
}

std::u16string TimeText(uint32_t minutes, bool xp, IStrings& strings) {
  if (minutes == 0) return strings.Load(IDS_HDD_NEVER);
  if (xp && minutes >= 60) {
    const uint32_t hours = minutes / 60;
    return Fill(strings.Load(hours == 1 ? IDS_HDD_HOUR : IDS_HDD_HOURS), {Number(hours)});
  }
  return Fill(strings.Load(minutes == 1 ? IDS_HDD_MIN : IDS_HDD_MINS), {Number(minutes)});
}

uint32_t Module::ReadDword(const char16_t* name, uint32_t fallback, bool userFirst) {
  if (userFirst)
    if (auto v = p_.store.UserDword(name)) return *v;
  if (auto v = p_.store.MachineDword(name)) return *v;
  return fallback;
}

int Module::Prepare(const std::optional<std::string>& model) {
  if (!model) return kErrDriver;
  const std::optional<int> c = ModelClass(*model);
  if (!c) return kErrDriver;
  class_ = *c;
  const uint32_t enableDefault = class_ == 0 ? 1 : 0;
  s_.enable = ReadDword(u"Enable", enableDefault, true);
  s_.setupEnable = ReadDword(u"SetupEnable", s_.enable, false);
  s_.notifyMask = ReadDword(u"NotifyEventMask", 15, true);
  s_.suppressDialogOff = ReadDword(u"SuppressDontShowNextDlg", 0, true);
  s_.autoCheck = ReadDword(u"AutoCheck", 0, true);
  if (s_.enable == 0 && s_.setupEnable == 0) return kErrDriver;
  return 0;
}

int Module::Attach(IDiskwarn& dw) {
  dw_ = &dw;
  bool running = false;
  for (int i = 0; i < 3000 && !running; ++i) {
    int32_t state = 0, start = 0;
    if (!dw.PipeServiceState(state, start)) return kErrNotAvailable;
    running = state == kRunning;
    if (!running && start != kAutoStart) return kErrNotAvailable;
    if (!running) p_.platform.Sleep(100);
  }
  if (!running || !dw.DiskPath(path_)) return kErrNotAvailable;
  // The support flags wait for their first use (SupportFlags): a second pipe request here
  // would hold up the host's start for every module.
  const std::optional<uint32_t> lua = p_.platform.EnableLua();
  mayStart_ = p_.platform.IsAdministrator() || (!p_.platform.IsXp() && (!lua || *lua != 0));
  return 0;
}

void Module::AskTarget() {
  if (targetKnown_ || !dw_) return;
  int32_t target = 1, noExcluded = 1;
  if (!dw_->CheckTarget(target, noExcluded)) return;  // asked again at the next need
  targetKnown_ = true;
  target_ = target, noExcluded_ = noExcluded;
  if (target_ == 0) s_.enable = s_.setupEnable = 0;
}

void Module::Save() {
  if (s_.setupEnable == 0 || p_.store.AuditMode()) return;
  p_.store.WriteUserDword(u"Enable", s_.enable);
  p_.store.WriteUserDword(u"NotifyEventMask", s_.notifyMask);
  p_.store.WriteUserDword(u"SuppressDontShowNextDlg", s_.suppressDialogOff);
  p_.store.WriteUserDword(u"AutoCheck", s_.autoCheck);
}

bool Module::InitialMessageWanted() {
  AskTarget();
  return targetKnown_ && target_ != 0 && noExcluded_ != 0 && s_.enable == 1;
}

uint16_t Module::SetupDialog() {
  AskTarget();
  return s_.setupEnable == 1 ? 102 : 0;
}

void Module::EnableAutoCheck(bool on) {
  AskTarget();
  if (noExcluded_ == 0) return;
  s_.autoCheck = on ? 1 : 0;
  Save();
}

bool Module::DataServiceRunning() {
  int32_t state = 0, start = 0;
  return dw_ && dw_->DataServiceState(state, start) && state == kRunning;
}

bool Module::OfferServiceStart(bool confirmed) {
  if (!confirmed || !mayStart_ || !dw_ || !dw_->StartService()) return false;
  if (path_.empty()) dw_->DiskPath(path_);
  SupportFlags();
  return true;
}

uint32_t Module::SupportFlags() {
  int32_t flags = 0;
  if (support_ == 0 && dw_ && dw_->SupportInfo(flags)) support_ = static_cast<uint32_t>(flags) & 15;
  return support_;
}

bool Module::WaitDataService(bool& failed) {
  failed = false;
  for (int i = 0; i < 600; ++i) {
    int32_t state = 0, start = 0;
    if (!dw_->DataServiceState(state, start)) return failed = true, false;
    if (state == kRunning) return true;
    if (start != kAutoStart) return false;
    p_.platform.Sleep(100);
  }
  return false;
}

kit::CheckAnswer Module::AutoCheck(int pageCapacity) {
  kit::CheckAnswer a;
  AskTarget();
  if (s_.enable == 0 || !dw_) return a;
  a.result = kit::kCheckKeep;
  if (s_.autoCheck == 0) return a;
  // A viewer slow at logon may have had no path yet: asked again while there is none.
  if (path_.empty()) dw_->DiskPath(path_);
  if (path_.empty()) return a.result = kit::kCheckNothing, a;
  int32_t spinning = 0;
  if (!dw_->MotorSpinning(path_, spinning) || spinning == 0) return a;  // never wake the disk
  // Each hourly check answers the disk's state, page held or not: the host's line may have
  // been replaced (a stopped-service notice, a page it could not show) without a close.
  const LocalTime t = p_.platform.NowLocal();
  if (t.hour == lastAutoHour_ || t.minute > 5) return a;
  lastAutoHour_ = t.hour;
  return ManualCheck(pageCapacity);
}

kit::CheckAnswer Module::ManualCheck(int pageCapacity) {
  kit::CheckAnswer a;
  AskTarget();
  if (s_.enable == 0 || !dw_) return a;
  bool failed = false;
  if (!WaitDataService(failed)) {
    if (failed) return a;
    a.result = kCheckAction | kNotifyPersistent;
    a.text = p_.strings.Load(IDS_HDD_NO_INFORMATION);
    a.code = 1;
    return a;
  }
  const uint32_t wanted = s_.notifyMask & SupportFlags() & ~suppressed_ & 15;
  int32_t found = 0;
  if (!dw_->Evaluate(class_, wanted, found)) return a;
  const uint32_t events = static_cast<uint32_t>(found) & wanted;
  if (events == 0) return a;
  int sections = 0;
  const std::u16string html = PageHtml(events, sections);
  if (sections == 0 || !pages_.Begin()) return a;
  if (!pages_.Write(html::ToUtf8(html)) || !pages_.Commit(pageCapacity)) return a;
  a.result = kit::kCheckPage;
  a.text = Fill(p_.strings.Load(sections == 1 ? IDS_HDD_COUNT_ONE : IDS_HDD_COUNT_MANY), {Number(sections)});
  a.page = pages_.Path();
  return a;
}

std::u16string Module::PageHtml(uint32_t events, int& sections) {
  IStrings& t = p_.strings;
  const bool xp = p_.platform.IsXp();
  sections = 0;
  std::u16string body;
  const std::u16string date = p_.platform.DateTimeText(p_.platform.NowLocal());
  for (const EventInfo& e : kEvents) {
    if (!(events & e.bit)) continue;
    std::u16string text;
    if (e.bit == kHibernate) {
      uint32_t ac = 0, dc = 0;
      if (!dw_ || !dw_->DefaultTimes(ac, dc)) continue;
      text = Fill(t.Load(IDS_HDD_HIBERNATE_BODY), {TimeText(ac, xp, t), TimeText(dc, xp, t), u"hibernate_powercfg"});
    } else if (e.bit == kPowerOn) {
      text = Fill(t.Load(xp ? IDS_HDD_POWERON_BODY_XP : IDS_HDD_POWERON_BODY), {u"poweron_sleep"});
    } else {
      text = t.Load(e.bit == kShock ? IDS_HDD_SHOCK_BODY : IDS_HDD_TEMPERATURE_BODY);
    }
    body += u"<h3>\n<a href=\"#\" id=\"" + std::u16string(e.link) + u"\">\n" + t.Load(e.title) + u"\n</a>\n</h3>\n\n";
    body += text;
    body += u"<p class=\"Date\">" + date + u"</p>\n<p class=\"CommandLink\"><input type=\"checkbox\" id=\"" +
            std::u16string(e.check) + u"\">" + t.Load(IDS_HDD_DO_NOT_DISPLAY) + u"</p>\n\n<hr>\n\n";
    ++sections;
  }
  if (sections == 0) return u"";
  std::u16string page =
      u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" \"http://www.w3.org/TR/html4/strict.dtd\">\n"
      u"<html lang=\"" + LanguageTag(p_.platform.UiLanguage()) + u"\">\n<head>\n"
      u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">\n"
      u"<meta http-equiv=\"X-UA-Compatible\" content=\"IE=EmulateIE7\">\n"
      u"<base href=\"file:///" + p_.platform.ModulePath() + u"\">\n"
      u"<link rel=\"stylesheet\" type=\"text/css\" href=\"style.css\">\n"
      u"<title>" + t.Load(IDS_HDD_TITLE) + u"</title>\n</head>\n<body class=\"popup\">\n"
      u"<div class=\"container\">\n<div class=\"box\">\n"
      u"<h2><img src=\"pop_tail.png\" alt=\"\"><img src=\"pop_arrow2.png\" alt=\"\"><img src=\"headicon_support.png\" alt=\"\">" +
      t.Load(IDS_HDD_HEADING) + u"</h2>\n<div id=\"Important\" class=\"body\">\n";
  return page + body + u"</div>\n\n</div>\n\n</div>\n\n</body>\n\n</html>\n";
}

ClickAction Module::OnClick(const ClickEvent& e) {
  ClickAction a;
  for (const EventInfo& info : kEvents) {
    if (e.id == info.check) {
      if (!e.checked) {
        suppressed_ &= ~info.bit;
      } else {
        suppressed_ |= info.bit;
        if (s_.suppressDialogOff != 1 && !dialogOpen_) a.suppressDialogFor = info.bit;
      }
      return a;
    }
  }
  if (e.href.find(u"file:") != std::u16string::npos && EndsWith(e.href, u"#")) a.result = 0;
  for (const EventInfo& info : kEvents)
    if (e.id == info.link) a.manualFor = info.bit;
  a.powerOptions = e.id == u"hibernate_powercfg";
  a.sleep = e.id == u"poweron_sleep";
  return a;
}

static const EventInfo* Find(uint32_t event) {
  for (const EventInfo& e : kEvents)
    if (e.bit == event) return &e;
  return nullptr;
}

uint16_t Module::EventName(uint32_t event) {
  const EventInfo* e = Find(event);
  return e ? e->name : 0;
}

std::u16string Module::ManualShortcut(uint32_t event) {
  const EventInfo* e = Find(event);
  if (!e) return u"";
  return u"C:\\Util\\Manual\\HDDTips\\shortcut_" + ManualLetter(p_.platform.UiLanguage()) + u"_" + e->chapter + u".hta";
}

std::u16string Module::ManualArguments(uint32_t event, const std::u16string& pdf) {
  const EventInfo* e = Find(event);
  if (!e) return u"";
  return u"/A \"nameddest=" + ManualLetter(p_.platform.UiLanguage()) + u"-" + e->chapter + u"\" " + pdf;
}

void Module::ConfirmSuppressDialog(bool dontShowAgain) {
  if (dontShowAgain) s_.suppressDialogOff = 1;
  Save();
}

}  // namespace hddm
