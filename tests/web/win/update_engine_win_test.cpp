// The download-and-install engine under Wine, end to end: the progress dialog with the real
// worker, the signed test packages from a support server stand-in, and the update server
// created directly from its registration (Wine has no elevation moniker); then the same from
// the update manager over the stand-in's catalogue of those packages. The installers'
// records show what ran.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "host/module_contract.h"
#include "modules/web/module/update_engine_win.h"
#include "modules/web/module/web_manager_win.h"
#include "modules/web/module/web_update_win.h"
#include "tests/common/win/win_test_support.h"
#include "tests/web/win/win_catalogue_ports.h"

namespace {
using web::FeedItem;
using wintest::WinePath;

const wchar_t kProgressCaption[] = L"アップデートプログラムのダウンロード・インストール";
const wchar_t kManagerCaption[] = L"アップデートプログラムのダウンロードとインストール - Tellwick";

// Downloads and installs take their time under Wine: up to a minute for each wait.
bool WaitFor(const std::function<bool()>& condition) { return wintest::WaitFor(condition, 60000); }
HWND WaitDialog(const wchar_t* caption) { return wintest::WaitDialog(caption, 60000); }

using wintest::Cell;

// The progress list's state column.
std::wstring Label(HWND dialog, int row) { return Cell(GetDlgItem(dialog, web::kProgressList), row, 1); }

std::wstring Text(HWND w) {
  wchar_t text[256] = {};
  GetWindowTextW(w, text, 256);
  return text;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::string Narrow(const std::wstring& s) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), int(s.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, s.c_str(), int(s.size()), &out[0], n, nullptr, nullptr);
  return out;
}

// Where the update server makes each run's folder.
std::string RunFolderPrefix() {
  wchar_t windows[MAX_PATH];
  GetSystemWindowsDirectoryW(windows, MAX_PATH);
  return Narrow(std::wstring(windows) + L"\\Temp\\wkpt");
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The host window: notes its pauses and its close.
std::string g_host;
LRESULT CALLBACK HostProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_HOST_PAUSE) g_host += "pause" + std::to_string(wp) + " ";
  if (m == WM_CLOSE) {
    g_host += "close ";
    return 0;
  }
  return DefWindowProcW(w, m, wp, lp);
}

int g_restarts = 0;
bool RecordRestart() {
  ++g_restarts;
  return true;
}

// A server that is had, but for a user who is no administrator: it counts its references
// and every call beyond IsAdmin.
struct NoAdminServer : Iwkptcom {
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_Iwkptcom ? this : nullptr;
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs); }
  ULONG STDMETHODCALLTYPE Release() override { return InterlockedDecrement(&refs); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ExpandArchive(BSTR) override { return Called(); }
  HRESULT STDMETHODCALLTYPE ExecAndWait(BSTR) override { return Called(); }
  HRESULT STDMETHODCALLTYPE ExecAndWaitEx(BSTR, ULONG*) override { return Called(); }
  HRESULT STDMETHODCALLTYPE ExecAndNoWait(BSTR) override { return Called(); }
  HRESULT STDMETHODCALLTYPE FindWindowAndPostMessage(BSTR, BSTR, ULONG, ULONG_PTR, LONG_PTR) override { return Called(); }
  HRESULT STDMETHODCALLTYPE IsAdmin() override { return E_ACCESSDENIED; }
  HRESULT Called() {
    ++calls;
    return E_UNEXPECTED;
  }
  LONG refs = 0;
  int calls = 0;
};
NoAdminServer g_noAdmin;
HRESULT g_made = S_OK;  // what making the server answers

HRESULT MakeServer(HWND, Iwkptcom** server) {
  *server = nullptr;
  if (FAILED(g_made)) return g_made;
  g_noAdmin.AddRef();
  *server = &g_noAdmin;
  return S_OK;
}

int Regsvr32(const std::wstring& options) {
  std::string output;
  return wintest::RunProgram(L"regsvr32.exe " + options + L" \"" + WinePath(WKPTSVR_DLL) + L"\"", output);
}

struct Outcome {
  INT_PTR result = 0;
  std::vector<std::wstring> labels;
  std::wstring heading;
  int bar = -1, barEnd = -2;
};

class Engine : public ::testing::TestWithParam<std::string> {
 public:
  static void SetUpTestSuite() { ASSERT_EQ(Regsvr32(L"/s"), 0); }
  static void TearDownTestSuite() { Regsvr32(L"/u /s"); }

