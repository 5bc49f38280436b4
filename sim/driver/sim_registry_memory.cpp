#include "sim/driver/sim_registry.h"

#include "common/core/win32_constants.h"

namespace sim {
namespace {
std::u16string Fold(std::u16string s) {
  for (char16_t& c : s)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  while (!s.empty() && s.back() == u'\\') s.pop_back();
  return s;
}
}  // namespace

uint32_t MemoryRegistry::SetValue(const std::u16string& path, const std::u16string& name, uint32_t type,
                                  const std::vector<uint8_t>& data) {
  CreateKey(path);
  values_[{Fold(path), Fold(name)}] = {type, data};
  return win32::kErrorSuccess;
}

uint32_t MemoryRegistry::QueryValue(const std::u16string& path, const std::u16string& name, uint32_t& type,
                                    std::vector<uint8_t>& data) {
  const auto it = values_.find({Fold(path), Fold(name)});
  if (it == values_.end()) return win32::kErrorFileNotFound;
  type = it->second.first;
  data = it->second.second;
  return win32::kErrorSuccess;
}

uint32_t MemoryRegistry::KeyExists(const std::u16string& path, bool& exists) {
  exists = keys_.count(Fold(path)) != 0;
  return win32::kErrorSuccess;
}

uint32_t MemoryRegistry::CreateKey(const std::u16string& path) {
  const std::u16string folded = Fold(path);
  for (size_t i = 0; i <= folded.size(); ++i)
    if (i == folded.size() || folded[i] == u'\\') keys_.insert(folded.substr(0, i));
  return win32::kErrorSuccess;
}
}  // namespace sim
