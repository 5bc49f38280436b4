// The update manager's rules, apart from its windows: what the catalogue's loading leads to,
// the selection on the page, the total size, the progress list with its percentages and
// remaining-time estimate, and the questions at the end of a run or of the Windows session.
// All byte arithmetic is 64-bit, so downloads of any size give right percentages.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "modules/kit/page_click.h"
#include "modules/web/web_catalogue.h"

namespace web {

// Messages between the download worker, the progress dialog and the manager.
constexpr uint32_t kDlInit = 0x8000, kDlProgress = 0x8001, kDlSetState = 0x8002, kDlFinished = 0x8003,
                   kDlAddRow = 0x8004, kDlDownloadsDone = 0x8005, kDlInstallBegin = 0x8006, kDlInstallStep = 0x8007;
constexpr uint32_t kMgrDownloadCheck = 0x800A, kMgrInstallCheck = 0x800B, kMgrManualInstall = 0x800C,
                   kMgrSelfUpdate = 0x800D;

enum RowState : int {
  kWaitingDownload = 0, kDownloading = 1, kDownloaded = 2, kDownloadFailed = 3, kWaitingInstall = 4,
  kInstalling = 5, kInstalled = 6, kInstallFailed = 7, kExtracting = 8,
  kVerifyFailed = 9,  // the package is not the maker's: deleted, nothing of it ran
};
// The row's label; `percent` for the downloading state.
std::u16string RowLabel(int state, int percent);

// What the manager does once the catalogue has loaded.
struct LoadOutcome {
  enum class Show { Catalogue, Failed, NoTempFile, Nothing } show = Show::Nothing;
  bool offerSelfUpdate = false;  // ask whether to update this product now
};
// `result` is the loader's answer: the number of entries or a kCatalogue* failure; a time-out
// of the result page's reader is told as a failed fetch. A catalogue with a
// needed self-update offers it even when it has no row to show.
LoadOutcome AfterLoad(int result, const std::vector<FeedItem>& entries);

// Who the user is, as far as the manager cares.
class IUserRights {
 public:
  virtual ~IUserRights() = default;
  virtual uint16_t WindowsRelease() = 0;  // WINVER_*
  virtual bool IsAdministrator() = 0;
};
// Windows XP has no elevation to ask for, so there the manager runs only for an administrator;
// elsewhere the engine asks for its rights itself and the user is not asked about.
bool ManagerMayRun(IUserRights& rights);

// "合計サイズ: ..." over the missing bytes of the entries ticked for download; " " for none.
std::u16string TotalSizeText(const std::vector<FeedItem>& entries);

// The entry index in a page element's id ("download_3"), only when it names an entry.
std::optional<std::size_t> PageEntryIndex(const std::u16string& id, const std::u16string& prefix, std::size_t count);

// A click in the catalogue page as the manager acts on it: one of its messages for the entry,
// with the box's new state (the page's script has swapped the image before the click).
struct PageAction {
  uint32_t message = 0;  // kMgrDownloadCheck, kMgrInstallCheck or kMgrManualInstall
  std::size_t index = 0;
  bool checked = false;
  bool proceed = true;  // the click's default action goes on
};
std::optional<PageAction> ManagerPageClick(const kit::PageClick& click, std::size_t count);

// The page's boxes: the download box carries the install box with it.
bool SetDownloadChecked(std::vector<FeedItem>& entries, std::size_t index, bool checked);
bool SetInstallChecked(std::vector<FeedItem>& entries, std::size_t index, bool checked);
bool AnySelected(const std::vector<FeedItem>& entries);
std::size_t SelectedCount(const std::vector<FeedItem>& entries);
// Ticks every needed self-update entry and nothing else; the number ticked.
std::size_t SelectSelfUpdate(std::vector<FeedItem>& entries);

// The manual of a manual-install button: its file, only when it was downloaded complete into
// the entry's own folder under `root` (the downloads' root, with its trailing separator).
struct ManualFiles {
  std::u16string manual, folder;
  // explorer.exe's arguments: the folder quoted, so that a profile path with a comma or a
  // blank stays one folder.
  std::u16string explorerArguments;
};
std::optional<ManualFiles> ManualInstallFiles(const FeedItem& entry, const std::u16string& root);

// Whether Windows ending now leaves needed downloads undone.
bool ResumeWanted(const std::vector<FeedItem>& entries);

// "%dMB" above 1 MiB, "%dkB" above 1 KiB, else "%dバイト".
std::u16string AmountText(uint64_t bytes);
// "推定残り時間: ..." for an estimate in seconds, with what is present and the total.
std::u16string RemainingText(uint64_t seconds, uint64_t present, uint64_t total);
std::u16string CalculatingText(uint64_t present, uint64_t total);

// The progress list: rows, byte counts, the bar and the texts, driven by the worker's
// messages. Times are whole seconds of a clock the caller reads.
class Progress {
 public:
  explicit Progress(std::size_t capacity) : capacity_(capacity) {}

  struct Row {
    const FeedItem* entry = nullptr;
    uint64_t total = 0, present = 0;
    int state = kWaitingDownload;
  };
  // WM_DL_ADDROW: the row's index, -1 for an entry neither to download nor to install, -2
  // when the list is full.
  int AddRow(const FeedItem& entry, int state);
  // WM_DL_INIT: the calculating text, once every row exists.
  std::u16string Init();
  // WM_DL_PROGRESS at `now` (seconds). Empty optionals: nothing to show anew.
  struct Update {
    std::optional<int> bar;
    std::optional<std::u16string> remaining;
    std::optional<std::u16string> rowLabel;
  };
  Update Advance(uint64_t bytes, int row, uint64_t now);
  // WM_DL_SETSTATE: the row's new label; nothing for a row that does not exist.
  std::optional<std::u16string> SetState(int row, int state);

  // Cancel pressed: the text to show (empty outside the install phase).
  std::u16string CancelText() const;
  void BeginInstall() { installing_ = true; }
  bool Installing() const { return installing_; }

  // The first installed row whose entry asks for a restart.
  bool RestartWanted() const;

  const std::vector<Row>& Rows() const { return rows_; }
  uint64_t Total() const { return total_; }
  uint64_t Present() const { return present_; }
  int Bar() const { return bar_; }

 private:
  std::size_t capacity_;
  std::vector<Row> rows_;
  uint64_t total_ = 0, present_ = 0;
  std::optional<uint64_t> start_, second_;
  int bar_ = -1;
  int lastState_ = -1;
  bool installing_ = false;
  bool allRows_ = false;
};

}  // namespace web
