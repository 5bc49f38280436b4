#include "modules/registration/module/reg_shell.h"

#include "common/core/misccommon.h"
#include "common/core/model_identity.h"
#include "common/win/audit.h"
#include "common/win/reg.h"
#include "modules/registration/qr_file.h"

namespace reg {
namespace {
const wchar_t kModuleKey[] = L"Software\\Velmorant\\WICKPOST\\WKPTREG";
const char16_t kModuleKey16[] = u"Software\\Velmorant\\WICKPOST\\WKPTREG";
const char16_t kHostKey16[] = u"Software\\Velmorant\\WICKPOST";

LocalTime FromSystemTime(const SYSTEMTIME& st) {
  return LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}
}  // namespace

LocalTime WinClock::Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return FromSystemTime(st);
}

bool WinClock::LocalFromUnix(uint32_t seconds, LocalTime& out) {
  const ULONGLONG ticks = ULONGLONG(seconds) * 10000000ULL + 116444736000000000ULL;
  FILETIME utc = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)}, local;
  SYSTEMTIME st;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &st)) return false;
  out = FromSystemTime(st);
  return true;
}

bool WinStore::SetupEnable() {
  CReg reg;
  DWORD value = 1;
  if (!reg.ReadDword64(HKEY_LOCAL_MACHINE, kModuleKey, L"SetupEnable", &value) &&
      !reg.ReadDword(HKEY_LOCAL_MACHINE, kModuleKey, L"SetupEnable", &value))
    value = 1;
  return value != 0;
}

std::optional<std::u16string> WinStore::FirstLogin() {
  wchar_t text[64] = {};
  DWORD size = sizeof text;
  if (!CReg().ReadString64(HKEY_LOCAL_MACHINE, L"Software\\Velmorant\\Sysglance", L"FirstLogin", text, &size))
    return std::nullopt;
  return U16(text);
}

std::optional<uint32_t> WinStore::InstallDate() {
  DWORD value = 0;
  if (!CReg().ReadDword64(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion", L"InstallDate", &value))
    return std::nullopt;
  return value;
}

std::optional<uint32_t> WinStore::Notify() {
  uint32_t value = 0;
  if (!client_ || !MiscCommon::CDriverReg(client_).ReadDword(win32::RegRoot::LocalMachine, kModuleKey16, u"Notify", &value))
    return std::nullopt;
  return value;
}

bool WinStore::SaveNotify(bool on) {
  return client_ && MiscCommon::CDriverReg(client_).WriteDword(win32::RegRoot::LocalMachine, kModuleKey16, u"Notify", on);
}

std::optional<MonthDay> WinStore::LastNotified() {
  CReg reg;
  DWORD month = 0, day = 0;
  if (!reg.ReadDword(HKEY_CURRENT_USER, kModuleKey, L"LastNotifyMonth", &month) ||
      !reg.ReadDword(HKEY_CURRENT_USER, kModuleKey, L"LastNotifyDay", &day))
    return std::nullopt;
  return MonthDay{static_cast<int>(month), static_cast<int>(day)};
}

bool WinStore::SaveLastNotified(MonthDay d) {
  CReg reg;
  const bool month = reg.WriteDword(HKEY_CURRENT_USER, kModuleKey, L"LastNotifyMonth", d.month);
  return reg.WriteDword(HKEY_CURRENT_USER, kModuleKey, L"LastNotifyDay", d.day) && month;
}

void WinStore::EnsureHostKey() {
  if (!client_) return;
  MiscCommon::CDriverReg driverReg(client_);
  if (!driverReg.KeyExists(win32::RegRoot::LocalMachine, kHostKey16))
    driverReg.CreateKey(win32::RegRoot::LocalMachine, kHostKey16);
}

bool WinStore::AuditMode() { return CAudit().IsAuditMode(AUDIT_CHECK_CLONETAG | AUDIT_CHECK_SYSPREP); }

bool WinStore::ReadModel(std::string& model) {
  return client_ && MiscCommon::ReadModelNumber(*client_, model) == MiscCommon::MC_OK && !model.empty();
}

bool WinStore::ReadSerial(std::string& serial) {
  return client_ && MiscCommon::ReadSerialNumber(*client_, serial) == MiscCommon::MC_OK;
}

std::u16string WinFiles::ModuleFolder() { return kit::ModuleFolder(); }

std::u16string WinFiles::BitmapPath() {
  const std::u16string folder = kit::TempFolder();
  return folder.empty() ? std::u16string() : folder + u"wkptreg.bmp";
}

bool WinFiles::WriteQr(const std::u16string& path, const std::string& text) {
  return !path.empty() && qr::WriteQrBitmap(path, text.c_str()) == qr::WriteStatus::Ok;
}

}  // namespace reg
