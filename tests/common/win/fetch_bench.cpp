// Loopback download throughput of the shared fetcher: the best of N downloads of one file
// from the support server stand-in, timed inside the process (Wine's start-up is not counted).
//   fetch_bench.exe URL BYTES RUNS
// Prints "fetcher_bytes_per_second N"; exits 1 when a download fails or has the wrong size.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/win/http_fetcher.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: fetch_bench URL BYTES RUNS\n");
    return 2;
  }
  const std::wstring url = argv[1];
  const long long expected = _wtoi64(argv[2]);
  const int runs = _wtoi(argv[3]);
  wchar_t temp[MAX_PATH + 1] = {}, path[MAX_PATH + 1] = {};
  if (!GetTempPathW(MAX_PATH + 1, temp) || !GetTempFileNameW(temp, L"FBN", 0, path)) return 1;
  http::CHttpFetcher fetcher(L"PT-15KB3456CS", L"9K12304567");
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  double best = 0;
  for (int i = 0; i < runs; ++i) {
    QueryPerformanceCounter(&start);
    const BOOL ok = fetcher.Fetch(path, url.c_str(), nullptr, nullptr);
    QueryPerformanceCounter(&end);
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    const long long size = GetFileAttributesExW(path, GetFileExInfoStandard, &data)
                               ? (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow
                               : -1;
    if (!ok || size != expected) {
      std::fprintf(stderr, "download %d failed: ok=%d size=%lld expected=%lld\n", i, ok, size, expected);
      DeleteFileW(path);
      return 1;
    }
    const double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
    if (seconds > 0 && expected / seconds > best) best = expected / seconds;
  }
  DeleteFileW(path);
  std::printf("fetcher_bytes_per_second %.0f\n", best);
  return 0;
}
