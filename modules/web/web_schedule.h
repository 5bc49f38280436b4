// When the web module's automatic check fetches the feed: on connection (every
// "SuppressAutoCheckMinute" + 1 calls after start, resume or unlock), daily at a fixed time,
// or never; and when an interrupted update is taken up again.
#pragma once
#include <cstdint>
#include <optional>

#include "modules/web/web_settings.h"

namespace web {

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
};

class IClock {
 public:
  virtual ~IClock() = default;
  virtual LocalTime NowLocal() = 0;
};

class INetwork {
 public:
  virtual ~INetwork() = default;
  // The feed server answers the reachability probe (bounded wait).
  virtual bool ServerAnswers() = 0;
  // The user's work-offline state.
  virtual bool Offline() = 0;
};

enum class Due {
  Nothing,       // the module is off
  Keep,          // nothing new: the host keeps what it lists
  Check,         // run the check pipeline
  NotConnected,  // the fixed-time check found no server: the persistent notice
};

struct Decision {
  Due due = Due::Keep;
  // Open the update manager on its own thread ("OpenUpdateOnNextBoot" was set and is now cleared).
  bool openUpdateManager = false;
};

// Host window messages that restart the on-connection count.
constexpr uint32_t kWmPowerBroadcast = 0x0218, kPbtResumeSuspend = 7;
constexpr uint32_t kWmSessionChange = 0x02B1, kWtsConsoleConnect = 1, kWtsSessionUnlock = 8;

class Schedule {
 public:
  // One automatic-check call (about once a minute). `pending`: a page notification is still
  // held. Clears "OpenUpdateOnNextBoot" when it starts the update manager.
  Decision AutoCheck(Settings& settings, ISettingsStore& store, bool pending, IClock& clock, INetwork& net);

  // Resume from standby, console connection or unlock: the next on-connection check comes
  // a full period later, when the network has settled, even after a page was shown.
  void OnHostMessage(uint32_t message, uintptr_t wParam);

  // The host showed one of the module's pages (its close then writes read marks back).
  // It also closes the on-connection gate until the next resume, console connection or unlock.
  void OnPageShown() { pageShown_ = connectionGateClosed_ = true; }
  bool PageShown() const { return pageShown_; }

  uint32_t pollCounter() const { return pollCounter_; }

 private:
  struct Fired {
    int year, month, day, hour, minute;
    bool operator==(const Fired& o) const {
      return year == o.year && month == o.month && day == o.day && hour == o.hour && minute == o.minute;
    }
  };
  uint32_t pollCounter_ = 1;
  bool pageShown_ = false;
  bool connectionGateClosed_ = false;
  // The day and configured time of the last fixed-time check: one per day per time.
  std::optional<Fired> lastFixed_;
};

}  // namespace web
