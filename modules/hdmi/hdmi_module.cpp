#include "modules/hdmi/hdmi_module.h"

#include <algorithm>

#include "common/pattern/pattern.h"

namespace hdmi {
namespace {
constexpr uint32_t kSeen = 1, kHandled = 2;
constexpr int kScalingValues[3] = {100, 75, 65};
}  // namespace

const char kModelPattern[] = "^PT-\\d\\dKB\\d";

int CheckModel(const std::string& model, const char* pattern) {
  const Pattern::Status s = Pattern::Find(pattern, model);
  if (Pattern::IsError(s)) return -252;
  return s == Pattern::Status::Match ? 0 : -251;
}

void Module::OnDisplayChange() {
  if (changing_) changedMeanwhile_ = true;
  else Detect();
}

void Module::ChangeOver() {
  changing_ = false;
  if (!changedMeanwhile_) return;
  changedMeanwhile_ = false;
  p_.host.PostDetect();
}

void Module::NoTv() {
  state_ = kNoTv;
  currentKey_.clear();
  Gone();
}

void Module::Gone() {
  if (p_.host.PanelOpen()) {
    p_.host.DestroyPanel();
    return;
  }
  // A shown page closes, and a listed line really goes: a manual check that answers nothing
  // would leave it on the host's list.
  if (pageShown_) p_.host.PostClosePopup();
  if (pending_ || triggerPending_) {
    pending_ = false;
    triggerPending_ = false;
    p_.host.WithdrawLine();
  }
}

// A notice handed over after a withdrawal the host has not yet taken (a television plugged in
// again before its next tick) must not be taken off with it.
void Module::Notifying() {
  pending_ = true;
  p_.host.KeepLine();
}

void Module::MarkHandled() {
  if (!currentKey_.empty()) p_.store.SetKnown(currentKey_, kHandled);
}

void Module::Detect() {
  saved_.reset();
  pageFromSettings_ = false;
  if (!notify_) return;
  std::unique_ptr<IDisplay> d = p_.displays.Open();
  if (!d) {
    NoTv();
    return;
  }
  const uint32_t uid = d->HdmiUid();
  DisplayList list;
  if (uid == 0 || !d->List(list)) {
    NoTv();
    return;
  }
  const auto at = std::find(list.uids.begin(), list.uids.end(), uid);
  if (at == list.uids.end() || (list.mode != 1 && list.mode != 5)) {
    NoTv();
    return;
  }
  const int index = static_cast<int>(at - list.uids.begin());
  Edid edid{};
  if (!d->ReadEdid(uid, edid)) {
    NoTv();
    return;
  }
  const std::u16string key = MonitorKey(PnpId(edid), list.mode, index, list.count);
  // The panel and the page mark the monitor present now, never one seen before it.
  currentKey_ = key;
  uint32_t known = 0;
  if (const auto value = p_.store.Known(key)) known = *value;
  else p_.store.SetKnown(key, kSeen);

  int state = Classify(edid);
  if (state != kMonitor) {
    extended_ = list.mode == 5;
    if (const auto forced = ValidOverride(p_.store.Override())) state = *forced;
    if (known == 0) {
      state_ = state;
      FirstTimeSettings(*d, uid);
    }
  }
  state_ = state;

  if (state == kMakerTvQuiet || state == kMonitor || state == kNoTv) {
    if (p_.host.PanelOpen()) {
      MarkHandled();
      p_.host.PostPanelState(state);
    } else {
      Gone();
    }
    return;
  }
  if (p_.host.PanelOpen()) {
    MarkHandled();
    p_.host.PostPanelState(state);
    return;
  }
  if (pageShown_) p_.host.PostClosePopup();
  if (known != kHandled && !triggerPending_) p_.host.StartTimer();
}

void Module::FirstTimeSettings(IDisplay& d, uint32_t uid) {
  Changing([&] {
    if (state_ == kMakerFullHd) {
      if (d.SetResolution(uid, 1920, 1080, 32) != ResolutionResult::Failed) d.SetScaling(uid, 100);
    } else if (state_ == kMakerTv || state_ == kMakerTvQuiet) {
      d.SetResolution(uid, 1280, 720, 32);
      d.SetScaling(uid, 75);
    }
  });
}

void Module::OnTimer() {
  triggerPending_ = true;
  p_.host.PostCheckModule();
}

kit::CheckAnswer Module::ManualCheck(int pageCapacity) {
  kit::CheckAnswer a;
  if (!triggerPending_) {
    a.result = pending_ ? kit::kCheckKeep : kit::kCheckNothing;
    return a;
  }
  const int state = state_;
  triggerPending_ = false;
  if (!notify_) return a;
  if (pending_) {
    if (p_.host.PanelOpen()) {
      if (saved_) state_ = *saved_, saved_.reset();
      MarkHandled();
      p_.host.PostPanelState(state);
      return a;
    }
    if (pageShown_) {
      if (state != kMakerFullHd) {
        p_.host.PostClosePopup();
        p_.host.StartTimer();
      }
      a.result = kit::kCheckKeep;
      return a;
    }
  }
  if (saved_) state_ = *saved_, saved_.reset();
  if (state == kMakerFullHd) {
    // The previous page goes when the new one replaces it.
    if (!pages_.Begin() || !pages_.Write(BuildFullHdPage(p_.files.ModulePath(), texts_.title)) ||
        !pages_.Commit(pageCapacity))
      return a;
    a.result = kit::kCheckPage;
    a.text = texts_.pageLine;
    a.page = pages_.Path();
    Notifying();
    return a;
  }
  if (state != kNoTv) {
    Notifying();
    a.result = kCheckAction;
    a.text = texts_.actionLine;
    a.code = static_cast<uint16_t>(state);
  }
  return a;
}

void Module::OnShow() {
  if (pageFromSettings_) pageFromSettings_ = false;
  else MarkHandled();
  pageShown_ = true;
}

void Module::OnClose() {
  pending_ = false;
  pageShown_ = false;
  pages_.Withdraw();
}

void Module::PanelOpened() { MarkHandled(); }

void Module::Unload() { pages_.Withdraw(); }

void Module::PanelClosed() {
  pending_ = false;
  changed_.reset();
  rememberedScaling_.reset();
}

int Module::ItemForScaling(int value) {
  if (value == 100) return 0;
  if (value >= 75 && value <= 99) return 1;
  if (value >= 1 && value <= 74) return 2;
  return -1;
}

Module::ResolutionChange Module::SetResolution(int button, bool oldWindows) {
  ResolutionChange change;
  changed_.reset();
  rememberedScaling_.reset();
  std::unique_ptr<IDisplay> d = p_.displays.Open();
  if (!d) return change;
  const uint32_t uid = d->HdmiUid();
  if (uid == 0) return change;
  static const uint32_t kSizes[3][2] = {{1920, 1080}, {1360, 768}, {1280, 720}};
  if (button < 0 || button > 2) return change;
  const uint32_t width = kSizes[button][0], height = button == 1 && oldWindows ? 765 : kSizes[button][1];
  return Changing([&] {
    change.result = d->SetResolution(uid, width, height, 32);
    if (change.result != ResolutionResult::Failed && (state_ == kMakerTv || state_ == kMakerTvQuiet)) {
      const int before = d->GetScaling(uid);
      const int value = button == 1 ? 100 : 75;
      if (d->SetScaling(uid, value)) {
        rememberedScaling_ = before;
        change.scalingItem = ItemForScaling(value);
      }
    }
    if (change.result == ResolutionResult::Changed) {
      changed_ = std::move(d);
      changedUid_ = uid;
    }
    return change;
  });
}

std::optional<int> Module::Revert() {
  std::optional<int> item;
  if (!changed_) return item;
  Changing([&] {
    changed_->SetResolution(changedUid_, 0, 0, 0);
    if (rememberedScaling_ && changed_->SetScaling(changedUid_, *rememberedScaling_))
      item = ItemForScaling(*rememberedScaling_);
  });
  changed_.reset();
  rememberedScaling_.reset();
  return item;
}

void Module::KeepChange() {
  changed_.reset();
  rememberedScaling_.reset();
}

int Module::SelectScaling(int item) {
  if (item < 0 || item > 2) return -1;
  std::unique_ptr<IDisplay> d = p_.displays.Open();
  const uint32_t uid = d ? d->HdmiUid() : 0;
  if (uid == 0) return -1;
  const bool ok = Changing([&] { return d->SetScaling(uid, kScalingValues[item]); });
  return ok ? item : ItemForScaling(d->GetScaling(uid));
}

std::optional<int> Module::CurrentScalingItem() {
  std::unique_ptr<IDisplay> d = p_.displays.Open();
  const uint32_t uid = d ? d->HdmiUid() : 0;
  const int value = uid ? d->GetScaling(uid) : 0;
  if (value == 0) return std::nullopt;
  return ItemForScaling(value);
}

bool Module::ShowPanelFromSettings() {
  pageFromSettings_ = false;
  Detect();
  if (state_ == kNoTv) return false;
  if (state_ == kMakerFullHd) {
    saved_ = kMakerFullHd;
    state_ = kTv;
  }
  if (pageShown_) p_.host.PostClosePopup();
  triggerPending_ = true;
  return true;
}

void Module::ShowPageFromSettings() {
  if (p_.host.PanelOpen()) p_.host.DestroyPanel();
  saved_ = state_;
  state_ = kMakerFullHd;
  pageFromSettings_ = true;
  triggerPending_ = true;
}

}  // namespace hdmi
