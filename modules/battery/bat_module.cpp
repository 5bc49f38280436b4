#include "modules/battery/bat_module.h"

#include <cstdio>

#include "modules/battery/module/bat_resource_ids.h"

namespace bat {
namespace {
constexpr size_t kPageLimit = 1 << 20;

std::u16string ValueName(const char* stem, int k) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%s%02d", stem, k);
  return std::u16string(buffer, buffer + std::char_traits<char>::length(buffer));
}
}  // namespace

uint32_t ChangedFields(const Settings& a, const Settings& b) {
  uint32_t fields = (a.enable != b.enable ? kSaveEnable : 0) | (a.notifyMask != b.notifyMask ? kSaveNotify : 0) |
                    (a.autoMask != b.autoMask ? kSaveAuto : 0);
  for (int k = 0; k < kConditions; ++k)
    if (a.interval[k] != b.interval[k]) fields |= kSaveInterval0 << k;
  return fields;
}

void Module::Outcome::Add(int b, uint32_t bits, uint32_t percentValue) {
  for (int k = 0; k < kConditions; ++k) {
    if (!(bits & ConditionBit(k))) continue;
    found[b] |= ConditionBit(k);
    all |= ConditionBit(k);
    ++count;
  }
  if (bits) percent[b] = percentValue;
}

Module::Module(Ports ports, const LayoutPatterns& patterns)
    : ports_(ports), patterns_(patterns), pages_(ports.files) {}

Module::~Module() = default;

int Module::Initialize(const std::optional<std::string>& model) {
  if (!model) return kErrDriver;
  const auto kind = LayoutKind(patterns_, *model, ReadConfigWord(ports_.driver));
  if (!kind) return kErrDriver;
  kind_ = *kind;
  count_ = PackCount(kind_);
  if (ports_.store.MachineDword(u"FunctionEnable").value_or(1) == 0) return kErrDriver;
  setupEnable_ = ports_.store.MachineDword(u"SetupEnable").value_or(1) != 0;
  for (uint16_t id : Strings::Ids()) {
    auto text = ports_.strings.Load(id);
    if (!text) return kErrNotAvailable;
    strings_.Set(id, std::move(*text));
  }
  const auto path = ports_.store.MachineString(u"CustomNotification");
  if (path && !path->empty() && ports_.files.Exists(*path)) {
    XmlElement root;
    if (ports_.files.LoadXml(*path, root)) custom_ = CustomTexts(root);
  }
  debug_ = ports_.store.MachineDword(u"CustomNotificationDebug").value_or(0) != 0;
  for (int b = 0; b < count_; ++b) LoadSettings(b);
  return 0;
}

bool Module::IsEnabled() const {
  for (int b = 0; b < count_; ++b)
    if (batteries_[b].live.enable) return true;
  return false;
}

Settings Module::DefaultSettings(int b) {
  IStore& store = ports_.store;
  Settings s;
  s.enable = store.MachineDword(u"Enable").value_or(1) != 0;
  const uint32_t notify = store.MachineDword(u"NotifyEventMask").value_or(8);
  s.notifyMask = notify < 8 ? notify : DefaultMask(kind_, b);
  const uint32_t autoMask = store.MachineDword(u"AutoCheckMask").value_or(8);
  if (autoMask < 8)
    s.autoMask = autoMask;
  else
    s.autoMask = store.UserDword(u"", u"InitialAutoCheck").value_or(0) ? DefaultMask(kind_, b) : 0;
  for (int k = 0; k < kConditions; ++k) {
    const uint32_t v = store.MachineDword(ValueName("AutoCheckInterval", k).c_str()).value_or(3);
    s.interval[k] = v < 3 ? v : 0;
  }
  return s;
}

Settings Module::PackSettings(int b, const std::u16string& id) {
  IStore& store = ports_.store;
  Settings s = DefaultSettings(b);
  s.enable = store.UserDword(id, u"Enable").value_or(s.enable);
  s.notifyMask = store.UserDword(id, u"NotifyEventMask").value_or(s.notifyMask);
  s.autoMask = store.UserDword(id, u"AutoCheckMask").value_or(s.autoMask);
  for (int k = 0; k < kConditions; ++k)
    s.interval[k] = store.UserDword(id, ValueName("AutoCheckInterval", k).c_str()).value_or(s.interval[k]);
  return s;
}

