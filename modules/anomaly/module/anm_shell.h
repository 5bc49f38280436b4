// The Win32 side of the anomaly module: the registry, the machine, the page files, the
// host's window, the repair's registry and installer, and the one module-wide state.
#pragma once
#include <windows.h>

#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "common/core/misc_packets.h"
#include "common/core/misccommon.h"
#include "host/module_contract.h"
#include "modules/anomaly/anm_module.h"
#include "modules/kit/module/kit_win.h"

namespace anm {

constexpr UINT kMsgProgressStart = WM_APP + 1, kMsgProgressClose = WM_APP + 2, kMsgProgressResult = WM_APP + 3;
constexpr UINT kMsgRecheck = WM_APP + 4;

class WinStore : public IStore {
 public:
  std::optional<uint32_t> MachineDword(const char16_t* name) override;
  std::optional<std::u16string> MachineString(const char16_t* name) override;
  std::optional<uint32_t> UserDword(const char16_t* name) override;
  bool WriteUserDword(const char16_t* name, uint32_t value) override;
  bool AuditMode() override;
};

class WinMachine : public IMachine {
 public:
  explicit WinMachine(MiscCommon::CMiscCommon* client) : client_(client) {}
  std::optional<std::string> Model() override;
  std::optional<std::string> VersionDocLine() override;
  bool Administrator() override;
  uint16_t UiLanguage() override { return GetUserDefaultUILanguage(); }
  std::u16string DateTimeText() override;

 private:
  MiscCommon::CMiscCommon* client_;
};

class WinFiles : public kit::TempPageFiles<IFiles> {
 public:
  WinFiles() : TempPageFiles(L"WAM") {}
  std::u16string ModulePath() override { return kit::ModulePath(); }
  bool Exists(const std::u16string& path) override;
  bool LoadXml(const std::u16string& path, kit::XmlElement& root) override;
};

class WinHostLink : public IHostLink {
 public:
  void ClosePopup() override { SendMessageW(host, WM_HOST_CLOSEPOPUP, 0, 0); }
  void PostCheck() override { PostMessageW(host, WM_HOST_CHECKMODULE, static_cast<WPARAM>(moduleIndex), 0); }
  void PostCheckViaModule() override { PostMessageW(hidden, kMsgRecheck, 0, 0); }
  HWND host = nullptr, hidden = nullptr;
  int moduleIndex = 0;
};

class WinRepairRegistry : public IRepairRegistry {
 public:
  std::vector<std::u16string> SubKeys(const std::u16string& path) override;
  std::optional<RegValue> Value(const std::u16string& path, const char16_t* name) override;
  bool KeyExists(const std::u16string& path, std::optional<std::u16string>& displayName) override;
  std::vector<std::u16string> PendingRenames() override;
  std::optional<std::u16string> StartupValue(const std::u16string& key, const std::u16string& name) override;
};

// The installer's programs started through the shell, the record's state read afresh, and
// the start-up value written through the host's driver client.
class WinInstallSystem : public IInstallSystem {
 public:
  explicit WinInstallSystem(MiscCommon::CMiscCommon* client) : client_(client) {}
  bool FileExists(const std::u16string& path) override;
  bool Start(const Command& c, uintptr_t& process) override;
  bool Wait(uintptr_t process, uint32_t ms) override;
  void Close(uintptr_t process) override;
  uint32_t NowMs() override { return GetTickCount(); }
  std::u16string SystemFolder() override;
  Status StatusOf(RepairRecord& r) override { return InstallStatus(r, registry_); }
  bool StartupInPlace(const RepairRecord& r) override { return anm::StartupInPlace(r, registry_); }
  bool WriteStartup(const std::u16string& key, const std::u16string& name, const std::u16string& data) override;

 private:
  MiscCommon::CMiscCommon* client_;
  WinRepairRegistry registry_;
};

// What the repair worker hands the hidden window. The messages that announce it carry no
// pointer: any program on the desktop can post those numbers, and then finds nothing here.
template <class T>
class Mailbox {
 public:
  void Put(T note) {
    std::lock_guard<std::mutex> lock(mutex_);
    notes_.push_back(std::move(note));
  }
  T Take() {  // the oldest note, or an empty one
    std::lock_guard<std::mutex> lock(mutex_);
    if (notes_.empty()) return T();
    T note = std::move(notes_.front());
    notes_.pop_front();
    return note;
  }

 private:
  std::mutex mutex_;
  std::deque<T> notes_;
};

// The worker's notes: the progress dialog's start and result, and the start-up entry the host's
// thread writes for it (through the driver client, which belongs to that thread).
struct StartNote {
  std::u16string name;
  uint32_t ms = 0;
};
struct ResultNote {
  InstallResult result;
};
struct StartupWrite {
  std::u16string key, name, data;
  bool ok = false;
};

struct Shell {
  explicit Shell(MiscCommon::CMiscCommon* client)
      : client(client), port(client), machine(client),
        module(Module::Ports{store, port, machine, files, link, registry}) {}
  MiscCommon::CMiscCommon* client;
  MiscCommon::ClientPacketPort port;
  WinStore store;
  WinMachine machine;
  WinFiles files;
  WinHostLink link;
  WinRepairRegistry registry;
  Module module;
  UINT ecMessage = 0;
  // Session notifications, when wtsapi32 offers them.
  HMODULE wts = nullptr;
  BOOL(WINAPI* registerSession)(HWND, DWORD) = nullptr;
  BOOL(WINAPI* unregisterSession)(HWND) = nullptr;
  Mailbox<std::unique_ptr<StartNote>> starts;
  Mailbox<std::unique_ptr<ResultNote>> results;
  Mailbox<StartupWrite*> startupWrites;  // the worker's own, which it waits for
  // The progress dialog of the running repair.
  HWND progress = nullptr;
  std::wstring progressName;
  uint32_t progressSeconds = 0, progressCount = 0;
  bool offerRestart = false;
};

inline Shell* TheShell() { return kit::Instance<Shell>::Get(); }

LRESULT CALLBACK HiddenProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// At unload: the progress dialog, the session registration, the hidden window and its class go.
void CloseWindows(Shell& s);
// Starts the repair worker for a record when none runs.
void StartRepair(Shell& s, uint16_t id);
INT_PTR CALLBACK SetupPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The variant's restart: the machine's in the release, a recorded request in the sim.
void RequestRestart();

const wchar_t kModuleKey[] = L"Software\\Velmorant\\WICKPOST\\WKPTANM";
const wchar_t kWindowClass[] = L"WKPTANM_INTERNAL";

}  // namespace anm
