#include "common/win/package_verifier.h"

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <vector>
#include "common/win/reg.h"
#include "common/win/system_library.h"

// The certificate and trust libraries load only when a package is checked.
#define CRYPT32(function) TW_SYSTEM_FUNCTION(L"crypt32.dll", function)
#define WINTRUST(function) TW_SYSTEM_FUNCTION(L"wintrust.dll", function)

// SHA-256 came to CryptoAPI with XP SP3 (the enhanced RSA and AES provider); the headers at
// the XP level hide its identifier.
#ifndef CALG_SHA_256
#define CALG_SHA_256 (ALG_CLASS_HASH | ALG_TYPE_ANY | 12)
#endif

using pkgsig::Verdict;

namespace {

std::string Hex(const BYTE* p, DWORD n) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (DWORD i = 0; i < n; ++i) {
    out += kDigits[p[i] >> 4];
    out += kDigits[p[i] & 15];
  }
  return out;
}

std::string Thumbprint(PCCERT_CONTEXT cert) {
  BYTE hash[20];
  DWORD n = sizeof hash;
  return CRYPT32(CertGetCertificateContextProperty)(cert, CERT_SHA1_HASH_PROP_ID, hash, &n) ? Hex(hash, n) : std::string();
}

bool ReadWhole(HANDLE file, std::vector<uint8_t>& out) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size) || size.QuadPart <= 0 || size.QuadPart > (512 << 20)) return false;
  LARGE_INTEGER zero = {};
  if (!SetFilePointerEx(file, zero, nullptr, FILE_BEGIN)) return false;
  out.resize(size_t(size.QuadPart));
  size_t done = 0;
  while (done < out.size()) {
    DWORD got = 0;
    if (!ReadFile(file, out.data() + done, DWORD(std::min<size_t>(out.size() - done, 1 << 20)), &got, nullptr) ||
        got == 0)
      return false;
    done += got;
  }
  return true;
}

