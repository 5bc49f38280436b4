#include "common/win/authority.h"

#include "common/core/authority_rules.h"
#include "common/win/unique_handle.h"

namespace {
const DWORD kGroupRids[][2] = {
    {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS},
    {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_GUESTS},
};
// Information classes of Vista; XP's GetTokenInformation refuses them.
const auto kTokenElevationType = static_cast<TOKEN_INFORMATION_CLASS>(18);
const auto kTokenLinkedToken = static_cast<TOKEN_INFORMATION_CLASS>(19);

// `token` null: the calling thread's effective token.
bool Member(HANDLE token, unsigned group, bool& member) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID sid = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, kGroupRids[group][0], kGroupRids[group][1], 0, 0, 0, 0, 0, 0, &sid))
    return false;
  BOOL is = FALSE;
  const bool ok = CheckTokenMembership(token, sid, &is) != FALSE;
  FreeSid(sid);
  member = ok && is;
  return ok;
}

UniqueHandle OwnToken() {
  HANDLE token = nullptr;
  if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token) ||
      OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
    return UniqueHandle(token);
  return UniqueHandle();
}

class WinTokenFacts : public authority::ITokenFacts {
 public:
  std::optional<authority::Elevation> ElevationType() override {
    DWORD type = 0, size = 0;
    if (!token_ || !GetTokenInformation(token_.get(), kTokenElevationType, &type, sizeof type, &size) ||
        type < 1 || type > 3)
      return std::nullopt;
    return static_cast<authority::Elevation>(type);
  }
  std::optional<bool> EffectiveMember() override {
    bool member = false;
    return Member(nullptr, AUTHORITY_ADMINISTRATORS, member) ? std::optional<bool>(member) : std::nullopt;
  }
  std::optional<bool> LinkedMember() override {
    HANDLE raw = nullptr;
    DWORD size = 0;
    if (!token_ || !GetTokenInformation(token_.get(), kTokenLinkedToken, &raw, sizeof raw, &size)) return std::nullopt;
    UniqueHandle linked(raw);
    bool member = false;
    if (Member(linked.get(), AUTHORITY_ADMINISTRATORS, member)) return member;
    // CheckTokenMembership takes impersonation tokens only; a caller with the TCB privilege
    // receives a primary one.
    HANDLE copy = nullptr;
    if (!DuplicateToken(linked.get(), SecurityIdentification, &copy)) return std::nullopt;
    UniqueHandle identification(copy);
    return Member(identification.get(), AUTHORITY_ADMINISTRATORS, member) ? std::optional<bool>(member) : std::nullopt;
  }

 private:
  UniqueHandle token_ = OwnToken();
};
}  // namespace

bool CAuthority::IsMemberOf(unsigned group) {
  bool member = false;
  return group < ARRAYSIZE(kGroupRids) && Member(nullptr, group, member) && member;
}

bool CAuthority::IsAdministrator() {
  WinTokenFacts facts;
  return authority::IsAdministratorUser(facts);
}
