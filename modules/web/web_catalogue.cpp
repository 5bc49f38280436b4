#include "modules/web/web_catalogue.h"

#include <algorithm>

#include "common/core/html_text.h"
#include "common/pattern/pattern.h"
#include "modules/web/web_pages.h"

namespace web {
namespace {

using html::HtmlEscape;

// The markers are written in the pattern dialect with these pieces. Inside brackets the
// dialect knows only \t, so white space is spelled with the characters themselves; '!' is the
// dialect's negation and is escaped in "<\!--". Bodies that run up to a closing marker are
// lazy, so that a value never swallows the blanks before its end marker or a later block.
#define WS "[ \t\r\n]*"
#define OPEN "<\\!--" WS
#define CLOSE WS "-->"
#define END(name) OPEN "/" WS name CLOSE
#define VERSION "V\\d\\d?\\.\\d\\dL\\d\\d[A-Z]? ?(M\\d\\d)?"
#define QUOTED_VALUE(name, body) OPEN name WS "=" WS "\"" WS "{" body "}" WS "\"" CLOSE
#define BLOCK_VALUE(name) OPEN name CLOSE WS "{[^<>]+?}" WS END(name)

const char kDateNumber[] = "{\\d\\d\\d\\d/\\d\\d/\\d\\d}</td>[^<>]*<td[^<>]*>.+?NO:&nbsp;&nbsp;{\\d+}</td>";
const char kPP[] = QUOTED_VALUE("PP", "\\d+\\.\\d+");
const char kSN[] = QUOTED_VALUE("SN", "[^\"]+");
const char kTM[] = OPEN "TM" CLOSE "{.+?}" END("TM");
const char kOsBlock[] = OPEN "OS" CLOSE WS "{.+?}" WS END("OS");
const char kOsAttribute[] = OPEN "OS" WS "=" WS "{\\q}" CLOSE;
const char kPV[] = OPEN "PV((" WS "=" WS "\"" WS "{" VERSION "}" WS "\"" CLOSE ")|(" CLOSE WS "{" VERSION "}" WS END("PV") "))";
const char kBN[] = OPEN "BN" WS "=" WS "\"" WS "{QZ-[A-Z0-9]+}(" WS ";" WS "{\\d+}" WS "-" WS "{\\d+})?" WS "\"" CLOSE;
const char kFD[] = OPEN "FD" WS "=" WS "\"" WS "{[^;\"<>]+};{\\d\\d\\d\\d/\\d?\\d/\\d?\\d}(;{E})?" WS "\"" CLOSE;
const char kDNBlock[] = OPEN "DN" CLOSE "{[^<>]+}" END("DN");
const char kDVBlock[] = OPEN "DV" WS "(=" WS "\"" WS "{E}" WS "\"" WS ")?-->" WS "{\\d+\\.\\d+\\.\\d+\\.\\d+}" WS END("DV");
const char kDNAttribute[] = OPEN "DN" WS "=" WS "\"{[^\"]+}\"" CLOSE;
const char kDVAttribute[] = OPEN "DV" WS "=" WS "\"" WS "{\\d+\\.\\d+\\.\\d+\\.\\d+}" WS "(;" WS "{E}" WS ")?\"" CLOSE;
#define FIRMWARE(name)                                                                                    \
  OPEN name WS "(((=" WS "\"{E}\"" WS ")?-->" WS "{" VERSION "}" WS END(name) ")|(=" WS "\"" WS "{" VERSION \
       "}" WS "(;" WS "{E}" WS ")?\"" CLOSE "))"
const char kBV[] = FIRMWARE("BV");
const char kEV[] = FIRMWARE("EV");
const char kIS[] = QUOTED_VALUE("IS", "[^\"]+");
const char kAU[] = QUOTED_VALUE("AU", "\\d+\\.\\d+");
const char kRB[] = QUOTED_VALUE("RB", "\\d");
const char kUpdateLink[] = "<a[ \t\r\n]+href=\"{[^\"<>]+}\"[^<>]+id=\"update\"[^<>]*>";
const char kManualLink[] = "<a[ \t\r\n]+href=\"{[^\"<>]+}\"[^<>]+id=\"manual\"[^<>]*>";
const char kUS[] = BLOCK_VALUE("US");
const char kUF[] = BLOCK_VALUE("UF");
const char kMS[] = BLOCK_VALUE("MS");
const char kMF[] = BLOCK_VALUE("MF");
const char kIC[] = QUOTED_VALUE("IC", "\\{(-|[0-9a-fA-F])+\\}");

// One compiled marker searched over one document.
class Finder {
 public:
  Finder(std::string_view doc, kit::ICodePage& codePage) : doc_(doc), codePage_(codePage) {}

