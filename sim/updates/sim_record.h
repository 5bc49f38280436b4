// The update stand-ins' record of what they did: one line per action, appended to the file
// named by TELLWICK_UPDATE_LOG (else "tellwick-updates.log" in the temporary folder).
#pragma once
#include <windows.h>

#include <string>

inline void SimRecord(const std::wstring& line) {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableW(L"TELLWICK_UPDATE_LOG", path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) {
    const DWORD t = GetTempPathW(MAX_PATH, path);
    if (t == 0 || t + 21 >= MAX_PATH) return;
    wcscat(path, L"tellwick-updates.log");
  }
  HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::wstring text = line + L"\r\n";
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(bytes, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), &utf8[0], bytes, nullptr, nullptr);
  DWORD written = 0;
  WriteFile(file, utf8.data(), DWORD(utf8.size()), &written, nullptr);
  CloseHandle(file);
}

// The program's own path.
inline std::wstring SimSelfPath() {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return n && n < MAX_PATH ? std::wstring(path, n) : std::wstring();
}
