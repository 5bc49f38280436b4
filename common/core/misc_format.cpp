#include "common/core/misc_format.h"

#include <cstring>

#include "common/core/bytes.h"

namespace MiscCommon {
using bytes::GetU16;
using bytes::GetU32;
using bytes::PutU16;
using bytes::PutU32;

const char* ResultName(int code) {
  switch (code) {
    case MC_OK: return "MC_OK";
    case MC_ERR_FAILED: return "MC_ERR_FAILED";
    case MC_ERR_INVALID_ARG: return "MC_ERR_INVALID_ARG";
    case MC_ERR_NO_MEMORY: return "MC_ERR_NO_MEMORY";
    case MC_ERR_NO_DEVICE: return "MC_ERR_NO_DEVICE";
    case MC_ERR_NOT_OPEN: return "MC_ERR_NOT_OPEN";
    case MC_ERR_MORE_DATA: return "MC_ERR_MORE_DATA";
    case MC_ERR_NOT_SUPPORTED: return "MC_ERR_NOT_SUPPORTED";
    case MC_ERR_OPEN_FAILED: return "MC_ERR_OPEN_FAILED";
    default: return "MC_ERR_UNKNOWN";
  }
}

std::vector<uint8_t> BuildDriverRequest(uint32_t sequence, uint32_t code, const uint8_t* in, uint32_t inLength,
                                        uint32_t outCapacity) {
  std::vector<uint8_t> r(size_t{inLength} + kRequestOverhead, 0);
  PutU32(&r[0], sequence);
  PutU32(&r[4], inLength + kRequestOverhead);
  PutU32(&r[8], code);
  PutU32(&r[12], inLength);
  PutU32(&r[16], outCapacity);
  if (inLength) std::memcpy(&r[20], in, inLength);
  return r;
}

bool ParseDriverRequest(const uint8_t* p, size_t n, DriverRequestView& out) {
  if (n < kRequestOverhead) return false;
  const uint32_t size = GetU32(p + 4);
  const uint32_t inLength = GetU32(p + 12);
  if (inLength > n - kRequestOverhead || size != inLength + kRequestOverhead) return false;
  out.sequence = GetU32(p);
  out.code = GetU32(p + 8);
  out.inputLength = inLength;
  out.outCapacity = GetU32(p + 16);
  out.input = inLength ? p + 20 : nullptr;
  return true;
}

uint32_t PaddedPayload(uint32_t n) {
  return n > 0xFFFFFFE8u ? 0xFFFFFFE8u : (n + 7u) & ~7u;  // saturates: a capsule length never wraps
}

uint32_t CapsuleLength(uint32_t n) { return n == 0 ? kCapsuleOverhead : PaddedPayload(n) + kCapsuleOverhead; }

std::vector<uint8_t> BuildCapsule(uint32_t sessionId, const uint8_t* payload, uint32_t n) {
  std::vector<uint8_t> c(CapsuleLength(n), 0);
  PutU32(&c[0], n);
  PutU32(&c[4], static_cast<uint32_t>(c.size()));
  PutU32(&c[8], sessionId);
  if (n) std::memcpy(&c[kCapsuleHeader], payload, n);
  return c;
}

bool ParseCapsuleHeader(const uint8_t* p, size_t n, CapsuleView& out) {
  if (n < kCapsuleHeader) return false;
  out.payloadLength = GetU32(p);
  out.capsuleLength = GetU32(p + 4);
  out.sessionId = GetU32(p + 8);
  return true;
}

uint32_t CipherSpan(uint32_t payloadLength, size_t available) {
  if (available < kCapsuleOverhead) return 0;
  const size_t room = (available - kCapsuleOverhead) & ~size_t{7};
  const size_t want = PaddedPayload(payloadLength);
  return static_cast<uint32_t>(want < room ? want : room);
}

void InitPacket(uint8_t* packet, size_t size, uint8_t function, uint8_t packetClass, uint16_t inputLength,
                uint16_t outputLength) {
  std::memset(packet, 0, size);
  packet[0] = function;
  packet[1] = packetClass;
  PutU16(packet + 2, inputLength);
  PutU16(packet + 4, outputLength);
}

uint16_t PacketInputLength(const uint8_t* p) { return GetU16(p + 2); }
uint16_t PacketOutputLength(const uint8_t* p) { return GetU16(p + 4); }

namespace {
void Append(std::vector<uint8_t>& v, const std::vector<uint8_t>& more) { v.insert(v.end(), more.begin(), more.end()); }

// Reads a NUL-terminated UTF-16LE text starting at p, within `n` bytes.
bool ReadText(const uint8_t* p, size_t n, std::u16string& out) {
  out.clear();
  for (size_t i = 0; i + 1 < n; i += 2) {
    const char16_t c = static_cast<char16_t>(GetU16(p + i));
    if (c == 0) return true;
    out.push_back(c);
  }
  return false;
}
}  // namespace

std::vector<uint8_t> BuildRegW(const char16_t* path, const char16_t* name, uint32_t type, const uint8_t* data,
                               uint32_t dataLength) {
  const std::vector<uint8_t> pathBytes = bytes::Utf16WithNul(path);
  const std::vector<uint8_t> nameBytes = name ? bytes::Utf16WithNul(name) : std::vector<uint8_t>{};
  const uint32_t keyOnly = name == nullptr;
  std::vector<uint8_t> r(24, 0);
  PutU32(&r[0], kMagicRegW);
  PutU32(&r[4], type);
  PutU32(&r[8], static_cast<uint32_t>(24 + pathBytes.size() + nameBytes.size() + dataLength + kRecordTail));
  PutU32(&r[12], keyOnly ? 0 : static_cast<uint32_t>(pathBytes.size()));
  PutU32(&r[16], keyOnly ? 0 : static_cast<uint32_t>(pathBytes.size() + nameBytes.size()));
  PutU32(&r[20], dataLength);
  Append(r, pathBytes);
  Append(r, nameBytes);
  if (dataLength) r.insert(r.end(), data, data + dataLength);
  r.insert(r.end(), kRecordTail, 0);
  return r;
}

std::vector<uint8_t> BuildRgQI(const char16_t* path, const char16_t* name, uint32_t replyCapacity) {
  const std::vector<uint8_t> pathBytes = bytes::Utf16WithNul(path);
  const std::vector<uint8_t> nameBytes = bytes::Utf16WithNul(name);
  std::vector<uint8_t> r(16, 0);
  PutU32(&r[0], kMagicRgQI);
  PutU32(&r[4], static_cast<uint32_t>(16 + pathBytes.size() + nameBytes.size() + kRecordTail));
  PutU32(&r[8], replyCapacity);
  PutU32(&r[12], static_cast<uint32_t>(pathBytes.size()));
  Append(r, pathBytes);
  Append(r, nameBytes);
  r.insert(r.end(), kRecordTail, 0);
  return r;
}

bool ParseRegW(const uint8_t* p, size_t n, RegWView& out) {
  if (n < 24 + kRecordTail || GetU32(p) != kMagicRegW || GetU32(p + 8) != n) return false;
  const size_t body = n - 24 - kRecordTail;
  const uint32_t nameOffset = GetU32(p + 12), dataOffset = GetU32(p + 16), dataLength = GetU32(p + 20);
  out.type = GetU32(p + 4);
  const uint8_t* b = p + 24;
  if (nameOffset == 0) {  // key-only form
    return dataLength == 0 && dataOffset == 0 && ReadText(b, body, out.path) &&
           (out.path.size() + 1) * 2 == body;
  }
  if (nameOffset > body || dataOffset < nameOffset || dataOffset > body || dataLength != body - dataOffset)
    return false;
  if (!ReadText(b, nameOffset, out.path) || (out.path.size() + 1) * 2 != nameOffset) return false;
  if (!ReadText(b + nameOffset, dataOffset - nameOffset, out.name) ||
      (out.name.size() + 1) * 2 != dataOffset - nameOffset)
    return false;
  out.data.assign(b + dataOffset, b + dataOffset + dataLength);
  return true;
}

bool ParseRgQI(const uint8_t* p, size_t n, RgQIView& out) {
  if (n < 16 + kRecordTail || GetU32(p) != kMagicRgQI || GetU32(p + 4) != n) return false;
  const size_t body = n - 16 - kRecordTail;
  const uint32_t nameOffset = GetU32(p + 12);
  if (nameOffset > body) return false;
  out.replyCapacity = GetU32(p + 8);
  const uint8_t* b = p + 16;
  return ReadText(b, nameOffset, out.path) && (out.path.size() + 1) * 2 == nameOffset &&
         ReadText(b + nameOffset, body - nameOffset, out.name) && (out.name.size() + 1) * 2 == body - nameOffset;
}

int SelectModelPart(const uint8_t block[kModelInfoSize], unsigned index, uint32_t capacity,
                    std::vector<uint8_t>& part) {
  struct Field {
    size_t offset, length;
  };
  static const Field kFields[kModelIndexMax + 1] = {{4, 16}, {40, 12}, {32, 8}, {27, 5}, {80, 2}, {91, 1}, {92, 1}};
  if (index > kModelIndexMax) return MC_ERR_INVALID_ARG;
  const Field f = kFields[index];
  part.assign(block + f.offset, block + f.offset + f.length);
  if (index != 1) return MC_OK;
  const uint8_t fullLength = block[95];
  if (fullLength == 0) return MC_OK;
  if (fullLength < 12 || fullLength > 19) return MC_ERR_FAILED;
  if (capacity < kExtendedBufferMin) return MC_OK;
  part.assign(block + 40, block + 51);
  part.insert(part.end(), block + 96, block + 96 + (fullLength - 11));
  return MC_OK;
}

}  // namespace MiscCommon
