#include "host/core/command_line.h"

#include "host/core/module_names.h"

namespace host {

const char16_t kHostKey[] = u"Software\\Velmorant\\WICKPOST";

namespace {
std::vector<std::u16string> Tokens(const std::u16string& text) {
  std::vector<std::u16string> out;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == u' ') {
      ++i;
      continue;
    }
    const size_t end = text.find(u' ', i);
    out.push_back(text.substr(i, end == std::u16string::npos ? std::u16string::npos : end - i));
    i = end == std::u16string::npos ? text.size() : end;
  }
  return out;
}
}  // namespace

CommandLine ParseCommandLine(const std::u16string& arguments, bool isAdministrator) {
  CommandLine cl;
  const std::vector<std::u16string> tokens = Tokens(arguments);
  for (size_t i = 0; i < tokens.size(); ++i) {
    const std::u16string& t = tokens[i];
    if (EqualsIgnoreCase(t, u"/STARTUP") || EqualsIgnoreCase(t, u"/SETTING")) {
      if (cl.configuration) continue;  // a configuration run only writes and ends
      (EqualsIgnoreCase(t, u"/STARTUP") ? cl.startup : cl.setting) = true;
      break;
    }
    const bool show = EqualsIgnoreCase(t, u"/SHOWTAB");
    if (show || EqualsIgnoreCase(t, u"/HIDETAB")) {
      cl.configuration = true;
      if (!isAdministrator || i + 1 >= tokens.size()) continue;
      const std::u16string& name = tokens[++i];
      if (IsModuleName(name)) cl.writes.push_back({std::u16string(kHostKey) + u"\\" + name, u"SetupEnable", show ? 1u : 0u});
    } else if (EqualsIgnoreCase(t, u"/INITIALDLG")) {
      cl.configuration = true;
      if (i + 1 >= tokens.size()) continue;
      const std::u16string& value = tokens[++i];
      if (value == u"1" || value == u"0") cl.writes.push_back({kHostKey, u"InitialDlgEnable", value == u"1" ? 1u : 0u});
    }
  }
  return cl;
}

std::u16string ArgumentsOf(const std::u16string& commandLine) {
  size_t i = 0;
  if (!commandLine.empty() && commandLine[0] == u'"') {
    const size_t close = commandLine.find(u'"', 1);
    i = close == std::u16string::npos ? commandLine.size() : close + 1;
  }
  while (i < commandLine.size() && commandLine[i] != u' ' && commandLine[i] != u'\t') ++i;
  while (i < commandLine.size() && (commandLine[i] == u' ' || commandLine[i] == u'\t')) ++i;
  return commandLine.substr(i);
}

}  // namespace host
