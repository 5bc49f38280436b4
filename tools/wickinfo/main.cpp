// wickinfo: prints what the driver client reads from this notebook.
//   wickinfo [--scenario FILE]     (the option applies to the sim variant)
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "common/core/misccommon.h"
#include "tools/wickinfo/wickinfo_report.h"

namespace {
void UseScenario(const char* path) {
#ifdef _WIN32
  _putenv_s("TELLWICK_SCENARIO", path);
#else
  setenv("TELLWICK_SCENARIO", path, 1);
#endif
}
}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--scenario") == 0 && i + 1 < argc) {
      UseScenario(argv[++i]);
    } else {
      std::cerr << "usage: wickinfo [--scenario FILE]\n";
      return 64;
    }
  }
  MiscCommon::CMiscCommon client;
  return PrintNotebook(client, std::cout);
}
