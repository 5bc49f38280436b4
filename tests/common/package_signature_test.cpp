// Where a Windows program keeps its signature, what the signature covers, and the
// thumbprint setting.
#include "common/core/package_signature.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace pkgsig {
namespace {

// A PE32+ header with one certificate (revision 2.0, PKCS #7) of `blob` bytes at its end:
// `length` its dwLength (0: the blob's, padded to 8 with zeroes), `tableSize` the directory's
// size (0: the same as the length).
std::vector<uint8_t> Program(size_t imageSize, const std::vector<uint8_t>& blob, size_t length = 0,
                             size_t tableSize = 0) {
  std::vector<uint8_t> table = blob;
  std::vector<uint8_t> p(imageSize, 0xCC);
  std::fill(p.begin(), p.begin() + 0x200, 0);  // headers
  p[0] = 'M', p[1] = 'Z';
  p[0x3C] = 0x40;
  std::memcpy(&p[0x40], "PE\0\0", 4);
  p[0x40 + 20] = 0xF0;  // size of the optional header
  const size_t opt = 0x58;
  p[opt] = 0x0B, p[opt + 1] = 0x02;
  p[opt + 108] = 16;  // data directories
  if (!table.empty()) {
    if (length == 0) length = (table.size() + 8 + 7) & ~size_t(7);
    if (tableSize == 0) tableSize = length;
    table.resize(tableSize - 8, 0);
    const size_t at = p.size();
    const size_t dir = opt + 112 + 32;
    for (int i = 0; i < 4; ++i) p[dir + i] = uint8_t(at >> (8 * i)), p[dir + 4 + i] = uint8_t(tableSize >> (8 * i));
    const uint8_t header[8] = {uint8_t(length), uint8_t(length >> 8), 0, 0, 0x00, 0x02, 0x02, 0x00};
    p.insert(p.end(), header, header + 8);
    p.insert(p.end(), table.begin(), table.end());
  }
  return p;
}

TEST(PackageSignature, TheImageDigestLeavesOutChecksumDirectoryAndTable) {
  const auto signedProgram = Program(0x400, {0x30, 0x00});
  const auto sig = ReadPeSignature(signedProgram.data(), signedProgram.size());
  ASSERT_TRUE(sig);
  EXPECT_EQ(sig->pkcs7, (std::vector<uint8_t>{0x30, 0x00}));
  const std::vector<std::pair<size_t, size_t>> ranges = {{0, 0x98}, {0x9C, 0xE8}, {0xF0, 0x400}};
  EXPECT_EQ(sig->hashed, ranges);

  const auto unsignedProgram = Program(0x400, {});
  const auto none = ReadPeSignature(unsignedProgram.data(), unsignedProgram.size());
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->pkcs7.empty());
  EXPECT_EQ(none->hashed.back().second, 0x400u);
}

TEST(PackageSignature, MisplacedOrForeignTablesAndNonProgramsAreRefused) {
  std::vector<uint8_t> trailing = Program(0x400, {0x30, 0x00});
  trailing.push_back(0);  // bytes after the table would go unsigned
  std::vector<uint8_t> revision = Program(0x400, {0x30, 0x00});
  revision[0x404] = 0x00, revision[0x405] = 0x01;
  std::vector<uint8_t> notPe = Program(0x400, {});
  notPe[0x41] = 'X';
  const std::vector<uint8_t> tiny(0x20, 'M');
  const std::vector<uint8_t>* all[] = {&trailing, &revision, &notPe, &tiny};
  for (const std::vector<uint8_t>* bytes : all)
    EXPECT_FALSE(ReadPeSignature(bytes->data(), bytes->size()));
}

