// What the elevated server agrees to start and to post.
#include "modules/updatesvr/svr_rules.h"

#include <gtest/gtest.h>

namespace updsvr {
namespace {

TEST(SvrRules, OnlyAQuotedFullPathStartsACommandLine) {
  struct Case {
    const char16_t* line;
    bool ok;
    const char16_t* program;
    const char16_t* arguments;
  } cases[] = {
      {u"\"C:\\Up\\12\\setup.exe\" -s", true, u"C:\\Up\\12\\setup.exe", u"-s"},
      {u"\"C:\\Up\\setup.exe\"", true, u"C:\\Up\\setup.exe", u""},
      {u"\"\\\\srv\\share\\a.exe\" x y", true, u"\\\\srv\\share\\a.exe", u"x y"},
      {u"C:\\Up\\setup.exe -s", false},             // unquoted: would be resolved by search
      {u"\"setup.exe\" -s", false},                 // relative
      {u"\"C:\\Up\\..\\Windows\\x.exe\"", false},   // climbs out
      {u"\"C:\\Up\\.\\x.exe\"", false},
      {u"\"C:/Up/x.exe\"", false},
      {u"\"C:\\Up\\x.exe\"-s", false},              // no blank after the quote
      {u"\"C:\\Up\\x.exe", false},                  // unclosed
      {u"\"C:\\Up\\\"", false},                     // a folder
      {u"\"\\\\?\\C:\\x.exe\"", false},
      {u"", false},
  };
  for (const Case& c : cases) {
    const auto got = SplitCommandLine(c.line);
    ASSERT_EQ(got.has_value(), c.ok) << std::string(c.line, c.line + std::char_traits<char16_t>::length(c.line));
    if (!c.ok) continue;
    EXPECT_EQ(got->program, c.program);
    EXPECT_EQ(got->arguments, c.arguments);
  }
}

TEST(SvrRules, InsideFolderIsBelowItWithoutRegardToCase) {
  const std::u16string root = u"C:\\Users\\u\\AppData\\Local\\Velmorant";
  EXPECT_TRUE(IsInsideFolder(u"C:\\Users\\u\\AppData\\Local\\Velmorant\\12\\p.exe", root));
  EXPECT_TRUE(IsInsideFolder(u"c:\\users\\U\\appdata\\local\\VELMORANT\\p.exe", root + u"\\"));
  EXPECT_FALSE(IsInsideFolder(u"C:\\Users\\u\\AppData\\Local\\VelmorantX\\p.exe", root));
  EXPECT_FALSE(IsInsideFolder(root, root));
  EXPECT_FALSE(IsInsideFolder(root + u"\\..\\p.exe", root));
  EXPECT_FALSE(IsInsideFolder(u"D:\\Velmorant\\p.exe", root));
}

TEST(SvrRules, OnlyTheUpdatersHandOffIsPosted) {
  EXPECT_TRUE(IsUpdaterHandOff(u"WKPTUPDATE", u"WKPTUPDATE_ADMIN", 0x8000));
  EXPECT_FALSE(IsUpdaterHandOff(u"WKPTUPDATE", u"WKPTUPDATE_ADMIN", 0x0010));  // WM_CLOSE
  EXPECT_FALSE(IsUpdaterHandOff(u"Progman", u"WKPTUPDATE_ADMIN", 0x8000));
  EXPECT_FALSE(IsUpdaterHandOff(u"WKPTUPDATE", u"", 0x8000));
}

}  // namespace
}  // namespace updsvr
