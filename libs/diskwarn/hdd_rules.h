// The hard-disk rules of Diskwarn: the viewer's history samples and records, the thresholds per
// model class, the four rules and the evaluation that reads, refreshes and reports. Portable;
// the viewer, the power scheme and the clock come in through ports.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hdd {

constexpr uint32_t kEventHibernate = 1, kEventShock = 2, kEventTemperature = 4, kEventPowerOn = 8;
constexpr uint32_t kAllEvents = 15;

// Service controls of the viewer's data service.
constexpr uint32_t kControlSample = 144;
// The control that reports one event (145 hibernate ... 148 power-on); 0 for anything else.
uint32_t ReportControl(uint32_t event);

// One history sample: "yyyy/mm/dd hh:mm:ss  startStop hours shock temperature".
struct Sample {
  int64_t time = 0;  // local wall-clock seconds; only differences mean anything
  int32_t startStop = 0, hours = 0, shock = 0, temperature = 0;
};
// Nothing for a text without the two spaces, without four numbers after them or with a time
// that is not a calendar time.
std::optional<Sample> ParseSample(const std::u16string& text);
// Local wall-clock seconds of a calendar time, on the same scale as Sample::time.
int64_t WallSeconds(int year, int month, int day, int hour, int minute, int second);

// Support flags from the attribute records of the pipe's reply: 8 power-on counters (4 and 9),
// 2 shock counter (191), 4 temperature (194). Only whole records that were read count.
constexpr uint32_t kSupportHibernate = 1, kSupportShock = 2, kSupportTemperature = 4, kSupportPowerOn = 8;
constexpr size_t kRecordSize = 10, kRecordReplyBytes = 310, kMaxRecords = 31;
uint32_t AttributeFlags(int32_t count, const uint8_t* records, size_t bytesRead);

// The device path of the pipe's reply: up to its terminator or the bytes read.
constexpr size_t kPathReplyBytes = 524;
std::u16string PathFromReply(const uint8_t* reply, size_t bytesRead);
// How the viewer's pipe is opened (CreateFileW's flags): overlapped, with a quality of service
// that lets the server identify the caller but not act as it (SECURITY_SQOS_PRESENT |
// SECURITY_IDENTIFICATION): whoever takes the pipe's name first cannot impersonate the user.
constexpr uint32_t kFileFlagOverlapped = 0x40000000u, kSecuritySqosPresent = 0x00100000u,
                   kSecurityIdentification = 1u << 16;
constexpr uint32_t kPipeOpenFlags = kFileFlagOverlapped | kSecuritySqosPresent | kSecurityIdentification;

// A local disk's device path, the only kind the library opens: "\\.\PhysicalDriveN" or a
// volume "\\.\C:" (also with "\\?\"). Anything else the pipe answers (a network path, a
// pipe, another device's namespace) may be a squatter's, and is never opened.
bool IsLocalDiskPath(const std::u16string& path);

// Thresholds of one model class after the viewer's overrides.
struct Thresholds {
  int32_t shockStep = 10, low = 0, high = 63, hours = 24;
  int shockSamples = 2, temperatureSamples = 2;
};

// What the rules read of the viewer: its REG_SZ and REG_DWORD values.
class IViewerValues {
 public:
  virtual ~IViewerValues() = default;
  virtual std::optional<std::u16string> String(const char16_t* name) = 0;
  virtual std::optional<uint32_t> Dword(const char16_t* name) = 0;
};

// Nothing for a class above 2.
std::optional<Thresholds> ThresholdsFor(int modelClass, IViewerValues& values);

// The rules over samples actually read, newest first. Fewer samples than a rule inspects:
// that rule does not fire.
bool ShockRule(const std::vector<Sample>& newestFirst, const Thresholds& t);
bool TemperatureRule(const std::vector<Sample>& newestFirst, const Thresholds& t);
bool PowerOnRule(const Sample& reference, const Sample& newest, const Thresholds& t);
// A hibernate-after setting of `seconds` (0 never) against the maker's default in minutes
// (0 never): fires when it is set and shorter than the default, or the default is never.
bool HibernateRule(uint32_t seconds, uint32_t defaultMinutes);

// The hibernate-after time of the older power policy: the idle timeout when idling
// hibernates; else the standby-to-hibernate delay plus the idle timeout, when that delay is set.
uint32_t PolicyHibernateSeconds(bool idleHibernates, uint32_t idleTimeout, uint32_t standbyToHibernate);

// The rest of the world the evaluation needs.
class IEvaluationPorts : public IViewerValues {
 public:
  virtual int64_t NowWallSeconds() = 0;
  virtual void Sleep(uint32_t ms) = 0;
  // Control 144. False when it could not be sent; `running` false when the service is stopped
  // (nothing to wait for then).
  virtual bool RequestSample(bool& running) = 0;
  virtual bool Report(uint32_t control) = 0;
  virtual bool DefaultHibernate(uint32_t& acMinutes, uint32_t& dcMinutes) = 0;
  // The active power scheme's hibernate-after time in seconds, on mains or on battery.
  virtual bool HibernateSeconds(bool onMains, uint32_t& seconds) = 0;
};

struct Evaluation {
  bool ok = false;     // the export's answer
  uint32_t found = 0;  // the events it hands out when ok
};
// The evaluation with its reports. Events found are reported in the order hibernate, shock,
// temperature, power-on and answered, also when a later step of the evaluation failed; a
// report the viewer refuses fails the whole answer. With nothing found, the answer is the
// evaluation's.
Evaluation Evaluate(int modelClass, uint32_t wanted, IEvaluationPorts& ports);

}  // namespace hdd

namespace hdd {
// A present PCI device whose instance id marks a notebook whose disk is not advised on.
bool IsExcludedDevice(const std::u16string& instanceId);
}  // namespace hdd
