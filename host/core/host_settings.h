// The host's own settings: read user, then machine, then default; saved to the user key.
#pragma once
#include <cstdint>

namespace host {

enum class SettingsRoot { User, Machine };

// Registry access for the settings, one value at a time.
class ISettingsStore {
 public:
  virtual ~ISettingsStore() = default;
  // True, and *value set, only for a REG_DWORD of exactly four bytes.
  virtual bool Read(SettingsRoot root, const char16_t* name, uint32_t* value) = 0;
  virtual bool WriteUser(const char16_t* name, uint32_t value) = 0;
};

struct HostSettings {
  uint32_t miniPopup = 1;
  uint32_t flashIcon = 0;
  uint32_t beepSound = 0;
  uint32_t miniPopupTime = 3;  // minutes; 0 never hides
  uint32_t clockSpeed = 1000;  // milliseconds per tick, as stored; see ClockPeriodMs
  uint32_t initialDlgShown = 0;
  uint32_t initialDlgEnable = 1;  // machine only, never saved
  // Set by ReadHostSettings. Defaults that were never read are never saved: an early exit
  // must not overwrite the user's values.
  bool read = false;
};

HostSettings ReadHostSettings(ISettingsStore& store);

enum class SaveResult { Saved, NotRead, AuditMode, Failed };
// Writes the six user values in order, stopping at the first failure.
SaveResult SaveHostSettings(ISettingsStore& store, const HostSettings& settings, bool auditMode);

// The clock period actually used. The stored ClockSpeed is kept as it is, but a tick of 0
// would spin the clock and a huge one would overflow the millisecond products, so the
// period is bounded to 50 ms .. 1 hour.
constexpr uint32_t kMinClockMs = 50;
constexpr uint32_t kMaxClockMs = 3600000;
uint32_t ClockPeriodMs(uint32_t clockSpeed);

// Ticks × period in milliseconds, saturated to what a Win32 timer accepts (0x7FFFFFFF).
uint32_t TicksToMs(uint32_t ticks, uint32_t clockSpeed);

// Auto-hide limit of the mini popup in ticks (MiniPopupTime × 60), without overflow.
inline uint64_t MiniPopupHideTicks(uint32_t minutes) { return static_cast<uint64_t>(minutes) * 60u; }

}  // namespace host
