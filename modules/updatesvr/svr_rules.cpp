#include "modules/updatesvr/svr_rules.h"

namespace updsvr {
namespace {
char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - u'a' + u'A') : c; }

bool SameText(const std::u16string& a, size_t at, const std::u16string& b) {
  if (a.size() - at < b.size()) return false;
  for (size_t i = 0; i < b.size(); ++i)
    if (Upper(a[at + i]) != Upper(b[i])) return false;
  return true;
}
}  // namespace

bool IsFullPath(const std::u16string& path) {
  size_t rest;
  if (path.size() >= 3 && Upper(path[0]) >= u'A' && Upper(path[0]) <= u'Z' && path[1] == u':' && path[2] == u'\\') {
    rest = 3;
  } else if (path.size() >= 5 && path[0] == u'\\' && path[1] == u'\\' && path[2] != u'\\' && path[2] != u'?' &&
             path[2] != u'.') {
    rest = 2;
  } else {
    return false;
  }
  if (path.find(u'/') != std::u16string::npos || path.find(u'"') != std::u16string::npos) return false;
  // Each component after the root: not empty (but a trailing "\" is), not "." or "..".
  size_t start = rest;
  while (start < path.size()) {
    size_t end = path.find(u'\\', start);
    if (end == std::u16string::npos) end = path.size();
    const std::u16string part = path.substr(start, end - start);
    if (part == u"." || part == u"..") return false;
    if (part.empty() && end != path.size() - 1) return false;
    start = end + 1;
  }
  return true;
}

std::optional<CommandLine> SplitCommandLine(const std::u16string& line) {
  if (line.empty() || line[0] != u'"') return std::nullopt;
  const size_t close = line.find(u'"', 1);
  if (close == std::u16string::npos) return std::nullopt;
  CommandLine out;
  out.program = line.substr(1, close - 1);
  if (!IsFullPath(out.program) || out.program.back() == u'\\') return std::nullopt;
  if (close + 1 < line.size()) {
    if (line[close + 1] != u' ' && line[close + 1] != u'\t') return std::nullopt;
    out.arguments = line.substr(close + 2);
  }
  return out;
}

bool IsInsideFolder(const std::u16string& path, const std::u16string& folder) {
  if (!IsFullPath(path) || !IsFullPath(folder)) return false;
  std::u16string base = folder;
  if (base.back() != u'\\') base += u'\\';
  return path.size() > base.size() && SameText(path, 0, base);
}

namespace {
bool OnLocalDrive(const std::u16string& path) { return IsFullPath(path) && path[1] == u':'; }

bool UpdaterArguments(const std::u16string& arguments, const std::u16string& folder) {
  if (arguments.empty()) return true;
  if (arguments.size() < 2 || arguments.front() != u'"' || arguments.back() != u'"') return false;
  const std::u16string path = arguments.substr(1, arguments.size() - 2);
  return path.find(u'"') == std::u16string::npos && !path.empty() && path.back() != u'\\' && OnLocalDrive(path) &&
         MovedInto(path, folder, folder).has_value();
}

std::u16string WithoutTrailingSlash(std::u16string path) {
  if (!path.empty() && path.back() == u'\\') path.pop_back();
  return path;
}
}  // namespace

std::optional<std::u16string> MovedInto(const std::u16string& path, const std::u16string& from, const std::u16string& to) {
  if (!IsFullPath(path) || !IsFullPath(from) || !IsFullPath(to)) return std::nullopt;
  const std::u16string base = WithoutTrailingSlash(from), target = WithoutTrailingSlash(to);
  if (path.size() == base.size() && SameText(path, 0, base)) return target;
  if (!IsInsideFolder(path, base)) return std::nullopt;
  return target + path.substr(base.size());
}

bool IsFinalPathOf(const std::u16string& finalPath, const std::u16string& opened) {
  const std::u16string prefix = u"\\\\?\\";
  if (finalPath.compare(0, prefix.size(), prefix) != 0 || !OnLocalDrive(opened)) return false;
  const std::u16string rest = finalPath.substr(prefix.size());
  return rest.size() == opened.size() && OnLocalDrive(rest) && SameText(rest, 0, opened);
}

std::optional<CommandLine> CheckCommandLine(const std::u16string& line, const std::u16string& folder, RunForm form) {
  auto parts = SplitCommandLine(line);
  if (!parts || !OnLocalDrive(folder) || !IsInsideFolder(parts->program, folder)) return std::nullopt;
  const std::u16string& args = parts->arguments;
  const bool ok = form == RunForm::Updater
                      ? UpdaterArguments(args, folder)
                      : args.find(u'"') == std::u16string::npos && args.find(u"\\\\") == std::u16string::npos;
  if (!ok) return std::nullopt;
  return parts;
}

bool IsUpdaterHandOff(const std::u16string& windowClass, const std::u16string& title, uint32_t message) {
  return windowClass == kUpdaterClass && title == kUpdaterTitle && message == kUpdaterHandOff;
}

}  // namespace updsvr
