#include "host/win/toast_bridge.h"

#include "host/win/host_path.h"

namespace host {

const wchar_t kToastAppId[] = L"Velmorant.Tellwick";

namespace {
template <typename Fn>
Fn Export(HMODULE library, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}
}  // namespace

// Toasts still out are disposed while their code is loaded.
ToastBridge::~ToastBridge() {
  for (PopcardToast* toast : live_) toast->ops->Dispose(toast);
  live_.clear();
  if (library_) FreeLibrary(library_);
}

bool ToastBridge::Load() {
  library_ = LoadBesideHost(L"Popcard.dll");
  if (!library_) return false;
  create_ = Export<PopcardCreateInstanceFn>(library_, "CreateInstance");
  const auto init = Export<PopcardWinRTInitFn>(library_, "WinRTInit");
  // The shortcut installer is never called, but a bridge without it is not the one we know.
  if (create_ && init && GetProcAddress(library_, "InstallShortcut") && init(0) >= 0) return true;
  FreeLibrary(library_);
  library_ = nullptr;
  create_ = nullptr;
  return false;
}

bool ToastBridge::Raise(HWND owner, const std::wstring& title, const std::wstring& text) {
  if (!create_) return false;
  PopcardToast* toast = create_();
  if (!toast) return false;
  const wchar_t* texts[2] = {title.c_str(), text.c_str()};
  const int lengths[2] = {static_cast<int>(title.size()), static_cast<int>(text.size())};
  if (toast->ops->Initialize(toast, owner, kToastActivatedMessage, 1, kToastAppId, 5) < 0 ||
      toast->ops->SetTexts(toast, texts, 2, lengths) < 0) {
    toast->ops->Dispose(toast);
    return false;
  }
  live_.insert(toast);
  // Not shown still counts as raised: the bridge may report it back all the same.
  toast->ops->Show(toast);
  return true;
}

bool ToastBridge::Release(LPARAM object) {
  auto it = live_.find(reinterpret_cast<PopcardToast*>(object));
  if (it == live_.end()) return false;
  PopcardToast* toast = *it;
  live_.erase(it);
  toast->ops->Dispose(toast);
  return true;
}

}  // namespace host
