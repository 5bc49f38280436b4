#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/core/audit_rules.h"
#include "common/core/winversion_rules.h"

namespace {
// Registry and file facts of one machine; records what the rules asked for.
struct Facts : audit::IAuditFacts {
  std::optional<uint32_t> auditInProgress, preinstall;
  std::optional<std::u16string> imageState;
  bool cloneTag = true, sysprep = false;
  std::vector<std::string> asked;

  std::optional<uint32_t> AuditInProgress() override { return asked.push_back("AuditInProgress"), auditInProgress; }
  bool HasCloneTag() override { return asked.push_back("CloneTag"), cloneTag; }
  bool SysprepShutdownOpens() override { return asked.push_back("sysprep"), sysprep; }
  std::optional<std::u16string> ImageState() override { return asked.push_back("ImageState"), imageState; }
  std::optional<uint32_t> PreinstallAudit() override { return asked.push_back("Audit"), preinstall; }
};
constexpr unsigned kBoth = AUDIT_CHECK_CLONETAG | AUDIT_CHECK_SYSPREP;
}  // namespace

TEST(AuditRules, DecidesByRelease) {
  struct Case {
    const char* name;
    uint16_t os;
    Facts facts;
    bool expected;
  };
  auto with = [](auto set) {
    Facts f;
    set(f);
    return f;
  };
  const Case cases[] = {
      {"XP in audit", WINVER_XP, with([](Facts& f) { f.auditInProgress = 1; }), true},
      {"XP value 2", WINVER_XP, with([](Facts& f) { f.auditInProgress = 2; }), false},
      {"XP no value", WINVER_XP, Facts(), false},
      {"2000 without CloneTag", WINVER_2000, with([](Facts& f) { f.cloneTag = false; }), true},
      {"2000 sysprep present", WINVER_2000, with([](Facts& f) { f.sysprep = true; }), true},
      {"2000 deployed", WINVER_2000, Facts(), false},
      {"7 undeployable, no Audit", WINVER_7, with([](Facts& f) { f.imageState = u"IMAGE_STATE_UNDEPLOYABLE"; }), false},
      {"7 generalize", WINVER_7, with([](Facts& f) { f.imageState = u"IMAGE_STATE_GENERALIZE_RESEAL_TO_AUDIT"; }), true},
      {"7 complete but Audit=1", WINVER_7,
       with([](Facts& f) { f.imageState = u"IMAGE_STATE_COMPLETE", f.preinstall = 1; }), true},
      {"Vista ignores Audit", WINVER_VISTA,
       with([](Facts& f) { f.imageState = u"IMAGE_STATE_COMPLETE", f.preinstall = 1; }), false},
      {"7 state compared exactly", WINVER_7, with([](Facts& f) { f.imageState = u"image_state_complete"; }), true},
      {"8 undeployable", WINVER_8, with([](Facts& f) { f.imageState = u"IMAGE_STATE_UNDEPLOYABLE"; }), true},
      {"8 Audit=0 wins", WINVER_8, with([](Facts& f) { f.preinstall = 0, f.imageState = u"IMAGE_STATE_UNDEPLOYABLE"; }),
       false},
      {"8.1 Audit=5", WINVER_81, with([](Facts& f) { f.preinstall = 5; }), true},
      {"8.1 nothing readable", WINVER_81, Facts(), false},
      {"Server 2012 never", WINVER_SERVER2012, with([](Facts& f) { f.preinstall = 1, f.auditInProgress = 1; }), false},
  };
  for (Case c : cases) EXPECT_EQ(audit::IsAuditMode(c.os, kBoth, c.facts), c.expected) << c.name;
}

TEST(AuditRules, ReadsOnlyWhatTheRuleNeeds) {
  Facts w2000;
  w2000.cloneTag = false;
  w2000.sysprep = true;
  EXPECT_TRUE(audit::IsAuditMode(WINVER_2000, kBoth, w2000));
  EXPECT_EQ(w2000.asked, std::vector<std::string>{"CloneTag"});

  Facts w8;
  w8.preinstall = 0;
  EXPECT_FALSE(audit::IsAuditMode(WINVER_8, kBoth, w8));
  EXPECT_EQ(w8.asked, std::vector<std::string>{"Audit"}) << "with Audit readable, ImageState is not read";

  Facts sysprepOnly;
  sysprepOnly.cloneTag = false;
  EXPECT_FALSE(audit::IsAuditMode(WINVER_2000, AUDIT_CHECK_SYSPREP, sysprepOnly));
}
