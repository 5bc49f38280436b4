// The download-and-install run against fakes of the dialog, the network and the machine:
// row states, the bytes the bar gets, what is deleted, extracted and run, and cancels.
#include "modules/web/update_engine.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "modules/web/web_update.h"

namespace web {
namespace {

std::string Narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }

// The dialog: a log of states and steps, the bytes per row.
struct Report : IEngineReport {
  int AddRow(FeedItem& e, int state) override {
    log += "row" + std::to_string(rows) + "=" + std::to_string(state) + " ";
    entries.push_back(&e);
    return rows++;
  }
  void Init() override { log += "init "; }
  void Progress(uint64_t bytes, int row) override { bytes_[row] += bytes; }
  void SetState(int row, int state) override { log += std::to_string(row) + ":" + std::to_string(state) + " "; }
  void DownloadsDone() override { log += "downloaded "; }
  void InstallBegin(int installs) override {
    log += "install" + std::to_string(installs) + " ";
    stepsExpected = 2 * installs;
  }
  void InstallStep(int steps) override { stepsDone += steps; }
  void Finished() override { log += "finished"; }
  uint64_t Bytes(int row) { return bytes_[row]; }

  std::string log;
  int rows = 0, stepsExpected = 0, stepsDone = 0;
  std::vector<FeedItem*> entries;
  std::map<int, uint64_t> bytes_;
};

// The network and disk. A remote file is served in blocks of 100 bytes; `cut` of them are
// never sent (a cut-short answer the fetcher still takes as whole).
struct Remote {
  uint32_t size = 0;
  bool found = true;
  uint32_t cut = 0;
};

struct Machine : IUpdateMachine {
  bool Fetch(const std::u16string& url, const std::u16string& path,
             const std::function<bool(uint64_t)>& received) override {
    log += "fetch " + Narrow(url) + " ";
    const auto r = remote.find(url);
    if (r == remote.end() || !r->second.found) return false;
    const uint32_t sent = r->second.size - r->second.cut;
    for (uint32_t at = 100;; at += 100) {
      const uint32_t now = at < sent ? at : sent;
      if (!received(now)) return false;
      if (cancelOnBlockOf == url) cancelled = true;
      if (now == sent) break;
    }
    files[path] = sent;
    return true;
  }
  std::optional<uint64_t> FileSize(const std::u16string& path) override {
    const auto f = files.find(path);
    if (f == files.end()) return std::nullopt;
    return f->second;
  }
  void Delete(const std::u16string& path) override {
    files.erase(path);
    log += "delete " + Narrow(path) + " ";
  }
  bool Verify(const std::u16string& package) override { return files.count(package) && !foreign.count(package); }
  bool Extract(const std::u16string& package) override {
    log += "extract " + Narrow(package) + " ";
    return extractWorks;
  }
  void PauseHost(bool paused) override { log += paused ? "pause " : "resume "; }
  bool Cancelled() override { return cancelled; }

