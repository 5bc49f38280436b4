// Time per symbol of our QR encoder against libqrencode on the same texts, in the same run:
// the addresses the registration page encodes, at every error-correction level.
//
// Two libqrencode figures per text: with the mask fixed to ours (mask 0; the like-for-like
// figure, and the symbols must then agree module for module), and with libqrencode choosing
// its own mask by penalty scores, as a caller of its public API would use it. Before timing,
// each case checks that both choose the same version and that libqrencode, given our split
// into modes and our mask, draws the same modules; a disagreement fails the run.
//
//   qr_bench [--smoke]   --smoke: a few milliseconds per case, to show it still works
#include <qrencode.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "modules/registration/qr_encode.h"

// libqrencode's own entry points behind QRcode_encodeString, exported by the library but not
// in its header: the split into modes and the encoder with a given mask. Weak, so that a
// library without them still runs the rest.
extern "C" {
int Split_splitStringToQRinput(const char* string, QRinput* input, QRencodeMode hint, int casesensitive)
    __attribute__((weak));
QRcode* QRcode_encodeMask(QRinput* input, int mask) __attribute__((weak));
}

namespace {

// The thread's CPU time, not the wall clock: on a shared, loaded machine the wall clock
// mostly measures the other programs.
double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

struct Text {
  const char* name;
  std::string text;
};

// The query is hex(salt || 3DES-CBC ciphertext): an 8-byte salt and the padded "model&serial".
std::string QueryAddress(size_t plainBytes) {
  const size_t cipher = (plainBytes / 8 + 1) * 8;
  std::string s = "https://support.example.com/tgsi/m/new.do/?q=";
  unsigned state = 2463534242u;
  for (size_t i = 0; i < 2 * (8 + cipher); ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    s += "0123456789ABCDEF"[state & 15];
  }
  return s;
}

std::vector<Text> Texts() {
  std::string manual;
  for (int i = 0; manual.size() < 1000; ++i) manual += "Battery " + std::to_string(i) + ": check the contacts. ";
  return {
      {"owner address", "https://support.example.com/mys/mobile/index.html"},
      {"query, 23 B", QueryAddress(23)},   // a typical model and serial number
      {"query, 64 B", QueryAddress(64)},
      {"query, 111 B", QueryAddress(111)},  // the longest plain text the query takes
      {"1000 B text", manual},
  };
}

constexpr qr::Ecc kLevels[] = {qr::Ecc::L, qr::Ecc::M, qr::Ecc::Q, qr::Ecc::H};
char LevelName(qr::Ecc ecc) { return "LMQH"[static_cast<int>(ecc)]; }

QRecLevel LibLevel(qr::Ecc ecc) {
  switch (ecc) {
    case qr::Ecc::L:
      return QR_ECLEVEL_L;
    case qr::Ecc::M:
      return QR_ECLEVEL_M;
    case qr::Ecc::Q:
      return QR_ECLEVEL_Q;
    case qr::Ecc::H:
      return QR_ECLEVEL_H;
  }
  return QR_ECLEVEL_Q;
}

using LibCode = std::unique_ptr<QRcode, decltype(&QRcode_free)>;

// libqrencode with the mask given, from the same split into modes as QRcode_encodeString.
LibCode LibEncodeMask(const std::string& text, qr::Ecc ecc, int mask) {
  LibCode code(nullptr, QRcode_free);
  QRinput* input = QRinput_new2(0, LibLevel(ecc));
  if (input == nullptr) return code;
  if (Split_splitStringToQRinput(text.c_str(), input, QR_MODE_8, 1) == 0) code.reset(QRcode_encodeMask(input, mask));
  QRinput_free(input);
  return code;
}

// libqrencode on our split into modes, in our version: with the same mask the two symbols
// must then agree module for module (the two splitters may differ where costs tie).
LibCode LibEncodeOurRuns(const std::string& text, const qr::Symbol& mine) {
  static constexpr QRencodeMode kModes[] = {QR_MODE_NUM, QR_MODE_AN, QR_MODE_8, QR_MODE_KANJI};
  LibCode code(nullptr, QRcode_free);
  QRinput* input = QRinput_new2(mine.Version(), LibLevel(mine.Level()));
  if (input == nullptr) return code;
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  bool ok = true;
  for (const qr::Run& run : qr::Segment(bytes, text.size(), qr::VersionGroup(mine.Version()))) {
    ok = ok && QRinput_append(input, kModes[static_cast<int>(run.mode)], static_cast<int>(run.length),
                              bytes + run.start) == 0;
  }
  if (ok) code.reset(QRcode_encodeMask(input, mine.Mask()));
  QRinput_free(input);
  return code;
}

LibCode LibEncode(const std::string& text, qr::Ecc ecc) {
  return LibCode(QRcode_encodeString(text.c_str(), 0, LibLevel(ecc), QR_MODE_8, 1), QRcode_free);
}

bool SameModules(const qr::Symbol& mine, const QRcode& lib) {
  if (mine.Size() != lib.width) return false;
  for (int y = 0; y < mine.Size(); ++y) {
    for (int x = 0; x < mine.Size(); ++x) {
      if (mine.Dark(x, y) != ((lib.data[y * lib.width + x] & 1) != 0)) return false;
    }
  }
  return true;
}

// Microseconds per call of `f`, the best of `rounds` rounds of about `roundSeconds` each.
template <typename F>
double MicrosPerCall(F&& f, double roundSeconds, int rounds) {
  // Calls per round, from a short trial.
  int calls = 1;
  for (;;) {
    const double t0 = CpuSeconds();
    for (int i = 0; i < calls; ++i) f();
    const double took = CpuSeconds() - t0;
    if (took > roundSeconds / 10 || calls >= (1 << 24)) {
      calls = std::max(1, static_cast<int>(calls * roundSeconds / std::max(took, 1e-9)));
      break;
    }
    calls *= 4;
  }
  double best = 1e300;
  for (int r = 0; r < rounds; ++r) {
    const double t0 = CpuSeconds();
    for (int i = 0; i < calls; ++i) f();
    best = std::min(best, (CpuSeconds() - t0) / calls);
  }
  return best * 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
  if (argc > 2 || (argc == 2 && !smoke)) {
    std::printf("usage: qr_bench [--smoke]\n");
    return 2;
  }
  if (Split_splitStringToQRinput == nullptr || QRcode_encodeMask == nullptr) {
    std::printf("this libqrencode does not export QRcode_encodeMask: no like-for-like figure\n");
    return 1;
  }
  const double roundSeconds = smoke ? 0.002 : 0.05;
  const int rounds = smoke ? 1 : 3;
  std::printf("%sQR encoder (mask 0) against libqrencode %s, CPU microseconds per symbol, best of %d round%s\n",
              smoke ? "smoke run: " : "", QRcode_APIVersionString(), rounds, rounds > 1 ? "s" : "");
#if defined(__SANITIZE_ADDRESS__)
  std::printf("AddressSanitizer build: the times show that it runs, they compare nothing\n");
#endif
  std::printf("%-14s %5s %3s %3s %9s %12s %6s %12s %6s\n", "text", "bytes", "ecc", "ver", "ours", "lib mask 0",
              "ratio", "lib own mask", "ratio");

  auto mine = std::make_unique<qr::Symbol>();
  int disagreements = 0;
  double ours = 0, libSameMask = 0, libOwnMask = 0;
  for (const Text& t : Texts()) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(t.text.data());
    for (qr::Ecc ecc : kLevels) {
      qr::EncodeOptions options;
      options.ecc = ecc;
      options.mask = 0;
      const qr::EncodeStatus status = qr::Encode(bytes, t.text.size(), options, *mine);
      const LibCode same = LibEncodeMask(t.text, ecc, 0);
      const LibCode own = LibEncode(t.text, ecc);
      if (status != qr::EncodeStatus::Ok || !same || !own) {
        std::printf("%-14s %5zu %3c: ours %s, libqrencode %s\n", t.name, t.text.size(), LevelName(ecc),
                    qr::StatusName(status), same && own ? "ok" : "failed");
        ++disagreements;
        continue;
      }
      const LibCode ourRuns = LibEncodeOurRuns(t.text, *mine);
      const char* check = "same version and modules";
      if (same->version != mine->Version() || own->version != mine->Version()) {
        check = "DIFFERENT VERSION";
      } else if (!ourRuns || !SameModules(*mine, *ourRuns)) {
        check = "DIFFERENT MODULES";
      }
      if (check[0] == 'D') ++disagreements;

      const double a = MicrosPerCall([&] { qr::Encode(bytes, t.text.size(), options, *mine); }, roundSeconds, rounds);
      const double b = MicrosPerCall([&] { LibEncodeMask(t.text, ecc, 0); }, roundSeconds, rounds);
      const double c = MicrosPerCall([&] { LibEncode(t.text, ecc); }, roundSeconds, rounds);
      ours += a;
      libSameMask += b;
      libOwnMask += c;
      std::printf("%-14s %5zu %3c %3d %9.1f %12.1f %5.2fx %12.1f %5.2fx  %s\n", t.name, t.text.size(), LevelName(ecc),
                  mine->Version(), a, b, b / a, c, c / a, check);
    }
  }
  std::printf("%-14s %13s %9.1f %12.1f %5.2fx %12.1f %5.2fx\n", "all", "", ours, libSameMask, libSameMask / ours,
              libOwnMask, libOwnMask / ours);
  std::printf("ratio: libqrencode's time over ours (above 1: ours is faster)\n");
  if (disagreements > 0) {
    std::printf("%d case%s where the two encoders disagree\n", disagreements, disagreements > 1 ? "s" : "");
    return 1;
  }
  return 0;
}
