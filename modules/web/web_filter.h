// Which feed items concern this computer and are still needed on it, and which of those the
// user wants to hear about. Every outside fact comes through a small port.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "modules/web/web_feed.h"

namespace web {

// What the driver reports about this computer.
struct Machine {
  std::u16string model;   // with the hyphen at index 2
  std::u16string serial;  // five characters and five digits
  FirmwareVersion bios;
  FirmwareVersion ec;
};

// The "NotifyImportant", "NotifySupport" and "NotifyTopics" settings.
struct CategorySwitches {
  bool important = true;
  bool support = true;
  bool topics = false;
};

struct WindowsRelease {
  uint16_t osType = 0;        // WINVER_* of CWinVersion
  uint16_t architecture = 0;  // ARCH_*
  uint16_t servicePack = 0;   // major number
  uint32_t productType = 0;   // GetProductInfo's answer, 0 before Vista
};

class IWindows {
 public:
  virtual ~IWindows() = default;
  virtual WindowsRelease Release() = 0;
};

// GetProductInfo: this Windows' product type mapped onto those the given version knows;
// nothing where the function is missing (before Vista) or fails.
class IProductInfo {
 public:
  virtual ~IProductInfo() = default;
  virtual std::optional<uint32_t> ProductType(uint32_t major, uint32_t minor, uint32_t spMajor, uint32_t spMinor) = 0;
};

// The edition the Windows expression reads, asked as Vista without a service pack: the four
// edition marks name Vista's types, onto which later editions map (Professional as Business,
// the core edition as Home Premium). 0 before Vista (major version 6) and where there is no answer.
uint32_t ExpressionEdition(uint32_t majorVersion, IProductInfo& info);

// HKLM, read only.
class IMachineRegistry {
 public:
  virtual ~IMachineRegistry() = default;
  // Opens for query in this process's own view, or in the 64-bit view.
  virtual bool KeyExists(const std::u16string& path, bool view64) = 0;
  // A 32-bit process on 64-bit Windows.
  virtual bool IsWow64() = 0;
};

// A local calendar time, as FileTimeToLocalFileTime and FileTimeToSystemTime give it.
struct LocalStamp {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

class IFileSystem {
 public:
  virtual ~IFileSystem() = default;
  // Last write time of the first file the path (wildcards allowed) finds, in local time.
  virtual std::optional<LocalStamp> FirstWriteTime(const std::u16string& path) = 0;
  // Up to `max` bytes from the start of a file; nothing when it cannot be opened.
  virtual std::optional<std::string> ReadHead(const std::u16string& path, std::size_t max) = 0;
};

// WOW64 file-system redirection of this thread (a 32-bit process on 64-bit Windows sees
// SysWOW64 where System32 is named).
class IFileRedirection {
 public:
  virtual ~IFileRedirection() = default;
  virtual bool Disable() = 0;  // true: switched off until Revert
  virtual void Revert() = 0;
};

class IDrivers {
 public:
  virtual ~IDrivers() = default;
  // "DriverVersion" of the first device whose description, else friendly name, is `name`.
  virtual std::optional<std::u16string> DriverVersion(const std::u16string& name) = 0;
};

struct BatteryPack {
  std::u16string name;  // device name, up to 14 characters
  uint64_t identifier = 0;
};

class IBatteryPacks {
 public:
  virtual ~IBatteryPacks() = default;
  virtual std::vector<BatteryPack> Packs() = 0;  // the packs present, pack 0 first
};

struct FilterPorts {
  IWindows& windows;
  IMachineRegistry& registry;
  IFileSystem& files;
  IDrivers& drivers;
  IBatteryPacks& batteries;
};

// Marks every item: not applicable or not needed (suppressed, not listed), switched off by
// its category (suppressed, listed) or to notify. Answers the number to notify.
int FilterItems(std::vector<FeedItem>& items, const Machine& machine, const CategorySwitches& switches,
                FilterPorts& ports);

// The support-site catalogue's rules over entries read from their documents: each entry ends
// excluded (suppressed, listed), an information-only row (suppressed, not listed), up to date
// (listed) or needed (neither). The need tests count a file or driver that is not there as
// needed; an entry without one readable date or version becomes an information-only row, as
// does one that names image versions while this computer's is unknown.
// On 64-bit Windows from Vista on, files are searched with redirection switched off, so that
// System32 means the system's own folder.
void JudgeCatalogueEntries(const std::vector<FeedItem*>& entries, const Machine& machine, FilterPorts& ports,
                           IFileRedirection& redirection);
// The catalogue searches files with redirection off on this release.
bool CatalogueSearchesNativeFolders(const WindowsRelease& release);

// The "wkpt:os" expression on this release.
bool WindowsExpressionTrue(std::u16string_view expression, const WindowsRelease& release);

// Battery identifier: the date's digits YYMMDD followed by the five-digit serial. `date` is
// the smart-battery date word (day bits 0-4, month 5-8, year - 1980 9-15).
uint64_t BatteryIdentifier(uint16_t serial, uint16_t date);
// A pack from its serial, date word and 12 name bytes (from the EC or the driver functions);
// nothing when the serial or the date is 0: no pack.
std::optional<BatteryPack> MakePack(uint16_t serial, uint16_t date, const uint8_t name[12]);

// The installed version "a.b.c.d" as the need test compares it.
std::optional<uint64_t> InstalledDriverVersion(std::u16string_view driverVersion);
// The feed's version "%hd.%hd.%hd.%hd".
std::optional<uint64_t> FeedDriverVersion(std::u16string_view version);

constexpr char16_t kPreinstallVersionFile[] = u"C:\\util\\version.doc";
constexpr char16_t kUninstallKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// Longest model or serial pattern; a longer one does not fit the pattern buffer.
constexpr std::size_t kMaxItemPattern = 97;

}  // namespace web
