// The Win32 side of the battery module: the ports over the clock, the registry, files, MSXML
// and code page 932, and the one module-wide state the entry points share.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "host/module_contract.h"
#include "modules/battery/bat_module.h"
#include "modules/kit/module/kit_win.h"

namespace bat {

class WinClock : public IClock {
 public:
  int64_t NowUtc() override;
  LocalTime NowLocal() override;
  std::optional<int64_t> LocalMidnight(const Date& date) override;
  std::u16string DateTimeText(const LocalTime& t) override;
};

class WinStore : public IStore {
 public:
  std::optional<uint32_t> MachineDword(const char16_t* name) override;
  std::optional<std::u16string> MachineString(const char16_t* name) override;
  std::optional<uint32_t> UserDword(const std::u16string& pack, const char16_t* name) override;
  std::optional<std::u16string> UserString(const std::u16string& pack, const char16_t* name) override;
  bool WriteUserDword(const std::u16string& pack, const char16_t* name, uint32_t value) override;
  bool WriteUserString(const std::u16string& pack, const char16_t* name, const std::u16string& value) override;
  bool AuditMode() override;
};

class WinFiles : public kit::TempPageFiles<IFiles> {
 public:
  WinFiles() : TempPageFiles(L"WBT") {}
  std::u16string ModulePath() override;
  bool Exists(const std::u16string& path) override;
  bool LoadXml(const std::u16string& path, XmlElement& root) override;  // MSXML 3.0
};

// The battery-class devices of this variant: SetupAPI in the release build, the scenario's in sim.
std::unique_ptr<IBatteryDevices> CreateBatteryDevices();

// Everything the entry points share, created by WickpostInitialize.
struct Shell {
  explicit Shell(MiscCommon::CMiscCommon* client)
      : port(client), devices(CreateBatteryDevices()), module(Module::Ports{port, clock, store, *devices, files, codePage, strings}) {}
  HWND host = nullptr;
  ClientPort port;
  WinClock clock;
  WinStore store;
  WinFiles files;
  kit::CodePage932 codePage;
  kit::TableStrings strings;
  std::unique_ptr<IBatteryDevices> devices;
  Module module;
};

// Null before a successful WickpostInitialize.
inline Shell* TheShell() { return kit::Instance<Shell>::Get(); }

using kit::U16;
using kit::Wide;

}  // namespace bat
