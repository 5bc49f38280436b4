#include "host/core/host_settings.h"

#include <algorithm>

namespace host {
namespace {
struct Field {
  const char16_t* name;
  uint32_t HostSettings::*value;
};
// The save order; InitialDlgEnable is read from the machine only and never saved.
constexpr Field kUserFields[] = {
    {u"MiniPopup", &HostSettings::miniPopup},         {u"FlashIcon", &HostSettings::flashIcon},
    {u"BeepSound", &HostSettings::beepSound},         {u"MiniPopupTime", &HostSettings::miniPopupTime},
    {u"ClockSpeed", &HostSettings::clockSpeed},       {u"InitialDlgShown", &HostSettings::initialDlgShown},
};
}  // namespace

HostSettings ReadHostSettings(ISettingsStore& store) {
  HostSettings s;
  for (const Field& f : kUserFields) {
    uint32_t v = 0;
    if (store.Read(SettingsRoot::User, f.name, &v) || store.Read(SettingsRoot::Machine, f.name, &v)) s.*f.value = v;
  }
  uint32_t v = 0;
  if (store.Read(SettingsRoot::Machine, u"InitialDlgEnable", &v)) s.initialDlgEnable = v;
  s.read = true;
  return s;
}

SaveResult SaveHostSettings(ISettingsStore& store, const HostSettings& settings, bool auditMode) {
  if (!settings.read) return SaveResult::NotRead;
  if (auditMode) return SaveResult::AuditMode;
  for (const Field& f : kUserFields)
    if (!store.WriteUser(f.name, settings.*f.value)) return SaveResult::Failed;
  return SaveResult::Saved;
}

uint32_t ClockPeriodMs(uint32_t clockSpeed) { return std::clamp(clockSpeed, kMinClockMs, kMaxClockMs); }

uint32_t TicksToMs(uint32_t ticks, uint32_t clockSpeed) {
  const uint64_t ms = static_cast<uint64_t>(ticks) * ClockPeriodMs(clockSpeed);
  return static_cast<uint32_t>(std::min<uint64_t>(ms, 0x7FFFFFFFu));
}

}  // namespace host
