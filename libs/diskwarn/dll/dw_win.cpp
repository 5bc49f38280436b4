#include "libs/diskwarn/dll/dw_win.h"

#include "common/core/misccommon.h"
#include "common/win/reg.h"
#include "libs/diskwarn/diskwarn.h"
#include "libs/diskwarn/dll/dw_machine.h"

static_assert(hdd::kPipeOpenFlags == (FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION),
              "the pipe's flags are the platform's");

namespace dw {
namespace {

// A reply the viewer does not give within this time is taken as none: the caller's thread
// is the host's user interface.
constexpr DWORD kPipeReplyMs = 2000;

bool QueryOpen(SC_HANDLE service, int32_t& state, int32_t& startType) {
  SERVICE_STATUS status = {};
  DWORD needed = 0;
  if (!QueryServiceStatus(service, &status)) return false;
  QueryServiceConfigW(service, nullptr, 0, &needed);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0) return false;
  std::vector<BYTE> buffer(needed);
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  if (!QueryServiceConfigW(service, config, needed, &needed)) return false;
  state = static_cast<int32_t>(status.dwCurrentState);
  startType = static_cast<int32_t>(config->dwStartType);
  return true;
}

// One overlapped transfer, given up (and cancelled) after `timeoutMs`.
bool Transfer(HANDLE pipe, bool write, void* buffer, DWORD size, DWORD& done, DWORD timeoutMs) {
  done = 0;
  Handle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!event) return false;
  OVERLAPPED ov = {};
  ov.hEvent = event.get();
  const BOOL started = write ? WriteFile(pipe, buffer, size, nullptr, &ov) : ReadFile(pipe, buffer, size, nullptr, &ov);
  if (!started) {
    const DWORD e = GetLastError();
    if (e != ERROR_IO_PENDING && e != ERROR_MORE_DATA) return false;
    if (e == ERROR_IO_PENDING && WaitForSingleObject(event.get(), timeoutMs) != WAIT_OBJECT_0) {
      CancelIo(pipe);
      GetOverlappedResult(pipe, &ov, &done, TRUE);  // the buffer is ours again only after this
      done = 0;
      return false;
    }
  }
  if (GetOverlappedResult(pipe, &ov, &done, FALSE)) return true;
  return GetLastError() == ERROR_MORE_DATA;  // a longer message: its first part is what we take
}

// The pipe with the request byte written, or nothing.
bool Request(uint8_t request, Handle& pipe) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (attempt) Sleep(100);
    HANDLE h = CreateFileW(DISKWARN_PIPE_NAME, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           hdd::kPipeOpenFlags, nullptr);
    pipe.reset(h);
    if (pipe) break;
  }
  if (!pipe) return false;
  DWORD written = 0;
  return Transfer(pipe.get(), true, &request, 1, written, kPipeReplyMs) && written == 1;
}

}  // namespace

bool QueryService(const wchar_t* name, int32_t& state, int32_t& startType) {
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return false;
  ServiceHandle service(OpenServiceW(manager.get(), name, SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS));
  return service && QueryOpen(service.get(), state, startType);
}

bool ControlDataService(uint32_t control, bool& running) {
  running = true;
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return false;
  ServiceHandle service(OpenServiceW(manager.get(), DISKWARN_DATA_SERVICE, SERVICE_USER_DEFINED_CONTROL | SERVICE_QUERY_STATUS));
  SERVICE_STATUS status = {};
  if (!service || !QueryServiceStatus(service.get(), &status)) return false;
  if (status.dwCurrentState == SERVICE_STOPPED) {
    running = false;
    return true;
  }
  if (ControlService(service.get(), control, &status)) return true;
  if (GetLastError() != ERROR_SERVICE_NOT_ACTIVE) return false;
  running = false;
  return true;
}

bool StartDataServiceDirectly() {
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return false;
  ServiceHandle service(OpenServiceW(manager.get(), DISKWARN_DATA_SERVICE,
                                     SERVICE_CHANGE_CONFIG | SERVICE_QUERY_STATUS | SERVICE_START));
  SERVICE_STATUS status = {};
  if (!service ||
      !ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, SERVICE_AUTO_START, SERVICE_NO_CHANGE, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr, nullptr) ||
      !QueryServiceStatus(service.get(), &status))
    return false;
  return status.dwCurrentState == SERVICE_RUNNING || StartServiceW(service.get(), 0, nullptr) ||
         GetLastError() == ERROR_SERVICE_ALREADY_RUNNING;
}

bool PipePathRequest(std::vector<uint8_t>& reply) {
  Handle pipe;
  if (!Request(1, pipe)) return false;
  reply.assign(hdd::kPathReplyBytes, 0);
  DWORD got = 0;
  if (!Transfer(pipe.get(), false, reply.data(), static_cast<DWORD>(reply.size()), got, kPipeReplyMs)) got = 0;
  reply.resize(got);
  return true;
}

bool PipeRecordsRequest(int32_t& count, std::vector<uint8_t>& records) {
  count = 0;
  records.clear();
  Handle pipe;
  if (!Request(0, pipe)) return false;
  uint8_t head[4] = {};
  DWORD got = 0;
  if (!Transfer(pipe.get(), false, head, 4, got, kPipeReplyMs) || got != 4) return true;
  count = static_cast<int32_t>(head[0] | head[1] << 8 | head[2] << 16 | uint32_t(head[3]) << 24);
  if (count <= 0) return true;
  records.assign(hdd::kRecordReplyBytes, 0);
  if (!Transfer(pipe.get(), false, records.data(), static_cast<DWORD>(records.size()), got, kPipeReplyMs)) got = 0;
  records.resize(got);
  return true;
}

// The viewer's services are 64-bit programs on 64-bit Windows: their key is read in the 64-bit
// view, as the driver reads the default hibernation times.
std::optional<std::u16string> ViewerValues::String(const char16_t* name) {
  wchar_t text[256] = {};
  DWORD size = sizeof text;
  if (!CReg().ReadString64(HKEY_LOCAL_MACHINE, DISKWARN_VIEWER_KEY, reinterpret_cast<const wchar_t*>(name), text,
                           &size))
    return std::nullopt;
  return std::u16string(reinterpret_cast<const char16_t*>(text));
}

std::optional<uint32_t> ViewerValues::Dword(const char16_t* name) {
  DWORD value = 0;
  if (!CReg().ReadDword64(HKEY_LOCAL_MACHINE, DISKWARN_VIEWER_KEY, reinterpret_cast<const wchar_t*>(name), &value))
    return std::nullopt;
  return value;
}

bool DefaultHibernateMinutes(uint32_t& ac, uint32_t& dc) {
  MiscCommon::CMiscCommon client;
  if (client.Open() != MiscCommon::MC_OK) return false;
  MiscCommon::CDriverReg reg(&client);
  const char16_t* key = u"Software\\Velmorant\\Sysglance";
  uint32_t a = 0, d = 0;
  const bool ok = reg.ReadDword(win32::RegRoot::LocalMachine, key, u"Diskwarn004", &a) &&
                  reg.ReadDword(win32::RegRoot::LocalMachine, key, u"Diskwarn005", &d);
  client.Close();
  if (ok) ac = a, dc = d;
  return ok;
}

int64_t EvaluationPorts::NowWallSeconds() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return hdd::WallSeconds(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
}

bool EvaluationPorts::Report(uint32_t control) {
  bool running = true;
  return ControlDataService(control, running) && running;  // a stopped service took no report
}

bool EvaluationPorts::HibernateSeconds(bool onMains, uint32_t& seconds) { return SchemeHibernateSeconds(onMains, seconds); }

}  // namespace dw
