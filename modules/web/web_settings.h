// The web module's settings: where each is read from, what range it accepts, and which
// values a save may write to the user's key.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace web {

// The module key in HKCU and HKLM. Windows builds pass the registry; tests pass a map.
class ISettingsStore {
 public:
  virtual ~ISettingsStore() = default;
  // A REG_DWORD value; nothing when absent or of another type.
  virtual std::optional<uint32_t> UserDword(const char16_t* name) = 0;
  virtual std::optional<uint32_t> MachineDword(const char16_t* name) = 0;
  // Creates the user's key when needed.
  virtual bool WriteUserDword(const char16_t* name, uint32_t value) = 0;
  // Windows is in factory deployment or audit mode.
  virtual bool AuditMode() = 0;
};

// The nine values the user's settings consist of, in the order a save writes them.
enum Field : std::size_t {
  kEnable,
  kCheckMethod,
  kCheckHour,
  kCheckMinute,
  kNotifyImportant,
  kNotifySupport,
  kNotifyTopics,
  kSuppressAutoCheckMinute,
  kLocalMode,
  kFieldCount
};

constexpr uint32_t kMethodOnConnection = 1, kMethodFixedTime = 2, kMethodNone = 3;

const char16_t* FieldName(Field f);

// Where a value came from; a machine-wide value is never copied into the user's key.
enum class Origin { Default, User, Machine };

class Settings {
 public:
  // The built-in values, with "Enable" and "SetupEnable" at the model's default.
  explicit Settings(uint32_t enableDefault = 0, uint32_t setupEnableDefault = 0);

  // HKCU decides when the value is there (an out-of-range value keeps the default); only
  // when it is absent is HKLM read, with the same test. "SetupEnable" comes from HKLM only,
  // "OpenUpdateOnNextBoot" from HKCU only.
  void Read(ISettingsStore& store);

  uint32_t Get(Field f) const { return value_[f]; }
  Origin OriginOf(Field f) const { return origin_[f]; }
  // A change the user makes (settings page, the host's first-run question).
  void Set(Field f, uint32_t value) { value_[f] = value; }

  uint32_t setupEnable() const { return setupEnable_; }
  uint32_t openUpdateOnNextBoot() const { return openUpdate_; }

  // Writes to HKCU, in field order, each value the user changed since it was read or that
  // already is the user's own; each write is tried even when an earlier one failed. Nothing
  // in audit mode or with "SetupEnable" 0. True when it ran and every write succeeded.
  bool Save(ISettingsStore& store);

  // Clears "OpenUpdateOnNextBoot" in memory and in HKCU (it is the user's own value).
  bool ClearOpenUpdate(ISettingsStore& store);

  // The host switches automatic checking off (method 3) or on (method 1 when it was 3).
  void EnableAutoCheck(bool on, ISettingsStore& store);

 private:
  std::array<uint32_t, kFieldCount> value_{}, read_{};
  std::array<Origin, kFieldCount> origin_{};
  uint32_t setupEnable_ = 0, openUpdate_ = 0;
};

// The preinstalled image's type from the head of "c:\util\version.doc": 1 when its second
// line begins with "J", else 2.
int PreinstallTypeFromVersionFile(const std::string& head);

// Default "Enable" and "SetupEnable": both 0 unless the preinstall type is 1 and the model's
// series (one or two characters after the "-") is supported; then the last character of the
// model decides ("P", "R": 1; anything else: 0).
uint32_t DefaultEnable(std::optional<int> preinstallType, const std::u16string& model,
                       const std::vector<std::u16string>& seriesCodes);

}  // namespace web
