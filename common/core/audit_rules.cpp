#include "common/core/audit_rules.h"

#include "common/core/winversion_rules.h"

namespace audit {
namespace {
const char16_t kComplete[] = u"IMAGE_STATE_COMPLETE";
const char16_t kUndeployable[] = u"IMAGE_STATE_UNDEPLOYABLE";

bool Windows2000(unsigned flags, IAuditFacts& facts) {
  if ((flags & AUDIT_CHECK_CLONETAG) && !facts.HasCloneTag()) return true;
  return (flags & AUDIT_CHECK_SYSPREP) && facts.SysprepShutdownOpens();
}

bool VistaOr7(uint16_t osType, IAuditFacts& facts) {
  const std::optional<std::u16string> state = facts.ImageState();
  if (state && *state != kComplete && *state != kUndeployable) return true;
  if (osType != WINVER_7) return false;
  const std::optional<uint32_t> preinstall = facts.PreinstallAudit();
  return preinstall && *preinstall != 0;
}

bool Windows8(IAuditFacts& facts) {
  if (const std::optional<uint32_t> preinstall = facts.PreinstallAudit()) return *preinstall != 0;
  const std::optional<std::u16string> state = facts.ImageState();
  return state && *state != kComplete;  // an undeployable image counts as audit here
}
}  // namespace

bool IsAuditMode(uint16_t osType, unsigned flags, IAuditFacts& facts) {
  switch (osType) {
    case WINVER_XP: {
      const std::optional<uint32_t> inProgress = facts.AuditInProgress();
      return inProgress && *inProgress == 1;
    }
    case WINVER_2000: return Windows2000(flags, facts);
    case WINVER_VISTA:
    case WINVER_7: return VistaOr7(osType, facts);
    case WINVER_8:
    case WINVER_81: return Windows8(facts);
    default: return false;
  }
}
}  // namespace audit
