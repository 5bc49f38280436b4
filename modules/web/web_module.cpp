#include "modules/web/web_module.h"

#include "modules/kit/guard.h"
#include "modules/web/module/web_resource_ids.h"
#include "modules/web/web_catalogue.h"
#include "modules/web/web_identity.h"

namespace web {
namespace {

// The image type from the version file, else from the driver's BIOS extension table.
class PreinstallProbe : public IPreinstallProbe {
 public:
  PreinstallProbe(IFileSystem& files, MiscCommon::IPacketPort* driver) : files_(files), driver_(driver) {}
  std::optional<std::string> VersionFileHead() override {
    return files_.ReadHead(kPreinstallVersionFile, kPreinstallHeadBytes);
  }
  std::optional<std::vector<std::array<uint8_t, 8>>> BiosTable() override {
    if (!driver_) return std::nullopt;
    return ReadBiosTable(*driver_);
  }

 private:
  IFileSystem& files_;
  MiscCommon::IPacketPort* driver_;
};

}  // namespace

Module::Module(Ports ports, const OperatorSettings& op) : ports_(std::move(ports)), op_(op), pages_(ports_.pageFiles) {}

Module::~Module() = default;

int Module::Initialize(InitRecord& record, IDriverPort* driver) {
  PreinstallProbe probe(ports_.files, driver);
  const int rc = Start(record, driver, probe, ports_.store, op_, start_);
  if (rc != 0) return rc;
  batteries_ = std::make_unique<DriverBatteryPacks>(*driver, start_.identity.ecInterfaceKind);
  return 0;
}

std::u16string Module::Text(uint16_t id) { return ports_.strings.Load(id).value_or(std::u16string()); }

bool Module::Pending() const { return !held_.empty() && notified_ != 0 && pages_.Held(); }

void Module::Drop() {
  held_.clear();
  notified_ = 0;
}

kit::CheckAnswer Module::NotConnected() {
  Drop();
  return NotConnectedAnswer(Text(IDS_NOT_CONNECTED));
}

CategorySwitches Module::Switches() const {
  return CategorySwitches{settings_.Get(kNotifyImportant) != 0, settings_.Get(kNotifySupport) != 0,
                          settings_.Get(kNotifyTopics) != 0};
}

kit::CheckAnswer Module::AutoCheck(int pageCapacity) {
  const Decision d = schedule_.AutoCheck(settings_, ports_.store, Pending(), ports_.clock, ports_.network);
  if (d.openUpdateManager) ports_.desktop.ResumeUpdateManager();
  kit::CheckAnswer keep;
  switch (d.due) {
    case Due::Nothing: return kit::CheckAnswer{};
    case Due::NotConnected: return NotConnected();
    case Due::Check: return ManualCheck(pageCapacity);
    case Due::Keep: break;
  }
  keep.result = kit::kCheckKeep;
  return keep;
}

kit::CheckAnswer Module::ManualCheck(int pageCapacity) {
  if (!IsEnabled()) return kit::CheckAnswer{};
  if (Pending()) return PageAnswer(Text(IDS_PAGE_LINE), notified_, pages_.Path());
  return Check(pageCapacity);
}

kit::CheckAnswer Module::Check(int pageCapacity) {
  const bool localFile = settings_.Get(kLocalMode) != 0 && ports_.files.ReadHead(kLocalFeedName, 1).has_value();
  const bool offline = settings_.Get(kLocalMode) == 0 && ports_.network.Offline();
  const FeedSource source = ChooseFeedSource(settings_.Get(kLocalMode) != 0, localFile, offline, start_.feedUrl);
  if (source.kind == FeedSource::Unreachable) return NotConnected();

  held_.clear();
  const int parsed = LoadFeed(source.location, ports_.xml, ports_.download, held_);
  if (parsed == kFeedUnreachable) return NotConnected();
  if (parsed <= 0) {
    Drop();
    return kit::CheckAnswer{};
  }

  FilterPorts filter{ports_.windows, ports_.registry, ports_.files, ports_.drivers, *batteries_};
  const CategorySwitches switches = Switches();
  if (FilterItems(held_, start_.identity.machine, switches, filter) > 0) {
    const int unread = MergeHistory(ports_.history, held_);
    if (unread > 0) {
      if (!PublishPopup(held_, pages_, ports_.codePage, switches, ports_.modulePath, ports_.locale) ||
          !pages_.Commit(pageCapacity)) {
        pages_.Abandon();
        Drop();
        return kit::CheckAnswer{};
      }
      notified_ = unread;
      return PageAnswer(Text(IDS_PAGE_LINE), unread, pages_.Path());
    }
  }
  Drop();
  return kit::CheckAnswer{};
}

std::u16string Module::CatalogueFeed() {
  return settings_.Get(kLocalMode) != 0 ? std::u16string(kLocalFeedName) : start_.feedUrl;
}

FilterPorts Module::Filter() {
  return FilterPorts{ports_.windows, ports_.registry, ports_.files, ports_.drivers, *batteries_};
}

std::vector<std::u16string> Module::MenuCaptions() { return {Text(IDS_MENU_HISTORY), Text(IDS_MENU_UPDATE)}; }

void Module::IconMenu(int id) {
  if (id == kMenuHistory) ShowHistory();
  if (id == kMenuUpdate) ports_.desktop.OpenUpdateManager();
}

void Module::DeleteView() {
  for (const std::u16string& path : viewFiles_) ports_.desktop.DeleteViewFile(path);
  viewFiles_.clear();
}

void Module::ShowHistory() {
  const std::optional<std::string> bytes = ports_.history.Read();
  if (!bytes) return;
  const std::vector<HistoryRecord> records = ParseHistory(*bytes);
  if (records.empty()) {
    ports_.desktop.Inform(Text(IDS_NO_HISTORY), Text(IDS_APP_TITLE));
    return;
  }
  const std::u16string temp = ports_.desktop.TempFolder();
  if (temp.empty()) return;
  const HistoryViewText view = HistoryView(records, ports_.modulePath, temp, ports_.locale);
  DeleteView();
  const std::u16string names[3] = {kHistoryFramesetName, kHistoryTitleName, kHistoryContentName};
  const std::u16string* texts[3] = {&view.frameset, &view.title, &view.content};
  bool ok = true;
  for (int i = 0; i < 3; ++i) {
    const std::u16string path = temp + names[i];
    ports_.desktop.DeleteViewFile(path);  // a view left from an earlier run
    const auto encoded = ports_.codePage.Encode(*texts[i]);
    ok = ok && encoded && ports_.desktop.CreateViewFile(path, *encoded);
    viewFiles_.push_back(path);
  }
  if (!ok) {
    DeleteView();
    return;
  }
  ports_.desktop.OpenPage(temp + names[0]);
}

ClickOutcome Module::OnClick(const PageClick& click) {
  ClickOutcome outcome = HandleClick(held_, click);
  if (outcome.openUpdate) ports_.desktop.OpenUpdateManager();
  return outcome;
}

void Module::OnClose() {
  if (!held_.empty()) {
    if (schedule_.PageShown()) WriteReadMarks(ports_.history, held_);
    Drop();
  }
  pages_.Withdraw();
}

int Module::InitialMessage(std::u16string& text) {
  if (!IsEnabled()) return kit::kErrNotAvailable;
  text = Text(IDS_INITIAL_MESSAGE);
  return text.empty() ? kit::kErrNotAvailable : 0;
}

bool Module::ApplySettings(const Settings& edited) {
  for (std::size_t f = 0; f < kFieldCount; ++f) settings_.Set(static_cast<Field>(f), edited.Get(static_cast<Field>(f)));
  return settings_.Save(ports_.store);
}

void Module::Unload() {
  pages_.Withdraw();
  DeleteView();
  // The update manager's catalogue page keeps its name across openings: it goes with the module.
  const std::u16string temp = ports_.desktop.TempFolder();
  if (!temp.empty()) ports_.desktop.DeleteViewFile(temp + kCataloguePageName);
}

}  // namespace web
