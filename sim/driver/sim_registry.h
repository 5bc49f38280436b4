// Where the simulated driver keeps machine-wide registry values: the real HKLM
// (64-bit view) in the Windows sim build, memory in native tests.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace sim {

class ISimRegistry {
 public:
  virtual ~ISimRegistry() = default;
  // Each answers a Win32 error code, 0 on success.
  virtual uint32_t SetValue(const std::u16string& path, const std::u16string& name, uint32_t type,
                            const std::vector<uint8_t>& data) = 0;
  virtual uint32_t QueryValue(const std::u16string& path, const std::u16string& name, uint32_t& type,
                              std::vector<uint8_t>& data) = 0;
  virtual uint32_t KeyExists(const std::u16string& path, bool& exists) = 0;
  virtual uint32_t CreateKey(const std::u16string& path) = 0;
};

// Case-insensitive, like the registry.
class MemoryRegistry : public ISimRegistry {
 public:
  uint32_t SetValue(const std::u16string& path, const std::u16string& name, uint32_t type,
                    const std::vector<uint8_t>& data) override;
  uint32_t QueryValue(const std::u16string& path, const std::u16string& name, uint32_t& type,
                      std::vector<uint8_t>& data) override;
  uint32_t KeyExists(const std::u16string& path, bool& exists) override;
  uint32_t CreateKey(const std::u16string& path) override;

 private:
  std::set<std::u16string> keys_;
  std::map<std::pair<std::u16string, std::u16string>, std::pair<uint32_t, std::vector<uint8_t>>> values_;
};

// The registry the sim variant writes to on this platform.
std::unique_ptr<ISimRegistry> CreatePlatformRegistry();

}  // namespace sim
