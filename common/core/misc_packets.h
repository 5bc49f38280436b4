// The driver client's packet wrappers for the firmware and embedded-controller functions
// the modules share. Each fills a zeroed packet, sends it once through the port (the driver
// client retries a busy answer), hands back the function's status byte and, only when the
// call and the function both succeeded, the results.
#pragma once
#include <cstdint>

namespace MiscCommon {
class CMiscCommon;

// Sends one packet in place; an MC_* code. Windows and native builds pass the driver client
// through; tests and fuzz targets answer from a table or their input.
class IPacketPort {
 public:
  virtual ~IPacketPort() = default;
  virtual int Call(uint8_t* packet, int size) = 0;
};

// The host's driver client, lent; a missing client fails every call with MC_ERR_NOT_OPEN.
class ClientPacketPort : public IPacketPort {
 public:
  explicit ClientPacketPort(CMiscCommon* client) : client_(client) {}
  int Call(uint8_t* packet, int size) override;

 private:
  CMiscCommon* client_;
};

// What a wrapper answers: the driver client's MC_* code and the function's status byte
// (0 = success; meaningless unless the code is MC_OK).
struct PacketReply {
  int code = 0;
  uint8_t status = 0xFF;
  bool ok() const;  // MC_OK and status 0
};

constexpr uint8_t kFnEcFirmware = 15, kFnEcRegister = 16, kFnBiosTable = 24, kFnEcKind = 26;
constexpr uint8_t kFnBatteryDate = 66, kFnBatteryName = 69, kFnBatterySerial = 70;
constexpr uint8_t kFnAdaptorRegister = 0x1D, kFnControllerRegister = 0x1E;

PacketReply ReadEcKind(IPacketPort& port, uint8_t& kind);                        // 26
PacketReply ReadEcFirmware(IPacketPort& port, uint8_t (&bytes)[5]);              // 15
PacketReply ReadEcRegister(IPacketPort& port, uint8_t index, uint8_t& value);    // 16
PacketReply ReadBatterySerial(IPacketPort& port, uint16_t pack, uint16_t& serial);     // 70
PacketReply ReadBatteryName(IPacketPort& port, uint16_t pack, uint8_t (&name)[12]);    // 69
PacketReply ReadBatteryDate(IPacketPort& port, uint16_t pack, uint16_t& dateWord);     // 66
// Four bytes of the embedded controller's register space: `request` names the register and
// its arguments, `reply` receives the four bytes the controller answers in their place.
PacketReply ReadControllerRegister(IPacketPort& port, const uint8_t (&request)[4], uint8_t (&reply)[4]);  // 0x1E
// The 16-bit flags of one AC adaptor register.
PacketReply ReadAdaptorRegister(IPacketPort& port, uint8_t index, uint16_t& flags);  // 0x1D

// The BIOS extension table (function 24): 8-byte entries.
constexpr uint32_t kBiosEntryBytes = 8;
// The table's length in bytes and the flag byte the query answers.
PacketReply QueryBiosTable(IPacketPort& port, uint16_t& tableBytes, uint8_t& flag);
// Read and write ask the table's length first; `entries` must not exceed the table's entry
// count and `byteCount` (the size of `buffer`) must be exactly the table's length, else the
// code is MC_ERR_INVALID_ARG and nothing is sent.
PacketReply ReadBiosTable(IPacketPort& port, uint8_t* buffer, uint32_t entries, uint32_t byteCount);
PacketReply WriteBiosTable(IPacketPort& port, const uint8_t* buffer, uint32_t entries, uint32_t byteCount);

}  // namespace MiscCommon
