// Stand-ins for the filter's ports that native tests steer directly, and a feed builder.
#pragma once
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "common/core/winversion_rules.h"
#include "modules/web/native/web_native.h"
#include "modules/web/web_filter.h"

namespace webtest {

struct FakeWindows : web::IWindows {
  web::WindowsRelease release{WINVER_7, ARCH_64BIT, 1, 1};
  int reads = 0;
  web::WindowsRelease Release() override {
    ++reads;
    return release;
  }
};

struct FakeRegistry : web::IMachineRegistry {
  std::set<std::u16string> keys, keys64;
  bool wow64 = false;
  bool KeyExists(const std::u16string& path, bool view64) override { return (view64 ? keys64 : keys).count(path) > 0; }
  bool IsWow64() override { return wow64; }
};

struct FakeDrivers : web::IDrivers {
  std::map<std::u16string, std::u16string> versions;
  int reads = 0;
  std::optional<std::u16string> DriverVersion(const std::u16string& name) override {
    ++reads;
    auto it = versions.find(name);
    if (it == versions.end()) return std::nullopt;
    return it->second;
  }
};

// WOW64 file-system redirection as documented: only a 32-bit process on 64-bit Windows has it
// (and can switch it off for its thread); elsewhere the disable call fails.
struct FakeRedirection : web::IFileRedirection {
  bool wow64Process = false;
  bool off = false;
  int reverts = 0;
  bool Disable() override { return off = wow64Process; }
  void Revert() override {
    off = false;
    ++reverts;
  }
};

struct FakeBatteries : web::IBatteryPacks {
  std::vector<web::BatteryPack> packs;
  int reads = 0;
  std::vector<web::BatteryPack> Packs() override {
    ++reads;
    return packs;
  }
};

// A scratch folder that stands for drive C:.
class TempRoot {
 public:
  TempRoot() {
    char pattern[] = "/tmp/tw-web-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempRoot() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  const std::string& path() const { return path_; }
  // Writes `relative` (slashes) with these bytes and, when given, this modification time.
  void Write(const std::string& relative, const std::string& bytes, std::optional<time_t> mtime = std::nullopt) {
    const std::string full = path_ + "/" + relative;
    std::system(("mkdir -p \"$(dirname '" + full + "')\"").c_str());
    std::ofstream(full, std::ios::binary) << bytes;
    if (mtime) {
      const timespec times[2] = {{*mtime, 0}, {*mtime, 0}};
      utimensat(AT_FDCWD, full.c_str(), times, 0);
    }
  }

 private:
  std::string path_;
};

// Local midnight of today plus `days`, as a time and as the feed writes the date.
inline time_t LocalMidnight(int days) {
  time_t now = time(nullptr);
  tm t{};
  localtime_r(&now, &t);
  t.tm_mday += days;
  t.tm_hour = t.tm_min = t.tm_sec = 0;
  t.tm_isdst = -1;
  return mktime(&t);
}
inline std::string FeedDateOf(time_t t) {
  tm local{};
  localtime_r(&t, &local);
  return std::to_string(local.tm_year + 1900) + "/" + std::to_string(local.tm_mon + 1) + "/" + std::to_string(local.tm_mday);
}

// A feed document around these items, with the namespaces MSXML wants declared.
inline std::string Feed(const std::string& items) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" xmlns=\"http://purl.org/rss/1.0/\"\n"
         " xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:wkpt=\"urn:velmorant:wkpt\">\n"
         "<channel><title>Notices</title></channel>\n" +
         items + "</rdf:RDF>\n";
}

// One item with the required parts; `attributes` and `children` add to it.
inline std::string Item(int id, const std::string& attributes = "", const std::string& children = "",
                        const std::string& cls = "Important Updates") {
  return "<item wkpt:class=\"" + cls + "\" " + attributes + "><title>Notice " + std::to_string(id) +
         "</title><link>http://support.example/n/" + std::to_string(id) +
         "</link><dc:date>2014-05-01T09:00:00+09:00</dc:date><dc:identifier>" + std::to_string(id) +
         "</dc:identifier>" + children + "</item>\n";
}

inline std::u16string U(const std::string& s) { return web::FromUtf8(s); }

}  // namespace webtest
