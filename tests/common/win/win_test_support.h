// Helpers for tests that drive real Win32 programs and registry keys under Wine.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

// The tests run on Vista and later only (under Wine); the headers, set to XP, hide these.
extern "C" {
WINADVAPI LONG WINAPI RegDeleteTreeW(HKEY key, LPCWSTR subKey);
WINADVAPI LONG WINAPI RegDeleteKeyValueW(HKEY key, LPCWSTR subKey, LPCWSTR valueName);
}

namespace wintest {
// A Unix path from the build as a Wine path on drive Z:.
std::wstring WinePath(const char* unixPath);
// A whole file's bytes; empty when it cannot be read.
std::string ReadAll(const std::wstring& path);
// Runs a command line, returns its exit code (or -1) and its standard output.
// The support server stand-in's ports ("http", "https", "proxy") from the ports file the
// ctest fixture writes into its state folder once everything listens; empty when it never comes.
std::map<std::string, int> SupportServerPorts(const std::wstring& stateDir);

int RunProgram(const std::wstring& commandLine, std::string& output, DWORD timeoutMs = 60000);
// Runs a console program without a console, with `input` as its whole standard input; its
// exit code (or -1) and its output as written.
int RunWithInput(const std::wstring& commandLine, const std::string& input, std::string& output,
                 DWORD timeoutMs = 60000);
// Deletes a folder with everything in it; true when it is gone.
bool RemoveFolder(const std::wstring& folder);
// The web module's history folder of this user (what its notices left behind).
std::wstring WebHistoryFolder();
// The temporary folder (with its backslash) and the names of the files there that match
// `pattern`, e.g. "WXP*.tmp".
std::wstring TempFolder();
std::vector<std::wstring> TempFiles(const wchar_t* pattern);
// A new empty file in the temporary folder, its name made from `prefix`.
std::wstring TempFile(const wchar_t* prefix);
// Replaces the file's contents with `text`; false when not all of it was written.
[[nodiscard]] bool WriteWhole(const std::wstring& path, const std::string& text);
// Today's local date `days` days back, as the PC-information viewer writes "FirstLogin"
// ("%02d/%02d/%04d": month, day, year).
std::wstring FirstLoginDaysAgo(int days);
// Waits until `condition` holds, looking every 10 ms, for at most `timeoutMs`.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 30000);
// The dialog with this caption once it is visible; null when it does not show in `timeoutMs`.
HWND WaitDialog(const wchar_t* caption, DWORD timeoutMs = 30000);
// The text of a list view's cell (up to 255 characters).
std::wstring Cell(HWND list, int row, int column);
// The bytes in use in every heap of the process (the C runtime keeps a heap of its own),
// exact to the byte where the private commit moves in steps of 64 KiB.
size_t LiveHeapBytes();
// How many bytes in use `rounds` more runs of `work` leave behind, after 20 runs that fill
// the caches; negative when fewer. A leak shows as `rounds` times its size.
long long HeapGrowthOver(int rounds, const std::function<void()>& work);
// Deletes a registry tree when the test ends.
class ScopedKey {
 public:
  ScopedKey(HKEY root, std::wstring path, REGSAM view = 0);
  ~ScopedKey();
  const wchar_t* path() const { return path_.c_str(); }
  bool SetDword(const wchar_t* name, DWORD value);
  bool SetString(const wchar_t* name, const std::wstring& value, DWORD type = REG_SZ);
  bool SetBinary(const wchar_t* name, const void* data, DWORD size, DWORD type);

 private:
  HKEY root_;
  std::wstring path_;
  REGSAM view_;
};
// The user's Internet Explorer proxy setting as WinHTTP reads it (flags kDirect | kProxy |
// kPac | kAutoDetect, the proxy, its bypass list and the configuration script's address); the
// old value comes back when the test ends.
class UserProxySetting {
 public:
  UserProxySetting(DWORD flags, const std::string& proxy, const std::string& bypass, const std::string& pac);
  ~UserProxySetting();
  UserProxySetting(const UserProxySetting&) = delete;
  UserProxySetting& operator=(const UserProxySetting&) = delete;
  bool ok() const { return ok_; }

  static constexpr DWORD kDirect = 1, kProxy = 2, kPac = 4, kAutoDetect = 8;

 private:
  HKEY key_ = nullptr;
  bool had_ = false, ok_ = false;
  std::vector<BYTE> old_;
};
// Answers the next message box with this caption by `button` from a thread of its own, and
// keeps its text. Waits at most 20 s.
class BoxAnswer {
 public:
  explicit BoxAnswer(const wchar_t* caption = L"Tellwick", int button = IDOK);
  ~BoxAnswer();
  BoxAnswer(const BoxAnswer&) = delete;
  BoxAnswer& operator=(const BoxAnswer&) = delete;
  std::wstring Text();  // after the box was answered, or empty

 private:
  void Join();
  std::atomic<bool> stop_{false};
  std::wstring text_;
  std::thread thread_;
};
}  // namespace wintest
