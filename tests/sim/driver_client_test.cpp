// The driver client against the simulated driver, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "common/core/bytes.h"
#include "common/core/misc_packets.h"
#include "common/core/platform.h"
#include "common/core/win32_constants.h"
#include "tests/sim/sim_fixture.h"

using namespace MiscCommon;
using win32::RegRoot;

namespace {
// Function 70: 16-bit parameter at 8 -> 16-bit result at 8.
int Call70(CMiscCommon& client, uint16_t parameter, uint8_t& status, uint16_t& result, unsigned retries = 1) {
  uint8_t p[12];
  InitPacket(p, sizeof p, 70, kPacketClassOrdinary, 12, 12);
  bytes::PutU16(p + 8, parameter);
  const int rc = client.CallMiscFunction(p, sizeof p, retries, 0);
  status = p[0];
  result = bytes::GetU16(p + 8);
  return rc;
}

bool Contains(const std::vector<uint8_t>& hay, const std::vector<uint8_t>& needle) {
  return std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) != hay.end();
}

const std::vector<uint8_t> kFunctionCodeBytes = {0x44, 0x29, 0x22, 0x00};  // IOCTL_MISC_FUNCTION, little-endian
}  // namespace

TEST(DriverClient, AuthenticatedSessionEnciphersEveryCapsule) {
  SimNotebook nb;
  ASSERT_EQ(nb.client->Open(), MC_OK) << nb.LastError();
  EXPECT_TRUE(nb.client->HasSession());
  uint8_t status = 0xFF;
  uint16_t result = 0;
  ASSERT_EQ(Call70(*nb.client, 1, status, result), MC_OK);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(result, 0x64);
  ASSERT_EQ(nb.spy->Count(IOCTL_MISC_CAPSULE), 1u);
  const Exchange& wire = nb.spy->log.back();
  ASSERT_EQ(wire.in.size(), CapsuleLength(12 + kRequestOverhead));
  EXPECT_EQ(bytes::GetU32(&wire.in[0]), 36u);
  EXPECT_FALSE(Contains(wire.in, kFunctionCodeBytes)) << "the request travels enciphered";
  EXPECT_EQ(nb.client->LastErrorText()[0], u'\0');
}

TEST(DriverClient, ReplayedCapsuleIsRefused) {
  SimNotebook nb;
  ASSERT_EQ(nb.client->Open(), MC_OK);
  uint8_t status;
  uint16_t result;
  ASSERT_EQ(Call70(*nb.client, 1, status, result), MC_OK);
  const std::vector<uint8_t> old = nb.spy->log.back().in;
  ASSERT_EQ(Call70(*nb.client, 2, status, result), MC_OK) << "the sequence advanced in step";
  EXPECT_EQ(result, 0x32);
  std::vector<uint8_t> reply(64);
  uint32_t got = 0;
  EXPECT_FALSE(nb.driver->IoControl(nb.spy->lastHandle, IOCTL_MISC_CAPSULE, old.data(), uint32_t(old.size()),
                                    reply.data(), uint32_t(reply.size()), &got));
  EXPECT_EQ(platform::GetLastErrorCode(), win32::kErrorAccessDenied);
}

TEST(DriverClient, DeclinedSessionTravelsPlain) {
  SimNotebook nb("[driver]\nsessions = declined\n");
  ASSERT_EQ(nb.client->Open(), MC_OK);
  EXPECT_FALSE(nb.client->HasSession());
  EXPECT_FALSE(nb.client->IsEnciphered());
  uint8_t status;
  uint16_t result;
  ASSERT_EQ(Call70(*nb.client, 1, status, result), MC_OK);
  EXPECT_EQ(result, 0x64);
  EXPECT_TRUE(Contains(nb.spy->log.back().in, kFunctionCodeBytes));
}

TEST(DriverClient, FailedAuthenticationLeavesNoSession) {
  struct Case {
    const char* mode;
    const char* message;
  };
  const Case cases[] = {
      {"bad-proof", "MiscCommon::CMiscCommon::_Initialize: driver authentication failed."},
      {"refuse-auth", "MiscCommon::CMiscCommon::_Initialize: session authentication refused."},
  };
  for (const Case& c : cases) {
    SimNotebook nb(std::string("[driver]\nsessions = ") + c.mode + "\n");
    EXPECT_EQ(nb.client->Open(), MC_ERR_NO_DEVICE) << c.mode;
    EXPECT_FALSE(nb.client->HasSession());
    EXPECT_EQ(nb.LastError(), c.message);
    uint8_t status;
    uint16_t result;
    EXPECT_EQ(Call70(*nb.client, 1, status, result), MC_ERR_FAILED) << "no capsule without a session";
    EXPECT_EQ(nb.spy->Count(IOCTL_MISC_CAPSULE), 0u);
  }
}

