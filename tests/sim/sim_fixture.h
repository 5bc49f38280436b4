// A client talking to the simulated driver of a scenario, with a spy on the wire.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/core/misccommon.h"
#include "sim/driver/scenario.h"
#include "sim/driver/sim_driver.h"
#include "sim/driver/sim_registry.h"

struct Exchange {
  uint32_t code;
  std::vector<uint8_t> in;
  std::vector<uint8_t> out;
  bool ok;
};

class SpyDevice : public MiscCommon::IMiscDevice {
 public:
  explicit SpyDevice(MiscCommon::IMiscDevice& inner) : inner_(inner) {}
  int Open(bool readVersion, std::u16string& version, MiscCommon::DeviceHandle& handle,
           const char*& failure) override {
    ++opens;
    return inner_.Open(readVersion, version, handle, failure);
  }
  bool IoControl(MiscCommon::DeviceHandle handle, uint32_t code, const void* in, uint32_t inLength, void* out,
                 uint32_t outCapacity, uint32_t* returned) override {
    lastHandle = handle;
    const uint8_t* i = static_cast<const uint8_t*>(in);
    const bool ok = inner_.IoControl(handle, code, in, inLength, out, outCapacity, returned);
    const uint8_t* o = static_cast<const uint8_t*>(out);
    log.push_back({code, std::vector<uint8_t>(i, i + inLength), std::vector<uint8_t>(o, o + *returned), ok});
    return ok;
  }
  void Close(MiscCommon::DeviceHandle handle) override {
    ++closes;
    inner_.Close(handle);
  }
  size_t Count(uint32_t code) const {
    size_t n = 0;
    for (const Exchange& e : log) n += e.code == code;
    return n;
  }
  std::vector<Exchange> log;
  int opens = 0, closes = 0;
  MiscCommon::DeviceHandle lastHandle = MiscCommon::kInvalidDevice;

 private:
  MiscCommon::IMiscDevice& inner_;
};

class SimNotebook {
 public:
  explicit SimNotebook(const std::string& extra = "") {
    std::string error;
    EXPECT_TRUE(sim::ParseScenario(kBase + extra, scenario, error)) << error;
    driver = std::make_unique<sim::SimDriver>(scenario, registry);
    spy = std::make_unique<SpyDevice>(*driver);
    client = std::make_unique<MiscCommon::CMiscCommon>(*spy);
  }
  std::string LastError() const {
    std::string s;
    for (const char16_t* p = client->LastErrorText(); *p; ++p) s.push_back(static_cast<char>(*p));
    return s;
  }

  static inline const std::string kBase =
      "[identity]\nmodel = PT15KB3456CD\nserial = 9K123 4567\nbios = 01 23 45 41 67\n"
      "[functions]\n26 = 03\n70.1 = 64 00\n70.2 = 32 00\n";
  sim::Scenario scenario;
  sim::MemoryRegistry registry;
  std::unique_ptr<sim::SimDriver> driver;
  std::unique_ptr<SpyDevice> spy;
  std::unique_ptr<MiscCommon::CMiscCommon> client;
};