  // The first match at or after `from`; false when none (or the pattern fails).
  bool Find(const char* pattern, Pattern::Match& m, std::size_t from = 0) {
    Pattern::Regex8 re;
    if (re.Compile(pattern) != Pattern::Status::Ok || from > doc_.size()) return false;
    if (re.Search(doc_.substr(from), &m) != Pattern::Status::Match) return false;
    Shift(m, from);
    return true;
  }
  // Every match, left to right.
  template <class F>
  void Each(const char* pattern, F f) {
    Pattern::Regex8 re;
    if (re.Compile(pattern) != Pattern::Status::Ok) return;
    for (std::size_t from = 0; from < doc_.size();) {
      Pattern::Match m;
      if (re.Search(doc_.substr(from), &m) != Pattern::Status::Match) return;
      Shift(m, from);
      f(m);
      from = std::max(m.whole.end, m.whole.begin + 1);
    }
  }
  std::string_view Bytes(const Pattern::Match& m, std::size_t group) const {
    if (group >= m.groups.size() || !m.groups[group].Matched()) return {};
    return doc_.substr(m.groups[group].begin, m.groups[group].Length());
  }
  Text Group(const Pattern::Match& m, std::size_t group) {
    if (group >= m.groups.size() || !m.groups[group].Matched()) return std::nullopt;
    return codePage_.Decode(Bytes(m, group));
  }
  Text Decode(std::string_view bytes) { return codePage_.Decode(bytes); }
  // The first group of the two that took part.
  Text Either(const Pattern::Match& m, std::size_t a, std::size_t b) {
    Text t = Group(m, a);
    return t ? t : Group(m, b);
  }

