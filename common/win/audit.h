// CAudit: whether Windows is still in factory deployment or audit mode (nothing may be shown or saved).
#pragma once
#include <windows.h>

#include "common/core/audit_rules.h"

class CAudit {
 public:
  virtual ~CAudit() = default;
  bool IsAuditMode(unsigned flags);
};
