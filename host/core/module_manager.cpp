#include "host/core/module_manager.h"

#include <algorithm>

#include "host/core/mini_popup_layout.h"

namespace host {

ModuleManager::ModuleManager(IModules& modules, IPresenter& presenter, HostSettings& settings)
    : modules_(modules),
      presenter_(presenter),
      settings_(settings),
      list_(modules.Count() + 1),
      schedule_(modules.Count()),
      busy_(modules.Count() + 1, 0),
      trayTip_(presenter.Text(HostText::TrayTip)) {}

void ModuleManager::Tick() {
  if (settings_.flashIcon && list_.HasListable() && !miniShown_ && !pageSlot_) {
    if (trayIcon_ == TrayIcon::Pending || trayIcon_ == TrayIcon::PendingFlash) {
      trayIcon_ = trayIcon_ == TrayIcon::Pending ? TrayIcon::PendingFlash : TrayIcon::Pending;
      presenter_.SetTray(trayIcon_, trayTip_);
    }
  }
  if (!paused_) AutomaticPass();
  if (miniShown_ && autoHideActive_) {
    if (autoHideCounter_ > MiniPopupHideTicks(settings_.miniPopupTime)) {
      autoHideCounter_ = 0;
      CloseMini();
      UpdateTray();
    } else {
      ++autoHideCounter_;
    }
  }
}

void ModuleManager::FirstRunProbe(bool* fresh) {
  if (settings_.initialDlgShown != 0 || settings_.initialDlgEnable == 0 || probeDone_) return;
  if (firstRunCounter_ < 60) {
    ++firstRunCounter_;
    return;
  }
  probeDone_ = true;
  bool any = false;
  for (size_t i = 0; i < modules_.Count(); ++i)
    if (modules_.HasInitialMessage(i) && modules_.IsEnabled(i) && modules_.ProbeInitialMessage(i)) any = true;
  if (any) {
    if (list_.Put(HostSlot(), kKindAction, 0, presenter_.Text(HostText::FirstRunLine), ActionPage(1))) *fresh = true;
  } else {
    settings_.initialDlgShown = 1;
    presenter_.SaveSettings();
  }
}

void ModuleManager::AutomaticPass() {
  bool changed = false, fresh = false;
  FirstRunProbe(&fresh);
  for (size_t i = 0; i < schedule_.size(); ++i) {
    Schedule& s = schedule_[i];
    ++s.counter;
    const uint32_t interval = modules_.Interval(i);
    if (interval == kIntervalNever || !(s.retry || s.counter > interval)) continue;
    s.counter = 0;
    if (IsCurrent(i)) {
      s.retry = true;  // checked on the first tick after its page closes
      continue;
    }
    s.retry = false;
    const CheckAnswer a = Check(i, false);
    if (a.kind() == kKindNothing) {
      if (list_.IsFilled(i)) {
        list_.Empty(i);
        changed = true;
      }
    } else if (List(i, a)) {
      fresh = true;
    }
  }
  ShowNow(list_.FlagWord());
  if (!(list_.FlagWord() & kFlagShowNow) && (changed || fresh)) Attention(changed, fresh);
  UpdateTray();
}

CheckAnswer ModuleManager::Check(size_t slot, bool manual) {
  Busy busy(*this, slot);
  return manual ? modules_.ManualCheck(slot) : modules_.AutoCheck(slot);
}

// Only pages and actions are listed; an unknown kind never becomes a line that cannot open.
bool ModuleManager::List(size_t slot, const CheckAnswer& a) {
  if (a.kind() != kKindPage && a.kind() != kKindAction) return false;
  return list_.Put(slot, a.kind(), a.flags(), a.text, a.kind() == kKindAction ? ActionPage(a.code) : a.page);
}

void ModuleManager::Attention(bool changed, bool fresh) {
  if (!list_.HasListable()) {
    if (miniShown_) CloseMini();
  } else if (fresh) {
    if (settings_.beepSound) presenter_.Beep();
    if (presenter_.ForegroundFillsScreen()) {
      if (presenter_.ToastsAvailable()) presenter_.RaiseToast(0);
    } else if ((settings_.miniPopup && !pageSlot_) || miniShown_) {
      ShowMini();
      if (presenter_.ToastsAvailable() && miniShown_) presenter_.RaiseToast(0);
    }
  } else if (changed && miniShown_) {
    ShowMini();  // only withdrawals: redraw what is left
  }
}

void ModuleManager::ShowNow(uint32_t flagWord) {
  if (!(flagWord & kFlagShowNow)) return;
  const std::optional<size_t> slot = list_.FirstWith(kFlagShowNow);
  if (!slot) return;
  CloseShownPage();
  Open(*slot);
  list_.ClearFlag(*slot, kFlagShowNow);
  if (presenter_.ToastsAvailable()) presenter_.RaiseToast(1);
}

// A page replaced by another: its module still gets its close, so it can delete its file.
void ModuleManager::CloseShownPage() {
  if (!pageSlot_) return;
  const size_t old = *pageSlot_;
  presenter_.HidePage();
  pageSlot_.reset();
  if (old < modules_.Count()) CloseModulePage(old);
}

void ModuleManager::CloseModulePage(size_t slot) {
  Busy busy(*this, slot);
  modules_.HTMLOnClose(slot);
}

void ModuleManager::CheckNow() {
  if (paused_) {
    presenter_.RefusalBeep();
    return;
  }
  ManualCheck(modules_.Count());
}

void ModuleManager::CheckModule(uintptr_t index) {
  if (index < modules_.Count()) ManualCheck(static_cast<size_t>(index));
}

void ModuleManager::ManualCheck(size_t index) {
  const bool all = index >= modules_.Count();
  const size_t first = all ? 0 : index, last = all ? modules_.Count() : index + 1;
  uint32_t flagWord = 0;
  bool show = false;
  for (size_t i = first; i < last; ++i) {
    if (IsCurrent(i)) continue;
    const CheckAnswer a = Check(i, true);
    if (a.kind() == kKindKeep) {
      if (list_.IsFilled(i)) show = true;
    } else if (a.kind() == kKindPage || a.kind() == kKindAction) {
      flagWord |= a.flags();
      if (List(i, a)) show = true;
    }
    // CHECK_NOTHING leaves a pending entry alone; an unknown kind is ignored rather than
    // listed as a line that could never be opened.
  }
  ShowNow(flagWord);
  if (show || miniShown_) {
    if (list_.HasListable()) {
      if (!pageSlot_) ShowMini();
      if (settings_.beepSound) presenter_.Beep();
    } else if (miniShown_) {
      CloseMini();
    }
  }
  if (!show && !pageSlot_) {
    if (miniShown_) CloseMini();
    if (all) presenter_.ShowNoNotifications();
  }
  UpdateTray();
}

void ModuleManager::Open(size_t slot) {
  if (!list_.IsFilled(slot)) return;
  const Notification n = list_.at(slot);
  const bool isHost = slot == HostSlot();
  if (n.kind == kKindPage) {
    if (miniShown_) CloseMini();
    const PageGeometry g = isHost ? PageGeometry{} : modules_.GetPageGeometry(slot);
    list_.Empty(slot);
    if (pageSlot_ && *pageSlot_ != slot) CloseShownPage();
    if (presenter_.ShowPage(n.page, g, TicksToMs(g.timeoutTicks, settings_.clockSpeed))) {
      pageSlot_ = slot;
      if (!isHost) modules_.HTMLOnShow(slot);
    }
  } else {
    if (miniShown_) CloseMini();
    if (isHost || modules_.HasDoNotify(slot)) {
      // Emptied before the call: a nested tick may put a fresh entry that must survive.
      list_.Empty(slot);
      Busy busy(*this, slot);
      if (isHost)
        FirstRunQuestion();
      else
        modules_.DoNotify(slot, ActionCode(n));
    }
    if (list_.HasListable() && !pageSlot_) ShowMini();
  }
  UpdateTray();
}

void ModuleManager::FirstRunQuestion() {
  std::u16string text = presenter_.Text(HostText::FirstRunIntro);
  bool any = false;
  for (size_t i = 0; i < modules_.Count(); ++i) {
    if (!modules_.HasInitialMessage(i)) continue;
    any = true;
    std::u16string paragraph;
    if (modules_.GetInitialMessage(i, &paragraph)) text += paragraph;
  }
  if (!any) return;
  text += presenter_.Text(HostText::FirstRunAsk);
  const FirstRunAnswer answer = presenter_.AskFirstRun(text);
  if (answer == FirstRunAnswer::Cancel) return;  // asked again after the next start
  settings_.initialDlgShown = 1;
  presenter_.SaveSettings();
  for (size_t i = 0; i < modules_.Count(); ++i) modules_.EnableAutoCheck(i, answer == FirstRunAnswer::Yes);
}

void ModuleManager::ShowPersistent() {
  if (const std::optional<size_t> slot = list_.FirstWith(kFlagPersistent)) Open(*slot);
}

void ModuleManager::PageClosed() {
  if (!pageSlot_) return;
  const size_t slot = *pageSlot_;
  pageSlot_.reset();
  if (slot < modules_.Count()) CloseModulePage(slot);
  if (list_.HasListable()) ShowMini();
  UpdateTray();
}

void ModuleManager::DismissAll() {
  for (size_t i = 0; i < modules_.Count(); ++i) {
    if (!Dismissible(list_.at(i))) continue;
    list_.Empty(i);
    CloseModulePage(i);
  }
  list_.Empty(HostSlot());
  autoHideCounter_ = 0;
  CloseMini();
  UpdateTray();
}

void ModuleManager::MiniPopupClosed() {
  miniShown_ = false;
  UpdateTray();
}

bool ModuleManager::TrayActivated() {
  if (pageSlot_) {
    presenter_.BringPageToFront();
  } else if (list_.HasListable() && !miniShown_) {
    ShowMini();
    UpdateTray();
  } else if (list_.FirstWith(kFlagPersistent)) {
    ShowPersistent();
  } else {
    return false;
  }
  return true;
}

void ModuleManager::KeepMiniPopup() { autoHideActive_ = false; }

void ModuleManager::DisplayChanged() {
  if (!miniShown_) return;
  CloseMini();
  ShowMini();
  UpdateTray();
}

void ModuleManager::ShowMini() {
  autoHideCounter_ = 0;
  autoHideActive_ = settings_.miniPopupTime != 0;
  // The modules with a pending line may ask for room; the largest request wins.
  int dx = 0, dy = 0;
  for (size_t i = 0; i < modules_.Count(); ++i) {
    int x = 0, y = 0;
    if (!list_.IsFilled(i) || !modules_.MiniPopupOffset(i, &x, &y)) continue;
    dx = std::max(dx, x);
    dy = std::max(dy, y);
  }
  miniShown_ = presenter_.ShowMiniPopup(list_, dx, dy);
}

void ModuleManager::CloseMini() {
  if (miniShown_) presenter_.CloseMiniPopup();
  miniShown_ = false;
}

void ModuleManager::UpdateTray() {
  TrayIcon icon;
  std::u16string tip;
  if (list_.HasListable() && !miniShown_ && !pageSlot_) {
    icon = trayIcon_ == TrayIcon::PendingFlash ? TrayIcon::PendingFlash : TrayIcon::Pending;
    tip = presenter_.Text(HostText::PendingTip);
  } else if (const std::optional<size_t> held = list_.FirstWith(kFlagPersistent)) {
    icon = TrayIcon::Alert;
    if (trayIcon_ == TrayIcon::Alert) {
      tip = trayTip_;  // composed when the alert icon was set, kept while it stays
    } else {
      tip = presenter_.Text(HostText::TrayTip) + u"\n" + list_.at(*held).text;
      if (tip.size() > 127) tip.resize(127);
    }
  } else {
    icon = TrayIcon::Normal;
    tip = presenter_.Text(HostText::TrayTip);
  }
  if (icon == trayIcon_ && tip == trayTip_) return;
  trayIcon_ = icon;
  trayTip_ = tip;
  presenter_.SetTray(icon, tip);
}

}  // namespace host
