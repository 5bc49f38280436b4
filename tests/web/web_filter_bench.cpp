// Time to parse and filter a feed of 1,000 items with every kind of condition, per item.
// Usage: web_filter_bench [rounds, default 20]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <string>

#include "modules/web/native/web_native.h"

namespace {
struct Windows : web::IWindows {
  web::WindowsRelease Release() override { return {11, 2, 1, 3}; }
};
struct Registry : web::IMachineRegistry {
  bool KeyExists(const std::u16string& path, bool) override { return path.back() != u'9'; }
  bool IsWow64() override { return true; }
};
struct Files : web::IFileSystem {
  std::optional<web::LocalStamp> FirstWriteTime(const std::u16string&) override {
    return web::LocalStamp{2014, 4, 30, 12, 0, 0, 0};
  }
  std::optional<std::string> ReadHead(const std::u16string&, std::size_t) override {
    return std::string("Velmorant\nJ\nV1.10L20\n");
  }
};
struct Drivers : web::IDrivers {
  std::optional<std::u16string> DriverVersion(const std::u16string&) override { return u"6.1.7600.16385"; }
};
struct Batteries : web::IBatteryPacks {
  std::vector<web::BatteryPack> Packs() override { return {{u"PA3817U", 14030904567u}}; }
};

std::string FeedOf(int count) {
  static const char* kClasses[] = {"Important Updates", "Support Information", "Topics", "Class 4"};
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rdf:RDF xmlns:rdf=\"r\" xmlns:dc=\"d\" xmlns:wkpt=\"w\">";
  for (int i = 1; i <= count; ++i) {
    const std::string n = std::to_string(i);
    xml += "<item wkpt:class=\"" + std::string(kClasses[i % 4]) + "\" wkpt:machine=\"PT-\\d\\dKB(" +
           std::to_string(i % 10) + "|3)\\d+CD\" wkpt:serial=\"9K\\d+\" wkpt:os=\"V.BU.1S.P.1.AX.3\"";
    if (i % 3 == 0) xml += " wkpt:prein=\"V1.10L20\" wkpt:installcheck=\"{APP-" + n + "}\"";
    if (i % 5 == 0) xml += " wkpt:battery-name=\"PA38\" wkpt:battery-id=\"14010100000-14123199999\"";
    xml += "><title>Notice " + n + "</title><link>http://support.example/n/" + n +
           "</link><description>Text of notice " + n + "</description><dc:date>2014-05-01T09:00:00+09:00</dc:date>"
           "<dc:identifier>" + n + "</dc:identifier>";
    if (i % 2 == 0)
      xml += "<wkpt:file wkpt:options=\"E\"><wkpt:name>C:\\util\\f" + n +
             ".dll</wkpt:name><wkpt:date>2014/4/29</wkpt:date></wkpt:file>";
    if (i % 4 == 1)
      xml += "<wkpt:driver><wkpt:name>Device " + std::to_string(i % 50) +
             "</wkpt:name><wkpt:version>6.1.7601.0</wkpt:version></wkpt:driver>";
    xml += "<wkpt:bios><wkpt:version>V1.23L46</wkpt:version></wkpt:bios></item>";
  }
  return xml + "</rdf:RDF>";
}
}  // namespace

int main(int argc, char** argv) {
  // --smoke: one round, so the test command can prove the benchmark still runs.
  const bool smoke = argc > 1 && std::string(argv[1]) == "--smoke";
  const int rounds = smoke ? 1 : argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  constexpr int kItems = 1000;
  const std::string xml = FeedOf(kItems);
  Windows windows;
  Registry registry;
  Files files;
  Drivers drivers;
  Batteries batteries;
  web::FilterPorts ports{windows, registry, files, drivers, batteries};
  web::Machine machine{u"PT-15KB3456CD", u"9K12304567", *web::ReadFirmwareVersion(u"V1.23L45"), {}};
  using Clock = std::chrono::steady_clock;
  double parse = 0, filter = 0;
  int notify = 0, kept = 0;
  for (int r = 0; r < rounds; ++r) {
    web::PugiDocument doc;
    const auto t0 = Clock::now();
    if (doc.LoadBytes(xml) != web::IXmlDocument::Load::Ok) return 1;
    std::vector<web::FeedItem> items;
    kept = web::ParseFeed(doc, items);
    const auto t1 = Clock::now();
    notify = web::FilterItems(items, machine, web::CategorySwitches{}, ports);
    const auto t2 = Clock::now();
    parse += std::chrono::duration<double, std::micro>(t1 - t0).count();
    filter += std::chrono::duration<double, std::micro>(t2 - t1).count();
  }
  if (kept != kItems) return 1;
  std::printf("feed of %d items (%zu bytes), %d rounds: %d to notify\n", kItems, xml.size(), rounds, notify);
  std::printf("parse:  %.2f us per item\n", parse / rounds / kItems);
  std::printf("filter: %.2f us per item\n", filter / rounds / kItems);
  return 0;
}
