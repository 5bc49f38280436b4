// A registry module key in two maps, recording what a save writes; a driver client answering
// the identity reads from tables.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/core/misc_format.h"
#include "modules/web/web_identity.h"
#include "modules/web/web_settings.h"

namespace webtest {

struct FakeStore : web::ISettingsStore {
  std::map<std::u16string, uint32_t> user, machine;
  std::vector<std::u16string> writes;
  std::set<std::u16string> failing;
  bool audit = false;

  std::optional<uint32_t> UserDword(const char16_t* name) override { return Find(user, name); }
  std::optional<uint32_t> MachineDword(const char16_t* name) override { return Find(machine, name); }
  bool WriteUserDword(const char16_t* name, uint32_t value) override {
    writes.push_back(name);
    if (failing.count(name)) return false;
    user[name] = value;
    return true;
  }
  bool AuditMode() override { return audit; }

 private:
  static std::optional<uint32_t> Find(const std::map<std::u16string, uint32_t>& m, const char16_t* name) {
    auto it = m.find(name);
    if (it == m.end()) return std::nullopt;
    return it->second;
  }
};

// Answers the identity reads and the EC functions from tables; a function or EC byte left
// out fails.
struct FakeDriver : web::IDriverPort {
  std::map<unsigned, std::string> identity;
  std::optional<uint8_t> ecKind;
  std::optional<std::string> ecFirmware;
  std::map<uint8_t, uint8_t> ecBytes;
  std::vector<uint8_t> ecReads;

  int ModelNumber(unsigned index, uint8_t* buffer, uint32_t* length) override {
    auto it = identity.find(index);
    if (it == identity.end()) return MiscCommon::MC_ERR_FAILED;
    if (it->second.size() > *length) return MiscCommon::MC_ERR_MORE_DATA;
    std::memcpy(buffer, it->second.data(), it->second.size());
    *length = static_cast<uint32_t>(it->second.size());
    return MiscCommon::MC_OK;
  }
  int Call(uint8_t* p, int size) override {
    if (p[0] == 24) return MiscCommon::MC_ERR_FAILED;  // no BIOS extension table
    EXPECT_EQ(p[1], 2);
    switch (p[0]) {
      case 26:
        EXPECT_EQ(size, 9);
        if (!ecKind) return MiscCommon::MC_ERR_FAILED;
        p[8] = *ecKind;
        break;
      case 15:
        EXPECT_EQ(size, 16);
        if (!ecFirmware) return MiscCommon::MC_ERR_FAILED;
        std::memcpy(p + 9, ecFirmware->data(), 5);
        break;
      case 16: {
        EXPECT_EQ(size, 32);
        EXPECT_EQ(p[8], 0x90);
        EXPECT_EQ(p[16] | p[17] << 8 | p[18] << 16 | p[19] << 24, 0x02100090);
        const uint8_t reg = p[12];
        ecReads.push_back(reg);
        auto it = ecBytes.find(reg);
        if (it == ecBytes.end()) {
          p[0] = 1;  // the function's own failure status
          return MiscCommon::MC_OK;
        }
        p[20] = it->second;
        break;
      }
      default: return MiscCommon::MC_ERR_FAILED;
    }
    p[0] = 0;
    return MiscCommon::MC_OK;
  }
};

inline FakeDriver Notebook() {
  FakeDriver d;
  d.identity[1] = "QZS10ABC";
  d.identity[2] = std::string("1AKSA\x39\x30\x00", 8);
  d.identity[3] = std::string("\x01\x23\x45" "A" "\x67", 5);
  d.ecKind = 3;
  d.ecFirmware = std::string("\x02\x10\x20 \x30", 5);
  return d;
}

}  // namespace webtest
