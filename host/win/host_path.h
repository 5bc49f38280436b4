// Files the host loads are taken from its own folder, by full path: never from the DLL search
// path, where the current folder or PATH could offer a planted library.
#pragma once
#include <windows.h>

#include <string>

namespace host {

// The full path of `file` in the folder of the running program; empty when the program's own
// path cannot be read.
std::wstring BesideHost(const wchar_t* file);

// Loads the library `file` from the host's folder. Its own dependencies are looked for beside
// it first. Null when it is not there or does not load.
HMODULE LoadBesideHost(const wchar_t* file);

}  // namespace host
