#include "modules/web/web_history.h"

#include <algorithm>
#include <limits>

#include "common/core/civil_date.h"

namespace web {
namespace {

bool IsLineBreakish(char16_t c) {
  return c < 0x20 || c == 0x7F || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool IsTrailBlank(char16_t c) { return c == u'\r' || c == u'\n' || c == u' ' || c == u'\t'; }

std::u16string TrimTrailing(std::u16string s) {
  while (!s.empty() && IsTrailBlank(s.back())) s.pop_back();
  return s;
}

// At most `max` units, never ending in half a surrogate pair.
std::u16string Cut(std::u16string s, std::size_t max) {
  if (s.size() <= max) return s;
  s.resize(max);
  if (!s.empty() && s.back() >= 0xD800 && s.back() <= 0xDBFF) s.pop_back();
  return s;
}

std::u16string OneLine(const std::u16string& text) {
  std::u16string out = text;
  for (char16_t& c : out)
    if (IsLineBreakish(c)) c = u' ';
  return TrimTrailing(std::move(out));
}

std::u16string RecordTitle(const Text& title) {
  std::u16string t = title ? Cut(OneLine(*title), kHistoryTitleMax) : std::u16string();
  t = TrimTrailing(std::move(t));
  return t.empty() ? u"(no title)" : t;
}

// A link is never cut: a shortened address leads somewhere else.
std::u16string RecordLink(const Text& link) {
  if (!link) return u"#";
  std::u16string out;
  for (char16_t c : *link)
    if (!IsLineBreakish(c)) out += c;
  out = TrimTrailing(std::move(out));
  if (out.empty() || out.size() > kHistoryLinkMax) return u"#";
  return out;
}

std::u16string RecordDate(const Text& date) { return date ? TrimTrailing(Cut(OneLine(*date), kHistoryDateMax)) : u""; }

// A whole line as one decimal number, blanks around it allowed.
std::optional<int64_t> WholeNumber(const std::u16string& line) {
  std::size_t b = 0, e = line.size();
  while (b < e && (line[b] == u' ' || line[b] == u'\t')) ++b;
  while (e > b && (line[e - 1] == u' ' || line[e - 1] == u'\t')) --e;
  bool negative = false;
  if (b < e && (line[b] == u'-' || line[b] == u'+')) negative = line[b++] == u'-';
  if (b == e || e - b > 11) return std::nullopt;
  int64_t v = 0;
  for (std::size_t i = b; i < e; ++i) {
    if (line[i] < u'0' || line[i] > u'9') return std::nullopt;
    v = v * 10 + (line[i] - u'0');
  }
  return negative ? -v : v;
}

std::optional<HistoryRecord> ReadRecord(const std::vector<std::u16string>& lines, std::size_t at) {
  const auto id = WholeNumber(lines[at]);
  const auto category = WholeNumber(lines[at + 4]);
  const auto read = WholeNumber(lines[at + 5]);
  if (!id || *id < std::numeric_limits<int32_t>::min() || *id > std::numeric_limits<int32_t>::max()) return std::nullopt;
  if (!category || *category < 0 || *category > std::numeric_limits<int32_t>::max()) return std::nullopt;
  if (!read || (*read != 0 && *read != 1)) return std::nullopt;
  std::u16string date = TrimTrailing(lines[at + 3]);
  if (date.size() > kHistoryDateMax) return std::nullopt;
  HistoryRecord r;
  r.id = static_cast<int32_t>(*id);
  r.title = TrimTrailing(Cut(lines[at + 1], kHistoryTitleMax));
  r.link = TrimTrailing(lines[at + 2]);
  if (r.link.size() > kHistoryLinkMax) r.link = u"#";
  r.date = std::move(date);
  r.category = static_cast<uint32_t>(*category);
  r.read = *read == 1;
  return r;
}

void AppendUnit(std::string& out, char16_t c) {
  out += static_cast<char>(c & 0xFF);
  out += static_cast<char>(c >> 8);
}

void AppendLine(std::string& out, std::u16string_view text) {
  for (char16_t c : text) AppendUnit(out, c);
  AppendUnit(out, u'\r');
  AppendUnit(out, u'\n');
}

std::u16string Decimal(int64_t v) {
  std::string s = std::to_string(v);
  return std::u16string(s.begin(), s.end());
}

std::optional<std::vector<HistoryRecord>> Load(IHistoryFile& file) {
  const auto bytes = file.Read();
  if (!bytes) return std::nullopt;
  return ParseHistory(*bytes);
}

}  // namespace

std::vector<HistoryRecord> ParseHistory(std::string_view bytes) {
  std::size_t start = 0;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE)
    start = 2;
  // Only lines with their line feed count: a line cut short at the end is the broken tail.
  std::vector<std::u16string> lines;
  std::u16string line;
  for (std::size_t i = start; i + 1 < bytes.size(); i += 2) {
    const char16_t c = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             (static_cast<unsigned char>(bytes[i + 1]) << 8));
    if (c == u'\n') {
      if (!line.empty() && line.back() == u'\r') line.pop_back();
      lines.push_back(std::move(line));
      line.clear();
    } else {
      line += c;
    }
  }
  std::vector<HistoryRecord> records;
  // A damaged record loses its own lines; the reader then looks for the next whole record
  // line by line, so the older history is not lost with it.
  for (std::size_t at = 0; at + 6 <= lines.size() && records.size() < kHistoryMax;) {
    if (auto r = ReadRecord(lines, at)) {
      records.push_back(std::move(*r));
      at += 6;
    } else {
      ++at;
    }
  }
  return records;
}

