// Diskwarn's Win32 adapters: handles with one owner, the viewer's services, pipe and registry
// values, and the evaluation's ports over them.
#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "libs/diskwarn/hdd_rules.h"

namespace dw {

class Handle {
 public:
  explicit Handle(HANDLE h = nullptr) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  ~Handle() {
    if (h_) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  void reset(HANDLE h) {
    if (h_) CloseHandle(h_);
    h_ = h == INVALID_HANDLE_VALUE ? nullptr : h;
  }

 private:
  HANDLE h_;
};

class ServiceHandle {
 public:
  explicit ServiceHandle(SC_HANDLE h = nullptr) : h_(h) {}
  ~ServiceHandle() {
    if (h_) CloseServiceHandle(h_);
  }
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;
  SC_HANDLE get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  SC_HANDLE h_;
};

// Current state and start type of a service.
bool QueryService(const wchar_t* name, int32_t& state, int32_t& startType);
// A control to the data service; `running` false (and true answered) when it is stopped.
bool ControlDataService(uint32_t control, bool& running);
// On the older Windows: the data service set to start automatically and started.
bool StartDataServiceDirectly();

// One request to the viewer's pipe. False when the pipe could not be opened within its
// attempts or the request byte not written; `reply` holds what arrived within the time-out.
bool PipePathRequest(std::vector<uint8_t>& reply);
bool PipeRecordsRequest(int32_t& count, std::vector<uint8_t>& records);

// The viewer's values under HKLM.
class ViewerValues : public hdd::IViewerValues {
 public:
  std::optional<std::u16string> String(const char16_t* name) override;
  std::optional<uint32_t> Dword(const char16_t* name) override;
};

bool DefaultHibernateMinutes(uint32_t& ac, uint32_t& dc);  // through a driver client of its own

class EvaluationPorts : public hdd::IEvaluationPorts {
 public:
  std::optional<std::u16string> String(const char16_t* name) override { return values_.String(name); }
  std::optional<uint32_t> Dword(const char16_t* name) override { return values_.Dword(name); }
  int64_t NowWallSeconds() override;
  void Sleep(uint32_t ms) override { ::Sleep(ms); }
  bool RequestSample(bool& running) override { return ControlDataService(hdd::kControlSample, running); }
  bool Report(uint32_t control) override;
  bool DefaultHibernate(uint32_t& ac, uint32_t& dc) override { return DefaultHibernateMinutes(ac, dc); }
  bool HibernateSeconds(bool onMains, uint32_t& seconds) override;

 private:
  ViewerValues values_;
};

}  // namespace dw
