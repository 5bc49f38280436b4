#include "modules/web/module/update_engine_win.h"

#include <objbase.h>

#include <optional>

#include "common/win/com_ptr.h"
#include "common/win/package_verifier.h"
#include "host/module_contract.h"
#include "modules/kit/module/kit_com.h"
#include "modules/kit/module/kit_win.h"
#include "modules/updatesvr/module/svr_start.h"
#include "modules/web/module/update_server_port.h"
#include "modules/web/module/web_resource_ids.h"
#include "modules/web/update_engine.h"

namespace web {
namespace {
using kit::Wide;

// The progress dialog: everything sent, so that the worker goes on only once the dialog has
// shown it; the end posted, as the dialog may be closing.
class DialogReport : public IEngineReport {
 public:
  explicit DialogReport(HWND dialog) : dialog_(dialog) {}
  int AddRow(FeedItem& entry, int state) override {
    return static_cast<int>(SendMessageW(dialog_, kDlAddRow, reinterpret_cast<WPARAM>(&entry), state));
  }
  void Init() override { SendMessageW(dialog_, kDlInit, 0, 0); }
  void Progress(uint64_t bytes, int row) override {
    // A WPARAM holds 32 bits in the 32-bit build; a row of two files may pass that.
    for (; bytes > 0xFFFFFFFFu; bytes -= 0xFFFFFFFFu) SendMessageW(dialog_, kDlProgress, 0xFFFFFFFFu, row);
    if (bytes) SendMessageW(dialog_, kDlProgress, static_cast<WPARAM>(bytes), row);
  }
  void SetState(int row, int state) override { SendMessageW(dialog_, kDlSetState, static_cast<WPARAM>(state), row); }
  void DownloadsDone() override { SendMessageW(dialog_, kDlDownloadsDone, 0, 0); }
  void InstallBegin(int installs) override { SendMessageW(dialog_, kDlInstallBegin, static_cast<WPARAM>(installs), 0); }
  void InstallStep(int steps) override { SendMessageW(dialog_, kDlInstallStep, static_cast<WPARAM>(steps), 0); }
  void Finished() override { PostMessageW(dialog_, kDlFinished, 0, 0); }

 private:
  HWND dialog_;
};

BOOL FetchProgress(DWORD, DWORD received, void* context) {
  return (*static_cast<const std::function<bool(uint64_t)>*>(context))(received) ? TRUE : FALSE;
}

class WinUpdateMachine : public IUpdateMachine {
 public:
  WinUpdateMachine(const EngineSetup& setup, HANDLE cancel, Iwkptcom* server)
      : setup_(setup), cancel_(cancel), server_(server) {}

  bool Fetch(const std::u16string& url, const std::u16string& path,
             const std::function<bool(uint64_t)>& received) override {
    return setup_.fetcher &&
           setup_.fetcher->Fetch(Wide(path), Wide(url), FetchProgress, const_cast<std::function<bool(uint64_t)>*>(&received));
  }
  std::optional<uint64_t> FileSize(const std::u16string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Wide(path), GetFileExInfoStandard, &data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      return std::nullopt;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }
  void Delete(const std::u16string& path) override { DeleteFileW(Wide(path)); }
  bool Verify(const std::u16string& package) override {
    return PackageVerifier(ReadMakerThumbprint()).Verify(std::wstring(Wide(package))) == pkgsig::Verdict::Trusted;
  }
  bool Extract(const std::u16string& package) override {
    if (server_) {
      Bstr path(Wide(package));
      return server_->ExpandArchive(path.get()) == S_OK;
    }
    DWORD exitCode = 1;
    return SUCCEEDED(updsvr::StartVerified(QuoteArgument(package) + u" -silent", kit::U16(setup_.downloadRoot.c_str()),
                                           updsvr::RunForm::Installer, &exitCode)) &&
           exitCode == 0;
  }
  void PauseHost(bool paused) override {
    if (setup_.host) SendMessageW(setup_.host, WM_HOST_PAUSE, paused ? 1 : 0, 0);
  }
  bool Cancelled() override { return WaitForSingleObject(cancel_, 0) == WAIT_OBJECT_0; }

 private:
  const EngineSetup& setup_;
  HANDLE cancel_;
  Iwkptcom* server_;
};

// The run cannot start: the message, if any, then the dialog closed as a cancel and told
// that the worker is done.
void GiveUp(HWND dialog, const std::optional<std::u16string>& message) {
  if (message) MessageBoxW(dialog, Wide(*message), kit::LoadText(IDS_APP_TITLE).c_str(), MB_OK | MB_ICONWARNING);
  PostMessageW(dialog, WM_CLOSE, 0, 0);
  PostMessageW(dialog, kDlFinished, 0, 0);
}

void Run(ProgressWork& work, const EngineSetup& setup, Iwkptcom* server, ServerInstallPort& port) {
  DialogReport report(work.dialog);
  WinUpdateMachine machine(setup, work.cancel, server);
  RunUpdates(*work.entries, report, machine, port);
}
}  // namespace

HRESULT CreateElevatedServer(HWND owner, REFIID iid, void** server) {
  wchar_t clsid[40] = {};
  if (!StringFromGUID2(CLSID_Cwkptcom, clsid, 40)) return E_UNEXPECTED;
  const std::wstring moniker = L"Elevation:Administrator!new:" + std::wstring(clsid);
  BIND_OPTS3 options = {};
  options.cbStruct = sizeof options;
  options.hwnd = owner;
  options.dwClassContext = CLSCTX_LOCAL_SERVER;
  return CoGetObject(moniker.c_str(), &options, iid, server);
}

void UpdateWorker(ProgressWork& work) {
  const auto* setup = static_cast<const EngineSetup*>(work.context);
  if (!setup || !work.entries || WaitForSingleObject(work.cancel, 0) == WAIT_OBJECT_0) {
    PostMessageW(work.dialog, kDlFinished, 0, 0);
    return;
  }
  if (setup->access == ServerAccess::None) {
    LocalInstallPort port(setup->downloadRoot, setup->updater, work.cancel, setup->host);
    Run(work, *setup, nullptr, port);
    return;
  }
  // Declared first, so that the server is released before the apartment ends.
  kit::ComScope apartment;
  if (!apartment.Ok()) {
    GiveUp(work.dialog, std::nullopt);
    return;
  }
  ComPtr<Iwkptcom> server;
  const HRESULT made =
      setup->makeServer ? setup->makeServer(work.dialog, server.out())
      : setup->access == ServerAccess::Elevated
          ? CreateElevatedServer(work.dialog, IID_Iwkptcom, reinterpret_cast<void**>(server.out()))
          : CoCreateInstance(CLSID_Cwkptcom, nullptr, CLSCTX_INPROC_SERVER, IID_Iwkptcom,
                             reinterpret_cast<void**>(server.out()));
  if (FAILED(made) || !server) {
    GiveUp(work.dialog, ServerFailureMessage(FAILED(made) ? made : E_NOINTERFACE));
    return;
  }
  if (server->IsAdmin() != S_OK) {
    GiveUp(work.dialog, std::u16string(u"管理者権限のユーザーで実行してください。"));
    return;
  }
  ServerInstallPort port(server.get(), setup->downloadRoot, setup->updater, work.cancel, setup->host);
  Run(work, *setup, server.get(), port);
}

}  // namespace web
