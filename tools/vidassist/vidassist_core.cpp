#include "tools/vidassist/vidassist_core.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/core/bytes.h"

namespace vida {

const char kBanner[] = "[vidassist.exe] This program can not work by itself. Press Ctrl+Z.\n";
const char kTerminated[] = "Terminated.\n";

namespace {

struct Entry {
  const char* name;
  size_t arguments;
};
// Matched in this order, by prefix.
const Entry kCommands[] = {
    {"GetHDMIMonitorUID", 0}, {"GetMonitorEDID", 1},   {"GetScaling", 1},
    {"GetOpMode", 0},         {"GetPriMonitorUID", 0}, {"GetSecMonitorUID", 0},
    {"SetResolution", 4},     {"SetScaling", 2},       {"GetDisplayCount", 0},
};

bool StartsWith(const std::string& s, const char* prefix) { return s.compare(0, std::strlen(prefix), prefix) == 0; }

std::string Hex8(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", v);
  return text;
}

bool Fail(std::string& reply, const char* text) {
  reply = text;
  return false;
}

void PutRecordFields(std::vector<uint8_t>& block, size_t record, uint32_t width, uint32_t height, uint32_t depth) {
  bytes::PutU32(&block[record + kRecWidth], width);
  bytes::PutU32(&block[record + kRecHeight], height);
  bytes::PutU32(&block[record + kRecDepth], depth);
  bytes::PutU32(&block[record + kRecFlag], width == 1360 && height == 768 ? 4 : 64);
}

}  // namespace

uint32_t ParseArgument(const std::string& token) {
  return static_cast<uint32_t>(static_cast<unsigned long long>(std::strtoll(token.c_str(), nullptr, 10)));
}

Outcome Protocol::Line(const std::string& raw) {
  std::string line = raw;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  for (const Entry& entry : kCommands) {
    if (!StartsWith(line, entry.name)) continue;
    std::vector<std::string> tokens;
    for (size_t at = 0; at < line.size();) {
      const size_t space = line.find(' ', at);
      const size_t end = space == std::string::npos ? line.size() : space;
      if (end > at) tokens.push_back(line.substr(at, end - at));
      at = end + 1;
    }
    if (tokens.size() < entry.arguments + 1) return {"ERROR: Argument Too Short\n", false};
    std::vector<uint32_t> args;
    for (size_t i = 1; i <= entry.arguments; ++i) args.push_back(ParseArgument(tokens[i]));
    std::string reply;
    if (!Command(entry.name, args, reply)) return {"ERROR: " + reply + "\n", false};
    return {reply + "\n", false};
  }
  if (StartsWith(line, "exit")) return {kTerminated, true};
  return {"ERROR: Unknown Command\n", false};
}

bool Protocol::Command(const std::string& name, const std::vector<uint32_t>& a, std::string& reply) {
  reply.clear();
  if (!graphics_) return Fail(reply, "ICUIExternal8 *psl is NULL");
  if (name == "GetHDMIMonitorUID") return HdmiMonitorUid(reply);
  if (name == "GetMonitorEDID" && a.size() >= 1) return MonitorEdid(a[0], reply);
  if (name == "GetScaling" && a.size() >= 1) return Scaling(a[0], reply);
  if (name == "GetOpMode") return OpMode(reply);
  if (name == "GetPriMonitorUID") return MonitorUid(false, reply);
  if (name == "GetSecMonitorUID") return MonitorUid(true, reply);
  if (name == "SetResolution" && a.size() >= 4) return SetResolution(a[0], a[1], a[2], a[3], reply);
  if (name == "SetScaling" && a.size() >= 2) return SetScaling(a[0], static_cast<int32_t>(a[1]), reply);
  if (name == "GetDisplayCount") return DisplayCount(reply);
  return Fail(reply, "Unknown Command");
}

bool Protocol::HdmiMonitorUid(std::string& reply) {
  for (uint32_t n = 0; n <= 10; ++n) {
    std::u16string device;
    if (!graphics_->DisplayDevice(n, device)) continue;
    for (uint32_t index = 0; index <= 10; ++index) {
      uint32_t uid = 0, type = 0x80000000u, status = 0;
      const AttachResult r = graphics_->Attachable(device, index, uid, type, status);
      if (r == AttachResult::NoString) return Fail(reply, "SysAllocString failed");
      if (r == AttachResult::Ok && (status & kStatusAttached) && type == kTypeHdmi) {
        reply = Hex8(uid);
        return true;
      }
    }
  }
  return Fail(reply, "HDMI Monitor not found.");
}

bool Protocol::MonitorEdid(uint32_t uid, std::string& reply) {
  std::vector<uint8_t> block(kEdidSize, 0);
  bytes::PutU32(&block[kEdUid], uid);
  if (!graphics_->GetDeviceData(Block::Edid, block) || block.size() < kEdidSize)
    return Fail(reply, "GetDeviceData(IGFX_EDID_GUID_1_0) failed");
  char pair[3];
  for (size_t i = 0; i < 128; ++i) {
    std::snprintf(pair, sizeof pair, "%02x", block[kEdBytes + i]);
    reply += pair;
  }
  if (block[kEdBytes + 126] != 0) {
    std::vector<uint8_t> second(kEdidSize, 0);
    bytes::PutU32(&second[kEdUid], uid);
    bytes::PutU32(&second[kEdBlock], 1);
    if (graphics_->GetDeviceData(Block::Edid, second) && second.size() >= kEdidSize) {
      for (size_t i = 0; i < 128; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", second[kEdBytes + i]);
        reply += pair;
      }
    }
  }
  return true;
}

bool Protocol::ReadConfiguration(std::vector<uint8_t>& block, const char* failure, std::string& reply) {
  block.assign(kConfigurationSize, 0);
  if (!graphics_->GetDeviceData(Block::Configuration, block) || block.size() < kConfigurationSize)
    return Fail(reply, failure);
  return true;
}

const char kConfigReadFailed[] = "GetDeviceData(IGFX_GET_SET_CONFIGURATION_GUID) failed";

bool Protocol::Scaling(uint32_t uid, std::string& reply) {
  std::vector<uint8_t> config;
  if (!ReadConfiguration(config, kConfigReadFailed, reply)) return false;
  if (bytes::GetU32(&config[0]) != 1 || bytes::GetU32(&config[kPrimaryRecord + kRecUid]) != uid)
    return Fail(reply, "Display Mode is not single or Monitor UID mismatch");
  std::vector<uint8_t> scaling(kScalingSize, 0);
  bytes::PutU32(&scaling[kScUid], uid);
  bytes::PutU32(&scaling[kScOne], 1);
  std::memcpy(&scaling[kScMode], &config[kPrimaryRecord + kRecWidth], 16);
  int32_t value = 0;
  if (graphics_->GetDeviceData(Block::Scaling, scaling) && scaling.size() >= kScalingSize)
    value = static_cast<int32_t>(bytes::GetU32(&scaling[kScHorizontal]));
  reply = std::to_string(value);
  return true;
}

bool Protocol::OpMode(std::string& reply) {
  std::vector<uint8_t> config;
  if (!ReadConfiguration(config, kConfigReadFailed, reply)) return false;
  reply = std::to_string(static_cast<int32_t>(bytes::GetU32(&config[0])));
  return true;
}

bool Protocol::MonitorUid(bool secondary, std::string& reply) {
  std::vector<uint8_t> config;
  if (!ReadConfiguration(config, kConfigReadFailed, reply)) return false;
  if (secondary && bytes::GetU32(&config[0]) == 1) return Fail(reply, "No Secondary Monitor");
  reply = Hex8(bytes::GetU32(&config[(secondary ? kSecondaryRecord : kPrimaryRecord) + kRecUid]));
  return true;
}

bool Protocol::SetResolution(uint32_t uid, uint32_t width, uint32_t height, uint32_t depth, std::string& reply) {
  if (width == 0 || height == 0) {
    // Only a configuration this process changed can be put back; never an empty block.
    if (saved_.empty()) return Fail(reply, "No Saved Configuration");
    if (!graphics_->SetDeviceData(Block::Configuration, saved_)) return Fail(reply, "SetDeviceData failed");
    reply = "SUCCESS";
    return true;
  }
  std::vector<uint8_t> config;
  if (!ReadConfiguration(config, "GetDeviceData failed", reply)) return false;
  const std::vector<uint8_t> unchanged = config;
  size_t record;
  if (bytes::GetU32(&config[kPrimaryRecord + kRecUid]) == uid) record = kPrimaryRecord;
  else if (bytes::GetU32(&config[kSecondaryRecord + kRecUid]) == uid) record = kSecondaryRecord;
  else return Fail(reply, "MonitorUID Mismatched");
  if (bytes::GetU32(&config[record + kRecWidth]) == width && bytes::GetU32(&config[record + kRecHeight]) == height &&
      bytes::GetU32(&config[record + kRecDepth]) == depth) {
    reply = "UNCHANGED";
    return true;
  }
  PutRecordFields(config, record, width, height, depth);
  if (!graphics_->SetDeviceData(Block::Configuration, config)) return Fail(reply, "SetDeviceData failed");
  saved_ = unchanged;
  reply = "SUCCESS";
  return true;
}

bool Protocol::SetScaling(uint32_t uid, int32_t value, std::string& reply) {
  std::vector<uint8_t> config;
  if (!ReadConfiguration(config, kConfigReadFailed, reply)) return false;
  if (bytes::GetU32(&config[0]) != 1 || bytes::GetU32(&config[kPrimaryRecord + kRecUid]) != uid)
    return Fail(reply, "OpMode is not SINGLE");
  std::vector<uint8_t> scaling(kScalingSize, 0);
  bytes::PutU32(&scaling[kScUid], uid);
  bytes::PutU32(&scaling[kScOne], 1);
  std::memcpy(&scaling[kScMode], &config[kPrimaryRecord + kRecWidth], 16);
  if (!graphics_->GetDeviceData(Block::Scaling, scaling) || scaling.size() < kScalingSize)
    return Fail(reply, "GetDeviceData failed");
  const int32_t hStep = static_cast<int32_t>(bytes::GetU32(&scaling[kScHorizontalStep]));
  const int32_t vStep = static_cast<int32_t>(bytes::GetU32(&scaling[kScVerticalStep]));
  if (hStep == 0 || vStep == 0) return Fail(reply, "Scaling not supported");
  // 64-bit so that the most negative value over a step of -1 cannot overflow.
  const int32_t h = static_cast<int32_t>(int64_t(value) / hStep * hStep);
  const int32_t v = static_cast<int32_t>(int64_t(value) / vStep * vStep);
  reply = "SUCCESS";
  if (static_cast<int32_t>(bytes::GetU32(&scaling[kScHorizontal])) == h &&
      static_cast<int32_t>(bytes::GetU32(&scaling[kScVertical])) == v)
    return true;
  bytes::PutU32(&scaling[kScHorizontal], static_cast<uint32_t>(h));
  bytes::PutU32(&scaling[kScVertical], static_cast<uint32_t>(v));
  if (!graphics_->SetDeviceData(Block::Scaling, scaling)) return Fail(reply, "SetDeviceData failed");
  return true;
}

bool Protocol::DisplayCount(std::string& reply) {
  std::vector<uint8_t> block(kNViewSize, 0);
  bytes::PutU32(&block[kNvOne], 1);
  if (!graphics_->GetDeviceData(Block::NView, block) || block.size() < kNViewSize)
    return Fail(reply, "GetDeviceData(IGFX_GET_SET_N_VIEW_CONFIG_GUID) failed");
  reply = std::to_string(static_cast<int32_t>(bytes::GetU32(&block[kNvCount])));
  return true;
}

bool LineReader::Next(std::string& line, bool& tooLong) {
  line.clear();
  tooLong = false;
  for (;;) {
    while (begin_ < end_) {
      const char c = buffer_[begin_++];
      if (c == '\n') return true;
      if (line.size() < kMaxLine) line.push_back(c);
      else tooLong = true;
    }
    if (ended_) return !line.empty() || tooLong;
    begin_ = 0;
    end_ = source_(buffer_.data(), buffer_.size());
    if (end_ == 0) ended_ = true;
  }
}

int Serve(IGraphics* graphics, LineReader::Source read, const std::function<void(const std::string&)>& write) {
  if (!graphics) {
    write(kTerminated);
    return -1;
  }
  write(kBanner);
  Protocol protocol(graphics);
  LineReader reader(std::move(read));
  std::string line;
  bool tooLong = false;
  while (reader.Next(line, tooLong)) {
    if (tooLong) {
      write("ERROR: Line Too Long\n");
      continue;
    }
    const Outcome outcome = protocol.Line(line);
    write(outcome.output);
    if (outcome.leave) return 0;
  }
  write(kTerminated);
  return 0;
}

}  // namespace vida
