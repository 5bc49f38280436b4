// A loaded document as the popup's document sink sees it: get_parentWindow, and that
// window's get_event answering the given event object.
#pragma once
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif
struct IHTMLDocument2;
struct IHTMLEventObj;
// A new document (one reference) that holds a reference to `event` (which may be null).
struct IHTMLDocument2* FakeDocumentWithEvent(struct IHTMLEventObj* event);
#ifdef __cplusplus
}
#endif
