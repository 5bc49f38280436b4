// A scriptable notification module for the host's scenario tests, written from the contract
// header alone. It answers from "<its name>.ini" beside it ([probe] section) and appends
// every call to "calls.log" in its folder as "<name> <call>".
//
//   enable=1            WickpostIsEnable
//   interval=N          checkInterval (default never)
//   init=0              WickpostInitialize result; init_error=TEXT, init_error_fill=1 (no terminator)
//   menu=N              menuItemCount; item K has text menuK (the word "null" for a null text), id 100+K
//   menu_raise=N        menuItemCount is set to N during WickpostGetNotifyIconMenuItems
//   auto=R,R,...        results of successive automatic checks, then auto_rest (default 10)
//   manual=R,...        the same for manual checks, then manual_rest (default 0)
//   text=, page=, code= what a check hands over; fill=1 fills both buffers with no terminator
//   initial=-252        WickpostGetInitialMessage answer; initial_text=TEXT
//   click=1             WickpostHTMLOnClick answer; the event's type and source tag are logged
//   close_pump=N        WickpostHTMLOnClose runs a message loop until calls.log holds N more
//                       AutoCheck lines of other modules; a check meanwhile logs "Reentered <call>"
//   timers=1            logs each timer message of the host's window as "Timer <id in hex>"
#include <windows.h>
#include <mshtml.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "host/module_contract.h"

namespace {
HMODULE g_self = nullptr;
std::wstring g_name, g_ini, g_log;
ModuleInitInfo* g_info = nullptr;
std::vector<std::wstring> g_menuTexts;
std::vector<unsigned long> g_auto, g_manual;
size_t g_autoAt = 0, g_manualAt = 0;
bool g_inClose = false;
bool g_timers = false;

void Log(const wchar_t* format, ...) {
  wchar_t line[512];
  va_list args;
  va_start(args, format);
  _vsnwprintf(line, 511, format, args);
  va_end(args);
  line[511] = 0;
  FILE* f = _wfopen(g_log.c_str(), L"ab");
  if (!f) return;
  fprintf(f, "%ls %ls\n", g_name.c_str(), line);
  fclose(f);
}

int Int(const wchar_t* key, int fallback) {
  wchar_t value[64] = {};
  GetPrivateProfileStringW(L"probe", key, L"", value, 64, g_ini.c_str());
  return value[0] ? static_cast<int>(wcstoul(value, nullptr, 0)) : fallback;
}

std::wstring Text(const wchar_t* key, const wchar_t* fallback) {
  wchar_t value[2048] = {};
  GetPrivateProfileStringW(L"probe", key, fallback, value, 2048, g_ini.c_str());
  return value;
}

std::vector<unsigned long> Results(const wchar_t* key) {
  std::vector<unsigned long> out;
  const std::wstring list = Text(key, L"");
  for (const wchar_t* p = list.c_str(); *p;) {
    wchar_t* end = nullptr;
    out.push_back(wcstoul(p, &end, 0));
    p = *end ? end + 1 : end;
  }
  return out;
}

std::string ReadLog() {
  std::string text;
  FILE* f = _wfopen(g_log.c_str(), L"rb");
  if (!f) return text;
  char chunk[4096];
  for (size_t n; (n = fread(chunk, 1, sizeof chunk, f)) > 0;) text.append(chunk, n);
  fclose(f);
  return text;
}

// AutoCheck lines of the other modules: the host's ticks, as seen from here.
int OtherChecks() {
  const std::string log = ReadLog(), self(g_name.begin(), g_name.end());
  int n = 0;
  for (size_t at = 0, end; at < log.size(); at = end + 1) {
    end = log.find('\n', at);
    if (end == std::string::npos) end = log.size();
    const std::string line = log.substr(at, end - at);
    if (line.compare(0, self.size() + 1, self + " ") != 0 && line.find(" AutoCheck ") != std::string::npos) ++n;
  }
  return n;
}

void Setup() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(g_self, path, MAX_PATH);
  std::wstring full = path;
  const size_t slash = full.find_last_of(L'\\');
  const std::wstring dir = full.substr(0, slash + 1);
  g_name = full.substr(slash + 1, full.size() - slash - 5);  // without ".dll"
  g_ini = dir + g_name + L".ini";
  g_log = dir + L"calls.log";
  g_auto = Results(L"auto");
  g_manual = Results(L"manual");
  g_timers = Int(L"timers", 0) != 0;
}

CheckResult Answer(const wchar_t* what, std::vector<unsigned long>& script, size_t& at, int rest, wchar_t* text,
                   int textCapacity, wchar_t* page, int pageCapacity, uint16_t* code) {
  // Zeroed by the host: a check that writes nothing hands over empty texts.
  bool zeroed = true;
  for (int i = 0; i < textCapacity; ++i) zeroed = zeroed && !text[i];
  if (g_inClose) Log(L"Reentered %ls", what);
  const CheckResult result = at < script.size() ? script[at++] : static_cast<CheckResult>(rest);
  Log(L"%ls result=0x%X capacity=%d zeroed=%d", what, result, textCapacity, zeroed);
  if (Int(L"fill", 0)) {
    for (int i = 0; i < textCapacity; ++i) text[i] = L'T';
    for (int i = 0; i < pageCapacity; ++i) page[i] = L'P';
  } else {
    lstrcpynW(text, Text(L"text", (g_name + L" says hello").c_str()).c_str(), textCapacity);
    lstrcpynW(page, Text(L"page", L"C:\\probe-page.htm").c_str(), pageCapacity);
  }
  *code = static_cast<uint16_t>(Int(L"code", 1));
  return result;
}
}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_self = instance;
    Setup();
  } else if (reason == DLL_PROCESS_DETACH) {
    Log(L"Detach");
  }
  return TRUE;
}

