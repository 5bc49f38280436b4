// The extended-warranty offer's state and its answers to the host, over small ports so that
// the Win32 shell only adapts the registry, files, network, screen and the driver client.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "modules/kit/guard.h"
#include "modules/kit/offer_schedule.h"
#include "modules/kit/page_files.h"
#include "modules/warranty/xwpk_rules.h"

namespace xwpk {

// The schedule's registry values and the machine's identity (the kit's).
using IStore = kit::IOfferStore;

// The page files (kit::IPageFiles) and the downloads, in the temporary folder.
class IFiles : public kit::IPageFiles {
 public:
  virtual std::u16string ModuleFolder() = 0;
  virtual bool NewDefinitionFile(std::u16string& path) = 0;  // a fresh temporary file
  virtual bool NewImageFile(std::u16string& path) = 0;       // a fresh, empty image file
  // The definition file's text, read as Shift_JIS (code page 932).
  virtual bool ReadDefinition(const std::u16string& path, std::u16string& text) = 0;
};

class INet {
 public:
  virtual ~INet() = default;
  // True when the whole body of a successful answer is at `target`; else `target` is as before.
  virtual bool Fetch(const std::u16string& url, const std::u16string& target) = 0;
};

class IDesktop {
 public:
  virtual ~IDesktop() = default;
  virtual Size ScreenSize() = 0;
  virtual void Inform(const std::u16string& text, const std::u16string& caption) = 0;
};

extern const char16_t kNoConnection[];
extern const char16_t kOfferCaption[];

class Offer : public kit::IOfferSetup {
 public:
  Offer(const Settings& settings, kit::IClock& clock, IStore& store, IFiles& files, INet& net, IDesktop& desktop)
      : settings_(settings), clock_(clock), store_(store), files_(files), net_(net), desktop_(desktop), pages_(files) {}

  // MODULE_E_DRIVER when the model number is unreadable or the model gets no offer; else 0.
  int Initialize(bool hasDriver);
  bool SetupEnabled() const { return hasDriver_ && setupEnable_; }
  bool Notify() const { return notify_; }
  // The switch is on and the offer year is still open (evaluated now).
  bool IsEnabled();
  // The settings page's box can be changed: the offer year is still open.
  bool InsideOfferYearNow();

  // pageCapacity: characters the host's page buffer holds, terminator included.
  kit::CheckAnswer AutoCheck(int pageCapacity);
  kit::CheckAnswer ManualCheck(int pageCapacity);

  void OnShow();
  void OnClose();
  ClickOutcome OnClick(const kit::PageClick& click);
  void Force() override { forced_ = true; }
  // The settings page's apply: its box counts only while it can be changed.
  void Apply(bool notify) override;
  bool Live() override { return InsideOfferYearNow(); }
  bool Choice() override { return Notify(); }

  // The page handed to the host and its size.
  kit::PageFiles& Pages() { return pages_; }
  PageSize Page();

 private:
  enum class Made { Page, NoConnection, Failed };
  Made Prepare(int pageCapacity);
  std::optional<Definition> Download();
  kit::CheckAnswer PageAnswer() const;
  int64_t DaysNow();
  bool OfferedToday();
  void Save();

  const Settings& settings_;
  kit::IClock& clock_;
  IStore& store_;
  IFiles& files_;
  INet& net_;
  IDesktop& desktop_;

  bool hasDriver_ = false;
  bool setupEnable_ = false;
  bool notify_ = false;
  std::optional<kit::LocalTime> firstStart_;
  std::optional<kit::MonthDay> lastNotified_;
  bool offeredThisRun_ = false;
  bool forced_ = false;
  std::optional<kit::LocalTime> shownAt_;
  bool onScreen_ = false;  // between the host's show and close of a popup

  // Each page has its generation, so that closing a popup of an older page leaves the newer
  // page's files alone.
  uint32_t generation_ = 0;
  uint32_t shownGeneration_ = 0;

  kit::PageFiles pages_;
  std::u16string text_;
  PageSize page_;
};

}  // namespace xwpk
