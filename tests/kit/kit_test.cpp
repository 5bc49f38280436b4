// The module kit's rules: the one rule for an old page, the delivery into the host's
// buffers, the guarded exports' mapping and the banner by density.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "modules/kit/banner.h"
#include "modules/kit/guard.h"
#include "modules/kit/page_files.h"
#include "tests/kit/mem_page_files.h"

namespace {
using kit::CheckCall;

class PageFilesTest : public testing::Test {
 protected:
  // A page made and committed as a module's check does; its path, or empty.
  std::u16string Make(int capacity = 100, const std::u16string& image = u"") {
    if (!pages.Begin()) return u"";
    if (!image.empty()) {
      files.disk[image] = "image";
      pages.Attach(image);
    }
    return pages.Write("<html>") && pages.Commit(capacity) ? pages.Path() : u"";
  }
  uint32_t Deliver(uint32_t result, CheckCall call, std::u16string* path = nullptr, int capacity = 100,
                   std::u16string* line = nullptr) {
    char16_t text[100] = {}, page[100] = {};
    uint16_t code = 0;
    const uint32_t r = kit::Deliver({result, u"line", pages.Path(), 7}, call, &pages, text, 100, page, capacity, &code);
    if (path) *path = page;
    if (line) *line = text;
    return r;
  }
  kittest::MemPageFiles<> files{u"/tmp/", u"WXX"};
  kit::PageFiles pages{files};
};

TEST_F(PageFilesTest, OldPageGoesOnlyWhenANewOneReplacesIt) {
  const std::u16string first = Make();
  ASSERT_FALSE(first.empty());
  files.failWrite = true;
  EXPECT_TRUE(Make().empty());
  EXPECT_TRUE(files.Has(first)) << "a failed page leaves the old one";
  EXPECT_EQ(files.disk.size(), 1u) << "and nothing of its own";
  EXPECT_EQ(pages.Path(), first);
  files.failWrite = false;
  const std::u16string second = Make();
  EXPECT_NE(second, first);
  EXPECT_FALSE(files.Has(first));
  EXPECT_TRUE(files.Has(second));
}

TEST_F(PageFilesTest, PathThatDoesNotFitIsRefusedAndTheOldPageStays) {
  const std::u16string first = Make();
  files.folder = u"/" + std::u16string(90, u'd') + u"/";  // "WXXB.tmp" makes the path 100 characters
  EXPECT_TRUE(Make().empty());
  EXPECT_EQ(files.disk.size(), 1u);
  EXPECT_EQ(pages.Path(), first);
  files.folder.erase(1, 1);  // 99 characters and the terminator fit
  EXPECT_EQ(Make().size(), 99u);
  EXPECT_EQ(files.disk.size(), 1u);
}

TEST_F(PageFilesTest, ImageSharedByOldAndNewPageStaysUntilTheLastGoes) {
  const std::u16string image = u"/tmp/qr.bmp";
  Make(100, image);
  files.failWrite = true;
  Make(100, image);
  EXPECT_TRUE(files.Has(image)) << "the held page still shows it";
  files.failWrite = false;
  Make(100, image);
  EXPECT_TRUE(files.Has(image));
  Make();
  EXPECT_FALSE(files.Has(image)) << "the new page shows none";
  pages.Withdraw();
  EXPECT_TRUE(files.disk.empty());
}

// What the host does with each answer decides whether the held page may go.
TEST_F(PageFilesTest, DeliveryFollowsTheHostsList) {
  const struct {
    uint32_t result;
    CheckCall call;
    bool pageStays;
  } cases[] = {
      {kit::kCheckNothing, CheckCall::Manual, true},      // the host keeps its line
      {kit::kCheckNothing, CheckCall::Automatic, false},  // the host withdraws it
      {kit::kCheckKeep, CheckCall::Automatic, true},
      {kit::kCheckKeep, CheckCall::Manual, true},
  };
  for (const auto& c : cases) {
    const std::u16string page = Make();
    EXPECT_EQ(Deliver(c.result, c.call), c.result);
    EXPECT_EQ(files.Has(page), c.pageStays) << c.result << " " << int(c.call);
    EXPECT_EQ(pages.Held(), c.pageStays);
    pages.Withdraw();
  }
}

TEST_F(PageFilesTest, DeliveryCopiesTerminatedAndRefusesAPathThatWouldBeCut) {
  const std::u16string page = Make();
  std::u16string delivered;
  EXPECT_EQ(Deliver(kit::kCheckPage | 0x10000000u, CheckCall::Manual, &delivered), kit::kCheckPage | 0x10000000u);
  EXPECT_EQ(delivered, page);
  std::u16string line;
  EXPECT_EQ(Deliver(kit::kCheckAction | 0x20000000u, CheckCall::Manual, &delivered, 100, &line), kit::kCheckAction | 0x20000000u);
  EXPECT_EQ(line, u"line") << "an action's line reaches the host";
  EXPECT_EQ(Deliver(kit::kCheckPage, CheckCall::Manual, &delivered, static_cast<int>(page.size())), kit::kCheckNothing);
  EXPECT_TRUE(delivered.empty());
  EXPECT_FALSE(pages.Held()) << "nothing left pending";
  EXPECT_TRUE(files.disk.empty()) << "the file it made is removed";

  // A notice without a page (an action) still carries its line and code; "nothing" carries neither.
  for (const uint32_t result : {0x20000002u, kit::kCheckNothing}) {
    char16_t line[20] = {}, none[20] = {};
    uint16_t code = 0;
    kit::Deliver({result, u"offline", u"", 0xFFFF}, CheckCall::Manual, &pages, line, 20, none, 20, &code);
    EXPECT_EQ(std::u16string(line), result == kit::kCheckNothing ? u"" : u"offline") << result;
    EXPECT_EQ(code, result == kit::kCheckNothing ? 0 : 0xFFFF) << result;
    EXPECT_EQ(none[0], u'\0');
  }

  char16_t text[5] = {u'x', u'x', u'x', u'x', u'x'};
  kit::CopyText(u"longer than five", text, 5);
  EXPECT_EQ(std::u16string(text), u"long");
}

TEST(Guard, ExceptionsMapTheSameWayInEveryExport) {
  char16_t error[64] = {};
  EXPECT_EQ(kit::GuardedInitialize(u"wkptxxx", error, 64, []() -> int { throw std::bad_alloc(); }),
            kit::kErrNotAvailable);
  EXPECT_EQ(std::u16string(error), u"wkptxxx: not enough memory to start.");
  EXPECT_EQ(kit::GuardedInitialize(u"wkptxxx", error, 64, []() -> int { throw std::runtime_error("no key"); }),
            kit::kErrDriver);
  EXPECT_EQ(std::u16string(error), u"wkptxxx: start-up failed (no key).");
  char16_t small[8] = {};
  EXPECT_EQ(kit::GuardedInitialize(u"wkptxxx", small, 8, []() -> int { throw 42; }), kit::kErrDriver);
  EXPECT_EQ(std::u16string(small), u"wkptxxx") << "cut to the buffer, terminated";
  char16_t untouched[4] = {u'a', 0};
  EXPECT_EQ(kit::GuardedInitialize(u"wkptxxx", untouched, 4, [] { return -251; }), -251);
  EXPECT_EQ(std::u16string(untouched), u"a") << "a plain failure leaves the buffer to the module";

  EXPECT_EQ(kit::GuardedCheck([]() -> uint32_t { throw std::logic_error("x"); }), kit::kCheckNothing);
  EXPECT_EQ(kit::Guarded(1, []() -> int { throw 1; }), 1);
  bool ran = false;
  kit::GuardedVoid([&] {
    ran = true;
    throw std::bad_alloc();
  });
  EXPECT_TRUE(ran);
}

TEST(Banner, ChosenByHorizontalDensity) {
  const struct {
    int dpi;
    unsigned id;
  } cases[] = {{96, 104}, {119, 104}, {120, 146}, {143, 146}, {144, 147}, {192, 147}};
  for (const auto& c : cases) EXPECT_EQ(kit::BannerFor(c.dpi, 104, 146, 147), c.id) << c.dpi;
}
}  // namespace
