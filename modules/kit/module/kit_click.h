// What a module's click rule needs of the browser's event and its source element.
#pragma once
#include <windows.h>
#include <mshtml.h>

#include <string>

#include "common/win/com_ptr.h"
#include "modules/kit/page_click.h"

namespace kit {
// False when the event has no source element or its tag cannot be read.
bool ReadClick(IHTMLEventObj* event, PageClick& click, ComPtr<IHTMLElement>& element);

// An attribute's text; empty when the element has none or it is not a string.
std::u16string Attribute(IHTMLElement& element, const wchar_t* attribute);
}  // namespace kit
