#include <gtest/gtest.h>

#include "common/win/reg.h"
#include "tests/common/win/win_test_support.h"

using wintest::ScopedKey;

namespace {
const wchar_t kKey[] = L"Software\\TellwickTest\\Reg";
}

TEST(CReg, ReadDwordTakesOnlyFourByteDwords) {
  ScopedKey key(HKEY_CURRENT_USER, kKey);
  ASSERT_TRUE(key.SetDword(L"Good", 0x12345678));
  ASSERT_TRUE(key.SetString(L"Text", L"1"));
  const BYTE four[4] = {1, 2, 3, 4}, two[2] = {5, 6};
  ASSERT_TRUE(key.SetBinary(L"Binary", four, 4, REG_BINARY));
  ASSERT_TRUE(key.SetBinary(L"Short", two, 2, REG_DWORD));
  CReg reg;
  DWORD value = 0;
  ASSERT_TRUE(reg.ReadDword(HKEY_CURRENT_USER, kKey, L"Good", &value));
  EXPECT_EQ(value, 0x12345678u);
  for (const wchar_t* name : {L"Text", L"Binary", L"Short", L"Missing"}) {
    value = 0xAAAA;
    EXPECT_FALSE(reg.ReadDword(HKEY_CURRENT_USER, kKey, name, &value)) << name;
    EXPECT_EQ(value, 0xAAAAu) << "untouched for " << name;
  }
  EXPECT_TRUE(reg.ValueExists(HKEY_CURRENT_USER, kKey, L"Short"));
  EXPECT_FALSE(reg.ValueExists(HKEY_CURRENT_USER, kKey, L"Missing"));
}

TEST(CReg, ReadStringAcceptsTheStringTypesAndAlwaysTerminates) {
  ScopedKey key(HKEY_CURRENT_USER, kKey);
  key.SetString(L"Sz", L"plain");
  key.SetString(L"Expand", L"%TEMP%", REG_EXPAND_SZ);
  key.SetBinary(L"Multi", L"a\0b\0", 10, REG_MULTI_SZ);
  key.SetDword(L"Dword", 1);
  key.SetBinary(L"Raw", L"abcd", 8, REG_SZ);  // stored without its terminator
  CReg reg;
  WCHAR buffer[16];
  DWORD size = sizeof buffer;
  EXPECT_TRUE(reg.ReadString(HKEY_CURRENT_USER, kKey, L"Sz", buffer, &size));
  EXPECT_STREQ(buffer, L"plain");
  size = sizeof buffer;
  EXPECT_TRUE(reg.ReadString(HKEY_CURRENT_USER, kKey, L"Expand", buffer, &size));
  EXPECT_STREQ(buffer, L"%TEMP%");
  size = sizeof buffer;
  EXPECT_TRUE(reg.ReadString(HKEY_CURRENT_USER, kKey, L"Multi", buffer, &size));
  EXPECT_STREQ(buffer, L"a");
  size = sizeof buffer;
  EXPECT_FALSE(reg.ReadString(HKEY_CURRENT_USER, kKey, L"Dword", buffer, &size));

  WCHAR five[5];
  size = sizeof five;
  ASSERT_TRUE(reg.ReadString(HKEY_CURRENT_USER, kKey, L"Raw", five, &size));
  EXPECT_STREQ(five, L"abcd") << "terminated although the data was not";
  WCHAR four[4];
  size = sizeof four;
  EXPECT_FALSE(reg.ReadString(HKEY_CURRENT_USER, kKey, L"Raw", four, &size));
  EXPECT_EQ(four[3], L'\0');
  EXPECT_EQ(size, 10u) << "the size the value needs with its terminator";
  WCHAR tiny[3];
  size = sizeof tiny;
  EXPECT_FALSE(reg.ReadString(HKEY_CURRENT_USER, kKey, L"Sz", tiny, &size));
  EXPECT_EQ(tiny[0], L'\0');
}

TEST(CReg, WriteDwordCreatesTheKey) {
  ScopedKey key(HKEY_CURRENT_USER, kKey);
  const std::wstring deep = std::wstring(kKey) + L"\\New\\Deep";
  CReg reg;
  ASSERT_TRUE(reg.WriteDword(HKEY_CURRENT_USER, deep.c_str(), L"Value", 42));
  DWORD value = 0;
  ASSERT_TRUE(reg.ReadDword(HKEY_CURRENT_USER, deep.c_str(), L"Value", &value));
  EXPECT_EQ(value, 42u);
}

TEST(CReg, SixtyFourBitViewVariants) {
  const wchar_t* path = L"SOFTWARE\\TellwickTestView";
  ScopedKey native(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY);
  ScopedKey redirected(HKEY_LOCAL_MACHINE, path, KEY_WOW64_32KEY);
  ASSERT_TRUE(native.SetDword(L"V", 64));
  ASSERT_TRUE(native.SetString(L"S", L"native"));
  ASSERT_TRUE(redirected.SetDword(L"V", 32));
  ASSERT_TRUE(redirected.SetString(L"S", L"wow"));
  const bool wow64 = sizeof(void*) == 4;  // the test prefix is 64-bit Windows
  EXPECT_EQ(CReg::IsWow64(), wow64);
  CReg reg;
  DWORD value = 0;
  ASSERT_TRUE(reg.ReadDword64(HKEY_LOCAL_MACHINE, path, L"V", &value));
  EXPECT_EQ(value, 64u);
  ASSERT_TRUE(reg.ReadDword(HKEY_LOCAL_MACHINE, path, L"V", &value));
  EXPECT_EQ(value, wow64 ? 32u : 64u);
  WCHAR text[16];
  DWORD size = sizeof text;
  ASSERT_TRUE(reg.ReadString64(HKEY_LOCAL_MACHINE, path, L"S", text, &size));
  EXPECT_STREQ(text, L"native");
  EXPECT_TRUE(reg.KeyExists64(HKEY_LOCAL_MACHINE, path));
  EXPECT_FALSE(reg.KeyExists64(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TellwickTestNoSuchKey"));
}