void Module::LoadSettings(int b) {
  Battery& battery = batteries_[b];
  const auto id = ReadIdentity(ports_.driver, b);
  if (!id) {
    battery = Battery{};
    return;
  }
  battery.present = true;
  battery.identity = *id;
  battery.live = PackSettings(b, *id);
  auto date = [&](const char16_t* name) {
    const auto text = ports_.store.UserString(*id, name);
    return text ? ParseRegistryDate(*text).value_or(Date{}) : Date{};
  };
  for (int k = 0; k < kConditions; ++k) battery.lastNotify[k] = date(ValueName("LastNotifyDate", k).c_str());
  battery.recal = date(u"RecalDate");
}

bool Module::Save(const std::u16string& id, const Settings& s, uint32_t fields, uint32_t datesFound, const Date* recal) {
  if (id.empty() || ports_.store.AuditMode()) return false;
  IStore& store = ports_.store;
  bool ok = true;
  auto dword = [&](uint32_t field, const char16_t* name, uint32_t value) {
    if (fields & field) ok = store.WriteUserDword(id, name, value) && ok;
  };
  dword(kSaveEnable, u"Enable", s.enable);
  dword(kSaveNotify, u"NotifyEventMask", s.notifyMask);
  dword(kSaveAuto, u"AutoCheckMask", s.autoMask);
  for (int k = 0; k < kConditions; ++k)
    dword(kSaveInterval0 << k, ValueName("AutoCheckInterval", k).c_str(), s.interval[k]);
  const Date shown = page_.shownAt.date();
  if (page_.shownAfterAuto && IsValidRecalDate(shown))
    for (int k = 0; k < kConditions; ++k)
      if (datesFound & ConditionBit(k))
        ok = store.WriteUserString(id, ValueName("LastNotifyDate", k).c_str(), FormatRegistryDate(shown)) && ok;
  if (recal && IsValidRecalDate(*recal)) ok = store.WriteUserString(id, u"RecalDate", FormatRegistryDate(*recal)) && ok;
  return ok;
}

bool Module::CommitSettings(int b, const std::u16string& id, const Settings& s) {
  if (batteries_[b].identity == id) batteries_[b].live = s;
  return Save(id, s, kSaveAll, 0, nullptr);
}

std::optional<int64_t> Module::Midnight(const Date& d) {
  if (d.IsZero() || d.year < 1900) return std::nullopt;
  return ports_.clock.LocalMidnight(d);
}

CheckAnswer Module::AutoCheck(int pageCapacity) {
  if (autoDone_) return CheckAnswer{kCheckKeep, {}, {}};
  autoDone_ = true;
  for (int b = 0; b < count_; ++b) {
    LoadSettings(b);
    Battery& battery = batteries_[b];
    battery.captured = battery.identity;
    if (!battery.present) continue;
    const auto recal = ReadRecalDate(ports_.driver, b);
    if (recal && *recal != battery.recal) {
      battery.recalChanged = true;
      battery.newRecal = *recal;
      if (Save(battery.captured, battery.live, 0, 0, &battery.newRecal)) battery.recal = *recal;
    }
  }
  const int64_t now = ports_.clock.NowUtc();
  for (int b = 0; b < count_; ++b) {
    Battery& battery = batteries_[b];
    battery.toCheck = 0;
    for (int k = 0; battery.live.enable && k < kConditions; ++k) {
      const uint32_t c = ConditionBit(k);
      if ((battery.live.notifyMask & c) && (battery.live.autoMask & c) &&
          IsDue(battery.recalChanged, Midnight(battery.lastNotify[k]), battery.live.interval[k], now))
        battery.toCheck |= c;
    }
    battery.recalChanged = false;
  }
  return CommonCheck(true, pageCapacity);
}

CheckAnswer Module::ManualCheck(int pageCapacity) {
  for (int b = 0; b < count_; ++b) {
    LoadSettings(b);
    batteries_[b].captured = batteries_[b].identity;
    batteries_[b].toCheck = batteries_[b].live.enable ? batteries_[b].live.notifyMask : 0;
  }
  return CommonCheck(false, pageCapacity);
}

