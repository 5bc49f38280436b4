#include "common/core/html_text.h"
#include "modules/hdmi/hdmi_module.h"

namespace hdmi {

std::string BuildFullHdPage(const std::u16string& modulePath, const std::u16string& title) {
  // The folder of the module, with forward slashes, for the style sheet and images beside it.
  std::u16string base = modulePath.substr(0, modulePath.find_last_of(u"\\/") + 1);
  for (char16_t& c : base)
    if (c == u'\\') c = u'/';
  std::string page =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" \"http://www.w3.org/TR/html4/strict.dtd\">\n"
      "<html lang=\"ja\">\n<head>\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">\n"
      "<meta http-equiv=\"X-UA-Compatible\" content=\"IE=EmulateIE7\">\n"
      "<base href=\"file:///" + html::ToUtf8(html::HtmlEscape(base)) + "\">\n"
      "<link rel=\"stylesheet\" type=\"text/css\" href=\"style.css\">\n"
      "<title>" + html::ToUtf8(html::HtmlEscape(title)) + "</title>\n</head>\n"
      "<body class=\"popup\">\n<div class=\"container\"><div class=\"box\">\n"
      "<h2><img src=\"pop_tail.png\" alt=\"\"><img src=\"pop_arrow2.png\" alt=\"\">"
      "<img src=\"headicon_support.png\" alt=\"\">ミラテルに正しく表示するには</h2>\n"
      "<div class=\"body\">\n<h3>HD表示領域の設定を変更する</h3>\n"
      "<p>画面の端が切れて表示される場合は、テレビの「HD表示領域」を「フル」に設定してください。"
      "詳しくはテレビの取扱説明書をご覧ください。</p>\n"
      "<p>例：ミラテル AX シリーズ、BX シリーズ、CX シリーズの場合</p>\n<ol>\n"
      "<li>リモコンの［メニュー］ボタンを押します。</li>\n"
      "<li>「設定」を選びます。</li>\n"
      "<li>「画質設定」を選びます。</li>\n"
      "<li>「HD表示領域」を選び、右ボタンを1回押して「フル」に切り換えます。</li>\n</ol>\n"
      "<h4>注意事項</h4>\n<ul>\n"
      "<li>この設定は、すべてのHD映像（1080p/1080i）に適用されます。</li>\n"
      "<li>「フル」にしたとき画面の端にノイズや黒い帯が表示されることがありますが、故障ではありません。"
      "気になる場合は「標準」に戻してください。</li>\n</ul>\n"
      "</div>\n</div></div>\n</body>\n</html>\n";
  return page;
}

}  // namespace hdmi
