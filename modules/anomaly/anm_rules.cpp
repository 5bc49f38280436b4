#include "modules/anomaly/anm_rules.h"

#include <cstring>
#include <vector>

#include "common/core/bytes.h"
#include "common/core/misc_format.h"

namespace anm {

EventAction DecodeEvent(uint32_t message, uintptr_t wParam, bool sessionActive, uint32_t ecMessage) {
  EventAction a;
  if (message == kMsgSessionChange) {
    if (wParam == 1 || wParam == 3) {
      a.sessionActive = true;
      a.recheck = true;
    } else if (wParam == 2 || wParam == 4) {
      a.sessionActive = false;
    }
  } else if (message == kMsgPowerBroadcast) {
    a.recheck = sessionActive && wParam == kPowerResume;
  } else if (ecMessage != 0 && message == ecMessage) {
    a.recheck = wParam == kEcBatteryEvent || wParam == kEcAdaptorEvent;
  } else if (message == kMsgSettingsRecheck) {
    a.postCheckOnly = true;
  }
  return a;
}

std::optional<Battery> DecodeBattery(const uint8_t (&reply)[4]) {
  if (reply[0] != 0) return std::nullopt;
  const uint8_t flags = reply[1];
  if (flags & 0x0A) return Battery::Red;
  if (flags & 0x05) {
    const uint8_t reason = (flags & 0x01) ? reply[2] : reply[3];
    if (reason == 1) return Battery::OrangeTemperature;
    if (reason == 2) return Battery::OrangePower;
  }
  return Battery::Fine;
}

Adaptor DecodeAdaptor(uint16_t flags) {
  if (!(flags & 0x03)) return Adaptor::None;
  if (flags & 0x20) return Adaptor::NotRecommended;
  if (flags & 0x10) return Adaptor::Mini;
  return Adaptor::None;
}

int ReadLevel(IPacketPort& port) {
  uint8_t kind = 0;
  if (!MiscCommon::ReadEcKind(port, kind).ok()) return 0;
  return kind == 3 ? 2 : 1;
}

std::optional<Battery> ReadBattery(IPacketPort& port, int level) {
  if (level != 2) return std::nullopt;
  const uint8_t request[4] = {0xC0, 0x8A, 0, 0};
  uint8_t reply[4] = {};
  if (!MiscCommon::ReadControllerRegister(port, request, reply).ok()) return std::nullopt;
  return DecodeBattery(reply);
}

std::optional<Readings::AdaptorReply> ReadAdaptor(IPacketPort& port, int level) {
  if (level != 2) return std::nullopt;
  uint16_t flags = 0;
  const MiscCommon::PacketReply r = MiscCommon::ReadAdaptorRegister(port, 0xBE, flags);
  if (r.code != MiscCommon::MC_OK) return std::nullopt;
  return Readings::AdaptorReply{r.status, r.status == MiscCommon::kStatusSuccess ? flags : uint16_t(0)};
}

namespace {
// The maker's notebook families this module serves, by the start of the model number as
// shown (the driver's text with "-" after its second character). The XW3 family is served
// only with a "1" in fourth place of the driver's text: "XW31...", shown "XW-31...".
const char* const kFamilies[] = {"PT-", "RX-", "UV-", "XW-31"};
}  // namespace

int RegionKind(const std::string& model, const std::optional<std::string>& versionDocLine,
               const std::optional<uint16_t>& tableValue) {
  bool known = false;
  for (const char* f : kFamilies) known = known || model.rfind(f, 0) == 0;
  if (!known) return 0;
  if (versionDocLine) return !versionDocLine->empty() && (*versionDocLine)[0] == 'J' ? 1 : 2;
  return tableValue && *tableValue == 1 ? 1 : 2;
}

std::optional<uint16_t> ReadRegionEntry(IPacketPort& port) {
  uint16_t bytesTotal = 0;
  uint8_t flag = 0;
  if (!MiscCommon::QueryBiosTable(port, bytesTotal, flag).ok()) return std::nullopt;
  const uint32_t entries = bytesTotal / MiscCommon::kBiosEntryBytes;
  if (entries == 0) return std::nullopt;
  std::vector<uint8_t> table(entries * MiscCommon::kBiosEntryBytes);
  if (!MiscCommon::ReadBiosTable(port, table.data(), entries, static_cast<uint32_t>(table.size())).ok())
    return std::nullopt;
  for (uint32_t i = 0; i < entries; ++i) {
    const uint8_t* e = table.data() + i * MiscCommon::kBiosEntryBytes;
    if (bytes::GetU16(e) == 14) return bytes::GetU16(e + 6);
  }
  return std::nullopt;
}

uint32_t OfferedMask(int region, bool hasRecords, const Readings& r) {
  uint32_t mask = 0;
  if (region == 1 && hasRecords) mask |= kBitApps;
  const bool adaptorFine = r.adaptor && r.adaptor->status == 0;
  const bool adaptorRefused = r.adaptor && (r.adaptor->status != 0 || !(r.adaptor->flags & 0x01));
  if (region == 1 && !(r.level == 2 && adaptorRefused)) mask |= kBitAdaptor;
  if (r.level == 2 && r.battery) mask |= kBitBattery;
  if (r.level == 2 && adaptorFine && (r.adaptor->flags & 0x02)) mask |= kBitMini;
  return mask;
}

uint32_t StateMask(std::optional<uint32_t> user, std::optional<uint32_t> machine, uint32_t offered, bool& write) {
  write = !user;
  if (user) return *user;
  return machine ? *machine : offered;
}

bool IsEnable(uint32_t offered, uint32_t state, bool functionEnable) {
  return (offered & kBitBattery) ? functionEnable : state != 0;
}

const char16_t* PageLanguage(uint16_t ui) {
  const uint16_t primary = ui & 0x3FF, sub = ui >> 10;
  if (primary == 0x04) return sub == 1 || sub == 3 || sub == 5 ? u"en" : u"zh-Hans";
  if (primary == 0x0C) return u"fr";
  if (primary == 0x11) return u"ja";
  return u"en";
}

Findings CheckReadings(uint32_t offered, uint32_t state, const Readings& r) {
  Findings f;
  if ((offered & kBitBattery) && r.battery) {
    if (*r.battery == Battery::Red || (state & kBitBattery)) f.battery = *r.battery;
  }
  const bool adaptorWanted = (offered & (kBitAdaptor | kBitMini)) && (state & (kBitAdaptor | kBitMini));
  if (adaptorWanted && r.level == 2 && r.adaptor && r.adaptor->status == 0) {
    switch (DecodeAdaptor(r.adaptor->flags)) {
      case Adaptor::NotRecommended: f.notRecommended = (offered & state & kBitAdaptor) != 0; break;
      case Adaptor::Mini: f.mini = (offered & state & kBitMini) != 0; break;
      default: break;
    }
  }
  return f;
}

}  // namespace anm
