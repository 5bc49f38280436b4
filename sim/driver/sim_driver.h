// The simulated platform driver: speaks the client's control codes, handshake, capsules,
// packets and registry records byte for byte, and keeps its session state per open.
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "common/core/misc_device.h"
#include "common/core/misc_session.h"
#include "sim/driver/scenario.h"
#include "sim/driver/sim_registry.h"

namespace sim {

class SimDriver : public MiscCommon::IMiscDevice {
 public:
  SimDriver(const Scenario& scenario, ISimRegistry& registry);

  int Open(bool readVersion, std::u16string& version, MiscCommon::DeviceHandle& handle,
           const char*& failure) override;
  bool IoControl(MiscCommon::DeviceHandle handle, uint32_t code, const void* in, uint32_t inLength, void* out,
                 uint32_t outCapacity, uint32_t* returned) override;
  void Close(MiscCommon::DeviceHandle handle) override;
  // Where the anomaly registers are read afresh at each request (the notebook's scenario
  // file, which a test or the main job rewrites before an event); unset: the scenario given.
  void SetAnomalySource(std::function<bool(SimAnomaly&)> source) { anomalySource_ = std::move(source); }

  size_t OpenCount() const { return opens_.size(); }
  // Writes the scenario's registry values; a Win32 error code.
  uint32_t ApplyRegistryPresets();

 private:
  struct OpenState {
    uint32_t sessionId = 0;
    bool authenticated = false;
    uint8_t clientNonce[MiscCommon::kNonceSize] = {};
    uint8_t driverNonce[MiscCommon::kNonceSize] = {};
    std::unique_ptr<MiscCommon::SessionCipher> cipher;
    uint32_t nextSequence = 0;
  };
  struct Reply {
    uint32_t error = 0;  // Win32 error; 0 = success
    std::vector<uint8_t> payload;
  };

  bool OpenSession(OpenState& s, const uint8_t* in, uint32_t inLength, uint8_t* out, uint32_t outCapacity,
                   uint32_t* returned);
  bool AuthSession(OpenState& s, const uint8_t* in, uint32_t inLength);
  bool Capsule(OpenState& s, const uint8_t* in, uint32_t inLength, uint8_t* out, uint32_t outCapacity,
               uint32_t* returned);
  Reply Dispatch(uint32_t code, const uint8_t* in, uint32_t inLength, uint32_t outCapacity);
  Reply MiscFunction(const uint8_t* in, uint32_t inLength, uint32_t outCapacity);
  void RunFunction(uint8_t* packet, size_t size);
  void BiosTable(uint8_t* packet, size_t size);
  Reply SetRegistry(const uint8_t* in, uint32_t inLength);
  Reply QueryRegistry(const uint8_t* in, uint32_t inLength, uint32_t outCapacity);
  Reply KeyRecord(uint32_t code, const uint8_t* in, uint32_t inLength);

  Scenario scenario_;
  ISimRegistry& registry_;
  std::map<MiscCommon::DeviceHandle, OpenState> opens_;
  MiscCommon::DeviceHandle nextHandle_ = 0x100;
  uint32_t nextSessionId_ = 0x5E55;
  std::map<int, int> busyLeft_;
  std::function<bool(SimAnomaly&)> anomalySource_;
  bool RunAnomalyFunction(uint8_t* packet, size_t size);
};

}  // namespace sim
