// Repair records, their states, the scan, command splitting and the repair's outcomes.
#include <gtest/gtest.h>

#include <deque>
#include <set>

#include "common/core/text_case.h"
#include "modules/anomaly/anm_repair.h"
#include "modules/anomaly/anm_text_ids.h"
#include "tests/anomaly/anm_fakes.h"

using namespace anm;

namespace {
const std::u16string kUninstall = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
std::u16string Rec(const char16_t* sub) { return std::u16string(kRepairKey) + u"\\" + sub; }

void AddRecord(anmtest::Registry& reg, const char16_t* sub, const std::u16string& key) {
  reg.Sz(Rec(sub), u"Name", sub);
  reg.Sz(Rec(sub), u"InstallKey", key);
  reg.Sz(Rec(sub), u"InstallCmd", u"\"C:\\Repair\\setup.exe\" /s");
}

TEST(AnmRecords, FieldsAndTheirLimits) {
  anmtest::Registry reg;
  AddRecord(reg, u"A", u"HKEY_LOCAL_MACHINE\\" + kUninstall + u"A");
  reg.Sz(Rec(u"A"), u"InstallCmd", std::u16string(u"C:\\a.exe\0C:\\b.exe\0\0", 20), kRegMultiSz);
  reg.Dword(Rec(u"A"), u"InstallTime", 20000);
  AddRecord(reg, u"B", kUninstall + u"B");
  reg.Dword(Rec(u"B"), u"InstallTime", 30000);
  reg.Sz(Rec(u"B"), u"StartupKey", u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Run");
  reg.Sz(Rec(u"B"), u"StartupName", u"B");
  AddRecord(reg, u"C", kUninstall + u"C");
  reg.Dword(Rec(u"C"), u"InstallTime", 600000);
  reg.Sz(Rec(u"C"), u"StartupKey", u"SOFTWARE\\Run");
  reg.Sz(Rec(u"C"), u"StartupName", u"C");
  reg.Sz(Rec(u"C"), u"StartupData", u"C:\\c.exe");
  AddRecord(reg, u"D", kUninstall + u"D");
  reg.Dword(Rec(u"D"), u"InstallTime", 600001);
  AddRecord(reg, u"E", kUninstall + u"E");
  reg.keys[Rec(u"E")].erase(u"InstallCmd");
  AddRecord(reg, u"F", std::u16string(260, u'k'));
  AddRecord(reg, u"G", kUninstall + u"G");
  reg.keys[Rec(u"G")][u"Name"] = RegValue{3, std::u16string(u"bin\0", 4), 0};  // binary: not a string

  const std::vector<RepairRecord> r = LoadRecords(reg);
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0].name, u"A");
  EXPECT_EQ(r[0].installKey, kUninstall + u"A") << "the hive prefix goes";
  EXPECT_EQ(r[0].installCmds, (std::vector<std::u16string>{u"C:\\a.exe", u"C:\\b.exe"}));
  EXPECT_EQ(r[0].installMs, kDefaultInstallMs);
  EXPECT_EQ(r[1].installMs, 30000u);
  EXPECT_FALSE(r[1].hasStartup) << "start-up data missing";
  EXPECT_EQ(r[2].installMs, 600000u);
  EXPECT_TRUE(r[2].hasStartup);
  EXPECT_EQ(r[2].startupKey, u"SOFTWARE\\Run");
  EXPECT_EQ(r[3].installMs, kDefaultInstallMs);
  for (size_t i = 0; i < r.size(); ++i) EXPECT_EQ(r[i].id, i) << "ids count accepted records";
}

