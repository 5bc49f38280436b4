#include "modules/warranty/xwpk_offer.h"

namespace xwpk {

const char16_t kNoConnection[] = u"インターネットに接続できませんでした";
const char16_t kOfferCaption[] = u"延長保証サービスパックのご案内";

int Offer::Initialize(bool hasDriver) {
  hasDriver_ = hasDriver;
  std::string model;
  if (!store_.ReadModel(model) || !Eligible(std::u16string(model.begin(), model.end()), settings_))
    return kit::kErrDriver;
  store_.EnsureHostKey();
  if (!hasDriver_) return 0;
  setupEnable_ = store_.SetupEnable();
  if (!setupEnable_) return 0;
  firstStart_ = OfferDate(kit::FirstUse(store_, clock_));
  // Without a date the switch starts off: the user may still turn it on.
  if (firstStart_ && InsideOfferYear(DaysNow())) {
    const std::optional<uint32_t> notify = store_.Notify();
    notify_ = !notify || *notify != 0;
  }
  lastNotified_ = store_.LastNotified();
  return 0;
}

int64_t Offer::DaysNow() { return DaysSinceFirstStart(firstStart_, clock_.Now()); }

bool Offer::InsideOfferYearNow() { return SetupEnabled() && InsideOfferYear(DaysNow()); }

// Without a first start-up date the year counts as still open: the user may switch it on.
bool Offer::IsEnabled() { return notify_ && InsideOfferYearNow(); }

bool Offer::OfferedToday() {
  // Once per run of the host, and once per calendar day across runs.
  return offeredThisRun_ || (lastNotified_ && *lastNotified_ == kit::DayOf(clock_.Now()));
}

kit::CheckAnswer Offer::PageAnswer() const { return kit::CheckAnswer{kit::kCheckPage, text_, pages_.Path(), 0}; }

kit::CheckAnswer Offer::AutoCheck(int pageCapacity) {
  if (!hasDriver_) return {};
  // The show-now request belongs to this check, to its end.
  const bool forced = forced_;
  forced_ = false;
  if (!forced) {
    // Nothing would make the host withdraw the line, and with it the files of a page the
    // user still reads (who may just have ticked "do not show again").
    if (onScreen_ && pages_.Held()) return kit::CheckAnswer{kit::kCheckKeep, u"", u"", 0};
    if (!IsEnabled()) return {};
    if (pages_.Held()) return kit::CheckAnswer{kit::kCheckKeep, u"", u"", 0};
    if (OfferedToday()) return {};
  }
  switch (Prepare(pageCapacity)) {
    case Made::Page:
      offeredThisRun_ = true;
      return PageAnswer();
    case Made::NoConnection:
      if (forced) desktop_.Inform(kNoConnection, kOfferCaption);
      return {};
    case Made::Failed:
      return {};
  }
  return {};
}

kit::CheckAnswer Offer::ManualCheck(int pageCapacity) {
  if (forced_) return AutoCheck(pageCapacity);
  if (hasDriver_ && pages_.Held() && IsEnabled()) return PageAnswer();
  return {};
}

std::optional<Definition> Offer::Download() {
  std::u16string path, text;
  if (!files_.NewDefinitionFile(path)) return std::nullopt;
  const bool read = net_.Fetch(DefinitionAddress(settings_), path) && files_.ReadDefinition(path, text);
  files_.Delete(path);
  if (!read) return std::nullopt;
  return ParseDefinition(text);
}

// The page held so far stays until a new one is whole: a failed check hands nothing deleted on.
Offer::Made Offer::Prepare(int pageCapacity) {
  const Size screen = desktop_.ScreenSize();
  const PageSize size = PageFor(screen.width, screen.height);
  std::string model, serial;
  if (!store_.ReadModel(model) || !store_.ReadSerial(serial)) return Made::Failed;
  const std::optional<Definition> definition = Download();
  if (!definition) return Made::NoConnection;
  const std::u16string& address = size.small ? definition->smallImage : definition->normalImage;
  if (!ImageAddressAllowed(address)) return Made::NoConnection;
  if (!pages_.Begin()) return Made::Failed;
  std::u16string image;
  if (!files_.NewImageFile(image)) {
    pages_.Abandon();
    return Made::Failed;
  }
  pages_.Attach(image);
  if (!net_.Fetch(address, image)) {
    pages_.Abandon();
    return Made::NoConnection;
  }
  PageInput in;
  in.moduleFolder = files_.ModuleFolder();
  in.imagePath = image;
  in.entryAddress = EntryAddress(settings_);
  in.model.assign(model.begin(), model.end());
  in.serial.assign(serial.begin(), serial.end());
  in.firstStartDate = firstStart_ ? DateDigits(*firstStart_) : u"";
  in.size = size;
  if (!pages_.Write(BuildPage(in)) || !pages_.Commit(pageCapacity)) return Made::Failed;
  text_ = definition->text;
  page_ = size;
  ++generation_;
  return Made::Page;
}

PageSize Offer::Page() {
  if (pages_.Held()) return page_;
  const Size screen = desktop_.ScreenSize();
  return PageFor(screen.width, screen.height);
}

void Offer::OnShow() {
  shownAt_ = clock_.Now();
  onScreen_ = true;
  shownGeneration_ = pages_.Held() ? generation_ : 0;
}

void Offer::OnClose() {
  Save();
  // A popup that still showed an older page: its files went when "show now" made the newer
  // one, which the host lists now.
  const bool stale = shownGeneration_ != 0 && shownGeneration_ != generation_;
  onScreen_ = false;
  shownGeneration_ = 0;
  if (!stale) pages_.Withdraw();
}

ClickOutcome Offer::OnClick(const kit::PageClick& click) {
  const ClickOutcome outcome = ClassifyClick(click);
  if (outcome.notify) notify_ = *outcome.notify;
  return outcome;
}

void Offer::Apply(bool notify) {
  if (InsideOfferYearNow()) notify_ = notify;
  Save();
}

void Offer::Save() {
  if (!hasDriver_ || !setupEnable_ || store_.AuditMode()) return;
  if (offeredThisRun_ && shownAt_) {
    lastNotified_ = kit::DayOf(*shownAt_);
    store_.SaveLastNotified(*lastNotified_);
  }
  store_.SaveNotify(notify_);
}

}  // namespace xwpk
