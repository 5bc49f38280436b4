#include "sim/driver/sim_disk.h"

#include <cstdlib>
#include <sstream>

#include "common/core/civil_date.h"

namespace sim {
namespace {

bool Int(const std::string& w, int64_t lo, int64_t hi, int64_t& out) {
  if (w.empty() || w.size() > 12) return false;
  char* end = nullptr;
  const long long v = std::strtoll(w.c_str(), &end, 0);
  if (*end || v < lo || v > hi) return false;
  out = v;
  return true;
}

// "w1 w2 ...": exactly n numbers within [lo, hi].
bool Numbers(const std::string& value, size_t n, int64_t lo, int64_t hi, std::vector<int64_t>& out) {
  std::istringstream in(value);
  std::string w;
  out.clear();
  int64_t v;
  while (in >> w) {
    if (!Int(w, lo, hi, v)) return false;
    out.push_back(v);
  }
  return out.size() == n;
}

bool Counters(const std::string& value, std::array<int32_t, 4>& c) {
  std::vector<int64_t> v;
  if (!Numbers(value, 4, -2147483647, 2147483647, v)) return false;
  for (size_t i = 0; i < 4; ++i) c[i] = int32_t(v[i]);
  return true;
}

bool Service(const std::string& value, SimService& s) {
  std::istringstream in(value);
  std::string state, start, rest;
  if (!(in >> state)) return false;
  if (state == "absent") return !(in >> rest) && (s.installed = false, true);
  if ((state != "running" && state != "stopped") || !(in >> start) || (in >> rest)) return false;
  s.running = state == "running";
  if (start == "auto") s.startType = 2;
  else if (start == "demand") s.startType = 3;
  else if (start == "disabled") s.startType = 4;
  else return false;
  return true;
}

bool YesNo(const std::string& value, bool& out) {
  if (value != "yes" && value != "no") return false;
  out = value == "yes";
  return true;
}

int SampleNumber(const std::string& key) {
  if (key == "newest") return 2;
  if (key == "previous") return 1;
  if (key == "reference") return 3;
  if (key.size() == 6 && key.rfind("older", 0) == 0 && key[5] >= '1' && key[5] <= '8') return 9 + (key[5] - '0');
  return 0;
}

void Two(std::u16string& out, int64_t v) {
  out.push_back(char16_t(u'0' + v / 10 % 10));
  out.push_back(char16_t(u'0' + v % 10));
}
}  // namespace

bool DiskKey(const std::string& key, const std::string& value, SimDisk& d) {
  d.defined = true;
  std::vector<int64_t> v;
  if (const int number = SampleNumber(key)) {
    SimDiskSample s;
    if (value == "bad") {
      s.valid = false;
    } else {
      std::istringstream in(value);
      std::string age, rest;
      int64_t a;
      if (!(in >> age) || !Int(age, 0, 3153600000LL, a)) return false;
      std::getline(in, rest);
      if (!Counters(rest, s.counters)) return false;
      s.age = a;
    }
    d.samples[number] = s;
    return true;
  }
  if (key == "monitored") return YesNo(value, d.monitored);
  if (key == "next") {
    if (value == "none") return (d.refreshes = false, true);
    std::array<int32_t, 4> c;
    return Counters(value, c) && (d.next = c, true);
  }
  if (key.rfind("override.", 0) == 0) {
    int64_t n, x;
    if (!Int(key.substr(9), 1, 14, n) || !Int(value, 0, 0xFFFFFFFFLL, x)) return false;
    d.overrides[int(n)] = uint32_t(x);
    return true;
  }
  if (key == "records") {
    std::istringstream in(value);
    std::string w;
    int64_t id;
    d.records.clear();
    while (in >> w)
      if (!Int(w, 0, 255, id)) return false;
      else d.records.push_back(uint8_t(id));
    return d.records.size() <= 31;
  }
  if (key == "path") return !value.empty() && value.size() < 260 && (d.path = value, true);
  if (key == "spinning") return YesNo(value, d.spinning);
  if (key == "pci") {
    std::istringstream in(value);
    std::string w;
    d.pci.clear();
    while (in >> w) d.pci.push_back(w);
    return true;
  }
  if (key == "hibernate") {
    if (!Numbers(value, 2, 0, 0xFFFFFFFFLL, v)) return false;
    d.hibernateAc = uint32_t(v[0]), d.hibernateDc = uint32_t(v[1]);
    return true;
  }
  if (key == "hibernate_default") {
    if (value == "none") return (d.defaultsKnown = false, true);
    if (!Numbers(value, 2, 0, 0xFFFFFFFFLL, v)) return false;
    d.defaultAc = uint32_t(v[0]), d.defaultDc = uint32_t(v[1]);
    return true;
  }
  if (key == "service") return Service(value, d.data);
  if (key == "pipe_service") return Service(value, d.pipe);
  if (key == "pipe") return (value == "answers" || value == "silent") && (d.pipeSilent = value == "silent", true);
  if (key == "reports") return (value == "ok" || value == "fail") && (d.reportsFail = value == "fail", true);
  if (key == "elevation") return (value == "ok" || value == "refused") && (d.elevationRefused = value == "refused", true);
  return false;
}

std::u16string SampleText(const SimDiskSample& s, int64_t now) {
  if (!s.valid) return u"not a sample";
  const int64_t t = now - s.age;
  const int64_t days = (t >= 0 ? t : t - 86399) / 86400, rest = t - days * 86400;
  const civil::Date d = civil::CivilFromDays(days);
  std::u16string out;
  const std::string year = std::to_string(d.year);
  out.assign(year.begin(), year.end());
  out += u'/', Two(out, d.month), out += u'/', Two(out, d.day), out += u' ';
  Two(out, rest / 3600), out += u':', Two(out, rest / 60 % 60), out += u':', Two(out, rest % 60);
  out += u' ';
  for (int32_t c : s.counters) {
    const std::string n = std::to_string(c);
    out += u' ';
    out.append(n.begin(), n.end());
  }
  return out;
}

}  // namespace sim
