// The registration reminder's rules, free of Windows: which offer a model gets, how many
// days the computer has been in use, and when a reminder is due and urgent.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "modules/registration/reg_settings.h"

namespace reg {

enum class Variant { None = 0, FreeWarranty3 = 1, OwnerRegistration = 2, SpecialWarranty3 = 3, FreeWarranty4 = 4 };

struct VariantInfo {
  int windowEnd;          // last day of the reminder window
  int urgentFrom;         // first urgent day
  uint16_t setupDialog;   // settings-page template
  int popupHeight;        // 0: the host's default
  uint16_t normalText;    // string-table ids of the mini-popup line
  uint16_t urgentText;
  bool hasQr;             // a QR code for mobile registration
  bool protectedQuery;    // the QR address carries the enciphered model and serial number
};
// Only for a variant other than None.
const VariantInfo& Info(Variant v);

// Tries the patterns in the order 4, 1, 2, 3; None when none matches or a pattern is broken.
Variant ChooseVariant(const std::u16string& model, const Settings& settings);

// A local date and time (no time zone: the platform converts).
struct LocalTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0;
};
bool IsValidDate(int year, int month, int day);
// Seconds on a uniform local scale; only for valid dates.
int64_t LocalSeconds(const LocalTime& t);

// The "FirstLogin" text, "%2d/%2d/%4d" (month, day, year) read the way scanf reads it:
// fields that do not parse keep 1, 1, 2007. Local midnight of that date, or nothing when the
// date does not exist (then there is no first-use date at all).
std::optional<LocalTime> ParseFirstLogin(const std::u16string& text);

// Whole days from `first` to `now`, truncated toward zero (negative for a future first use).
int64_t DaysBetween(const LocalTime& first, const LocalTime& now);

// A missing first-use date is its own state: no reminders, never urgent.
bool InsideWindow(Variant v, std::optional<int64_t> days);
bool IsUrgent(Variant v, std::optional<int64_t> days);

}  // namespace reg
