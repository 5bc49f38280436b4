// Custom texts: the operator's XML file overrides field by field, a broken one is rejected
// whole, and no custom text is used as a format it does not fit.
#include <gtest/gtest.h>

#include "modules/battery/bat_text.h"
#include "modules/battery/module/bat_resource_ids.h"
#include "modules/battery/native/bat_native.h"

using namespace bat;

namespace {
std::optional<TextTable> Custom(const std::string& xml) {
  XmlElement root;
  if (!ParseXml(xml, root)) return std::nullopt;
  return CustomTexts(root);
}
const char kHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<wkptbat:wkptbat xmlns:wkptbat=\"urn:wkptbat\">";
}  // namespace

TEST(BatCustomText, OverridesFieldByField) {
  const auto table = Custom(std::string(kHead) +
                            "<wkptbat:message wkptbat:type=\"ReCaL\"><wkptbat:title>%sを補正</wkptbat:title>"
                            "</wkptbat:message>"
                            "<wkptbat:message wkptbat:type=\"nocapa\"><wkptbat:minipop>古い</wkptbat:minipop>"
                            "</wkptbat:message>"
                            "<wkptbat:message wkptbat:type=\"nocapa\"><wkptbat:body>交換 <![CDATA[<b>%d</b>]]>"
                            "</wkptbat:body></wkptbat:message>"
                            "<wkptbat:message wkptbat:type=\"other\"><wkptbat:title>x</wkptbat:title></wkptbat:message>"
                            "</wkptbat:wkptbat>");
  ASSERT_TRUE(table);
  EXPECT_EQ(Text(SourceStrings(), table, 0, kTitle, {Txt(u"内蔵バッテリーの")}), u"内蔵バッテリーのを補正");
  EXPECT_EQ(Text(SourceStrings(), table, 0, kMinipop, {Num(1)}), u"バッテリーに関するお知らせが 1 件あります") << "default shows through";
  EXPECT_EQ(Text(SourceStrings(), table, 2, kBody, {Num(29)}), u"交換 <b>29</b>");
  EXPECT_EQ(Text(SourceStrings(), table, 2, kMinipop, {Num(2)}), u"バッテリーに関するお知らせが 2 件あります")
      << "a later message replaces all four fields of an earlier one";
  EXPECT_EQ(Text(SourceStrings(), table, 1, kTitle, {Txt(u"バッテリーパック")}), u"バッテリーパックが消耗しています");
}

TEST(BatCustomText, BrokenFileIsRejectedWhole) {
  const char* const cases[] = {
      "<wkptbat:wkptbat xmlns:wkptbat=\"urn:x\"><wkptbat:message wkptbat:type=\"recal\">",  // not well-formed
      "<other xmlns:wkptbat=\"urn:x\"><wkptbat:message wkptbat:type=\"recal\"/></other>",   // root name
      "<wkptbat:wkptbat xmlns:wkptbat=\"urn:x\"/>",                                         // no child nodes
      "<wkptbat:wkptbat><wkptbat:message wkptbat:type=\"recal\"/></wkptbat:wkptbat>",       // prefix not declared
      "",
  };
  for (const char* xml : cases) EXPECT_FALSE(Custom(xml)) << xml;
  EXPECT_TRUE(Custom("<WKPTBAT:WkptBat xmlns:WKPTBAT=\"urn:x\"><!-- only a comment --></WKPTBAT:WkptBat>"))
      << "names compare without case; a comment is a child node";
}

TEST(BatCustomText, PlaceholdersMustFitTheirArguments) {
  struct Case {
    const char16_t* format;
    std::optional<std::u16string> result;
  } cases[] = {
      {u"%d 件", u"2 件"},          {u"100%% %d", u"100% 2"},   {u"お知らせ", u"お知らせ"},
      {u"%s 件", std::nullopt},     {u"%d %d", std::nullopt},   {u"%n", std::nullopt},
      {u"%5d", std::nullopt},       {u"%ls", std::nullopt},     {u"末尾%", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatText(c.format, {Num(2)}), c.result) << std::u16string(c.format).size();

  TextTable table;
  table[0][kMinipop] = u"%s%s%s%s";  // would read garbage as printf
  EXPECT_EQ(Text(SourceStrings(), table, 0, kMinipop, {Num(3)}), u"バッテリーに関するお知らせが 3 件あります");
}

TEST(BatNames, ByBatteryKindAndUse) {
  EXPECT_EQ(BatteryName(SourceStrings(), 0, 0, kPlainName), u"バッテリー");
  EXPECT_EQ(BatteryName(SourceStrings(), 0, 1, kPossessiveName), u"内蔵バッテリーの");
  EXPECT_EQ(BatteryName(SourceStrings(), 1, 1, kPackName), u"拡張バッテリーパック");
  EXPECT_EQ(BatteryName(SourceStrings(), 1, 2, kPlainName), u"バッテリー２");
  EXPECT_EQ(BatteryName(SourceStrings(), 0, 3, kPackName), u"バッテリーパック１");
}

// The module's resource script holds every text, read back as the DLL's string table has it.
TEST(BatStrings, TheResourceScriptHoldsEveryText) {
  for (uint16_t id : Strings::Ids()) EXPECT_FALSE(SourceStrings().Get(id).empty()) << id;
  EXPECT_EQ(SourceStrings().Get(IDS_INITIAL_MESSAGE),
            u"「バッテリーに関するお知らせ」\n\u3000バッテリーパックの劣化による消耗や交換について\n\u3000お知らせします。\n\n");
  EXPECT_EQ(SourceStrings().Get(IDS_BODY_RECAL).rfind(u"<script type=\"text/javascript\">function sub1()", 0), 0u);
  EXPECT_EQ(SourceStrings().Get(IDS_TITLE_NOCAPA), u"%sを交換してください");

  Strings s;
  EXPECT_FALSE(ReadStringTable("STRINGTABLE\nBEGIN\n  IDS_X \"a\"\nEND\n", "#define IDS_Y 1\n", s)) << "unknown id";
  EXPECT_FALSE(ReadStringTable("\nSTRINGTABLE\nBEGIN\n  IDS_X \"a\"b\"\nEND\n", "#define IDS_X 1\n", s)) << "lone quote";
  ASSERT_TRUE(ReadStringTable("\nSTRINGTABLE\nBEGIN\n  IDS_X \"say \"\"hi\"\"\\n\"\nEND\n", "#define IDS_X 7\n", s));
  EXPECT_EQ(s.Get(7), u"say \"hi\"\n");
}
