/* C vtables name their slots, so the fake fills only what the document sink calls. */
#define COBJMACROS
#include "tests/host/win/fake_html_document.h"

#include <mshtml.h>
#include <stddef.h>
#include <stdlib.h>

typedef struct Fake {
  IHTMLDocument2 document;
  IHTMLWindow2 window;
  LONG refs;
  IHTMLEventObj* event;
} Fake;

#define FROM(p, member) ((Fake*)((char*)(p) - offsetof(Fake, member)))

static ULONG Retain(Fake* f) { return (ULONG)InterlockedIncrement(&f->refs); }
static ULONG Drop(Fake* f) {
  LONG n = InterlockedDecrement(&f->refs);
  if (n == 0) {
    if (f->event) IHTMLEventObj_Release(f->event);
    free(f);
  }
  return (ULONG)n;
}
static HRESULT Query(Fake* f, REFIID riid, void** out) {
  if (IsEqualIID(riid, &IID_IUnknown) || IsEqualIID(riid, &IID_IHTMLDocument2)) *out = &f->document;
  else if (IsEqualIID(riid, &IID_IHTMLWindow2)) *out = &f->window;
  else {
    *out = NULL;
    return E_NOINTERFACE;
  }
  Retain(f);
  return S_OK;
}

static HRESULT STDMETHODCALLTYPE DocQuery(IHTMLDocument2* p, REFIID r, void** o) { return Query(FROM(p, document), r, o); }
static ULONG STDMETHODCALLTYPE DocAddRef(IHTMLDocument2* p) { return Retain(FROM(p, document)); }
static ULONG STDMETHODCALLTYPE DocRelease(IHTMLDocument2* p) { return Drop(FROM(p, document)); }
static HRESULT STDMETHODCALLTYPE DocWindow(IHTMLDocument2* p, IHTMLWindow2** out) {
  Fake* f = FROM(p, document);
  Retain(f);
  *out = &f->window;
  return S_OK;
}

static HRESULT STDMETHODCALLTYPE WinQuery(IHTMLWindow2* p, REFIID r, void** o) { return Query(FROM(p, window), r, o); }
static ULONG STDMETHODCALLTYPE WinAddRef(IHTMLWindow2* p) { return Retain(FROM(p, window)); }
static ULONG STDMETHODCALLTYPE WinRelease(IHTMLWindow2* p) { return Drop(FROM(p, window)); }
static HRESULT STDMETHODCALLTYPE WinEvent(IHTMLWindow2* p, IHTMLEventObj** out) {
  Fake* f = FROM(p, window);
  *out = f->event;
  if (!f->event) return S_FALSE;
  IHTMLEventObj_AddRef(f->event);
  return S_OK;
}

static IHTMLDocument2Vtbl documentVtbl;
static IHTMLWindow2Vtbl windowVtbl;

IHTMLDocument2* FakeDocumentWithEvent(IHTMLEventObj* event) {
  Fake* f = (Fake*)calloc(1, sizeof(Fake));
  if (!f) return NULL;
  documentVtbl.QueryInterface = DocQuery;
  documentVtbl.AddRef = DocAddRef;
  documentVtbl.Release = DocRelease;
  documentVtbl.get_parentWindow = DocWindow;
  windowVtbl.QueryInterface = WinQuery;
  windowVtbl.AddRef = WinAddRef;
  windowVtbl.Release = WinRelease;
  windowVtbl.get_event = WinEvent;
  f->document.lpVtbl = &documentVtbl;
  f->window.lpVtbl = &windowVtbl;
  f->refs = 1;
  f->event = event;
  if (event) IHTMLEventObj_AddRef(event);
  return &f->document;
}
