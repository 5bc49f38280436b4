// The download catalogue's Windows ports as the module wires them, over one shared fetcher,
// on a notebook without battery packs.
#pragma once
#include <memory>
#include <vector>

#include "modules/web/module/mshtml_anchors.h"
#include "modules/web/module/web_catalogue_win.h"
#include "modules/web/module/web_platform.h"

namespace wintest {

struct NoBatteries : web::IBatteryPacks {
  std::vector<web::BatteryPack> Packs() override { return {}; }
};

struct WinCataloguePorts {
  explicit WinCataloguePorts(std::unique_ptr<http::CHttpFetcher>& fetcher) : download(fetcher, L"WDS") {}
  web::WinFeedDownload download;
  web::MsxmlDocument xml;
  web::WinCatalogueFiles files;
  kit::CodePage932 sjis;
  web::DocumentAnchors documentAnchors;
  web::PortableAnchors portableAnchors{files, sjis};
  web::EngineOrPortableAnchors anchors{documentAnchors, portableAnchors};
  web::WinDownloadDisk disk;
  web::WinWindows windows;
  web::WinMachineRegistry registry;
  web::WinFileSystem fileSystem;
  web::WinFileRedirection redirection;
  web::SetupApiDrivers drivers;
  NoBatteries batteries;
  web::FilterPorts filter{windows, registry, fileSystem, drivers, batteries};
  web::CataloguePorts ports{xml, download, files, anchors, disk, sjis, filter, redirection};
};

}  // namespace wintest
