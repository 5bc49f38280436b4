// The modules' shared style sheet in headless Chromium at the popup's width: Latin headings
// wrap between words, Japanese ones between characters, and an address wider than the popup
// still breaks inside rather than running out of it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "tests/common/shell_output.h"

namespace fs = std::filesystem;

namespace {
using testshell::Shell;

// Each link's lines, the words split over two lines and whether it runs past the box, written
// into the page by its own script and read back from the DOM Chromium dumps.
const char kPage[] = R"(<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01//EN" "http://www.w3.org/TR/html4/strict.dtd">
<html><head><meta http-equiv="Content-Type" content="text/html; charset=UTF-8">
<link rel="stylesheet" type="text/css" href="style.css"></head>
<body class="popup"><div class="container"><div class="box"><div class="body">
<h3><a id="en" href="#">The computer has been set to enter hibernation after a short period of time. The hard disk has been powered on for more than 24 hours.</a></h3>
<h3><a id="de" href="#">Der Computer war wiederholt Stößen oder Vibrationen ausgesetzt, die der Festplatte schaden.</a></h3>
<h3><a id="ja" href="#">コンピュータが短い時間で休止状態になるように設定されています。休止状態に移行するまでの時間を変更してください。</a></h3>
<p><a id="url" href="#">http://support.velmorant.example/s/maintain/averyveryverylongpathwithoutanyplacetobreakitwhatsoever.html</a></p>
</div></div></div>
<pre id="result"></pre>
<script>
function lines(rects) {
  var tops = {};
  for (var i = 0; i < rects.length; ++i) tops[Math.round(rects[i].top)] = 1;
  return Object.keys(tops).length;
}
var out = [];
var box = document.querySelector('.body').getBoundingClientRect();
['en', 'de', 'ja', 'url'].forEach(function (id) {
  var a = document.getElementById(id), text = a.firstChild, split = [], word = /\S+/g, m;
  while ((m = word.exec(text.data))) {
    var r = document.createRange();
    r.setStart(text, m.index);
    r.setEnd(text, m.index + m[0].length);
    if (lines(r.getClientRects()) > 1) split.push(m[0]);
  }
  var right = 0, rects = a.getClientRects();
  for (var i = 0; i < rects.length; ++i) right = Math.max(right, rects[i].right);
  out.push(id + ' lines=' + lines(rects) + ' split=[' + split.join(' ') + '] inside=' + (right <= box.right + 1));
});
document.getElementById('result').textContent = out.join('\n');
</script></body></html>
)";

struct Layout {
  int lines = 0;
  std::string split;
  bool inside = false;
};

Layout Of(const std::string& dom, const std::string& id) {
  std::smatch m;
  Layout l;
  if (std::regex_search(dom, m, std::regex(id + " lines=(\\d+) split=\\[([^\\]]*)\\] inside=(true|false)"))) {
    l.lines = std::stoi(m[1]);
    l.split = m[2];
    l.inside = m[3] == "true";
  }
  return l;
}
}  // namespace

TEST(PageStyle, LatinWordsWrapWholeAtThePopupsWidth) {
  ASSERT_FALSE(Shell("command -v chromium").empty()) << "needs the Debian package chromium";
  const fs::path dir = fs::temp_directory_path() / ("tellwick-style-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::copy_file(STYLE_SHEET, dir / "style.css");
  std::ofstream(dir / "page.html") << kPage;
  const std::string dom = Shell("chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking "
                                "--disable-component-update --disable-sync --user-data-dir='" + (dir / "profile").string() +
                                "' --window-size=380,800 --dump-dom 'file://" + (dir / "page.html").string() + "' 2>/dev/null");
  fs::remove_all(dir);
  // Words split over two lines, where it counts: Japanese has no blanks between words, and
  // the address is one word wider than the popup.
  const struct {
    const char* id;
    const char* split;
  } cases[] = {{"en", ""}, {"de", ""}, {"ja", nullptr}, {"url", nullptr}};
  for (const auto& c : cases) {
    const Layout l = Of(dom, c.id);
    EXPECT_GT(l.lines, 1) << c.id << ": the text is wider than the popup and must wrap\n" << dom;
    if (c.split) {
      EXPECT_EQ(l.split, c.split) << c.id << ": words broken across lines";
    }
    EXPECT_TRUE(l.inside) << c.id << ": runs out of the popup";
  }
}
