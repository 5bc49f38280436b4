#include "common/core/misc_packets.h"

#include <cstring>
#include <vector>

#include "common/core/bytes.h"
#include "common/core/misc_format.h"
#include "common/core/misccommon.h"

namespace MiscCommon {
namespace {

constexpr int kEcCommandSize = 32;
constexpr uint32_t kEcSpace = 0x90, kEcReadCommand = 0x02100090;
constexpr uint16_t kTableQuery = 0, kTableRead = 1, kTableWrite = 2;
constexpr int kTableHeader = 16;

PacketReply Send(IPacketPort& port, uint8_t* packet, int size) {
  PacketReply r;
  r.code = port.Call(packet, size);
  if (r.code == MC_OK) r.status = PacketStatus(packet);
  return r;
}

// An ordinary function with an optional 16-bit parameter at 8.
PacketReply Ordinary(IPacketPort& port, uint8_t* p, int size, uint8_t fn, uint16_t in, uint16_t out,
                     const uint16_t* parameter = nullptr) {
  InitPacket(p, static_cast<size_t>(size), fn, kPacketClassOrdinary, in, out);
  if (parameter) bytes::PutU16(p + 8, *parameter);
  return Send(port, p, size);
}

PacketReply Table(IPacketPort& port, std::vector<uint8_t>& p, uint16_t sub, uint16_t in, uint16_t out) {
  InitPacket(p.data(), p.size(), kFnBiosTable, kPacketClassTable, in, out);
  bytes::PutU16(p.data() + 8, sub);
  return Send(port, p.data(), static_cast<int>(p.size()));
}

// The caller's count and size against the table's: MC_OK when they agree.
int CheckTableArgs(IPacketPort& port, const void* buffer, uint32_t entries, uint32_t byteCount, PacketReply& reply) {
  if (!buffer) return MC_ERR_INVALID_ARG;
  uint16_t tableBytes = 0;
  uint8_t flag = 0;
  reply = QueryBiosTable(port, tableBytes, flag);
  if (!reply.ok()) return reply.code == MC_OK ? MC_ERR_FAILED : reply.code;
  const uint32_t n = tableBytes / kBiosEntryBytes;
  if (entries > n || byteCount != n * kBiosEntryBytes) return MC_ERR_INVALID_ARG;
  return MC_OK;
}

}  // namespace

int ClientPacketPort::Call(uint8_t* packet, int size) {
  return client_ ? client_->CallMiscFunctionRetry(packet, size) : MC_ERR_NOT_OPEN;
}

bool PacketReply::ok() const { return code == MC_OK && status == kStatusSuccess; }

PacketReply ReadEcKind(IPacketPort& port, uint8_t& kind) {
  uint8_t p[9];
  const PacketReply r = Ordinary(port, p, sizeof p, kFnEcKind, 8, 9);
  if (r.ok()) kind = p[8];
  return r;
}

PacketReply ReadEcFirmware(IPacketPort& port, uint8_t (&out)[5]) {
  uint8_t p[16];
  const PacketReply r = Ordinary(port, p, sizeof p, kFnEcFirmware, 8, 16);
  if (r.ok()) std::memcpy(out, p + 9, 5);
  return r;
}

PacketReply ReadEcRegister(IPacketPort& port, uint8_t index, uint8_t& value) {
  uint8_t p[kEcCommandSize];
  InitPacket(p, sizeof p, kFnEcRegister, kPacketClassOrdinary, kEcCommandSize, kEcCommandSize);
  bytes::PutU32(p + 8, kEcSpace);
  bytes::PutU32(p + 12, index);
  bytes::PutU32(p + 16, kEcReadCommand);
  const PacketReply r = Send(port, p, sizeof p);
  if (r.ok()) value = p[20];
  return r;
}

PacketReply ReadBatterySerial(IPacketPort& port, uint16_t pack, uint16_t& serial) {
  uint8_t p[12];
  const PacketReply r = Ordinary(port, p, sizeof p, kFnBatterySerial, 12, 12, &pack);
  if (r.ok()) serial = bytes::GetU16(p + 8);
  return r;
}

PacketReply ReadBatteryName(IPacketPort& port, uint16_t pack, uint8_t (&name)[12]) {
  uint8_t p[22];
  const PacketReply r = Ordinary(port, p, sizeof p, kFnBatteryName, 12, 22, &pack);
  if (r.ok()) std::memcpy(name, p + 8, sizeof name);
  return r;
}

PacketReply ReadBatteryDate(IPacketPort& port, uint16_t pack, uint16_t& dateWord) {
  uint8_t p[14];
  const PacketReply r = Ordinary(port, p, sizeof p, kFnBatteryDate, 10, 14, &pack);
  if (r.ok()) dateWord = bytes::GetU16(p + 10);
  return r;
}

PacketReply ReadControllerRegister(IPacketPort& port, const uint8_t (&request)[4], uint8_t (&reply)[4]) {
  uint8_t p[12];
  InitPacket(p, sizeof p, kFnControllerRegister, kPacketClassOrdinary, 12, 12);
  std::memcpy(p + 8, request, 4);
  const PacketReply r = Send(port, p, sizeof p);
  if (r.ok()) std::memcpy(reply, p + 8, 4);
  return r;
}

PacketReply ReadAdaptorRegister(IPacketPort& port, uint8_t index, uint16_t& flags) {
  uint8_t p[10];
  InitPacket(p, sizeof p, kFnAdaptorRegister, kPacketClassOrdinary, 9, 10);
  p[8] = index;
  const PacketReply r = Send(port, p, sizeof p);
  if (r.ok()) flags = bytes::GetU16(p + 8);
  return r;
}

PacketReply QueryBiosTable(IPacketPort& port, uint16_t& tableBytes, uint8_t& flag) {
  std::vector<uint8_t> p(kTableHeader);
  const PacketReply r = Table(port, p, kTableQuery, kTableHeader, kTableHeader);
  if (r.ok()) {
    tableBytes = bytes::GetU16(p.data() + 8);
    flag = p[12];
  }
  return r;
}

PacketReply ReadBiosTable(IPacketPort& port, uint8_t* buffer, uint32_t entries, uint32_t byteCount) {
  PacketReply r;
  if ((r.code = CheckTableArgs(port, buffer, entries, byteCount, r)) != MC_OK) return r;
  std::vector<uint8_t> p(kTableHeader + byteCount);
  r = Table(port, p, kTableRead, kTableHeader, static_cast<uint16_t>(p.size()));
  if (r.ok()) std::memcpy(buffer, p.data() + kTableHeader, byteCount);
  return r;
}

PacketReply WriteBiosTable(IPacketPort& port, const uint8_t* buffer, uint32_t entries, uint32_t byteCount) {
  PacketReply r;
  if ((r.code = CheckTableArgs(port, buffer, entries, byteCount, r)) != MC_OK) return r;
  std::vector<uint8_t> p(kTableHeader + byteCount);
  InitPacket(p.data(), p.size(), kFnBiosTable, kPacketClassTable, static_cast<uint16_t>(p.size()), kTableHeader);
  bytes::PutU16(p.data() + 8, kTableWrite);
  if (byteCount) std::memcpy(p.data() + kTableHeader, buffer, byteCount);
  return Send(port, p.data(), static_cast<int>(p.size()));
}

}  // namespace MiscCommon
