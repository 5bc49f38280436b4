#include "modules/anomaly/anm_module.h"

#include "common/core/html_text.h"

namespace anm {
namespace {
constexpr int kErrDriver = -251, kErrNotAvailable = -252;
}

uint32_t Module::ReloadState() {
  bool write = false;
  const uint32_t s =
      StateMask(p_.store.UserDword(kValueState), p_.store.MachineDword(kValueState), offered_, write);
  if (write && !p_.store.AuditMode()) p_.store.WriteUserDword(kValueState, s);
  return s;
}

Readings Module::Read() {
  Readings r;
  r.level = level_;
  r.battery = ReadBattery(p_.driver, level_);
  r.adaptor = ReadAdaptor(p_.driver, level_);
  return r;
}

int Module::Initialize(kit::IStrings& strings) {
  if (p_.store.AuditMode()) return kErrDriver;
  const auto model = p_.machine.Model();
  if (!model) return kErrDriver;
  std::optional<std::string> versionLine;
  std::optional<uint16_t> table;
  region_ = RegionKind(*model, std::nullopt, std::nullopt);
  if (region_ != 0) {
    versionLine = p_.machine.VersionDocLine();
    if (!versionLine) table = ReadRegionEntry(p_.driver);
    region_ = RegionKind(*model, versionLine, table);
  }
  functionEnable_ = p_.store.MachineDword(u"FunctionEnable").value_or(1) != 0;
  if (!functionEnable_) return kErrDriver;
  level_ = ReadLevel(p_.driver);
  records_ = LoadRecords(p_.registry);
  admin_ = p_.machine.Administrator();
  if (const auto mask = p_.store.MachineDword(u"NotifyCheckBoxMask")) offered_ = *mask;
  else offered_ = OfferedMask(region_, !records_.empty(), Read());
  setupEnable_ = p_.store.MachineDword(u"SetupEnable").value_or(1) != 0;
  state_ = ReloadState();
  if (offered_ == 0) return kErrDriver;
  texts_.Load(strings);
  debug_ = p_.store.MachineDword(u"CustomNotificationDebug").value_or(0) != 0;
  if (const auto path = p_.store.MachineString(u"CustomNotification"); path && !path->empty() && p_.files.Exists(*path)) {
    kit::XmlElement root;
    if (p_.files.LoadXml(*path, root)) texts_.SetCustom(CustomTexts(root));
  }
  (void)kErrNotAvailable;
  return 0;
}

std::vector<Entry> Module::DebugEntries() const {
  std::vector<Entry> out;
  if (!debug_ || !texts_.Custom()) return out;
  for (int e = 0; e < kEntries; ++e)
    if (CustomTypeName(static_cast<Entry>(e))) out.push_back(static_cast<Entry>(e));
  return out;
}

bool Module::OnWindowMessage(uint32_t message, uintptr_t wParam, uint32_t ecMessage) {
  const EventAction a = DecodeEvent(message, wParam, sessionActive_, ecMessage);
  if (a.sessionActive) sessionActive_ = *a.sessionActive;
  if (a.recheck) Recheck();
  if (a.postCheckOnly) p_.host.PostCheck();
  return a.recheck || a.postCheckOnly || a.sessionActive.has_value();
}

void Module::Recheck() {
  if (pageShown_) p_.host.ClosePopup();
  p_.host.PostCheck();
}

// The registers a check needs: the battery's when the machine offers its notice (red shows
// whatever the user chose), the adaptor's when one of its notices is offered and wanted.
Readings Module::ReadForCheck() {
  Readings r;
  r.level = level_;
  if (offered_ & kBitBattery) r.battery = ReadBattery(p_.driver, level_);
  if ((offered_ & (kBitAdaptor | kBitMini)) && (state_ & (kBitAdaptor | kBitMini)))
    r.adaptor = ReadAdaptor(p_.driver, level_);
  return r;
}

kit::CheckAnswer Module::ManualCheck(int pageCapacity) {
  kit::CheckAnswer a;
  findings_ = Check(offered_, state_, ReadForCheck(), [&] { return Scan(records_, p_.registry); });
  if (!findings_.Any()) return a;
  PageInput in;
  in.findings = findings_;
  in.texts = &texts_;
  in.records = &records_;
  in.language = PageLanguage(p_.machine.UiLanguage());
  in.modulePath = p_.files.ModulePath();
  in.dateTime = p_.machine.DateTimeText();
  in.administrator = admin_;
  in.repairRunning = repairRunning_.load();
  const auto page = BuildPage(in);
  if (!page || !pages_.Begin()) return a;
  const std::string bytes = html::ToUtf8(*page);  // no terminator in the file
  if (!pages_.Write(bytes) || !pages_.Commit(pageCapacity)) return a;
  a.result = kit::kCheckPage | 0x40000000u;
  a.page = pages_.Path();
  return a;
}

std::optional<uint16_t> Module::OnClick(const kit::PageClick& c) {
  if (c.type != u"click") return std::nullopt;
  std::u16string tag;
  for (char16_t ch : c.tag) tag += ch >= u'A' && ch <= u'Z' ? static_cast<char16_t>(ch + 32) : ch;
  if (tag == u"input" && !c.id.empty()) {
    for (const PageBox& b : PageBoxes())
      if (c.id == b.id) state_ = c.checked ? (state_ & ~b.bit) : (state_ | b.bit);
    return std::nullopt;
  }
  if (tag == u"button" && !c.id.empty() && c.id.size() <= 5) {
    uint32_t id = 0;
    for (char16_t ch : c.id) {
      if (ch < u'0' || ch > u'9') return std::nullopt;
      id = id * 10 + (ch - u'0');
    }
    if (id < records_.size()) return static_cast<uint16_t>(id);
  }
  return std::nullopt;
}

void Module::OnClose() {
  pageShown_ = false;
  pages_.Withdraw();
  if (functionEnable_ && !p_.store.AuditMode()) p_.store.WriteUserDword(kValueState, state_);
}

void Module::SettingsOpened() {
  // The state in memory is the latest: a shown page's unsaved choices are in it, and the
  // stored one is written from it.
  draft_ = state_;
  settingsOpen_ = true;
}

void Module::SettingsToggle(uint32_t bit, bool on) { draft_ = on ? (draft_ | bit) : (draft_ & ~bit); }

void Module::SettingsApply() {
  if (functionEnable_ && !p_.store.AuditMode()) p_.store.WriteUserDword(kValueState, draft_);
  if (draft_ != state_) {
    state_ = draft_;
    if (pageShown_) p_.host.ClosePopup();
    p_.host.PostCheckViaModule();
  }
}

void Module::SettingsClosed() {
  draft_ = state_;  // what was not applied is dropped
  settingsOpen_ = false;
}

std::optional<RepairRecord> Module::BeginRepair(uint16_t id) {
  if (!admin_ || id >= records_.size()) return std::nullopt;
  bool idle = false;
  if (!repairRunning_.compare_exchange_strong(idle, true)) return std::nullopt;
  return records_[id];
}

void Module::EndRepair() { repairRunning_ = false; }

}  // namespace anm
