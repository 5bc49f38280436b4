#include "modules/anomaly/module/anm_shell.h"

#include <shellapi.h>

#include <fstream>
#include <vector>

#include "common/core/model_identity.h"
#include "common/win/audit.h"
#include "common/win/reg.h"
#include "modules/kit/module/kit_com.h"
#include "modules/kit/module/kit_msxml.h"

namespace anm {
namespace {
using kit::Wide;
using kit::U16;

// HKLM's views in the order the records are looked for: the process's own, then the 64-bit one.
std::vector<REGSAM> Views() {
  std::vector<REGSAM> views = {0};
  if (CReg::IsWow64()) views.push_back(KEY_WOW64_64KEY);
  return views;
}

std::optional<RegValue> QueryValue(HKEY key, const wchar_t* name) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size > 65536) return std::nullopt;
  std::vector<BYTE> data(size + 4, 0);
  if (RegQueryValueExW(key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) return std::nullopt;
  RegValue v;
  v.type = type;
  if (type == REG_DWORD && size >= 4) v.dword = *reinterpret_cast<const DWORD*>(data.data());
  v.data.assign(reinterpret_cast<const char16_t*>(data.data()), size / 2);
  return v;
}

std::u16string FirstString(const RegValue& v) {
  const size_t end = v.data.find(u'\0');
  return v.data.substr(0, end);
}
}  // namespace

std::optional<uint32_t> WinStore::MachineDword(const char16_t* name) {
  DWORD value = 0;
  CReg reg;
  if ((CReg::IsWow64() && reg.ReadDword64(HKEY_LOCAL_MACHINE, kModuleKey, Wide(name), &value)) ||
      reg.ReadDword(HKEY_LOCAL_MACHINE, kModuleKey, Wide(name), &value))
    return value;
  return std::nullopt;
}

std::optional<std::u16string> WinStore::MachineString(const char16_t* name) {
  wchar_t text[261] = {};
  DWORD size = 520;
  if (!CReg().ReadString(HKEY_LOCAL_MACHINE, kModuleKey, Wide(name), text, &size)) return std::nullopt;
  return U16(text);
}

std::optional<uint32_t> WinStore::UserDword(const char16_t* name) {
  DWORD value = 0;
  if (!CReg().ReadDword(HKEY_CURRENT_USER, kModuleKey, Wide(name), &value)) return std::nullopt;
  return value;
}

bool WinStore::WriteUserDword(const char16_t* name, uint32_t value) {
  return CReg().WriteDword(HKEY_CURRENT_USER, kModuleKey, Wide(name), value);
}

bool WinStore::AuditMode() { return CAudit().IsAuditMode(AUDIT_CHECK_CLONETAG | AUDIT_CHECK_SYSPREP); }

std::optional<std::string> WinMachine::Model() {
  std::string model;
  if (!client_ || MiscCommon::ReadModelNumber(*client_, model) != MiscCommon::MC_OK) return std::nullopt;
  return model;
}

std::optional<std::string> WinMachine::VersionDocLine() {
  std::ifstream file("c:\\util\\version.doc", std::ios::binary);
  if (!file) return std::nullopt;
  std::string line;
  std::getline(file, line);
  if (!std::getline(file, line)) return std::string();
  return line;
}

// Any group of the process's token that is BUILTIN\Administrators, enabled or not.
bool WinMachine::Administrator() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  DWORD size = 0;
  GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
  std::vector<BYTE> buffer(size ? size : 1);
  const bool read = size && GetTokenInformation(token, TokenGroups, buffer.data(), size, &size);
  CloseHandle(token);
  if (!read) return false;
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID admins = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins))
    return false;
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  bool result = false;
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    if (!EqualSid(groups->Groups[i].Sid, admins)) continue;
    wchar_t name[256], domain[256];
    DWORD n = 256, d = 256;
    SID_NAME_USE use;
    result = LookupAccountSidW(nullptr, groups->Groups[i].Sid, name, &n, domain, &d, &use) &&
             lstrcmpiW(domain, L"BUILTIN") == 0 && lstrcmpiW(name, L"Administrators") == 0;
    break;
  }
  FreeSid(admins);
  return result;
}

std::u16string WinMachine::DateTimeText() {
  wchar_t date[80] = {}, time[80] = {};
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, 80);
  GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, time, 80);
  return U16(date) + u" " + U16(time);
}

