// The desktop toast bridge "Popcard": a library outside the host, bound by name. It raises
// toasts on Windows 8 and later and reports an activation by message to the owner window.
#pragma once
#include <windows.h>

#include <set>
#include <string>

namespace host {

struct PopcardToast;
// The toast object's operations, in this order. Results below 0 are failures.
struct PopcardToastOps {
  long(__stdcall* Initialize)(PopcardToast* self, HWND owner, UINT message, int one, const wchar_t* appId, int five);
  long(__stdcall* Show)(PopcardToast* self);
  long(__stdcall* Unused1)(PopcardToast* self);
  long(__stdcall* Unused2)(PopcardToast* self);
  long(__stdcall* SetTexts)(PopcardToast* self, const wchar_t* const* texts, int count, const int* lengths);
  long(__stdcall* Dispose)(PopcardToast* self);
};
struct PopcardToast {
  const PopcardToastOps* ops;
};

using PopcardCreateInstanceFn = PopcardToast*(__cdecl*)();
using PopcardWinRTInitFn = int(__cdecl*)(int);

constexpr UINT kToastActivatedMessage = 0x8064;  // WM_HOST_TOASTACTIVATED
extern const wchar_t kToastAppId[];

class ToastBridge {
 public:
  ToastBridge() = default;
  ~ToastBridge();
  ToastBridge(const ToastBridge&) = delete;
  ToastBridge& operator=(const ToastBridge&) = delete;

  // Loads the library beside the host, finds its three exports and starts it.
  bool Load();
  bool Raise(HWND owner, const std::wstring& title, const std::wstring& text);
  // True when `object` is a toast of ours still alive; it is disposed then. Anything else
  // (a forged post, a toast already gone) is left alone.
  bool Release(LPARAM object);
  size_t live() const { return live_.size(); }

 private:
  HMODULE library_ = nullptr;
  PopcardCreateInstanceFn create_ = nullptr;
  std::set<PopcardToast*> live_;
};

}  // namespace host
