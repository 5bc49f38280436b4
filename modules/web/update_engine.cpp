#include "modules/web/update_engine.h"

#include "common/core/http_fetch_rules.h"
#include "modules/web/web_catalogue.h"
#include "modules/web/web_update.h"

namespace web {
namespace {

struct Row {
  FeedItem* entry;
  int index;
  bool failed = false;
};

// Downloads one row's missing files. Every missing byte is reported once, the ones never
// received included, so that the bar reaches its end whatever happens.
bool DownloadRow(Row& row, IEngineReport& report, IUpdateMachine& machine) {
  const uint64_t missing = MissingSize(*row.entry);
  uint64_t reported = 0;
  bool ok = true;
  for (DownloadFile& file : row.entry->downloads) {
    if (!ok) break;
    if (file.done) continue;
    uint64_t fileReported = 0;
    const auto received = [&](uint64_t total) {
      const uint64_t capped = total < file.expectedSize ? total : file.expectedSize;
      if (capped > fileReported) {
        report.Progress(capped - fileReported, row.index);
        reported += capped - fileReported;
        fileReported = capped;
      }
      return !machine.Cancelled();
    };
    // Only the network names a download: a "file:" link could reach any share as the user.
    const bool fetched = http::IsWebUrl(file.url) && machine.Fetch(file.url, file.localPath, received);
    if (!fetched || machine.FileSize(file.localPath) != std::optional<uint64_t>(file.expectedSize)) {
      machine.Delete(file.localPath);
      ok = false;
      break;
    }
    if (fileReported < file.expectedSize) {
      report.Progress(file.expectedSize - fileReported, row.index);
      reported += file.expectedSize - fileReported;
    }
    file.done = true;
    file.present = file.expectedSize;
  }
  if (reported < missing) report.Progress(missing - reported, row.index);
  return ok;
}

// The package leaves the folder, and its entry counts it as not downloaded.
void DropPackage(DownloadFile& package, IUpdateMachine& machine) {
  machine.Delete(package.localPath);
  package.done = false;
  package.present = 0;
}

// A package that is not the maker's is deleted before anything of it can run.
bool PackageTrusted(FeedItem& entry, IUpdateMachine& machine) {
  if (entry.downloads.empty()) return false;
  if (machine.Verify(entry.downloads[0].localPath)) return true;
  DropPackage(entry.downloads[0], machine);
  return false;
}

// One entry of the install phase; reports its two steps whatever happens.
void InstallEntry(Row& row, IEngineReport& report, IUpdateMachine& machine, IInstallPort& installer) {
  FeedItem& e = *row.entry;
  const auto fail = [&](int state) {
    report.SetState(row.index, state);
    report.InstallStep(2);
  };
  const auto steps = ParseInstallScript(e.installScript.value_or(u""));
  if (!steps || e.downloads.empty()) return fail(kInstallFailed);
  if (!PackageTrusted(e, machine)) return fail(kVerifyFailed);
  DownloadFile& package = e.downloads[0];
  report.SetState(row.index, kExtracting);
  if (!machine.Extract(package.localPath)) return fail(kInstallFailed);
  if (machine.Cancelled()) return;
  report.SetState(row.index, kInstalling);
  report.InstallStep(1);
  const ScriptResult result = RunInstallScript(*steps, PackageFolder(package.localPath), installer);
  if (result.ok) {
    e.installed = true;
    if (result.restartNeeded) e.rebootRequired = true;
    DropPackage(package, machine);
  }
  report.SetState(row.index, result.ok ? kInstalled : kInstallFailed);
  report.InstallStep(1);
}
}  // namespace

std::u16string PackageFolder(const std::u16string& package) {
  const size_t slash = package.find_last_of(u'\\');
  return slash == std::u16string::npos ? std::u16string() : package.substr(0, slash);
}

void RunUpdates(std::vector<FeedItem>& entries, IEngineReport& report, IUpdateMachine& machine, IInstallPort& installer) {
  std::vector<Row> rows;
  for (FeedItem& e : entries) {
    const bool download = e.downloadChecked && !e.downloads.empty();
    if (!download && !e.installChecked) continue;
    const int index = report.AddRow(e, download ? kWaitingDownload : kWaitingInstall);
    if (index >= 0) rows.push_back(Row{&e, index});
  }
  report.Init();

  for (Row& row : rows) {
    FeedItem& e = *row.entry;
    if (!e.downloadChecked || e.downloads.empty()) continue;
    report.SetState(row.index, kDownloading);
    if (!DownloadRow(row, report, machine)) {
      row.failed = true;
      report.SetState(row.index, kDownloadFailed);
      continue;
    }
    // Checked at once, so that a package that is not the maker's never stays in the folder.
    if (!PackageTrusted(e, machine)) {
      row.failed = true;
      report.SetState(row.index, kVerifyFailed);
      continue;
    }
    report.SetState(row.index, e.installChecked ? kWaitingInstall : kDownloaded);
  }
  report.DownloadsDone();

  int installs = 0;
  for (const Row& row : rows) installs += row.entry->installChecked && row.entry->autoInstall && !row.failed;
  if (installs > 0) {
    machine.PauseHost(true);
    report.InstallBegin(installs);
    for (Row& row : rows) {
      if (!row.entry->installChecked || !row.entry->autoInstall || row.failed) continue;
      if (machine.Cancelled()) break;
      InstallEntry(row, report, machine, installer);
    }
    machine.PauseHost(false);
  }
  report.Finished();
}

}  // namespace web
