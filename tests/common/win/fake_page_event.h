// A click in a page as the browser control hands it to WickpostHTMLOnClick: the event, its
// source element (input, select, link or anything else by tag) and the page's document,
// whose lists record what the module enables or disables.
#pragma once
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif
struct IHTMLEventObj;
typedef struct FakeClick {
  const wchar_t* type;
  const wchar_t* tag;
  const wchar_t* id;
  const wchar_t* href;  // null: no href attribute
  BOOL checked;
  BOOL disabled;
  long selectedIndex;
  const wchar_t* src;  // null: no src attribute
  const wchar_t* value;  // null: no value attribute (a button's value, as the page wrote it)
} FakeClick;
// A new event (one reference); release it with ->Release().
struct IHTMLEventObj* FakePageEvent(const FakeClick* click);
// The last list the module switched through the document: its id and the state it set.
extern wchar_t g_fakeListId[64];
extern int g_fakeListDisabled;  // -1: untouched
// The display styles the module set through the document, "id=value;" each.
extern wchar_t g_fakeStyles[512];
#ifdef __cplusplus
}
#endif
