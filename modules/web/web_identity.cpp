#include "modules/web/web_identity.h"

#include <algorithm>
#include <cstring>

#include "common/core/misc_format.h"
#include "common/core/misc_packets.h"
#include "common/core/model_identity.h"
#include "modules/kit/guard.h"

namespace web {
namespace {

constexpr std::size_t kIdentityBuffer = 100;
constexpr std::size_t kMaxModel = 99;

std::u16string Widen(const std::string& s) { return std::u16string(s.begin(), s.end()); }

bool EcByte(MiscCommon::IPacketPort& driver, uint8_t index, uint8_t& value) {
  return MiscCommon::ReadEcRegister(driver, index, value).ok();
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

  uint8_t kind = kEcKindUnknown;
  out.ecInterfaceKind = MiscCommon::ReadEcKind(driver, kind).ok() ? kind : kEcKindUnknown;
  if (out.ecInterfaceKind == kEcKindDirect) {
    uint8_t bytes[5];
    if (!MiscCommon::ReadEcFirmware(driver, bytes).ok()) return kit::kErrDriver;
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

namespace web {

std::vector<BatteryPack> DriverBatteryPacks::Packs() {
  std::vector<BatteryPack> packs;
  for (int i = 0; i < 2; ++i) {
    auto pack = kind_ == kEcKindDirect ? FromFunctions(static_cast<uint16_t>(i)) : FromEc(i);
    if (pack) packs.push_back(std::move(*pack));
  }
  return packs;
}

std::optional<BatteryPack> DriverBatteryPacks::FromFunctions(uint16_t pack) {
  uint16_t serial = 0, date = 0;
  uint8_t name[12] = {};
  if (!MiscCommon::ReadBatterySerial(port_, pack, serial).ok() || !MiscCommon::ReadBatteryDate(port_, pack, date).ok() ||
      !MiscCommon::ReadBatteryName(port_, pack, name).ok())
    return std::nullopt;
  return MakePack(serial, date, name);
}

std::optional<BatteryPack> DriverBatteryPacks::FromEc(int pack) {
  struct Layout {
    uint8_t serial, date, name;
  };
  static constexpr Layout kLayout[2] = {{154, 122, 140}, {222, 190, 208}};
  const Layout& at = kLayout[pack];
  auto word = [&](uint8_t low, uint16_t& value) {
    uint8_t lo = 0, hi = 0;
    if (!EcByte(port_, low, lo) || !EcByte(port_, static_cast<uint8_t>(low + 1), hi)) return false;
    value = static_cast<uint16_t>(hi << 8 | lo);
    return true;
  };
  uint16_t serial = 0, date = 0;
  if (!word(at.serial, serial) || !word(at.date, date) || serial == 0 || date == 0) return std::nullopt;
  uint8_t name[12] = {};
  for (uint8_t i = 0; i < 12; ++i) {
    if (!EcByte(port_, static_cast<uint8_t>(at.name + i), name[i])) return std::nullopt;
    if (name[i] == 0) break;
  }
  return MakePack(serial, date, name);
}

std::optional<std::vector<std::array<uint8_t, 8>>> ReadBiosTable(MiscCommon::IPacketPort& port) {
  uint16_t bytes = 0;
  uint8_t flag = 0;
  if (!MiscCommon::QueryBiosTable(port, bytes, flag).ok()) return std::nullopt;
  const uint32_t n = bytes / MiscCommon::kBiosEntryBytes;
  std::vector<uint8_t> raw(n * MiscCommon::kBiosEntryBytes);
  if (n && !MiscCommon::ReadBiosTable(port, raw.data(), n, static_cast<uint32_t>(raw.size())).ok()) return std::nullopt;
  std::vector<std::array<uint8_t, 8>> entries(n);
  for (uint32_t i = 0; i < n; ++i) std::copy_n(raw.begin() + i * 8, 8, entries[i].begin());
  return entries;
}

}  // namespace web
