#include "modules/kit/module/kit_win.h"

#include "modules/kit/banner.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace kit {

HINSTANCE ModuleInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

std::u16string ModulePath() {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameW(ModuleInstance(), path, MAX_PATH);
  return n == 0 || n >= MAX_PATH ? std::u16string() : U16(path);
}

std::u16string ModuleFolder() {
  const std::u16string path = ModulePath();
  return path.empty() ? path : path.substr(0, path.find_last_of(u'\\') + 1);
}

int AcceptInitRecord(const ModuleInitInfo* info, MiscCommon::CMiscCommon*& client) {
  client = nullptr;
  if (!info) return MODULE_E_BAD_ARGUMENT;
  if (info->version < WICKPOST_CONTRACT_VERSION || info->cbSize < 4) return MODULE_E_HOST_TOO_OLD;
  if (info->cbSize >= static_cast<int32_t>(sizeof(ModuleInitInfo))) client = info->driverClient;
  return 0;
}

std::wstring LoadText(UINT id) {
  const wchar_t* text = nullptr;
  const int n = LoadStringW(ModuleInstance(), id, reinterpret_cast<LPWSTR>(&text), 0);
  return n > 0 ? std::wstring(text, n) : std::wstring();
}

std::u16string TempFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
  return n == 0 || n > MAX_PATH ? std::u16string() : U16(buffer);
}

bool NewPageFile(const wchar_t* prefix, std::u16string& path) {
  const std::u16string folder = TempFolder();
  wchar_t name[MAX_PATH] = {};
  if (folder.empty() || !GetTempFileNameW(Wide(folder), prefix, 0, name)) return false;
  path = U16(name);
  return true;
}

bool WritePageFile(const std::u16string& path, const std::string& bytes) {
  HANDLE file = CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_TEMPORARY, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
  return CloseHandle(file) && ok;
}

void DeletePageFile(const std::u16string& path) { DeleteFileW(Wide(path)); }

std::optional<std::u16string> TableStrings::Load(uint16_t id) {
  const std::wstring text = LoadText(id);
  if (text.empty()) return std::nullopt;
  return U16(text.c_str(), text.size());
}

std::optional<std::string> CodePage932::Encode(const std::u16string& text) {
  if (text.empty()) return std::string();
  const int n = WideCharToMultiByte(932, 0, Wide(text), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::nullopt;
  std::string out(static_cast<size_t>(n), '\0');
  if (WideCharToMultiByte(932, 0, Wide(text), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr) != n)
    return std::nullopt;
  return out;
}

std::optional<std::u16string> CodePage932::Decode(std::string_view bytes) {
  if (bytes.empty()) return std::u16string();
  if (bytes.size() > 0x7FFFFFFF) return std::nullopt;
  const int size = static_cast<int>(bytes.size());
  const int n = MultiByteToWideChar(932, 0, bytes.data(), size, nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::u16string out(static_cast<size_t>(n), u'\0');
  if (MultiByteToWideChar(932, 0, bytes.data(), size, reinterpret_cast<wchar_t*>(out.data()), n) != n)
    return std::nullopt;
  return out;
}

void Banner::Show(HWND dialog, int control, const Ids& ids) {
  Free();
  HDC dc = GetDC(dialog);
  const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
  if (dc) ReleaseDC(dialog, dc);
  const UINT id = BannerFor(dpi, ids.below120, ids.from120, ids.from144);
  bitmap_ = static_cast<HBITMAP>(LoadImageW(ModuleInstance(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
  if (bitmap_) SendDlgItemMessageW(dialog, control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap_));
}

void Banner::Free() {
  if (bitmap_) DeleteObject(bitmap_);
  bitmap_ = nullptr;
}

}  // namespace kit
