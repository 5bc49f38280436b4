#include "modules/battery/bat_text.h"

#include <cstdio>

namespace bat {
namespace {
const char16_t kMinipopText[] = u"バッテリーに関するお知らせが %d 件あります";
const char16_t kTitleMainText[] = u"バッテリーに関するお知らせ";
const char16_t kRecalBody[] =
    u"<script type=\"text/javascript\">function sub1(){if( document.ampwell.chkbox.checked == false )"
    u"{document.ampwell.chkbox.checked = true;document.ampwell.execute.disabled = false;}}function sub2(){if( "
    u"document.ampwell.chkbox.checked == false ){document.ampwell.execute.disabled = true;}else{"
    u"document.ampwell.execute.disabled = false;}}</script>"
    u"<p>本機を長い間使っていると、バッテリーパックの劣化などにより、バッテリー残量が正確に表示されなくなる場合があります。</p>"
    u"<p>残量を正確に表示させるため、バッテリー残量表示補正を行ってください。</p><br><form name=\"ampwell\">"
    u"<p><font color=\"#ff0000\"><b>残量表示補正処理は%s時間かかります。</b></font></p>"
    u"<p><a id=\"%s\" onclick=\"sub1()\" href=\"#\" style=\"color:#3300ff;font-weight:bold;text-decoration:underline;\">"
    u"詳細はこちらをクリックして確認してください。</a></p>"
    u"<p><input type=\"checkbox\" onclick=\"sub2()\" name=\"chkbox\">確認済み</input></p><br>"
    u"<p><input id=\"%s\" type=\"button\" value=\"バッテリー残量表示補正の実行\" name=\"execute\" "
    u"style=\"height:30px\" disabled=\"true\"></p></form>";

TextEntry Entry(const char16_t* title, const char16_t* body) {
  return TextEntry{std::u16string(kMinipopText), std::u16string(kTitleMainText), std::u16string(title),
                   std::u16string(body)};
}

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }
bool SameNoCase(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

const std::u16string* Attribute(const XmlElement& e, const std::u16string& name) {
  for (const auto& [n, v] : e.attributes)
    if (SameNoCase(n, name)) return &v;
  return nullptr;
}

int ConditionOf(const std::u16string& type) {
  static const char16_t* const kTypes[] = {u"recal", u"halfcapa", u"nocapa"};
  for (int k = 0; k < 3; ++k)
    if (SameNoCase(type, kTypes[k])) return k;
  return -1;
}

TextEntry MessageFields(const XmlElement& message) {
  static const char16_t* const kNames[kFields] = {u"wkptbat:minipop", u"wkptbat:title", u"wkptbat:titlemain",
                                                  u"wkptbat:body"};
  static const Field kOrder[kFields] = {kMinipop, kTitle, kTitleMain, kBody};
  TextEntry entry;
  for (const XmlElement& child : message.children)
    for (int f = 0; f < kFields; ++f)
      if (SameNoCase(child.name, kNames[f])) entry[kOrder[f]] = child.text;
  return entry;
}
}  // namespace

const TextTable& DefaultTexts() {
  static const TextTable table = {
      Entry(u"%s残量表示補正を行ってください", kRecalBody),
      Entry(u"%sが消耗しています",
            u"<p>バッテリーパックが劣化して駆動能力が購入時の半分程度に消耗しています。（残り %d％）</p>"),
      Entry(u"%sを交換してください",
            u"<p>バッテリーパックが劣化して駆動能力が購入時に比べ非常に消耗しています。（残り %d％）</p>"
            u"<p>新しいバッテリーパックと交換してください。</p>"),
  };
  return table;
}

std::optional<TextTable> CustomTexts(const XmlElement& root) {
  const size_t colon = root.name.find(u':');
  if (!SameNoCase(root.name, u"wkptbat:wkptbat") || !root.hasChildNodes) return std::nullopt;
  // The prefix has to be declared on the root, where the root's own name uses it.
  bool declared = false;
  for (const auto& attribute : root.attributes) declared = declared || attribute.first == u"xmlns:" + root.name.substr(0, colon);
  if (!declared) return std::nullopt;
  TextTable table;
  for (const XmlElement& child : root.children) {
    if (!SameNoCase(child.name, u"wkptbat:message")) continue;
    const std::u16string* type = Attribute(child, u"wkptbat:type");
    const int k = type ? ConditionOf(*type) : -1;
    if (k >= 0) table[k] = MessageFields(child);
  }
  return table;
}

std::optional<std::u16string> FormatText(const std::u16string& format, const std::vector<Arg>& args) {
  std::u16string out;
  size_t next = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != u'%') {
      out += format[i];
      continue;
    }
    const char16_t kind = i + 1 < format.size() ? format[++i] : u'\0';
    if (kind == u'%') {
      out += u'%';
    } else if ((kind == u'd' || kind == u's') && next < args.size() && args[next].isText == (kind == u's')) {
      const Arg& a = args[next++];
      if (a.isText) {
        out += a.text;
      } else {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%d", a.number);
        out.append(buffer, buffer + std::char_traits<char>::length(buffer));
      }
    } else {
      return std::nullopt;
    }
  }
  return out;  // unused arguments are harmless; missing ones are not

}

