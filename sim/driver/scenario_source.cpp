#include "sim/driver/scenario_source.h"

#include <fstream>
#include <sstream>

#include "sim/driver/default_scenario.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#endif

namespace sim {
namespace {
#ifdef _WIN32
// The process environment itself: the C library's copy misses changes made after it started.
bool ScenarioPath(std::wstring& path, std::string& shown) {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableW(L"TELLWICK_SCENARIO", buffer, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  path = buffer;
  char narrow[MAX_PATH * 3] = {};
  WideCharToMultiByte(CP_UTF8, 0, buffer, -1, narrow, sizeof narrow, nullptr, nullptr);
  shown = narrow;
  return true;
}
#else
bool ScenarioPath(std::string& path, std::string& shown) {
  const char* value = std::getenv("TELLWICK_SCENARIO");
  if (!value || !*value) return false;
  path = shown = value;
  return true;
}
#endif
}  // namespace

ScenarioSource ReadScenarioSource() {
  ScenarioSource source;
#ifdef _WIN32
  std::wstring path;
#else
  std::string path;
#endif
  std::string shown;
  if (!ScenarioPath(path, shown)) {
    source.name = "default scenario";
    source.text = kDefaultScenario;
    return source;
  }
  source.name = "scenario " + shown;
  std::ifstream file(path.c_str(), std::ios::binary);
  std::ostringstream body;
  if (file) body << file.rdbuf();
  source.readable = static_cast<bool>(file);
  source.text = body.str();
  return source;
}

}  // namespace sim
