#include "modules/battery/module/bat_shell.h"

#include <msxml2.h>
#include <oleauto.h>

#include "common/win/audit.h"
#include "common/win/com_ptr.h"
#include "common/win/reg.h"
#include "common/win/reg_key.h"
#include "modules/kit/module/kit_msxml.h"

namespace bat {
namespace {
const wchar_t kModuleKey[] = L"Software\\Velmorant\\WICKPOST\\WKPTBAT";

std::wstring PackKey(const std::u16string& pack) {
  std::wstring key = kModuleKey;
  if (!pack.empty()) key += L"\\" + std::wstring(Wide(pack));
  return key;
}

int64_t Seconds(const FILETIME& ft) {
  const ULONGLONG ticks = (ULONGLONG(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return static_cast<int64_t>(ticks / 10000000ULL) - 11644473600LL;
}

// Root, messages and fields are all the module reads.
constexpr int kLevels = 3;

}  // namespace

int64_t WinClock::NowUtc() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  return Seconds(ft);
}

LocalTime WinClock::NowLocal() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

std::optional<int64_t> WinClock::LocalMidnight(const Date& d) {
  // The time zone's rule for that very day, not today's bias, so that a date across a
  // daylight-saving change is not an hour off.
  SYSTEMTIME local = {static_cast<WORD>(d.year), static_cast<WORD>(d.month), 0, static_cast<WORD>(d.day), 0, 0, 0, 0};
  SYSTEMTIME utc;
  FILETIME ft;
  if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) || !SystemTimeToFileTime(&utc, &ft)) return std::nullopt;
  return Seconds(ft);
}

std::u16string WinClock::DateTimeText(const LocalTime& t) {
  const SYSTEMTIME st = {static_cast<WORD>(t.year), static_cast<WORD>(t.month), 0, static_cast<WORD>(t.day),
                         static_cast<WORD>(t.hour), static_cast<WORD>(t.minute), static_cast<WORD>(t.second), 0};
  wchar_t date[80] = {}, time[80] = {};
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, 80);
  GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, 80);
  return U16(date) + u" " + U16(time);
}

// The machine defaults come from the process's own registry view, as CReg reads it.
std::optional<uint32_t> WinStore::MachineDword(const char16_t* name) {
  DWORD value = 0;
  if (!CReg().ReadDword(HKEY_LOCAL_MACHINE, kModuleKey, reinterpret_cast<const wchar_t*>(name), &value))
    return std::nullopt;
  return value;
}

std::optional<std::u16string> WinStore::MachineString(const char16_t* name) {
  wchar_t text[261] = {};
  DWORD size = 520;
  if (!CReg().ReadString(HKEY_LOCAL_MACHINE, kModuleKey, reinterpret_cast<const wchar_t*>(name), text, &size))
    return std::nullopt;
  return U16(text);
}

std::optional<uint32_t> WinStore::UserDword(const std::u16string& pack, const char16_t* name) {
  DWORD value = 0;
  if (!CReg().ReadDword(HKEY_CURRENT_USER, PackKey(pack).c_str(), reinterpret_cast<const wchar_t*>(name), &value))
    return std::nullopt;
  return value;
}

std::optional<std::u16string> WinStore::UserString(const std::u16string& pack, const char16_t* name) {
  wchar_t text[64] = {};
  DWORD size = sizeof text;
  if (!CReg().ReadString(HKEY_CURRENT_USER, PackKey(pack).c_str(), reinterpret_cast<const wchar_t*>(name), text, &size))
    return std::nullopt;
  return U16(text);
}

bool WinStore::WriteUserDword(const std::u16string& pack, const char16_t* name, uint32_t value) {
  return CReg().WriteDword(HKEY_CURRENT_USER, PackKey(pack).c_str(), reinterpret_cast<const wchar_t*>(name), value);
}

bool WinStore::WriteUserString(const std::u16string& pack, const char16_t* name, const std::u16string& value) {
  RegKey key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, PackKey(pack).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, key.out(), nullptr) != ERROR_SUCCESS)
    return false;
  const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key.get(), reinterpret_cast<const wchar_t*>(name), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(value.c_str()), bytes) == ERROR_SUCCESS;
}

bool WinStore::AuditMode() { return CAudit().IsAuditMode(AUDIT_CHECK_CLONETAG | AUDIT_CHECK_SYSPREP); }

std::u16string WinFiles::ModulePath() { return kit::ModulePath(); }

bool WinFiles::Exists(const std::u16string& path) { return GetFileAttributesW(Wide(path)) != INVALID_FILE_ATTRIBUTES; }

bool WinFiles::LoadXml(const std::u16string& path, XmlElement& root) { return kit::LoadXmlRoot(path, kLevels, root); }

}  // namespace bat
