#include "sim/driver/scenario.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <sstream>

namespace sim {
namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Decimal or 0x-hex, within [0, max].
bool ParseNumber(const std::string& text, uint64_t max, uint64_t& out) {
  const std::string t = Trim(text);
  if (t.empty() || t.size() > 20) return false;
  const bool hex = t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X');
  uint64_t v = 0;
  for (size_t i = hex ? 2 : 0; i < t.size(); ++i) {
    const char c = t[i];
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    const uint64_t base = hex ? 16 : 10;
    if (v > (max - d) / base) return false;
    v = v * base + d;
  }
  out = v;
  return true;
}

// "01 23 ab": hex bytes separated by blanks.
bool ParseBytes(const std::string& text, std::vector<uint8_t>& out) {
  out.clear();
  std::istringstream in(text);
  std::string word;
  while (in >> word) {
    if (word.size() != 2 || !std::isxdigit(static_cast<unsigned char>(word[0])) ||
        !std::isxdigit(static_cast<unsigned char>(word[1])))
      return false;
    out.push_back(static_cast<uint8_t>(std::stoul(word, nullptr, 16)));
  }
  return true;
}

template <size_t N>
bool ParseFixedBytes(const std::string& text, std::array<uint8_t, N>& out) {
  std::vector<uint8_t> v;
  if (!ParseBytes(text, v) || v.size() > N) return false;
  out.fill(0);
  std::copy(v.begin(), v.end(), out.begin());
  return true;
}

std::u16string Widen(const std::string& s) { return std::u16string(s.begin(), s.end()); }

bool ParseRegistryValue(const std::string& key, const std::string& value, RegistryPreset& out) {
  const size_t slash = key.rfind('\\');
  if (slash == std::string::npos || slash == 0 || slash + 1 == key.size()) return false;
  out.path = Widen(key.substr(0, slash));
  out.name = Widen(key.substr(slash + 1));
  const size_t colon = value.find(':');
  if (colon == std::string::npos) return false;
  const std::string kind = Lower(value.substr(0, colon)), body = value.substr(colon + 1);
  if (kind == "dword") {
    uint64_t v;
    if (!ParseNumber(body, 0xFFFFFFFFu, v)) return false;
    out.type = 4;
    out.data = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    return true;
  }
  if (kind == "sz") {
    out.type = 1;
    out.data.clear();
    for (char c : body) out.data.insert(out.data.end(), {static_cast<uint8_t>(c), 0});
    out.data.insert(out.data.end(), {0, 0});
    return true;
  }
  if (kind == "hex") {
    out.type = 3;
    return ParseBytes(body, out.data);
  }
  return false;
}

bool Flag(const std::string& v, bool& out) {
  const std::string l = Lower(v);
  if (l == "yes" || l == "on" || l == "1" || l == "true") return out = true, true;
  if (l == "no" || l == "off" || l == "0" || l == "false") return out = false, true;
  return false;
}

bool DriverKey(const std::string& key, const std::string& value, Scenario& s) {
  uint64_t n;
  if (key == "present") return Flag(value, s.present);
  if (key == "open") {
    const std::string l = Lower(value);
    if (l != "ok" && l != "fail") return false;
    s.openFails = l == "fail";
    return true;
  }
  if (key == "version") {
    if (Lower(value) == "unreadable") return s.versionReadable = false, true;
    s.version = value;
    return !value.empty() && value.size() < 255;
  }
  if (key == "sessions") {
    const std::string l = Lower(value);
    if (l == "on") s.sessions = SessionMode::On;
    else if (l == "declined") s.sessions = SessionMode::Declined;
    else if (l == "bad-proof") s.sessions = SessionMode::BadProof;
    else if (l == "refuse-auth") s.sessions = SessionMode::RefuseAuth;
    else return false;
    return true;
  }
  if (key == "model_info_bytes") return ParseNumber(value, 128, n) && (s.modelInfoBytes = uint32_t(n), true);
  if (key == "capsule_reply_limit")
    return ParseNumber(value, 0xFFFF, n) && (s.capsuleReplyLimit = uint32_t(n), true);
  return false;
}

bool IdentityKey(const std::string& key, const std::string& value, Scenario& s) {
  uint64_t n;
  if (key == "model") {
    for (char c : value)
      if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e) return false;
    s.model = value;
    return !value.empty() && value.size() <= 19;
  }
  if (key == "model_length") return ParseNumber(value, 255, n) && (s.modelLengthOverride = int(n), true);
  if (key == "serial") {
    // "9K123 4567": five characters, then the number.
    const size_t space = value.find(' ');
    if (space != 5 || !ParseNumber(value.substr(space + 1), 0xFFFFFF, n)) return false;
    s.serialPrefix = value.substr(0, 5);
    s.serialNumber = uint32_t(n);
    return true;
  }
  if (key == "bios") return ParseFixedBytes(value, s.bios);
  if (key == "identification") return ParseFixedBytes(value, s.identification);
  if (key == "field80") return ParseFixedBytes(value, s.field80);
  if (key == "field91") return ParseNumber(value, 255, n) && (s.field91 = uint8_t(n), true);
  if (key == "field92") return ParseNumber(value, 255, n) && (s.field92 = uint8_t(n), true);
  return false;
}

