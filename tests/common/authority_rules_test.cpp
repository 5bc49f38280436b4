// The linked-token rule over tokens shaped as Microsoft documents them: XP has no elevation
// information class; under User Account Control an administrator's unelevated token is
// Limited (Administrators deny-only) with the full token linked, an elevated one is Full with
// the filtered token linked; standard users, UAC switched off and the built-in Administrator
// give Default tokens, which have no linked token.
#include <gtest/gtest.h>

#include "common/core/authority_rules.h"

namespace {
struct Logon {
  bool vista = true;  // the TokenElevationType class exists
  bool uac = true;
  bool administrator = true;
  bool elevated = false;
  bool builtInAdministrator = false;  // not filtered under the default policy
  bool linkedQueryFails = false;
};

class DocumentedToken : public authority::ITokenFacts {
 public:
  explicit DocumentedToken(const Logon& l) : l_(l) {}
  std::optional<authority::Elevation> ElevationType() override {
    if (!l_.vista) return std::nullopt;
    if (!Split()) return authority::Elevation::Default;
    return l_.elevated ? authority::Elevation::Full : authority::Elevation::Limited;
  }
  std::optional<bool> EffectiveMember() override { return l_.administrator && (!Split() || l_.elevated); }
  std::optional<bool> LinkedMember() override {
    if (!l_.vista || !Split() || l_.linkedQueryFails) return std::nullopt;  // no linked token
    return !l_.elevated;  // the full token is linked to the limited one, and the other way round
  }

 private:
  bool Split() const { return l_.uac && l_.administrator && !l_.builtInAdministrator; }
  Logon l_;
};
}  // namespace

TEST(LinkedTokenRule, AnAdministratorIsOneElevatedOrNot) {
  const struct {
    const char* what;
    Logon logon;
    bool administrator;
  } cases[] = {
      {"XP administrator", {false, false, true, false, false, false}, true},
      {"XP limited user", {false, false, false, false, false, false}, false},
      {"Vista+ administrator, not elevated", {true, true, true, false, false, false}, true},
      {"Vista+ administrator, elevated", {true, true, true, true, false, false}, true},
      {"Vista+ standard user", {true, true, false, false, false, false}, false},
      {"Vista+ administrator, UAC off", {true, false, true, false, false, false}, true},
      {"Vista+ standard user, UAC off", {true, false, false, false, false, false}, false},
      {"built-in Administrator", {true, true, true, false, true, false}, true},
      {"linked token unreadable", {true, true, true, false, false, true}, false},
  };
  for (const auto& c : cases) {
    DocumentedToken token(c.logon);
    EXPECT_EQ(authority::IsAdministratorUser(token), c.administrator) << c.what;
  }
}
