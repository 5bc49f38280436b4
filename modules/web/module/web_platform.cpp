#include "modules/web/module/web_platform.h"

#include <msxml2.h>
#include <oleauto.h>
#include <setupapi.h>

#include "common/win/com_ptr.h"
#include "common/win/reg.h"
#include "common/win/reg_key.h"
#include "common/win/winversion.h"
#include "common/win/system_library.h"

#define SETUPAPI(function) TW_SYSTEM_FUNCTION(L"setupapi.dll", function)

namespace web {
namespace {
// IXMLDOMDocument2; the mingw-w64 import libraries do not carry its identifier.
const IID kIidDomDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

bool Readable(const std::u16string& path) {
  HANDLE file = CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

void SetProperty(IXMLDOMDocument2* doc, const wchar_t* name, bool on) {
  Bstr property(name);
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BOOL;
  value.boolVal = on ? VARIANT_TRUE : VARIANT_FALSE;
  doc->setProperty(property.get(), value);  // an older MSXML without the property keeps its default
}

std::optional<std::u16string> DeviceText(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
  wchar_t text[512] = {};
  DWORD type = 0;
  if (!SETUPAPI(SetupDiGetDeviceRegistryPropertyW)(set, &device, property, &type, reinterpret_cast<BYTE*>(text),
                                         sizeof text - sizeof(wchar_t), nullptr) ||
      type != REG_SZ)
    return std::nullopt;
  return U16(text);
}
}  // namespace

struct MsxmlDocument::Impl {
  ComPtr<IXMLDOMDocument2> doc;
  bool loaded = false;
};

MsxmlDocument::MsxmlDocument() : impl_(std::make_unique<Impl>()) {}
MsxmlDocument::~MsxmlDocument() = default;

bool MsxmlDocument::Available() {
  ComPtr<IXMLDOMDocument2>& doc = impl_->doc;
  if (doc) return true;
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(L"Msxml2.DOMDocument.3.0", &clsid)) ||
      FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, kIidDomDocument2, reinterpret_cast<void**>(doc.out()))) ||
      !doc)
    return false;
  doc->put_validateOnParse(VARIANT_FALSE);
  doc->put_resolveExternals(VARIANT_FALSE);
  SetProperty(doc.get(), L"ProhibitDTD", true);
  return true;
}

IXmlDocument::Load MsxmlDocument::LoadFile(const std::u16string& path) {
  impl_->loaded = false;
  if (!Available()) return Load::Unreadable;
  ComPtr<IXMLDOMDocument2>& doc = impl_->doc;
  if (!kit::LoadXmlFile(doc.get(), path))
    // The parser's error codes differ between MSXML builds; whether the file opens does not.
    return Readable(path) ? Load::Malformed : Load::Unreadable;
  impl_->loaded = true;
  return Load::Ok;
}

bool MsxmlDocument::HasRoot() {
  ComPtr<IXMLDOMElement> root;
  return impl_->loaded && SUCCEEDED(impl_->doc->get_documentElement(root.out())) && root;
}

std::vector<XmlElement> MsxmlDocument::Descendants(const std::u16string& name, int depth) {
  // A walk of our own rather than getElementsByTagName, which Wine's MSXML does not answer
  // for prefixed names; pre-order, without recursion.
  std::vector<XmlElement> out;
  ComPtr<IXMLDOMElement> root;
  if (!impl_->loaded || FAILED(impl_->doc->get_documentElement(root.out())) || !root) return out;
  std::vector<IXMLDOMNode*> path;  // owned references from the root's first child down to the current node
  auto release = [&] {
    for (IXMLDOMNode* n : path) n->Release();
    path.clear();
  };
  IXMLDOMNode* first = nullptr;
  if (FAILED(root->get_firstChild(&first)) || !first) return out;
  path.push_back(first);
  while (!path.empty()) {
    IXMLDOMNode* node = path.back();
    DOMNodeType type;
    if (SUCCEEDED(node->get_nodeType(&type)) && type == NODE_ELEMENT) {
      Bstr nodeName;
      if (SUCCEEDED(node->get_nodeName(nodeName.out())) && nodeName.str() == name) {
        out.emplace_back();
        kit::ReadElement(node, depth, out.back());
      }
      IXMLDOMNode* child = nullptr;
      if (SUCCEEDED(node->get_firstChild(&child)) && child) {
        path.push_back(child);
        continue;
      }
    }
    // No children: on to the next sibling of this node or of the nearest ancestor that has one.
    while (!path.empty()) {
      IXMLDOMNode* next = nullptr;
      const HRESULT hr = path.back()->get_nextSibling(&next);
      path.back()->Release();
      path.pop_back();
      if (SUCCEEDED(hr) && next) {
        path.push_back(next);
        break;
      }
    }
  }
  release();
  return out;
}

