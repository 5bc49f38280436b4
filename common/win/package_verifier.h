// Checks an update package before anything of it is extracted, run or handed on: its
// Authenticode signature must be valid and its signer must be the maker's certificate,
// named by its SHA-1 thumbprint (an operator setting).
//
// WinVerifyTrust is asked first. Wine's answers it cannot be trusted alone (tests/common/win,
// package_verifier_test): it accepts a certificate chain to an unknown root, and it accepts a
// program whose signed content names a different image digest than the signature's message
// digest covers. So the signed message is checked again with CryptoAPI's message functions:
// image digest over the program's bytes, message digest over the signed content, signature
// over the signed attributes, signer's thumbprint.
#pragma once
#include <windows.h>

#include <string>

#include "common/core/package_signature.h"
#include "common/win/unique_handle.h"

class PackageVerifier {
 public:
  // `thumbprint` in any spelling NormalizeThumbprint takes; none refuses every package.
  explicit PackageVerifier(const std::string& thumbprint) : thumbprint_(pkgsig::NormalizeThumbprint(thumbprint)) {}

  // `file` opened by OpenLocked(path), held until the program has been started.
  pkgsig::Verdict Verify(HANDLE file, const std::wstring& path) const;
  pkgsig::Verdict Verify(const std::wstring& path) const;

 private:
  pkgsig::Verdict AskWinVerifyTrust(HANDLE file, const std::wstring& path) const;
  pkgsig::Verdict CheckSignedMessage(HANDLE file) const;
  std::string thumbprint_;
};

// Opens a file for reading so that nobody can write, rename or delete it while it is held.
UniqueHandle OpenLocked(const std::wstring& path);

// Opens a downloaded program with the shell ("open", by its full path, its own folder as the
// current one) only when it is the maker's; it stays locked from the check until the shell
// has started it. With `process`, the started process (when the shell names one).
pkgsig::Verdict OpenVerified(const PackageVerifier& verifier, HWND owner, const std::wstring& path,
                             UniqueHandle* process = nullptr);

// The maker's certificate thumbprint: HKLM\SOFTWARE\Velmorant\WICKPOST\WKPTRSS "MakerThumbprint"
// (REG_SZ, 64-bit view), which only an administrator can write; empty when not set.
std::string ReadMakerThumbprint();