TEST(AnmRecords, StringListsStopAtTheEmptyStringAndTheLimit) {
  EXPECT_EQ(*StringList(RegValue{kRegMultiSz, std::u16string(u"a\0\0b\0\0", 6)}), std::vector<std::u16string>{u"a"});
  const std::u16string longList = std::u16string(2040, u'x') + std::u16string(1, u'\0') + u"yyyyyyyyyyyy";
  EXPECT_EQ(StringList(RegValue{kRegMultiSz, longList})->back(), u"yyyyyyy") << "2048 characters in all";
  EXPECT_EQ(*StringList(RegValue{kRegExpandSz, u"%TEMP%\\x"}), std::vector<std::u16string>{u"%TEMP%\\x"});
  EXPECT_FALSE(StringList(RegValue{4, u""}));
  EXPECT_EQ(StripHive(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\HKEY_LOCAL_MACHINE\\X"), u"SOFTWARE\\X");
}

TEST(AnmStatus, InstalledPendingMissing) {
  anmtest::Registry reg;
  RepairRecord r;
  r.name = u"Record";
  r.installKey = kUninstall + u"App";
  r.installFiles = {u"C:\\App\\app.exe"};
  EXPECT_EQ(InstallStatus(r, reg), kStatusMissing);
  reg.pending = {u"\\??\\C:\\App\\app.exe.new", u"!\\??\\C:\\App\\app.exe"};
  EXPECT_EQ(InstallStatus(r, reg), kStatusPending);
  reg.pending = {u"\\??\\c:\\APP\\App.exe.new"};
  EXPECT_EQ(InstallStatus(r, reg), kStatusPending) << "paths ignore case";
  reg.Sz(r.installKey, u"DisplayName", u"Velmorant <App>");
  EXPECT_EQ(InstallStatus(r, reg), kStatusInstalled);
  EXPECT_EQ(r.name, u"Velmorant <App>") << "the product's own name";

  RepairRecord empty;
  empty.installKey = StripHive(u"HKEY_LOCAL_MACHINE\\");
  reg.keys[u""];  // the hive itself always opens
  EXPECT_EQ(InstallStatus(empty, reg), kStatusMissing) << "an empty key never means installed";
  empty.installFiles = {u""};
  EXPECT_EQ(InstallStatus(empty, reg), kStatusMissing) << "an empty file name matches no pending entry";
}

TEST(AnmScan, CoreApplicationsFirstThenEveryRecord) {
  anmtest::Registry reg;
  const std::vector<std::u16string> core = {kUninstall + u"Core"};
  std::vector<RepairRecord> records(4);
  records[0].installKey = kUninstall + u"core";  // case ignored
  records[1].installKey = kUninstall + u"Plain";
  records[2].installKey = kUninstall + u"Started";
  records[2].hasStartup = true;
  records[2].startupKey = u"Run";
  records[2].startupName = u"S";
  records[2].startupData = u"C:\\S.exe";
  records[3].installKey = kUninstall + u"Pending";
  records[3].installFiles = {u"C:\\P\\p.exe"};
  reg.pending = {u"\\??\\C:\\P\\p.exe"};
  reg.Sz(kUninstall + u"Started", u"DisplayName", u"S");

  EXPECT_TRUE(Scan(records, reg, core));
  EXPECT_EQ(records[0].state, kNotInstalled);
  EXPECT_EQ(records[1].state, kNothing) << "a missing core application hides the others";
  EXPECT_EQ(records[2].state, kNothing);

  reg.Sz(kUninstall + u"core", u"DisplayName", u"Core");
  EXPECT_TRUE(Scan(records, reg, core));
  EXPECT_EQ(records[0].state, kNothing);
  EXPECT_EQ(records[1].state, kNotInstalled);
  EXPECT_EQ(records[2].state, kStartupMissing);
  EXPECT_EQ(records[3].state, kNothing) << "completes at the next restart";

  reg.Sz(u"Run", u"S", u"c:\\s.EXE");
  reg.Sz(kUninstall + u"Plain", u"DisplayName", u"P");
  EXPECT_FALSE(Scan(records, reg, core));
  EXPECT_EQ(records[2].state, kNothing) << "start-up data compared without case";
}

TEST(AnmCommands, Splitting) {
  const std::u16string longName = u"C:\\" + std::u16string(257, u'a');
  const struct {
    std::u16string line;
    SplitError error;
    std::u16string file, parameters;
  } cases[] = {
      {u"\"C:\\Program Files\\App\\setup.exe\" /s /v\"/qn REBOOT=1\"", SplitError::None,
       u"C:\\Program Files\\App\\setup.exe", u"/s /v\"/qn REBOOT=1\""},
      {u"  C:\\App\\setup.exe   -a  \"b c\"  ", SplitError::None, u"C:\\App\\setup.exe", u"-a  \"b c\""},
      {u"\\\\server\\share\\setup.exe", SplitError::None, u"\\\\server\\share\\setup.exe", u""},
      {u"C:\\Program Files\\App\\setup.exe", SplitError::None, u"C:\\Program", u"Files\\App\\setup.exe"},
      {u"setup.exe /s", SplitError::NotFullPath, u"setup.exe", u"/s"},
      {u"..\\setup.exe", SplitError::NotFullPath, u"..\\setup.exe", u""},
      {u"\\\\?\\C:\\x.exe", SplitError::NotFullPath, u"\\\\?\\C:\\x.exe", u""},
      {u"   ", SplitError::Empty, u"", u""},
      {u"\"\" /s", SplitError::Empty, u"", u"/s"},
      {longName + u" /s", SplitError::FileTooLong, longName, u"/s"},
      {u"C:\\x.exe " + std::u16string(260, u'p'), SplitError::ParametersTooLong, u"C:\\x.exe", std::u16string(260, u'p')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.line.begin(), c.line.end()));
    Command cmd;
    EXPECT_EQ(SplitCommand(c.line, cmd), c.error);
    EXPECT_EQ(cmd.file, c.file);
    EXPECT_EQ(cmd.parameters, c.parameters);
  }
  // The unquoted path with a blank is not searched for: "C:\Program" is not a program here.
  EXPECT_FALSE(IsSetupProgram(u"C:\\Program"));
  EXPECT_TRUE(IsSetupProgram(u"C:\\App\\SETUP.EXE"));
  EXPECT_TRUE(IsSetupProgram(u"setup"));
  EXPECT_FALSE(IsSetupProgram(u"C:\\setup.d\\install.exe"));
}

// The installer as the worker sees it: each started program's run time and the status after.
struct Installer : IInstallSystem {
  std::deque<uint32_t> runMs;  // per started program; above the wait: it does not end in time
  std::vector<std::u16string> started;
  std::vector<uint32_t> waits;
  std::set<std::u16string> files;
  uint32_t now = 1000;
  Status after = kStatusInstalled;
  bool startFails = false, writeOk = true, startupThere = false;
  std::vector<std::u16string> written;
  uint32_t pendingRun = 0;
  bool FileExists(const std::u16string& p) override { return files.count(p) != 0; }
  bool Start(const Command& c, uintptr_t& process) override {
    if (startFails) return false;
    started.push_back(c.file + u"|" + c.parameters);
    pendingRun = runMs.empty() ? 0 : runMs.front();
    if (!runMs.empty()) runMs.pop_front();
    process = started.size();
    return true;
  }
  bool Wait(uintptr_t, uint32_t ms) override {
    waits.push_back(ms);
    if (pendingRun > ms) {
      now += ms;
      return false;
    }
    now += pendingRun;
    return true;
  }
  void Close(uintptr_t) override {}
  uint32_t NowMs() override { return now; }
  std::u16string SystemFolder() override { return u"C:\\Windows\\system32"; }
  Status StatusOf(RepairRecord&) override { return after; }
  bool StartupInPlace(const RepairRecord&) override { return startupThere; }
  bool WriteStartup(const std::u16string& k, const std::u16string& n, const std::u16string& d) override {
    written.push_back(k + u"|" + n + u"|" + d);
    return writeOk;
  }
};

TEST(AnmInstall, OutcomesAndTheirTexts) {
  const struct {
    const char* what;
    std::vector<std::u16string> commands;
    bool setupThere;
    Status after;
    bool reboot;
    Outcome outcome;
    uint16_t text;
    bool success, restart;
  } cases[] = {
      {"installed", {u"C:\\R\\setup.exe /s"}, true, kStatusInstalled, false, Outcome::Installed, IDS_ANM_INSTALLED, true, false},
      {"installed, reboot", {u"C:\\R\\setup.exe"}, true, kStatusInstalled, true, Outcome::InstalledRestart,
       IDS_ANM_INSTALLED_RESTART, true, true},
      {"restart pending", {u"C:\\R\\setup.exe"}, true, kStatusPending, false, Outcome::RestartPending,
       IDS_ANM_INSTALLED_RESTART, true, true},
      {"failed", {u"C:\\R\\setup.exe"}, true, kStatusMissing, false, Outcome::Failed, IDS_ANM_INSTALL_FAILED, false, false},
      {"setup missing", {u"C:\\R\\setup.exe"}, false, kStatusMissing, false, Outcome::SetupMissing,
       IDS_ANM_SETUP_MISSING, false, false},
      {"bad command", {u"setup.exe"}, true, kStatusMissing, false, Outcome::BadCommand, IDS_ANM_BAD_COMMAND, false, false},
      {"bad command, yet installed", {u"setup.exe"}, true, kStatusInstalled, false, Outcome::Installed, IDS_ANM_INSTALLED,
       true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Installer sys;
    if (c.setupThere) sys.files.insert(u"C:\\R\\setup.exe");
    sys.after = c.after;
    RepairRecord r;
    r.installCmds = c.commands;
    r.reboot = c.reboot;
    const InstallResult result = Install(r, sys);
    EXPECT_EQ(result.outcome, c.outcome);
    const OutcomeText t = Describe(result.outcome);
    EXPECT_EQ(t.textId, c.text);
    EXPECT_EQ(t.success, c.success);
    EXPECT_EQ(t.offerRestart, c.restart);
    if (c.outcome == Outcome::SetupMissing) {
      EXPECT_EQ(result.path, u"C:\\R\\setup.exe");
      EXPECT_TRUE(sys.started.empty());
    }
  }
}

TEST(AnmInstall, TimeBudgetIsSharedAndATimeOutEndsTheRun) {
  Installer sys;
  sys.runMs = {50000, 5000};
  RepairRecord r;
  r.installMs = 60000;
  r.installCmds = {u"C:\\a.exe", u"C:\\b.exe", u"C:\\c.exe"};
  r.afterInstall = {u"C:\\after.exe /x", u"after.exe"};
  Install(r, sys);
  ASSERT_EQ(sys.waits.size(), 3u);
  EXPECT_EQ(sys.waits[1], 10000u) << "the second gets what the first left";
  EXPECT_EQ(sys.waits[2], 5000u);
  EXPECT_EQ(sys.started.back(), u"C:\\after.exe|/x") << "after-install commands stop at the first that cannot run";

  Installer slow;
  slow.runMs = {70000};
  slow.after = kStatusMissing;
  r.installCmds = {u"C:\\a.exe", u"C:\\b.exe"};
  const InstallResult result = Install(r, slow);
  EXPECT_EQ(result.outcome, Outcome::TimedOut);
  EXPECT_EQ(slow.started.size(), 1u);
  EXPECT_EQ(Describe(result.outcome).textId, IDS_ANM_INSTALL_TIMEOUT);
}

// The shell as ShellExecuteEx is documented: the default verb of a program runs it, and for
// one whose manifest asks for administrator rights the shell shows the consent prompt first
// (declined: the call fails with ERROR_CANCELLED); a package (.msi) opens with the Windows
// Installer from the system folder ("msiexec.exe" /i "%1"); SEE_MASK_NOCLOSEPROCESS gives the
// started process's handle. A missing file fails. An installer that runs installs.
struct DocumentedShell : IInstallSystem {
  std::set<std::u16string> files{u"C:\\Windows\\system32\\msiexec.exe"}, asksElevation;
  bool consents = true;
  std::vector<std::u16string> ran;  // the command lines that ran
  Status status = kStatusMissing;
  bool FileExists(const std::u16string& p) override { return files.count(p) != 0; }
  bool Start(const Command& c, uintptr_t& process) override {
    if (!files.count(c.file)) return false;
    std::u16string line = c.file + (c.parameters.empty() ? u"" : u" " + c.parameters);
    const size_t dot = c.file.find_last_of(u'.');
    if (dot != std::u16string::npos && text::EqualsNoCase(c.file.substr(dot), u".msi"))
      line = u"C:\\Windows\\system32\\msiexec.exe /i \"" + c.file + u"\"" + (c.parameters.empty() ? u"" : u" " + c.parameters);
    else if (asksElevation.count(c.file) && !consents)
      return false;
    ran.push_back(line);
    process = ran.size();
    return true;
  }
  bool Wait(uintptr_t, uint32_t) override {
    status = kStatusInstalled;
    return true;
  }
  void Close(uintptr_t) override {}
  uint32_t NowMs() override { return 0; }
  std::u16string SystemFolder() override { return u"C:\\Windows\\system32"; }
  Status StatusOf(RepairRecord&) override { return status; }
  bool StartupInPlace(const RepairRecord&) override { return true; }
  bool WriteStartup(const std::u16string&, const std::u16string&, const std::u16string&) override { return true; }
};

TEST(AnmInstall, InstallersStartThroughTheShell) {
  const struct {
    const char* what;
    std::u16string command;
    bool consents;
    Outcome outcome;
    std::u16string ran;
  } cases[] = {
      {"setup asking for elevation, consented", u"\"C:\\R\\setup.exe\" /s", true, Outcome::Installed,
       u"C:\\R\\setup.exe /s"},
      {"setup asking for elevation, declined", u"\"C:\\R\\setup.exe\" /s", false, Outcome::Failed, u""},
      {"Windows Installer command", u"msiexec /i \"C:\\R\\app.msi\" /qb", true, Outcome::Installed,
       u"C:\\Windows\\system32\\msiexec.exe /i \"C:\\R\\app.msi\" /qb"},
      {"Windows Installer by its file name", u"MsiExec.exe /x {8C1D5F2A-0000-4D2B-9D64-6B1E3C7B1A01} /qn", true,
       Outcome::Installed, u"C:\\Windows\\system32\\msiexec.exe /x {8C1D5F2A-0000-4D2B-9D64-6B1E3C7B1A01} /qn"},
      {"package", u"C:\\R\\app.msi", true, Outcome::Installed, u"C:\\Windows\\system32\\msiexec.exe /i \"C:\\R\\app.msi\""},
      {"other programs are still not searched", u"setup.exe /s", true, Outcome::BadCommand, u""},
      {"installer folder named", u"C:\\Tools\\msiexec.exe /i C:\\R\\app.msi", true, Outcome::Failed, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DocumentedShell shell;
    shell.files.insert(u"C:\\R\\setup.exe");
    shell.files.insert(u"C:\\R\\app.msi");
    shell.asksElevation.insert(u"C:\\R\\setup.exe");
    shell.consents = c.consents;
    RepairRecord r;
    r.installCmds = {c.command};
    EXPECT_EQ(Install(r, shell).outcome, c.outcome);
    EXPECT_EQ(shell.ran, c.ran.empty() ? std::vector<std::u16string>{} : std::vector<std::u16string>{c.ran});
  }
}

struct Ui : IRepairUi {
  bool answer = true;
  std::vector<std::string> log;
  bool Ask(uint16_t id, const std::u16string&) override {
    log.push_back("ask " + std::to_string(id));
    return answer;
  }
  void Tell(uint16_t id, const std::u16string&) override { log.push_back("tell " + std::to_string(id)); }
  void ProgressStart(const std::u16string&, uint32_t ms) override { log.push_back("start " + std::to_string(ms)); }
  void ProgressClose() override { log.push_back("close"); }
  void ProgressResult(const std::u16string&, const InstallResult& r) override {
    log.push_back("result " + std::to_string(static_cast<int>(r.outcome)));
  }
};

TEST(AnmWorker, QuestionsByStatus) {
  RepairRecord r;
  r.installCmds = {u"C:\\R\\setup.exe"};
  r.installMs = 30000;
  r.hasStartup = true;
  r.startupKey = u"SOFTWARE\\Run";
  r.startupName = u"App";
  r.startupData = u"C:\\App\\app.exe";
  r.afterStartup = {u"C:\\App\\app.exe /tray"};
  const std::string ask = "ask " + std::to_string(IDS_ANM_ASK_INSTALL);
  {
    Installer sys;
    sys.files.insert(u"C:\\R\\setup.exe");
    sys.after = kStatusMissing;
    Ui ui;
    RunRepair(r, sys, ui);
    EXPECT_EQ(ui.log, (std::vector<std::string>{"close", ask, "start 30000", "result 3"}));
  }
  {
    Installer sys;
    sys.after = kStatusMissing;
    Ui ui;
    ui.answer = false;
    RunRepair(r, sys, ui);
    EXPECT_EQ(ui.log, (std::vector<std::string>{"close", ask}));
    EXPECT_TRUE(sys.started.empty());
  }
  {
    Installer sys;
    Ui ui;
    RunRepair(r, sys, ui);
    EXPECT_EQ(ui.log, (std::vector<std::string>{"ask " + std::to_string(IDS_ANM_ASK_STARTUP),
                                                "tell " + std::to_string(IDS_ANM_STARTUP_DONE)}));
    EXPECT_EQ(sys.written, std::vector<std::u16string>{u"SOFTWARE\\Run|App|C:\\App\\app.exe"});
    EXPECT_EQ(sys.started, std::vector<std::u16string>{u"C:\\App\\app.exe|/tray"});
  }
  {
    Installer sys;
    sys.writeOk = false;
    Ui ui;
    RunRepair(r, sys, ui);
    EXPECT_EQ(ui.log.back(), "tell " + std::to_string(IDS_ANM_STARTUP_FAILED));
    EXPECT_TRUE(sys.started.empty());
  }
  {
    Installer sys;
    sys.startupThere = true;
    Ui ui;
    RunRepair(r, sys, ui);
    EXPECT_EQ(ui.log, std::vector<std::string>{"tell " + std::to_string(IDS_ANM_ALREADY_INSTALLED)});
  }
  {
    Installer sys;
    sys.after = kStatusPending;
    Ui ui;
    RunRepair(r, sys, ui);
    EXPECT_TRUE(ui.log.empty());
  }
}
}  // namespace