 private:
  static void Shift(Pattern::Match& m, std::size_t by) {
    auto shift = [by](Pattern::Span& s) {
      if (s.Matched()) s.begin += by, s.end += by;
    };
    shift(m.whole);
    for (auto& g : m.groups) shift(g);
  }
  std::string_view doc_;
  kit::ICodePage& codePage_;
};

std::u16string Trimmed(std::u16string s) {
  const auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
  while (!s.empty() && blank(s.back())) s.pop_back();
  std::size_t i = 0;
  while (i < s.size() && blank(s[i])) ++i;
  return s.substr(i);
}

// Leading decimal digits, at most 64 bits; nothing without a digit or on overflow.
std::optional<uint64_t> Decimal(std::string_view s) {
  uint64_t v = 0;
  std::size_t i = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    const uint64_t d = static_cast<uint64_t>(s[i] - '0');
    if (v > (UINT64_MAX - d) / 10) return std::nullopt;
    v = v * 10 + d;
  }
  if (i == 0) return std::nullopt;
  return v;
}

// A size: the text without its commas, read as a decimal integer (0 when it does not read).
uint64_t SizeValue(std::string_view text) {
  std::string digits;
  for (char c : text)
    if (c != ',') digits += c;
  return Decimal(digits).value_or(0);
}

// "%d.%d" of a "major.minor" text.
void ReadLevel(std::string_view s, int& major, int& minor) {
  const std::size_t dot = s.find_first_not_of("0123456789");
  const auto a = Decimal(s.substr(0, dot));
  const auto b = dot == std::string_view::npos ? std::nullopt : Decimal(s.substr(dot + 1));
  major = a && *a < 1000000 ? static_cast<int>(*a) : 1000000;
  minor = b && *b < 1000000 ? static_cast<int>(*b) : 1000000;
}

std::u16string Ascii(std::string_view s) { return std::u16string(s.begin(), s.end()); }

void ReadDrivers(Finder& f, Markers& m) {
  f.Each(kDNBlock, [&](const Pattern::Match& dn) {
    Pattern::Match dv;
    if (!f.Find(kDVBlock, dv, dn.whole.end)) return;
    m.drivers.push_back({Trimmed(f.Group(dn, 0).value_or(u"")), f.Group(dv, 1).value_or(u""), f.Group(dv, 0)});
  });
  if (!m.drivers.empty()) return;
  f.Each(kDNAttribute, [&](const Pattern::Match& dn) {
    Pattern::Match dv;
    if (!f.Find(kDVAttribute, dv, dn.whole.end)) return;
    m.drivers.push_back({Trimmed(f.Group(dn, 0).value_or(u"")), f.Group(dv, 0).value_or(u""), f.Group(dv, 1)});
  });
}

void ReadFirmware(Finder& f, const char* pattern, Text& version, Text& options) {
  Pattern::Match m;
  if (!f.Find(pattern, m)) return;
  if (Text v = f.Either(m, 1, 2)) version = Trimmed(*v);
  options = f.Either(m, 0, 3);
}

void ReadLevel3(Finder& f, Markers& out) {
  Pattern::Match m;
  if (f.Find(kSN, m)) out.serial = f.Group(m, 0);
  if (f.Find(kTM, m)) out.machine = ModelAlternatives(f.Bytes(m, 0));
  if (f.Find(kOsBlock, m)) out.os = OsBlockExpression(f.Bytes(m, 0).substr(0, 1023));
  if (f.Find(kOsAttribute, m)) {
    const std::string_view q = f.Bytes(m, 0);
    out.os = Ascii(q.size() >= 2 ? q.substr(1, q.size() - 2) : std::string_view());
  }
  f.Each(kPV, [&](const Pattern::Match& pv) {
    if (Text v = f.Either(pv, 0, 1)) out.preinList.push_back(Trimmed(*v));
  });
  if (f.Find(kBN, m)) {
    out.batteryName = f.Group(m, 0);
    const auto low = Decimal(f.Bytes(m, 1)), high = Decimal(f.Bytes(m, 2));
    if (low && high && *low <= INT64_MAX && *high <= INT64_MAX) {
      out.batteryIdLow = static_cast<int64_t>(*low);
      out.batteryIdHigh = static_cast<int64_t>(*high);
    }
  }
  f.Each(kFD, [&](const Pattern::Match& fd) {
    out.files.push_back({Trimmed(f.Group(fd, 0).value_or(u"")), f.Group(fd, 1).value_or(u""), f.Group(fd, 2)});
  });
  ReadDrivers(f, out);
  ReadFirmware(f, kBV, out.bios, out.biosOptions);
  ReadFirmware(f, kEV, out.ec, out.ecOptions);
}

void ReadLevel4(Finder& f, Markers& out) {
  Pattern::Match m;
  if (f.Find(kIS, m)) {
    const std::string_view script = f.Bytes(m, 0).substr(0, 1023);
    out.installScript = f.Decode(script);
    out.selfUpdate = script.substr(0, 6) == "SELF##";
    if (f.Find(kAU, m)) {
      int major = 0, minor = 0;
      ReadLevel(f.Bytes(m, 0), major, minor);
      out.autoInstall = major < 4 || (major == 4 && minor <= 3);
    }
  }
  if (f.Find(kRB, m)) out.rebootRequired = f.Bytes(m, 0) != "0";
  if (f.Find(kUpdateLink, m)) out.updateLink = f.Group(m, 0);
  if (f.Find(kManualLink, m)) out.manualLink = f.Group(m, 0);
  if (f.Find(kUS, m)) out.updateSize = SizeValue(f.Bytes(m, 0));
  if (f.Find(kUF, m)) out.updateName = Trimmed(f.Group(m, 0).value_or(u""));
  if (f.Find(kMS, m)) out.manualSize = SizeValue(f.Bytes(m, 0));
  if (f.Find(kMF, m)) out.manualName = Trimmed(f.Group(m, 0).value_or(u""));
  if (out.major > 4 || (out.major == 4 && out.minor > 2))
    if (f.Find(kIC, m) && m.groups[0].Length() == 38) out.installCheck = f.Group(m, 0);
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// Service-pack numbers "SP1", "SP 2" in a part of an OS block; their smallest and largest.
std::optional<std::pair<int, int>> ServicePacks(std::string_view part) {
  std::optional<std::pair<int, int>> range;
  Pattern::Regex8 re;
  if (re.Compile("SP[ \t]*{\\d\\d?}") != Pattern::Status::Ok) return range;
  for (std::size_t from = 0; from < part.size();) {
    Pattern::Match m;
    if (re.Search(part.substr(from), &m) != Pattern::Status::Match) break;
    const std::string_view digits = part.substr(from + m.groups[0].begin, m.groups[0].Length());
    // "SP123" is no service pack of ours.
    const std::size_t after = from + m.groups[0].end;
    if (after >= part.size() || part[after] < '0' || part[after] > '9') {
      const int n = static_cast<int>(*Decimal(digits));
      range = range ? std::pair<int, int>{std::min(range->first, n), std::max(range->second, n)} : std::pair<int, int>{n, n};
    }
    from += m.whole.end;
  }
  return range;
}

std::u16string OsTokens(std::string_view text, const char* pattern, char16_t letter, bool editions) {
  Pattern::Match m;
  if (Pattern::Find(pattern, text, &m) != Pattern::Status::Match) return u"";
  const std::string_view part = text.substr(m.groups[0].begin, m.groups[0].Length());
  std::u16string token(1, letter);
  if (editions) {
    std::u16string e;
    if (part.find("Ultimate") != std::string_view::npos) e += u'u';
    if (part.find("Enterprise") != std::string_view::npos) e += u'e';
    if (part.find("Business") != std::string_view::npos) e += u'b';
    if (!e.empty()) token += u"." + e;
  }
  const auto packs = ServicePacks(part);
  if (!packs) return token;
  std::u16string out;
  for (int n = packs->first; n <= packs->second; ++n) out += token + u"." + Ascii(std::to_string(n));
  return out;
}

}  // namespace

std::optional<std::string> CatalogueSearchUrl(std::string_view base, std::string_view format, std::u16string_view code) {
  std::string ascii;
  for (char16_t c : code) {
    if (c < 0x21 || c > 0x7E) return std::nullopt;
    ascii += static_cast<char>(c);
  }
  const std::string parts[] = {ascii.substr(0, 3), ascii.substr(0, 6), ascii};
  std::string out;
  int strings = 0, codes = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      out += format[i];
      continue;
    }
    if (++i >= format.size()) return std::nullopt;
    if (format[i] == '%') out += '%';
    else if (format[i] == 's' && strings++ == 0) out += base;
    else if (format[i] == 'S' && codes < 3) out += parts[codes++];
    else return std::nullopt;
  }
  if (out.size() > 1023) return std::nullopt;
  return out;
}

