/* C vtables name their slots, so the fakes fill only what the event sinks call. */
#define COBJMACROS
#include "tests/host/win/fake_html_document.h"

#include <exdisp.h>
#include <mshtml.h>
#include <ocidl.h>
#include <stddef.h>
#include <stdlib.h>

/* One object serves as document, its window, or browser, with its connection point. */
typedef struct Fake {
  IHTMLDocument2 document;
  IHTMLWindow2 window;
  IWebBrowser2 browser;
  IConnectionPointContainer container;
  IConnectionPoint point;
  LONG refs;
  IHTMLEventObj* event;
  IHTMLDocument2* loaded;
  FakeSource* source;
  IUnknown* sink;
} Fake;

#define FROM(p, member) ((Fake*)((char*)(p) - offsetof(Fake, member)))

/* IUnknown of each face, forwarded to the one object. */
#define UNKNOWN_OF(prefix, Interface, member)                                                      \
  static HRESULT STDMETHODCALLTYPE prefix##Query(Interface* p, REFIID r, void** o) {               \
    return Query(FROM(p, member), r, o);                                                           \
  }                                                                                                \
  static ULONG STDMETHODCALLTYPE prefix##AddRef(Interface* p) { return Retain(FROM(p, member)); } \
  static ULONG STDMETHODCALLTYPE prefix##Release(Interface* p) { return Drop(FROM(p, member)); }
#define SET_UNKNOWN(vtbl, prefix)     \
  (vtbl).QueryInterface = prefix##Query; \
  (vtbl).AddRef = prefix##AddRef;        \
  (vtbl).Release = prefix##Release

static ULONG Retain(Fake* f) { return (ULONG)InterlockedIncrement(&f->refs); }
static ULONG Drop(Fake* f) {
  LONG n = InterlockedDecrement(&f->refs);
  if (n == 0) {
    if (f->event) IHTMLEventObj_Release(f->event);
    if (f->loaded) IHTMLDocument2_Release(f->loaded);
    if (f->sink) IUnknown_Release(f->sink);
    free(f);
  }
  return (ULONG)n;
}
static HRESULT Hand(Fake* f, void* what, void** out) {
  *out = what;
  if (!what) return E_NOINTERFACE;
  Retain(f);
  return S_OK;
}
/* Hands out an object the fake holds, or S_FALSE and null when it holds none. */
static HRESULT Lend(IUnknown* held, void** out) {
  *out = held;
  if (!held) return S_FALSE;
  IUnknown_AddRef(held);
  return S_OK;
}
static HRESULT Query(Fake* f, REFIID riid, void** out) {
  const int isBrowser = f->browser.lpVtbl != NULL;
  if (IsEqualIID(riid, &IID_IUnknown) || IsEqualIID(riid, &IID_IDispatch))
    return Hand(f, isBrowser ? (void*)&f->browser : (void*)&f->document, out);
  if (IsEqualIID(riid, &IID_IHTMLDocument2)) return Hand(f, isBrowser ? NULL : &f->document, out);
  if (IsEqualIID(riid, &IID_IHTMLWindow2)) return Hand(f, isBrowser ? NULL : &f->window, out);
  if (IsEqualIID(riid, &IID_IWebBrowser2)) return Hand(f, isBrowser ? &f->browser : NULL, out);
  if (IsEqualIID(riid, &IID_IConnectionPointContainer)) return Hand(f, f->source ? &f->container : NULL, out);
  return Hand(f, NULL, out);
}

UNKNOWN_OF(Doc, IHTMLDocument2, document)
static HRESULT STDMETHODCALLTYPE DocWindow(IHTMLDocument2* p, IHTMLWindow2** out) {
  return Hand(FROM(p, document), &FROM(p, document)->window, (void**)out);
}

UNKNOWN_OF(Win, IHTMLWindow2, window)
static HRESULT STDMETHODCALLTYPE WinEvent(IHTMLWindow2* p, IHTMLEventObj** out) {
  return Lend((IUnknown*)FROM(p, window)->event, (void**)out);
}

