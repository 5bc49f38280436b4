// Install scripts: the parser's table, the quoting of command lines, and the runner against
// a fake of the server's calls.
#include "modules/web/update_script.h"

#include <gtest/gtest.h>

#include <map>

namespace web {
namespace {

std::string Narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }

std::string Dump(const std::optional<std::vector<InstallStep>>& steps) {
  if (!steps) return "malformed";
  std::string out;
  for (const auto& s : *steps) out += std::to_string(int(s.kind)) + "|" + Narrow(s.first) + "|" + Narrow(s.second) + ";";
  return out;
}

TEST(UpdateScript, ParserTable) {
  const std::u16string longField(kScriptFieldMax + 1, u'x'), field(kScriptFieldMax, u'x');
  const struct {
    std::u16string script;
    std::string steps;
  } cases[] = {
      {u"INST#x#'setup.exe' -s;", "2|x|\"setup.exe\" -s;"},
      {u"  \r\n\tUNINST#{A1}#\"C:\\u.exe\" /q ;\nWAIT##;DESTROY#a#b;SELF#x#'C:\\up\\new.exe';",
       "1|{A1}|\"C:\\u.exe\" /q;4||;3|a|b;5|x|\"C:\\up\\new.exe\";"},
      {u"# a comment; INST#x#y;\nINST#a#b;", "2|a|b;"},               // a comment runs to its line's end
      {u"INST#a#b#c;", "2|a|b#c;"},                                   // the rest is SECOND
      {u"INST#a#b; ;;INST#c#d;trailing text", "2|a|b;2|c|d;"},        // empty statements, text after the last ";"
      {u"INST#x;", "malformed"},                                      // no second "#"
      {u"INST x y;", "malformed"},                                    // no "#"
      {u"RUN#a#b;", "malformed"},                                     // unknown kind
      {u"inst#a#b;", "malformed"},                                    // kinds are upper case
      {u"INST#a#b;BAD;", "malformed"},                                // one bad statement spoils all
      {u"", "malformed"},                                             // nothing to do is not "installed"
      {u"  # only a comment\n", "malformed"},
      {u"INST#a#b", "malformed"},                                     // no complete statement
      {u"INST#" + longField + u"#b;", "malformed"},
      {u"INST#a#" + longField + u";", "malformed"},
      {u"INST#" + field + u"#" + field + u";", "2|" + Narrow(field) + "|" + Narrow(field) + ";"},
      {u"INST#a#" + std::u16string(kScriptStatementMax, u' ') + u"b;", "malformed"},  // statement over its limit
  };
  for (const auto& c : cases) EXPECT_EQ(Dump(ParseInstallScript(c.script)), c.steps) << Narrow(c.script);
}

TEST(UpdateScript, CommandLinesNameTheirProgramByQuotedFullPath) {
  const std::u16string folder = u"C:\\L\\Velmorant\\12";
  const struct {
    std::u16string line;
    std::optional<std::u16string> quoted;
  } cases[] = {
      {u"\"setup.exe\" -s", u"\"C:\\L\\Velmorant\\12\\setup.exe\" -s"},
      {u"setup.exe -s", u"\"C:\\L\\Velmorant\\12\\setup.exe\" -s"},
      {u"sub\\setup.exe", u"\"C:\\L\\Velmorant\\12\\sub\\setup.exe\""},
      {u"\"C:\\Program Files\\X\\u.exe\" /q", u"\"C:\\Program Files\\X\\u.exe\" /q"},
      {u"..\\evil.exe", std::nullopt},
      {u"\"a\\..\\..\\evil.exe\"", std::nullopt},
      {u"D:evil.exe", std::nullopt},
      {u"\"setup.exe", std::nullopt},
      {u"\"setup.exe\"-s", std::nullopt},
      {u"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(QuoteCommandLine(c.line, folder), c.quoted) << Narrow(c.line);
  EXPECT_EQ(QuoteArgument(u"C:\\up\\"), u"\"C:\\up\\\\\"");
  EXPECT_EQ(QuoteArgument(u"C:\\up"), u"\"C:\\up\"");
}

class FakeServer : public IInstallPort {
 public:
  bool UninstallKeyExists(const std::u16string& name) override { return installed.count(name) > 0; }
  bool RunAndWait(const std::u16string& line, uint32_t& exitCode) override {
    log += "run " + Narrow(line) + "\n";
    const auto it = exitCodes.find(line);
    if (it != exitCodes.end() && it->second < 0) return false;  // could not start
    exitCode = it == exitCodes.end() ? 0 : uint32_t(it->second);
    return true;
  }
  bool Start(const std::u16string& line) override {
    log += "start " + Narrow(line) + "\n";
    return !refuseStart;
  }
  bool CopyUpdater(std::u16string& copy) override {
    copy = u"C:\\L\\Velmorant\\wkptupdate.exe";
    return copyWorks;
  }
  bool IsAdministrator() override { return admin; }
  bool PostHandOff() override {
    ++posts;
    return posts >= answerAt;
  }
  bool Pause() override {
    ++pauses;
    return !cancelled;
  }
  void CloseHost() override { log += "close host\n"; }

  std::map<std::u16string, std::u16string> installed;
  std::map<std::u16string, int> exitCodes;
  std::string log;
  bool refuseStart = false, copyWorks = true, admin = true, cancelled = false;
  int posts = 0, pauses = 0, answerAt = 1;
};

std::vector<InstallStep> Steps(const char16_t* script) { return *ParseInstallScript(script); }

const std::u16string kFolder = u"C:\\L\\Velmorant\\12";

TEST(UpdateScript, RunnerTable) {
  const std::u16string setup = u"\"C:\\L\\Velmorant\\12\\setup.exe\" -s";
  const struct {
    const char16_t* script;
    int exitCode;  // of setup, -1: could not start
    bool ok, restart;
    int failedStep;
    const char* log;
  } cases[] = {
      {u"INST#x#'setup.exe' -s;", 0, true, false, -1, "run \"C:\\L\\Velmorant\\12\\setup.exe\" -s\n"},
      {u"INST#x#'setup.exe' -s;", 3010, true, true, -1, "run \"C:\\L\\Velmorant\\12\\setup.exe\" -s\n"},
      {u"INST#x#'setup.exe' -s;INST#y#next.exe;", 1603, false, false, 0, "run \"C:\\L\\Velmorant\\12\\setup.exe\" -s\n"},
      {u"INST#x#'setup.exe' -s;", -1, false, false, 0, "run \"C:\\L\\Velmorant\\12\\setup.exe\" -s\n"},
      {u"UNINST#{gone}#old.exe;INST#x#'setup.exe' -s;", 0, true, false, -1,
       "run \"C:\\L\\Velmorant\\12\\setup.exe\" -s\n"},  // no Uninstall key: skipped
      {u"UNINST#{here}#'old.exe' /q;WAIT##;INST#x#'setup.exe' -s;", 0, true, false, -1,
       "run \"C:\\L\\Velmorant\\12\\old.exe\" /q\nrun \"C:\\L\\Velmorant\\12\\setup.exe\" -s\n"},
      {u"DESTROY#a#b;INST#x#..\\up.exe;", 0, false, false, 1, ""},  // never resolved outside the package
  };
  for (const auto& c : cases) {
    FakeServer server;
    server.installed[u"{here}"] = u"";
    server.exitCodes[setup] = c.exitCode;
    const ScriptResult r = RunInstallScript(Steps(c.script), kFolder, server);
    EXPECT_EQ(r.ok, c.ok) << Narrow(c.script);
    EXPECT_EQ(r.restartNeeded, c.restart) << Narrow(c.script);
    EXPECT_EQ(r.failedStep, c.failedStep) << Narrow(c.script);
    EXPECT_EQ(server.log, c.log) << Narrow(c.script);
  }
}

TEST(UpdateScript, SelfHandsOffToTheUpdaterCopyWithTheQuotedFolder) {
  FakeServer server;
  server.answerAt = 3;
  const ScriptResult r = RunInstallScript(Steps(u"SELF#x#'C:\\L\\Velmorant\\12\\Wickpost.exe';"), kFolder, server);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(server.log, "start \"C:\\L\\Velmorant\\wkptupdate.exe\" \"C:\\L\\Velmorant\\12\"\nclose host\n");
  EXPECT_EQ(server.posts, 3);
  EXPECT_EQ(server.pauses, 2);
  // A bare name lies in the package's folder.
  FakeServer relative;
  EXPECT_TRUE(RunInstallScript(Steps(u"SELF#x#'Wickpost.exe';"), kFolder, relative).ok);
  EXPECT_EQ(relative.log, server.log);
}

TEST(UpdateScript, SelfFailures) {
  const char16_t* self = u"SELF#x#'C:\\L\\Velmorant\\12\\Wickpost.exe';";
  {
    FakeServer server;  // a standard user: the copy starts once without arguments first
    server.admin = false;
    EXPECT_TRUE(RunInstallScript(Steps(self), kFolder, server).ok);
    EXPECT_EQ(server.log.rfind("start \"C:\\L\\Velmorant\\wkptupdate.exe\"\n", 0), 0u) << server.log;
  }
  {
    FakeServer server;  // the updater never answers
    server.answerAt = 1000;
    EXPECT_FALSE(RunInstallScript(Steps(self), kFolder, server).ok);
    EXPECT_EQ(server.posts, kHandOffTries);
    EXPECT_EQ(server.log.find("close host"), std::string::npos);
  }
  {
    FakeServer server;  // cancelled while waiting
    server.answerAt = 1000;
    server.cancelled = true;
    EXPECT_FALSE(RunInstallScript(Steps(self), kFolder, server).ok);
    EXPECT_EQ(server.posts, 1);
  }
  for (int which = 0; which < 4; ++which) {
    FakeServer server;
    server.copyWorks = which != 0;
    server.refuseStart = which == 1;
    const char16_t* script = which == 2   ? u"SELF#x#'C:\\a' -x 'b\\Wickpost.exe';"  // 2: a quote in the folder
                             : which == 3 ? u"SELF#x#'..\\Wickpost.exe';"            // 3: climbs out
                                          : self;
    EXPECT_FALSE(RunInstallScript(Steps(script), kFolder, server).ok) << which;
    EXPECT_EQ(server.posts, 0) << which;
  }
}

TEST(UpdateScript, ServerFailureMessages) {
  EXPECT_FALSE(ServerFailureMessage(int32_t(0x800704C7)));  // 1223: the user declined
  EXPECT_EQ(ServerFailureMessage(int32_t(0x800704EC)),      // 1260: group policy
            u"続行できません\n\nこのタスクはグループポリシーによりブロックされています。");
  const auto other = ServerFailureMessage(int32_t(0x80040154));
  ASSERT_TRUE(other);
  EXPECT_EQ(other->find(u"ダウンロード・インストールを開始できませんでした。"), 0u);
}

}  // namespace
}  // namespace web
