#include "common/win/audit.h"

#include "common/win/reg.h"
#include "common/win/winversion.h"

namespace {
const wchar_t kSetup[] = L"SYSTEM\\Setup";

class RegistryAuditFacts : public audit::IAuditFacts {
 public:
  std::optional<uint32_t> AuditInProgress() override { return Dword(kSetup, L"AuditInProgress", 0); }
  bool HasCloneTag() override { return reg_.ValueExists(HKEY_LOCAL_MACHINE, kSetup, L"CloneTag"); }
  bool SysprepShutdownOpens() override {
    HANDLE h = CreateFileW(L"C:\\sysprep\\shutdown.exe", GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
  }
  std::optional<std::u16string> ImageState() override {
    WCHAR text[260] = {};
    DWORD size = sizeof text;
    if (!reg_.ReadString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup\\State",
                         L"ImageState", text, &size))
      return std::nullopt;
    return std::u16string(reinterpret_cast<const char16_t*>(text));
  }
  std::optional<uint32_t> PreinstallAudit() override {
    return Dword(L"SOFTWARE\\Velmorant\\Preinstall\\Setup", L"Audit", KEY_WOW64_64KEY);
  }

 private:
  std::optional<uint32_t> Dword(LPCWSTR key, LPCWSTR name, REGSAM view) {
    DWORD value = 0;
    if (!reg_.ReadDword(HKEY_LOCAL_MACHINE, key, name, &value, view)) return std::nullopt;
    return value;
  }
  CReg reg_;
};
}  // namespace

bool CAudit::IsAuditMode(unsigned flags) {
  CWinVersion version;
  RegistryAuditFacts facts;
  return audit::IsAuditMode(version.GetOsType(), flags, facts);
}
