#include "common/win/authority.h"

namespace {
const DWORD kGroupRids[][2] = {
    {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS},
    {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_GUESTS},
};
}

bool CAuthority::IsMemberOf(unsigned group) {
  if (group >= ARRAYSIZE(kGroupRids)) return false;
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID sid = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, kGroupRids[group][0], kGroupRids[group][1], 0, 0, 0, 0, 0, 0, &sid))
    return false;
  BOOL member = FALSE;
  const bool ok = CheckTokenMembership(nullptr, sid, &member) != FALSE;
  FreeSid(sid);
  return ok && member;
}
