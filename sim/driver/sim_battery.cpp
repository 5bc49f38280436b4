#include "sim/driver/sim_battery.h"

#include <cstring>

#include "common/core/bytes.h"

namespace sim {
namespace {
constexpr uint8_t kOk = 0, kUnsupported = 1;

uint16_t DateWord(const int d[3]) { return uint16_t(((d[0] - 1980) << 9) | (d[1] << 5) | d[2]); }

const SimPack* Pack(const SimBattery& b, unsigned index) {
  return index < 2 && b.packs[index].known ? &b.packs[index] : nullptr;
}

// The controller's recalibration register: the date word in bytes 1 and 2.
void RecalRegister(const SimPack* pack, uint8_t* four) {
  uint16_t word = 0xFFFF;
  if (pack && pack->recalInController) RecalWord(*pack, word);
  four[0] = 0;
  four[1] = uint8_t(word);
  four[2] = uint8_t(word >> 8);
  four[3] = 0;
}

bool LongForm(const uint8_t* p, size_t size, uint8_t fn) {
  return size >= 32 && bytes::GetU32(p + 8) == 0x90 && bytes::GetU32(p + 16) == 0x02000000u + fn * 0x10000u + 0x90u;
}
}  // namespace

bool RunBatteryFunction(const SimBattery& b, uint8_t* p, size_t size) {
  const uint8_t fn = p[0];
  uint8_t status = kUnsupported;
  const SimPack* pack = size >= 10 ? Pack(b, bytes::GetU16(p + 8)) : nullptr;
  const SimPack* longPack = size >= 32 ? Pack(b, bytes::GetU16(p + 12)) : nullptr;
  uint16_t word = 0;
  switch (fn) {
    case 0x93:
      if (b.config >= 0 && size >= 10) bytes::PutU16(p + 8, uint16_t(b.config)), status = kOk;
      break;
    case 0x1A:
      if (b.driverInterface != "old" && size >= 9) p[8] = b.driverInterface == "new" ? 3 : 1, status = kOk;
      break;
    case 0x46:
      if (pack && b.driverInterface == "new") bytes::PutU16(p + 8, pack->serial), status = kOk;
      break;
    case 0x42:
      if (pack && b.driverInterface == "new" && size >= 12) bytes::PutU16(p + 10, DateWord(pack->made)), status = kOk;
      break;
    case 0x45:
      if (pack && b.driverInterface == "new" && size >= 20) {
        std::memset(p + 8, 0, 12);
        std::memcpy(p + 8, pack->name.data(), pack->name.size());
        status = kOk;
      }
      break;
    case 0x30:
      if (LongForm(p, size, fn) && bytes::GetU16(p + 14) == 0xEF9F) {
        if (!longPack || longPack->recalInController || !RecalWord(*longPack, word)) word = 0xFFFF;
        bytes::PutU32(p + 28, uint32_t(word) << 16);
        status = kOk;
      }
      break;
    case 0x31:
      if (LongForm(p, size, fn) && longPack && longPack->minutes >= 0) {
        bytes::PutU16(p + 28, uint16_t(longPack->minutes));
        bytes::PutU16(p + 20, uint16_t(longPack->extraMinutes));
        status = kOk;
      }
      break;
    case 0x15:
      if (LongForm(p, size, fn) && b.driverInterface == "old" && p[12] == 0x8D) RecalRegister(Pack(b, p[14]), p + 20), status = kOk;
      break;
    case 0x1E:
      if (size >= 12 && b.driverInterface == "new" && p[8] == 0x8D) RecalRegister(Pack(b, p[10]), p + 8), status = kOk;
      break;
    default: return false;
  }
  p[0] = status;
  return true;
}

void BatteryRegisters(const SimBattery& b, std::array<uint8_t, 256>& ec) {
  static const uint8_t kName[] = {0x8C, 0xD0}, kSerial[] = {0x9A, 0xDE}, kDate[] = {0x7A, 0xBE};
  for (int i = 0; i < 2; ++i) {
    const SimPack& pack = b.packs[i];
    if (!pack.known) continue;
    for (size_t c = 0; c < 12; ++c) ec[kName[i] + c] = c < pack.name.size() ? uint8_t(pack.name[c]) : 0;
    const uint16_t date = DateWord(pack.made);
    ec[kSerial[i]] = uint8_t(pack.serial);
    ec[kSerial[i] + 1] = uint8_t(pack.serial >> 8);
    ec[kDate[i]] = uint8_t(date);
    ec[kDate[i] + 1] = uint8_t(date >> 8);
  }
}

}  // namespace sim
