#include "modules/web/web_filter.h"

#include <map>
#include <tuple>

#include "common/core/winversion_rules.h"
#include "common/pattern/pattern.h"

namespace web {
namespace {

// Whole-text match of an item's pattern. A pattern that is too long, does not compile or
// runs out of steps is broken: such an item is shown nowhere rather than everywhere.
bool PatternAccepts(const std::u16string& pattern, const std::u16string& subject) {
  if (pattern.size() > kMaxItemPattern) return false;
  return Pattern::Find(u"^" + pattern + u"$", subject) == Pattern::Status::Match;
}

// Facts read at most once per filter run, and only when an item asks for them.
class Facts {
 public:
  Facts(FilterPorts& ports) : ports_(ports) {}

  const WindowsRelease& Windows() {
    if (!windows_) windows_ = ports_.windows.Release();
    return *windows_;
  }
  const std::optional<FirmwareVersion>& Preinstall() {
    if (!preinstallRead_) {
      preinstallRead_ = true;
      if (auto head = ports_.files.ReadHead(kPreinstallVersionFile, kPreinstallHeadBytes))
        preinstall_ = PreinstallVersion(*head);
    }
    return preinstall_;
  }
  const std::vector<BatteryPack>& Packs() {
    if (!packs_) packs_ = ports_.batteries.Packs();
    return *packs_;
  }
  std::optional<uint64_t> Driver(const std::u16string& name) {
    auto it = drivers_.find(name);
    if (it == drivers_.end()) {
      std::optional<uint64_t> version;
      if (auto text = ports_.drivers.DriverVersion(name)) version = InstalledDriverVersion(*text);
      it = drivers_.emplace(name, version).first;
    }
    return it->second;
  }
  bool UninstallKey(const std::u16string& name) {
    const std::u16string path = kUninstallKey + name;
    return ports_.registry.KeyExists(path, false) || (ports_.registry.IsWow64() && ports_.registry.KeyExists(path, true));
  }
  FilterPorts& ports() { return ports_; }
  void SearchNativeFolders(IFileRedirection& redirection) { redirection_ = &redirection; }
  // The first file's write time, with redirection off around the search where the catalogue asks.
  std::optional<LocalStamp> CatalogueWriteTime(const std::u16string& path) {
    const bool off = redirection_ && CatalogueSearchesNativeFolders(Windows()) && redirection_->Disable();
    auto written = ports_.files.FirstWriteTime(path);
    if (off) redirection_->Revert();
    return written;
  }

