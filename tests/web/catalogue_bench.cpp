// Time to read the markers of crafted catalogue documents at the size cap (8 MiB): floods of
// driver names with one version at the end or none, of unclosed blocks, and of file markers.
// Each must read in under a second of processor time (the wall time is shown beside it: on a
// shared machine it counts other programs' turns too); a wrong reading fails the run.
// Usage: catalogue_bench [--smoke]  (--smoke: the figures only, no time limit)
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

#include "modules/kit/native/kit_pugi.h"
#include "modules/web/web_catalogue.h"

namespace {
constexpr double kLimitMs = 1000;

std::string Flood(const std::string& head, const std::string& unit, const std::string& tail) {
  std::string doc = head;
  while (doc.size() + unit.size() + tail.size() <= web::kMaxDocumentBytes) doc += unit;
  return doc + tail;
}
}  // namespace

int main(int argc, char** argv) {
  const bool smoke = argc > 1 && std::string(argv[1]) == "--smoke";
  kit::IconvCodePage sjis;
  const std::string pp = "<!--PP=\"4.3\"-->";
  const std::string kName = "<!--DN-->Pad<!--/DN-->", kVersion = "<!--DV-->1.2.3.4<!--/DV-->";
  const struct {
    const char* name;
    std::string doc;
    std::size_t drivers;
  } cases[] = {
      {"driver names, one version at the end", Flood(pp, kName, kVersion),
       web::kMaxListedMarkers},
      {"driver names, no version", Flood(pp, kName, ""), 0},
      {"attribute driver names, no version", Flood(pp, "<!--DN=\"Pad\"-->", ""), 0},
      {"unclosed blocks", Flood(pp, "<!--TM--><!--OS--><!--US--><!--DN-->", ""), 0},
      {"file markers", Flood(pp, "<!--FD=\"C:\\a.exe;2014/1/1\"-->", ""), 0},
  };
  bool ok = true;
  for (const auto& c : cases) {
    const auto t0 = std::chrono::steady_clock::now();
    const std::clock_t c0 = std::clock();
    const web::Markers m = web::ReadMarkers(c.doc, sjis);
    const double cpu = 1000.0 * double(std::clock() - c0) / CLOCKS_PER_SEC;
    const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    const bool right = m.major == 4 && m.drivers.size() == c.drivers;
    const bool fast = smoke || cpu < kLimitMs;
    std::printf("%-40s %5.1f MiB %8.1f ms cpu %8.1f ms wall%s%s\n", c.name, c.doc.size() / 1048576.0, cpu, wall,
                right ? "" : "  WRONG", fast ? "" : "  TOO SLOW");
    ok = ok && right && fast;
  }
  return ok ? 0 : 1;
}