bool WinFiles::Exists(const std::u16string& path) { return GetFileAttributesW(Wide(path)) != INVALID_FILE_ATTRIBUTES; }

bool WinFiles::LoadXml(const std::u16string& path, kit::XmlElement& root) { return kit::LoadXmlRoot(path, 3, root); }

std::vector<std::u16string> WinRepairRegistry::SubKeys(const std::u16string& path) {
  std::vector<std::u16string> out;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(path), 0, KEY_READ, &key) != ERROR_SUCCESS) return out;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD n = 256;
    if (RegEnumKeyExW(key, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    out.push_back(U16(name, n));
  }
  RegCloseKey(key);
  return out;
}

std::optional<RegValue> WinRepairRegistry::Value(const std::u16string& path, const char16_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(path), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
  auto v = QueryValue(key, Wide(name));
  RegCloseKey(key);
  return v;
}

bool WinRepairRegistry::KeyExists(const std::u16string& path, std::optional<std::u16string>& displayName) {
  for (REGSAM view : Views()) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(path), 0, KEY_READ | view, &key) != ERROR_SUCCESS) continue;
    if (const auto v = QueryValue(key, L"DisplayName"); v && (v->type == REG_SZ || v->type == REG_EXPAND_SZ))
      displayName = FirstString(*v);
    RegCloseKey(key);
    return true;
  }
  return false;
}

std::vector<std::u16string> WinRepairRegistry::PendingRenames() {
  std::vector<std::u16string> out;
  const auto v = Value(u"SYSTEM\\CurrentControlSet\\Control\\Session Manager", u"PendingFileRenameOperations");
  if (!v || v->type != REG_MULTI_SZ) return out;
  for (size_t at = 0; at < v->data.size();) {
    size_t end = v->data.find(u'\0', at);
    if (end == std::u16string::npos) end = v->data.size();
    if (end > at) out.push_back(v->data.substr(at, end - at));  // empty entries stand for "delete"
    at = end + 1;
  }
  return out;
}

std::optional<std::u16string> WinRepairRegistry::StartupValue(const std::u16string& path, const std::u16string& name) {
  for (REGSAM view : Views()) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(path), 0, KEY_READ | view, &key) != ERROR_SUCCESS) continue;
    const auto v = QueryValue(key, Wide(name));
    RegCloseKey(key);
    if (v && (v->type == REG_SZ || v->type == REG_EXPAND_SZ)) return FirstString(*v);
  }
  return std::nullopt;
}

bool WinInstallSystem::FileExists(const std::u16string& path) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(Wide(path), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  return true;
}

// The shell, not CreateProcessW: only it shows the consent prompt for an installer that asks
// for elevation, and opens a package with the Windows Installer. The worker thread has no
// message loop, so the call finishes its work before it returns (DDEWAIT, i.e. NOASYNC).
bool WinInstallSystem::Start(const Command& c, uintptr_t& process) {
  kit::ComScope com;  // the shell may hand the file to a COM extension
  const std::wstring file(Wide(c.file)), parameters(Wide(c.parameters));
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_DDEWAIT;
  info.lpFile = file.c_str();
  info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info)) return false;
  process = reinterpret_cast<uintptr_t>(info.hProcess);
  return true;
}

std::u16string WinInstallSystem::SystemFolder() {
  wchar_t folder[MAX_PATH] = {};
  const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  return n && n < MAX_PATH ? U16(folder) : std::u16string();
}

bool WinInstallSystem::Wait(uintptr_t process, uint32_t ms) {
  return WaitForSingleObject(reinterpret_cast<HANDLE>(process), ms) == WAIT_OBJECT_0;
}

void WinInstallSystem::Close(uintptr_t process) { CloseHandle(reinterpret_cast<HANDLE>(process)); }

bool WinInstallSystem::WriteStartup(const std::u16string& key, const std::u16string& name, const std::u16string& data) {
  if (!client_) return false;
  std::vector<uint8_t> field(520, 0);  // the 260-character field, zero-filled after the text
  memcpy(field.data(), data.c_str(), std::min<size_t>(data.size(), 259) * 2);
  return client_->SetRegistry(win32::RegRoot::LocalMachine, key.c_str(), name.c_str(), REG_SZ, field.data(),
                              static_cast<uint32_t>(field.size())) == MiscCommon::MC_OK;
}

}  // namespace anm
