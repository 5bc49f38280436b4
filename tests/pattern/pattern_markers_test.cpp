// The catalogue document markers, read from one realistic support document (ANSI bytes,
// Shift_JIS text around the markers), in both widths.
#include <gtest/gtest.h>

#include <vector>

#include "tests/pattern/pattern_test_util.h"

namespace {

using PatternTest::As;

// A support document as the site serves it. Japanese text is Shift_JIS; "\x83\x5c" (ソ)
// carries a backslash as its second byte.
const char kDocument[] =
    "<html><head><title>\x83\x5c\x83\x74\x83\x67 update</title></head><body>\r\n"
    "<table class=\"info\"><tr><td>\x8c\xf6\x8a\x4a\x93\xfa</td><td>2013/05/21</td>\r\n"
    "  <td class=\"no\">\x8a\xc7\x97\x9dNO:&nbsp;&nbsp;012345</td></tr></table>\r\n"
    "<!-- PP = \"4.3\" -->\r\n"
    "<!--SN=\"[0-9]+A\"-->\r\n"
    "<!-- TM -->QZ-AB12CD34<br>QZ-EF56GH78<br>QZ-SHORT<!-- /TM -->\r\n"
    "<!-- OS -->\r\n  Windows Vista Business SP1 SP2 / Windows XP\r\n<!-- / OS -->\r\n"
    "<!-- PV = \"V1.23L45A\" -->\r\n"
    "<!-- PV -->V2.00L10 M01<!-- /PV -->\r\n"
    "<!-- BN = \"QZ-BATT01 ; 13052100001 - 13052199999\" -->\r\n"
    "<!-- FD = \"C:\\Program Files\\Velmorant\\app.exe;2013/5/1;E\" -->\r\n"
    "<!--FD=\"C:\\Windows\\System32\\drivers\\vm.sys;2012/12/24\"-->\r\n"
    "<!-- DN -->Velmorant Hotkey Driver<!-- /DN -->\r\n"
    "<!-- DV = \"E\" -->1.2.3.4<!-- /DV -->\r\n"
    "<!-- BV -->V1.50L20<!-- /BV -->\r\n"
    "<!-- EV = \"V2.00L05M03;E\" -->\r\n"
    "<!--IS=\"SELF##setup.exe /s\"-->\r\n"
    "<!-- AU = \"4.3\" -->\r\n"
    "<!-- RB = \"1\" -->\r\n"
    "<p><a href=\"https://dl.example/file/up.exe\" class=\"btn\" id=\"update\"><img src=\"dl.png\"></a>\r\n"
    "<a href=\"https://dl.example/file/manual.pdf\" target=\"_blank\" id=\"manual\">manual</a></p>\r\n"
    "<!-- US -->1,234,567<!-- /US --><!-- UF -->up.exe<!-- /UF -->\r\n"
    "<!-- IC = \"{12345678-ABCD-ef01-2345-6789ABCDEF01}\" -->\r\n"
    "</body></html>\r\n";

// The texts of the groups ("-" for one that took no part), or just the status name.
template <class CharT>
std::vector<std::string> Groups(std::string_view pattern, std::string_view subject, std::size_t* end = nullptr) {
  Pattern::Regex<CharT> re;
  Pattern::Status s = re.Compile(As<CharT>(pattern));
  if (s != Pattern::Status::Ok) return {Pattern::StatusName(s)};
  Pattern::Match m;
  s = re.Search(As<CharT>(subject), &m);
  if (s != Pattern::Status::Match) return {Pattern::StatusName(s)};
  if (end) *end = m.whole.end;
  std::vector<std::string> out;
  for (const Pattern::Span& g : m.groups) out.push_back(g.Matched() ? std::string(subject.substr(g.begin, g.Length())) : "-");
  return out;
}

// Every match of the first group, searching on after each match; a failed search ends the
// list with its status name.
template <class CharT>
std::vector<std::string> All(std::string_view pattern, std::string_view subject) {
  std::vector<std::string> out;
  for (std::size_t at = 0; at < subject.size();) {
    std::size_t end = 0;
    std::vector<std::string> g = Groups<CharT>(pattern, subject.substr(at), &end);
    if (g.size() == 1 && g[0] == "nomatch") break;
    out.push_back(g.at(0));
    if (end == 0) break;
    at += end;
  }
  return out;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

const char kPV[] = R"P(<\!--[ \n\r\t]*PV([ \n\r\t]*=[ \n\r\t]*"[ \n\r\t]*{V\d\d?\.\d\dL\d\d[A-Z]? ?(M\d\d)?}[ \n\r\t]*"[ \n\r\t]*-->)|([ \n\r\t]*-->[ \n\r\t]*{V\d\d?\.\d\dL\d\d[A-Z]? ?(M\d\d)?}[ \n\r\t]*<\!--[ \n\r\t]*/[ \n\r\t]*PV[ \n\r\t]*-->))P";
const char kBV[] = R"P(<\!--[ \n\r\t]*BV[ \n\r\t]*((=[ \n\r\t]*"{E}"[ \n\r\t]*)?-->{V\d\d?\.\d\dL\d\d[A-Z]? ?(M\d\d)?}[ \n\r\t]*<\!--[ \n\r\t]*/[ \n\r\t]*BV[ \n\r\t]*-->)|(=[ \n\r\t]*"[ \n\r\t]*{V\d\d?\.\d\dL\d\d[A-Z]? ?(M\d\d)?}[ \n\r\t]*(;[ \n\r\t]*{E}[ \n\r\t]*)?"[ \n\r\t]*-->))P";
const char kIC[] = R"P(<\!--[ \n\r\t]*IC[ \n\r\t]*=[ \n\r\t]*"{\{(-|[0-9a-fA-F])+\}}"[ \n\r\t]*-->)P";

template <class CharT>
class DocumentMarkers : public ::testing::Test {};
using Widths = ::testing::Types<char, char16_t>;
TYPED_TEST_SUITE(DocumentMarkers, Widths);

TYPED_TEST(DocumentMarkers, DateNumberAndLevel) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Groups<TypeParam>(R"P({\d\d\d\d/\d\d/\d\d}</td>[^<>]*<td[^<>]*>.+NO:&nbsp;&nbsp;{\d+}</td>)P", kDocument),
            (V{"2013/05/21", "012345"}));
  EXPECT_EQ(Groups<TypeParam>(R"P(<\!--[ \n\r\t]*PP[ \n\r\t]*=[ \n\r\t]*"{\d+.\d+}"[ \n\r\t]*-->)P", kDocument), (V{"4.3"}));
  EXPECT_EQ(Groups<TypeParam>(R"P(<\!--[ \n\r\t]*SN="{[^"]+}"[ \n\r\t]*-->)P", kDocument), (V{"[0-9]+A"}));
  EXPECT_EQ(Groups<TypeParam>(R"P(<\!--[ \n\r\t]*AU[ \n\r\t]*=[ \n\r\t]*"{\d+.\d+}"[ \n\r\t]*-->)P", kDocument), (V{"4.3"}));
  EXPECT_EQ(Groups<TypeParam>(R"P(<\!--[ \n\r\t]*RB[ \n\r\t]*=[ \n\r\t]*"{\d}"[ \n\r\t]*-->)P", kDocument), (V{"1"}));
  EXPECT_EQ(Groups<TypeParam>(R"P(<\!--[ \n\r\t]*IS="{[^"]+}"[ \n\r\t]*-->)P", kDocument), (V{"SELF##setup.exe /s"}));
  EXPECT_EQ(Groups<TypeParam>(kIC, kDocument), (V{"{12345678-ABCD-ef01-2345-6789ABCDEF01}"}));
}

TYPED_TEST(DocumentMarkers, ModelsBecomeAnAnchoredAlternation) {
  std::vector<std::string> tm =
      Groups<TypeParam>(R"P(<\!--[ \n\r\t]*TM[ \n\r\t]*-->{.+}<\!--[ \n\r\t]*/[ \n\r\t]*TM[ \n\r\t]*-->)P", kDocument);
  ASSERT_EQ(tm.size(), 1u);
  // Only models with exactly eight characters after the prefix count.
  std::vector<std::string> models = All<TypeParam>(
      "{QZ-[A-Z0-9][A-Z0-9][A-Z0-9][A-Z0-9][A-Z0-9][A-Z0-9][A-Z0-9][A-Z0-9]}", tm[0]);
  ASSERT_EQ(models, (std::vector<std::string>{"QZ-AB12CD34", "QZ-EF56GH78"}));
  std::string joined = "^(" + models[0] + ")|(" + models[1] + ")$";
  EXPECT_EQ(PatternTest::Run<TypeParam>(joined, "QZ-AB12CD34"), "match 0 11");
  EXPECT_EQ(PatternTest::Run<TypeParam>(joined, "QZ-EF56GH78"), "match 0 11");
  EXPECT_EQ(PatternTest::Run<TypeParam>(joined, "QZ-EF56GH7"), "nomatch");
  // A block with no such model leaves "^$", which no model number matches.
  EXPECT_EQ(PatternTest::Run<TypeParam>("^$", "QZ-AB12CD34"), "nomatch");
}

TYPED_TEST(DocumentMarkers, OperatingSystemBlock) {
  std::vector<std::string> os = Groups<TypeParam>(
      R"P(<\!--[ \n\r\t]*OS[ \n\r\t]*-->[ \n\r\t]*{.+}[ \n\r\t]*<\!--[ \n\r\t]*/[ \n\r\t]*OS[ \n\r\t]*-->)P", kDocument);
  // "[ \n\r\t]" is blank, 'n', 'r' or TAB: the line breaks around the text stay in the group.
  ASSERT_EQ(os, (std::vector<std::string>{"\r\n  Windows Vista Business SP1 SP2 / Windows XP\r\n"}));
  EXPECT_EQ(Groups<TypeParam>("Vista{.*?}(XP)|$", os[0]), (std::vector<std::string>{" Business SP1 SP2 / Windows "}));
  EXPECT_EQ(All<TypeParam>("{\\d?\\d}", " Business SP1 SP2 / Windows "), (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(Groups<TypeParam>("XP{.*?}(Vista)|$", os[0]), (std::vector<std::string>{"\r\n"}));
}

TYPED_TEST(DocumentMarkers, ImageVersionsInBothForms) {
  std::vector<std::string> found;
  std::string_view doc = kDocument;
  std::size_t at = 0, end = 0;
  for (std::vector<std::string> g; (g = Groups<TypeParam>(kPV, doc.substr(at), &end)).size() == 2; at += end) {
    found.push_back(g[0] != "-" ? g[0] : g[1]);
  }
  EXPECT_EQ(found, (std::vector<std::string>{"V1.23L45A", "V2.00L10 M01"}));
}

TYPED_TEST(DocumentMarkers, FirmwareMarkersInBothForms) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Groups<TypeParam>(kBV, kDocument), (V{"-", "V1.50L20", "-", "-"}));
  // The letter before "M03" is first taken as the optional level letter, then given back.
  EXPECT_EQ(Groups<TypeParam>(Replace(kBV, "BV", "EV"), kDocument), (V{"-", "-", "V2.00L05M03", "E"}));
  EXPECT_EQ(Groups<TypeParam>(kBV, "<!--BV=\"E\"-->V1.02L03<!--/BV-->"), (V{"E", "V1.02L03", "-", "-"}));
}

TYPED_TEST(DocumentMarkers, BatteryFilesAndDrivers) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Groups<TypeParam>(
                R"P(<\!--[ \n\r\t]*BN[ \n\r\t]*=[ \n\r\t]*"[ \n\r\t]*{QZ-[A-Z0-9]+}([ \n\r\t]*;[ \n\r\t]*{\d+}[ \n\r\t]*-[ \n\r\t]*{\d+})?[ \n\r\t]*"[ \n\r\t]*-->)P",
                kDocument),
            (V{"QZ-BATT01", "13052100001", "13052199999"}));

  const char* fd =
      R"P(<\!--[ \n\r\t]*FD[ \n\r\t]*=[ \n\r\t]*"[ \n\r\t]*{[^;]+};{\d\d\d\d/\d?\d/\d?\d}(;{E})?[ \n\r\t]*"[ \n\r\t]*-->)P";
  std::size_t end = 0;
  EXPECT_EQ(Groups<TypeParam>(fd, kDocument, &end), (V{"C:\\Program Files\\Velmorant\\app.exe", "2013/5/1", "E"}));
  EXPECT_EQ(Groups<TypeParam>(fd, std::string_view(kDocument).substr(end)),
            (V{"C:\\Windows\\System32\\drivers\\vm.sys", "2012/12/24", "-"}));

  std::vector<std::string> dn = Groups<TypeParam>(
      R"P(<\!--[ \n\r\t]*DN[ \n\r\t]*-->{[^<>]+}<\!--[ \n\r\t]*/[ \n\r\t]*DN[ \n\r\t]*-->)P", kDocument, &end);
  EXPECT_EQ(dn, (V{"Velmorant Hotkey Driver"}));
  EXPECT_EQ(Groups<TypeParam>(
                R"P(<\!--[ \n\r\t]*DV[ \n\r\t]*(=[ \n\r\t]*"[ \n\r\t]*{E}[ \n\r\t]*"[ \n\r\t]*)?-->[ \n\r\t]*{\d+\.\d+\.\d+\.\d+}[ \n\r\t]*<\!--[ \n\r\t]*/[ \n\r\t]*DV[ \n\r\t]*-->)P",
                std::string_view(kDocument).substr(end)),
            (V{"E", "1.2.3.4"}));
}

TYPED_TEST(DocumentMarkers, DownloadLinksAndSizes) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Groups<TypeParam>(R"P(<a[ \n\r\t]+href="{[^"<>]+}"[^<>]+id="update"[^<>]*>)P", kDocument),
            (V{"https://dl.example/file/up.exe"}));
  EXPECT_EQ(Groups<TypeParam>(R"P(<a[ \n\r\t]+href="{[^"<>]+}"[^<>]+id="manual"[^<>]*>)P", kDocument),
            (V{"https://dl.example/file/manual.pdf"}));
  EXPECT_EQ(Groups<TypeParam>(
                R"P(<\!--[ \n\r\t]*US[ \n\r\t]*-->[ \n\r\t]*{.+}[ \n\r\t]*<\!--[ \n\r\t]*/[ \n\r\t]*US[ \n\r\t]*-->)P",
                kDocument),
            (V{"1,234,567"}));
  // A marker that is absent is simply not found.
  EXPECT_EQ(Groups<TypeParam>(
                R"P(<\!--[ \n\r\t]*MS[ \n\r\t]*-->[ \n\r\t]*{.+}[ \n\r\t]*<\!--[ \n\r\t]*/[ \n\r\t]*MS[ \n\r\t]*-->)P",
                kDocument),
            (V{"nomatch"}));
}

}  // namespace
