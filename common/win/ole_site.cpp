#include "common/win/ole_site.h"

#include <exdispid.h>
#include <mshtmdid.h>
#include <ocidl.h>

#include <new>

#include "common/core/browser_events.h"

namespace browser {
namespace {
// The import library lacks this dispinterface's identifier.
constexpr IID kHTMLDocumentEvents = {0x3050F260, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};

bool SameObject(IUnknown* a, IUnknown* b) {
  if (!a || !b) return false;
  ComPtr<IUnknown> ia, ib;
  return SUCCEEDED(a->QueryInterface(IID_PPV_ARGS(ia.out()))) && SUCCEEDED(b->QueryInterface(IID_PPV_ARGS(ib.out()))) &&
         ia.get() == ib.get();
}

void SetBool(VARIANT* result, bool value) {
  if (!result) return;
  VariantInit(result);
  result->vt = VT_BOOL;
  result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}
}  // namespace

ULONG RefCounted::ReleaseImpl() {
  const LONG n = InterlockedDecrement(&refs_);
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

// ---- EventConnection

HRESULT EventConnection::Connect(IUnknown* source, REFIID events, IUnknown* sink) {
  Disconnect();
  if (!source || !sink) return E_POINTER;
  ComPtr<IConnectionPointContainer> container;
  HRESULT hr = source->QueryInterface(IID_PPV_ARGS(container.out()));
  if (SUCCEEDED(hr)) hr = container->FindConnectionPoint(events, point_.out());
  if (SUCCEEDED(hr)) hr = point_->Advise(sink, &cookie_);
  if (FAILED(hr)) {
    point_.reset();
    cookie_ = 0;
  }
  return hr;
}

void EventConnection::Disconnect() {
  if (point_ && cookie_) point_->Unadvise(cookie_);
  point_.reset();
  cookie_ = 0;
}

// ---- OleSite

STDMETHODIMP OleSite::QueryInterface(REFIID riid, void** out) {
  if (!out) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IOleClientSite)
    *out = static_cast<IOleClientSite*>(this);
  else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite)
    *out = static_cast<IOleInPlaceSite*>(this);
  else if (riid == IID_IOleInPlaceUIWindow || riid == IID_IOleInPlaceFrame)
    *out = static_cast<IOleInPlaceFrame*>(this);
  else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP OleSite::GetMoniker(DWORD, DWORD, IMoniker** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP OleSite::GetContainer(IOleContainer** out) {
  if (out) *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP OleSite::GetWindow(HWND* out) {
  if (!out) return E_POINTER;
  *out = window_;
  return window_ ? S_OK : E_FAIL;
}

STDMETHODIMP OleSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                       LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
  if (!frame || !document || !position || !clip || !info) return E_POINTER;
  *frame = this;
  AddRef();
  *document = nullptr;
  GetClientRect(window_, position);
  *clip = *position;
  info->fMDIApp = FALSE;
  info->hwndFrame = window_;
  info->haccel = nullptr;
  info->cAccelEntries = 0;
  return S_OK;
}

// ---- EventSink

STDMETHODIMP EventSink::QueryInterface(REFIID riid, void** out) {
  if (!out) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == events_) {
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP EventSink::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

// ---- CDocSink

CDocSink::CDocSink(IHTMLPopupEventListener* listener, IHTMLDocument2* document)
    : EventSink(kHTMLDocumentEvents), listener_(listener), document_(document) {}

ComPtr<IHTMLEventObj> CDocSink::CurrentEvent() const {
  ComPtr<IHTMLWindow2> window;
  ComPtr<IHTMLEventObj> event;
  if (document_ && SUCCEEDED(document_->get_parentWindow(window.out())) && window)
    window->get_event(event.out());
  return event;
}

STDMETHODIMP CDocSink::Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) {
  switch (AnswerDocumentEvent(dispid)) {
    case DocumentEventAnswer::AskListener: {
      bool proceed = true;
      if (IHTMLPopupEventListener* listener = listener_) proceed = listener->OnDocumentEvent(dispid, CurrentEvent().get());
      SetBool(result, proceed);
      return S_OK;
    }
    case DocumentEventAnswer::Cancel:
      SetBool(result, false);
      return S_OK;
    case DocumentEventAnswer::NotHandled:
      break;
  }
  return DISP_E_MEMBERNOTFOUND;
}

// ---- CIESink

CIESink::CIESink(IHTMLPopupEventListener* listener) : EventSink(DIID_DWebBrowserEvents2), listener_(listener) {}

HRESULT CIESink::Connect(IWebBrowser2* browser) {
  browser_ = browser;
  const HRESULT hr = browserEvents_.Connect(browser, DIID_DWebBrowserEvents2, static_cast<IDispatch*>(this));
  if (FAILED(hr)) browser_.reset();
  return hr;
}

void CIESink::Disconnect() {
  UnhookDocument();
  browserEvents_.Disconnect();
  browser_.reset();
}

void CIESink::UnhookDocument() {
  documentEvents_.Disconnect();
  if (docSink_) docSink_->Forget();
  docSink_.reset();
  document_.reset();
}

void CIESink::HookDocument(IDispatch* completed) {
  // Frames complete too; only the page itself is hooked.
  if (!browser_ || !SameObject(completed, browser_.get())) return;
  UnhookDocument();
  ComPtr<IDispatch> dispatch;
  if (FAILED(browser_->get_Document(dispatch.out())) || !dispatch ||
      FAILED(dispatch.As(&document_)))
    return;
  CDocSink* sink = new (std::nothrow) CDocSink(listener_, document_.get());
  if (!sink) return;
  docSink_.attach(sink);
  if (FAILED(documentEvents_.Connect(document_.get(), kHTMLDocumentEvents, static_cast<IDispatch*>(sink))))
    UnhookDocument();
  RaiseZoom();
}

void CIESink::RaiseZoom() {
  VARIANT current;
  VariantInit(&current);
  if (FAILED(browser_->ExecWB(OLECMDID_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, nullptr, &current))) return;
  if (current.vt != VT_I4) {
    VariantClear(&current);
    return;
  }
  if (const std::optional<int32_t> raised = RaisedZoom(current.lVal)) {
    VARIANT wanted;
    VariantInit(&wanted);
    wanted.vt = VT_I4;
    wanted.lVal = *raised;
    browser_->ExecWB(OLECMDID_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, &wanted, nullptr);
  }
}

STDMETHODIMP CIESink::Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
  switch (dispid) {
    case DISPID_BEFORENAVIGATE2:
      UnhookDocument();  // the navigation itself always goes on
      return S_OK;
    case DISPID_DOCUMENTCOMPLETE:
      // Arguments come last first: the completed object is the first of two.
      if (params && params->cArgs >= 2 && params->rgvarg[1].vt == VT_DISPATCH)
        HookDocument(params->rgvarg[1].pdispVal);
      return S_OK;
    case DISPID_ONQUIT:
      Disconnect();
      return S_OK;
  }
  return DISP_E_MEMBERNOTFOUND;
}

bool BrowserControl::Create(HWND window, IHTMLPopupEventListener* listener) {
  OleSite* site = new (std::nothrow) OleSite(window);
  if (!site) return false;
  site_.attach(site);
  RECT client = {};
  GetClientRect(window, &client);
  if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(control_.out()))) ||
      FAILED(control_->SetClientSite(site)) ||
      FAILED(control_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site, 0, window, &client)) ||
      FAILED(control_.As(&browser_)))
    return false;
  CIESink* sink = new (std::nothrow) CIESink(listener);
  if (!sink) return false;
  sink_.attach(sink);
  if (FAILED(sink_->Connect(browser_.get()))) return false;
  browser_->put_Silent(VARIANT_TRUE);  // no script-error boxes over the notebook's desktop
  return true;
}

HRESULT BrowserControl::Navigate(const wchar_t* url) {
  if (!browser_) return E_UNEXPECTED;
  Bstr address(url);
  if (!address.get()) return E_OUTOFMEMORY;
  VARIANT target, none;
  VariantInit(&target);
  VariantInit(&none);
  target.vt = VT_BSTR;
  target.bstrVal = address.get();
  return browser_->Navigate2(&target, &none, &none, &none, &none);
}

void BrowserControl::Release() {
  if (sink_) sink_->Disconnect();
  sink_.reset();
  browser_.reset();
  if (control_) {
    control_->Close(OLECLOSE_NOSAVE);
    control_->SetClientSite(nullptr);
  }
  control_.reset();
  if (site_) site_->Detach();
  site_.reset();
}

}  // namespace browser
