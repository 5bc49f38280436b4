// The install-script runner's calls over the elevated update server.
#pragma once
#include <windows.h>

#include <string>

#include "modules/updatesvr/module/svr_ids.h"
#include "modules/web/update_script.h"

namespace web {

class ServerInstallPort : public IInstallPort {
 public:
  // `server` is borrowed for the port's life. `downloadRoot`: the download folders, where the
  // updater is copied to; `updater`: the module's own wkptupdate.exe; `cancel`: the run's
  // manual-reset cancel event; `host`: the window closed after a hand-off.
  ServerInstallPort(Iwkptcom* server, std::wstring downloadRoot, std::wstring updater, HANDLE cancel, HWND host)
      : server_(server), downloadRoot_(std::move(downloadRoot)), updater_(std::move(updater)), cancel_(cancel),
        host_(host) {}

  bool UninstallKeyExists(const std::u16string& name) override;
  bool RunAndWait(const std::u16string& commandLine, uint32_t& exitCode) override;
  bool Start(const std::u16string& commandLine) override;
  bool CopyUpdater(std::u16string& copy) override;
  bool IsAdministrator() override;
  bool PostHandOff() override;
  bool Pause() override;
  void CloseHost() override;

 protected:
  Iwkptcom* server_;
  std::wstring downloadRoot_, updater_;

 private:
  HANDLE cancel_;
  HWND host_;
};

// Windows XP has no elevation: the server's three calls made in this process, under the
// server's own rules (a verified program inside the download folders, the one hand-off).
class LocalInstallPort : public ServerInstallPort {
 public:
  LocalInstallPort(std::wstring downloadRoot, std::wstring updater, HANDLE cancel, HWND host)
      : ServerInstallPort(nullptr, std::move(downloadRoot), std::move(updater), cancel, host) {}
  bool RunAndWait(const std::u16string& commandLine, uint32_t& exitCode) override;
  bool Start(const std::u16string& commandLine) override;
  bool PostHandOff() override;

 private:
  DWORD started_ = 0;  // the program started last: only its window takes the hand-off
};

}  // namespace web
