// The small OLE container around the browser control: one site object for the window that
// hosts it, the browser's event sink (CIESink) and the loaded document's event sink (CDocSink).
#pragma once
#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>
#include <ole2.h>

#include "common/win/com_ptr.h"

namespace browser {

// Told of every click in the page; answers whether its default action may go on.
class IHTMLPopupEventListener {
 public:
  virtual bool OnDocumentEvent(DISPID dispid, IHTMLEventObj* eventObject) = 0;

 protected:
  ~IHTMLPopupEventListener() = default;
};

// Reference counting for the objects below; they are created with one reference.
class RefCounted {
 public:
  ULONG AddRefImpl() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG ReleaseImpl();

 protected:
  virtual ~RefCounted() = default;

 private:
  LONG refs_ = 1;
};

// One advise on a connection point; unadvised when dropped.
class EventConnection {
 public:
  EventConnection() = default;
  ~EventConnection() { Disconnect(); }
  EventConnection(const EventConnection&) = delete;
  EventConnection& operator=(const EventConnection&) = delete;

  HRESULT Connect(IUnknown* source, REFIID events, IUnknown* sink);
  void Disconnect();
  bool connected() const { return cookie_ != 0; }

 private:
  ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

// Client site, in-place site and in-place frame of the control, all in the window that hosts it.
class OleSite final : public RefCounted, public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
 public:
  explicit OleSite(HWND window) : window_(window) {}
  void Detach() { window_ = nullptr; }

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
  STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }
  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override;
  STDMETHODIMP GetContainer(IOleContainer** out) override;
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
  // IOleWindow, IOleInPlaceSite
  STDMETHODIMP GetWindow(HWND* out) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP CanInPlaceActivate() override { return window_ ? S_OK : S_FALSE; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }
  // IOleInPlaceUIWindow, IOleInPlaceFrame
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return OLE_E_INVALIDRECT; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

 private:
  HWND window_;
};

// Base of the two event sinks: IDispatch with only Invoke doing anything.
class EventSink : public RefCounted, public IDispatch {
 public:
  explicit EventSink(REFIID events) : events_(events) {}
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
  STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }

 private:
  const IID events_;
};

// HTMLDocumentEvents of one loaded document.
class CDocSink final : public EventSink {
 public:
  CDocSink(IHTMLPopupEventListener* listener, IHTMLDocument2* document);
  STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override;
  // Stops reporting; the document may still hold the sink for a while.
  void Forget() { listener_ = nullptr; }

 private:
  ComPtr<IHTMLEventObj> CurrentEvent() const;

  IHTMLPopupEventListener* listener_;
  ComPtr<IHTMLDocument2> document_;
};

// DWebBrowserEvents2 of a browser: hooks each top-level document as it completes.
class CIESink final : public EventSink {
 public:
  explicit CIESink(IHTMLPopupEventListener* listener);
  HRESULT Connect(IWebBrowser2* browser);
  // Unhooks the document and the browser; also done on OnQuit.
  void Disconnect();
  bool documentHooked() const { return static_cast<bool>(docSink_); }
  STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;

 private:
  void HookDocument(IDispatch* completed);
  void UnhookDocument();
  void RaiseZoom();

  IHTMLPopupEventListener* listener_;
  ComPtr<IWebBrowser2> browser_;
  EventConnection browserEvents_;
  ComPtr<IHTMLDocument2> document_;
  ComPtr<CDocSink> docSink_;
  EventConnection documentEvents_;
};

// The browser control filling a window: its site, the control, the browser and its event
// sink, made together and released in the reverse order.
class BrowserControl {
 public:
  BrowserControl() = default;
  ~BrowserControl() { Release(); }
  BrowserControl(const BrowserControl&) = delete;
  BrowserControl& operator=(const BrowserControl&) = delete;

  // False when any part cannot be made; what was made is released by Release.
  bool Create(HWND window, IHTMLPopupEventListener* listener);
  HRESULT Navigate(const wchar_t* url);
  void Release();

  IOleObject* control() const { return control_.get(); }
  IWebBrowser2* browser() const { return browser_.get(); }
  // The loaded page's document events are connected.
  bool documentHooked() const { return sink_ && sink_->documentHooked(); }

 private:
  ComPtr<OleSite> site_;
  ComPtr<IOleObject> control_;
  ComPtr<IWebBrowser2> browser_;
  ComPtr<CIESink> sink_;
};

}  // namespace browser
