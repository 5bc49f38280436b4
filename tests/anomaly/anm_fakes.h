// Stand-ins for the anomaly module's ports in native tests: driver replies by function code,
// the registry as a map, the module's key, the machine and the page files in memory.
#pragma once
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/core/misccommon.h"
#include "modules/anomaly/anm_module.h"

namespace anmtest {

// Answers a function with its status and the bytes from offset 8; unknown functions fail.
struct Port : MiscCommon::IPacketPort {
  struct Reply {
    uint8_t status = 0;
    std::vector<uint8_t> bytes;
  };
  std::map<int, Reply> replies;
  std::vector<int> calls;
  int Call(uint8_t* p, int size) override {
    calls.push_back(p[0]);
    const auto it = replies.find(p[0]);
    if (it == replies.end()) return MiscCommon::MC_ERR_FAILED;
    for (size_t i = 0; i < it->second.bytes.size() && 8 + i < static_cast<size_t>(size); ++i) p[8 + i] = it->second.bytes[i];
    p[0] = it->second.status;
    return MiscCommon::MC_OK;
  }
};

struct Registry : anm::IRepairRegistry {
  std::map<std::u16string, std::map<std::u16string, anm::RegValue>> keys;  // path -> values
  std::vector<std::u16string> pending;
  void Sz(const std::u16string& path, const std::u16string& name, const std::u16string& text, uint32_t type = anm::kRegSz) {
    keys[path][name] = anm::RegValue{type, text + std::u16string(1, u'\0'), 0};
  }
  void Dword(const std::u16string& path, const std::u16string& name, uint32_t v) { keys[path][name] = anm::RegValue{4, {}, v}; }
  std::vector<std::u16string> SubKeys(const std::u16string& path) override {
    std::vector<std::u16string> out;
    const std::u16string prefix = path + u"\\";
    for (const auto& [k, v] : keys)
      if (k.compare(0, prefix.size(), prefix) == 0 && k.find(u'\\', prefix.size()) == std::u16string::npos)
        out.push_back(k.substr(prefix.size()));
    return out;
  }
  std::optional<anm::RegValue> Value(const std::u16string& path, const char16_t* name) override {
    const auto k = keys.find(path);
    if (k == keys.end()) return std::nullopt;
    const auto v = k->second.find(name);
    if (v == k->second.end()) return std::nullopt;
    return v->second;
  }
  bool KeyExists(const std::u16string& path, std::optional<std::u16string>& display) override {
    const auto k = keys.find(path);
    if (k == keys.end()) return false;
    const auto v = k->second.find(u"DisplayName");
    if (v != k->second.end()) display = v->second.data.substr(0, v->second.data.find(u'\0'));
    return true;
  }
  std::vector<std::u16string> PendingRenames() override { return pending; }
  std::optional<std::u16string> StartupValue(const std::u16string& key, const std::u16string& name) override {
    auto v = Value(key, name.c_str());
    if (!v) return std::nullopt;
    return v->data.substr(0, v->data.find(u'\0'));
  }
};

struct Store : anm::IStore {
  std::map<std::u16string, uint32_t> machine, user;
  std::map<std::u16string, std::u16string> machineText;
  int writes = 0;
  bool audit = false;
  std::optional<uint32_t> MachineDword(const char16_t* n) override {
    const auto it = machine.find(n);
    return it == machine.end() ? std::nullopt : std::optional<uint32_t>(it->second);
  }
  std::optional<std::u16string> MachineString(const char16_t* n) override {
    const auto it = machineText.find(n);
    return it == machineText.end() ? std::nullopt : std::optional<std::u16string>(it->second);
  }
  std::optional<uint32_t> UserDword(const char16_t* n) override {
    const auto it = user.find(n);
    return it == user.end() ? std::nullopt : std::optional<uint32_t>(it->second);
  }
  bool WriteUserDword(const char16_t* n, uint32_t v) override {
    ++writes;
    user[n] = v;
    return true;
  }
  bool AuditMode() override { return audit; }
};

struct Machine : anm::IMachine {
  std::optional<std::string> model = std::string("PT-15KB3456CS");
  std::optional<std::string> versionLine;
  bool admin = true;
  uint16_t language = 0x0409;
  std::optional<std::string> Model() override { return model; }
  std::optional<std::string> VersionDocLine() override { return versionLine; }
  bool Administrator() override { return admin; }
  uint16_t UiLanguage() override { return language; }
  std::u16string DateTimeText() override { return u"2026/12/10 21:30"; }
};

struct Files : anm::IFiles {
  std::map<std::u16string, std::string> written;
  std::set<std::u16string> existing;
  int next = 0;
  bool NewPagePath(std::u16string& path) override {
    path = u"C:\\T\\WAM" + std::u16string(1, static_cast<char16_t>(u'A' + next++)) + u".tmp";
    written[path];
    return true;
  }
  bool WritePage(const std::u16string& path, const std::string& bytes) override {
    written[path] = bytes;
    return true;
  }
  void Delete(const std::u16string& path) override { written.erase(path); }
  std::u16string ModulePath() override { return u"C:\\Program Files\\Tellwick\\wkptanm.dll"; }
  bool Exists(const std::u16string& path) override { return existing.count(path) != 0; }
  bool LoadXml(const std::u16string&, kit::XmlElement&) override { return false; }
};

struct Host : anm::IHostLink {
  std::vector<std::string> calls;
  void ClosePopup() override { calls.push_back("close"); }
  void PostCheck() override { calls.push_back("check"); }
  void PostCheckViaModule() override { calls.push_back("module-check"); }
};

struct NoStrings : kit::IStrings {
  std::optional<std::u16string> Load(uint16_t id) override {
    std::u16string s = u"T";
    for (char c : std::to_string(id)) s += static_cast<char16_t>(c);
    return s;
  }
};

}  // namespace anmtest
