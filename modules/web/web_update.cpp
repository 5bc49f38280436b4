#include "modules/web/web_update.h"

#include "modules/web/update_script.h"

#include "common/core/winversion_rules.h"

namespace web {
namespace {

std::u16string Num(uint64_t v) {
  const std::string s = std::to_string(v);
  return std::u16string(s.begin(), s.end());
}

std::u16string Amounts(uint64_t present, uint64_t total) {
  return u"(" + AmountText(present) + u"/" + AmountText(total) + u")";
}

// a × b / c with a 128-bit product (both builds, the 32-bit one has no wider type);
// saturates when the quotient passes 64 bits. c > 0.
uint64_t MulDiv(uint64_t a, uint64_t b, uint64_t c) {
  const uint64_t a0 = a & 0xFFFFFFFFu, a1 = a >> 32, b0 = b & 0xFFFFFFFFu, b1 = b >> 32;
  const uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  const uint64_t mid = (p00 >> 32) + (p01 & 0xFFFFFFFFu) + (p10 & 0xFFFFFFFFu);
  uint64_t lo = (p00 & 0xFFFFFFFFu) | (mid << 32);
  uint64_t hi = p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32);
  if (hi >= c) return UINT64_MAX;
  uint64_t q = 0;
  for (int i = 0; i < 64; ++i) {
    const bool carry = hi >> 63;
    hi = (hi << 1) | (lo >> 63);
    lo <<= 1;
    q <<= 1;
    if (carry || hi >= c) {
      hi -= c;
      q |= 1;
    }
  }
  return q;
}

int Percent(uint64_t part, uint64_t whole) {
  if (whole == 0) return 100;
  if (part >= whole) return 100;
  return static_cast<int>(MulDiv(part, 100, whole));
}

}  // namespace

std::u16string RowLabel(int state, int percent) {
  switch (state) {
    case kWaitingDownload: return u"ダウンロード待ち";
    case kDownloading: return Num(static_cast<uint64_t>(percent < 0 ? 0 : percent)) + u"% ダウンロード済み";
    case kDownloaded: return u"ダウンロード完了";
    case kDownloadFailed: return u"ダウンロード失敗";
    case kWaitingInstall: return u"インストール待ち";
    case kInstalling: return u"インストール中";
    case kInstalled: return u"インストール成功";
    case kInstallFailed: return u"インストール失敗";
    case kExtracting: return u"展開中";
    case kVerifyFailed: return u"署名確認失敗";
    default: return u"";
  }
}

LoadOutcome AfterLoad(int result, const std::vector<FeedItem>& entries) {
  LoadOutcome o;
  if (result == kCatalogueUnreachable || result == kCatalogueTimedOut) o.show = LoadOutcome::Show::Failed;
  if (result == kCatalogueNoTemp) o.show = LoadOutcome::Show::NoTempFile;
  if (result <= 0) return o;
  bool rows = false;
  for (const FeedItem& e : entries) {
    rows |= ShownOnPage(e);
    o.offerSelfUpdate |= SelfUpdateNeeded(e);
  }
  if (rows || o.offerSelfUpdate) o.show = LoadOutcome::Show::Catalogue;
  return o;
}

std::optional<PageAction> ManagerPageClick(const kit::PageClick& click, std::size_t count) {
  std::u16string tag = click.tag;
  for (char16_t& c : tag)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  if (click.type != u"click" || tag != u"img") return std::nullopt;
  const bool on = click.src.find(u"check_off") == std::u16string::npos;
  if (const auto i = PageEntryIndex(click.id, u"installbutton_", count)) return PageAction{kMgrManualInstall, *i, false, false};
  if (const auto i = PageEntryIndex(click.id, u"download_", count)) return PageAction{kMgrDownloadCheck, *i, on, true};
  if (const auto i = PageEntryIndex(click.id, u"install_", count)) return PageAction{kMgrInstallCheck, *i, on, true};
  return std::nullopt;
}

bool ManagerMayRun(IUserRights& rights) { return rights.WindowsRelease() != WINVER_XP || rights.IsAdministrator(); }

std::u16string TotalSizeText(const std::vector<FeedItem>& entries) {
  uint64_t sum = 0;
  for (const FeedItem& e : entries)
    if (e.downloadChecked) sum += MissingSize(e);
  if (sum == 0) return u" ";
  if (sum > 1048576) return u"合計サイズ: " + Num(sum >> 20) + u"MB";
  if (sum > 1024) return u"合計サイズ: " + Num(sum >> 10) + u"kB";
  return u"合計サイズ: 1kB";
}

std::optional<std::size_t> PageEntryIndex(const std::u16string& id, const std::u16string& prefix, std::size_t count) {
  if (id.size() <= prefix.size() || id.compare(0, prefix.size(), prefix) != 0 || id.size() - prefix.size() > 9)
    return std::nullopt;
  std::size_t n = 0;
  for (std::size_t i = prefix.size(); i < id.size(); ++i) {
    if (id[i] < u'0' || id[i] > u'9') return std::nullopt;
    n = n * 10 + static_cast<std::size_t>(id[i] - u'0');
  }
  if (n >= count) return std::nullopt;
  return n;
}

