#include "modules/warranty/module/xwpk_shell.h"

#include <cstdio>


namespace xwpk {
namespace {
// The maker writes the file for Japanese Windows, whose ANSI code page this is: read the same
// on a Windows of any other language.
constexpr UINT kDefinitionCodePage = 932;
}  // namespace

bool WinFiles::NewImageFile(std::u16string& path) {
  const std::u16string folder = kit::TempFolder();
  if (folder.empty()) return false;
  for (unsigned n = 0; n <= 0xFFFF; ++n) {
    wchar_t name[16];
    swprintf(name, 16, L"EWI%04X.png", n);
    const std::u16string candidate = folder + kit::U16(name);
    HANDLE file = CreateFileW(kit::Wide(candidate), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      path = candidate;
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

bool WinFiles::ReadDefinition(const std::u16string& path, std::u16string& text) {
  HANDLE file = CreateFileW(kit::Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // Three short lines; anything larger is not a definition file.
  std::string bytes(64 * 1024, '\0');
  DWORD got = 0;
  const bool ok = ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr) != FALSE;
  CloseHandle(file);
  if (!ok || got == bytes.size()) return false;
  text.clear();
  if (got == 0) return true;
  const int n = MultiByteToWideChar(kDefinitionCodePage, 0, bytes.data(), static_cast<int>(got), nullptr, 0);
  if (n <= 0) return false;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(kDefinitionCodePage, 0, bytes.data(), static_cast<int>(got), &wide[0], n);
  text = kit::U16(wide.c_str(), wide.size());
  return true;
}

bool WinNet::Fetch(const std::u16string& url, const std::u16string& target) {
  // The offer's requests carry the plain agent: nothing in them identifies the computer.
  if (!fetcher_) fetcher_ = std::make_unique<http::CHttpFetcher>();
  return fetcher_->Fetch(kit::Wide(target), kit::Wide(url), nullptr, nullptr) != FALSE;
}

}  // namespace xwpk
