// The Win32 side of the warranty offer: the ports over the registry, the driver client,
// files, the network and the screen, and the one module-wide state the entry points share.
#pragma once
#include <windows.h>

#include <memory>

#include "common/win/http_fetcher.h"
#include "host/module_contract.h"
#include "modules/kit/module/kit_offer.h"
#include "modules/kit/module/kit_win.h"
#include "modules/warranty/xwpk_offer.h"

namespace xwpk {

class WinFiles : public kit::TempPageFiles<IFiles> {
 public:
  WinFiles() : TempPageFiles(L"WXP") {}
  std::u16string ModuleFolder() override { return kit::ModuleFolder(); }
  bool NewDefinitionFile(std::u16string& path) override { return kit::NewPageFile(L"EWD", path); }
  bool NewImageFile(std::u16string& path) override;
  bool ReadDefinition(const std::u16string& path, std::u16string& text) override;
};

// The shared fetcher, made at the first fetch, with the agent that carries no machine tag.
class WinNet : public INet {
 public:
  bool Fetch(const std::u16string& url, const std::u16string& target) override;

 private:
  std::unique_ptr<http::CHttpFetcher> fetcher_;
};

class WinDesktop : public IDesktop {
 public:
  Size ScreenSize() override { return Size{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }
  void Inform(const std::u16string& text, const std::u16string& caption) override {
    MessageBoxW(nullptr, kit::Wide(text), kit::Wide(caption), MB_OK);
  }
};

// The support server of this variant: the maker's, or in the sim variant the local stand-in
// named by TELLWICK_SUPPORT_HOST.
const Settings& ShellSettings();

// Everything the entry points share, created by WickpostInitialize.
struct Shell {
  explicit Shell(MiscCommon::CMiscCommon* client) : store(client, L"WKPTXWPK") {}
  kit::WinClock clock;
  kit::WinOfferStore<> store;
  WinFiles files;
  WinNet net;
  WinDesktop desktop;
  std::unique_ptr<Offer> offer;
  kit::OfferPage setup;  // the host window, the module's index and the settings page
};

// Null before a successful WickpostInitialize.
inline Shell* TheShell() { return kit::Instance<Shell>::Get(); }

}  // namespace xwpk
