// The support site's download catalogue: the search for this model's catalogue code, the
// result anchors, the markers each result document carries in HTML comments, where its
// downloads go, which entries apply and are still needed, and the page the update manager
// shows. Documents are read as the ANSI bytes they arrive in; every remote text that reaches
// the page is escaped, and every remote file name is checked before it becomes a path.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "modules/kit/strings.h"
#include "modules/web/web_feed.h"
#include "modules/web/web_filter.h"

namespace web {

// The search address: `base` for %s and the code's first three, first six and all
// characters for the three %S. Nothing when the format holds any other directive, the code
// is not plain ASCII, or the address passes 1023 bytes.
std::optional<std::string> CatalogueSearchUrl(std::string_view base, std::string_view format, std::u16string_view code);

// Drops every line (up to LF) that contains "fs01Navigation.stay".
std::string WithoutNavigationLines(std::string_view page);

// An anchor of the search result: its address and its text, entities decoded.
struct Anchor {
  std::u16string href;
  std::u16string text;
};

// Reads a result page's anchors: the HTML document object where the platform has one, the
// portable reader below elsewhere.
class IHtmlAnchors {
 public:
  // Unavailable: the reader cannot work on this system at all (no HTML engine), whatever the page.
  enum class Result { Ok, TimedOut, Failed, Unavailable };
  virtual ~IHtmlAnchors() = default;
  virtual Result Read(const std::u16string& path, std::vector<Anchor>& anchors) = 0;
};

// The portable reader: "a" elements with an href, in document order; tags inside the text
// dropped, white space runs folded to one blank, character references decoded.
std::vector<Anchor> ReadAnchors(std::u16string_view html);
// "&amp;", "&lt;", "&gt;", "&quot;", "&apos;", "&nbsp;" and numeric references.
std::u16string DecodeEntities(std::u16string_view text);

// The document address ("faq/docs/" and a name after a slash in the anchor), with `base`.
std::optional<std::u16string> DocumentLink(const std::u16string& href, const std::u16string& base);

// What a document's markers say, before any judgement. Texts are decoded from the ANSI bytes.
struct Markers {
  Text date, number;
  int major = -1, minor = 0;  // PP; -1 when missing
  Text serial, machine, os;
  std::vector<std::u16string> preinList;
  Text batteryName;
  int64_t batteryIdLow = 0, batteryIdHigh = 0;
  std::vector<FileCondition> files;
  std::vector<DriverCondition> drivers;
  Text bios, biosOptions, ec, ecOptions;
  Text installScript;
  bool selfUpdate = false, autoInstall = false, rebootRequired = false;
  Text updateLink, manualLink;
  uint64_t updateSize = 0, manualSize = 0;  // above 32 bits: the entry cannot be downloaded
  Text updateName, manualName;
  Text installCheck;
};

// Reads every marker the document's format level asks for. `codePage` decodes the texts.
Markers ReadMarkers(std::string_view document, kit::ICodePage& codePage);

// The Windows expression of an OS block's text: a "v" token only when "Vista" is named and an
// "x" token only when "XP" is, each with the editions named after it and one copy per
// service pack from the lowest to the highest "SP" number.
std::u16string OsBlockExpression(std::string_view text);
// The anchored alternatives of the model numbers in a TM block's text; "" when there are none.
std::u16string ModelAlternatives(std::string_view text);

// A remote file name that may be joined to a download folder: no folder part, no "..", no
// drive or stream, no device name, nothing Windows would strip or refuse.
bool SafeFileName(std::u16string_view name);

// The disk under the downloads.
class IDownloadDisk {
 public:
  virtual ~IDownloadDisk() = default;
  // The local application-data folder's "Velmorant" folder, made when missing, with its
  // trailing separator; empty when it cannot be made.
  virtual std::u16string DownloadRoot() = 0;
  virtual bool MakeFolder(const std::u16string& path) = 0;
  // The size of a plain file; nothing when there is none.
  virtual std::optional<uint64_t> FileSize(const std::u16string& path) = 0;
};

// How one entry was read; the rules run only over Judged entries.
enum class EntryBase : uint8_t { Hidden, InformationOnly, Judged };

struct Catalogue {
  std::vector<FeedItem> entries;
  std::vector<EntryBase> bases;  // one per entry
};

// Makes an entry from a result anchor and its document's markers (nothing read: Hidden).
// Downloads are planned into `root` + the management number; a refused file name or a folder
// that cannot be made leaves the entry an information-only row without downloads.
void AddEntry(Catalogue& catalogue, const std::u16string& link, const std::u16string& title,
              const std::optional<Markers>& markers, const std::u16string& root, IDownloadDisk& disk);

// Runs the rules over the judged entries and refreshes the done state of the needed ones.
void EvaluateCatalogue(Catalogue& catalogue, const Machine& machine, FilterPorts& ports, IFileRedirection& redirection,
                       IDownloadDisk& disk);

// Entry states as the page shows them.
bool InformationOnly(const FeedItem& e);
bool UpToDate(const FeedItem& e);
bool Needed(const FeedItem& e);
// A row on the page: applicable or information-only, and not a self-update.
bool ShownOnPage(const FeedItem& e);
// A needed self-update entry.
bool SelfUpdateNeeded(const FeedItem& e);

// Sizes: the entry's total, and what is still to fetch.
uint64_t EntrySize(const FeedItem& e);
uint64_t MissingSize(const FeedItem& e);

// "%dMB" above 1 MiB, "%dkB" above 1 KiB, else `smallUnit` ("バイト" or nothing); "" for 0
// when `emptyForZero`.
std::u16string SizeText(uint64_t bytes, const std::u16string& smallUnit, bool emptyForZero);

constexpr char16_t kCataloguePageName[] = u"wkptrsdl.htm";

// Temporary files of the loader and the page.
class ICatalogueFiles {
 public:
  virtual ~ICatalogueFiles() = default;
  // A whole file, nothing when it cannot be read or passes `max` bytes.
  virtual std::optional<std::string> Read(const std::u16string& path, std::size_t max) = 0;
  // A new temporary file with the bytes; false (and no file) on failure.
  virtual bool WriteTemp(const std::string& bytes, std::u16string& path) = 0;
  virtual void Delete(const std::u16string& path) = 0;
  // The user's temporary folder with its trailing separator; empty when unknown.
  virtual std::u16string TempFolder() = 0;
  // Replaces a file's content; with `mustExist` the file must still be there.
  virtual bool WritePage(const std::u16string& path, const std::string& bytes, bool mustExist) = 0;
};

// The portable anchor reader behind the port: the file's ANSI bytes decoded, then ReadAnchors.
class PortableAnchors : public IHtmlAnchors {
 public:
  PortableAnchors(ICatalogueFiles& files, kit::ICodePage& codePage) : files_(files), codePage_(codePage) {}
  Result Read(const std::u16string& path, std::vector<Anchor>& anchors) override;

