// The Win32 half of the module kit: the module instance, the one module-wide state, page
// files in the temporary folder, the settings page's banner, and the buffers of the exports.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "host/module_contract.h"
#include "modules/kit/guard.h"
#include "modules/kit/page_files.h"
#include "modules/kit/strings.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 buffers");
static_assert(kit::kCheckNothing == CHECK_NOTHING && kit::kCheckPage == CHECK_PAGE && kit::kCheckAction == CHECK_ACTION &&
                  kit::kCheckKeep == CHECK_KEEP &&
                  kit::kErrDriver == MODULE_E_DRIVER && kit::kErrNotAvailable == MODULE_E_NOT_AVAILABLE,
              "the kit's values must match the contract");

namespace kit {

// This DLL's instance (its __ImageBase), for resources and its own path.
HINSTANCE ModuleInstance();
// The folder of this DLL, with its trailing backslash; empty when the path does not fit.
std::u16string ModuleFolder();
std::u16string ModulePath();
// A string of this DLL's string table; empty when it has none.
std::wstring LoadText(UINT id);

// The host's record as every module checks it: MODULE_E_BAD_ARGUMENT without one,
// MODULE_E_HOST_TOO_OLD for an older contract, else 0 with the driver client it lends (null
// when the record is too short to hold one: the client lies beyond its first four bytes).
int AcceptInitRecord(const ModuleInitInfo* info, MiscCommon::CMiscCommon*& client);

// The one module-wide state of type T: null before a successful WickpostInitialize.
template <class T>
class Instance {
 public:
  static T* Get() { return Slot().get(); }
  static void Set(std::unique_ptr<T> state) { Slot() = std::move(state); }

 private:
  static std::unique_ptr<T>& Slot() {
    static std::unique_ptr<T> state;
    return state;
  }
};

// The DLL's string table.
class TableStrings : public IStrings {
 public:
  std::optional<std::u16string> Load(uint16_t id) override;
};

// WideCharToMultiByte with code page 932.
class CodePage932 : public ICodePage {
 public:
  std::optional<std::string> Encode(const std::u16string& text) override;
  std::optional<std::u16string> Decode(std::string_view bytes) override;
};

// Page files in the temporary folder: GetTempFileNameW with the module's three-letter
// prefix, written over with TRUNCATE_EXISTING as a temporary file.
std::u16string TempFolder();  // with its trailing backslash; empty on failure
bool NewPageFile(const wchar_t* prefix, std::u16string& path);
bool WritePageFile(const std::u16string& path, const std::string& bytes);
void DeletePageFile(const std::u16string& path);

// A module's page-files port (IPageFiles, or a module port built on it) over the functions
// above, with the module's prefix.
template <class Port = IPageFiles>
class TempPageFiles : public Port {
 public:
  explicit TempPageFiles(const wchar_t* prefix) : prefix_(prefix) {}
  bool NewPagePath(std::u16string& path) override { return NewPageFile(prefix_, path); }
  bool WritePage(const std::u16string& path, const std::string& bytes) override { return WritePageFile(path, bytes); }
  void Delete(const std::u16string& path) override { DeletePageFile(path); }

 private:
  const wchar_t* prefix_;
};

// The settings page's banner: the bitmap for the screen's horizontal density, owned here and
// shown in the picture control.
class Banner {
 public:
  struct Ids {
    UINT below120, from120, from144;
  };
  Banner() = default;
  Banner(const Banner&) = delete;
  Banner& operator=(const Banner&) = delete;
  ~Banner() { Free(); }
  void Show(HWND dialog, int control, const Ids& ids);
  void Free();
  HBITMAP get() const { return bitmap_; }

 private:
  HBITMAP bitmap_ = nullptr;
};

// Delivers a check's answer into the host's buffers (kit::Deliver over wchar_t).
inline CheckResult DeliverCheck(const CheckAnswer& a, CheckCall call, PageFiles* pages, wchar_t* text,
                                int textCapacity, wchar_t* page, int pageCapacity, uint16_t* code) {
  return Deliver(a, call, pages, reinterpret_cast<char16_t*>(text), textCapacity, reinterpret_cast<char16_t*>(page),
                 pageCapacity, code);
}

// WickpostInitialize's guard over the host's wchar_t buffer.
template <class Body>
int GuardedInitialize(const char16_t* module, wchar_t* errorText, int errorCapacity, Body&& body) noexcept {
  return kit::GuardedInitialize(module, reinterpret_cast<char16_t*>(errorText), errorCapacity,
                                std::forward<Body>(body));
}

inline const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
inline std::u16string U16(const wchar_t* s) { return std::u16string(reinterpret_cast<const char16_t*>(s)); }
inline std::u16string U16(const wchar_t* s, size_t n) { return std::u16string(reinterpret_cast<const char16_t*>(s), n); }

}  // namespace kit
