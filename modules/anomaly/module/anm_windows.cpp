// The module's windows: the hidden window that takes the events, the repair worker with its
// questions, the progress dialog it drives by posted messages, and the settings page.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <memory>

#include "modules/anomaly/anm_text_ids.h"
#include "modules/anomaly/module/anm_shell.h"
#include "common/win/system_library.h"

namespace anm {
namespace {
using kit::Wide;

constexpr UINT kMsgWriteStartup = WM_APP + 5;
constexpr UINT_PTR kTimerSession = 11, kTimerProgress = 10;

// A note for the hidden window, and the bare message that has it taken.
template <class T>
void PostNote(HWND window, UINT message, Mailbox<std::unique_ptr<T>>& box, std::unique_ptr<T> note) {
  box.Put(std::move(note));
  PostMessageW(window, message, 0, 0);
}

std::wstring Text(uint16_t id, std::initializer_list<std::u16string> args) {
  const std::wstring format = kit::LoadText(id);
  return Wide(Fill(kit::U16(format.c_str(), format.size()), args));
}

bool RegisterSession(Shell& s, HWND window) {
  return !s.registerSession || s.registerSession(window, 0 /* NOTIFY_FOR_THIS_SESSION */);
}

// The worker's side: questions on its own thread, the rest posted to the hidden window.
class WorkerUi : public IRepairUi {
 public:
  WorkerUi(Shell& s, HWND hidden) : s_(s), hidden_(hidden) {}
  bool Ask(uint16_t id, const std::u16string& name) override {
    return MessageBoxW(nullptr, Text(id, {name}).c_str(), kit::LoadText(IDS_ANM_CAPTION).c_str(),
                       MB_YESNO | MB_TOPMOST) == IDYES;
  }
  void Tell(uint16_t id, const std::u16string& name) override {
    MessageBoxW(nullptr, Text(id, {name}).c_str(), kit::LoadText(IDS_ANM_CAPTION).c_str(), MB_OK | MB_TOPMOST);
  }
  void ProgressStart(const std::u16string& name, uint32_t ms) override {
    PostNote(hidden_, kMsgProgressStart, s_.starts,
             std::make_unique<StartNote>(StartNote{name.substr(0, kMaxField), ms}));
  }
  void ProgressClose() override { PostMessageW(hidden_, kMsgProgressClose, 0, 0); }
  // The dialog names the product as it was announced; the record may now carry its
  // installed name.
  void ProgressResult(const std::u16string&, const InstallResult& r) override {
    PostNote(hidden_, kMsgProgressResult, s_.results, std::make_unique<ResultNote>(ResultNote{r}));
  }

 private:
  Shell& s_;
  HWND hidden_;
};

// The driver client belongs to the host's thread: the worker's write is made there.
class WorkerInstallSystem : public WinInstallSystem {
 public:
  WorkerInstallSystem(Shell& s, HWND hidden) : WinInstallSystem(nullptr), s_(s), hidden_(hidden) {}
  bool WriteStartup(const std::u16string& key, const std::u16string& name, const std::u16string& data) override {
    StartupWrite w{key, name, data};
    s_.startupWrites.Put(&w);
    SendMessageW(hidden_, kMsgWriteStartup, 0, 0);
    s_.startupWrites.Take();  // not taken (the window is gone): it must not outlive `w`
    return w.ok;
  }

