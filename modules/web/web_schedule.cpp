#include "modules/web/web_schedule.h"

namespace web {

Decision Schedule::AutoCheck(Settings& settings, ISettingsStore& store, bool pending, IClock& clock, INetwork& net) {
  Decision d;
  if (settings.Get(kEnable) == 0) {
    d.due = Due::Nothing;
    return d;
  }
  if (settings.openUpdateOnNextBoot() != 0 && net.ServerAnswers() && !net.Offline()) {
    settings.ClearOpenUpdate(store);
    d.openUpdateManager = true;
  }
  if (pending) {
    d.due = Due::Keep;
    return d;
  }

  const uint32_t method = settings.Get(kCheckMethod);
  const uint32_t period = settings.Get(kSuppressAutoCheckMinute);
  bool due = false;
  if (method == kMethodFixedTime) {
    const LocalTime now = clock.NowLocal();
    const int hour = static_cast<int>(settings.Get(kCheckHour));
    const int minute = static_cast<int>(settings.Get(kCheckMinute));
    const Fired today{now.year, now.month, now.day, hour, minute};
    const int64_t last = static_cast<int64_t>(minute) + period / 2;
    if (!(lastFixed_ && *lastFixed_ == today) && now.hour == hour && now.minute >= minute && now.minute <= last) {
      lastFixed_ = today;
      if (!net.ServerAnswers() || net.Offline()) {
        d.due = Due::NotConnected;
        return d;
      }
      due = true;
    }
  }

  if (pollCounter_ < period) {
    ++pollCounter_;
  } else {
    pollCounter_ = 0;
    // Once a page was shown, a notice the user merely closed would come back every period:
    // only a new connection (resume, unlock) opens the gate again.
    if (method == kMethodOnConnection && !connectionGateClosed_ && net.ServerAnswers()) due = true;
  }
  d.due = due ? Due::Check : Due::Keep;
  return d;
}

void Schedule::OnHostMessage(uint32_t message, uintptr_t wParam) {
  if ((message == kWmPowerBroadcast && wParam == kPbtResumeSuspend) ||
      (message == kWmSessionChange && (wParam == kWtsConsoleConnect || wParam == kWtsSessionUnlock))) {
    pollCounter_ = 0;
    connectionGateClosed_ = false;
  }
}

}  // namespace web
