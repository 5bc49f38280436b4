#include "modules/kit/module/kit_offer.h"

#include <commctrl.h>
#include <prsht.h>

#include "common/core/misccommon.h"
#include "common/core/model_identity.h"
#include "common/win/audit.h"
#include "common/win/reg.h"

namespace kit {
namespace {
const char16_t kHostKey16[] = u"Software\\Velmorant\\WICKPOST";

LocalTime FromSystemTime(const SYSTEMTIME& st) {
  return LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

std::u16string U16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }
}  // namespace

LocalTime WinClock::Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return FromSystemTime(st);
}

bool WinClock::LocalFromUnix(uint32_t seconds, LocalTime& out) {
  const ULONGLONG ticks = ULONGLONG(seconds) * 10000000ULL + 116444736000000000ULL;
  FILETIME utc = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)}, local;
  SYSTEMTIME st;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &st)) return false;
  out = FromSystemTime(st);
  return true;
}

OfferRegistry::OfferRegistry(MiscCommon::CMiscCommon* client, const wchar_t* moduleKeyName)
    : client_(client), key_(std::wstring(L"Software\\Velmorant\\WICKPOST\\") + moduleKeyName) {}

bool OfferRegistry::SetupEnable() {
  CReg reg;
  DWORD value = 1;
  if (!reg.ReadDword64(HKEY_LOCAL_MACHINE, key_.c_str(), L"SetupEnable", &value) &&
      !reg.ReadDword(HKEY_LOCAL_MACHINE, key_.c_str(), L"SetupEnable", &value))
    value = 1;
  return value != 0;
}

std::optional<std::u16string> OfferRegistry::FirstLogin() {
  wchar_t text[129] = {};
  DWORD size = sizeof text - sizeof text[0];
  if (!CReg().ReadString64(HKEY_LOCAL_MACHINE, L"Software\\Velmorant\\Sysglance", L"FirstLogin", text, &size))
    return std::nullopt;
  return kit::U16(text);
}

std::optional<uint32_t> OfferRegistry::InstallDate() {
  DWORD value = 0;
  if (!CReg().ReadDword64(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion", L"InstallDate", &value))
    return std::nullopt;
  return value;
}

std::optional<uint32_t> OfferRegistry::Notify() {
  uint32_t value = 0;
  if (!client_ ||
      !MiscCommon::CDriverReg(client_).ReadDword(win32::RegRoot::LocalMachine, U16(key_).c_str(), u"Notify", &value))
    return std::nullopt;
  return value;
}

bool OfferRegistry::SaveNotify(bool on) {
  return client_ && MiscCommon::CDriverReg(client_).WriteDword(win32::RegRoot::LocalMachine, U16(key_).c_str(), u"Notify", on);
}

std::optional<MonthDay> OfferRegistry::LastNotified() {
  CReg reg;
  DWORD month = 0, day = 0;
  if (!reg.ReadDword(HKEY_CURRENT_USER, key_.c_str(), L"LastNotifyMonth", &month) ||
      !reg.ReadDword(HKEY_CURRENT_USER, key_.c_str(), L"LastNotifyDay", &day))
    return std::nullopt;
  return MonthDay{static_cast<int>(month), static_cast<int>(day)};
}

bool OfferRegistry::SaveLastNotified(MonthDay d) {
  CReg reg;
  const bool month = reg.WriteDword(HKEY_CURRENT_USER, key_.c_str(), L"LastNotifyMonth", d.month);
  return reg.WriteDword(HKEY_CURRENT_USER, key_.c_str(), L"LastNotifyDay", d.day) && month;
}

void OfferRegistry::EnsureHostKey() {
  if (!client_) return;
  MiscCommon::CDriverReg driverReg(client_);
  if (!driverReg.KeyExists(win32::RegRoot::LocalMachine, kHostKey16))
    driverReg.CreateKey(win32::RegRoot::LocalMachine, kHostKey16);
}

bool OfferRegistry::AuditMode() { return CAudit().IsAuditMode(AUDIT_CHECK_CLONETAG | AUDIT_CHECK_SYSPREP); }

bool OfferRegistry::ReadModel(std::string& model) {
  return client_ && MiscCommon::ReadModelNumber(*client_, model) == MiscCommon::MC_OK && !model.empty();
}

bool OfferRegistry::ReadSerial(std::string& serial) {
  return client_ && MiscCommon::ReadSerialNumber(*client_, serial) == MiscCommon::MC_OK;
}

namespace {
void ShowChoice(IOfferSetup& module, HWND dialog) {
  const bool live = module.Live();
  EnableWindow(GetDlgItem(dialog, kOfferNotify), live);
  const UINT state = live && module.Choice() ? BST_CHECKED : BST_UNCHECKED;
  if (IsDlgButtonChecked(dialog, kOfferNotify) != state) CheckDlgButton(dialog, kOfferNotify, state);
}
}  // namespace

INT_PTR OfferSetupMessage(IOfferSetup& module, OfferPage& page, HWND dialog, UINT message, WPARAM wParam,
                          LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      page.window = dialog;
      page.banner.Show(dialog, kOfferBanner, kOfferBanners);
      ShowChoice(module, dialog);
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      if (LOWORD(wParam) == kOfferNotify) {
        SendMessageW(GetParent(dialog), PSM_CHANGED, reinterpret_cast<WPARAM>(dialog), 0);
      } else if (LOWORD(wParam) == kOfferShowNow) {
        module.Force();
        PostMessageW(page.host, WM_HOST_CHECKMODULE, static_cast<WPARAM>(page.moduleIndex), 0);
      }
      return TRUE;
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      if (!header || header->code != static_cast<UINT>(PSN_APPLY)) return FALSE;
      module.Apply(IsDlgButtonChecked(dialog, kOfferNotify) == BST_CHECKED);
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT, PSNRET_NOERROR);
      return TRUE;
    }
    case WM_APP:  // the page in the popup changed the choice
      ShowChoice(module, dialog);
      return TRUE;
    case WM_DESTROY:
      page.window = nullptr;
      page.banner.Free();
      return FALSE;
  }
  return FALSE;
}

}  // namespace kit
