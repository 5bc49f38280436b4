/* C vtables name their slots, so the fake fills only what the modules' click rules call; the rest stay null. */
#define COBJMACROS
#include "tests/common/win/fake_page_event.h"

#include <mshtml.h>
#include <stddef.h>
#include <stdlib.h>
#include <wchar.h>

wchar_t g_fakeListId[64];
int g_fakeListDisabled = -1;
wchar_t g_fakeStyles[512];

typedef struct Fake {
  IHTMLEventObj event;
  IHTMLElement element;
  IHTMLInputElement input;
  IHTMLSelectElement select;
  IDispatch document;
  IHTMLDocument3 document3;
  LONG refs;
  FakeClick click;
} Fake;

/* The list the document hands out by id. */
typedef struct Target {
  IHTMLElement element;
  IHTMLSelectElement select;
  IHTMLStyle style;
  LONG refs;
  wchar_t id[64];
} Target;

#define FROM(type, p, member) ((type*)((char*)(p) - offsetof(type, member)))

static ULONG Retain(LONG* refs) { return (ULONG)InterlockedIncrement(refs); }
static ULONG DropFake(Fake* f) {
  LONG n = InterlockedDecrement(&f->refs);
  if (n == 0) free(f);
  return (ULONG)n;
}
static ULONG DropTarget(Target* t) {
  LONG n = InterlockedDecrement(&t->refs);
  if (n == 0) free(t);
  return (ULONG)n;
}
static BOOL IsTag(const Fake* f, const wchar_t* tag) { return lstrcmpiW(f->click.tag, tag) == 0; }

static HRESULT FakeQuery(Fake* f, REFIID riid, void** out) {
  *out = NULL;
  if (IsEqualIID(riid, &IID_IUnknown) || IsEqualIID(riid, &IID_IHTMLEventObj)) *out = &f->event;
  else if (IsEqualIID(riid, &IID_IHTMLElement)) *out = &f->element;
  else if (IsEqualIID(riid, &IID_IHTMLInputElement) && IsTag(f, L"input")) *out = &f->input;
  else if (IsEqualIID(riid, &IID_IHTMLSelectElement) && IsTag(f, L"select")) *out = &f->select;
  else if (IsEqualIID(riid, &IID_IDispatch)) *out = &f->document;
  else if (IsEqualIID(riid, &IID_IHTMLDocument3)) *out = &f->document3;
  if (!*out) return E_NOINTERFACE;
  Retain(&f->refs);
  return S_OK;
}
static HRESULT TargetQuery(Target* t, REFIID riid, void** out) {
  *out = NULL;
  if (IsEqualIID(riid, &IID_IUnknown) || IsEqualIID(riid, &IID_IHTMLElement)) *out = &t->element;
  else if (IsEqualIID(riid, &IID_IHTMLSelectElement)) *out = &t->select;
  if (!*out) return E_NOINTERFACE;
  Retain(&t->refs);
  return S_OK;
}

#define FAKE_UNKNOWN(prefix, Iface, member)                                                              \
  static HRESULT STDMETHODCALLTYPE prefix##Query(Iface* p, REFIID r, void** o) {                       \
    return FakeQuery(FROM(Fake, p, member), r, o);                                                     \
  }                                                                                                      \
  static ULONG STDMETHODCALLTYPE prefix##AddRef(Iface* p) { return Retain(&FROM(Fake, p, member)->refs); } \
  static ULONG STDMETHODCALLTYPE prefix##Release(Iface* p) { return DropFake(FROM(Fake, p, member)); }
FAKE_UNKNOWN(Ev, IHTMLEventObj, event)
FAKE_UNKNOWN(El, IHTMLElement, element)
FAKE_UNKNOWN(In, IHTMLInputElement, input)
FAKE_UNKNOWN(Se, IHTMLSelectElement, select)
FAKE_UNKNOWN(Doc, IDispatch, document)
FAKE_UNKNOWN(Doc3, IHTMLDocument3, document3)

