// A click event as the browser control hands it to WickpostHTMLOnClick: just enough of
// IHTMLEventObj, IHTMLElement and IHTMLInputElement for a module's click rule.
#pragma once
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif
struct IHTMLEventObj;
// A new event (one reference) whose source is an element with this tag and id; `checked`
// is the state of an input element. Release it with ->Release().
struct IHTMLEventObj* FakeClickEvent(const wchar_t* type, const wchar_t* tag, const wchar_t* id, BOOL checked);
#ifdef __cplusplus
}
#endif