  std::map<std::u16string, Remote> remote;
  std::map<std::u16string, uint64_t> files;
  std::set<std::u16string> foreign;
  std::u16string cancelOnBlockOf;
  bool extractWorks = true, cancelled = false;
  std::string log;
};

struct Installer : IInstallPort {
  bool UninstallKeyExists(const std::u16string&) override { return false; }
  bool RunAndWait(const std::u16string& line, uint32_t& exitCode) override {
    log += "run " + Narrow(line) + " ";
    exitCode = exit;
    return true;
  }
  bool Start(const std::u16string&) override { return false; }
  bool CopyUpdater(std::u16string&) override { return false; }
  bool IsAdministrator() override { return true; }
  bool PostHandOff() override { return false; }
  bool Pause() override { return false; }
  void CloseHost() override {}
  uint32_t exit = 0;
  std::string log;
};

// An entry of one package in its own folder "C:\V\<n>", to download and install.
FeedItem Entry(int n, uint32_t size, const char16_t* script = u"INST#x#'setup.exe' -s;") {
  const std::u16string name = std::u16string(1, char16_t(u'0' + n));
  FeedItem e;
  e.title = u"update " + name;
  e.downloads.push_back({u"http://s/" + name, u"C:\\V\\" + name + u"\\p.exe", size, 0, false});
  e.installScript = std::u16string(script);
  e.autoInstall = e.downloadChecked = e.installChecked = true;
  return e;
}

TEST(UpdateEngine, OneEntryFromDownloadToItsOutcome) {
  const struct {
    const char* name;
    Remote remote;
    const char16_t* script;
    bool foreign, extractWorks;
    uint32_t exit;
    const char* log;      // the dialog's
    const char* machine;  // fetches, deletions, extractions
    const char* run;
    bool installed, kept, reboot;
  } cases[] = {
      {"installed", {250}, u"INST#x#'setup.exe' -s;", false, true, 0,
       "row0=0 init 0:1 0:4 downloaded install1 0:8 0:5 0:6 finished",
       "fetch http://s/1 pause extract C:\\V\\1\\p.exe delete C:\\V\\1\\p.exe resume ",
       "run \"C:\\V\\1\\setup.exe\" -s ", true, false, false},
      {"restart wanted", {250}, u"INST#x#setup.exe -restart;", false, true, 3010,
       "row0=0 init 0:1 0:4 downloaded install1 0:8 0:5 0:6 finished",
       "fetch http://s/1 pause extract C:\\V\\1\\p.exe delete C:\\V\\1\\p.exe resume ",
       "run \"C:\\V\\1\\setup.exe\" -restart ", true, false, true},
      {"cut short", {250, true, 120}, u"INST#x#'setup.exe' -s;", false, true, 0,
       "row0=0 init 0:1 0:3 downloaded finished", "fetch http://s/1 delete C:\\V\\1\\p.exe ", "", false, false, false},
      {"not found", {250, false}, u"INST#x#'setup.exe' -s;", false, true, 0,
       "row0=0 init 0:1 0:3 downloaded finished", "fetch http://s/1 delete C:\\V\\1\\p.exe ", "", false, false, false},
      {"not the maker's", {250}, u"INST#x#'setup.exe' -s;", true, true, 0,
       "row0=0 init 0:1 0:9 downloaded finished", "fetch http://s/1 delete C:\\V\\1\\p.exe ", "", false, false, false},
      {"extraction fails", {250}, u"INST#x#'setup.exe' -s;", false, false, 0,
       "row0=0 init 0:1 0:4 downloaded install1 0:8 0:7 finished", "fetch http://s/1 pause extract C:\\V\\1\\p.exe resume ",
       "", false, true, false},
      {"installer fails", {250}, u"INST#x#'setup.exe' -s;", false, true, 1603,
       "row0=0 init 0:1 0:4 downloaded install1 0:8 0:5 0:7 finished",
       "fetch http://s/1 pause extract C:\\V\\1\\p.exe resume ", "run \"C:\\V\\1\\setup.exe\" -s ", false, true, false},
      {"no second #", {250}, u"INST#x;", false, true, 0, "row0=0 init 0:1 0:4 downloaded install1 0:7 finished",
       "fetch http://s/1 pause resume ", "", false, true, false},
      {"no step at all", {250}, u"# nothing\n", false, true, 0, "row0=0 init 0:1 0:4 downloaded install1 0:7 finished",
       "fetch http://s/1 pause resume ", "", false, true, false},
  };
  for (const auto& c : cases) {
    std::vector<FeedItem> entries = {Entry(1, 250, c.script)};
    Report report;
    Machine machine;
    machine.remote[u"http://s/1"] = c.remote;
    if (c.foreign) machine.foreign.insert(u"C:\\V\\1\\p.exe");
    machine.extractWorks = c.extractWorks;
    Installer installer;
    installer.exit = c.exit;
    RunUpdates(entries, report, machine, installer);
    EXPECT_EQ(report.log, c.log) << c.name;
    EXPECT_EQ(machine.log, c.machine) << c.name;
    EXPECT_EQ(installer.log, c.run) << c.name;
    EXPECT_EQ(entries[0].installed, c.installed) << c.name;
    EXPECT_EQ(machine.files.count(u"C:\\V\\1\\p.exe") == 1, c.kept) << c.name << ": the package kept for a retry";
    EXPECT_EQ(entries[0].rebootRequired, c.reboot) << c.name;
    EXPECT_EQ(report.Bytes(0), 250u) << c.name << ": the bar reaches its end";
    EXPECT_EQ(report.stepsDone, report.stepsExpected) << c.name;
  }
}

// A download named by anything but an HTTP(S) address is never fetched: a "file:" link to a
// share would log on to it with the user's credentials.
TEST(UpdateEngine, OnlyTheNetworkNamesADownload) {
  for (const char16_t* url : {u"file:\\\\host\\share\\p.exe", u"file:///C:/V/p.exe", u"\\\\host\\share\\p.exe"}) {
    std::vector<FeedItem> entries = {Entry(1, 250)};
    entries[0].downloads[0].url = url;
    Report report;
    Machine machine;
    machine.remote[url] = {250};
    Installer installer;
    RunUpdates(entries, report, machine, installer);
    EXPECT_EQ(report.log, "row0=0 init 0:1 0:3 downloaded finished");
    EXPECT_EQ(machine.log.find("fetch"), std::string::npos) << machine.log;
    EXPECT_EQ(installer.log, "");
  }
}
TEST(UpdateEngine, CancelDuringTheSecondOfThreeDownloads) {
  std::vector<FeedItem> entries = {Entry(1, 250), Entry(2, 250), Entry(3, 250), Entry(4, 300)};
  // The fourth is install-only, its package already there: the install phase is still entered.
  entries[3].downloadChecked = false;
  entries[3].downloads[0].done = true;
  Report report;
  Machine machine;
  for (const char16_t* n : {u"1", u"2", u"3"}) machine.remote[u"http://s/" + std::u16string(n)] = {250};
  machine.files[u"C:\\V\\4\\p.exe"] = 300;
  machine.cancelOnBlockOf = u"http://s/2";
  Installer installer;
  RunUpdates(entries, report, machine, installer);
  EXPECT_EQ(report.log,
            "row0=0 row1=0 row2=0 row3=4 init 0:1 0:4 1:1 1:3 2:1 2:3 downloaded install2 finished");
  EXPECT_EQ(machine.log,
            "fetch http://s/1 fetch http://s/2 delete C:\\V\\2\\p.exe fetch http://s/3 delete C:\\V\\3\\p.exe pause resume ");
  EXPECT_EQ(installer.log, "");
  for (int row = 0; row < 3; ++row) EXPECT_EQ(report.Bytes(row), 250u) << row;
  EXPECT_EQ(report.Bytes(3), 0u);
  for (const FeedItem& e : entries) EXPECT_FALSE(e.installed);
}

TEST(UpdateEngine, OnlyInstallsSkipTheDownloadsAndRefuseAPlantedFile) {
  std::vector<FeedItem> entries = {Entry(1, 250), Entry(2, 250), Entry(3, 100)};
  for (FeedItem& e : entries) {
    e.downloadChecked = false;
    e.downloads[0].done = true;
    e.downloads[0].present = e.downloads[0].expectedSize;
  }
  entries[2].installChecked = false;  // neither box: no row
  Report report;
  Machine machine;
  machine.files[u"C:\\V\\1\\p.exe"] = 250;
  machine.files[u"C:\\V\\2\\p.exe"] = 250;  // right size, but planted
  machine.foreign.insert(u"C:\\V\\2\\p.exe");
  Installer installer;
  RunUpdates(entries, report, machine, installer);
  EXPECT_EQ(report.log, "row0=4 row1=4 init downloaded install2 0:8 0:5 0:6 1:9 finished");
  EXPECT_EQ(machine.log,
            "pause extract C:\\V\\1\\p.exe delete C:\\V\\1\\p.exe delete C:\\V\\2\\p.exe resume ");
  EXPECT_EQ(installer.log, "run \"C:\\V\\1\\setup.exe\" -s ");
  EXPECT_EQ(report.stepsDone, 4);
  EXPECT_TRUE(entries[0].installed);
  EXPECT_FALSE(entries[1].installed);
}

TEST(UpdateEngine, AFailedDownloadTakesNoPartInTheInstallsAndItsManualBytesStillCount) {
  std::vector<FeedItem> entries = {Entry(1, 250), Entry(2, 150)};
  entries[0].downloads.push_back({u"http://s/m", u"C:\\V\\1\\m.pdf", 400, 0, false});
  Report report;
  Machine machine;
  machine.remote[u"http://s/1"] = {250, false};  // 404: the manual is not even fetched
  machine.remote[u"http://s/2"] = {150};
  Installer installer;
  RunUpdates(entries, report, machine, installer);
  EXPECT_EQ(report.log, "row0=0 row1=0 init 0:1 0:3 1:1 1:4 downloaded install1 1:8 1:5 1:6 finished");
  EXPECT_EQ(report.Bytes(0), 650u);
  EXPECT_EQ(report.Bytes(1), 150u);
  EXPECT_EQ(installer.log, "run \"C:\\V\\2\\setup.exe\" -s ");
  EXPECT_EQ(report.stepsDone, 2);
}

}  // namespace
}  // namespace web
