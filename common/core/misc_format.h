// Byte formats spoken with the platform driver: control codes, the request and capsule
// frames, misc-function packets, registry records and the model-information block.
// Pure functions, shared by the driver client and the simulated driver.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace MiscCommon {

enum : int {
  MC_OK = 0,
  MC_ERR_FAILED = 2,
  MC_ERR_INVALID_ARG = 3,
  MC_ERR_NO_MEMORY = 5,
  MC_ERR_NO_DEVICE = 6,
  MC_ERR_NOT_OPEN = 8,
  MC_ERR_MORE_DATA = 9,
  MC_ERR_NOT_SUPPORTED = 10,
  MC_ERR_OPEN_FAILED = 11,
};
const char* ResultName(int code);

constexpr uint32_t IOCTL_MISC_END_SESSION = 0x222004;
constexpr uint32_t IOCTL_MISC_CAPSULE = 0x222008;
// Session handshake (see misc_session.h).
constexpr uint32_t IOCTL_MISC_OPEN_SESSION = 0x222010;
constexpr uint32_t IOCTL_MISC_AUTH_SESSION = 0x222014;
constexpr uint32_t IOCTL_MISC_MODEL_INFO = 0x222940;
constexpr uint32_t IOCTL_MISC_FUNCTION = 0x222944;
constexpr uint32_t IOCTL_MISC_SET_REGISTRY = 0x222948;
constexpr uint32_t IOCTL_MISC_QUERY_REGISTRY = 0x22294C;
constexpr uint32_t IOCTL_MISC_REG_KEY_EXISTS = 0x222950;
constexpr uint32_t IOCTL_MISC_CREATE_REG_KEY = 0x22295C;

// ---- DriverRequest: the inner request of a capsule.
constexpr uint32_t kRequestOverhead = 24;
std::vector<uint8_t> BuildDriverRequest(uint32_t sequence, uint32_t code, const uint8_t* in, uint32_t inLength,
                                        uint32_t outCapacity);
struct DriverRequestView {
  uint32_t sequence = 0;
  uint32_t code = 0;
  uint32_t outCapacity = 0;
  const uint8_t* input = nullptr;
  uint32_t inputLength = 0;
};
// Checks the size fields against the bytes at hand.
bool ParseDriverRequest(const uint8_t* p, size_t n, DriverRequestView& out);

// ---- MessageCapsule.
constexpr uint32_t kCapsuleHeader = 12;
constexpr uint32_t kCapsuleOverhead = 16;
uint32_t PaddedPayload(uint32_t n);  // n rounded up to the cipher block (8)
uint32_t CapsuleLength(uint32_t n);  // 16 when n is 0, else padded n + 16
// A capsule with its header and payload; zeros up to its full length.
std::vector<uint8_t> BuildCapsule(uint32_t sessionId, const uint8_t* payload, uint32_t n);
struct CapsuleView {
  uint32_t payloadLength = 0;
  uint32_t capsuleLength = 0;
  uint32_t sessionId = 0;
};
bool ParseCapsuleHeader(const uint8_t* p, size_t n, CapsuleView& out);
// Bytes of the payload area of a capsule held in a buffer of `available` bytes that may be
// enciphered: the padded payload, but never past the buffer.
uint32_t CipherSpan(uint32_t payloadLength, size_t available);

// ---- MiscPacket (firmware and embedded-controller functions).
constexpr size_t kPacketHeader = 8;
constexpr uint8_t kPacketClassOrdinary = 2;
constexpr uint8_t kPacketClassTable = 1;
constexpr uint8_t kStatusSuccess = 0;
constexpr uint8_t kStatusBusy = 4;
struct MiscPacket {
  uint8_t bytes[8];  // header; function-specific data follows in the caller's buffer
};
void InitPacket(uint8_t* packet, size_t size, uint8_t function, uint8_t packetClass, uint16_t inputLength,
                uint16_t outputLength);
inline uint8_t PacketStatus(const uint8_t* p) { return p[0]; }
uint16_t PacketInputLength(const uint8_t* p);
uint16_t PacketOutputLength(const uint8_t* p);

// ---- Registry records.
constexpr uint32_t kMagicRegW = 0x57676552;
constexpr uint32_t kMagicRgQI = 0x49516752;
constexpr uint32_t kMagicRgQO = 0x4f516752;
constexpr uint32_t kRecordTail = 3;
constexpr uint32_t kRgQOHeader = 12;
constexpr uint32_t kRgQOOverhead = 15;
constexpr size_t kMaxRegText = 260;  // characters including the NUL

// name and data may be null: the key-only form used by exists and create.
std::vector<uint8_t> BuildRegW(const char16_t* path, const char16_t* name, uint32_t type, const uint8_t* data,
                               uint32_t dataLength);
std::vector<uint8_t> BuildRgQI(const char16_t* path, const char16_t* name, uint32_t replyCapacity);

struct RegWView {
  uint32_t type = 0;
  std::u16string path;
  std::u16string name;  // empty for the key-only form
  std::vector<uint8_t> data;
};
bool ParseRegW(const uint8_t* p, size_t n, RegWView& out);
struct RgQIView {
  uint32_t replyCapacity = 0;
  std::u16string path;
  std::u16string name;
};
bool ParseRgQI(const uint8_t* p, size_t n, RgQIView& out);

// ---- ModelInfoBlock.
constexpr size_t kModelInfoSize = 128;
constexpr unsigned kModelIndexMax = 6;
constexpr uint32_t kExtendedBufferMin = 20;
// Selects part `index` for a caller whose buffer holds `capacity` bytes.
// MC_OK, MC_ERR_INVALID_ARG (index) or MC_ERR_FAILED (invalid extended length).
int SelectModelPart(const uint8_t block[kModelInfoSize], unsigned index, uint32_t capacity,
                    std::vector<uint8_t>& part);

}  // namespace MiscCommon
