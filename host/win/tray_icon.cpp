#include "host/win/tray_icon.h"

namespace host {

DWORD NotifyIconDataSize(DWORD majorVersion) {
  return majorVersion < 6 ? NOTIFYICONDATAW_V3_SIZE : sizeof(NOTIFYICONDATAW);
}

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
