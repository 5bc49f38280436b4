#include "modules/registration/module/reg_shell.h"

#include "common/core/misccommon.h"
#include "common/core/model_identity.h"
#include "common/win/audit.h"
#include "common/win/reg.h"
#include "modules/registration/qr_file.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace reg {
namespace {
const wchar_t kModuleKey[] = L"Software\\Velmorant\\WICKPOST\\WKPTREG";
const char16_t kModuleKey16[] = u"Software\\Velmorant\\WICKPOST\\WKPTREG";
const char16_t kHostKey16[] = u"Software\\Velmorant\\WICKPOST";

std::unique_ptr<Module>& Slot() {
  static std::unique_ptr<Module> module;
  return module;
}

std::u16string TempFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
  return n == 0 || n > MAX_PATH ? std::u16string() : U16(buffer);
}

LocalTime FromSystemTime(const SYSTEMTIME& st) {
  return LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}
}  // namespace

Module* TheModule() { return Slot().get(); }
void SetModule(std::unique_ptr<Module> module) { Slot() = std::move(module); }
HINSTANCE ModuleInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

std::wstring LoadText(UINT id) {
  const wchar_t* text = nullptr;
  const int n = LoadStringW(ModuleInstance(), id, reinterpret_cast<LPWSTR>(&text), 0);
  return n > 0 ? std::wstring(text, n) : std::wstring();
}

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

std::u16string WinFiles::ModuleFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameW(ModuleInstance(), path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::u16string();
  std::u16string folder = U16(path);
  return folder.substr(0, folder.find_last_of(u'\\') + 1);
}

bool WinFiles::NewPagePath(std::u16string& path) {
  const std::u16string folder = TempFolder();
  wchar_t name[MAX_PATH] = {};
  if (folder.empty() || !GetTempFileNameW(Wide(folder), L"WRG", 0, name)) return false;
  path = U16(name);
  return true;
}

std::u16string WinFiles::BitmapPath() {
  const std::u16string folder = TempFolder();
  return folder.empty() ? std::u16string() : folder + u"wkptreg.bmp";
}

bool WinFiles::WritePage(const std::u16string& path, const std::string& utf8) {
  HANDLE file = CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_TEMPORARY, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr) && written == utf8.size();
  return CloseHandle(file) && ok;
}

bool WinFiles::WriteQr(const std::u16string& path, const std::string& text) {
  return !path.empty() && qr::WriteQrBitmap(path, text.c_str()) == qr::WriteStatus::Ok;
}

void WinFiles::Delete(const std::u16string& path) { DeleteFileW(Wide(path)); }

}  // namespace reg