TEST(DriverClient, OpenFailuresKeepCodeMessageAndLastError) {
  struct Case {
    const char* scenario;
    int code;
    const char* message;
    uint32_t lastError;
  };
  const Case cases[] = {
      {"[driver]\npresent = no\n", MC_ERR_NO_DEVICE, "SetupDiEnumDeviceInterfaces failed.", win32::kErrorNoMoreItems},
      {"[driver]\nopen = fail\n", MC_ERR_OPEN_FAILED, "CreateFile failed.", win32::kErrorAccessDenied},
      {"[driver]\nversion = unreadable\n", MC_ERR_FAILED, "RegQueryValueEx failed.", win32::kErrorFileNotFound},
  };
  for (const Case& c : cases) {
    SimNotebook nb(c.scenario);
    EXPECT_EQ(nb.client->Open(), c.code) << c.scenario;
    EXPECT_EQ(platform::GetLastErrorCode(), c.lastError) << c.scenario;
    EXPECT_EQ(nb.LastError(), std::string("MiscCommon::CMiscCommon::OpenDriver: ") + c.message);
    EXPECT_FALSE(nb.client->IsOpen());
    EXPECT_EQ(nb.client->DriverVersionText(), nullptr);
  }
}

TEST(DriverClient, OldDriverOpensWithoutSessionAndRefusesOperations) {
  SimNotebook nb("[driver]\nversion = 1.0.7.9\n");
  ASSERT_EQ(nb.client->Open(), MC_OK);
  EXPECT_FALSE(nb.client->HasSession());
  EXPECT_EQ(nb.spy->Count(IOCTL_MISC_OPEN_SESSION), 0u);
  uint8_t buffer[16];
  uint32_t length = sizeof buffer;
  EXPECT_EQ(nb.client->GetModelNumber(1, buffer, &length), MC_ERR_NOT_SUPPORTED);
  EXPECT_TRUE(nb.client->IsDriverVersionAtLeast(1, 0, 7, 9));
  EXPECT_FALSE(nb.client->IsDriverVersionAtLeast(1, 0, 8, 0));
}

TEST(DriverClient, ModelNumberLengths) {
  SimNotebook nb("[identity]\nmodel = PT15KB3456CDEF\n");  // 14 characters: extended
  ASSERT_EQ(nb.client->Open(), MC_OK);
  uint8_t buffer[100] = {};
  uint32_t length = 16;
  ASSERT_EQ(nb.client->GetModelNumber(1, buffer, &length), MC_OK);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), length), "PT15KB3456CD");
  length = 100;
  ASSERT_EQ(nb.client->GetModelNumber(1, buffer, &length), MC_OK);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), length), "PT15KB3456CDEF");
  length = 0;
  EXPECT_EQ(nb.client->GetModelNumber(2, nullptr, &length), MC_ERR_NO_MEMORY);
  EXPECT_EQ(length, 8u);
  length = 4;
  EXPECT_EQ(nb.client->GetModelNumber(2, nullptr, &length), MC_ERR_INVALID_ARG);
  EXPECT_EQ(nb.client->GetModelNumber(2, buffer, nullptr), MC_ERR_INVALID_ARG);
  length = 100;
  EXPECT_EQ(nb.client->GetModelNumber(7, buffer, &length), MC_ERR_INVALID_ARG);
}

TEST(DriverClient, InvalidModelBlocksFail) {
  for (const char* scenario : {"[identity]\nmodel_length = 20\n", "[identity]\nmodel_length = 11\n"}) {
    SimNotebook nb(scenario);
    ASSERT_EQ(nb.client->Open(), MC_OK);
    uint8_t buffer[100];
    uint32_t length = sizeof buffer;
    EXPECT_EQ(nb.client->GetModelNumber(1, buffer, &length), MC_ERR_FAILED) << scenario;
  }
  SimNotebook shortReply("[driver]\nmodel_info_bytes = 64\n");
  ASSERT_EQ(shortReply.client->Open(), MC_OK);
  uint8_t buffer[100];
  uint32_t length = sizeof buffer;
  EXPECT_EQ(shortReply.client->GetModelNumber(1, buffer, &length), MC_ERR_FAILED);
  EXPECT_EQ(shortReply.LastError(), "MiscCommon::CMiscCommon::GetModelNumber: DeviceIoControl failed.");
  EXPECT_NE(platform::GetLastErrorCode(), win32::kErrorSuccess) << "a short reply is not reported as success";
}

