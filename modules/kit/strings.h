// A module's texts: by string-table id (the DLL's own table in Windows builds, the same
// resource script parsed in native tests), and in the code page its pages declare.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kit {

class IStrings {
 public:
  virtual ~IStrings() = default;
  // Nothing when the table lacks the id.
  virtual std::optional<std::u16string> Load(uint16_t id) = 0;
};

// Code page 932 (Shift_JIS as Windows writes it), which the modules' pages declare.
class ICodePage {
 public:
  virtual ~ICodePage() = default;
  // Characters without a mapping become '?'; nothing when the conversion is unavailable.
  virtual std::optional<std::string> Encode(const std::u16string& text) = 0;
  // Bytes that do not form a character become U+30FB, as Windows decodes them; nothing when
  // the conversion is unavailable.
  virtual std::optional<std::u16string> Decode(std::string_view bytes) = 0;
};

}  // namespace kit
