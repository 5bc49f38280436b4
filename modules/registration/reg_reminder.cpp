#include "modules/registration/reg_reminder.h"

#include "modules/registration/reg_page.h"

namespace reg {

int Reminder::Initialize(bool hasDriver) {
  hasDriver_ = hasDriver;
  std::string model;
  if (!store_.ReadModel(model)) return -251;
  variant_ = ChooseVariant(std::u16string(model.begin(), model.end()), settings_);
  if (variant_ == Variant::None) return -251;
  store_.EnsureHostKey();
  if (!hasDriver_) return 0;

  setupEnable_ = store_.SetupEnable();
  if (!setupEnable_) return 0;
  firstUse_ = kit::FirstUse(store_, clock_);
  const std::optional<uint32_t> notify = store_.Notify();
  choice_ = !notify || *notify != 0;
  lastNotified_ = store_.LastNotified();
  return 0;
}

std::optional<int64_t> Reminder::DaysNow() {
  if (!firstUse_) return std::nullopt;
  return DaysBetween(*firstUse_, clock_.Now());
}

bool Reminder::InsideWindowNow() { return hasDriver_ && setupEnable_ && InsideWindow(variant_, DaysNow()); }

bool Reminder::IsEnabled() { return choice_ && InsideWindowNow(); }

bool Reminder::NotifiedToday() {
  const LocalTime now = clock_.Now();
  return lastNotified_ && *lastNotified_ == MonthDay{now.month, now.day};
}

CheckAnswer Reminder::Answer(uint32_t kind, bool withText) {
  CheckAnswer a;
  a.result = kind;
  if (withText) {
    const bool urgent = IsUrgent(variant_, DaysNow());
    a.textId = urgent ? Info(variant_).urgentText : Info(variant_).normalText;
    if (urgent) a.result |= kNotifyWarning;
    a.pagePath = pages_.Path();
  }
  return a;
}

CheckAnswer Reminder::AutoCheck(int pageCapacity) {
  if (!hasDriver_) return Answer(kCheckNothing, false);
  if (!forced_) {
    if (!IsEnabled()) return Answer(kCheckNothing, false);
    if (pages_.Held()) return Answer(kCheckKeep, false);
    if (NotifiedToday()) return Answer(kCheckNothing, false);
  }
  return Check(pageCapacity);
}

CheckAnswer Reminder::ManualCheck(int pageCapacity) {
  if (forced_) return AutoCheck(pageCapacity);
  if (hasDriver_ && pages_.Held() && IsEnabled()) return Answer(kCheckPage, true);
  return Answer(kCheckNothing, false);
}

CheckAnswer Reminder::Check(int pageCapacity) {
  forced_ = false;
  // A page that cannot be made leaves the previous one to the kit's rule: the host still
  // lists it after a manual check.
  std::string model, serial;
  if (!store_.ReadModel(model) || !store_.ReadSerial(serial) || !BuildPage(model, serial, pageCapacity))
    return Answer(kCheckNothing, false);
  ++generation_;
  const LocalTime now = clock_.Now();
  lastNotified_ = MonthDay{now.month, now.day};
  return Answer(kCheckPage, true);
}

bool Reminder::BuildPage(const std::string& model, const std::string& serial, int pageCapacity) {
  if (!pages_.Begin()) return false;
  const std::u16string bitmap = files_.BitmapPath();
  PageInput in;
  in.variant = variant_;
  in.moduleFolder = files_.ModuleFolder();
  in.title = title_;
  const VariantInfo& info = Info(variant_);
  if (info.hasQr) {
    std::optional<std::string> text = QrAddress(variant_, settings_);
    if (info.protectedQuery) {
      // Without its query the warranty form cannot tell the machine: no code at all is
      // better than one that leads nowhere, and the page still links the address.
      const std::optional<std::string> query = BuildQuery(model + "&" + serial, settings_.queryPassword, crypto_);
      text = query ? std::optional<std::string>(*text + *query) : std::nullopt;
    }
    if (text && files_.WriteQr(bitmap, *text)) {
      pages_.Attach(bitmap);
      in.qrImage = bitmap;
    }
  }
  // The host copies at most pageCapacity - 1 characters: the kit refuses a path that would be cut.
  return pages_.Write(ToUtf8(reg::BuildPage(in, settings_))) && pages_.Commit(pageCapacity);
}

void Reminder::OnShow() {
  shownAt_ = clock_.Now();
  shownGeneration_ = pages_.Held() ? generation_ : 0;
}

void Reminder::OnClose() {
  Save();
  // A popup that still showed an older page: its files went when the newer page was made.
  const bool stale = shownGeneration_ != 0 && shownGeneration_ != generation_;
  shownGeneration_ = 0;
  if (!stale) pages_.Withdraw();
}

void Reminder::Apply(bool notify) {
  if (InsideWindowNow()) choice_ = notify;
  Save();
}

void Reminder::Save() {
  if (!hasDriver_ || !setupEnable_ || store_.AuditMode()) return;
  if (shownAt_) store_.SaveLastNotified(MonthDay{shownAt_->month, shownAt_->day});
  // Reminders wanted and still due: past the window's end this stores "off" for good.
  store_.SaveNotify(IsEnabled());
}

}  // namespace reg
