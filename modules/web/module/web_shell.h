// The Win32 side of the web module: the ports over the registry, the clock, the network and
// the fetcher, the history file, the pages' locale and the desktop, and the one module-wide
// state the entry points share.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "common/win/http_fetcher.h"
#include "host/module_contract.h"
#include "modules/kit/module/kit_win.h"
#include "modules/web/module/mshtml_anchors.h"
#include "modules/web/module/web_catalogue_win.h"
#include "modules/web/module/web_manager_win.h"
#include "modules/web/module/web_platform.h"
#include "modules/web/module/update_engine_win.h"
#include "modules/web/web_identity.h"
#include "modules/web/web_module.h"

namespace web {

// "Software\Velmorant\WICKPOST\WKPTRSS" in HKCU and HKLM (this process's view).
class WinSettingsStore : public ISettingsStore {
 public:
  std::optional<uint32_t> UserDword(const char16_t* name) override;
  std::optional<uint32_t> MachineDword(const char16_t* name) override;
  bool WriteUserDword(const char16_t* name, uint32_t value) override;
  bool AuditMode() override;
};

class WinClock : public IClock {
 public:
  LocalTime NowLocal() override;
};

// The fetcher exists once the identity (its user agent's machine tag) is known.
class WinNetwork : public INetwork {
 public:
  explicit WinNetwork(std::unique_ptr<http::CHttpFetcher>& fetcher) : fetcher_(fetcher) {}
  bool ServerAnswers() override;
  bool Offline() override;
  std::u16string feedUrl;  // probed for reachability

 private:
  std::unique_ptr<http::CHttpFetcher>& fetcher_;
};

// The host's driver client, lent.
class ClientDriverPort : public IDriverPort {
 public:
  explicit ClientDriverPort(MiscCommon::CMiscCommon* client) : packets_(client), client_(client) {}
  int ModelNumber(unsigned index, uint8_t* buffer, uint32_t* length) override;
  int Call(uint8_t* packet, int size) override { return packets_.Call(packet, size); }

 private:
  MiscCommon::ClientPacketPort packets_;
  MiscCommon::CMiscCommon* client_;
};

// "wkptrss.log" in Velmorant\WKPTRSS under the roaming application data, rewritten through
// "wkptrss.tmp" so that a failed write leaves the old file.
class WinHistoryFile : public IHistoryFile {
 public:
  std::optional<std::string> Read() override;
  bool Replace(const std::string& bytes) override;
};

// The standard bias and the user's short date and time formats.
class WinPageLocale : public IPageLocale {
 public:
  int32_t BiasMinutes() override;
  std::u16string DateTimeText(const LocalStamp& local) override;
};

class WinDesktop : public IDesktop {
 public:
  explicit WinDesktop(HWND& host) : host_(host) {}
  void OpenUpdateManager() override;
  void ResumeUpdateManager() override;
  void Inform(const std::u16string& text, const std::u16string& caption) override;
  std::u16string TempFolder() override { return kit::TempFolder(); }
  bool CreateViewFile(const std::u16string& path, const std::string& bytes) override;
  void DeleteViewFile(const std::u16string& path) override { ::DeleteFileW(Wide(path)); }
  bool OpenPage(const std::u16string& path) override;

 private:
  HWND& host_;
};

// Posted to the host window to open the update manager there, on the host's thread.
UINT ResumeUpdateMessage();

// The support server of this variant: the shipped one, or in the sim variant the local
// stand-in named by TELLWICK_SUPPORT_HOST.
const OperatorSettings& ShellOperatorSettings();
// How the update server is had: through the elevation moniker as shipped, or created in
// process in the sim variant (Wine has no elevation moniker).
ServerAccess ShellServerAccess();
// The restart an install asks for: Windows' own (none), or in the sim variant only a record.
RestartPort ShellRestart();

// Everything the entry points share, created by WickpostInitialize.
struct Shell {
  Shell();
  // Start-up; the fetcher is made once the identity is read.
  int Initialize(HWND hostWindow, InitRecord& record, MiscCommon::CMiscCommon* client);

  HWND host = nullptr;
  std::unique_ptr<http::CHttpFetcher> fetcher;
  std::unique_ptr<ClientDriverPort> driver;
  WinSettingsStore store;
  WinClock clock;
  WinNetwork network;
  MsxmlDocument xml;
  WinFeedDownload download;
  WinWindows windows;
  WinMachineRegistry registry;
  WinFileSystem files;
  WinFileRedirection redirection;
  SetupApiDrivers drivers;
  WinHistoryFile history;
  kit::TempPageFiles<> pageFiles{L"WKP"};
  kit::CodePage932 codePage;
  WinPageLocale locale;
  kit::TableStrings strings;
  WinDesktop desktop;
  Module module;
  WinCatalogueFiles catalogueFiles;
  // The HTML document object where the system has an HTML engine, the portable reader where not.
  DocumentAnchors documentAnchors;
  PortableAnchors portableAnchors{catalogueFiles, codePage};
  EngineOrPortableAnchors anchors{documentAnchors, portableAnchors};
  WinDownloadDisk disk;
  // The download and install work of the progress dialog.
  ProgressWorker updateWorker = UpdateWorker;

  // The manager's ports and source over this shell, for one run.
  struct ManagerRun {
    explicit ManagerRun(Shell& s);
    FilterPorts filter;
    CataloguePorts ports;
    ManagerSetup setup;
    EngineSetup engine;
  };
};

// Null before a successful WickpostInitialize.
inline Shell* TheShell() { return kit::Instance<Shell>::Get(); }

}  // namespace web
