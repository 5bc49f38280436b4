// Update packages under Wine: only the maker's intact, signed programs pass; unsigned,
// foreign, tampered and re-digested copies and a planted file of the same size are refused.
#include "common/win/package_verifier.h"

#include <wincrypt.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/common/win/win_test_support.h"

namespace {
using pkgsig::Verdict;
using wintest::WinePath;

std::string MakerThumbprint() { return wintest::ReadAll(WinePath(TEST_PKI "/maker.thumbprint")); }

std::wstring Update(const char* name) { return WinePath(SIM_UPDATES_DIR) + L"\\" + std::wstring(name, name + strlen(name)); }

class PackageVerifierTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Windows wants the test root among the trusted roots; the Wine prefix is thrown away.
    const std::string pem = wintest::ReadAll(WinePath(TEST_PKI "/root.pem"));
    BYTE der[4096];
    DWORD size = sizeof der;
    ASSERT_TRUE(CryptStringToBinaryA(pem.data(), DWORD(pem.size()), CRYPT_STRING_BASE64HEADER, der, &size, nullptr,
                                     nullptr));
    HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    ASSERT_NE(root, nullptr);
    EXPECT_TRUE(CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der, size, CERT_STORE_ADD_REPLACE_EXISTING,
                                                 nullptr));
    CertCloseStore(root, 0);
  }
};

TEST_F(PackageVerifierTest, OnlyTheMakersIntactProgramsPass) {
  ASSERT_EQ(MakerThumbprint().size(), 40u);
  const PackageVerifier verifier(MakerThumbprint());
  const struct {
    const char* name;
    Verdict verdict;
  } cases[] = {
      {"package.exe", Verdict::Trusted},
      {"setup.exe", Verdict::Trusted},
      {"package-unsigned.exe", Verdict::Unsigned},
      {"package-foreign.exe", Verdict::ForeignSigner},
      {"package-tampered.exe", Verdict::Tampered},
      // WinVerifyTrust of Wine 8 passes this one: only the message check finds it.
      {"package-redigested.exe", Verdict::Tampered},
      // Bytes appended inside the certificate table lie outside every digest.
      {"package-appended.exe", Verdict::Unreadable},
      {"package-widened.exe", Verdict::Unreadable},
      {"missing.exe", Verdict::Unreadable},
  };
  for (const auto& c : cases)
    EXPECT_STREQ(pkgsig::VerdictName(verifier.Verify(Update(c.name))), pkgsig::VerdictName(c.verdict)) << c.name;
  EXPECT_EQ(verifier.Verify(WinePath(SIM_DIR "/wkptupdate.exe")), Verdict::Trusted);
}

TEST_F(PackageVerifierTest, APlantedFileOfTheRightSizeIsRefused) {
  const std::string real = wintest::ReadAll(Update("package.exe"));
  ASSERT_FALSE(real.empty());
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring planted = std::wstring(temp) + L"planted.exe";
  // Another program with the package's size: the unsigned build, padded at its end.
  std::string bytes = wintest::ReadAll(Update("package-unsigned.exe"));
  bytes.resize(real.size(), '\0');
  HANDLE f = CreateFileW(planted.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(f, bytes.data(), DWORD(bytes.size()), &written, nullptr);
  CloseHandle(f);
  EXPECT_EQ(PackageVerifier(MakerThumbprint()).Verify(planted), Verdict::Unsigned);
  DeleteFileW(planted.c_str());
}

TEST_F(PackageVerifierTest, WithoutAThumbprintNothingPasses) {
  EXPECT_EQ(PackageVerifier("").Verify(Update("package.exe")), Verdict::NotAllowed);
  EXPECT_EQ(PackageVerifier("not hex").Verify(Update("package.exe")), Verdict::NotAllowed);
}

// A manual download opens only when it is the maker's program: an unsigned one never starts.
TEST_F(PackageVerifierTest, OnlyTheMakersDownloadIsOpened) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring log = std::wstring(temp) + L"opened.log";
  DeleteFileW(log.c_str());
  SetEnvironmentVariableW(L"TELLWICK_UPDATE_LOG", log.c_str());
  const PackageVerifier verifier(MakerThumbprint());
  const struct {
    const char* name;
    Verdict verdict;
  } cases[] = {{"package-unsigned.exe", Verdict::Unsigned},
               {"package-appended.exe", Verdict::Unreadable},
               {"package.exe", Verdict::Trusted}};
  for (const auto& c : cases) {
    const std::wstring copy = std::wstring(temp) + L"manual.exe";
    ASSERT_TRUE(CopyFileW(Update(c.name).c_str(), copy.c_str(), FALSE));
    UniqueHandle process;
    EXPECT_STREQ(pkgsig::VerdictName(OpenVerified(verifier, nullptr, copy, &process)), pkgsig::VerdictName(c.verdict))
        << c.name;
    EXPECT_EQ(bool(process), c.verdict == Verdict::Trusted) << c.name;
    if (process) {
      EXPECT_EQ(WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
    }
    process.reset();
    EXPECT_TRUE(DeleteFileW(copy.c_str()));
  }
  // The maker's package, started with no argument, only notes that it ran.
  const std::string record = wintest::ReadAll(log);
  EXPECT_EQ(record.find("started without -silent"), record.rfind("started without -silent")) << record;
  EXPECT_NE(record.find("started without -silent"), std::string::npos) << record;
  EXPECT_EQ(OpenVerified(verifier, nullptr, L"manual.exe"), Verdict::NotAllowed) << "a relative path";
  SetEnvironmentVariableW(L"TELLWICK_UPDATE_LOG", nullptr);
  DeleteFileW(log.c_str());
}

TEST_F(PackageVerifierTest, ALockedPackageCannotBeReplacedWhileHeld) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring copy = std::wstring(temp) + L"locked.exe";
  ASSERT_TRUE(CopyFileW(Update("package.exe").c_str(), copy.c_str(), FALSE));
  {
    UniqueHandle held = OpenLocked(copy);
    ASSERT_TRUE(held);
    EXPECT_EQ(PackageVerifier(MakerThumbprint()).Verify(held.get(), copy), Verdict::Trusted);
    EXPECT_FALSE(CopyFileW(Update("package-tampered.exe").c_str(), copy.c_str(), FALSE));
    EXPECT_FALSE(DeleteFileW(copy.c_str()));
  }
  EXPECT_TRUE(DeleteFileW(copy.c_str()));
}
}  // namespace
