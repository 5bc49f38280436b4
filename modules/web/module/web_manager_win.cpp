#include "modules/web/module/web_manager_win.h"

#include <commctrl.h>
#include <shellapi.h>
#include <wtsapi32.h>

#include <atomic>
#include <memory>
#include <new>

#include "common/win/authority.h"
#include "common/win/ole_site.h"
#include "common/win/package_verifier.h"
#include "common/win/winversion.h"
#include "modules/kit/module/kit_click.h"
#include "modules/kit/module/kit_win.h"
#include "modules/web/module/web_resource_ids.h"
#include "modules/web/web_update.h"
#include "common/win/system_library.h"

#ifndef BCM_SETSHIELD
#define BCM_SETSHIELD 0x160C
#endif

namespace web {
namespace {
using kit::Wide;

std::atomic<bool> g_open{false};
const UINT_PTR kLoadTimer = 1, kPageTimer = 2;
const int kPageTicks = 300;  // 30 s for the page to load
const int kColumnDownload = 0, kColumnInstall = 1;

// The catalogue page in the browser control, in a child window over the list's place; its
// clicks become the manager's messages. Where the control cannot be made or cannot navigate
// (no HTML engine), the list stands in.
class PageBrowser final : public browser::IHTMLPopupEventListener {
 public:
  PageBrowser(HWND dialog, std::size_t count) : dialog_(dialog), count_(count) {}
  ~PageBrowser() { Close(); }
  PageBrowser(const PageBrowser&) = delete;
  PageBrowser& operator=(const PageBrowser&) = delete;

  bool Open(const RECT& area, const std::u16string& page) {
    pane_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_CLIPCHILDREN, area.left, area.top, area.right - area.left,
                            area.bottom - area.top, dialog_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kManagerPage)),
                            kit::ModuleInstance(), nullptr);
    if (!pane_ || !browser_.Create(pane_, this)) return Fail();
    return Navigate(page) || Fail();
  }
  // The page's document has loaded (its events are connected).
  bool Loaded() const { return browser_.documentHooked(); }
  bool Navigate(const std::u16string& page) {
    const std::wstring url = L"file:///" + std::wstring(Wide(page));
    return SUCCEEDED(browser_.Navigate(url.c_str()));
  }
  void Show(bool on) { ShowWindow(pane_, on ? SW_SHOW : SW_HIDE); }
  void Print() {
    if (IWebBrowser2* browser = browser_.browser())
      browser->ExecWB(OLECMDID_PRINT, OLECMDEXECOPT_PROMPTUSER, nullptr, nullptr);
  }
  void Close() {
    browser_.Release();
    if (pane_) DestroyWindow(pane_);
    pane_ = nullptr;
  }

  bool OnDocumentEvent(DISPID, IHTMLEventObj* event) override {
    kit::PageClick click;
    ComPtr<IHTMLElement> element;
    if (!event || !kit::ReadClick(event, click, element)) return true;
    const std::optional<PageAction> action = ManagerPageClick(click, count_);
    if (!action) return true;
    SendMessageW(dialog_, action->message, action->index, action->checked ? 1 : 0);
    return action->proceed;
  }

 private:
  bool Fail() {
    Close();
    return false;
  }
  HWND dialog_;
  std::size_t count_;
  HWND pane_ = nullptr;
  browser::BrowserControl browser_;
};

struct ManagerState {
  explicit ManagerState(ManagerSetup& s) : setup(s) {}
  ~ManagerState() {
    if (brush) DeleteObject(brush);
  }
  ManagerSetup& setup;
  Catalogue catalogue;
  std::u16string page;
  HBRUSH brush = nullptr;
  bool refreshing = false;
  std::unique_ptr<PageBrowser> browser;  // none: the list shows the catalogue
  int pageTicks = 0;
};

std::wstring Caption() { return kit::LoadText(IDS_APP_TITLE); }

int Say(HWND dialog, const wchar_t* text, UINT flags) { return MessageBoxW(dialog, text, Caption().c_str(), flags); }

void EnableButtons(HWND dialog, bool on) {
  for (int id : {kManagerStart, IDCANCEL, kManagerRefresh, kManagerPrint}) EnableWindow(GetDlgItem(dialog, id), on);
}