int WICKPOST_CALL WickpostInitialize(HWND host, ModuleInitInfo* info, wchar_t* errorText, int errorCapacity) {
  Log(L"Initialize cbSize=%d version=%d index=%d client=%d window=%d", info->cbSize, info->version, info->moduleIndex,
      info->driverClient != nullptr, IsWindow(host) != FALSE);
  g_info = info;
  info->checkInterval = static_cast<uint32_t>(Int(L"interval", -1));
  info->menuItemCount = Int(L"menu", 0);
  const int result = Int(L"init", 0);
  if (Int(L"init_error_fill", 0)) {
    for (int i = 0; i < errorCapacity; ++i) errorText[i] = L'E';
  } else {
    lstrcpynW(errorText, Text(L"init_error", L"").c_str(), errorCapacity);
  }
  return result;
}

int WICKPOST_CALL WickpostIsEnable(void) { return Int(L"enable", 1); }

CheckResult WICKPOST_CALL WickpostAutoCheck(wchar_t* text, int textCapacity, wchar_t* page, int pageCapacity,
                                            uint16_t* code) {
  return Answer(L"AutoCheck", g_auto, g_autoAt, Int(L"auto_rest", CHECK_KEEP), text, textCapacity, page, pageCapacity,
                code);
}

CheckResult WICKPOST_CALL WickpostManualCheck(wchar_t* text, int textCapacity, wchar_t* page, int pageCapacity,
                                              uint16_t* code) {
  return Answer(L"ManualCheck", g_manual, g_manualAt, Int(L"manual_rest", CHECK_NOTHING), text, textCapacity, page,
                pageCapacity, code);
}

int WICKPOST_CALL WickpostGetNotifyIconMenuItems(ModuleMenuItem* items, int count) {
  bool zeroed = true;
  for (int i = 0; i < count; ++i) zeroed = zeroed && !items[i].text && !items[i].id && !items[i].reserved;
  Log(L"GetNotifyIconMenuItems count=%d zeroed=%d", count, zeroed);
  g_menuTexts.resize(count);
  for (int i = 0; i < count; ++i) {
    wchar_t key[16];
    swprintf(key, 16, L"menu%d", i + 1);
    g_menuTexts[i] = Text(key, L"item");
    items[i].text = g_menuTexts[i] == L"null" ? nullptr : g_menuTexts[i].c_str();
    items[i].id = 100 + i + 1;
  }
  if (const int raised = Int(L"menu_raise", 0)) g_info->menuItemCount = raised;
  return Int(L"menu_result", 0);
}

void WICKPOST_CALL WickpostIconMenu(int id) { Log(L"IconMenu %d", id); }
void WICKPOST_CALL WickpostDoNotify(uint16_t code) { Log(L"DoNotify %u", code); }

void WICKPOST_CALL WickpostOnWndMsg(HWND, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_DESTROY) Log(L"OnWndMsg WM_DESTROY");
  if (message == WM_TIMER && g_timers) Log(L"Timer %X", static_cast<unsigned>(wParam));
}

void WICKPOST_CALL WickpostHTMLOnShow(void) { Log(L"HTMLOnShow"); }
int WICKPOST_CALL WickpostHTMLOnClick(IHTMLEventObj* eventObject) {
  BSTR type = nullptr, tag = nullptr;
  IHTMLElement* source = nullptr;
  if (eventObject) {
    eventObject->get_type(&type);
    if (SUCCEEDED(eventObject->get_srcElement(&source)) && source) source->get_tagName(&tag);
  }
  Log(L"HTMLOnClick type=%ls tag=%ls", type ? type : L"-", tag ? tag : L"-");
  SysFreeString(type);
  SysFreeString(tag);
  if (source) source->Release();
  return Int(L"click", 1);
}
void WICKPOST_CALL WickpostHTMLOnClose(void) {
  if (g_inClose) Log(L"Reentered HTMLOnClose");
  Log(L"HTMLOnClose");
  const int ticks = Int(L"close_pump", 0);
  if (!ticks) return;
  g_inClose = true;
  const int until = OtherChecks() + ticks;
  for (DWORD start = GetTickCount(); OtherChecks() < until && GetTickCount() - start < 20000;) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        g_inClose = false;
        return;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  g_inClose = false;
  Log(L"HTMLOnClose pumped");
}

int WICKPOST_CALL WickpostGetInitialMessage(wchar_t* text, int capacity) {
  Log(L"GetInitialMessage capacity=%d", capacity);
  const int answer = Int(L"initial", MODULE_E_NOT_AVAILABLE);
  if (answer == 0 && text && capacity > 0) lstrcpynW(text, Text(L"initial_text", L"Probe paragraph.\n").c_str(), capacity);
  return answer;
}

void WICKPOST_CALL WickpostEnableAutoCheck(int enable) { Log(L"EnableAutoCheck %d", enable); }

int WICKPOST_CALL WickpostGetPopupSize(int* width, int* height) {
  if (!width || !height) return MODULE_E_BAD_ARGUMENT;
  *width = Int(L"popup_width", 0);
  *height = Int(L"popup_height", 0);
  return 0;
}

}  // extern "C"
