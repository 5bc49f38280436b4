// The disk viewer's stand-in: one program that installs itself as the viewer's two services
// and runs as either of them (sim/README.md, "The disk viewer").
//
//   sysglance_sim install SCENARIO LOG   registry history and services as the scenario's [disk] says
//   sysglance_sim remove                 both services and the history go
//   sysglance_sim serve NAME SCENARIO LOG   run by the service manager
//
// The data service answers control 144 with a new sample and logs 145-148; the pipe service
// answers the device-path and attribute-record requests. Each logs one line per request.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "libs/diskwarn/diskwarn.h"
#include "libs/diskwarn/hdd_rules.h"
#include "sim/driver/scenario.h"

namespace {

struct Args {
  std::wstring scenario, log;
};
Args g_args;
sim::SimDisk g_disk;
SERVICE_STATUS_HANDLE g_status = nullptr;
HANDLE g_stop = nullptr;

bool LoadDisk(const std::wstring& path, sim::SimDisk& disk, std::string& error) {
  FILE* f = _wfopen(path.c_str(), L"rb");
  if (!f) return error = "cannot read the scenario", false;
  std::string text;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
  fclose(f);
  sim::Scenario s;
  if (!sim::ParseScenario(text, s, error)) return false;
  disk = s.disk;
  return true;
}

void Log(const char* format, unsigned value) {
  HANDLE f = CreateFileW(g_args.log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  char line[64];
  const int n = snprintf(line, sizeof line, format, value);
  DWORD written = 0;
  WriteFile(f, line, static_cast<DWORD>(n), &written, nullptr);
  CloseHandle(f);
}

int64_t Now() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return hdd::WallSeconds(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
}

std::wstring ValueName(int number) {
  wchar_t name[16];
  swprintf(name, 16, L"Diskwarn%03d", number);
  return name;
}

bool SetString(HKEY key, const std::wstring& name, const std::u16string& text) {
  return RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * 2)) == ERROR_SUCCESS;
}
bool SetDword(HKEY key, const std::wstring& name, uint32_t v) {
  return RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4) == ERROR_SUCCESS;
}
std::u16string GetString(HKEY key, const std::wstring& name) {
  wchar_t text[256] = {};
  DWORD size = sizeof text - 2, type = 0;
  if (RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return u"";
  return reinterpret_cast<const char16_t*>(text);
}

// The viewer's services are 64-bit programs on 64-bit Windows: their key is in the 64-bit
// view, whichever build of the stand-in writes it.
constexpr REGSAM kViewerAccess = KEY_ALL_ACCESS | KEY_WOW64_64KEY;

// The viewer key holds other products' values too (the first-use record): only ours go.
void ClearHistory() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, DISKWARN_VIEWER_KEY, 0, kViewerAccess, &key)) return;
  for (int n = 0; n <= 17; ++n) {
    RegDeleteValueW(key, ValueName(n).c_str());
    RegDeleteValueW(key, (L"_" + ValueName(n)).c_str());
  }
  RegCloseKey(key);
}

bool WriteHistory(const sim::SimDisk& d) {
  ClearHistory();
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, DISKWARN_VIEWER_KEY, 0, nullptr, 0, kViewerAccess, nullptr, &key, nullptr))
    return false;
  bool ok = SetDword(key, L"Diskwarn000", d.monitored ? 1 : 0);
  const int64_t now = Now();
  for (const auto& [number, sample] : d.samples) ok = ok && SetString(key, ValueName(number), sim::SampleText(sample, now));
  for (const auto& [number, value] : d.overrides) ok = ok && SetDword(key, L"_" + ValueName(number), value);
  if (d.defaultsKnown) ok = ok && SetDword(key, L"Diskwarn004", d.defaultAc) && SetDword(key, L"Diskwarn005", d.defaultDc);
  RegCloseKey(key);
  return ok;
}

