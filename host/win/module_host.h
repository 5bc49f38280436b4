// The loaded modules: loading from the host's folder, the calls into them, and unloading at the very end.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "host/core/menu_table.h"
#include "host/core/module_manager.h"
#include "host/module_contract.h"
#include "host/win/settings_sheet.h"

namespace host {

struct EntryPoints {
  WickpostInitializeFn initialize = nullptr;
  WickpostIsEnableFn isEnable = nullptr;
  WickpostCheckFn autoCheck = nullptr;
  WickpostCheckFn manualCheck = nullptr;
  WickpostGetNotifyIconMenuItemsFn getMenuItems = nullptr;
  WickpostIconMenuFn iconMenu = nullptr;
  WickpostDoNotifyFn doNotify = nullptr;
  WickpostOnWndMsgFn onWndMsg = nullptr;
  WickpostHTMLOnShowFn htmlOnShow = nullptr;
  WickpostHTMLOnClickFn htmlOnClick = nullptr;
  WickpostHTMLOnCloseFn htmlOnClose = nullptr;
  WickpostGetSetupDlgFn getSetupDlg = nullptr;
  WickpostSetupDlgProcFn setupDlgProc = nullptr;
  WickpostGetInitialMessageFn getInitialMessage = nullptr;
  WickpostEnableAutoCheckFn enableAutoCheck = nullptr;
  WickpostGetPairFn getPopupSize = nullptr;
  WickpostGetPairFn getPopupOffset = nullptr;
  WickpostGetPairFn getMiniPopupOffset = nullptr;
  WickpostGetHTMLTimeoutFn getHTMLTimeout = nullptr;

  void Resolve(HMODULE library);
  bool HasMandatory() const { return initialize && isEnable && autoCheck && manualCheck; }
};

// One library, freed when the holder goes. The record and the menu array stay at one
// address for the module's life: the module may keep pointers into them.
class LoadedModule {
 public:
  explicit LoadedModule(HMODULE library) : library_(library) {}
  ~LoadedModule() { FreeLibrary(library_); }
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;
  HMODULE library() const { return library_; }

  EntryPoints fn;
  ModuleInitInfo info = {};
  std::unique_ptr<ModuleMenuItem[]> menu;
  int32_t menuCount = 0;  // the length of `menu`

 private:
  HMODULE library_;
};

class ModuleSet : public IModules {
 public:
  ~ModuleSet() override { UnloadAll(); }

  // Loads the known names in order; indexes count only the modules that loaded.
  void Load(HWND host, WickpostDriverClient* client, const wchar_t* caption, MenuTable* menu);
  void UnloadAll() { modules_.clear(); }
  bool AnyEnabled();
  void Forward(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void IconMenu(size_t module, int id);
  // True when the click may go on: the module answered nonzero, or has no click handler.
  bool HTMLOnClick(size_t module, IHTMLEventObj* eventObject);
  // The modules' settings pages in load order, asked anew each time the sheet opens.
  std::vector<ModulePage> SetupPages();

  size_t Count() const override { return modules_.size(); }
  uint32_t Interval(size_t i) const override { return modules_[i]->info.checkInterval; }
  bool IsEnabled(size_t i) override { return modules_[i]->fn.isEnable() != 0; }
  CheckAnswer AutoCheck(size_t i) override { return Check(modules_[i]->fn.autoCheck); }
  CheckAnswer ManualCheck(size_t i) override { return Check(modules_[i]->fn.manualCheck); }
  bool HasInitialMessage(size_t i) const override { return modules_[i]->fn.getInitialMessage != nullptr; }
  bool ProbeInitialMessage(size_t i) override { return modules_[i]->fn.getInitialMessage(nullptr, 0) == 0; }
  bool GetInitialMessage(size_t i, std::u16string* paragraph) override;
  void EnableAutoCheck(size_t i, bool enable) override;
  bool HasDoNotify(size_t i) const override { return modules_[i]->fn.doNotify != nullptr; }
  void DoNotify(size_t i, uint16_t code) override { modules_[i]->fn.doNotify(code); }
  PageGeometry GetPageGeometry(size_t i) override;
  void HTMLOnShow(size_t i) override;
  void HTMLOnClose(size_t i) override;
  bool MiniPopupOffset(size_t i, int* dx, int* dy) override;

 private:
  std::unique_ptr<LoadedModule> LoadOne(const wchar_t* name, HWND host, WickpostDriverClient* client, int index,
                                        const wchar_t* caption);
  static bool FetchMenu(LoadedModule& m);
  static CheckAnswer Check(WickpostCheckFn fn);

  std::vector<std::unique_ptr<LoadedModule>> modules_;
};

}  // namespace host
