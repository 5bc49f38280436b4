// CReg: direct registry access with the calling user's rights. Answers true or false, never raises.
#pragma once
#include <windows.h>

class CReg {
 public:
  virtual ~CReg() = default;

  bool ValueExists(HKEY root, LPCWSTR subKey, LPCWSTR name);
  // True and *out set only for a REG_DWORD of exactly four bytes.
  bool ReadDword(HKEY root, LPCWSTR subKey, LPCWSTR name, DWORD* out, REGSAM extraAccess = 0);
  // True for REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ, and then `buffer` is always terminated.
  // A value that does not fit with its terminator answers false and the size it needs.
  bool ReadString(HKEY root, LPCWSTR subKey, LPCWSTR name, LPWSTR buffer, DWORD* byteSize);
  bool WriteDword(HKEY root, LPCWSTR subKey, LPCWSTR name, DWORD value);

  // The 64-bit registry view when this is a 32-bit process on 64-bit Windows; else the plain forms.
  bool ReadDword64(HKEY root, LPCWSTR subKey, LPCWSTR name, DWORD* out);
  bool ReadString64(HKEY root, LPCWSTR subKey, LPCWSTR name, LPWSTR buffer, DWORD* byteSize);
  bool KeyExists64(HKEY root, LPCWSTR subKey);

  static bool IsWow64();

 private:
  bool ReadStringAccess(HKEY root, LPCWSTR subKey, LPCWSTR name, LPWSTR buffer, DWORD* byteSize, REGSAM access);
};
