// The encoder against outside references (native only): zbarimg must read every bitmap back
// byte for byte, and the symbols must agree with libqrencode module for module.
#include <gtest/gtest.h>
#include <qrencode.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "modules/registration/qr_encode.h"
#include "modules/registration/qr_file.h"
#include "tests/registration/qr_test_util.h"

namespace {

using qr::Ecc;
using qr::EncodeStatus;
using qr_test::Bytes;
using qr_test::Filler;

// ---- zbarimg

struct ZbarResult {
  int exitCode = -1;
  std::string output;
};

// zbarimg's output without charset conversion (-Sbinary) is the raw payload, no newline added.
ZbarResult Zbar(const std::filesystem::path& image, bool binary) {
  const std::string command =
      std::string("zbarimg --raw -q ") + (binary ? "-Sbinary " : "") + "'" + image.string() + "' 2>/dev/null";
  ZbarResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  const int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

class QrZbar : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(std::system("command -v zbarimg >/dev/null 2>&1"), 0) << "zbarimg missing: apt-get install zbar-tools";
    dir_ = std::filesystem::temp_directory_path() / ("tw_qr_zbar_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::filesystem::path dir_;
};

struct DecodeCase {
  const char* name;
  std::string text;
  int version;  // 0: any
};

std::string EveryByteValue() {
  std::string s;
  for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
  return s;
}

// 日本語の登録 in Shift_JIS, and in UTF-8 as zbarimg prints Kanji mode by default.
const std::string kKanjiSjis = "\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x93\x6F\x98\x5E";
const std::string kKanjiUtf8 = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE7\x99\xBB\xE9\x8C\xB2";

TEST_F(QrZbar, ReadsBackEveryBitmapExactly) {
  const std::vector<DecodeCase> cases = {
      {"numeric", "01234567", 1},
      {"alphanumeric", "HELLO WORLD $%*+-./:0123", 0},
      {"byte", "https://support.example.com/mys/mobile/index.html", 0},
      {"every byte value", EveryByteValue(), 0},
      {"kanji", kKanjiSjis, 1},
      {"mixed", "ABC-123 " + kKanjiSjis + "abc 01234567890123 XYZ\x81", 0},
      {"query", "https://support.example.com/tgsi/m/new.do/?q=0F1E2D3C4B5A69788796A5B4C3D2E1F00123456789ABCDEF", 0},
      {"v1 largest numeric", Filler('N', 27), 1},
      {"v6 largest alphanumeric", Filler('A', 108), 6},
      {"v7 largest byte", Filler('B', 86), 7},
      {"v9 largest byte", Filler('B', 130), 9},
      {"v10 largest kanji", Filler('K', 93), 10},
      {"v26 largest numeric", Filler('N', 1804), 26},
      {"v27 largest byte", Filler('B', 805), 27},
      {"v40 largest byte", Filler('B', 1663), 40},
      {"v40 largest kanji", Filler('K', 1024), 40},
  };
  auto symbol = std::make_unique<qr::Symbol>();
  int index = 0;
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(qr::Encode(Bytes(c.text), c.text.size(), {}, *symbol), EncodeStatus::Ok);
    if (c.version != 0) {
      EXPECT_EQ(symbol->Version(), c.version);
    }

    const std::filesystem::path image = dir_ / ("case" + std::to_string(index++) + ".bmp");
    ASSERT_EQ(qr::WriteQrBitmap(image.u16string(), Bytes(c.text), c.text.size()), qr::WriteStatus::Ok);
    const ZbarResult read = Zbar(image, true);
    EXPECT_EQ(read.exitCode, 0);
    EXPECT_EQ(read.output, c.text);
  }
}

// The page only uses level Q with mask 0; the other levels and masks back the comparison
// with libqrencode below, so they must decode too.
TEST_F(QrZbar, ReadsEveryLevelAndMask) {
  const std::string text = "https://support.example.com/mys/index.html";
  for (Ecc ecc : {Ecc::L, Ecc::M, Ecc::Q, Ecc::H}) {
    for (int mask = 0; mask < 8; ++mask) {
      SCOPED_TRACE("level " + std::to_string(static_cast<int>(ecc)) + " mask " + std::to_string(mask));
      qr::EncodeOptions options;
      options.ecc = ecc;
      options.mask = mask;
      const std::filesystem::path image = dir_ / "level_mask.bmp";
      ASSERT_EQ(qr::WriteQrBitmap(image.u16string(), Bytes(text), text.size(), options), qr::WriteStatus::Ok);
      EXPECT_EQ(Zbar(image, true).output, text);
    }
  }
}

TEST_F(QrZbar, KanjiModeDecodesAsJapaneseText) {
  const std::filesystem::path image = dir_ / "kanji.bmp";
  ASSERT_EQ(qr::WriteQrBitmap(image.u16string(), Bytes(kKanjiSjis), kKanjiSjis.size()), qr::WriteStatus::Ok);
  const ZbarResult read = Zbar(image, false);
  EXPECT_EQ(read.exitCode, 0);
  EXPECT_EQ(read.output, kKanjiUtf8 + "\n");
}

TEST_F(QrZbar, OneCodewordTooLargeFailsAndLeavesNoFile) {
  const std::string text = Filler('B', 1664);
  const std::filesystem::path image = dir_ / "too_large.bmp";
  qr::EncodeStatus why = EncodeStatus::Ok;
  EXPECT_EQ(qr::WriteQrBitmap(image.u16string(), Bytes(text), text.size(), {}, &why), qr::WriteStatus::EncodeFailed);
  EXPECT_EQ(why, EncodeStatus::TooLong);
  EXPECT_FALSE(std::filesystem::exists(image));
}

// ---- libqrencode

QRecLevel LibLevel(Ecc ecc) {
  switch (ecc) {
    case Ecc::L:
      return QR_ECLEVEL_L;
    case Ecc::M:
      return QR_ECLEVEL_M;
    case Ecc::Q:
      return QR_ECLEVEL_Q;
    case Ecc::H:
      return QR_ECLEVEL_H;
  }
  return QR_ECLEVEL_Q;
}

struct LibSymbol {
  std::unique_ptr<QRcode, decltype(&QRcode_free)> code{nullptr, QRcode_free};
  // libqrencode's module flags: bit 0 dark, bit 2 format information, bit 7 any function module.
  unsigned char At(int x, int y) const { return code->data[y * code->width + x]; }
};

// Byte-mode text of the largest length that fits `version` at `ecc`, less a few bytes so that
// the terminator and padding vary between versions.
std::string ByteText(int version, Ecc ecc) {
  const size_t countBits = version <= 9 ? 8 : 16;
  const size_t largest = (qr::DataCodewords(version, ecc) * 8 - 4 - countBits) / 8;
  return Filler('B', largest - static_cast<size_t>(version % 5));
}

LibSymbol LibEncode(const std::string& text, int version, Ecc ecc) {
  LibSymbol s;
  s.code.reset(QRcode_encodeData(static_cast<int>(text.size()), Bytes(text), version, LibLevel(ecc)));
  return s;
}

TEST(QrLibqrencode, FunctionPatternsMatchForEveryVersion) {
  auto mine = std::make_unique<qr::Symbol>();
  for (int version = qr::kMinVersion; version <= qr::kMaxVersion; ++version) {
    SCOPED_TRACE("version " + std::to_string(version));
    const std::string text = ByteText(version, Ecc::Q);
    const LibSymbol lib = LibEncode(text, version, Ecc::Q);
    ASSERT_TRUE(lib.code);
    ASSERT_EQ(lib.code->version, version);
    qr::EncodeOptions options;
    options.version = version;
    ASSERT_EQ(qr::Encode(Bytes(text), text.size(), options, *mine), EncodeStatus::Ok);
    ASSERT_EQ(mine->Size(), lib.code->width);

    int areaMismatches = 0;
    int colourMismatches = 0;
    for (int y = 0; y < mine->Size(); ++y) {
      for (int x = 0; x < mine->Size(); ++x) {
        const unsigned char flags = lib.At(x, y);
        const bool libFunction = (flags & 0x80) != 0;
        if (mine->IsFunction(x, y) != libFunction) ++areaMismatches;
        // Format information depends on the mask, which libqrencode chooses for itself.
        if (libFunction && (flags & 0x04) == 0 && mine->Dark(x, y) != ((flags & 1) != 0)) ++colourMismatches;
      }
    }
    EXPECT_EQ(areaMismatches, 0);
    EXPECT_EQ(colourMismatches, 0);
  }
}

// The same byte-mode data gives the same symbol once the mask is the one libqrencode chose:
// codewords, error correction, interleaving, placement, masking and format information.
TEST(QrLibqrencode, WholeSymbolsMatchForEveryLevelAndVersion) {
  auto mine = std::make_unique<qr::Symbol>();
  for (Ecc ecc : {Ecc::L, Ecc::M, Ecc::Q, Ecc::H}) {
    for (int version = qr::kMinVersion; version <= qr::kMaxVersion; ++version) {
      SCOPED_TRACE("level " + std::to_string(static_cast<int>(ecc)) + " version " + std::to_string(version));
      const std::string text = ByteText(version, ecc);
      const LibSymbol lib = LibEncode(text, version, ecc);
      ASSERT_TRUE(lib.code);
      ASSERT_EQ(lib.code->version, version);

      int matchingMasks = 0;
      for (int mask = 0; mask < 8; ++mask) {
        qr::EncodeOptions options;
        options.ecc = ecc;
        options.version = version;
        options.mask = mask;
        ASSERT_EQ(qr::Encode(Bytes(text), text.size(), options, *mine), EncodeStatus::Ok);
        bool same = true;
        for (int y = 0; y < mine->Size() && same; ++y) {
          for (int x = 0; x < mine->Size() && same; ++x) same = mine->Dark(x, y) == ((lib.At(x, y) & 1) != 0);
        }
        if (same) ++matchingMasks;
      }
      EXPECT_EQ(matchingMasks, 1);
    }
  }
}

}  // namespace
