// CMiscCommon: the client of the maker's platform driver, and CDriverReg, machine-wide
// registry values written through it. Not thread-safe: every user calls it from its UI thread.
#pragma once
#include <cstdint>
#include <memory>

#include "common/core/misc_device.h"
#include "common/core/misc_format.h"
#include "common/core/misc_session.h"
#include "common/core/win32_constants.h"

namespace MiscCommon {

class CMiscCommon {
 public:
  CMiscCommon();  // talks to DefaultDevice()
  explicit CMiscCommon(IMiscDevice& device);
  virtual ~CMiscCommon();
  CMiscCommon(const CMiscCommon&) = delete;
  CMiscCommon& operator=(const CMiscCommon&) = delete;

  int Open();
  int OpenDriver();
  void Close();
  bool IsDriverVersionAtLeast(uint32_t a, uint32_t b, uint32_t c, uint32_t d) const;

  int GetModelNumber(unsigned index, uint8_t* buffer, uint32_t* length);
  int EncapsuledDeviceIoControl(uint32_t code, const void* in, uint32_t inLength, void* out, uint32_t outCapacity,
                                uint32_t* outLength);
  int CallMiscFunction(uint8_t* pPacket, int sizePacket, unsigned retries, uint32_t sleepMs);
  int CallMiscFunctionRetry(uint8_t* pPacket, int sizePacket) { return CallMiscFunction(pPacket, sizePacket, 1, 100); }

  int SetRegistry(win32::RegRoot root, const char16_t* lpPath, const char16_t* lpName, uint32_t type,
                  const uint8_t* lpData, uint32_t dataLength);
  int QueryRegistry(win32::RegRoot root, const char16_t* lpPath, const char16_t* lpName, uint32_t* type,
                    uint8_t* data, uint32_t* dataLength);
  int RegKeyExists(win32::RegRoot root, const char16_t* lpPath, bool* exists);
  int CreateRegKey(win32::RegRoot root, const char16_t* lpPath);

  const char16_t* LastErrorText() const { return _pszLastError.get(); }
  const char16_t* DriverVersionText() const { return _szVersion.get(); }
  bool HasSession() const { return _pSessionCipher != nullptr; }
  bool IsEnciphered() const { return _bEnciphered != 0; }
  bool IsOpen() const { return _hDevice != kInvalidDevice; }

 protected:
  int _Initialize();

 private:
  void SetError(const char* format, ...);
  void ClearError();
  bool Supported() const { return IsDriverVersionAtLeast(1, 0, 8, 0); }
  int RegistryGate(win32::RegRoot root) const;
  int SendRecord(uint32_t code, const std::vector<uint8_t>& record, void* out, uint32_t outCapacity,
                 uint32_t* outLength);

  IMiscDevice& _device;
  DeviceHandle _hDevice = kInvalidDevice;
  std::unique_ptr<char16_t[]> _szVersion;
  uint32_t _dwSessionId = 0;
  uint32_t _dwSequence = 0;
  std::unique_ptr<SessionCipher> _pSessionCipher;
  uint32_t _bEnciphered = 1;
  std::unique_ptr<char16_t[]> _pszLastError;
  uint32_t _dwDriverVersion[4] = {0, 0, 0, 0};
};

// Reads "%d.%d.%d.%d"; fields that do not parse stay 0.
void ParseDriverVersion(const char16_t* text, uint32_t out[4]);

class CDriverReg {
 public:
  explicit CDriverReg(CMiscCommon* client) : _client(client) {}
  bool KeyExists(win32::RegRoot root, const char16_t* path);
  bool CreateKey(win32::RegRoot root, const char16_t* path);
  bool WriteDword(win32::RegRoot root, const char16_t* path, const char16_t* name, uint32_t value);
  bool ReadDword(win32::RegRoot root, const char16_t* path, const char16_t* name, uint32_t* out);

 private:
  CMiscCommon* _client;  // not owned; must outlive this wrapper
};

}  // namespace MiscCommon
