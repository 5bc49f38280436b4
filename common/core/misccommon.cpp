#include "common/core/misccommon.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "common/core/bytes.h"
#include "common/core/platform.h"

namespace MiscCommon {
namespace {
constexpr size_t kTextChars = 256;
constexpr int kFalse = 0;
constexpr int kTrue = 1;

// Zeroed heap bytes that report failure instead of throwing.
std::unique_ptr<uint8_t[]> Allocate(size_t n) { return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[n]()); }

// Builders allocate through std::vector; an allocation failure becomes an empty result.
template <typename Build>
bool TryBuild(std::vector<uint8_t>& out, Build build) {
  try {
    out = build();
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void Fail(uint32_t error) { platform::SetLastErrorCode(error); }
}  // namespace

void ParseDriverVersion(const char16_t* text, uint32_t out[4]) {
  for (int i = 0; i < 4; ++i) out[i] = 0;
  if (!text) return;
  const char16_t* p = text;
  for (int field = 0; field < 4; ++field) {
    if (field > 0) {
      if (*p != u'.') return;
      ++p;
    }
    if (*p < u'0' || *p > u'9') return;
    uint32_t v = 0;
    for (; *p >= u'0' && *p <= u'9'; ++p) v = v * 10 + static_cast<uint32_t>(*p - u'0');
    out[field] = v;
  }
}

CMiscCommon::CMiscCommon(IMiscDevice& device)
    : _device(device), _pszLastError(new (std::nothrow) char16_t[kTextChars]()) {}

CMiscCommon::~CMiscCommon() { Close(); }

void CMiscCommon::SetError(const char* format, ...) {
  if (!_pszLastError) return;
  const uint32_t saved = platform::GetLastErrorCode();
  char text[kTextChars];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  size_t i = 0;
  for (; text[i] && i + 1 < kTextChars; ++i) _pszLastError[i] = static_cast<unsigned char>(text[i]);
  _pszLastError[i] = 0;
  platform::SetLastErrorCode(saved);
}

void CMiscCommon::ClearError() {
  if (_pszLastError) _pszLastError[0] = 0;
}

bool CMiscCommon::IsDriverVersionAtLeast(uint32_t a, uint32_t b, uint32_t c, uint32_t d) const {
  const uint32_t want[4] = {a, b, c, d};
  for (int i = 0; i < 4; ++i)
    if (_dwDriverVersion[i] != want[i]) return _dwDriverVersion[i] > want[i];
  return true;
}

int CMiscCommon::Open() {
  const int rc = OpenDriver();
  if (rc != MC_OK) return rc;
  if (!Supported()) return MC_OK;
  return _Initialize();
}

int CMiscCommon::OpenDriver() {
  Close();  // reopening never leaks the previous handle
  const bool readVersion = !_szVersion;
  if (readVersion) {
    _szVersion.reset(new (std::nothrow) char16_t[kTextChars]());
    if (!_szVersion) {
      SetError("MiscCommon::CMiscCommon::OpenDriver: _szVersion array initialize failed.");
      Fail(win32::kErrorNotEnoughMemory);
      return MC_ERR_FAILED;
    }
  }
  std::u16string version;
  DeviceHandle handle = kInvalidDevice;
  const char* failure = "";
  const int rc = _device.Open(readVersion, version, handle, failure);
  if (rc != MC_OK) {
    if (readVersion) _szVersion.reset();
    SetError("MiscCommon::CMiscCommon::OpenDriver: %s", failure);
    return rc;
  }
  if (readVersion) {
    const size_t n = version.size() < kTextChars - 1 ? version.size() : kTextChars - 1;
    std::memcpy(_szVersion.get(), version.data(), n * sizeof(char16_t));
    _szVersion[n] = 0;
    ParseDriverVersion(_szVersion.get(), _dwDriverVersion);
  }
  _hDevice = handle;
  ClearError();
  return MC_OK;
}

int CMiscCommon::_Initialize() {
  if (!Supported()) return MC_ERR_NOT_SUPPORTED;
  if (!IsOpen()) return MC_ERR_NOT_OPEN;
  uint8_t clientNonce[kNonceSize];
  if (!crypto::RandomBytes(clientNonce, sizeof clientNonce)) {
    SetError("MiscCommon::CMiscCommon::_Initialize: random nonce failed.");
    return MC_ERR_FAILED;
  }
  std::vector<uint8_t> open = BuildOpenSession(clientNonce);
  uint8_t offerBytes[kOfferSize] = {};
  uint32_t got = 0;
  if (!_device.IoControl(_hDevice, IOCTL_MISC_OPEN_SESSION, open.data(), static_cast<uint32_t>(open.size()),
                         offerBytes, sizeof offerBytes, &got)) {
    if (platform::GetLastErrorCode() == win32::kErrorNotSupported) {
      _bEnciphered = 0;  // the driver serves this client without a session
      return MC_OK;
    }
    SetError("MiscCommon::CMiscCommon::_Initialize: open session failed.");
    return MC_ERR_FAILED;
  }
  SessionOffer offer;
  uint8_t expected[kProofSize];
  if (!ParseOffer(offerBytes, got, offer)) {
    SetError("MiscCommon::CMiscCommon::_Initialize: invalid session offer. size = %u", static_cast<unsigned>(got));
    Fail(win32::kErrorInvalidData);
    return MC_ERR_FAILED;
  }
  if (!ComputeProof(Role::Driver, clientNonce, offer.driverNonce, offer.sessionId, expected)) {
    SetError("MiscCommon::CMiscCommon::_Initialize: proof computation failed.");
    return MC_ERR_FAILED;
  }
  if (!ProofsEqual(expected, offer.driverProof)) {
    SetError("MiscCommon::CMiscCommon::_Initialize: driver authentication failed.");
    Fail(win32::kErrorAccessDenied);
    return MC_ERR_NO_DEVICE;
  }
  uint8_t proof[kProofSize];
  if (!ComputeProof(Role::Client, clientNonce, offer.driverNonce, offer.sessionId, proof)) {
    SetError("MiscCommon::CMiscCommon::_Initialize: proof computation failed.");
    return MC_ERR_FAILED;
  }
  std::vector<uint8_t> auth = BuildAuth(offer.sessionId, proof);
  if (!_device.IoControl(_hDevice, IOCTL_MISC_AUTH_SESSION, auth.data(), static_cast<uint32_t>(auth.size()), nullptr,
                         0, &got)) {
    const bool refused = platform::GetLastErrorCode() == win32::kErrorAccessDenied;
    SetError(refused ? "MiscCommon::CMiscCommon::_Initialize: session authentication refused."
                     : "MiscCommon::CMiscCommon::_Initialize: authenticate session failed.");
    return refused ? MC_ERR_NO_DEVICE : MC_ERR_FAILED;
  }
  std::unique_ptr<SessionCipher> cipher = SessionCipher::Create(clientNonce, offer.driverNonce, offer.sessionId);
  if (!cipher) {
    const uint32_t error = platform::GetLastErrorCode();
    uint8_t sid[4];
    bytes::PutU32(sid, offer.sessionId);
    _device.IoControl(_hDevice, IOCTL_MISC_END_SESSION, sid, sizeof sid, nullptr, 0, &got);
    SetError("MiscCommon::CMiscCommon::_Initialize: session cipher set-up failed.");
    Fail(error);
    return MC_ERR_FAILED;
  }
  _dwSessionId = offer.sessionId;
  _pSessionCipher = std::move(cipher);
  _dwSequence = 0;
  _bEnciphered = 1;
  return MC_OK;
}

void CMiscCommon::Close() {
  if (_hDevice == kInvalidDevice) return;
  if (_pSessionCipher) {
    uint8_t sid[4];
    bytes::PutU32(sid, _dwSessionId);
    uint32_t got = 0;
    _device.IoControl(_hDevice, IOCTL_MISC_END_SESSION, sid, sizeof sid, nullptr, 0, &got);
    _dwSessionId = 0;
    _dwSequence = 0;
    _pSessionCipher.reset();
  }
  _device.Close(_hDevice);
  _hDevice = kInvalidDevice;
}

int CMiscCommon::GetModelNumber(unsigned index, uint8_t* buffer, uint32_t* length) {
  if (!Supported()) return MC_ERR_NOT_SUPPORTED;
  if (!IsOpen()) return MC_ERR_NOT_OPEN;
  if (!length || (!buffer && *length != 0)) return MC_ERR_INVALID_ARG;
  uint8_t block[kModelInfoSize] = {};
  uint32_t got = 0;
  const bool ok = _device.IoControl(_hDevice, IOCTL_MISC_MODEL_INFO, nullptr, 0, block, sizeof block, &got);
  if (!ok || got != kModelInfoSize) {
    if (ok) Fail(win32::kErrorInvalidData);
    SetError("MiscCommon::CMiscCommon::GetModelNumber: DeviceIoControl failed.");
    return MC_ERR_FAILED;
  }
  std::vector<uint8_t> part;
  const int rc = SelectModelPart(block, index, *length, part);
  if (rc != MC_OK) {
    if (rc == MC_ERR_FAILED) {
      SetError("MiscCommon::CMiscCommon::GetModelNumber: invalid model number length %u.", unsigned{block[95]});
      Fail(win32::kErrorInvalidData);
    }
    return rc;
  }
  const uint32_t n = static_cast<uint32_t>(part.size());
  if (*length < n) {
    *length = n;
    return MC_ERR_NO_MEMORY;
  }
  std::memcpy(buffer, part.data(), n);
  *length = n;
  return MC_OK;
}

int CMiscCommon::EncapsuledDeviceIoControl(uint32_t code, const void* in, uint32_t inLength, void* out,
                                           uint32_t outCapacity, uint32_t* outLength) {
  if (!Supported()) {
    Fail(win32::kErrorNotSupported);
    return kFalse;
  }
  if ((in == nullptr) != (inLength == 0) || (out == nullptr) != (outCapacity == 0) || !outLength) {
    SetError("MiscCommon::CMiscCommon::EncapsuledDeviceIoControl: Invalid Argument(s).");
    Fail(win32::kErrorInvalidParameter);
    return kFalse;
  }
  if (_bEnciphered && !_pSessionCipher) {
    SetError("MiscCommon::CMiscCommon::EncapsuledDeviceIoControl: Session Not Initialized.");
    Fail(win32::kErrorAccessDenied);
    return kFalse;
  }
  *outLength = 0;
  std::vector<uint8_t> request, capsule;
  if (!TryBuild(request, [&] {
        return BuildDriverRequest(_dwSequence, code, static_cast<const uint8_t*>(in), inLength, outCapacity);
      })) {
    SetError("MiscCommon::CMiscCommon::EncapsuledDeviceIoControl: HeapAlloc failed.");
    Fail(win32::kErrorNotEnoughMemory);
    return kFalse;
  }
  const uint32_t n = static_cast<uint32_t>(request.size());
  if (!TryBuild(capsule, [&] { return BuildCapsule(_dwSessionId, request.data(), n); })) {
    SetError("MiscCommon::CMiscCommon::_InitializeMessageCapsule: HeapAlloc failed.");
    Fail(win32::kErrorNotEnoughMemory);
    return kFalse;
  }
  if (_bEnciphered && !_pSessionCipher->Encipher(Role::Client, &capsule[kCapsuleHeader], PaddedPayload(n))) {
    Fail(win32::kErrorInternalError);
    return kFalse;
  }
  const uint64_t replyLength64 = uint64_t{PaddedPayload(outCapacity > 0xFFFFFF00u ? 0xFFFFFF00u : outCapacity)} +
                                 kCapsuleOverhead;
  const uint32_t replyLength = static_cast<uint32_t>(replyLength64);
  std::unique_ptr<uint8_t[]> reply = Allocate(replyLength);
  if (!reply) {
    SetError("MiscCommon::CMiscCommon::EncapsuledDeviceIoControl: HeapAlloc failed.");
    Fail(win32::kErrorNotEnoughMemory);
    return kFalse;
  }
  uint32_t returned = 0;
  const bool ok = _device.IoControl(_hDevice, IOCTL_MISC_CAPSULE, capsule.data(), static_cast<uint32_t>(capsule.size()),
                                    reply.get(), replyLength, &returned);
  const uint32_t error = ok ? win32::kErrorSuccess : platform::GetLastErrorCode();
  if (ok || returned > 0) ++_dwSequence;
  if (returned < kCapsuleHeader) {
    SetError("MiscCommon::CMiscCommon::EncapsuledDeviceIoControl: Invalid structure returned. size = %d",
             static_cast<int>(returned));
    Fail(ok ? win32::kErrorInvalidData : error);  // never a failure that reads as success
    return kFalse;
  }
  const uint32_t payload = bytes::GetU32(reply.get());
  if (_bEnciphered &&
      !_pSessionCipher->Decipher(Role::Driver, reply.get() + kCapsuleHeader, CipherSpan(payload, replyLength))) {
    Fail(win32::kErrorInternalError);
    return kFalse;
  }
  if (payload > outCapacity) {
    std::memcpy(out, reply.get() + kCapsuleHeader, outCapacity);
    *outLength = outCapacity;
    Fail(win32::kErrorMoreData);
    return kFalse;
  }
  if (payload) std::memcpy(out, reply.get() + kCapsuleHeader, payload);
  *outLength = payload;
  Fail(error);
  return ok ? kTrue : kFalse;
}

int CMiscCommon::CallMiscFunction(uint8_t* pPacket, int sizePacket, unsigned retries, uint32_t sleepMs) {
  if (!Supported()) return MC_ERR_NOT_SUPPORTED;
  if (!IsOpen()) {
    SetError("MiscCommon::CMiscCommon::CallMiscFunction: _hDevice is NULL");
    return MC_ERR_NOT_OPEN;
  }
  if (!pPacket) {
    SetError("MiscCommon::CMiscCommon::CallMiscFunction: pPacket is NULL");
    return MC_ERR_INVALID_ARG;
  }
  if (sizePacket <= 0) {
    SetError("MiscCommon::CMiscCommon::CallMiscFunction: sizePacket is '0'");
    return MC_ERR_INVALID_ARG;
  }
  const uint32_t size = static_cast<uint32_t>(sizePacket);
  const uint32_t inLength = size >= kPacketHeader ? PacketInputLength(pPacket) : 0;
  const uint32_t outLength = size >= kPacketHeader ? PacketOutputLength(pPacket) : 0;
  if (size < kPacketHeader || inLength < kPacketHeader || inLength > size || outLength > size) {
    SetError("MiscCommon::CMiscCommon::CallMiscFunction: packet lengths %u/%u do not fit a packet of %u bytes",
             inLength, outLength, size);
    Fail(win32::kErrorInvalidParameter);
    return MC_ERR_INVALID_ARG;
  }
  std::unique_ptr<uint8_t[]> copy = Allocate(size);
  if (!copy) {
    SetError("MiscCommon::CMiscCommon::CallMiscFunction: HeapAlloc failed.");
    return MC_ERR_NO_MEMORY;
  }
  std::memcpy(copy.get(), pPacket, size);
  for (unsigned i = 0;; ++i) {
    uint32_t got = 0;
    if (!EncapsuledDeviceIoControl(IOCTL_MISC_FUNCTION, pPacket, inLength, outLength ? pPacket : nullptr, outLength,
                                   &got)) {
      SetError("MiscCommon::CMiscCommon::CallMiscFunction: DeviceIoControl failed.");
      return MC_ERR_FAILED;
    }
    if (i >= retries || PacketStatus(pPacket) != kStatusBusy) {
      ClearError();
      return MC_OK;
    }
    platform::SleepMs(sleepMs);
    std::memcpy(pPacket, copy.get(), size);
  }
}

int CMiscCommon::RegistryGate(win32::RegRoot root) const {
  return Supported() && root == win32::RegRoot::LocalMachine ? MC_OK : MC_ERR_NOT_SUPPORTED;
}

int CMiscCommon::SendRecord(uint32_t code, const std::vector<uint8_t>& record, void* out, uint32_t outCapacity,
                            uint32_t* outLength) {
  return EncapsuledDeviceIoControl(code, record.data(), static_cast<uint32_t>(record.size()), out, outCapacity,
                                   outLength);
}

int CMiscCommon::SetRegistry(win32::RegRoot root, const char16_t* lpPath, const char16_t* lpName, uint32_t type,
                             const uint8_t* lpData, uint32_t dataLength) {
  if (const int gate = RegistryGate(root)) return gate;
  if (!lpPath || !lpName || !lpData) {
    SetError("MiscCommon::CMiscCommon::SetRegistry: lpPath, lpName or lpData is NULL");
    return MC_ERR_INVALID_ARG;
  }
  std::vector<uint8_t> record;
  if (!TryBuild(record, [&] { return BuildRegW(lpPath, lpName, type, lpData, dataLength); })) {
    SetError("MiscCommon::CMiscCommon::SetRegistry: HeapAlloc failed.");
    return MC_ERR_NO_MEMORY;
  }
  uint32_t got = 0;
  if (!SendRecord(IOCTL_MISC_SET_REGISTRY, record, nullptr, 0, &got)) {
    SetError("MiscCommon::CMiscCommon::SetRegistry: DeviceIoControl failed.");
    return MC_ERR_FAILED;
  }
  return MC_OK;
}

int CMiscCommon::QueryRegistry(win32::RegRoot root, const char16_t* lpPath, const char16_t* lpName, uint32_t* type,
                               uint8_t* data, uint32_t* dataLength) {
  if (const int gate = RegistryGate(root)) return gate;
  if (!lpPath || !lpName || !dataLength) {
    SetError("MiscCommon::CMiscCommon::QueryRegistry: lpPath or lpName is NULL");
    return MC_ERR_INVALID_ARG;
  }
  const uint32_t capacity = data ? *dataLength : 0;
  const uint32_t replySize = capacity > 0xFFFFFF00u ? 0 : capacity + kRgQOOverhead;
  std::vector<uint8_t> record;
  std::unique_ptr<uint8_t[]> reply = replySize ? Allocate(replySize) : nullptr;
  if (!reply || !TryBuild(record, [&] { return BuildRgQI(lpPath, lpName, replySize); })) {
    SetError("MiscCommon::CMiscCommon::QueryRegistry: HeapAlloc failed. I:%d O:%d", static_cast<int>(record.size()),
             static_cast<int>(replySize));
    return MC_ERR_NO_MEMORY;
  }
  uint32_t got = 0;
  const bool ok = SendRecord(IOCTL_MISC_QUERY_REGISTRY, record, reply.get(), replySize, &got);
  const uint32_t error = platform::GetLastErrorCode();
  const bool valid = got >= kRgQOHeader && bytes::GetU32(reply.get() + 4) == kMagicRgQO;
  const uint32_t length = valid ? bytes::GetU32(reply.get()) : 0;
  if (valid && type) *type = bytes::GetU32(reply.get() + 8);
  if (ok) {
    if (!valid) {
      SetError("MiscCommon::CMiscCommon::QueryRegistry: Invalid return struct.");
      Fail(win32::kErrorInvalidData);
      return MC_ERR_FAILED;
    }
    uint32_t copy = length < capacity ? length : capacity;
    if (copy > got - kRgQOHeader) copy = got - kRgQOHeader;
    if (copy) std::memcpy(data, reply.get() + kRgQOHeader, copy);
    *dataLength = length;
    return length > copy && data ? MC_ERR_MORE_DATA : MC_OK;
  }
  if (error == win32::kErrorInvalidParameter) return MC_ERR_INVALID_ARG;
  if ((error == win32::kErrorMoreData || error == win32::kErrorBufferOverflow) && valid) {
    *dataLength = length;
    Fail(error);
    return data ? MC_ERR_MORE_DATA : MC_OK;
  }
  return MC_ERR_FAILED;
}

int CMiscCommon::RegKeyExists(win32::RegRoot root, const char16_t* lpPath, bool* exists) {
  if (exists) *exists = false;
  if (const int gate = RegistryGate(root)) return gate;
  if (!lpPath || !exists) {
    SetError("MiscCommon::CMiscCommon::RegKeyExists: lpPath is NULL");
    return MC_ERR_INVALID_ARG;
  }
  std::vector<uint8_t> record;
  if (!TryBuild(record, [&] { return BuildRegW(lpPath, nullptr, 0, nullptr, 0); })) {
    SetError("MiscCommon::CMiscCommon::RegKeyExists: HeapAlloc failed.");
    return MC_ERR_NO_MEMORY;
  }
  uint8_t answer[4] = {};
  uint32_t got = 0;
  if (!SendRecord(IOCTL_MISC_REG_KEY_EXISTS, record, answer, sizeof answer, &got)) return MC_ERR_FAILED;
  *exists = got == sizeof answer && bytes::GetU32(answer) == 1;
  return MC_OK;
}

int CMiscCommon::CreateRegKey(win32::RegRoot root, const char16_t* lpPath) {
  if (const int gate = RegistryGate(root)) return gate;
  if (!lpPath) {
    SetError("MiscCommon::CMiscCommon::CreateRegKey: lpPath is NULL");
    return MC_ERR_INVALID_ARG;
  }
  std::vector<uint8_t> record;
  if (!TryBuild(record, [&] { return BuildRegW(lpPath, nullptr, 0, nullptr, 0); })) {
    SetError("MiscCommon::CMiscCommon::CreateRegKey: HeapAlloc failed.");
    return MC_ERR_NO_MEMORY;
  }
  uint32_t got = 0;
  if (!SendRecord(IOCTL_MISC_CREATE_REG_KEY, record, nullptr, 0, &got)) {
    SetError("MiscCommon::CMiscCommon::CreateRegKey: DeviceIoControl failed.");
    return MC_ERR_FAILED;
  }
  return MC_OK;
}

// ---- CDriverReg

namespace {
bool FitsRegText(const char16_t* s) { return s && bytes::Utf16Length(s) + 1 <= kMaxRegText; }
}  // namespace

bool CDriverReg::KeyExists(win32::RegRoot root, const char16_t* path) {
  bool exists = false;
  return _client && FitsRegText(path) && _client->RegKeyExists(root, path, &exists) == MC_OK && exists;
}

bool CDriverReg::CreateKey(win32::RegRoot root, const char16_t* path) {
  return _client && FitsRegText(path) && _client->CreateRegKey(root, path) == MC_OK;
}

bool CDriverReg::WriteDword(win32::RegRoot root, const char16_t* path, const char16_t* name, uint32_t value) {
  if (!_client || !FitsRegText(path) || !FitsRegText(name)) return false;
  uint8_t data[4];
  bytes::PutU32(data, value);
  return _client->SetRegistry(root, path, name, win32::kRegDword, data, sizeof data) == MC_OK;
}

bool CDriverReg::ReadDword(win32::RegRoot root, const char16_t* path, const char16_t* name, uint32_t* out) {
  if (!_client || !out || !FitsRegText(path) || !FitsRegText(name)) return false;
  uint8_t data[4] = {};
  uint32_t type = 0, length = sizeof data;
  if (_client->QueryRegistry(root, path, name, &type, data, &length) != MC_OK || type != win32::kRegDword ||
      length != sizeof data)
    return false;
  *out = bytes::GetU32(data);
  return true;
}

}  // namespace MiscCommon
