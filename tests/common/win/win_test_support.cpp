#include "tests/common/win/win_test_support.h"

#include <commctrl.h>

#include <cwchar>
#include <sstream>
#include <vector>

namespace wintest {

std::wstring TempFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, buffer);
  return buffer;
}

std::vector<std::wstring> TempFiles(const wchar_t* pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((TempFolder() + pattern).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do names.push_back(data.cFileName);
  while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

std::wstring TempFile(const wchar_t* prefix) {
  wchar_t path[MAX_PATH] = {};
  GetTempFileNameW(TempFolder().c_str(), prefix, 0, path);
  return path;
}

bool WriteWhole(const std::wstring& path, const std::string& text) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(f);
  return ok && written == text.size();
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
  for (const DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(10))
    if (condition()) return true;
  return condition();
}

HWND WaitDialog(const wchar_t* caption, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitFor([&] { return (found = FindWindowW(L"#32770", caption)) && IsWindowVisible(found); }, timeoutMs);
  return found;
}

std::wstring Cell(HWND list, int row, int column) {
  wchar_t text[256] = {};
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 256;
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return text;
}

std::wstring FirstLoginDaysAgo(int days) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  now.wHour = 12;  // away from midnight: whole days back land on calendar days
  FILETIME ft;
  SystemTimeToFileTime(&now, &ft);
  ULARGE_INTEGER t{{ft.dwLowDateTime, ft.dwHighDateTime}};
  t.QuadPart -= static_cast<ULONGLONG>(days) * 864000000000ULL;
  ft = {t.LowPart, t.HighPart};
  SYSTEMTIME d;
  FileTimeToSystemTime(&ft, &d);
  wchar_t text[32];
  swprintf(text, 32, L"%02d/%02d/%04d", d.wMonth, d.wDay, d.wYear);
  return text;
}

std::wstring WinePath(const char* unixPath) {
  std::wstring out = L"Z:";
  for (const char* p = unixPath; *p; ++p) out.push_back(*p == '/' ? L'\\' : static_cast<wchar_t>(*p));
  return out;
}

// Shared for reading and writing: a program under test may still be writing its log.
std::string ReadAll(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return {};
  std::string out;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got) out.append(buffer, got);
  CloseHandle(f);
  return out;
}

namespace {
struct OwnedHandle {
  HANDLE h = nullptr;
  ~OwnedHandle() { Close(); }
  void Close() {
    if (h) CloseHandle(h);
    h = nullptr;
  }
};

// Runs a command line with its output piped back; `input`, when given, is written to its
// standard input, which is then closed. The output as written, carriage returns included.
int RunPiped(const std::wstring& commandLine, const std::string* input, DWORD flags, std::string& output,
             DWORD timeoutMs) {
  output.clear();
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  OwnedHandle inRead, inWrite, outRead, outWrite;
  if (!CreatePipe(&outRead.h, &outWrite.h, &sa, 1 << 16)) return -1;
  SetHandleInformation(outRead.h, HANDLE_FLAG_INHERIT, 0);
  if (input) {
    if (!CreatePipe(&inRead.h, &inWrite.h, &sa, 1 << 16)) return -1;
    SetHandleInformation(inWrite.h, HANDLE_FLAG_INHERIT, 0);
  }
  STARTUPINFOW si = {sizeof si};
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = outWrite.h;
  si.hStdError = outWrite.h;
  si.hStdInput = input ? inRead.h : GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION pi = {};
  std::vector<wchar_t> cmd(commandLine.begin(), commandLine.end());
  cmd.push_back(0);
  const BOOL started = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr, &si, &pi);
  outWrite.Close();
  inRead.Close();
  if (!started) return -1;
  if (input) {
    DWORD written = 0;
    WriteFile(inWrite.h, input->data(), static_cast<DWORD>(input->size()), &written, nullptr);
    inWrite.Close();
  }
  // Read until the process ends, not until the pipe closes: a process it starts (Wine's
  // desktop, say) may inherit the pipe and keep it open.
  DWORD code = static_cast<DWORD>(-1);
  const DWORD start = GetTickCount();
  for (bool exited = false; !exited;) {
    exited = WaitForSingleObject(pi.hProcess, 20) == WAIT_OBJECT_0;
    DWORD available = 0;
    while (PeekNamedPipe(outRead.h, nullptr, 0, nullptr, &available, nullptr) && available) {
      char buffer[4096];
      DWORD got = 0;
      if (!ReadFile(outRead.h, buffer, sizeof buffer, &got, nullptr) || !got) break;
      output.append(buffer, got);
    }
    if (!exited && GetTickCount() - start > timeoutMs) {
      TerminateProcess(pi.hProcess, static_cast<UINT>(-1));
      break;
    }
  }
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return static_cast<int>(code);
}
}  // namespace

int RunProgram(const std::wstring& commandLine, std::string& output, DWORD timeoutMs) {
  const int code = RunPiped(commandLine, nullptr, 0, output, timeoutMs);
  std::string clean;
  for (char c : output)
    if (c != '\r') clean.push_back(c);
  output = clean;
  return code;
}

int RunWithInput(const std::wstring& commandLine, const std::string& input, std::string& output, DWORD timeoutMs) {
  return RunPiped(commandLine, &input, DETACHED_PROCESS, output, timeoutMs);
}

