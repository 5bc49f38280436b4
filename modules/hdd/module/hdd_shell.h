// The Win32 side of the hard-disk module: Diskwarn.dll by name, the platform, the registry,
// page files, the string table, and the one module-wide state the entry points share.
#pragma once
#include <windows.h>

#include "libs/diskwarn/diskwarn.h"
#include "modules/hdd/hdd_module.h"
#include "modules/kit/module/kit_win.h"

namespace hddm {

// Diskwarn.dll loaded from this module's folder with its nine exports. The library stays
// loaded to the end of the process: the module is unloaded without a call, and nothing may
// be unloaded from DllMain.
class DiskwarnLibrary : public IDiskwarn {
 public:
  bool Load();
  // Back out of a start that failed after Load (outside DllMain: WickpostInitialize).
  void Unload();
  bool CheckTarget(int32_t& isTarget, int32_t& noExcluded) override;
  bool PipeServiceState(int32_t& state, int32_t& startType) override;
  bool DataServiceState(int32_t& state, int32_t& startType) override;
  bool StartService() override;
  bool MotorSpinning(const std::u16string& path, int32_t& spinning) override;
  bool DiskPath(std::u16string& path) override;
  bool DefaultTimes(uint32_t& ac, uint32_t& dc) override;
  bool SupportInfo(int32_t& flags) override;
  bool Evaluate(int modelClass, uint32_t wanted, int32_t& found) override;

 private:
  HMODULE dll_ = nullptr;
  Diskwarn_CheckTargetHddFn checkTarget_ = nullptr;
  Diskwarn_GetServiceStateFn pipeState_ = nullptr, dataState_ = nullptr;
  Diskwarn_StartSysglanceServiceFn start_ = nullptr;
  Diskwarn_CheckHddMotorStopFn motor_ = nullptr;
  Diskwarn_GetHddFileNameFn path_ = nullptr;
  Diskwarn_GetDefaultHibernateTimeFn defaults_ = nullptr;
  Diskwarn_GetSupportInfoFn support_ = nullptr;
  Diskwarn_CheckDiskwarnicationFn evaluate_ = nullptr;
};

class WinPlatform : public IPlatform {
 public:
  LocalTime NowLocal() override;
  std::u16string DateTimeText(const LocalTime& t) override;
  void Sleep(uint32_t ms) override { ::Sleep(ms); }
  bool IsXp() override;
  uint16_t UiLanguage() override { return GetUserDefaultUILanguage(); }
  bool IsAdministrator() override;
  std::optional<uint32_t> EnableLua() override;
  std::u16string ModulePath() override { return kit::ModulePath(); }
};

class WinStore : public IStore {
 public:
  std::optional<uint32_t> UserDword(const char16_t* name) override;
  std::optional<uint32_t> MachineDword(const char16_t* name) override;
  bool WriteUserDword(const char16_t* name, uint32_t value) override;
  bool AuditMode() override;
};

class WinFiles : public kit::TempPageFiles<> {
 public:
  WinFiles() : TempPageFiles(L"WHD") {}
};

class WinStrings : public IStrings {
 public:
  std::u16string Load(uint16_t id) override;
};

struct Shell {
  Shell() : module(Module::Ports{platform, store, files, strings}) {}
  HWND host = nullptr;
  WinPlatform platform;
  WinStore store;
  WinFiles files;
  WinStrings strings;
  DiskwarnLibrary diskwarn;
  Module module;
};

// Asks before starting the viewer's stopped data service; true when the user agreed.
bool ConfirmServiceStart(const Shell& s);

inline Shell* TheShell() { return kit::Instance<Shell>::Get(); }

}  // namespace hddm