static HRESULT Text(const wchar_t* s, BSTR* out) {
  *out = SysAllocString(s ? s : L"");
  return *out ? S_OK : E_OUTOFMEMORY;
}
static HRESULT STDMETHODCALLTYPE EvType(IHTMLEventObj* p, BSTR* out) { return Text(FROM(Fake, p, event)->click.type, out); }
static HRESULT STDMETHODCALLTYPE EvSource(IHTMLEventObj* p, IHTMLElement** out) {
  Fake* f = FROM(Fake, p, event);
  Retain(&f->refs);
  *out = &f->element;
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE ElTag(IHTMLElement* p, BSTR* out) { return Text(FROM(Fake, p, element)->click.tag, out); }
static HRESULT STDMETHODCALLTYPE ElId(IHTMLElement* p, BSTR* out) { return Text(FROM(Fake, p, element)->click.id, out); }
static HRESULT STDMETHODCALLTYPE ElAttribute(IHTMLElement* p, BSTR name, LONG flags, VARIANT* out) {
  Fake* f = FROM(Fake, p, element);
  (void)flags;
  VariantInit(out);
  const wchar_t* value = lstrcmpiW(name, L"href") == 0    ? f->click.href
                         : lstrcmpiW(name, L"src") == 0   ? f->click.src
                         : lstrcmpiW(name, L"value") == 0 ? f->click.value
                                                          : NULL;
  if (!value) {
    V_VT(out) = VT_NULL;
    return S_OK;
  }
  V_VT(out) = VT_BSTR;
  return Text(value, &V_BSTR(out));
}
static HRESULT STDMETHODCALLTYPE ElDocument(IHTMLElement* p, IDispatch** out) {
  Fake* f = FROM(Fake, p, element);
  Retain(&f->refs);
  *out = &f->document;
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE InChecked(IHTMLInputElement* p, VARIANT_BOOL* out) {
  *out = FROM(Fake, p, input)->click.checked ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE InDisabled(IHTMLInputElement* p, VARIANT_BOOL* out) {
  *out = FROM(Fake, p, input)->click.disabled ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE SeIndex(IHTMLSelectElement* p, LONG* out) {
  *out = FROM(Fake, p, select)->click.selectedIndex;
  return S_OK;
}

static HRESULT STDMETHODCALLTYPE TElQuery(IHTMLElement* p, REFIID r, void** o) { return TargetQuery(FROM(Target, p, element), r, o); }
static ULONG STDMETHODCALLTYPE TElAddRef(IHTMLElement* p) { return Retain(&FROM(Target, p, element)->refs); }
static ULONG STDMETHODCALLTYPE TElRelease(IHTMLElement* p) { return DropTarget(FROM(Target, p, element)); }
static HRESULT STDMETHODCALLTYPE TSeQuery(IHTMLSelectElement* p, REFIID r, void** o) { return TargetQuery(FROM(Target, p, select), r, o); }
static ULONG STDMETHODCALLTYPE TSeAddRef(IHTMLSelectElement* p) { return Retain(&FROM(Target, p, select)->refs); }
static ULONG STDMETHODCALLTYPE TSeRelease(IHTMLSelectElement* p) { return DropTarget(FROM(Target, p, select)); }
static HRESULT STDMETHODCALLTYPE TSeDisabled(IHTMLSelectElement* p, VARIANT_BOOL v) {
  lstrcpynW(g_fakeListId, FROM(Target, p, select)->id, 64);
  g_fakeListDisabled = v != VARIANT_FALSE;
  return S_OK;
}

static HRESULT STDMETHODCALLTYPE TStQuery(IHTMLStyle* p, REFIID r, void** o) {
  Target* t = FROM(Target, p, style);
  *o = NULL;
  if (!IsEqualIID(r, &IID_IUnknown) && !IsEqualIID(r, &IID_IHTMLStyle)) return E_NOINTERFACE;
  *o = &t->style;
  Retain(&t->refs);
  return S_OK;
}
static ULONG STDMETHODCALLTYPE TStAddRef(IHTMLStyle* p) { return Retain(&FROM(Target, p, style)->refs); }
static ULONG STDMETHODCALLTYPE TStRelease(IHTMLStyle* p) { return DropTarget(FROM(Target, p, style)); }
/* Every element starts with no display style; what the module sets is logged "id=value;". */
static HRESULT STDMETHODCALLTYPE TStGetDisplay(IHTMLStyle* p, BSTR* out) {
  (void)p;
  return Text(L"", out);
}
static HRESULT STDMETHODCALLTYPE TStPutDisplay(IHTMLStyle* p, BSTR v) {
  const size_t used = wcslen(g_fakeStyles);
  _snwprintf(g_fakeStyles + used, 512 - used - 1, L"%ls=%ls;", FROM(Target, p, style)->id, v ? v : L"");
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE TElStyle(IHTMLElement* p, IHTMLStyle** out) {
  Target* t = FROM(Target, p, element);
  Retain(&t->refs);
  *out = &t->style;
  return S_OK;
}

static IHTMLElementVtbl targetElementVtbl;
static IHTMLSelectElementVtbl targetSelectVtbl;
static IHTMLStyleVtbl targetStyleVtbl;

static HRESULT STDMETHODCALLTYPE Doc3ById(IHTMLDocument3* p, BSTR id, IHTMLElement** out) {
  Target* t = (Target*)calloc(1, sizeof(Target));
  (void)p;
  *out = NULL;
  if (!t) return E_OUTOFMEMORY;
  targetElementVtbl.QueryInterface = TElQuery;
  targetElementVtbl.AddRef = TElAddRef;
  targetElementVtbl.Release = TElRelease;
  targetElementVtbl.get_style = TElStyle;
  targetStyleVtbl.QueryInterface = TStQuery;
  targetStyleVtbl.AddRef = TStAddRef;
  targetStyleVtbl.Release = TStRelease;
  targetStyleVtbl.get_display = TStGetDisplay;
  targetStyleVtbl.put_display = TStPutDisplay;
  targetSelectVtbl.QueryInterface = TSeQuery;
  targetSelectVtbl.AddRef = TSeAddRef;
  targetSelectVtbl.Release = TSeRelease;
  targetSelectVtbl.put_disabled = TSeDisabled;
  t->element.lpVtbl = &targetElementVtbl;
  t->select.lpVtbl = &targetSelectVtbl;
  t->style.lpVtbl = &targetStyleVtbl;
  t->refs = 1;
  lstrcpynW(t->id, id, 64);
  *out = &t->element;
  return S_OK;
}

static IHTMLEventObjVtbl eventVtbl;
static IHTMLElementVtbl elementVtbl;
static IHTMLInputElementVtbl inputVtbl;
static IHTMLSelectElementVtbl selectVtbl;
static IDispatchVtbl documentVtbl;
static IHTMLDocument3Vtbl document3Vtbl;

IHTMLEventObj* FakePageEvent(const FakeClick* click) {
  Fake* f = (Fake*)calloc(1, sizeof(Fake));
  if (!f) return NULL;
  eventVtbl.QueryInterface = EvQuery, eventVtbl.AddRef = EvAddRef, eventVtbl.Release = EvRelease;
  eventVtbl.get_type = EvType, eventVtbl.get_srcElement = EvSource;
  elementVtbl.QueryInterface = ElQuery, elementVtbl.AddRef = ElAddRef, elementVtbl.Release = ElRelease;
  elementVtbl.get_tagName = ElTag, elementVtbl.get_id = ElId, elementVtbl.getAttribute = ElAttribute;
  elementVtbl.get_document = ElDocument;
  inputVtbl.QueryInterface = InQuery, inputVtbl.AddRef = InAddRef, inputVtbl.Release = InRelease;
  inputVtbl.get_checked = InChecked, inputVtbl.get_disabled = InDisabled;
  selectVtbl.QueryInterface = SeQuery, selectVtbl.AddRef = SeAddRef, selectVtbl.Release = SeRelease;
  selectVtbl.get_selectedIndex = SeIndex;
  documentVtbl.QueryInterface = DocQuery, documentVtbl.AddRef = DocAddRef, documentVtbl.Release = DocRelease;
  document3Vtbl.QueryInterface = Doc3Query, document3Vtbl.AddRef = Doc3AddRef, document3Vtbl.Release = Doc3Release;
  document3Vtbl.getElementById = Doc3ById;
  f->event.lpVtbl = &eventVtbl;
  f->element.lpVtbl = &elementVtbl;
  f->input.lpVtbl = &inputVtbl;
  f->select.lpVtbl = &selectVtbl;
  f->document.lpVtbl = &documentVtbl;
  f->document3.lpVtbl = &document3Vtbl;
  f->refs = 1;
  f->click = *click;
  return &f->event;
}
