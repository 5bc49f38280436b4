// The module file names the host knows, in load order.
#pragma once
#include <cstddef>
#include <string>

namespace host {

constexpr size_t kModuleNameCount = 8;
extern const char16_t* const kModuleFileNames[kModuleNameCount];

// ASCII case-insensitive comparison (the names and options are ASCII).
bool EqualsIgnoreCase(const std::u16string& a, const std::u16string& b);
// True when `stem` + ".dll" is one of the module file names.
bool IsModuleName(const std::u16string& stem);

}  // namespace host