std::u16string CellText(PageCell cell, bool checked) {
  switch (cell) {
    case PageCell::Done: return u"済";
    case PageCell::Box: return checked ? u"■" : u"□";
    case PageCell::InstallButton: return u"インストール...";
    case PageCell::Blank: break;
  }
  return u"";
}

void SetCell(HWND list, int row, int column, const std::u16string& text) {
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = const_cast<wchar_t*>(Wide(text));
  SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void ShowBoxes(HWND list, int row, const FeedItem& e) {
  const RowCells cells = PageCells(e);
  SetCell(list, row, kColumnDownload, CellText(cells.download, e.downloadChecked));
  SetCell(list, row, kColumnInstall, CellText(cells.install, e.installChecked));
}

// One row per row of the catalogue page, the entry's index kept with it.
void FillList(HWND dialog, ManagerState& s) {
  HWND list = GetDlgItem(dialog, kManagerList);
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  int row = 0;
  for (std::size_t i = 0; i < s.catalogue.entries.size(); ++i) {
    const FeedItem& e = s.catalogue.entries[i];
    if (!ShownOnPage(e)) continue;
    LVITEMW item = {LVIF_TEXT | LVIF_PARAM};
    item.iItem = row;
    item.pszText = const_cast<wchar_t*>(L"");
    item.lParam = static_cast<LPARAM>(i);
    row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    ShowBoxes(list, row, e);
    std::u16string title = e.title.value_or(u"");
    for (char16_t& c : title)
      if (c == u'\r' || c == u'\n') c = u' ';
    SetCell(list, row, 2, title);
    SetCell(list, row, 3, InformationOnly(e) || e.downloads.empty() ? u"" : e.rebootRequired ? u"要" : u"不要");
    SetCell(list, row, 4, SizeText(EntrySize(e), u"バイト", true));
    ++row;
  }
}

void ShowTotal(HWND dialog, ManagerState& s) {
  SetDlgItemTextW(dialog, kManagerTotal, Wide(TotalSizeText(s.catalogue.entries)));
}

void UpdateRow(HWND dialog, ManagerState& s, std::size_t index) {
  HWND list = GetDlgItem(dialog, kManagerList);
  LVFINDINFOW find = {LVFI_PARAM};
  find.lParam = static_cast<LPARAM>(index);
  const int row = static_cast<int>(SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
  if (row >= 0) ShowBoxes(list, row, s.catalogue.entries[index]);
}

// The list shows the catalogue until the browser's page has loaded; a page that has not
// loaded in time (no HTML engine) leaves the list for good.
void AwaitPage(HWND dialog, ManagerState& s) {
  ShowWindow(GetDlgItem(dialog, kManagerList), SW_SHOW);
  if (!s.browser) return;
  s.browser->Show(false);
  s.pageTicks = 0;
  SetTimer(dialog, kPageTimer, 100, nullptr);
}

void PageTick(HWND dialog, ManagerState& s) {
  if (s.browser && s.browser->Loaded()) {
    KillTimer(dialog, kPageTimer);
    ShowWindow(GetDlgItem(dialog, kManagerList), SW_HIDE);
    s.browser->Show(true);
  } else if (!s.browser || ++s.pageTicks >= kPageTicks) {
    KillTimer(dialog, kPageTimer);
    s.browser.reset();
  }
}

void OpenPage(HWND dialog, ManagerState& s) {
  HWND list = GetDlgItem(dialog, kManagerList);
  RECT area = {};
  GetWindowRect(list, &area);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&area), 2);
  s.browser = std::make_unique<PageBrowser>(dialog, s.catalogue.entries.size());
  if (!s.browser->Open(area, s.page)) s.browser.reset();
  AwaitPage(dialog, s);
}

