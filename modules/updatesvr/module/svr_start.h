// Starting a program of an update: only by quoted full path, only inside the download
// folders, only when it carries the maker's valid signature. The server does this elevated;
// on Windows XP the web module does the same in its own process.
#pragma once
#include <windows.h>

#include <string>

#include "common/core/package_signature.h"
#include "modules/updatesvr/svr_rules.h"

namespace updsvr {

// The failure HRESULT a refused package gives; S_OK for a trusted one.
HRESULT Refusal(pkgsig::Verdict v);

// Starts `line` when it has the `form` (svr_rules.h) over `root` and its program is the
// maker's. The program stays locked from the check until it has started, and it is started by
// that path, never looked up. With `exitCode` the call waits for the program and keeps its exit
// code; `processId` receives the started process's id.
HRESULT StartVerified(const std::u16string& line, const std::u16string& root, RunForm form, DWORD* exitCode,
                      DWORD* processId = nullptr);

// The updater's hand-off window ("WKPTUPDATE", "WKPTUPDATE_ADMIN") of process `processId`
// only: another program's window of the same name gets nothing. Null when there is none.
HWND FindUpdaterWindow(DWORD processId);

}  // namespace updsvr
