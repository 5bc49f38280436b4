// The module manager: the check clock, the notification list, attention and tray state.
// All decisions live here; the calls into modules and the presentation go through two ports.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/core/host_settings.h"
#include "host/core/notification_list.h"

namespace host {

constexpr uint32_t kIntervalNever = 0xFFFFFFFFu;

// One answer of a check, already copied out of the module's buffers.
struct CheckAnswer {
  uint32_t result = 0;
  std::u16string text;
  std::u16string page;
  uint16_t code = 0;

  uint16_t kind() const { return static_cast<uint16_t>(result & 0xFFFFu); }
  uint32_t flags() const { return result & 0xFFFF0000u; }
};

struct PageGeometry {
  int width = 380, height = 520;  // 0 answers are replaced by these
  int offsetX = 0, offsetY = 0;
  uint32_t timeoutTicks = 0;
};

// Calls into the loaded modules. Optional entry points that are absent answer as described.
class IModules {
 public:
  virtual ~IModules() = default;
  virtual size_t Count() const = 0;
  virtual uint32_t Interval(size_t module) const = 0;
  virtual bool IsEnabled(size_t module) = 0;
  virtual CheckAnswer AutoCheck(size_t module) = 0;
  virtual CheckAnswer ManualCheck(size_t module) = 0;
  virtual bool HasInitialMessage(size_t module) const = 0;
  virtual bool ProbeInitialMessage(size_t module) = 0;  // true when it has a paragraph
  virtual bool GetInitialMessage(size_t module, std::u16string* paragraph) = 0;
  virtual void EnableAutoCheck(size_t module, bool enable) = 0;
  virtual bool HasDoNotify(size_t module) const = 0;
  virtual void DoNotify(size_t module, uint16_t code) = 0;
  virtual PageGeometry GetPageGeometry(size_t module) = 0;
  virtual void HTMLOnShow(size_t module) = 0;
  virtual void HTMLOnClose(size_t module) = 0;
  // WickpostGetMiniPopupOffset; false when the module does not answer.
  virtual bool MiniPopupOffset(size_t, int*, int*) { return false; }
};

enum class TrayIcon { Normal = 140, Pending = 141, Alert = 142, PendingFlash = 143 };
enum class FirstRunAnswer { Yes, No, Cancel };
enum class HostText { TrayTip = 104, NoNotifications = 108, PendingTip = 111, FirstRunIntro = 112, FirstRunAsk = 113, FirstRunLine = 114 };

// What the user sees: tray, mini popup, page popup, toasts, sounds and message boxes.
class IPresenter {
 public:
  virtual ~IPresenter() = default;
  virtual std::u16string Text(HostText id) = 0;
  virtual void Beep() = 0;          // a new notification
  virtual void RefusalBeep() = 0;   // a command that cannot run now
  // Answers whether it is shown; dx, dy move it away from the taskbar's corner.
  virtual bool ShowMiniPopup(const NotificationList& list, int dx, int dy) = 0;
  virtual void CloseMiniPopup() = 0;
  virtual bool ForegroundFillsScreen() = 0;
  virtual bool ToastsAvailable() = 0;
  virtual void RaiseToast(int kind) = 0;  // 0 new notification, 1 show-now
  virtual bool ShowPage(const std::u16string& path, const PageGeometry& geometry, uint32_t timeoutMs) = 0;
  virtual void HidePage() = 0;
  virtual void BringPageToFront() = 0;
  virtual void SetTray(TrayIcon icon, const std::u16string& tooltip) = 0;
  virtual void ShowNoNotifications() = 0;
  virtual FirstRunAnswer AskFirstRun(const std::u16string& text) = 0;
  virtual void SaveSettings() = 0;
};

class ModuleManager {
 public:
  ModuleManager(IModules& modules, IPresenter& presenter, HostSettings& settings);

  size_t HostSlot() const { return list_.size() - 1; }
  const NotificationList& list() const { return list_; }
  bool MiniPopupShown() const { return miniShown_; }
  std::optional<size_t> PageSlot() const { return pageSlot_; }
  bool paused() const { return paused_; }
  TrayIcon trayIcon() const { return trayIcon_; }
  const std::u16string& trayTip() const { return trayTip_; }

  // The clock: flashing, the automatic pass (unless paused) and the mini popup's auto-hide.
  void Tick();
  // IDM_CHECKNOW: a manual check of every module, or a refusal beep while paused.
  void CheckNow();
  // WM_HOST_CHECKMODULE: a manual check of one module; other indexes are ignored.
  void CheckModule(uintptr_t index);
  void SetPaused(bool paused) { paused_ = paused; }

  void Open(size_t slot);
  void ShowPersistent();
  void PageClosed();        // the popup has hidden the page
  void DismissAll();        // the mini popup's dismiss-all
  void MiniPopupClosed();   // the mini popup window went away by itself
  // A left click on the tray icon or an activated toast; false when there was nothing to
  // bring up (the tray then opens its menu).
  bool TrayActivated();
  void KeepMiniPopup();     // the user reached for the mini popup: no auto-hide
  void DisplayChanged();    // the mini popup is placed again
  void UpdateTray();

 private:
  // Marks a module busy while the host is inside one of its calls that may run a nested
  // message loop. Kept apart from the page on screen, so a nested page keeps its close.
  class Busy {
   public:
    Busy(ModuleManager& m, size_t slot) : m_(m), slot_(slot) { ++m_.busy_[slot_]; }
    ~Busy() { --m_.busy_[slot_]; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

   private:
    ModuleManager& m_;
    size_t slot_;
  };
  struct Schedule {
    uint32_t counter = 0;
    bool retry = false;
  };

  bool IsCurrent(size_t slot) const { return (pageSlot_ && *pageSlot_ == slot) || busy_[slot] > 0; }
  void AutomaticPass();
  // One check of module `slot` with the module marked busy meanwhile.
  CheckAnswer Check(size_t slot, bool manual);
  // Lists a page or action answer; true when it is new.
  bool List(size_t slot, const CheckAnswer& a);
  void FirstRunProbe(bool* fresh);
  void ManualCheck(size_t index);
  void ShowNow(uint32_t flagWord);
  void Attention(bool changed, bool fresh);
  void ShowMini();
  void CloseMini();
  void CloseShownPage();
  // The module's HTMLOnClose, with the module busy: a nested loop there lets no check in.
  void CloseModulePage(size_t slot);
  void FirstRunQuestion();

  IModules& modules_;
  IPresenter& presenter_;
  HostSettings& settings_;
  NotificationList list_;
  std::vector<Schedule> schedule_;
  std::vector<int> busy_;
  std::optional<size_t> pageSlot_;
  bool miniShown_ = false;
  bool autoHideActive_ = false;
  uint32_t autoHideCounter_ = 0;
  uint32_t firstRunCounter_ = 0;
  bool probeDone_ = false;
  bool paused_ = false;
  TrayIcon trayIcon_ = TrayIcon::Normal;
  std::u16string trayTip_;
};

}  // namespace host