TEST(DriverClient, BusyAnswersAreRetriedOnce) {
  struct Case {
    int busy;
    unsigned retries;
    uint8_t status;
    size_t capsules;
  };
  const Case cases[] = {{1, 1, 0, 2}, {2, 1, kStatusBusy, 2}, {2, 0, kStatusBusy, 1}, {0, 1, 0, 1}};
  for (const Case& c : cases) {
    SimNotebook nb("[busy]\n70 = " + std::to_string(c.busy) + "\n");
    ASSERT_EQ(nb.client->Open(), MC_OK);
    uint8_t status;
    uint16_t result;
    EXPECT_EQ(Call70(*nb.client, 1, status, result, c.retries), MC_OK);
    EXPECT_EQ(status, c.status) << "busy " << c.busy;
    EXPECT_EQ(nb.spy->Count(IOCTL_MISC_CAPSULE), c.capsules) << "busy " << c.busy;
    if (status == 0) {
      EXPECT_EQ(result, 0x64) << "the retry sent the original packet again";
    }
  }
}

TEST(DriverClient, PacketLengthsBeyondThePacketAreRefusedBeforeAnyCall) {
  SimNotebook nb;
  ASSERT_EQ(nb.client->Open(), MC_OK);
  uint8_t p[12];
  InitPacket(p, sizeof p, 70, kPacketClassOrdinary, 40, 12);
  EXPECT_EQ(nb.client->CallMiscFunction(p, sizeof p, 1, 0), MC_ERR_INVALID_ARG);
  InitPacket(p, sizeof p, 70, kPacketClassOrdinary, 12, 13);
  EXPECT_EQ(nb.client->CallMiscFunction(p, sizeof p, 1, 0), MC_ERR_INVALID_ARG);
  EXPECT_EQ(nb.client->CallMiscFunction(p, 0, 1, 0), MC_ERR_INVALID_ARG);
  EXPECT_EQ(nb.LastError(), "MiscCommon::CMiscCommon::CallMiscFunction: sizePacket is '0'");
  EXPECT_EQ(nb.client->CallMiscFunction(nullptr, 12, 1, 0), MC_ERR_INVALID_ARG);
  EXPECT_EQ(nb.spy->Count(IOCTL_MISC_CAPSULE), 0u);
}

TEST(DriverClient, EncapsulationArguments) {
  SimNotebook nb;
  ASSERT_EQ(nb.client->Open(), MC_OK);
  uint32_t got = 99;
  uint8_t out[4];
  EXPECT_FALSE(nb.client->EncapsuledDeviceIoControl(IOCTL_MISC_REG_KEY_EXISTS, nullptr, 4, out, 4, &got));
  EXPECT_EQ(platform::GetLastErrorCode(), win32::kErrorInvalidParameter);
  EXPECT_EQ(nb.LastError(), "MiscCommon::CMiscCommon::EncapsuledDeviceIoControl: Invalid Argument(s).");
  EXPECT_EQ(nb.spy->Count(IOCTL_MISC_CAPSULE), 0u);
  // No input is a valid request; the driver then judges it.
  EXPECT_FALSE(nb.client->EncapsuledDeviceIoControl(IOCTL_MISC_REG_KEY_EXISTS, nullptr, 0, out, 4, &got));
  EXPECT_EQ(nb.spy->Count(IOCTL_MISC_CAPSULE), 1u);
  EXPECT_EQ(platform::GetLastErrorCode(), win32::kErrorInvalidParameter);
  EXPECT_EQ(got, 0u);
}

TEST(DriverClient, ShortCapsuleReplyKeepsTheSavedError) {
  SimNotebook nb("[driver]\ncapsule_reply_limit = 8\n");
  ASSERT_EQ(nb.client->Open(), MC_OK);
  uint8_t data[4];
  uint32_t type = 0, length = sizeof data;
  EXPECT_EQ(nb.client->QueryRegistry(RegRoot::LocalMachine, u"SOFTWARE\\None", u"X", &type, data, &length),
            MC_ERR_FAILED);
  EXPECT_EQ(platform::GetLastErrorCode(), win32::kErrorFileNotFound) << "the driver's own error survives";
  EXPECT_EQ(nb.LastError(), "MiscCommon::CMiscCommon::EncapsuledDeviceIoControl: Invalid structure returned. size = 8");
  nb.registry.SetValue(u"SOFTWARE\\V", u"X", win32::kRegDword, {1, 0, 0, 0});
  EXPECT_EQ(nb.client->QueryRegistry(RegRoot::LocalMachine, u"SOFTWARE\\V", u"X", &type, data, &length), MC_ERR_FAILED);
  EXPECT_EQ(platform::GetLastErrorCode(), win32::kErrorInvalidData) << "a short reply to a success is still a failure";
}

