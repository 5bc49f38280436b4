// The update manager's worker: the download-and-install run on the progress dialog's thread,
// over the shared fetcher, the package verifier and the elevated update server.
#pragma once
#include <windows.h>

#include <string>

#include "common/win/http_fetcher.h"
#include "modules/updatesvr/module/svr_ids.h"
#include "modules/web/module/web_update_win.h"

namespace web {

// How the worker gets the update server.
enum class ServerAccess {
  Elevated,  // the elevation moniker, as shipped
  Direct,    // created in process from its registration: the elevation moniker does not
             // exist under Wine (MK_E_CANTOPENFILE), so the sim variant and the tests take this
  None,      // Windows XP: the same actions in this process
};

// The worker's context (ProgressWork::context).
struct EngineSetup {
  http::CHttpFetcher* fetcher = nullptr;
  HWND host = nullptr;          // paused while installers run, closed after a hand-off
  std::wstring downloadRoot;    // the download folders, without a trailing "\"
  std::wstring updater;         // the module's wkptupdate.exe
  ServerAccess access = ServerAccess::Elevated;
  // A server made otherwise (tests); none: as `access` says.
  HRESULT (*makeServer)(HWND owner, Iwkptcom** server) = nullptr;
};

void UpdateWorker(ProgressWork& work);

// The server through the elevation moniker, owned by the progress dialog's window.
HRESULT CreateElevatedServer(HWND owner, REFIID iid, void** server);

}  // namespace web
