// The result page's anchors through the system's HTML document object: a blank document made
// and closed, a new document created from the page's file, waited on until it is complete, and
// every "A" element read in document order.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "modules/web/web_catalogue.h"

namespace web {

// Looks at `ready` now and after each of up to `polls` waits of `intervalMs`, handling this
// thread's window messages while it waits; true as soon as it holds. A WM_QUIT ends the wait
// (and is left in the queue).
bool PollPumping(const std::function<bool()>& ready, DWORD intervalMs, int polls);

class DocumentAnchors : public IHtmlAnchors {
 public:
  explicit DocumentAnchors(DWORD pollMs = 500, int polls = 100) : pollMs_(pollMs), polls_(polls) {}
  // Unavailable when the blank document cannot be made or cannot create one from a location
  // (no HTML engine on this system); Failed when a later call fails; TimedOut when the page is
  // not complete after the polls.
  Result Read(const std::u16string& path, std::vector<Anchor>& anchors) override;
  // The call that settled the last Unavailable or Failed answer and what it returned.
  const char* failedCall() const { return failedCall_; }
  HRESULT failure() const { return failure_; }

 private:
  Result Fail(Result result, const char* call, HRESULT hr);

  DWORD pollMs_;
  int polls_;
  const char* failedCall_ = "";
  HRESULT failure_ = S_OK;
};

}  // namespace web