  void SetUp() override {
    const int port = wintest::SupportServerPorts(WinePath(UPDATE_STATE_DIR))["http"];
    ASSERT_NE(port, 0) << "the update server fixture is not running";
    base_ = L"http://127.0.0.1:" + std::to_wstring(port) + L"/";
    wchar_t local[MAX_PATH];
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local), S_OK);
    root_ = std::wstring(local) + L"\\Velmorant";
    CreateDirectoryW(root_.c_str(), nullptr);
    folder_ = root_ + L"\\engine-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder_.c_str(), nullptr);
    const std::string thumbprint = wintest::ReadAll(WinePath(TEST_PKI "/maker.thumbprint"));
    ASSERT_TRUE(setting_.SetString(L"MakerThumbprint", std::wstring(thumbprint.begin(), thumbprint.end())));
    log_ = folder_ + L"\\record.log";
    SetEnvironmentVariableW(L"TELLWICK_UPDATE_LOG", log_.c_str());

    WNDCLASSW wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"EngineTestHost";
    RegisterClassW(&wc);
    host_ = CreateWindowW(L"EngineTestHost", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(host_, nullptr);
    g_host.clear();
    g_restarts = 0;

    fetcher_ = std::make_unique<http::CHttpFetcher>(L"PT-15KB3456CS", L"9K123 4567");
    setup_.fetcher = fetcher_.get();
    setup_.host = host_;
    setup_.downloadRoot = root_;
    setup_.updater = WinePath(SIM_DIR "/wkptupdate.exe");
    setup_.access = web::ServerAccess::Direct;
  }
  void TearDown() override {
    DestroyWindow(host_);
    SetEnvironmentVariableW(L"TELLWICK_UPDATE_LOG", nullptr);
    wintest::RemoveFolder(folder_);
    DeleteFileW((root_ + L"\\wkptupdate.exe").c_str());
  }

  // An entry whose package is the build's `file` (in out/sim), fetched through `fault` into
  // its own folder n under the same name.
  FeedItem Entry(int n, const std::wstring& file, const std::u16string& script, const std::wstring& fault = L"") {
    const std::wstring folder = Folder(n), name = file.substr(file.rfind(L'/') + 1);
    CreateDirectoryW(folder.c_str(), nullptr);
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    EXPECT_TRUE(GetFileAttributesExW((WinePath(SIM_DIR) + L"\\" + file).c_str(), GetFileExInfoStandard, &data));
    FeedItem e;
    e.title = u"update " + U(std::to_wstring(n));
    e.downloads.push_back({U(base_ + fault + file), U(folder + L"\\" + name), data.nFileSizeLow, 0, false});
    e.installScript = script;
    e.autoInstall = e.downloadChecked = e.installChecked = true;
    return e;
  }
  std::wstring Folder(int n) const { return folder_ + L"\\" + std::to_wstring(n); }
  static std::u16string U(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }
  static std::wstring W(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
  std::string Record() { return wintest::ReadAll(log_); }

  // Runs the progress dialog with the engine; `during` acts while it runs, then OK is pressed
  // and a restart question, if one comes, answered with `restart`.
  Outcome Run(std::vector<FeedItem>& entries, const std::function<void(HWND)>& during = {}, int restart = 0) {
    Outcome o;
    std::thread user([&] { Finish(o, during, restart); });
    o.result = web::RunProgress(nullptr, entries, entries.size(), web::UpdateWorker, &setup_, RecordRestart);
    user.join();
    MSG msg;
    while (PeekMessageW(&msg, host_, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    return o;
  }

  // As the user: waits for the progress dialog's end, notes it, presses OK and answers a
  // restart question.
  static void Finish(Outcome& o, const std::function<void(HWND)>& during, int restart) {
    HWND d = WaitDialog(kProgressCaption);
    ASSERT_TRUE(d);
    if (during) during(d);
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(GetDlgItem(d, IDOK)) != 0; }));
    const int rows = static_cast<int>(SendDlgItemMessageW(d, web::kProgressList, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) o.labels.push_back(Label(d, row));
    o.heading = Text(GetDlgItem(d, web::kProgressHeading));
    o.bar = static_cast<int>(SendDlgItemMessageW(d, web::kProgressBar, PBM_GETPOS, 0, 0));
    o.barEnd = static_cast<int>(SendDlgItemMessageW(d, web::kProgressBar, PBM_GETRANGE, FALSE, 0));
    PostMessageW(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    if (restart) {
      HWND box = WaitDialog(L"Tellwick");
      ASSERT_TRUE(box);
      SendMessageW(GetDlgItem(box, restart), BM_CLICK, 0, 0);
    }
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(d); }));
  }

  wintest::ScopedKey setting_{HKEY_LOCAL_MACHINE, L"SOFTWARE\\Velmorant\\WICKPOST\\WKPTRSS", KEY_WOW64_64KEY};
  std::wstring base_, root_, folder_, log_;
  HWND host_ = nullptr;
  std::unique_ptr<http::CHttpFetcher> fetcher_;
  web::EngineSetup setup_;
};