// The table holds one signature and its zero padding to 8 bytes, nothing else: whatever more
// it held would be outside every digest.
TEST(PackageSignature, TheCertificateTableHoldsTheSignatureAndNothingElse) {
  const std::vector<uint8_t> der = {0x30, 0x03, 0x02, 0x01, 0x07};  // 13 bytes with the header
  std::vector<uint8_t> appended = der;
  appended.resize(der.size() + 4096, 0x41);
  std::vector<uint8_t> dirtyPadding = der;
  dirtyPadding.push_back(1);
  std::vector<uint8_t> twoCertificates = der;
  twoCertificates.resize(16 - 8, 0);
  const uint8_t second[] = {16, 0, 0, 0, 0x00, 0x02, 0x02, 0x00};
  twoCertificates.insert(twoCertificates.end(), second, second + 8);
  twoCertificates.insert(twoCertificates.end(), der.begin(), der.end());
  const struct {
    const char* what;
    std::vector<uint8_t> program;
    bool read;
  } cases[] = {
      {"length padded to 8", Program(0x400, der), true},
      {"length unpadded, table padded", Program(0x400, der, 13, 16), true},
      {"bytes appended, length grown", Program(0x400, appended), false},
      {"bytes appended, only the table grown", Program(0x400, der, 16, 16 + 4096), false},
      {"table not rounded to 8", Program(0x400, der, 13, 13), false},
      {"padding not zero", Program(0x400, dirtyPadding, 16, 16), false},
      {"eight bytes of padding", Program(0x400, der, 24, 24), false},
      {"a second certificate", Program(0x400, twoCertificates), false},
      {"length beyond the signature's element", Program(0x400, {0x30, 0x09, 0x00}), false},
      {"not a sequence", Program(0x400, {0x04, 0x00}), false},
  };
  for (const auto& c : cases) {
    const auto sig = ReadPeSignature(c.program.data(), c.program.size());
    EXPECT_EQ(bool(sig), c.read) << c.what;
    if (sig && c.read) {
      EXPECT_EQ(sig->pkcs7, der) << c.what;
    }
  }
}

TEST(PackageSignature, TheIndirectDataNamesItsDigest) {
  // SEQUENCE { SEQUENCE { OID 1.3.6.1.4.1.311.2.1.15 }, SEQUENCE { SEQUENCE { OID sha256, NULL }, OCTET STRING[32] } }
  std::vector<uint8_t> der = {0x30, 0x00, 0x30, 0x0C, 0x06, 0x0A, 0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02,
                              0x01, 0x0F, 0x30, 0x31, 0x30, 0x0D, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01, 0x65, 0x03,
                              0x04, 0x02, 0x01, 0x05, 0x00, 0x04, 0x20};
  for (int i = 0; i < 32; ++i) der.push_back(uint8_t(i));
  der[1] = uint8_t(der.size() - 2);
  const auto got = ReadIndirectDigest(der.data(), der.size());
  ASSERT_TRUE(got);
  EXPECT_EQ(got->kind, DigestKind::Sha256);
  EXPECT_EQ(got->digest.size(), 32u);
  EXPECT_EQ(got->digest[31], 31);
  EXPECT_EQ(DerValue(der.data(), der.size()), std::make_pair(size_t(2), der.size()));

  auto shortDigest = der;
  shortDigest[34] = 0x1F;  // 31 bytes named for SHA-256
  EXPECT_FALSE(ReadIndirectDigest(shortDigest.data(), shortDigest.size()));
  auto md5 = der;
  md5[30] = 0x05;  // another algorithm
  EXPECT_FALSE(ReadIndirectDigest(md5.data(), md5.size()));
  EXPECT_FALSE(ReadIndirectDigest(der.data(), der.size() - 1));
  EXPECT_FALSE(DerValue(der.data(), der.size() - 1));
}

TEST(PackageSignature, ThumbprintsAreReadInTheUsualSpellings) {
  EXPECT_EQ(NormalizeThumbprint("39:ad:f1:bf:21:9b:f4:da:a6:51:c1:fa:e7:53:7d:fb:c7:2e:59:0c"),
            "39ADF1BF219BF4DAA651C1FAE7537DFBC72E590C");
  EXPECT_EQ(NormalizeThumbprint("39adf1bf 219bf4da a651c1fa e7537dfb c72e590c"), "39ADF1BF219BF4DAA651C1FAE7537DFBC72E590C");
  EXPECT_EQ(NormalizeThumbprint("39ADF1BF219BF4DAA651C1FAE7537DFBC72E59"), "");  // too short
  EXPECT_EQ(NormalizeThumbprint("39ADF1BF219BF4DAA651C1FAE7537DFBC72E590G"), "");
  EXPECT_EQ(NormalizeThumbprint(""), "");
}

}  // namespace
}  // namespace pkgsig
