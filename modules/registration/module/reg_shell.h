// The Win32 side of the registration reminder: the ports over the registry, the driver
// client, files and the clock, and the one module-wide state the entry points share.
#pragma once
#include <windows.h>

#include <memory>

#include "host/module_contract.h"
#include "modules/kit/module/kit_win.h"
#include "modules/registration/reg_reminder.h"

namespace reg {

class WinClock : public IClock {
 public:
  LocalTime Now() override;
  bool LocalFromUnix(uint32_t seconds, LocalTime& out) override;
};

class WinStore : public IStore {
 public:
  explicit WinStore(MiscCommon::CMiscCommon* client) : client_(client) {}
  bool SetupEnable() override;
  std::optional<std::u16string> FirstLogin() override;
  std::optional<uint32_t> InstallDate() override;
  std::optional<uint32_t> Notify() override;
  bool SaveNotify(bool on) override;
  std::optional<MonthDay> LastNotified() override;
  bool SaveLastNotified(MonthDay day) override;
  void EnsureHostKey() override;
  bool AuditMode() override;
  bool ReadModel(std::string& model) override;
  bool ReadSerial(std::string& serial) override;

 private:
  MiscCommon::CMiscCommon* client_;  // the host's, lent; may be null
};

class WinFiles : public kit::TempPageFiles<IFiles> {
 public:
  WinFiles() : TempPageFiles(L"WRG") {}
  std::u16string ModuleFolder() override;
  std::u16string BitmapPath() override;
  bool WriteQr(const std::u16string& path, const std::string& text) override;
};

// Everything the entry points share, created by WickpostInitialize.
struct Shell {
  explicit Shell(MiscCommon::CMiscCommon* client) : store(client) {}
  HWND host = nullptr;
  int moduleIndex = 0;
  WinClock clock;
  WinStore store;
  WinFiles files;
  QueryCrypto crypto;
  std::unique_ptr<Reminder> reminder;
  HWND setupPage = nullptr;  // while the settings page is open
  kit::Banner banner;
};

// Null before a successful WickpostInitialize.
inline Shell* TheShell() { return kit::Instance<Shell>::Get(); }

using kit::U16;
using kit::Wide;

}  // namespace reg
