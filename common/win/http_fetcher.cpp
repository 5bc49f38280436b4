#include "common/win/http_fetcher.h"

#include <winhttp.h>

#include <memory>
#include <string>
#include <vector>

#include "common/core/http_fetch_rules.h"
#include "common/win/system_library.h"

// WinHTTP loads, with its chain of libraries, at the first fetch.
#define WINHTTP(function) TW_SYSTEM_FUNCTION(L"winhttp.dll", function)

namespace http {
namespace {
std::u16string U16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }
std::wstring Wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

std::string Ansi(const std::wstring& s) {
  if (s.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_ACP, 0, s.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, s.c_str(), -1, &out[0], n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

class InternetHandle {
 public:
  explicit InternetHandle(HINTERNET h = nullptr) : h_(h) {}
  ~InternetHandle() {
    if (h_) WINHTTP(WinHttpCloseHandle)(h_);
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  HINTERNET get() const { return h_; }
  HINTERNET reset(HINTERNET h) {
    if (h_) WINHTTP(WinHttpCloseHandle)(h_);
    h_ = h;
    return h_;
  }

 private:
  HINTERNET h_;
};

// Strings WinHTTP hands out with GlobalAlloc.
class GlobalText {
 public:
  explicit GlobalText(LPWSTR p = nullptr) : p_(p) {}
  ~GlobalText() {
    if (p_) GlobalFree(p_);
  }
  GlobalText(const GlobalText&) = delete;
  GlobalText& operator=(const GlobalText&) = delete;
  LPWSTR get() const { return p_; }

 private:
  LPWSTR p_;
};

// A temporary file beside the target: written first, moved over the target only when whole,
// deleted otherwise, so a failed fetch never costs the good file already there.
class StagedFile {
 public:
  explicit StagedFile(const wchar_t* target) : target_(target) {
    std::wstring dir = target_;
    const size_t slash = dir.find_last_of(L"\\/");
    dir = slash == std::wstring::npos ? std::wstring(L".") : dir.substr(0, slash + 1);
    wchar_t name[MAX_PATH];
    if (GetTempFileNameW(dir.c_str(), L"wkf", 0, name)) path_ = name;
  }
  ~StagedFile() {
    Close();
    if (!path_.empty()) DeleteFileW(path_.c_str());
  }
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  const std::wstring& path() const { return path_; }
  bool Open() {
    if (path_.empty()) return false;
    file_ = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file_ != INVALID_HANDLE_VALUE;
  }
  bool Write(const void* data, DWORD n) {
    DWORD written = 0;
    return WriteFile(file_, data, n, &written, nullptr) && written == n;
  }
  bool Close() {
    if (file_ == INVALID_HANDLE_VALUE) return true;
    const bool ok = CloseHandle(file_) != FALSE;
    file_ = INVALID_HANDLE_VALUE;
    return ok;
  }
  // Puts the staged file in the target's place; afterwards nothing is left to delete.
  bool Commit() {
    if (path_.empty() || !Close()) return false;
    if (!MoveFileExW(path_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return false;
    path_.clear();
    return true;
  }

 private:
  std::wstring target_;
  std::wstring path_;
  HANDLE file_ = INVALID_HANDLE_VALUE;
};

bool QueryStatus(HINTERNET request, DWORD& status) {
  DWORD size = sizeof status;
  return WINHTTP(WinHttpQueryHeaders)(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                             &status, &size, WINHTTP_NO_HEADER_INDEX) != FALSE;
}

// False only for a Content-Length that is there but unreadable.
bool QueryContentLength(HINTERNET request, bool& has, uint64_t& length) {
  has = false;
  length = 0;
  wchar_t text[64];
  DWORD size = sizeof text;
  if (!WINHTTP(WinHttpQueryHeaders)(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, text, &size,
                           WINHTTP_NO_HEADER_INDEX))
    return GetLastError() == ERROR_WINHTTP_HEADER_NOT_FOUND;
  has = true;
  return ParseContentLength(U16(std::wstring(text, size / sizeof(wchar_t))), length);
}

// How the session reaches the server: directly or through a named proxy with its bypass list.
struct ProxyChoice {
  bool named = false;
  std::wstring proxy, bypass;
};

void TakeProxy(const WINHTTP_PROXY_INFO& info, ProxyChoice& choice) {
  choice.named = info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && info.lpszProxy && *info.lpszProxy;
  choice.proxy = choice.named ? info.lpszProxy : L"";
  choice.bypass = choice.named && info.lpszProxyBypass ? info.lpszProxyBypass : L"";
}

// The user's Internet Explorer settings: automatic detection first, then the configuration
// script even when detection failed, then the fixed proxy with its bypass list, else direct.
// The choice is made before the session opens, as its access type: Wine ignores a proxy set
// later as an option.
bool ChooseUserProxy(HINTERNET resolver, const std::wstring& url, ProxyChoice& choice) {
  choice = ProxyChoice();
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG ie = {};
  if (!WINHTTP(WinHttpGetIEProxyConfigForCurrentUser)(&ie)) return true;
  const GlobalText autoConfigUrl(ie.lpszAutoConfigUrl), proxy(ie.lpszProxy), bypass(ie.lpszProxyBypass);

  WINHTTP_PROXY_INFO resolved = {};
  bool found = false;
  if (ie.fAutoDetect) {
    WINHTTP_AUTOPROXY_OPTIONS options = {};
    options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    options.fAutoLogonIfChallenged = FALSE;
    found = WINHTTP(WinHttpGetProxyForUrl)(resolver, url.c_str(), &options, &resolved) != FALSE;
  }
  if (!found && autoConfigUrl.get() && *autoConfigUrl.get()) {
    WINHTTP_AUTOPROXY_OPTIONS options = {};
    options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
    options.lpszAutoConfigUrl = autoConfigUrl.get();
    options.fAutoLogonIfChallenged = FALSE;
    found = WINHTTP(WinHttpGetProxyForUrl)(resolver, url.c_str(), &options, &resolved) != FALSE;
  }
  if (found) {
    const GlobalText resolvedProxy(resolved.lpszProxy), resolvedBypass(resolved.lpszProxyBypass);
    TakeProxy(resolved, choice);
    return true;
  }
  if (proxy.get() && *proxy.get()) {
    WINHTTP_PROXY_INFO named = {};
    named.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
    named.lpszProxy = proxy.get();
    named.lpszProxyBypass = bypass.get();
    TakeProxy(named, choice);
  }
  return true;
}

DWORD Clamp(uint64_t v) { return v > MAXDWORD ? MAXDWORD : static_cast<DWORD>(v); }

// Closing handles and deleting the staging file clear the last error; a failed fetch puts
// the error of the failing call back afterwards.
template <typename Work>
BOOL KeepingLastError(Work work) {
  DWORD error = 0;
  BOOL ok = work(error);
  if (!ok) SetLastError(error ? error : ERROR_GEN_FAILURE);
  return ok;
}
}  // namespace

CHttpFetcher::CHttpFetcher(const std::wstring& modelNumber, const std::wstring& serialText) {
  std::string tag;
  if (!MachineTag(Ansi(modelNumber), Ansi(serialText), tag)) tag.clear();
  const std::string agent = http::UserAgent(tag);
  agent_.assign(agent.begin(), agent.end());
}

BOOL CHttpFetcher::Fetch(const wchar_t* localPath, const wchar_t* url, FetchProgress progress, void* context) {
  if (!url) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (IsFileUrl(U16(url))) return FetchFile(localPath, url);
  return FetchHttp(localPath, url, progress, context);
}

BOOL CHttpFetcher::FetchFile(const wchar_t* localPath, const std::wstring& url) {
  std::u16string source16;
  if (!FileUrlToPath(U16(url), source16)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return KeepingLastError([&](DWORD& error) {
    const std::wstring source = Wide(source16);
    const DWORD attributes = GetFileAttributesW(source.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      error = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_FILE_NOT_FOUND;
      return FALSE;
    }
    if (!localPath) return TRUE;
    StagedFile staged(localPath);
    const BOOL ok = !staged.path().empty() && CopyFileW(source.c_str(), staged.path().c_str(), FALSE) && staged.Commit();
    if (!ok) error = GetLastError();
    return ok;
  });
}

namespace {
BOOL Transfer(const std::wstring& agent, const FetchTimeouts& timeouts, const UrlParts& parts, const std::wstring& url,
              InternetHandle& session, InternetHandle& connection, InternetHandle& request, StagedFile* staged,
              FetchProgress progress, void* context);
}  // namespace

BOOL CHttpFetcher::FetchHttp(const wchar_t* localPath, const std::wstring& url, FetchProgress progress, void* context) {
  UrlParts parts;
  if (!SplitHttpUrl(U16(url), parts)) {
    SetLastError(ERROR_WINHTTP_INVALID_URL);
    return FALSE;
  }
  return KeepingLastError([&](DWORD& error) {
    InternetHandle session, connection, request;
    std::unique_ptr<StagedFile> staged;
    if (localPath) staged.reset(new StagedFile(localPath));
    const BOOL ok = Transfer(agent_, timeouts_, parts, url, session, connection, request, staged.get(), progress, context);
    if (!ok) error = GetLastError();
    return ok;
  });
}

namespace {
BOOL Transfer(const std::wstring& agent, const FetchTimeouts& timeouts_, const UrlParts& parts, const std::wstring& url,
              InternetHandle& session, InternetHandle& connection, InternetHandle& request, StagedFile* staged,
              FetchProgress progress, void* context) {
  // A direct session first: it resolves the proxy (its time-outs bound the script's download).
  if (!session.reset(WINHTTP(WinHttpOpen)(agent.c_str(), WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0)) ||
      !WINHTTP(WinHttpSetTimeouts)(session.get(), timeouts_.resolveMs, timeouts_.connectMs, timeouts_.sendMs, timeouts_.receiveMs))
    return FALSE;
  ProxyChoice proxy;
  if (!ChooseUserProxy(session.get(), url, proxy)) return FALSE;
  if (proxy.named &&
      (!session.reset(WINHTTP(WinHttpOpen)(agent.c_str(), WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy.proxy.c_str(),
                                  proxy.bypass.empty() ? WINHTTP_NO_PROXY_BYPASS : proxy.bypass.c_str(), 0)) ||
       !WINHTTP(WinHttpSetTimeouts)(session.get(), timeouts_.resolveMs, timeouts_.connectMs, timeouts_.sendMs, timeouts_.receiveMs)))
    return FALSE;
  const std::wstring host = Wide(parts.host), object = Wide(parts.object);
  if (!connection.reset(WINHTTP(WinHttpConnect)(session.get(), host.c_str(), parts.port, 0))) return FALSE;
  if (!request.reset(WINHTTP(WinHttpOpenRequest)(connection.get(), L"GET", object.c_str(), nullptr, WINHTTP_NO_REFERER,
                                        WINHTTP_DEFAULT_ACCEPT_TYPES,
                                        WINHTTP_FLAG_REFRESH | (parts.secure ? WINHTTP_FLAG_SECURE : 0))))
    return FALSE;
  // The wait for the answer's head has a limit of its own, apart from the receive time-out.
  DWORD headWait = static_cast<DWORD>(timeouts_.receiveMs);
  if (!WINHTTP(WinHttpSetTimeouts)(request.get(), timeouts_.resolveMs, timeouts_.connectMs, timeouts_.sendMs, timeouts_.receiveMs) ||
      !WINHTTP(WinHttpSetOption)(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headWait, sizeof headWait) ||
      !WINHTTP(WinHttpSendRequest)(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
    return FALSE;
  if (!staged) return TRUE;

  if (!staged->Open() || !WINHTTP(WinHttpReceiveResponse)(request.get(), nullptr)) return FALSE;
  DWORD status = 0;
  bool hasLength = false;
  uint64_t length = 0;
  if (!QueryStatus(request.get(), status) || !QueryContentLength(request.get(), hasLength, length)) return FALSE;
  BodyCheck body;
  if (!body.Start(status, hasLength, length)) {
    SetLastError(ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
    return FALSE;
  }
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    DWORD available = 0;
    if (!WINHTTP(WinHttpQueryDataAvailable)(request.get(), &available)) return FALSE;
    if (!available) break;
    // Read a whole buffer, not just what is already here: far fewer round trips per byte.
    DWORD got = 0;
    if (!WINHTTP(WinHttpReadData)(request.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got)) return FALSE;
    if (!got) break;
    if (!body.Add(got)) {
      SetLastError(ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
      return FALSE;
    }
    if (!staged->Write(buffer.data(), got)) return FALSE;
    if (progress && !progress(Clamp(body.announced()), Clamp(body.received()), context)) {
      SetLastError(ERROR_CANCELLED);
      return FALSE;
    }
  }
  if (!body.Complete()) {
    SetLastError(ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
    return FALSE;
  }
  return staged->Commit() ? TRUE : FALSE;
}
}  // namespace
}  // namespace http
