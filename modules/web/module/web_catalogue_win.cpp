#include "modules/web/module/web_catalogue_win.h"

#include <shlobj.h>

#include "common/win/reg.h"
#include "common/win/unique_handle.h"
#include "modules/kit/module/kit_win.h"

namespace web {
namespace {
using kit::Wide;

bool WriteWhole(const std::u16string& path, DWORD disposition, DWORD attributes, const std::string& bytes) {
  UniqueHandle file(CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, disposition, attributes, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return bytes.size() <= MAXDWORD && (bytes.empty() || (WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                                                  &written, nullptr) &&
                                                        written == bytes.size()));
}

// An ASCII machine string of the module's key; nothing when missing, empty or not ASCII.
std::optional<std::string> MachineString(const wchar_t* name) {
  wchar_t buffer[1024] = {};
  DWORD size = sizeof buffer;
  if (!CReg().ReadString(HKEY_LOCAL_MACHINE, L"Software\\Velmorant\\WICKPOST\\WKPTRSS", name, buffer, &size) || !buffer[0])
    return std::nullopt;
  std::string out;
  for (const wchar_t* p = buffer; *p; ++p) {
    if (*p < 0x20 || *p > 0x7E) return std::nullopt;
    out += static_cast<char>(*p);
  }
  return out;
}
}  // namespace

bool WinFeedDownload::Download(const std::u16string& url, std::u16string& tempPath) {
  std::u16string path;
  if (!fetcher_ || !kit::NewPageFile(prefix_, path)) return false;
  if (!fetcher_->Fetch(Wide(path), Wide(url), nullptr, nullptr)) {
    DeleteFileW(Wide(path));
    return false;
  }
  tempPath = path;
  return true;
}

void WinFeedDownload::Delete(const std::u16string& path) { DeleteFileW(Wide(path)); }

std::optional<std::string> WinCatalogueFiles::Read(const std::u16string& path, std::size_t max) {
  UniqueHandle file(CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return std::nullopt;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 || static_cast<uint64_t>(size.QuadPart) > max)
    return std::nullopt;
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!bytes.empty() &&
      (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size()))
    return std::nullopt;
  return bytes;
}

bool WinCatalogueFiles::WriteTemp(const std::string& bytes, std::u16string& path) {
  if (!kit::NewPageFile(L"WDC", path)) return false;
  if (WriteWhole(path, TRUNCATE_EXISTING, FILE_ATTRIBUTE_TEMPORARY, bytes)) return true;
  DeleteFileW(Wide(path));
  return false;
}

void WinCatalogueFiles::Delete(const std::u16string& path) { DeleteFileW(Wide(path)); }

std::u16string WinCatalogueFiles::TempFolder() { return kit::TempFolder(); }

bool WinCatalogueFiles::WritePage(const std::u16string& path, const std::string& bytes, bool mustExist) {
  return WriteWhole(path, mustExist ? TRUNCATE_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, bytes);
}

std::u16string WinDownloadDisk::DownloadRoot() {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathAndSubDirW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, L"Velmorant", folder)))
    return u"";
  return kit::U16(folder) + u"\\";
}

bool WinDownloadDisk::MakeFolder(const std::u16string& path) {
  const int made = SHCreateDirectoryExW(nullptr, Wide(path), nullptr);
  if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS && made != ERROR_FILE_EXISTS) return false;
  const DWORD a = GetFileAttributesW(Wide(path));
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<uint64_t> WinDownloadDisk::FileSize(const std::u16string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Wide(path), GetFileExInfoStandard, &data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return std::nullopt;
  return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

SearchSettings ReadSearchSettings(const std::u16string& defaultBase) {
  SearchSettings s;
  if (auto base = MachineString(L"OverrideBase")) s.base = *base;
  else for (char16_t c : defaultBase) s.base += static_cast<char>(c);
  s.format = MachineString(L"OverrideArg").value_or(kDefaultSearchFormat);
  return s;
}

}  // namespace web
