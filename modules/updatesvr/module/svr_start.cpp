#include "modules/updatesvr/module/svr_start.h"

#include <wintrust.h>

#include "common/win/package_verifier.h"
#include "common/win/unique_handle.h"
#include "modules/updatesvr/module/svr_ids.h"
#include "modules/updatesvr/svr_rules.h"

namespace updsvr {
namespace {
const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

HRESULT LastError() {
  const DWORD e = GetLastError();
  return e ? HRESULT_FROM_WIN32(e) : E_FAIL;
}
}  // namespace

HRESULT Refusal(pkgsig::Verdict v) {
  switch (v) {
    case pkgsig::Verdict::Trusted: return S_OK;
    case pkgsig::Verdict::Unreadable: return TRUST_E_SUBJECT_FORM_UNKNOWN;
    case pkgsig::Verdict::Unsigned: return TRUST_E_NOSIGNATURE;
    case pkgsig::Verdict::Tampered: return TRUST_E_BAD_DIGEST;
    case pkgsig::Verdict::BadSignature: return TRUST_E_CERT_SIGNATURE;
    case pkgsig::Verdict::ForeignSigner: return WKPTSVR_E_FOREIGN_SIGNER;
    case pkgsig::Verdict::NotAllowed: break;
  }
  return WKPTSVR_E_NOT_ALLOWED;
}

HRESULT StartVerified(const std::u16string& line, const std::u16string& root, DWORD* exitCode) {
  const auto parts = SplitCommandLine(line);
  if (!parts) return E_INVALIDARG;
  if (root.empty() || !IsInsideFolder(parts->program, root)) return WKPTSVR_E_NOT_ALLOWED;
  const UniqueHandle locked = OpenLocked(W(parts->program));
  if (!locked) return LastError();
  const HRESULT trust = Refusal(PackageVerifier(ReadMakerThumbprint()).Verify(locked.get(), W(parts->program)));
  if (FAILED(trust)) return trust;

  std::wstring mutableLine(W(line));
  STARTUPINFOW si = {sizeof si};
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(W(parts->program), &mutableLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return LastError();
  UniqueHandle process(pi.hProcess);
  UniqueHandle thread(pi.hThread);
  if (!exitCode) return S_OK;
  if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0) return LastError();
  if (!GetExitCodeProcess(process.get(), exitCode)) return LastError();
  return S_OK;
}

}  // namespace updsvr
