// MSXML 3.0 for the modules: COM on the calling thread and an element read into the kit's form.
#pragma once
#include <windows.h>
#include <msxml2.h>

#include <string>

#include "modules/kit/module/kit_com.h"
#include "modules/kit/xml_element.h"

namespace kit {

// Loads a local file synchronously into `doc`; false when it cannot be read or parsed.
bool LoadXmlFile(IXMLDOMDocument* doc, const std::u16string& path);

// Parses a local file with MSXML 3.0 (COM set up for the call) and reads its root element
// `levels` deep; false when it cannot be read or parsed.
bool LoadXmlRoot(const std::u16string& path, int levels, XmlElement& root);

// Reads `node` into `out`; levels 1 is the element alone, 2 with its child elements, and so on.
// The levels bound the recursion, so a deep document cannot exhaust the stack.
void ReadElement(IXMLDOMNode* node, int levels, XmlElement& out);

}  // namespace kit
