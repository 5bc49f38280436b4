// What the update server agrees to run and to post. It runs elevated, so every request is
// checked here before anything starts: programs by quoted full path only, never found by a
// search, and only the updater's hand-off message to the updater's window.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace updsvr {

// The updater's window and the one message the server posts to it.
constexpr char16_t kUpdaterClass[] = u"WKPTUPDATE";
constexpr char16_t kUpdaterTitle[] = u"WKPTUPDATE_ADMIN";
constexpr uint32_t kUpdaterHandOff = 0x8000;

struct CommandLine {
  std::u16string program;    // full path, without the quotes
  std::u16string arguments;  // after the blank that follows the closing quote
};

// "X:\..." or "\\server\share\..." with no "." or ".." component and no "/".
bool IsFullPath(const std::u16string& path);

// Splits a command line whose first token is a double-quoted full path; nothing for an
// unquoted or relative program.
std::optional<CommandLine> SplitCommandLine(const std::u16string& line);

// Whether a full path lies below `folder` (compared without regard to ASCII case).
bool IsInsideFolder(const std::u16string& path, const std::u16string& folder);

// The two command lines the server runs, each with a fixed form. Both name their program by a
// quoted full path inside `folder`, which must be on a local drive.
//  - An installer, uninstaller or package: arguments without a double quote (which would
//    open or close an argument of its own) and without a network path ("\\").
//  - The updater: no argument, or one: a quoted folder, `folder` itself or below it, with no
//    quote inside and no trailing "\" (which would escape the closing quote).
enum class RunForm { Installer, Updater };
std::optional<CommandLine> CheckCommandLine(const std::u16string& line, const std::u16string& folder, RunForm form);

// `path`, `from` itself or below it, moved to the same place in `to`; nothing when it lies
// elsewhere.
std::optional<std::u16string> MovedInto(const std::u16string& path, const std::u16string& from, const std::u16string& to);

// Whether an opened file's final path (GetFinalPathNameByHandleW, "\\?\X:\...") is the
// local path it was opened by: not where a junction or link on the way led.
bool IsFinalPathOf(const std::u16string& finalPath, const std::u16string& opened);

bool IsUpdaterHandOff(const std::u16string& windowClass, const std::u16string& title, uint32_t message);

}  // namespace updsvr
