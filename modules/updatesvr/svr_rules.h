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

bool IsUpdaterHandOff(const std::u16string& windowClass, const std::u16string& title, uint32_t message);

}  // namespace updsvr
