// The Win32 side of the HDMI module: the hidden window and its timer, the registry, the page
// files, the display interface in either form, and the one module-wide state.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "host/module_contract.h"
#include "modules/hdmi/hdmi_module.h"
#include "modules/kit/module/kit_win.h"

namespace hdmi {

class WinStore : public IStore {
 public:
  std::optional<uint32_t> Override() override;
  std::optional<uint32_t> Known(const std::u16string& key) override;
  void SetKnown(const std::u16string& key, uint32_t value) override;
};

class WinFiles : public kit::TempPageFiles<IFiles> {
 public:
  WinFiles() : TempPageFiles(L"WHM") {}
  std::u16string ModulePath() override { return kit::ModulePath(); }
};

// The graphics object in this process, or else (a 32-bit process on 64-bit Windows) the
// 64-bit helper beside the module.
class WinDisplayOpener : public IDisplayOpener {
 public:
  std::unique_ptr<IDisplay> Open() override;
};

class WinHostLink : public IHostLink {
 public:
  void PostCheckModule() override;
  void PostClosePopup() override;
  void StartTimer() override;
  void WithdrawLine() override;
  void KeepLine() override;
  void PostDetect() override;
  bool PanelOpen() override { return panel != nullptr; }
  void DestroyPanel() override;
  void PostPanelState(int state) override;

  HWND host = nullptr, hidden = nullptr, panel = nullptr;
  ModuleInitInfo* info = nullptr;  // the host's, for the life of the process
  int moduleIndex = 0;
};

struct Shell {
  Shell(const Texts& texts, bool notify) : module(Module::Ports{opener, store, link, files}, texts, notify) {}
  WinDisplayOpener opener;
  WinStore store;
  WinFiles files;
  WinHostLink link;
  bool setupEnabled = true;
  bool settingsLocked = false;
  std::wstring menuText;
  Module module;
};

inline Shell* TheShell() { return kit::Instance<Shell>::Get(); }

// The variant's own rules for the helper: whether this process may start it.
bool HelperAllowed();

// The panel (dialog 129), modal; its result.
INT_PTR ShowPanel(Shell& s, int state);

// The hidden window's own message: a detection the module deferred.
constexpr UINT kDetectMessage = WM_APP + 1;

const wchar_t kModuleKey[] = L"Software\\Velmorant\\WICKPOST\\WKPTHDMI";
const wchar_t kKnownKey[] = L"Software\\Velmorant\\WICKPOST\\WKPTHDMI\\Known Monitors";

}  // namespace hdmi
