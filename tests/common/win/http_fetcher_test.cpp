// The fetcher against the support server stand-in and its forwarding proxy, started by the
// ctest fixture: downloads, every server fault, "file:" addresses, the probe, the user's
// proxy settings and HTTPS with the test certificate authority in the prefix's root store.
#include <gtest/gtest.h>
#include <windows.h>
#include <wincrypt.h>
#include <winhttp.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/win/http_fetcher.h"
#include "tests/common/win/win_test_support.h"

namespace {
using wintest::ReadAll;
using wintest::WinePath;

const std::wstring kState = WinePath(SUPPORT_STATE_DIR);
const std::wstring kScenarios = WinePath(SUPPORT_SCENARIO_DIR);

std::wstring W(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::map<std::string, int> Ports() {
  static const std::map<std::string, int> ports = wintest::SupportServerPorts(kState);
  return ports;
}

std::wstring Url(const char* scheme, const std::string& host, const std::wstring& path) {
  const int port = Ports()[scheme];
  return W(std::string(scheme) + "://" + host + ":" + std::to_string(port)) + path;
}
std::wstring HttpUrl(const std::wstring& path) { return Url("http", "127.0.0.1", path); }

const std::string& Feed() {
  static const std::string feed = ReadAll(kScenarios + L"\\default\\s\\wkpt.xml");
  return feed;
}

bool WriteAll(const std::wstring& path, const std::string& data) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(f, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) && written == data.size();
  CloseHandle(f);
  return ok;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A folder of its own per test, so leftovers of a failed fetch show.
class Folder {
 public:
  Folder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"twfetch" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++count_);
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~Folder() {
    for (const std::wstring& name : Names()) DeleteFileW((path_ + L"\\" + name).c_str());
    RemoveDirectoryW(path_.c_str());
  }
  std::wstring File(const wchar_t* name) const { return path_ + L"\\" + name; }
  std::vector<std::wstring> Names() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path_ + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
      if (wcscmp(data.cFileName, L".") && wcscmp(data.cFileName, L"..")) names.push_back(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
  }

 private:
  static int count_;
  std::wstring path_;
};
int Folder::count_ = 0;

struct Progress {
  std::vector<std::pair<DWORD, DWORD>> calls;
  BOOL answer = TRUE;
};
BOOL RecordProgress(DWORD length, DWORD received, void* context) {
  Progress* p = static_cast<Progress*>(context);
  p->calls.push_back({length, received});
  return p->answer;
}

http::CHttpFetcher& Fetcher() {
  static http::CHttpFetcher fetcher(L"QZ-S10ABC", L"1AKSA12345");
  return fetcher;
}

class HttpFetcherTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(Ports().empty()) << "no ports file in " << std::string(kState.begin(), kState.end()); }
};

// The certificate check's refusal, as WinHTTP reports it (Wine: a failed secure channel).
bool IsSecureFailure(DWORD error) {
  return error == ERROR_WINHTTP_SECURE_INVALID_CA || error == ERROR_WINHTTP_SECURE_FAILURE ||
         error == ERROR_WINHTTP_SECURE_CHANNEL_ERROR;
}

std::string ProxyLog() { return ReadAll(kState + L"\\proxy.log"); }
}  // namespace

TEST_F(HttpFetcherTest, FetchesTheFeedWithProgress) {
  Folder folder;
  const std::wstring target = folder.File(L"wkpt.xml");
  Progress progress;
  ASSERT_TRUE(Fetcher().Fetch(target.c_str(), HttpUrl(L"/default/s/wkpt.xml").c_str(), RecordProgress, &progress))
      << GetLastError();
  EXPECT_EQ(ReadAll(target), Feed());
  ASSERT_FALSE(progress.calls.empty());
  EXPECT_EQ(progress.calls.back().first, Feed().size()) << "the announced length";
  EXPECT_EQ(progress.calls.back().second, Feed().size());
  EXPECT_EQ(folder.Names().size(), 1u) << "no staging file left";
}

TEST_F(HttpFetcherTest, SendsTheWrittenPortAndTheTaggedAgent) {
  Folder folder;
  const std::wstring target = folder.File(L"echo.txt");
  ASSERT_TRUE(Fetcher().Fetch(target.c_str(), HttpUrl(L"/echo?x=1").c_str(), nullptr, nullptr));
  const std::string echo = ReadAll(target);
  EXPECT_NE(echo.find("GET /echo?x=1 HTTP/1.1"), std::string::npos) << echo;
  EXPECT_NE(echo.find("Host: 127.0.0.1:" + std::to_string(Ports()["http"])), std::string::npos) << echo;
  EXPECT_NE(echo.find("User-Agent: Mozilla/4.0 (compatible; Tellwick V4.00; xkCmKzGFrZ+4acriwISq4A==;)"),
            std::string::npos)
      << echo;
}