std::string WithoutNavigationLines(std::string_view page) {
  std::string out;
  for (std::size_t i = 0; i < page.size();) {
    std::size_t end = page.find('\n', i);
    end = end == std::string_view::npos ? page.size() : end + 1;
    const std::string_view line = page.substr(i, end - i);
    if (line.find("fs01Navigation.stay") == std::string_view::npos) out += line;
    i = end;
  }
  return out;
}

std::u16string DecodeEntities(std::u16string_view t) {
  static const struct {
    std::u16string_view name;
    char16_t c;
  } kNamed[] = {{u"amp", u'&'}, {u"lt", u'<'}, {u"gt", u'>'}, {u"quot", u'"'}, {u"apos", u'\''}, {u"nbsp", 0xA0}};
  std::u16string out;
  for (std::size_t i = 0; i < t.size(); ++i) {
    const std::size_t semi = t[i] == u'&' ? t.find(u';', i) : std::u16string_view::npos;
    if (semi == std::u16string_view::npos || semi - i > 10) {
      out += t[i];
      continue;
    }
    const std::u16string_view name = t.substr(i + 1, semi - i - 1);
    bool done = false;
    if (name.size() > 1 && name[0] == u'#') {
      const bool hex = name[1] == u'x' || name[1] == u'X';
      uint32_t v = 0;
      bool ok = name.size() > (hex ? 2u : 1u);
      for (std::size_t k = hex ? 2 : 1; ok && k < name.size(); ++k) {
        const char16_t c = name[k];
        int d = c >= u'0' && c <= u'9' ? c - u'0' : hex && c >= u'a' && c <= u'f' ? c - u'a' + 10
                                                : hex && c >= u'A' && c <= u'F' ? c - u'A' + 10 : -1;
        ok = d >= 0 && v <= 0x10FFFF;
        v = v * (hex ? 16 : 10) + static_cast<uint32_t>(d < 0 ? 0 : d);
      }
      if (ok && v > 0 && v <= 0x10FFFF && (v < 0xD800 || v > 0xDFFF)) {
        if (v >= 0x10000) {
          out += static_cast<char16_t>(0xD800 + ((v - 0x10000) >> 10));
          out += static_cast<char16_t>(0xDC00 + ((v - 0x10000) & 0x3FF));
        } else {
          out += static_cast<char16_t>(v);
        }
        done = true;
      }
    } else {
      for (const auto& n : kNamed)
        if (n.name == name) {
          out += n.c;
          done = true;
        }
    }
    if (done) i = semi;
    else out += t[i];
  }
  return out;
}

std::vector<Anchor> ReadAnchors(std::u16string_view html) {
  auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
  auto startsTag = [&](std::size_t at, std::u16string_view name) {
    if (at + 1 + name.size() > html.size() || html[at] != u'<') return false;
    for (std::size_t k = 0; k < name.size(); ++k)
      if (lower(html[at + 1 + k]) != name[k]) return false;
    const std::size_t after = at + 1 + name.size();
    return after < html.size() && (IsBlank(html[after]) || html[after] == u'>' || html[after] == u'/');
  };
  std::vector<Anchor> out;
  for (std::size_t i = 0; i < html.size(); ++i) {
    if (html.substr(i, 4) == u"<!--") {
      const std::size_t end = html.find(u"-->", i + 4);
      if (end == std::u16string_view::npos) break;
      i = end + 2;
      continue;
    }
    if (!startsTag(i, u"a")) continue;
    const std::size_t close = html.find(u'>', i);
    if (close == std::u16string_view::npos) break;
    // The href attribute: quoted with " or ', or bare.
    std::optional<std::u16string> href;
    for (std::size_t k = i + 2; k + 4 < close && !href; ++k) {
      if (!IsBlank(html[k - 1]) || lower(html[k]) != u'h' || lower(html[k + 1]) != u'r' || lower(html[k + 2]) != u'e' ||
          lower(html[k + 3]) != u'f')
        continue;
      std::size_t p = k + 4;
      while (p < close && IsBlank(html[p])) ++p;
      if (p >= close || html[p] != u'=') continue;
      ++p;
      while (p < close && IsBlank(html[p])) ++p;
      if (p < close && (html[p] == u'"' || html[p] == u'\'')) {
        const std::size_t q = html.find(html[p], p + 1);
        if (q == std::u16string_view::npos || q > close) break;
        href = DecodeEntities(html.substr(p + 1, q - p - 1));
      } else {
        std::size_t q = p;
        while (q < close && !IsBlank(html[q])) ++q;
        href = DecodeEntities(html.substr(p, q - p));
      }
    }
    std::size_t end = close + 1;
    std::u16string text;
    bool blank = false;
    while (end < html.size() && !(html.substr(end, 3) == u"</a" || html.substr(end, 3) == u"</A") && !startsTag(end, u"a")) {
      if (html[end] == u'<') {
        const std::size_t gt = html.find(u'>', end);
        end = gt == std::u16string_view::npos ? html.size() : gt + 1;
        continue;
      }
      const std::size_t lt = std::min(html.find(u'<', end), html.size());
      for (char16_t c : DecodeEntities(html.substr(end, lt - end))) {
        if (IsBlank(c) || c == 0xA0) {
          blank = !text.empty();
          continue;
        }
        if (blank) text += u' ';
        blank = false;
        text += c;
      }
      end = lt;
    }
    if (href) out.push_back({*href, text});
    i = close;
  }
  return out;
}