const std::wstring kDone = L"インストール成功", kInstallFailed = L"インストール失敗", kDownloadFailed = L"ダウンロード失敗",
                   kRefused = L"署名確認失敗";

// Three updates downloaded and installed: an installer, one that wants a restart, and the
// product's own update handed to its updater. The restart question is answered yes.
void Installs(Engine& t) {
  const std::wstring self = t.Folder(3) + L"\\Wickpost.exe";
  std::vector<FeedItem> entries = {t.Entry(1, L"updates/package.exe", u"INST#x#'setup.exe' -s;"),
                                   t.Entry(2, L"updates/package.exe", u"# needs a restart\nINST#x#setup.exe -restart;"),
                                   t.Entry(3, L"updates/package.exe", u"SELF#x#'" + Engine::U(self) + u"';")};
  const Outcome o = t.Run(entries, {}, IDYES);
  EXPECT_EQ(o.result, -255) << "the restart went through the port";
  EXPECT_EQ(g_restarts, 1);
  EXPECT_EQ(o.labels, (std::vector<std::wstring>{kDone, kDone, kDone}));
  EXPECT_EQ(o.heading, L"完了");
  EXPECT_EQ(o.bar, 6);
  EXPECT_EQ(o.barEnd, 6);
  ASSERT_TRUE(WaitFor([&] { return t.Record().find("updater hand-off") != std::string::npos; })) << t.Record();
  const std::string record = t.Record();
  EXPECT_EQ(Count(record, "extracted"), 3u) << record;
  EXPECT_EQ(Count(record, "\\1\\setup.exe [-s] exit 0"), 1u) << record;
  EXPECT_EQ(Count(record, "\\2\\setup.exe [-restart] exit 3010"), 1u) << record;
  EXPECT_EQ(Count(record, "setup "), 2u) << record;
  // The update folder, as the same place in the server's extraction folder of the third package.
  EXPECT_NE(record.find("updater hand-off host " + std::to_string(GetCurrentProcessId()) + " folder [" +
                        RunFolderPrefix()),
            std::string::npos)
      << record;
  EXPECT_NE(record.find("\\3]"), std::string::npos) << record;
  EXPECT_EQ(record.find(Narrow(t.Folder(3)) + "]"), std::string::npos) << "run in place: " << record;
  for (int n = 1; n <= 3; ++n) EXPECT_FALSE(Exists(t.Folder(n) + L"\\package.exe")) << "installed: deleted " << n;
  for (const FeedItem& e : entries) EXPECT_TRUE(e.installed);
  // The close is posted during the hand-off, the pauses are sent: only their own order is fixed.
  EXPECT_EQ(g_host.rfind("pause1 ", 0), 0u) << g_host;
  EXPECT_EQ(Count(g_host, "pause0"), 1u) << g_host;
  EXPECT_EQ(Count(g_host, "close"), 1u) << g_host;
}

