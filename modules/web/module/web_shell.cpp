#include "modules/web/module/web_shell.h"

#include <shellapi.h>
#include <shlobj.h>
#include <objbase.h>
#include <memory>

#include "common/core/misccommon.h"
#include "common/win/audit.h"
#include "common/win/reg.h"
#include "common/win/unique_handle.h"
#include "common/win/winversion.h"

namespace web {
namespace {
const wchar_t kModuleKey[] = L"Software\\Velmorant\\WICKPOST\\WKPTRSS";
const wchar_t kHistoryFolder[] = L"Velmorant\\WKPTRSS";

const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }

std::optional<uint32_t> Dword(HKEY root, const char16_t* name) {
  DWORD value = 0;
  if (!CReg().ReadDword(root, kModuleKey, W(name), &value)) return std::nullopt;
  return value;
}

// The history's folder, made when missing, with its trailing backslash; empty on failure.
std::wstring HistoryFolder() {
  wchar_t appData[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData))) return {};
  std::wstring folder = std::wstring(appData) + L"\\Velmorant";
  CreateDirectoryW(folder.c_str(), nullptr);
  folder = std::wstring(appData) + L"\\" + kHistoryFolder;
  CreateDirectoryW(folder.c_str(), nullptr);
  if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) return {};
  return folder + L"\\";
}

bool WriteNew(const std::wstring& path, DWORD disposition, DWORD attributes, const std::string& bytes) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, attributes, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size() && FlushFileBuffers(file.get());
}

std::u16string FormatStamp(const SYSTEMTIME& st) {
  wchar_t date[80] = {}, time[80] = {};
  if (!GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, 80) ||
      !GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, 80))
    return {};
  return U16(date) + u" " + U16(time);
}
}  // namespace

std::optional<uint32_t> WinSettingsStore::UserDword(const char16_t* name) { return Dword(HKEY_CURRENT_USER, name); }

std::optional<uint32_t> WinSettingsStore::MachineDword(const char16_t* name) { return Dword(HKEY_LOCAL_MACHINE, name); }

bool WinSettingsStore::WriteUserDword(const char16_t* name, uint32_t value) {
  return CReg().WriteDword(HKEY_CURRENT_USER, kModuleKey, W(name), value);
}

bool WinSettingsStore::AuditMode() { return CAudit().IsAuditMode(AUDIT_CHECK_CLONETAG | AUDIT_CHECK_SYSPREP); }

LocalTime WinClock::NowLocal() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute};
}

bool WinNetwork::ServerAnswers() { return fetcher_ && !feedUrl.empty() && fetcher_->Probe(Wide(feedUrl)); }

bool WinNetwork::Offline() { return http::IsWorkOffline(); }

int ClientDriverPort::ModelNumber(unsigned index, uint8_t* buffer, uint32_t* length) {
  return client_ ? client_->GetModelNumber(index, buffer, length) : MiscCommon::MC_ERR_NOT_OPEN;
}

std::optional<std::string> WinHistoryFile::Read() {
  const std::wstring folder = HistoryFolder();
  if (folder.empty()) return std::nullopt;
  const std::wstring path = folder + L"wkptrss.log";
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > 64 * 1024 * 1024) return std::nullopt;
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!bytes.empty() && (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                         read != bytes.size()))
    return std::nullopt;
  return bytes;
}

bool WinHistoryFile::Replace(const std::string& bytes) {
  const std::wstring folder = HistoryFolder();
  if (folder.empty()) return false;
  const std::wstring temp = folder + L"wkptrss.tmp", log = folder + L"wkptrss.log";
  // The new history is whole on disk before it takes the old one's name in one step.
  if (!WriteNew(temp, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, bytes) ||
      !MoveFileExW(temp.c_str(), log.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temp.c_str());
    return false;
  }
  return true;
}

int32_t WinPageLocale::BiasMinutes() {
  TIME_ZONE_INFORMATION tz = {};
  return GetTimeZoneInformation(&tz) == TIME_ZONE_ID_INVALID ? 0 : tz.Bias;
}

