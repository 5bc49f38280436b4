// The battery packs the filter sees, read from the simulated driver on both interfaces.
#include <gtest/gtest.h>

#include "modules/web/web_identity.h"
#include "tests/sim/sim_fixture.h"

namespace {

TEST(DriverBatteryPacks, BothInterfacesGiveTheSamePacks) {
  const std::string packs = "pack0 = VLB-INT1 4321 2024/04/02\npack1 = VLB-EXT2 8765 2023/11/20\n";
  for (const char* kind : {"new", "old"}) {
    SimNotebook nb(std::string("[battery]\ninterface = ") + kind + "\n" + packs);
    ASSERT_EQ(nb.client->Open(), MiscCommon::MC_OK);
    MiscCommon::ClientPacketPort port(nb.client.get());
    const uint8_t ecKind = std::string(kind) == "new" ? web::kEcKindDirect : 1;
    const auto found = web::DriverBatteryPacks(port, ecKind).Packs();
    ASSERT_EQ(found.size(), 2u) << kind;
    EXPECT_EQ(found[0].name, u"VLB-INT1") << kind;
    EXPECT_EQ(found[0].identifier, 240402'04321ull) << kind;
    EXPECT_EQ(found[1].name, u"VLB-EXT2") << kind;
    EXPECT_EQ(found[1].identifier, 231120'08765ull) << kind;
  }
}

TEST(DriverBatteryPacks, AnEmptyBayIsNoPack) {
  SimNotebook nb("[battery]\ninterface = old\npack1 = VLB-EXT2 8765 2023/11/20\n");
  ASSERT_EQ(nb.client->Open(), MiscCommon::MC_OK);
  MiscCommon::ClientPacketPort port(nb.client.get());
  const auto found = web::DriverBatteryPacks(port, 1).Packs();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].name, u"VLB-EXT2");
}

TEST(BiosTable, ReadsEveryEntryForThePreinstallType) {
  SimNotebook nb("[bios_table]\nentries = 10 00 00 00 00 00 00 00 0e 00 00 00 00 00 01 00\n");
  ASSERT_EQ(nb.client->Open(), MiscCommon::MC_OK);
  MiscCommon::ClientPacketPort port(nb.client.get());
  const auto table = web::ReadBiosTable(port);
  ASSERT_TRUE(table);
  ASSERT_EQ(table->size(), 2u);
  EXPECT_EQ(web::PreinstallTypeFromBiosTable(*table), 1);
  MiscCommon::ClientPacketPort none(nullptr);
  EXPECT_FALSE(web::ReadBiosTable(none));
}

}  // namespace
