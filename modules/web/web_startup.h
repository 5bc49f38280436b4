// The web module's start-up and the answers its checks give the host, over the ports of
// the identity, settings and feed choice.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "modules/kit/page_files.h"
#include "modules/web/web_identity.h"
#include "modules/web/web_operator.h"
#include "modules/web/web_settings.h"

namespace web {

// Where the preinstalled image's type is read: the version file, else the BIOS extension
// table. Nothing from a source that cannot be read.
class IPreinstallProbe {
 public:
  virtual ~IPreinstallProbe() = default;
  virtual std::optional<std::string> VersionFileHead() = 0;
  virtual std::optional<std::vector<std::array<uint8_t, 8>>> BiosTable() = 0;
};

// 1 (this country's image) or 2; nothing when neither source answers.
std::optional<int> PreinstallType(IPreinstallProbe& probe);

// The start-up record's fields the module reads and writes.
struct InitRecord {
  bool present = false;
  int32_t cbSize = 0, version = 0;
  std::size_t driverClientEnd = 0;  // end of the driver client's field in this build
  uint32_t checkInterval = 0;       // out
  int32_t menuItemCount = 0;        // out
};

struct StartState {
  Identity identity;
  std::u16string feedUrl;
  Settings settings;
};

// Checks the record, reads the identity, chooses the feed and reads the settings. 0, or
// -253/-254 for the record, -251 when the driver fails, -252 for a model without a feed.
// On success the record asks for a check every 60 ticks and two menu items when the module
// or its settings page is on, else for neither.
int Start(InitRecord& record, IDriverPort* driver, IPreinstallProbe& probe, ISettingsStore& store,
          const OperatorSettings& op, StartState& out);

constexpr uint32_t kCheckInterval = 60;
constexpr int32_t kMenuItems = 2;

// The persistent "not connected" line: CHECK_ACTION with NOTIFY_PERSISTENT, code 0xFFFF.
constexpr uint32_t kNotConnectedResult = 0x20000002u;
constexpr uint16_t kNotConnectedCode = 0xFFFF;
kit::CheckAnswer NotConnectedAnswer(const std::u16string& text113);
// The page line: string 107 with its "%d" replaced by the unread count.
kit::CheckAnswer PageAnswer(const std::u16string& text107, int unread, const std::u16string& pagePath);

// The settings page's minute list ("0", "15", "30", "45") and its hour list ("0" to "23").
int MinuteIndex(uint32_t minute);
uint32_t MinuteOfIndex(int index);
// Which controls are enabled: the method choice and categories while the module is on, the
// time controls only while it is on and checks at a fixed time.
struct PageEnabling {
  bool choices = false;
  bool time = false;
};
PageEnabling EnablingFor(bool enable, uint32_t method);

}  // namespace web