std::optional<std::u16string> DocumentLink(const std::u16string& href, const std::u16string& base) {
  Pattern::Match m;
  if (Pattern::Find(std::u16string_view(u"/{faq/docs/[a-z0-9]+}"), href, &m) != Pattern::Status::Match) return std::nullopt;
  return base + href.substr(m.groups[0].begin, m.groups[0].Length());
}

Markers ReadMarkers(std::string_view doc, kit::ICodePage& codePage) {
  Markers out;
  Finder f(doc, codePage);
  Pattern::Match m;
  if (f.Find(kDateNumber, m)) {
    out.date = f.Group(m, 0);
    out.number = f.Group(m, 1);
  }
  if (!f.Find(kPP, m)) return out;
  ReadLevel(f.Bytes(m, 0), out.major, out.minor);
  if (out.major < 3) return out;
  ReadLevel3(f, out);
  if (out.major >= 4) ReadLevel4(f, out);
  return out;
}

std::u16string OsBlockExpression(std::string_view text) {
  // The dialect reads "Vista{.*?}(XP)|$" as "Vista", then the shortest text up to "XP" or the
  // end: without "Vista" it does not match at all, so no "v" is written.
  return OsTokens(text, "Vista{.*?}(XP)|$", u'v', true) + OsTokens(text, "XP{.*?}(Vista)|$", u'x', false);
}

std::u16string ModelAlternatives(std::string_view text) {
  std::u16string out;
  Pattern::Regex8 re;
  if (re.Compile("QZ-[A-Z0-9][A-Z0-9][A-Z0-9][A-Z0-9][A-Z0-9][A-Z0-9][A-Z0-9][A-Z0-9]") != Pattern::Status::Ok) return out;
  for (std::size_t from = 0; from < text.size();) {
    Pattern::Match m;
    if (re.Search(text.substr(from), &m) != Pattern::Status::Match) break;
    if (!out.empty()) out += u'|';
    out += u"(" + Ascii(text.substr(from + m.whole.begin, m.whole.Length())) + u")";
    from += m.whole.end;
  }
  return out;
}

