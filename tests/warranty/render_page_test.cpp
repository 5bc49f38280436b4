// Headless Chromium renders the offer page from a folder whose name needs escaping, with the
// downloaded image as its background and the module's button over it. The screenshots stay
// in the build's test-results folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "common/core/html_text.h"
#include "modules/warranty/xwpk_rules.h"
#include "tests/common/shell_output.h"

namespace fs = std::filesystem;

namespace {
using testshell::Shell;
bool Have(const char* tool) { return !Shell(std::string("command -v ") + tool).empty(); }

struct Rgb {
  int r = -1, g = -1, b = -1;
};
// The pixel's colour, read with ImageMagick.
Rgb Pixel(const fs::path& image, int x, int y) {
  const std::string text = Shell("convert '" + image.string() + "' -format '%[fx:int(255*p{" + std::to_string(x) + "," +
                                 std::to_string(y) + "}.r)] %[fx:int(255*p{" + std::to_string(x) + "," + std::to_string(y) +
                                 "}.g)] %[fx:int(255*p{" + std::to_string(x) + "," + std::to_string(y) + "}.b)]' info: 2>/dev/null");
  Rgb c;
  sscanf(text.c_str(), "%d %d %d", &c.r, &c.g, &c.b);
  return c;
}
// The browser's colour management moves colours a little.
testing::AssertionResult Near(const Rgb& a, const Rgb& b) {
  if (a.r >= 0 && b.r >= 0 && std::abs(a.r - b.r) <= 16 && std::abs(a.g - b.g) <= 16 && std::abs(a.b - b.b) <= 16)
    return testing::AssertionSuccess();
  return testing::AssertionFailure() << a.r << "," << a.g << "," << a.b << " vs " << b.r << "," << b.g << "," << b.b;
}
}  // namespace

TEST(XwpkRender, ChromiumShowsTheDownloadedImageAndTheButton) {
  ASSERT_TRUE(Have("chromium") && Have("convert")) << "needs the Debian packages chromium and imagemagick";
  for (const bool small : {false, true}) {
    SCOPED_TRACE(small ? "small" : "normal");
    const fs::path dir = fs::temp_directory_path() / ("tellwick-xwpk " + std::to_string(getpid()));
    fs::remove_all(dir);
    const fs::path module = dir / "module", temp = dir / "o'ne \"temp\" #1";
    fs::create_directories(module);
    fs::create_directories(temp);
    fs::copy_file(fs::path(REGISTRATION_RESOURCES) / "style.css", module / "style.css");
    for (const auto& entry : fs::directory_iterator(WARRANTY_RESOURCES))
      if (entry.path().extension() == ".css" || entry.path().extension() == ".png") fs::copy_file(entry.path(), module / entry.path().filename());
    const fs::path offer = fs::path(OFFER_IMAGES) / (small ? "offer_sm.png" : "offer.png");
    const fs::path image = temp / "EWI0000.png";
    fs::copy_file(offer, image);

    xwpk::PageInput in;
    in.moduleFolder = module.u16string() + u"/";
    in.imagePath = image.u16string();
    in.entryAddress = u"https://support.velmorant.example/xwpk/entry";
    in.model = u"PT-15KB3456CS";
    in.serial = u"9K12304567";
    in.firstStartDate = u"20260401";
    in.size = small ? xwpk::PageFor(1366, 768) : xwpk::PageFor(1600, 900);
    const fs::path page = temp / "WXP1.tmp.html";
    std::ofstream(page, std::ios::binary) << xwpk::BuildPage(in);

    const fs::path shot = fs::path(RESULTS_DIR) / (std::string("wkptxwpk-page-") + (small ? "small" : "normal") + ".png");
    fs::remove(shot);
    Shell("chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking"
          " --disable-component-update --disable-sync --hide-scrollbars --user-data-dir='" + (dir / "profile").string() +
          "' --screenshot='" + shot.string() + "' --window-size=" + std::to_string(in.size.width) + "," +
          std::to_string(in.size.height) + " '" + html::ToUtf8(html::FileUrl(page.u16string())) + "' 2>/dev/null");
    ASSERT_TRUE(fs::exists(shot)) << shot;
    // The offer image fills the page: its corners and its middle show through.
    const int w = in.size.width, h = in.size.height;
    for (const auto& [x, y] : {std::pair{5, 5}, std::pair{w / 2, h / 8}, std::pair{w - 5, h / 2}})
      EXPECT_TRUE(Near(Pixel(shot, x, y), Pixel(offer, x, y))) << x << "," << y;
    // The application button sits in the bottom-right corner, the check image bottom-left.
    const int scale = small ? 1 : 2;
    const fs::path button = fs::path(WARRANTY_RESOURCES) / (small ? "xwpk_button_normal_sm.png" : "xwpk_button_normal.png");
    EXPECT_TRUE(Near(Pixel(shot, w - 30 * scale - 10, h - 20 * scale - 10), Pixel(button, 10, 10)))
        << "the button";
    fs::remove_all(dir);
  }
}
