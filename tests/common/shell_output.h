// What a shell command prints, for native tests that drive outside tools (Chromium, zbarimg,
// openssl).
#pragma once

#include <cstdio>
#include <string>

namespace testshell {

inline std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, p)) out.append(buffer, n);
    pclose(p);
  }
  return out;
}

}  // namespace testshell
