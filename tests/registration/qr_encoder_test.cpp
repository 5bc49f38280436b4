// The QR encoder on its own: segmentation and bit counts, version choice, codewords against
// published vectors, symbol structure and the bitmap bytes. Runs in every build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "modules/registration/qr_bmp.h"
#include "modules/registration/qr_encode.h"
#include "modules/registration/qr_file.h"
#include "modules/registration/qr_segment.h"
#include "tests/registration/qr_test_util.h"

namespace {

using qr::Ecc;
using qr::EncodeStatus;
using qr::Mode;
using qr_test::Bytes;
using qr_test::Filler;

std::string Describe(const std::vector<qr::Run>& runs) {
  std::string out;
  for (const qr::Run& r : runs) {
    static const char kLetter[] = {'N', 'A', 'B', 'K'};
    if (!out.empty()) out += ' ';
    out += kLetter[static_cast<int>(r.mode)] + std::to_string(r.length);
  }
  return out;
}

// ---- Classification

struct ClassifyCase {
  const char* text;
  const char* runs;
};

TEST(QrSegment, ClassifiesRunsFromTheFirstByte) {
  const ClassifyCase cases[] = {
      {"01234567", "N8"},
      {"HELLO WORLD $%*+-./:", "A20"},
      {"https", "B5"},
      {"a1B", "B1 N1 A1"},
      {"\x93\xFA\x96\x7B", "K4"},                // 日本
      {"\x9F\xFC", "K2"},                        // last pair of the first Kanji range
      {"\x9F\xFD", "B2"},                        // just past it
      {"\xEB\xBF", "K2"},                        // last pair of the second range
      {"\xEB\xC0", "B2"},
      {"\xE0\x40", "K2"},                        // first pair of the second range
      {"\x81\x3F", "B2"},                        // second byte too low
      {"\xA0\x40", "B2"},                        // first byte between the ranges
      {"\x81" "A12", "K2 N2"},                   // a letter can complete a pair
      {"\x93\xFA" "\x81", "K2 B1"},              // a lone lead byte at the end
  };
  for (const ClassifyCase& c : cases) {
    const std::string text = c.text;
    EXPECT_EQ(Describe(qr::ClassifyRuns(Bytes(text), text.size())), c.runs) << "input: " << text;
  }
}

TEST(QrSegment, KanjiValuesFollowTheShiftJisConversion) {
  // The standard's example pair: 点 0x935F and 茗 0xE4AA.
  EXPECT_EQ(qr::KanjiValue(0x93, 0x5F), 0x0D9F);
  EXPECT_EQ(qr::KanjiValue(0xE4, 0xAA), 0x1AAA);
  EXPECT_EQ(qr::KanjiValue(0x81, 0x40), 0);
  EXPECT_EQ(qr::KanjiValue(0xEB, 0xBF), 0x1FFF);
}

// ---- Merge passes: the runs and bit counts they give.
//
// The first pass folds a numeric run into a neighbouring 8-bit run when that beats making
// the pair alphanumeric. The second pass counts the saved header of each absorbed 8-bit
// neighbour (4 + the byte count width of the group): without that saving "ab12345cd" would
// stay three runs of 28 + 31 + 28 = 87 bits instead of one of 84.

struct SegmentCase {
  const char* text;
  int group;
  const char* runs;
  size_t bits;
};

TEST(QrSegment, MergePassesGiveTheseRunsAndBitCounts) {
  const SegmentCase cases[] = {
      {"01234567", 0, "N8", 4 + 10 + 20 + 7},
      {"HELLO WORLD", 0, "A11", 4 + 9 + 55 + 6},
      {"https://example.com/registration", 0, "B32", 4 + 8 + 256},
      // Short numeric run inside letters: one alphanumeric run, absorbing the run after.
      {"AB12CD", 0, "A6", 4 + 9 + 33},
      // Long numeric run: kept apart.
      {"AB123456789CD", 0, "A2 N9 A2", 24 + 44 + 24},
      // Numeric then one letter then bytes: the letter joins the byte run (34 + 36)
      // rather than the digits joining the letter (52 + 28).
      {"123456Xab", 0, "N6 B3", 34 + 36},
      {"abX123456", 0, "B3 N6", 36 + 34},
      // The fold is dropped when it costs more; the second pass then makes all of it bytes.
      {"abXY12", 0, "B6", 4 + 8 + 48},
      // Digits between bytes: merged up to the point where the saved header no longer pays,
      // which moves with the count widths of the group.
      {"ab12345cd", 0, "B9", 4 + 8 + 72},
      {"ab123456cd", 0, "B2 N6 B2", 28 + 34 + 28},
      {"ab1234567cd", 1, "B11", 4 + 16 + 88},
      {"ab12345678cd", 1, "B2 N8 B2", 36 + 43 + 36},
      {"ab12345678cd", 2, "B12", 4 + 16 + 96},
      {"ab123456789cd", 2, "B2 N9 B2", 36 + 48 + 36},
      // Kanji keeps its 13 bits per character unless a byte neighbour makes bytes cheaper.
      {"\x93\xFA\x96\x7B\x8C\xEA", 0, "K6", 4 + 8 + 39},
      {"a\x93\xFA" "b", 0, "B4", 4 + 8 + 32},
      {"\x93\xFA\x96\x7B\x8C\xEA\x93\x6F" "ABCDEF", 0, "K8 A6", 64 + 46},
  };
  for (const SegmentCase& c : cases) {
    const std::string text = c.text;
    const std::vector<qr::Run> runs = qr::Segment(Bytes(text), text.size(), c.group);
    EXPECT_EQ(Describe(runs), c.runs) << "input: " << text << " group " << c.group;
    EXPECT_EQ(qr::StreamBits(runs, c.group), c.bits) << "input: " << text << " group " << c.group;
  }
}

TEST(QrSegment, RunsCoverTheInputInOrder) {
  const std::string text = "Tel:03-1234-5678 \x93\xFA\x96\x7B / ABC def 0123456789 \x81";
  for (int group = 0; group < qr::kVersionGroups; ++group) {
    size_t next = 0;
    for (const qr::Run& r : qr::Segment(Bytes(text), text.size(), group)) {
      EXPECT_EQ(r.start, next);
      next += r.length;
    }
    EXPECT_EQ(next, text.size());
  }
}

// ---- Version choice

struct BoundaryCase {
  char kind;  // Filler class
  size_t largest;
  int version;
};

// The largest input of one class that fits each version at level Q, and one character more.
// 6/7 adds version information; 9/10 and 26/27 change the count widths.
TEST(QrEncode, ChoosesTheSmallestVersionAtTheBoundaries) {
  const BoundaryCase cases[] = {
      {'N', 27, 1},  {'A', 16, 1},  {'B', 11, 1},    {'K', 7, 1},    {'A', 108, 6},  {'B', 74, 6},
      {'N', 207, 7}, {'K', 53, 7},  {'B', 130, 9},   {'N', 312, 9},  {'K', 93, 10},  {'A', 221, 10},
      {'N', 1804, 26}, {'B', 751, 26}, {'B', 805, 27}, {'K', 496, 27}, {'N', 3993, 40}, {'A', 2420, 40},
      {'B', 1663, 40}, {'K', 1024, 40},
  };
  auto symbol = std::make_unique<qr::Symbol>();
  for (const BoundaryCase& c : cases) {
    const std::string fits = Filler(c.kind, c.largest);
    ASSERT_EQ(qr::Encode(Bytes(fits), fits.size(), {}, *symbol), EncodeStatus::Ok) << c.kind << c.largest;
    EXPECT_EQ(symbol->Version(), c.version) << c.kind << c.largest;
    EXPECT_EQ(symbol->Size(), 4 * c.version + 17);

    const std::string over = Filler(c.kind, c.largest + 1);
    const EncodeStatus status = qr::Encode(Bytes(over), over.size(), {}, *symbol);
    if (c.version == 40) {
      EXPECT_EQ(status, EncodeStatus::TooLong) << c.kind << c.largest + 1;
    } else {
      ASSERT_EQ(status, EncodeStatus::Ok);
      EXPECT_EQ(symbol->Version(), c.version + 1) << c.kind << c.largest + 1;
    }
  }
}

TEST(QrEncode, LongerAddressesNeedLargerVersions) {
  auto symbol = std::make_unique<qr::Symbol>();
  int previous = 0;
  for (size_t length : {20, 60, 200, 600}) {
    const std::string address = "https://support.example.com/" + Filler('B', length);
    ASSERT_EQ(qr::Encode(address.c_str(), {}, *symbol), EncodeStatus::Ok);
    EXPECT_GT(symbol->Version(), previous);
    previous = symbol->Version();
  }
}

TEST(QrEncode, RejectsWhatCannotBeEncoded) {
  auto symbol = std::make_unique<qr::Symbol>();
  EXPECT_EQ(qr::Encode("", {}, *symbol), EncodeStatus::EmptyInput);
  EXPECT_EQ(qr::Encode(nullptr, {}, *symbol), EncodeStatus::EmptyInput);
  const std::string huge(qr::kMaxInputLength + 1, '7');
  EXPECT_EQ(qr::Encode(Bytes(huge), huge.size(), {}, *symbol), EncodeStatus::TooLong);
  // 1664 bytes need 1667 data codewords: one more than version 40 holds at level Q.
  const std::string oneCodewordTooMany = Filler('B', 1664);
  EXPECT_EQ(qr::Encode(Bytes(oneCodewordTooMany), oneCodewordTooMany.size(), {}, *symbol), EncodeStatus::TooLong);

  qr::EncodeOptions bad;
  bad.mask = 8;
  EXPECT_EQ(qr::Encode("A", bad, *symbol), EncodeStatus::InvalidOptions);
  bad = {};
  bad.version = 41;
  EXPECT_EQ(qr::Encode("A", bad, *symbol), EncodeStatus::InvalidOptions);
}

TEST(QrEncode, FixedVersionGrowsOnlyWhenAllowed) {
  auto symbol = std::make_unique<qr::Symbol>();
  const std::string text = Filler('B', 12);  // one byte more than version 1 holds
  qr::EncodeOptions options;
  options.version = 1;
  EXPECT_EQ(qr::Encode(Bytes(text), text.size(), options, *symbol), EncodeStatus::TooLong);
  options.allowLarger = true;
  ASSERT_EQ(qr::Encode(Bytes(text), text.size(), options, *symbol), EncodeStatus::Ok);
  EXPECT_EQ(symbol->Version(), 2);
  options.version = 5;
  ASSERT_EQ(qr::Encode(Bytes(text), text.size(), options, *symbol), EncodeStatus::Ok);
  EXPECT_EQ(symbol->Version(), 5);
}

// ---- Codewords against published examples

TEST(QrCodewords, NumericExampleAtLevelM) {
  const std::string text = "01234567";
  const std::vector<qr::Run> runs = qr::Segment(Bytes(text), text.size(), 0);
  uint8_t data[16];
  ASSERT_TRUE(qr::BuildDataCodewords(Bytes(text), runs, 1, Ecc::M, data));
  const std::vector<uint8_t> expectData = {0x10, 0x20, 0x0C, 0x56, 0x61, 0x80, 0xEC, 0x11,
                                           0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11};
  EXPECT_EQ(std::vector<uint8_t>(data, data + 16), expectData);
  uint8_t ecc[10];
  qr::ReedSolomon(data, 16, 10, ecc);
  const std::vector<uint8_t> expectEcc = {0xA5, 0x24, 0xD4, 0xC1, 0xED, 0x36, 0xC7, 0x87, 0x2C, 0x55};
  EXPECT_EQ(std::vector<uint8_t>(ecc, ecc + 10), expectEcc);
}

TEST(QrCodewords, AlphanumericExampleAtLevelQ) {
  const std::string text = "HELLO WORLD";
  const std::vector<qr::Run> runs = qr::Segment(Bytes(text), text.size(), 0);
  uint8_t data[13];
  ASSERT_TRUE(qr::BuildDataCodewords(Bytes(text), runs, 1, Ecc::Q, data));
  const std::vector<uint8_t> expectData = {0x20, 0x5B, 0x0B, 0x78, 0xD1, 0x72, 0xDC,
                                           0x4D, 0x43, 0x40, 0xEC, 0x11, 0xEC};
  EXPECT_EQ(std::vector<uint8_t>(data, data + 13), expectData);
  uint8_t ecc[13];
  qr::ReedSolomon(data, 13, 13, ecc);
  const std::vector<uint8_t> expectEcc = {168, 72, 22, 82, 217, 54, 156, 0, 46, 15, 180, 122, 16};
  EXPECT_EQ(std::vector<uint8_t>(ecc, ecc + 13), expectEcc);
}

TEST(QrCodewords, TerminatorIsCutShortWhenTheStreamIsNearlyFull) {
  // 27 digits at 1-Q: 4 + 10 + 90 = 104 bits, exactly 13 codewords, no room for a terminator.
  // 26 digits: 101 bits, a 3-bit terminator and no padding codeword.
  for (size_t digits : {27, 26}) {
    const std::string text = Filler('N', digits);
    const std::vector<qr::Run> runs = qr::Segment(Bytes(text), text.size(), 0);
    uint8_t data[13];
    ASSERT_TRUE(qr::BuildDataCodewords(Bytes(text), runs, 1, Ecc::Q, data));
    EXPECT_NE(data[12], 0xEC) << digits;
  }
  const std::string tooMany = Filler('N', 28);
  const std::vector<qr::Run> runs = qr::Segment(Bytes(tooMany), tooMany.size(), 0);
  uint8_t data[13];
  EXPECT_FALSE(qr::BuildDataCodewords(Bytes(tooMany), runs, 1, Ecc::Q, data));
}

TEST(QrCodewords, BlocksInterleaveShortBlocksFirst) {
  // 5-Q: two blocks of 15 data codewords, then two of 16; 18 error-correction codewords each.
  ASSERT_EQ(qr::BlockCount(5, Ecc::Q), 4);
  ASSERT_EQ(qr::DataCodewords(5, Ecc::Q), 62u);
  std::vector<uint8_t> data(62);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
  std::vector<uint8_t> out(qr::TotalCodewords(5));
  qr::InterleaveWithEcc(data.data(), 5, Ecc::Q, out.data());

  const std::vector<uint8_t> head(out.begin(), out.begin() + 8);
  EXPECT_EQ(head, (std::vector<uint8_t>{0, 15, 30, 46, 1, 16, 31, 47}));
  // The last data column exists only in the long blocks.
  EXPECT_EQ(out[60], 45);
  EXPECT_EQ(out[61], 61);
  uint8_t ecc[4][18];
  const size_t starts[4] = {0, 15, 30, 46};
  const size_t lengths[4] = {15, 15, 16, 16};
  for (int b = 0; b < 4; ++b) qr::ReedSolomon(data.data() + starts[b], lengths[b], 18, ecc[b]);
  for (int column = 0; column < 18; ++column) {
    for (int b = 0; b < 4; ++b) EXPECT_EQ(out[62 + column * 4 + b], ecc[b][column]);
  }
}

// ---- Format and version information, structure

TEST(QrStructure, FormatAndVersionInformation) {
  EXPECT_EQ(qr::FormatBits(Ecc::M, 5), 0x40CE);  // the standard's worked example
  EXPECT_EQ(qr::FormatBits(Ecc::Q, 0), 0x355F);
  EXPECT_EQ(qr::FormatBits(Ecc::L, 0), 0x77C4);
  EXPECT_EQ(qr::FormatBits(Ecc::H, 7), 0x083B);
  EXPECT_EQ(qr::VersionBits(7), 0x07C94u);
  EXPECT_EQ(qr::VersionBits(40), 0x28C69u);
}

TEST(QrStructure, EveryFreeModuleCarriesACodewordBit) {
  auto symbol = std::make_unique<qr::Symbol>();
  std::vector<uint8_t> codewords(qr::kMaxCodewords, 0xA5);
  for (int version = qr::kMinVersion; version <= qr::kMaxVersion; ++version) {
    symbol->Reset(version, Ecc::Q, 0);
    qr::DrawFunctionPatterns(*symbol);
    const size_t total = qr::TotalCodewords(version);
    EXPECT_EQ(qr::PlaceCodewords(*symbol, codewords.data(), total), total * 8 + qr::RemainderBits(version))
        << "version " << version;
  }
}

TEST(QrStructure, VersionInformationFromVersion7) {
  auto symbol = std::make_unique<qr::Symbol>();
  for (int version : {6, 7}) {
    symbol->Reset(version, Ecc::Q, 0);
    qr::DrawFunctionPatterns(*symbol);
    const int n = symbol->Size();
    EXPECT_EQ(symbol->IsFunction(n - 11, 0), version >= 7);
    EXPECT_EQ(symbol->IsFunction(0, n - 11), version >= 7);
  }
}

TEST(QrStructure, FixedCallUsesLevelQAndMask0) {
  auto symbol = std::make_unique<qr::Symbol>();
  ASSERT_EQ(qr::Encode("01234567", {}, *symbol), EncodeStatus::Ok);
  EXPECT_EQ(symbol->Version(), 1);
  EXPECT_EQ(symbol->Level(), Ecc::Q);
  EXPECT_EQ(symbol->Mask(), 0);
  // Format bits 14..9 run left to right along row 8 beside the top-left finder.
  const uint16_t format = qr::FormatBits(Ecc::Q, 0);
  for (int i = 9; i <= 14; ++i) EXPECT_EQ(symbol->Dark(14 - i, 8), ((format >> i) & 1) != 0) << i;
}

TEST(QrStructure, HelloWorldMatchesAReferenceSymbol) {
  // "HELLO WORLD" at 1-Q with mask 0, as libqrencode draws it when the mask is forced.
  const char* const expected[21] = {
      "#######.##....#######", "#.....#.#..#..#.....#", "#.###.#.#..##.#.###.#", "#.###.#.#.....#.###.#",
      "#.###.#.#.#...#.###.#", "#.....#...#...#.....#", "#######.#.#.#.#######", "........#............",
      ".##.#.##....#.#.#####", ".#......####....#...#", "..##.###.##...#.##...", ".##.##.#..##.#.#.###.",
      "#...#.#.#.###.###.#.#", "........##.#..#...#.#", "#######.#.#....#.##..", "#.....#..#.##.##.#...",
      "#.###.#.#.#...#######", "#.###.#..#.#.#.#...#.", "#.###.#.#..#.###.#..#", "#.....#.#.####...#.##",
      "#######....#.###....#",
  };
  auto symbol = std::make_unique<qr::Symbol>();
  ASSERT_EQ(qr::Encode("HELLO WORLD", {}, *symbol), EncodeStatus::Ok);
  ASSERT_EQ(symbol->Size(), 21);
  for (int y = 0; y < 21; ++y) {
    std::string row;
    for (int x = 0; x < 21; ++x) row += symbol->Dark(x, y) ? '#' : '.';
    EXPECT_EQ(row, expected[y]) << "row " << y;
  }
}

// ---- Bitmap

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint16_t U16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }

