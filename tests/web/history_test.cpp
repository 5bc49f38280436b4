// The history file: its records survive hostile texts, damage and truncation, and merging a
// feed keeps the read marks and the newest-first order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "modules/web/web_history.h"
#include "tests/web/page_test_util.h"

namespace {

using web::FeedItem;
using web::HistoryRecord;

using webtest::MemoryHistory;

HistoryRecord Rec(int32_t id, const char16_t* date = u"2014-04-30T12:00:00+09:00", bool read = false) {
  HistoryRecord r;
  r.id = id;
  r.title = u"title " + std::u16string(1, static_cast<char16_t>(u'A' + id % 26));
  r.link = u"http://example.test/" + std::u16string(1, static_cast<char16_t>(u'a' + id % 26));
  r.date = date;
  r.category = 1 + id % 3;
  r.read = read;
  return r;
}

FeedItem Item(int32_t id, const char16_t* date = u"2014-04-30T12:00:00+09:00") {
  FeedItem i;
  i.id = id;
  i.title = u"feed " + std::u16string(1, static_cast<char16_t>(u'A' + id % 26));
  i.link = u"http://example.test/item";
  i.date = date;
  i.category = 2;
  return i;
}

// UTF-16LE text as the file holds it, without a byte-order mark.
std::string Utf16(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) out += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  return out;
}

bool Same(const HistoryRecord& a, const HistoryRecord& b) {
  return a.id == b.id && a.title == b.title && a.link == b.link && a.date == b.date && a.category == b.category &&
         a.read == b.read;
}

TEST(HistoryFile, LineBreaksInFeedTextsCannotSplitARecord) {
  HistoryRecord evil = Rec(7);
  evil.title = u"first\r\nsecond\nthird\u2028fourth\r";
  evil.link = u"http://example.test/a\r\n99\nb";
  evil.date = u"2014-04-30T12:00:00+09:00\n1";
  const std::vector<HistoryRecord> in{evil, Rec(8), Rec(9, u"2014-05-01T00:00:00+09:00", true)};
  const auto out = web::ParseHistory(web::SerializeHistory(in));
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0].title, u"first  second third fourth");
  EXPECT_EQ(out[0].link, u"http://example.test/a99b");
  EXPECT_EQ(out[0].date, u"2014-04-30T12:00:00+09:00 1");
  EXPECT_TRUE(Same(out[1], in[1]));
  EXPECT_TRUE(Same(out[2], in[2]));
}

TEST(HistoryFile, FieldsAreCutToTheirWidthsAndOverlongLinksGoNowhere) {
  HistoryRecord r = Rec(1);
  r.title = std::u16string(300, u'T');
  r.title[254] = 0xD83D;  // a pair split by the cut loses its first half
  r.title[255] = 0xDE00;
  r.link = u"http://example.test/" + std::u16string(300, u'x');
  r.date = std::u16string(40, u'2');
  const auto out = web::ParseHistory(web::SerializeHistory({r}));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].title, std::u16string(254, u'T'));
  EXPECT_EQ(out[0].link, u"#");
  EXPECT_EQ(out[0].date, std::u16string(29, u'2'));
}

TEST(HistoryFile, ADamagedRecordIsSkippedAndTheOlderHistoryStays) {
  const std::u16string good1 = u"1\r\nnewest\r\nhttp://a.test/\r\n2014-04-30T12:00:00+09:00\r\n1\r\n0\r\n";
  const std::u16string good3 = u"3\r\noldest\r\nhttp://c.test/\r\n2014-04-28T12:00:00+09:00\r\n3\r\n1\r\n";
  const std::u16string damaged[] = {
      u"x2\r\nmiddle\r\nhttp://b.test/\r\n2014-04-29T12:00:00+09:00\r\n2\r\n0\r\n",  // id
      u"2\r\nmiddle\r\nhttp://b.test/\r\n2014-04-29T12:00:00+09:00\r\ntwo\r\n0\r\n",  // category
      u"2\r\nmiddle\r\nhttp://b.test/\r\n2014-04-29T12:00:00+09:00\r\n2\r\n7\r\n",    // read mark
      u"2\r\nmid\r\ndle\r\nhttp://b.test/\r\n2014-04-29T12:00:00+09:00\r\n2\r\n0\r\n",  // a line too many
      u"2\r\nhttp://b.test/\r\n2014-04-29T12:00:00+09:00\r\n2\r\n0\r\n",              // a line too few
      u"2\r\nmiddle\r\nhttp://b.test/\r\n2014-04-29T12:00:00+09:00 and much more text\r\n2\r\n0\r\n",
  };
  for (const auto& bad : damaged) {
    const auto out = web::ParseHistory("\xFF\xFE" + Utf16(good1 + bad + good3));
    ASSERT_EQ(out.size(), 2u) << std::string(bad.begin(), bad.end());
    EXPECT_EQ(out[0].title, u"newest");
    EXPECT_EQ(out[1].id, 3);
    EXPECT_EQ(out[1].title, u"oldest");
    EXPECT_TRUE(out[1].read);
  }
}

TEST(HistoryFile, ATruncatedFileLosesOnlyItsBrokenTail) {
  const std::vector<HistoryRecord> in{Rec(1), Rec(2, u"2014-04-29T12:00:00+09:00", true), Rec(3)};
  const std::string full = web::SerializeHistory(in);
  std::vector<std::size_t> ends;  // byte offset where each record ends
  for (std::size_t n = 1; n <= in.size(); ++n)
    ends.push_back(web::SerializeHistory(std::vector<HistoryRecord>(in.begin(), in.begin() + n)).size());
  for (std::size_t cut = 0; cut <= full.size(); ++cut) {
    const auto out = web::ParseHistory(full.substr(0, cut));
    std::size_t whole = 0;
    while (whole < ends.size() && ends[whole] <= cut) ++whole;
    ASSERT_EQ(out.size(), whole) << "cut at " << cut;
    for (std::size_t i = 0; i < whole; ++i) EXPECT_TRUE(Same(out[i], in[i]));
  }
}