bool WinMachineRegistry::KeyExists(const std::u16string& path, bool view64) {
  RegKey key;
  return RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(path), 0, KEY_QUERY_VALUE | (view64 ? KEY_WOW64_64KEY : 0),
                       key.out()) == ERROR_SUCCESS;
}

bool WinMachineRegistry::IsWow64() { return CReg::IsWow64(); }

std::optional<LocalStamp> WinFileSystem::FirstWriteTime(const std::u16string& path) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(Wide(path), &found);
  if (find == INVALID_HANDLE_VALUE) return std::nullopt;
  bool file = false;
  do {
    file = !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  } while (!file && FindNextFileW(find, &found));
  FindClose(find);
  SYSTEMTIME utc, local;
  // The time zone's rule for that day, so that a date across a daylight-saving change is exact.
  if (!file || !FileTimeToSystemTime(&found.ftLastWriteTime, &utc) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
    return std::nullopt;
  return LocalStamp{local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond,
                    local.wMilliseconds};
}

// Newer than 32-bit XP: typed here, as the headers of the oldest release do not declare them.
bool WinFileRedirection::Disable() {
  return TW_SYSTEM_FUNCTION_TYPED(L"kernel32.dll", Wow64DisableWow64FsRedirection, BOOL(WINAPI*)(PVOID*))(&previous_);
}

void WinFileRedirection::Revert() {
  TW_SYSTEM_FUNCTION_TYPED(L"kernel32.dll", Wow64RevertWow64FsRedirection, BOOL(WINAPI*)(PVOID))(previous_);
}

std::optional<std::string> WinFileSystem::ReadHead(const std::u16string& path, std::size_t max) {
  HANDLE file = CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes(max, '\0');
  std::size_t have = 0;
  DWORD got = 0;
  while (have < max && ReadFile(file, bytes.data() + have, static_cast<DWORD>(max - have), &got, nullptr) && got)
    have += got;
  CloseHandle(file);
  bytes.resize(have);
  return bytes;
}

std::optional<std::u16string> SetupApiDrivers::DriverVersion(const std::u16string& name) {
  HDEVINFO set = SETUPAPI(SetupDiGetClassDevsW)(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
  if (set == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<std::u16string> version;
  SP_DEVINFO_DATA device = {sizeof device};
  for (DWORD i = 0; SETUPAPI(SetupDiEnumDeviceInfo)(set, i, &device); ++i) {
    const auto description = DeviceText(set, device, SPDRP_DEVICEDESC);
    if (description != name && DeviceText(set, device, SPDRP_FRIENDLYNAME) != name) continue;
    HKEY raw = SETUPAPI(SetupDiOpenDevRegKey)(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
    if (raw != INVALID_HANDLE_VALUE) {
      wchar_t text[128] = {};
      DWORD size = sizeof text - sizeof(wchar_t), type = 0;
      if (RegQueryValueExW(raw, L"DriverVersion", nullptr, &type, reinterpret_cast<BYTE*>(text), &size) ==
              ERROR_SUCCESS &&
          type == REG_SZ)
        version = U16(text);
      RegCloseKey(raw);
    }
    break;  // the first device of that name decides
  }
  SETUPAPI(SetupDiDestroyDeviceInfoList)(set);
  return version;
}

std::optional<uint32_t> WinProductInfo::ProductType(uint32_t major, uint32_t minor, uint32_t spMajor,
                                                    uint32_t spMinor) {
  using GetProductInfoFn = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD);
  DWORD type = 0;
  const auto& getProductInfo = TW_SYSTEM_FUNCTION_TYPED(L"kernel32.dll", GetProductInfo, GetProductInfoFn);
  if (!getProductInfo(major, minor, spMajor, spMinor, &type)) return std::nullopt;
  return type;
}

WindowsRelease WinWindows::Release() {
  const CWinVersion v;
  return WindowsRelease{v.GetOsType(), v.GetArchitecture(), v.GetServicePack(),
                        ExpressionEdition(v.GetVersionInfo().dwMajorVersion, productInfo_)};
}

}  // namespace web
