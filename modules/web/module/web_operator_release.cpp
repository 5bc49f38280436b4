// The release variant reads its feeds from the maker's support server.
#include "modules/web/module/web_shell.h"

namespace web {
const OperatorSettings& ShellOperatorSettings() { return DefaultOperatorSettings(); }
ServerAccess ShellServerAccess() { return ServerAccess::Elevated; }
RestartPort ShellRestart() { return nullptr; }
}  // namespace web
