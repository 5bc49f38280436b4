#include "modules/web/module/update_server_port.h"

#include "common/win/authority.h"
#include "common/win/com_ptr.h"
#include "modules/kit/module/kit_win.h"
#include "modules/updatesvr/module/svr_start.h"
#include "modules/updatesvr/svr_rules.h"

namespace web {
namespace {
const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

bool KeyExists(const std::wstring& path, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}
}  // namespace

bool ServerInstallPort::UninstallKeyExists(const std::u16string& name) {
  const std::wstring path = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + std::wstring(W(name));
  return KeyExists(path, 0) || KeyExists(path, KEY_WOW64_64KEY);
}

bool ServerInstallPort::RunAndWait(const std::u16string& commandLine, uint32_t& exitCode) {
  Bstr line(W(commandLine));
  ULONG code = 0;
  if (FAILED(server_->ExecAndWaitEx(line.get(), &code))) return false;
  exitCode = code;
  return true;
}

bool ServerInstallPort::Start(const std::u16string& commandLine) {
  Bstr line(W(commandLine));
  return SUCCEEDED(server_->ExecAndNoWait(line.get()));
}

bool ServerInstallPort::CopyUpdater(std::u16string& copy) {
  const std::wstring to = downloadRoot_ + L"\\wkptupdate.exe";
  if (!CopyFileW(updater_.c_str(), to.c_str(), FALSE)) return false;
  copy.assign(reinterpret_cast<const char16_t*>(to.c_str()), to.size());
  return true;
}

bool ServerInstallPort::IsAdministrator() { return CAuthority().IsAdministrator(); }

bool ServerInstallPort::PostHandOff() {
  Bstr cls(L"WKPTUPDATE"), title(L"WKPTUPDATE_ADMIN");
  return server_->FindWindowAndPostMessage(cls.get(), title.get(), 0x8000, GetCurrentProcessId(), 0) == S_OK;
}

bool ServerInstallPort::Pause() { return WaitForSingleObject(cancel_, 1000) == WAIT_TIMEOUT; }

void ServerInstallPort::CloseHost() { PostMessageW(host_, WM_CLOSE, 0, 0); }

bool LocalInstallPort::RunAndWait(const std::u16string& commandLine, uint32_t& exitCode) {
  DWORD code = 0;
  if (FAILED(updsvr::StartVerified(commandLine, kit::U16(downloadRoot_.c_str()), updsvr::RunForm::Installer, &code)))
    return false;
  exitCode = code;
  return true;
}

bool LocalInstallPort::Start(const std::u16string& commandLine) {
  return SUCCEEDED(
      updsvr::StartVerified(commandLine, kit::U16(downloadRoot_.c_str()), updsvr::RunForm::Updater, nullptr, &started_));
}

bool LocalInstallPort::PostHandOff() {
  HWND updater = updsvr::FindUpdaterWindow(started_);
  return updater && PostMessageW(updater, updsvr::kUpdaterHandOff, GetCurrentProcessId(), 0);
}

}  // namespace web
