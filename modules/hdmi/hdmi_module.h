// The HDMI module's rules: detection of the television, its first-time resolution and
// scaling, the known-monitor store, the manual check's answer and the panel's settings.
// The Win32 shell (module/) gives the ports: the display interface, the registry, the host's
// window and the module's own, and the page files.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "modules/hdmi/hdmi_display.h"
#include "modules/hdmi/hdmi_edid.h"
#include "modules/kit/page_files.h"

namespace hdmi {

constexpr uint32_t kCheckAction = kit::kCheckAction;

class IDisplayOpener {
 public:
  virtual ~IDisplayOpener() = default;
  virtual std::unique_ptr<IDisplay> Open() = 0;  // null when neither form can be had
};

class IStore {
 public:
  virtual ~IStore() = default;
  virtual std::optional<uint32_t> Override() = 0;  // HKCU "OverrideDisplay"
  virtual std::optional<uint32_t> Known(const std::u16string& key) = 0;
  virtual void SetKnown(const std::u16string& key, uint32_t value) = 0;
};

// The host's window, the module's hidden window and timer, and the panel.
class IHostLink {
 public:
  virtual ~IHostLink() = default;
  virtual void PostCheckModule() = 0;
  virtual void PostClosePopup() = 0;
  virtual void StartTimer() = 0;  // one shot, 100 ms
  // The host takes the module's line off its list (its next tick asks the automatic check,
  // which answers nothing).
  virtual void WithdrawLine() = 0;
  // The host keeps the module's line: no automatic check will take it off (undoes a
  // withdrawal the host has not acted on yet).
  virtual void KeepLine() = 0;
  // A detection soon, from the module's own window's queue (not within the current call).
  virtual void PostDetect() = 0;
  virtual bool PanelOpen() = 0;
  virtual void DestroyPanel() = 0;
  virtual void PostPanelState(int state) = 0;
};

class IFiles : public kit::IPageFiles {
 public:
  virtual std::u16string ModulePath() = 0;
};

struct Texts {
  std::u16string actionLine;  // string 106
  std::u16string pageLine;    // string 107
  std::u16string title;       // string 119
};

// The notebook families with an HDMI port (pattern dialect, model number as shown).
extern const char kModelPattern[];
// 0 when the module serves this model; -252 when the pattern does not compile; -251 otherwise.
int CheckModel(const std::string& model, const char* pattern = kModelPattern);

// The page for the maker's Full-HD television, UTF-8.
std::string BuildFullHdPage(const std::u16string& modulePath, const std::u16string& title);

class Module {
 public:
  struct Ports {
    IDisplayOpener& displays;
    IStore& store;
    IHostLink& host;
    IFiles& files;
  };
  Module(Ports ports, Texts texts, bool notify) : p_(ports), texts_(std::move(texts)), notify_(notify), pages_(ports.files) {}

  void Detect();
  // WM_DISPLAYCHANGE: a detection; while the module changes the display itself, one after.
  void OnDisplayChange();
  void OnTimer();  // the 100 ms timer: ask the host for a manual check
  kit::CheckAnswer ManualCheck(int pageCapacity);
  void OnShow();
  void OnClose();
  // The panel opened for a notification (or from the settings page) and closed again.
  void PanelOpened();
  void PanelClosed();
  void Unload();

  // The panel's resolution buttons: 1920x1080, 1360x768 (1360x765 on old Windows), 1280x720.
  // Changed: the caller confirms and calls Revert when the user does not keep it.
  struct ResolutionChange {
    ResolutionResult result = ResolutionResult::Failed;
    std::optional<int> scalingItem;  // the scaling box's new selection
  };
  ResolutionChange SetResolution(int button, bool oldWindows);
  std::optional<int> Revert();  // the scaling box's selection after the revert, if any
  void KeepChange();            // the user keeps it: nothing left to revert
  // The scaling box's selection change; the item that ends up selected (-1: none).
  int SelectScaling(int item);
  // The current scaling as the box shows it: item, -1 none; nothing when it reads 0 (hidden).
  std::optional<int> CurrentScalingItem();
  static int ItemForScaling(int value);

  // The settings page's buttons.
  void SetNotify(bool on) { notify_ = on; }
  bool Notify() const { return notify_; }
  bool ShowPanelFromSettings();  // false: nothing to show (state 0)
  void ShowPageFromSettings();

  int State() const { return state_; }
  bool NotificationPending() const { return pending_; }
  bool PageShown() const { return pageShown_; }
  bool ExtendedDesktop() const { return extended_; }
  const std::u16string& CurrentKey() const { return currentKey_; }
  kit::PageFiles& Pages() { return pages_; }

 private:
  void Gone();  // no television: withdraw what the module shows
  void MarkHandled();
  void Notifying();  // a notice is handed over
  void FirstTimeSettings(IDisplay& d, uint32_t uid);
  // Runs the module's own display change with detection held off; a display change that
  // came meanwhile (ours, or a television plugged in) is detected once the change is over.
  template <class F>
  auto Changing(F&& f) -> decltype(f()) {
    const bool outer = !changing_;
    changing_ = true;
    struct Reset {
      Module& m;
      bool outer;
      ~Reset() {
        if (outer) m.ChangeOver();
      }
    } reset{*this, outer};
    return f();
  }
  void ChangeOver();
  void NoTv();  // state 0: nothing to keep, and no current monitor

  Ports p_;
  Texts texts_;
  bool notify_;
  int state_ = kNoTv;
  std::optional<int> saved_;
  bool triggerPending_ = false, pending_ = false, pageShown_ = false, pageFromSettings_ = false;
  bool extended_ = false, changing_ = false, changedMeanwhile_ = false;
  std::u16string currentKey_;
  kit::PageFiles pages_;
  // The panel's last change, for its revert: the helper that made it and the scaling before.
  std::unique_ptr<IDisplay> changed_;
  uint32_t changedUid_ = 0;
  std::optional<int> rememberedScaling_;
};

}  // namespace hdmi
