// The per-user history of web notices: a UTF-16LE text file of six-line records, newest
// first, that remembers which notices the user has read. The module is its only writer.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "modules/web/web_feed.h"

namespace web {

constexpr std::size_t kHistoryMax = 500;
constexpr std::size_t kHistoryTitleMax = 255, kHistoryLinkMax = 255, kHistoryDateMax = 29;

struct HistoryRecord {
  int32_t id = 0;
  std::u16string title;  // "(no title)" when the item had none
  std::u16string link;   // "#" when the item had none
  std::u16string date;   // as in the feed
  uint32_t category = 0;
  bool read = false;
};

// The history file: the Windows build keeps it in the roaming application data and rewrites
// it through a temporary file, so a failed write leaves the old file as it was.
class IHistoryFile {
 public:
  virtual ~IHistoryFile() = default;
  // The file's bytes, creating its folders and an empty file when missing; nothing when it
  // cannot be opened or created.
  virtual std::optional<std::string> Read() = 0;
  // Replaces the whole file; false leaves the old one untouched.
  virtual bool Replace(const std::string& bytes) = 0;
};

// Records from the file's bytes. A damaged record is skipped and those after it still count;
// a cut-off tail is lost alone.
std::vector<HistoryRecord> ParseHistory(std::string_view bytes);
// The file's bytes for at most kHistoryMax records: byte-order mark, CR LF line ends. Fields
// are cut to their widths, and a line break (or other control character) in a title, link or
// date cannot reach the file.
std::string SerializeHistory(const std::vector<HistoryRecord>& records);

// Universal time (seconds since 1970) of a feed date when every field is in range.
std::optional<int64_t> FeedTimeUtc(std::u16string_view date);

// Merges the listed items of a filtered feed into the history: new items go to the top in
// feed order, an item republished with a later date is rewritten unread in its place, and an
// item already read stays out. Answers the number of items that are not suppressed, or -1
// when the history cannot be read. A failed rewrite still answers the count; the old file
// stays as it was.
int MergeHistory(IHistoryFile& file, std::vector<FeedItem>& items);

// Writes the read marks of the changed items back: every record with such an item's id takes
// its suppressed flag. False when the history cannot be read or rewritten.
bool WriteReadMarks(IHistoryFile& file, const std::vector<FeedItem>& items);

}  // namespace web
