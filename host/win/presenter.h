// The presentation: the tray icon, the mini popup, toasts, the HTML popup for pages and
// message boxes.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "host/core/module_manager.h"
#include "host/win/html_popup.h"
#include "host/win/mini_popup.h"
#include "host/win/toast_bridge.h"
#include "host/win/tray_icon.h"

namespace host {

class WinPresenter : public IPresenter, private IPopupCloseHandler {
 public:
  WinPresenter(HINSTANCE instance, HWND main, std::wstring caption, DWORD majorVersion);
  ~WinPresenter() override;
  WinPresenter(const WinPresenter&) = delete;
  WinPresenter& operator=(const WinPresenter&) = delete;

  // The manager the windows report to; set once it exists.
  void Attach(ModuleManager* manager) {
    manager_ = manager;
    mini_.Attach(manager);
  }
  // The loaded toast bridge, or none where toasts are not available.
  void SetToasts(ToastBridge* bridge) { toasts_ = bridge; }
  void SetSaver(void (*save)(void*), void* context) {
    save_ = save;
    saveContext_ = context;
  }
  bool RegisterClasses();
  void AddTray();  // also after "TaskbarCreated"
  void RetryTray();
  void DeleteTray();
  HWND PageWindow() const { return popup_.GetWindow(); }
  // WM_HOST_CLOSEPOPUP: closes the page on screen now, not one shown after the request.
  void RequestPageClose() { popup_.RequestClose(); }
  const CHTMLPopupWindow& popup() const { return popup_; }

  std::u16string Text(HostText id) override;
  void Beep() override { MessageBeep(MB_ICONASTERISK); }
  void RefusalBeep() override { MessageBeep(0); }
  bool ShowMiniPopup(const NotificationList& list, int dx, int dy) override;
  void CloseMiniPopup() override;
  bool ForegroundFillsScreen() override;
  bool ToastsAvailable() override { return toasts_ != nullptr; }
  void RaiseToast(int kind) override;
  bool ShowPage(const std::u16string& path, const PageGeometry& geometry, uint32_t timeoutMs) override;
  void HidePage() override;
  void BringPageToFront() override;
  void SetTray(TrayIcon icon, const std::u16string& tooltip) override;
  void ShowNoNotifications() override;
  FirstRunAnswer AskFirstRun(const std::u16string& text) override;
  void SaveSettings() override {
    if (save_) save_(saveContext_);
  }

  static constexpr UINT_PTR kTrayRetryTimer = 0x59415254;  // "TRAY"
  static constexpr int kTrayAttempts = 100;

 private:
  std::u16string LoadText(UINT id) const;
  void StartTrayRetry();
  bool PageCurrent() override { return manager_ && manager_->PageSlot(); }
  void PopupClosed() override {
    if (manager_) manager_->PageClosed();
  }

  HINSTANCE instance_;
  HWND main_;
  std::wstring caption_;
  ModuleManager* manager_ = nullptr;
  ToastBridge* toasts_ = nullptr;
  void (*save_)(void*) = nullptr;
  void* saveContext_ = nullptr;

  CNotifyIcon tray_;
  bool trayAdded_ = false;
  int trayAttempts_ = 0;
  HICON icons_[4] = {};

  MiniPopup mini_;
  CHTMLPopupWindow popup_;
};

}  // namespace host
