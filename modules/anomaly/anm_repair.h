// Repair of the maker's applications: the records under HKLM "SOFTWARE\Velmorant\Repair",
// how an application's state is judged, which records a check offers, how an install command
// is split, and the reinstall and start-up registration that the worker thread runs.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace anm {

constexpr uint32_t kRegSz = 1, kRegExpandSz = 2, kRegMultiSz = 7;
constexpr size_t kMaxField = 259;          // characters of a name, key or start-up field
constexpr size_t kMaxListChars = 2048;     // characters of a string list taken
constexpr uint32_t kDefaultInstallMs = 180000, kMinInstallMs = 30000, kMaxInstallMs = 600000;
extern const char16_t kRepairKey[];

enum State : uint16_t { kNothing = 0, kStartupMissing = 1, kNotInstalled = 2 };
enum Status { kStatusMissing = 0, kStatusInstalled = 1, kStatusPending = 2 };

struct RepairRecord {
  uint16_t id = 0;
  uint16_t state = kNothing;
  std::u16string name, installKey;
  std::vector<std::u16string> installCmds, installFiles, afterInstall, afterStartup;
  bool hasStartup = false;
  std::u16string startupKey, startupName, startupData;
  bool reboot = false;
  uint32_t installMs = kDefaultInstallMs;
};

// A registry value as stored: its type and its data as UTF-16 units (a DWORD in `dword`).
struct RegValue {
  uint32_t type = 0;
  std::u16string data;
  uint32_t dword = 0;
};

// HKLM as the records are read and judged.
class IRepairRegistry {
 public:
  virtual ~IRepairRegistry() = default;
  virtual std::vector<std::u16string> SubKeys(const std::u16string& path) = 0;
  virtual std::optional<RegValue> Value(const std::u16string& path, const char16_t* name) = 0;
  // The key opened for reading in the process's view or the 64-bit one; its "DisplayName".
  virtual bool KeyExists(const std::u16string& path, std::optional<std::u16string>& displayName) = 0;
  virtual std::vector<std::u16string> PendingRenames() = 0;  // the entries of the list
  virtual std::optional<std::u16string> StartupValue(const std::u16string& key, const std::u16string& name) = 0;
};

// The texts of a string value: one for REG_SZ and REG_EXPAND_SZ, the list for REG_MULTI_SZ,
// at most kMaxListChars characters in all; nothing for other types.
std::optional<std::vector<std::u16string>> StringList(const RegValue& v);
// Removes every "HKEY_LOCAL_MACHINE\".
std::u16string StripHive(std::u16string key);

// One record from its key's values; nothing when a required value is missing or a field is
// longer than it may be.
std::optional<RepairRecord> ReadRecord(IRepairRegistry& reg, const std::u16string& path);
std::vector<RepairRecord> LoadRecords(IRepairRegistry& reg);

// Installed, pending (completes at the next restart) or missing; an installed record takes
// the product's display name.
Status InstallStatus(RepairRecord& r, IRepairRegistry& reg);
bool StartupInPlace(const RepairRecord& r, IRepairRegistry& reg);

// The uninstall keys of the maker's core applications.
const std::vector<std::u16string>& CoreApplications();
// Sets every record's state; true when something needs repair.
bool Scan(std::vector<RepairRecord>& records, IRepairRegistry& reg,
          const std::vector<std::u16string>& core = CoreApplications());

// ---- commands ----
struct Command {
  std::u16string file, parameters;
};
enum class SplitError { None, Empty, FileTooLong, ParametersTooLong, NotFullPath };
// The program (first argument, as the command-line parser takes it) and the rest of the line
// as written, so quoting is kept. The program has to be a full path: nothing is searched.
SplitError SplitCommand(const std::u16string& line, Command& out);
// A command as the shell is to start it: SplitCommand's, where the Windows Installer may be
// named without its folder ("msiexec", "msiexec.exe"): it is taken from the system folder.
SplitError LaunchCommand(const std::u16string& line, const std::u16string& systemFolder, Command& out);
bool IsSetupProgram(const std::u16string& file);

// ---- the repair ----
enum class Outcome { Installed, InstalledRestart, RestartPending, Failed, SetupMissing, TimedOut, BadCommand };
struct OutcomeText {
  uint16_t textId;
  bool success;
  bool offerRestart;  // the progress dialog's "Restart Now" / "Restart Later"
};
OutcomeText Describe(Outcome o);

class IInstallSystem {
 public:
  virtual ~IInstallSystem() = default;
  virtual bool FileExists(const std::u16string& path) = 0;
  // Starts it through the shell with the default verb: a program that asks for elevation gets
  // the consent prompt, a package (.msi) opens with the Windows Installer. `process` is 0 when
  // the shell gives nothing to wait for.
  virtual bool Start(const Command& c, uintptr_t& process) = 0;
  virtual bool Wait(uintptr_t process, uint32_t ms) = 0;  // true: it ended
  virtual void Close(uintptr_t process) = 0;
  virtual uint32_t NowMs() = 0;
  virtual std::u16string SystemFolder() = 0;  // without a trailing separator
  virtual Status StatusOf(RepairRecord& r) = 0;
  virtual bool StartupInPlace(const RepairRecord& r) = 0;
  // The start-up value written with the driver's rights.
  virtual bool WriteStartup(const std::u16string& key, const std::u16string& name, const std::u16string& data) = 0;
};

struct InstallResult {
  Outcome outcome = Outcome::Failed;
  std::u16string path;  // the missing setup program
};
InstallResult Install(RepairRecord& r, IInstallSystem& sys);
bool RegisterStartup(const RepairRecord& r, IInstallSystem& sys);

// What the worker shows; message boxes on the worker's thread, the progress dialog through
// posted messages that carry their own copies.
class IRepairUi {
 public:
  virtual ~IRepairUi() = default;
  virtual bool Ask(uint16_t textId, const std::u16string& name) = 0;
  virtual void Tell(uint16_t textId, const std::u16string& name) = 0;
  virtual void ProgressStart(const std::u16string& name, uint32_t ms) = 0;
  virtual void ProgressClose() = 0;
  virtual void ProgressResult(const std::u16string& name, const InstallResult& result) = 0;
};

// The worker's questions and the repair itself, on its own copy of the record.
void RunRepair(RepairRecord record, IInstallSystem& sys, IRepairUi& ui);

}  // namespace anm
