// The registration reminder's rules, free of Windows: which offer a model gets, how many
// days the computer has been in use, and when a reminder is due and urgent.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "modules/kit/offer_schedule.h"
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

// The first-use date and its day count, shared with the warranty offer (modules/kit).
using kit::DaysBetween;
using kit::IsValidDate;
using kit::LocalSeconds;
using kit::LocalTime;
using kit::ParseFirstLogin;

// A missing first-use date is its own state: no reminders, never urgent.
bool InsideWindow(Variant v, std::optional<int64_t> days);
bool IsUrgent(Variant v, std::optional<int64_t> days);

}  // namespace reg
