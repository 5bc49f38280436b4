// The computer's identity as the web module reads it at start-up through the host's driver
// client: model, serial, BIOS and EC versions, and the start-up record's checks.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/core/misc_packets.h"
#include "modules/web/web_filter.h"

namespace web {

// The host's driver client (lent): the identity reads and the function packets. Each call
// answers an MC_* code.
class IDriverPort : public MiscCommon::IPacketPort {
 public:
  virtual int ModelNumber(unsigned index, uint8_t* buffer, uint32_t* length) = 0;
};

constexpr uint8_t kEcKindDirect = 3;   // the driver offers the EC version directly
constexpr uint8_t kEcKindUnknown = 255;

struct Identity {
  Machine machine;
  uint8_t ecInterfaceKind = kEcKindUnknown;
};

// 0, or the contract's driver error (-251) when any read but the EC kind fails.
int ReadIdentity(IDriverPort& driver, Identity& out);

// The battery packs as the driver reports them: through the pack functions when the EC
// interface kind is 3, else from the embedded controller's bytes. A pack whose reads fail
// or whose serial or date is 0 is absent.
class DriverBatteryPacks : public IBatteryPacks {
 public:
  DriverBatteryPacks(MiscCommon::IPacketPort& port, uint8_t ecInterfaceKind) : port_(port), kind_(ecInterfaceKind) {}
  std::vector<BatteryPack> Packs() override;

 private:
  std::optional<BatteryPack> FromFunctions(uint16_t pack);
  std::optional<BatteryPack> FromEc(int pack);
  MiscCommon::IPacketPort& port_;
  uint8_t kind_;
};

// The start-up record as the host passed it: 0 when it may be used, -253 without one, -254
// when it is older than the contract or too short to hold the driver client's field (the
// module cannot read the model without it). `driverClientEnd`: the field's end offset in
// this build's record.
int CheckInitRecord(bool present, int32_t cbSize, int32_t version, std::size_t driverClientEnd);
constexpr int32_t kContractVersion = 3;
constexpr int kErrBadArgument = -253, kErrHostTooOld = -254;

// The preinstalled image's type from the BIOS extension table (8-byte entries, the type in
// the first byte): 1 when the entry of type 14 holds 1 in its seventh byte, else 2.
int PreinstallTypeFromBiosTable(const std::vector<std::array<uint8_t, 8>>& entries);
// The whole table through function 24; nothing when the driver cannot give it.
std::optional<std::vector<std::array<uint8_t, 8>>> ReadBiosTable(MiscCommon::IPacketPort& port);

}  // namespace web