TEST(DriverClient, RegistryThroughTheDriver) {
  SimNotebook nb;
  ASSERT_EQ(nb.client->Open(), MC_OK);
  CDriverReg reg(nb.client.get());
  const char16_t* key = u"SOFTWARE\\Velmorant\\WICKPOST\\WKPTREG";
  EXPECT_FALSE(reg.KeyExists(RegRoot::LocalMachine, key));
  ASSERT_TRUE(reg.CreateKey(RegRoot::LocalMachine, key));
  EXPECT_TRUE(reg.KeyExists(RegRoot::LocalMachine, key));
  ASSERT_TRUE(reg.WriteDword(RegRoot::LocalMachine, key, u"Enable", 0x01020304));
  uint32_t type = 0;
  std::vector<uint8_t> stored;
  ASSERT_EQ(nb.registry.QueryValue(key, u"Enable", type, stored), 0u);
  EXPECT_EQ(type, win32::kRegDword);
  EXPECT_EQ(stored, std::vector<uint8_t>({4, 3, 2, 1}));
  uint32_t value = 0;
  ASSERT_TRUE(reg.ReadDword(RegRoot::LocalMachine, key, u"Enable", &value));
  EXPECT_EQ(value, 0x01020304u);

  nb.registry.SetValue(key, u"Text", win32::kRegSz, {'1', 0, 0, 0});
  value = 7;
  EXPECT_FALSE(reg.ReadDword(RegRoot::LocalMachine, key, u"Text", &value));
  EXPECT_EQ(value, 7u);
  nb.registry.SetValue(key, u"Short", win32::kRegDword, {1, 2});
  EXPECT_FALSE(reg.ReadDword(RegRoot::LocalMachine, key, u"Short", &value)) << "two bytes are not a DWORD";
}

TEST(DriverClient, QueryRegistrySizes) {
  SimNotebook nb;
  ASSERT_EQ(nb.client->Open(), MC_OK);
  const std::vector<uint8_t> ten = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  nb.registry.SetValue(u"SOFTWARE\\V", u"Bin", win32::kRegBinary, ten);
  uint8_t data[16] = {};
  uint32_t type = 0, length = 4;
  EXPECT_EQ(nb.client->QueryRegistry(RegRoot::LocalMachine, u"SOFTWARE\\V", u"Bin", &type, data, &length),
            MC_ERR_MORE_DATA);
  EXPECT_EQ(length, 10u);
  EXPECT_EQ(type, win32::kRegBinary);
  length = 0;
  type = 0;
  EXPECT_EQ(nb.client->QueryRegistry(RegRoot::LocalMachine, u"SOFTWARE\\V", u"Bin", &type, nullptr, &length), MC_OK);
  EXPECT_EQ(length, 10u);
  EXPECT_EQ(type, win32::kRegBinary);
  length = sizeof data;
  ASSERT_EQ(nb.client->QueryRegistry(RegRoot::LocalMachine, u"SOFTWARE\\V", u"Bin", nullptr, data, &length), MC_OK);
  EXPECT_EQ(std::vector<uint8_t>(data, data + length), ten);
  EXPECT_EQ(nb.client->QueryRegistry(RegRoot::LocalMachine, nullptr, u"Bin", nullptr, data, &length),
            MC_ERR_INVALID_ARG);
}