bool SafeFileName(std::u16string_view name) {
  if (name.empty() || name.size() > 259 || name == u"." || name == u"..") return false;
  for (char16_t c : name)
    if (c < 0x20 || std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos) return false;
  if (name.back() == u'.' || name.back() == u' ') return false;
  // Device names stay devices with any extension.
  std::u16string stem(name.substr(0, name.find(u'.')));
  while (!stem.empty() && stem.back() == u' ') stem.pop_back();
  for (char16_t& c : stem)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  static const std::u16string_view kDevices[] = {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$", u"CLOCK$"};
  for (auto d : kDevices)
    if (stem == d) return false;
  if (stem.size() == 4 && (stem.compare(0, 3, u"COM") == 0 || stem.compare(0, 3, u"LPT") == 0) &&
      ((stem[3] >= u'0' && stem[3] <= u'9') || stem[3] == 0xB9 || stem[3] == 0xB2 || stem[3] == 0xB3))
    return false;
  return true;
}

void AddEntry(Catalogue& catalogue, const std::u16string& link, const std::u16string& title,
              const std::optional<Markers>& markers, const std::u16string& root, IDownloadDisk& disk) {
  FeedItem e;
  e.link = link;
  e.title = title;
  e.suppressed = true;
  e.listed = true;
  EntryBase base = EntryBase::Hidden;
  if (markers) {
    const Markers& m = *markers;
    e.date = m.date;
    e.description = m.number;
    base = EntryBase::InformationOnly;
    if (m.major >= 3) {
      base = EntryBase::Judged;
      e.serial = m.serial;
      e.machine = m.machine;
      e.os = m.os;
      e.preinList = m.preinList;
      e.batteryName = m.batteryName;
      e.batteryIdLow = m.batteryIdLow;
      e.batteryIdHigh = m.batteryIdHigh;
      e.files = m.files;
      e.drivers = m.drivers;
      e.bios = m.bios, e.biosOptions = m.biosOptions, e.ec = m.ec, e.ecOptions = m.ecOptions;
      e.installScript = m.installScript;
      e.selfUpdate = m.selfUpdate;
      e.autoInstall = m.autoInstall;
      e.rebootRequired = m.rebootRequired;
      e.installCheck = m.installCheck;
    }
    if (m.major >= 4 && m.updateSize != 0) {
      // The folder is named by the management number (digits only, from the marker).
      const bool manual = m.manualSize != 0 && !m.autoInstall;
      const bool ok = e.description && !e.description->empty() && !root.empty() && m.updateLink && m.updateName &&
                      SafeFileName(*m.updateName) && m.updateSize <= UINT32_MAX &&
                      (!manual || (m.manualLink && m.manualName && SafeFileName(*m.manualName) && m.manualSize <= UINT32_MAX));
      const std::u16string folder = ok ? root + *e.description : std::u16string();
      if (ok && disk.MakeFolder(folder)) {
        e.downloads.push_back({*m.updateLink, folder + u"\\" + *m.updateName, static_cast<uint32_t>(m.updateSize), 0, false});
        if (manual)
          e.downloads.push_back({*m.manualLink, folder + u"\\" + *m.manualName, static_cast<uint32_t>(m.manualSize), 0, false});
      } else {
        base = EntryBase::InformationOnly;
      }
    }
  }
  if (base == EntryBase::InformationOnly) e.listed = false;
  catalogue.entries.push_back(std::move(e));
  catalogue.bases.push_back(base);
}

void EvaluateCatalogue(Catalogue& catalogue, const Machine& machine, FilterPorts& ports, IFileRedirection& redirection,
                       IDownloadDisk& disk) {
  std::vector<FeedItem*> judged;
  for (std::size_t i = 0; i < catalogue.entries.size(); ++i) {
    FeedItem& e = catalogue.entries[i];
    e.downloadChecked = e.installChecked = e.installed = false;
    if (catalogue.bases[i] == EntryBase::Judged) judged.push_back(&e);
  }
  JudgeCatalogueEntries(judged, machine, ports, redirection);
  for (FeedItem* e : judged) {
    if (!Needed(*e)) continue;
    for (DownloadFile& d : e->downloads) {
      const auto size = disk.FileSize(d.localPath);
      d.done = size && *size == d.expectedSize;
      d.present = d.done ? d.expectedSize : 0;
    }
  }
}

bool InformationOnly(const FeedItem& e) { return e.suppressed && !e.listed; }
bool UpToDate(const FeedItem& e) { return !e.suppressed && e.listed; }
bool Needed(const FeedItem& e) { return !e.suppressed && !e.listed; }
bool ShownOnPage(const FeedItem& e) { return (!e.suppressed || !e.listed) && !e.selfUpdate; }
bool SelfUpdateNeeded(const FeedItem& e) { return e.selfUpdate && Needed(e); }

uint64_t EntrySize(const FeedItem& e) {
  uint64_t n = 0;
  for (const DownloadFile& d : e.downloads) n += d.expectedSize;
  return n;
}

uint64_t MissingSize(const FeedItem& e) {
  uint64_t n = 0;
  for (const DownloadFile& d : e.downloads)
    if (!d.done) n += d.expectedSize;
  return n;
}

std::u16string SizeText(uint64_t bytes, const std::u16string& smallUnit, bool emptyForZero) {
  if (bytes == 0 && emptyForZero) return u"";
  if (bytes > 1048576) return Ascii(std::to_string(bytes >> 20)) + u"MB";
  if (bytes > 1024) return Ascii(std::to_string(bytes >> 10)) + u"kB";
  return Ascii(std::to_string(bytes)) + smallUnit;
}

RowCells PageCells(const FeedItem& e) {
  RowCells c;
  if (UpToDate(e)) {
    c.download = c.install = PageCell::Done;
  } else if (Needed(e) && !e.downloads.empty()) {
    c.download = MissingSize(e) == 0 ? PageCell::Done : PageCell::Box;
    if (e.autoInstall) c.install = PageCell::Box;
    else if (MissingSize(e) == 0) c.install = PageCell::InstallButton;
  }
  return c;
}

std::u16string CataloguePage(std::vector<FeedItem>& entries, const std::u16string& modulePath) {
  std::u16string t =
      u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" \"http://www.w3.org/TR/html4/strict.dtd\">"
      u"\n<html lang=\"ja\">\n<head>\n<base href=\"" +
      HtmlEscape(modulePath) +
      u"\">\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\n"
      u"<meta http-equiv=\"Content-Style-Type\" content=\"text/css\">\n"
      u"<meta http-equiv=\"Content-Script-Type\" content=\"text/javascript\">\n"
      u"<meta http-equiv=\"X-UA-Compatible\" content=\"IE=EmulateIE7\">\n"
      u"<link rel=\"stylesheet\" type=\"text/css\" href=\"local.css\">\n"
      u"<link rel=\"stylesheet\" type=\"text/css\" href=\"style.css\">\n"
      u"<title>アップデートプログラムのダウンロード・インストール</title>\n"
      u"<script type=\"text/javascript\">\n<!--\n"
      u"function CheckOnMouseDown(obj)\n{\n\tif(!obj.src.match(/_d/))\n\t{\n\t\tif(obj.src.match(/check_on/))\n\t\t{\n"
      u"\t\t\tobj.src = 'sysglance_check_on_p.png';\n\t\t}\n\t\telse \n\t\t{\n\t\t\tobj.src = 'sysglance_check_off_p.png';\n"
      u"\t\t}\n\t}\n}\n"
      u"function CheckInstallOnMouseUp(obj)\n{\n\tif(!obj.src.match(/_d/))\n\t{\n\t\tif(obj.src.match(/check_on/)) \n\t\t{\n"
      u"\t\t\tobj.src = 'sysglance_check_off_n.png';\n\t\t}\n\t\telse \n\t\t{\n\t\t\tobj.src = 'sysglance_check_on_n.png';\n"
      u"\t\t}\n\t}\n}\n"
      u"function CheckDownloadOnMouseUp(obj)\n{\n\titoko = obj.parentNode.nextSibling.innerHTML;\n"
      u"\tif(obj.src.match(/check_on/)) \n\t{\n\t\tobj.src = 'sysglance_check_off_n.png';\n"
      u"\t\tif(itoko.match(/install_/))\n\t\t{\n\t\t\tobj.parentNode.nextSibling.firstChild.src = 'sysglance_check_off_d.png';\n"
      u"\t\t}\n\t}\n\telse \n\t{\n\t\tobj.src = 'sysglance_check_on_n.png';\n\t\tif(itoko.match(/install_/))\n\t\t{\n"
      u"\t\t\tobj.parentNode.nextSibling.firstChild.src = 'sysglance_check_on_n.png';\n\t\t}\n\t}\n}\n"
      u"//-->\n</script>\n</head>\n<body>\n\n\t<table id=\"download\">\n\t\t<tr>\n"
      u"\t\t\t<th class=\"download\">ダウンロード</th>\n\t\t\t<th class=\"install\">インストール</th>\n"
      u"\t\t\t<th class=\"title\">タイトル</th>\n\t\t\t<th class=\"reboot\">再起動</th>\n"
      u"\t\t\t<th class=\"size\">サイズ</th>\n\t\t\t<th class=\"date\">更新日</th>\n"
      u"\t\t\t<th class=\"serial\">管理NO</th>\n\t\t</tr>\n";
  int row = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    FeedItem& e = entries[i];
    if (!ShownOnPage(e)) continue;
    const bool colored = row++ % 2 == 0;
    const std::u16string index = Ascii(std::to_string(i));
    const std::u16string done = colored ? u"<img src=\"sysglance_comp_blue.png\">" : u"<img src=\"sysglance_comp_white.png\">";
    const std::u16string downloadBox =
        u"<img src=\"sysglance_check_on_n.png\" onmousedown=\"CheckOnMouseDown(this);\" "
        u"onmouseup=\"CheckDownloadOnMouseUp(this);\" id=\"download_" + index + u"\">";
    const std::u16string installBox =
        u"<img src=\"sysglance_check_on_n.png\" onmousedown=\"CheckOnMouseDown(this);\" "
        u"onmouseup=\"CheckInstallOnMouseUp(this);\" id=\"install_" + index + u"\">";
    const std::u16string installButton =
        u"<a href=\"#\"><img src=\"sysglance_install_n_blue.png\" onmouseover=\"this.src='sysglance_install_on_blue.png';\" "
        u"onmouseout=\"this.src='sysglance_install_n_blue.png';\" onmousedown=\"this.src='sysglance_install_p_blue.png';\" "
        u"onmouseup=\"this.src='sysglance_install_on_blue.png';\" id=\"installbutton_" + index + u"\"></a>";
    const RowCells cells = PageCells(e);
    auto html = [&](PageCell c, const std::u16string& box) {
      return c == PageCell::Done ? done : c == PageCell::Box ? box : c == PageCell::InstallButton ? installButton : u"&nbsp;";
    };
    const std::u16string download = html(cells.download, downloadBox), install = html(cells.install, installBox);
    if (cells.download == PageCell::Box) e.downloadChecked = true;
    if (cells.install == PageCell::Box) e.installChecked = true;
    const bool hasRestartCell = !InformationOnly(e) && !e.downloads.empty();
    const std::u16string number = HtmlEscape(e.description.value_or(u""));
    t += u"\t\t<tr" + std::u16string(colored ? u" class=\"colored\"" : u"") + u">\n";
    t += u"\t\t\t<td>" + download + u"</td>\n";
    t += u"\t\t\t<td>" + install + u"</td>\n";
    t += u"\t\t\t<td class=\"title\"><a href=\"" + HtmlEscape(SafeLink(e.link.value_or(u"#"))) + u"\" target=\"" + number + u"\">" +
         HtmlEscape(e.title.value_or(u"")) + u"</a></td>\n";
    t += u"\t\t\t<td>" + std::u16string(hasRestartCell ? (e.rebootRequired ? u"要" : u"不要") : u"") + u"</td>\n";
    t += u"\t\t\t<td>" + SizeText(EntrySize(e), u"バイト", true) + u"</td>\n";
    t += u"\t\t\t<td>" + HtmlEscape(e.date.value_or(u"")) + u"</td>\n";
    t += u"\t\t\t<td>" + number + u"</td>\n\t\t</tr>\n";
  }
  t += u"\t</table>\n</body>\n</html>";
  return t;
}

