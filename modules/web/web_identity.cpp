#include "modules/web/web_identity.h"

#include <algorithm>
#include <cstring>

#include "common/core/misc_format.h"
#include "common/core/model_identity.h"
#include "modules/kit/guard.h"

namespace web {
namespace {

constexpr std::size_t kIdentityBuffer = 100;
constexpr std::size_t kMaxModel = 99;

std::u16string Widen(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// Zeroed packet with the ordinary class header; true when the call and the function succeeded.
bool CallFunction(IDriverPort& driver, uint8_t function, uint8_t* packet, int size, uint16_t in, uint16_t outLength) {
  packet[0] = function;
  packet[1] = 2;
  packet[2] = static_cast<uint8_t>(in);
  packet[3] = static_cast<uint8_t>(in >> 8);
  packet[4] = static_cast<uint8_t>(outLength);
  packet[5] = static_cast<uint8_t>(outLength >> 8);
  return driver.Call(packet, size) == MiscCommon::MC_OK && packet[0] == 0;
}

std::optional<uint8_t> EcKind(IDriverPort& driver) {
  uint8_t p[9] = {};
  if (!CallFunction(driver, 26, p, sizeof p, 8, 9)) return std::nullopt;
  return p[8];
}

bool EcFirmware(IDriverPort& driver, uint8_t bytes[5]) {
  uint8_t p[16] = {};
  if (!CallFunction(driver, 15, p, sizeof p, 8, 16)) return false;
  std::memcpy(bytes, p + 9, 5);
  return true;
}

void Put32(uint8_t* at, uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}

bool EcByte(IDriverPort& driver, uint8_t index, uint8_t& value) {
  uint8_t p[32] = {};
  Put32(p + 8, 0x90);
  Put32(p + 12, index);
  Put32(p + 16, 0x02100090);
  if (!CallFunction(driver, 16, p, sizeof p, 32, 32)) return false;
  value = p[20];
  return true;
}

bool Read(IDriverPort& driver, unsigned index, uint8_t (&buffer)[kIdentityBuffer], uint32_t& length) {
  std::memset(buffer, 0, sizeof buffer);
  length = sizeof buffer;
  return driver.ModelNumber(index, buffer, &length) == MiscCommon::MC_OK;
}

}  // namespace

int ReadIdentity(IDriverPort& driver, Identity& out) {
  uint8_t buffer[kIdentityBuffer];
  uint32_t length = 0;

  if (!Read(driver, 1, buffer, length)) return kit::kErrDriver;
  std::string model = MiscCommon::FormatModelNumber(buffer, std::min<std::size_t>(length, sizeof buffer));
  if (model.size() > kMaxModel) model.resize(kMaxModel);
  out.machine.model = Widen(model);

  if (!Read(driver, 2, buffer, length)) return kit::kErrDriver;
  out.machine.serial = Widen(MiscCommon::FormatSerialNumber(buffer));

  if (!Read(driver, 3, buffer, length)) return kit::kErrDriver;
  out.machine.bios = FirmwareFromDriver(buffer);

  out.ecInterfaceKind = EcKind(driver).value_or(kEcKindUnknown);
  if (out.ecInterfaceKind == kEcKindDirect) {
    uint8_t bytes[5];
    if (!EcFirmware(driver, bytes)) return kit::kErrDriver;
    out.machine.ec = FirmwareFromDriver(bytes);
  } else {
    uint8_t e255 = 0, e254 = 0, e253 = 0, e251 = 0, e250 = 0;
    if (!EcByte(driver, 255, e255) || !EcByte(driver, 254, e254) || !EcByte(driver, 253, e253)) return kit::kErrDriver;
    if (e255 != 0 && (!EcByte(driver, 251, e251) || !EcByte(driver, 250, e250))) return kit::kErrDriver;
    out.machine.ec = FirmwareFromEc(e255, e254, e253, e251, e250);
  }
  return 0;
}

int CheckInitRecord(bool present, int32_t cbSize, int32_t version, std::size_t driverClientEnd) {
  if (!present) return kErrBadArgument;
  if (cbSize < 4 || version < kContractVersion) return kErrHostTooOld;
  if (static_cast<std::size_t>(cbSize) < driverClientEnd) return kErrHostTooOld;
  return 0;
}

int PreinstallTypeFromBiosTable(const std::vector<std::array<uint8_t, 8>>& entries) {
  for (const auto& e : entries) {
    if (e[0] == 14) return e[6] == 1 ? 1 : 2;
  }
  return 2;
}

}  // namespace web