void Load(HWND dialog, ManagerState& s) {
  HCURSOR old = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  const int result = LoadCatalogue(s.setup.source, s.setup.machine, *s.setup.ports, s.catalogue, s.page);
  SetCursor(old);
  const LoadOutcome outcome = AfterLoad(result, s.catalogue.entries);
  switch (outcome.show) {
    case LoadOutcome::Show::Catalogue: break;
    case LoadOutcome::Show::Failed:
      Say(dialog, kit::LoadText(kStringUnreachable).c_str(), MB_OK | MB_ICONWARNING);
      EndDialog(dialog, -1);
      return;
    case LoadOutcome::Show::NoTempFile:
      Say(dialog, kit::LoadText(kStringNoTemp).c_str(), MB_OK | MB_ICONWARNING);
      EndDialog(dialog, -1);
      return;
    case LoadOutcome::Show::Nothing:
      Say(dialog, kit::LoadText(kStringNothing).c_str(), MB_OK | MB_ICONINFORMATION);
      EndDialog(dialog, 0);
      return;
  }
  FillList(dialog, s);
  ShowWindow(GetDlgItem(dialog, kManagerWait), SW_HIDE);
  OpenPage(dialog, s);
  if (outcome.offerSelfUpdate &&
      Say(dialog,
          L"Tellwickのアップデートプログラムが公開されています。\n\n今すぐアップデートプログラムをダウンロードして、\nTellwickをアップデートしますか？",
          MB_YESNO | MB_ICONQUESTION) == IDYES)
    PostMessageW(dialog, kMgrSelfUpdate, 0, 0);
  ShowTotal(dialog, s);
  EnableButtons(dialog, true);
}

void Refresh(HWND dialog, ManagerState& s) {
  if (s.refreshing) return;
  s.refreshing = true;
  HWND list = GetDlgItem(dialog, kManagerList);
  ShowWindow(list, SW_HIDE);
  if (s.browser) s.browser->Show(false);
  SetDlgItemTextW(dialog, kManagerTotal, L" ");
  RefreshCatalogue(s.catalogue, s.setup.machine, *s.setup.ports, s.page, s.setup.source.modulePath, true);
  FillList(dialog, s);
  ShowTotal(dialog, s);
  if (s.browser && !s.browser->Navigate(s.page)) s.browser.reset();
  AwaitPage(dialog, s);
  s.refreshing = false;
}

// Sessions with a user logged on; 0 when Windows does not say.
int LoggedOnSessions() {
  WTS_SESSION_INFOA* sessions = nullptr;
  DWORD count = 0;
  if (!WTSEnumerateSessionsA(WTS_CURRENT_SERVER_HANDLE, 0, 1, &sessions, &count)) return 0;
  int users = 0;
  for (DWORD i = 0; i < count; ++i) {
    char* name = nullptr;
    DWORD bytes = 0;
    if (WTSQuerySessionInformationA(WTS_CURRENT_SERVER_HANDLE, sessions[i].SessionId, WTSUserName, &name, &bytes)) {
      if (name && name[0]) ++users;
      WTSFreeMemory(name);
    }
  }
  WTSFreeMemory(sessions);
  return users;
}

void Start(HWND dialog, ManagerState& s) {
  auto& entries = s.catalogue.entries;
  if (!AnySelected(entries)) {
    Say(dialog, L"ダウンロード・インストールする項目を選択してください", MB_OK | MB_ICONINFORMATION);
    return;
  }
  while (LoggedOnSessions() > 1) {
    if (Say(dialog,
            L"他のユーザーがログオンしていると、アップデートプログラムのダウンロード・インストールを行うことができません。\n"
            L"他のユーザーをログオフしてください。\n\nログオフできましたら、OKボタンを押してください。",
            MB_OKCANCEL | MB_ICONWARNING) != IDOK)
      return;
  }
  if (!AcceptLicence(dialog, entries)) return;
  if (RunProgress(dialog, entries, SelectedCount(entries), s.setup.worker, s.setup.context, s.setup.restart) != -255) Refresh(dialog, s);
}

void ManualInstall(HWND dialog, ManagerState& s, std::size_t index) {
  if (index >= s.catalogue.entries.size()) return;
  const FeedItem& e = s.catalogue.entries[index];
  // Only a manual downloaded into the entry's own folder is opened; without one there is
  // nothing to show.
  const auto files = ManualInstallFiles(e, s.setup.ports->disk.DownloadRoot());
  if (!files) return;
  std::u16string text = e.title.value_or(u"") +
                        u"のインストールを行ってください。\n\nOKを押すと手順書とアップデートプログラムの入ったフォルダが開きますので、"
                        u"「展開手順」以降の記述に従いインストールしてください。";
  Say(dialog, Wide(text), MB_OK | MB_ICONINFORMATION);
  // A download is opened only when it is the maker's signed program; the folder still opens.
  OpenVerified(PackageVerifier(ReadMakerThumbprint()), dialog, Wide(files->manual));
  ShellExecuteW(dialog, L"open", L"explorer.exe", Wide(files->explorerArguments), nullptr, SW_SHOWNORMAL);
}