// Control 144: 017..011 take 016..010, 010 takes 001, 001 takes 002, 002 is the new sample.
void TakeSample() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, DISKWARN_VIEWER_KEY, 0, kViewerAccess, &key)) return;
  for (int n = 17; n > 10; --n) {
    const std::u16string older = GetString(key, ValueName(n - 1));
    if (!older.empty()) SetString(key, ValueName(n), older);
  }
  const std::u16string previous = GetString(key, ValueName(1)), newest = GetString(key, ValueName(2));
  if (!previous.empty()) SetString(key, ValueName(10), previous);
  if (!newest.empty()) SetString(key, ValueName(1), newest);
  sim::SimDiskSample next;
  if (g_disk.next) next.counters = *g_disk.next;
  else if (g_disk.samples.count(2)) next.counters = g_disk.samples.at(2).counters;
  SetString(key, ValueName(2), sim::SampleText(next, Now()));
  RegCloseKey(key);
}

void Report(DWORD state) {
  SERVICE_STATUS s = {};
  s.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  s.dwCurrentState = state;
  s.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  SetServiceStatus(g_status, &s);
}

DWORD WINAPI DataHandler(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_STOP) {
    SetEvent(g_stop);
    return NO_ERROR;
  }
  if (control == SERVICE_CONTROL_INTERROGATE) return NO_ERROR;
  if (control == hdd::kControlSample) {
    Log("control %u\n", control);
    if (g_disk.refreshes) TakeSample();
    return NO_ERROR;
  }
  if (control >= 145 && control <= 148) {
    Log(g_disk.reportsFail ? "refused %u\n" : "report %u\n", control);
    return g_disk.reportsFail ? ERROR_CALL_NOT_IMPLEMENTED : NO_ERROR;
  }
  return ERROR_CALL_NOT_IMPLEMENTED;
}

void Answer(HANDLE pipe, uint8_t request) {
  std::vector<uint8_t> reply;
  DWORD written = 0;
  if (request == 1) {
    for (char c : g_disk.path) reply.push_back(uint8_t(c)), reply.push_back(0);
    reply.push_back(0), reply.push_back(0);
    WriteFile(pipe, reply.data(), static_cast<DWORD>(reply.size()), &written, nullptr);
  } else if (request == 0) {
    const uint32_t n = static_cast<uint32_t>(g_disk.records.size());
    const uint8_t count[4] = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
    WriteFile(pipe, count, 4, &written, nullptr);
    for (uint8_t id : g_disk.records) {
      reply.push_back(id);
      reply.insert(reply.end(), hdd::kRecordSize - 1, 0);
    }
    if (!reply.empty()) WriteFile(pipe, reply.data(), static_cast<DWORD>(reply.size()), &written, nullptr);
  }
  FlushFileBuffers(pipe);
}

DWORD WINAPI PipeLoop(void*) {
  std::vector<HANDLE> unanswered;  // a silent viewer keeps its callers waiting
  for (;;) {
    HANDLE pipe = CreateNamedPipeW(DISKWARN_PIPE_NAME, PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                   PIPE_UNLIMITED_INSTANCES, 1024, 1024, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) return 1;
    if (!ConnectNamedPipe(pipe, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) {
      CloseHandle(pipe);
      continue;
    }
    uint8_t request = 0xFF;
    DWORD got = 0;
    ReadFile(pipe, &request, 1, &got, nullptr);
    Log(g_disk.pipeSilent ? "silent %u\n" : "pipe %u\n", request);
    if (g_disk.pipeSilent) {
      unanswered.push_back(pipe);
      continue;
    }
    Answer(pipe, request);
    DisconnectNamedPipe(pipe);
    CloseHandle(pipe);
  }
}

DWORD WINAPI PipeHandler(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_STOP) {
    SetEvent(g_stop);
    return NO_ERROR;
  }
  return control == SERVICE_CONTROL_INTERROGATE ? NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
}

void WINAPI ServiceMain(DWORD, LPWSTR* argv) {
  const bool data = lstrcmpiW(argv[0], DISKWARN_DATA_SERVICE) == 0;
  g_status = RegisterServiceCtrlHandlerExW(argv[0], data ? DataHandler : PipeHandler, nullptr);
  if (!g_status) return;
  std::string error;
  if (!LoadDisk(g_args.scenario, g_disk, error)) {
    Report(SERVICE_STOPPED);
    return;
  }
  if (!data) CloseHandle(CreateThread(nullptr, 0, PipeLoop, nullptr, 0, nullptr));
  Report(SERVICE_RUNNING);
  WaitForSingleObject(g_stop, INFINITE);
  Report(SERVICE_STOPPED);
}