std::u16string Text(const std::optional<TextTable>& custom, int condition, Field field, const std::vector<Arg>& args) {
  if (custom) {
    const auto& value = (*custom)[condition][field];
    if (value && !value->empty())
      if (auto text = FormatText(*value, args)) return *text;
  }
  return FormatText(*DefaultTexts()[condition][field], args).value_or(std::u16string());
}

namespace ui {
const char16_t kTitle[] = u"Tellwick";
const char16_t kInitialMessage[] =
    u"「バッテリーに関するお知らせ」\n\u3000バッテリーパックの劣化による消耗や交換について\n\u3000お知らせします。\n\n";
const char16_t kAgain[] = u"再度、このお知らせを表示する";
const char16_t kNoMore[] = u"今後、このお知らせを自動的に表示しない";
const char16_t* const kIntervals[3] = {u"毎日", u"7日毎", u"30日毎"};
const char16_t kInform[] = u"%sに関する情報をお知らせする";
const char16_t kSecondButton[] = u"%sの設定";
const char16_t* const kConditionBoxes[3] = {u"バッテリー残量表示補正を行うほうがよい場合",
                                            u"バッテリーパックが消耗している場合",
                                            u"バッテリーパックの交換が必要な場合"};
const char16_t kSeveral[] = u"数";
const char16_t kNoUtility[] =
    u"バッテリー残量表示補正ユーティリティがインストールされていません\n\n次の手順でバッテリー残量表示補正を実行してください\n"
    u"  1. 本機の電源を入れる。または再起動する。\n  2. 起動後すぐ、「Velmorant」起動画面が表示されている間に\n"
    u"    【F9】を押し続ける。\n  3. バッテリーの残量が表示されたら【Enter】を押す。\n  以降、画面の指示に従ってください。";
const char16_t kNoManual[] = u"ヘルプファイルを開くことができません。";
const char16_t* const kDebugCaptions[3] = {u"キャリブレーションが必要なとき", u"駆動能力が半分程度になったとき",
                                           u"駆動能力が非常に消耗したとき"};
}  // namespace ui

std::u16string BatteryName(int battery, int kind, NameUse use) {
  static const char16_t* const kNames[4][3] = {
      {u"バッテリー", u"バッテリーパック", u"バッテリー"},
      {u"内蔵バッテリー", u"内蔵バッテリーパック", u"内蔵バッテリーの"},
      {u"バッテリー１", u"バッテリーパック１", u"バッテリー１の"},
      {u"拡張バッテリー", u"拡張バッテリーパック", u"拡張バッテリーの"},
  };
  static const char16_t* const kSecond[3] = {u"バッテリー２", u"バッテリーパック２", u"バッテリー２の"};
  if (battery == 0) return kNames[kind == 0 ? 0 : kind == 1 ? 1 : 2][use];
  return kind == 2 || kind == 3 ? kSecond[use] : kNames[3][use];
}

}  // namespace bat
