// displaychange.exe: tells every top-level window that the display configuration changed, as
// Windows does after a change; used after a scenario's [display] section has been edited
// ("plugging" a television). Arguments: width height bits per pixel (default 1920 1080 32).
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  const int width = argc > 1 ? _wtoi(argv[1]) : 1920, height = argc > 2 ? _wtoi(argv[2]) : 1080;
  const int depth = argc > 3 ? _wtoi(argv[3]) : 32;
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(HWND_BROADCAST, WM_DISPLAYCHANGE, static_cast<WPARAM>(depth), MAKELPARAM(width, height),
                             SMTO_ABORTIFHUNG, 10000, &result)
             ? 0
             : 1;
}
