// An update package: a self-extracting archive that, started with "-silent", writes the
// installer it carries (resource 1) as "setup.exe" beside itself. A package whose file name
// contains "broken" fails to extract (exit code 1), as a damaged archive does.
#include <windows.h>

#include <cwchar>

#include "sim/updates/sim_record.h"

namespace {
bool Extract(const std::wstring& to) {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(10));  // RT_RCDATA
  HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  const DWORD size = found ? SizeofResource(nullptr, found) : 0;
  if (!bytes || size == 0) return false;
  HANDLE file = CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes, size, &written, nullptr) && written == size;
  CloseHandle(file);
  return ok;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring self = SimSelfPath();
  if (argc != 2 || wcscmp(argv[1], L"-silent") != 0) {
    SimRecord(L"package " + self + L" started without -silent");
    return 2;
  }
  const size_t slash = self.find_last_of(L'\\');
  const std::wstring name = self.substr(slash + 1);
  const std::wstring target = self.substr(0, slash + 1) + L"setup.exe";
  if (name.find(L"broken") != std::wstring::npos || !Extract(target)) {
    SimRecord(L"package " + self + L" extraction failed");
    return 1;
  }
  SimRecord(L"package " + self + L" extracted " + target);
  return 0;
}