 private:
  FilterPorts& ports_;
  IFileRedirection* redirection_ = nullptr;
  std::optional<WindowsRelease> windows_;
  bool preinstallRead_ = false;
  std::optional<FirmwareVersion> preinstall_;
  std::optional<std::vector<BatteryPack>> packs_;
  std::map<std::u16string, std::optional<uint64_t>> drivers_;
};

bool BatteryMatches(const FeedItem& item, Facts& facts) {
  for (const BatteryPack& pack : facts.Packs()) {
    if (pack.name.find(*item.batteryName) == std::u16string::npos) continue;
    if (item.batteryIdLow && item.batteryIdHigh &&
        (pack.identifier < static_cast<uint64_t>(item.batteryIdLow) ||
         pack.identifier > static_cast<uint64_t>(item.batteryIdHigh)))
      continue;
    return true;
  }
  return false;
}

bool Applicable(const FeedItem& item, const Machine& machine, Facts& facts) {
  if (item.machine && !PatternAccepts(*item.machine, machine.model)) return false;
  if (item.serial && !PatternAccepts(*item.serial, machine.serial)) return false;
  if (item.os && !WindowsExpressionTrue(*item.os, facts.Windows())) return false;
  if (item.prein)
    if (auto wanted = ReadFirmwareVersion(*item.prein))
      if (const auto& image = facts.Preinstall(); image && CompareFirmware(*wanted, *image) != 0) return false;
  if (item.installCheck && !facts.UninstallKey(*item.installCheck)) return false;
  if (item.batteryName && !BatteryMatches(item, facts)) return false;
  return true;
}

int Compare(const LocalStamp& a, const LocalStamp& b) {
  const int x[] = {a.year, a.month, a.day, a.hour, a.minute, a.second, a.millisecond};
  const int y[] = {b.year, b.month, b.day, b.hour, b.minute, b.second, b.millisecond};
  for (int i = 0; i < 7; ++i)
    if (x[i] != y[i]) return x[i] < y[i] ? -1 : 1;
  return 0;
}

// "%hd/%hd/%hd": three numbers, each kept in 16 bits.
std::optional<LocalStamp> ConditionMidnight(std::u16string_view date) {
  int16_t n[3];
  std::size_t pos = 0;
  for (int i = 0; i < 3; ++i) {
    if (i && (pos >= date.size() || date[pos++] != u'/')) return std::nullopt;
    const auto v = ScanInteger(date, pos);
    if (!v) return std::nullopt;
    n[i] = static_cast<int16_t>(static_cast<uint16_t>(*v));
  }
  LocalStamp s;
  s.year = n[0];
  s.month = n[1];
  s.day = n[2];
  return s;
}

// Installed lower is needed; higher only when the condition asks for newer ones too.
bool NeededBy(int installedVersusWanted, const Text& options) {
  return installedVersusWanted < 0 || (installedVersusWanted > 0 && WantsNewer(options));
}

bool FilesNeeded(const FeedItem& item, Facts& facts) {
  bool compared = false;
  for (const FileCondition& f : item.files) {
    const auto midnight = ConditionMidnight(f.date);
    if (f.path.empty() || !midnight) continue;
    const auto written = facts.ports().files.FirstWriteTime(f.path);
    if (!written) continue;
    compared = true;
    if (NeededBy(Compare(*written, *midnight), f.options)) return true;
  }
  return !compared;
}

bool DriversNeeded(const FeedItem& item, Facts& facts) {
  bool found = false;
  for (const DriverCondition& d : item.drivers) {
    const auto wanted = FeedDriverVersion(d.version);
    if (!wanted) continue;
    const auto installed = facts.Driver(d.name);
    if (!installed) continue;
    found = true;
    const int c = *installed < *wanted ? -1 : *installed > *wanted ? 1 : 0;
    if (NeededBy(c, d.options)) return true;
  }
  return !found;
}

bool FirmwareNeeded(const Text& condition, const Text& options, const FirmwareVersion& current) {
  const auto wanted = ReadFirmwareVersion(*condition);
  return wanted && NeededBy(CompareFirmware(current, *wanted), options);
}

bool Needed(const FeedItem& item, const Machine& machine, Facts& facts) {
  if (item.files.empty() && item.drivers.empty() && !item.bios && !item.ec) return true;
  return (!item.files.empty() && FilesNeeded(item, facts)) || (!item.drivers.empty() && DriversNeeded(item, facts)) ||
         (item.bios && FirmwareNeeded(item.bios, item.biosOptions, machine.bios)) ||
         (item.ec && FirmwareNeeded(item.ec, item.ecOptions, machine.ec));
}

enum class Verdict { Excluded, InformationOnly, UpToDate, Needed };

// Model and serial patterns of the catalogue are whole-text patterns of any length the dialect takes.
bool WholeMatch(const Text& pattern, const std::u16string& subject) {
  return !pattern || Pattern::Find(u"^" + *pattern + u"$", subject) == Pattern::Status::Match;
}

Verdict JudgeEntry(const FeedItem& e, const Machine& machine, Facts& facts) {
  if (!WholeMatch(e.machine, machine.model) || !WholeMatch(e.serial, machine.serial)) return Verdict::Excluded;
  if (e.os && !WindowsExpressionTrue(*e.os, facts.Windows())) return Verdict::Excluded;
  if (!e.preinList.empty()) {
    const auto& image = facts.Preinstall();
    if (!image) return Verdict::InformationOnly;
    bool listed = false;
    for (const std::u16string& v : e.preinList)
      if (auto wanted = ReadFirmwareVersion(v); wanted && CompareFirmware(*wanted, *image) == 0) listed = true;
    if (!listed) return Verdict::Excluded;
  }
  if (e.batteryName && !BatteryMatches(e, facts)) return Verdict::Excluded;
  if (e.installCheck && !facts.UninstallKey(*e.installCheck)) return Verdict::Excluded;

  bool readable = false, needed = false;
  for (const FileCondition& f : e.files) {
    const auto midnight = ConditionMidnight(f.date);
    if (!midnight || f.path.empty()) continue;
    readable = true;
    const auto written = facts.CatalogueWriteTime(f.path);
    if (!written || NeededBy(Compare(*written, *midnight), f.options)) needed = true;
  }
  for (const DriverCondition& d : e.drivers) {
    const auto wanted = FeedDriverVersion(d.version);
    if (!wanted) continue;
    readable = true;
    if (needed) continue;
    const auto installed = facts.Driver(d.name);
    if (!installed || NeededBy(*installed < *wanted ? -1 : *installed > *wanted ? 1 : 0, d.options)) needed = true;
  }
  for (const auto& [version, options, current] :
       {std::tie(e.bios, e.biosOptions, machine.bios), std::tie(e.ec, e.ecOptions, machine.ec)}) {
    const auto wanted = version ? ReadFirmwareVersion(*version) : std::nullopt;
    if (!wanted) continue;
    readable = true;
    if (!needed && NeededBy(CompareFirmware(current, *wanted), options)) needed = true;
  }
  if (!readable) return Verdict::InformationOnly;
  return needed ? Verdict::Needed : Verdict::UpToDate;
}

bool SwitchedOff(uint32_t category, const CategorySwitches& s) {
  return (category == 1 && !s.important) || (category == 2 && !s.support) || (category == 3 && !s.topics);
}

uint64_t Pack4(const uint16_t v[4]) {
  return (uint64_t{v[0]} << 48) | (uint64_t{v[1]} << 32) | (uint64_t{v[2]} << 16) | v[3];
}

bool TokenTrue(const std::u16string& t, const WindowsRelease& w) {
  uint16_t wanted = 0;
  switch (t[0]) {
    case u'X': wanted = WINVER_XP; break;
    case u'V': wanted = WINVER_VISTA; break;
    case u'S': wanted = WINVER_7; break;
    case u'E': wanted = WINVER_8; break;
    case u'F': wanted = WINVER_81; break;
    default: return false;
  }
  if (w.osType != wanted) return false;
  bool business = true, ultimate = true, enterprise = true, premium = true, x86 = true, x64 = true;
  int servicePack = -1;
  for (std::size_t i = 1; i < t.size();) {
    if (t[i++] != u'.' || i >= t.size()) continue;
    const char16_t c = t[i];
    if (c >= u'0' && c <= u'9') {
      servicePack = 0;
      for (; i < t.size() && t[i] >= u'0' && t[i] <= u'9'; ++i) servicePack = servicePack * 10 + (t[i] - u'0');
    } else if (c == u'B' || c == u'U' || c == u'E' || c == u'P') {
      business = ultimate = enterprise = premium = false;
      for (; i < t.size() && (t[i] == u'B' || t[i] == u'U' || t[i] == u'E' || t[i] == u'P'); ++i) {
        business |= t[i] == u'B';
        ultimate |= t[i] == u'U';
        enterprise |= t[i] == u'E';
        premium |= t[i] == u'P';
      }
    } else if (c == u'I' || c == u'A') {
      x86 = x64 = false;
      for (; i < t.size() && (t[i] == u'I' || t[i] == u'A'); ++i) {
        x86 |= t[i] == u'I';
        x64 |= t[i] == u'A';
      }
    }
  }
  if (wanted != WINVER_XP) {
    const uint32_t p = w.productType;
    const bool edition = ((p == 6 || p == 16) && business) || (p == 4 && enterprise) || (p == 1 && ultimate) ||
                         (p == 3 && premium);
    if (!edition) return false;
    if (!((w.architecture == ARCH_X86 && x86) || (w.architecture == ARCH_64BIT && x64))) return false;
  }
  return servicePack < 0 || servicePack == w.servicePack;
}
}  // namespace

uint32_t ExpressionEdition(uint32_t majorVersion, IProductInfo& info) {
  return majorVersion >= 6 ? info.ProductType(6, 0, 0, 0).value_or(0) : 0;
}

bool WindowsExpressionTrue(std::u16string_view expression, const WindowsRelease& release) {
  static const Pattern::Regex16 token = [] {
    Pattern::Regex16 r;
    r.Compile(u"^{([vVsSeEfF](\\.[bBuUeEpP]+)?(\\.[0-9]?[0-9])?(\\.[iIaA]+)?)|([xX](\\.[0-9]?[0-9])?)}");
    return r;
  }();
  std::size_t pos = 0;
  while (pos < expression.size()) {
    Pattern::Match m;
    if (token.Search(expression.substr(pos), &m) != Pattern::Status::Match || m.groups.empty()) return false;
    const Pattern::Span& g = m.groups[0];
    if (!g.Matched() || g.Length() == 0 || g.Length() > 11) return false;
    std::u16string t(expression.substr(pos + g.begin, g.Length()));
    for (char16_t& c : t)
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    pos += g.end;
    if (TokenTrue(t, release)) return true;
  }
  return false;
}

uint64_t BatteryIdentifier(uint16_t serial, uint16_t date) {
  const uint64_t day = date & 0x1Fu, month = (date >> 5) & 0x0Fu, year = 1980u + (date >> 9);
  return (year % 100) * 1000000000ull + month * 10000000ull + day * 100000ull + serial;
}

std::optional<BatteryPack> MakePack(uint16_t serial, uint16_t date, const uint8_t name[12]) {
  if (serial == 0 || date == 0) return std::nullopt;
  BatteryPack pack;
  for (int i = 0; i < 12 && name[i]; ++i) pack.name += static_cast<char16_t>(name[i]);
  pack.identifier = BatteryIdentifier(serial, date);
  return pack;
}

std::optional<uint64_t> InstalledDriverVersion(std::u16string_view text) {
  Pattern::Match m;
  if (Pattern::Find(u"{\\d+}\\.{\\d+}\\.{\\d+}\\.{\\d+}", text, &m) != Pattern::Status::Match) return std::nullopt;
  uint16_t v[4];
  for (int i = 0; i < 4; ++i) {
    // Each group as nine characters at most, the number kept in 16 bits.
    const std::u16string_view digits = text.substr(m.groups[i].begin, std::min<std::size_t>(m.groups[i].Length(), 9));
    uint32_t n = 0;
    for (char16_t c : digits) n = n * 10 + static_cast<uint32_t>(c - u'0');
    v[i] = static_cast<uint16_t>(n);
  }
  return Pack4(v);
}

std::optional<uint64_t> FeedDriverVersion(std::u16string_view version) {
  uint16_t v[4];
  std::size_t pos = 0;
  for (int i = 0; i < 4; ++i) {
    if (i && (pos >= version.size() || version[pos++] != u'.')) return std::nullopt;
    const auto n = ScanInteger(version, pos);
    if (!n) return std::nullopt;
    v[i] = static_cast<uint16_t>(*n);
  }
  return Pack4(v);
}

bool CatalogueSearchesNativeFolders(const WindowsRelease& release) {
  return release.architecture == ARCH_64BIT && release.osType != WINVER_2000 && release.osType != WINVER_XP;
}

void JudgeCatalogueEntries(const std::vector<FeedItem*>& entries, const Machine& machine, FilterPorts& ports,
                           IFileRedirection& redirection) {
  Facts facts(ports);
  facts.SearchNativeFolders(redirection);
  for (FeedItem* e : entries) {
    const Verdict v = JudgeEntry(*e, machine, facts);
    e->suppressed = v == Verdict::Excluded || v == Verdict::InformationOnly;
    e->listed = v == Verdict::Excluded || v == Verdict::UpToDate;
  }
}

int FilterItems(std::vector<FeedItem>& items, const Machine& machine, const CategorySwitches& switches,
                FilterPorts& ports) {
  Facts facts(ports);
  int notify = 0;
  for (FeedItem& item : items) {
    if (!Applicable(item, machine, facts) || !Needed(item, machine, facts)) {
      item.suppressed = true;
      item.listed = false;
      continue;
    }
    item.suppressed = false;
    item.listed = true;
    if (SwitchedOff(item.category, switches)) {
      item.suppressed = true;
      continue;
    }
    ++notify;
  }
  return notify;
}

}  // namespace web
