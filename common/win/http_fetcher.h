// The one HTTP(S) and "file:" fetcher of the system, on WinHTTP with the user's Internet
// Explorer proxy settings. A fetch either leaves the whole new file at localPath or leaves
// what was there before untouched.
#pragma once
#include <windows.h>

#include <string>

namespace http {

// The announced content length (0 when none), the bytes received so far and the caller's
// context; answering FALSE aborts the fetch.
typedef BOOL (*FetchProgress)(DWORD contentLength, DWORD received, void* context);

// Every network wait is bounded, so a silent server cannot hold the calling thread.
struct FetchTimeouts {
  int resolveMs = 15000;
  int connectMs = 15000;
  int sendMs = 30000;
  int receiveMs = 30000;
};

class CHttpFetcher {
 public:
  // The machine tag in the user agent comes from the model number and serial number as shown.
  CHttpFetcher(const std::wstring& modelNumber, const std::wstring& serialText);
  // The agent without a machine tag, for requests that must not identify the computer.
  CHttpFetcher();
  CHttpFetcher(const CHttpFetcher&) = delete;
  CHttpFetcher& operator=(const CHttpFetcher&) = delete;

  void SetTimeouts(const FetchTimeouts& timeouts) { timeouts_ = timeouts; }
  const std::wstring& UserAgent() const { return agent_; }

  // TRUE when the whole answer is at localPath. A null localPath only sends the request
  // (for "file:" addresses: checks that the file exists). Failures keep the last error.
  BOOL Fetch(const wchar_t* localPath, const wchar_t* url, FetchProgress progress, void* context);
  // TRUE when a request to the address could be sent.
  BOOL Probe(const wchar_t* url) { return Fetch(nullptr, url, nullptr, nullptr); }

 private:
  BOOL FetchFile(const wchar_t* localPath, const std::wstring& url);
  BOOL FetchHttp(const wchar_t* localPath, const std::wstring& url, FetchProgress progress, void* context);

  std::wstring agent_;
  FetchTimeouts timeouts_;
};

// TRUE when the user has chosen to work offline in the system's Internet settings.
bool IsWorkOffline();

}  // namespace http