 private:
  ICatalogueFiles& files_;
  kit::ICodePage& codePage_;
};

// The engine's reader while the system has the engine, the fallback reader where it has none;
// a page the engine fails on or gives up waiting for keeps that answer.
class EngineOrPortableAnchors : public IHtmlAnchors {
 public:
  EngineOrPortableAnchors(IHtmlAnchors& engine, IHtmlAnchors& fallback) : engine_(engine), fallback_(fallback) {}
  Result Read(const std::u16string& path, std::vector<Anchor>& anchors) override;

 private:
  IHtmlAnchors& engine_;
  IHtmlAnchors& fallback_;
};

struct CataloguePorts {
  IXmlDocument& xml;
  IFeedDownload& download;  // search results and documents into temporary files
  ICatalogueFiles& files;
  IHtmlAnchors& anchors;
  IDownloadDisk& disk;
  kit::ICodePage& codePage;
  FilterPorts& filter;
  IFileRedirection& redirection;
};

struct CatalogueSource {
  std::u16string feed;       // the local feed file or the feed address
  std::string base;          // the FAQ server's base address, ending in "/"
  std::string searchFormat;  // with %s, %S, %S, %S
  std::u16string modulePath;
};

// A result page the HTML reader gave up on is a time-out of its own, not a temporary-file failure.
constexpr int kCatalogueUnreachable = -1, kCatalogueNoTemp = -2, kCatalogueNothing = -3, kCatalogueTimedOut = -4;
constexpr std::size_t kMaxDocumentBytes = 8u << 20;

// Loads the catalogue for this computer and writes its page: the number of entries, or one of
// the failures above. `pagePath` names the page written.
int LoadCatalogue(const CatalogueSource& source, const Machine& machine, CataloguePorts& ports, Catalogue& out,
                  std::u16string& pagePath);
// Runs the rules again and, when asked, rewrites the page (which must still be there).
int RefreshCatalogue(Catalogue& catalogue, const Machine& machine, CataloguePorts& ports, const std::u16string& pagePath,
                     const std::u16string& modulePath, bool rewrite);

// What a row shows in its download and install columns.
enum class PageCell : uint8_t { Blank, Done, Box, InstallButton };
struct RowCells {
  PageCell download = PageCell::Blank, install = PageCell::Blank;
};
RowCells PageCells(const FeedItem& e);

// The catalogue page; sets the check boxes the page starts with. `modulePath` is the module
// file (the base of the page's images and style sheets).
std::u16string CataloguePage(std::vector<FeedItem>& entries, const std::u16string& modulePath);

}  // namespace web
