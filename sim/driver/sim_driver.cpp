#include "sim/driver/sim_driver.h"

#include "sim/driver/sim_battery.h"

#include <algorithm>
#include <cstring>

#include "common/core/bytes.h"
#include "common/core/misc_format.h"
#include "common/core/platform.h"
#include "common/core/win32_constants.h"

namespace sim {
using namespace MiscCommon;

namespace {
constexpr uint8_t kStatusUnsupported = 1;

bool Fail(uint32_t error) {
  platform::SetLastErrorCode(error);
  return false;
}
}  // namespace

SimDriver::SimDriver(const Scenario& scenario, ISimRegistry& registry)
    : scenario_(scenario), registry_(registry), busyLeft_(scenario.busy) {
  if (scenario_.battery.defined) BatteryRegisters(scenario_.battery, scenario_.ec);
}

uint32_t SimDriver::ApplyRegistryPresets() {
  for (const RegistryPreset& p : scenario_.registry)
    if (const uint32_t rc = registry_.SetValue(p.path, p.name, p.type, p.data)) return rc;
  return 0;
}

int SimDriver::Open(bool readVersion, std::u16string& version, DeviceHandle& handle, const char*& failure) {
  if (!scenario_.present) {
    platform::SetLastErrorCode(win32::kErrorNoMoreItems);
    failure = "SetupDiEnumDeviceInterfaces failed.";
    return MC_ERR_NO_DEVICE;
  }
  if (readVersion) {
    if (!scenario_.versionReadable) {
      platform::SetLastErrorCode(win32::kErrorFileNotFound);
      failure = "RegQueryValueEx failed.";
      return MC_ERR_FAILED;
    }
    version.assign(scenario_.version.begin(), scenario_.version.end());
  }
  if (scenario_.openFails) {
    platform::SetLastErrorCode(win32::kErrorAccessDenied);
    failure = "CreateFile failed.";
    return MC_ERR_OPEN_FAILED;
  }
  handle = nextHandle_++;
  opens_[handle];
  return MC_OK;
}

void SimDriver::Close(DeviceHandle handle) { opens_.erase(handle); }

bool SimDriver::IoControl(DeviceHandle handle, uint32_t code, const void* in, uint32_t inLength, void* out,
                          uint32_t outCapacity, uint32_t* returned) {
  *returned = 0;
  const auto it = opens_.find(handle);
  if (it == opens_.end()) return Fail(6 /* ERROR_INVALID_HANDLE */);
  OpenState& s = it->second;
  const uint8_t* input = static_cast<const uint8_t*>(in);
  uint8_t* output = static_cast<uint8_t*>(out);
  switch (code) {
    case IOCTL_MISC_MODEL_INFO: {
      if (outCapacity < kModelInfoSize) return Fail(win32::kErrorInsufficientBuffer);
      const std::array<uint8_t, 128> block = BuildModelInfo(scenario_);
      *returned = std::min<uint32_t>(scenario_.modelInfoBytes, kModelInfoSize);
      std::memcpy(output, block.data(), *returned);
      return true;
    }
    case IOCTL_MISC_OPEN_SESSION: return OpenSession(s, input, inLength, output, outCapacity, returned);
    case IOCTL_MISC_AUTH_SESSION: return AuthSession(s, input, inLength);
    case IOCTL_MISC_END_SESSION:
      if (inLength != 4 || bytes::GetU32(input) != s.sessionId || !s.authenticated)
        return Fail(win32::kErrorInvalidParameter);
      s = OpenState();
      return true;
    case IOCTL_MISC_CAPSULE: return Capsule(s, input, inLength, output, outCapacity, returned);
    default: return Fail(win32::kErrorInvalidFunction);
  }
}

bool SimDriver::OpenSession(OpenState& s, const uint8_t* in, uint32_t inLength, uint8_t* out, uint32_t outCapacity,
                            uint32_t* returned) {
  if (scenario_.sessions == SessionMode::Declined) return Fail(win32::kErrorNotSupported);
  if (!in || !ParseOpenSession(in, inLength, s.clientNonce)) return Fail(win32::kErrorInvalidParameter);
  if (outCapacity < kOfferSize) return Fail(win32::kErrorInsufficientBuffer);
  SessionOffer offer;
  offer.sessionId = nextSessionId_++;
  if (!crypto::RandomBytes(s.driverNonce, kNonceSize) ||
      !ComputeProof(Role::Driver, s.clientNonce, s.driverNonce, offer.sessionId, offer.driverProof))
    return Fail(win32::kErrorInternalError);
  if (scenario_.sessions == SessionMode::BadProof) offer.driverProof[0] ^= 0x80;
  std::memcpy(offer.driverNonce, s.driverNonce, kNonceSize);
  s.sessionId = offer.sessionId;
  s.authenticated = false;
  s.cipher.reset();
  const std::vector<uint8_t> bytes = BuildOffer(offer);
  std::memcpy(out, bytes.data(), bytes.size());
  *returned = static_cast<uint32_t>(bytes.size());
  return true;
}

bool SimDriver::AuthSession(OpenState& s, const uint8_t* in, uint32_t inLength) {
  uint32_t sid = 0;
  uint8_t proof[kProofSize], expected[kProofSize];
  if (!in || !ParseAuth(in, inLength, sid, proof) || s.sessionId == 0 || sid != s.sessionId || s.authenticated)
    return Fail(win32::kErrorInvalidParameter);
  if (!ComputeProof(Role::Client, s.clientNonce, s.driverNonce, sid, expected) || !ProofsEqual(proof, expected) ||
      scenario_.sessions == SessionMode::RefuseAuth) {
    s = OpenState();
    return Fail(win32::kErrorAccessDenied);
  }
  s.cipher = SessionCipher::Create(s.clientNonce, s.driverNonce, sid);
  if (!s.cipher) return Fail(win32::kErrorInternalError);
  s.authenticated = true;
  s.nextSequence = 0;
  return true;
}

bool SimDriver::Capsule(OpenState& s, const uint8_t* in, uint32_t inLength, uint8_t* out, uint32_t outCapacity,
                        uint32_t* returned) {
  CapsuleView header;
  if (!in || !ParseCapsuleHeader(in, inLength, header) || header.capsuleLength != inLength ||
      header.payloadLength > inLength - kCapsuleOverhead || CapsuleLength(header.payloadLength) != inLength ||
      outCapacity < kCapsuleOverhead)
    return Fail(win32::kErrorInvalidParameter);
  const bool enciphered = scenario_.sessions != SessionMode::Declined;
  if (enciphered && (!s.authenticated || header.sessionId != s.sessionId)) return Fail(win32::kErrorAccessDenied);
  std::vector<uint8_t> payload(in + kCapsuleHeader, in + kCapsuleHeader + PaddedPayload(header.payloadLength));
  if (enciphered && !s.cipher->Decipher(Role::Client, payload.data(), payload.size()))
    return Fail(win32::kErrorInternalError);
  DriverRequestView request;
  if (!ParseDriverRequest(payload.data(), header.payloadLength, request)) return Fail(win32::kErrorInvalidParameter);
  if (enciphered) {
    if (request.sequence < s.nextSequence) return Fail(win32::kErrorAccessDenied);  // a replayed request
    s.nextSequence = request.sequence + 1;
  }
  const Reply reply = Dispatch(request.code, request.input, request.inputLength, request.outCapacity);

  std::memset(out, 0, outCapacity);
  const uint32_t n = static_cast<uint32_t>(reply.payload.size());
  const uint32_t room = outCapacity - kCapsuleOverhead;
  const uint32_t written = std::min(n, room);
  bytes::PutU32(out, n);
  bytes::PutU32(out + 4, CapsuleLength(written));
  if (written) std::memcpy(out + kCapsuleHeader, reply.payload.data(), written);
  if (enciphered && !s.cipher->Encipher(Role::Driver, out + kCapsuleHeader, CipherSpan(n, outCapacity)))
    return Fail(win32::kErrorInternalError);
  *returned = std::min(outCapacity, CapsuleLength(written));
  if (scenario_.capsuleReplyLimit) *returned = std::min(*returned, scenario_.capsuleReplyLimit);
  return reply.error == 0 || Fail(reply.error);
}

SimDriver::Reply SimDriver::Dispatch(uint32_t code, const uint8_t* in, uint32_t inLength, uint32_t outCapacity) {
  switch (code) {
    case IOCTL_MISC_FUNCTION: return MiscFunction(in, inLength, outCapacity);
    case IOCTL_MISC_SET_REGISTRY: return SetRegistry(in, inLength);
    case IOCTL_MISC_QUERY_REGISTRY: return QueryRegistry(in, inLength, outCapacity);
    case IOCTL_MISC_REG_KEY_EXISTS:
    case IOCTL_MISC_CREATE_REG_KEY: return KeyRecord(code, in, inLength);
    default: return {win32::kErrorInvalidFunction, {}};
  }
}

SimDriver::Reply SimDriver::MiscFunction(const uint8_t* in, uint32_t inLength, uint32_t outCapacity) {
  if (inLength < kPacketHeader || PacketInputLength(in) != inLength || PacketOutputLength(in) != outCapacity)
    return {win32::kErrorInvalidParameter, {}};
  std::vector<uint8_t> packet(std::max(inLength, outCapacity), 0);
  std::memcpy(packet.data(), in, inLength);
  const int fn = packet[0];
  auto busy = busyLeft_.find(fn);
  if (busy != busyLeft_.end() && busy->second > 0) {
    --busy->second;
    packet[0] = kStatusBusy;
  } else if (fn == 24) {
    BiosTable(packet.data(), packet.size());
  } else {
    RunFunction(packet.data(), packet.size());
  }
  packet.resize(outCapacity);
  return {0, packet};
}

void SimDriver::RunFunction(uint8_t* p, size_t size) {
  const int fn = p[0];
  const auto status = scenario_.status.find(fn);
  if (RunAnomalyFunction(p, size)) return;
  if (scenario_.battery.defined && RunBatteryFunction(scenario_.battery, p, size)) return;
  if (fn == 16 && size >= 24) {
    const bool valid = bytes::GetU32(p + 8) == 0x90 && bytes::GetU32(p + 12) < 256 &&
                       bytes::GetU32(p + 16) == 0x02100090;
    p[0] = valid ? kStatusSuccess : kStatusUnsupported;
    if (valid) bytes::PutU32(p + 20, scenario_.ec[bytes::GetU32(p + 12)]);
    return;
  }
  const int param = size >= 10 ? bytes::GetU16(p + 8) : -1;
  auto reply = scenario_.replies.find({fn, param});
  if (reply == scenario_.replies.end()) reply = scenario_.replies.find({fn, -1});
  if (reply == scenario_.replies.end()) {
    p[0] = kStatusUnsupported;
    return;
  }
  const size_t n = std::min(reply->second.size(), size > kPacketHeader ? size - kPacketHeader : 0);
  std::memcpy(p + kPacketHeader, reply->second.data(), n);
  p[0] = status != scenario_.status.end() ? status->second : kStatusSuccess;
}

bool SimDriver::RunAnomalyFunction(uint8_t* p, size_t size) {
  const bool battery = p[0] == 0x1E && size >= 12 && p[8] == 0xC0 && p[9] == 0x8A;
  const bool adaptor = p[0] == 0x1D && size >= 10 && p[8] == 0xBE;
  if (!battery && !adaptor) return false;
  SimAnomaly a = scenario_.anomaly;
  if (anomalySource_) anomalySource_(a);
  if (!a.defined) return false;
  uint8_t four[4];
  uint16_t flags = 0;
  const bool ok = battery ? AnomalyBatteryBytes(a, four) : AnomalyAdaptorFlags(a, flags);
  if (ok && battery) std::memcpy(p + 8, four, 4);
  if (ok && adaptor) bytes::PutU16(p + 8, flags);
  p[0] = ok ? kStatusSuccess : kStatusUnsupported;
  return true;
}

void SimDriver::BiosTable(uint8_t* p, size_t size) {
  const uint32_t tableBytes = static_cast<uint32_t>(scenario_.biosTable.size());
  if (size < 16 || p[1] != kPacketClassTable) {
    p[0] = kStatusUnsupported;
    return;
  }
  const uint16_t sub = bytes::GetU16(p + 8);
  p[0] = kStatusSuccess;
  if (sub == 0) {
    bytes::PutU16(p + 8, static_cast<uint16_t>(tableBytes));
    p[12] = scenario_.biosTableFlag;
  } else if (sub == 1 && size >= 16 + size_t{tableBytes}) {
    std::memcpy(p + 16, scenario_.biosTable.data(), tableBytes);
  } else if (sub == 2 && PacketInputLength(p) == 16 + tableBytes && size >= 16 + size_t{tableBytes}) {
    std::memcpy(scenario_.biosTable.data(), p + 16, tableBytes);
  } else {
    p[0] = kStatusUnsupported;
  }
}

SimDriver::Reply SimDriver::SetRegistry(const uint8_t* in, uint32_t inLength) {
  RegWView record;
  if (!in || !ParseRegW(in, inLength, record) || record.name.empty()) return {win32::kErrorInvalidParameter, {}};
  return {registry_.SetValue(record.path, record.name, record.type, record.data), {}};
}

SimDriver::Reply SimDriver::QueryRegistry(const uint8_t* in, uint32_t inLength, uint32_t outCapacity) {
  RgQIView record;
  if (!in || !ParseRgQI(in, inLength, record) || record.replyCapacity != outCapacity || outCapacity < kRgQOOverhead)
    return {win32::kErrorInvalidParameter, {}};
  uint32_t type = 0;
  std::vector<uint8_t> data;
  if (const uint32_t rc = registry_.QueryValue(record.path, record.name, type, data)) return {rc, {}};
  std::vector<uint8_t> reply(kRgQOHeader, 0);
  bytes::PutU32(&reply[0], static_cast<uint32_t>(data.size()));
  bytes::PutU32(&reply[4], kMagicRgQO);
  bytes::PutU32(&reply[8], type);
  if (data.size() > outCapacity - kRgQOOverhead) return {win32::kErrorMoreData, reply};
  reply.insert(reply.end(), data.begin(), data.end());
  return {0, reply};
}

SimDriver::Reply SimDriver::KeyRecord(uint32_t code, const uint8_t* in, uint32_t inLength) {
  RegWView record;
  if (!in || !ParseRegW(in, inLength, record) || !record.name.empty()) return {win32::kErrorInvalidParameter, {}};
  if (code == IOCTL_MISC_CREATE_REG_KEY) return {registry_.CreateKey(record.path), {}};
  bool exists = false;
  if (const uint32_t rc = registry_.KeyExists(record.path, exists)) return {rc, {}};
  std::vector<uint8_t> answer(4, 0);
  bytes::PutU32(answer.data(), exists ? 1 : 0);
  return {0, answer};
}

}  // namespace sim