TEST(HistoryMerge, NewItemsGoOnTopAndTheOldestFallOffAt500) {
  std::vector<HistoryRecord> old;
  for (int i = 0; i < 499; ++i) old.push_back(Rec(1000 + i));
  MemoryHistory file;
  file.bytes = web::SerializeHistory(old);
  std::vector<FeedItem> items{Item(1), Item(2), Item(3)};
  EXPECT_EQ(web::MergeHistory(file, items), 3);
  const auto out = web::ParseHistory(*file.bytes);
  ASSERT_EQ(out.size(), 500u);
  EXPECT_EQ(out[0].id, 1);
  EXPECT_EQ(out[1].id, 2);
  EXPECT_EQ(out[2].id, 3);
  EXPECT_EQ(out[2].title, u"feed D");
  EXPECT_FALSE(out[2].read);
  EXPECT_EQ(out[3].id, 1000);
  EXPECT_EQ(out[499].id, 1496);  // 1497 and 1498 fell off
}

TEST(HistoryMerge, AReadItemWithTheSameDateStaysQuiet) {
  MemoryHistory file;
  file.bytes = web::SerializeHistory({Rec(5), Rec(6, u"2014-04-30T12:00:00+09:00", true)});
  const std::string before = *file.bytes;
  std::vector<FeedItem> items{Item(6)};
  EXPECT_EQ(web::MergeHistory(file, items), 0);
  EXPECT_FALSE(items[0].listed);
  EXPECT_TRUE(items[0].suppressed);
  EXPECT_EQ(file.replaces, 0);
  EXPECT_EQ(*file.bytes, before);
}

TEST(HistoryMerge, ARepublishedItemIsAnnouncedAgainInItsOwnPlace) {
  MemoryHistory file;
  file.bytes = web::SerializeHistory({Rec(5), Rec(6, u"2014-04-30T12:00:00+09:00", true), Rec(7)});
  // Same moment in another zone is not later; an hour later is.
  std::vector<FeedItem> same{Item(6, u"2014-04-30T04:00:00+01:00")};
  EXPECT_EQ(web::MergeHistory(file, same), 0);
  std::vector<FeedItem> items{Item(9), Item(6, u"2014-04-30T05:00:00+01:00")};
  EXPECT_EQ(web::MergeHistory(file, items), 2);
  EXPECT_EQ(items[1].historyIndex, 2);
  const auto out = web::ParseHistory(*file.bytes);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[0].id, 9);
  EXPECT_EQ(out[2].id, 6);
  EXPECT_FALSE(out[2].read);
  EXPECT_EQ(out[2].date, u"2014-04-30T05:00:00+01:00");
  EXPECT_EQ(out[3].id, 7);
}

TEST(HistoryMerge, ASwitchedOffCategoryIsRecordedButNotCounted) {
  MemoryHistory file;
  std::vector<FeedItem> items{Item(1), Item(2)};
  items[1].suppressed = true;  // the filter's answer for a category the user switched off
  EXPECT_EQ(web::MergeHistory(file, items), 1);
  const auto out = web::ParseHistory(*file.bytes);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_FALSE(out[1].read);
}

TEST(HistoryMerge, AnUnreadableHistoryAnswersMinusOne) {
  MemoryHistory file;
  file.bytes.reset();
  std::vector<FeedItem> items{Item(1)};
  EXPECT_EQ(web::MergeHistory(file, items), -1);
  EXPECT_FALSE(web::WriteReadMarks(file, items));
}

TEST(HistoryReadMarks, ChangedItemsCarryTheirMarkToEveryRecordWithTheirId) {
  MemoryHistory file;
  file.bytes = web::SerializeHistory({Rec(5), Rec(6), Rec(5, u"2014-01-01T00:00:00+09:00"), Rec(7, u"2014-04-30T12:00:00+09:00", true)});
  std::vector<FeedItem> items{Item(5), Item(6), Item(7)};
  items[0].suppressed = items[0].changed = true;
  items[1].suppressed = true;  // not changed: its record stays
  items[2].changed = true;     // ticked and unticked again
  EXPECT_TRUE(web::WriteReadMarks(file, items));
  const auto out = web::ParseHistory(*file.bytes);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_TRUE(out[0].read);
  EXPECT_FALSE(out[1].read);
  EXPECT_TRUE(out[2].read);
  EXPECT_FALSE(out[3].read);
  file.failReplace = true;
  EXPECT_FALSE(web::WriteReadMarks(file, items));
}

TEST(FeedTime, ReadsOnlyInRangeDatesAsUniversalTime) {
  EXPECT_EQ(web::FeedTimeUtc(u"1970-01-01T09:00:00+09:00"), 0);
  EXPECT_EQ(web::FeedTimeUtc(u"1969-12-31T23:00:00-01:00"), std::nullopt);
  EXPECT_EQ(web::FeedTimeUtc(u"2014-04-30T12:00:00+09:00"), 1398826800);
  for (const char16_t* bad : {u"2014-13-30T12:00:00+09:00", u"2014-04-30T24:00:00+09:00", u"2014-04-30T12:00:60+09:00",
                              u"2014-04-30T12:00:00+09:60", u"2014-04-30T12:00:00Z", u"3001-01-01T00:00:00+00:00"})
    EXPECT_EQ(web::FeedTimeUtc(bad), std::nullopt) << std::string(bad, bad + 25);
}

}  // namespace