void Module::Evaluate(int b, Outcome& out) {
  const Battery& battery = batteries_[b];
  uint32_t found = 0, percent = 0;
  if (battery.toCheck & kRecal) {
    auto date = ReadRecalDate(ports_.driver, b);
    if (!date) date = ReadRecalDateFromController(ports_.driver, b);
    const auto midnight = date && IsValidRecalDate(*date) ? ports_.clock.LocalMidnight(*date) : std::nullopt;
    if (midnight && RecalFound(ports_.clock.NowUtc(), *midnight)) found |= kRecal;
  }
  if (battery.toCheck & (kHalfCapa | kNoCapa)) {
    // The present packs take the openable devices in order, so one pack in a two-bay
    // notebook is still measured; with fewer devices than packs nobody can tell whose is whose.
    std::vector<int> present;
    for (int i = 0; i < count_; ++i)
      if (batteries_[i].present) present.push_back(i);
    const std::vector<DeviceReading> devices = ports_.devices.ReadOpenable(static_cast<size_t>(count_));
    for (size_t j = 0; devices.size() >= present.size() && j < present.size(); ++j) {
      if (present[j] != b || !devices[j].valid) continue;
      percent = WearPercent(devices[j].design, devices[j].full);
      found |= WearFindings(percent, battery.toCheck & (kHalfCapa | kNoCapa));
    }
  }
  out.Add(b, found, percent);
}

CheckAnswer Module::CommonCheck(bool automatic, int pageCapacity) {
  Outcome out;
  for (int b = 0; b < count_; ++b) {
    if (debug_) {
      debugCycle_ = debugCycle_ == 2 || debugCycle_ == 3 ? 0 : debugCycle_ + 1;
      static const uint32_t kValues[] = {80, 49, 29};
      out.Add(b, ConditionBit(debugCycle_), kValues[debugCycle_]);
    } else if (batteries_[b].toCheck) {
      Evaluate(b, out);
    }
  }
  // Nothing found, or no page made, leaves the previous page to the kit's rule.
  if (out.count == 0 || !WritePage(out, pageCapacity)) return CheckAnswer{};
  page_ = PageState{};
  page_.count = out.count;
  page_.automatic = automatic;
  page_.found = out.found;
  for (int b = 0; b < count_; ++b) {
    page_.captured[b] = batteries_[b].captured;
    page_.base[b] = page_.pending[b] = batteries_[b].live;
  }
  const int severity = Severity(out.all);
  return CheckAnswer{kCheckPage, Text(strings_, custom_, severity, kMinipop, {Num(out.count)}), pages_.Path()};
}

bool Module::WritePage(const Outcome& out, int pageCapacity) {
  PageInput in;
  in.modulePath = ports_.files.ModulePath();
  in.kind = kind_;
  in.setupEnable = setupEnable_;
  in.found = out.all;
  in.checkTime = ports_.clock.DateTimeText(ports_.clock.NowLocal());
  in.custom = &custom_;
  in.strings = &strings_;
  for (int b = 0; b < count_; ++b) {
    for (int k = 0; k < kConditions; ++k) {
      if (!(out.found[b] & ConditionBit(k))) continue;
      PageSection s;
      s.battery = b;
      s.condition = k;
      s.percent = out.percent[b];
      if (k == 0) s.duration = ReadDurationText(ports_.driver, b, strings_);
      s.autoCheck = (batteries_[b].live.autoMask & ConditionBit(k)) != 0;
      s.interval = batteries_[b].live.interval[k];
      in.sections.push_back(s);
    }
  }
  const auto bytes = ports_.codePage.Encode(BuildPage(in));
  return bytes && bytes->size() <= kPageLimit && pages_.Begin() && pages_.Write(*bytes) && pages_.Commit(pageCapacity);
}

