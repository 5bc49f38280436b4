// The battery module's state and rules behind its entry points: settings per pack, the
// once-per-run automatic check, the manual check, the page and its clicks, and the saves.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "modules/battery/bat_driver.h"
#include "modules/battery/bat_page.h"
#include "modules/battery/bat_ports.h"
#include "modules/battery/bat_rules.h"
#include "modules/battery/bat_text.h"
#include "modules/kit/guard.h"
#include "modules/kit/page_click.h"
#include "modules/kit/page_files.h"

namespace bat {

using kit::kCheckKeep;
using kit::kCheckNothing;
using kit::kCheckPage;
using kit::kErrDriver;
using kit::kErrNotAvailable;

struct Settings {
  uint32_t enable = 0, notifyMask = 0, autoMask = 0;
  std::array<uint32_t, 3> interval{};
  bool operator==(const Settings& o) const {
    return enable == o.enable && notifyMask == o.notifyMask && autoMask == o.autoMask && interval == o.interval;
  }
};

// Which values a save writes.
constexpr uint32_t kSaveEnable = 1, kSaveNotify = 2, kSaveAuto = 4, kSaveInterval0 = 8, kSaveAll = 0x3F;
uint32_t ChangedFields(const Settings& before, const Settings& after);

struct Battery {
  Settings live;
  std::array<Date, 3> lastNotify{};
  Date recal;
  bool present = false;
  std::u16string identity, captured;
  bool recalChanged = false;
  Date newRecal;
  uint32_t toCheck = 0;
};

using kit::CheckAnswer;

// What the page's script reports of a click.
using ClickEvent = kit::PageClick;
struct ClickAction {
  int result = 1;
  bool launchUtility = false;
  bool openManual = false;
  std::u16string element;  // an element whose disabled state changes
  bool disable = false;
};

struct DebugBox {
  std::u16string text, caption;
  int condition;
};

class Module {
 public:
  struct Ports {
    IPacketPort& driver;
    IClock& clock;
    IStore& store;
    IBatteryDevices& devices;
    IFiles& files;
    ICodePage& codePage;
    IStrings& strings;
  };
  explicit Module(Ports ports, const LayoutPatterns& patterns = DefaultLayoutPatterns());
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  // 0, or -251 when the model is unknown, the layout undecided or the module switched off,
  // -252 when a text is missing from the string table.
  int Initialize(const std::optional<std::string>& model);

  bool IsEnabled() const;
  // pageCapacity: characters the host's page buffer holds, terminator included.
  CheckAnswer AutoCheck(int pageCapacity);
  CheckAnswer ManualCheck(int pageCapacity);
  void EnableAutoCheck(bool on);
  int PopupHeight() const { return page_.count == 1 ? 450 : 0; }
  bool SetupEnabled() const { return setupEnable_; }
  void OnShow();
  ClickAction OnClick(const ClickEvent& e);
  void OnClose();
  // Deletes a page left over at unload.
  void Unload();
  // The page handed to the host, if any.
  kit::PageFiles& Pages() { return pages_; }

  // The debug boxes shown at start when the debug switch is on and the custom file loaded.
  std::vector<DebugBox> DebugBoxes() const;

  // For the settings page and the second battery's dialog.
  int Kind() const { return kind_; }
  int Count() const { return count_; }
  uint32_t DefaultMaskOf(int b) const { return DefaultMask(kind_, b); }
  void LoadSettings(int b);
  const Battery& At(int b) const { return batteries_[b]; }
  // Makes `s` battery b's live settings and saves all of them under `id`.
  bool CommitSettings(int b, const std::u16string& id, const Settings& s);

  const std::u16string& PagePath() const { return pages_.Path(); }
  // The texts loaded from the string table at initialisation.
  const Strings& Texts() const { return strings_; }

 private:
  struct PageState {
    int count = 0;
    bool automatic = false;
    bool shownAfterAuto = false;
    LocalTime shownAt;
    std::array<uint32_t, 2> found{};
    std::array<std::u16string, 2> captured;
    std::array<Settings, 2> base, pending;
  };
  struct Outcome {
    std::array<uint32_t, 2> found{};
    std::array<uint32_t, 2> percent{};
    int count = 0;
    uint32_t all = 0;
    void Add(int b, uint32_t bits, uint32_t percentValue);
  };

  Settings DefaultSettings(int b);
  Settings PackSettings(int b, const std::u16string& id);
  std::optional<int64_t> Midnight(const Date& d);
  bool Save(const std::u16string& id, const Settings& s, uint32_t fields, uint32_t datesFound, const Date* recal);
  void Evaluate(int b, Outcome& out);
  CheckAnswer CommonCheck(bool automatic, int pageCapacity);
  bool WritePage(const Outcome& out, int pageCapacity);

  Ports ports_;
  const LayoutPatterns& patterns_;
  int kind_ = 0, count_ = 1;
  bool setupEnable_ = true, debug_ = false, autoDone_ = false;
  int debugCycle_ = 3;
  Strings strings_;
  std::optional<TextTable> custom_;
  std::array<Battery, 2> batteries_;
  PageState page_;
  kit::PageFiles pages_;
};

}  // namespace bat