bool WaitState(SC_HANDLE service, DWORD wanted) {
  SERVICE_STATUS s = {};
  for (int i = 0; i < 200; ++i) {
    if (!QueryServiceStatus(service, &s)) return false;
    if (s.dwCurrentState == wanted) return true;
    Sleep(50);
  }
  return false;
}

bool StopAndMaybeDelete(SC_HANDLE manager, const wchar_t* name, bool remove) {
  SC_HANDLE service = OpenServiceW(manager, name, SERVICE_ALL_ACCESS);
  if (!service) return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
  SERVICE_STATUS s = {};
  QueryServiceStatus(service, &s);
  bool ok = true;
  if (s.dwCurrentState != SERVICE_STOPPED) ok = ControlService(service, SERVICE_CONTROL_STOP, &s) && WaitState(service, SERVICE_STOPPED);
  if (remove) ok = DeleteService(service) && ok;
  CloseServiceHandle(service);
  return ok;
}

bool Install(SC_HANDLE manager, const wchar_t* name, const sim::SimService& want, const std::wstring& self) {
  if (!StopAndMaybeDelete(manager, name, !want.installed)) return false;
  if (!want.installed) return true;
  const std::wstring command = L"\"" + self + L"\" serve " + name + L" \"" + g_args.scenario + L"\" \"" + g_args.log + L"\"";
  SC_HANDLE service = OpenServiceW(manager, name, SERVICE_ALL_ACCESS);
  if (service) {
    if (!ChangeServiceConfigW(service, SERVICE_WIN32_OWN_PROCESS, want.startType, SERVICE_ERROR_NORMAL, command.c_str(),
                              nullptr, nullptr, nullptr, nullptr, nullptr, nullptr)) {
      CloseServiceHandle(service);
      return false;
    }
  } else {
    service = CreateServiceW(manager, name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, want.startType,
                             SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    if (!service) return false;
  }
  bool ok = true;
  if (want.running) ok = StartServiceW(service, 0, nullptr) && WaitState(service, SERVICE_RUNNING);
  CloseServiceHandle(service);
  return ok;
}

int Fail(const char* what) {
  fprintf(stderr, "sysglance_sim: %s (error %lu)\n", what, GetLastError());
  return 1;
}
}  // namespace

int main() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc < 2) return Fail("usage: install SCENARIO LOG | remove | serve NAME SCENARIO LOG");
  const std::wstring verb = argv[1];
  if (verb == L"serve" && argc == 5) {
    g_args = {argv[3], argv[4]};
    g_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    static wchar_t name[32];
    lstrcpynW(name, argv[2], 32);
    SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : Fail("not started by the service manager");
  }
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (!manager) return Fail("no service manager");
  int rc = 0;
  if (verb == L"install" && argc == 4) {
    g_args = {argv[2], argv[3]};
    std::string error;
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (!LoadDisk(g_args.scenario, g_disk, error)) rc = Fail(error.c_str());
    else if (!WriteHistory(g_disk)) rc = Fail("cannot write the history");
    else if (!Install(manager, DISKWARN_DATA_SERVICE, g_disk.data, self)) rc = Fail("cannot install the data service");
    else if (!Install(manager, DISKWARN_PIPE_SERVICE, g_disk.pipe, self)) rc = Fail("cannot install the pipe service");
  } else if (verb == L"remove") {
    if (!StopAndMaybeDelete(manager, DISKWARN_DATA_SERVICE, true) || !StopAndMaybeDelete(manager, DISKWARN_PIPE_SERVICE, true))
      rc = Fail("cannot remove the services");
    ClearHistory();
  } else {
    rc = Fail("usage: install SCENARIO LOG | remove | serve NAME SCENARIO LOG");
  }
  CloseServiceHandle(manager);
  LocalFree(argv);
  return rc;
}
