#include "libs/diskwarn/hdd_rules.h"

#include <algorithm>
#include <limits>

#include "common/core/civil_date.h"
#include "common/core/text_case.h"

namespace hdd {
namespace {

bool IsSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// One "%d" as the C library scans it: blanks, a sign, digits; out of range is no number.
bool ScanInt(const std::u16string& s, size_t& i, int32_t& out) {
  while (i < s.size() && IsSpace(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) negative = s[i++] == u'-';
  const size_t start = i;
  int64_t v = 0;
  for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
    v = v * 10 + (s[i] - u'0');
    if (v > int64_t(std::numeric_limits<int32_t>::max()) + 1) return false;
  }
  if (i == start) return false;
  v = negative ? -v : v;
  if (v > std::numeric_limits<int32_t>::max()) return false;
  out = static_cast<int32_t>(v);
  return true;
}

bool ScanLiteral(const std::u16string& s, size_t& i, char16_t c) {
  if (i >= s.size() || s[i] != c) return false;
  ++i;
  return true;
}

std::u16string ValueName(int number) {
  std::u16string name = u"Diskwarn000";
  name[8] = char16_t(u'0' + number / 100 % 10);
  name[9] = char16_t(u'0' + number / 10 % 10);
  name[10] = char16_t(u'0' + number % 10);
  return name;
}

std::optional<Sample> ReadSample(IViewerValues& v, int number) {
  const std::optional<std::u16string> text = v.String(ValueName(number).c_str());
  return text ? ParseSample(*text) : std::nullopt;
}

bool EvaluateRules(int modelClass, uint32_t wanted, const Thresholds& t, IEvaluationPorts& p, uint32_t& found) {
  (void)modelClass;
  if (wanted & kEventHibernate) {
    uint32_t ac = 0, dc = 0, seconds = 0;
    if (!p.DefaultHibernate(ac, dc) || !p.HibernateSeconds(true, seconds)) return false;
    bool fires = HibernateRule(seconds, ac);
    if (!fires) {
      if (!p.HibernateSeconds(false, seconds)) return false;
      fires = HibernateRule(seconds, dc);
    }
    if (fires) found |= kEventHibernate;
  }
  if ((wanted & (kEventShock | kEventTemperature | kEventPowerOn)) == 0) return true;

  // A newest sample older than a minute is refreshed first; a refresh that never shows ends the
  // evaluation with what it has (the hibernation result), rather than judge stale samples.
  std::optional<std::u16string> newestText = p.String(u"Diskwarn002");
  if (!newestText) return false;
  const std::optional<Sample> stale = ParseSample(*newestText);
  if (!stale) return false;
  if (p.NowWallSeconds() - stale->time > 60) {
    bool running = true;
    if (!p.RequestSample(running)) return false;
    if (running) {
      bool changed = false;
      for (int i = 0; i < 10 && !changed; ++i) {
        p.Sleep(100);
        const std::optional<std::u16string> again = p.String(u"Diskwarn002");
        if (!again) return false;
        changed = *again != *newestText;
      }
      if (!changed) return true;
    }
  }

  const std::optional<Sample> reference = ReadSample(p, 3), newest = ReadSample(p, 2);
  if (!reference || !newest) return false;
  const std::optional<std::u16string> previousText = p.String(u"Diskwarn001");
  if (!previousText) return true;
  const std::optional<Sample> previous = ParseSample(*previousText);
  if (!previous) return false;
  if ((wanted & kEventPowerOn) && PowerOnRule(*reference, *newest, t)) found |= kEventPowerOn;
  // Shock and temperature need two consecutive samples.
  if (std::max<int64_t>(0, newest->time - previous->time) >= 4201) return true;

  std::vector<Sample> list = {*newest, *previous};
  for (int number = 10; number <= 17; ++number) {
    const std::optional<Sample> older = ReadSample(p, number);
    if (!older) break;
    list.push_back(*older);
  }
  if ((wanted & kEventShock) && ShockRule(list, t)) found |= kEventShock;
  if ((wanted & kEventTemperature) && TemperatureRule(list, t)) found |= kEventTemperature;
  return true;
}

}  // namespace

uint32_t ReportControl(uint32_t event) {
  switch (event) {
    case kEventHibernate: return 145;
    case kEventShock: return 146;
    case kEventTemperature: return 147;
    case kEventPowerOn: return 148;
    default: return 0;
  }
}

int64_t WallSeconds(int year, int month, int day, int hour, int minute, int second) {
  return civil::DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

std::optional<Sample> ParseSample(const std::u16string& text) {
  const size_t gap = text.find(u"  ");
  if (gap == std::u16string::npos) return std::nullopt;
  int32_t f[6] = {};
  size_t i = 0;
  static const char16_t kAfter[6] = {u'/', u'/', u' ', u':', u':', 0};
  for (int k = 0; k < 6; ++k) {
    if (!ScanInt(text, i, f[k])) return std::nullopt;
    if (kAfter[k] == u' ') continue;  // a blank in the format matches any blanks, none included
    if (kAfter[k] && !ScanLiteral(text, i, kAfter[k])) return std::nullopt;
  }
  if (f[0] < 1601 || f[0] > 30827 || f[1] < 1 || f[1] > 12 || f[2] < 1 || f[3] < 0 || f[3] > 23 || f[4] < 0 ||
      f[4] > 59 || f[5] < 0 || f[5] > 59)
    return std::nullopt;
  const civil::Date back = civil::CivilFromDays(civil::DaysFromCivil(f[0], f[1], f[2]));
  if (back.month != f[1] || back.day != f[2]) return std::nullopt;  // 31 April and the like
  Sample s;
  s.time = WallSeconds(f[0], f[1], f[2], f[3], f[4], f[5]);
  i = gap + 2;
  int32_t* numbers[4] = {&s.startStop, &s.hours, &s.shock, &s.temperature};
  for (int32_t* n : numbers)
    if (!ScanInt(text, i, *n)) return std::nullopt;
  return s;
}

uint32_t AttributeFlags(int32_t count, const uint8_t* records, size_t bytesRead) {
  if (count <= 0 || !records) return 0;
  const size_t n = std::min({static_cast<size_t>(count), kMaxRecords, std::min(bytesRead, kRecordReplyBytes) / kRecordSize});
  bool has4 = false, has9 = false;
  uint32_t flags = 0;
  for (size_t r = 0; r < n; ++r) {
    switch (records[r * kRecordSize]) {
      case 4: has4 = true; break;
      case 9: has9 = true; break;
      case 191: flags |= kSupportShock; break;
      case 194: flags |= kSupportTemperature; break;
      default: break;
    }
  }
  if (has4 && has9) flags |= kSupportPowerOn;
  return flags;
}

std::u16string PathFromReply(const uint8_t* reply, size_t bytesRead) {
  std::u16string path;
  if (!reply) return path;
  const size_t units = std::min(bytesRead, kPathReplyBytes) / 2;
  for (size_t i = 0; i < units; ++i) {
    const char16_t c = char16_t(reply[2 * i] | (reply[2 * i + 1] << 8));
    if (c == 0) break;
    path.push_back(c);
  }
  return path;
}

bool IsLocalDiskPath(const std::u16string& path) {
  if (path.size() < 5 || path[0] != u'\\' || path[1] != u'\\' || (path[2] != u'.' && path[2] != u'?') ||
      path[3] != u'\\')
    return false;
  const std::u16string_view name = std::u16string_view(path).substr(4);
  const char16_t first = text::AsciiLower(name[0]);
  if (name.size() == 2 && first >= u'a' && first <= u'z' && name[1] == u':') return true;  // a volume
  const std::u16string_view drive = u"physicaldrive";
  if (name.size() <= drive.size() || name.size() > drive.size() + 3 ||
      !text::EqualsNoCase(name.substr(0, drive.size()), drive))
    return false;
  for (char16_t c : name.substr(drive.size()))
    if (c < u'0' || c > u'9') return false;
  return true;
}

std::optional<Thresholds> ThresholdsFor(int modelClass, IViewerValues& values) {
  if (modelClass < 0 || modelClass > 2) return std::nullopt;
  Thresholds t;
  t.low = modelClass == 0 ? 0 : -5;
  const int base = 1 + 4 * modelClass;
  auto over = [&](int offset) {
    return values.Dword((u"_" + ValueName(base + offset)).c_str());
  };
  if (auto v = over(0)) t.shockStep = static_cast<int32_t>(std::min<uint32_t>(*v, 0x7FFFFFFF));
  if (auto v = over(1)) t.low = static_cast<int16_t>(*v & 0xFFFF);
  if (auto v = over(2)) t.high = static_cast<int16_t>(*v & 0xFFFF);
  if (auto v = over(3)) t.hours = static_cast<int32_t>(std::min<uint32_t>(*v, 0x7FFFFFFF));
  if (auto v = values.Dword(u"_Diskwarn013"); v && *v >= 2 && *v <= 10) t.shockSamples = static_cast<int>(*v);
  if (auto v = values.Dword(u"_Diskwarn014"); v && *v >= 1 && *v <= 10) t.temperatureSamples = static_cast<int>(*v);
  return t;
}

bool ShockRule(const std::vector<Sample>& s, const Thresholds& t) {
  const size_t n = static_cast<size_t>(t.shockSamples);
  if (n < 2 || s.size() < n) return false;
  for (size_t i = 0; i + 1 < n; ++i)
    if (int64_t(s[i].shock) < int64_t(s[i + 1].shock) + t.shockStep) return false;
  return true;
}

bool TemperatureRule(const std::vector<Sample>& s, const Thresholds& t) {
  const size_t n = static_cast<size_t>(t.temperatureSamples);
  if (n < 1 || s.size() < n) return false;
  bool allHigh = true, allLow = true;
  for (size_t i = 0; i < n; ++i) {
    allHigh = allHigh && s[i].temperature >= t.high;
    allLow = allLow && s[i].temperature <= t.low;
  }
  return allHigh || allLow;
}

bool PowerOnRule(const Sample& a, const Sample& b, const Thresholds& t) {
  return a.startStop == b.startStop && b.hours >= a.hours && int64_t(b.hours) - a.hours > t.hours;
}

bool HibernateRule(uint32_t seconds, uint32_t defaultMinutes) {
  // Compared in seconds, so that a setting under a minute is not taken for "never".
  return seconds != 0 && (defaultMinutes == 0 || uint64_t(seconds) < uint64_t(defaultMinutes) * 60);
}

uint32_t PolicyHibernateSeconds(bool idleHibernates, uint32_t idleTimeout, uint32_t standbyToHibernate) {
  if (idleHibernates) return idleTimeout;
  if (standbyToHibernate == 0) return 0;
  const uint64_t sum = uint64_t(standbyToHibernate) + idleTimeout;
  return static_cast<uint32_t>(std::min<uint64_t>(sum, 0xFFFFFFFFu));
}

Evaluation Evaluate(int modelClass, uint32_t wanted, IEvaluationPorts& ports) {
  Evaluation e;
  const std::optional<Thresholds> t = ThresholdsFor(modelClass, ports);
  wanted &= kAllEvents;
  if (!t || wanted == 0) return e;
  uint32_t found = 0;
  const bool ok = EvaluateRules(modelClass, wanted, *t, ports, found);
  // What was found is answered even when a later step failed, once the viewer took its report.
  if (found == 0) return e.ok = ok, e;
  for (uint32_t event : {kEventHibernate, kEventShock, kEventTemperature, kEventPowerOn})
    if ((found & event) && !ports.Report(ReportControl(event))) return e;
  e.ok = true;
  e.found = found;
  return e;
}

}  // namespace hdd

namespace hdd {
bool IsExcludedDevice(const std::u16string& id) {
  static const char kPrefix[] = "pci\\ven_8086&dev_444e";
  const size_t n = sizeof kPrefix - 1;
  if (id.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    char16_t c = id[i];
    if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
    if (c != char16_t(kPrefix[i])) return false;
  }
  return true;
}
}  // namespace hdd