TEST_F(HttpFetcherTest, ServerFaultsFailAndKeepTheGoodFile) {
  http::CHttpFetcher fetcher(L"QZ-S10ABC", L"1AKSA12345");
  http::FetchTimeouts quick;
  quick.receiveMs = 2000;
  fetcher.SetTimeouts(quick);
  const wchar_t* faults[] = {
      L"/fault/404/default/s/wkpt.xml", L"/fault/500/default/s/wkpt.xml", L"/default/s/wkpt.xml?fault=short",
      L"/fault/drop/default/s/wkpt.xml", L"/fault/slow/default/s/wkpt.xml?delay=60", L"/default/s/missing.xml",
  };
  const std::string good = "<?xml version=\"1.0\"?><rss><channel>the last good feed</channel></rss>";
  for (const wchar_t* path : faults) {
    SCOPED_TRACE(std::string(path, path + wcslen(path)));
    Folder folder;
    const std::wstring kept = folder.File(L"wkpt.xml"), fresh = folder.File(L"new.xml");
    ASSERT_TRUE(WriteAll(kept, good));
    const DWORD start = GetTickCount();
    EXPECT_FALSE(fetcher.Fetch(kept.c_str(), HttpUrl(path).c_str(), nullptr, nullptr));
    EXPECT_LT(GetTickCount() - start, 30000u) << "bounded by the receive time-out";
    EXPECT_EQ(ReadAll(kept), good);
    EXPECT_FALSE(fetcher.Fetch(fresh.c_str(), HttpUrl(path).c_str(), nullptr, nullptr));
    EXPECT_FALSE(Exists(fresh));
    EXPECT_EQ(folder.Names(), std::vector<std::wstring>{L"wkpt.xml"}) << "no staging file left";
  }
}

// A 200 answer carrying an error page is whole, so it is a download; the feed's XML parse is
// what turns it away.
TEST_F(HttpFetcherTest, ErrorPageSentWith200IsStoredAsSent) {
  Folder folder;
  const std::wstring target = folder.File(L"wkpt.xml");
  ASSERT_TRUE(Fetcher().Fetch(target.c_str(), HttpUrl(L"/fault/html200/default/s/wkpt.xml").c_str(), nullptr, nullptr));
  EXPECT_EQ(ReadAll(target).rfind("<!DOCTYPE html>", 0), 0u);
}

TEST_F(HttpFetcherTest, ProgressCallbackAborts) {
  Folder folder;
  const std::wstring kept = folder.File(L"wkpt.xml"), fresh = folder.File(L"new.xml");
  ASSERT_TRUE(WriteAll(kept, "old"));
  for (const std::wstring& target : {kept, fresh}) {
    Progress progress;
    progress.answer = FALSE;
    EXPECT_FALSE(Fetcher().Fetch(target.c_str(), HttpUrl(L"/default/s/wkpt.xml").c_str(), RecordProgress, &progress));
    EXPECT_EQ(progress.calls.size(), 1u) << "stops at the first answer";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANCELLED));
  }
  EXPECT_EQ(ReadAll(kept), "old");
  EXPECT_FALSE(Exists(fresh));
  EXPECT_EQ(folder.Names().size(), 1u);
}

TEST_F(HttpFetcherTest, FileUrls) {
  Folder folder;
  const std::wstring target = folder.File(L"wkpt.xml");
  std::wstring source = kScenarios + L"\\default\\s\\wkpt.xml";
  std::wstring url = L"file:///" + source;
  for (wchar_t& c : url)
    if (c == L'\\') c = L'/';
  ASSERT_TRUE(Fetcher().Fetch(target.c_str(), url.c_str(), nullptr, nullptr)) << GetLastError();
  EXPECT_EQ(ReadAll(target), Feed());
  EXPECT_TRUE(Fetcher().Probe(url.c_str()));

  ASSERT_TRUE(WriteAll(target, "good"));
  for (const wchar_t* bad : {L"file:", L"file:///", L"file:///Z:/no/such/wkpt.xml"}) {
    EXPECT_FALSE(Fetcher().Fetch(target.c_str(), bad, nullptr, nullptr)) << bad;
    EXPECT_FALSE(Fetcher().Probe(bad));
  }
  // A folder is not a file to copy.
  EXPECT_FALSE(Fetcher().Fetch(target.c_str(), (L"file:" + kScenarios).c_str(), nullptr, nullptr));
  EXPECT_EQ(ReadAll(target), "good");
  EXPECT_EQ(folder.Names().size(), 1u);
}

