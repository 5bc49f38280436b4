// The release variant offers from the maker's support server.
#include "modules/warranty/module/xwpk_shell.h"

namespace xwpk {
const Settings& ShellSettings() { return DefaultSettings(); }
}  // namespace xwpk
