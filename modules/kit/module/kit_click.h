// What a module's click rule needs of the browser's event and its source element.
#pragma once
#include <windows.h>
#include <mshtml.h>

#include "common/win/com_ptr.h"
#include "modules/kit/page_click.h"

namespace kit {
// False when the event has no source element or its tag cannot be read.
bool ReadClick(IHTMLEventObj* event, PageClick& click, ComPtr<IHTMLElement>& element);
}  // namespace kit
