#include "sim/graphics/sim_graphics.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "common/core/bytes.h"

namespace sim {

using namespace vida;

const char16_t SimGraphics::kDeviceName[] = u"\\\\.\\DISPLAY1";

namespace {
// One display record of the configuration block, as logged: uid,width,height,further,depth,flag.
std::string RecordText(const std::vector<uint8_t>& b, size_t at) {
  char text[96];
  std::snprintf(text, sizeof text, "%08x,%u,%u,%u,%u,%u", bytes::GetU32(&b[at + kRecUid]),
                bytes::GetU32(&b[at + kRecWidth]), bytes::GetU32(&b[at + kRecHeight]),
                bytes::GetU32(&b[at + kRecFurther]), bytes::GetU32(&b[at + kRecDepth]), bytes::GetU32(&b[at + kRecFlag]));
  return text;
}

bool ParseRecord(const std::string& text, SimDisplay& d, uint32_t& flag) {
  unsigned uid, w, h, further, depth, f;
  if (std::sscanf(text.c_str(), "%x,%u,%u,%u,%u,%u", &uid, &w, &h, &further, &depth, &f) != 6) return false;
  d.uid = uid, d.width = w, d.height = h, d.further = further, d.depth = depth;
  flag = f;
  return true;
}
}  // namespace

SimGraphics::SimGraphics(const SimGraphicsSetup& setup, const std::string& earlier,
                         std::function<void(const std::string&)> log)
    : setup_(setup), log_(std::move(log)) {
  std::istringstream in(earlier);
  std::string line;
  while (std::getline(in, line)) Replay(line);
}

// "config mode=M primary=R secondary=R" and "scaling uid=U h=H v=V", as SetDeviceData logs them.
void SimGraphics::Replay(const std::string& line) {
  std::istringstream in(line);
  std::string what, a, b, c;
  in >> what >> a >> b >> c;
  if (what == "config" && a.rfind("mode=", 0) == 0) {
    setup_.mode = uint32_t(std::strtoul(a.c_str() + 5, nullptr, 10));
    const std::string records[2] = {b.rfind("primary=", 0) == 0 ? b.substr(8) : "",
                                    c.rfind("secondary=", 0) == 0 ? c.substr(10) : ""};
    for (size_t i = 0; i < 2 && i < setup_.displays.size(); ++i) {
      SimDisplay next = setup_.displays[i];
      uint32_t flag = 0;
      if (ParseRecord(records[i], next, flag)) setup_.displays[i] = next;
    }
  } else if (what == "scaling") {
    int h = 0, v = 0;
    if (std::sscanf(b.c_str(), "h=%d", &h) == 1 && std::sscanf(c.c_str(), "v=%d", &v) == 1) {
      setup_.scaling[0] = h;
      setup_.scaling[2] = v;
    }
  }
}

bool SimGraphics::Fails(const char* what) const {
  return std::find(setup_.failures.begin(), setup_.failures.end(), what) != setup_.failures.end();
}

const SimDisplay* SimGraphics::Find(uint32_t uid) const {
  for (const SimDisplay& d : setup_.displays)
    if (d.uid == uid) return &d;
  return nullptr;
}

bool SimGraphics::GetDeviceData(Block block, std::vector<uint8_t>& data) {
  switch (block) {
    case Block::Configuration: {
      if (Fails("get-config") || data.size() < kConfigurationSize) return false;
      std::fill(data.begin(), data.end(), 0);
      bytes::PutU32(&data[0], setup_.mode);
      for (size_t i = 0; i < 2 && i < setup_.displays.size(); ++i) {
        const SimDisplay& d = setup_.displays[i];
        const size_t at = i == 0 ? kPrimaryRecord : kSecondaryRecord;
        bytes::PutU32(&data[at + kRecUid], d.uid);
        bytes::PutU32(&data[at + kRecWidth], d.width);
        bytes::PutU32(&data[at + kRecHeight], d.height);
        bytes::PutU32(&data[at + kRecFurther], d.further);
        bytes::PutU32(&data[at + kRecDepth], d.depth);
        bytes::PutU32(&data[at + kRecFlag], d.width == 1360 && d.height == 768 ? 4 : 64);
      }
      return true;
    }
    case Block::Scaling: {
      if (Fails("get-scaling") || data.size() < kScalingSize || !Find(bytes::GetU32(&data[kScUid]))) return false;
      bytes::PutU32(&data[kScHorizontal], uint32_t(setup_.scaling[0]));
      bytes::PutU32(&data[kScHorizontalStep], uint32_t(setup_.scaling[1]));
      bytes::PutU32(&data[kScVertical], uint32_t(setup_.scaling[2]));
      bytes::PutU32(&data[kScVerticalStep], uint32_t(setup_.scaling[3]));
      return true;
    }
    case Block::Edid: {
      if (Fails("get-edid") || data.size() < kEdidSize) return false;
      const SimDisplay* d = Find(bytes::GetU32(&data[kEdUid]));
      const uint32_t number = bytes::GetU32(&data[kEdBlock]);
      if (!d || number > 1 || d->edid.size() < 128 * (number + 1) || (number == 1 && Fails("get-edid1"))) return false;
      std::copy(d->edid.begin() + 128 * number, d->edid.begin() + 128 * (number + 1), data.begin() + kEdBytes);
      return true;
    }
    case Block::NView: {
      if (Fails("get-nview") || data.size() < kNViewSize || bytes::GetU32(&data[kNvOne]) != 1) return false;
      bytes::PutU32(&data[kNvCount], uint32_t(setup_.count >= 0 ? setup_.count : int(setup_.displays.size())));
      return true;
    }
  }
  return false;
}

bool SimGraphics::SetDeviceData(Block block, const std::vector<uint8_t>& data) {
  if (block == Block::Configuration) {
    if (Fails("set-config") || data.size() < kConfigurationSize) return false;
    const std::string line = "config mode=" + std::to_string(bytes::GetU32(&data[0])) + " primary=" +
                             RecordText(data, kPrimaryRecord) + " secondary=" + RecordText(data, kSecondaryRecord);
    Replay(line);
    if (log_) log_(line);
    return true;
  }
  if (block == Block::Scaling) {
    if (Fails("set-scaling") || data.size() < kScalingSize || !Find(bytes::GetU32(&data[kScUid]))) return false;
    char line[96];
    std::snprintf(line, sizeof line, "scaling uid=%08x h=%d v=%d", bytes::GetU32(&data[kScUid]),
                  int(bytes::GetU32(&data[kScHorizontal])), int(bytes::GetU32(&data[kScVertical])));
    Replay(line);
    if (log_) log_(line);
    return true;
  }
  return false;
}

bool SimGraphics::DisplayDevice(uint32_t n, std::u16string& name) {
  if (n != 0) return false;
  name = kDeviceName;
  return true;
}

AttachResult SimGraphics::Attachable(const std::u16string& device, uint32_t index, uint32_t& uid, uint32_t& type,
                                     uint32_t& status) {
  if (Fails("enum") || device != kDeviceName || index >= setup_.displays.size()) return AttachResult::Failed;
  const SimDisplay& d = setup_.displays[index];
  uid = d.uid;
  type = d.kind == "panel" ? 4 : kTypeHdmi;
  status = d.kind == "hdmi-off" ? 0 : kStatusAttached;
  return AttachResult::Ok;
}

}  // namespace sim
