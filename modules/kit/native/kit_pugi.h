// pugixml and iconv in the kit's form, standing in for MSXML and code page 932 in native
// tests, tools and fuzzing.
#pragma once
#include <string>

#include <pugixml.hpp>

#include "modules/kit/strings.h"
#include "modules/kit/xml_element.h"

namespace kit {

// UTF-8 to UTF-16; a broken sequence keeps what it has, a code point beyond U+10FFFF becomes U+FFFD.
std::u16string FromUtf8(const std::string& s);

// Reads `node` as MSXML would; levels 1 is the element alone, 2 with its child elements, and so on.
XmlElement ReadElement(const pugi::xml_node& node, int levels);

// Code page 932 through iconv; a character without a mapping becomes '?', as on Windows.
class IconvCodePage : public ICodePage {
 public:
  std::optional<std::string> Encode(const std::u16string& text) override;
  std::optional<std::u16string> Decode(std::string_view bytes) override;
};

}  // namespace kit
