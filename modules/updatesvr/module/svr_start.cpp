#include "modules/updatesvr/module/svr_start.h"

#include <wintrust.h>

#include <cwchar>

#include "common/win/package_verifier.h"
#include "common/win/unique_handle.h"
#include "modules/updatesvr/module/svr_ids.h"
#include "modules/updatesvr/svr_rules.h"

namespace updsvr {
namespace {
const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }

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

HRESULT StartVerified(const std::u16string& line, const std::u16string& root, RunForm form, DWORD* exitCode,
                      DWORD* processId) {
  if (!SplitCommandLine(line)) return E_INVALIDARG;
  const auto parts = CheckCommandLine(line, root, form);
  if (!parts) return WKPTSVR_E_NOT_ALLOWED;
  const UniqueHandle locked = OpenLocked(W(parts->program));
  if (!locked) return LastError();
  const HRESULT trust = Refusal(PackageVerifier(ReadMakerThumbprint()).Verify(locked.get(), W(parts->program)));
  if (FAILED(trust)) return trust;

  std::wstring mutableLine(W(line));
  STARTUPINFOW si = {sizeof si};
  PROCESS_INFORMATION pi = {};
  // The folder it runs from is the current one: nothing is looked up beside the caller's files.
  if (!CreateProcessW(W(parts->program), &mutableLine[0], nullptr, nullptr, FALSE, 0, nullptr, W(root), &si, &pi))
    return LastError();
  UniqueHandle process(pi.hProcess);
  UniqueHandle thread(pi.hThread);
  if (processId) *processId = pi.dwProcessId;
  if (!exitCode) return S_OK;
  if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0) return LastError();
  if (!GetExitCodeProcess(process.get(), exitCode)) return LastError();
  return S_OK;
}

namespace {
struct UpdaterSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK MatchUpdater(HWND window, LPARAM context) {
  UpdaterSearch& s = *reinterpret_cast<UpdaterSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t name[64] = {}, title[64] = {};
  if (owner != s.processId || !GetClassNameW(window, name, 64) || wcscmp(name, W(kUpdaterClass)) != 0) return TRUE;
  GetWindowTextW(window, title, 64);
  if (wcscmp(title, W(kUpdaterTitle)) != 0) return TRUE;
  s.found = window;
  return FALSE;
}
}  // namespace

HWND FindUpdaterWindow(DWORD processId) {
  if (processId == 0) return nullptr;
  UpdaterSearch search = {processId, nullptr};
  EnumWindows(MatchUpdater, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace updsvr
