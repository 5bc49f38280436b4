// The host's command line: start modes and the installers' configuration options.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace host {

// A machine-wide DWORD under HKEY_LOCAL_MACHINE that a configuration option writes.
struct MachineWrite {
  std::u16string subKey;
  std::u16string name;
  uint32_t value;
};

struct CommandLine {
  bool startup = false;        // "/STARTUP": end silently when no module is switched on
  bool setting = false;        // "/SETTING": open the settings of the resident instance, or only them
  bool configuration = false;  // "/SHOWTAB", "/HIDETAB" or "/INITIALDLG" seen: write and end
  std::vector<MachineWrite> writes;
};

// `arguments` is the command line without the program name. "/SHOWTAB" and "/HIDETAB" take
// effect only for an administrator; otherwise their argument is read as an ordinary token.
CommandLine ParseCommandLine(const std::u16string& arguments, bool isAdministrator);

// The arguments of a full command line: the program name (quoted or not) and the blanks
// after it are skipped.
std::u16string ArgumentsOf(const std::u16string& commandLine);

extern const char16_t kHostKey[];  // "Software\Velmorant\WICKPOST"

}  // namespace host