TEST(DriverClient, RegistryLimitsAreCheckedWithoutCallingTheDriver) {
  SimNotebook nb;
  ASSERT_EQ(nb.client->Open(), MC_OK);
  CDriverReg reg(nb.client.get());
  const std::u16string path259(259, u'k'), path260(260, u'k');
  EXPECT_FALSE(reg.WriteDword(RegRoot::LocalMachine, path260.c_str(), u"N", 1));
  EXPECT_FALSE(reg.WriteDword(RegRoot::LocalMachine, u"K", nullptr, 1));
  uint8_t data[4] = {};
  uint32_t length = 4;
  bool exists = true;
  EXPECT_EQ(nb.client->SetRegistry(RegRoot::CurrentUser, u"K", u"N", win32::kRegDword, data, 4), MC_ERR_NOT_SUPPORTED);
  EXPECT_EQ(nb.client->QueryRegistry(RegRoot::CurrentUser, u"K", u"N", nullptr, data, &length), MC_ERR_NOT_SUPPORTED);
  EXPECT_EQ(nb.client->RegKeyExists(RegRoot::CurrentUser, u"K", &exists), MC_ERR_NOT_SUPPORTED);
  EXPECT_FALSE(exists) << "the answer is cleared before anything else";
  EXPECT_EQ(nb.client->CreateRegKey(RegRoot::Users, u"K"), MC_ERR_NOT_SUPPORTED);
  EXPECT_EQ(nb.spy->Count(IOCTL_MISC_CAPSULE), 0u);
  EXPECT_TRUE(reg.WriteDword(RegRoot::LocalMachine, path259.c_str(), u"N", 1));
  EXPECT_EQ(nb.spy->Count(IOCTL_MISC_CAPSULE), 1u);
}

TEST(DriverClient, SetRegistrySendsTheRecordItself) {
  SimNotebook nb("[driver]\nsessions = declined\n");  // plain, so the record is visible on the wire
  ASSERT_EQ(nb.client->Open(), MC_OK);
  const uint8_t data[4] = {9, 8, 7, 6};
  ASSERT_EQ(nb.client->SetRegistry(RegRoot::LocalMachine, u"K", u"N", win32::kRegDword, data, 4), MC_OK);
  const std::vector<uint8_t>& capsule = nb.spy->log.back().in;
  const std::vector<uint8_t> expected = BuildRegW(u"K", u"N", 4, data, 4);
  ASSERT_EQ(expected.size(), 39u);
  EXPECT_EQ(bytes::GetU32(&capsule[kCapsuleHeader + 4]), 39u + kRequestOverhead);
  EXPECT_EQ(bytes::GetU32(&capsule[kCapsuleHeader + 8]), IOCTL_MISC_SET_REGISTRY);
  EXPECT_EQ(std::vector<uint8_t>(capsule.begin() + kCapsuleHeader + 20, capsule.begin() + kCapsuleHeader + 59),
            expected);
}

TEST(DriverClient, ReopeningAndFailingHalfWayLeakNoHandle) {
  SimNotebook nb;
  ASSERT_EQ(nb.client->Open(), MC_OK);
  ASSERT_EQ(nb.client->Open(), MC_OK);
  EXPECT_EQ(nb.driver->OpenCount(), 1u);
  EXPECT_EQ(nb.spy->Count(IOCTL_MISC_END_SESSION), 1u);
  nb.client->Close();
  nb.client->Close();
  EXPECT_EQ(nb.driver->OpenCount(), 0u);
  EXPECT_EQ(nb.spy->closes, 2);

  SimNotebook half("[driver]\nsessions = bad-proof\n");
  EXPECT_EQ(half.client->Open(), MC_ERR_NO_DEVICE);
  half.client.reset();
  EXPECT_EQ(half.driver->OpenCount(), 0u);
}

TEST(DriverClient, PacketWrappersReadTheSharedFunctions) {
  SimNotebook nb("[ec]\n0x2A = 0x5C\n[functions]\n15 = 00 02 10 05 42 08\n69.1 = 44 59 4e 41\n66.1 = 01 00 4a 5b\n");
  ASSERT_EQ(nb.client->Open(), MC_OK);
  MiscCommon::ClientPacketPort port(nb.client.get());
  uint8_t value = 0, kind = 0, firmware[5] = {}, name[12] = {};
  uint16_t serial = 0, date = 0;
  EXPECT_TRUE(MiscCommon::ReadEcRegister(port, 0x2A, value).ok());
  EXPECT_EQ(value, 0x5C);
  EXPECT_TRUE(MiscCommon::ReadEcKind(port, kind).ok());
  EXPECT_EQ(kind, 3);
  EXPECT_TRUE(MiscCommon::ReadEcFirmware(port, firmware).ok());
  EXPECT_EQ(std::vector<uint8_t>(firmware, firmware + 5), (std::vector<uint8_t>{0x02, 0x10, 0x05, 0x42, 0x08}));
  EXPECT_TRUE(MiscCommon::ReadBatterySerial(port, 1, serial).ok());
  EXPECT_EQ(serial, 0x64);
  EXPECT_TRUE(MiscCommon::ReadBatteryName(port, 1, name).ok());
  EXPECT_EQ(std::string(reinterpret_cast<char*>(name), 4), "DYNA");
  EXPECT_TRUE(MiscCommon::ReadBatteryDate(port, 1, date).ok());
  EXPECT_EQ(date, 0x5b4a);

  // A function the notebook does not have: the call goes through, the status says no,
  // and the caller's value is left alone.
  serial = 7;
  const MiscCommon::PacketReply none = MiscCommon::ReadBatterySerial(port, 5, serial);
  EXPECT_EQ(none.code, MC_OK);
  EXPECT_NE(none.status, 0);
  EXPECT_EQ(serial, 7);
  MiscCommon::ClientPacketPort unplugged(nullptr);
  EXPECT_EQ(MiscCommon::ReadEcKind(unplugged, kind).code, MC_ERR_NOT_OPEN);
}

