// The simple presentation: a tray icon, a plain list window for the pending lines, the HTML
// popup for pages and message boxes. The next pieces replace the list window.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "host/core/module_manager.h"
#include "host/win/html_popup.h"

namespace host {

class WinPresenter : public IPresenter, private IPopupCloseHandler {
 public:
  WinPresenter(HINSTANCE instance, HWND main, std::wstring caption);
  ~WinPresenter() override;
  WinPresenter(const WinPresenter&) = delete;
  WinPresenter& operator=(const WinPresenter&) = delete;

  // The manager the windows report to; set once it exists.
  void Attach(ModuleManager* manager) { manager_ = manager; }
  void SetToasts(bool available) { toasts_ = available; }
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
  bool ShowMiniPopup(const NotificationList& list) override;
  void CloseMiniPopup() override;
  bool ForegroundFillsScreen() override;
  bool ToastsAvailable() override { return toasts_; }
  void RaiseToast(int) override {}
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

 private:
  static LRESULT CALLBACK ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnList(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  std::u16string LoadText(UINT id) const;
  bool TrayCall(DWORD action);
  bool PageCurrent() override { return manager_ && manager_->PageSlot(); }
  void PopupClosed() override {
    if (manager_) manager_->PageClosed();
  }

  HINSTANCE instance_;
  HWND main_;
  std::wstring caption_;
  ModuleManager* manager_ = nullptr;
  bool toasts_ = false;
  void (*save_)(void*) = nullptr;
  void* saveContext_ = nullptr;

  NOTIFYICONDATAW tray_ = {};
  bool trayAdded_ = false;
  int trayAttempts_ = 0;
  HICON icons_[4] = {};

  HWND list_ = nullptr, listBox_ = nullptr;
  std::vector<size_t> listSlots_;  // the slot of each line
  CHTMLPopupWindow popup_;
};

}  // namespace host
