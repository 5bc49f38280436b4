#include "modules/hdmi/hdmi_display.h"

#include <cstdio>

namespace hdmi {

std::string UidCommand(const char* name, uint32_t uid) {
  char text[64];
  std::snprintf(text, sizeof text, "%s %d", name, static_cast<int>(uid));
  return text;
}

bool CommandDisplay::Ask(const std::string& command, std::string& reply) {
  return channel_->Request(command, reply) && !IsErrorReply(reply);
}

uint32_t CommandDisplay::HdmiUid() {
  std::string reply;
  if (!Ask("GetHDMIMonitorUID", reply)) return 0;
  return ParseHexReply(reply).value_or(0);
}

bool CommandDisplay::List(DisplayList& out) {
  std::string reply;
  out = DisplayList{};
  if (!Ask("GetOpMode", reply)) return false;
  const auto mode = ParseDecimalReply(reply);
  if (!mode || !Ask("GetDisplayCount", reply)) return false;
  const auto count = ParseDecimalReply(reply);
  if (!count || *count < 0) return false;
  out.mode = static_cast<uint32_t>(*mode);
  out.count = *count;
  const char* const names[] = {"GetPriMonitorUID", "GetSecMonitorUID"};
  for (int i = 0; i < out.count && i < 2; ++i) {
    if (!Ask(names[i], reply)) return i > 0;  // a single display has no secondary
    const auto uid = ParseHexReply(reply);
    if (!uid) return false;
    out.uids.push_back(*uid);
  }
  return true;
}

bool CommandDisplay::ReadEdid(uint32_t uid, Edid& out) {
  std::string reply;
  out.fill(0);
  if (!Ask(UidCommand("GetMonitorEDID", uid), reply)) return false;
  out = DecodeEdidReply(reply);
  return true;
}

int CommandDisplay::GetScaling(uint32_t uid) {
  std::string reply;
  if (!Ask(UidCommand("GetScaling", uid), reply)) return 0;
  return ParseDecimalReply(reply).value_or(0);
}

bool CommandDisplay::SetScaling(uint32_t uid, int value) {
  std::string reply;
  return Ask(UidCommand("SetScaling", uid) + " " + std::to_string(value), reply);
}

ResolutionResult CommandDisplay::SetResolution(uint32_t uid, uint32_t width, uint32_t height, uint32_t depth) {
  std::string reply;
  char tail[48];
  std::snprintf(tail, sizeof tail, " %d %d %d", static_cast<int>(width), static_cast<int>(height),
                static_cast<int>(depth));
  if (!Ask(UidCommand("SetResolution2", uid) + tail, reply)) return ResolutionResult::Failed;
  if (reply.compare(0, 7, "SUCCESS") == 0) return ResolutionResult::Changed;
  if (reply.compare(0, 9, "UNCHANGED") == 0) return ResolutionResult::Unchanged;
  return ResolutionResult::Failed;
}

bool LineAssembler::Take(std::string& line) {
  const size_t end = pending_.find('\n');
  if (end == std::string::npos) return false;
  line = pending_.substr(0, end);
  pending_.erase(0, end + 1);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

}  // namespace hdmi
