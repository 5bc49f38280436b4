#include "modules/battery/bat_rules.h"

#include <cstdio>

#include "common/pattern/pattern.h"
#include "modules/battery/bat_text.h"

namespace bat {
namespace {
std::u16string Ascii(const char* s) { return std::u16string(s, s + std::char_traits<char>::length(s)); }

std::u16string Digits(uint32_t value, int width) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*u", width, value);
  return Ascii(buffer);
}

// Reads a decimal number (with an optional sign) at `i`; advances past it.
bool Number(const std::u16string& s, size_t& i, int& out) {
  while (i < s.size() && (s[i] == u' ' || s[i] == u'\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) negative = s[i++] == u'-';
  const size_t start = i;
  long value = 0;
  while (i < s.size() && s[i] >= u'0' && s[i] <= u'9' && value < 100000000) value = value * 10 + (s[i++] - u'0');
  if (i == start) return false;
  out = static_cast<int>(negative ? -value : value);
  return true;
}
}  // namespace

Date DecodeDateWord(uint16_t w) { return Date{1980 + (w >> 9), (w >> 5) & 0x0F, w & 0x1F}; }

uint16_t EncodeDateWord(const Date& d) {
  return static_cast<uint16_t>(((d.year - 1980) << 9) | ((d.month & 0x0F) << 5) | (d.day & 0x1F));
}

bool IsValidRecalDate(const Date& d) {
  return d.year >= 1900 && d.year <= 3000 && d.month >= 1 && d.month <= 12 && d.day >= 1 && d.day <= 31;
}

std::u16string FormatRegistryDate(const Date& d) {
  return Digits(d.year, 4) + u"/" + Digits(d.month, 2) + u"/" + Digits(d.day, 2);
}

std::optional<Date> ParseRegistryDate(const std::u16string& text) {
  Date d;
  size_t i = 0;
  if (!Number(text, i, d.year) || i >= text.size() || text[i++] != u'/' || !Number(text, i, d.month) ||
      i >= text.size() || text[i++] != u'/' || !Number(text, i, d.day))
    return std::nullopt;
  return d;
}

bool IsDue(bool recalChanged, std::optional<int64_t> midnight, uint32_t interval, int64_t now) {
  if (recalChanged || !midnight) return true;
  static const int64_t kPeriod[] = {kDay, 7 * kDay, 30 * kDay};
  return interval > 2 || Elapsed(now, *midnight) >= kPeriod[interval];
}

uint32_t WearPercent(uint32_t design, uint32_t full) {
  if (full >= design || design == 0) return 100;
  return static_cast<uint32_t>(uint64_t{full} * 100 / design);
}

uint32_t WearFindings(uint32_t percent, uint32_t wanted) {
  uint32_t found = 0;
  if (percent > 30 && percent <= 50) found |= kHalfCapa;
  if (percent <= 30) found |= kNoCapa;
  return found & wanted;
}

std::u16string HalfHours(uint32_t minutes) {
  const uint32_t halves = (minutes + 29) / 30;
  return Digits(halves / 2, 1) + (halves % 2 ? u".5" : u"");
}

std::u16string DurationText(const std::u16string& format, uint32_t base, uint32_t extra) {
  const uint32_t upper = base * 3 / 2 + extra;
  return FormatText(format, {Txt(HalfHours(base)), Txt(HalfHours(upper))}).value_or(std::u16string());
}

std::optional<int> KindFromConfigWord(uint16_t word) {
  const int low = word & 3;
  if (low != 1 && low != 3) return std::nullopt;
  static const int kKinds[] = {0, 2, 1, 2};
  return kKinds[(word >> 2) & 3];
}

std::u16string PackIdentity(const std::string& name, const Date& made, uint16_t serial) {
  std::u16string id;
  for (size_t i = 0; i < name.size() && i < 14; ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    id += c < 0x20 || c > 0x7E || c == '\\' ? u'_' : static_cast<char16_t>(c);
  }
  id.resize(14, u' ');
  return id + Digits(made.year % 100, 2) + Digits(made.month % 100, 2) + Digits(made.day % 100, 2) +
         Digits(serial, 5);
}

std::u16string SlotIdentity(int battery) { return Digits(static_cast<uint32_t>(battery), 3); }

const LayoutPatterns& DefaultLayoutPatterns() {
  // Model numbers as shown, with the hyphen: the RX-7 line has no usable configuration word. In this
  // dialect "ab|cd" is a(b|c)d, so each alternative is grouped.
  static const LayoutPatterns patterns{
      "^RX-7", {"^RX-7((WQ)|(SS))", "^RX-7((EX)|(DK))", "^RX-7((TW)|(DB))", "^RX-7((QS)|(MN))"}};
  return patterns;
}

std::optional<int> LayoutKind(const LayoutPatterns& p, const std::string& model, std::optional<uint16_t> config) {
  const bool byPattern = !config || Pattern::Find(p.always, model) == Pattern::Status::Match;
  if (!byPattern) return KindFromConfigWord(*config);
  for (int k = 0; k < 4; ++k)
    if (Pattern::Find(p.kind[k], model) == Pattern::Status::Match) return k;
  return std::nullopt;
}

}  // namespace bat
