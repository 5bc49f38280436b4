// One element of an XML document as the modules read it: from MSXML 3.0 in Windows builds,
// from pugixml natively.
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace kit {

struct XmlElement {
  std::u16string name;  // qualified name as written
  std::vector<std::pair<std::u16string, std::u16string>> attributes;
  std::u16string text;  // text of the element and its descendants, outer white space trimmed as MSXML gives it
  std::vector<XmlElement> children;  // child elements only, down to the levels read
  bool hasChildNodes = false;        // any child node at all, text and comments included
};

}  // namespace kit
