#include "host/win/settings_store.h"

#include "host/core/command_line.h"

namespace host {
namespace {
const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }
}  // namespace

bool RegistrySettingsStore::Read(SettingsRoot root, const char16_t* name, uint32_t* value) {
  DWORD v = 0;
  if (!reg_.ReadDword(root == SettingsRoot::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, W(kHostKey), W(name), &v))
    return false;
  *value = v;
  return true;
}

bool RegistrySettingsStore::WriteUser(const char16_t* name, uint32_t value) {
  return reg_.WriteDword(HKEY_CURRENT_USER, W(kHostKey), W(name), value);
}

}  // namespace host
