// wickrx: runs one pattern of the dialect over one subject and prints the result in the
// form the tests use ("match S E" and "group N S E" lines, "nomatch", or "error NAME").
//
//   wickrx PATTERN SUBJECT            16-bit text; offsets count UTF-16 code units
//   wickrx --bytes PATTERN SUBJECT    8-bit text; offsets count bytes
//   wickrx --file PATH PATTERN        8-bit text; the subject is the file's raw bytes
//
// Exit status: 0 match, 1 no match, 2 pattern error or exhausted budget, 3 usage.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/pattern/pattern.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

struct Arg {
  std::u16string wide;  // the argument as UTF-16
  std::string bytes;    // the argument as 8-bit text: ANSI code page on Windows, as given elsewhere
  bool wideOk = true;   // false when the argument is not valid UTF-8
  bool bytesOk = true;  // false when the argument does not fit the ANSI code page
};

int Usage(const char* why) {
  std::fprintf(stderr,
               "wickrx: %s\n"
               "usage: wickrx [--bytes] PATTERN SUBJECT\n"
               "       wickrx --file PATH PATTERN\n",
               why);
  return 3;
}

int Fail(const char* why) {
  std::fprintf(stderr, "wickrx: %s\n", why);
  return 3;
}

bool ReadFile(std::FILE* f, std::string& out) {
  char buf[65536];
  std::size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, got);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

std::FILE* OpenForReading(const Arg& path);

int Run(const std::vector<Arg>& args) {
  std::size_t i = 1;
  bool bytes = false;
  const Arg* file = nullptr;
  if (i < args.size() && args[i].wide == u"--bytes") {
    bytes = true;
    ++i;
  } else if (i < args.size() && args[i].wide == u"--file") {
    if (i + 1 >= args.size()) return Usage("--file needs a path");
    bytes = true;
    file = &args[i + 1];
    i += 2;
  }
  std::size_t want = file ? 1 : 2;
  if (args.size() - i != want) return Usage("wrong number of arguments");
  for (std::size_t k = i; k < args.size(); ++k) {
    if (!(bytes ? args[k].bytesOk : args[k].wideOk)) {
      return Usage(bytes ? "an argument does not fit the ANSI code page" : "an argument is not valid UTF-8");
    }
  }

  Pattern::Match m;
  Pattern::Status s;
  if (bytes) {
    std::string subject;
    if (file) {
      std::FILE* f = OpenForReading(*file);
      if (!f || !ReadFile(f, subject)) return Fail("cannot read the subject file");
    } else {
      subject = args[i + 1].bytes;
    }
    s = Pattern::Find(args[i].bytes, subject, &m);
  } else {
    s = Pattern::Find(args[i].wide, args[i + 1].wide, &m);
  }
  std::fputs(Pattern::Describe(s, m).c_str(), stdout);
  if (std::fflush(stdout) != 0) return 3;
  return s == Pattern::Status::Match ? 0 : s == Pattern::Status::NoMatch ? 1 : 2;
}

#ifdef _WIN32

std::FILE* OpenForReading(const Arg& path) {
  return _wfopen(reinterpret_cast<const wchar_t*>(path.wide.c_str()), L"rb");
}

Arg FromWide(const wchar_t* w) {
  Arg a;
  a.wide.assign(reinterpret_cast<const char16_t*>(w));
  // A character the code page lacks would silently become '?'. (A UTF-8 code page takes
  // neither the flag nor the question.)
  bool utf8 = GetACP() == CP_UTF8;
  DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL lossy = FALSE;
  int n = WideCharToMultiByte(CP_ACP, flags, w, -1, nullptr, 0, nullptr, utf8 ? nullptr : &lossy);
  if (n <= 0 || lossy) {
    a.bytesOk = false;
    return a;
  }
  a.bytes.resize(static_cast<std::size_t>(n));
  WideCharToMultiByte(CP_ACP, flags, w, -1, &a.bytes[0], n, nullptr, nullptr);
  a.bytes.resize(static_cast<std::size_t>(n) - 1);
  return a;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<Arg> args;
  for (int k = 0; k < argc; ++k) args.push_back(FromWide(argv[k]));
  return Run(args);
}

#else

std::FILE* OpenForReading(const Arg& path) { return std::fopen(path.bytes.c_str(), "rb"); }

// Strict UTF-8 to UTF-16: no overlong forms, surrogates or values past U+10FFFF.
bool Utf8ToUtf16(const std::string& in, std::u16string& out) {
  std::size_t i = 0;
  while (i < in.size()) {
    unsigned char b = static_cast<unsigned char>(in[i]);
    std::uint32_t c;
    int extra;
    if (b < 0x80) {
      c = b;
      extra = 0;
    } else if (b >= 0xC2 && b <= 0xDF) {
      c = b & 0x1F;
      extra = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      c = b & 0x0F;
      extra = 2;
    } else if (b >= 0xF0 && b <= 0xF4) {
      c = b & 0x07;
      extra = 3;
    } else {
      return false;
    }
    if (in.size() - i - 1 < static_cast<std::size_t>(extra)) return false;
    for (int k = 1; k <= extra; ++k) {
      unsigned char t = static_cast<unsigned char>(in[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      c = (c << 6) | (t & 0x3F);
    }
    static const std::uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += 1 + extra;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<Arg> args;
  for (int k = 0; k < argc; ++k) {
    Arg a;
    a.bytes = argv[k];
    a.wideOk = Utf8ToUtf16(a.bytes, a.wide);
    args.push_back(std::move(a));
  }
  return Run(args);
}

#endif
