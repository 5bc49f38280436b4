#include "modules/kit/offer_schedule.h"

#include "common/core/civil_date.h"

namespace kit {
namespace {
bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool IsSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// One "%Nd" conversion: blanks, an optional sign and digits, N characters at most.
bool ScanInt(const std::u16string& s, size_t& pos, int width, int& out) {
  while (pos < s.size() && IsSpace(s[pos])) ++pos;
  size_t i = pos;
  bool negative = false;
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-') && width > 1) {
    negative = s[i] == u'-';
    ++i;
  }
  int value = 0, digits = 0;
  while (i < s.size() && static_cast<int>(i - pos) < width && s[i] >= u'0' && s[i] <= u'9') {
    value = value * 10 + (s[i] - u'0');
    ++i;
    ++digits;
  }
  if (!digits) return false;
  out = negative ? -value : value;
  pos = i;
  return true;
}
}  // namespace

bool IsValidDate(int year, int month, int day) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  // The range a Windows FILETIME can hold.
  if (year < 1601 || year > 30827 || month < 1 || month > 12 || day < 1) return false;
  return day <= kDays[month - 1] + (month == 2 && IsLeap(year));
}

int64_t LocalSeconds(const LocalTime& t) {
  return civil::DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

int64_t DaysBetween(const LocalTime& first, const LocalTime& now) {
  return (LocalSeconds(now) - LocalSeconds(first)) / 86400;
}

int64_t CalendarDaysBetween(const LocalTime& first, const LocalTime& now) {
  return civil::DaysFromCivil(now.year, now.month, now.day) - civil::DaysFromCivil(first.year, first.month, first.day);
}

std::optional<LocalTime> ParseFirstLogin(const std::u16string& text) {
  int fields[3] = {1, 1, 2007};
  const int widths[3] = {2, 2, 4};
  size_t pos = 0;
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (pos >= text.size() || text[pos] != u'/') break;
      ++pos;
    }
    if (!ScanInt(text, pos, widths[i], fields[i])) break;
  }
  if (!IsValidDate(fields[2], fields[0], fields[1])) return std::nullopt;
  LocalTime t;
  t.year = fields[2];
  t.month = fields[0];
  t.day = fields[1];
  return t;
}

std::optional<LocalTime> FirstUse(IOfferStore& store, IClock& clock) {
  if (auto text = store.FirstLogin()) return ParseFirstLogin(*text);
  if (auto seconds = store.InstallDate()) {
    LocalTime t;
    if (clock.LocalFromUnix(*seconds, t)) return t;
  }
  return std::nullopt;
}

}  // namespace kit
