// Any bytes as a feed: parsed, filtered against stand-in ports, and read for catalogue codes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "modules/web/native/web_native.h"

namespace {
struct Windows : web::IWindows {
  web::WindowsRelease Release() override { return {11, 2, 1, 1}; }
};
struct Registry : web::IMachineRegistry {
  bool KeyExists(const std::u16string& path, bool) override { return path.size() % 2 == 0; }
  bool IsWow64() override { return true; }
};
struct Files : web::IFileSystem {
  std::optional<web::LocalStamp> FirstWriteTime(const std::u16string& path) override {
    if (path.empty() || path[0] != u'C') return std::nullopt;
    return web::LocalStamp{2014, 4, 30, 12, 0, 0, 0};
  }
  std::optional<std::string> ReadHead(const std::u16string&, std::size_t) override { return std::string("J\nV1.10L20\n"); }
};
struct Drivers : web::IDrivers {
  std::optional<std::u16string> DriverVersion(const std::u16string& name) override {
    if (name.empty()) return std::nullopt;
    return name;  // the feed's own text as the installed version
  }
};
struct Batteries : web::IBatteryPacks {
  std::vector<web::BatteryPack> Packs() override { return {{u"PA3817U", 14030904567u}}; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  web::PugiDocument doc;
  if (doc.LoadBytes(std::string(reinterpret_cast<const char*>(data), size)) != web::IXmlDocument::Load::Ok) return 0;
  std::vector<web::FeedItem> items;
  const int n = web::ParseFeed(doc, items);
  if (n != static_cast<int>(items.size())) __builtin_trap();
  Windows windows;
  Registry registry;
  Files files;
  Drivers drivers;
  Batteries batteries;
  web::FilterPorts ports{windows, registry, files, drivers, batteries};
  const web::Machine machine{u"PT-15KB3456CD", u"9K12304567", {}, {}};
  const int notify = web::FilterItems(items, machine, web::CategorySwitches{}, ports);
  if (notify < 0 || notify > n) __builtin_trap();
  for (const web::FeedItem& i : items) {
    if (i.id == 0 || !i.date || i.category < 1 || i.category > 6) __builtin_trap();
    if (i.date) web::ReadFeedDate(*i.date);
  }
  web::CatalogueCode(doc, machine.model);
  return 0;
}
