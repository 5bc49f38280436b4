// The maker's event service as far as the anomaly module sees it: the controller's registered
// message posted to every top-level window. Usage: ec_event [CODE] (default 0xC0).
#include <windows.h>

#include <cwchar>
#include <cstdio>

namespace {
struct Event {
  UINT message;
  WPARAM code;
  int posted;
};
BOOL CALLBACK PostTo(HWND window, LPARAM param) {
  Event* e = reinterpret_cast<Event*>(param);
  if (PostMessageW(window, e->message, e->code, 0)) ++e->posted;
  return TRUE;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  Event e{RegisterWindowMessageW(L"WM_VELMORANT_EC_NOTIFICATION"), 0xC0, 0};
  if (argc > 1) e.code = static_cast<WPARAM>(wcstoul(argv[1], nullptr, 0));
  if (!e.message) return 2;
  EnumWindows(PostTo, reinterpret_cast<LPARAM>(&e));
  std::printf("posted 0x%X to %d windows\n", static_cast<unsigned>(e.code), e.posted);
  return e.posted > 0 ? 0 : 1;
}