TEST_F(HttpFetcherTest, ProbeSendsOnlyTheRequest) {
  EXPECT_TRUE(Fetcher().Probe(HttpUrl(L"/default/s/wkpt.xml").c_str()));
  // Any answer will do: the server was reached.
  EXPECT_TRUE(Fetcher().Probe(HttpUrl(L"/fault/404/x").c_str()));
  // Nothing listens on port 1.
  EXPECT_FALSE(Fetcher().Probe(L"http://127.0.0.1:1/s/wkpt.xml"));
  EXPECT_FALSE(Fetcher().Probe(L"ftp://127.0.0.1/s/wkpt.xml"));
  EXPECT_FALSE(Fetcher().Probe(nullptr));
}

TEST_F(HttpFetcherTest, GoesThroughTheUsersFixedProxy) {
  Folder folder;
  const std::wstring target = folder.File(L"wkpt.xml");
  const std::string proxy = "127.0.0.1:" + std::to_string(Ports()["proxy"]);
  {
    wintest::UserProxySetting setting(wintest::UserProxySetting::kProxy, proxy, "", "");
    ASSERT_TRUE(setting.ok());
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG ie = {};
    ASSERT_TRUE(WinHttpGetIEProxyConfigForCurrentUser(&ie));
    ASSERT_TRUE(ie.lpszProxy);
    EXPECT_EQ(std::wstring(ie.lpszProxy), W(proxy));
    EXPECT_FALSE(ie.fAutoDetect);
    GlobalFree(ie.lpszProxy);
    GlobalFree(ie.lpszProxyBypass);
    GlobalFree(ie.lpszAutoConfigUrl);
    ASSERT_TRUE(Fetcher().Fetch(target.c_str(), HttpUrl(L"/default/s/wkpt.xml?via=fixed").c_str(), nullptr, nullptr));
    EXPECT_EQ(ReadAll(target), Feed());
    EXPECT_NE(ProxyLog().find("GET http://127.0.0.1:" + std::to_string(Ports()["http"]) + "/default/s/wkpt.xml?via=fixed"),
              std::string::npos)
        << ProxyLog();
  }
  {
    wintest::UserProxySetting setting(wintest::UserProxySetting::kProxy, proxy, "127.0.0.1", "");
    ASSERT_TRUE(Fetcher().Fetch(target.c_str(), HttpUrl(L"/default/s/wkpt.xml?via=bypass").c_str(), nullptr, nullptr));
    EXPECT_EQ(ProxyLog().find("via=bypass"), std::string::npos) << "the bypass list goes direct";
  }
}

// Automatic detection finds nothing here; the configuration script is still used.
TEST_F(HttpFetcherTest, ConfigurationScriptAfterFailedDetection) {
  Folder folder;
  const std::wstring target = folder.File(L"wkpt.xml");
  const std::string pac = "http://127.0.0.1:" + std::to_string(Ports()["http"]) + "/proxy.pac";
  wintest::UserProxySetting setting(wintest::UserProxySetting::kAutoDetect | wintest::UserProxySetting::kPac, "", "", pac);
  ASSERT_TRUE(setting.ok());
  ASSERT_TRUE(Fetcher().Fetch(target.c_str(), HttpUrl(L"/default/s/wkpt.xml?via=pac").c_str(), nullptr, nullptr))
      << GetLastError();
  EXPECT_EQ(ReadAll(target), Feed());
  EXPECT_NE(ProxyLog().find("via=pac"), std::string::npos) << ProxyLog();
}

// Wine's chain engine does not take up the test authority added to the prefix's root stores
// here, so this shows the nearest thing: the TLS handshake with the local server completes and
// the certificate check refuses the unknown authority, with nothing written, directly and
// through the proxy's CONNECT tunnel.
TEST_F(HttpFetcherTest, HttpsChecksTheServersAuthority) {
  if (!Ports().count("https")) GTEST_SKIP() << "server started without --tls";
  Folder folder;
  const std::wstring target = folder.File(L"wkpt.xml");
  const std::wstring url = Url("https", "localhost", L"/default/r/wkpt.xml");
  EXPECT_FALSE(Fetcher().Fetch(target.c_str(), url.c_str(), nullptr, nullptr));
  EXPECT_TRUE(IsSecureFailure(GetLastError())) << GetLastError();
  EXPECT_FALSE(Exists(target));

  wintest::UserProxySetting setting(wintest::UserProxySetting::kProxy, "127.0.0.1:" + std::to_string(Ports()["proxy"]), "", "");
  EXPECT_FALSE(Fetcher().Fetch(target.c_str(), url.c_str(), nullptr, nullptr));
  EXPECT_TRUE(IsSecureFailure(GetLastError())) << GetLastError();
  EXPECT_NE(ProxyLog().find("CONNECT localhost:" + std::to_string(Ports()["https"])), std::string::npos) << ProxyLog();
}

TEST(HttpOffline, FollowsTheUsersWorkOfflineChoice) {
  // A fresh prefix is online.
  EXPECT_FALSE(http::IsWorkOffline());
}
