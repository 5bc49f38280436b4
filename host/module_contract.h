// The contract between the host Wickpost and its notification modules.
//
// A module is a DLL that exports plain C functions named Wickpost*, undecorated (list them
// in the module's .def file). Calling convention: __cdecl in both builds (WICKPOST_CALL);
// on x86-64 there is only one. Every call is made on the host's user-interface thread.
// No exception may leave an entry point.
//
// Mandatory: WickpostInitialize, WickpostIsEnable, WickpostAutoCheck, WickpostManualCheck.
// Everything else is optional; a missing optional entry point is simply never called.
//
// Ownership: the host owns ModuleInitInfo for the life of the process (a module may keep the
// pointer), the menu-item array, and the text/page buffers of each check (it copies them
// before the call returns). A module owns the strings its menu items point to (valid while
// it is loaded) and the HTML files it writes; it deletes a page file only when a new page
// replaces it or the host no longer lists it (an automatic check answered CHECK_NOTHING, the
// page closed, the module unloads). The host's driver client is lent, never closed by a module.
#pragma once

#include <windows.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
namespace MiscCommon {
class CMiscCommon;
}
typedef MiscCommon::CMiscCommon WickpostDriverClient;
struct IHTMLEventObj;
#else
typedef struct WickpostDriverClient WickpostDriverClient;
typedef struct IHTMLEventObj IHTMLEventObj;
#endif

#define WICKPOST_CALL __cdecl

// ---- Records

#define WICKPOST_CONTRACT_VERSION 3

// Filled by the host, passed to WickpostInitialize. cbSize is sizeof(ModuleInitInfo) of the
// host's build: 24 in the 32-bit build, 32 in the 64-bit build. Modules accept any cbSize >= 4.
typedef struct ModuleInitInfo {
  int32_t cbSize;
  int32_t version;           // WICKPOST_CONTRACT_VERSION
  uint32_t checkInterval;    // module -> host: ticks between automatic checks; CHECK_INTERVAL_NEVER
  int32_t menuItemCount;     // module -> host: tray-menu items offered
  int32_t moduleIndex;       // host -> module: wParam of WM_HOST_CHECKMODULE
  WickpostDriverClient* driverClient;  // host's open, authenticated client; lent
} ModuleInitInfo;

#define CHECK_INTERVAL_NEVER 0xFFFFFFFFu

// One tray-menu item, filled by WickpostGetNotifyIconMenuItems into a zeroed host array.
typedef struct ModuleMenuItem {
  uint32_t reserved;
  const wchar_t* text;  // module-owned; a caption starting with '-' is a separator
  int32_t id;           // passed back to WickpostIconMenu
} ModuleMenuItem;

// The records cross from the host to modules built apart from it: their layout is fixed.
#ifdef __cplusplus
static_assert(sizeof(void*) == 4 ? sizeof(ModuleInitInfo) == 24 : sizeof(ModuleInitInfo) == 32,
              "ModuleInitInfo: 24 bytes in the 32-bit build, 32 in the 64-bit build");
static_assert(offsetof(ModuleInitInfo, driverClient) == (sizeof(void*) == 4 ? 20 : 24), "ModuleInitInfo layout");
static_assert(sizeof(ModuleMenuItem) == 3 * sizeof(void*) && offsetof(ModuleMenuItem, id) == 2 * sizeof(void*),
              "ModuleMenuItem layout");
#endif

// ---- Check results: kind in the low word, flags in the high word.

typedef uint32_t CheckResult;

#define CHECK_NOTHING 0
#define CHECK_PAGE 1
#define CHECK_ACTION 2
#define CHECK_KEEP 10

#define NOTIFY_SHOW_NOW 0x40000000u
#define NOTIFY_PERSISTENT 0x20000000u
#define NOTIFY_WARNING 0x10000000u

#ifdef __cplusplus
static_assert(sizeof(CheckResult) == 4, "CheckResult: 32 bits in both builds");
#endif

#define CHECK_KIND(result) ((result) & 0xFFFFu)
#define CHECK_FLAGS(result) ((result) & 0xFFFF0000u)

// Capacity, in characters, of the text and page buffers of every check. The host zeroes both
// buffers (and the code) before each call and takes at most this many characters, so a text
// that fills the buffer without a terminator is kept whole, never overrun. The host reads the
// low 16 bits of the code.
#define WICKPOST_CHECK_BUFFER 100
// Capacity of the error-text buffer of WickpostInitialize; the host terminates it itself.
#define WICKPOST_ERROR_BUFFER 1024
// Capacity of the buffer WickpostGetInitialMessage fills for the first-run question.
#define WICKPOST_INITIAL_MESSAGE_BUFFER 200

// ---- Module error values

