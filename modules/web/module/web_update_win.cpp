#include "modules/web/module/web_update_win.h"

#include <commctrl.h>

#include <memory>

#include "modules/kit/module/kit_win.h"
#include "common/win/system_library.h"
#include "common/win/tick_count.h"

namespace web {
namespace {
using kit::Wide;

const wchar_t kCaption[] = L"Tellwick";

struct ProgressState {
  ProgressState(std::vector<FeedItem>& e, std::size_t capacity, ProgressWorker w, void* c, RestartPort r)
      : progress(capacity), worker(w), restart(r) {
    work.entries = &e;
    work.context = c;
  }
  ~ProgressState() {
    if (thread) CloseHandle(thread);
    if (work.cancel) CloseHandle(work.cancel);
  }
  Progress progress;
  ProgressWorker worker;
  RestartPort restart;
  ProgressWork work;
  HANDLE thread = nullptr;
  bool running = true, cancelled = false;
};

DWORD WINAPI WorkerMain(void* p) {
  auto* s = static_cast<ProgressState*>(p);
  s->worker(s->work);
  return 0;
}

// Waits for the thread while answering what other threads send to this thread's windows (the
// worker's pause to the host window), so that neither waits on the other.
void WaitAnsweringSent(HANDLE thread) {
  while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

void SetText(HWND dialog, int id, const std::u16string& text) { SetDlgItemTextW(dialog, id, Wide(text)); }

void SetRowLabel(HWND dialog, int row, const std::u16string& label) {
  LVITEMW item = {};
  item.iSubItem = 1;
  item.pszText = const_cast<wchar_t*>(Wide(label));
  SendDlgItemMessageW(dialog, kProgressList, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

// Whole seconds of a monotonic clock: the estimate needs only differences.
uint64_t Seconds() { return tw::win::TickCount64() / 1000; }

bool Restart() {
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    TOKEN_PRIVILEGES p = {1, {{{0, 0}, SE_PRIVILEGE_ENABLED}}};
    if (LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &p.Privileges[0].Luid))
      AdjustTokenPrivileges(token, FALSE, &p, 0, nullptr, nullptr);
    CloseHandle(token);
  }
  return ExitWindowsEx(EWX_REBOOT, SHTDN_REASON_MAJOR_APPLICATION | SHTDN_REASON_FLAG_PLANNED) != 0;
}

void Finish(HWND dialog, ProgressState& s) {
  if (s.cancelled && s.thread) WaitForSingleObject(s.thread, 5000);
  s.running = false;
  SetText(dialog, kProgressHeading, s.cancelled ? u"キャンセルしました" : u"完了");
  EnableWindow(GetDlgItem(dialog, IDOK), TRUE);
  EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
}

void Close(HWND dialog, ProgressState& s) {
  if (s.progress.RestartWanted() &&
      MessageBoxW(dialog,
                  L"インストールを完了するには、コンピュータを再起動する必要があります。\n\n今すぐコンピュータを再起動しますか？",
                  kCaption, MB_YESNO | MB_ICONQUESTION) == IDYES &&
      (s.restart ? s.restart() : Restart())) {
    EndDialog(dialog, -255);
    return;
  }
  EndDialog(dialog, s.cancelled ? -1 : 0);
}

void Cancel(HWND dialog, ProgressState& s, bool button) {
  if (!s.running) {
    if (!button) Close(dialog, s);
    return;
  }
  // A close while the cancel is pending waits for the worker: ended now, the dialog would
  // leave the host's thread blocked on a worker that still sends to the host's window.
  if (s.cancelled) return;
  s.cancelled = true;
  SetEvent(s.work.cancel);
  if (!button) return;
  EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
  if (s.progress.Installing()) SetText(dialog, kProgressRemaining, s.progress.CancelText());
}

INT_PTR Answer(HWND dialog, LONG_PTR value) {
  SetWindowLongPtrW(dialog, DWLP_MSGRESULT, value);
  return TRUE;
}

INT_PTR CALLBACK ProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* s = reinterpret_cast<ProgressState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (message == WM_INITDIALOG) {
    s = reinterpret_cast<ProgressState*>(lParam);
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    HWND list = GetDlgItem(dialog, kProgressList);
    LVCOLUMNW column = {LVCF_TEXT | LVCF_WIDTH};
    column.cx = 405;
    column.pszText = const_cast<wchar_t*>(L"アップデートプログラム名");
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    column.cx = 122;
    column.pszText = const_cast<wchar_t*>(L"状況");
    SendMessageW(list, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
    EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
    s->work.dialog = dialog;
    s->work.cancel = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    s->thread = s->work.cancel && s->worker ? CreateThread(nullptr, 0, WorkerMain, s, 0, nullptr) : nullptr;
    if (!s->thread) EndDialog(dialog, -2);
    return TRUE;
  }
  if (!s) return FALSE;
  switch (message) {
    case kDlAddRow: {
      const auto* entry = reinterpret_cast<const FeedItem*>(wParam);
      const int row = entry ? s->progress.AddRow(*entry, static_cast<int>(lParam)) : -1;
      if (row >= 0) {
        std::u16string title = entry->title.value_or(u"");
        for (char16_t& c : title)
          if (c == u'\r' || c == u'\n') c = u' ';
        LVITEMW item = {LVIF_TEXT};
        item.iItem = row;
        item.pszText = const_cast<wchar_t*>(Wide(title));
        SendDlgItemMessageW(dialog, kProgressList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        SetRowLabel(dialog, row, RowLabel(static_cast<int>(lParam), 0));
      }
      return Answer(dialog, row);
    }
    case kDlInit:
      SetText(dialog, kProgressRemaining, s->progress.Init());
      ShowWindow(dialog, SW_SHOW);
      return Answer(dialog, 0);
    case kDlProgress: {
      const auto u = s->progress.Advance(static_cast<uint64_t>(wParam), static_cast<int>(lParam), Seconds());
      if (u.bar) SendDlgItemMessageW(dialog, kProgressBar, PBM_SETPOS, static_cast<WPARAM>(*u.bar), 0);
      if (u.remaining) SetText(dialog, kProgressRemaining, *u.remaining);
      if (u.rowLabel) SetRowLabel(dialog, static_cast<int>(lParam), *u.rowLabel);
      return Answer(dialog, 0);
    }
    case kDlSetState:
      if (auto label = s->progress.SetState(static_cast<int>(lParam), static_cast<int>(wParam)))
        SetRowLabel(dialog, static_cast<int>(lParam), *label);
      return Answer(dialog, 0);
    case kDlDownloadsDone:
      SetText(dialog, kProgressRemaining, u"ダウンロード完了");
      SendDlgItemMessageW(dialog, kProgressBar, PBM_SETRANGE32, 0, 100);
      SendDlgItemMessageW(dialog, kProgressBar, PBM_SETPOS, 100, 0);
      return Answer(dialog, 0);
    case kDlInstallBegin:
      SendDlgItemMessageW(dialog, kProgressBar, PBM_SETRANGE32, 0, static_cast<LPARAM>(2 * wParam));
      SendDlgItemMessageW(dialog, kProgressBar, PBM_SETPOS, 0, 0);
      SetText(dialog, kProgressHeading, u"アップデートプログラムをインストールしています...");
      s->progress.BeginInstall();
      return Answer(dialog, 0);
    case kDlInstallStep:
      SendDlgItemMessageW(dialog, kProgressBar, PBM_DELTAPOS, wParam, 0);
      return Answer(dialog, 0);
    case kDlFinished:
      Finish(dialog, *s);
      return Answer(dialog, 0);
    case WM_QUERYENDSESSION:
      if (s->running && s->progress.Installing()) {
        MessageBoxW(dialog, L"インストール中は終了できません。", kCaption, MB_OK | MB_ICONWARNING);
        return Answer(dialog, FALSE);
      }
      return Answer(dialog, TRUE);
    case WM_SETCURSOR:
      if (s->cancelled && s->running && IsWindowEnabled(GetDlgItem(dialog, IDCANCEL))) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return Answer(dialog, TRUE);
      }
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK && !s->running) Close(dialog, *s);
      if (LOWORD(wParam) == IDCANCEL) Cancel(dialog, *s, lParam != 0);
      return TRUE;
    case WM_CLOSE:
      Cancel(dialog, *s, false);
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK LicenceProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    for (const FeedItem& e : *reinterpret_cast<const std::vector<FeedItem>*>(lParam)) {
      if (!e.installChecked) continue;
      std::u16string title = e.title.value_or(u"");
      for (char16_t& c : title)
        if (c == u'\r' || c == u'\n') c = u' ';
      SendDlgItemMessageW(dialog, kLicenceTitles, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(title)));
    }
    SetDlgItemTextW(dialog, kLicenceText, kit::LoadText(kLicenceTextId).c_str());
    // The answer buttons take the focus, not the text, which would show all selected.
    SetFocus(GetDlgItem(dialog, IDYES));
    return FALSE;
  }
  if (message == WM_COMMAND && (LOWORD(wParam) == IDYES || LOWORD(wParam) == IDNO || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wParam) == IDYES ? IDYES : IDNO);
    return TRUE;
  }
  if (message == WM_CLOSE) {
    EndDialog(dialog, IDNO);
    return TRUE;
  }
  return FALSE;
}
}  // namespace

