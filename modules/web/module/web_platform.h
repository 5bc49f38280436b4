// The web module's ports over Windows: MSXML 3.0 for the feed, the registry, files, installed
// drivers through SetupAPI and the Windows release.
#pragma once
#include <windows.h>
#include <objbase.h>

#include <memory>

#include "modules/kit/module/kit_msxml.h"
#include "modules/kit/module/kit_win.h"
#include "modules/web/web_filter.h"

namespace web {

// "Msxml2.DOMDocument.3.0", synchronous, without DTDs or external resources.
class MsxmlDocument : public IXmlDocument {
 public:
  MsxmlDocument();
  ~MsxmlDocument() override;
  bool Available() override;
  Load LoadFile(const std::u16string& path) override;
  bool HasRoot() override;
  std::vector<XmlElement> Descendants(const std::u16string& name, int depth) override;

 private:
  struct Impl;
  kit::ComScope com_;
  std::unique_ptr<Impl> impl_;
};

class WinMachineRegistry : public IMachineRegistry {
 public:
  bool KeyExists(const std::u16string& path, bool view64) override;
  bool IsWow64() override;
};

class WinFileSystem : public IFileSystem {
 public:
  std::optional<LocalStamp> FirstWriteTime(const std::u16string& path) override;
  std::optional<std::string> ReadHead(const std::u16string& path, std::size_t max) override;
};

// Wow64DisableWow64FsRedirection and its revert, looked up at run time: 32-bit Windows XP
// has neither, and a 64-bit process has nothing to switch off.
class WinFileRedirection : public IFileRedirection {
 public:
  bool Disable() override;
  void Revert() override;

 private:
  void* previous_ = nullptr;
};

class SetupApiDrivers : public IDrivers {
 public:
  std::optional<std::u16string> DriverVersion(const std::u16string& name) override;
};

// GetProductInfo, looked up at run time: Windows XP has none.
class WinProductInfo : public IProductInfo {
 public:
  std::optional<uint32_t> ProductType(uint32_t major, uint32_t minor, uint32_t spMajor, uint32_t spMinor) override;
};

// CWinVersion's answers, with the edition as the Windows expression asks for it.
class WinWindows : public IWindows {
 public:
  WindowsRelease Release() override;

 private:
  WinProductInfo productInfo_;
};

using kit::U16;
using kit::Wide;

}  // namespace web