#define MODULE_E_DRIVER (-251)
#define MODULE_E_NOT_AVAILABLE (-252)
#define MODULE_E_BAD_ARGUMENT (-253)
#define MODULE_E_HOST_TOO_OLD (-254)

// ---- Host window messages and commands

#define WM_HOST_TRAYICON 0x8000
#define WM_HOST_POPUPCLICK 0x8001
#define WM_HOST_CHECKMODULE 0x8002  // wParam: moduleIndex; runs that module's manual check
#define WM_HOST_PAUSE 0x8003        // wParam: 1 pause, 0 resume scheduled checks
#define WM_HOST_CLOSEPOPUP 0x8004   // closes the HTML popup, if one is shown
#define WM_HOST_TOASTACTIVATED 0x8064

#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDM_SETTINGS 0x8007
#define IDM_CHECKNOW 0x8008

// Default popup size, used where a module answers 0.
#define WICKPOST_POPUP_WIDTH 380
#define WICKPOST_POPUP_HEIGHT 520

// ---- Entry points

#ifdef __cplusplus
extern "C" {
#endif

typedef int(WICKPOST_CALL* WickpostInitializeFn)(HWND host, ModuleInitInfo* info, wchar_t* errorText,
                                                 int errorCapacity);
typedef int(WICKPOST_CALL* WickpostIsEnableFn)(void);
typedef CheckResult(WICKPOST_CALL* WickpostCheckFn)(wchar_t* text, int textCapacity, wchar_t* page,
                                                    int pageCapacity, uint16_t* code);
typedef int(WICKPOST_CALL* WickpostGetNotifyIconMenuItemsFn)(ModuleMenuItem* items, int count);
typedef void(WICKPOST_CALL* WickpostIconMenuFn)(int id);
typedef void(WICKPOST_CALL* WickpostDoNotifyFn)(uint16_t code);
typedef void(WICKPOST_CALL* WickpostOnWndMsgFn)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
typedef void(WICKPOST_CALL* WickpostHTMLOnShowFn)(void);
typedef int(WICKPOST_CALL* WickpostHTMLOnClickFn)(IHTMLEventObj* eventObject);
typedef void(WICKPOST_CALL* WickpostHTMLOnCloseFn)(void);
typedef uint16_t(WICKPOST_CALL* WickpostGetSetupDlgFn)(void);
// A dialog procedure's arguments and result, with the contract's calling convention: the
// host's own page procedure forwards every message of the module's page to it.
typedef INT_PTR(WICKPOST_CALL* WickpostSetupDlgProcFn)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
typedef int(WICKPOST_CALL* WickpostGetInitialMessageFn)(wchar_t* text, int capacity);
typedef void(WICKPOST_CALL* WickpostEnableAutoCheckFn)(int enable);
typedef int(WICKPOST_CALL* WickpostGetPairFn)(int* first, int* second);  // size, offsets
typedef int(WICKPOST_CALL* WickpostGetHTMLTimeoutFn)(int* ticks);

// The exports themselves, so that a module's definition with another signature does not
// compile. A module includes this header in the file that defines its entry points and
// lists them in its .def file.
int WICKPOST_CALL WickpostInitialize(HWND host, ModuleInitInfo* info, wchar_t* errorText, int errorCapacity);
int WICKPOST_CALL WickpostIsEnable(void);
CheckResult WICKPOST_CALL WickpostAutoCheck(wchar_t* text, int textCapacity, wchar_t* page, int pageCapacity,
                                            uint16_t* code);
CheckResult WICKPOST_CALL WickpostManualCheck(wchar_t* text, int textCapacity, wchar_t* page, int pageCapacity,
                                              uint16_t* code);
int WICKPOST_CALL WickpostGetNotifyIconMenuItems(ModuleMenuItem* items, int count);
void WICKPOST_CALL WickpostIconMenu(int id);
void WICKPOST_CALL WickpostDoNotify(uint16_t code);
void WICKPOST_CALL WickpostOnWndMsg(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void WICKPOST_CALL WickpostHTMLOnShow(void);
int WICKPOST_CALL WickpostHTMLOnClick(IHTMLEventObj* eventObject);
void WICKPOST_CALL WickpostHTMLOnClose(void);
uint16_t WICKPOST_CALL WickpostGetSetupDlg(void);
INT_PTR WICKPOST_CALL WickpostSetupDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int WICKPOST_CALL WickpostGetInitialMessage(wchar_t* text, int capacity);
void WICKPOST_CALL WickpostEnableAutoCheck(int enable);
int WICKPOST_CALL WickpostGetPopupSize(int* width, int* height);
int WICKPOST_CALL WickpostGetPopupOffset(int* x, int* y);
int WICKPOST_CALL WickpostGetMiniPopupOffset(int* dx, int* dy);
int WICKPOST_CALL WickpostGetHTMLTimeout(int* ticks);

#ifdef __cplusplus
}
#endif
