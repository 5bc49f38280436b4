/* C vtables name their slots, so the fake fills only what a click rule calls; the rest stay null. */
#define COBJMACROS
#include "tests/registration/module/fake_html_event.h"

#include <mshtml.h>
#include <stddef.h>
#include <stdlib.h>

typedef struct Fake {
  IHTMLEventObj event;
  IHTMLElement element;
  IHTMLInputElement input;
  LONG refs;
  const wchar_t* type;
  const wchar_t* tag;
  const wchar_t* id;
  BOOL checked;
} Fake;

#define FROM(p, member) ((Fake*)((char*)(p) - offsetof(Fake, member)))

static ULONG Retain(Fake* f) { return (ULONG)InterlockedIncrement(&f->refs); }
static ULONG Drop(Fake* f) {
  LONG n = InterlockedDecrement(&f->refs);
  if (n == 0) free(f);
  return (ULONG)n;
}
static HRESULT Query(Fake* f, REFIID riid, void** out) {
  if (IsEqualIID(riid, &IID_IUnknown) || IsEqualIID(riid, &IID_IHTMLEventObj)) *out = &f->event;
  else if (IsEqualIID(riid, &IID_IHTMLElement)) *out = &f->element;
  else if (IsEqualIID(riid, &IID_IHTMLInputElement)) *out = &f->input;
  else {
    *out = NULL;
    return E_NOINTERFACE;
  }
  Retain(f);
  return S_OK;
}

static HRESULT STDMETHODCALLTYPE EvQuery(IHTMLEventObj* p, REFIID r, void** o) { return Query(FROM(p, event), r, o); }
static ULONG STDMETHODCALLTYPE EvAddRef(IHTMLEventObj* p) { return Retain(FROM(p, event)); }
static ULONG STDMETHODCALLTYPE EvRelease(IHTMLEventObj* p) { return Drop(FROM(p, event)); }
static HRESULT STDMETHODCALLTYPE EvType(IHTMLEventObj* p, BSTR* out) {
  *out = SysAllocString(FROM(p, event)->type);
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE EvSource(IHTMLEventObj* p, IHTMLElement** out) {
  Fake* f = FROM(p, event);
  Retain(f);
  *out = &f->element;
  return S_OK;
}

static HRESULT STDMETHODCALLTYPE ElQuery(IHTMLElement* p, REFIID r, void** o) { return Query(FROM(p, element), r, o); }
static ULONG STDMETHODCALLTYPE ElAddRef(IHTMLElement* p) { return Retain(FROM(p, element)); }
static ULONG STDMETHODCALLTYPE ElRelease(IHTMLElement* p) { return Drop(FROM(p, element)); }
static HRESULT STDMETHODCALLTYPE ElTag(IHTMLElement* p, BSTR* out) {
  *out = SysAllocString(FROM(p, element)->tag);
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE ElId(IHTMLElement* p, BSTR* out) {
  *out = SysAllocString(FROM(p, element)->id);
  return S_OK;
}

static HRESULT STDMETHODCALLTYPE InQuery(IHTMLInputElement* p, REFIID r, void** o) { return Query(FROM(p, input), r, o); }
static ULONG STDMETHODCALLTYPE InAddRef(IHTMLInputElement* p) { return Retain(FROM(p, input)); }
static ULONG STDMETHODCALLTYPE InRelease(IHTMLInputElement* p) { return Drop(FROM(p, input)); }
static HRESULT STDMETHODCALLTYPE InChecked(IHTMLInputElement* p, VARIANT_BOOL* out) {
  *out = FROM(p, input)->checked ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

static IHTMLEventObjVtbl eventVtbl;
static IHTMLElementVtbl elementVtbl;
static IHTMLInputElementVtbl inputVtbl;

IHTMLEventObj* FakeClickEvent(const wchar_t* type, const wchar_t* tag, const wchar_t* id, BOOL checked) {
  Fake* f = (Fake*)calloc(1, sizeof(Fake));
  if (!f) return NULL;
  eventVtbl.QueryInterface = EvQuery;
  eventVtbl.AddRef = EvAddRef;
  eventVtbl.Release = EvRelease;
  eventVtbl.get_type = EvType;
  eventVtbl.get_srcElement = EvSource;
  elementVtbl.QueryInterface = ElQuery;
  elementVtbl.AddRef = ElAddRef;
  elementVtbl.Release = ElRelease;
  elementVtbl.get_tagName = ElTag;
  elementVtbl.get_id = ElId;
  inputVtbl.QueryInterface = InQuery;
  inputVtbl.AddRef = InAddRef;
  inputVtbl.Release = InRelease;
  inputVtbl.get_checked = InChecked;
  f->event.lpVtbl = &eventVtbl;
  f->element.lpVtbl = &elementVtbl;
  f->input.lpVtbl = &inputVtbl;
  f->refs = 1;
  f->type = type;
  f->tag = tag;
  f->id = id;
  f->checked = checked;
  return &f->event;
}
