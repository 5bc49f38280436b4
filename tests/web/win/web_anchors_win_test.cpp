// The result page's anchors under Wine: the HTML document object where Wine has an HTML
// engine, else the module's composition answering through the portable reader; and the
// message-pumping wait the document object's load is polled with.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "modules/kit/module/kit_win.h"
#include "modules/web/module/mshtml_anchors.h"
#include "modules/web/module/web_catalogue_win.h"
#include "tests/common/win/win_test_support.h"

namespace {

using Pairs = std::vector<std::pair<std::u16string, std::u16string>>;
Pairs Of(const std::vector<web::Anchor>& anchors) {
  Pairs out;
  for (const web::Anchor& a : anchors) out.emplace_back(a.href, a.text);
  return out;
}

// A result page as the site sends it, in Shift_JIS: a named mark without an address, an
// entity and markup inside a link's text.
constexpr char16_t kPage[] =
    u"<html><body><a name=\"top\"></a>\n"
    u"<ul><li><a href=\"http://127.0.0.1/faq/docs/d1001\">BIOS &amp; ドライバ</a></li>\n"
    u"<li><a href=\"http://127.0.0.1/faq/docs/d1002\"><b>Wireless</b> LAN</a></li></ul>\n"
    u"</body></html>\n";

TEST(DocumentAnchors, ReadsThePageOrLeavesItToThePortableReader) {
  kit::CodePage932 sjis;
  const std::wstring file = wintest::TempFile(L"WAN");
  ASSERT_TRUE(wintest::WriteWhole(file, *sjis.Encode(kPage)));
  const std::u16string path(file.begin(), file.end());
  web::WinCatalogueFiles files;
  web::PortableAnchors portable(files, sjis);
  const Pairs expected{{u"http://127.0.0.1/faq/docs/d1001", u"BIOS & ドライバ"},
                       {u"http://127.0.0.1/faq/docs/d1002", u"Wireless LAN"}};

  // A short wait: a working engine completes a local page well within it.
  web::DocumentAnchors engine(50, 100);
  std::vector<web::Anchor> read{{u"stale", u"stale"}};
  const web::IHtmlAnchors::Result answer = engine.Read(path, read);
  web::EngineOrPortableAnchors composed(engine, portable);
  std::vector<web::Anchor> composedRead;
  EXPECT_EQ(composed.Read(path, composedRead), web::IHtmlAnchors::Result::Ok);
  EXPECT_EQ(Of(composedRead), expected);
#if WINE_HTML_ENGINE
  ASSERT_EQ(answer, web::IHtmlAnchors::Result::Ok) << engine.failedCall() << " " << std::hex << engine.failure();
  EXPECT_EQ(Of(read), expected) << "the engine and the portable reader disagree";
#else
  // Wine without Gecko: the document class is registered but refuses to be made, so the
  // composition reads through the portable reader.
  EXPECT_EQ(answer, web::IHtmlAnchors::Result::Unavailable);
  EXPECT_STREQ(engine.failedCall(), "CoCreateInstance");
  EXPECT_EQ(engine.failure(), CLASS_E_CLASSNOTAVAILABLE) << std::hex << engine.failure();
  EXPECT_TRUE(read.empty());
#endif
  DeleteFileW(file.c_str());
}

bool g_fired = false;
void CALLBACK Fired(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  g_fired = true;
}

TEST(PollPumping, HandlesMessagesWhileWaitingAndStopsAfterThePolls) {
  // The timer's callback runs only when its WM_TIMER is dispatched by the wait.
  g_fired = false;
  ASSERT_NE(SetTimer(nullptr, 0, 30, Fired), 0u);
  int looks = 0;
  EXPECT_TRUE(web::PollPumping([&] { return ++looks, g_fired; }, 10, 3000));
  EXPECT_GT(looks, 1);

  // Never ready: looked at now and after each wait, and every wait lasts its interval.
  looks = 0;
  const DWORD start = GetTickCount();
  EXPECT_FALSE(web::PollPumping([&] { return ++looks, false; }, 20, 3));
  EXPECT_EQ(looks, 4);
  EXPECT_GE(GetTickCount() - start, 60u);

  // A quit request ends the wait at once and stays for the thread's own loop.
  PostQuitMessage(7);
  looks = 0;
  EXPECT_FALSE(web::PollPumping([&] { return ++looks, false; }, 60000, 3));
  EXPECT_EQ(looks, 1);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
}

}  // namespace
