// The parts of an Authenticode check that need no platform: where a Windows program keeps its
// signature and which of its bytes the signature covers, the digest the signed content
// names, and the signer's thumbprint as an operator writes it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pkgsig {

// What a package check found. Only Trusted lets a package be extracted, run or handed on.
enum class Verdict {
  Trusted,
  Unreadable,     // not a file or not a Windows program
  Unsigned,       // no signature
  Tampered,       // the program's bytes differ from what was signed
  BadSignature,   // the signature itself does not verify
  ForeignSigner,  // signed, but not with the maker's certificate
  NotAllowed,     // no maker thumbprint configured, or outside the download folders
};
const char* VerdictName(Verdict v);

struct PeSignature {
  // Byte ranges [first, second) of the file that the image digest covers, in order.
  std::vector<std::pair<size_t, size_t>> hashed;
  // The PKCS #7 signed data; empty when the program is not signed.
  std::vector<uint8_t> pkcs7;
};

// Reads a Windows program's layout; nothing when it is not one or its certificate table is
// out of place (overlapping the image, or followed by other bytes) or holds anything but one
// signature and its zero padding to 8 bytes.
std::optional<PeSignature> ReadPeSignature(const uint8_t* data, size_t size);

enum class DigestKind { Sha1, Sha256 };
struct IndirectDigest {
  DigestKind kind;
  std::vector<uint8_t> digest;
};
// The image digest named by an SpcIndirectDataContent (its whole DER encoding).
std::optional<IndirectDigest> ReadIndirectDigest(const uint8_t* der, size_t size);

// The bytes a PKCS #7 message digest attribute covers: the content's value without its
// outer tag and length. Nothing when `der` is not one whole DER element.
std::optional<std::pair<size_t, size_t>> DerValue(const uint8_t* der, size_t size);

// "AB:CD ..." or "abcd..." as 40 upper-case hex digits; empty when it is not a SHA-1 thumbprint.
std::string NormalizeThumbprint(const std::string& text);

}  // namespace pkgsig
