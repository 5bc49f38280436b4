#include <gtest/gtest.h>

#include "host/core/command_line.h"

using namespace host;

namespace {
std::u16string Writes(const CommandLine& cl) {
  std::u16string out;
  for (const MachineWrite& w : cl.writes) out += w.subKey + u"|" + w.name + u"=" + (w.value ? u"1" : u"0") + u";";
  return out;
}
}  // namespace

TEST(CommandLine, ReadsModesAndConfigurationOptions) {
  const std::u16string key = u"Software\\Velmorant\\WICKPOST";
  struct Case {
    const char16_t* args;
    bool admin;
    bool startup, setting, configuration;
    std::u16string writes;
  } cases[] = {
      {u"", true, false, false, false, u""},
      {u"/startup", true, true, false, false, u""},
      {u"/setting", true, false, true, false, u""},
      {u"/SETTING /HIDETAB wkptrss", true, false, true, false, u""},  // tokens after it are not read
      {u"bogus  /STARTUP", true, true, false, false, u""},
      {u"/SHOWTAB wkptrss /HIDETAB wkpthdd", true, false, false, true,
       key + u"\\wkptrss|SetupEnable=1;" + key + u"\\wkpthdd|SetupEnable=0;"},
      {u"/SHOWTAB wkptrss /HIDETAB wkpthdd", false, false, false, true, u""},
      {u"/SHOWTAB wkptnone", true, false, false, true, u""},
      {u"/SHOWTAB wkptxwpk", true, false, false, true, key + u"\\wkptxwpk|SetupEnable=1;"},
      {u"/showtab WKPTRSS", true, false, false, true, key + u"\\WKPTRSS|SetupEnable=1;"},
      {u"/SHOWTAB wkptrss /STARTUP", true, false, false, true, key + u"\\wkptrss|SetupEnable=1;"},
      {u"/SHOWTAB", true, false, false, true, u""},
      {u"/INITIALDLG 1", false, false, false, true, key + u"|InitialDlgEnable=1;"},
      {u"/INITIALDLG 0 /SETTING", true, false, false, true, key + u"|InitialDlgEnable=0;"},
      {u"/INITIALDLG 2", true, false, false, true, u""},
      {u"/INITIALDLG", true, false, false, true, u""},
  };
  for (const Case& c : cases) {
    const CommandLine cl = ParseCommandLine(c.args, c.admin);
    const std::string label(c.args, c.args + std::char_traits<char16_t>::length(c.args));
    EXPECT_EQ(cl.startup, c.startup) << label;
    EXPECT_EQ(cl.setting, c.setting) << label;
    EXPECT_EQ(cl.configuration, c.configuration) << label;
    EXPECT_TRUE(Writes(cl) == c.writes) << label;
  }
}

TEST(CommandLine, SkipsTheProgramName) {
  EXPECT_TRUE(ArgumentsOf(u"\"C:\\Program Files\\Wickpost.exe\"  /SETTING x") == u"/SETTING x");
  EXPECT_TRUE(ArgumentsOf(u"Wickpost.exe /STARTUP") == u"/STARTUP");
  EXPECT_TRUE(ArgumentsOf(u"Wickpost.exe") == u"");
  EXPECT_TRUE(ArgumentsOf(u"\"unterminated") == u"");
}
