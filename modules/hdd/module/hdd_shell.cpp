#include "modules/hdd/module/hdd_shell.h"

#include "common/win/audit.h"
#include "common/win/authority.h"
#include "common/win/reg.h"
#include "common/win/winversion.h"

namespace hddm {
namespace {
const wchar_t kModuleKey[] = L"Software\\Velmorant\\WICKPOST\\WKPTHDD";

template <class Fn>
bool Resolve(HMODULE dll, const char* name, Fn& fn) {
  fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
  return fn != nullptr;
}
}  // namespace

bool DiskwarnLibrary::Load() {
  const std::u16string folder = kit::ModuleFolder();
  if (folder.empty()) return false;
  dll_ = LoadLibraryW((std::wstring(kit::Wide(folder)) + L"Diskwarn.dll").c_str());
  if (!dll_) return false;
  if (Resolve(dll_, "Diskwarn_CheckTargetHdd", checkTarget_) &&
      Resolve(dll_, "Diskwarn_GetSysglancePipeServiceState", pipeState_) &&
      Resolve(dll_, "Diskwarn_GetSysglanceServiceState", dataState_) &&
      Resolve(dll_, "Diskwarn_StartSysglanceService", start_) && Resolve(dll_, "Diskwarn_CheckHddMotorStop", motor_) &&
      Resolve(dll_, "Diskwarn_GetHddFileName", path_) && Resolve(dll_, "Diskwarn_GetDefaultHibernateTime", defaults_) &&
      Resolve(dll_, "Diskwarn_GetSupportInfo", support_) && Resolve(dll_, "Diskwarn_CheckDiskwarnication", evaluate_))
    return true;
  Unload();
  return false;
}

void DiskwarnLibrary::Unload() {
  if (dll_) FreeLibrary(dll_);
  dll_ = nullptr;
}

bool DiskwarnLibrary::CheckTarget(int32_t& t, int32_t& n) { return checkTarget_(&t, &n) != 0; }
bool DiskwarnLibrary::PipeServiceState(int32_t& s, int32_t& t) { return pipeState_(&s, &t) != 0; }
bool DiskwarnLibrary::DataServiceState(int32_t& s, int32_t& t) { return dataState_(&s, &t) != 0; }
bool DiskwarnLibrary::StartService() { return start_(nullptr) != 0; }
bool DiskwarnLibrary::MotorSpinning(const std::u16string& path, int32_t& spinning) {
  return motor_(kit::Wide(path), &spinning) != 0;
}
bool DiskwarnLibrary::DiskPath(std::u16string& path) {
  wchar_t buffer[MAX_PATH] = {};
  if (!path_(buffer, MAX_PATH)) return false;
  path = kit::U16(buffer);
  return true;
}
bool DiskwarnLibrary::DefaultTimes(uint32_t& ac, uint32_t& dc) { return defaults_(&ac, &dc) != 0; }
bool DiskwarnLibrary::SupportInfo(int32_t& flags) { return support_(&flags) != 0; }
bool DiskwarnLibrary::Evaluate(int modelClass, uint32_t wanted, int32_t& found) {
  return evaluate_(modelClass, static_cast<int32_t>(wanted), &found) != 0;
}

LocalTime WinPlatform::NowLocal() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

std::u16string WinPlatform::DateTimeText(const LocalTime& t) {
  const SYSTEMTIME st = {static_cast<WORD>(t.year), static_cast<WORD>(t.month), 0, static_cast<WORD>(t.day),
                         static_cast<WORD>(t.hour), static_cast<WORD>(t.minute), static_cast<WORD>(t.second), 0};
  wchar_t date[80] = {}, time[80] = {};
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, 80);
  GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, 80);
  return kit::U16(date) + u" " + kit::U16(time);
}

bool WinPlatform::IsXp() { return CWinVersion().GetOsType() == WINVER_XP; }
bool WinPlatform::IsAdministrator() { return CAuthority().IsAdministrator(); }
std::optional<uint32_t> WinPlatform::EnableLua() {
  DWORD v = 0;
  if (!CReg().ReadDword(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", L"EnableLUA", &v))
    return std::nullopt;
  return v;
}

std::optional<uint32_t> WinStore::UserDword(const char16_t* name) {
  DWORD v = 0;
  if (!CReg().ReadDword(HKEY_CURRENT_USER, kModuleKey, reinterpret_cast<const wchar_t*>(name), &v)) return std::nullopt;
  return v;
}
std::optional<uint32_t> WinStore::MachineDword(const char16_t* name) {
  DWORD v = 0;
  if (!CReg().ReadDword(HKEY_LOCAL_MACHINE, kModuleKey, reinterpret_cast<const wchar_t*>(name), &v)) return std::nullopt;
  return v;
}
bool WinStore::WriteUserDword(const char16_t* name, uint32_t value) {
  return CReg().WriteDword(HKEY_CURRENT_USER, kModuleKey, reinterpret_cast<const wchar_t*>(name), value);
}
bool WinStore::AuditMode() { return CAudit().IsAuditMode(AUDIT_CHECK_CLONETAG | AUDIT_CHECK_SYSPREP); }

std::u16string WinStrings::Load(uint16_t id) {
  const std::wstring text = kit::LoadText(id);
  return kit::U16(text.c_str(), text.size());
}

}  // namespace hddm
