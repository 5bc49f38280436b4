// The release variant: the helper serves a 32-bit module on 64-bit Windows only.
#include "common/win/reg.h"
#include "modules/hdmi/module/hdmi_shell.h"

namespace hdmi {
bool HelperAllowed() { return CReg::IsWow64(); }
}  // namespace hdmi
