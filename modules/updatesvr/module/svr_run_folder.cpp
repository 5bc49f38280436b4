#include "modules/updatesvr/module/svr_run_folder.h"

#include <aclapi.h>
#include <objbase.h>
#include <sddl.h>

#include <vector>

#include "common/win/package_verifier.h"
#include "common/win/system_library.h"
#include "common/win/unique_handle.h"
#include "modules/updatesvr/module/svr_ids.h"
#include "modules/updatesvr/module/svr_start.h"
#include "modules/updatesvr/svr_rules.h"

namespace updsvr {
namespace {
const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
std::u16string U(const wchar_t* s) { return reinterpret_cast<const char16_t*>(s); }

HRESULT LastError() {
  const DWORD e = GetLastError();
  return e ? HRESULT_FROM_WIN32(e) : E_FAIL;
}

// Full access for Administrators and SYSTEM, handed down to everything made inside; "P" keeps
// the parent's entries (which let users create files in Temp) out.
const wchar_t kRunFolderDacl[] = L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";

// Whether the path, or any folder on the way to it, is a junction, a link or a mount point.
bool HoldsReparsePoint(const std::u16string& path) {
  for (size_t at = path.find(u'\\', 3);; at = path.find(u'\\', at + 1)) {
    const std::u16string part = path.substr(0, at);
    const DWORD attributes = GetFileAttributesW(W(part));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
    if (at == std::u16string::npos) return false;
  }
}

HRESULT CopyFromHandle(HANDLE from, const std::u16string& to) {
  LARGE_INTEGER start = {};
  if (!SetFilePointerEx(from, start, nullptr, FILE_BEGIN)) return LastError();
  UniqueHandle out(CreateFileW(W(to), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out) return LastError();
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    DWORD read = 0, written = 0;
    if (!ReadFile(from, buffer.data(), DWORD(buffer.size()), &read, nullptr)) return LastError();
    if (read == 0) return S_OK;
    if (!WriteFile(out.get(), buffer.data(), read, &written, nullptr) || written != read) return LastError();
  }
}

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        RemoveTree(path);
      } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveDirectoryW(path.c_str());  // the link only, never what it leads to
      } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}
}  // namespace

HRESULT RunFolder::Make() {
  if (Made()) return S_OK;
  wchar_t windows[MAX_PATH];
  const UINT n = GetSystemWindowsDirectoryW(windows, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return LastError();
  GUID id;
  wchar_t name[40];
  HRESULT hr = CoCreateGuid(&id);
  if (FAILED(hr)) return hr;
  if (!StringFromGUID2(id, name, 40)) return E_FAIL;
  std::wstring path = windows;
  if (path.back() != L'\\') path += L'\\';
  path += L"Temp\\wkpt";
  path += name;
  PSECURITY_DESCRIPTOR descriptor = RunFolderSecurity();
  if (!descriptor) return LastError();
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
  // A new name each run: a folder made beforehand by someone else is never taken over. The
  // DACL is set again explicitly, so that it holds whatever the creation made of it.
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  BOOL made = CreateDirectoryW(path.c_str(), &attributes);
  hr = made ? S_OK : LastError();
  if (made && GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) {
    const DWORD set = SetNamedSecurityInfoW(&path[0], SE_FILE_OBJECT,
                                            DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                            nullptr, dacl, nullptr);
    if (set != ERROR_SUCCESS) {
      RemoveDirectoryW(path.c_str());
      made = FALSE;
      hr = HRESULT_FROM_WIN32(set);
    }
  }
  LocalFree(descriptor);
  if (made) path_ = U(path.c_str());
  return hr;
}

HRESULT RunFolder::MakeExtractionFolder(std::u16string& folder) {
  const HRESULT hr = Make();
  if (FAILED(hr)) return hr;
  const std::wstring number = std::to_wstring(++extractions_);
  folder = path_ + u"\\" + U(number.c_str());
  return CreateDirectoryW(W(folder), nullptr) ? S_OK : LastError();
}

PSECURITY_DESCRIPTOR RunFolderSecurity() {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kRunFolderDacl, SDDL_REVISION_1, &descriptor, nullptr))
    return nullptr;
  return descriptor;
}

void RunFolder::Remove() {
  if (!Made() || handedOver_) return;
  RemoveTree(W(path_));
  path_.clear();
}

bool FinalPath(HANDLE file, std::u16string& path) {
  using Fn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
  const auto& final = TW_SYSTEM_FUNCTION_TYPED(L"kernel32.dll", GetFinalPathNameByHandleW, Fn);
  if (!final.Available()) return false;
  wchar_t buffer[MAX_PATH + 8];
  const DWORD n = final(file, buffer, MAX_PATH + 8, 0 /* FILE_NAME_NORMALIZED | VOLUME_NAME_DOS */);
  if (n == 0 || n >= MAX_PATH + 8) {
    path.clear();  // a final path that cannot be read is no match
    return true;
  }
  path = U(buffer);
  return true;
}

HRESULT CopyVerified(const std::u16string& source, const std::u16string& folder, std::u16string& copy) {
  if (!IsFullPath(source) || source[1] != u':' || source.back() == u'\\') return E_INVALIDARG;
  if (HoldsReparsePoint(source)) return WKPTSVR_E_NOT_ALLOWED;
  const UniqueHandle locked = OpenLocked(W(source));
  if (!locked) return LastError();
  std::u16string final;
  if (FinalPath(locked.get(), final) && !IsFinalPathOf(final, source)) return WKPTSVR_E_NOT_ALLOWED;
  const PackageVerifier verifier(ReadMakerThumbprint());
  HRESULT hr = Refusal(verifier.Verify(locked.get(), W(source)));
  if (FAILED(hr)) return hr;
  copy = folder + u"\\" + source.substr(source.find_last_of(u'\\') + 1);
  hr = CopyFromHandle(locked.get(), copy);
  if (FAILED(hr)) return hr;
  hr = Refusal(verifier.Verify(W(copy)));
  if (FAILED(hr)) DeleteFileW(W(copy));
  return hr;
}

}  // namespace updsvr
