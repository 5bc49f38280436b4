#include "common/core/html_text.h"

#include <cstdint>
#include <string_view>

namespace html {
namespace {
bool UrlSafe(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         std::u16string_view(u"-._~/:").find(c) != std::u16string_view::npos;
}
}  // namespace

std::u16string HtmlEscape(const std::u16string& text) {
  std::u16string out;
  for (char16_t c : text) {
    switch (c) {
      case u'&': out += u"&amp;"; break;
      case u'<': out += u"&lt;"; break;
      case u'>': out += u"&gt;"; break;
      case u'"': out += u"&quot;"; break;
      case u'\'': out += u"&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string ToUtf8(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    } else if (c < 0x10000) {
      out += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
              static_cast<char>(0x80 | (c & 0x3F))};
    } else {
      out += {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
              static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    }
  }
  return out;
}

std::u16string FileUrl(const std::u16string& path) {
  std::u16string url = u"file:///";
  size_t i = 0;
  while (i < path.size() && (path[i] == u'/' || path[i] == u'\\')) ++i;
  const std::string utf8 = ToUtf8(path.substr(i));
  static const char kDigits[] = "0123456789ABCDEF";
  for (unsigned char c : utf8) {
    if (c == '\\') {
      url += u'/';
    } else if (c < 0x80 && UrlSafe(c)) {
      url += static_cast<char16_t>(c);
    } else {
      url += {u'%', static_cast<char16_t>(kDigits[c >> 4]), static_cast<char16_t>(kDigits[c & 15])};
    }
  }
  return url;
}

}  // namespace html