bool SetDownloadChecked(std::vector<FeedItem>& entries, std::size_t index, bool checked) {
  if (index >= entries.size() || !Needed(entries[index]) || entries[index].downloads.empty()) return false;
  entries[index].downloadChecked = checked;
  entries[index].installChecked = checked && entries[index].autoInstall;
  return true;
}

bool SetInstallChecked(std::vector<FeedItem>& entries, std::size_t index, bool checked) {
  if (index >= entries.size() || !Needed(entries[index]) || !entries[index].autoInstall) return false;
  entries[index].installChecked = checked;
  return true;
}

bool AnySelected(const std::vector<FeedItem>& entries) { return SelectedCount(entries) != 0; }

std::size_t SelectedCount(const std::vector<FeedItem>& entries) {
  std::size_t n = 0;
  for (const FeedItem& e : entries) n += e.downloadChecked || e.installChecked;
  return n;
}

std::size_t SelectSelfUpdate(std::vector<FeedItem>& entries) {
  std::size_t n = 0;
  for (FeedItem& e : entries) {
    const bool self = SelfUpdateNeeded(e) && !e.downloads.empty();
    e.downloadChecked = self && MissingSize(e) != 0;
    e.installChecked = self;
    n += self;
  }
  return n;
}

std::optional<ManualFiles> ManualInstallFiles(const FeedItem& e, const std::u16string& root) {
  if (e.downloads.size() < 2 || !e.description || root.empty()) return std::nullopt;
  const DownloadFile& manual = e.downloads[1];
  const std::u16string folder = root + *e.description;
  const std::u16string prefix = folder + u"\\";
  if (!manual.done || manual.localPath.size() <= prefix.size() || manual.localPath.compare(0, prefix.size(), prefix) != 0)
    return std::nullopt;
  if (!SafeFileName(std::u16string_view(manual.localPath).substr(prefix.size()))) return std::nullopt;
  return ManualFiles{manual.localPath, folder, QuoteArgument(folder)};
}

bool ResumeWanted(const std::vector<FeedItem>& entries) {
  for (const FeedItem& e : entries)
    if (Needed(e) && !e.downloads.empty()) return true;
  return false;
}

std::u16string AmountText(uint64_t bytes) { return SizeText(bytes, u"バイト", false); }

std::u16string CalculatingText(uint64_t present, uint64_t total) {
  return u"推定残り時間: 計算中..." + Amounts(present, total);
}

std::u16string RemainingText(uint64_t s, uint64_t present, uint64_t total) {
  if (s >= 86400) return CalculatingText(present, total);
  const std::u16string amounts = u" " + Amounts(present, total);
  if (s >= 3600) return u"推定残り時間: " + Num(s / 3600) + u"時間" + Num(s % 3600 / 60) + u"分" + amounts;
  if (s >= 60) return u"推定残り時間: " + Num(s / 60) + u"分" + Num(s % 60) + u"秒" + amounts;
  return u"推定残り時間: " + Num(s) + u"秒" + amounts;
}

int Progress::AddRow(const FeedItem& entry, int state) {
  const bool download = entry.downloadChecked && !entry.downloads.empty();
  if (!download && !entry.installChecked) return -1;
  if (rows_.size() >= capacity_) return -2;
  Row row;
  row.entry = &entry;
  row.state = state;
  if (download) {
    row.total = EntrySize(entry);
    row.present = row.total - MissingSize(entry);
  }
  total_ += row.total;
  present_ += row.present;
  rows_.push_back(row);
  return static_cast<int>(rows_.size() - 1);
}

std::u16string Progress::Init() {
  allRows_ = true;
  return CalculatingText(present_, total_);
}

Progress::Update Progress::Advance(uint64_t bytes, int row, uint64_t now) {
  Update u;
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return u;
  Row& r = rows_[static_cast<std::size_t>(row)];
  r.present += bytes;
  present_ += bytes;
  const int bar = Percent(present_, total_);
  if (bar != bar_) u.bar = bar_ = bar;
  if (!start_) start_ = now;
  if (!allRows_) return u;
  if (!second_) {
    second_ = now;
    return u;
  }
  if (now == *second_) return u;
  second_ = now;
  const uint64_t elapsed = now > *start_ ? now - *start_ : 0;
  const uint64_t left = total_ > present_ ? total_ - present_ : 0;
  u.remaining = present_ == 0 ? CalculatingText(present_, total_)
                              : RemainingText(MulDiv(elapsed, left, present_), present_, total_);
  if (r.state == kDownloading) u.rowLabel = RowLabel(kDownloading, Percent(r.present, r.total));
  return u;
}

std::optional<std::u16string> Progress::SetState(int row, int state) {
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return std::nullopt;
  Row& r = rows_[static_cast<std::size_t>(row)];
  r.state = lastState_ = state;
  return RowLabel(state, Percent(r.present, r.total));
}

std::u16string Progress::CancelText() const {
  if (!installing_) return u"";
  return lastState_ == kExtracting ? u"インストールをキャンセルしています..." : u"インストール中のアップデートプログラムの完了を待っています...";
}

bool Progress::RestartWanted() const {
  for (const Row& r : rows_)
    if (r.entry->installed && r.entry->rebootRequired) return true;
  return false;
}

}  // namespace web
