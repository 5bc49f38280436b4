// Starting a program of an update: only by quoted full path, only inside the download
// folders, only when it carries the maker's valid signature. The server does this elevated;
// on Windows XP the web module does the same in its own process.
#pragma once
#include <windows.h>

#include <string>

#include "common/core/package_signature.h"

namespace updsvr {

// The failure HRESULT a refused package gives; S_OK for a trusted one.
HRESULT Refusal(pkgsig::Verdict v);

// Starts `line` when its program lies below `root` and is the maker's. The program stays
// locked from the check until it has started, and it is started by that path, never looked
// up. With `exitCode` the call waits for the program and keeps its exit code.
HRESULT StartVerified(const std::u16string& line, const std::u16string& root, DWORD* exitCode);

}  // namespace updsvr
