// Page files in memory for the kit's and the modules' tests: path -> bytes, fresh names from
// a folder and a prefix, and a switch that makes writing fail.
#pragma once
#include <map>
#include <string>

#include "modules/kit/page_files.h"

namespace kittest {

template <class Port = kit::IPageFiles>
class MemPageFiles : public Port {
 public:
  MemPageFiles(std::u16string folderName, std::u16string prefixName)
      : folder(std::move(folderName)), prefix(std::move(prefixName)) {}
  bool NewPagePath(std::u16string& path) override {
    path = folder + prefix + std::u16string(1, char16_t(u'A' + made++)) + u".tmp";
    disk[path] = "";
    return true;
  }
  bool WritePage(const std::u16string& path, const std::string& bytes) override {
    if (failWrite) return false;
    disk[path] = bytes;
    return true;
  }
  void Delete(const std::u16string& path) override { disk.erase(path); }
  bool Has(const std::u16string& path) const { return disk.count(path) != 0; }

  std::map<std::u16string, std::string> disk;
  std::u16string folder, prefix;
  bool failWrite = false;
  int made = 0;
};

}  // namespace kittest