namespace {

bool IsWeb(const std::u16string& s) { return s.rfind(u"http://", 0) == 0 || s.rfind(u"https://", 0) == 0; }

std::u16string Widen(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// Fetches an address into a temporary file and reads it whole.
std::optional<std::string> FetchBytes(const std::u16string& url, CataloguePorts& ports) {
  std::u16string temp;
  if (!ports.download.Download(url, temp)) return std::nullopt;
  auto bytes = ports.files.Read(temp, kMaxDocumentBytes);
  ports.download.Delete(temp);
  return bytes;
}

bool WriteCataloguePage(std::vector<FeedItem>& entries, CataloguePorts& ports, const std::u16string& path,
                        const std::u16string& modulePath, bool mustExist) {
  const auto bytes = ports.codePage.Encode(CataloguePage(entries, modulePath));
  return bytes && ports.files.WritePage(path, *bytes, mustExist);
}

}  // namespace

IHtmlAnchors::Result PortableAnchors::Read(const std::u16string& path, std::vector<Anchor>& anchors) {
  const auto bytes = files_.Read(path, kMaxDocumentBytes);
  if (!bytes) return Result::Failed;
  const auto text = codePage_.Decode(*bytes);
  if (!text) return Result::Failed;
  anchors = ReadAnchors(*text);
  return Result::Ok;
}

IHtmlAnchors::Result EngineOrPortableAnchors::Read(const std::u16string& path, std::vector<Anchor>& anchors) {
  anchors.clear();
  const Result engine = engine_.Read(path, anchors);
  if (engine != Result::Unavailable) return engine;
  anchors.clear();
  return fallback_.Read(path, anchors);
}

int LoadCatalogue(const CatalogueSource& source, const Machine& machine, CataloguePorts& ports, Catalogue& out,
                  std::u16string& pagePath) {
  out = Catalogue();
  // The catalogue code from the feed.
  IXmlDocument::Load load = IXmlDocument::Load::Unreadable;
  if (IsWeb(source.feed)) {
    std::u16string temp;
    if (!ports.download.Download(source.feed, temp)) return kCatalogueUnreachable;
    load = ports.xml.LoadFile(temp);
    ports.download.Delete(temp);
  } else {
    load = ports.xml.LoadFile(source.feed);
  }
  if (load == IXmlDocument::Load::Unreadable) return kCatalogueUnreachable;
  if (load != IXmlDocument::Load::Ok) return kCatalogueNothing;
  const auto code = CatalogueCode(ports.xml, machine.model);
  if (!code) return kCatalogueNothing;
  const auto url = CatalogueSearchUrl(source.base, source.searchFormat, *code);
  if (!url) return kCatalogueNothing;

  // The search result, without the navigation lines, read for its anchors.
  const auto result = FetchBytes(Widen(*url), ports);
  if (!result) return kCatalogueUnreachable;
  std::u16string resultPath;
  if (!ports.files.WriteTemp(WithoutNavigationLines(*result), resultPath)) return kCatalogueNoTemp;
  std::vector<Anchor> anchors;
  const IHtmlAnchors::Result read = ports.anchors.Read(resultPath, anchors);
  ports.files.Delete(resultPath);
  if (read == IHtmlAnchors::Result::TimedOut) return kCatalogueTimedOut;
  if (read != IHtmlAnchors::Result::Ok) return kCatalogueNoTemp;

  const std::u16string base = Widen(source.base);
  const std::u16string root = ports.disk.DownloadRoot();
  for (const Anchor& a : anchors) {
    const auto link = DocumentLink(a.href, base);
    if (!link) continue;
    std::optional<Markers> markers;
    if (const auto doc = FetchBytes(*link, ports)) markers = ReadMarkers(*doc, ports.codePage);
    AddEntry(out, *link, a.text, markers, root, ports.disk);
  }
  if (out.entries.empty()) return kCatalogueNothing;
  EvaluateCatalogue(out, machine, ports.filter, ports.redirection, ports.disk);

  const std::u16string folder = ports.files.TempFolder();
  if (folder.empty()) return kCatalogueNoTemp;
  pagePath = folder + kCataloguePageName;
  ports.files.Delete(pagePath);
  if (!WriteCataloguePage(out.entries, ports, pagePath, source.modulePath, false)) return kCatalogueNoTemp;
  return static_cast<int>(out.entries.size());
}

int RefreshCatalogue(Catalogue& catalogue, const Machine& machine, CataloguePorts& ports, const std::u16string& pagePath,
                     const std::u16string& modulePath, bool rewrite) {
  EvaluateCatalogue(catalogue, machine, ports.filter, ports.redirection, ports.disk);
  if (rewrite && !WriteCataloguePage(catalogue.entries, ports, pagePath, modulePath, true)) return kCatalogueNoTemp;
  return static_cast<int>(catalogue.entries.size());
}

}  // namespace web
