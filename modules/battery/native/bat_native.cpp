#include "modules/battery/native/bat_native.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <pugixml.hpp>

#include "modules/kit/native/kit_pugi.h"

namespace bat {
namespace {
// Root, messages and fields are all the module reads.
constexpr int kLevels = 3;
}  // namespace

XmlElement ToXmlElement(const pugi::xml_node& node) { return kit::ReadElement(node, kLevels); }

bool ParseXml(const std::string& text, XmlElement& root) {
  pugi::xml_document doc;
  if (!doc.load_buffer(text.data(), text.size(), pugi::parse_default | pugi::parse_comments)) return false;
  const pugi::xml_node element = doc.document_element();
  if (!element) return false;
  root = ToXmlElement(element);
  return true;
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
    out.Set(ids[line.substr(0, space)], kit::FromUtf8(text));
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