TEST(DriverClient, AnomalyRegistersFromTheScenarioAndAFreshSource) {
  SimNotebook nb("[anomaly]\nbattery = orange-power\nadaptor = mini\n");
  ASSERT_EQ(nb.client->Open(), MC_OK);
  MiscCommon::ClientPacketPort port(nb.client.get());
  const uint8_t request[4] = {0xC0, 0x8A, 0, 0};
  uint8_t reply[4] = {};
  uint16_t flags = 0;
  EXPECT_TRUE(MiscCommon::ReadControllerRegister(port, request, reply).ok());
  EXPECT_EQ(std::vector<uint8_t>(reply, reply + 4), (std::vector<uint8_t>{0, 0x01, 2, 0}));
  EXPECT_TRUE(MiscCommon::ReadAdaptorRegister(port, 0xBE, flags).ok());
  EXPECT_EQ(flags, 0x13);
  // The registers as the scenario file says now (a rewritten file before an event).
  nb.driver->SetAnomalySource([](sim::SimAnomaly& a) { return sim::AnomalyKey("battery", "refused", a); });
  EXPECT_EQ(MiscCommon::ReadControllerRegister(port, request, reply).status, 1);
  const uint8_t other[4] = {0x8D, 0, 0, 0};
  EXPECT_FALSE(MiscCommon::ReadControllerRegister(port, other, reply).ok()) << "another register is not the section's";
}

TEST(DriverClient, BiosTableReadWriteAndCountChecks) {
  SimNotebook nb("[bios_table]\nentries = 0e 00 00 00 00 00 01 00 10 00 00 00 00 00 00 00\nflag = 3\n");
  ASSERT_EQ(nb.client->Open(), MC_OK);
  MiscCommon::ClientPacketPort port(nb.client.get());
  uint16_t bytes = 0;
  uint8_t flag = 0;
  ASSERT_TRUE(MiscCommon::QueryBiosTable(port, bytes, flag).ok());
  EXPECT_EQ(bytes, 16);
  EXPECT_EQ(flag, 3);

  uint8_t table[16] = {};
  ASSERT_TRUE(MiscCommon::ReadBiosTable(port, table, 2, 16).ok());
  EXPECT_EQ(table[0], 0x0e);
  EXPECT_EQ(table[6], 0x01);
  EXPECT_EQ(table[8], 0x10);

  // The caller's entry count may not exceed the table's, and its byte count must be the
  // table's length: refused before any read or write is sent.
  uint8_t big[24] = {};
  struct Case {
    uint32_t entries, byteCount;
  };
  for (const Case c : {Case{3, 16}, Case{2, 8}, Case{1, 24}}) {
    const size_t before = nb.spy->log.size();
    EXPECT_EQ(MiscCommon::ReadBiosTable(port, big, c.entries, c.byteCount).code, MC_ERR_INVALID_ARG) << c.entries;
    EXPECT_EQ(MiscCommon::WriteBiosTable(port, big, c.entries, c.byteCount).code, MC_ERR_INVALID_ARG) << c.entries;
    EXPECT_EQ(nb.spy->log.size(), before + 2) << "only the two size queries";
  }
  EXPECT_EQ(MiscCommon::ReadBiosTable(port, nullptr, 2, 16).code, MC_ERR_INVALID_ARG);

  table[6] = 0x00;
  ASSERT_TRUE(MiscCommon::WriteBiosTable(port, table, 2, 16).ok());
  uint8_t again[16] = {};
  ASSERT_TRUE(MiscCommon::ReadBiosTable(port, again, 1, 16).ok());
  EXPECT_EQ(again[6], 0x00);
}
