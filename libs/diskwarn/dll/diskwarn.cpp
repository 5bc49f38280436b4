// Diskwarn.dll: the nine exports over the hard-disk rules (libs/diskwarn/hdd_rules.h). Each
// runs guarded: no exception leaves the library, every failure is a 0.
#include <windows.h>

#include "common/win/authority.h"
#include "common/win/winversion.h"
#include "libs/diskwarn/diskwarn.h"
#include "libs/diskwarn/dll/dw_machine.h"
#include "libs/diskwarn/dll/dw_win.h"
#include "libs/diskwarn/hdd_rules.h"
#include "modules/kit/guard.h"
#include "resources/diskwarn/diskwarn_ids.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {
template <class Body>
int32_t Export(Body&& body) noexcept {
  return kit::Guarded<int32_t>(0, [&]() -> int32_t { return body() ? 1 : 0; });
}

bool OlderWindows() {
  const WORD os = CWinVersion().GetOsType();
  return os == WINVER_2000 || os == WINVER_XP;
}

bool ServiceState(const wchar_t* name, int32_t* state, int32_t* start) {
  int32_t s = 0, t = 0;
  if (!state || !start || !dw::QueryService(name, s, t)) return false;
  *state = s, *start = t;
  return true;
}

void Message(UINT text) {
  const HINSTANCE self = reinterpret_cast<HINSTANCE>(&__ImageBase);
  wchar_t body[512] = {}, caption[64] = {};
  LoadStringW(self, text, body, 512);
  LoadStringW(self, IDS_DW_CAPTION, caption, 64);
  MessageBoxW(nullptr, body, caption, MB_ICONWARNING);
}
}  // namespace

int32_t DISKWARN_CALL Diskwarn_CheckTargetHdd(int32_t* isTarget, int32_t* noExcludedDevice) {
  return Export([&] {
    if (!isTarget || !noExcludedDevice) return false;
    *isTarget = 1, *noExcludedDevice = 1;
    const std::optional<uint32_t> monitored = dw::ViewerValues().Dword(u"Diskwarn000");
    if (!monitored) return false;
    if ((*monitored & 1) == 0) *isTarget = 0;
    std::vector<std::u16string> ids;
    if (dw::PresentPciInstanceIds(ids))
      for (const std::u16string& id : ids)
        if (hdd::IsExcludedDevice(id)) *noExcludedDevice = 0;
    return true;
  });
}

int32_t DISKWARN_CALL Diskwarn_GetSysglancePipeServiceState(int32_t* currentState, int32_t* startType) {
  return Export([&] { return ServiceState(DISKWARN_PIPE_SERVICE, currentState, startType); });
}

int32_t DISKWARN_CALL Diskwarn_GetSysglanceServiceState(int32_t* currentState, int32_t* startType) {
  return Export([&] { return ServiceState(DISKWARN_DATA_SERVICE, currentState, startType); });
}

int32_t DISKWARN_CALL Diskwarn_StartSysglanceService(HWND owner) {
  return Export([&] {
    int32_t state = 0, start = 0;
    if (!dw::QueryService(DISKWARN_DATA_SERVICE, state, start)) return false;
    if (state == SERVICE_RUNNING) return true;
    if (OlderWindows()) return dw::StartDataServiceDirectly();
    switch (dw::StartDataServiceElevated(owner)) {
      case dw::Elevation::Started: return true;
      case dw::Elevation::MethodFailed: Message(IDS_DW_NO_PERMISSION); return false;
      case dw::Elevation::Blocked: Message(IDS_DW_BLOCKED); return false;
      default: return false;
    }
  });
}

int32_t DISKWARN_CALL Diskwarn_CheckHddMotorStop(const wchar_t* devicePath, int32_t* spinning) {
  return Export([&] {
    bool on = false;
    if (!devicePath || !spinning || !hdd::IsLocalDiskPath(reinterpret_cast<const char16_t*>(devicePath)) ||
        !dw::DiskSpinning(devicePath, on))
      return false;
    *spinning = on ? 1 : 0;
    return true;
  });
}

int32_t DISKWARN_CALL Diskwarn_GetHddFileName(wchar_t* buffer, int32_t capacity) {
  return Export([&] {
    std::vector<uint8_t> reply;
    if (!dw::PipePathRequest(reply)) return false;
    // Only a local disk's path is handed on: whoever answers on the pipe's name is not
    // necessarily the viewer.
    const std::u16string path = hdd::PathFromReply(reply.data(), reply.size());
    if (hdd::IsLocalDiskPath(path)) kit::CopyText(path, reinterpret_cast<char16_t*>(buffer), capacity);
    return true;
  });
}

int32_t DISKWARN_CALL Diskwarn_GetDefaultHibernateTime(uint32_t* ac, uint32_t* dc) {
  return Export([&] { return ac && dc && dw::DefaultHibernateMinutes(*ac, *dc); });
}

int32_t DISKWARN_CALL Diskwarn_GetSupportInfo(int32_t* supportFlags) {
  return Export([&] {
    if (!supportFlags) return false;
    int32_t count = 0;
    std::vector<uint8_t> records;
    if (!dw::PipeRecordsRequest(count, records)) return false;
    uint32_t flags = hdd::AttributeFlags(count, records.data(), records.size());
    uint32_t ac = 0, dc = 0;
    if (!(OlderWindows() && !CAuthority().IsAdministrator()) && dw::DefaultHibernateMinutes(ac, dc))
      flags |= hdd::kSupportHibernate;
    *supportFlags = static_cast<int32_t>(flags);
    return true;
  });
}

int32_t DISKWARN_CALL Diskwarn_CheckDiskwarnication(int32_t modelClass, int32_t wantedEvents, int32_t* foundEvents) {
  return Export([&] {
    if (!foundEvents) return false;
    dw::EvaluationPorts ports;
    const hdd::Evaluation e = hdd::Evaluate(modelClass, static_cast<uint32_t>(wantedEvents), ports);
    if (e.ok) *foundEvents = static_cast<int32_t>(e.found);  // a failure leaves it as it was
    return e.ok;
  });
}
