#include "modules/battery/native/bat_native.h"

#include <iconv.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <pugixml.hpp>

namespace bat {
namespace {
std::u16string FromUtf8(const char* s) {
  std::u16string out;
  const auto* p = reinterpret_cast<const unsigned char*>(s);
  while (*p) {
    uint32_t c = *p++;
    int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (more) c &= 0x3F >> more;
    for (; more && (*p & 0xC0) == 0x80; --more) c = c << 6 | (*p++ & 0x3F);
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

// Text of the element and all its descendants, as the DOM's text property gives it; walked
// without recursion, so that deep nesting cannot exhaust the stack.
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
  return text;
}

// Root, messages and fields are all the module reads.
constexpr int kDepth = 3;

XmlElement Convert(const pugi::xml_node& node, int depth) {
  XmlElement e;
  e.name = FromUtf8(node.name());
  for (const pugi::xml_attribute& a : node.attributes()) e.attributes.emplace_back(FromUtf8(a.name()), FromUtf8(a.value()));
  e.text = FromUtf8(TextContent(node).c_str());
  e.hasChildNodes = node.first_child() != nullptr;
  if (depth + 1 < kDepth)
    for (const pugi::xml_node& child : node.children())
      if (child.type() == pugi::node_element) e.children.push_back(Convert(child, depth + 1));
  return e;
}
}  // namespace

XmlElement ToXmlElement(const pugi::xml_node& node) { return Convert(node, 0); }

bool ParseXml(const std::string& text, XmlElement& root) {
  pugi::xml_document doc;
  if (!doc.load_buffer(text.data(), text.size(), pugi::parse_default | pugi::parse_comments)) return false;
  const pugi::xml_node element = doc.document_element();
  if (!element) return false;
  root = ToXmlElement(element);
  return true;
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

LocalTime TzClock::NowLocal() {
  const time_t t = static_cast<time_t>(now_);
  tm local{};
  localtime_r(&t, &local);
  return LocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

std::optional<int64_t> TzClock::LocalMidnight(const Date& d) {
  tm local{};
  local.tm_year = d.year - 1900;
  local.tm_mon = d.month - 1;
  local.tm_mday = d.day;
  local.tm_isdst = -1;
  const time_t t = mktime(&local);
  if (t == static_cast<time_t>(-1)) return std::nullopt;
  return static_cast<int64_t>(t);
}

std::u16string TzClock::DateTimeText(const LocalTime& t) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return std::u16string(buffer, buffer + std::char_traits<char>::length(buffer));
}

namespace {
std::string FileText(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t\r"), b = s.find_last_not_of(" \t\r");
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// A resource-script string: "" stands for a quote, \n, \t and \\ for what C means by them.
bool Unquote(const std::string& quoted, std::string& out) {
  if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') return false;
  out.clear();
  for (size_t i = 1; i + 1 < quoted.size(); ++i) {
    const char c = quoted[i];
    if (c == '"') {
      if (quoted[i + 1] != '"' || i + 2 >= quoted.size()) return false;
      out += '"';
      ++i;
    } else if (c == '\\' && i + 2 < quoted.size()) {
      const char e = quoted[++i];
      out += e == 'n' ? '\n' : e == 't' ? '\t' : e;
    } else {
      out += c;
    }
  }
  return true;
}
}  // namespace

bool ReadStringTable(const std::string& script, const std::string& header, Strings& out) {
  std::map<std::string, uint16_t> ids;
  std::istringstream defines(header);
  for (std::string line; std::getline(defines, line);) {
    std::istringstream words(line);
    std::string directive, name;
    unsigned value = 0;
    if (words >> directive >> name >> value && directive == "#define") ids[name] = static_cast<uint16_t>(value);
  }
  const size_t table = script.find("\nSTRINGTABLE");
  if (table == std::string::npos) return false;
  std::istringstream lines(script.substr(table + 1));
  std::string line;
  std::getline(lines, line);  // STRINGTABLE
  if (!std::getline(lines, line) || Trim(line) != "BEGIN") return false;
  while (std::getline(lines, line)) {
    line = Trim(line);
    if (line == "END") return true;
    if (line.empty() || line.rfind("//", 0) == 0) continue;
    const size_t space = line.find_first_of(" \t");
    std::string text;
    if (space == std::string::npos || !ids.count(line.substr(0, space)) || !Unquote(Trim(line.substr(space)), text))
      return false;
    out.Set(ids[line.substr(0, space)], FromUtf8(text.c_str()));
  }
  return false;
}

const Strings& SourceStrings() {
  static const Strings strings = [] {
    Strings s;
    if (!ReadStringTable(FileText(BAT_RESOURCE_SCRIPT), FileText(BAT_RESOURCE_HEADER), s)) s = Strings();
    return s;
  }();
  return strings;
}

std::optional<std::u16string> SourceStringsPort::Load(uint16_t id) {
  if (!SourceStrings().Has(id)) return std::nullopt;
  return SourceStrings().Get(id);
}

}  // namespace bat
