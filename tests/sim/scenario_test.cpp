#include <gtest/gtest.h>

#include "sim/driver/scenario.h"

TEST(Scenario, ReadsEverySection) {
  const char* text =
      "# comment\n[driver]\nversion = 1.0.9.1\nsessions = declined ; trailing comment\n"
      "[identity]\nmodel = PT15KB3456CDEFG\nserial = AB12C 99\nbios = 02 10 20 00 01\n"
      "[ec]\n0x10 = 0x7f\n[functions]\n26 = 02\n70.0x0002 = 01 02\n[status]\n69 = 2\n[busy]\n70 = 3\n"
      "[bios_table]\nentries = 0e 00 00 00 00 00 01 00\nflag = 1\n"
      "[registry]\nSOFTWARE\\Velmorant\\WICKPOST\\WKPTREG\\Enable = dword:0x1\n";
  sim::Scenario s;
  std::string error;
  ASSERT_TRUE(sim::ParseScenario(text, s, error)) << error;
  EXPECT_EQ(s.version, "1.0.9.1");
  EXPECT_EQ(s.sessions, sim::SessionMode::Declined);
  EXPECT_EQ(s.model, "PT15KB3456CDEFG");
  EXPECT_EQ(s.serialPrefix, "AB12C");
  EXPECT_EQ(s.serialNumber, 99u);
  EXPECT_EQ(s.ec[0x10], 0x7f);
  EXPECT_EQ(s.replies.at({70, 2}), std::vector<uint8_t>({1, 2}));
  EXPECT_EQ(s.replies.at({26, -1}), std::vector<uint8_t>({2}));
  EXPECT_EQ(s.status.at(69), 2);
  EXPECT_EQ(s.busy.at(70), 3);
  EXPECT_EQ(s.biosTable.size(), 8u);
  ASSERT_EQ(s.registry.size(), 1u);
  EXPECT_EQ(s.registry[0].path, u"SOFTWARE\\Velmorant\\WICKPOST\\WKPTREG");
  EXPECT_EQ(s.registry[0].name, u"Enable");
  EXPECT_EQ(s.registry[0].data, std::vector<uint8_t>({1, 0, 0, 0}));

  const std::array<uint8_t, 128> block = sim::BuildModelInfo(s);
  EXPECT_EQ(block[95], 15);
  EXPECT_EQ(std::string(block.begin() + 40, block.begin() + 52), "PT15KB3456CD");
  EXPECT_EQ(std::string(block.begin() + 96, block.begin() + 100), "DEFG");
}

TEST(Scenario, ErrorsNameTheLine) {
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"[driver]\nversion = 1.0.8.0\nsessions = maybe\n", "line 3: bad entry 'sessions' in [driver]"},
      {"model = X\n", "line 1: expected 'key = value' inside a section"},
      {"[nowhere]\n", "line 1: unknown section [nowhere]"},
      {"[identity]\nmodel = 12345678901234567890\n", "line 2: bad entry 'model' in [identity]"},
      {"[ec]\n256 = 1\n", "line 2: bad entry '256' in [ec]"},
      {"[functions]\n70 = 1 2 3\n", "line 2: bad entry '70' in [functions]"},
      {"[identity]\nserial = ABCD 12\n", "line 2: bad entry 'serial' in [identity]"},
      {"[bios_table]\nentries = 01 02\n", "line 2: bad entry 'entries' in [bios_table]"},
      {"[registry]\nNoBackslash = dword:1\n", "line 2: bad entry 'NoBackslash' in [registry]"},
  };
  for (const Case& c : cases) {
    sim::Scenario s;
    std::string error;
    EXPECT_FALSE(sim::ParseScenario(c.text, s, error)) << c.text;
    EXPECT_EQ(error, c.error);
  }
}
