#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <map>
#include <string>

#include "common/core/misc_format.h"
#include "modules/web/web_identity.h"
#include "tests/web/sched_test_util.h"

namespace {

using namespace web;
using webtest::FakeDriver;
using webtest::Notebook;

TEST(Identity, ModelSerialAndVersions) {
  FakeDriver d = Notebook();
  Identity id;
  ASSERT_EQ(ReadIdentity(d, id), 0);
  EXPECT_EQ(id.machine.model, u"QZ-S10ABC");
  EXPECT_EQ(id.machine.serial, u"1AKSA12345");
  EXPECT_EQ(id.machine.bios.major, 1u);
  EXPECT_EQ(id.machine.bios.minor, 23u);
  EXPECT_EQ(id.machine.bios.level, 45u);
  EXPECT_EQ(id.machine.bios.letter, 'A');
  EXPECT_EQ(id.machine.bios.mNumber, 67u);
  EXPECT_EQ(id.ecInterfaceKind, 3);
  EXPECT_EQ(id.machine.ec.major, 2u);
  EXPECT_EQ(id.machine.ec.minor, 10u);
  EXPECT_EQ(id.machine.ec.letter, 0);  // a blank letter is none
  EXPECT_TRUE(d.ecReads.empty());
}

TEST(Identity, ModelWithHyphenAndShortSerial) {
  FakeDriver d = Notebook();
  d.identity[1] = "QZ-S10ABC";
  d.identity[2] = std::string("1AKSA\x07\x00\x00", 8);
  Identity id;
  ASSERT_EQ(ReadIdentity(d, id), 0);
  EXPECT_EQ(id.machine.model, u"QZ-S10ABC");
  EXPECT_EQ(id.machine.serial, u"1AKSA00007");
}

TEST(Identity, EcBytesWhenTheDriverHasNoDirectFunction) {
  struct Case {
    std::optional<uint8_t> kind;
    std::map<uint8_t, uint8_t> bytes;
    std::vector<uint8_t> reads;
    uint8_t storedKind;
  } cases[] = {
      {std::nullopt, {{255, 0}, {254, 0x12}, {253, 0x15}}, {255, 254, 253}, 255},
      {1, {{255, 'B'}, {254, 0x12}, {253, 0x02}, {251, 0x34}, {250, 0x56}}, {255, 254, 253, 251, 250}, 1},
  };
  for (const Case& c : cases) {
    FakeDriver d = Notebook();
    d.ecKind = c.kind;
    d.ecBytes = c.bytes;
    Identity id;
    ASSERT_EQ(ReadIdentity(d, id), 0);
    EXPECT_EQ(id.ecInterfaceKind, c.storedKind);
    EXPECT_EQ(d.ecReads, c.reads);
    EXPECT_EQ(id.machine.ec.level, 12u);
  }
}

TEST(Identity, AnyFailedReadIsADriverError) {
  for (int fault = 0; fault < 5; ++fault) {
    FakeDriver d = Notebook();
    switch (fault) {
      case 0: d.identity.erase(1); break;
      case 1: d.identity.erase(2); break;
      case 2: d.identity.erase(3); break;
      case 3: d.ecFirmware.reset(); break;
      case 4: d.ecKind = 0; break;  // EC bytes then, and none answers
    }
    Identity id;
    EXPECT_EQ(ReadIdentity(d, id), -251) << fault;
  }
}

TEST(InitRecord, MustCoverTheDriverClientField) {
  // The record's layout in a 32-bit and a 64-bit build: five 32-bit fields, then the pointer.
  struct Record32 {
    int32_t a[5];
    uint32_t client;
  };
  struct Record64 {
    int32_t a[5];
    void* client;
  };
  const std::size_t end32 = offsetof(Record32, client) + sizeof(uint32_t);
  const std::size_t end64 = offsetof(Record64, client) + sizeof(void*);
  EXPECT_EQ(CheckInitRecord(false, 24, 3, end32), -253);
  EXPECT_EQ(CheckInitRecord(true, 3, 3, end32), -254);
  EXPECT_EQ(CheckInitRecord(true, 24, 2, end32), -254);
  EXPECT_EQ(CheckInitRecord(true, 20, 3, end32), -254);  // ends before the client
  EXPECT_EQ(CheckInitRecord(true, 24, 3, end32), 0);
  EXPECT_EQ(CheckInitRecord(true, 24, 3, end64), -254);  // a 32-bit host's record in a 64-bit module
  EXPECT_EQ(CheckInitRecord(true, static_cast<int32_t>(sizeof(Record64)), 4, end64), 0);
}

TEST(InitRecord, PreinstallTypeFromBiosTable) {
  using E = std::array<uint8_t, 8>;
  EXPECT_EQ(PreinstallTypeFromBiosTable({E{3, 0, 0, 0, 0, 0, 1, 0}, E{14, 0, 0, 0, 0, 0, 1, 0}}), 1);
  EXPECT_EQ(PreinstallTypeFromBiosTable({E{14, 0, 0, 0, 0, 0, 2, 0}}), 2);
  EXPECT_EQ(PreinstallTypeFromBiosTable({E{13, 0, 0, 0, 0, 0, 1, 0}}), 2);
  EXPECT_EQ(PreinstallTypeFromBiosTable({}), 2);
}

}  // namespace
