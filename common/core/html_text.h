// Text helpers shared by the modules that write HTML pages: escaping, UTF-8 and file URLs.
#pragma once
#include <string>

namespace html {

// Escapes & < > " and ' so that any text can stand in element content or an attribute.
std::u16string HtmlEscape(const std::u16string& text);
// UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(const std::u16string& text);
// "file:///" address of a local path (either slash), percent-encoded where a URL needs it.
std::u16string FileUrl(const std::u16string& path);

}  // namespace html
