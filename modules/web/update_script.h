// Install scripts of the update catalogue and the running of their steps.
//
// A script is statements separated by ";": KIND#FIRST#SECOND with KIND one of UNINST, INST,
// WAIT, DESTROY, SELF. Every program is started by a quoted full path: a program named
// relatively is looked for in the package's folder only, never by a search.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace web {

enum class StepKind { Uninstall = 1, Install = 2, Destroy = 3, Wait = 4, Self = 5 };

struct InstallStep {
  StepKind kind;
  std::u16string first;
  std::u16string second;
};

constexpr size_t kScriptStatementMax = 779;
constexpr size_t kScriptFieldMax = 259;

// The steps in script order; nothing when the script is malformed: a statement without two
// "#", an unknown kind, a part over its limit, or no step at all.
std::optional<std::vector<InstallStep>> ParseInstallScript(const std::u16string& script);

// A command line of a script with its program as a quoted full path. A relative program is
// taken from `folder` (a full path); nothing when the program climbs out of it, is empty or
// its quotes do not close.
std::optional<std::u16string> QuoteCommandLine(const std::u16string& commandLine, const std::u16string& folder);

// A path as one argument: in double quotes, with any trailing "\" doubled so that it does not
// escape the closing quote.
std::u16string QuoteArgument(const std::u16string& path);

// What the runner needs of the machine: the elevated server's calls, or the same in process.
class IInstallPort {
 public:
  virtual ~IInstallPort() = default;
  // HKLM "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\" + name, in either view.
  virtual bool UninstallKeyExists(const std::u16string& name) = 0;
  // Runs and waits; false when it could not start (or was refused), else its exit code.
  virtual bool RunAndWait(const std::u16string& commandLine, uint32_t& exitCode) = 0;
  virtual bool Start(const std::u16string& commandLine) = 0;
  // Copies the module's updater into the download folders (where the server runs programs
  // from); the copy's path.
  virtual bool CopyUpdater(std::u16string& copy) = 0;
  virtual bool IsAdministrator() = 0;
  // One try to post the updater its hand-off with the host's process id.
  virtual bool PostHandOff() = 0;
  // Waits a second before the next try; false when the run is being cancelled.
  virtual bool Pause() = 0;
  virtual void CloseHost() = 0;
};

struct ScriptResult {
  bool ok = false;
  bool restartNeeded = false;  // an installer ended with 3010 or 1641
  int failedStep = -1;         // index of the step that failed
};

// Runs the steps in order; the first failing step ends the run. An installer or uninstaller
// fails when it cannot start or ends with an exit code other than 0, 3010 and 1641.
// `packageFolder` is where the package was extracted (a full path).
ScriptResult RunInstallScript(const std::vector<InstallStep>& steps, const std::u16string& packageFolder,
                              IInstallPort& port);

constexpr int kHandOffTries = 120;

// The message shown when the elevated server cannot be had: policy (1260) and any other
// failure have one; the user's refusal of the elevation (1223) has none.
std::optional<std::u16string> ServerFailureMessage(int32_t hresult);

}  // namespace web
