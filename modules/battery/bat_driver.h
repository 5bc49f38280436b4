// The battery packets spoken with the platform driver: configuration word, pack identity on
// the older (embedded-controller bytes) and newer (pack functions) interface, recalibration
// date and duration. Every reply is checked before a field of it is used.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "common/core/misc_packets.h"
#include "modules/battery/bat_rules.h"
#include "modules/battery/bat_text.h"

namespace bat {

using MiscCommon::IPacketPort;

enum class Interface { Older, Newer, None };

std::optional<uint16_t> ReadConfigWord(IPacketPort& port);
Interface ReadInterface(IPacketPort& port);
std::optional<std::u16string> ReadIdentity(IPacketPort& port, int battery);
// The driver's own record of the last recalibration (first method).
std::optional<Date> ReadRecalDate(IPacketPort& port, int battery);
// The embedded controller's copy (second method), on either interface.
std::optional<Date> ReadRecalDateFromController(IPacketPort& port, int battery);
// The recal body's duration: "約1 ～ 1.5", or "数" when the driver cannot say.
std::u16string ReadDurationText(IPacketPort& port, int battery, const Strings& strings);

// Function codes, shared with the simulated driver.
enum : uint8_t {
  kFnEcRegisterOld = 0x15,
  kFnEcRegisterNew = 0x1E,
  kFnRecalDate = 0x30,
  kFnRecalDuration = 0x31,
  kFnConfig = 0x93,
};
constexpr uint16_t kFarDateWord = 0xEF9F;  // 2099-12-31
constexpr uint8_t kRecalRegister = 0x8D;

}  // namespace bat

namespace bat {
// The host's driver client, lent; a missing client fails every request.
using ClientPort = MiscCommon::ClientPacketPort;
}  // namespace bat
