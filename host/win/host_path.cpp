#include "host/win/host_path.h"

#include <vector>

namespace host {

std::wstring BesideHost(const wchar_t* file) {
  // The path may be longer than MAX_PATH: grow until it fits.
  for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
    std::vector<wchar_t> path(size);
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), size);
    if (n == 0) return {};
    if (n < size) {
      std::wstring full(path.data(), n);
      const size_t slash = full.find_last_of(L"\\/");
      if (slash == std::wstring::npos) return {};
      return full.substr(0, slash + 1) + file;
    }
  }
  return {};
}

HMODULE LoadBesideHost(const wchar_t* file) {
  const std::wstring path = BesideHost(file);
  return path.empty() ? nullptr : LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace host