TEST(QrBitmap, HeaderForVersions1And40) {
  struct Case {
    std::string text;
    int version;
    uint32_t side, stride, fileSize;
  };
  const Case cases[] = {{"01234567", 1, 87, 12, 1106}, {Filler('B', 1663), 40, 555, 72, 62 + 72 * 555}};
  auto symbol = std::make_unique<qr::Symbol>();
  for (const Case& c : cases) {
    ASSERT_EQ(qr::Encode(Bytes(c.text), c.text.size(), {}, *symbol), EncodeStatus::Ok);
    ASSERT_EQ(symbol->Version(), c.version);
    const std::vector<uint8_t> b = qr::BitmapBytes(*symbol);
    ASSERT_EQ(b.size(), c.fileSize);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(U32(b, 2), c.fileSize);
    EXPECT_EQ(U32(b, 6), 0u);
    EXPECT_EQ(U32(b, 10), 62u);
    EXPECT_EQ(U32(b, 14), 40u);
    EXPECT_EQ(U32(b, 18), c.side);
    EXPECT_EQ(U32(b, 22), c.side);
    EXPECT_EQ(U16(b, 26), 1);
    EXPECT_EQ(U16(b, 28), 1);
    EXPECT_EQ(U32(b, 30), 0u);
    EXPECT_EQ(U32(b, 34), c.stride * c.side);
    EXPECT_EQ(U32(b, 38), 3780u);
    EXPECT_EQ(U32(b, 42), 3780u);
    EXPECT_EQ(U32(b, 46), 0u);
    EXPECT_EQ(U32(b, 50), 0u);
    const std::vector<uint8_t> palette(b.begin() + 54, b.begin() + 62);
    EXPECT_EQ(palette, (std::vector<uint8_t>{0, 0, 0, 0, 255, 255, 255, 0}));
  }
}

