#include "modules/web/native/web_native.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <pugixml.hpp>

#include "common/core/html_text.h"

namespace web {
namespace {

std::optional<LocalStamp> Stamp(const struct stat& st) {
  tm local{};
  const time_t t = st.st_mtim.tv_sec;
  if (!localtime_r(&t, &local)) return std::nullopt;
  return LocalStamp{local.tm_year + 1900, local.tm_mon + 1,  local.tm_mday, local.tm_hour,
                    local.tm_min,         local.tm_sec,        static_cast<int>(st.st_mtim.tv_nsec / 1000000)};
}
}  // namespace

struct PugiDocument::Impl {
  pugi::xml_document doc;
  bool loaded = false;

  Load Take(const pugi::xml_parse_result& r) {
    loaded = false;
    if (r.status == pugi::status_file_not_found || r.status == pugi::status_io_error ||
        r.status == pugi::status_out_of_memory)
      return Load::Unreadable;
    if (!r) return Load::Malformed;
    // The DOM adapter in Windows prohibits DTDs; a feed never carries one.
    for (const pugi::xml_node& n : doc.children())
      if (n.type() == pugi::node_doctype) return Load::Malformed;
    if (!doc.document_element()) return Load::Malformed;
    loaded = true;
    return Load::Ok;
  }
};

constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_doctype;

PugiDocument::PugiDocument() : impl_(std::make_unique<Impl>()) {}
PugiDocument::~PugiDocument() = default;

IXmlDocument::Load PugiDocument::LoadFile(const std::u16string& path) {
  return impl_->Take(impl_->doc.load_file(html::ToUtf8(path).c_str(), kParseOptions));
}

IXmlDocument::Load PugiDocument::LoadBytes(const std::string& bytes) {
  return impl_->Take(impl_->doc.load_buffer(bytes.data(), bytes.size(), kParseOptions));
}

bool PugiDocument::HasRoot() { return impl_->loaded; }

std::vector<XmlElement> PugiDocument::Descendants(const std::u16string& name, int depth) {
  std::vector<XmlElement> out;
  if (!impl_->loaded) return out;
  const std::string wanted = html::ToUtf8(name);
  const pugi::xml_node root = impl_->doc.document_element();
  // Pre-order walk without recursion.
  for (pugi::xml_node n = root.first_child(); n;) {
    if (n.type() == pugi::node_element && wanted == n.name()) out.push_back(kit::ReadElement(n, depth));
    if (n.first_child()) {
      n = n.first_child();
      continue;
    }
    while (n && !n.next_sibling() && n != root) n = n.parent();
    if (!n || n == root) break;
    n = n.next_sibling();
  }
  return out;
}

std::string NativeFileSystem::HostPath(const std::u16string& path) const {
  std::string p = html::ToUtf8(path);
  if (p.size() >= 2 && (p[1] == ':') && (p[0] == 'C' || p[0] == 'c')) p = p.substr(2);
  std::replace(p.begin(), p.end(), '\\', '/');
  if (p.empty() || p[0] != '/') p.insert(p.begin(), '/');
  return root_ + p;
}

std::optional<LocalStamp> NativeFileSystem::FirstWriteTime(const std::u16string& path) {
  const std::string full = HostPath(path);
  const std::size_t slash = full.rfind('/');
  const std::string folder = full.substr(0, slash), name = full.substr(slash + 1);
  DIR* dir = opendir(folder.c_str());
  if (!dir) return std::nullopt;
  std::optional<LocalStamp> found;
  while (dirent* entry = readdir(dir)) {
    struct stat st;
    if (fnmatch(name.c_str(), entry->d_name, FNM_PERIOD) != 0) continue;
    if (stat((folder + "/" + entry->d_name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    found = Stamp(st);
    break;
  }
  closedir(dir);
  return found;
}

std::optional<std::string> NativeFileSystem::ReadHead(const std::u16string& path, std::size_t max) {
  std::ifstream in(HostPath(path), std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes(max, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(max));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

std::optional<std::string> NativeCatalogueDisk::Read(const std::u16string& path, std::size_t max) {
  std::ifstream in(HostPath(path), std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() > max) return std::nullopt;
  return bytes;
}

bool NativeCatalogueDisk::WriteTemp(const std::string& bytes, std::u16string& path) {
  const std::u16string folder = TempFolder();
  if (!MakeFolder(folder.substr(0, folder.size() - 1))) return false;
  const std::string n = std::to_string(++serial_);
  path = folder + u"WDC" + std::u16string(n.begin(), n.end()) + u".tmp";
  std::ofstream out(HostPath(path), std::ios::binary);
  return static_cast<bool>(out << bytes);
}

void NativeCatalogueDisk::Delete(const std::u16string& path) { std::remove(HostPath(path).c_str()); }

std::u16string NativeCatalogueDisk::TempFolder() { return u"C:\\Temp\\"; }

bool NativeCatalogueDisk::WritePage(const std::u16string& path, const std::string& bytes, bool mustExist) {
  struct stat st;
  if (mustExist && stat(HostPath(path).c_str(), &st) != 0) return false;
  std::ofstream out(HostPath(path), std::ios::binary | std::ios::trunc);
  return static_cast<bool>(out << bytes);
}

std::u16string NativeCatalogueDisk::DownloadRoot() {
  return MakeFolder(u"C:\\AppData\\Velmorant") ? u"C:\\AppData\\Velmorant\\" : u"";
}

bool NativeCatalogueDisk::MakeFolder(const std::u16string& path) {
  const std::string full = HostPath(path);
  for (std::size_t i = 1; i <= full.size(); ++i)
    if (i == full.size() || full[i] == '/') mkdir(full.substr(0, i).c_str(), 0755);
  struct stat st;
  return stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<uint64_t> NativeCatalogueDisk::FileSize(const std::u16string& path) {
  struct stat st;
  if (stat(HostPath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

}  // namespace web
