// The sim variant: the simulated graphics driver of the scenario's [display] section. Writes
// go to the file named by TELLWICK_GFX_LOG, and a new instance starts from the writes there.
#include <windows.h>

#include <string>

#include "sim/driver/scenario_source.h"
#include "sim/graphics/sim_graphics.h"
#include "tools/vidassist/win/graphics_open.h"

namespace vida {
namespace {

std::wstring LogPath() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(L"TELLWICK_GFX_LOG", path, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(path, n) : std::wstring();
}

std::string ReadLog(const std::wstring& path) {
  std::string text;
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (f == INVALID_HANDLE_VALUE) return text;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got) text.append(buffer, got);
  CloseHandle(f);
  return text;
}

void AppendLog(const std::wstring& path, const std::string& line) {
  HANDLE f = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0,
                         nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  const std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(f);
}

}  // namespace

std::unique_ptr<IGraphics> OpenGraphics(bool anyServer) {
  const sim::ScenarioSource source = sim::ReadScenarioSource();
  sim::Scenario scenario;
  std::string error;
  if (!source.readable || !sim::ParseScenario(source.text, scenario, error)) return nullptr;
  const sim::SimGraphicsSetup& setup = scenario.graphics;
  if (!setup.available) return nullptr;
  // A server for 64-bit processes only: a 32-bit process gets it only from a 64-bit server.
  if (setup.servers == "64" && sizeof(void*) == 4 && !anyServer) return nullptr;
  if (setup.servers == "helper" && !anyServer) return nullptr;
  const std::wstring path = LogPath();
  return std::unique_ptr<IGraphics>(new sim::SimGraphics(
      setup, path.empty() ? std::string() : ReadLog(path), [path](const std::string& line) {
        if (!path.empty()) AppendLog(path, line);
      }));
}

}  // namespace vida