 private:
  Shell& s_;
  HWND hidden_;
};

struct Job {
  Shell* shell;
  RepairRecord record;
};

DWORD WINAPI Worker(LPVOID param) {
  std::unique_ptr<Job> job(static_cast<Job*>(param));
  Shell& s = *job->shell;
  kit::GuardedVoid([&] {
    s.module.Recheck();  // the page comes back with its buttons disabled
    WorkerInstallSystem sys(s, s.link.hidden);
    WorkerUi ui(s, s.link.hidden);
    RunRepair(std::move(job->record), sys, ui);
  });
  s.module.EndRepair();
  s.module.Recheck();
  return 0;
}

void ShowResult(Shell& s, HWND dialog, const ResultNote& note) {
  KillTimer(dialog, kTimerProgress);
  SendDlgItemMessageW(dialog, IDC_ANM_PROGRESS_BAR, PBM_SETPOS, s.progressSeconds, 0);
  const OutcomeText t = Describe(note.result.outcome);
  s.offerRestart = t.offerRestart;
  SetDlgItemTextW(dialog, IDC_ANM_PROGRESS_TEXT,
                  Text(t.textId, {kit::U16(s.progressName.c_str()), note.result.path}).c_str());
  if (t.offerRestart) {
    ShowWindow(GetDlgItem(dialog, IDC_ANM_RESTART_NOW), SW_SHOW);
    ShowWindow(GetDlgItem(dialog, IDC_ANM_RESTART_LATER), SW_SHOW);
    CheckRadioButton(dialog, IDC_ANM_RESTART_NOW, IDC_ANM_RESTART_LATER, IDC_ANM_RESTART_NOW);
  }
  EnableWindow(GetDlgItem(dialog, IDC_ANM_PROGRESS_OK), TRUE);
}

INT_PTR CALLBACK ProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  Shell* s = TheShell();
  if (!s) return FALSE;
  switch (message) {
    case WM_INITDIALOG: {
      SetDlgItemTextW(dialog, IDC_ANM_PROGRESS_TEXT, Text(IDS_ANM_INSTALLING, {kit::U16(s->progressName.c_str())}).c_str());
      EnableWindow(GetDlgItem(dialog, IDC_ANM_PROGRESS_OK), FALSE);
      ShowWindow(GetDlgItem(dialog, IDC_ANM_RESTART_NOW), SW_HIDE);
      ShowWindow(GetDlgItem(dialog, IDC_ANM_RESTART_LATER), SW_HIDE);
      SendDlgItemMessageW(dialog, IDC_ANM_PROGRESS_BAR, PBM_SETRANGE32, 0, s->progressSeconds);
      SendDlgItemMessageW(dialog, IDC_ANM_PROGRESS_BAR, PBM_SETSTEP, 1, 0);
      SetTimer(dialog, kTimerProgress, 1000, nullptr);
      RECT desk, r;
      GetWindowRect(GetDesktopWindow(), &desk);
      GetWindowRect(dialog, &r);
      const int w = r.right - r.left, h = r.bottom - r.top;
      SetWindowPos(dialog, HWND_TOPMOST, (desk.right - desk.left - w) / 2, (desk.bottom - desk.top - h) / 5, 0, 0,
                   SWP_NOSIZE);
      return TRUE;
    }
    case WM_TIMER:
      if (wParam == kTimerProgress && ++s->progressCount < s->progressSeconds)
        SendDlgItemMessageW(dialog, IDC_ANM_PROGRESS_BAR, PBM_STEPIT, 0, 0);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_ANM_PROGRESS_OK) {
        if (s->offerRestart && IsDlgButtonChecked(dialog, IDC_ANM_RESTART_NOW) == BST_CHECKED) RequestRestart();
        DestroyWindow(dialog);
      }
      return TRUE;
    case WM_DESTROY:
      KillTimer(dialog, kTimerProgress);
      if (s->progress == dialog) s->progress = nullptr;
      return TRUE;
  }
  (void)lParam;
  return FALSE;
}
}  // namespace

void StartRepair(Shell& s, uint16_t id) {
  std::optional<RepairRecord> record = s.module.BeginRepair(id);  // the flag is set before the thread exists
  if (!record) return;
  auto job = std::make_unique<Job>(Job{&s, std::move(*record)});
  HANDLE thread = CreateThread(nullptr, 0, Worker, job.get(), 0, nullptr);
  if (!thread) {
    s.module.EndRepair();
    return;
  }
  job.release();
  CloseHandle(thread);
}

