// The display interface the module works through for one operation: the graphics object in
// its own process, or the 64-bit helper over pipes. Both speak the helper's commands.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "modules/hdmi/hdmi_edid.h"

namespace hdmi {

struct DisplayList {
  uint32_t mode = 0;
  int count = 0;
  std::vector<uint32_t> uids;  // in order, at most 9
};

enum class ResolutionResult { Failed = 0, Changed = 1, Unchanged = 2 };

class IDisplay {
 public:
  virtual ~IDisplay() = default;
  virtual uint32_t HdmiUid() = 0;  // 0 on failure
  virtual bool List(DisplayList& out) = 0;
  virtual bool ReadEdid(uint32_t uid, Edid& out) = 0;
  virtual int GetScaling(uint32_t uid) = 0;  // 0 on failure
  virtual bool SetScaling(uint32_t uid, int value) = 0;
  // Width or height 0 puts back the configuration of the last change.
  virtual ResolutionResult SetResolution(uint32_t uid, uint32_t width, uint32_t height, uint32_t depth) = 0;
};

// One command (without line end) and its reply line; false when no reply came.
class ICommandChannel {
 public:
  virtual ~ICommandChannel() = default;
  virtual bool Request(const std::string& command, std::string& reply) = 0;
};

// The display interface over the helper's commands. The helper names the primary and the
// secondary display; they are the display list in that order.
class CommandDisplay : public IDisplay {
 public:
  explicit CommandDisplay(std::unique_ptr<ICommandChannel> channel) : channel_(std::move(channel)) {}
  uint32_t HdmiUid() override;
  bool List(DisplayList& out) override;
  bool ReadEdid(uint32_t uid, Edid& out) override;
  int GetScaling(uint32_t uid) override;
  bool SetScaling(uint32_t uid, int value) override;
  ResolutionResult SetResolution(uint32_t uid, uint32_t width, uint32_t height, uint32_t depth) override;

 private:
  bool Ask(const std::string& command, std::string& reply);
  std::unique_ptr<ICommandChannel> channel_;
};

// Whole lines out of what a pipe delivers in pieces: a reply is taken only up to its line
// feed, and what follows it waits for the next request, so a split or late reply never
// shifts the replies that follow.
class LineAssembler {
 public:
  void Add(const char* data, size_t size) { pending_.append(data, size); }
  // The next whole line without "\n" (and "\r"); false while none is complete.
  bool Take(std::string& line);
  bool Empty() const { return pending_.empty(); }

 private:
  std::string pending_;
};

// The helper's command for an operation (its line end is the channel's business).
std::string UidCommand(const char* name, uint32_t uid);

}  // namespace hdmi