bool AcceptLicence(HWND owner, const std::vector<FeedItem>& entries) {
  bool any = false;
  for (const FeedItem& e : entries) any |= e.installChecked;
  if (!any) return true;
  return DialogBoxParamW(kit::ModuleInstance(), MAKEINTRESOURCEW(kDialogLicence), owner, LicenceProc,
                         reinterpret_cast<LPARAM>(&entries)) == IDYES;
}

INT_PTR RunProgress(HWND owner, std::vector<FeedItem>& entries, std::size_t capacity, ProgressWorker worker, void* context,
                    RestartPort restart) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
  TW_SYSTEM_FUNCTION(L"comctl32.dll", InitCommonControlsEx)(&controls);
  auto state = std::make_unique<ProgressState>(entries, capacity, worker, context, restart);
  const INT_PTR result = DialogBoxParamW(kit::ModuleInstance(), MAKEINTRESOURCEW(kDialogProgress), owner, ProgressProc,
                                         reinterpret_cast<LPARAM>(state.get()));
  // The worker ends on its own (finished, or told to stop); it still holds the state until then.
  if (state->thread && WaitForSingleObject(state->thread, 0) != WAIT_OBJECT_0) {
    if (state->work.cancel) SetEvent(state->work.cancel);
    WaitAnsweringSent(state->thread);
  }
  return result == -1 && !state->cancelled ? -2 : result;
}

}  // namespace web
