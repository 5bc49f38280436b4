// The Win32 side of the registration reminder: the ports over the registry, the driver
// client, files and the clock, and the one module-wide state the entry points share.
#pragma once
#include <windows.h>

#include <memory>

#include "host/module_contract.h"
#include "modules/kit/module/kit_offer.h"
#include "modules/kit/module/kit_win.h"
#include "modules/registration/reg_reminder.h"

namespace reg {


class WinFiles : public kit::TempPageFiles<IFiles> {
 public:
  WinFiles() : TempPageFiles(L"WRG") {}
  std::u16string ModuleFolder() override;
  std::u16string BitmapPath() override;
  bool WriteQr(const std::u16string& path, const std::string& text) override;
};

// Everything the entry points share, created by WickpostInitialize.
struct Shell {
  explicit Shell(MiscCommon::CMiscCommon* client) : store(client, L"WKPTREG") {}
  kit::WinClock clock;
  kit::WinOfferStore<> store;
  WinFiles files;
  QueryCrypto crypto;
  std::unique_ptr<Reminder> reminder;
  kit::OfferPage setup;  // the host window, the module's index and the settings page
};

// Null before a successful WickpostInitialize.
inline Shell* TheShell() { return kit::Instance<Shell>::Get(); }

using kit::U16;
using kit::Wide;

}  // namespace reg
