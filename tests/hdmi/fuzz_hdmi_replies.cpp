// The HDMI module's parsers of the helper's replies and of EDID bytes, over arbitrary input.
#include <string>

#include "modules/hdmi/hdmi_display.h"
#include "modules/hdmi/hdmi_edid.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  hdmi::ParseHexReply(text);
  hdmi::ParseDecimalReply(text);
  const hdmi::Edid edid = hdmi::DecodeEdidReply(text);
  hdmi::Classify(edid);
  if (hdmi::PnpId(edid).size() != 7) __builtin_trap();
  hdmi::LineAssembler lines;
  lines.Add(text.data(), text.size());
  std::string line;
  while (lines.Take(line))
    if (line.find('\n') != std::string::npos) __builtin_trap();
  return 0;
}