void Module::EnableAutoCheck(bool on) {
  for (int b = 0; b < count_; ++b) {
    Battery& battery = batteries_[b];
    battery.live.autoMask = on ? DefaultMask(kind_, b) : 0;
    Save(battery.identity, battery.live, kSaveAll, 0, nullptr);
  }
  if (on) autoDone_ = false;
  if (!ports_.store.AuditMode()) ports_.store.WriteUserDword(u"", u"InitialAutoCheck", on ? 1 : 0);
}

void Module::OnShow() {
  page_.shownAt = ports_.clock.NowLocal();
  if (page_.automatic) page_.shownAfterAuto = true;
}

ClickAction Module::OnClick(const ClickEvent& e) {
  ClickAction action;
  auto lower = [](std::u16string s) {
    for (char16_t& c : s)
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    return s;
  };
  if (lower(e.type) != u"click") return action;
  const std::u16string tag = lower(e.tag);
  if (tag == u"input") {
    if (e.id == u"recal_utility") {
      action.launchUtility = !e.disabled;
      return action;
    }
    for (int b = 0; e.checked && b < count_; ++b)
      for (int k = 0; k < kConditions; ++k) {
        const std::u16string p = ControlPrefix(k), i(1, static_cast<char16_t>(u'0' + b));
        const bool on = e.id == p + u"_radio_autocheck" + i, off = e.id == p + u"_radio_manualcheck" + i;
        if (!on && !off) continue;
        uint32_t& mask = page_.pending[b].autoMask;
        mask = on ? mask | ConditionBit(k) : mask & ~ConditionBit(k);
        action.element = p + u"_list_id" + i;
        action.disable = off;
      }
  } else if (tag == u"select") {
    for (int b = 0; b < count_; ++b)
      for (int k = 0; k < kConditions; ++k)
        if (e.id == ControlPrefix(k) + (u"_list_id" + std::u16string(1, static_cast<char16_t>(u'0' + b))) &&
            (page_.pending[b].autoMask & ConditionBit(k)) && e.selectedIndex >= 0 && e.selectedIndex < 3)
          page_.pending[b].interval[k] = static_cast<uint32_t>(e.selectedIndex);
  } else if (tag == u"a") {
    const std::u16string& h = e.href;
    if (h.find(u"file:") != std::u16string::npos && !h.empty() && h.back() == u'#') action.result = 0;
    action.openManual = e.id == u"recal_manual";
  }
  return action;
}

void Module::OnClose() {
  for (int b = 0; b < count_; ++b) {
    const std::u16string& id = page_.captured[b];
    if (id.empty()) continue;
    // Start from what is stored now, so that a change made in the settings sheet meanwhile
    // survives; only what the page itself changed is applied over it, then all is written.
    Settings s = PackSettings(b, id);
    const Settings& pending = page_.pending[b];
    const uint32_t changed = ChangedFields(page_.base[b], pending);
    if (changed & kSaveEnable) s.enable = pending.enable;
    if (changed & kSaveNotify) s.notifyMask = pending.notifyMask;
    if (changed & kSaveAuto) s.autoMask = pending.autoMask;
    for (int k = 0; k < kConditions; ++k)
      if (changed & (kSaveInterval0 << k)) s.interval[k] = pending.interval[k];
    Save(id, s, kSaveAll, page_.found[b], nullptr);
    if (batteries_[b].identity == id) batteries_[b].live = s;
  }
  page_.shownAfterAuto = false;
  pages_.Withdraw();
  page_.count = 0;
}

void Module::Unload() { pages_.Withdraw(); }

std::vector<DebugBox> Module::DebugBoxes() const {
  std::vector<DebugBox> boxes;
  if (!debug_ || !custom_) return boxes;
  for (int k = 0; k < kConditions; ++k) {
    const TextEntry& e = (*custom_)[k];
    auto field = [&](Field f) { return e[f] ? *e[f] : std::u16string(u"(NULL)"); };
    boxes.push_back(DebugBox{u"minipop: " + field(kMinipop) + u"\ntitlemain: " + field(kTitleMain) + u"\ntitle: " +
                                 field(kTitle) + u"\nbody: " + field(kBody) + u"\n",
                             strings_.Get(static_cast<uint16_t>(IDS_DEBUG_RECAL + k)), k});
  }
  return boxes;
}

}  // namespace bat
