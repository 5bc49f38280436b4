#include "modules/hdmi/module/hdmi_helper.h"

#include <cstring>

namespace hdmi {
namespace {
const char kBanner[] = "[vidassist.exe] This program can not work by itself. Press Ctrl+Z.";

void Close(HANDLE& h) {
  if (h) CloseHandle(h);
  h = nullptr;
}
}  // namespace

std::unique_ptr<HelperChannel> HelperChannel::Start(const std::wstring& exe) {
  std::unique_ptr<HelperChannel> c(new HelperChannel);
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr, errWrite = nullptr;
  const HANDLE self = GetCurrentProcess();
  bool ok = CreatePipe(&inRead, &inWrite, &sa, 1024) && CreatePipe(&outRead, &outWrite, &sa, 1024);
  // Our ends are not inherited: the helper sees end of input when we close ours.
  ok = ok && DuplicateHandle(self, inWrite, self, &c->toHelper_, 0, FALSE, DUPLICATE_SAME_ACCESS);
  ok = ok && DuplicateHandle(self, outRead, self, &c->fromHelper_, 0, FALSE, DUPLICATE_SAME_ACCESS);
  ok = ok && DuplicateHandle(self, outWrite, self, &errWrite, 0, TRUE, DUPLICATE_SAME_ACCESS);
  Close(inWrite);
  Close(outRead);
  PROCESS_INFORMATION pi = {};
  if (ok) {
    STARTUPINFOW si = {sizeof si};
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = inRead;
    si.hStdOutput = outWrite;
    si.hStdError = errWrite;
    std::wstring line = L"\"" + exe + L"\"";
    ok = CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr, nullptr, &si, &pi) !=
         FALSE;
  }
  Close(inRead);
  Close(outWrite);
  Close(errWrite);
  if (!ok) return nullptr;
  CloseHandle(pi.hThread);
  c->process_ = pi.hProcess;
  std::string banner;
  if (!c->ReadLine(banner) || banner.compare(0, std::strlen(kBanner), kBanner) != 0) {
    TerminateProcess(c->process_, 1);
    WaitForSingleObject(c->process_, 10000);
    c->broken_ = true;  // no "exit" for a helper that never started
    return nullptr;
  }
  return c;
}

HelperChannel::~HelperChannel() {
  if (process_) {
    if (!broken_) Write("exit\r\n");
    Close(toHelper_);
    if (WaitForSingleObject(process_, 1000) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
  }
  Close(toHelper_);
  Close(fromHelper_);
  Close(process_);
}

bool HelperChannel::Write(const std::string& text) {
  DWORD written = 0;
  return WriteFile(toHelper_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

bool HelperChannel::ReadLine(std::string& line) {
  for (int polls = 0; !lines_.Take(line); ++polls) {
    DWORD available = 0;
    if (!PeekNamedPipe(fromHelper_, nullptr, 0, nullptr, &available, nullptr)) return false;
    if (available == 0) {
      if (polls >= 100) return false;
      Sleep(100);  // the helper's reply, polled as the helper answers at its own pace
      continue;
    }
    char buffer[1024];
    DWORD got = 0;
    if (!ReadFile(fromHelper_, buffer, sizeof buffer < available ? sizeof buffer : available, &got, nullptr) || !got)
      return false;
    lines_.Add(buffer, got);
  }
  return true;
}

bool HelperChannel::Request(const std::string& command, std::string& reply) {
  if (broken_) return false;
  if (!Write(command + "\r\n") || !ReadLine(reply)) {
    broken_ = true;
    return false;
  }
  return true;
}

}  // namespace hdmi
