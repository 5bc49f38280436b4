// What the HDMI module reads from a display: the EDID's identity and kind, the key under
// which a monitor in one arrangement is remembered, and the helper's reply texts.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace hdmi {

using Edid = std::array<uint8_t, 256>;

// HdmiState values.
enum State : int { kNoTv = 0, kTv = 1, kMakerTv = 3, kMakerTvQuiet = 4, kMakerFullHd = 5, kMonitor = 6 };

// "ABC1234": three letters from bytes 8 and 9, the product code of bytes 10 and 11.
std::u16string PnpId(const Edid& edid);
// The state an EDID gives by itself: 6 without a CEA-861 extension, else 1, or the maker's
// television's kind (3, 4 or 5) from the third descriptor's text.
int Classify(const Edid& edid);
// "%S#%X#%d#%d": PnP id, operating mode, index in the display list, number of displays.
std::u16string MonitorKey(const std::u16string& pnpId, uint32_t mode, int index, int count);
// "OverrideDisplay" is honoured only when it names a state.
std::optional<int> ValidOverride(std::optional<uint32_t> value);

// The helper's replies. A reply that begins with "ERROR" is a failure.
bool IsErrorReply(const std::string& reply);
// A hexadecimal UID as "%x" reads it; nothing for a failure or no digits.
std::optional<uint32_t> ParseHexReply(const std::string& reply);
// A decimal number as "%d" reads it.
std::optional<int> ParseDecimalReply(const std::string& reply);
// 256 bytes from hexadecimal digits, stopping at the first non-hexadecimal character; the
// rest stays zero.
Edid DecodeEdidReply(const std::string& reply);

}  // namespace hdmi