// Packages that are not the maker's, downloaded or planted at the right size: refused,
// deleted, and nothing of them runs; then the same run without a server, as on Windows XP.
void Refusals(Engine& t) {
  std::vector<FeedItem> entries = {t.Entry(1, L"updates/package-unsigned.exe", u"INST#x#'setup.exe' -s;"),
                                   t.Entry(2, L"updates/package-foreign.exe", u"INST#x#'setup.exe' -s;"),
                                   t.Entry(3, L"updates/package-tampered.exe", u"INST#x#'setup.exe' -s;"),
                                   t.Entry(4, L"updates/package-redigested.exe", u"INST#x#'setup.exe' -s;"),
                                   t.Entry(8, L"updates/package-appended.exe", u"INST#x#'setup.exe' -s;"),
                                   t.Entry(9, L"updates/package-widened.exe", u"INST#x#'setup.exe' -s;")};
  FeedItem& planted = entries[3];
  ASSERT_TRUE(CopyFileW((WinePath(SIM_DIR) + L"\\updates\\package-redigested.exe").c_str(),
                        Engine::W(planted.downloads[0].localPath).c_str(), FALSE));
  planted.downloadChecked = false;
  planted.downloads[0].done = true;
  planted.downloads[0].present = planted.downloads[0].expectedSize;
  const Outcome o = t.Run(entries);
  EXPECT_EQ(o.result, 0);
  EXPECT_EQ(o.labels, (std::vector<std::wstring>{kRefused, kRefused, kRefused, kRefused, kRefused, kRefused}));
  EXPECT_EQ(o.bar, o.barEnd);
  for (const FeedItem& e : entries) EXPECT_FALSE(Exists(Engine::W(e.downloads[0].localPath))) << "deleted";
  EXPECT_EQ(t.Record(), "") << "something of a refused package ran";

  // Windows XP's way, without a server: the same checks and starts in this process.
  t.setup_.access = web::ServerAccess::None;
  std::vector<FeedItem> local = {t.Entry(5, L"updates/package.exe", u"INST#x#'setup.exe' -s;"),
                                 t.Entry(6, L"updates/package-unsigned.exe", u"INST#x#'setup.exe' -s;"),
                                 t.Entry(7, L"updates/package-broken.exe", u"INST#x#'setup.exe' -s;")};
  const Outcome l = t.Run(local);
  EXPECT_EQ(l.labels, (std::vector<std::wstring>{kDone, kRefused, kInstallFailed}));
  EXPECT_EQ(l.bar, l.barEnd);
  const std::string record = t.Record();
  EXPECT_EQ(Count(record, "\\5\\setup.exe [-s] exit 0"), 1u) << record;
  EXPECT_EQ(Count(record, "setup "), 1u) << record;
  EXPECT_EQ(Count(record, "extraction failed"), 1u) << record;
  EXPECT_FALSE(Exists(t.Folder(6) + L"\\package-unsigned.exe"));
  EXPECT_TRUE(Exists(t.Folder(7) + L"\\package-broken.exe"));
}

