// The 64-bit helper as a command channel: started with pipes, its banner awaited, one
// command per line and its reply read whole, "exit" at the end.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "modules/hdmi/hdmi_display.h"

namespace hdmi {

class HelperChannel : public ICommandChannel {
 public:
  // Null when the helper cannot be started or does not announce itself.
  static std::unique_ptr<HelperChannel> Start(const std::wstring& exe);
  ~HelperChannel() override;
  bool Request(const std::string& command, std::string& reply) override;

 private:
  HelperChannel() = default;
  bool Write(const std::string& text);
  // Waits up to 10 seconds for one whole line.
  bool ReadLine(std::string& line);
  HANDLE process_ = nullptr, toHelper_ = nullptr, fromHelper_ = nullptr;
  LineAssembler lines_;
  bool broken_ = false;  // a reply did not come: later ones would not match their commands
};

}  // namespace hdmi
