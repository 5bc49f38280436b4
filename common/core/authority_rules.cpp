#include "common/core/authority_rules.h"

namespace authority {
bool IsAdministratorUser(ITokenFacts& facts) {
  if (facts.ElevationType() == Elevation::Limited) return facts.LinkedMember().value_or(false);
  return facts.EffectiveMember().value_or(false);
}
}  // namespace authority
