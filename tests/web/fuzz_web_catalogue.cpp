// Any bytes as a support-site document: markers read at every level, the entry planned into a
// stand-in download folder, judged, and written into the catalogue page; the same bytes as a
// search result read for anchors.
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
  bool IsWow64() override { return false; }
};
struct Files : web::IFileSystem {
  std::optional<web::LocalStamp> FirstWriteTime(const std::u16string& path) override {
    if (path.empty() || path[0] != u'C') return std::nullopt;
    return web::LocalStamp{2014, 4, 30, 12, 0, 0, 0};
  }
  std::optional<std::string> ReadHead(const std::u16string&, std::size_t) override { return std::string("V1.10L20\n"); }
};
struct Drivers : web::IDrivers {
  std::optional<std::u16string> DriverVersion(const std::u16string& name) override {
    if (name.empty()) return std::nullopt;
    return name;
  }
};
struct Batteries : web::IBatteryPacks {
  std::vector<web::BatteryPack> Packs() override { return {{u"QZ-BATT12", 14030904567u}}; }
};
struct Redirection : web::IFileRedirection {
  bool Disable() override { return true; }
  void Revert() override {}
};
// Folders always made, files present when their name is short.
struct Disk : web::IDownloadDisk {
  std::u16string DownloadRoot() override { return u"C:\\AppData\\Velmorant\\"; }
  bool MakeFolder(const std::u16string&) override { return true; }
  std::optional<uint64_t> FileSize(const std::u16string& path) override {
    if (path.size() % 3) return std::nullopt;
    return path.size();
  }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static kit::IconvCodePage sjis;
  const std::string doc(reinterpret_cast<const char*>(data), size);
  const web::Markers markers = web::ReadMarkers(doc, sjis);
  Windows windows;
  Registry registry;
  Files files;
  Drivers drivers;
  Batteries batteries;
  Disk disk;
  Redirection redirection;
  web::FilterPorts ports{windows, registry, files, drivers, batteries};
  web::Catalogue catalogue;
  web::AddEntry(catalogue, u"http://faq.example/faq/docs/a", u"<t>", markers, disk.DownloadRoot(), disk);
  web::AddEntry(catalogue, u"http://faq.example/faq/docs/b", u"b", std::nullopt, disk.DownloadRoot(), disk);
  web::Machine machine{u"QZ-AB12CD34", u"9K12304567", {}, {}};
  web::EvaluateCatalogue(catalogue, machine, ports, redirection, disk);
  for (const web::FeedItem& e : catalogue.entries)
    for (const web::DownloadFile& d : e.downloads)
      if (d.localPath.find(u"..") != std::u16string::npos || d.localPath.find(u'/') != std::u16string::npos)
        __builtin_trap();  // a download left its folder
  const std::u16string page = web::CataloguePage(catalogue.entries, u"C:\\m\\wkptrss.dll");
  if (page.find(u"<t>") != std::u16string::npos) __builtin_trap();  // a title went unescaped
  if (auto text = sjis.Decode(doc)) {
    for (const web::Anchor& a : web::ReadAnchors(*text)) web::DocumentLink(a.href, u"http://faq.example/");
    web::DecodeEntities(*text);
  }
  web::OsBlockExpression(doc);
  web::ModelAlternatives(doc);
  return 0;
}
