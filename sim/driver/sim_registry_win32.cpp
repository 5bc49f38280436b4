// The simulated driver writes as the real one would: HKLM in the native (64-bit) view.
#include <windows.h>

#include "common/win/reg_key.h"
#include "sim/driver/sim_registry.h"

namespace sim {
namespace {
LPCWSTR W(const std::u16string& s) { return reinterpret_cast<LPCWSTR>(s.c_str()); }

class HklmRegistry : public ISimRegistry {
 public:
  uint32_t SetValue(const std::u16string& path, const std::u16string& name, uint32_t type,
                    const std::vector<uint8_t>& data) override {
    RegKey key;
    LONG rc = RegCreateKeyExW(HKEY_LOCAL_MACHINE, W(path), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr,
                              key.out(), nullptr);
    if (rc == ERROR_SUCCESS)
      rc = RegSetValueExW(key.get(), W(name), 0, type, data.data(), static_cast<DWORD>(data.size()));
    return static_cast<uint32_t>(rc);
  }
  uint32_t QueryValue(const std::u16string& path, const std::u16string& name, uint32_t& type,
                      std::vector<uint8_t>& data) override {
    RegKey key;
    LONG rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(path), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.out());
    if (rc != ERROR_SUCCESS) return static_cast<uint32_t>(rc);
    DWORD t = 0, size = 0;
    rc = RegQueryValueExW(key.get(), W(name), nullptr, &t, nullptr, &size);
    if (rc != ERROR_SUCCESS) return static_cast<uint32_t>(rc);
    data.assign(size, 0);
    rc = RegQueryValueExW(key.get(), W(name), nullptr, &t, data.data(), &size);
    data.resize(size);
    type = t;
    return static_cast<uint32_t>(rc);
  }
  uint32_t KeyExists(const std::u16string& path, bool& exists) override {
    RegKey key;
    const LONG rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(path), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.out());
    exists = rc == ERROR_SUCCESS;
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : static_cast<uint32_t>(rc);
  }
  uint32_t CreateKey(const std::u16string& path) override {
    RegKey key;
    return static_cast<uint32_t>(RegCreateKeyExW(HKEY_LOCAL_MACHINE, W(path), 0, nullptr, 0,
                                                 KEY_QUERY_VALUE | KEY_WOW64_64KEY, nullptr, key.out(), nullptr));
  }
};
}  // namespace

std::unique_ptr<ISimRegistry> CreatePlatformRegistry() { return std::make_unique<HklmRegistry>(); }
}  // namespace sim
