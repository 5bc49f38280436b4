#include "common/win/reg.h"

#include "common/win/reg_key.h"

namespace {
REGSAM View64() { return CReg::IsWow64() ? KEY_WOW64_64KEY : 0; }

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }
}  // namespace

bool CReg::IsWow64() {
  // Resolved at run time: the function is missing on early XP.
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
  const auto isWow64Process = reinterpret_cast<IsWow64ProcessFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process")));
  BOOL wow64 = FALSE;
  return isWow64Process && isWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

bool CReg::ValueExists(HKEY root, LPCWSTR subKey, LPCWSTR name) {
  RegKey key;
  return RegOpenKeyExW(root, subKey, 0, KEY_QUERY_VALUE, key.out()) == ERROR_SUCCESS &&
         RegQueryValueExW(key.get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool CReg::ReadDword(HKEY root, LPCWSTR subKey, LPCWSTR name, DWORD* out, REGSAM extraAccess) {
  RegKey key;
  if (!out || RegOpenKeyExW(root, subKey, 0, KEY_QUERY_VALUE | extraAccess, key.out()) != ERROR_SUCCESS) return false;
  BYTE data[256] = {};
  DWORD type = 0, size = sizeof data;
  if (RegQueryValueExW(key.get(), name, nullptr, &type, data, &size) != ERROR_SUCCESS || type != REG_DWORD ||
      size != sizeof(DWORD))
    return false;
  *out = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<DWORD>(data[3]) << 24);
  return true;
}

bool CReg::ReadStringAccess(HKEY root, LPCWSTR subKey, LPCWSTR name, LPWSTR buffer, DWORD* byteSize, REGSAM access) {
  if (!buffer || !byteSize || *byteSize < sizeof(WCHAR)) return false;
  const DWORD capacity = *byteSize / sizeof(WCHAR);
  RegKey key;
  if (RegOpenKeyExW(root, subKey, 0, access, key.out()) != ERROR_SUCCESS) return false;
  DWORD type = 0;
  const LONG rc = RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), byteSize);
  if (rc != ERROR_SUCCESS || !IsStringType(type)) {
    buffer[0] = L'\0';
    return false;
  }
  const DWORD chars = *byteSize / sizeof(WCHAR);
  if (chars > 0 && buffer[chars - 1] == L'\0') return true;
  if (chars < capacity) {
    buffer[chars] = L'\0';
    return true;
  }
  buffer[capacity - 1] = L'\0';  // never hand out an unterminated buffer, even on failure
  *byteSize = (chars + 1) * sizeof(WCHAR);
  return false;
}

bool CReg::ReadString(HKEY root, LPCWSTR subKey, LPCWSTR name, LPWSTR buffer, DWORD* byteSize) {
  return ReadStringAccess(root, subKey, name, buffer, byteSize, KEY_QUERY_VALUE);
}

bool CReg::WriteDword(HKEY root, LPCWSTR subKey, LPCWSTR name, DWORD value) {
  RegKey key;
  if (RegCreateKeyExW(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.out(),
                      nullptr) != ERROR_SUCCESS &&
      RegCreateKeyExW(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.out(), nullptr) !=
          ERROR_SUCCESS)
    return false;
  return RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
         ERROR_SUCCESS;
}

bool CReg::ReadDword64(HKEY root, LPCWSTR subKey, LPCWSTR name, DWORD* out) {
  return ReadDword(root, subKey, name, out, View64());
}

bool CReg::ReadString64(HKEY root, LPCWSTR subKey, LPCWSTR name, LPWSTR buffer, DWORD* byteSize) {
  return ReadStringAccess(root, subKey, name, buffer, byteSize, KEY_QUERY_VALUE | View64());
}

bool CReg::KeyExists64(HKEY root, LPCWSTR subKey) {
  RegKey key;
  return RegOpenKeyExW(root, subKey, 0, KEY_QUERY_VALUE | View64(), key.out()) == ERROR_SUCCESS;
}
