// The update manager's licence and progress dialogs (templates 141 and 140). The progress
// dialog runs a worker on its own thread (the download engine, or a test's) and follows it
// through the WM_DL_* messages.
#pragma once
#include <windows.h>

#include <vector>

#include "modules/web/web_update.h"

namespace web {

// What a worker gets: the dialog to report to, the cancel event (manual reset) and the entries.
struct ProgressWork {
  HWND dialog = nullptr;
  HANDLE cancel = nullptr;
  std::vector<FeedItem>* entries = nullptr;
  void* context = nullptr;
};
using ProgressWorker = void (*)(ProgressWork& work);
// Restarts Windows; true when the restart is under way.
using RestartPort = bool (*)();

// The licence for the entries ticked for install: true when accepted (at once when none is).
bool AcceptLicence(HWND owner, const std::vector<FeedItem>& entries);

// Runs the progress dialog: 0 done, -1 cancelled, -2 the worker could not start, -255 Windows
// is restarting. The restart an install asks for goes through `restart` (none: Windows').
INT_PTR RunProgress(HWND owner, std::vector<FeedItem>& entries, std::size_t capacity, ProgressWorker worker,
                    void* context = nullptr, RestartPort restart = nullptr);

constexpr int kDialogProgress = 140, kDialogLicence = 141;
constexpr int kProgressHeading = 1079, kProgressBar = 1077, kProgressList = 1007, kProgressRemaining = 1008;
constexpr int kLicenceTitles = 1080, kLicenceText = 1081;
constexpr int kLicenceTextId = 150;

}  // namespace web
