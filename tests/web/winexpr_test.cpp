// The "wkpt:os" expression against Windows releases, editions, processors and service packs.
#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

#include "common/core/winversion_rules.h"
#include "modules/web/web_filter.h"

namespace {
// Product types as GetProductInfo answers: Vista's, and those of 7 to 8.1.
constexpr uint32_t kUltimate = 1, kHomePremium = 3, kEnterprise = 4, kBusiness = 6, kBusinessN = 16,
                   kHomePremiumN = 26, kUltimateN = 28, kProfessional = 48, kProfessionalN = 49, kCoreN = 98,
                   kCoreSingleLanguage = 100, kCore = 101;

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
  // What the edition query, asked as Vista, gives for 8 Pro and the 8.1 core edition.
  const web::WindowsRelease eightPro{WINVER_8, ARCH_64BIT, 0, kBusiness};
  const web::WindowsRelease eightOneCore{WINVER_81, ARCH_64BIT, 0, kHomePremium};
  const web::WindowsRelease eightUltimateN{WINVER_8, ARCH_64BIT, 0, kUltimateN};
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
      {u"E", eightPro, true},
      {u"E.B", eightPro, true},
      {u"E.P", eightPro, false},
      {u"F", eightOneCore, true},
      {u"F.P", eightOneCore, true},
      {u"E", eightUltimateN, false},  // product types outside the four editions fail the token
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

namespace {
// GetProductInfo as documented: on Vista and later it maps this Windows' product type onto
// those of the version asked for, when that is older; a version below 6 is invalid; Windows
// XP has no such function.
struct Edition {
  uint32_t major, minor, product;  // the running release and its own product type
};

class DocumentedProductInfo : public web::IProductInfo {
 public:
  explicit DocumentedProductInfo(const Edition& e) : e_(e) {}
  std::optional<uint32_t> ProductType(uint32_t major, uint32_t minor, uint32_t, uint32_t) override {
    if (e_.major < 6 || major < 6) return std::nullopt;
    if (major > 6 || minor > 0 || (e_.major == 6 && e_.minor == 0)) return e_.product;
    switch (e_.product) {  // onto Vista's types
      case kProfessional: return kBusiness;
      case kProfessionalN: return kBusinessN;
      case kCore:
      case kCoreSingleLanguage: return kHomePremium;
      case kCoreN: return kHomePremiumN;
      default: return e_.product;
    }
  }

 private:
  Edition e_;
};
}  // namespace

TEST(WindowsExpression, EditionAskedAsVista) {
  const struct {
    const char* what;
    Edition edition;
    web::WindowsRelease release;  // without the product type
    std::vector<std::pair<const char16_t*, bool>> truth;
  } cases[] = {
      {"7 Professional", {6, 1, kProfessional}, {WINVER_7, ARCH_64BIT, 1, 0},
       {{u"S", true}, {u"S.B.1.A", true}, {u"S.1.AX.3", true}, {u"S.P", false}, {u"S.E", false}}},
      {"8 (core)", {6, 2, kCore}, {WINVER_8, ARCH_64BIT, 0, 0}, {{u"E", true}, {u"E.P.0", true}, {u"E.B", false}}},
      {"8.1 Pro", {6, 3, kProfessional}, {WINVER_81, ARCH_X86, 0, 0},
       {{u"F", true}, {u"F.B.I", true}, {u"F.U", false}, {u"F.B.A", false}}},
      {"8.1 Enterprise", {6, 3, kEnterprise}, {WINVER_81, ARCH_64BIT, 0, 0},
       {{u"F.E", true}, {u"F.BE", true}, {u"F.B", false}}},
      // XP skips the edition: Home (VER_SUITE_PERSONAL) and Professional read alike.
      {"XP Home", {5, 1, 0}, {WINVER_XP, ARCH_X86, 3, 0}, {{u"X", true}, {u"X.3", true}, {u"S", false}}},
      {"XP Professional", {5, 1, 0}, {WINVER_XP, ARCH_X86, 2, 0}, {{u"X.2", true}, {u"X.3", false}, {u"V", false}}},
      {"Vista Business", {6, 0, kBusiness}, {WINVER_VISTA, ARCH_X86, 2, 0},
       {{u"V.B.2", true}, {u"V.BU", true}, {u"V.P", false}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DocumentedProductInfo info(c.edition);
    web::WindowsRelease release = c.release;
    release.productType = web::ExpressionEdition(c.edition.major, info);
    for (const auto& [expression, expected] : c.truth) {
      const std::u16string e = expression;
      EXPECT_EQ(web::WindowsExpressionTrue(e, release), expected) << std::string(e.begin(), e.end());
    }
  }
  // Asked with its own version, 7 Professional names none of the four editions.
  DocumentedProductInfo seven({6, 1, kProfessional});
  EXPECT_EQ(seven.ProductType(6, 1, 1, 0), kProfessional);
  EXPECT_FALSE(web::WindowsExpressionTrue(u"S", {WINVER_7, ARCH_64BIT, 1, kProfessional}));
}