bool FunctionKey(const std::string& key, const std::string& value, Scenario& s) {
  // "70" or "70.0x0001"
  const size_t dot = key.find('.');
  uint64_t fn, param = 0;
  if (!ParseNumber(key.substr(0, dot), 255, fn)) return false;
  if (dot != std::string::npos && !ParseNumber(key.substr(dot + 1), 0xFFFF, param)) return false;
  std::vector<uint8_t> bytes;
  if (!ParseBytes(value, bytes) || bytes.size() > 1024) return false;
  s.replies[{int(fn), dot == std::string::npos ? -1 : int(param)}] = bytes;
  return true;
}

bool SmallMapKey(const std::string& key, const std::string& value, uint64_t max, std::function<void(int, int)> set) {
  uint64_t fn, v;
  if (!ParseNumber(key, 255, fn) || !ParseNumber(value, max, v)) return false;
  set(int(fn), int(v));
  return true;
}

// "yyyy/mm/dd", a year the date word can hold.
bool ParseDate(const std::string& text, int out[3]) {
  char tail = 0;
  return std::sscanf(text.c_str(), "%d/%d/%d%c", &out[0], &out[1], &out[2], &tail) == 3 && out[0] >= 1980 &&
         out[0] < 2108 && out[1] >= 1 && out[1] <= 12 && out[2] >= 1 && out[2] <= 31;
}

bool PackKey(const std::string& field, const std::string& value, SimPack& p) {
  std::istringstream in(value);
  std::string a, b, c, rest;
  uint64_t n, m;
  if (field.empty()) {  // "NAME SERIAL yyyy/mm/dd"
    if (!(in >> a >> b >> c) || (in >> rest) || a.size() > 12 || !ParseNumber(b, 0xFFFF, n) || !ParseDate(c, p.made))
      return false;
    p.name = a;
    p.serial = uint16_t(n);
    return p.known = true;
  }
  if (field == "recal") {
    int d[3];
    const bool ok = value == "none" || ParseDate(value, d) ||
                    (value.size() > 1 && value[0] == '-' && ParseNumber(value.substr(1), 36500, n));
    p.recal = value == "none" ? "" : value;
    return ok;
  }
  if (field == "recal_source") {
    p.recalInController = value == "controller";
    return value == "controller" || value == "driver";
  }
  if (field == "minutes") {
    if (!(in >> a >> b) || (in >> rest) || !ParseNumber(a, 0xFFFF, n) || !ParseNumber(b, 0xFFFF, m)) return false;
    p.minutes = int(n);
    p.extraMinutes = int(m);
    return true;
  }
  return false;
}

bool DeviceKey(const std::string& value, SimBatteryDevice& d) {
  std::istringstream in(value);
  std::string state, tag, design, full, rest;
  uint64_t t, de, fu;
  if (!(in >> state)) return false;
  if (state == "fail") return !(in >> rest) && (d.openable = false, true);
  if (state != "ok" || !(in >> tag >> design >> full) || (in >> rest) || !ParseNumber(tag, 0xFFFFFFFF, t) ||
      !ParseNumber(design, 0xFFFFFFFF, de) || !ParseNumber(full, 0xFFFFFFFF, fu))
    return false;
  d = SimBatteryDevice{true, uint32_t(t), uint32_t(de), uint32_t(fu)};
  return true;
}
}  // namespace