void Help(HWND dialog) {
  for (const wchar_t* path : {L"C:\\util\\manual\\shortcut_op8_16.hta", L"C:\\util\\manual\\manual\\right\\op8_16_t4.html"}) {
    if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) continue;
    if (reinterpret_cast<INT_PTR>(ShellExecuteW(dialog, L"open", path, nullptr, nullptr, SW_SHOWNORMAL)) > 32) return;
  }
  Say(dialog, L"ヘルプファイルが開けません", MB_OK | MB_ICONWARNING);
}

// Windows is ending for real: offer to go on at the next logon while needed downloads remain.
void EndSession(HWND dialog, ManagerState& s) {
  RefreshCatalogue(s.catalogue, s.setup.machine, *s.setup.ports, s.page, s.setup.source.modulePath, false);
  if (!ResumeWanted(s.catalogue.entries) || !s.setup.store) return;
  s.setup.store->WriteUserDword(u"OpenUpdateOnNextBoot", 1);
  if (Say(dialog,
          L"全てのアップデートプログラムのダウンロード・インストールが終了していません。次回ログオン時にダウンロード・インストールを再開しますか？\n\n"
          L"なお、『いいえ』を選択した場合、次回ログオン以降にTellwickのアイコンを右クリックし、"
          L"『アップデートプログラムのダウンロードとインストール』を選択することで再開できます。",
          MB_YESNO | MB_ICONQUESTION) != IDYES)
    s.setup.store->WriteUserDword(u"OpenUpdateOnNextBoot", 0);
}

// False when the dialog closes at once: on XP only an administrator may run it.
bool MayRun(HWND dialog, ManagerState& s) {
  WinUserRights own;
  if (ManagerMayRun(s.setup.rights ? *s.setup.rights : own)) return true;
  Say(dialog, L"管理者権限のユーザーで実行してください。", MB_OK | MB_ICONWARNING);
  EndDialog(dialog, -1);
  return false;
}

void Init(HWND dialog, ManagerState& s) {
  if (!MayRun(dialog, s)) return;
  HWND list = GetDlgItem(dialog, kManagerList);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  const struct {
    const wchar_t* text;
    int width;
  } columns[] = {{L"ダウンロード", 90}, {L"インストール", 90}, {L"アップデートプログラム名", 320}, {L"再起動", 50}, {L"サイズ", 70}};
  int i = 0;
  for (const auto& c : columns) {
    LVCOLUMNW column = {LVCF_TEXT | LVCF_WIDTH};
    column.cx = c.width;
    column.pszText = const_cast<wchar_t*>(c.text);
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i++), reinterpret_cast<LPARAM>(&column));
  }
  if (HBITMAP banner = LoadBitmapW(kit::ModuleInstance(), MAKEINTRESOURCEW(IDB_BANNER_96)))
    SendDlgItemMessageW(dialog, kManagerBanner, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(banner));
  SendDlgItemMessageW(dialog, kManagerStart, BCM_SETSHIELD, 0, TRUE);
  EnableButtons(dialog, false);
  s.brush = CreateSolidBrush(RGB(240, 240, 240));
  SetTimer(dialog, kLoadTimer, 100, nullptr);
}

