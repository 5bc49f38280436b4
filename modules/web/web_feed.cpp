#include "modules/web/web_feed.h"

#include <algorithm>
#include <limits>

#include "common/core/text_case.h"
#include "common/pattern/pattern.h"

namespace web {
namespace {

constexpr char16_t kFirmwarePattern[] = u"V{\\d?\\d}\\.{\\d\\d} ?L{\\d\\d} ?{[A-LN-Z]}? ?(M{\\d\\d}(.{\\d\\d})?)?";

template <class CharT>
const Pattern::Regex<CharT>& FirmwareRegex() {
  static const Pattern::Regex<CharT> regex = [] {
    Pattern::Regex<CharT> r;
    std::basic_string<CharT> p(std::begin(kFirmwarePattern), std::end(kFirmwarePattern) - 1);
    r.Compile(p);
    return r;
  }();
  return regex;
}

template <class CharT>
std::optional<FirmwareVersion> ReadFirmware(std::basic_string_view<CharT> text) {
  Pattern::Match m;
  if (FirmwareRegex<CharT>().Search(text, &m) != Pattern::Status::Match || m.groups.size() != 6) return std::nullopt;
  auto number = [&](int g) {
    uint32_t n = 0;
    const Pattern::Span& s = m.groups[g];
    if (s.Matched())
      for (std::size_t i = s.begin; i < s.end; ++i) n = n * 10 + static_cast<uint32_t>(text[i] - '0');
    return n;
  };
  FirmwareVersion v;
  v.major = number(0);
  v.minor = number(1);
  v.level = number(2);
  if (m.groups[3].Matched()) v.letter = static_cast<char>(text[m.groups[3].begin]);
  v.mNumber = number(4);
  v.subNumber = number(5);
  return v;
}

uint32_t Bcd(uint8_t x) { return 10u * (x >> 4) + (x & 15u); }

const std::u16string* Attribute(const XmlElement& e, std::u16string_view name) {
  for (const auto& [n, v] : e.attributes)
    if (n == name) return &v;
  return nullptr;
}

Text OptionalAttribute(const XmlElement& e, std::u16string_view name) {
  if (const std::u16string* v = Attribute(e, name)) return *v;
  return std::nullopt;
}

bool IsSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// The children of a "wkpt:file" or "wkpt:driver" element: exactly the two named, once each.
bool ReadPair(const XmlElement& e, std::u16string_view first, std::u16string_view second, std::u16string& a,
              std::u16string& b) {
  if (e.children.size() != 2) return false;
  bool haveA = false, haveB = false;
  for (const XmlElement& c : e.children) {
    if (text::EqualsNoCase(c.name, first) && !haveA) {
      a = c.text;
      haveA = true;
    } else if (text::EqualsNoCase(c.name, second) && !haveB) {
      b = c.text;
      haveB = true;
    } else {
      return false;
    }
  }
  return haveA && haveB;
}

// "wkpt:bios" and "wkpt:ec": exactly one "wkpt:version".
bool ReadVersionOnly(const XmlElement& e, std::u16string& version) {
  if (e.children.size() != 1 || !text::EqualsNoCase(e.children[0].name, u"wkpt:version")) return false;
  version = e.children[0].text;
  return true;
}

uint32_t Category(const std::u16string* c) {
  if (!c) return 0;
  static const char16_t* const kNames[] = {u"Important Updates", u"Support Information", u"Topics",
                                           u"Class 4",           u"Class 5",             u"Class 6"};
  for (uint32_t i = 0; i < 6; ++i)
    if (*c == kNames[i]) return i + 1;
  return 0;
}

std::optional<FeedItem> ReadItem(const XmlElement& e) {
  FeedItem item;
  item.category = Category(Attribute(e, u"wkpt:class"));
  if (item.category == 0) return std::nullopt;
  item.machine = OptionalAttribute(e, u"wkpt:machine");
  item.os = OptionalAttribute(e, u"wkpt:os");
  item.serial = OptionalAttribute(e, u"wkpt:serial");
  item.prein = OptionalAttribute(e, u"wkpt:prein");
  item.batteryName = OptionalAttribute(e, u"wkpt:battery-name");
  if (item.batteryName)
    if (const std::u16string* range = Attribute(e, u"wkpt:battery-id")) {
      std::size_t pos = 0;
      if (auto low = ScanInteger(*range, pos)) {
        item.batteryIdLow = *low;
        if (pos < range->size() && (*range)[pos] == u'-') {
          ++pos;
          if (auto high = ScanInteger(*range, pos)) item.batteryIdHigh = *high;
        }
      }
    }
  item.installCheck = OptionalAttribute(e, u"wkpt:installcheck");
  if (const std::u16string* update = Attribute(e, u"wkpt:update")) item.updateButton = LeadingInt(*update) != 0;

  for (const XmlElement& c : e.children) {
    if (text::EqualsNoCase(c.name, u"title")) {
      item.title = c.text;
    } else if (text::EqualsNoCase(c.name, u"link")) {
      item.link = c.text;
    } else if (text::EqualsNoCase(c.name, u"description")) {
      item.description = c.text;
    } else if (text::EqualsNoCase(c.name, u"dc:date")) {
      item.date = c.text;
    } else if (text::EqualsNoCase(c.name, u"dc:identifier")) {
      item.id = LeadingInt(c.text);
    } else if (text::EqualsNoCase(c.name, u"wkpt:file")) {
      FileCondition f;
      if (ReadPair(c, u"wkpt:name", u"wkpt:date", f.path, f.date)) {
        f.options = OptionalAttribute(c, u"wkpt:options");
        item.files.push_back(std::move(f));
      }
    } else if (text::EqualsNoCase(c.name, u"wkpt:driver")) {
      DriverCondition d;
      if (ReadPair(c, u"wkpt:name", u"wkpt:version", d.name, d.version)) {
        d.options = OptionalAttribute(c, u"wkpt:options");
        item.drivers.push_back(std::move(d));
      }
    } else if (text::EqualsNoCase(c.name, u"wkpt:bios")) {
      std::u16string v;
      if (ReadVersionOnly(c, v)) {
        item.bios = std::move(v);
        item.biosOptions = OptionalAttribute(c, u"wkpt:options");
      }
    } else if (text::EqualsNoCase(c.name, u"wkpt:ec")) {
      std::u16string v;
      if (ReadVersionOnly(c, v)) {
        item.ec = std::move(v);
        item.ecOptions = OptionalAttribute(c, u"wkpt:options");
      }
    }
  }
  if (item.id == 0 || !item.date) return std::nullopt;
  return item;
}

bool IsWebAddress(const std::u16string& location) {
  auto starts = [&](std::u16string_view scheme) {
    if (location.size() < scheme.size()) return false;
    for (std::size_t i = 0; i < scheme.size(); ++i)
      if (text::AsciiLower(location[i]) != scheme[i]) return false;
    return true;
  };
  return starts(u"http:") || starts(u"https:");
}
}  // namespace

std::optional<int64_t> ScanInteger(std::u16string_view text, std::size_t& pos) {
  std::size_t i = pos;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  if (i >= text.size() || text[i] < u'0' || text[i] > u'9') return std::nullopt;
  constexpr uint64_t kLimit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  uint64_t n = 0;
  bool over = false;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    const uint64_t d = static_cast<uint64_t>(text[i] - u'0');
    if (n > (kLimit + 1 - d) / 10) over = true;
    if (!over) n = n * 10 + d;
  }
  pos = i;
  if (negative) return over || n > kLimit ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(n);
  return over || n > kLimit ? std::numeric_limits<int64_t>::max() : static_cast<int64_t>(n);
}

