// A registry module key in two maps, recording what a save writes.
#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

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

}  // namespace webtest
