// Stand-in for the desktop toast bridge: shows each toast as a small window in the top-right
// corner of the work area, where Windows 8 puts them, records every call, and reports an
// activation the way the bridge does (the owner gets the message with wParam 1 and the object).
//
//   TELLWICK_POPCARD_LOG          record file (default: popcard.log beside this DLL)
//   TELLWICK_POPCARD_ACTIVATE_MS  activate each shown toast by itself after this many ms
//   TELLWICK_POPCARD_FAIL         init | create | initialize | texts | show: that step fails
#include <windows.h>

#include <cstdio>
#include <new>
#include <string>

#include "host/win/toast_bridge.h"

using host::PopcardToast;
using host::PopcardToastOps;

namespace {
HMODULE g_self = nullptr;
const wchar_t kClass[] = L"PopcardToastWindow";
constexpr UINT_PTR kActivateTimer = 1;
constexpr long kFail = static_cast<long>(0x80004005L);  // E_FAIL
constexpr int kWidth = 330, kHeight = 84;

std::wstring Env(const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableW(name, value, MAX_PATH);
  return n && n < MAX_PATH ? value : L"";
}

bool Fails(const wchar_t* step) { return Env(L"TELLWICK_POPCARD_FAIL") == step; }

void Record(const wchar_t* format, ...) {
  std::wstring path = Env(L"TELLWICK_POPCARD_LOG");
  if (path.empty()) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(g_self, self, MAX_PATH);
    path = self;
    path = path.substr(0, path.find_last_of(L'\\') + 1) + L"popcard.log";
  }
  wchar_t line[1024];
  va_list args;
  va_start(args, format);
  _vsnwprintf(line, 1023, format, args);
  va_end(args);
  line[1023] = 0;
  FILE* f = _wfopen(path.c_str(), L"ab");
  if (!f) return;
  fprintf(f, "%ls\n", line);
  fclose(f);
}

struct Toast : PopcardToast {
  HWND owner = nullptr;
  UINT message = 0;
  std::wstring title, text;
  HWND window = nullptr;
};

void Activate(Toast* t) {
  Record(L"activate %p", static_cast<void*>(t));
  ShowWindow(t->window, SW_HIDE);
  PostMessageW(t->owner, t->message, 1, reinterpret_cast<LPARAM>(static_cast<PopcardToast*>(t)));
}

LRESULT CALLBACK ToastProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* t = reinterpret_cast<Toast*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE:
      SetWindowLongPtrW(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
      break;
    case WM_LBUTTONUP:
      if (t) Activate(t);
      return 0;
    case WM_TIMER:
      KillTimer(window, wParam);
      if (t && wParam == kActivateTimer) Activate(t);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      RECT r = {};
      GetClientRect(window, &r);
      HBRUSH back = CreateSolidBrush(RGB(0x1F, 0x1F, 0x1F));
      FillRect(dc, &r, back);
      DeleteObject(back);
      SetBkMode(dc, TRANSPARENT);
      HFONT bold = CreateFontW(-15, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
      HFONT plain = CreateFontW(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
      HGDIOBJ old = SelectObject(dc, bold);
      SetTextColor(dc, RGB(0xFF, 0xFF, 0xFF));
      RECT line = {16, 14, r.right - 12, 34};
      if (t) DrawTextW(dc, t->title.c_str(), -1, &line, DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
      SelectObject(dc, plain);
      SetTextColor(dc, RGB(0xD8, 0xD8, 0xD8));
      line = {16, 38, r.right - 12, r.bottom - 8};
      if (t) DrawTextW(dc, t->text.c_str(), -1, &line, DT_WORDBREAK | DT_END_ELLIPSIS | DT_NOPREFIX);
      SelectObject(dc, old);
      DeleteObject(bold);
      DeleteObject(plain);
      EndPaint(window, &ps);
      return 0;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

long __stdcall Initialize(PopcardToast* self, HWND owner, UINT message, int one, const wchar_t* appId, int five) {
  auto* t = static_cast<Toast*>(self);
  Record(L"initialize %p owner=%d message=0x%X %d app=%ls %d", static_cast<void*>(t), IsWindow(owner) != FALSE,
         message, one, appId ? appId : L"(null)", five);
  if (Fails(L"initialize")) return kFail;
  t->owner = owner;
  t->message = message;
  return 0;
}

long __stdcall SetTexts(PopcardToast* self, const wchar_t* const* texts, int count, const int* lengths) {
  auto* t = static_cast<Toast*>(self);
  if (!texts || !lengths || count != 2) return kFail;
  t->title.assign(texts[0], static_cast<size_t>(lengths[0] > 0 ? lengths[0] : 0));
  t->text.assign(texts[1], static_cast<size_t>(lengths[1] > 0 ? lengths[1] : 0));
  Record(L"texts %p %ls|%ls", static_cast<void*>(t), t->title.c_str(), t->text.c_str());
  return Fails(L"texts") ? kFail : 0;
}

long __stdcall Show(PopcardToast* self) {
  auto* t = static_cast<Toast*>(self);
  Record(L"show %p", static_cast<void*>(t));
  if (Fails(L"show")) return kFail;
  RECT work = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  t->window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kClass, t->title.c_str(), WS_POPUP,
                              work.right - kWidth - 12, work.top + 12, kWidth, kHeight, nullptr, nullptr,
                              g_self, t);
  if (!t->window) return kFail;
  ShowWindow(t->window, SW_SHOWNOACTIVATE);
  const std::wstring after = Env(L"TELLWICK_POPCARD_ACTIVATE_MS");
  if (!after.empty()) SetTimer(t->window, kActivateTimer, wcstoul(after.c_str(), nullptr, 10), nullptr);
  return 0;
}

long __stdcall Unused(PopcardToast*) { return 0; }

long __stdcall Dispose(PopcardToast* self) {
  auto* t = static_cast<Toast*>(self);
  Record(L"dispose %p", static_cast<void*>(t));
  if (t->window) DestroyWindow(t->window);
  delete t;
  return 0;
}

const PopcardToastOps kOps = {Initialize, Show, Unused, Unused, SetTexts, Dispose};
}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_self = instance;
  return TRUE;
}

__declspec(dllexport) int __cdecl WinRTInit(int flags) {
  Record(L"init %d", flags);
  WNDCLASSEXW wc = {sizeof wc};
  wc.lpfnWndProc = ToastProc;
  wc.hInstance = g_self;
  wc.hCursor = LoadCursorW(nullptr, IDC_HAND);
  wc.lpszClassName = kClass;
  RegisterClassExW(&wc);
  return Fails(L"init") ? -1 : 0;
}

__declspec(dllexport) PopcardToast* __cdecl CreateInstance() {
  if (Fails(L"create")) {
    Record(L"create failed");
    return nullptr;
  }
  Toast* t = new (std::nothrow) Toast();
  if (!t) return nullptr;
  t->ops = &kOps;
  Record(L"create %p", static_cast<void*>(t));
  return t;
}

__declspec(dllexport) int __cdecl InstallShortcut(const wchar_t*, const wchar_t*) {
  Record(L"shortcut");
  return 0;
}

}  // extern "C"