std::u16string WinPageLocale::DateTimeText(const LocalStamp& t) {
  const SYSTEMTIME st = {static_cast<WORD>(t.year),   static_cast<WORD>(t.month),  0,
                         static_cast<WORD>(t.day),    static_cast<WORD>(t.hour),   static_cast<WORD>(t.minute),
                         static_cast<WORD>(t.second), static_cast<WORD>(t.millisecond)};
  return FormatStamp(st);
}

Shell::ManagerRun::ManagerRun(Shell& s)
    : filter(s.module.Filter()),
      ports{s.xml, s.download, s.catalogueFiles, s.anchors, s.disk, s.codePage, filter, s.redirection} {
  const SearchSettings search = ReadSearchSettings(s.module.FaqBase());
  setup.source = CatalogueSource{s.module.CatalogueFeed(), search.base, search.format, kit::ModulePath()};
  setup.machine = s.module.MachineIdentity().machine;
  setup.ports = &ports;
  setup.store = &s.store;
  setup.worker = s.updateWorker;
  setup.context = &engine;
  setup.restart = ShellRestart();
  engine.fetcher = s.fetcher.get();
  engine.host = s.host;
  engine.downloadRoot = Wide(s.disk.DownloadRoot());
  if (!engine.downloadRoot.empty() && engine.downloadRoot.back() == L'\\') engine.downloadRoot.pop_back();
  const std::u16string module = kit::ModulePath();
  engine.updater = Wide(module.substr(0, module.find_last_of(u'\\') + 1) + u"wkptupdate.exe");
  engine.access = CWinVersion().GetOsType() == WINVER_XP ? ServerAccess::None : ShellServerAccess();
}

void WinDesktop::OpenUpdateManager() {
  Shell* s = TheShell();
  if (!s || !s->fetcher) return;
  Shell::ManagerRun run(*s);
  RunManager(host_, run.setup);
}

UINT ResumeUpdateMessage() {
  static const UINT message = RegisterWindowMessageW(L"Tellwick.wkptrss.ResumeUpdateManager");
  return message;
}

// The manager shares the module's XML document, driver client and files with the checks: it
// runs on the host's thread, which the host forwards this message to.
void WinDesktop::ResumeUpdateManager() {
  if (host_ && ResumeUpdateMessage()) PostMessageW(host_, ResumeUpdateMessage(), 0, 0);
}

void WinDesktop::Inform(const std::u16string& text, const std::u16string& caption) {
  MessageBoxW(host_, Wide(text), Wide(caption), MB_ICONINFORMATION);
}

bool WinDesktop::CreateViewFile(const std::u16string& path, const std::string& bytes) {
  if (WriteNew(Wide(path), CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, bytes)) return true;
  ::DeleteFileW(Wide(path));
  return false;
}

bool WinDesktop::OpenPage(const std::u16string& path) {
  const std::wstring url = L"file:///" + std::wstring(Wide(path));
  return reinterpret_cast<INT_PTR>(ShellExecuteW(host_, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

Shell::Shell()
    : network(fetcher),
      download(fetcher),
      desktop(host),
      module(Module::Ports{store, clock, network, xml, download, windows, registry, files, drivers, history, pageFiles,
                           codePage, locale, strings, desktop, kit::ModulePath()},
             ShellOperatorSettings()) {}

int Shell::Initialize(HWND hostWindow, InitRecord& record, MiscCommon::CMiscCommon* client) {
  host = hostWindow;
  if (client) driver = std::make_unique<ClientDriverPort>(client);
  const int rc = module.Initialize(record, driver.get());
  if (rc != 0) return rc;
  const Machine& m = module.MachineIdentity().machine;
  fetcher = std::make_unique<http::CHttpFetcher>(Wide(m.model), Wide(m.serial));
  network.feedUrl = module.FeedUrl();
  return 0;
}

}  // namespace web
