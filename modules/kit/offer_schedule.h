// What the offer modules (registration reminder, extended warranty) share about their
// schedule: the first-use date, the day of the last page, the setup switch and the user's
// "Notify" choice kept through the driver.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace kit {

// A local date and time (no time zone: the platform converts).
struct LocalTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0;
};
bool IsValidDate(int year, int month, int day);
// Seconds on a uniform local scale; only for valid dates.
int64_t LocalSeconds(const LocalTime& t);
// Whole days from `first` to `now`, truncated toward zero (negative for a future first use).
int64_t DaysBetween(const LocalTime& first, const LocalTime& now);
// Calendar days from the date of `first` to the date of `now`: the time of day and
// daylight-saving changes play no part.
int64_t CalendarDaysBetween(const LocalTime& first, const LocalTime& now);

// The "FirstLogin" text, "%2d/%2d/%4d" (month, day, year) read the way scanf reads it:
// fields that do not parse keep 1, 1, 2007. Local midnight of that date, or nothing when the
// date does not exist (then there is no first-use date at all).
std::optional<LocalTime> ParseFirstLogin(const std::u16string& text);

class IClock {
 public:
  virtual ~IClock() = default;
  virtual LocalTime Now() = 0;
  // Local time of a moment in seconds since 1970-01-01 UTC; false if it has none.
  virtual bool LocalFromUnix(uint32_t seconds, LocalTime& out) = 0;
};

struct MonthDay {
  int month = 0, day = 0;
  bool operator==(const MonthDay& o) const { return month == o.month && day == o.day; }
};
inline MonthDay DayOf(const LocalTime& t) { return MonthDay{t.month, t.day}; }

// The registry values an offer module reads and saves, and the machine's identity.
class IOfferStore {
 public:
  virtual ~IOfferStore() = default;
  virtual bool SetupEnable() = 0;                              // machine; default on
  virtual std::optional<std::u16string> FirstLogin() = 0;      // machine, 64-bit view
  virtual std::optional<uint32_t> InstallDate() = 0;           // machine, 64-bit view
  virtual std::optional<uint32_t> Notify() = 0;                // the user's choice, through the driver
  virtual bool SaveNotify(bool on) = 0;
  virtual std::optional<MonthDay> LastNotified() = 0;          // user
  virtual bool SaveLastNotified(MonthDay day) = 0;
  virtual void EnsureHostKey() = 0;                            // machine ...\WICKPOST, through the driver
  virtual bool AuditMode() = 0;                                // nothing is saved while it lasts
  virtual bool ReadModel(std::string& model) = 0;              // as shown, with its hyphen
  virtual bool ReadSerial(std::string& serial) = 0;
};

// What the settings page (banner, "Notify" box, show-now button) asks of an offer module.
class IOfferSetup {
 public:
  virtual ~IOfferSetup() = default;
  virtual bool Live() = 0;             // the box can be changed; unchecked and greyed otherwise
  virtual bool Choice() = 0;           // the box's state while live
  virtual void Force() = 0;            // the next check shows the offer whatever the schedule says
  virtual void Apply(bool notify) = 0; // the sheet's apply
};

// The first use: "FirstLogin" at local midnight when the value exists (a date that does not
// exist gives none), else "InstallDate" in local time, else none.
std::optional<LocalTime> FirstUse(IOfferStore& store, IClock& clock);

}  // namespace kit
