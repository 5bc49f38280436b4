#include "modules/anomaly/anm_repair.h"

#include "common/core/text_case.h"
#include "modules/anomaly/anm_text_ids.h"

namespace anm {

const char16_t kRepairKey[] = u"SOFTWARE\\Velmorant\\Repair";

namespace {
bool Blank(char16_t c) { return c == u' ' || c == u'\t'; }

// The first text of a string value, within the field's limit.
std::optional<std::u16string> Field(IRepairRegistry& reg, const std::u16string& path, const char16_t* name) {
  const auto v = reg.Value(path, name);
  if (!v) return std::nullopt;
  const auto list = StringList(*v);
  if (!list || list->empty() || (*list)[0].size() > kMaxField) return std::nullopt;
  return (*list)[0];
}

std::vector<std::u16string> List(IRepairRegistry& reg, const std::u16string& path, const char16_t* name) {
  const auto v = reg.Value(path, name);
  std::optional<std::vector<std::u16string>> list;
  if (v) list = StringList(*v);
  return list ? *list : std::vector<std::u16string>();
}
}  // namespace

std::optional<std::vector<std::u16string>> StringList(const RegValue& v) {
  if (v.type != kRegSz && v.type != kRegExpandSz && v.type != kRegMultiSz) return std::nullopt;
  std::vector<std::u16string> out;
  const std::u16string data = v.data.substr(0, kMaxListChars);
  size_t at = 0;
  while (at < data.size()) {
    size_t end = data.find(u'\0', at);
    if (end == std::u16string::npos) end = data.size();
    if (end == at) break;  // the empty string ends the list
    out.push_back(data.substr(at, end - at));
    if (v.type != kRegMultiSz) break;
    at = end + 1;
  }
  if (out.empty() && v.type != kRegMultiSz) out.emplace_back();
  return out;
}

std::u16string StripHive(std::u16string key) {
  static const std::u16string kHive = u"HKEY_LOCAL_MACHINE\\";
  for (size_t at; (at = key.find(kHive)) != std::u16string::npos;) key.erase(at, kHive.size());
  return key;
}

std::optional<RepairRecord> ReadRecord(IRepairRegistry& reg, const std::u16string& path) {
  RepairRecord r;
  const auto name = Field(reg, path, u"Name");
  const auto key = Field(reg, path, u"InstallKey");
  r.installCmds = List(reg, path, u"InstallCmd");
  if (!name || !key || r.installCmds.empty()) return std::nullopt;
  r.name = *name;
  r.installKey = StripHive(*key);
  r.installFiles = List(reg, path, u"InstallFiles");
  r.afterInstall = List(reg, path, u"CmdAfterInstall");
  r.afterStartup = List(reg, path, u"CmdAfterStartup");
  const auto sKey = Field(reg, path, u"StartupKey"), sName = Field(reg, path, u"StartupName"),
             sData = Field(reg, path, u"StartupData");
  if (sKey && sName && sData) {
    r.hasStartup = true;
    r.startupKey = StripHive(*sKey);
    r.startupName = *sName;
    r.startupData = *sData;
  }
  if (const auto v = reg.Value(path, u"RequiredReboot"); v && v->type == 4) r.reboot = v->dword != 0;
  if (const auto v = reg.Value(path, u"InstallTime"); v && v->type == 4 && v->dword >= kMinInstallMs &&
                                                      v->dword <= kMaxInstallMs)
    r.installMs = v->dword;
  return r;
}

std::vector<RepairRecord> LoadRecords(IRepairRegistry& reg) {
  std::vector<RepairRecord> out;
  for (const std::u16string& sub : reg.SubKeys(kRepairKey)) {
    auto r = ReadRecord(reg, std::u16string(kRepairKey) + u"\\" + sub);
    if (!r) continue;
    r->id = static_cast<uint16_t>(out.size());
    out.push_back(std::move(*r));
  }
  return out;
}

Status InstallStatus(RepairRecord& r, IRepairRegistry& reg) {
  std::optional<std::u16string> display;
  // An empty key would open the hive itself: never a sign of an installed product.
  if (!r.installKey.empty() && reg.KeyExists(r.installKey, display)) {
    if (display && !display->empty()) r.name = display->substr(0, kMaxField);
    return kStatusInstalled;
  }
  const std::vector<std::u16string> pending = reg.PendingRenames();
  for (const std::u16string& file : r.installFiles)
    for (const std::u16string& entry : pending)
      if (!file.empty() && text::ContainsNoCase(entry, file)) return kStatusPending;  // paths ignore case
  return kStatusMissing;
}

bool StartupInPlace(const RepairRecord& r, IRepairRegistry& reg) {
  if (!r.hasStartup) return true;
  const auto value = reg.StartupValue(r.startupKey, r.startupName);
  return value && text::EqualsNoCase(*value, r.startupData);
}

const std::vector<std::u16string>& CoreApplications() {
  static const std::vector<std::u16string> core = {
      u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{8C1E3A52-5B0D-4E7A-9D61-2F4A7C0B1E01}",
      u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{8C1E3A52-5B0D-4E7A-9D61-2F4A7C0B1E01}",
      u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{8C1E3A52-5B0D-4E7A-9D61-2F4A7C0B1E02}",
      u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{8C1E3A52-5B0D-4E7A-9D61-2F4A7C0B1E02}",
      u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{8C1E3A52-5B0D-4E7A-9D61-2F4A7C0B1E03}",
      u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{8C1E3A52-5B0D-4E7A-9D61-2F4A7C0B1E04}",
  };
  return core;
}

bool Scan(std::vector<RepairRecord>& records, IRepairRegistry& reg, const std::vector<std::u16string>& core) {
  bool coreMissing = false;
  for (RepairRecord& r : records) {
    r.state = kNothing;
    bool isCore = false;
    for (const std::u16string& c : core) isCore = isCore || text::EqualsNoCase(r.installKey, c);
    if (isCore && InstallStatus(r, reg) == kStatusMissing) {
      r.state = kNotInstalled;
      coreMissing = true;
    }
  }
  if (coreMissing) return true;
  bool any = false;
  for (RepairRecord& r : records) {
    switch (InstallStatus(r, reg)) {
      case kStatusMissing: r.state = kNotInstalled; break;
      case kStatusInstalled: r.state = StartupInPlace(r, reg) ? kNothing : kStartupMissing; break;
      default: r.state = kNothing; break;
    }
    any = any || r.state != kNothing;
  }
  return any;
}

SplitError SplitCommand(const std::u16string& line, Command& out) {
  size_t at = 0;
  while (at < line.size() && Blank(line[at])) ++at;
  if (at == line.size()) return SplitError::Empty;
  size_t end;
  if (line[at] == u'"') {
    end = line.find(u'"', at + 1);
    out.file = line.substr(at + 1, end == std::u16string::npos ? std::u16string::npos : end - at - 1);
    end = end == std::u16string::npos ? line.size() : end + 1;
  } else {
    end = at;
    while (end < line.size() && !Blank(line[end])) ++end;
    out.file = line.substr(at, end - at);
  }
  size_t from = end, to = line.size();
  while (from < to && Blank(line[from])) ++from;
  while (to > from && Blank(line[to - 1])) --to;
  out.parameters = line.substr(from, to - from);
  if (out.file.empty()) return SplitError::Empty;
  if (out.file.size() > kMaxField) return SplitError::FileTooLong;
  if (out.parameters.size() > kMaxField) return SplitError::ParametersTooLong;
  const std::u16string& f = out.file;
  const bool drive = f.size() >= 3 && ((f[0] | 0x20) >= u'a' && (f[0] | 0x20) <= u'z') && f[1] == u':' && f[2] == u'\\';
  const bool unc = f.size() >= 3 && f[0] == u'\\' && f[1] == u'\\' && f[2] != u'\\' && f[2] != u'?' && f[2] != u'.';
  if (!drive && !unc) return SplitError::NotFullPath;
  return SplitError::None;
}

SplitError LaunchCommand(const std::u16string& line, const std::u16string& systemFolder, Command& out) {
  const SplitError e = SplitCommand(line, out);
  if (e != SplitError::NotFullPath || systemFolder.empty() ||
      !(text::EqualsNoCase(out.file, u"msiexec") || text::EqualsNoCase(out.file, u"msiexec.exe")))
    return e;
  out.file = systemFolder + u"\\msiexec.exe";
  return out.file.size() > kMaxField ? SplitError::FileTooLong : SplitError::None;
}

bool IsSetupProgram(const std::u16string& file) {
  const size_t slash = file.find_last_of(u"\\/");
  std::u16string base = file.substr(slash == std::u16string::npos ? 0 : slash + 1);
  const size_t dot = base.find_last_of(u'.');
  if (dot != std::u16string::npos) base.erase(dot);
  return text::EqualsNoCase(base, u"setup");
}

OutcomeText Describe(Outcome o) {
  switch (o) {
    case Outcome::Installed: return {IDS_ANM_INSTALLED, true, false};
    case Outcome::InstalledRestart:
    case Outcome::RestartPending: return {IDS_ANM_INSTALLED_RESTART, true, true};
    case Outcome::SetupMissing: return {IDS_ANM_SETUP_MISSING, false, false};
    case Outcome::TimedOut: return {IDS_ANM_INSTALL_TIMEOUT, false, false};
    case Outcome::BadCommand: return {IDS_ANM_BAD_COMMAND, false, false};
    default: return {IDS_ANM_INSTALL_FAILED, false, false};
  }
}

namespace {
// Runs a list without waiting; stops at the first that cannot run.
void RunAll(const std::vector<std::u16string>& commands, IInstallSystem& sys) {
  for (const std::u16string& line : commands) {
    Command c;
    uintptr_t process = 0;
    if (LaunchCommand(line, sys.SystemFolder(), c) != SplitError::None || !sys.Start(c, process)) return;
    if (process) sys.Close(process);
  }
}
}  // namespace

InstallResult Install(RepairRecord& r, IInstallSystem& sys) {
  InstallResult result;
  uint32_t remaining = r.installMs;
  bool timedOut = false, badCommand = false;
  for (const std::u16string& line : r.installCmds) {
    Command c;
    if (LaunchCommand(line, sys.SystemFolder(), c) != SplitError::None) {
      badCommand = true;
      break;
    }
    if (IsSetupProgram(c.file) && !sys.FileExists(c.file)) {
      result.outcome = Outcome::SetupMissing;
      result.path = c.file;
      return result;
    }
    uintptr_t process = 0;
    if (!sys.Start(c, process)) break;
    if (!process) continue;
    const uint32_t start = sys.NowMs();
    const bool ended = sys.Wait(process, remaining);
    sys.Close(process);
    if (!ended) {
      timedOut = true;
      break;
    }
    const uint32_t now = sys.NowMs();
    if (now >= start) {
      const uint32_t spent = now - start;
      if (spent >= remaining) break;
      remaining -= spent;
    }
  }
  switch (sys.StatusOf(r)) {
    case kStatusInstalled:
      RunAll(r.afterInstall, sys);
      result.outcome = r.reboot ? Outcome::InstalledRestart : Outcome::Installed;
      break;
    case kStatusPending: result.outcome = Outcome::RestartPending; break;
    default:
      result.outcome = badCommand ? Outcome::BadCommand : timedOut ? Outcome::TimedOut : Outcome::Failed;
      break;
  }
  return result;
}

bool RegisterStartup(const RepairRecord& r, IInstallSystem& sys) {
  if (!r.hasStartup) return true;
  if (r.startupKey.size() + r.startupName.size() > kMaxField || r.startupData.empty()) return false;
  if (!sys.WriteStartup(r.startupKey, r.startupName, r.startupData)) return false;
  RunAll(r.afterStartup, sys);
  return true;
}

void RunRepair(RepairRecord record, IInstallSystem& sys, IRepairUi& ui) {
  switch (sys.StatusOf(record)) {
    case kStatusMissing:
      ui.ProgressClose();
      if (ui.Ask(IDS_ANM_ASK_INSTALL, record.name)) {
        ui.ProgressStart(record.name, record.installMs);
        ui.ProgressResult(record.name, Install(record, sys));
      }
      break;
    case kStatusInstalled:
      if (record.hasStartup && !sys.StartupInPlace(record)) {
        if (ui.Ask(IDS_ANM_ASK_STARTUP, record.name))
          ui.Tell(RegisterStartup(record, sys) ? IDS_ANM_STARTUP_DONE : IDS_ANM_STARTUP_FAILED, record.name);
      } else {
        ui.Tell(IDS_ANM_ALREADY_INSTALLED, record.name);
      }
      break;
    default: break;
  }
}

}  // namespace anm
