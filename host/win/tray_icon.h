// CNotifyIcon: the shell calls for the host's one icon in the notification area.
#pragma once
#include <windows.h>
#include <shellapi.h>

namespace host {

// The size given to the shell: XP's layout (XP's shell turns Vista's larger one away), which
// later shells take too.
DWORD NotifyIconDataSize(DWORD majorVersion);

class CNotifyIcon {
 public:
  static constexpr UINT kId = 140;

  CNotifyIcon(HWND owner, UINT callbackMessage, DWORD majorVersion);
  void Set(HICON icon, const wchar_t* tip);
  bool Add() { return Call(NIM_ADD); }
  bool Modify() { return Call(NIM_MODIFY); }
  bool Delete() { return Call(NIM_DELETE); }
  DWORD size() const { return data_.cbSize; }

 private:
  bool Call(DWORD action) { return Shell_NotifyIconW(action, &data_) != FALSE; }
  NOTIFYICONDATAW data_ = {};
};

}  // namespace host
