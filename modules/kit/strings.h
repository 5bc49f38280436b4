// A module's texts by string-table id: the DLL's own table in Windows builds, the same
// resource script parsed in native tests.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace kit {

class IStrings {
 public:
  virtual ~IStrings() = default;
  // Nothing when the table lacks the id.
  virtual std::optional<std::u16string> Load(uint16_t id) = 0;
};

}  // namespace kit
