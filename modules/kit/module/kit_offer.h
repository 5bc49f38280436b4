// The Win32 half of the offer modules' shared schedule: the clock, the registry values of
// IOfferStore under the module's own key, and the settings page with its "Notify" box and
// show-now button.
#pragma once
#include <windows.h>

#include <string>

#include "modules/kit/module/kit_offer_ids.h"
#include "modules/kit/module/kit_win.h"
#include "modules/kit/offer_schedule.h"

namespace MiscCommon {
class CMiscCommon;
}

namespace kit {

class WinClock : public IClock {
 public:
  LocalTime Now() override;
  bool LocalFromUnix(uint32_t seconds, LocalTime& out) override;
};

// The identity through the host's driver client, and the values under "Software\Velmorant\WICKPOST\<key>" (machine, user) and the first-use
// values of the machine; "Notify" through the host's driver client (which may be null).
class OfferRegistry {
 public:
  OfferRegistry(MiscCommon::CMiscCommon* client, const wchar_t* moduleKeyName);
  bool SetupEnable();
  std::optional<std::u16string> FirstLogin();
  std::optional<uint32_t> InstallDate();
  std::optional<uint32_t> Notify();
  bool SaveNotify(bool on);
  std::optional<MonthDay> LastNotified();
  bool SaveLastNotified(MonthDay day);
  void EnsureHostKey();
  bool AuditMode();
  bool ReadModel(std::string& model);
  bool ReadSerial(std::string& serial);

 private:
  MiscCommon::CMiscCommon* client_;  // the host's, lent
  std::wstring key_;
};

// A module's store port (IOfferStore, or one built on it) over OfferRegistry.
template <class Port = IOfferStore>
class WinOfferStore : public Port {
 public:
  WinOfferStore(MiscCommon::CMiscCommon* client, const wchar_t* moduleKeyName) : registry_(client, moduleKeyName) {}
  bool SetupEnable() override { return registry_.SetupEnable(); }
  std::optional<std::u16string> FirstLogin() override { return registry_.FirstLogin(); }
  std::optional<uint32_t> InstallDate() override { return registry_.InstallDate(); }
  std::optional<uint32_t> Notify() override { return registry_.Notify(); }
  bool SaveNotify(bool on) override { return registry_.SaveNotify(on); }
  std::optional<MonthDay> LastNotified() override { return registry_.LastNotified(); }
  bool SaveLastNotified(MonthDay day) override { return registry_.SaveLastNotified(day); }
  void EnsureHostKey() override { registry_.EnsureHostKey(); }
  bool AuditMode() override { return registry_.AuditMode(); }
  bool ReadModel(std::string& model) override { return registry_.ReadModel(model); }
  bool ReadSerial(std::string& serial) override { return registry_.ReadSerial(serial); }

 private:
  OfferRegistry registry_;
};

// The settings page both offer modules show: banner 1001, the "Notify" box 1006, the
// show-now button 1007.
constexpr int kOfferBanner = IDC_BANNER, kOfferNotify = IDC_NOTIFY, kOfferShowNow = IDC_SHOW_NOW;
constexpr Banner::Ids kOfferBanners = {IDB_BANNER_96, IDB_BANNER_120, IDB_BANNER_144};

struct OfferPage {
  HWND host = nullptr;   // the host's main window and this module's index there
  int moduleIndex = 0;
  HWND window = nullptr;  // while the page exists
  Banner banner;
};

// The page's dialog procedure body. WM_APP makes the page show the module's choice again.
INT_PTR OfferSetupMessage(IOfferSetup& module, OfferPage& page, HWND dialog, UINT message, WPARAM wParam,
                          LPARAM lParam);

}  // namespace kit
