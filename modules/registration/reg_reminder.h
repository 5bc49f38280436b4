// The registration reminder's state and its answers to the host, over small ports so that
// the Win32 shell only adapts registry, files, clock and the driver client.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "modules/kit/offer_schedule.h"
#include "modules/kit/page_files.h"
#include "modules/registration/reg_query.h"
#include "modules/registration/reg_rules.h"
#include "modules/registration/reg_settings.h"

namespace reg {

using kit::IClock;
using kit::MonthDay;

// The schedule's registry values and the machine's identity (the kit's).
using IStore = kit::IOfferStore;

// The page files (kit::IPageFiles) and the QR bitmap the page shows, in the temporary folder.
class IFiles : public kit::IPageFiles {
 public:
  virtual std::u16string ModuleFolder() = 0;
  virtual std::u16string BitmapPath() = 0;
  virtual bool WriteQr(const std::u16string& path, const std::string& text) = 0;  // no file on failure
};

// The contract's check results (host/module_contract.h; the shell asserts they agree).
using kit::kCheckKeep;
using kit::kCheckNothing;
using kit::kCheckPage;
constexpr uint32_t kNotifyWarning = 0x10000000u;

struct CheckAnswer {
  uint32_t result = 0;        // CheckResult: kind | flags
  uint16_t textId = 0;        // string-table id of the line, with CHECK_PAGE
  std::u16string pagePath;    // with CHECK_PAGE
};

class Reminder : public kit::IOfferSetup {
 public:
  Reminder(const Settings& settings, IClock& clock, IStore& store, IFiles& files, QueryCrypto& crypto)
      : settings_(settings), clock_(clock), store_(store), files_(files), crypto_(crypto), pages_(files) {}

  // MODULE_E_DRIVER when the model number is unreadable or fits no offer; else 0.
  // Without a driver client the module loads but never reminds.
  int Initialize(bool hasDriver);
  Variant GetVariant() const { return variant_; }
  void SetPageTitle(std::u16string title) { title_ = std::move(title); }

  bool IsEnabled();            // evaluated now: the window may have closed since the last call
  bool InsideWindowNow();      // the settings page's check box is live only inside the window
  bool UserChoice() const { return choice_; }
  bool SetupEnabled() const { return hasDriver_ && setupEnable_; }

  // pageCapacity: characters the host's page buffer holds, terminator included.
  CheckAnswer AutoCheck(int pageCapacity);
  CheckAnswer ManualCheck(int pageCapacity);

  void OnShow();
  void OnClose();
  // The page's "already registered" box.
  void OnCheckDone(bool checked) { choice_ = !checked; }
  void Force() override { forced_ = true; }
  // The settings page's apply: its check box counts only while the window is open.
  void Apply(bool notify) override;
  bool Live() override { return InsideWindowNow(); }
  bool Choice() override { return UserChoice(); }
  // The page handed to the host, if any; an unclosed page goes with the reminder.
  kit::PageFiles& Pages() { return pages_; }

 private:
  CheckAnswer Check(int pageCapacity);
  CheckAnswer Answer(uint32_t kind, bool withText);
  bool BuildPage(const std::string& model, const std::string& serial, int pageCapacity);
  std::optional<int64_t> DaysNow();
  bool NotifiedToday();
  void Save();

  const Settings& settings_;
  IClock& clock_;
  IStore& store_;
  IFiles& files_;
  QueryCrypto& crypto_;

  bool hasDriver_ = false;
  Variant variant_ = Variant::None;
  bool setupEnable_ = false;
  std::optional<LocalTime> firstUse_;
  bool choice_ = true;                 // the user wants reminders
  std::optional<MonthDay> lastNotified_;
  bool forced_ = false;
  std::u16string title_ = u"Tellwick";

  // The page handed to the host, if any, with its bitmap. Each page has its own generation so
  // that the close of a popup showing an older page leaves a newer page's files alone.
  kit::PageFiles pages_;
  uint32_t generation_ = 0;
  uint32_t shownGeneration_ = 0;
  std::optional<LocalTime> shownAt_;
};

}  // namespace reg
