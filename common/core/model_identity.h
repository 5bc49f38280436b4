// The machine's identity as callers show it: model number with its hyphen, serial number,
// and firmware versions in the maker's "V1.23L45A M67" form.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace MiscCommon {
class CMiscCommon;

// Every reader of the model number uses this buffer size, so the extended number is never lost.
constexpr uint32_t kModelBufferSize = 100;

struct FirmwareVersion {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t level = 0;
  char letter = 0;  // 0: none
  uint32_t mNumber = 0;
  uint32_t subNumber = 0;
};

// The driver's five bytes: major, BCD minor, BCD level, letter, BCD M number.
FirmwareVersion FirmwareFromDriverBytes(const uint8_t b[5]);
std::string FirmwareText(const FirmwareVersion& v);

// Inserts "-" after the second character unless the third already is one.
std::string FormatModelNumber(const uint8_t* raw, size_t n);
// Five characters, then the little-endian number of the last three bytes as "%05d".
std::string FormatSerialNumber(const uint8_t raw[8]);

// Reads through the client; MC_* code.
int ReadModelNumber(CMiscCommon& client, std::string& out);
int ReadSerialNumber(CMiscCommon& client, std::string& out);
int ReadBiosVersion(CMiscCommon& client, FirmwareVersion& out);
}  // namespace MiscCommon