bool BatteryKey(const std::string& key, const std::string& value, SimBattery& b) {
  uint64_t n;
  b.defined = true;
  if (key == "interface") {
    b.driverInterface = Lower(value);
    return b.driverInterface == "new" || b.driverInterface == "old" || b.driverInterface == "none";
  }
  if (key == "config") return ParseNumber(value, 0xFFFF, n) && (b.config = int(n), true);
  if (key.rfind("pack", 0) == 0 && key.size() >= 5 && (key[4] == '0' || key[4] == '1') &&
      (key.size() == 5 || key[5] == '.'))
    return PackKey(key.size() == 5 ? "" : key.substr(6), value, b.packs[key[4] - '0']);
  if (key.rfind("device", 0) == 0 && key.size() == 7 && key[6] >= '0' && key[6] <= '9') {
    const size_t i = size_t(key[6] - '0');
    if (b.devices.size() <= i) b.devices.resize(i + 1, SimBatteryDevice{false, 0, 0, 0});
    return DeviceKey(value, b.devices[i]);
  }
  return false;
}

std::vector<uint8_t> BuildEdid(const std::string& id, bool cea, const std::string& text) {
  std::vector<uint8_t> e(cea ? 256 : 128, 0);
  const uint8_t header[8] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
  std::memcpy(e.data(), header, 8);
  const unsigned v = unsigned((id[0] - '@') & 31) << 10 | unsigned((id[1] - '@') & 31) << 5 | unsigned((id[2] - '@') & 31);
  e[8] = uint8_t(v >> 8);
  e[9] = uint8_t(v);
  const unsigned long product = std::strtoul(id.substr(3).c_str(), nullptr, 16);
  e[10] = uint8_t(product);
  e[11] = uint8_t(product >> 8);
  e[18] = 1;
  e[19] = 3;
  // Third descriptor: a display name (tag 0xFC), text from byte 95, line feed and blanks after.
  e[93] = 0xFC;
  for (size_t i = 0; i < 13; ++i) e[95 + i] = i < text.size() ? uint8_t(text[i]) : i == text.size() ? 0x0A : 0x20;
  if (cea) {
    e[126] = 1;
    e[128] = 2;
    e[129] = 3;
  }
  for (size_t block = 0; block < e.size(); block += 128) {
    unsigned sum = 0;
    for (size_t i = block; i < block + 127; ++i) sum += e[i];
    e[block + 127] = uint8_t(256 - sum % 256);
  }
  return e;
}

namespace {
// "UID WIDTH HEIGHT DEPTH [KIND]"
bool DisplayLine(const std::string& value, SimDisplay& d) {
  std::istringstream in(value);
  std::string uid, w, h, depth, kind = "hdmi", rest;
  uint64_t a, b, c, e;
  if (!(in >> uid >> w >> h >> depth) || !ParseNumber(uid, 0xFFFFFFFF, a) || !ParseNumber(w, 0xFFFF, b) ||
      !ParseNumber(h, 0xFFFF, c) || !ParseNumber(depth, 64, e))
    return false;
  in >> kind;
  if ((in >> rest) || (kind != "hdmi" && kind != "hdmi-off" && kind != "panel")) return false;
  d.defined = true;
  d.uid = uint32_t(a), d.width = uint32_t(b), d.height = uint32_t(c), d.depth = uint32_t(e);
  d.kind = kind;
  return true;
}

// "ABC1234 [cea] [TEXT]"
bool MonitorLine(const std::string& value, SimDisplay& d) {
  std::istringstream in(value);
  std::string id, word, text, rest;
  if (!(in >> id) || id.size() != 7) return false;
  for (size_t i = 0; i < 3; ++i)
    if (id[i] < 'A' || id[i] > 'Z') return false;
  for (size_t i = 3; i < 7; ++i)
    if (!std::isxdigit(static_cast<unsigned char>(id[i]))) return false;
  bool cea = false;
  if (in >> word) {
    if (word == "cea") cea = true;
    else text = word;
  }
  if (cea && (in >> word)) text = word;
  if ((in >> rest) || text.size() > 13) return false;
  d.edid = BuildEdid(id, cea, text);
  return true;
}
}  // namespace

