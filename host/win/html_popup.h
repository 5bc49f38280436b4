// The HTML popup: a window hosting the browser control that shows a module's page, reports
// its clicks to the owner, and closes itself after a while when the user is elsewhere.
// Closing only hides it; the next page reuses the window.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "host/core/popup_rules.h"
#include "common/win/ole_site.h"

namespace host {
using browser::CDocSink;
using browser::CIESink;
using browser::IHTMLPopupEventListener;
using browser::OleSite;

// The host side of a close: whether a page is current, and what follows its closing.
class IPopupCloseHandler {
 public:
  virtual bool PageCurrent() = 0;
  virtual void PopupClosed() = 0;

 protected:
  ~IPopupCloseHandler() = default;
};

class CHTMLPopupWindow final : public IHTMLPopupEventListener {
 public:
  static constexpr UINT_PTR kTimeoutTimer = 0x49545048;  // "HPTI"
  static constexpr UINT kCloseRequest = WM_APP + 0x484;  // wParam: the serial of the page to close
  static constexpr size_t kPageCapacity = 260;

  CHTMLPopupWindow() = default;
  ~CHTMLPopupWindow();
  CHTMLPopupWindow(const CHTMLPopupWindow&) = delete;
  CHTMLPopupWindow& operator=(const CHTMLPopupWindow&) = delete;

  // "HTMLPopupClass"; the window colour when no background is given.
  bool RegisterClass(HINSTANCE instance, HBRUSH background, const wchar_t* title);
  void SetCloseHandler(IPopupCloseHandler* handler) { closeHandler_ = handler; }
  void SetPage(const wchar_t* path);
  // Answers whether the popup is shown; false when the window or its browser cannot be made.
  bool Show(HWND owner, int width, int height, int offsetX, int offsetY, uint32_t timeoutMs, UINT clickMessage);
  // Answers whether it is still visible.
  bool Hide();
  HWND GetWindow() const { return window_; }
  void BringToFront();
  // Posts a close for the page shown now; it leaves any later page alone.
  bool RequestClose();
  // The event object of the click being reported right now, else null.
  IHTMLEventObj* ClickInFlight() const { return sending_; }

  bool visible() const { return visible_; }
  bool timerRunning() const { return timer_ != 0; }
  const std::wstring& page() const { return page_; }
  IWebBrowser2* browser() const { return browser_.browser(); }

  bool OnDocumentEvent(DISPID dispid, IHTMLEventObj* eventObject) override;

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool CreateBrowser(HWND window);
  void ReleaseBrowser();
  HRESULT Navigate();
  void FitBrowser(HWND window);
  void PassKey(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnClose(HWND window);
  void StopTimer();
  void RestartTimer(bool userHere);

  HINSTANCE instance_ = nullptr;
  bool registered_ = false;
  std::wstring title_;
  std::wstring page_ = L"about:blank";
  bool visible_ = false;
  uint32_t timeoutMs_ = 0;
  HWND window_ = nullptr;
  HWND owner_ = nullptr;
  UINT clickMessage_ = 0;
  UINT_PTR timer_ = 0;
  PageSerial serial_;
  IHTMLEventObj* sending_ = nullptr;
  IPopupCloseHandler* closeHandler_ = nullptr;
  browser::BrowserControl browser_;
};

// The owner's answer to a click report: 0 lets the click go on, -1 cancels it. The report's
// wParam is a raw interface pointer, trusted only while `popup` is sending that very object;
// `module` asks the current page's module, and is empty when no page is current.
LRESULT AnswerClickReport(const CHTMLPopupWindow& popup, WPARAM eventObject,
                          const std::function<bool(IHTMLEventObj*)>& module);

}  // namespace host