std::string SerializeHistory(const std::vector<HistoryRecord>& records) {
  std::string out("\xFF\xFE", 2);
  const std::size_t n = std::min(records.size(), kHistoryMax);
  for (std::size_t i = 0; i < n; ++i) {
    const HistoryRecord& r = records[i];
    AppendLine(out, Decimal(r.id));
    AppendLine(out, RecordTitle(r.title));
    AppendLine(out, RecordLink(r.link));
    AppendLine(out, RecordDate(r.date));
    AppendLine(out, Decimal(std::min<uint32_t>(r.category, std::numeric_limits<int32_t>::max())));
    AppendLine(out, r.read ? u"1" : u"0");
  }
  return out;
}

std::optional<int64_t> FeedTimeUtc(std::u16string_view date) {
  const auto d = ReadFeedDate(date);
  if (!d) return std::nullopt;
  if (d->year < 1970 || d->year > 3000 || d->month < 1 || d->month > 12 || d->day < 1 || d->day > 31 ||
      d->hour < 0 || d->hour > 23 || d->minute < 0 || d->minute > 59 || d->second < 0 || d->second > 59 ||
      d->zoneHour < 0 || d->zoneHour > 23 || d->zoneMinute < 0 || d->zoneMinute > 59)
    return std::nullopt;
  const int64_t wall = civil::DaysFromCivil(d->year, d->month, d->day) * 86400 + d->hour * 3600 + d->minute * 60 + d->second;
  const int64_t offset = (d->zoneHour * 60 + d->zoneMinute) * 60;
  return d->zoneSign == u'-' ? wall + offset : wall - offset;
}

int MergeHistory(IHistoryFile& file, std::vector<FeedItem>& items) {
  auto loaded = Load(file);
  if (!loaded) return -1;
  std::vector<HistoryRecord>& records = *loaded;

  for (FeedItem& item : items) {
    if (!item.listed) continue;
    const auto found = std::find_if(records.begin(), records.end(), [&](const HistoryRecord& r) { return r.id == item.id; });
    if (found == records.end()) continue;
    const auto itemTime = item.date ? FeedTimeUtc(*item.date) : std::nullopt;
    const auto recordTime = FeedTimeUtc(found->date);
    if (itemTime && (!recordTime || *itemTime > *recordTime)) {
      item.changed = true;
      item.historyIndex = static_cast<int32_t>(found - records.begin());
    } else {
      item.listed = false;
      item.suppressed = item.suppressed || found->read;
    }
  }
  std::size_t fresh = 0, changed = 0;
  int unread = 0;
  for (const FeedItem& item : items) {
    if (item.listed && !item.changed) ++fresh;
    if (item.changed) ++changed;
    if (!item.suppressed) ++unread;
  }
  if (fresh == 0 && changed == 0) return unread;

  auto record = [](const FeedItem& item) {
    HistoryRecord r;
    r.id = item.id;
    r.title = RecordTitle(item.title);
    r.link = RecordLink(item.link);
    r.date = RecordDate(item.date);
    r.category = item.category;
    r.read = false;
    return r;
  };
  std::vector<HistoryRecord> merged;
  merged.reserve(fresh + records.size());
  for (const FeedItem& item : items)
    if (item.listed && !item.changed) merged.push_back(record(item));
  for (FeedItem& item : items) {
    if (!item.changed) continue;
    item.historyIndex += static_cast<int32_t>(fresh);
    records[item.historyIndex - fresh] = record(item);
    item.changed = false;
  }
  merged.insert(merged.end(), records.begin(), records.end());
  if (merged.size() > kHistoryMax) merged.resize(kHistoryMax);
  file.Replace(SerializeHistory(merged));
  return unread;
}

bool WriteReadMarks(IHistoryFile& file, const std::vector<FeedItem>& items) {
  auto loaded = Load(file);
  if (!loaded) return false;
  bool any = false;
  for (const FeedItem& item : items) {
    if (!item.changed) continue;
    for (HistoryRecord& r : *loaded)
      if (r.id == item.id) {
        r.read = item.suppressed;
        any = true;
      }
  }
  if (!any) return true;
  return file.Replace(SerializeHistory(*loaded));
}

}  // namespace web
