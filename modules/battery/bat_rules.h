// The battery module's rules: dates, the due rule, wear, the duration text, the layout kind
// and pack identities. Pure functions; time comes in as numbers.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace bat {

// Condition bits and indexes.
constexpr uint32_t kRecal = 1, kHalfCapa = 2, kNoCapa = 4, kAllConditions = 7;
constexpr int kConditions = 3;
constexpr uint32_t ConditionBit(int k) { return 1u << k; }

struct Date {
  int year = 0, month = 0, day = 0;
  bool IsZero() const { return year == 0 && month == 0 && day == 0; }
  bool operator==(const Date& o) const { return year == o.year && month == o.month && day == o.day; }
  bool operator!=(const Date& o) const { return !(*this == o); }
};

// Smart-battery date word: bits 15-9 year - 1980, 8-5 month, 4-0 day.
Date DecodeDateWord(uint16_t word);
uint16_t EncodeDateWord(const Date& d);
// 1900..3000, month 1..12, day 1..31.
bool IsValidRecalDate(const Date& d);

// The registry's fixed date form "yyyy/MM/dd", whatever the user's locale.
std::u16string FormatRegistryDate(const Date& d);
// Three numbers separated by '/'; nothing otherwise.
std::optional<Date> ParseRegistryDate(const std::u16string& text);

constexpr int64_t kDay = 86400;
constexpr int64_t kRecalAge = 180 * kDay;

// Seconds from `midnight` (the local midnight of a date, as UTC seconds) to `now`; 0 when negative.
inline int64_t Elapsed(int64_t now, int64_t midnight) { return now > midnight ? now - midnight : 0; }

// Whether an automatic check looks at a condition again. `midnight` is the local midnight of
// the last notify date, or nothing when that date is unset, before 1900 or not convertible.
bool IsDue(bool recalChanged, std::optional<int64_t> midnight, uint32_t interval, int64_t now);

// Recalibration due once 180 days have passed since local midnight of the date.
inline bool RecalFound(int64_t now, int64_t midnight) { return Elapsed(now, midnight) >= kRecalAge; }

// Full charge against design capacity in whole percent; 100 when not below design.
uint32_t WearPercent(uint32_t design, uint32_t full);
// Halfcapa for 31..50 percent, nocapa up to 30; only the bits in `wanted`.
uint32_t WearFindings(uint32_t percent, uint32_t wanted);

// The lower and upper hours from the driver's base and extra minutes, filled into `format`
// (two %s, "約%s ～ %s" in the string table): "約1 ～ 1.5".
std::u16string DurationText(const std::u16string& format, uint32_t baseMinutes, uint32_t extraMinutes);
// Hours of a minute count rounded up to half hours: "1", "1.5".
std::u16string HalfHours(uint32_t minutes);

// Layout kind from the 16-bit configuration word; nothing when the word leaves it unknown.
std::optional<int> KindFromConfigWord(uint16_t word);
inline int PackCount(int kind) { return kind == 1 || kind == 2 ? 2 : 1; }
inline uint32_t DefaultMask(int kind, int battery) { return battery == 1 && kind == 1 ? 6u : 7u; }

// Pack identity: 14-character name, yymmdd of manufacture, five-digit serial. Characters that
// would nest or break a registry key name become '_'.
std::u16string PackIdentity(const std::string& name, const Date& made, uint16_t serial);
// The slot form used when the older interface has no serial or date.
std::u16string SlotIdentity(int battery);

}  // namespace bat

namespace bat {
// Model patterns: A marks models whose layout always comes from the patterns; K0..K3 name kinds.
struct LayoutPatterns {
  std::string always, kind[4];
};
const LayoutPatterns& DefaultLayoutPatterns();
// The layout kind from the configuration word (nothing: the request failed) or the patterns.
std::optional<int> LayoutKind(const LayoutPatterns& patterns, const std::string& model, std::optional<uint16_t> config);
}  // namespace bat
