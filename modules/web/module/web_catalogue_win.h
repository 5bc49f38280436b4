// The download catalogue's ports over Windows: fetches into temporary files, the catalogue's
// temporary files and page, the download folders under the local application data, and the
// operator's search settings.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "common/win/http_fetcher.h"
#include "modules/web/web_catalogue.h"

namespace web {

// Downloads into a new temporary file with the prefix, with the shared fetcher.
class WinFeedDownload : public IFeedDownload {
 public:
  explicit WinFeedDownload(std::unique_ptr<http::CHttpFetcher>& fetcher, const wchar_t* prefix = L"WRS")
      : fetcher_(fetcher), prefix_(prefix) {}
  bool Download(const std::u16string& url, std::u16string& tempPath) override;
  void Delete(const std::u16string& path) override;

 private:
  std::unique_ptr<http::CHttpFetcher>& fetcher_;
  const wchar_t* prefix_;
};

class WinCatalogueFiles : public ICatalogueFiles {
 public:
  std::optional<std::string> Read(const std::u16string& path, std::size_t max) override;
  bool WriteTemp(const std::string& bytes, std::u16string& path) override;
  void Delete(const std::u16string& path) override;
  std::u16string TempFolder() override;
  bool WritePage(const std::u16string& path, const std::string& bytes, bool mustExist) override;
};

// "Velmorant" under the local application data, one folder per management number.
class WinDownloadDisk : public IDownloadDisk {
 public:
  std::u16string DownloadRoot() override;
  bool MakeFolder(const std::u16string& path) override;
  std::optional<uint64_t> FileSize(const std::u16string& path) override;
};

// The search's base and format: the machine strings "OverrideBase" and "OverrideArg" of the
// module's key, else `defaultBase` and the site's own format.
struct SearchSettings {
  std::string base, format;
};
SearchSettings ReadSearchSettings(const std::u16string& defaultBase);
constexpr char kDefaultSearchFormat[] = "%sfaq/dl/search?p1=%S&p2=%S&p3=%S&per_page=100&q=";

}  // namespace web
