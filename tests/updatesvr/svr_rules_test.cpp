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

// Each kind of run has one form: installers take plain arguments, the updater at most one
// quoted folder below the extraction folder.
TEST(SvrRules, CommandLinesHaveTheirFixedForms) {
  const std::u16string root = u"C:\\Up";
  struct Case {
    const char16_t* line;
    RunForm form;
    bool ok;
  } cases[] = {
      {u"\"C:\\Up\\12\\setup.exe\" -s", RunForm::Installer, true},
      {u"\"C:\\Up\\12\\p.exe\" -silent", RunForm::Installer, true},
      {u"\"C:\\Up\\12\\setup.exe\"", RunForm::Installer, true},
      {u"\"C:\\Up\\12\\setup.exe\" /d=\"C:\\x\"", RunForm::Installer, false},  // a quote in the arguments
      {u"\"C:\\Up\\12\\setup.exe\" /log \\\\host\\share\\l", RunForm::Installer, false},  // a network path
      {u"\"\\\\host\\share\\setup.exe\" -s", RunForm::Installer, false},              // a UNC program
      {u"\"C:\\Windows\\setup.exe\" -s", RunForm::Installer, false},                   // outside the folder
      {u"\"C:\\Up\\wkptupdate.exe\"", RunForm::Updater, true},
      {u"\"C:\\Up\\wkptupdate.exe\" \"C:\\Up\\3\"", RunForm::Updater, true},
      {u"\"C:\\Up\\wkptupdate.exe\" \"C:\\a\" -x \"b\"", RunForm::Updater, false},  // a quote in the folder
      {u"\"C:\\Up\\wkptupdate.exe\" \"C:\\Up\\a\" -x \"b\"", RunForm::Updater, false},
      {u"\"C:\\Up\\wkptupdate.exe\" \"C:\\Up\\3\\\"", RunForm::Updater, false},  // "\" before the quote
      {u"\"C:\\Up\\wkptupdate.exe\" \"C:\\Elsewhere\"", RunForm::Updater, false},
      {u"\"C:\\Up\\wkptupdate.exe\" \"C:\\Up\"", RunForm::Updater, true},  // the folder itself
      {u"\"C:\\Up\\wkptupdate.exe\" C:\\Up\\3", RunForm::Updater, false},  // unquoted
      {u"\"C:\\Up\\wkptupdate.exe\" \"\\\\host\\s\\Up\"", RunForm::Updater, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CheckCommandLine(c.line, root, c.form).has_value(), c.ok)
        << std::string(c.line, c.line + std::char_traits<char16_t>::length(c.line));
  EXPECT_FALSE(CheckCommandLine(u"\"\\\\host\\s\\Up\\a.exe\"", u"\\\\host\\s\\Up", RunForm::Installer))
      << "a folder on the network";
}

// Paths of the caller's package folder are taken to the same place in the run's own folder.
TEST(SvrRules, PathsMoveIntoTheRunFolder) {
  const std::u16string from = u"C:\\Users\\u\\Velmorant\\12", to = u"C:\\Windows\\Temp\\wkpt1\\";
  EXPECT_EQ(MovedInto(from + u"\\setup.exe", from, to), u"C:\\Windows\\Temp\\wkpt1\\setup.exe");
  EXPECT_EQ(MovedInto(u"c:\\users\\U\\velmorant\\12\\sub\\a.exe", from + u"\\", to), u"C:\\Windows\\Temp\\wkpt1\\sub\\a.exe");
  EXPECT_EQ(MovedInto(from, from, to), u"C:\\Windows\\Temp\\wkpt1");
  for (const char16_t* elsewhere : {u"C:\\Users\\u\\Velmorant\\123\\a.exe", u"C:\\Users\\u\\Velmorant\\12\\..\\a.exe",
                                    u"C:\\Users\\u\\Velmorant", u"setup.exe", u""})
    EXPECT_FALSE(MovedInto(elsewhere, from, to)) << std::string(elsewhere, elsewhere + std::char_traits<char16_t>::length(elsewhere));
}

// The opened file must be where its path says: a junction on the way gives another final path.
TEST(SvrRules, TheFinalPathIsThePathOpened) {
  const std::u16string opened = u"C:\\Users\\u\\Velmorant\\12\\p.exe";
  EXPECT_TRUE(IsFinalPathOf(u"\\\\?\\C:\\Users\\u\\Velmorant\\12\\p.exe", opened));
  EXPECT_TRUE(IsFinalPathOf(u"\\\\?\\c:\\users\\U\\VELMORANT\\12\\P.EXE", opened));
  EXPECT_FALSE(IsFinalPathOf(u"\\\\?\\C:\\Windows\\System32\\p.exe", opened));       // led elsewhere
  EXPECT_FALSE(IsFinalPathOf(u"\\\\?\\UNC\\host\\share\\12\\p.exe", opened));       // onto the network
  EXPECT_FALSE(IsFinalPathOf(u"C:\\Users\\u\\Velmorant\\12\\p.exe", opened));          // not a final path
  EXPECT_FALSE(IsFinalPathOf(u"\\\\?\\C:\\Users\\u\\Velmorant\\12\\p.exe", u"\\\\host\\s\\p.exe"));
}

TEST(SvrRules, OnlyTheUpdatersHandOffIsPosted) {
  EXPECT_TRUE(IsUpdaterHandOff(u"WKPTUPDATE", u"WKPTUPDATE_ADMIN", 0x8000));
  EXPECT_FALSE(IsUpdaterHandOff(u"WKPTUPDATE", u"WKPTUPDATE_ADMIN", 0x0010));  // WM_CLOSE
  EXPECT_FALSE(IsUpdaterHandOff(u"Progman", u"WKPTUPDATE_ADMIN", 0x8000));
  EXPECT_FALSE(IsUpdaterHandOff(u"WKPTUPDATE", u"", 0x8000));
}

}  // namespace
}  // namespace updsvr