int32_t LeadingInt(std::u16string_view text) {
  std::size_t pos = 0;
  const auto n = ScanInteger(text, pos);
  if (!n) return 0;
  return static_cast<int32_t>(std::clamp<int64_t>(*n, std::numeric_limits<int32_t>::min(),
                                                   std::numeric_limits<int32_t>::max()));
}

int ParseFeed(IXmlDocument& doc, std::vector<FeedItem>& items) {
  items.clear();
  if (!doc.HasRoot()) return kFeedParseError;
  for (const XmlElement& e : doc.Descendants(u"item", 3))
    if (auto item = ReadItem(e)) items.push_back(std::move(*item));
  return static_cast<int>(items.size());
}

int LoadFeed(const std::u16string& location, IXmlDocument& doc, IFeedDownload& download,
             std::vector<FeedItem>& items) {
  items.clear();
  // Without a parser the server is not to blame: no "not connected" notice, and no fetch.
  if (!doc.Available()) return kFeedParseError;
  IXmlDocument::Load load = IXmlDocument::Load::Unreadable;
  if (IsWebAddress(location)) {
    std::u16string temp;
    if (!download.Download(location, temp)) return kFeedUnreachable;
    load = doc.LoadFile(temp);
    download.Delete(temp);
  } else {
    load = doc.LoadFile(location);
  }
  if (load == IXmlDocument::Load::Malformed) return kFeedParseError;
  if (load != IXmlDocument::Load::Ok) return kFeedUnreachable;
  return ParseFeed(doc, items);
}

