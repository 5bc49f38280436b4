#include "modules/registration/reg_rules.h"

#include "common/core/civil_date.h"
#include "common/pattern/pattern.h"
#include "modules/registration/module/reg_resource_ids.h"

namespace reg {
namespace {
const VariantInfo kInfo[] = {
    {31, 22, IDD_SETUP_WARRANTY3, 0, IDS_NOTIFY_WARRANTY3, IDS_URGENT_WARRANTY3, true, true},
    {365, 351, IDD_SETUP_OWNER, 570, IDS_NOTIFY_OWNER, IDS_URGENT_OWNER, true, false},
    {31, 22, IDD_SETUP_SPECIAL3, 0, IDS_NOTIFY_SPECIAL3, IDS_URGENT_SPECIAL3, false, false},
    {31, 22, IDD_SETUP_WARRANTY4, 0, IDS_NOTIFY_WARRANTY4, IDS_URGENT_WARRANTY4, true, true},
};

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

const VariantInfo& Info(Variant v) { return kInfo[static_cast<int>(v) - 1]; }

Variant ChooseVariant(const std::u16string& model, const Settings& settings) {
  const std::pair<Variant, const std::u16string*> order[] = {
      {Variant::FreeWarranty4, &settings.variant4Pattern},
      {Variant::FreeWarranty3, &settings.variant1Pattern},
      {Variant::OwnerRegistration, &settings.variant2Pattern},
      {Variant::SpecialWarranty3, &settings.variant3Pattern},
  };
  for (const auto& [variant, pattern] : order)
    if (!pattern->empty() && Pattern::Find(*pattern, model) == Pattern::Status::Match) return variant;
  return Variant::None;
}

bool IsValidDate(int year, int month, int day) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  // The range a Windows FILETIME can hold.
  if (year < 1601 || year > 30827 || month < 1 || month > 12 || day < 1) return false;
  return day <= kDays[month - 1] + (month == 2 && IsLeap(year));
}

int64_t LocalSeconds(const LocalTime& t) {
  return civil::DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
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

int64_t DaysBetween(const LocalTime& first, const LocalTime& now) {
  return (LocalSeconds(now) - LocalSeconds(first)) / 86400;
}

bool InsideWindow(Variant v, std::optional<int64_t> days) {
  return v != Variant::None && days && *days <= Info(v).windowEnd;
}

bool IsUrgent(Variant v, std::optional<int64_t> days) {
  return InsideWindow(v, days) && *days >= Info(v).urgentFrom;
}

}  // namespace reg
