// Portable stand-ins for the web module's platform ports: pugixml for the XML DOM and the
// POSIX file system (under a chosen root for drive C:) for file dates and the image version.
#pragma once
#include <memory>
#include <string>

#include "modules/kit/native/kit_pugi.h"
#include "modules/web/web_catalogue.h"
#include "modules/web/web_filter.h"

namespace web {

class PugiDocument : public IXmlDocument {
 public:
  PugiDocument();
  ~PugiDocument() override;
  Load LoadFile(const std::u16string& path) override;
  bool HasRoot() override;
  std::vector<XmlElement> Descendants(const std::u16string& name, int depth) override;
  // The same from bytes in memory (tests and fuzzing).
  Load LoadBytes(const std::string& bytes);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Paths as Windows writes them: "C:\dir\name" lies at root/dir/name; wildcards * and ? in
// the last part, as FindFirstFile takes them. Times in the process's TZ.
class NativeFileSystem : public IFileSystem {
 public:
  explicit NativeFileSystem(std::string root) : root_(std::move(root)) {}
  std::optional<LocalStamp> FirstWriteTime(const std::u16string& path) override;
  std::optional<std::string> ReadHead(const std::u16string& path, std::size_t max) override;
  std::string HostPath(const std::u16string& path) const;

 private:
  std::string root_;
};

// The catalogue's files and downloads under the same root; the temporary folder is C:\Temp
// and the downloads' root C:\AppData\Velmorant.
class NativeCatalogueDisk : public ICatalogueFiles, public IDownloadDisk {
 public:
  explicit NativeCatalogueDisk(std::string root) : fs_(std::move(root)) {}
  std::optional<std::string> Read(const std::u16string& path, std::size_t max) override;
  bool WriteTemp(const std::string& bytes, std::u16string& path) override;
  void Delete(const std::u16string& path) override;
  std::u16string TempFolder() override;
  bool WritePage(const std::u16string& path, const std::string& bytes, bool mustExist) override;
  std::u16string DownloadRoot() override;
  bool MakeFolder(const std::u16string& path) override;
  std::optional<uint64_t> FileSize(const std::u16string& path) override;
  std::string HostPath(const std::u16string& path) const { return fs_.HostPath(path); }

 private:
  NativeFileSystem fs_;
  int serial_ = 0;
};

using kit::FromUtf8;

}  // namespace web