// A click on a row's download or install column acts like a click on the page's box.
void ListClick(HWND dialog, const NMITEMACTIVATE& click) {
  LVHITTESTINFO hit = {};
  hit.pt = click.ptAction;
  if (SendMessageW(click.hdr.hwndFrom, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)) < 0 || hit.iItem < 0) return;
  LVITEMW item = {LVIF_PARAM};
  item.iItem = hit.iItem;
  if (!SendMessageW(click.hdr.hwndFrom, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return;
  auto* s = reinterpret_cast<ManagerState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  const std::size_t index = static_cast<std::size_t>(item.lParam);
  if (!s || index >= s->catalogue.entries.size()) return;
  const FeedItem& e = s->catalogue.entries[index];
  const RowCells cells = PageCells(e);
  if (hit.iSubItem == kColumnDownload && cells.download == PageCell::Box)
    SendMessageW(dialog, kMgrDownloadCheck, index, e.downloadChecked ? 0 : 1);
  else if (hit.iSubItem == kColumnInstall && cells.install == PageCell::Box)
    SendMessageW(dialog, kMgrInstallCheck, index, e.installChecked ? 0 : 1);
  else if (hit.iSubItem == kColumnInstall && cells.install == PageCell::InstallButton)
    SendMessageW(dialog, kMgrManualInstall, index, 0);
}

INT_PTR Answer(HWND dialog, LONG_PTR value) {
  SetWindowLongPtrW(dialog, DWLP_MSGRESULT, value);
  return TRUE;
}

INT_PTR CALLBACK ManagerProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* s = reinterpret_cast<ManagerState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    Init(dialog, *reinterpret_cast<ManagerState*>(lParam));
    return TRUE;
  }
  if (!s) return FALSE;
  switch (message) {
    case WM_TIMER:
      if (wParam == kPageTimer) {
        PageTick(dialog, *s);
        return TRUE;
      }
      if (wParam != kLoadTimer) return FALSE;
      KillTimer(dialog, kLoadTimer);
      Load(dialog, *s);
      return TRUE;
    case kMgrDownloadCheck:
      if (SetDownloadChecked(s->catalogue.entries, wParam, lParam != 0)) {
        UpdateRow(dialog, *s, wParam);
        ShowTotal(dialog, *s);
      }
      return Answer(dialog, 0);
    case kMgrInstallCheck:
      if (SetInstallChecked(s->catalogue.entries, wParam, lParam != 0)) UpdateRow(dialog, *s, wParam);
      return Answer(dialog, 0);
    case kMgrManualInstall:
      ManualInstall(dialog, *s, wParam);
      return Answer(dialog, 0);
    case kMgrSelfUpdate:
      if (SelectSelfUpdate(s->catalogue.entries) > 0) RunProgress(dialog, s->catalogue.entries, 1, s->setup.worker, s->setup.context, s->setup.restart);
      EndDialog(dialog, 0);
      return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom == kManagerList && header->code == NM_CLICK)
        ListClick(dialog, *reinterpret_cast<const NMITEMACTIVATE*>(lParam));
      return TRUE;
    }
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) != GetDlgItem(dialog, kManagerTotal) || !s->brush) return FALSE;
      SetBkColor(reinterpret_cast<HDC>(wParam), RGB(240, 240, 240));
      return reinterpret_cast<INT_PTR>(s->brush);
    case WM_ENDSESSION:
      if (wParam) EndSession(dialog, *s);
      return Answer(dialog, 1);
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kManagerStart: Start(dialog, *s); break;
        case kManagerRefresh: Refresh(dialog, *s); break;
        case kManagerPrint:
          if (s->browser)
            s->browser->Print();
          else
            ShellExecuteW(dialog, L"print", Wide(s->page), nullptr, nullptr, SW_SHOWNORMAL);
          break;
        case kManagerHelp: Help(dialog); break;
        case IDCANCEL: EndDialog(dialog, 0); break;
        default: break;
      }
      return TRUE;
    case WM_CLOSE:
      EndDialog(dialog, 0);
      return TRUE;
    case WM_DESTROY:
      s->browser.reset();  // the control goes before its window
      return FALSE;
    default:
      return FALSE;
  }
}
}  // namespace

uint16_t WinUserRights::WindowsRelease() { return CWinVersion().GetOsType(); }

bool WinUserRights::IsAdministrator() { return CAuthority().IsAdministrator(); }

bool RunManager(HWND owner, ManagerSetup& setup) {
  if (!setup.ports || g_open.exchange(true)) return false;
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
  TW_SYSTEM_FUNCTION(L"comctl32.dll", InitCommonControlsEx)(&controls);
  {
    auto state = std::make_unique<ManagerState>(setup);
    DialogBoxParamW(kit::ModuleInstance(), MAKEINTRESOURCEW(kDialogManager), owner, ManagerProc,
                    reinterpret_cast<LPARAM>(state.get()));
  }
  g_open = false;
  return true;
}

}  // namespace web
