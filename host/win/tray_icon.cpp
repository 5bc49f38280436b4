#include "host/win/tray_icon.h"

namespace host {

// The structure as the headers of the oldest release declare it, up to guidItem: every shell
// from XP on takes it. Vista's balloon icon, which it leaves out, is not used here.
DWORD NotifyIconDataSize(DWORD) { return sizeof(NOTIFYICONDATAW); }

CNotifyIcon::CNotifyIcon(HWND owner, UINT callbackMessage, DWORD majorVersion) {
  data_.cbSize = NotifyIconDataSize(majorVersion);
  data_.hWnd = owner;
  data_.uID = kId;
  data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data_.uCallbackMessage = callbackMessage;
}

void CNotifyIcon::Set(HICON icon, const wchar_t* tip) {
  data_.hIcon = icon;
  lstrcpynW(data_.szTip, tip, ARRAYSIZE(data_.szTip));
}

}  // namespace host
