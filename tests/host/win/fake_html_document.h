// The browser and its loaded document as the popup's event sinks see them: a document whose
// window answers get_event, a browser that hands out that document and keeps a text zoom,
// and the connection points of both, counting what was advised.
#pragma once
#include <windows.h>
#include <unknwn.h>

#ifdef __cplusplus
extern "C" {
#endif
struct IHTMLDocument2;
struct IHTMLEventObj;
struct IWebBrowser2;

// Owned by the test; the fakes write what happened to them into it.
typedef struct FakeSource {
  IID events;    // the events interface last asked for
  int advised;   // connections now
  int advises;   // connections ever made
  IUnknown* sink;  // the connected sink, borrowed while connected
  LONG zoom;     // browser only: the text zoom
  int zoomSets;  // browser only: how often it was set
} FakeSource;

// A new document (one reference) holding a reference to `event` (which may be null).
struct IHTMLDocument2* FakeDocumentWithEvent(struct IHTMLEventObj* event, FakeSource* source);
// A new browser (one reference) whose get_Document answers `document` (held).
struct IWebBrowser2* FakeWebBrowser(struct IHTMLDocument2* document, FakeSource* source);
#ifdef __cplusplus
}
#endif
