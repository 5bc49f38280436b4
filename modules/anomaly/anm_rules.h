// The anomaly module's rules: which window messages ask for a new check, what the embedded
// controller's battery and adaptor registers mean, which notices the machine offers and the
// user wants, the page's language and what one check finds.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "common/core/misc_packets.h"

namespace anm {

// Notice bits of both masks.
enum : uint32_t { kBitBattery = 1, kBitAdaptor = 2, kBitApps = 4, kBitMini = 8, kAllBits = 15 };

// ---- events ----
constexpr uint32_t kMsgSessionChange = 0x02B1, kMsgPowerBroadcast = 0x0218, kMsgSettingsRecheck = 0x8004;
constexpr uintptr_t kEcBatteryEvent = 0xC0, kEcAdaptorEvent = 0xC1, kPowerResume = 7;

struct EventAction {
  bool recheck = false;                // close a shown page, then ask the host for a check
  bool postCheckOnly = false;          // ask the host for a check without closing anything
  std::optional<bool> sessionActive;   // the session became active or inactive
};

// What the hidden window does with a message; `ecMessage` is the registered controller
// message (0: not registered).
EventAction DecodeEvent(uint32_t message, uintptr_t wParam, bool sessionActive, uint32_t ecMessage);

// ---- registers ----
enum class Battery : uint16_t { Red = 0, OrangeTemperature = 1, OrangePower = 2, Fine = 0xFFFF };
// The four bytes of the battery status register; nothing when they do not say (first byte set).
std::optional<Battery> DecodeBattery(const uint8_t (&reply)[4]);

enum class Adaptor { None, NotRecommended, Mini };
Adaptor DecodeAdaptor(uint16_t flags);

// What the driver answers, read once per initialisation or check.
struct Readings {
  int level = 0;                          // 0 none, 1 older, 2 registers available
  std::optional<Battery> battery;         // level 2 and readable
  // The adaptor request: nothing when the call failed; else its status and flags.
  struct AdaptorReply {
    uint8_t status = 0xFF;
    uint16_t flags = 0;
  };
  std::optional<AdaptorReply> adaptor;
};

using MiscCommon::IPacketPort;
int ReadLevel(IPacketPort& port);
std::optional<Battery> ReadBattery(IPacketPort& port, int level);
std::optional<Readings::AdaptorReply> ReadAdaptor(IPacketPort& port, int level);

// ---- machine facts and masks ----
// 0 unsupported family, 1 domestic, 2 other, for the model number as shown
// (MiscCommon::FormatModelNumber). `versionDoc` is the second line of the
// factory's version file when it could be opened (empty optional: not opened; an empty
// string: fewer than two lines); `tableValue` the machine table's entry 14.
int RegionKind(const std::string& model, const std::optional<std::string>& versionDocLine,
               const std::optional<uint16_t>& tableValue);
std::optional<uint16_t> ReadRegionEntry(IPacketPort& port);

uint32_t OfferedMask(int region, bool hasRecords, const Readings& r);

// The user's state: theirs, else the machine default, else everything offered. `write`
// says whether the result has to be stored for the user.
uint32_t StateMask(std::optional<uint32_t> user, std::optional<uint32_t> machine, uint32_t offered, bool& write);

bool IsEnable(uint32_t offered, uint32_t state, bool functionEnable);

// ---- the page's language ----
const char16_t* PageLanguage(uint16_t uiLanguage);

// ---- one check ----
struct Findings {
  Battery battery = Battery::Fine;
  bool notRecommended = false, mini = false, apps = false;
  bool Any() const { return battery != Battery::Fine || notRecommended || mini || apps; }
  bool MiniOnly() const { return mini && battery == Battery::Fine && !notRecommended && !apps; }
};

// The findings of a check from the readings; `appsNeedRepair` is asked only when wanted.
template <class Scan>
Findings Check(uint32_t offered, uint32_t state, const Readings& r, Scan&& appsNeedRepair);

Findings CheckReadings(uint32_t offered, uint32_t state, const Readings& r);

template <class Scan>
Findings Check(uint32_t offered, uint32_t state, const Readings& r, Scan&& appsNeedRepair) {
  Findings f = CheckReadings(offered, state, r);
  if ((offered & state & kBitApps) && appsNeedRepair()) f.apps = true;
  return f;
}

}  // namespace anm