bool DisplayKey(const std::string& key, const std::string& value, SimGraphicsSetup& g) {
  uint64_t n;
  g.defined = true;
  if (key == "graphics") return Flag(value, g.available);
  if (key == "servers") {
    if (value != "64" && value != "32 64" && value != "helper") return false;
    g.servers = value;
    return true;
  }
  if (key == "mode") return ParseNumber(value, 0xFFFFFFFF, n) && (g.mode = uint32_t(n), true);
  if (key == "count") return ParseNumber(value, 64, n) && (g.count = int(n), true);
  if (key == "scaling") {
    std::istringstream in(value);
    std::string f[4], rest;
    uint64_t v[4];
    if (!(in >> f[0] >> f[1] >> f[2] >> f[3]) || (in >> rest)) return false;
    for (int i = 0; i < 4; ++i)
      if (!ParseNumber(f[i], 1000, v[i])) return false;
    for (int i = 0; i < 4; ++i) g.scaling[i] = int32_t(v[i]);
    return true;
  }
  if (key == "fail") {
    static const char* const kKinds[] = {"get-config", "set-config", "get-scaling", "set-scaling",
                                         "get-edid",   "get-edid1",  "get-nview",   "enum"};
    std::istringstream in(value);
    std::string word;
    while (in >> word) {
      bool known = false;
      for (const char* k : kKinds) known = known || word == k;
      if (!known) return false;
      g.failures.push_back(word);
    }
    return true;
  }
  // displayN, displayN.edid, displayN.monitor
  if (key.rfind("display", 0) == 0 && key.size() >= 8 && key[7] >= '0' && key[7] <= '8' &&
      (key.size() == 8 || key[8] == '.')) {
    const size_t i = size_t(key[7] - '0');
    if (g.displays.size() <= i) g.displays.resize(i + 1);
    SimDisplay& d = g.displays[i];
    const std::string field = key.size() == 8 ? "" : key.substr(9);
    if (field.empty()) return DisplayLine(value, d);
    if (field == "edid") return ParseBytes(value, d.edid) && (d.edid.size() == 128 || d.edid.size() == 256);
    if (field == "monitor") return MonitorLine(value, d);
  }
  return false;
}

bool RecalWord(const SimPack& p, uint16_t& word) {
  int d[3];
  if (p.recal.empty()) return false;
  if (p.recal[0] == '-') {
    const time_t now = time(nullptr);
    tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    local.tm_mday -= std::atoi(p.recal.c_str() + 1);
    local.tm_hour = 12;  // a whole-day step, whatever the daylight rule
    local.tm_isdst = -1;
    mktime(&local);
    d[0] = local.tm_year + 1900, d[1] = local.tm_mon + 1, d[2] = local.tm_mday;
  } else if (!ParseDate(p.recal, d)) {
    return false;
  }
  word = uint16_t(((d[0] - 1980) << 9) | (d[1] << 5) | d[2]);
  return true;
}

namespace {
}  // namespace

bool AnomalyKey(const std::string& key, const std::string& value, SimAnomaly& a) {
  a.defined = true;
  auto oneOf = [&](std::initializer_list<const char*> names, std::string& out) {
    for (const char* n : names)
      if (value == n) return out = value, true;
    return false;
  };
  if (key == "battery") return oneOf({"fine", "red", "orange-temperature", "orange-power", "refused"}, a.battery);
  if (key == "adaptor") return oneOf({"none", "recommended", "not-recommended", "mini", "refused"}, a.adaptor);
  if (key == "install") return oneOf({"ok", "fail", "slow", "restart"}, a.install);
  if (key == "install.delay") {
    uint64_t ms = 0;
    return ParseNumber(value, 600000, ms) && (a.installDelayMs = uint32_t(ms), true);
  }
  return false;
}

bool AnomalyBatteryBytes(const SimAnomaly& a, uint8_t (&out)[4]) {
  if (a.battery == "refused") return false;
  out[0] = 0;
  out[1] = a.battery == "red" ? 0x02 : a.battery == "fine" ? 0x00 : 0x01;
  out[2] = a.battery == "orange-temperature" ? 1 : a.battery == "orange-power" ? 2 : 0;
  out[3] = 0;
  return true;
}

bool AnomalyAdaptorFlags(const SimAnomaly& a, uint16_t& flags) {
  if (a.adaptor == "refused") return false;
  flags = a.adaptor == "none" ? 0x0000 : a.adaptor == "not-recommended" ? 0x0021 : a.adaptor == "mini" ? 0x0013 : 0x0003;
  return true;
}