class Hasher {
 public:
  explicit Hasher(ALG_ID alg) {
    if (CryptAcquireContextW(&provider_, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
      CryptCreateHash(provider_, alg, 0, 0, &hash_);
  }
  ~Hasher() {
    if (hash_) CryptDestroyHash(hash_);
    if (provider_) CryptReleaseContext(provider_, 0);
  }
  bool Add(const uint8_t* p, size_t n) { return hash_ && CryptHashData(hash_, p, DWORD(n), 0); }
  std::vector<uint8_t> Finish() {
    BYTE out[64];
    DWORD n = sizeof out;
    if (!hash_ || !CryptGetHashParam(hash_, HP_HASHVAL, out, &n, 0)) return {};
    return std::vector<uint8_t>(out, out + n);
  }

 private:
  HCRYPTPROV provider_ = 0;
  HCRYPTHASH hash_ = 0;
};

// A message parameter's bytes; empty when it has none.
std::vector<BYTE> Param(HCRYPTMSG msg, DWORD type, DWORD index) {
  DWORD n = 0;
  if (!CRYPT32(CryptMsgGetParam)(msg, type, index, nullptr, &n) || n == 0) return {};
  std::vector<BYTE> out(n);
  if (!CRYPT32(CryptMsgGetParam)(msg, type, index, out.data(), &n)) return {};
  out.resize(n);
  return out;
}

struct MsgCloser {
  HCRYPTMSG msg;
  ~MsgCloser() { CRYPT32(CryptMsgClose)(msg); }
};
struct StoreCloser {
  HCERTSTORE store;
  ~StoreCloser() { CRYPT32(CertCloseStore)(store, 0); }
};
struct CertCloser {
  PCCERT_CONTEXT cert;
  ~CertCloser() { CRYPT32(CertFreeCertificateContext)(cert); }
};

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
}  // namespace

Verdict PackageVerifier::AskWinVerifyTrust(HANDLE file, const std::wstring& path) const {
  WINTRUST_FILE_INFO info = {sizeof info};
  info.pcwszFilePath = path.c_str();
  info.hFile = file;
  WINTRUST_DATA data = {sizeof data};
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &info;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const LONG result = WINTRUST(WinVerifyTrust)(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  Verdict verdict = Verdict::Trusted;
  if (result == TRUST_E_NOSIGNATURE || result == TRUST_E_SUBJECT_FORM_UNKNOWN) {
    verdict = Verdict::Unsigned;
  } else if (result == TRUST_E_BAD_DIGEST) {
    verdict = Verdict::Tampered;
  } else if (result != ERROR_SUCCESS) {
    verdict = Verdict::BadSignature;
  } else {
    CRYPT_PROVIDER_DATA* provider = WINTRUST(WTHelperProvDataFromStateData)(data.hWVTStateData);
    CRYPT_PROVIDER_SGNR* signer = provider ? WINTRUST(WTHelperGetProvSignerFromChain)(provider, 0, FALSE, 0) : nullptr;
    CRYPT_PROVIDER_CERT* cert = signer ? WINTRUST(WTHelperGetProvCertFromChain)(signer, 0) : nullptr;
    if (!cert || !cert->pCert) {
      verdict = Verdict::BadSignature;
    } else if (Thumbprint(cert->pCert) != thumbprint_) {
      verdict = Verdict::ForeignSigner;
    }
  }
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WINTRUST(WinVerifyTrust)(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  return verdict;
}

Verdict PackageVerifier::CheckSignedMessage(HANDLE file) const {
  std::vector<uint8_t> bytes;
  if (!ReadWhole(file, bytes)) return Verdict::Unreadable;
  const auto pe = pkgsig::ReadPeSignature(bytes.data(), bytes.size());
  if (!pe) return Verdict::Unreadable;
  if (pe->pkcs7.empty()) return Verdict::Unsigned;

  HCRYPTMSG msg = CRYPT32(CryptMsgOpenToDecode)(kEncoding, 0, 0, 0, nullptr, nullptr);
  if (!msg) return Verdict::BadSignature;
  MsgCloser closeMsg{msg};
  if (!CRYPT32(CryptMsgUpdate)(msg, pe->pkcs7.data(), DWORD(pe->pkcs7.size()), TRUE)) return Verdict::BadSignature;
  DWORD signers = 0, n = sizeof signers;
  if (!CRYPT32(CryptMsgGetParam)(msg, CMSG_SIGNER_COUNT_PARAM, 0, &signers, &n) || signers != 1) return Verdict::BadSignature;

  // The image digest that the signed content names, against the program's bytes.
  const std::vector<BYTE> content = Param(msg, CMSG_CONTENT_PARAM, 0);
  const auto named = pkgsig::ReadIndirectDigest(content.data(), content.size());
  if (!named) return Verdict::BadSignature;
  Hasher image(named->kind == pkgsig::DigestKind::Sha1 ? CALG_SHA1 : CALG_SHA_256);
  for (const auto& range : pe->hashed)
    if (!image.Add(bytes.data() + range.first, range.second - range.first)) return Verdict::BadSignature;
  if (image.Finish() != named->digest) return Verdict::Tampered;

  // The signed attributes' message digest, against the signed content. (Wine does not
  // answer CMSG_SIGNER_HASH_ALGORITHM_PARAM; the whole signer information serves both.)
  const std::vector<BYTE> signerBytes = Param(msg, CMSG_SIGNER_INFO_PARAM, 0);
  if (signerBytes.size() < sizeof(CMSG_SIGNER_INFO)) return Verdict::BadSignature;
  const auto* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(signerBytes.data());
  const char* oid = signer->HashAlgorithm.pszObjId;
  ALG_ID alg;
  if (oid && strcmp(oid, szOID_OIWSEC_sha1) == 0) {
    alg = CALG_SHA1;
  } else if (oid && strcmp(oid, szOID_NIST_sha256) == 0) {
    alg = CALG_SHA_256;
  } else {
    return Verdict::BadSignature;
  }
  std::vector<uint8_t> signedDigest;
  for (DWORD i = 0; i < signer->AuthAttrs.cAttr; ++i) {
    const CRYPT_ATTRIBUTE& a = signer->AuthAttrs.rgAttr[i];
    if (strcmp(a.pszObjId, szOID_PKCS_9_MESSAGE_DIGEST) != 0 || a.cValue != 1) continue;
    const auto value = pkgsig::DerValue(a.rgValue[0].pbData, a.rgValue[0].cbData);
    if (value && a.rgValue[0].pbData[0] == 0x04)
      signedDigest.assign(a.rgValue[0].pbData + value->first, a.rgValue[0].pbData + value->second);
  }
  const auto contentValue = pkgsig::DerValue(content.data(), content.size());
  if (signedDigest.empty() || !contentValue) return Verdict::BadSignature;
  Hasher message(alg);
  if (!message.Add(content.data() + contentValue->first, contentValue->second - contentValue->first) ||
      message.Finish() != signedDigest)
    return Verdict::Tampered;

  // The signature over the signed attributes, by the certificate the signer names.
  CERT_INFO wanted = {};
  wanted.Issuer = signer->Issuer;
  wanted.SerialNumber = signer->SerialNumber;
  HCERTSTORE store = CRYPT32(CertOpenStore)(CERT_STORE_PROV_MSG, kEncoding, 0, 0, msg);
  if (!store) return Verdict::BadSignature;
  StoreCloser closeStore{store};
  PCCERT_CONTEXT cert = CRYPT32(CertGetSubjectCertificateFromStore)(store, kEncoding, &wanted);
  if (!cert) return Verdict::BadSignature;
  CertCloser closeCert{cert};
  if (!CRYPT32(CryptMsgControl)(msg, 0, CMSG_CTRL_VERIFY_SIGNATURE, cert->pCertInfo)) return Verdict::BadSignature;
  return Thumbprint(cert) == thumbprint_ ? Verdict::Trusted : Verdict::ForeignSigner;
}

Verdict PackageVerifier::Verify(HANDLE file, const std::wstring& path) const {
  if (thumbprint_.empty()) return Verdict::NotAllowed;
  if (file == nullptr || file == INVALID_HANDLE_VALUE) return Verdict::Unreadable;
  const Verdict asked = AskWinVerifyTrust(file, path);
  if (asked != Verdict::Trusted) return asked;
  return CheckSignedMessage(file);
}

Verdict PackageVerifier::Verify(const std::wstring& path) const {
  UniqueHandle file = OpenLocked(path);
  return Verify(file.get(), path);
}

UniqueHandle OpenLocked(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  return UniqueHandle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

std::string ReadMakerThumbprint() {
  wchar_t value[128] = {};
  DWORD size = sizeof value;
  if (!CReg().ReadString64(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Velmorant\\WICKPOST\\WKPTRSS", L"MakerThumbprint", value,
                           &size))
    return {};
  std::string text;
  for (const wchar_t* p = value; *p; ++p) text += *p < 128 ? char(*p) : '?';
  return pkgsig::NormalizeThumbprint(text);
}
