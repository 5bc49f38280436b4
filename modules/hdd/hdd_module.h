// The hard-disk module's state and rules behind its entry points: the model class, settings,
// the wait for the viewer, the hourly check while the disk spins, the manual check, the UTF-8
// page with its sections, and the page's clicks. Diskwarn and the platform come in as ports.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "modules/kit/page_click.h"
#include "modules/kit/page_files.h"

namespace hddm {

constexpr uint32_t kHibernate = 1, kShock = 2, kTemperature = 4, kPowerOn = 8;
constexpr uint32_t kCheckAction = 2, kNotifyPersistent = 0x20000000u;
constexpr int kErrDriver = -251, kErrNotAvailable = -252;

// Diskwarn.dll's nine exports.
class IDiskwarn {
 public:
  virtual ~IDiskwarn() = default;
  virtual bool CheckTarget(int32_t& isTarget, int32_t& noExcluded) = 0;
  virtual bool PipeServiceState(int32_t& state, int32_t& startType) = 0;
  virtual bool DataServiceState(int32_t& state, int32_t& startType) = 0;
  virtual bool StartService() = 0;
  virtual bool MotorSpinning(const std::u16string& path, int32_t& spinning) = 0;
  virtual bool DiskPath(std::u16string& path) = 0;
  virtual bool DefaultTimes(uint32_t& ac, uint32_t& dc) = 0;
  virtual bool SupportInfo(int32_t& flags) = 0;
  virtual bool Evaluate(int modelClass, uint32_t wanted, int32_t& found) = 0;
};

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class IPlatform {
 public:
  virtual ~IPlatform() = default;
  virtual LocalTime NowLocal() = 0;
  virtual std::u16string DateTimeText(const LocalTime& t) = 0;  // short date and time, user locale
  virtual void Sleep(uint32_t ms) = 0;
  virtual bool IsXp() = 0;
  virtual uint16_t UiLanguage() = 0;  // the user's UI language id
  virtual bool IsAdministrator() = 0;
  virtual std::optional<uint32_t> EnableLua() = 0;  // HKLM policy value, if readable
  virtual std::u16string ModulePath() = 0;
};

class IStore {
 public:
  virtual ~IStore() = default;
  virtual std::optional<uint32_t> UserDword(const char16_t* name) = 0;
  virtual std::optional<uint32_t> MachineDword(const char16_t* name) = 0;
  virtual bool WriteUserDword(const char16_t* name, uint32_t value) = 0;
  virtual bool AuditMode() = 0;
};

class IStrings {
 public:
  virtual ~IStrings() = default;
  virtual std::u16string Load(uint16_t id) = 0;  // empty when missing
};

// The model class from the model number: 0, 1, 2, or nothing.
std::optional<int> ModelClass(const std::string& model);
// "zh-Hant", "zh-Hans", "de", "es", "fr", "it", "ja" or "en"; and the manual's letter code.
std::u16string LanguageTag(uint16_t langId);
std::u16string ManualLetter(uint16_t langId);
// A default hibernation time as the page shows it (XP shows whole hours from 60 minutes).
std::u16string TimeText(uint32_t minutes, bool xp, IStrings& strings);
// "%s" and "%d" filled in order.
std::u16string Fill(const std::u16string& format, const std::vector<std::u16string>& args);

struct Settings {
  uint32_t enable = 0, setupEnable = 0, notifyMask = 15, suppressDialogOff = 0, autoCheck = 0;
};

using ClickEvent = kit::PageClick;
struct ClickAction {
  int result = 1;
  uint32_t suppressDialogFor = 0;  // an event whose suppression the dialog confirms
  uint32_t manualFor = 0;          // an event whose manual chapter opens
  bool powerOptions = false, sleep = false;
};

class Module {
 public:
  struct Ports {
    IPlatform& platform;
    IStore& store;
    kit::IPageFiles& files;
    IStrings& strings;
  };
  explicit Module(Ports ports) : p_(ports), pages_(ports.files) {}

  // Steps before the library: the class and the settings. 0 or -251.
  int Prepare(const std::optional<std::string>& model);
  // With the library: the wait for the pipe service, the disk path, the support flags. 0 or -252.
  int Attach(IDiskwarn& diskwarn);

  bool IsEnabled() const { return s_.enable != 0; }
  kit::CheckAnswer AutoCheck(int pageCapacity);
  kit::CheckAnswer ManualCheck(int pageCapacity);
  void EnableAutoCheck(bool on);
  bool InitialMessageWanted();
  uint16_t SetupDialog();
  // Code 1: asks to start the viewer's service when `confirm` agrees. False when not started.
  bool OfferServiceStart(bool confirmed);
  bool MayStartService() const { return mayStart_; }
  ClickAction OnClick(const ClickEvent& e);
  // The suppression dialog: open while shown, and its answer.
  void SuppressDialogOpen(bool open) { dialogOpen_ = open; }
  void ConfirmSuppressDialog(bool dontShowAgain);
  // The manual for an event: the shortcut file, or the PDF's named destination.
  std::u16string ManualShortcut(uint32_t event);
  std::u16string ManualArguments(uint32_t event, const std::u16string& pdf);
  uint16_t EventName(uint32_t event);
  void OnClose() { pages_.Withdraw(); }
  kit::PageFiles& Pages() { return pages_; }

  // The settings page's data.
  Settings& Current() { return s_; }
  // The events the disk can report, asked of the viewer while still unknown (0).
  uint32_t SupportFlags();
  uint32_t Support() const { return support_; }
  uint32_t Suppressed() const { return suppressed_; }
  void SetSuppressed(uint32_t events) { suppressed_ = events & 15; }
  bool DataServiceRunning();
  void Save();
  int Class() const { return class_; }

  // The page for `events` (wanted and not suppressed), or empty when it would have no section.
  std::u16string PageHtml(uint32_t events, int& sections);

 private:
  void AskTarget();
  uint32_t ReadDword(const char16_t* name, uint32_t fallback, bool userFirst);
  bool WaitDataService(bool& stoppedForGood);

  Ports p_;
  kit::PageFiles pages_;
  IDiskwarn* dw_ = nullptr;
  int class_ = 3;
  Settings s_;
  bool targetKnown_ = false;
  int32_t target_ = 1, noExcluded_ = 1;
  uint32_t support_ = 0, suppressed_ = 0;
  std::u16string path_;
  int lastAutoHour_ = -1;
  bool mayStart_ = false, dialogOpen_ = false;
};

}  // namespace hddm
