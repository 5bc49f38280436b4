// The maker's notice feed as the web module reads it: items with the conditions that say
// which computers they concern and whether an update they announce is still needed, the
// catalogue code table, and the maker's firmware version form.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/core/model_identity.h"
#include "modules/kit/xml_element.h"

namespace web {

using MiscCommon::FirmwareVersion;

// A parsed XML element as the DOM adapters (MSXML, pugixml) hand it over.
using kit::XmlElement;

// The XML DOM port: MSXML 3.0 in Windows builds, pugixml natively.
class IXmlDocument {
 public:
  enum class Load { Ok, Unreadable, Malformed };
  virtual ~IXmlDocument() = default;
  // False when no parser can be made (the platform's XML library is missing or broken).
  virtual bool Available() { return true; }
  // Loads a local file synchronously, replacing what was loaded before. Malformed: it was
  // read but is not well-formed XML (or carries a DTD, which a feed never needs).
  virtual Load LoadFile(const std::u16string& path) = 0;
  virtual bool HasRoot() = 0;
  // Every element named exactly `name` below the document element, in document order, each
  // with `depth` levels (itself 1) of children.
  virtual std::vector<XmlElement> Descendants(const std::u16string& name, int depth) = 0;
};

// Fetches a feed address into a new temporary file (the shared HTTP fetcher in Windows builds).
class IFeedDownload {
 public:
  virtual ~IFeedDownload() = default;
  virtual bool Download(const std::u16string& url, std::u16string& tempPath) = 0;
  virtual void Delete(const std::u16string& path) = 0;
};

struct FileCondition {
  std::u16string path;  // wildcards allowed
  std::u16string date;  // "year/month/day"
  std::optional<std::u16string> options;
};

struct DriverCondition {
  std::u16string name;     // device description or friendly name
  std::u16string version;  // "a.b.c.d"
  std::optional<std::u16string> options;
};

// One downloadable file of a catalogue entry.
struct DownloadFile {
  std::u16string url;
  std::u16string localPath;
  uint32_t expectedSize = 0;
  uint32_t present = 0;
  bool done = false;
};

using Text = std::optional<std::u16string>;

struct FeedItem {
  Text machine;
  Text title, link, description, date;
  Text serial;
  Text prein;
  std::vector<std::u16string> preinList;  // catalogue
  Text batteryName;
  int64_t batteryIdLow = 0, batteryIdHigh = 0;
  std::vector<FileCondition> files;
  Text bios, biosOptions, ec, ecOptions;
  std::vector<DriverCondition> drivers;
  Text os;
  int32_t id = 0;
  uint32_t category = 0;
  bool updateButton = false;
  std::vector<DownloadFile> downloads;  // catalogue, 0 to 2
  Text installScript;                   // catalogue
  bool autoInstall = false, rebootRequired = false, selfUpdate = false;
  Text installCheck;
  bool listed = true;
  bool changed = false;
  bool suppressed = false;
  bool downloadChecked = false, installChecked = false, installed = false;
  int32_t historyIndex = 0;
};

constexpr int kFeedParseError = -1;
constexpr int kFeedUnreachable = -255;

// Fills `items` from a loaded document; the number kept, or kFeedParseError without a
// document element.
int ParseFeed(IXmlDocument& doc, std::vector<FeedItem>& items);

// Loads and parses a feed: a local file directly; an http: or https: address only through
// the download port, whose waits are bounded. Number of items, kFeedParseError for a
// document that is not well-formed or without a parser to read it (nothing to tell the
// user), kFeedUnreachable when it cannot be read at all.
int LoadFeed(const std::u16string& location, IXmlDocument& doc, IFeedDownload& download, std::vector<FeedItem>& items);

// The catalogue code of the first "wkpt:machines" entry whose pattern matches the whole model
// number; at most nine characters.
std::optional<std::u16string> CatalogueCode(IXmlDocument& doc, const std::u16string& modelNumber);

// True when an options value carries the letter E: a newer version is needed too.
bool WantsNewer(const Text& options);

// Version texts such as "V1.23L45A M67.89", found anywhere in the text.
std::optional<FirmwareVersion> ReadFirmwareVersion(std::u16string_view text);
std::optional<FirmwareVersion> ReadFirmwareVersion(std::string_view bytes);
// Field by field: negative, 0 or positive. A letter compares as an unsigned byte; none is lowest.
int CompareFirmware(const FirmwareVersion& a, const FirmwareVersion& b);
// The driver's five bytes; a blank letter is no letter, as on the EC path.
FirmwareVersion FirmwareFromDriver(const uint8_t b[5]);
// EC bytes 255, 254, 253, 251 and 250.
FirmwareVersion FirmwareFromEc(uint8_t e255, uint8_t e254, uint8_t e253, uint8_t e251, uint8_t e250);
// The preinstalled image's version from the head of its version file: the first four lines
// joined; the all-zero version when they hold none.
FirmwareVersion PreinstallVersion(std::string_view fileHead);
constexpr std::size_t kPreinstallHeadBytes = 4 * 259;

// A feed item's "dc:date" with its numeric zone offset; nothing for other forms ("...Z").
struct FeedDate {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  char16_t zoneSign = u'+';
  int zoneHour = 0, zoneMinute = 0;
};
std::optional<FeedDate> ReadFeedDate(std::u16string_view text);

// Number readers as the C library's scanf reads %d-style fields: white space, a sign, digits.
// Saturates on overflow; `pos` moves past what was read.
std::optional<int64_t> ScanInteger(std::u16string_view text, std::size_t& pos);
// The whole leading integer as atoi reads it, 0 when there is none.
int32_t LeadingInt(std::u16string_view text);

}  // namespace web
