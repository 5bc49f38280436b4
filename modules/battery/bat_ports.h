// The battery module's seams to the platform: clock, registry, battery devices, files, XML
// and the code page. Windows builds pass the real calls; native tests pass stand-ins.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "modules/battery/bat_rules.h"
#include "modules/battery/bat_text.h"
#include "modules/kit/page_files.h"
#include "modules/kit/strings.h"

namespace bat {

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  Date date() const { return Date{year, month, day}; }
};

class IClock {
 public:
  virtual ~IClock() = default;
  virtual int64_t NowUtc() = 0;  // seconds since 1970
  virtual LocalTime NowLocal() = 0;
  // UTC seconds of the local midnight that starts `date`, with that day's daylight rule.
  virtual std::optional<int64_t> LocalMidnight(const Date& date) = 0;
  // The check time as the user's locale writes a short date and a time.
  virtual std::u16string DateTimeText(const LocalTime& t) = 0;
};

// HKLM module key (read only) and the user's module key or one of its per-pack sub-keys
// (`pack` empty: the module key itself).
class IStore {
 public:
  virtual ~IStore() = default;
  virtual std::optional<uint32_t> MachineDword(const char16_t* name) = 0;
  virtual std::optional<std::u16string> MachineString(const char16_t* name) = 0;
  virtual std::optional<uint32_t> UserDword(const std::u16string& pack, const char16_t* name) = 0;
  virtual std::optional<std::u16string> UserString(const std::u16string& pack, const char16_t* name) = 0;
  virtual bool WriteUserDword(const std::u16string& pack, const char16_t* name, uint32_t value) = 0;
  virtual bool WriteUserString(const std::u16string& pack, const char16_t* name, const std::u16string& value) = 0;
  virtual bool AuditMode() = 0;
};

// One openable battery-class device: its capacities, when its tag and information were read.
struct DeviceReading {
  bool valid = false;
  uint32_t design = 0, full = 0;
};

class IBatteryDevices {
 public:
  virtual ~IBatteryDevices() = default;
  // The openable devices in enumeration order, at most `max`.
  virtual std::vector<DeviceReading> ReadOpenable(size_t max) = 0;
};

// The page files (kit::IPageFiles), and what else the module reads from disk.
class IFiles : public kit::IPageFiles {
 public:
  virtual std::u16string ModulePath() = 0;  // the module file; the page's images lie beside it
  virtual bool Exists(const std::u16string& path) = 0;
  // Parses an XML file; false when it cannot be read or is not well-formed.
  virtual bool LoadXml(const std::u16string& path, XmlElement& root) = 0;
};

using kit::IStrings;

using kit::ICodePage;

}  // namespace bat