TEST(QrBitmap, PixelsShowTheModulesTopDownWithAQuietZone) {
  auto symbol = std::make_unique<qr::Symbol>();
  ASSERT_EQ(qr::Encode("HTTPS://EXAMPLE.COM/R", {}, *symbol), EncodeStatus::Ok);
  const std::vector<uint8_t> b = qr::BitmapBytes(*symbol);
  const int side = qr::BitmapSide(symbol->Size());
  const size_t stride = qr::BitmapStride(side);
  int mismatches = 0;
  for (int y = 0; y < side; ++y) {
    const uint8_t* row = b.data() + 62 + static_cast<size_t>(side - 1 - y) * stride;  // bottom-up
    for (int x = 0; x < side; ++x) {
      const bool white = (row[x / 8] >> (7 - x % 8)) & 1;
      const int mx = (x - 12) / 3;
      const int my = (y - 12) / 3;
      const bool inside = x >= 12 && y >= 12 && mx < symbol->Size() && my < symbol->Size();
      const bool dark = inside && symbol->Dark(mx, my);
      if (white == dark) ++mismatches;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// ---- Bitmap file

class QrFile : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() / (std::string("tw_qr_") + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::u16string PathOf(const std::u16string& name) const { return (dir_ / std::filesystem::path(name)).u16string(); }
  static std::vector<uint8_t> ReadAll(const std::u16string& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static bool Exists(const std::u16string& path) { return std::filesystem::exists(std::filesystem::path(path)); }

  std::filesystem::path dir_;
};

TEST_F(QrFile, WritesTheBitmapOfTheText) {
  // A non-ASCII folder name, as a user's temporary folder can have.
  const std::u16string path = PathOf(u"\u767b\u9332 wkptreg.bmp");
  const char* text = "HTTPS://EXAMPLE.COM/MYS/MOBILE/INDEX.HTML";
  qr::EncodeStatus why = EncodeStatus::InvalidOptions;
  ASSERT_EQ(qr::WriteQrBitmap(path, text, &why), qr::WriteStatus::Ok);
  EXPECT_EQ(why, EncodeStatus::Ok);
  auto symbol = std::make_unique<qr::Symbol>();
  ASSERT_EQ(qr::Encode(text, {}, *symbol), EncodeStatus::Ok);
  EXPECT_EQ(ReadAll(path), qr::BitmapBytes(*symbol));
}

TEST_F(QrFile, EncodingFailureLeavesNoFile) {
  const std::u16string path = PathOf(u"wkptreg.bmp");
  // An older bitmap must not survive to be shown with a new page.
  ASSERT_EQ(qr::WriteQrBitmap(path, "OLD"), qr::WriteStatus::Ok);
  const std::string tooLong = Filler('B', 1664);
  qr::EncodeStatus why = EncodeStatus::Ok;
  EXPECT_EQ(qr::WriteQrBitmap(path, tooLong.c_str(), &why), qr::WriteStatus::EncodeFailed);
  EXPECT_EQ(why, EncodeStatus::TooLong);
  EXPECT_FALSE(Exists(path));
  EXPECT_EQ(qr::WriteQrBitmap(path, "", &why), qr::WriteStatus::EncodeFailed);
  EXPECT_EQ(why, EncodeStatus::EmptyInput);
  EXPECT_FALSE(Exists(path));
}

TEST_F(QrFile, FileFailureLeavesNoFileAndNeverRemovesAFolder) {
  const std::u16string missingFolder = PathOf(u"no such folder/wkptreg.bmp");
  EXPECT_EQ(qr::WriteQrBitmap(missingFolder, "A"), qr::WriteStatus::FileFailed);
  EXPECT_FALSE(Exists(missingFolder));

  const std::u16string folder = PathOf(u"taken");
  std::filesystem::create_directory(std::filesystem::path(folder));
  EXPECT_EQ(qr::WriteQrBitmap(folder, "A"), qr::WriteStatus::FileFailed);
  EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(folder)));
}

}  // namespace
