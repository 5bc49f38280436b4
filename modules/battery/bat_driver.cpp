#include "modules/battery/bat_driver.h"

#include <cstring>

#include "common/core/bytes.h"
#include "common/core/misc_format.h"
#include "common/core/misccommon.h"
#include "modules/battery/module/bat_resource_ids.h"

namespace bat {
namespace {
using MiscCommon::InitPacket;

constexpr int kLong = 32;

// Sends a short packet; true when the call and the driver's status both succeed.
bool Send(IPacketPort& port, uint8_t* p, int size) {
  return port.Call(p, size) == MiscCommon::MC_OK && MiscCommon::PacketStatus(p) == MiscCommon::kStatusSuccess;
}

bool Short(IPacketPort& port, uint8_t* p, int size, uint8_t fn, uint16_t in, uint16_t out, int battery) {
  InitPacket(p, size, fn, MiscCommon::kPacketClassOrdinary, in, out);
  if (battery >= 0 && size >= 10) bytes::PutU16(p + 8, static_cast<uint16_t>(battery));
  return Send(port, p, size);
}

bool Long(IPacketPort& port, uint8_t (&p)[kLong], uint8_t fn, uint32_t argument) {
  InitPacket(p, kLong, fn, MiscCommon::kPacketClassOrdinary, kLong, kLong);
  bytes::PutU32(p + 8, 0x90);
  bytes::PutU32(p + 12, argument);
  bytes::PutU32(p + 16, 0x02000000u + fn * 0x10000u + 0x90u);
  return Send(port, p, kLong);
}

std::optional<uint8_t> EcByte(IPacketPort& port, uint8_t reg) {
  uint8_t value = 0;
  if (!MiscCommon::ReadEcRegister(port, reg, value).ok()) return std::nullopt;
  return value;
}

std::optional<uint16_t> EcWord(IPacketPort& port, uint8_t high, uint8_t low) {
  const auto h = EcByte(port, high);
  const auto l = h ? EcByte(port, low) : std::nullopt;
  if (!l) return std::nullopt;
  return static_cast<uint16_t>(*h << 8 | *l);
}

std::optional<std::u16string> OlderIdentity(IPacketPort& port, int b) {
  const uint8_t nameAt = b == 0 ? 0x8C : 0xD0, serialAt = b == 0 ? 0x9A : 0xDE, dateAt = b == 0 ? 0x7A : 0xBE;
  std::string name;
  for (int i = 0; i < 12; ++i) {
    const auto c = EcByte(port, static_cast<uint8_t>(nameAt + i));
    if (!c) {
      if (name.empty()) return std::nullopt;
      break;
    }
    if (*c == 0) break;
    name += static_cast<char>(*c);
  }
  if (name.empty()) return std::nullopt;
  const auto serial = EcWord(port, static_cast<uint8_t>(serialAt + 1), serialAt);
  const auto date = serial ? EcWord(port, static_cast<uint8_t>(dateAt + 1), dateAt) : std::nullopt;
  if (!date) return std::nullopt;
  if (*serial == 0 || *date == 0) return SlotIdentity(b);
  return PackIdentity(name, DecodeDateWord(*date), *serial);
}

std::optional<std::u16string> NewerIdentity(IPacketPort& port, int b) {
  const uint16_t pack = static_cast<uint16_t>(b);
  uint16_t number = 0, word = 0;
  uint8_t name[12] = {};
  if (!MiscCommon::ReadBatterySerial(port, pack, number).ok() || !MiscCommon::ReadBatteryDate(port, pack, word).ok() ||
      !MiscCommon::ReadBatteryName(port, pack, name).ok())
    return std::nullopt;
  const Date date = DecodeDateWord(word);
  std::string text(reinterpret_cast<const char*>(name), strnlen(reinterpret_cast<const char*>(name), sizeof name));
  if (number == 0 || date.month == 0 || date.day == 0 || text.empty()) return std::nullopt;
  return PackIdentity(text.substr(0, 13), date, number);
}
}  // namespace

std::optional<uint16_t> ReadConfigWord(IPacketPort& port) {
  uint8_t p[10];
  if (!Short(port, p, sizeof p, kFnConfig, 10, 10, -1)) return std::nullopt;
  return bytes::GetU16(p + 8);
}

Interface ReadInterface(IPacketPort& port) {
  uint8_t kind = 0;
  if (!MiscCommon::ReadEcKind(port, kind).ok()) return Interface::Older;
  return kind == 3 ? Interface::Newer : Interface::None;
}

std::optional<std::u16string> ReadIdentity(IPacketPort& port, int battery) {
  switch (ReadInterface(port)) {
    case Interface::Older: return OlderIdentity(port, battery);
    case Interface::Newer: return NewerIdentity(port, battery);
    default: return std::nullopt;
  }
}

std::optional<Date> ReadRecalDate(IPacketPort& port, int battery) {
  uint8_t p[kLong];
  if (!Long(port, p, kFnRecalDate, uint32_t{kFarDateWord} << 16 | static_cast<uint16_t>(battery))) return std::nullopt;
  const uint16_t word = static_cast<uint16_t>(bytes::GetU32(p + 28) >> 16);
  if (word == 0 || word == 0xFFFF) return std::nullopt;
  return DecodeDateWord(word);
}

std::optional<Date> ReadRecalDateFromController(IPacketPort& port, int battery) {
  const uint8_t argument[4] = {kRecalRegister, 0, static_cast<uint8_t>(battery), 0};
  uint16_t word = 0;
  switch (ReadInterface(port)) {
    case Interface::Older: {
      uint8_t p[kLong];
      if (!Long(port, p, kFnEcRegisterOld, bytes::GetU32(argument))) return std::nullopt;
      word = static_cast<uint16_t>(p[22] << 8 | p[21]);
      break;
    }
    case Interface::Newer: {
      uint8_t p[12];
      InitPacket(p, sizeof p, kFnEcRegisterNew, MiscCommon::kPacketClassOrdinary, 12, 12);
      std::memcpy(p + 8, argument, 4);
      if (!Send(port, p, sizeof p)) return std::nullopt;
      word = static_cast<uint16_t>(p[10] << 8 | p[9]);
      break;
    }
    default: return std::nullopt;
  }
  if (word == 0xFFFF) return std::nullopt;
  return DecodeDateWord(word);
}

std::u16string ReadDurationText(IPacketPort& port, int battery, const Strings& strings) {
  uint8_t p[kLong];
  if (!Long(port, p, kFnRecalDuration, static_cast<uint16_t>(battery))) return strings.Get(IDS_SEVERAL);
  return DurationText(strings.Get(IDS_DURATION), bytes::GetU16(p + 28), bytes::GetU16(p + 20));
}

}  // namespace bat
