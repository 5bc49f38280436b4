#include "modules/kit/native/kit_pugi.h"

#include <iconv.h>

#include <cstdint>

namespace kit {
namespace {
bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Text of the element and all its descendants, outer white space trimmed as MSXML's text
// property gives it; walked without recursion, so deep nesting cannot exhaust the stack.
std::string TextContent(const pugi::xml_node& node) {
  std::string text;
  for (pugi::xml_node n = node.first_child(); n;) {
    if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) text += n.value();
    if (n.type() == pugi::node_element && n.first_child()) {
      n = n.first_child();
      continue;
    }
    while (n && !n.next_sibling() && n != node) n = n.parent();
    if (!n || n == node) break;
    n = n.next_sibling();
  }
  std::size_t b = 0, e = text.size();
  while (b < e && IsXmlSpace(text[b])) ++b;
  while (e > b && IsXmlSpace(text[e - 1])) --e;
  return text.substr(b, e - b);
}

}  // namespace

std::u16string FromUtf8(const std::string& s) {
  std::u16string out;
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const auto* end = p + s.size();
  while (p < end) {
    uint32_t c = *p++;
    int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (more) c &= 0x3Fu >> more;
    for (; more && p < end && (*p & 0xC0) == 0x80; --more) c = c << 6 | (*p++ & 0x3F);
    if (c >= 0x10000 && c <= 0x10FFFF) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c > 0xFFFF ? 0xFFFD : c);
    }
  }
  return out;
}

XmlElement ReadElement(const pugi::xml_node& node, int levels) {
  XmlElement e;
  e.name = FromUtf8(node.name());
  for (const pugi::xml_attribute& a : node.attributes()) e.attributes.emplace_back(FromUtf8(a.name()), FromUtf8(a.value()));
  e.text = FromUtf8(TextContent(node));
  e.hasChildNodes = node.first_child() != nullptr;
  if (levels > 1)
    for (const pugi::xml_node& child : node.children())
      if (child.type() == pugi::node_element) e.children.push_back(ReadElement(child, levels - 1));
  return e;
}

std::optional<std::string> IconvCodePage::Encode(const std::u16string& text) {
  iconv_t cd = iconv_open("CP932", "UTF-16LE");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const size_t units = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() ? 2 : 1;
    char in[4] = {static_cast<char>(text[i]), static_cast<char>(text[i] >> 8), 0, 0};
    if (units == 2) in[2] = static_cast<char>(text[i + 1]), in[3] = static_cast<char>(text[i + 1] >> 8);
    char buffer[8];
    char* src = in;
    char* dst = buffer;
    size_t inLeft = units * 2, outLeft = sizeof buffer;
    if (iconv(cd, &src, &inLeft, &dst, &outLeft) == static_cast<size_t>(-1)) {
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      out += '?';
    } else {
      out.append(buffer, dst);
    }
    i += units - 1;
  }
  iconv_close(cd);
  return out;
}

std::optional<std::u16string> IconvCodePage::Decode(std::string_view bytes) {
  iconv_t cd = iconv_open("UTF-16LE", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::u16string out;
  for (size_t i = 0; i < bytes.size();) {
    const unsigned char lead = static_cast<unsigned char>(bytes[i]);
    const bool pair = ((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC)) && i + 1 < bytes.size();
    char in[2] = {bytes[i], pair ? bytes[i + 1] : '\0'};
    char buffer[8];
    char* src = in;
    char* dst = buffer;
    size_t inLeft = pair ? 2 : 1, outLeft = sizeof buffer;
    if (iconv(cd, &src, &inLeft, &dst, &outLeft) == static_cast<size_t>(-1)) {
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      out += u'\u30FB';
    } else {
      for (char* p = buffer; p + 1 < dst; p += 2)
        out += static_cast<char16_t>(static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1]) << 8);
    }
    i += pair ? 2 : 1;
  }
  iconv_close(cd);
  return out;
}

}  // namespace kit