std::optional<std::u16string> CatalogueCode(IXmlDocument& doc, const std::u16string& modelNumber) {
  if (!doc.HasRoot()) return std::nullopt;
  for (const XmlElement& table : doc.Descendants(u"wkpt:machines", 2))
    for (const XmlElement& entry : table.children) {
      const std::u16string* pattern = Attribute(entry, u"wkpt:machine");
      if (!pattern) continue;
      // A pattern that does not compile, or runs out of steps, matches nothing.
      if (Pattern::Find(u"^" + *pattern + u"$", modelNumber) == Pattern::Status::Match)
        return entry.text.substr(0, 9);
    }
  return std::nullopt;
}

bool WantsNewer(const Text& options) {
  return options && options->find_first_of(u"Ee") != std::u16string::npos;
}

std::optional<FirmwareVersion> ReadFirmwareVersion(std::u16string_view text) { return ReadFirmware(text); }
std::optional<FirmwareVersion> ReadFirmwareVersion(std::string_view bytes) { return ReadFirmware(bytes); }

int CompareFirmware(const FirmwareVersion& a, const FirmwareVersion& b) {
  auto cmp = [](uint32_t x, uint32_t y) { return x < y ? -1 : x > y ? 1 : 0; };
  if (int c = cmp(a.major, b.major)) return c;
  if (int c = cmp(a.minor, b.minor)) return c;
  if (int c = cmp(a.level, b.level)) return c;
  if (int c = cmp(static_cast<unsigned char>(a.letter), static_cast<unsigned char>(b.letter))) return c;
  if (int c = cmp(a.mNumber, b.mNumber)) return c;
  return cmp(a.subNumber, b.subNumber);
}

FirmwareVersion FirmwareFromDriver(const uint8_t b[5]) {
  FirmwareVersion v = MiscCommon::FirmwareFromDriverBytes(b);
  if (v.letter == ' ') v.letter = 0;
  return v;
}

FirmwareVersion FirmwareFromEc(uint8_t e255, uint8_t e254, uint8_t e253, uint8_t e251, uint8_t e250) {
  FirmwareVersion v;
  v.level = Bcd(e254);
  if (e255) {
    v.major = e253 & 15u;
    v.minor = Bcd(e250);
    v.mNumber = Bcd(e251);
    if (e255 != ' ') v.letter = static_cast<char>(e255);
  } else {
    v.major = e253 >> 4;
    v.minor = 10u * (e253 & 15u);
  }
  return v;
}

FirmwareVersion PreinstallVersion(std::string_view head) {
  // Four lines as fgets reads them into 260 bytes: at most 259 each, a line feed kept, then
  // turned into a blank; the joined text is cut at 259 bytes.
  std::string joined;
  std::size_t pos = 0;
  for (int line = 0; line < 4 && pos < head.size(); ++line) {
    std::size_t end = pos;
    while (end < head.size() && end - pos < 259) {
      if (head[end++] == '\n') break;
    }
    std::string text(head.substr(pos, end - pos));
    if (!text.empty() && text.back() == '\n') text.back() = ' ';
    joined += text;
    pos = end;
  }
  if (joined.size() > 259) joined.resize(259);
  return ReadFirmware(std::string_view(joined)).value_or(FirmwareVersion{});
}

std::optional<FeedDate> ReadFeedDate(std::u16string_view text) {
  FeedDate d;
  std::size_t pos = 0;
  auto number = [&](int& out) {
    const auto n = ScanInteger(text, pos);
    if (!n) return false;
    out = static_cast<int>(std::clamp<int64_t>(*n, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    return true;
  };
  auto literal = [&](char16_t c) {
    if (pos >= text.size() || text[pos] != c) return false;
    ++pos;
    return true;
  };
  if (!number(d.year) || !literal(u'-') || !number(d.month) || !literal(u'-') || !number(d.day) || !literal(u'T') ||
      !number(d.hour) || !literal(u':') || !number(d.minute) || !literal(u':') || !number(d.second))
    return std::nullopt;
  if (pos >= text.size() || (text[pos] != u'+' && text[pos] != u'-')) return std::nullopt;
  d.zoneSign = text[pos];
  while (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-')) ++pos;
  if (!number(d.zoneHour) || !literal(u':') || !number(d.zoneMinute)) return std::nullopt;
  return d;
}

}  // namespace web
