// The download and install run of the update manager: one row per selected entry, the
// downloads with their size and signature checks, then for each entry to install its
// package's extraction and its install script. The windows, the network and the machine
// are ports, so that the whole sequence runs in native tests.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "modules/web/update_script.h"
#include "modules/web/web_feed.h"

namespace web {

// The progress dialog, told what happens (the WM_DL_* messages).
class IEngineReport {
 public:
  virtual ~IEngineReport() = default;
  // The row's index; negative when the entry has no row.
  virtual int AddRow(FeedItem& entry, int state) = 0;
  virtual void Init() = 0;
  virtual void Progress(uint64_t bytes, int row) = 0;
  virtual void SetState(int row, int state) = 0;
  virtual void DownloadsDone() = 0;
  // `installs`: the entries the install phase will take; each one makes two steps.
  virtual void InstallBegin(int installs) = 0;
  virtual void InstallStep(int steps) = 0;
  virtual void Finished() = 0;
};

// The network, the disk and the host the run works on.
class IUpdateMachine {
 public:
  virtual ~IUpdateMachine() = default;
  // Fetches `url` into `path`; `received` gets the bytes received so far after each block
  // and answers false to abort. True when the whole answer is at `path`.
  virtual bool Fetch(const std::u16string& url, const std::u16string& path,
                     const std::function<bool(uint64_t received)>& received) = 0;
  virtual std::optional<uint64_t> FileSize(const std::u16string& path) = 0;
  virtual void Delete(const std::u16string& path) = 0;
  // True only for a program whose valid signature is the maker's.
  virtual bool Verify(const std::u16string& package) = 0;
  // Runs the package's extractor ("-silent"); true only when it ended with success.
  virtual bool Extract(const std::u16string& package) = 0;
  // WM_HOST_PAUSE to the host window: its own checks stop while installers run.
  virtual void PauseHost(bool paused) = 0;
  virtual bool Cancelled() = 0;
};

// Runs the whole sequence over `entries` (those ticked for download or install); the last
// call to the report is Finished. Sets `installed` of each entry installed; an installer that
// asks for a restart sets `rebootRequired`.
void RunUpdates(std::vector<FeedItem>& entries, IEngineReport& report, IUpdateMachine& machine, IInstallPort& installer);

// The folder of a package (its path up to the last "\"); empty when it has none.
std::u16string PackageFolder(const std::u16string& package);

}  // namespace web
