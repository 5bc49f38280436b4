// vidassist.exe: serves the HDMI module's graphics commands on standard input and output.
#include <windows.h>
#include <objbase.h>

#include <memory>
#include <string>

#include "tools/vidassist/vidassist_core.h"
#include "tools/vidassist/win/graphics_open.h"

int wmain() {
  const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  // Written as they are, unbuffered: the module reads each line as soon as it is complete.
  const auto write = [out](const std::string& text) {
    DWORD written = 0;
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  };
  const auto read = [in](char* buffer, size_t capacity) -> size_t {
    DWORD got = 0;
    if (!ReadFile(in, buffer, static_cast<DWORD>(capacity), &got, nullptr)) return 0;
    return got;
  };
  const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  std::unique_ptr<vida::IGraphics> graphics = com ? vida::OpenGraphics(true) : nullptr;
  const int code = vida::Serve(graphics.get(), read, write);
  graphics.reset();
  if (com) CoUninitialize();
  return code;
}