ScopedKey::ScopedKey(HKEY root, std::wstring path, REGSAM view) : root_(root), path_(std::move(path)), view_(view) {
  RegDeleteTreeW(root_, path_.c_str());
}

ScopedKey::~ScopedKey() {
  HKEY parent = nullptr;
  const size_t slash = path_.rfind(L'\\');
  const std::wstring parentPath = path_.substr(0, slash), leaf = path_.substr(slash + 1);
  if (RegOpenKeyExW(root_, parentPath.c_str(), 0, KEY_ALL_ACCESS | view_, &parent) == ERROR_SUCCESS) {
    RegDeleteTreeW(parent, leaf.c_str());
    RegDeleteKeyW(parent, leaf.c_str());
    RegCloseKey(parent);
  }
}

bool ScopedKey::SetBinary(const wchar_t* name, const void* data, DWORD size, DWORD type) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view_, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  const bool ok = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

bool ScopedKey::SetDword(const wchar_t* name, DWORD value) { return SetBinary(name, &value, sizeof value, REG_DWORD); }

bool ScopedKey::SetString(const wchar_t* name, const std::wstring& value, DWORD type) {
  return SetBinary(name, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)), type);
}

std::map<std::string, int> SupportServerPorts(const std::wstring& stateDir) {
  std::map<std::string, int> ports;
  const std::wstring path = stateDir + L"\\ports";
  for (DWORD start = GetTickCount(); GetTickCount() - start < 60000; Sleep(50)) {
    std::istringstream in(ReadAll(path));
    std::string name;
    int port = 0;
    while (in >> name >> port) ports[name] = port;
    if (ports.count("http") && ports.count("proxy")) break;
    ports.clear();
  }
  return ports;
}

BoxAnswer::BoxAnswer(const wchar_t* caption, int button)
    : thread_([this, caption, button] {
        for (DWORD start = GetTickCount(); !stop_ && GetTickCount() - start < 20000; Sleep(20)) {
          if (HWND box = FindWindowW(L"#32770", caption)) {
            wchar_t buffer[1024] = {};
            GetDlgItemTextW(box, 0xFFFF, buffer, 1024);
            text_ = buffer;
            PostMessageW(box, WM_COMMAND, button, 0);
            return;
          }
        }
      }) {}

BoxAnswer::~BoxAnswer() { Join(); }

void BoxAnswer::Join() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

std::wstring BoxAnswer::Text() {
  if (thread_.joinable()) thread_.join();  // the box first, or the time-out
  return text_;
}
bool RemoveFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveFolder(path);
      else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
  return GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES;
}

std::wstring WebHistoryFolder() {
  wchar_t appData[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(appData) + L"\\Velmorant\\WKPTRSS" : std::wstring();
}

size_t LiveHeapBytes() {
  std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
  heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
  size_t bytes = 0;
  for (HANDLE heap : heaps) {
    PROCESS_HEAP_ENTRY entry = {};
    HeapLock(heap);
    while (HeapWalk(heap, &entry))
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData;
    HeapUnlock(heap);
  }
  return bytes;
}

long long HeapGrowthOver(int rounds, const std::function<void()>& work) {
  for (int i = 0; i < 20; ++i) work();
  const size_t before = LiveHeapBytes();
  for (int i = 0; i < rounds; ++i) work();
  return static_cast<long long>(LiveHeapBytes()) - static_cast<long long>(before);
}

namespace {
const wchar_t kConnectionsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
}  // namespace

UserProxySetting::UserProxySetting(DWORD flags, const std::string& proxy, const std::string& bypass,
                                   const std::string& pac) {
  RegCreateKeyExW(HKEY_CURRENT_USER, kConnectionsKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_, nullptr);
  DWORD size = 0, type = 0;
  if (RegQueryValueExW(key_, L"DefaultConnectionSettings", nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    old_.resize(size);
    had_ = RegQueryValueExW(key_, L"DefaultConnectionSettings", nullptr, &type, old_.data(), &size) == ERROR_SUCCESS;
  }
  std::vector<BYTE> blob;
  auto dword = [&](DWORD v) { blob.insert(blob.end(), reinterpret_cast<BYTE*>(&v), reinterpret_cast<BYTE*>(&v) + 4); };
  auto text = [&](const std::string& s) {
    dword(static_cast<DWORD>(s.size()));
    blob.insert(blob.end(), s.begin(), s.end());
  };
  dword(0x46);
  dword(0);
  dword(flags);
  text(proxy);
  text(bypass);
  text(pac);
  blob.resize(blob.size() + 32);
  ok_ = RegSetValueExW(key_, L"DefaultConnectionSettings", 0, REG_BINARY, blob.data(), static_cast<DWORD>(blob.size())) ==
        ERROR_SUCCESS;
}

UserProxySetting::~UserProxySetting() {
  if (had_)
    RegSetValueExW(key_, L"DefaultConnectionSettings", 0, REG_BINARY, old_.data(), static_cast<DWORD>(old_.size()));
  else
    RegDeleteValueW(key_, L"DefaultConnectionSettings");
  RegCloseKey(key_);
}

}  // namespace wintest
