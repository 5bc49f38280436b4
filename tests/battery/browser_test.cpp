// A real browser reads the page's Shift_JIS bytes: Chromium's DOM holds the Japanese texts,
// not mojibake.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "modules/battery/bat_page.h"
#include "modules/battery/bat_rules.h"
#include "modules/battery/module/bat_resource_ids.h"
#include "modules/battery/native/bat_native.h"
#include "tests/common/shell_output.h"

using namespace bat;

using testshell::Shell;

TEST(BatBrowser, ChromiumDecodesTheShiftJisPage) {
  ASSERT_FALSE(Shell("command -v chromium").empty()) << "needs the Debian package chromium";
  char dir[] = "/tmp/bat-browser-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  PageInput in;
  in.modulePath = std::u16string(u"/tmp/wkptbat.dll");
  in.kind = 1;
  in.strings = &SourceStrings();
  in.found = kRecal | kNoCapa;
  PageSection recal, nocapa;
  recal.duration = DurationText(SourceStrings().Get(IDS_DURATION), 60, 0);
  nocapa.battery = 1;
  nocapa.condition = 2;
  nocapa.percent = 29;
  in.sections = {recal, nocapa};
  const auto bytes = IconvCodePage().Encode(BuildPage(in));
  ASSERT_TRUE(bytes);
  const std::string page = std::string(dir) + "/page.html";
  std::ofstream(page, std::ios::binary) << *bytes;
  const std::string dom =
      Shell("chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking"
          " --disable-component-update --disable-sync --user-data-dir='" + std::string(dir) +
          "/profile' --dump-dom 'file://" + page + "' 2>/dev/null");
  Shell("rm -rf '" + std::string(dir) + "'");
  ASSERT_FALSE(dom.empty());
  for (const char* text : {"バッテリーに関するお知らせ", "内蔵バッテリーの残量表示補正を行ってください",
                           "拡張バッテリーパックを交換してください", "残量表示補正処理は約1 ～ 1.5時間かかります。",
                           "（残り 29％）", "今後、このお知らせを自動的に表示しない"})
    EXPECT_NE(dom.find(text), std::string::npos) << text;
}