UNKNOWN_OF(Wb, IWebBrowser2, browser)
static HRESULT STDMETHODCALLTYPE WbDocument(IWebBrowser2* p, IDispatch** out) {
  return Lend((IUnknown*)FROM(p, browser)->loaded, (void**)out);
}
static HRESULT STDMETHODCALLTYPE WbExec(IWebBrowser2* p, OLECMDID id, OLECMDEXECOPT opt, VARIANT* in, VARIANT* out) {
  FakeSource* s = FROM(p, browser)->source;
  if (id != OLECMDID_ZOOM || opt != OLECMDEXECOPT_DONTPROMPTUSER) return E_INVALIDARG;
  if (in && in->vt == VT_I4) {
    s->zoom = in->lVal;
    s->zoomSets++;
  }
  if (out) {
    out->vt = VT_I4;
    out->lVal = s->zoom;
  }
  return S_OK;
}

UNKNOWN_OF(Cpc, IConnectionPointContainer, container)
static HRESULT STDMETHODCALLTYPE CpcFind(IConnectionPointContainer* p, REFIID events, IConnectionPoint** out) {
  Fake* f = FROM(p, container);
  f->source->events = *events;
  return Hand(f, &f->point, (void**)out);
}

UNKNOWN_OF(Cp, IConnectionPoint, point)
static HRESULT STDMETHODCALLTYPE CpAdvise(IConnectionPoint* p, IUnknown* sink, DWORD* cookie) {
  Fake* f = FROM(p, point);
  if (f->sink) return CONNECT_E_ADVISELIMIT;
  IUnknown_AddRef(sink);
  f->sink = sink;
  f->source->sink = sink;
  f->source->advised++;
  f->source->advises++;
  *cookie = 0x5A;
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE CpUnadvise(IConnectionPoint* p, DWORD cookie) {
  Fake* f = FROM(p, point);
  if (cookie != 0x5A || !f->sink) return CONNECT_E_NOCONNECTION;
  IUnknown_Release(f->sink);
  f->sink = NULL;
  f->source->sink = NULL;
  f->source->advised--;
  return S_OK;
}

static IHTMLDocument2Vtbl documentVtbl;
static IHTMLWindow2Vtbl windowVtbl;
static IWebBrowser2Vtbl browserVtbl;
static IConnectionPointContainerVtbl containerVtbl;
static IConnectionPointVtbl pointVtbl;

static Fake* NewFake(FakeSource* source) {
  Fake* f = (Fake*)calloc(1, sizeof(Fake));
  if (!f) return NULL;
  SET_UNKNOWN(containerVtbl, Cpc);
  containerVtbl.FindConnectionPoint = CpcFind;
  SET_UNKNOWN(pointVtbl, Cp);
  pointVtbl.Advise = CpAdvise;
  pointVtbl.Unadvise = CpUnadvise;
  f->container.lpVtbl = &containerVtbl;
  f->point.lpVtbl = &pointVtbl;
  f->refs = 1;
  f->source = source;
  return f;
}

IHTMLDocument2* FakeDocumentWithEvent(IHTMLEventObj* event, FakeSource* source) {
  Fake* f = NewFake(source);
  if (!f) return NULL;
  SET_UNKNOWN(documentVtbl, Doc);
  documentVtbl.get_parentWindow = DocWindow;
  SET_UNKNOWN(windowVtbl, Win);
  windowVtbl.get_event = WinEvent;
  f->document.lpVtbl = &documentVtbl;
  f->window.lpVtbl = &windowVtbl;
  f->event = event;
  if (event) IHTMLEventObj_AddRef(event);
  return &f->document;
}

IWebBrowser2* FakeWebBrowser(IHTMLDocument2* document, FakeSource* source) {
  Fake* f = NewFake(source);
  if (!f) return NULL;
  SET_UNKNOWN(browserVtbl, Wb);
  browserVtbl.get_Document = WbDocument;
  browserVtbl.ExecWB = WbExec;
  f->browser.lpVtbl = &browserVtbl;
  f->loaded = document;
  if (document) IHTMLDocument2_AddRef(document);
  return &f->browser;
}
