#include "modules/web/web_startup.h"

#include "modules/kit/guard.h"

namespace web {

std::optional<int> PreinstallType(IPreinstallProbe& probe) {
  if (auto head = probe.VersionFileHead()) return PreinstallTypeFromVersionFile(*head);
  if (auto table = probe.BiosTable()) return PreinstallTypeFromBiosTable(*table);
  return std::nullopt;
}

int Start(InitRecord& record, IDriverPort* driver, IPreinstallProbe& probe, ISettingsStore& store,
          const OperatorSettings& op, StartState& out) {
  if (int rc = CheckInitRecord(record.present, record.cbSize, record.version, record.driverClientEnd)) return rc;
  if (!driver) return kit::kErrDriver;
  if (int rc = ReadIdentity(*driver, out.identity)) return rc;
  auto url = FeedUrlFor(out.identity.machine.model, op);
  if (!url) return kit::kErrNotAvailable;
  out.feedUrl = *url;

  const uint32_t byModel = DefaultEnable(PreinstallType(probe), out.identity.machine.model, op.seriesCodes);
  out.settings = Settings(byModel, byModel);
  out.settings.Read(store);

  const bool offered = out.settings.Get(kEnable) != 0 || out.settings.setupEnable() != 0;
  record.checkInterval = offered ? kCheckInterval : 0;
  record.menuItemCount = offered ? kMenuItems : 0;
  return 0;
}

kit::CheckAnswer NotConnectedAnswer(const std::u16string& text113) {
  kit::CheckAnswer a;
  a.result = kNotConnectedResult;
  a.text = text113;
  a.code = kNotConnectedCode;
  return a;
}

kit::CheckAnswer PageAnswer(const std::u16string& text107, int unread, const std::u16string& pagePath) {
  kit::CheckAnswer a;
  a.result = kit::kCheckPage;
  a.text = text107;
  const std::size_t at = a.text.find(u"%d");
  if (at != std::u16string::npos) {
    const std::string n = std::to_string(unread);
    a.text.replace(at, 2, std::u16string(n.begin(), n.end()));
  }
  a.page = pagePath;
  return a;
}

int MinuteIndex(uint32_t minute) { return static_cast<int>(minute * 4 / 60); }

uint32_t MinuteOfIndex(int index) { return index < 0 ? 0u : static_cast<uint32_t>(index) * 15u; }

PageEnabling EnablingFor(bool enable, uint32_t method) {
  return PageEnabling{enable, enable && method == kMethodFixedTime};
}

}  // namespace web
