#include "modules/web/update_script.h"

namespace web {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

std::optional<StepKind> KindOf(const std::u16string& text) {
  if (text == u"UNINST") return StepKind::Uninstall;
  if (text == u"INST") return StepKind::Install;
  if (text == u"WAIT") return StepKind::Wait;
  if (text == u"DESTROY") return StepKind::Destroy;
  if (text == u"SELF") return StepKind::Self;
  return std::nullopt;
}

std::optional<InstallStep> ParseStatement(const std::u16string& s) {
  const size_t firstHash = s.find(u'#');
  if (firstHash == std::u16string::npos) return std::nullopt;
  const size_t secondHash = s.find(u'#', firstHash + 1);
  if (secondHash == std::u16string::npos) return std::nullopt;
  const auto kind = KindOf(s.substr(0, firstHash));
  if (!kind) return std::nullopt;
  InstallStep step{*kind, s.substr(firstHash + 1, secondHash - firstHash - 1), s.substr(secondHash + 1)};
  if (step.first.size() > kScriptFieldMax || step.second.size() > kScriptFieldMax) return std::nullopt;
  for (char16_t& c : step.second)
    if (c == u'\'') c = u'"';
  return step;
}

bool IsFull(const std::u16string& p) {
  return (p.size() >= 3 && p[1] == u':' && p[2] == u'\\') || (p.size() >= 3 && p[0] == u'\\' && p[1] == u'\\');
}

bool ClimbsOrEmpty(const std::u16string& name) {
  if (name.empty() || name.back() == u'\\' || name.find(u'/') != std::u16string::npos) return true;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find(u'\\', start);
    if (end == std::u16string::npos) end = name.size();
    const std::u16string part = name.substr(start, end - start);
    if (part.empty() || part == u"." || part == u"..") return true;
    start = end + 1;
  }
  return false;
}

bool ExitCodeIsSuccess(uint32_t code, bool& restart) {
  if (code == 3010 || code == 1641) {
    restart = true;
    return true;
  }
  return code == 0;
}
}  // namespace

std::optional<std::vector<InstallStep>> ParseInstallScript(const std::u16string& script) {
  std::vector<InstallStep> steps;
  size_t at = 0;
  for (;;) {
    while (at < script.size() && IsBlank(script[at])) ++at;
    if (at >= script.size()) break;
    if (script[at] == u'#') {  // a comment runs to the end of its line
      const size_t eol = script.find(u'\n', at);
      if (eol == std::u16string::npos) break;
      at = eol + 1;
      continue;
    }
    const size_t end = script.find(u';', at);
    if (end == std::u16string::npos) break;  // text after the last ";" is no statement
    std::u16string statement = script.substr(at, end - at);
    at = end + 1;
    while (!statement.empty() && IsBlank(statement.back())) statement.pop_back();
    if (statement.empty()) continue;
    if (statement.size() > kScriptStatementMax) return std::nullopt;
    auto step = ParseStatement(statement);
    if (!step) return std::nullopt;
    steps.push_back(std::move(*step));
  }
  if (steps.empty()) return std::nullopt;
  return steps;
}

std::u16string QuoteArgument(const std::u16string& path) {
  std::u16string out = u"\"" + path;
  size_t trailing = 0;
  while (trailing < path.size() && path[path.size() - 1 - trailing] == u'\\') ++trailing;
  out.append(trailing, u'\\');
  return out + u"\"";
}

std::optional<std::u16string> QuoteCommandLine(const std::u16string& commandLine, const std::u16string& folder) {
  size_t at = 0;
  while (at < commandLine.size() && IsBlank(commandLine[at])) ++at;
  std::u16string program, rest;
  if (at < commandLine.size() && commandLine[at] == u'"') {
    const size_t close = commandLine.find(u'"', at + 1);
    if (close == std::u16string::npos) return std::nullopt;
    program = commandLine.substr(at + 1, close - at - 1);
    rest = commandLine.substr(close + 1);
  } else {
    size_t end = at;
    while (end < commandLine.size() && commandLine[end] != u' ' && commandLine[end] != u'\t') ++end;
    program = commandLine.substr(at, end - at);
    rest = commandLine.substr(end);
  }
  if (!rest.empty() && rest[0] != u' ' && rest[0] != u'\t') return std::nullopt;
  if (!IsFull(program)) {
    if (ClimbsOrEmpty(program) || program.find(u':') != std::u16string::npos || !IsFull(folder)) return std::nullopt;
    std::u16string base = folder;
    if (base.back() != u'\\') base += u'\\';
    program = base + program;
  }
  return u"\"" + program + u"\"" + rest;
}

ScriptResult RunInstallScript(const std::vector<InstallStep>& steps, const std::u16string& packageFolder,
                              IInstallPort& port) {
  ScriptResult result;
  for (size_t i = 0; i < steps.size(); ++i) {
    const InstallStep& step = steps[i];
    bool ok = true;
    switch (step.kind) {
      case StepKind::Uninstall:
        if (!port.UninstallKeyExists(step.first)) break;
        [[fallthrough]];
      case StepKind::Install: {
        const auto line = QuoteCommandLine(step.second, packageFolder);
        uint32_t exitCode = 0;
        ok = line && port.RunAndWait(*line, exitCode) && ExitCodeIsSuccess(exitCode, result.restartNeeded);
        break;
      }
      case StepKind::Wait:
      case StepKind::Destroy:
        break;
      case StepKind::Self: {
        std::u16string path = step.second;
        if (!path.empty() && path.front() == u'"') path.erase(0, 1);
        if (!path.empty() && path.back() == u'"') path.pop_back();
        // A name without a folder lies in the package's: the updater takes the update from there.
        if (!IsFull(path) && !ClimbsOrEmpty(path) && path.find(u':') == std::u16string::npos && IsFull(packageFolder))
          path = packageFolder + (packageFolder.back() == u'\\' ? u"" : u"\\") + path;
        const size_t slash = path.find_last_of(u'\\');
        std::u16string copy;
        // A quote would end the updater's one argument and start others.
        ok = slash != std::u16string::npos && IsFull(path) && path.find(u'"') == std::u16string::npos &&
             port.CopyUpdater(copy);
        if (!ok) break;
        const std::u16string updateFolder = path.substr(0, slash);
        if (!port.IsAdministrator() && !port.Start(QuoteArgument(copy))) {
          ok = false;
          break;
        }
        if (!port.Start(QuoteArgument(copy) + u" " + QuoteArgument(updateFolder))) {
          ok = false;
          break;
        }
        ok = false;
        for (int tries = 0; tries < kHandOffTries; ++tries) {
          if (port.PostHandOff()) {
            ok = true;
            break;
          }
          if (tries + 1 < kHandOffTries && !port.Pause()) break;
        }
        if (ok) port.CloseHost();
        break;
      }
    }
    if (!ok) {
      result.failedStep = int(i);
      return result;
    }
  }
  result.ok = true;
  return result;
}

std::optional<std::u16string> ServerFailureMessage(int32_t hresult) {
  switch (hresult & 0xFFFF) {
    case 1223:  // the user said no to the elevation
      return std::nullopt;
    case 1260:
      return std::u16string(u"続行できません\n\nこのタスクはグループポリシーによりブロックされています。");
    default:
      return std::u16string(
          u"ダウンロード・インストールを開始できませんでした。\n\nコンピュータを再起動してから、もう一度ダウンロード・インストールを行ってください。");
  }
}

}  // namespace web
