// The "wkpt:os" expression against Windows releases, editions, processors and service packs.
#include <gtest/gtest.h>

#include "common/core/winversion_rules.h"
#include "modules/web/web_filter.h"

namespace {
// Product types as GetProductInfo answers.
constexpr uint32_t kUltimate = 1, kHomePremium = 3, kEnterprise = 4, kBusiness = 6, kBusinessN = 16,
                   kProfessional = 48, kCore = 101;

struct Case {
  const char16_t* expression;
  web::WindowsRelease release;
  bool expected;
};
}  // namespace

TEST(WindowsExpression, Table) {
  const web::WindowsRelease vistaBusiness1{WINVER_VISTA, ARCH_X86, 1, kBusiness};
  const web::WindowsRelease vistaUltimate1{WINVER_VISTA, ARCH_64BIT, 1, kUltimate};
  const web::WindowsRelease vistaPremium1{WINVER_VISTA, ARCH_X86, 1, kHomePremium};
  const web::WindowsRelease vistaBusiness2{WINVER_VISTA, ARCH_X86, 2, kBusiness};
  const web::WindowsRelease seven64Ultimate1{WINVER_7, ARCH_64BIT, 1, kUltimate};
  const web::WindowsRelease seven32Ultimate1{WINVER_7, ARCH_X86, 1, kUltimate};
  const web::WindowsRelease seven64Premium1{WINVER_7, ARCH_64BIT, 1, kHomePremium};
  const web::WindowsRelease seven64Premium0{WINVER_7, ARCH_64BIT, 0, kHomePremium};
  const web::WindowsRelease xp3{WINVER_XP, ARCH_X86, 3, 0};
  const web::WindowsRelease xp2{WINVER_XP, ARCH_X86, 2, 0};
  const web::WindowsRelease server2008r2{WINVER_SERVER2008R2, ARCH_64BIT, 1, kEnterprise};
  const web::WindowsRelease eightEnterprise{WINVER_8, ARCH_64BIT, 0, kEnterprise};
  const web::WindowsRelease eightPro{WINVER_8, ARCH_64BIT, 0, kProfessional};
  const web::WindowsRelease eightOneCore{WINVER_81, ARCH_64BIT, 0, kCore};
  const web::WindowsRelease eightOneBusinessN{WINVER_81, ARCH_X86, 0, kBusinessN};
  const web::WindowsRelease unknownArch{WINVER_7, ARCH_UNKNOWN, 1, kUltimate};
  const Case cases[] = {
      // The examples.
      {u"V.BU.1", vistaBusiness1, true},
      {u"V.BU.1", vistaUltimate1, true},
      {u"V.BU.1", vistaPremium1, false},
      {u"V.BU.1", vistaBusiness2, false},
      {u"S.1.AX.3", seven64Ultimate1, true},
      {u"S.1.AX.3", seven64Premium1, true},
      {u"S.1.AX.3", seven32Ultimate1, false},
      {u"S.1.AX.3", seven64Premium0, false},
      {u"S.1.AX.3", xp3, true},
      {u"S.1.AX.3", xp2, false},
      // A comma ends the scan: V,S is tested for V only.
      {u"V,S", seven64Ultimate1, false},
      {u"V,S", vistaBusiness1, true},
      {u"VS", seven64Ultimate1, true},
      // The edition list clears all four marks first.
      {u"S.B", seven64Premium1, false},
      {u"S.BP", seven64Premium1, true},
      {u"S", seven64Premium1, true},
      {u"s.p.a", seven64Premium1, true},  // upper-cased
      {u"S.I", seven64Premium1, false},
      {u"S.IA", seven64Premium1, true},
      {u"S", unknownArch, false},
      // Releases without a letter: every expression is false there.
      {u"S", server2008r2, false},
      {u"X", xp2, true},
      {u"X.2", xp2, true},
      {u"X.02", xp2, true},
      {u"X.3", xp2, false},
      {u"X", seven64Ultimate1, false},
      {u"E.E", eightEnterprise, true},
      {u"E.EP", eightEnterprise, true},
      {u"E.BUP", eightEnterprise, false},
      {u"E", eightPro, false},  // product types outside the four editions fail the token
      {u"F", eightOneCore, false},
      {u"F.B.0.I", eightOneBusinessN, true},
      {u"F.B.0.A", eightOneBusinessN, false},
      {u"E", eightOneBusinessN, false},
      // Where the scan stops.
      {u"", xp3, false},
      {u"Q", xp3, false},
      {u".X", xp3, false},
      {u"S.BUEPBUEP.1X", xp3, false},  // a token of 12 characters ends the scan
      {u"S.BUEPBUE.1X", xp3, true},     // 11 characters is fine
      {u"X.123", xp3, false},           // "X.12" then "3": neither passes
      {u"SX", xp3, true},
  };
  for (const Case& c : cases) {
    const std::u16string e = c.expression;
    EXPECT_EQ(web::WindowsExpressionTrue(e, c.release), c.expected)
        << std::string(e.begin(), e.end()) << " on release " << c.release.osType << " arch " << c.release.architecture
        << " sp " << c.release.servicePack << " product " << c.release.productType;
  }
}