// A download cut short, a 404, a failing installer and a failing extraction; then a cancel
// during a download; then the elevation moniker, which Wine does not have.
void Faults(Engine& t) {
  {
    std::vector<FeedItem> entries = {t.Entry(1, L"updates/package.exe", u"INST#x#'setup.exe' -s;", L"fault/short/"),
                                     t.Entry(2, L"updates/package.exe", u"INST#x#'setup.exe' -s;", L"fault/404/"),
                                     t.Entry(3, L"updates/package.exe", u"INST#x#'setup.exe' -fail;"),
                                     t.Entry(4, L"updates/package-broken.exe", u"INST#x#'setup.exe' -s;")};
    const Outcome o = t.Run(entries);
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.labels, (std::vector<std::wstring>{kDownloadFailed, kDownloadFailed, kInstallFailed, kInstallFailed}));
    EXPECT_EQ(o.bar, 4);
    EXPECT_EQ(o.barEnd, 4);
    EXPECT_FALSE(Exists(t.Folder(1) + L"\\package.exe"));
    EXPECT_FALSE(Exists(t.Folder(2) + L"\\package.exe"));
    EXPECT_TRUE(Exists(t.Folder(3) + L"\\package.exe")) << "kept for a retry";
    EXPECT_TRUE(Exists(t.Folder(4) + L"\\package-broken.exe")) << "kept for a retry";
    const std::string record = t.Record();
    EXPECT_EQ(Count(record, "[-fail] exit 1603"), 1u) << record;
    EXPECT_EQ(Count(record, "extraction failed"), 1u) << record;
    EXPECT_EQ(Count(record, "setup "), 1u) << record;
    for (const FeedItem& e : entries) EXPECT_FALSE(e.installed);
  }
  DeleteFileW(t.log_.c_str());
  {
    std::vector<FeedItem> entries = {t.Entry(5, L"updates/package.exe", u"INST#x#'setup.exe' -s;", L"fault/trickle/"),
                                     t.Entry(6, L"updates/package.exe", u"INST#x#'setup.exe' -s;")};
    const Outcome o = t.Run(entries, [](HWND d) {
      // The first block has arrived: the row's bytes moved the bar.
      ASSERT_TRUE(WaitFor([&] { return SendDlgItemMessageW(d, web::kProgressBar, PBM_GETPOS, 0, 0) > 0; }));
      SendMessageW(GetDlgItem(d, IDCANCEL), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(o.result, -1);
    EXPECT_EQ(o.heading, L"キャンセルしました");
    EXPECT_EQ(o.labels, (std::vector<std::wstring>{kDownloadFailed, kDownloadFailed}));
    EXPECT_FALSE(Exists(t.Folder(5) + L"\\package.exe"));
    EXPECT_FALSE(Exists(t.Folder(6) + L"\\package.exe"));
    EXPECT_EQ(t.Record(), "");
  }
  {
    t.setup_.access = web::ServerAccess::Elevated;
    std::vector<FeedItem> entries = {t.Entry(7, L"updates/package.exe", u"INST#x#'setup.exe' -s;")};
    wintest::BoxAnswer box(L"Tellwick", IDOK);
    const Outcome o = t.Run(entries);
    EXPECT_EQ(o.result, -1) << "the close is taken as a cancel";
    EXPECT_EQ(box.Text().rfind(L"ダウンロード・インストールを開始できませんでした。", 0), 0u) << Narrow(box.Text());
    EXPECT_TRUE(o.labels.empty());
    EXPECT_EQ(t.Record(), "");
    HRESULT moniker = S_OK;
    {
      CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
      void* server = nullptr;
      moniker = web::CreateElevatedServer(nullptr, IID_IUnknown, &server);
      if (server) static_cast<IUnknown*>(server)->Release();
      CoUninitialize();
    }
    EXPECT_EQ(moniker, MK_E_CANTOPENFILE) << "Wine has no elevation moniker: it takes the name for a file";
  }
  // A user who is no administrator, a declined elevation, a policy: each message, or none,
  // and the server released.
  t.setup_.makeServer = MakeServer;
  const struct {
    HRESULT made;
    const wchar_t* message;
  } refusals[] = {
      {S_OK, L"管理者権限のユーザーで実行してください。"},
      {HRESULT_FROM_WIN32(ERROR_CANCELLED), nullptr},
      {HRESULT_FROM_WIN32(ERROR_ACCESS_DISABLED_BY_POLICY), L"続行できません"},
  };
  for (const auto& r : refusals) {
    g_made = r.made;
    std::vector<FeedItem> entries = {t.Entry(8, L"updates/package.exe", u"INST#x#'setup.exe' -s;")};
    std::unique_ptr<wintest::BoxAnswer> box(r.message ? new wintest::BoxAnswer(L"Tellwick", IDOK) : nullptr);
    const Outcome o = t.Run(entries);
    EXPECT_EQ(o.result, -1) << std::hex << r.made;
    if (box) {
      EXPECT_EQ(box->Text().rfind(r.message, 0), 0u) << Narrow(box->Text());
    }
    EXPECT_TRUE(o.labels.empty());
  }
  EXPECT_EQ(g_noAdmin.refs, 0) << "the server is released when its user is no administrator";
  EXPECT_EQ(g_noAdmin.calls, 0);
  EXPECT_EQ(t.Record(), "");
}

// From the update manager over the stand-in's catalogue of the signed packages (served beside
// them): the product's own update declined at first, the three listed entries run as ticked,
// the licence accepted, a restart wanted; then the manager opened again and its update taken.
void Manager(Engine& t) {
  const std::wstring numbers[] = {L"2001", L"2002", L"2003", L"2004"};
  for (const std::wstring& n : numbers) wintest::RemoveFolder(t.root_ + L"\\" + n);
  wintest::WinCataloguePorts ports(t.fetcher_);
  web::ManagerSetup setup;
  const std::wstring base = t.base_ + L"updates/";
  setup.source = {Engine::U(base + L"s/wkpt.xml"), Narrow(base), web::kDefaultSearchFormat, u"C:\\Tellwick\\wkptrss.dll"};
  setup.machine = {u"PT-15KB3456CS", u"9K1234567", *web::ReadFirmwareVersion(u"V1.23L45A M67"),
                   *web::ReadFirmwareVersion(u"V2.10L05")};
  setup.ports = &ports.ports;
  setup.worker = web::UpdateWorker;
  setup.context = &t.setup_;
  setup.restart = RecordRestart;

  std::vector<std::wstring> rows;
  std::wstring licence;
  Outcome first, self;
  std::thread user([&] {
    HWND m = WaitDialog(kManagerCaption);
    ASSERT_TRUE(m);
    HWND offer = WaitDialog(L"Tellwick");  // the product's own update: not now
    ASSERT_TRUE(offer);
    SendMessageW(GetDlgItem(offer, IDNO), BM_CLICK, 0, 0);
    HWND list = GetDlgItem(m, web::kManagerList);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(list) && IsWindowEnabled(GetDlgItem(m, web::kManagerStart)); }));
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row)
      rows.push_back(Cell(list, row, 0) + Cell(list, row, 1) + L" " + Cell(list, row, 2) + L" " + Cell(list, row, 3));
    PostMessageW(m, WM_COMMAND, MAKEWPARAM(web::kManagerStart, BN_CLICKED), 0);
    HWND l = WaitDialog(L"使用許諾契約");
    ASSERT_TRUE(l);
    licence = std::to_wstring(SendDlgItemMessageW(l, web::kLicenceTitles, LB_GETCOUNT, 0, 0));
    SendMessageW(GetDlgItem(l, IDYES), BM_CLICK, 0, 0);
    Engine::Finish(first, {}, IDYES);
    SendMessageW(GetDlgItem(m, IDCANCEL), BM_CLICK, 0, 0);

    m = WaitDialog(kManagerCaption);
    ASSERT_TRUE(m);
    offer = WaitDialog(L"Tellwick");  // now
    ASSERT_TRUE(offer);
    SendMessageW(GetDlgItem(offer, IDYES), BM_CLICK, 0, 0);
    Engine::Finish(self, {}, 0);
  });
  EXPECT_TRUE(web::RunManager(nullptr, setup));
  EXPECT_TRUE(web::RunManager(nullptr, setup));
  user.join();
  MSG msg;
  while (PeekMessageW(&msg, t.host_, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);

  EXPECT_EQ(rows, (std::vector<std::wstring>{L"■■ 無線 LAN ドライバ 不要", L"■■ BIOS アップデート 要", L"■■ サウンドドライバ 不要"}))
      << "the product's own update is no row of the list";
  EXPECT_EQ(licence, L"3");
  EXPECT_EQ(first.labels, (std::vector<std::wstring>{kDone, kDone, kRefused}));
  EXPECT_EQ(first.heading, L"完了");
  EXPECT_EQ(first.bar, first.barEnd);
  EXPECT_EQ(g_restarts, 1) << "the restart question was answered through the manager's port";
  EXPECT_EQ(self.labels, std::vector<std::wstring>{kDone});
  ASSERT_TRUE(WaitFor([&] { return t.Record().find("updater hand-off") != std::string::npos; })) << t.Record();
  const std::string record = t.Record();
  // Each package runs from its own extraction folder of the server's, in the run's order.
  EXPECT_EQ(Count(record, "\\1\\setup.exe [-s] exit 0"), 1u) << record;
  EXPECT_EQ(Count(record, "\\2\\setup.exe [-restart] exit 3010"), 1u) << record;
  EXPECT_EQ(Count(record, "setup "), 2u) << record;
  EXPECT_EQ(Count(record, "extracted"), 3u) << record;
  EXPECT_EQ(Count(record, "package-tampered"), 0u) << "something of the tampered package ran: " << record;
  EXPECT_EQ(Count(record, "updater hand-off host " + std::to_string(GetCurrentProcessId()) + " folder [" +
                              RunFolderPrefix()),
            1u)
      << record;
  EXPECT_FALSE(Exists(t.root_ + L"\\2001\\package.exe"));
  EXPECT_FALSE(Exists(t.root_ + L"\\2002\\package.exe"));
  EXPECT_FALSE(Exists(t.root_ + L"\\2003\\package-tampered.exe")) << "refused: deleted";
  EXPECT_FALSE(Exists(t.root_ + L"\\2004\\package.exe"));
  EXPECT_EQ(Count(g_host, "close"), 1u) << g_host;
  for (const std::wstring& n : numbers) wintest::RemoveFolder(t.root_ + L"\\" + n);
}

TEST_P(Engine, Runs) {
  const std::string which = GetParam();
  if (which == "install") Installs(*this);
  if (which == "refused") Refusals(*this);
  if (which == "faults") Faults(*this);
  if (which == "manager") Manager(*this);
}

INSTANTIATE_TEST_SUITE_P(Cases, Engine, ::testing::Values("install", "refused", "faults", "manager"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
