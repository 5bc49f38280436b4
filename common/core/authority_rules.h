// Whether the user is an administrator, read from the token's elevation facts. Under User
// Account Control an administrator's everyday token is filtered: its Administrators group is
// deny-only, and only the linked full token shows the membership.
#pragma once
#include <optional>

namespace authority {
// TOKEN_ELEVATION_TYPE as GetTokenInformation(TokenElevationType) reports it.
enum class Elevation { Default = 1, Full = 2, Limited = 3 };

class ITokenFacts {
 public:
  virtual ~ITokenFacts() = default;
  // Nothing where the information class does not exist (Windows XP) or the query fails.
  virtual std::optional<Elevation> ElevationType() = 0;
  // Administrators membership of the effective token, and of the linked token; nothing on failure.
  virtual std::optional<bool> EffectiveMember() = 0;
  virtual std::optional<bool> LinkedMember() = 0;
};

// The user is an administrator, elevated or not: a limited token asks its linked token.
bool IsAdministratorUser(ITokenFacts& facts);
}  // namespace authority
