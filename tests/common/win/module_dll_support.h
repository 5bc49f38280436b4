// What a test needs to drive a module DLL the way the host does: the simulated notebook
// the module's driver client talks to, and a stand-in property sheet for its settings page.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "common/core/misccommon.h"
#include "host/module_contract.h"
#include "sim/driver/sim_driver.h"
#include "sim/driver/sim_registry.h"

namespace wintest {
// A scenario's registry, driver and an open driver client.
class SimNotebook {
 public:
  // Loads the scenario at `winePath`; false with `error` when it cannot.
  bool Load(const std::wstring& winePath, bool applyRegistryPresets, std::string& error);
  MiscCommon::CMiscCommon* client() const { return client_.get(); }
  void Reset();

 private:
  // Declared in this order so that the client goes first: it talks to the driver, which
  // keeps the registry.
  std::unique_ptr<sim::ISimRegistry> registry_;
  std::unique_ptr<sim::SimDriver> driver_;
  std::unique_ptr<MiscCommon::CMiscCommon> client_;
};

// A module's settings page created from its own template and procedure inside a bare window
// that stands in for the property sheet and counts the PSM_CHANGED the page sends it.
class SetupPageInSheet {
 public:
  SetupPageInSheet(HMODULE dll, int dialogId, WickpostSetupDlgProcFn proc);
  ~SetupPageInSheet();
  SetupPageInSheet(const SetupPageInSheet&) = delete;
  SetupPageInSheet& operator=(const SetupPageInSheet&) = delete;
  HWND page() const { return page_; }
  int changes() const;
  void ResetChanges();
  // Sends the sheet's PSN_APPLY to the page; returns the page's answer.
  LRESULT Apply() const;

 private:
  HWND sheet_ = nullptr;
  HWND page_ = nullptr;
};
}  // namespace wintest
