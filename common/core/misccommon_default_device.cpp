// Built into each device variant, so that a program gets its variant's device by linking it.
#include "common/core/misccommon.h"

namespace MiscCommon {
CMiscCommon::CMiscCommon() : CMiscCommon(DefaultDevice()) {}
}  // namespace MiscCommon