namespace {

bool Apply(const std::string& section, const std::string& key, const std::string& value, Scenario& s) {
  uint64_t n;
  if (section == "driver") return DriverKey(key, value, s);
  if (section == "identity") return IdentityKey(key, value, s);
  if (section == "ec") {
    uint64_t reg;
    return ParseNumber(key, 255, reg) && ParseNumber(value, 255, n) && (s.ec[reg] = uint8_t(n), true);
  }
  if (section == "functions") return FunctionKey(key, value, s);
  if (section == "status") return SmallMapKey(key, value, 255, [&](int f, int v) { s.status[f] = uint8_t(v); });
  if (section == "busy") return SmallMapKey(key, value, 1000, [&](int f, int v) { s.busy[f] = v; });
  if (section == "bios_table") {
    if (key == "entries") return ParseBytes(value, s.biosTable) && s.biosTable.size() % 8 == 0 && s.biosTable.size() < 0x10000;
    if (key == "flag") return ParseNumber(value, 255, n) && (s.biosTableFlag = uint8_t(n), true);
    return false;
  }
  if (section == "battery") return BatteryKey(key, value, s.battery);
  if (section == "display") return DisplayKey(key, value, s.graphics);
  if (section == "disk") return DiskKey(key, value, s.disk);
  if (section == "anomaly") return AnomalyKey(key, value, s.anomaly);
  if (section == "registry") {
    RegistryPreset preset;
    if (!ParseRegistryValue(key, value, preset)) return false;
    s.registry.push_back(preset);
    return true;
  }
  return false;
}
}  // namespace

bool ParseScenario(const std::string& text, Scenario& out, std::string& error) {
  Scenario s;
  std::string section;
  std::istringstream in(text);
  std::string raw;
  for (int line = 1; std::getline(in, raw); ++line) {
    const size_t comment = raw.find_first_of(";#");
    const std::string t = Trim(comment == std::string::npos ? raw : raw.substr(0, comment));
    if (t.empty()) continue;
    if (t.front() == '[') {
      if (t.back() != ']') return error = "line " + std::to_string(line) + ": unterminated section", false;
      section = Lower(Trim(t.substr(1, t.size() - 2)));
      static const char* const kSections[] = {"driver", "identity", "ec", "functions",
                                              "status", "busy",     "bios_table", "registry", "battery", "display", "disk", "anomaly"};
      bool known = false;
      for (const char* k : kSections) known = known || section == k;
      if (!known) return error = "line " + std::to_string(line) + ": unknown section [" + section + "]", false;
      continue;
    }
    const size_t eq = t.find('=');
    if (eq == std::string::npos || section.empty())
      return error = "line " + std::to_string(line) + ": expected 'key = value' inside a section", false;
    const std::string key = Trim(t.substr(0, eq)), value = Trim(t.substr(eq + 1));
    if (!Apply(section, section == "registry" ? key : Lower(key), value, s))
      return error = "line " + std::to_string(line) + ": bad entry '" + key + "' in [" + section + "]", false;
  }
  for (const SimDisplay& d : s.graphics.displays)
    if (!d.defined) return error = "[display]: a display has fields but no 'displayN = UID WIDTH HEIGHT DEPTH' line", false;
  out = s;
  return true;
}

std::array<uint8_t, 128> BuildModelInfo(const Scenario& s) {
  std::array<uint8_t, 128> b{};
  std::copy(s.identification.begin(), s.identification.end(), b.begin() + 4);
  std::memcpy(&b[27], s.bios.data(), 5);
  std::memcpy(&b[32], s.serialPrefix.data(), s.serialPrefix.size() < 5 ? s.serialPrefix.size() : 5);
  b[37] = uint8_t(s.serialNumber);
  b[38] = uint8_t(s.serialNumber >> 8);
  b[39] = uint8_t(s.serialNumber >> 16);
  const size_t length = s.model.size();
  std::memcpy(&b[40], s.model.data(), length < 12 ? length : 12);
  if (length > 12) std::memcpy(&b[96], s.model.data() + 11, length - 11);
  b[95] = s.modelLengthOverride >= 0 ? uint8_t(s.modelLengthOverride) : length > 12 ? uint8_t(length) : 0;
  std::copy(s.field80.begin(), s.field80.end(), b.begin() + 80);
  b[91] = s.field91;
  b[92] = s.field92;
  return b;
}

}  // namespace sim