LRESULT CALLBACK HiddenProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  const bool handled = kit::Guarded(false, [&] {
    Shell* s = TheShell();
    if (message == WM_CREATE) {
      // The shell is not installed yet: the state comes through the creation parameter. Once
      // it is, a WM_CREATE can only be another program's, and its pointer is not taken.
      if (s) return false;
      s = static_cast<Shell*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
      s->wts = LoadLibraryW(L"wtsapi32.dll");
      if (s->wts) {
        s->registerSession = reinterpret_cast<decltype(s->registerSession)>(
            reinterpret_cast<void*>(GetProcAddress(s->wts, "WTSRegisterSessionNotification")));
        s->unregisterSession = reinterpret_cast<decltype(s->unregisterSession)>(
            reinterpret_cast<void*>(GetProcAddress(s->wts, "WTSUnRegisterSessionNotification")));
        if (!s->registerSession || !s->unregisterSession) {
          FreeLibrary(s->wts);
          s->wts = nullptr;
          s->registerSession = nullptr;
          s->unregisterSession = nullptr;
        }
      }
      if (!RegisterSession(*s, window)) SetTimer(window, kTimerSession, 1000, nullptr);
      s->ecMessage = RegisterWindowMessageW(L"WM_VELMORANT_EC_NOTIFICATION");
      s->link.hidden = window;
      s->link.PostCheck();
      return false;
    }
    if (!s) return false;
    switch (message) {
      case WM_TIMER:
        if (wParam == kTimerSession && s->module.SessionActive() && RegisterSession(*s, window))
          KillTimer(window, kTimerSession);
        return true;
      case kMsgProgressStart: {
        const std::unique_ptr<StartNote> note = s->starts.Take();
        if (!note) return true;
        if (s->progress) DestroyWindow(s->progress);
        s->progressName = Wide(note->name);
        s->progressSeconds = note->ms / 1000;
        s->progressCount = 0;
        s->offerRestart = false;
        // The progress bar's library loads with the first repair, not with the host.
        TW_SYSTEM_FUNCTION(L"comctl32.dll", InitCommonControls)();
        s->progress = CreateDialogParamW(kit::ModuleInstance(), MAKEINTRESOURCEW(IDD_ANM_PROGRESS), nullptr,
                                         ProgressProc, 0);
        if (s->progress) ShowWindow(s->progress, SW_SHOW);
        return true;
      }
      case kMsgProgressClose:
        if (s->progress) DestroyWindow(s->progress);
        return true;
      case kMsgProgressResult: {
        const std::unique_ptr<ResultNote> note = s->results.Take();
        if (note && s->progress) ShowResult(*s, s->progress, *note);
        return true;
      }
      case kMsgWriteStartup: {
        if (StartupWrite* w = s->startupWrites.Take())
          w->ok = WinInstallSystem(s->client).WriteStartup(w->key, w->name, w->data);
        return true;
      }
      default:
        return s->module.OnWindowMessage(message, wParam, s->ecMessage);
    }
  });
  if (handled && message != WM_CREATE) return result;
  return DefWindowProcW(window, message, wParam, lParam);
}

void CloseWindows(Shell& s) {
  if (s.progress) DestroyWindow(s.progress);
  if (s.link.hidden) {
    KillTimer(s.link.hidden, kTimerSession);
    if (s.unregisterSession) s.unregisterSession(s.link.hidden);
    DestroyWindow(s.link.hidden);
    s.link.hidden = nullptr;
  }
  UnregisterClassW(kWindowClass, kit::ModuleInstance());
}

namespace {
struct Box {
  int control;
  uint32_t bit;
};
const Box kBoxes[] = {{IDC_ANM_APPS, kBitApps}, {IDC_ANM_BATTERY, kBitBattery}, {IDC_ANM_ADAPTOR, kBitAdaptor},
                      {IDC_ANM_MINI, kBitMini}};
kit::Banner g_banner;
}  // namespace

INT_PTR CALLBACK SetupPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return kit::Guarded<INT_PTR>(FALSE, [&]() -> INT_PTR {
    Shell* s = TheShell();
    if (!s) return FALSE;
    switch (message) {
      case WM_INITDIALOG: {
        s->module.SettingsOpened();
        // A hidden box gives its place to the boxes below it.
        POINT next{};
        bool first = true;
        for (const Box& b : kBoxes) {
          HWND box = GetDlgItem(dialog, b.control);
          RECT r;
          GetWindowRect(box, &r);
          MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
          if (first) next = {r.left, r.top};
          first = false;
          if (!(s->module.Offered() & b.bit)) {
            ShowWindow(box, SW_HIDE);
            continue;
          }
          SetWindowPos(box, nullptr, next.x, next.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
          next.y += r.bottom - r.top + 4;
          CheckDlgButton(dialog, b.control, (s->module.Draft() & b.bit) ? BST_CHECKED : BST_UNCHECKED);
        }
        g_banner.Show(dialog, IDC_ANM_BANNER, {IDB_ANM_BANNER_96, IDB_ANM_BANNER_120, IDB_ANM_BANNER_144});
        return TRUE;
      }
      case WM_COMMAND:
        for (const Box& b : kBoxes)
          if (LOWORD(wParam) == b.control && HIWORD(wParam) == BN_CLICKED) {
            s->module.SettingsToggle(b.bit, IsDlgButtonChecked(dialog, b.control) == BST_CHECKED);
            SendMessageW(GetParent(dialog), PSM_CHANGED, reinterpret_cast<WPARAM>(dialog), 0);
          }
        return TRUE;
      case WM_NOTIFY:
        if (reinterpret_cast<NMHDR*>(lParam)->code == PSN_APPLY) {
          s->module.SettingsApply();
          SetWindowLongPtrW(dialog, DWLP_MSGRESULT, PSNRET_NOERROR);
          return TRUE;
        }
        return FALSE;
      case WM_DESTROY:
        g_banner.Free();
        s->module.SettingsClosed();
        return TRUE;
    }
    return FALSE;
  });
}

}  // namespace anm
