// Portable stand-ins for the battery module's platform ports: pugixml for the custom-text
// DOM, iconv for code page 932 and the C library's time zone for local midnight.
#pragma once
#include <string>

#include "modules/battery/bat_ports.h"
#include "modules/kit/native/kit_pugi.h"

namespace pugi {
class xml_node;
}

namespace bat {

// The element as the module reads it, three levels deep; `node` must be an element.
XmlElement ToXmlElement(const pugi::xml_node& node);
// Parses UTF-8 XML text; false when it is not well-formed or has no root element.
bool ParseXml(const std::string& text, XmlElement& root);

// The string table of the module's resource script, with the ids of its resource header:
// natively the very texts the DLL carries. False when either does not parse.
bool ReadStringTable(const std::string& script, const std::string& header, Strings& out);
// The table of this source tree's resources/battery/wkptbat.rc; empty when it cannot be read.
const Strings& SourceStrings();

class SourceStringsPort : public IStrings {
 public:
  std::optional<std::u16string> Load(uint16_t id) override;
};

using kit::IconvCodePage;

// Local time of the process's TZ; "now" is fixed by the caller so that tests are exact.
class TzClock : public IClock {
 public:
  explicit TzClock(int64_t now) : now_(now) {}
  void Set(int64_t now) { now_ = now; }
  int64_t NowUtc() override { return now_; }
  LocalTime NowLocal() override;
  std::optional<int64_t> LocalMidnight(const Date& date) override;
  std::u16string DateTimeText(const LocalTime& t) override;

 private:
  int64_t now_;
};

}  // namespace bat
