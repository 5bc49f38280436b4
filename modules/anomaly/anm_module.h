// The anomaly module's state and its answers to the host: initialisation, the check and its
// page, the page's clicks, the settings page's draft, and the repair's start and end. The
// Win32 shell (module/) gives the ports.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "modules/anomaly/anm_page.h"
#include "modules/anomaly/anm_repair.h"
#include "modules/anomaly/anm_rules.h"
#include "modules/anomaly/anm_text.h"
#include "modules/kit/page_click.h"
#include "modules/kit/page_files.h"

namespace anm {

// HKLM (read only) and HKCU values of the module's key.
class IStore {
 public:
  virtual ~IStore() = default;
  virtual std::optional<uint32_t> MachineDword(const char16_t* name) = 0;
  virtual std::optional<std::u16string> MachineString(const char16_t* name) = 0;
  virtual std::optional<uint32_t> UserDword(const char16_t* name) = 0;
  virtual bool WriteUserDword(const char16_t* name, uint32_t value) = 0;
  virtual bool AuditMode() = 0;
};

// What the module learns of the machine beside the driver's registers.
class IMachine {
 public:
  virtual ~IMachine() = default;
  virtual std::optional<std::string> Model() = 0;  // nothing: the driver did not answer
  virtual std::optional<std::string> VersionDocLine() = 0;  // the factory file's second line
  virtual bool Administrator() = 0;
  virtual uint16_t UiLanguage() = 0;
  virtual std::u16string DateTimeText() = 0;
};

class IFiles : public kit::IPageFiles {
 public:
  virtual std::u16string ModulePath() = 0;
  virtual bool Exists(const std::u16string& path) = 0;
  virtual bool LoadXml(const std::u16string& path, kit::XmlElement& root) = 0;
};

// The host's window and the module's own.
class IHostLink {
 public:
  virtual ~IHostLink() = default;
  virtual void ClosePopup() = 0;       // sent: the page is closed when it returns
  virtual void PostCheck() = 0;        // WM_HOST_CHECKMODULE to the host
  virtual void PostCheckViaModule() = 0;  // through the module's hidden window
};

constexpr const char16_t* kValueState = u"NotifyCheckBoxStateMask";

class Module {
 public:
  struct Ports {
    IStore& store;
    MiscCommon::IPacketPort& driver;
    IMachine& machine;
    IFiles& files;
    IHostLink& host;
    IRepairRegistry& registry;
  };
  explicit Module(Ports p) : p_(p), pages_(p.files) {}

  // 0, or the contract's error value; the texts are loaded by then.
  int Initialize(kit::IStrings& strings);
  // The custom file's entries for the debug boxes, when the debug switch is on and it loaded.
  std::vector<Entry> DebugEntries() const;
  const Texts& TextTable() const { return texts_; }

  bool IsEnable() const { return IsEnable(offered_, state_, functionEnable_); }
  static bool IsEnable(uint32_t offered, uint32_t state, bool on) { return anm::IsEnable(offered, state, on); }
  bool SetupEnabled() const { return setupEnable_; }

  // A message of the hidden window; true when it was the module's.
  bool OnWindowMessage(uint32_t message, uintptr_t wParam, uint32_t ecMessage);
  bool SessionActive() const { return sessionActive_; }
  // Close a shown page, then ask the host for a check.
  void Recheck();

  kit::CheckAnswer ManualCheck(int pageCapacity);
  const Findings& LastFindings() const { return findings_; }

  void OnShow() { pageShown_ = true; }
  // A click in the page: the repair to start, if it is a repair button that may start one.
  std::optional<uint16_t> OnClick(const kit::PageClick& click);
  void OnClose();

  // The settings page edits a draft: applied with Apply, dropped when the page goes without.
  void SettingsOpened();
  void SettingsToggle(uint32_t bit, bool on);
  void SettingsApply();
  void SettingsClosed();
  uint32_t Draft() const { return draft_; }

  // The repair: a copy of the record for the worker when none runs and the user may repair;
  // the flag is taken before the worker starts, so two clicks start one.
  std::optional<RepairRecord> BeginRepair(uint16_t id);
  void EndRepair();
  bool RepairRunning() const { return repairRunning_.load(); }

  uint32_t Offered() const { return offered_; }
  uint32_t State() const { return state_; }
  const std::vector<RepairRecord>& Records() const { return records_; }
  kit::PageFiles& Pages() { return pages_; }

 private:
  uint32_t ReloadState();
  Readings Read();
  Readings ReadForCheck();

  Ports p_;
  Texts texts_;
  kit::PageFiles pages_;
  std::vector<RepairRecord> records_;
  Findings findings_;
  int region_ = 0, level_ = 0;
  bool admin_ = false, functionEnable_ = true, setupEnable_ = true, debug_ = false;
  uint32_t offered_ = 0, state_ = 0, draft_ = 0;
  bool settingsOpen_ = false;
  bool sessionActive_ = true;
  std::atomic<bool> pageShown_{false};
  std::atomic<bool> repairRunning_{false};
};

}  // namespace anm
